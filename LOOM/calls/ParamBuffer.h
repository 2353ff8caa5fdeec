#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "LOOM/base/TypeCode.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

class Cog;

// Parameter type letters as stored in a buffer's signature bytes: the type code as a byte.
// 'd' carries integer text with the suffix u, 'e' plain integer text; both are 32-bit integers.
enum ParamCode : uint8_t
{
    ParamUInt = TypeInt,      // 'd'
    ParamInt = TypeUInt,      // 'e'
    ParamFloat = TypeFloat,   // 'f'
    ParamDouble = TypeDouble, // 'g'
    ParamBool = TypeBool,     // 'i'
    ParamString = TypeString, // 'j'
    ParamCog = TypeCog,       // 'k'
    ParamVector = TypeVector, // 'l'
    ParamQuat = TypeQuat,     // 'm'
    ParamColor = TypeColor,   // 'n'
};
static_assert(ParamUInt == 'd' && ParamColor == 'n');

// One pooled block, owned by the pool. While on the free list it is linked through mNext.
struct ParamBlock
{
    static constexpr uint32_t kMaxParams = 4;
    static constexpr size_t kDataSize = 512;
    // A string travels in a fixed slot: up to 127 characters and the terminating zero.
    static constexpr size_t kStringSlot = 128;

    ParamBlock* mNext;
    uint32_t mCount;
    uint8_t mSignature[kMaxParams];
    uint8_t mData[kDataSize];
};
static_assert(sizeof(ParamBlock) == 528 && offsetof(ParamBlock, mData) == 16);

// Handle on a pooled block carrying the typed arguments (and the result) of a call by name.
// Move-only, so a block is handed back exactly once. Main thread only: the pool has no lock.
// The per-call operations are inline; only growth and refusals leave the header.
class ParamBuffer
{
public:
    // Takes a cleared block; an empty pool grows.
    ParamBuffer() : ParamBuffer(AcquireBlock()) {}
    ~ParamBuffer() { Release(); }
    ParamBuffer(ParamBuffer&& other) noexcept : mCursor(other.mCursor), mBlock(other.mBlock)
    {
        other.mCursor = nullptr;
        other.mBlock = nullptr;
    }
    ParamBuffer& operator=(ParamBuffer&& other) noexcept;
    ParamBuffer(const ParamBuffer&) = delete;
    ParamBuffer& operator=(const ParamBuffer&) = delete;

    static ParamBuffer FromString(std::string text);
    // A new handle on another block holding the same parameters, cursor at the data start.
    ParamBuffer Copy() const;

    // Bare blocks: count, signature and data zeroed on the way out; null only when memory ran out.
    static ParamBlock* AcquireBlock()
    {
        ParamBlock* block = sFreeList ? sFreeList : Grow();
        if (!block)
            return nullptr;
        sFreeList = block->mNext;
        block->mNext = nullptr;
        block->mCount = 0;
        std::memset(block->mSignature, 0, sizeof(block->mSignature));
        std::memset(block->mData, 0, sizeof(block->mData));
        return block;
    }
    static void ReleaseBlock(ParamBlock* block)
    {
        if (!block)
            return;
        block->mNext = sFreeList;
        sFreeList = block;
    }
    static void AllocatePool(int count);
    // Frees the blocks on the free list; a block lent out stays valid and comes back later.
    static void FreePool();
    // Blocks now on the free list.
    static size_t FreeCount();

    void Release()
    {
        ReleaseBlock(mBlock);
        mBlock = nullptr;
        mCursor = nullptr;
    }
    // Forgets the parameters; the data bytes stay until overwritten.
    void Clear()
    {
        if (!mBlock)
            return;
        mCursor = mBlock->mData;
        mBlock->mCount = 0;
        std::memset(mBlock->mSignature, 0, sizeof(mBlock->mSignature));
    }
    // Cursor back to the data start; parameters are kept (for reading them again).
    void Rewind()
    {
        if (mBlock)
            mCursor = mBlock->mData;
    }

