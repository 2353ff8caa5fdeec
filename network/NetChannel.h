#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "network/NetWire.h"

// Reliable, ordered delivery over one UDP connection. Owned by one worker and driven by one thread
// at a time; it does no I/O itself: datagrams come in through Receive and go out through the send hook.
// Times are microseconds on any monotonic clock.
class NetChannel
{
public:
    static constexpr uint32_t kWindow = 256;
    static constexpr uint64_t kMinRto = 10'000;
    static constexpr uint64_t kMaxRto = 1'000'000;
    static constexpr uint64_t kAckDelay = 5'000;
    static constexpr uint64_t kHeartbeat = 250'000;
    static constexpr uint64_t kGapAck = 20'000;
    static constexpr uint32_t kAckEvery = 16;

    using SendHook = std::function<void(const uint8_t* bytes, size_t size)>;
    using DeliverHook = std::function<void(const uint8_t* payload, size_t size)>;

    NetChannel();
    // Both ends of a connection start their sequences at the same number. Queued payloads stay:
    // a client may send before it is accepted.
    void Reset(uint32_t token, uint64_t now, uint32_t firstSequence = 1);
    void SetLossTimeout(uint64_t micros) { mLossTimeout = micros; }

    // Queued payloads all go out in order; none is dropped while the connection lives.
    void Queue(const uint8_t* payload, size_t size);
    void Queue(std::vector<uint8_t>&& payload);
    // A datagram whose header was read and whose token matched. False with the reason when the
    // channel drops it; duplicates are acknowledged again but not delivered.
    bool Receive(const NetHeader& header, const uint8_t* payload, uint64_t now, const DeliverHook& deliver,
                 NetDrop& reason);
    // Sends what is due: new data within the window, retransmissions, acks, heartbeats.
    void Pump(uint64_t now, const SendHook& send);
    // Sends a bare packet of this kind (disconnect, accept) carrying the current acks.
    void SendControl(NetKind kind, const uint8_t* payload, size_t size, uint64_t now, const SendHook& send);

    // Nothing heard for the loss timeout, or data unacknowledged that long.
    bool IsLost(uint64_t now) const;
    // When Pump next has something to do.
    uint64_t NextDeadline() const;
    uint32_t GetToken() const { return mToken; }
    size_t InFlight() const { return mNextSequence - mOldestUnacked; }
    size_t Queued() const { return mPending.size(); }
    // Messages that may wait to be sent; past it a message is dropped, said once.
    static constexpr size_t kMaxQueued = 16384;
    uint64_t GetRto() const { return mRto; }

private:
    struct OutSlot
    {
        bool mUsed = false;
        bool mResent = false;
        bool mFast = false;
        uint16_t mSize = 0;
        uint32_t mSequence = 0;
        uint64_t mFirstSent = 0;
        uint64_t mLastSent = 0;
        uint64_t mTimeout = 0;
        uint8_t mBytes[kNetMaxDatagram];
    };
    struct InSlot
    {
        bool mUsed = false;
        uint16_t mSize = 0;
        uint8_t mBytes[kNetMaxPayload];
    };

    void Acknowledge(uint32_t sequence);
    void SampleRtt(uint64_t rtt);
    void Transmit(OutSlot& slot, uint64_t now, const SendHook& send, bool first);
    void StampAcks(uint8_t* datagram);
    void FillHeader(NetHeader& header) const;

    std::unique_ptr<OutSlot[]> mOut;
    std::unique_ptr<InSlot[]> mIn;
    bool HasRoom();
    std::deque<std::vector<uint8_t>> mPending;
    bool mFullSaid = false;
    uint32_t mToken = 0;
    uint32_t mNextSequence = 1;
    uint32_t mOldestUnacked = 1;
    uint32_t mReceiveNext = 1;
    uint64_t mSrtt = 0;
    uint64_t mRttVar = 0;
    bool mHaveRtt = false;
    uint64_t mRto = 100'000;
    uint64_t mAckDue = 0;
    bool mAckPending = false;
    uint64_t mLastSend = 0;
    uint64_t mLastGapAck = 0;
    uint32_t mHeld = 0;
    uint32_t mArrivalsSinceAck = 0;
    uint32_t mLastArrived = 0;
    uint64_t mLastReceive = 0;
    uint64_t mLossTimeout = 5'000'000;
};
