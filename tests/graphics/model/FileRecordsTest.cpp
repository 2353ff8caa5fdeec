#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/model/files/FileRecords.h"
#include "graphics/model/files/LMLoader.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/GameModels.h"

namespace {

using namespace FileRecords;

// Bytes that make every field differ, with a few odd float patterns (NaN, denormal, -0).
std::vector<unsigned char> Pattern(size_t size)
{
    std::vector<unsigned char> bytes(size);
    uint32_t state = 12345;
    for (unsigned char& b : bytes)
    {
        state = state * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(state >> 24);
    }
    const unsigned char odd[][4] = {{0x01, 0x00, 0xC0, 0x7F}, {0x01, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x80}};
    for (size_t i = 0; i < 3 && 8 + 4 * i + 4 <= size; ++i)
        std::memcpy(bytes.data() + 8 + 4 * i, odd[i], 4);
    return bytes;
}

template <typename T>
bool SameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// For one record type: the whole-record load against field-by-field decoding, at every
// alignment, record by record and through a vector filled in one pass.
template <typename T, size_t Size, T (*Decode)(const unsigned char*)>
void CheckRecords(const char* name)
{
    SCOPED_TRACE(name);
    static_assert(sizeof(T) == Size, "records compared bit for bit need no padding");
    constexpr size_t kCount = 37;
    const std::vector<unsigned char> bytes = Pattern(kCount * Size + 8);
    for (size_t offset = 0; offset < 4; ++offset)
    {
        const unsigned char* at = bytes.data() + offset;
        std::vector<T> filled(3);
        Assign<T, Size, Load<T, Size, Decode>>(filled, at, kCount);
        ASSERT_EQ(filled.size(), kCount);
        for (size_t i = 0; i < kCount; ++i)
        {
            const T decoded = Decode(at + i * Size);
            ASSERT_TRUE(SameBits(Load<T, Size, Decode>(at + i * Size), decoded)) << "record " << i;
            ASSERT_TRUE(SameBits(filled[i], decoded)) << "record " << i;
        }
        Assign<T, Size, Load<T, Size, Decode>>(filled, at, 0);
        EXPECT_TRUE(filled.empty());
    }
}

} // namespace

TEST(FileRecords, WholeRecordLoadsMatchFieldByFieldDecoding)
{
    CheckRecords<uint16_t, 2, LoadU16>("index");
    CheckRecords<Vector3, 12, DecodeVector3>("point");
    CheckRecords<FileVertex, 32, DecodeVertex>("vertex");
    CheckRecords<Influence, 8, DecodeInfluence>("influence");
    CheckRecords<AnimationKey, 44, DecodeKey>("key");
}

TEST(FileRecords, DecodingReadsLittleEndianFieldsInFileOrder)
{
    // time 1, position (2, 3, 4), rotation w x y z = (0.5, -1, 8, 0), scale (-2, 0.25, 16).
    const float fields[] = {1.0f, 2.0f, 3.0f, 4.0f, 0.5f, -1.0f, 8.0f, 0.0f, -2.0f, 0.25f, 16.0f};
    std::vector<unsigned char> bytes;
    for (float f : fields)
    {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(bits >> shift));
    }
    const AnimationKey key = DecodeKey(bytes.data());
    EXPECT_EQ(key.time, 1.0f);
    EXPECT_EQ(key.position, Vector3(2, 3, 4));
    EXPECT_EQ(key.rotation.w, 0.5f);
    EXPECT_EQ(key.rotation.x, -1.0f);
    EXPECT_EQ(key.rotation.y, 8.0f);
    EXPECT_EQ(key.rotation.z, 0.0f);
    EXPECT_EQ(key.scale, Vector3(-2, 0.25f, 16));

    const FileVertex v = DecodeVertex(bytes.data());
    EXPECT_EQ(v.position, Vector3(1, 2, 3));
    EXPECT_EQ(v.u, 4.0f);
    EXPECT_EQ(v.v, 0.5f);
    EXPECT_EQ(v.normal, Vector3(-1, 8, 0));

    const unsigned char raw[] = {0x34, 0x12, 0x78, 0x56};
    EXPECT_EQ(LoadU16(raw), 0x1234u);
    EXPECT_EQ(LoadU32(raw), 0x56781234u);
    const Influence influence = DecodeInfluence(bytes.data());
    EXPECT_EQ(influence.weight, 1.0f);
    EXPECT_EQ(influence.bone, 0x40000000u);
}

