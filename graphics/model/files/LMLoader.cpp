#include "graphics/model/files/LMLoader.h"

#include <algorithm>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/model/DistanceMap.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/AnimationSet.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/model/files/ChunkReader.h"
#include "graphics/model/files/FileRecords.h"

namespace {
enum : uint32_t
{
    kHeader = 0x01,
    kMeshInfo = 0x02,
    kPart = 0x03,
    kIndices = 0x04,
    kAdjacency = 0x05,
    kVertices = 0x06,
    kAnimationCount = 0x07,
    kAnimation = 0x08,
    kBones = 0x09,
    kInfluences = 0x0A,
    kBounds = 0x0B,
    kPartBones = 0x0D,
    kNamedBones = 0x10,
    kDistancePoints = 0xA0,
    kKeepApart = 0xAA,
};
constexpr uint32_t kNoParent = 0xFFFFFFFFu;
// The smallest a part can be on disk: chunks 0x03 to 0x06 with empty lists.
constexpr size_t kMinPartBytes = 8 + 16 + 3 * (8 + 4);

bool ReadHeader(ChunkReader& reader)
{
    Chunk chunk;
    uint32_t first = 0;
    uint32_t second = 0;
    if (!reader.ReadChunk(kHeader, chunk) || !reader.Read(first) || !reader.Read(second))
        return false;
    reader.EndChunk();
    return true;
}

using namespace FileRecords;

// Count records of that size in place, moving past them; null (and failed) when they are not
// all there.
const unsigned char* ViewRecords(ChunkReader& reader, size_t count, size_t size)
{
    if (count > reader.Remaining() / size)
    {
        reader.Fail("chunk payload cut short");
        return nullptr;
    }
    return reader.View(count * size);
}

// The whole array in one pass from the file bytes.
template <typename T, size_t Size, T (*Read)(const unsigned char*)>
bool ReadRecords(ChunkReader& reader, std::vector<T>& out, size_t count)
{
    const unsigned char* bytes = ViewRecords(reader, count, Size);
    if (!bytes)
        return false;
    Assign<T, Size, Read>(out, bytes, count);
    return true;
}

// 0xFFFF (no neighbour) widens to 0xFFFFFFFF; branch-free so the copy stays one tight loop.
uint32_t WidenNeighbour(const unsigned char* p) { return ((LoadU16(p) + 1u) & 0xFFFFu) - 1u; }

// The largest of n file values plus add (mod 2^16). Compared through the signed range, which
// plain SSE2 can vectorise.
uint16_t Highest16(const unsigned char* bytes, size_t n, uint16_t add)
{
    int16_t highest = INT16_MIN;
    for (size_t i = 0; i < n; ++i)
    {
        const auto value = static_cast<uint16_t>(Load<uint16_t, 2, LoadU16>(bytes + 2 * i) + add);
        highest = std::max(highest, static_cast<int16_t>(value ^ 0x8000));
    }
    return static_cast<uint16_t>(highest ^ 0x8000);
}

int32_t ParentOf(uint32_t raw) { return raw == kNoParent ? -1 : static_cast<int32_t>(raw); }

// A chunk of one 16-bit entry per face corner; null, failed, when it holds any other count.
const unsigned char* ReadCornerChunk(ChunkReader& reader, uint32_t type, uint64_t corners, const char* what)
{
    Chunk chunk;
    uint32_t n = 0;
    if (!reader.ReadChunk(type, chunk) || !reader.ReadCount(n, 2))
        return nullptr;
    if (n != corners)
    {
        reader.Fail(std::string(what) + " count " + std::to_string(n) + " is not three per face");
        return nullptr;
    }
    return ViewRecords(reader, n, 2);
}

bool ReadPart(ChunkReader& reader, MeshPart& part, uint32_t number)
{
    Chunk chunk;
    if (!reader.FindChunk(kPart, chunk))
    {
        reader.Fail("part " + std::to_string(number) + " missing");
        return false;
    }
    uint32_t index = 0, parent = 0;
    if (!reader.Read(index) || !reader.Read(parent) || !reader.Read(part.mSimplifyTarget) ||
        !reader.Read(part.mFaceCount))
        return false;
    part.mIndex = index;
    part.mParent = ParentOf(parent);
    reader.EndChunk();
    const uint64_t indexCount = 3 * uint64_t(part.mFaceCount);

    const unsigned char* indices = ReadCornerChunk(reader, kIndices, indexCount, "index");
    if (!indices)
        return false;
    // The chunk held exactly indexCount entries, so it fits.
    const auto n = static_cast<uint32_t>(indexCount);
    const uint32_t highest = Highest16(indices, n, 0);
    Assign<uint16_t, 2, Load<uint16_t, 2, LoadU16>>(part.mIndices, indices, n);
    part.mIndexCount = n;
    reader.EndChunk();

    const unsigned char* entries = ReadCornerChunk(reader, kAdjacency, indexCount, "adjacency");
    if (!entries)
        return false;
    // One past the largest neighbour: no neighbour (0xFFFF) wraps to 0 and never counts.
    const uint32_t worst = Highest16(entries, n, 1);
    Assign<uint32_t, 2, WidenNeighbour>(part.mAdjacency, entries, n);
    if (worst > part.mFaceCount)
    {
        reader.Fail("neighbour " + std::to_string(worst - 1) + " past the faces");
        return false;
    }
    reader.EndChunk();

    if (!reader.ReadChunk(kVertices, chunk) || !reader.ReadCount(part.mVertexCount, 32))
        return false;
    if (!ReadRecords<FileVertex, 32, Load<FileVertex, 32, DecodeVertex>>(reader, part.mVertices, part.mVertexCount))
        return false;
    reader.EndChunk();
    if (part.mIndexCount > 0 && highest >= part.mVertexCount)
    {
        reader.Fail("vertex index " + std::to_string(highest) + " past the vertices");
        return false;
    }

    if (reader.PeekMark() == kInfluences)
    {
        uint32_t ignored = 0, w = 0;
        if (!reader.ReadChunk(kInfluences, chunk) || !reader.Read(ignored) || !reader.Read(w))
            return false;
        if (part.mVertexCount > 0 && uint64_t(w) * part.mVertexCount * 8 > reader.Remaining())
        {
            reader.Fail("influences do not fit in the bytes left");
            return false;
        }
        part.mInfluencesPerVertex = part.mVertexCount > 0 ? w : 0;
        if (!ReadRecords<Influence, 8, Load<Influence, 8, DecodeInfluence>>(
                reader, part.mInfluences, size_t(part.mVertexCount) * part.mInfluencesPerVertex))
            return false;
        reader.EndChunk();
    }
    if (reader.PeekMark() == kKeepApart)
    {
        if (!reader.ReadChunk(kKeepApart, chunk) || !reader.Read(part.mKeepApart))
            return false;
        reader.EndChunk();
    }
    return !reader.Failed();
}

// n bones numbered in file order, each filled in by read.
template <typename ReadBone>
void AddBones(std::vector<std::unique_ptr<Bone>>& bones, uint32_t n, ReadBone read)
{
    bones.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
    {
        auto bone = std::make_unique<Bone>();
        bone->mIndex = i;
        read(*bone);
        bones.push_back(std::move(bone));
    }
}

template <typename T>
bool Refuse(ChunkReader& reader, T& target)
{
    reader.Fail("unusable file");
    target.Clear();
    return false;
}

// True when the whole read went through; otherwise target is refused.
template <typename T>
bool Finish(ChunkReader& reader, T& target)
{
    return !reader.Failed() || Refuse(reader, target);
}

// A file that cannot be opened has logged why and leaves target as it is.
template <typename T>
bool ReadFile(const std::string& fileName, T& target, bool (*read)(ChunkReader&, T&))
{
    ChunkReader reader;
    return reader.Open(fileName) && read(reader, target);
}
} // namespace

