#include "network/NetController.h"

#include <cmath>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/MessageRegistry.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/XMLLoader.h"
#include "network/NetTcpEndpoint.h"
#include "network/NetUdpEndpoint.h"
#include "network/NetUpdateComp.h"

namespace {
// Seconds as microseconds, kept within a day so no setting overflows the clock.
uint64_t Micros(float seconds) { return uint64_t(std::fmin(std::fmax(double(seconds), 0.0), 86400.0) * 1e6); }

void Log(const std::string& text, uint32_t category = LogGeneral)
{
    Console::Instance().Log("Network: " + text, category);
}
} // namespace

void NetSettings::Serialize(Serializer& s)
{
    s.SerializeString("GameName", mGameName);
    s.SerializeInt("GamePort", mGamePort);
    s.SerializeInt("DiscoveryPort", mDiscoveryPort);
    s.SerializeString("DiscoveryAddress", mDiscoveryAddress);
    s.SerializeString("BindAddress", mBindAddress);
    s.SerializeString("Transport", mTransport);
    s.SerializeInt("MaxPlayers", mMaxPlayers);
    s.SerializeRealField("DiscoveryTimeout", mDiscoveryTimeout);
    s.SerializeRealField("DisconnectTimeout", mDisconnectTimeout);
}

bool NetSettings::Load(const std::string& fileName)
{
    if (!FileExists(DataFilePath(fileName)))
    {
        Log(fileName + " not found: default network settings", LogError);
        return false;
    }
    NetSettings loaded = *this;
    const bool good = XMLLoader::LoadElement(fileName, "NetAd", loaded);
    uint32_t ip = 0;
    const bool sane = loaded.mGamePort >= 0 && loaded.mGamePort <= 65535 && loaded.mDiscoveryPort >= 0 &&
        loaded.mDiscoveryPort <= 65535 && loaded.mMaxPlayers > 0 && NetAddress::ParseIp(loaded.mDiscoveryAddress, ip) &&
        NetAddress::ParseIp(loaded.mBindAddress, ip) && (loaded.mTransport == "UDP" || loaded.mTransport == "TCP") &&
        loaded.mDiscoveryTimeout > 0.0f && loaded.mDisconnectTimeout > 0.0f;
    if (!good || !sane)
    {
        Log(fileName + " is not correct: default network settings", LogError);
        return false;
    }
    *this = loaded;
    return true;
}

NetController::NetController() = default;

NetController::~NetController() { LeaveGame(); }

uint64_t NetController::LossMicros() const { return uint64_t(double(mSettings.mDisconnectTimeout) * 1e6); }

std::unique_ptr<NetEndpoint> NetController::MakeEndpoint(bool tcp) const
{
    if (tcp)
        return std::make_unique<NetTcpEndpoint>();
    return std::make_unique<NetUdpEndpoint>();
}

bool NetController::HostGame(const std::string& name)
{
    LeaveGame();
    NetEndpoint::Settings game;
    game.mRole = NetEndpoint::Role::Host;
    uint32_t ip = 0;
    if (!NetAddress::ParseIp(mSettings.mBindAddress, ip))
    {
        Log("bad BindAddress \"" + mSettings.mBindAddress + "\"", LogError);
        return false;
    }
    game.mLocal = NetAddress{ip, uint16_t(mSettings.mGamePort)};
    game.mMaxPeers = uint32_t(mSettings.mMaxPlayers > 1 ? mSettings.mMaxPlayers - 1 : 1);
    game.mLossTimeout = LossMicros();
    game.mJoinTimeout = Micros(mSettings.mJoinTimeout);
    game.mIdleTimeout = Micros(mSettings.mIdleTimeout);
    mGame = MakeEndpoint(mSettings.mTransport == "TCP");
    if (!mGame->Open(game))
    {
        mGame.reset();
        return false;
    }
    NetEndpoint::Settings responder;
    responder.mRole = NetEndpoint::Role::Responder;
    responder.mLocal = NetAddress{ip, uint16_t(mSettings.mDiscoveryPort)};
    responder.mGameName = name.empty() ? mSettings.mGameName : name;
    responder.mGamePort = mGame->GetLocalAddress().mPort;
    mResponder = std::make_unique<NetUdpEndpoint>();
    if (!mResponder->Open(responder))
    {
        // The game runs; only finding it by broadcast does not.
        mResponder.reset();
        Log("the game cannot be found by broadcast", LogError);
    }
    else
    {
        mResponder->SetPlayers(1);
    }
    mHosting = true;
    mPlayerId = 0;
    Log("hosting \"" + responder.mGameName + "\" on port " + std::to_string(responder.mGamePort));
    return true;
}

