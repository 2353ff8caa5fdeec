#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/calls/ParamBuffer.h"

// Every datagram and every TCP frame starts with this header, little-endian, field by field.
enum class NetKind : uint8_t
{
    Data = 0,
    Ack = 1,
    Connect = 2,
    Accept = 3,
    Refuse = 4,
    Disconnect = 5,
    Heartbeat = 6,
    Discover = 7,
    Offer = 8,
};
constexpr uint8_t kNetKindCount = 9;

constexpr uint16_t kNetTag = 0x4D4C;
constexpr uint8_t kNetVersion = 1;
constexpr size_t kNetHeaderSize = 22;
constexpr size_t kNetMaxDatagram = 1200;
constexpr size_t kNetMaxPayload = kNetMaxDatagram - kNetHeaderSize;
constexpr size_t kNetMaxName = 127;
// A discovery request carries this many padding bytes: the largest offer (name, port, players)
// fits, so a responder never sends more than it was sent.
constexpr size_t kNetDiscoverPadding = 1 + kNetMaxName + 2 + 1;

struct NetHeader
{
    NetKind mKind = NetKind::Data;
    uint32_t mToken = 0;
    uint32_t mSequence = 0;
    // The highest sequence delivered in order; bit i of the ack bits stands for mAck + 2 + i.
    uint32_t mAck = 0;
    uint32_t mAckBits = 0;
    uint16_t mLength = 0;
};

// Why a datagram or frame was thrown away. Counted by workers, logged by the main thread.
enum class NetDrop : uint8_t
{
    Short,
    Tag,
    Version,
    Length,
    Kind,
    Token,
    Source,
    Window,
    Oversize,
    Payload,
    Join,
    Rate,
    Crowd,
    Evicted,
    Count,
};
const char* NetDropText(NetDrop reason);

// Writes the 22 header bytes to out.
void WriteNetHeader(const NetHeader& header, uint8_t* out);
// Reads the header at the start of data. With exact set the datagram must be header plus
// payload length bytes and nothing else. False with the reason when the bytes are not ours.
bool ReadNetHeader(const uint8_t* data, size_t size, bool exact, NetHeader& out, NetDrop& reason);

// Bounded little-endian writer over a caller's buffer; a write past the end sets mOverflow.
struct NetWriter
{
    uint8_t* mData;
    size_t mCapacity;
    size_t mSize = 0;
    bool mOverflow = false;

    void Bytes(const void* bytes, size_t size);
    void U8(uint8_t value) { Bytes(&value, 1); }
    void U16(uint16_t value);
    void U32(uint32_t value);
    void U64(uint64_t value);
    // u8 length then the bytes; false when longer than 127.
    bool Text(const std::string& text);
};

// Cursor over a received buffer; every read checks what is left and fails once, for good.
struct NetReader
{
    const uint8_t* mData;
    size_t mSize;
    size_t mPos = 0;
    bool mFailed = false;

    bool Bytes(void* out, size_t size);
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    bool Text(std::string& out);
    size_t Left() const { return mSize - mPos; }
};

// A named message: delivered on arrival as MessageRegistry::Broadcast(message, function, params).
struct NetMessage
{
    std::string mMessage;
    std::string mFunction;
    ParamBuffer mParams;
};

// A discovery offer's payload: the host's game name, its game port and player count. False when
// it is malformed, has bytes left over or names port 0.
bool ReadNetOffer(const uint8_t* payload, size_t size, std::string& name, uint16_t& port, uint8_t& players);

// Bytes one parameter of this code takes on the wire, or 0 when the code cannot travel.
size_t NetParamWireSize(uint8_t code);

// The payload of a data packet. False, with the reason in error, for a cog parameter, a name
// over 127 characters or a type with no wire form; nothing is sent then.
bool EncodeNetMessage(const std::string& message, const std::string& function, const ParamBuffer& params,
                      std::vector<uint8_t>& out, std::string& error);
// Hostile-input safe: false with a reason for anything malformed; out is then unspecified.
bool DecodeNetMessage(const uint8_t* data, size_t size, NetMessage& out, const char*& error);
// The same check without building the message: safe on any thread.
bool NetMessageDecodes(const uint8_t* data, size_t size);
