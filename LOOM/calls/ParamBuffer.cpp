#include "LOOM/calls/ParamBuffer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/console/Console.h"

namespace {
// Nested calls (script -> command -> script) can outrun the start-up blocks; grow by this many.
constexpr int kGrowBy = 8;

// Every block the pool made, free or lent out. Never destroyed: buffers held by static objects
// hand their blocks back while the program exits, in no order we control.
std::vector<std::unique_ptr<ParamBlock>>& Blocks()
{
    static auto* blocks = new std::vector<std::unique_ptr<ParamBlock>>();
    return *blocks;
}
} // namespace

namespace {
// A parameter's type as a person reads it; records by their own names.
std::string ParamTypeName(uint8_t code)
{
    switch (code)
    {
    case ParamUInt:
        return "uint";
    case ParamInt:
        return "int";
    case ParamFloat:
        return "float";
    case ParamDouble:
        return "double";
    case TypeByte:
        return "byte";
    case ParamBool:
        return "bool";
    case ParamString:
        return "string";
    case ParamCog:
        return "cog";
    case ParamVector:
        return "vector";
    case ParamQuat:
        return "quat";
    case ParamColor:
        return "color";
    case kDamageInfoCode:
        return "DamageInfo";
    case TypeConfig:
        return "DisplaySettings";
    case TypeCollisionData:
        return "CollisionData";
    default:
    {
        static const char kDigits[] = "0123456789ABCDEF";
        return std::string("type 0x") + kDigits[code >> 4] + kDigits[code & 0xF];
    }
    }
}
} // namespace

std::string SignatureText(uint32_t signature)
{
    if (signature == 0)
        return "(none)";
    std::string text = "(";
    for (; signature != 0; signature >>= 8)
    {
        text += ParamTypeName(uint8_t(signature & 0xFF));
        if (signature > 0xFF)
            text += ", ";
    }
    return text + ")";
}

ParamBuffer& ParamBuffer::operator=(ParamBuffer&& other) noexcept
{
    if (this != &other)
    {
        Release();
        mCursor = other.mCursor;
        mBlock = other.mBlock;
        other.mCursor = nullptr;
        other.mBlock = nullptr;
    }
    return *this;
}

ParamBuffer ParamBuffer::FromString(std::string text)
{
    ParamBuffer params;
    params.PushStdString(text);
    return params;
}

ParamBuffer ParamBuffer::Copy() const
{
    ParamBuffer copy;
    if (mBlock && copy.mBlock)
    {
        copy.mBlock->mCount = mBlock->mCount;
        std::memcpy(copy.mBlock->mSignature, mBlock->mSignature, sizeof(mBlock->mSignature));
        std::memcpy(copy.mBlock->mData, mBlock->mData, sizeof(mBlock->mData));
    }
    return copy;
}

ParamBlock* ParamBuffer::Grow()
{
    AllocatePool(kGrowBy);
    return sFreeList;
}

void ParamBuffer::AllocatePool(int count)
{
    for (int i = 0; i < count; ++i)
    {
        std::unique_ptr<ParamBlock> block(new (std::nothrow) ParamBlock);
        if (!block)
            continue;
        Blocks().push_back(std::move(block));
        ReleaseBlock(Blocks().back().get());
    }
}

void ParamBuffer::FreePool()
{
    // Only the free blocks go: one lent out now (a buffer kept from engine to engine) stays
    // valid and joins the next free list when its buffer lets it go.
    std::unordered_set<const ParamBlock*> free;
    for (const ParamBlock* block = sFreeList; block; block = block->mNext)
        free.insert(block);
    sFreeList = nullptr;
    std::erase_if(Blocks(), [&free](const std::unique_ptr<ParamBlock>& block) { return free.count(block.get()) != 0; });
}

size_t ParamBuffer::FreeCount()
{
    size_t count = 0;
    for (const ParamBlock* block = sFreeList; block; block = block->mNext)
        ++count;
    return count;
}

bool ParamBuffer::Refuse(size_t size) const
{
    if (!mBlock)
        Console::Instance().Log("ParamBuffer: push on a released buffer refused", LogError);
    else if (mBlock->mCount >= ParamBlock::kMaxParams)
        Console::Instance().Log("ParamBuffer: a fifth parameter was refused", LogError);
    else
        Console::Instance().Log("ParamBuffer: a value of " + std::to_string(size) +
                                    " bytes would pass the 512 data bytes and was refused",
                                LogError);
    return false;
}

bool ParamBuffer::PushString(const char* text)
{
    if (!text)
        text = "";
    if (!HasRoom(ParamBlock::kStringSlot))
        return Refuse(ParamBlock::kStringSlot);
    const size_t length = strnlen(text, ParamBlock::kStringSlot);
    // Cut, it would be another text: a file name naming another file.
    if (length >= ParamBlock::kStringSlot)
    {
        Console::Instance().Log("ParamBuffer: a string of " + std::to_string(std::strlen(text)) +
                                    " bytes was refused: at most 127 fit",
                                LogError);
        return false;
    }
    // The whole slot is written so no earlier bytes show through after the terminator.
    std::memcpy(mCursor, text, length);
    std::memset(mCursor + length, 0, ParamBlock::kStringSlot - length);
    mCursor += ParamBlock::kStringSlot;
    mBlock->mSignature[mBlock->mCount++] = ParamString;
    return true;
}

bool ParamBuffer::PushStdString(const std::string& text) { return PushString(text.c_str()); }

void ParamBuffer::PopString(std::string& out)
{
    if (!mBlock)
    {
        out.clear();
        return;
    }
    const size_t left = Left();
    const size_t slot = left < ParamBlock::kStringSlot ? left : ParamBlock::kStringSlot;
    const char* text = reinterpret_cast<const char*>(mCursor);
    out.assign(text, strnlen(text, slot));
    mCursor += slot;
}

void ParamBuffer::SetTag(uint32_t index, uint8_t code)
{
    if (mBlock && index < ParamBlock::kMaxParams)
        mBlock->mSignature[index] = code;
}

uint8_t ParamBuffer::GetTag(uint32_t index) const
{
    return mBlock && index < ParamBlock::kMaxParams ? mBlock->mSignature[index] : 0;
}

void ParamBuffer::SetCount(uint32_t count)
{
    if (mBlock)
        mBlock->mCount = count < ParamBlock::kMaxParams ? count : ParamBlock::kMaxParams;
}

void ArgumentRefusal::Refuse(uint32_t position, std::string why)
{
    if (!sListening)
    {
        Console::Instance().Log("Argument #" + std::to_string(position) + " refused: " + why, LogError);
        return;
    }
    sPosition = position;
    sWhy = std::move(why);
}
