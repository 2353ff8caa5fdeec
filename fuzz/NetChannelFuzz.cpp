// The reliable-UDP channel and discovery offers. Input: records of [u8 clock step][u16 size]
// [datagram]; each datagram whose header reads goes to the channel (with the channel's token) as
// the worker hands it on, and to the offer reader; the channel is pumped between records.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "network/NetChannel.h"
#include "network/NetWire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NetChannel channel;
    channel.Reset(7, 0);
    const uint8_t hello[] = {1, 2, 3};
    channel.Queue(hello, sizeof(hello));
    uint64_t now = 0;
    size_t delivered = 0;
    const NetChannel::DeliverHook deliver = [&](const uint8_t*, size_t bytes) { delivered += bytes; };
    const NetChannel::SendHook send = [](const uint8_t*, size_t) {};
    for (size_t pos = 0; size - pos >= 3;)
    {
        now += uint64_t(data[pos]) * 1000;
        const size_t length = std::min<size_t>(size_t(data[pos + 1]) | size_t(data[pos + 2]) << 8, size - pos - 3);
        const uint8_t* datagram = data + pos + 3;
        pos += 3 + length;
        NetHeader header;
        NetDrop reason;
        if (!ReadNetHeader(datagram, length, true, header, reason))
            continue;
        std::string name;
        uint16_t port = 0;
        uint8_t players = 0;
        if (header.mKind == NetKind::Offer)
            ReadNetOffer(datagram + kNetHeaderSize, header.mLength, name, port, players);
        else if (header.mKind == NetKind::Data || header.mKind == NetKind::Ack || header.mKind == NetKind::Heartbeat)
        {
            header.mToken = channel.GetToken(); // the worker drops other tokens before the channel
            channel.Receive(header, datagram + kNetHeaderSize, now, deliver, reason);
        }
        channel.Pump(now, send);
        channel.IsLost(now);
    }
    return 0;
}