    // Every push refuses (returns false, logs) a fifth parameter or data past 512 bytes.
    bool PushUInt(uint32_t value) { return PushBytes(ParamUInt, &value, sizeof(value)); }
    bool PushInt(int32_t value) { return PushBytes(ParamInt, &value, sizeof(value)); }
    bool PushFloat(float value) { return PushBytes(ParamFloat, &value, sizeof(value)); }
    bool PushDouble(double value) { return PushBytes(ParamDouble, &value, sizeof(value)); }
    bool PushBool(bool value)
    {
        const uint8_t byte = value ? 1 : 0;
        return PushBytes(ParamBool, &byte, 1);
    }
    // A text of 128 bytes or more does not fit its slot: refused (logged), never cut.
    bool PushString(const char* text);
    bool PushStdString(const std::string& text);
    // A cog lives only in memory, so its slot is as wide as a pointer.
    bool PushCog(Cog* cog) { return PushBytes(ParamCog, &cog, sizeof(void*)); }
    bool PushVector(const Vector3& value) { return PushBytes(ParamVector, &value, sizeof(value)); }
    bool PushQuat(const Quat& value) { return PushBytes(ParamQuat, &value, sizeof(value)); }
    bool PushColor(const Color& value) { return PushBytes(ParamColor, &value, sizeof(value)); }
    // A value of a record type: its bytes as the record lays them out.
    bool PushRecord(uint8_t code, const void* bytes, size_t size) { return PushBytes(code, bytes, size); }

    // Reads at the cursor and advances it. Reads that would pass the data end give zeros.
    void Read(void* out, size_t size)
    {
        if (!mBlock || size > Left())
        {
            std::memset(out, 0, size);
            return;
        }
        std::memcpy(out, mCursor, size);
        mCursor += size;
    }
    void PopString(std::string& out);

    void SetTag(uint32_t index, uint8_t code);
    uint8_t GetTag(uint32_t index) const;
    uint32_t GetSignature() const
    {
        if (!mBlock)
            return 0;
        const uint8_t* s = mBlock->mSignature;
        return uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
    }
    void SetCount(uint32_t count);
    uint32_t GetCount() const { return mBlock ? mBlock->mCount : 0; }

    ParamBlock* GetBlock() const { return mBlock; }
    // Bytes between the data start and the cursor.
    size_t GetOffset() const { return mBlock ? size_t(mCursor - mBlock->mData) : 0; }

private:
    explicit ParamBuffer(ParamBlock* block) : mCursor(block ? block->mData : nullptr), mBlock(block) {}

    size_t Left() const { return size_t(mBlock->mData + ParamBlock::kDataSize - mCursor); }
    bool HasRoom(size_t size) const { return mBlock && mBlock->mCount < ParamBlock::kMaxParams && size <= Left(); }
    bool PushBytes(uint8_t code, const void* bytes, size_t size)
    {
        if (!HasRoom(size))
            return Refuse(size);
        std::memcpy(mCursor, bytes, size);
        mCursor += size;
        mBlock->mSignature[mBlock->mCount++] = code;
        return true;
    }
    // Logs why a push of size bytes does not fit; returns false.
    bool Refuse(size_t size) const;
    // Adds blocks to the empty pool and returns the head, or null when memory ran out.
    static ParamBlock* Grow();

    static inline ParamBlock* sFreeList = nullptr;

    uint8_t* mCursor = nullptr;
    ParamBlock* mBlock = nullptr;
};

// A function called by name that refuses one of its arguments (a value outside what it takes)
// says so here and does nothing: a script that made the call gets an error naming the command and
// the argument, any other caller a logged error. Main thread only.
class ArgumentRefusal
{
public:
    // position counts from 1.
    static void Refuse(uint32_t position, std::string why);
    static const std::string& Why() { return sWhy; }

    // Made around a call from a script: a refusal made during it is the script's to raise.
    class Listen
    {
    public:
        Listen() : mOuter(sListening)
        {
            sListening = true;
            sPosition = 0;
        }
        ~Listen()
        {
            sListening = mOuter;
            sPosition = 0;
        }
        Listen(const Listen&) = delete;
        Listen& operator=(const Listen&) = delete;
        // The argument refused during the call, 0 for none.
        uint32_t Position() const { return sPosition; }

    private:
        bool mOuter;
    };

private:
    static inline bool sListening = false;
    static inline uint32_t sPosition = 0;
    static inline std::string sWhy;
};

