#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "LOOM/console/Console.h"
#include "network/NetTcpEndpoint.h"

namespace {
constexpr int kMaxPollMs = 20;
constexpr size_t kMaxConnections = 64;
// Connections taken from the listen queue per round: a crowd at the door cannot starve the rest.
constexpr int kAcceptsPerRound = 64;
constexpr int kListenBacklog = 128;
constexpr uint64_t kHeartbeat = 250'000;

void SetNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}
} // namespace

// The worker's own state, one handler per thing that can happen to it; nothing here is touched by
// the main thread.
class NetTcpEndpoint::Worker
{
public:
    explicit Worker(NetTcpEndpoint& owner) : mOwner(owner), mHost(owner.mSettings.mRole == Role::Host) {}
    void Run();

private:
    struct Connection
    {
        int mFd = -1;
        uint32_t mId = 0;
        NetAddress mAddress;
        std::vector<uint8_t> mIn;
        std::vector<uint8_t> mOut;
        size_t mOutSent = 0;
        uint64_t mLastHeard = 0;
        uint64_t mLastQueued = 0;
        // Host side: accepted sockets are players only once they send their connect frame.
        bool mJoined = false;
        uint64_t mOpened = 0;
        uint64_t mLastData = 0;
        // What the last poll said; connections accepted since wait a round.
        bool mPolled = false;
        short mRevents = 0;
    };

    static void AppendFrame(Connection& c, NetKind kind, const uint8_t* payload, size_t size);
    static void SendNow(const Connection& c, int flags);
    void StartClient();
    void Poll();
    void OnIncoming();
    void OnAccepted(int fd, const sockaddr_in& from);
    size_t PendingFrom(uint32_t ip) const;
    // The oldest connection waiting to join (from that address only when sameIp) joins if its
    // connect frame has come, else it is closed; false when none waits.
    bool SettleOldestPending(bool sameIp, uint32_t ip, NetDrop reason);
    void OnOp(const Op& op);
    void OnSendOp(const Op& op);
    void OnDisconnectOp(const Op& op);
    // Each returns false once the connection must end.
    bool OnReadable(Connection& c);
    bool ReadFrames(Connection& c);
    bool OnJoinFrame(Connection& c, const NetHeader& header);
    bool OnConnectFrame(Connection& c);
    bool OnFrame(Connection& c, const NetHeader& header, const uint8_t* payload);
    void OnDataFrame(Connection& c, const NetHeader& header, const uint8_t* payload);
    void OnAcceptFrame(Connection& c, const uint8_t* payload);
    bool OnWritable(Connection& c);
    bool TimedOut(const Connection& c, uint64_t now);
    // True when the connection was dropped.
    bool Service(size_t index);
    void Drop(size_t index, uint32_t silent);
    void Shutdown();
    bool Targets(const Connection& c, const Op& op) const;
    size_t Players() const;

    NetTcpEndpoint& mOwner;
    const bool mHost;
    std::vector<Connection> mConns;
    uint32_t mNextId = 1;
    // Client state.
    bool mConnected = false;
    bool mFailed = false;
    std::vector<Op> mOps;
    std::vector<pollfd> mFds;
    uint8_t mChunk[4096];
};

void NetTcpEndpoint::Worker::AppendFrame(Connection& c, NetKind kind, const uint8_t* payload, size_t size)
{
    uint8_t header[kNetHeaderSize];
    NetHeader h;
    h.mKind = kind;
    // Control frames pass no payload; the header must not promise bytes that never follow.
    h.mLength = payload ? uint16_t(std::min(size, kNetMaxPayload)) : 0;
    WriteNetHeader(h, header);
    c.mOut.insert(c.mOut.end(), header, header + kNetHeaderSize);
    if (h.mLength > 0)
        c.mOut.insert(c.mOut.end(), payload, payload + h.mLength);
}

// Last words before a close: whatever fits in the socket now, no waiting.
void NetTcpEndpoint::Worker::SendNow(const Connection& c, int flags)
{
    [[maybe_unused]] ssize_t n = send(c.mFd, c.mOut.data() + c.mOutSent, c.mOut.size() - c.mOutSent, flags);
}

NetTcpEndpoint::~NetTcpEndpoint() { Stop(); }