namespace LMLoader {

bool ReadMeshParts(ChunkReader& reader, Mesh& mesh)
{
    Chunk chunk;
    uint32_t parts = 0, kind = 0;
    bool ok = ReadHeader(reader) && reader.ReadChunk(kBounds, chunk) && reader.Read(mesh.mRadius) &&
        reader.Read(mesh.mBoxCorner1) && reader.Read(mesh.mBoxCorner2);
    reader.EndChunk();
    ok = ok && reader.ReadChunk(kMeshInfo, chunk) && reader.Read(parts) && reader.Read(kind);
    reader.EndChunk();
    if (!ok)
        return Refuse(reader, mesh);
    if (parts > reader.Remaining() / kMinPartBytes)
    {
        reader.Fail("part count " + std::to_string(parts) + " does not fit in the file");
        return Refuse(reader, mesh);
    }
    mesh.mPartHierarchy = kind == 1;
    mesh.mSkinned = kind == 2;
    mesh.mFromLmf = true;
    for (uint32_t p = 0; p < parts; ++p)
    {
        if (!ReadPart(reader, *mesh.AddPart(), p))
            return Refuse(reader, mesh);
    }
    if (kind == 1 && reader.PeekMark() == kPartBones)
    {
        uint32_t n = 0;
        if (!reader.ReadChunk(kPartBones, chunk) || !reader.ReadCount(n, 12))
            return Refuse(reader, mesh);
        mesh.mBones.resize(n);
        for (Bone& bone : mesh.mBones)
        {
            uint32_t parent = 0;
            reader.Read(bone.mIndex) && reader.Read(parent) && reader.Read(bone.mFlags);
            bone.mParent = ParentOf(parent);
        }
        reader.EndChunk();
    }
    return Finish(reader, mesh);
}

bool ReadMesh(ChunkReader& reader, Mesh& mesh)
{
    if (!ReadMeshParts(reader, mesh))
        return false;
    if (!mesh.Build())
    {
        mesh.Clear();
        return false;
    }
    return true;
}

bool LoadMesh(Mesh& mesh, const std::string& fileName)
{
    Console::Instance().Log("Loading Mesh " + DataRelativeName(fileName), LogLoading);
    mesh.Clear();
    mesh.mName = fileName;
    return ReadFile(fileName, mesh, &ReadMesh);
}

bool ReadSkeleton(ChunkReader& reader, Skeleton& skeleton)
{
    skeleton.Clear();
    if (!ReadHeader(reader))
        return Refuse(reader, skeleton);
    const size_t afterHeader = reader.Tell();
    Chunk chunk;
    uint32_t n = 0;
    auto& bones = skeleton.GetBones();
    if (reader.FindChunk(kBones, chunk))
    {
        if (!reader.ReadCount(n, 68))
            return Refuse(reader, skeleton);
        AddBones(bones, n, [&reader](Bone& bone) {
            bone.mBindMatrix = std::make_unique<Matrix4>();
            reader.Read(bone.mParent) && reader.Read(*bone.mBindMatrix);
        });
    }
    else if (!reader.Failed() && (reader.Seek(afterHeader), reader.FindChunk(kNamedBones, chunk)))
    {
        // A name and its end plus a parent: five bytes at least.
        if (!reader.ReadCount(n, 5))
            return Refuse(reader, skeleton);
        AddBones(bones, n, [&reader](Bone& bone) {
            uint32_t parent = 0;
            reader.ReadString(bone.mName) && reader.Read(parent);
            bone.mParent = ParentOf(parent);
        });
    }
    else
    {
        if (!reader.Failed() && AssertFailed("Bone.Mark!=0", "LMLoader", __LINE__, "Could not find skeleton"))
            DebugBreakIfAttached();
        return Refuse(reader, skeleton);
    }
    reader.EndChunk();
    if (!Finish(reader, skeleton))
        return false;
    skeleton.BuildIndexTable();
    if (!skeleton.LinkBones())
    {
        reader.Fail("bone parents out of range or not a forest");
        return Refuse(reader, skeleton);
    }
    return true;
}

bool LoadSkeleton(Skeleton& skeleton, const std::string& fileName)
{
    Console::Instance().Log("Loading Skeleton " + DataRelativeName(fileName), LogLoading);
    skeleton.Clear();
    return ReadFile(fileName, skeleton, &ReadSkeleton);
}

bool ReadAnimations(ChunkReader& reader, AnimationSet& set)
{
    set.Clear();
    Chunk chunk;
    if (!ReadHeader(reader))
        return Refuse(reader, set);
    if (!reader.FindChunk(kAnimationCount, chunk))
    {
        if (!reader.Failed() && AssertFailed("Animations.Mark!=0", "LMLoader", __LINE__, "could not find animation"))
            DebugBreakIfAttached();
        return Refuse(reader, set);
    }
    uint32_t count = 0;
    if (!reader.Read(count))
        return Refuse(reader, set);
    reader.EndChunk();
    // Each animation is at least a header, an empty name and three values.
    if (count > reader.Remaining() / (8 + 1 + 12))
    {
        reader.Fail("animation count " + std::to_string(count) + " does not fit in the file");
        return Refuse(reader, set);
    }
    for (uint32_t a = 0; a < count; ++a)
    {
        Animation& animation = *set.AddAnimation();
        float ignored = 0.0f;
        if (!reader.ReadChunk(kAnimation, chunk) || !reader.ReadString(animation.mName) ||
            !reader.Read(animation.mLength) || !reader.Read(ignored) || !reader.ReadCount(animation.NumPaths, 4))
            return Refuse(reader, set);
        animation.mSecond = 1.0f;
        animation.ResizeTracks();
        for (AnimationTrack& track : animation.mTracks)
        {
            uint32_t keys = 0;
            if (!reader.ReadCount(keys, 44))
                return Refuse(reader, set);
            if (!ReadRecords<AnimationKey, 44, Load<AnimationKey, 44, DecodeKey>>(reader, track.keys, keys))
                return Refuse(reader, set);
            for (uint32_t k = 1; k < keys; ++k)
            {
                if (!(track.keys[k].time >= track.keys[k - 1].time))
                {
                    reader.Fail("key times of animation " + animation.mName + " go backwards");
                    return Refuse(reader, set);
                }
            }
        }
        reader.EndChunk();
    }
    return Finish(reader, set);
}

bool LoadAnimations(AnimationSet& set, const std::string& fileName)
{
    Console::Instance().Log("Loading Animation File " + DataRelativeName(fileName), LogLoading);
    set.Clear();
    return ReadFile(fileName, set, &ReadAnimations);
}

bool ReadDistanceMap(ChunkReader& reader, DistanceMap& map)
{
    map.mPoints.clear();
    Chunk chunk;
    if (!ReadHeader(reader))
        return false;
    if (!reader.FindChunk(kDistancePoints, chunk))
    {
        reader.Fail("no distance points");
        return false;
    }
    uint32_t n = 0;
    if (!reader.ReadCount(n, 12))
        return false;
    ReadRecords<Vector3, 12, Load<Vector3, 12, DecodeVector3>>(reader, map.mPoints, n);
    reader.EndChunk();
    if (reader.Failed())
    {
        map.mPoints.clear();
        return false;
    }
    return true;
}

bool LoadDistanceMapMesh(DistanceMap& map, const std::string& fileName)
{
    Console::Instance().Log("Loading Distance Map Mesh File File " + fileName, LogLoading);
    map.mPoints.clear();
    return ReadFile(fileName, map, &ReadDistanceMap);
}

} // namespace LMLoader
