#include <gtest/gtest.h>

#include <memory>

#include "LOOM/calls/MessageRegistry.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/serial/Serializer.h"
#include "network/NetController.h"
#include "network/NetSocketComp.h"
#include "network/NetUpdateComp.h"
#include "network/NetworkLoom.h"
#include "tests/LOOM/support/TestComp.h"
#include "tests/network/NetTestSupport.h"

namespace {
constexpr uint32_t kEarId = 950;

// Hears what a socket component delivers to its cog.
class EarComp : public TestComp<kEarId, "Ear">
{
public:
    void Heard(std::string text) { mHeard.push_back(std::move(text)); }
    std::vector<std::string> mHeard;
};

class EarFactory : public CompFactoryOf<EarComp>
{
public:
    void RegisterMessages(Composer& composer) override
    {
        composer.BindMessage("Heard", MakeCompFunctor(kEarId, &EarComp::Heard));
    }
};

EarFactory gEarFactory;
UdpSocketFactory gUdp;
TcpSocketFactory gTcp;
NetUpdateCompFactory gNetUpdate;

template <typename Factory>
void AddType(CogFactory& cogs, const std::string& name, uint32_t socketId, Factory* socket)
{
    auto type = std::make_shared<Composer>(cogs, name, name);
    type->AddComponent(socketId, socket);
    type->AddComponent(kEarId, &gEarFactory);
    cogs.Types().RegisterType(name, type);
}

// Allocates a cog of the type, sets its socket fields, then initialises it (the socket opens).
Cog* SocketCog(CogFactory& cogs, const std::string& type, uint32_t socketId, bool listen, int remotePort)
{
    Cog* cog = cogs.Allocate(type);
    auto* socket = static_cast<NetSocketComp*>(cog->GetComponent(socketId));
    socket->mLocalAddress = "127.0.0.1";
    socket->mListen = listen;
    socket->mRemotePort = remotePort;
    cog->Initialize();
    return cog;
}
} // namespace

TEST(NetComponents, SocketsOnCogsCarryNetSendToTheOtherCogsFunction)
{
    CogFactory cogs;
    AddType(cogs, "UdpEnd", kUdpSocketId, &gUdp);
    AddType(cogs, "TcpEnd", kTcpSocketId, &gTcp);
    for (uint32_t id : {kUdpSocketId, kTcpSocketId})
    {
        const std::string type = id == kUdpSocketId ? "UdpEnd" : "TcpEnd";
        Cog* listener = SocketCog(cogs, type, id, true, 0);
        auto* listening = static_cast<NetSocketComp*>(listener->GetComponent(id));
        ASSERT_NE(listening->GetEndpoint(), nullptr);
        EXPECT_EQ(listening->GetTypeName(), id == kUdpSocketId ? "UDP Socket" : "TCP Socket");
        Cog* talker = SocketCog(cogs, type, id, false, listening->mLocalPort);
        ParamBuffer params;
        params.PushString("Heard");
        params.PushStdString("over " + type);
        cogs.CallFunction(*talker, "NetSend", params);
        auto* ear = static_cast<EarComp*>(listener->GetComponent(kEarId));
        EXPECT_TRUE(WaitUntil([&] { return !ear->mHeard.empty(); },
                              [&] {
                                  listener->Update();
                                  talker->Update();
                              },
                              5.0))
            << type;
        ASSERT_EQ(ear->mHeard.size(), 1u);
        EXPECT_EQ(ear->mHeard[0], "over " + type);
    }
    cogs.DestroyAll();
}

// A cog's position, velocity and orientation reach the same-named cog of the peer.
TEST(NetComponents, NetUpdateCompMirrorsTheNamedCog)
{
    CogFactory cogs;
    RegisterPositional(cogs);
    cogs.Types().RegisterComponent(kNetUpdateCompId, &gNetUpdate);
    auto type = std::make_shared<Composer>(cogs, "Mirrored", "Mirrored");
    type->AddComponent(1, cogs.Types().GetComponentFactory(1));
    type->AddComponent(kNetUpdateCompId, &gNetUpdate);
    cogs.Types().RegisterType("Mirrored", type);

    MessageRegistry hostMessages;
    std::unique_ptr<NetworkLoom> loom(NetworkLoom::Create());
    loom->SetMessageRegistry(&hostMessages);
    NetController& host = loom->GetController();
    host.GetSettings().mGamePort = 0;
    host.GetSettings().mDiscoveryPort = 0;
    ASSERT_TRUE(host.HostGame("Mirror"));
    NetController client;
    ASSERT_TRUE(client.JoinGame("127.0.0.1:" + std::to_string(host.GetGamePort())));
    ASSERT_TRUE(WaitUntil([&] { return client.IsConnected() && host.GetPlayerCount() == 1; },
                          [&] {
                              loom->Update();
                              client.Update(TestSeconds());
                          },
                          5.0));

    // One cog stands for both sides: the host's update sends it, the client's delivery applies
    // it to the cog of that name, which is this one again.
    Cog* cog = cogs.Allocate("Mirrored");
    cog->SetName("Ship");
    cog->Initialize();
    auto* positional = cog->Get<Positional>();
    auto* update = cog->Get<NetUpdateComp>();
    update->mUpdateInterval = 0.0f;
    positional->SetPosition(Vector3(1, 2, 3));
    positional->SetVelocity(Vector3(0, 0, 9));
    positional->SetOrientation(Quat(0, 1, 0, 0));
    cog->Update();
    positional->SetPosition(Vector3(0, 0, 0));
    positional->SetVelocity(Vector3(0, 0, 0));
    update->mUpdateInterval = 1000.0f; // no second send
    EXPECT_TRUE(WaitUntil([&] { return positional->GetPositionValue().x == 1.0f; },
                          [&] {
                              cog->Update();
                              client.Update(TestSeconds());
                          },
                          5.0));
    EXPECT_EQ(positional->GetPositionValue().z, 3.0f);
    EXPECT_EQ(positional->GetVelocity().z, 9.0f);
    EXPECT_EQ(positional->GetOrientation().x, 1.0f);
    cogs.DestroyAll();
}
