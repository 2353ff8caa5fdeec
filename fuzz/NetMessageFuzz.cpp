// libFuzzer entry for the network readers: the datagram header, a stream of TCP frames and the
// named-message payload, all from the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "network/NetWire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NetHeader header;
    NetDrop reason;
    if (ReadNetHeader(data, size, true, header, reason))
    {
        NetMessage message;
        const char* error = nullptr;
        if (DecodeNetMessage(data + kNetHeaderSize, header.mLength, message, error))
        {
            // Whatever is accepted must encode back to the very same bytes.
            std::vector<uint8_t> again;
            std::string why;
            if (!EncodeNetMessage(message.mMessage, message.mFunction, message.mParams, again, why) ||
                again.size() != header.mLength || !std::equal(again.begin(), again.end(), data + kNetHeaderSize))
                __builtin_trap();
        }
    }
    // The same bytes as a TCP stream: walk the frames as the worker does.
    size_t pos = 0;
    while (size - pos >= kNetHeaderSize && ReadNetHeader(data + pos, size - pos, false, header, reason) &&
           size - pos >= kNetHeaderSize + header.mLength)
        pos += kNetHeaderSize + header.mLength;
    // And the bare payload.
    NetMessage message;
    const char* error = nullptr;
    DecodeNetMessage(data, size, message, error);
    return 0;
}