// How a value type travels in a buffer: its code, its width and how it is written and read.
// Record types add a specialisation next to their definition (see RecordParamTraits).
template <typename T>
struct ParamTraits;

// Values read back as their own bytes; PushFn is the buffer's typed push.
template <typename T, uint8_t Code, auto PushFn>
struct PlainParamTraits
{
    static constexpr uint8_t kCode = Code;
    // NOLINTNEXTLINE(bugprone-sizeof-expression): a pointer is stored as its own bytes
    static constexpr size_t kSize = sizeof(T);
    static bool Push(ParamBuffer& params, const T& value) { return (params.*PushFn)(value); }
    static T Pop(ParamBuffer& params)
    {
        T value{};
        params.Read(&value, sizeof(T)); // NOLINT(bugprone-sizeof-expression)
        return value;
    }
};

template <>
struct ParamTraits<uint32_t> : PlainParamTraits<uint32_t, ParamUInt, &ParamBuffer::PushUInt>
{
};
template <>
struct ParamTraits<int32_t> : PlainParamTraits<int32_t, ParamInt, &ParamBuffer::PushInt>
{
};
template <>
struct ParamTraits<float> : PlainParamTraits<float, ParamFloat, &ParamBuffer::PushFloat>
{
};
template <>
struct ParamTraits<double> : PlainParamTraits<double, ParamDouble, &ParamBuffer::PushDouble>
{
};
template <>
struct ParamTraits<Cog*> : PlainParamTraits<Cog*, ParamCog, &ParamBuffer::PushCog>
{
};
template <>
struct ParamTraits<Vector3> : PlainParamTraits<Vector3, ParamVector, &ParamBuffer::PushVector>
{
};
template <>
struct ParamTraits<Quat> : PlainParamTraits<Quat, ParamQuat, &ParamBuffer::PushQuat>
{
};
template <>
struct ParamTraits<Color> : PlainParamTraits<Color, ParamColor, &ParamBuffer::PushColor>
{
};
static_assert(ParamTraits<Vector3>::kSize == 12 && ParamTraits<Quat>::kSize == 16 && ParamTraits<Color>::kSize == 16);

template <>
struct ParamTraits<bool>
{
    static constexpr uint8_t kCode = ParamBool;
    static constexpr size_t kSize = 1;
    static bool Push(ParamBuffer& params, bool value) { return params.PushBool(value); }
    static bool Pop(ParamBuffer& params)
    {
        uint8_t byte = 0;
        params.Read(&byte, 1);
        return byte != 0;
    }
};

template <>
struct ParamTraits<std::string>
{
    static constexpr uint8_t kCode = ParamString;
    static constexpr size_t kSize = ParamBlock::kStringSlot;
    static bool Push(ParamBuffer& params, const std::string& value) { return params.PushStdString(value); }
    static std::string Pop(ParamBuffer& params)
    {
        std::string text;
        params.PopString(text);
        return text;
    }
};

// A plain record (a game message) carried as its own bytes under its own type code.
template <typename T, uint8_t Code>
struct RecordParamTraits
{
    static_assert(std::is_trivially_copyable_v<T>, "records travel as plain bytes");
    static_assert(Code != 0, "0 ends a signature");
    static constexpr uint8_t kCode = Code;
    static constexpr size_t kSize = sizeof(T);
    static bool Push(ParamBuffer& params, const T& value) { return params.PushRecord(Code, &value, sizeof(T)); }
    static T Pop(ParamBuffer& params)
    {
        T value{};
        params.Read(&value, sizeof(T));
        return value;
    }
};

// "(string, vector)": a signature as the log shows it, its parameters' types in order.
std::string SignatureText(uint32_t signature);

// The signature a call with these parameter types carries: one code per byte, first lowest.
template <typename... Args>
constexpr uint32_t MakeSignature()
{
    static_assert(sizeof...(Args) <= ParamBlock::kMaxParams, "at most four parameters");
    static_assert((size_t(0) + ... + ParamTraits<std::decay_t<Args>>::kSize) <= ParamBlock::kDataSize,
                  "parameters exceed the 512 data bytes");
    uint32_t signature = 0;
    uint32_t shift = 0;
    ((signature |= uint32_t(ParamTraits<std::decay_t<Args>>::kCode) << shift, shift += 8), ...);
    return signature;
}
