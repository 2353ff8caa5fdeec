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

sockaddr_in ToSockaddr(const NetAddress& address)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(address.mIp);
    addr.sin_port = htons(address.mPort);
    return addr;
}

NetAddress FromSockaddr(const sockaddr_in& addr)
{
    return NetAddress{ntohl(addr.sin_addr.s_addr), ntohs(addr.sin_port)};
}

struct Peer
{
    uint32_t mId = 0;
    NetAddress mAddress;
    sockaddr_in mSockaddr{};
    NetChannel mChannel;
};

// The worker's own state; nothing here is touched by the main thread.
class UdpWorker
{
public:
    UdpWorker(int socket, const NetEndpoint::Settings& settings) : mSocket(socket), mSettings(settings)
    {
        std::random_device seed;
        mRandom.seed(seed());
    }

    int mSocket;
    const NetEndpoint::Settings& mSettings;
    std::mt19937 mRandom;
    std::vector<std::unique_ptr<Peer>> mPeers;
    uint32_t mNextId = 1;
    // Client state.
    bool mConnected = false;
    bool mGaveUp = false;
    uint64_t mConnectStart = 0;
    uint64_t mLastConnect = 0;

    void SendTo(const sockaddr_in& to, const uint8_t* bytes, size_t size)
    {
        sendto(mSocket, bytes, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    }
    void SendBare(const sockaddr_in& to, NetKind kind, uint32_t token, const uint8_t* payload, size_t size)
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
    Peer* FindPeer(const NetAddress& address)
    {
        for (auto& peer : mPeers)
            if (peer->mAddress == address)
                return peer.get();
        return nullptr;
    }
    NetChannel::SendHook HookFor(Peer& peer)
    {
        return [this, &peer](const uint8_t* bytes, size_t size) { SendTo(peer.mSockaddr, bytes, size); };
    }
};
} // namespace

NetUdpEndpoint::~NetUdpEndpoint()
{
    Stop();
}