bool NetTcpEndpoint::OpenSocket()
{
    if (!NewSocket(SOCK_STREAM, "TCP"))
        return false;
    const int on = 1;
    setsockopt(mSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in local = mSettings.mLocal.ToSockaddr();
    if (bind(mSocket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
        (mSettings.mRole == Role::Host && listen(mSocket, kListenBacklog) != 0))
    {
        Console::Instance().Log("Network: cannot open TCP " + mSettings.mLocal.Text() + ": " + std::strerror(errno),
                                LogError);
        return false;
    }
    NoteBound(local);
    SetNonBlocking(mSocket);
    if (mSettings.mRole == Role::Client)
    {
        const sockaddr_in remote = mSettings.mRemote.ToSockaddr();
        if (connect(mSocket, reinterpret_cast<const sockaddr*>(&remote), sizeof(remote)) != 0 && errno != EINPROGRESS)
        {
            Console::Instance().Log(
                "Network: cannot connect TCP to " + mSettings.mRemote.Text() + ": " + std::strerror(errno), LogError);
            return false;
        }
    }
    return true;
}

void NetTcpEndpoint::Run() { Worker(*this).Run(); }

void NetTcpEndpoint::Worker::Run()
{
    if (!mHost)
        StartClient();
    while (mOwner.KeepRunning() && !mFailed)
    {
        mOwner.FlushEvents();
        Poll();
        if (!mOwner.KeepRunning())
            break;
        if (mFds[0].revents & POLLIN)
            mOwner.DrainWake();
        if (mHost && (mFds[1].revents & POLLIN))
            OnIncoming();
        mOwner.TakeOps(mOps);
        for (const Op& op : mOps)
            OnOp(op);
        for (size_t i = 0; i < mConns.size() && !mFailed; ++i)
            if (mConns[i].mPolled && Service(i))
                --i;
    }
    Shutdown();
}

void NetTcpEndpoint::Worker::StartClient()
{
    // The client's one connection is the socket itself; the host is peer 0.
    Connection c;
    c.mFd = mOwner.mSocket;
    c.mAddress = mOwner.mSettings.mRemote;
    c.mLastHeard = c.mLastQueued = NowMicros();
    // The host counts us as a player once this arrives.
    AppendFrame(c, NetKind::Connect, nullptr, 0);
    mConns.push_back(std::move(c));
}

void NetTcpEndpoint::Worker::Poll()
{
    mFds.clear();
    mFds.push_back({mOwner.mWakeFd, POLLIN, 0});
    if (mHost)
        mFds.push_back({mOwner.mSocket, POLLIN, 0});
    const size_t first = mFds.size();
    for (const Connection& c : mConns)
    {
        short events = mOwner.EventsFull() ? 0 : POLLIN;
        if (c.mOutSent < c.mOut.size() || (!mHost && !mConnected))
            events |= POLLOUT;
        mFds.push_back({c.mFd, events, 0});
    }
    poll(mFds.data(), mFds.size(), kMaxPollMs);
    // Kept with the connection so that drops before servicing cannot shift the slots.
    for (size_t i = 0; i < mConns.size(); ++i)
    {
        mConns[i].mPolled = true;
        mConns[i].mRevents = mFds[first + i].revents;
    }
}

void NetTcpEndpoint::Worker::OnIncoming()
{
    for (int i = 0; i < kAcceptsPerRound; ++i)
    {
        sockaddr_in from{};
        socklen_t length = sizeof(from);
        const int fd = accept4(mOwner.mSocket, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        OnAccepted(fd, from);
    }
}

size_t NetTcpEndpoint::Worker::PendingFrom(uint32_t ip) const
{
    return size_t(std::count_if(mConns.begin(), mConns.end(),
                                [ip](const Connection& c) { return !c.mJoined && c.mAddress.mIp == ip; }));
}

// The table keeps its order of arrival: the first one waiting is the oldest. It reads what it
// was sent first, so a player whose connect frame is here joins rather than goes.
bool NetTcpEndpoint::Worker::SettleOldestPending(bool sameIp, uint32_t ip, NetDrop reason)
{
    for (size_t i = 0; i < mConns.size(); ++i)
    {
        Connection& c = mConns[i];
        if (c.mJoined || (sameIp && c.mAddress.mIp != ip))
            continue;
        const bool open = OnReadable(c) && ReadFrames(c);
        if (open && c.mJoined)
            return true;
        if (open)
            mOwner.CountDrop(reason);
        Drop(i, 0);
        return true;
    }
    return false;
}

void NetTcpEndpoint::Worker::OnAccepted(int fd, const sockaddr_in& from)
{
    const NetAddress address = NetAddress::FromSockaddr(from);
    const uint32_t perAddress = mOwner.mSettings.mMaxPendingPerAddress;
    bool room = perAddress > 0;
    while (room && PendingFrom(address.mIp) >= perAddress)
        room = SettleOldestPending(true, address.mIp, NetDrop::Crowd);
    if (!room)
    {
        mOwner.CountDrop(NetDrop::Crowd);
        close(fd);
        return;
    }
    while (room && mConns.size() >= kMaxConnections)
        room = SettleOldestPending(false, 0, NetDrop::Evicted);
    if (!room)
    {
        Connection refused;
        refused.mFd = fd;
        AppendFrame(refused, NetKind::Refuse, nullptr, 0);
        SendNow(refused, MSG_NOSIGNAL);
        close(fd);
        return;
    }
    SetNonBlocking(fd);
    Connection c;
    c.mFd = fd;
    c.mOpened = c.mLastHeard = c.mLastQueued = NowMicros();
    c.mAddress = address;
    mConns.push_back(std::move(c));
}

bool NetTcpEndpoint::Worker::Targets(const Connection& c, const Op& op) const
{
    return !mHost || (c.mJoined && (op.mPeer == kAllPeers || op.mPeer == c.mId));
}

size_t NetTcpEndpoint::Worker::Players() const
{
    return size_t(std::count_if(mConns.begin(), mConns.end(), [](const Connection& c) { return c.mJoined; }));
}

void NetTcpEndpoint::Worker::OnOp(const Op& op)
{
    switch (op.mKind)
    {
    case Op::Send:
        OnSendOp(op);
        break;
    case Op::Disconnect:
        OnDisconnectOp(op);
        break;
    case Op::Discover: // discovery runs over UDP only
        break;
    }
}

void NetTcpEndpoint::Worker::OnSendOp(const Op& op)
{
    for (Connection& c : mConns)
    {
        if (!Targets(c, op))
            continue;
        AppendFrame(c, NetKind::Data, op.mBytes.data(), op.mBytes.size());
        c.mLastQueued = NowMicros();
    }
}

void NetTcpEndpoint::Worker::OnDisconnectOp(const Op& op)
{
    for (size_t i = 0; i < mConns.size(); ++i)
    {
        if (!Targets(mConns[i], op))
            continue;
        AppendFrame(mConns[i], NetKind::Disconnect, nullptr, 0);
        SendNow(mConns[i], MSG_NOSIGNAL);
        Drop(i--, 0);
    }
}

bool NetTcpEndpoint::Worker::Service(size_t index)
{
    Connection& c = mConns[index];
    const short revents = c.mRevents;
    bool lost = (revents & (POLLERR | POLLHUP)) && !(revents & POLLIN);
    if (!lost && (revents & POLLIN))
        lost = !OnReadable(c);
    if (!lost)
        lost = !ReadFrames(c);
    if (!lost && (revents & POLLOUT) && c.mOutSent < c.mOut.size())
        lost = !OnWritable(c);
    bool timedOut = false;
    if (!lost)
    {
        const uint64_t now = NowMicros();
        lost = timedOut = TimedOut(c, now);
        if (!lost && (mHost ? c.mJoined : mConnected) && now > c.mLastQueued + kHeartbeat)
        {
            AppendFrame(c, NetKind::Heartbeat, nullptr, 0);
            c.mLastQueued = now;
        }
    }
    if (!lost)
        return false;
    Drop(index, (timedOut || !(revents & POLLIN)) ? 1 : 0);
    return true;
}

bool NetTcpEndpoint::Worker::OnReadable(Connection& c)
{
    const ssize_t n = recv(c.mFd, mChunk, sizeof(mChunk), MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
        return false;
    if (n > 0)
    {
        c.mIn.insert(c.mIn.end(), mChunk, mChunk + n);
        c.mLastHeard = NowMicros();
    }
    return true;
}

// Whole frames only; a frame that claims more than the maximum ends the connection.
bool NetTcpEndpoint::Worker::ReadFrames(Connection& c)
{
    size_t pos = 0;
    bool keep = true;
    while (keep && c.mIn.size() - pos >= kNetHeaderSize)
    {
        NetHeader header;
        NetDrop reason;
        if (!ReadNetHeader(c.mIn.data() + pos, c.mIn.size() - pos, false, header, reason))
        {
            mOwner.CountDrop(reason);
            keep = false;
            break;
        }
        if (c.mIn.size() - pos < kNetHeaderSize + header.mLength)
            break;
        const uint8_t* payload = c.mIn.data() + pos + kNetHeaderSize;
        pos += kNetHeaderSize + header.mLength;
        keep = (mHost && !c.mJoined) ? OnJoinFrame(c, header) : OnFrame(c, header, payload);
    }
    if (pos)
        c.mIn.erase(c.mIn.begin(), c.mIn.begin() + ptrdiff_t(pos));
    return keep;
}

bool NetTcpEndpoint::Worker::OnJoinFrame(Connection& c, const NetHeader& header)
{
    if (header.mKind == NetKind::Connect && header.mLength == 0)
        return OnConnectFrame(c);
    if (header.mKind == NetKind::Disconnect)
        return false;
    if (header.mKind != NetKind::Heartbeat)
        mOwner.CountDrop(NetDrop::Source);
    return true;
}

bool NetTcpEndpoint::Worker::OnConnectFrame(Connection& c)
{
    if (Players() >= mOwner.mSettings.mMaxPeers)
    {
        AppendFrame(c, NetKind::Refuse, nullptr, 0);
        SendNow(c, MSG_NOSIGNAL | MSG_DONTWAIT);
        return false;
    }
    c.mJoined = true;
    c.mId = mNextId++;
    c.mLastData = NowMicros();
    uint8_t id[4];
    NetWriter out{id, 4};
    out.U32(c.mId);
    AppendFrame(c, NetKind::Accept, id, 4);
    NetEvent event;
    event.mType = NetEventType::Joined;
    event.mPeer = c.mId;
    event.mAddress = c.mAddress;
    mOwner.PushEvent(std::move(event));
    return true;
}

bool NetTcpEndpoint::Worker::OnFrame(Connection& c, const NetHeader& header, const uint8_t* payload)
{
    if (header.mKind == NetKind::Data)
        OnDataFrame(c, header, payload);
    else if (!mHost && !mConnected && header.mKind == NetKind::Accept && header.mLength == 4)
        OnAcceptFrame(c, payload);
    else if (header.mKind == NetKind::Disconnect || header.mKind == NetKind::Refuse)
        return false;
    else if (header.mKind != NetKind::Heartbeat)
        mOwner.CountDrop(NetDrop::Kind);
    return true;
}

void NetTcpEndpoint::Worker::OnDataFrame(Connection& c, const NetHeader& header, const uint8_t* payload)
{
    // Bytes that are no message keep the connection alive but do not make a player.
    if (NetMessageDecodes(payload, header.mLength))
        c.mLastData = NowMicros();
    NetEvent event;
    event.mType = NetEventType::Message;
    event.mPeer = c.mId;
    event.mBytes.assign(payload, payload + header.mLength);
    mOwner.PushEvent(std::move(event));
}

void NetTcpEndpoint::Worker::OnAcceptFrame(Connection& c, const uint8_t* payload)
{
    NetReader in{payload, 4};
    mConnected = true;
    NetEvent event;
    event.mType = NetEventType::Connected;
    event.mValue = in.U32();
    event.mAddress = c.mAddress;
    mOwner.PushEvent(std::move(event));
}

bool NetTcpEndpoint::Worker::OnWritable(Connection& c)
{
    const ssize_t n = send(c.mFd, c.mOut.data() + c.mOutSent, c.mOut.size() - c.mOutSent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0)
        c.mOutSent += size_t(n);
    if (c.mOutSent == c.mOut.size())
    {
        c.mOut.clear();
        c.mOutSent = 0;
    }
    return !(n < 0 && errno != EAGAIN && errno != EINTR);
}

// A peer that keeps the connection open but says nothing is as good as gone.
bool NetTcpEndpoint::Worker::TimedOut(const Connection& c, uint64_t now)
{
    const Settings& settings = mOwner.mSettings;
    if (mHost && !c.mJoined && now > c.mOpened + settings.mJoinTimeout)
    {
        mOwner.CountDrop(NetDrop::Join);
        return true;
    }
    return now > c.mLastHeard + settings.mLossTimeout ||
        (mHost && c.mJoined && now > c.mLastData + settings.mIdleTimeout);
}

void NetTcpEndpoint::Worker::Drop(size_t index, uint32_t silent)
{
    Connection& c = mConns[index];
    if (mHost && !c.mJoined)
    {
        // Never a player: nothing to tell the game.
        close(c.mFd);
        mConns.erase(mConns.begin() + ptrdiff_t(index));
        return;
    }
    NetEvent event;
    event.mType = mHost ? NetEventType::Left : (mConnected ? NetEventType::Disconnected : NetEventType::Refused);
    event.mPeer = c.mId;
    event.mValue = silent;
    event.mAddress = c.mAddress;
    if (!mHost)
        mFailed = true;
    mOwner.PushEvent(std::move(event));
    if (c.mFd != mOwner.mSocket)
        close(c.mFd);
    mConns.erase(mConns.begin() + ptrdiff_t(index));
}

void NetTcpEndpoint::Worker::Shutdown()
{
    mOwner.FlushEvents();
    for (Connection& c : mConns)
    {
        if (mConnected || c.mJoined)
        {
            AppendFrame(c, NetKind::Disconnect, nullptr, 0);
            SendNow(c, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        if (c.mFd != mOwner.mSocket)
            close(c.mFd);
    }
}
