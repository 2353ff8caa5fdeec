#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <random>
#include <unordered_map>

#include "LOOM/console/Console.h"
#include "network/NetChannel.h"
#include "network/NetUdpEndpoint.h"

namespace {
constexpr uint64_t kConnectRetry = 200'000;
constexpr int kMaxPollMs = 20;
constexpr int kReadsPerRound = 256;
constexpr size_t kMaxRateSources = 1024;
// Host: peers joined and waiting together.
constexpr size_t kMaxConnections = 64;
// Host: refusals per second to one source address once the game is full.
constexpr uint32_t kRefusalsPerSecond = 1;
// Host: a source waiting to join is answered again at most this often, so a lost accept costs
// a second, not the join time-out, and a forged source still brings back few replies.
constexpr uint64_t kReacceptInterval = 1'000'000;
// Host: an accept needs this long left of the wait for the answer to make it back over a lossy
// link; later, the place is let go and the next connect gets a fresh one.
constexpr uint64_t kAnswerTime = 500'000;
} // namespace

// The worker's own state, one handler per thing that can happen to it; nothing here is touched by
// the main thread.
class NetUdpEndpoint::Worker
{
public:
    explicit Worker(NetUdpEndpoint& owner);
    void Run();
    // With the worker mutex held: the op sent on the caller's thread when every channel it goes
    // to is idle; false when it must wait its turn in the worker.
    bool SendNow(Op& op);
    // With the worker mutex held: the datagrams waiting read and their events handed over.
    void ReceiveNow();

private:
    struct Peer
    {
        uint32_t mId = 0;
        NetAddress mAddress;
        sockaddr_in mSockaddr{};
        NetChannel mChannel;
        // Host side: a source is a player only once it answers its accept with its token;
        // until then it gets an accept at most once a second and nothing else, however often
        // it asks.
        bool mJoined = true;
        uint64_t mOpened = 0;
        uint64_t mLastAccept = 0;
        // The last message from it that decoded.
        uint64_t mLastData = 0;
    };
    // Offers (responder) or refusals (host) sent per source address in its current one-second
    // window.
    struct Window
    {
        uint64_t mStart = 0;
        uint32_t mCount = 0;
    };

    void SendTo(const sockaddr_in& to, const uint8_t* bytes, size_t size);
    void SendBare(const sockaddr_in& to, NetKind kind, uint32_t token, const uint8_t* payload, size_t size);
    Peer* FindPeer(const NetAddress& address);
    NetChannel::SendHook HookFor(Peer& peer);
    NetEventType GoneEvent() const;
    void StartClient();
    void OnHandshakeTimer(uint64_t now);
    int PollTimeout(uint64_t now) const;
    void OnOp(Op& op, uint64_t now);
    void OnDiscoverOp(const Op& op);
    void OnSendOp(Op& op);
    void OnDisconnectOp(const Op& op, uint64_t now);
    void ReadDatagrams(uint64_t now);
    void OnDatagram(NetHeader& header, const sockaddr_in& from, size_t size, uint64_t now);
    void OnDiscovery(const NetHeader& header, const sockaddr_in& from, size_t size, uint64_t now);
    void OnDiscoverRequest(const sockaddr_in& from, size_t size, uint64_t now);
    void OnOffer(const NetHeader& header, const NetAddress& source, const uint8_t* payload);
    bool AllowReply(uint32_t ip, uint32_t perSecond, uint64_t now);
    Peer* OnNewPeer(const NetHeader& header, const sockaddr_in& from, uint64_t now);
    // False when every place is a player's.
    bool EvictOldestPending();
    void OnConnectRequest(Peer& peer, uint64_t now);
    // False when the peer was turned away (the table of players is full).
    bool OnConfirmed(Peer& peer, uint64_t now);
    size_t Players() const;
    size_t PendingFrom(uint32_t ip) const;
    // Host: a pending peer that never answered, or a player that said nothing that decoded.
    bool Expired(const Peer& peer, uint64_t now);
    void OnHandshakeReply(Peer& peer, const NetHeader& header, const NetAddress& source, const uint8_t* payload,
                          uint64_t now);
    void OnChannelFrame(Peer& peer, const NetHeader& header, const uint8_t* payload, uint64_t now);
    void OnPeerLeft(const Peer& peer);
    void PumpPeers(uint64_t now);
    void RemovePeer(size_t index, uint32_t silent);
    void GiveUp(const NetAddress& address);
    void Shutdown();

