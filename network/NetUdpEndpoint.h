#pragma once
#include <mutex>

#include "network/NetEndpoint.h"

// Reliable ordered named messages over UDP, and discovery.
class NetUdpEndpoint final : public NetEndpoint
{
public:
    ~NetUdpEndpoint() override;
    void Run() override;

private:
    class Worker;

    bool OpenSocket() override;
    bool SendNow(Op& op) override;
    void ReceiveNow() override;

    // Held by the worker while it works (not while it waits) and by a caller sending at once.
    std::mutex mWorkerMutex;
    Worker* mWorker = nullptr;
};
