#include "network/NetChannel.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "LOOM/console/Console.h"

namespace {
// Wrap-safe order of sequence numbers.
int32_t Distance(uint32_t from, uint32_t to) { return int32_t(to - from); }
} // namespace

NetChannel::NetChannel() : mOut(std::make_unique<OutSlot[]>(kWindow)), mIn(std::make_unique<InSlot[]>(kWindow)) {}

void NetChannel::Reset(uint32_t token, uint64_t now, uint32_t firstSequence)
{
    for (uint32_t i = 0; i < kWindow; ++i)
    {
        mOut[i].mUsed = false;
        mIn[i].mUsed = false;
    }
    mToken = token;
    mNextSequence = mOldestUnacked = mReceiveNext = firstSequence;
    mHaveRtt = false;
    mSrtt = mRttVar = 0;
    mRto = 100'000;
    mAckPending = false;
    mHeld = 0;
    mArrivalsSinceAck = 0;
    mLastGapAck = 0;
    mLastArrived = firstSequence - 1;
    mLastSend = mLastReceive = now;
}

bool NetChannel::HasRoom()
{
    if (mPending.size() < kMaxQueued)
        return true;
    // A script sending in a loop to a peer that takes less would grow the queue without end.
    if (!mFullSaid)
        Console::Instance().Log("NetSend refused: at most " + std::to_string(kMaxQueued) +
                                    " messages wait to be sent on one connection; this one is dropped",
                                LogError);
    mFullSaid = true;
    return false;
}

void NetChannel::Queue(const uint8_t* payload, size_t size)
{
    if (HasRoom())
        mPending.emplace_back(payload, payload + std::min(size, kNetMaxPayload));
}

void NetChannel::Queue(std::vector<uint8_t>&& payload)
{
    if (payload.size() > kNetMaxPayload)
        payload.resize(kNetMaxPayload);
    if (HasRoom())
        mPending.push_back(std::move(payload));
}

void NetChannel::FillHeader(NetHeader& header) const
{
    header.mToken = mToken;
    header.mAck = mReceiveNext - 1;
    header.mAckBits = 0;
    for (uint32_t i = 0; i < 32; ++i)
        if (mIn[(mReceiveNext + 1 + i) % kWindow].mUsed)
            header.mAckBits |= 1u << i;
}

void NetChannel::StampAcks(uint8_t* datagram)
{
    NetHeader header;
    FillHeader(header);
    NetWriter w{datagram + 12, 8};
    w.U32(header.mAck);
    w.U32(header.mAckBits);
    mAckPending = false;
    mArrivalsSinceAck = 0;
}

void NetChannel::Transmit(OutSlot& slot, uint64_t now, const SendHook& send, bool first)
{
    StampAcks(slot.mBytes);
    if (first)
    {
        slot.mFirstSent = now;
        slot.mTimeout = mRto;
    }
    slot.mLastSent = now;
    mLastSend = now;
    send(slot.mBytes, slot.mSize);
}

void NetChannel::SendControl(NetKind kind, const uint8_t* payload, size_t size, uint64_t now, const SendHook& send)
{
    uint8_t datagram[kNetMaxDatagram];
    NetHeader header;
    header.mKind = kind;
    FillHeader(header);
    if (kind == NetKind::Ack)
        header.mSequence = mLastArrived;
    size = std::min(size, kNetMaxPayload);
    header.mLength = uint16_t(size);
    WriteNetHeader(header, datagram);
    if (size)
        std::memcpy(datagram + kNetHeaderSize, payload, size);
    mAckPending = false;
    mArrivalsSinceAck = 0;
    mLastSend = now;
    send(datagram, kNetHeaderSize + size);
}

void NetChannel::Acknowledge(uint32_t sequence)
{
    OutSlot& slot = mOut[sequence % kWindow];
    if (slot.mUsed && slot.mSequence == sequence)
        slot.mUsed = false;
}

void NetChannel::SampleRtt(uint64_t rtt)
{
    // One late ack (its predecessor lost) must not throw the estimate far off.
    if (mHaveRtt)
        rtt = std::min(rtt, 4 * mSrtt + kMinRto);
    if (!mHaveRtt)
    {
        mSrtt = rtt;
        mRttVar = rtt / 2;
        mHaveRtt = true;
    }
    else
    {
        const uint64_t error = mSrtt > rtt ? mSrtt - rtt : rtt - mSrtt;
        mRttVar = (3 * mRttVar + error) / 4;
        mSrtt = (7 * mSrtt + rtt) / 8;
    }
    mRto = std::clamp(mSrtt + 4 * mRttVar, kMinRto, kMaxRto);
}

