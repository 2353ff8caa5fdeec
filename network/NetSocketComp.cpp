#include "network/NetSocketComp.h"

#include <chrono>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "network/NetTcpEndpoint.h"
#include "network/NetUdpEndpoint.h"

NetSocketComp::~NetSocketComp() = default;

void NetSocketComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeString("LocalAddress", mLocalAddress);
    s.SerializeInt("LocalPort", mLocalPort);
    s.SerializeString("RemoteAddress", mRemoteAddress);
    s.SerializeInt("RemotePort", mRemotePort);
    s.SerializeBoolField("Listen", mListen);
}

void NetSocketComp::Initialize()
{
    NetEndpoint::Settings settings;
    settings.mRole = mListen ? NetEndpoint::Role::Host : NetEndpoint::Role::Client;
    const std::string owner = mOwner ? mOwner->Name() : std::string();
    if (!NetAddress::ParseIp(mLocalAddress, settings.mLocal.mIp) || mLocalPort < 0 || mLocalPort > 65535 ||
        (!mListen &&
         (!NetAddress::ParseIp(mRemoteAddress, settings.mRemote.mIp) || mRemotePort <= 0 || mRemotePort > 65535)))
    {
        Console::Instance().Log(GetTypeName() + " on \"" + owner + "\": bad address or port", LogError);
        return;
    }
    settings.mLocal.mPort = uint16_t(mLocalPort);
    settings.mRemote.mPort = uint16_t(mRemotePort);
    if (mTcp)
        mEndpoint = std::make_unique<NetTcpEndpoint>();
    else
        mEndpoint = std::make_unique<NetUdpEndpoint>();
    if (!mEndpoint->Open(settings))
        mEndpoint.reset();
    else if (mListen)
        mLocalPort = mEndpoint->GetLocalAddress().mPort; // port 0 reads back the one given
}

void NetSocketComp::NetSend(std::string function, std::string text)
{
    if (!mEndpoint)
        return;
    ParamBuffer params;
    params.PushStdString(text);
    std::vector<uint8_t> payload;
    std::string error;
    if (!EncodeNetMessage("", function, params, payload, error))
    {
        Console::Instance().Log(GetTypeName() + ": \"" + function + "\" was not sent: " + error, LogError);
        return;
    }
    mEndpoint->Send(NetEndpoint::kAllPeers, std::move(payload));
}

void NetSocketComp::Update()
{
    if (!mEndpoint || !mOwner)
        return;
    mEndpoint->TakeEvents(mEvents);
    CogDirectory* cogs = CogDirectory::Get();
    for (const NetEvent& event : mEvents)
    {
        if (event.mType != NetEventType::Message || !cogs)
            continue;
        NetMessage message;
        const char* error = nullptr;
        if (DecodeNetMessage(event.mBytes.data(), event.mBytes.size(), message, error))
            cogs->CallFunction(*mOwner, message.mFunction, message.mParams);
        else
            ++mBadMessages;
    }
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    mEndpoint->ReportDrops(GetTypeName(), now);
    if (mBadMessages != mBadReported && now - mBadReportTime >= 1.0)
    {
        Console::Instance().Log(GetTypeName() + ": dropped " + std::to_string(mBadMessages - mBadReported) +
                                    " malformed messages",
                                LogError);
        mBadReported = mBadMessages;
        mBadReportTime = now;
    }
}

template <typename T, uint32_t Id>
void NetSocketFactory<T, Id>::RegisterMessages(Composer& composer)
{
    composer.BindMessage("NetSend", MakeCompFunctor(Id, &NetSocketComp::NetSend));
    composer.AddOwnedUpdate(MakeCompFunctor(Id, &NetSocketComp::Update));
}

template class NetSocketFactory<UdpSocketComp, kUdpSocketId>;
template class NetSocketFactory<TcpSocketComp, kTcpSocketId>;