void NetController::FindGame()
{
    mFinder.reset();
    NetEndpoint::Settings finder;
    finder.mRole = NetEndpoint::Role::Finder;
    NetAddress to;
    to.mPort = uint16_t(mSettings.mDiscoveryPort);
    if (!NetAddress::ParseIp(mSettings.mDiscoveryAddress, to.mIp))
    {
        Log("bad DiscoveryAddress \"" + mSettings.mDiscoveryAddress + "\"", LogError);
        ParamBuffer none;
        Broadcast("NoServerFound", none);
        return;
    }
    mFinder = std::make_unique<NetUdpEndpoint>();
    if (!mFinder->Open(finder))
    {
        mFinder.reset();
        ParamBuffer none;
        Broadcast("NoServerFound", none);
        return;
    }
    mFinder->Discover(to);
    mFindStart = -1.0; // the clock starts at the next update
    mFindPending = true;
    mOffers = 0;
}

bool NetController::JoinGame(const std::string& address)
{
    NetAddress remote;
    if (!NetAddress::Parse(address, remote))
    {
        Log("\"" + address + "\" is not a numeric address a.b.c.d:port", LogError);
        return false;
    }
    LeaveGame();
    NetEndpoint::Settings client;
    client.mRole = NetEndpoint::Role::Client;
    client.mRemote = remote;
    client.mLossTimeout = LossMicros();
    mGame = MakeEndpoint(mSettings.mTransport == "TCP");
    if (!mGame->Open(client))
    {
        mGame.reset();
        return false;
    }
    return true;
}

void NetController::LeaveGame()
{
    // Stopping the worker sends the disconnects.
    mGame.reset();
    mResponder.reset();
    mFinder.reset();
    mFindPending = false;
    mPlayers.clear();
    mHosting = mConnected = false;
    mPlayerId = 0;
}

bool NetController::NetSend(const std::string& message, const std::string& function, const ParamBuffer& params)
{
    if (!mGame || (!mHosting && !mConnected))
    {
        Log("not in a game: \"" + message + "\" was not sent", LogError);
        return false;
    }
    std::vector<uint8_t> payload;
    std::string error;
    if (!EncodeNetMessage(message, function, params, payload, error))
    {
        Log("\"" + message + "\" was not sent: " + error, LogError);
        return false;
    }
    mGame->Send(NetEndpoint::kAllPeers, std::move(payload));
    return true;
}

void NetController::Broadcast(const char* function, ParamBuffer& params)
{
    if (mRegistry)
        mRegistry->Broadcast("Game", function, params);
}

void NetController::Deliver(const NetEvent& event)
{
    NetMessage message;
    const char* error = nullptr;
    if (!DecodeNetMessage(event.mBytes.data(), event.mBytes.size(), message, error))
    {
        ++mBadPayloads;
        return;
    }
    if (message.mMessage == kNetUpdateMessage)
    {
        CogDirectory* cogs = CogDirectory::Get();
        Cog* cog = cogs ? cogs->FindCogByName(message.mFunction) : nullptr;
        auto* update = cog ? cog->Get<NetUpdateComp>() : nullptr;
        if (update)
            update->Apply(message.mParams);
        return;
    }
    if (mRegistry)
        mRegistry->Broadcast(message.mMessage, message.mFunction, message.mParams);
}

