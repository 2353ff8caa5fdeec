#include "network/NetWire.h"

#include <cstring>

#include "LOOM/base/TypeCode.h"
#include "LOOM/calls/DamageInfo.h"

namespace {
constexpr uint8_t kCollisionCode = uint8_t(TypeCollisionData);
constexpr size_t kCollisionWords = 9;

// Words of a value made of 4-byte fields, or 0.
size_t WordCount(uint8_t code)
{
    switch (code)
    {
    case ParamUInt:
    case ParamInt:
    case ParamFloat:
        return 1;
    case ParamVector:
        return 3;
    case ParamQuat:
    case ParamColor:
        return 4;
    case kDamageInfoCode:
        return 3;
    case kCollisionCode:
        return kCollisionWords;
    default:
        return 0;
    }
}

// Bytes a value takes inside a parameter block.
size_t BlockSize(uint8_t code)
{
    switch (code)
    {
    case ParamDouble:
        return 8;
    case ParamBool:
        return 1;
    case ParamString:
        return ParamBlock::kStringSlot;
    default:
        return WordCount(code) * 4;
    }
}
} // namespace

const char* NetDropText(NetDrop reason)
{
    switch (reason)
    {
    case NetDrop::Short:
        return "shorter than a header";
    case NetDrop::Tag:
        return "wrong tag";
    case NetDrop::Version:
        return "wrong version";
    case NetDrop::Length:
        return "length does not match";
    case NetDrop::Kind:
        return "unknown kind";
    case NetDrop::Token:
        return "wrong connection token";
    case NetDrop::Source:
        return "unknown source";
    case NetDrop::Window:
        return "sequence outside the window";
    case NetDrop::Oversize:
        return "frame over the maximum";
    case NetDrop::Payload:
        return "malformed payload";
    case NetDrop::Join:
        return "join not completed in time";
    case NetDrop::Rate:
        return "over the rate limit";
    case NetDrop::Crowd:
        return "too many waiting to join from one address";
    case NetDrop::Evicted:
        return "waiting to join, pushed out by newer ones";
    default:
        return "unknown";
    }
}

void NetWriter::Bytes(const void* bytes, size_t size)
{
    if (mOverflow || size > mCapacity - mSize)
    {
        mOverflow = true;
        return;
    }
    if (size)
        std::memcpy(mData + mSize, bytes, size);
    mSize += size;
}

void NetWriter::U16(uint16_t value)
{
    const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    Bytes(b, 2);
}

void NetWriter::U32(uint32_t value)
{
    const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    Bytes(b, 4);
}

void NetWriter::U64(uint64_t value)
{
    U32(uint32_t(value));
    U32(uint32_t(value >> 32));
}

bool NetWriter::Text(const std::string& text)
{
    if (text.size() > kNetMaxName)
        return false;
    U8(uint8_t(text.size()));
    Bytes(text.data(), text.size());
    return true;
}

bool NetReader::Bytes(void* out, size_t size)
{
    if (mFailed || size > Left())
    {
        mFailed = true;
        if (size)
            std::memset(out, 0, size);
        return false;
    }
    if (size)
        std::memcpy(out, mData + mPos, size);
    mPos += size;
    return true;
}

uint8_t NetReader::U8()
{
    uint8_t b = 0;
    Bytes(&b, 1);
    return b;
}

uint16_t NetReader::U16()
{
    uint8_t b[2];
    Bytes(b, 2);
    return uint16_t(b[0] | b[1] << 8);
}

