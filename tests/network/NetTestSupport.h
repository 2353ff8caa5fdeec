#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"
#include "network/NetEndpoint.h"
#include "tests/LOOM/support/FakeCogDirectory.h"

inline double TestSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Polls until done() or the limit; each round runs pump() first. True when done.
inline bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& pump, double limitSeconds)
{
    const double end = TestSeconds() + limitSeconds;
    while (TestSeconds() < end)
    {
        if (pump)
            pump();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (pump)
        pump();
    return done();
}

// Fake cogs that remember every call by name with a copy of its parameters. Installed as the
// directory for its lifetime; the one before comes back after.
class RecordingDirectory : public FakeCogDirectory
{
public:
    struct Call
    {
        uint32_t mCog;
        std::string mFunction;
        ParamBuffer mParams;
    };
    void CallFunction(Cog& cog, const std::string& function, ParamBuffer& params) override
    {
        mCalls.push_back({AsFake(&cog)->mId, function, params.Copy()});
    }
    std::vector<std::string> Functions(uint32_t cog) const
    {
        std::vector<std::string> names;
        for (const Call& call : mCalls)
            if (call.mCog == cog)
                names.push_back(call.mFunction);
        return names;
    }

    std::vector<Call> mCalls;
};

inline int LoopbackSocket(int type, uint16_t port = 0)
{
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    return fd;
}

inline uint16_t BoundPort(int fd)
{
    sockaddr_in addr{};
    socklen_t length = sizeof(addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    return ntohs(addr.sin_port);
}

inline sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    return addr;
}

// Stands between one client and a host on loopback: drops, duplicates and holds datagrams back
// (which reorders them), from a fixed seed. Each datagram's fate is drawn from a stream of its
// own direction and kind, so the n-th accept (or connect, or heartbeat) of a seed meets the same
// fate however the two sides' datagrams interleave in time.
class LossyUdpProxy
{
public:
    LossyUdpProxy(uint16_t hostPort, double drop, double duplicate, int maxHoldMicros, uint32_t seed)
        : mHost(Loopback(hostPort)), mDrop(drop), mDuplicate(duplicate), mMaxHold(maxHoldMicros), mSeed(seed)
    {
        mFront = LoopbackSocket(SOCK_DGRAM);
        mBack = LoopbackSocket(SOCK_DGRAM);
        mThread = std::thread([this] { Run(); });
    }
    ~LossyUdpProxy()
    {
        mStop = true;
        mThread.join();
        close(mFront);
        close(mBack);
    }
    uint16_t Port() const { return BoundPort(mFront); }

private:
    struct Held
    {
        bool mToHost;
        std::vector<uint8_t> mBytes;
    };
    std::mt19937& StreamFor(bool toHost, const uint8_t* bytes, size_t size)
    {
        NetHeader header;
        NetDrop reason;
        const uint32_t kind = ReadNetHeader(bytes, size, false, header, reason) ? uint32_t(header.mKind) : 255u;
        const uint32_t key = (toHost ? 1000u : 0u) + kind;
        auto it = mStreams.find(key);
        if (it == mStreams.end())
        {
            std::seed_seq seq{mSeed, key};
            it = mStreams.emplace(key, std::mt19937(seq)).first;
        }
        return it->second;
    }
    void Run()
    {
        std::multimap<double, Held> held;
        uint8_t buffer[2048];
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        while (!mStop)
        {
            // Until the next held datagram is due; the stop flag is looked at every few ms.
            int waitMs = 5;
            if (!held.empty())
                waitMs = std::clamp(int((held.begin()->first - TestSeconds()) * 1000.0) + 1, 0, waitMs);
            pollfd fds[2] = {{mFront, POLLIN, 0}, {mBack, POLLIN, 0}};
            poll(fds, 2, waitMs);
            for (int side = 0; side < 2; ++side)
            {
                if (!(fds[side].revents & POLLIN))
                    continue;
                for (;;)
                {
                    sockaddr_in from{};
                    socklen_t length = sizeof(from);
                    const ssize_t n = recvfrom(fds[side].fd, buffer, sizeof(buffer), MSG_DONTWAIT,
                                               reinterpret_cast<sockaddr*>(&from), &length);
                    if (n <= 0)
                        break;
                    if (side == 0)
                    {
                        mClient = from;
                        mHaveClient = true;
                    }
                    std::mt19937& random = StreamFor(side == 0, buffer, size_t(n));
                    const bool dropped = chance(random) < mDrop;
                    const int copies = chance(random) < mDuplicate ? 2 : 1;
                    const uint32_t span = uint32_t(mMaxHold + 1);
                    const uint32_t holds[2] = {uint32_t(random() % span), uint32_t(random() % span)};
                    if (dropped)
                        continue; // the next datagram
                    for (int c = 0; c < copies; ++c)
                        held.emplace(TestSeconds() + double(holds[c]) * 1e-6,
                                     Held{side == 0, std::vector<uint8_t>(buffer, buffer + n)});
                }
            }
            const double now = TestSeconds();
            while (!held.empty() && held.begin()->first <= now)
            {
                const Held& h = held.begin()->second;
                if (h.mToHost)
                    sendto(mBack, h.mBytes.data(), h.mBytes.size(), 0, reinterpret_cast<const sockaddr*>(&mHost),
                           sizeof(mHost));
                else if (mHaveClient)
                    sendto(mFront, h.mBytes.data(), h.mBytes.size(), 0, reinterpret_cast<const sockaddr*>(&mClient),
                           sizeof(mClient));
                held.erase(held.begin());
            }
        }
    }

    sockaddr_in mHost;
    sockaddr_in mClient{};
    bool mHaveClient = false;
    double mDrop, mDuplicate;
    int mMaxHold;
    uint32_t mSeed;
    std::map<uint32_t, std::mt19937> mStreams;
    int mFront = -1, mBack = -1;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

// Forwards one TCP connection, cutting the byte stream at random places and gluing pieces.
class SplittingTcpProxy
{
public:
    SplittingTcpProxy(uint16_t hostPort, uint32_t seed) : mHostPort(hostPort), mRandom(seed)
    {
        mListen = LoopbackSocket(SOCK_STREAM);
        listen(mListen, 1);
        mThread = std::thread([this] { Run(); });
    }
    ~SplittingTcpProxy()
    {
        mStop = true;
        mThread.join();
        close(mListen);
    }
    uint16_t Port() const { return BoundPort(mListen); }

private:
    void Run()
    {
        pollfd wait{mListen, POLLIN, 0};
        while (!mStop && poll(&wait, 1, 5) <= 0)
        {
        }
        if (mStop)
            return;
        const int client = accept(mListen, nullptr, nullptr);
        const int host = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in to = Loopback(mHostPort);
        EXPECT_EQ(connect(host, reinterpret_cast<const sockaddr*>(&to), sizeof(to)), 0);
        std::vector<uint8_t> pending[2];
        const int fds[2] = {client, host};
        uint8_t buffer[4096];
        while (!mStop)
        {
            pollfd p[2] = {{client, POLLIN, 0}, {host, POLLIN, 0}};
            poll(p, 2, 1);
            for (int side = 0; side < 2; ++side)
            {
                if (p[side].revents & POLLIN)
                {
                    const ssize_t n = recv(fds[side], buffer, sizeof(buffer), MSG_DONTWAIT);
                    if (n > 0)
                        pending[side].insert(pending[side].end(), buffer, buffer + n);
                }
                // Pieces from 1 byte up to several frames at once.
                while (!pending[side].empty())
                {
                    const size_t piece = std::min(pending[side].size(), size_t(1 + mRandom() % 300));
                    const ssize_t sent = send(fds[1 - side], pending[side].data(), piece, MSG_NOSIGNAL);
                    if (sent <= 0)
                        break;
                    pending[side].erase(pending[side].begin(), pending[side].begin() + sent);
                    if (mRandom() % 4 == 0)
                        break; // let more arrive so later reads join
                }
            }
        }
        close(client);
        close(host);
    }

    uint16_t mHostPort;
    std::mt19937 mRandom;
    int mListen = -1;
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

// A peer made of a bare socket on a loopback address of its own: it joins or not, then sends
// only what a case says, never a message that decodes.
class RawPeer
{
public:
    RawPeer(bool udp, uint16_t hostPort, uint32_t source) : mUdp(udp), mHost(Loopback(hostPort))
    {
        mFd = socket(AF_INET, (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
        sockaddr_in local = Loopback(0);
        local.sin_addr.s_addr = htonl(source);
        EXPECT_EQ(bind(mFd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)), 0);
        if (udp)
            return;
        // A full listen queue must not stall the test: the connect completes in the background.
        fcntl(mFd, F_SETFL, fcntl(mFd, F_GETFL) | O_NONBLOCK);
        mOpen = connect(mFd, reinterpret_cast<const sockaddr*>(&mHost), sizeof(mHost)) == 0 || errno == EINPROGRESS;
    }
    ~RawPeer() { close(mFd); }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    // A frame of this kind with the token the host gave (a connect, as a client's, with none);
    // data frames carry the next sequence.
    // True when the bytes went (a TCP connection still being made takes none).
    bool Send(NetKind kind, const std::vector<uint8_t>& payload = {})
    {
        std::vector<uint8_t> frame(kNetHeaderSize + payload.size());
        NetHeader h;
        h.mKind = kind;
        h.mToken = kind == NetKind::Connect ? 0 : mToken;
        h.mSequence = kind == NetKind::Data ? mSequence++ : 0;
        h.mLength = uint16_t(payload.size());
        WriteNetHeader(h, frame.data());
        std::copy(payload.begin(), payload.end(), frame.begin() + kNetHeaderSize);
        if (mUdp)
            return sendto(mFd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&mHost),
                          sizeof(mHost)) > 0;
        return send(mFd, frame.data(), frame.size(), MSG_NOSIGNAL) > 0;
    }
    // Reads what came; a UDP accept gives the token. False once the host has let go of us.
    bool Read()
    {
        uint8_t bytes[2048];
        ssize_t n;
        while ((n = recv(mFd, bytes, sizeof(bytes), MSG_DONTWAIT)) > 0)
        {
            ++mReplies;
            NetHeader h;
            NetDrop reason;
            if (mUdp && ReadNetHeader(bytes, size_t(n), true, h, reason))
            {
                mToken = h.mKind == NetKind::Accept ? h.mToken : mToken;
                mOpen &= h.mKind != NetKind::Disconnect;
            }
        }
        if (!mUdp && (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)))
            mOpen = false;
        return mOpen;
    }
    uint32_t Token() const { return mToken; }
    size_t Replies() const { return mReplies; }

private:
    bool mUdp;
    sockaddr_in mHost;
    int mFd = -1;
    bool mOpen = true;
    uint32_t mToken = 0;
    uint32_t mSequence = 1;
    size_t mReplies = 0;
};