bool NetChannel::Receive(const NetHeader& header, const uint8_t* payload, uint64_t now, const DeliverHook& deliver,
                         NetDrop& reason)
{
    // An ack of something never sent, or data far ahead, is not from our peer's state.
    if (Distance(mNextSequence, header.mAck) >= 0)
    {
        reason = NetDrop::Window;
        return false;
    }
    const bool isData = header.mKind == NetKind::Data;
    const int32_t ahead = Distance(mReceiveNext, header.mSequence);
    if (isData && ahead >= int32_t(kWindow))
    {
        reason = NetDrop::Window;
        return false;
    }
    mLastReceive = now;

    // A bare ack names in its sequence field the data packet that prompted it; only that one
    // times the round trip (an older one may have waited for an ack that was lost).
    const OutSlot& timed = mOut[header.mSequence % kWindow];
    const bool timeable = header.mKind == NetKind::Ack && timed.mUsed && timed.mSequence == header.mSequence &&
        !timed.mResent && now >= timed.mLastSent;
    const uint64_t sample = timeable ? now - timed.mLastSent : 0;
    for (uint32_t s = mOldestUnacked; Distance(s, header.mAck) >= 0 && s != mNextSequence; ++s)
        Acknowledge(s);
    for (uint32_t i = 0; i < 32; ++i)
    {
        const uint32_t s = header.mAck + 2 + i;
        if ((header.mAckBits >> i & 1) && Distance(mOldestUnacked, s) >= 0 && Distance(s, mNextSequence) > 0)
            Acknowledge(s);
    }
    if (timeable)
        SampleRtt(sample);
    while (mOldestUnacked != mNextSequence && !mOut[mOldestUnacked % kWindow].mUsed)
        ++mOldestUnacked;
    // Holes below a packet the peer holds were most likely lost: send them again without
    // waiting out the timer, once per round trip.
    if (header.mAckBits)
    {
        const uint32_t top = header.mAck + 2 + (31 - uint32_t(__builtin_clz(header.mAckBits)));
        const uint64_t spacing = std::max(mSrtt, kMinRto);
        for (uint32_t s = mOldestUnacked; Distance(s, top) > 0 && s != mNextSequence; ++s)
        {
            OutSlot& slot = mOut[s % kWindow];
            if (slot.mUsed && now >= slot.mLastSent + spacing)
                slot.mFast = true;
        }
    }

    if (!isData)
        return true;
    if (!mAckPending)
    {
        mAckPending = true;
        mAckDue = now + kAckDelay;
    }
    // A burst is acked without the delay, so a full window never waits on it.
    if (++mArrivalsSinceAck >= kAckEvery)
        mAckDue = now;
    if (ahead < 0)
        return true; // a duplicate of something delivered: acknowledged again, not delivered
    InSlot& slot = mIn[header.mSequence % kWindow];
    mLastArrived = header.mSequence;
    if (!slot.mUsed)
    {
        ++mHeld;
        slot.mUsed = true;
        slot.mSize = header.mLength;
        if (header.mLength)
            std::memcpy(slot.mBytes, payload, header.mLength);
    }
    while (mIn[mReceiveNext % kWindow].mUsed)
    {
        InSlot& next = mIn[mReceiveNext % kWindow];
        next.mUsed = false;
        --mHeld;
        ++mReceiveNext;
        deliver(next.mBytes, next.mSize);
    }
    return true;
}

void NetChannel::Pump(uint64_t now, const SendHook& send)
{
    while (!mPending.empty() && InFlight() < kWindow)
    {
        const std::vector<uint8_t>& payload = mPending.front();
        OutSlot& slot = mOut[mNextSequence % kWindow];
        NetHeader header;
        header.mKind = NetKind::Data;
        header.mSequence = mNextSequence;
        header.mToken = mToken;
        header.mLength = uint16_t(payload.size());
        WriteNetHeader(header, slot.mBytes);
        if (!payload.empty())
            std::memcpy(slot.mBytes + kNetHeaderSize, payload.data(), payload.size());
        slot.mUsed = true;
        slot.mResent = false;
        slot.mFast = false;
        slot.mSize = uint16_t(kNetHeaderSize + payload.size());
        slot.mSequence = mNextSequence;
        ++mNextSequence;
        mPending.pop_front();
        Transmit(slot, now, send, true);
    }
    for (uint32_t s = mOldestUnacked; s != mNextSequence; ++s)
    {
        OutSlot& slot = mOut[s % kWindow];
        if (slot.mUsed && (slot.mFast || now >= slot.mLastSent + slot.mTimeout))
        {
            // Back off while the peer is silent; while it answers, the loss was the packet's own.
            if (!slot.mFast)
                slot.mTimeout = mLastReceive < slot.mLastSent ? std::min(slot.mTimeout * 2, kMaxRto) : mRto;
            slot.mFast = false;
            slot.mResent = true;
            Transmit(slot, now, send, false);
        }
    }
    // While a gap holds data back, the sender hears of it every round trip even when its
    // retransmission timer has backed off.
    if (mHeld > 0 && now >= mLastGapAck + std::max(2 * mSrtt, kGapAck))
    {
        mLastGapAck = now;
        mAckPending = true;
        mAckDue = now;
    }
    if (mAckPending && now >= mAckDue)
        SendControl(NetKind::Ack, nullptr, 0, now, send);
    if (now >= mLastSend + kHeartbeat)
    {
        SendControl(NetKind::Heartbeat, nullptr, 0, now, send);
    }
}

bool NetChannel::IsLost(uint64_t now) const
{
    if (now > mLastReceive + mLossTimeout)
        return true;
    const OutSlot& oldest = mOut[mOldestUnacked % kWindow];
    return mOldestUnacked != mNextSequence && oldest.mUsed && now > oldest.mFirstSent + mLossTimeout;
}

uint64_t NetChannel::NextDeadline() const
{
    if (!mPending.empty() && InFlight() < kWindow)
        return 0;
    uint64_t deadline = mLastSend + kHeartbeat;
    if (mHeld > 0)
        deadline = std::min(deadline, mLastGapAck + std::max(2 * mSrtt, kGapAck));
    if (mAckPending)
        deadline = std::min(deadline, mAckDue);
    for (uint32_t s = mOldestUnacked; s != mNextSequence; ++s)
    {
        const OutSlot& slot = mOut[s % kWindow];
        if (slot.mUsed)
            deadline = std::min(deadline, slot.mFast ? 0 : slot.mLastSent + slot.mTimeout);
    }
    return deadline;
}
