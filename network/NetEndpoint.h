#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/base/VirtualThread.h"
#include "network/NetWire.h"

struct sockaddr_in;

// A numeric IPv4 address and port, host byte order.
struct NetAddress
{
    uint32_t mIp = 0;
    uint16_t mPort = 0;

    std::string Text() const;   // "a.b.c.d:port"
    std::string IpText() const; // "a.b.c.d"
    // Numeric only: no name lookup ever runs on the frame.
    static bool ParseIp(const std::string& text, uint32_t& ip);
    static bool Parse(const std::string& text, NetAddress& out);
    sockaddr_in ToSockaddr() const;
    static NetAddress FromSockaddr(const sockaddr_in& addr);
    bool operator==(const NetAddress& other) const { return mIp == other.mIp && mPort == other.mPort; }
};

enum class NetEventType : uint8_t
{
    Message,      // mPeer sent mBytes (a message payload)
    Joined,       // a peer connected to this host: mPeer, mAddress
    Left,         // a peer went: mPeer (mValue 1 when it fell silent)
    Connected,    // this client was accepted: mValue is its player id
    Refused,      // this client was refused or heard nothing back
    Disconnected, // this client lost its host
    Offer,        // a host answered discovery: mAddress (its game port), mName, mValue players
};

struct NetEvent
{
    NetEventType mType = NetEventType::Message;
    uint32_t mPeer = 0;
    uint32_t mValue = 0;
    NetAddress mAddress;
    std::string mName;
    std::vector<uint8_t> mBytes;
};

// One socket and its worker thread. The main thread posts to the send queue and takes from the
// receive queue; everything about connections lives in the worker (which the UDP endpoint lets
// the main thread drive while it waits). Workers never log: drops are counted and the main
// thread reports them.
class NetEndpoint : public VirtualThread
{
public:
    enum class Role
    {
        Host,      // accepts connections
        Client,    // connects to mRemote
        Responder, // answers discovery with an offer
        Finder,    // sends discovery, reports offers
    };
    struct Settings
    {
        Role mRole = Role::Client;
        NetAddress mLocal;
        NetAddress mRemote;
        uint32_t mMaxPeers = 8;
        uint64_t mLossTimeout = 5'000'000; // microseconds
        // Host: a connection must complete its join this soon (TCP: send its connect frame; UDP:
        // answer its accept), and a player none of whose messages decode for this long is
        // dropped, so no idle or babbling peer holds a slot for ever.
        uint64_t mJoinTimeout = 3'000'000;
        uint64_t mIdleTimeout = 60'000'000;
        // Host: connections not yet joined from one IP address, so a few addresses cannot fill
        // the table. UDP turns more away unanswered (the source may be forged); TCP lets the
        // newest in and closes that address's oldest (a player trying again is not kept out by
        // its own dead tries). A full table lets a newcomer in by closing the oldest waiting.
        uint32_t mMaxPendingPerAddress = 2;
        // Responder: offers per second to one source address.
        uint32_t mOffersPerSecond = 4;
        std::string mGameName;
        uint16_t mGamePort = 0;
        // Events waiting for the main thread beyond this stop the worker reading.
        size_t mMaxEvents = 8192;
    };
    static constexpr uint32_t kAllPeers = 0xFFFFFFFF;

    ~NetEndpoint() override;

    // Opens the socket and starts the worker; false after one logged error.
    bool Open(const Settings& settings);
    NetAddress GetLocalAddress() const { return mBound; }
    const Settings& GetSettings() const { return mSettings; }

    // Main thread. A host sends to one peer or kAllPeers; a client to its host whatever the peer.
    void Send(uint32_t peer, std::vector<uint8_t> payload);
    void Discover(const NetAddress& to);
    void Disconnect(uint32_t peer);
    void TakeEvents(std::vector<NetEvent>& out);
    void SetPlayers(uint32_t players) { mPlayers = players; }
    // One line per reason and second at most.
    void ReportDrops(const std::string& owner, double nowSeconds);
    uint64_t DropCount(NetDrop reason) const { return mDrops[size_t(reason)].load(); }

    void Wake() override;

protected:
    struct Op
    {
        enum Kind : uint8_t
        {
            Send,
            Discover,
            Disconnect
        } mKind = Send;
        uint32_t mPeer = 0;
        NetAddress mAddress;
        std::vector<uint8_t> mBytes;
    };

    virtual bool OpenSocket() = 0;
    // For OpenSocket: a new socket of that type in mSocket, or false with the error logged.
    bool NewSocket(int type, const char* protocol);
    // For OpenSocket: mBound from the address the socket was given, else the one requested.
    void NoteBound(const sockaddr_in& requested);
    // Caller's thread: sends the op at once when the worker is idle and nothing posted waits
    // before it, sparing the round through the worker. False leaves it to the worker.
    virtual bool SendNow(Op& /*op*/) { return false; }
    // Caller's thread, nothing queued for it: reads what waits on the socket when the worker is
    // idle, sparing the round through the worker.
    virtual void ReceiveNow() {}
    // Posted ops the worker has not taken yet; read by the thread that posts.
    bool OpsWaiting() const { return mOpsWaiting.load() != 0; }

    // Worker side. Events gather in the worker and go to the queue once per round.
    void PushEvent(NetEvent event);
    void FlushEvents();
    bool HasOutbox() const { return !mOutbox.empty(); }
    bool EventsFull() const { return mEventCount.load() + mOutbox.size() >= mSettings.mMaxEvents; }
    void TakeOps(std::vector<Op>& out);
    void CountDrop(NetDrop reason) { mDrops[size_t(reason)].fetch_add(1); }
    void DrainWake();
    // Has the worker look at its timers again.
    void WakeWorker();
    void CloseSockets();
    // Microseconds on the steady clock.
    static uint64_t NowMicros();

    Settings mSettings;
    NetAddress mBound;
    int mSocket = -1;
    int mWakeFd = -1;
    std::atomic<uint32_t> mPlayers{0};

private:
    void Post(Op op);
    void Signal();

    std::vector<Op> mOps;
    std::atomic<size_t> mOpsWaiting{0};
    std::vector<NetEvent> mEvents;
    std::vector<NetEvent> mOutbox;
    std::atomic<size_t> mEventCount{0};
    std::atomic<bool> mWakePending{false};
    std::atomic<uint64_t> mDrops[size_t(NetDrop::Count)] = {};
    uint64_t mReported[size_t(NetDrop::Count)] = {};
    double mLastReport[size_t(NetDrop::Count)] = {};
};
