#include "graphics/model/files/ChunkReader.h"

#include <cstdio>
#include <cstring>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/model/files/FileRecords.h"

namespace {
constexpr size_t kHeaderSize = 8;

uint32_t LoadU32(const char* p) { return FileRecords::LoadU32(reinterpret_cast<const unsigned char*>(p)); }
} // namespace

bool ChunkReader::Open(const std::string& fileName)
{
    OpenBuffer({}, fileName);
    if (!ReadWholeFile(fileName, mData))
    {
        mData.clear();
        mFailed = true;
        if (AssertFailedString("file.is_open()", "graphics\\ChunkReader", __LINE__,
                               "Could not Find Model File " + fileName))
            DebugBreakIfAttached();
        return false;
    }
    return true;
}

void ChunkReader::OpenBuffer(std::string bytes, std::string name)
{
    mData = std::move(bytes);
    mName = std::move(name);
    mPos = 0;
    mChunk = Chunk();
    mInChunk = false;
    mFailed = false;
}

void ChunkReader::Close()
{
    mData.clear();
    mData.shrink_to_fit();
    mPos = 0;
    mInChunk = false;
}

void ChunkReader::Fail(const std::string& what)
{
    if (mFailed)
        return;
    mFailed = true;
    char where[64];
    std::snprintf(where, sizeof(where), " (chunk 0x%X at offset %zu)", mInChunk ? mChunk.Mark : 0u, mPos);
    Console::Instance().Log("Model file " + mName + ": " + what + where, LogError);
}

bool ChunkReader::ReadHeader(Chunk& out)
{
    // Headers are read between chunks: the previous chunk's bounds no longer apply.
    mInChunk = false;
    if (mData.size() - mPos < kHeaderSize)
        return false;
    out.Mark = LoadU32(mData.data() + mPos);
    out.Size = LoadU32(mData.data() + mPos + 4);
    out.start = mPos + kHeaderSize;
    out.end = out.start + out.Size;
    return true;
}

bool ChunkReader::ReadChunk(uint32_t type, Chunk& out)
{
    if (mFailed)
        return false;
    const size_t at = mPos;
    if (!ReadHeader(out))
    {
        Fail("chunk missing or cut short");
        return false;
    }
    mPos = out.start;
    if (out.Mark != type)
    {
        if (AssertFailed("c.Mark == chunktype", "graphics\\ChunkReader", __LINE__, "Not Valid Chunk Type"))
            DebugBreakIfAttached();
        char text[64];
        std::snprintf(text, sizeof(text), "expected chunk 0x%X, found 0x%X", type, out.Mark);
        mPos = at;
        Fail(text);
        return false;
    }
    if (out.Size > mData.size() - out.start)
    {
        mPos = at;
        Fail("chunk runs past the end of the file");
        return false;
    }
    mChunk = out;
    mInChunk = true;
    return true;
}

bool ChunkReader::FindChunk(uint32_t type, Chunk& out)
{
    if (mFailed)
        return false;
    while (ReadHeader(out))
    {
        if (out.Mark == 0)
            return false;
        if (out.Size > mData.size() - out.start)
        {
            Fail("chunk runs past the end of the file");
            return false;
        }
        if (out.Mark == type)
        {
            mPos = out.start;
            mChunk = out;
            mInChunk = true;
            return true;
        }
        mPos = out.end;
    }
    out = Chunk();
    return false;
}

uint32_t ChunkReader::PeekMark() const
{
    if (mFailed || mData.size() - mPos < kHeaderSize)
        return 0;
    return LoadU32(mData.data() + mPos);
}

void ChunkReader::EndChunk()
{
    if (mInChunk && !mFailed)
        mPos = mChunk.end;
    mInChunk = false;
}

bool ChunkReader::Take(void* out, size_t bytes)
{
    if (mFailed)
        return false;
    if (Limit() - mPos < bytes)
    {
        Fail(mInChunk ? "chunk payload cut short" : "file cut short");
        return false;
    }
    std::memcpy(out, mData.data() + mPos, bytes);
    mPos += bytes;
    return true;
}

const unsigned char* ChunkReader::View(size_t bytes)
{
    if (mFailed)
        return nullptr;
    if (Limit() - mPos < bytes)
    {
        Fail(mInChunk ? "chunk payload cut short" : "file cut short");
        return nullptr;
    }
    const auto* at = reinterpret_cast<const unsigned char*>(mData.data() + mPos);
    mPos += bytes;
    return at;
}

bool ChunkReader::Read(uint16_t& value)
{
    unsigned char b[2];
    if (!Take(b, 2))
        return false;
    value = FileRecords::LoadU16(b);
    return true;
}

bool ChunkReader::Read(uint32_t& value)
{
    char b[4];
    if (!Take(b, 4))
        return false;
    value = LoadU32(b);
    return true;
}

bool ChunkReader::Read(int32_t& value)
{
    uint32_t raw = 0;
    if (!Read(raw))
        return false;
    value = static_cast<int32_t>(raw);
    return true;
}

bool ChunkReader::Read(float& value)
{
    uint32_t raw = 0;
    if (!Read(raw))
        return false;
    std::memcpy(&value, &raw, 4);
    return true;
}

bool ChunkReader::Read(Vector3& value) { return Read(value.x) && Read(value.y) && Read(value.z); }

bool ChunkReader::Read(Quat& value) { return Read(value.w) && Read(value.x) && Read(value.y) && Read(value.z); }

bool ChunkReader::Read(Matrix4& value)
{
    for (float& element : value.m)
    {
        if (!Read(element))
            return false;
    }
    return true;
}

bool ChunkReader::ReadString(std::string& out)
{
    if (mFailed)
        return false;
    const size_t limit = Limit();
    const void* nul = std::memchr(mData.data() + mPos, 0, limit - mPos);
    if (!nul)
    {
        Fail("name without its end");
        return false;
    }
    const size_t length = static_cast<const char*>(nul) - (mData.data() + mPos);
    out.assign(mData.data() + mPos, length);
    mPos += length + 1;
    return true;
}

bool ChunkReader::ReadCount(uint32_t& count, size_t recordSize)
{
    if (!Read(count))
        return false;
    if (recordSize != 0 && count > Remaining() / recordSize)
    {
        Fail("count " + std::to_string(count) + " does not fit in the bytes left");
        return false;
    }
    return true;
}

bool ChunkReader::Skip(size_t bytes)
{
    if (mFailed)
        return false;
    if (Limit() - mPos < bytes)
    {
        Fail("chunk payload cut short");
        return false;
    }
    mPos += bytes;
    return true;
}