void NetController::HandleGameEvent(NetEvent& event)
{
    ParamBuffer params;
    switch (event.mType)
    {
    case NetEventType::Message:
        Deliver(event);
        return;
    case NetEventType::Joined:
        mPlayers.push_back(event.mPeer);
        if (mResponder)
            mResponder->SetPlayers(uint32_t(mPlayers.size() + 1));
        LogConnection("player " + std::to_string(event.mPeer) + " joined from " + event.mAddress.Text());
        params.PushInt(int32_t(event.mPeer));
        params.PushStdString(event.mAddress.Text());
        Broadcast("NewConnection", params);
        return;
    case NetEventType::Left:
        std::erase(mPlayers, event.mPeer);
        if (mResponder)
            mResponder->SetPlayers(uint32_t(mPlayers.size() + 1));
        LogConnection("player " + std::to_string(event.mPeer) + (event.mValue ? " fell silent" : " left"));
        params.PushInt(int32_t(event.mPeer));
        Broadcast("RemovePlayer", params);
        return;
    case NetEventType::Connected:
        mConnected = true;
        mPlayerId = event.mValue;
        Log("joined " + event.mAddress.Text() + " as player " + std::to_string(mPlayerId));
        params.PushInt(int32_t(mPlayerId));
        Broadcast("NowConnected", params);
        return;
    case NetEventType::Refused:
    case NetEventType::Disconnected:
        Log(event.mType == NetEventType::Refused ? "no game at " + event.mAddress.Text() : "the host is gone");
        mConnected = false;
        mPlayerId = 0;
        Broadcast("NetDisconnect", params);
        return;
    case NetEventType::Offer:
        return;
    }
}

void NetController::LogConnection(const std::string& text)
{
    if (mNow - mConnectionLogged < 1.0)
    {
        ++mConnectionsUnlogged;
        return;
    }
    Log(text);
    mConnectionLogged = mNow;
}

void NetController::ReportConnections()
{
    if (mConnectionsUnlogged == 0 || mNow - mConnectionLogged < 1.0)
        return;
    Log(std::to_string(mConnectionsUnlogged) + " more players joined or left");
    mConnectionsUnlogged = 0;
    mConnectionLogged = mNow;
}

void NetController::Update(double nowSeconds)
{
    mNow = nowSeconds;
    if (mGame)
    {
        mGame->TakeEvents(mEvents);
        bool gone = false;
        for (NetEvent& event : mEvents)
        {
            HandleGameEvent(event);
            gone |= event.mType == NetEventType::Refused || event.mType == NetEventType::Disconnected;
        }
        if (mGame)
            mGame->ReportDrops("Network", nowSeconds);
        if (gone && !mHosting)
            mGame.reset();
    }
    if (mResponder)
        mResponder->ReportDrops("Network discovery", nowSeconds);
    if (mFinder)
    {
        mFinder->TakeEvents(mEvents);
        for (NetEvent& event : mEvents)
        {
            if (event.mType != NetEventType::Offer)
                continue;
            ++mOffers;
            ParamBuffer params;
            params.PushStdString(event.mAddress.IpText());
            params.PushInt(int32_t(event.mAddress.mPort));
            params.PushStdString(event.mName);
            Broadcast("GotConnectionInfo", params);
        }
        mFinder->ReportDrops("Network discovery", nowSeconds);
        if (mFindPending && mFindStart < 0.0)
            mFindStart = nowSeconds;
        if (mFindPending && nowSeconds - mFindStart >= double(mSettings.mDiscoveryTimeout))
        {
            mFindPending = false;
            mFinder.reset();
            if (mOffers == 0)
            {
                Log("no game found");
                ParamBuffer none;
                Broadcast("NoServerFound", none);
            }
        }
    }
    ReportConnections();
    if (mBadPayloads != mBadPayloadsReported && nowSeconds - mBadPayloadReport >= 1.0)
    {
        Log("dropped " + std::to_string(mBadPayloads - mBadPayloadsReported) + " malformed messages", LogError);
        mBadPayloadsReported = mBadPayloads;
        mBadPayloadReport = nowSeconds;
    }
}
