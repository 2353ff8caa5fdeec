#include "network/NetEndpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "LOOM/console/Console.h"

namespace {
// Built once: the named-mutex lookup takes the name by reference on every lock.
const std::string& SendMutexName()
{
    static const std::string name = "NetMessageSendMutex";
    return name;
}
const std::string& RecvMutexName()
{
    static const std::string name = "Adding Recv Message";
    return name;
}
} // namespace

std::string NetAddress::IpText() const
{
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", mIp >> 24, (mIp >> 16) & 0xFF, (mIp >> 8) & 0xFF, mIp & 0xFF);
    return text;
}

std::string NetAddress::Text() const { return IpText() + ":" + std::to_string(mPort); }

sockaddr_in NetAddress::ToSockaddr() const
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(mIp);
    addr.sin_port = htons(mPort);
    return addr;
}

NetAddress NetAddress::FromSockaddr(const sockaddr_in& addr)
{
    return NetAddress{ntohl(addr.sin_addr.s_addr), ntohs(addr.sin_port)};
}

bool NetAddress::ParseIp(const std::string& text, uint32_t& ip)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    ip = ntohl(addr.s_addr);
    return true;
}

bool NetAddress::Parse(const std::string& text, NetAddress& out)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 >= text.size() || text.size() - colon > 6)
        return false;
    uint32_t port = 0;
    for (size_t i = colon + 1; i < text.size(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        port = port * 10 + uint32_t(text[i] - '0');
    }
    if (port == 0 || port > 65535 || !ParseIp(text.substr(0, colon), out.mIp))
        return false;
    out.mPort = uint16_t(port);
    return true;
}

NetEndpoint::~NetEndpoint()
{
    Stop();
    CloseSockets();
}

uint64_t NetEndpoint::NowMicros()
{
    return uint64_t(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

bool NetEndpoint::Open(const Settings& settings)
{
    mSettings = settings;
    mWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (mWakeFd < 0 || !OpenSocket())
    {
        CloseSockets();
        return false;
    }
    Spawn();
    return true;
}

bool NetEndpoint::NewSocket(int type, const char* protocol)
{
    mSocket = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (mSocket >= 0)
        return true;
    Console::Instance().Log("Network: no " + std::string(protocol) + " socket: " + std::strerror(errno), LogError);
    return false;
}

void NetEndpoint::NoteBound(const sockaddr_in& requested)
{
    sockaddr_in local = requested;
    socklen_t length = sizeof(local);
    getsockname(mSocket, reinterpret_cast<sockaddr*>(&local), &length);
    mBound = NetAddress::FromSockaddr(local);
}

void NetEndpoint::CloseSockets()
{
    if (mSocket >= 0)
        close(mSocket);
    if (mWakeFd >= 0)
        close(mWakeFd);
    mSocket = mWakeFd = -1;
}

void NetEndpoint::Signal()
{
    // One write per batch of posts: the worker clears the flag after it drained, before it takes.
    if (mWakeFd >= 0 && !mWakePending.exchange(true))
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(mWakeFd, &one, sizeof(one));
    }
}

void NetEndpoint::Wake()
{
    if (mWakeFd >= 0)
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(mWakeFd, &one, sizeof(one));
    }
    // Reading stops at once; the worker may still say goodbye on the way out.
    if (mSocket >= 0)
        shutdown(mSocket, SHUT_RD);
}

void NetEndpoint::DrainWake()
{
    uint64_t value;
    while (read(mWakeFd, &value, sizeof(value)) > 0)
    {
    }
    // Cleared after the read: a post racing with it then either is taken this round or writes again.
    mWakePending = false;
}

void NetEndpoint::WakeWorker() { Signal(); }

void NetEndpoint::Post(Op op)
{
    {
        NamedMutexLock lock(SendMutexName());
        mOps.push_back(std::move(op));
        mOpsWaiting = mOps.size();
    }
    Signal();
}

void NetEndpoint::Send(uint32_t peer, std::vector<uint8_t> payload)
{
    Op op;
    op.mKind = Op::Send;
    op.mPeer = peer;
    op.mBytes = std::move(payload);
    if (!SendNow(op))
        Post(std::move(op));
}

void NetEndpoint::Discover(const NetAddress& to)
{
    Op op;
    op.mKind = Op::Discover;
    op.mAddress = to;
    Post(std::move(op));
}

void NetEndpoint::Disconnect(uint32_t peer)
{
    Op op;
    op.mKind = Op::Disconnect;
    op.mPeer = peer;
    Post(std::move(op));
}

void NetEndpoint::TakeOps(std::vector<Op>& out)
{
    out.clear();
    NamedMutexLock lock(SendMutexName());
    out.swap(mOps);
    mOpsWaiting = 0;
}

void NetEndpoint::PushEvent(NetEvent event) { mOutbox.push_back(std::move(event)); }

void NetEndpoint::FlushEvents()
{
    if (mOutbox.empty())
        return;
    NamedMutexLock lock(RecvMutexName());
    for (NetEvent& event : mOutbox)
        mEvents.push_back(std::move(event));
    mEventCount = mEvents.size();
    mOutbox.clear();
}

void NetEndpoint::TakeEvents(std::vector<NetEvent>& out)
{
    out.clear();
    if (mEventCount.load() == 0)
        ReceiveNow();
    // Most frames bring nothing: no lock then.
    if (mEventCount.load() == 0)
        return;
    {
        NamedMutexLock lock(RecvMutexName());
        out.swap(mEvents);
        mEventCount = 0;
    }
    // The worker may have stopped reading on a full queue.
    if (out.size() >= mSettings.mMaxEvents)
        Signal();
}

void NetEndpoint::ReportDrops(const std::string& owner, double nowSeconds)
{
    for (size_t i = 0; i < size_t(NetDrop::Count); ++i)
    {
        const uint64_t count = mDrops[i].load();
        if (count == mReported[i] || (mReported[i] != 0 && nowSeconds - mLastReport[i] < 1.0))
            continue;
        const bool connections =
            NetDrop(i) == NetDrop::Join || NetDrop(i) == NetDrop::Crowd || NetDrop(i) == NetDrop::Evicted;
        const char* what = connections ? " connections (" : " datagrams (";
        Console::Instance().Log(owner + ": dropped " + std::to_string(count - mReported[i]) + what +
                                    NetDropText(NetDrop(i)) + ")",
                                LogError);
        mReported[i] = count;
        mLastReport[i] = nowSeconds;
    }
}
