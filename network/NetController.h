#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "network/NetEndpoint.h"

class MessageRegistry;
class ParamBuffer;
class Serializer;

// "Data/NetAd.xml".
struct NetSettings
{
    std::string mGameName = "Loom Game";
    int32_t mGamePort = 27500;
    int32_t mDiscoveryPort = 27501;
    std::string mDiscoveryAddress = "127.255.255.255";
    std::string mBindAddress = "0.0.0.0";
    std::string mTransport = "UDP";
    int32_t mMaxPlayers = 8;
    float mDiscoveryTimeout = 2.0f;
    float mDisconnectTimeout = 5.0f;
    // Not in the file: how long a host waits for a join to complete, and for a player's next
    // message that decodes, before it lets the slot go (seconds; tests make them short).
    float mJoinTimeout = 3.0f;
    float mIdleTimeout = 60.0f;

    void Serialize(Serializer& s);
    // A missing or broken file logs one line and keeps the defaults.
    bool Load(const std::string& fileName);
};

// The network game: hosts, finds and joins games, and reports what happens as "Game" messages
// through the message registry. Main thread only; the sockets' workers own the connections.
class NetController
{
public:
    NetController();
    ~NetController();

    void SetRegistry(MessageRegistry* registry) { mRegistry = registry; }
    NetSettings& GetSettings() { return mSettings; }

    bool HostGame(const std::string& name);
    void FindGame();
    bool JoinGame(const std::string& address);
    // Tells the peers (disconnect sent) and closes every socket.
    void LeaveGame();
    // To every peer when hosting, to the host when joined. False (logged) when nothing was sent.
    bool NetSend(const std::string& message, const std::string& function, const ParamBuffer& params);

    // Delivers what the workers received and reports connection events; nowSeconds is any
    // steadily increasing clock.
    void Update(double nowSeconds);

    bool IsHosting() const { return mHosting; }
    bool IsConnected() const { return mConnected; }
    uint32_t GetPlayerId() const { return mPlayerId; }
    size_t GetPlayerCount() const { return mPlayers.size(); }
    // Bound ports, read back (tests bind port 0).
    uint16_t GetGamePort() const { return mGame ? mGame->GetLocalAddress().mPort : 0; }
    uint16_t GetDiscoveryPort() const { return mResponder ? mResponder->GetLocalAddress().mPort : 0; }
    NetEndpoint* GetGameEndpoint() const { return mGame.get(); }

private:
    std::unique_ptr<NetEndpoint> MakeEndpoint(bool tcp) const;
    void Broadcast(const char* function, ParamBuffer& params);
    void HandleGameEvent(NetEvent& event);
    void Deliver(const NetEvent& event);
    uint64_t LossMicros() const;
    // Players joining and leaving log one line a second at most; the rest are counted.
    void LogConnection(const std::string& text);
    void ReportConnections();

    NetSettings mSettings;
    MessageRegistry* mRegistry = nullptr;
    std::unique_ptr<NetEndpoint> mGame;
    std::unique_ptr<NetEndpoint> mResponder;
    std::unique_ptr<NetEndpoint> mFinder;
    std::vector<NetEvent> mEvents;
    std::vector<uint32_t> mPlayers;
    bool mHosting = false;
    bool mConnected = false;
    uint32_t mPlayerId = 0;
    // Discovery: started (seconds), offers heard.
    double mFindStart = -1.0;
    bool mFindPending = false;
    uint32_t mOffers = 0;
    uint64_t mBadPayloads = 0;
    uint64_t mBadPayloadsReported = 0;
    double mBadPayloadReport = -1e9;
    double mNow = 0.0;
    uint64_t mConnectionsUnlogged = 0;
    double mConnectionLogged = -1e9;
};