// The part arrays straight from the file, before any build: every field of every record.
TEST(FileRecords, MeshPartsReadBackExactlyAsWritten)
{
    struct Row
    {
        const char* name;
        LmfMesh mesh;
    };
    LmfMesh edges = UnitCubeMesh();
    // Neighbours at the limits: the last face, and none.
    edges.parts[0].adjacency[0] = static_cast<uint16_t>(edges.parts[0].indices.size() / 3 - 1);
    edges.parts[0].adjacency[1] = 0xFFFF;
    edges.parts[0].keepApartChunk = true;
    edges.parts[0].keepApart = 2;
    const Row rows[] = {{"cube", edges}, {"invader", InvaderMesh()}, {"turret", TurretMesh()}, {"tube", TubeMesh()}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        ChunkReader reader;
        reader.OpenBuffer(LmfWriter().Header().Mesh(row.mesh).End().Bytes(), row.name);
        Mesh mesh;
        ASSERT_TRUE(LMLoader::ReadMeshParts(reader, mesh));
        ASSERT_EQ(mesh.GetPartCount(), row.mesh.parts.size());
        for (uint32_t p = 0; p < mesh.GetPartCount(); ++p)
        {
            const MeshPart& part = *mesh.GetPart(p);
            const LmfPart& source = row.mesh.parts[p];
            EXPECT_EQ(part.mIndices, source.indices);
            EXPECT_EQ(part.mIndexCount, source.indices.size());
            ASSERT_EQ(part.mAdjacency.size(), source.adjacency.size());
            for (size_t i = 0; i < source.adjacency.size(); ++i)
                ASSERT_EQ(part.mAdjacency[i], source.adjacency[i] == 0xFFFF ? kNoNeighbour : source.adjacency[i]);
            ASSERT_EQ(part.mVertices.size(), source.vertices.size());
            for (size_t v = 0; v < source.vertices.size(); ++v)
                ASSERT_TRUE(SameBits(part.mVertices[v], source.vertices[v])) << "vertex " << v;
            EXPECT_EQ(part.mInfluencesPerVertex, source.influencesPerVertex);
            ASSERT_EQ(part.mInfluences.size(), source.influences.size());
            for (size_t i = 0; i < source.influences.size(); ++i)
                ASSERT_TRUE(SameBits(part.mInfluences[i], source.influences[i])) << "influence " << i;
            EXPECT_EQ(part.mKeepApart, source.keepApart);
            EXPECT_EQ(part.mSimplifyTarget, source.target);
        }
    }
}

TEST(FileRecords, ClipKeysAndDistancePointsReadBackExactlyAsWritten)
{
    const std::vector<LmfClip> clips = InvaderClips();
    const std::vector<Vector3> points = {{1, 2, 3}, {-4.5f, 0, 1e-30f}, {7, 8, 9}};
    const std::string bytes = LmfWriter().Header().Clips(clips).DistancePoints(points).End().Bytes();

    ChunkReader reader;
    reader.OpenBuffer(bytes, "clips");
    AnimationSet set;
    ASSERT_TRUE(LMLoader::ReadAnimations(reader, set));
    ASSERT_EQ(set.Animations.size(), clips.size());
    for (size_t c = 0; c < clips.size(); ++c)
    {
        const Animation& animation = *set.Animations[c];
        ASSERT_EQ(animation.mTracks.size(), clips[c].tracks.size());
        for (size_t t = 0; t < clips[c].tracks.size(); ++t)
        {
            ASSERT_EQ(animation.mTracks[t].keys.size(), clips[c].tracks[t].size());
            for (size_t k = 0; k < clips[c].tracks[t].size(); ++k)
                ASSERT_TRUE(SameBits(animation.mTracks[t].keys[k], clips[c].tracks[t][k]));
        }
    }

    ChunkReader pointReader;
    pointReader.OpenBuffer(bytes, "points");
    DistanceMap map;
    ASSERT_TRUE(LMLoader::ReadDistanceMap(pointReader, map));
    ASSERT_EQ(map.mPoints.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i)
        EXPECT_TRUE(SameBits(map.mPoints[i], points[i]));
}