uint32_t NetReader::U32()
{
    uint8_t b[4];
    Bytes(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint64_t NetReader::U64()
{
    const uint64_t low = U32();
    return low | uint64_t(U32()) << 32;
}

bool NetReader::Text(std::string& out)
{
    const uint8_t length = U8();
    if (mFailed || length > kNetMaxName || length > Left())
    {
        mFailed = true;
        return false;
    }
    out.assign(reinterpret_cast<const char*>(mData + mPos), length);
    mPos += length;
    return true;
}

void WriteNetHeader(const NetHeader& header, uint8_t* out)
{
    NetWriter w{out, kNetHeaderSize};
    w.U16(kNetTag);
    w.U8(kNetVersion);
    w.U8(uint8_t(header.mKind));
    w.U32(header.mToken);
    w.U32(header.mSequence);
    w.U32(header.mAck);
    w.U32(header.mAckBits);
    w.U16(header.mLength);
}

bool ReadNetHeader(const uint8_t* data, size_t size, bool exact, NetHeader& out, NetDrop& reason)
{
    if (!data || size < kNetHeaderSize)
    {
        reason = NetDrop::Short;
        return false;
    }
    NetReader r{data, size};
    if (r.U16() != kNetTag)
    {
        reason = NetDrop::Tag;
        return false;
    }
    if (r.U8() != kNetVersion)
    {
        reason = NetDrop::Version;
        return false;
    }
    const uint8_t kind = r.U8();
    out.mToken = r.U32();
    out.mSequence = r.U32();
    out.mAck = r.U32();
    out.mAckBits = r.U32();
    out.mLength = r.U16();
    if (kind >= kNetKindCount)
    {
        reason = NetDrop::Kind;
        return false;
    }
    out.mKind = NetKind(kind);
    if (out.mLength > kNetMaxPayload)
    {
        reason = NetDrop::Oversize;
        return false;
    }
    if (exact && size != kNetHeaderSize + out.mLength)
    {
        reason = NetDrop::Length;
        return false;
    }
    return true;
}

// As in a block, but a text goes as its length and at most kNetMaxName bytes.
size_t NetParamWireSize(uint8_t code) { return code == ParamString ? 1 + kNetMaxName : BlockSize(code); }

bool EncodeNetMessage(const std::string& message, const std::string& function, const ParamBuffer& params,
                      std::vector<uint8_t>& out, std::string& error)
{
    out.resize(kNetMaxPayload);
    NetWriter w{out.data(), out.size()};
    if (!w.Text(message) || !w.Text(function))
    {
        error = "a message or function name is longer than 127 characters";
        return false;
    }
    const ParamBlock* block = params.GetBlock();
    const uint32_t count = block ? block->mCount : 0;
    w.U8(uint8_t(count));
    size_t offset = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint8_t code = block->mSignature[i];
        if (code == ParamCog)
        {
            error = "a cog parameter cannot be sent";
            return false;
        }
        const size_t size = BlockSize(code);
        if (NetParamWireSize(code) == 0 || size == 0 || offset + size > ParamBlock::kDataSize)
        {
            error = "parameter type " + std::to_string(code) + " cannot be sent";
            return false;
        }
        const uint8_t* value = block->mData + offset;
        w.U8(code);
        if (code == ParamString)
        {
            const size_t length = strnlen(reinterpret_cast<const char*>(value), ParamBlock::kStringSlot - 1);
            w.U8(uint8_t(length));
            w.Bytes(value, length);
        }
        else if (code == ParamBool)
        {
            w.U8(value[0] ? 1 : 0);
        }
        else if (code == ParamDouble)
        {
            uint64_t bits;
            std::memcpy(&bits, value, 8);
            w.U64(bits);
        }
        else
        {
            for (size_t word = 0; word < size / 4; ++word)
            {
                uint32_t bits;
                std::memcpy(&bits, value + word * 4, 4);
                w.U32(bits);
            }
        }
        offset += size;
    }
    if (w.mOverflow)
    {
        error = "the message does not fit one datagram";
        return false;
    }
    out.resize(w.mSize);
    return true;
}

namespace {
// One walk for both uses: with out null it only checks, touching no parameter pool, so a
// socket's worker can tell a message from noise.
bool WalkNetMessage(const uint8_t* data, size_t size, NetMessage* out, const char*& error)
{
    NetReader r{data, size};
    std::string message, function;
    if (!r.Text(out ? out->mMessage : message) || !r.Text(out ? out->mFunction : function))
    {
        error = "bad message or function name";
        return false;
    }
    const uint8_t count = r.U8();
    if (r.mFailed || count > ParamBlock::kMaxParams)
    {
        error = "bad parameter count";
        return false;
    }
    if (out)
        out->mParams.Clear();
    uint8_t scratch[kCollisionWords * 4];
    for (uint8_t i = 0; i < count; ++i)
    {
        const uint8_t code = r.U8();
        bool pushed = false;
        if (code == ParamString)
        {
            std::string text;
            pushed = r.Text(text) && text.find('\0') == std::string::npos && (!out || out->mParams.PushStdString(text));
        }
        else if (code == ParamBool)
        {
            const uint8_t value = r.U8();
            pushed = !r.mFailed && value <= 1 && (!out || out->mParams.PushBool(value != 0));
        }
        else if (code == ParamDouble)
        {
            const uint64_t bits = r.U64();
            double value;
            std::memcpy(&value, &bits, 8);
            pushed = !r.mFailed && (!out || out->mParams.PushDouble(value));
        }
        else if (const size_t words = WordCount(code))
        {
            for (size_t word = 0; word < words; ++word)
            {
                const uint32_t bits = r.U32();
                std::memcpy(scratch + word * 4, &bits, 4);
            }
            pushed = !r.mFailed && (!out || out->mParams.PushRecord(code, scratch, words * 4));
        }
        if (!pushed)
        {
            error = "bad parameter";
            return false;
        }
    }
    if (r.Left() != 0)
    {
        error = "bytes after the last parameter";
        return false;
    }
    if (out)
        out->mParams.Rewind();
    return true;
}
} // namespace

bool DecodeNetMessage(const uint8_t* data, size_t size, NetMessage& out, const char*& error)
{
    return WalkNetMessage(data, size, &out, error);
}

bool NetMessageDecodes(const uint8_t* data, size_t size)
{
    const char* error = nullptr;
    return WalkNetMessage(data, size, nullptr, error);
}

bool ReadNetOffer(const uint8_t* payload, size_t size, std::string& name, uint16_t& port, uint8_t& players)
{
    NetReader in{payload, size};
    in.Text(name);
    port = in.U16();
    players = in.U8();
    return !in.mFailed && in.Left() == 0 && port != 0;
}
