#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/factory/CompFactory.h"
#include "network/NetEndpoint.h"

constexpr uint32_t kUdpSocketId = 70;
constexpr uint32_t kTcpSocketId = 71;

// One socket and its worker on a cog: listens or connects when the cog is initialised; "NetSend"
// (function, text) sends; what arrives calls the named function on the cog.
class NetSocketComp : public Comp
{
public:
    explicit NetSocketComp(bool tcp) : mTcp(tcp) {}
    ~NetSocketComp() override;

    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return mTcp ? "TCP Socket" : "UDP Socket"; }
    uint32_t GetTypeId() override { return mTcp ? kTcpSocketId : kUdpSocketId; }

    void NetSend(std::string function, std::string text);
    void Update();
    NetEndpoint* GetEndpoint() const { return mEndpoint.get(); }

    std::string mLocalAddress = "0.0.0.0";
    int32_t mLocalPort = 0;
    std::string mRemoteAddress = "127.0.0.1";
    int32_t mRemotePort = 0;
    bool mListen = false;

private:
    bool mTcp;
    std::unique_ptr<NetEndpoint> mEndpoint;
    std::vector<NetEvent> mEvents;
    uint64_t mBadMessages = 0;
    uint64_t mBadReported = 0;
    double mBadReportTime = -1e9;
};

class UdpSocketComp : public NetSocketComp
{
public:
    UdpSocketComp() : NetSocketComp(false) {}
};

class TcpSocketComp : public NetSocketComp
{
public:
    TcpSocketComp() : NetSocketComp(true) {}
};

template <typename T, uint32_t Id>
class NetSocketFactory : public CompFactoryOf<T>
{
public:
    void RegisterMessages(Composer& composer) override;
};
using UdpSocketFactory = NetSocketFactory<UdpSocketComp, kUdpSocketId>;
using TcpSocketFactory = NetSocketFactory<TcpSocketComp, kTcpSocketId>;
