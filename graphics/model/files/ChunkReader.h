#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

// What ReadChunk and FindChunk return; start and end are offsets into the file.
struct Chunk
{
    uint32_t Mark = 0;
    uint32_t Size = 0;
    size_t start = 0;
    size_t end = 0;
};

// Walks a chunked file held whole in memory. Every read is checked against the open chunk
// and the file; the first failure logs one error line (file, chunk mark, offset) and every
// later read fails, so a loader checks Failed() once at the end and keeps nothing.
class ChunkReader
{
public:
    // Reads the whole file; a missing file is reported and leaves the reader failed.
    bool Open(const std::string& fileName);
    // Walks bytes already in memory (tests, fuzzing); the name appears in messages.
    void OpenBuffer(std::string bytes, std::string name);
    void Close();

    // The next header, which must be of that type; the cursor is left at its payload, and
    // reads stop at its end.
    bool ReadChunk(uint32_t type, Chunk& out);
    // Skips whole chunks until one of that type; false, without error, when a Mark of 0 or
    // the end of the file comes first.
    bool FindChunk(uint32_t type, Chunk& out);
    // The Mark of the next header, 0 at the end of the file or of the open chunk's bounds.
    uint32_t PeekMark() const;
    // Moves past the rest of the open chunk (payload the reader has no use for).
    void EndChunk();

    bool Read(uint16_t& value);
    bool Read(uint32_t& value);
    bool Read(int32_t& value);
    bool Read(float& value);
    bool Read(Vector3& value);
    // w, x, y, z.
    bool Read(Quat& value);
    bool Read(Matrix4& value);
    // Up to a NUL, which must lie inside the chunk.
    bool ReadString(std::string& out);
    // The next bytes in place, moving past them; null (and failed) when they are not there.
    const unsigned char* View(size_t bytes);
    // A count of records of that size; fails when they cannot all fit in what is left.
    bool ReadCount(uint32_t& count, size_t recordSize);
    bool Skip(size_t bytes);

    size_t Tell() const { return mPos; }
    void Seek(size_t pos) { mPos = pos <= mData.size() ? pos : mData.size(); }
    size_t Remaining() const { return Limit() - mPos; }
    const std::string& GetName() const { return mName; }

    bool Failed() const { return mFailed; }
    // Logs the error line once and stops the walk.
    void Fail(const std::string& what);

private:
    size_t Limit() const { return mInChunk ? mChunk.end : mData.size(); }
    bool Take(void* out, size_t bytes);
    bool ReadHeader(Chunk& out);

    std::string mData;
    std::string mName;
    size_t mPos = 0;
    Chunk mChunk;
    bool mInChunk = false;
    bool mFailed = false;
};