    NetUdpEndpoint& mOwner;
    const Settings& mSettings;
    const Role mRole;
    const sockaddr_in mRemote;
    std::mt19937 mRandom;
    std::vector<std::unique_ptr<Peer>> mPeers;
    uint32_t mNextId = 1;
    // Client state.
    bool mConnected = false;
    bool mGaveUp = false;
    uint64_t mConnectStart = 0;
    uint64_t mLastConnect = 0;
    std::unordered_map<uint32_t, Window> mReplied;
    std::vector<Op> mOps;
    uint8_t mDatagram[2048];
};

NetUdpEndpoint::Worker::Worker(NetUdpEndpoint& owner)
    : mOwner(owner), mSettings(owner.mSettings), mRole(owner.mSettings.mRole),
      mRemote(owner.mSettings.mRemote.ToSockaddr())
{
    std::random_device seed;
    mRandom.seed(seed());
}

void NetUdpEndpoint::Worker::SendTo(const sockaddr_in& to, const uint8_t* bytes, size_t size)
{
    sendto(mOwner.mSocket, bytes, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
}

void NetUdpEndpoint::Worker::SendBare(const sockaddr_in& to, NetKind kind, uint32_t token, const uint8_t* payload,
                                      size_t size)
{
    uint8_t datagram[kNetMaxDatagram];
    NetHeader header;
    header.mKind = kind;
    header.mToken = token;
    header.mLength = uint16_t(std::min(size, kNetMaxPayload));
    WriteNetHeader(header, datagram);
    if (header.mLength && payload)
        std::memcpy(datagram + kNetHeaderSize, payload, header.mLength);
    SendTo(to, datagram, kNetHeaderSize + header.mLength);
}

NetUdpEndpoint::Worker::Peer* NetUdpEndpoint::Worker::FindPeer(const NetAddress& address)
{
    for (auto& peer : mPeers)
        if (peer->mAddress == address)
            return peer.get();
    return nullptr;
}

NetChannel::SendHook NetUdpEndpoint::Worker::HookFor(Peer& peer)
{
    return [this, &peer](const uint8_t* bytes, size_t size) { SendTo(peer.mSockaddr, bytes, size); };
}

NetEventType NetUdpEndpoint::Worker::GoneEvent() const
{
    return mRole == Role::Host ? NetEventType::Left : NetEventType::Disconnected;
}

NetUdpEndpoint::~NetUdpEndpoint() { Stop(); }

bool NetUdpEndpoint::OpenSocket()
{
    if (!NewSocket(SOCK_DGRAM, "UDP"))
        return false;
    const int on = 1;
    if (mSettings.mRole == Role::Responder)
    {
        setsockopt(mSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        setsockopt(mSocket, SOL_SOCKET, SO_REUSEPORT, &on, sizeof(on));
    }
    if (mSettings.mRole == Role::Finder)
        setsockopt(mSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    const int buffer = 1 << 20;
    setsockopt(mSocket, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
    sockaddr_in local = mSettings.mLocal.ToSockaddr();
    if (bind(mSocket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0)
    {
        Console::Instance().Log("Network: cannot bind UDP " + mSettings.mLocal.Text() + ": " + std::strerror(errno),
                                LogError);
        return false;
    }
    NoteBound(local);
    return true;
}

void NetUdpEndpoint::Run()
{
    Worker worker(*this);
    {
        std::lock_guard lock(mWorkerMutex);
        mWorker = &worker;
    }
    worker.Run();
    std::lock_guard lock(mWorkerMutex);
    mWorker = nullptr;
}

bool NetUdpEndpoint::SendNow(Op& op)
{
    // The worker holds the mutex only between waits, never across one: a short wait at most.
    std::lock_guard lock(mWorkerMutex);
    return mWorker && !OpsWaiting() && mWorker->SendNow(op);
}

void NetUdpEndpoint::ReceiveNow()
{
    // Never held up by a busy worker: it hands over what it reads itself.
    std::unique_lock lock(mWorkerMutex, std::try_to_lock);
    if (lock.owns_lock() && mWorker)
        mWorker->ReceiveNow();
}

void NetUdpEndpoint::Worker::Run()
{
    std::unique_lock lock(mOwner.mWorkerMutex);
    if (mRole == Role::Client)
        StartClient();
    while (mOwner.KeepRunning())
    {
        mOwner.FlushEvents();
        uint64_t now = NowMicros();
        if (mRole == Role::Client && !mConnected && !mGaveUp)
            OnHandshakeTimer(now);
        pollfd fds[2] = {{mOwner.mSocket, short(mOwner.EventsFull() ? 0 : POLLIN), 0}, {mOwner.mWakeFd, POLLIN, 0}};
        const int timeoutMs = PollTimeout(now);
        lock.unlock();
        poll(fds, 2, timeoutMs);
        lock.lock();
        if (!mOwner.KeepRunning())
            break;
        if (fds[1].revents & POLLIN)
            mOwner.DrainWake();
        now = NowMicros();
        mOwner.TakeOps(mOps);
        for (Op& op : mOps)
            OnOp(op, now);
        ReadDatagrams(NowMicros());
        PumpPeers(NowMicros());
    }
    Shutdown();
}

void NetUdpEndpoint::Worker::ReceiveNow()
{
    if (mRole != Role::Host && !(mRole == Role::Client && mConnected))
        return;
    ReadDatagrams(NowMicros());
    if (!mOwner.HasOutbox())
        return;
    mOwner.FlushEvents();
    // What was read may want an ack later than the worker's wait was set for.
    mOwner.WakeWorker();
}

bool NetUdpEndpoint::Worker::SendNow(Op& op)
{
    if (mRole == Role::Client ? !mConnected : mRole != Role::Host)
        return false;
    for (const auto& peer : mPeers)
        if (peer->mJoined && (peer->mChannel.Queued() != 0 || peer->mChannel.InFlight() >= NetChannel::kWindow))
            return false;
    OnSendOp(op);
    const uint64_t now = NowMicros();
    for (auto& peer : mPeers)
        if (peer->mJoined && peer->mChannel.Queued() != 0)
            peer->mChannel.Pump(now, HookFor(*peer));
    return true;
}

void NetUdpEndpoint::Worker::StartClient()
{
    auto peer = std::make_unique<Peer>();
    peer->mAddress = mSettings.mRemote;
    peer->mSockaddr = mRemote;
    peer->mChannel.SetLossTimeout(mSettings.mLossTimeout);
    mPeers.push_back(std::move(peer));
    mConnectStart = NowMicros();
}

// Client handshake: ask again until accepted or the loss time-out passes.
void NetUdpEndpoint::Worker::OnHandshakeTimer(uint64_t now)
{
    if (now > mConnectStart + mSettings.mLossTimeout)
    {
        GiveUp(mSettings.mRemote);
    }
    else if (mLastConnect == 0 || now >= mLastConnect + kConnectRetry)
    {
        mLastConnect = now;
        SendBare(mRemote, NetKind::Connect, 0, nullptr, 0);
    }
}

void NetUdpEndpoint::Worker::GiveUp(const NetAddress& address)
{
    mGaveUp = true;
    mPeers.clear();
    mOwner.PushEvent(NetEvent{NetEventType::Refused, 0, 0, address, {}, {}});
}

int NetUdpEndpoint::Worker::PollTimeout(uint64_t now) const
{
    int timeoutMs = kMaxPollMs;
    if (mRole == Role::Client && !mConnected)
        return timeoutMs;
    for (const auto& peer : mPeers)
    {
        if (!peer->mJoined)
            continue;
        const uint64_t deadline = peer->mChannel.NextDeadline();
        const int ms = deadline <= now ? 0 : int((deadline - now + 999) / 1000);
        timeoutMs = std::min(timeoutMs, ms);
    }
    return timeoutMs;
}

void NetUdpEndpoint::Worker::OnOp(Op& op, uint64_t now)
{
    switch (op.mKind)
    {
    case Op::Discover:
        OnDiscoverOp(op);
        break;
    case Op::Send:
        OnSendOp(op);
        break;
    case Op::Disconnect:
        OnDisconnectOp(op, now);
        break;
    }
}

void NetUdpEndpoint::Worker::OnDiscoverOp(const Op& op)
{
    const sockaddr_in to = op.mAddress.ToSockaddr();
    const uint8_t padding[kNetDiscoverPadding] = {};
    SendBare(to, NetKind::Discover, 0, padding, sizeof(padding));
}

void NetUdpEndpoint::Worker::OnSendOp(Op& op)
{
    for (size_t i = 0; i < mPeers.size(); ++i)
    {
        Peer& peer = *mPeers[i];
        if (!peer.mJoined || (mRole == Role::Host && op.mPeer != kAllPeers && op.mPeer != peer.mId))
            continue;
        // The last receiver takes the bytes; the others copy them.
        const bool last = mRole != Role::Host || op.mPeer != kAllPeers || i + 1 == mPeers.size();
        if (last)
            peer.mChannel.Queue(std::move(op.mBytes));
        else
            peer.mChannel.Queue(op.mBytes.data(), op.mBytes.size());
    }
}

void NetUdpEndpoint::Worker::OnDisconnectOp(const Op& op, uint64_t now)
{
    if (mRole != Role::Host && !mConnected)
        return;
    for (size_t i = 0; i < mPeers.size(); ++i)
    {
        Peer& peer = *mPeers[i];
        if (!peer.mJoined || (mRole == Role::Host && op.mPeer != kAllPeers && op.mPeer != peer.mId))
            continue;
        peer.mChannel.SendControl(NetKind::Disconnect, nullptr, 0, now, HookFor(peer));
        RemovePeer(i--, 0);
    }
}

void NetUdpEndpoint::Worker::ReadDatagrams(uint64_t now)
{
    for (int read = 0; read < kReadsPerRound && !mOwner.EventsFull(); ++read)
    {
        sockaddr_in from{};
        socklen_t fromLength = sizeof(from);
        const ssize_t size = recvfrom(mOwner.mSocket, mDatagram, sizeof(mDatagram), MSG_DONTWAIT | MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size <= 0)
            break;
        if (size_t(size) > sizeof(mDatagram))
        {
            mOwner.CountDrop(NetDrop::Length);
            continue;
        }
        NetHeader header;
        NetDrop reason;
        if (!ReadNetHeader(mDatagram, size_t(size), true, header, reason))
        {
            mOwner.CountDrop(reason);
            continue;
        }
        OnDatagram(header, from, size_t(size), now);
    }
}

void NetUdpEndpoint::Worker::OnDatagram(NetHeader& header, const sockaddr_in& from, size_t size, uint64_t now)
{
    if (mRole == Role::Responder || mRole == Role::Finder)
    {
        OnDiscovery(header, from, size, now);
        return;
    }
    const NetAddress source = NetAddress::FromSockaddr(from);
    const uint8_t* payload = mDatagram + kNetHeaderSize;
    Peer* peer = FindPeer(source);
    if (mRole == Role::Host && peer && !peer->mJoined && header.mKind == NetKind::Connect && Expired(*peer, now))
    {
        // Its wait ran out before the worker's round let it go: asking again starts afresh.
        OnPeerLeft(*peer);
        peer = nullptr;
    }
    if (mRole == Role::Host && !peer)
    {
        peer = OnNewPeer(header, from, now);
        if (peer)
            OnConnectRequest(*peer, now);
        return;
    }
    if (!peer)
        mOwner.CountDrop(NetDrop::Source);
    else if (mRole == Role::Host && header.mKind == NetKind::Connect)
    {
        // A player's repeat is answered at once; a waiting source, whose accept may have been
        // lost, again at most once a second and only while there is time left to answer it.
        if (peer->mJoined ||
            (now >= peer->mLastAccept + kReacceptInterval &&
             now + kAnswerTime <= peer->mOpened + mSettings.mJoinTimeout))
            OnConnectRequest(*peer, now);
    }
    else if (mRole == Role::Client && !mConnected)
        OnHandshakeReply(*peer, header, source, payload, now);
    else if (header.mToken != peer->mChannel.GetToken())
        mOwner.CountDrop(NetDrop::Token);
    else if (header.mKind == NetKind::Disconnect)
        OnPeerLeft(*peer);
    else if (header.mKind == NetKind::Data || header.mKind == NetKind::Ack || header.mKind == NetKind::Heartbeat)
    {
        if (peer->mJoined || OnConfirmed(*peer, now))
            OnChannelFrame(*peer, header, payload, now);
    }
    else if (header.mKind != NetKind::Accept)
        mOwner.CountDrop(NetDrop::Kind);
}

void NetUdpEndpoint::Worker::OnDiscovery(const NetHeader& header, const sockaddr_in& from, size_t size, uint64_t now)
{
    if (mRole == Role::Responder && header.mKind == NetKind::Discover)
        OnDiscoverRequest(from, size, now);
    else if (mRole == Role::Finder && header.mKind == NetKind::Offer)
        OnOffer(header, NetAddress::FromSockaddr(from), mDatagram + kNetHeaderSize);
    else
        mOwner.CountDrop(NetDrop::Kind);
}

void NetUdpEndpoint::Worker::OnDiscoverRequest(const sockaddr_in& from, size_t size, uint64_t now)
{
    uint8_t offer[kNetMaxName + 8];
    NetWriter out{offer, sizeof(offer)};
    out.Text(mSettings.mGameName.substr(0, kNetMaxName));
    out.U16(mSettings.mGamePort);
    out.U8(uint8_t(std::min<uint32_t>(mOwner.mPlayers.load(), 255)));
    // No amplifier for a forged source: never more bytes out than in, never many.
    if (kNetHeaderSize + out.mSize > size)
        mOwner.CountDrop(NetDrop::Length);
    else if (!AllowReply(NetAddress::FromSockaddr(from).mIp, mSettings.mOffersPerSecond, now))
        mOwner.CountDrop(NetDrop::Rate);
    else
        SendBare(from, NetKind::Offer, 0, offer, out.mSize);
}

bool NetUdpEndpoint::Worker::AllowReply(uint32_t ip, uint32_t perSecond, uint64_t now)
{
    if (mReplied.size() >= kMaxRateSources && !mReplied.contains(ip))
        std::erase_if(mReplied, [&](const auto& entry) { return now >= entry.second.mStart + 1'000'000; });
    if (mReplied.size() >= kMaxRateSources && !mReplied.contains(ip))
        return false;
    Window& window = mReplied[ip];
    if (window.mCount == 0 || now >= window.mStart + 1'000'000)
        window = Window{now, 0};
    return ++window.mCount <= perSecond;
}

void NetUdpEndpoint::Worker::OnOffer(const NetHeader& header, const NetAddress& source, const uint8_t* payload)
{
    NetEvent event;
    event.mType = NetEventType::Offer;
    uint16_t port = 0;
    uint8_t players = 0;
    const bool good = ReadNetOffer(payload, header.mLength, event.mName, port, players);
    event.mAddress = NetAddress{source.mIp, port};
    event.mValue = players;
    if (!good)
        mOwner.CountDrop(NetDrop::Payload);
    else
        mOwner.PushEvent(std::move(event));
}

NetUdpEndpoint::Worker::Peer* NetUdpEndpoint::Worker::OnNewPeer(const NetHeader& header, const sockaddr_in& from,
                                                                uint64_t now)
{
    if (header.mKind != NetKind::Connect || header.mToken != 0 || header.mLength != 0)
    {
        mOwner.CountDrop(NetDrop::Source);
        return nullptr;
    }
    const NetAddress source = NetAddress::FromSockaddr(from);
    if (PendingFrom(source.mIp) >= mSettings.mMaxPendingPerAddress)
    {
        mOwner.CountDrop(NetDrop::Crowd);
        return nullptr;
    }
    if (Players() >= mSettings.mMaxPeers || (mPeers.size() >= kMaxConnections && !EvictOldestPending()))
    {
        if (AllowReply(source.mIp, kRefusalsPerSecond, now))
            SendBare(from, NetKind::Refuse, 0, nullptr, 0);
        else
            mOwner.CountDrop(NetDrop::Rate);
        return nullptr;
    }
    auto fresh = std::make_unique<Peer>();
    fresh->mId = mNextId++;
    fresh->mAddress = source;
    fresh->mSockaddr = from;
    fresh->mJoined = false;
    fresh->mOpened = now;
    fresh->mChannel.SetLossTimeout(mSettings.mLossTimeout);
    uint32_t token = 0;
    while (token == 0)
        token = mRandom();
    fresh->mChannel.Reset(token, now);
    Peer* peer = fresh.get();
    mPeers.push_back(std::move(fresh));
    return peer;
}

bool NetUdpEndpoint::Worker::OnConfirmed(Peer& peer, uint64_t now)
{
    if (Players() >= mSettings.mMaxPeers)
    {
        // The slots went to others while it was answering.
        peer.mChannel.SendControl(NetKind::Disconnect, nullptr, 0, now, HookFor(peer));
        for (size_t i = 0; i < mPeers.size(); ++i)
            if (mPeers[i].get() == &peer)
                RemovePeer(i, 0);
        return false;
    }
    peer.mJoined = true;
    peer.mLastData = now;
    NetEvent event;
    event.mType = NetEventType::Joined;
    event.mPeer = peer.mId;
    event.mAddress = peer.mAddress;
    mOwner.PushEvent(std::move(event));
    return true;
}

// The table keeps its order of arrival: the first one waiting is the oldest.
bool NetUdpEndpoint::Worker::EvictOldestPending()
{
    for (size_t i = 0; i < mPeers.size(); ++i)
    {
        if (!mPeers[i]->mJoined)
        {
            mOwner.CountDrop(NetDrop::Evicted);
            RemovePeer(i, 0);
            return true;
        }
    }
    return false;
}

size_t NetUdpEndpoint::Worker::Players() const
{
    return size_t(std::count_if(mPeers.begin(), mPeers.end(), [](const auto& peer) { return peer->mJoined; }));
}

size_t NetUdpEndpoint::Worker::PendingFrom(uint32_t ip) const
{
    return size_t(std::count_if(mPeers.begin(), mPeers.end(),
                                [ip](const auto& peer) { return !peer->mJoined && peer->mAddress.mIp == ip; }));
}

// The accept a waiting source gets; a player's late or doubled connect is answered again, with
// the same token and id.
void NetUdpEndpoint::Worker::OnConnectRequest(Peer& peer, uint64_t now)
{
    peer.mLastAccept = now;
    uint8_t id[4];
    NetWriter out{id, 4};
    out.U32(peer.mId);
    peer.mChannel.SendControl(NetKind::Accept, id, 4, now, HookFor(peer));
}

void NetUdpEndpoint::Worker::OnHandshakeReply(Peer& peer, const NetHeader& header, const NetAddress& source,
                                              const uint8_t* payload, uint64_t now)
{
    if (header.mKind == NetKind::Accept && header.mToken != 0 && header.mLength == 4)
    {
        NetReader in{payload, 4};
        const uint32_t id = in.U32();
        peer.mChannel.Reset(header.mToken, now);
        mConnected = true;
        // The host counts us as a player once it hears its token back: at once, not at the
        // first heartbeat.
        peer.mChannel.SendControl(NetKind::Heartbeat, nullptr, 0, now, HookFor(peer));
        NetEvent event;
        event.mType = NetEventType::Connected;
        event.mValue = id;
        event.mAddress = source;
        mOwner.PushEvent(std::move(event));
    }
    else if (header.mKind == NetKind::Refuse)
    {
        GiveUp(source);
    }
    else
    {
        mOwner.CountDrop(NetDrop::Source);
    }
}

void NetUdpEndpoint::Worker::OnPeerLeft(const Peer& peer)
{
    for (size_t i = 0; i < mPeers.size(); ++i)
    {
        if (mPeers[i].get() == &peer)
        {
            RemovePeer(i, 0);
            return;
        }
    }
}

void NetUdpEndpoint::Worker::OnChannelFrame(Peer& peer, const NetHeader& header, const uint8_t* payload, uint64_t now)
{
    const uint32_t peerId = peer.mId;
    NetDrop reason;
    if (!peer.mChannel.Receive(
            header, payload, now,
            [&](const uint8_t* bytes, size_t size) {
                // Bytes that are no message keep the channel alive but do not make a player.
                if (NetMessageDecodes(bytes, size))
                    peer.mLastData = now;
                NetEvent event;
                event.mType = NetEventType::Message;
                event.mPeer = peerId;
                event.mBytes.assign(bytes, bytes + size);
                mOwner.PushEvent(std::move(event));
            },
            reason))
        mOwner.CountDrop(reason);
}

void NetUdpEndpoint::Worker::PumpPeers(uint64_t now)
{
    if (mRole == Role::Client && !mConnected)
        return;
    for (size_t i = 0; i < mPeers.size(); ++i)
    {
        Peer& peer = *mPeers[i];
        if (Expired(peer, now))
        {
            if (peer.mJoined)
                peer.mChannel.SendControl(NetKind::Disconnect, nullptr, 0, now, HookFor(peer));
            RemovePeer(i--, 1);
            continue;
        }
        if (peer.mChannel.IsLost(now))
        {
            RemovePeer(i--, 1);
            continue;
        }
        // A source that has not answered gets nothing unasked: no heartbeats, no resends.
        if (peer.mJoined)
            peer.mChannel.Pump(now, HookFor(peer));
    }
}

bool NetUdpEndpoint::Worker::Expired(const Peer& peer, uint64_t now)
{
    if (mRole != Role::Host)
        return false;
    if (!peer.mJoined && now > peer.mOpened + mSettings.mJoinTimeout)
    {
        mOwner.CountDrop(NetDrop::Join);
        return true;
    }
    return peer.mJoined && now > peer.mLastData + mSettings.mIdleTimeout;
}

void NetUdpEndpoint::Worker::RemovePeer(size_t index, uint32_t silent)
{
    if (!mPeers[index]->mJoined)
    {
        // Never a player: nothing to tell the game.
        mPeers.erase(mPeers.begin() + ptrdiff_t(index));
        return;
    }
    NetEvent event;
    event.mType = GoneEvent();
    event.mPeer = mPeers[index]->mId;
    event.mValue = silent;
    event.mAddress = mPeers[index]->mAddress;
    mOwner.PushEvent(std::move(event));
    mPeers.erase(mPeers.begin() + ptrdiff_t(index));
}

// Leaving says so, so peers need not wait out the time-out.
void NetUdpEndpoint::Worker::Shutdown()
{
    mOwner.FlushEvents();
    const uint64_t now = NowMicros();
    if (mRole == Role::Host || mConnected)
        for (auto& peer : mPeers)
            if (peer->mJoined)
                peer->mChannel.SendControl(NetKind::Disconnect, nullptr, 0, now, HookFor(*peer));
}
