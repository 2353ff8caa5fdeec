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
constexpr uint64_t kHeartbeat = 250'000;

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
};

void AppendFrame(Connection& c, NetKind kind, const uint8_t* payload, size_t size)
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

void SetNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}
} // namespace

NetTcpEndpoint::~NetTcpEndpoint()
{
    Stop();
}

bool NetTcpEndpoint::OpenSocket()
{
    mSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (mSocket < 0)
    {
        Console::Instance().Log("Network: no TCP socket: " + std::string(std::strerror(errno)), LogError);
        return false;
    }
    const int on = 1;
    setsockopt(mSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(mSettings.mLocal.mIp);
    local.sin_port = htons(mSettings.mLocal.mPort);
    if (bind(mSocket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
        (mSettings.mRole == Role::Host && listen(mSocket, 16) != 0))
    {
        Console::Instance().Log("Network: cannot open TCP " + mSettings.mLocal.Text() + ": " + std::strerror(errno),
                                LogError);
        return false;
    }
    socklen_t length = sizeof(local);
    getsockname(mSocket, reinterpret_cast<sockaddr*>(&local), &length);
    mBound = NetAddress{ntohl(local.sin_addr.s_addr), ntohs(local.sin_port)};
    SetNonBlocking(mSocket);
    if (mSettings.mRole == Role::Client)
    {
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_addr.s_addr = htonl(mSettings.mRemote.mIp);
        remote.sin_port = htons(mSettings.mRemote.mPort);
        if (connect(mSocket, reinterpret_cast<const sockaddr*>(&remote), sizeof(remote)) != 0 && errno != EINPROGRESS)
        {
            Console::Instance().Log("Network: cannot connect TCP to " + mSettings.mRemote.Text() + ": " +
                                        std::strerror(errno),
                                    LogError);
            return false;
        }
    }
    return true;
}

void NetTcpEndpoint::Run()
{
    const bool host = mSettings.mRole == Role::Host;
    std::vector<Connection> conns;
    uint32_t nextId = 1;
    bool connected = false;
    bool failed = false;
    if (!host)
    {
        // The client's one connection is the socket itself; the host is peer 0.
        Connection c;
        c.mFd = mSocket;
        c.mAddress = mSettings.mRemote;
        c.mLastHeard = c.mLastQueued = NowMicros();
        // The host counts us as a player once this arrives.
        AppendFrame(c, NetKind::Connect, nullptr, 0);
        conns.push_back(std::move(c));
    }
    std::vector<Op> ops;
    auto players = [&] {
        return size_t(std::count_if(conns.begin(), conns.end(), [](const Connection& c) { return c.mJoined; }));
    };
    std::vector<pollfd> fds;
    uint8_t chunk[4096];

    auto drop = [&](size_t index, uint32_t silent) {
        if (host && !conns[index].mJoined)
        {
            // Never a player: nothing to tell the game.
            close(conns[index].mFd);
            conns.erase(conns.begin() + ptrdiff_t(index));
            return;
        }
        NetEvent event;
        event.mType = host ? NetEventType::Left : (connected ? NetEventType::Disconnected : NetEventType::Refused);
        event.mPeer = conns[index].mId;
        event.mValue = silent;
        event.mAddress = conns[index].mAddress;
        if (!host)
            failed = true;
        PushEvent(std::move(event));
        if (conns[index].mFd != mSocket)
            close(conns[index].mFd);
        conns.erase(conns.begin() + ptrdiff_t(index));
    };

    while (KeepRunning() && !failed)
    {
        FlushEvents();
        fds.clear();
        fds.push_back({mWakeFd, POLLIN, 0});
        if (host)
            fds.push_back({mSocket, POLLIN, 0});
        for (Connection& c : conns)
        {
            short events = EventsFull() ? 0 : POLLIN;
            if (c.mOutSent < c.mOut.size() || (!host && !connected))
                events |= POLLOUT;
            fds.push_back({c.mFd, events, 0});
        }
        poll(fds.data(), fds.size(), kMaxPollMs);
        if (!KeepRunning())
            break;
        if (fds[0].revents & POLLIN)
            DrainWake();
        const size_t first = host ? 2 : 1;

        if (host && (fds[1].revents & POLLIN))
        {
            sockaddr_in from{};
            socklen_t length = sizeof(from);
            const int fd = accept4(mSocket, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
            if (fd >= 0)
            {
                if (conns.size() >= kMaxConnections)
                {
                    Connection refused;
                    refused.mFd = fd;
                    AppendFrame(refused, NetKind::Refuse, nullptr, 0);
                    [[maybe_unused]] ssize_t n = send(fd, refused.mOut.data(), refused.mOut.size(), MSG_NOSIGNAL);
                    close(fd);
                }
                else
                {
                    SetNonBlocking(fd);
                    Connection c;
                    c.mFd = fd;
                    c.mOpened = c.mLastHeard = c.mLastQueued = NowMicros();
                    c.mAddress = NetAddress{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
                    conns.push_back(std::move(c));
                }
            }
        }

        TakeOps(ops);
        for (Op& op : ops)
        {
            for (size_t i = 0; i < conns.size(); ++i)
            {
                if (host && (!conns[i].mJoined || (op.mPeer != kAllPeers && op.mPeer != conns[i].mId)))
                    continue;
                if (op.mKind == Op::Send)
                {
                    AppendFrame(conns[i], NetKind::Data, op.mBytes.data(), op.mBytes.size());
                    conns[i].mLastQueued = NowMicros();
                }
                else if (op.mKind == Op::Disconnect)
                {
                    AppendFrame(conns[i], NetKind::Disconnect, nullptr, 0);
                    [[maybe_unused]] ssize_t n = send(conns[i].mFd, conns[i].mOut.data() + conns[i].mOutSent,
                                                      conns[i].mOut.size() - conns[i].mOutSent, MSG_NOSIGNAL);
                    drop(i--, 0);
                }
            }
        }

        // Connections polled this round are the first ones of the list; new ones wait a round.
        const size_t polled = fds.size() - first;
        for (size_t i = 0; i < conns.size() && i < polled && !failed; ++i)
        {
            Connection& c = conns[i];
            const short revents = fds[first + i].revents;
            bool lost = (revents & (POLLERR | POLLHUP)) && !(revents & POLLIN);
            if (!lost && (revents & POLLIN))
            {
                const ssize_t n = recv(c.mFd, chunk, sizeof(chunk), MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                    lost = true;
                else if (n > 0)
                {
                    c.mIn.insert(c.mIn.end(), chunk, chunk + n);
                    c.mLastHeard = NowMicros();
                }
            }
            // Whole frames only; a frame that claims more than the maximum ends the connection.
            size_t pos = 0;
            while (!lost && c.mIn.size() - pos >= kNetHeaderSize)
            {
                NetHeader header;
                NetDrop reason;
                if (!ReadNetHeader(c.mIn.data() + pos, c.mIn.size() - pos, false, header, reason))
                {
                    CountDrop(reason);
                    lost = true;
                    break;
                }
                if (c.mIn.size() - pos < kNetHeaderSize + header.mLength)
                    break;
                const uint8_t* payload = c.mIn.data() + pos + kNetHeaderSize;
                pos += kNetHeaderSize + header.mLength;
                if (host && !c.mJoined)
                {
                    if (header.mKind == NetKind::Connect && header.mLength == 0)
                    {
                        if (players() >= mSettings.mMaxPeers)
                        {
                            AppendFrame(c, NetKind::Refuse, nullptr, 0);
                            [[maybe_unused]] ssize_t n =
                                send(c.mFd, c.mOut.data(), c.mOut.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                            lost = true;
                            break;
                        }
                        c.mJoined = true;
                        c.mId = nextId++;
                        c.mLastData = NowMicros();
                        uint8_t id[4];
                        NetWriter out{id, 4};
                        out.U32(c.mId);
                        AppendFrame(c, NetKind::Accept, id, 4);
                        NetEvent event;
                        event.mType = NetEventType::Joined;
                        event.mPeer = c.mId;
                        event.mAddress = c.mAddress;
                        PushEvent(std::move(event));
                    }
                    else if (header.mKind == NetKind::Disconnect)
                    {
                        lost = true;
                    }
                    else if (header.mKind != NetKind::Heartbeat)
                    {
                        CountDrop(NetDrop::Source);
                    }
                    continue;
                }
                if (header.mKind == NetKind::Data)
                {
                    c.mLastData = NowMicros();
                    NetEvent event;
                    event.mType = NetEventType::Message;
                    event.mPeer = c.mId;
                    event.mBytes.assign(payload, payload + header.mLength);
                    PushEvent(std::move(event));
                }
                else if (!host && !connected && header.mKind == NetKind::Accept && header.mLength == 4)
                {
                    NetReader in{payload, 4};
                    connected = true;
                    NetEvent event;
                    event.mType = NetEventType::Connected;
                    event.mValue = in.U32();
                    event.mAddress = c.mAddress;
                    PushEvent(std::move(event));
                }
                else if (header.mKind == NetKind::Disconnect || header.mKind == NetKind::Refuse)
                {
                    lost = true;
                }
                else if (header.mKind != NetKind::Heartbeat)
                {
                    CountDrop(NetDrop::Kind);
                }
            }
            if (pos)
                c.mIn.erase(c.mIn.begin(), c.mIn.begin() + ptrdiff_t(pos));
            if (!lost && (revents & POLLOUT) && c.mOutSent < c.mOut.size())
            {
                const ssize_t n = send(c.mFd, c.mOut.data() + c.mOutSent, c.mOut.size() - c.mOutSent,
                                       MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0)
                    c.mOutSent += size_t(n);
                else if (n < 0 && errno != EAGAIN && errno != EINTR)
                    lost = true;
                if (c.mOutSent == c.mOut.size())
                {
                    c.mOut.clear();
                    c.mOutSent = 0;
                }
            }
            // A peer that keeps the connection open but says nothing is as good as gone.
            const uint64_t now = NowMicros();
            bool timedOut = false;
            if (!lost && host && !c.mJoined && now > c.mOpened + mSettings.mJoinTimeout)
            {
                CountDrop(NetDrop::Join);
                lost = timedOut = true;
            }
            if (!lost)
            {
                if (now > c.mLastHeard + mSettings.mLossTimeout ||
                    (host && c.mJoined && now > c.mLastData + mSettings.mIdleTimeout))
                    lost = timedOut = true;
                else if ((host ? c.mJoined : connected) && now > c.mLastQueued + kHeartbeat)
                {
                    AppendFrame(c, NetKind::Heartbeat, nullptr, 0);
                    c.mLastQueued = now;
                }
            }
            if (lost)
            {
                drop(i, (timedOut || !(revents & POLLIN)) ? 1 : 0);
                break; // the poll slots no longer line up
            }
        }
    }
    FlushEvents();
    for (Connection& c : conns)
    {
        if (connected || c.mJoined)
        {
            AppendFrame(c, NetKind::Disconnect, nullptr, 0);
            [[maybe_unused]] ssize_t n =
                send(c.mFd, c.mOut.data() + c.mOutSent, c.mOut.size() - c.mOutSent, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        if (c.mFd != mSocket)
            close(c.mFd);
    }
}
