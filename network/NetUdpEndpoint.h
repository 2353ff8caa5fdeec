#pragma once
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
};
