#pragma once
#include "network/NetEndpoint.h"

// Framed messages over TCP: the same header before every payload.
class NetTcpEndpoint final : public NetEndpoint
{
public:
    ~NetTcpEndpoint() override;
    void Run() override;

private:
    class Worker;

    bool OpenSocket() override;
};