bool NetUdpEndpoint::OpenSocket()
{
    mSocket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (mSocket < 0)
    {
        Console::Instance().Log("Network: no UDP socket: " + std::string(std::strerror(errno)), LogError);
        return false;
    }
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
    sockaddr_in local = ToSockaddr(mSettings.mLocal);
    if (bind(mSocket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0)
    {
        Console::Instance().Log("Network: cannot bind UDP " + mSettings.mLocal.Text() + ": " + std::strerror(errno),
                                LogError);
        return false;
    }
    socklen_t length = sizeof(local);
    getsockname(mSocket, reinterpret_cast<sockaddr*>(&local), &length);
    mBound = FromSockaddr(local);
    return true;
}

void NetUdpEndpoint::Run()
{
    UdpWorker w(mSocket, mSettings);
    const Role role = mSettings.mRole;
    const sockaddr_in remote = ToSockaddr(mSettings.mRemote);
    if (role == Role::Client)
    {
        auto peer = std::make_unique<Peer>();
        peer->mAddress = mSettings.mRemote;
        peer->mSockaddr = remote;
        peer->mChannel.SetLossTimeout(mSettings.mLossTimeout);
        w.mPeers.push_back(std::move(peer));
        w.mConnectStart = NowMicros();
    }
    std::vector<Op> ops;
    uint8_t datagram[2048];
    // Responder: offers sent per source address in its current one-second window.
    struct Window
    {
        uint64_t mStart = 0;
        uint32_t mCount = 0;
    };
    std::unordered_map<uint32_t, Window> offered;
    auto allowOffer = [&](uint32_t ip, uint64_t now) {
        if (offered.size() >= kMaxRateSources && !offered.contains(ip))
            std::erase_if(offered, [&](const auto& entry) { return now >= entry.second.mStart + 1'000'000; });
        if (offered.size() >= kMaxRateSources && !offered.contains(ip))
            return false;
        Window& window = offered[ip];
        if (window.mCount == 0 || now >= window.mStart + 1'000'000)
            window = Window{now, 0};
        return ++window.mCount <= mSettings.mOffersPerSecond;
    };

    auto removePeer = [&](size_t index, NetEventType type, uint32_t silent) {
        NetEvent event;
        event.mType = type;
        event.mPeer = w.mPeers[index]->mId;
        event.mValue = silent;
        event.mAddress = w.mPeers[index]->mAddress;
        PushEvent(std::move(event));
        w.mPeers.erase(w.mPeers.begin() + ptrdiff_t(index));
    };

    while (KeepRunning())
    {
        FlushEvents();
        uint64_t now = NowMicros();
        // Client handshake: ask again until accepted or the loss time-out passes.
        if (role == Role::Client && !w.mConnected && !w.mGaveUp)
        {
            if (now > w.mConnectStart + mSettings.mLossTimeout)
            {
                w.mGaveUp = true;
                w.mPeers.clear();
                PushEvent(NetEvent{NetEventType::Refused, 0, 0, mSettings.mRemote, {}, {}});
            }
            else if (w.mLastConnect == 0 || now >= w.mLastConnect + kConnectRetry)
            {
                w.mLastConnect = now;
                w.SendBare(remote, NetKind::Connect, 0, nullptr, 0);
            }
        }

        int timeoutMs = kMaxPollMs;
        for (auto& peer : w.mPeers)
        {
            if (role == Role::Client && !w.mConnected)
                break;
            const uint64_t deadline = peer->mChannel.NextDeadline();
            const int ms = deadline <= now ? 0 : int((deadline - now + 999) / 1000);
            timeoutMs = std::min(timeoutMs, ms);
        }
        pollfd fds[2] = {{mSocket, short(EventsFull() ? 0 : POLLIN), 0}, {mWakeFd, POLLIN, 0}};
        poll(fds, 2, timeoutMs);
        if (!KeepRunning())
            break;
        if (fds[1].revents & POLLIN)
            DrainWake();

        TakeOps(ops);
        for (Op& op : ops)
        {
            if (op.mKind == Op::Discover)
            {
                const sockaddr_in to = ToSockaddr(op.mAddress);
                const uint8_t padding[kNetDiscoverPadding] = {};
                w.SendBare(to, NetKind::Discover, 0, padding, sizeof(padding));
                continue;
            }
            for (size_t i = 0; i < w.mPeers.size(); ++i)
            {
                Peer& peer = *w.mPeers[i];
                if (role == Role::Host && op.mPeer != kAllPeers && op.mPeer != peer.mId)
                    continue;
                if (op.mKind == Op::Send)
                {
                    // The last receiver takes the bytes; the others copy them.
                    const bool last = role != Role::Host || op.mPeer != kAllPeers || i + 1 == w.mPeers.size();
                    if (last)
                        peer.mChannel.Queue(std::move(op.mBytes));
                    else
                        peer.mChannel.Queue(op.mBytes.data(), op.mBytes.size());
                }
                else if (role == Role::Host || w.mConnected)
                {
                    peer.mChannel.SendControl(NetKind::Disconnect, nullptr, 0, now, w.HookFor(peer));
                    removePeer(i--, role == Role::Host ? NetEventType::Left : NetEventType::Disconnected, 0);
                }
            }
        }

        now = NowMicros();
        for (int read = 0; read < kReadsPerRound && !EventsFull(); ++read)
        {
            sockaddr_in from{};
            socklen_t fromLength = sizeof(from);
            const ssize_t size = recvfrom(mSocket, datagram, sizeof(datagram), MSG_DONTWAIT | MSG_TRUNC,
                                          reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (size <= 0)
                break;
            if (size_t(size) > sizeof(datagram))
            {
                CountDrop(NetDrop::Length);
                continue;
            }
            NetHeader header;
            NetDrop reason;
            if (!ReadNetHeader(datagram, size_t(size), true, header, reason))
            {
                CountDrop(reason);
                continue;
            }
            const NetAddress source = FromSockaddr(from);
            const uint8_t* payload = datagram + kNetHeaderSize;

            if (role == Role::Responder || role == Role::Finder)
            {
                if (role == Role::Responder && header.mKind == NetKind::Discover)
                {
                    uint8_t offer[kNetMaxName + 8];
                    NetWriter out{offer, sizeof(offer)};
                    out.Text(mSettings.mGameName.substr(0, kNetMaxName));
                    out.U16(mSettings.mGamePort);
                    out.U8(uint8_t(std::min<uint32_t>(mPlayers.load(), 255)));
                    // No amplifier for a forged source: never more bytes out than in, never many.
                    if (kNetHeaderSize + out.mSize > size_t(size))
                        CountDrop(NetDrop::Length);
                    else if (!allowOffer(source.mIp, now))
                        CountDrop(NetDrop::Rate);
                    else
                        w.SendBare(from, NetKind::Offer, 0, offer, out.mSize);
                }
                else if (role == Role::Finder && header.mKind == NetKind::Offer)
                {
                    NetEvent event;
                    event.mType = NetEventType::Offer;
                    uint16_t port = 0;
                    uint8_t players = 0;
                    const bool good = ReadNetOffer(payload, header.mLength, event.mName, port, players);
                    event.mAddress = NetAddress{source.mIp, port};
                    event.mValue = players;
                    if (!good)
                        CountDrop(NetDrop::Payload);
                    else
                        PushEvent(std::move(event));
                }
                else
                {
                    CountDrop(NetDrop::Kind);
                }
                continue;
            }

            Peer* peer = w.FindPeer(source);
            if (role == Role::Host && !peer)
            {
                if (header.mKind != NetKind::Connect || header.mToken != 0 || header.mLength != 0)
                {
                    CountDrop(NetDrop::Source);
                    continue;
                }
                if (w.mPeers.size() >= mSettings.mMaxPeers)
                {
                    w.SendBare(from, NetKind::Refuse, 0, nullptr, 0);
                    continue;
                }
                auto fresh = std::make_unique<Peer>();
                fresh->mId = w.mNextId++;
                fresh->mAddress = source;
                fresh->mSockaddr = from;
                fresh->mChannel.SetLossTimeout(mSettings.mLossTimeout);
                uint32_t token = 0;
                while (token == 0)
                    token = w.mRandom();
                fresh->mChannel.Reset(token, now);
                peer = fresh.get();
                w.mPeers.push_back(std::move(fresh));
                header.mKind = NetKind::Connect; // answered with an accept below
                NetEvent event;
                event.mType = NetEventType::Joined;
                event.mPeer = peer->mId;
                event.mAddress = source;
                PushEvent(std::move(event));
            }
            if (!peer)
            {
                CountDrop(NetDrop::Source);
                continue;
            }
            if (role == Role::Host && header.mKind == NetKind::Connect)
            {
                // A lost accept is asked for again; the peer keeps its token and id.
                uint8_t id[4];
                NetWriter out{id, 4};
                out.U32(peer->mId);
                peer->mChannel.SendControl(NetKind::Accept, id, 4, now, w.HookFor(*peer));
                continue;
            }
            if (role == Role::Client && !w.mConnected)
            {
                if (header.mKind == NetKind::Accept && header.mToken != 0 && header.mLength == 4)
                {
                    NetReader in{payload, 4};
                    const uint32_t id = in.U32();
                    peer->mChannel.Reset(header.mToken, now);
                    w.mConnected = true;
                    NetEvent event;
                    event.mType = NetEventType::Connected;
                    event.mValue = id;
                    event.mAddress = source;
                    PushEvent(std::move(event));
                }
                else if (header.mKind == NetKind::Refuse)
                {
                    w.mGaveUp = true;
                    w.mPeers.clear();
                    PushEvent(NetEvent{NetEventType::Refused, 0, 0, source, {}, {}});
                }
                else
                {
                    CountDrop(NetDrop::Source);
                }
                continue;
            }
            if (header.mToken != peer->mChannel.GetToken())
            {
                CountDrop(NetDrop::Token);
                continue;
            }
            if (header.mKind == NetKind::Disconnect)
            {
                for (size_t i = 0; i < w.mPeers.size(); ++i)
                    if (w.mPeers[i].get() == peer)
                        removePeer(i, role == Role::Host ? NetEventType::Left : NetEventType::Disconnected, 0);
                continue;
            }
            if (header.mKind != NetKind::Data && header.mKind != NetKind::Ack && header.mKind != NetKind::Heartbeat)
            {
                if (header.mKind != NetKind::Accept)
                    CountDrop(NetDrop::Kind);
                continue;
            }
            const uint32_t peerId = peer->mId;
            if (!peer->mChannel.Receive(header, payload, now,
                                        [&](const uint8_t* bytes, size_t size) {
                                            NetEvent event;
                                            event.mType = NetEventType::Message;
                                            event.mPeer = peerId;
                                            event.mBytes.assign(bytes, bytes + size);
                                            PushEvent(std::move(event));
                                        },
                                        reason))
                CountDrop(reason);
        }

        now = NowMicros();
        for (size_t i = 0; i < w.mPeers.size(); ++i)
        {
            Peer& peer = *w.mPeers[i];
            if (role == Role::Client && !w.mConnected)
                break;
            if (peer.mChannel.IsLost(now))
            {
                removePeer(i--, role == Role::Host ? NetEventType::Left : NetEventType::Disconnected, 1);
                continue;
            }
            peer.mChannel.Pump(now, w.HookFor(peer));
        }
    }
    FlushEvents();
    // Leaving says so, so peers need not wait out the time-out.
    const uint64_t now = NowMicros();
    if (role == Role::Host || w.mConnected)
        for (auto& peer : w.mPeers)
            peer->mChannel.SendControl(NetKind::Disconnect, nullptr, 0, now, w.HookFor(*peer));
}
