#include <gtest/gtest.h>

#include <random>

#include "graphics/model/files/LMLoader.h"
#include "graphics/model/files/Model3DS.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/GameModels.h"

namespace {

// Every loader over the bytes: each either takes the file whole or stays empty, saying why
// in one line (after the assertion of a wrong chunk type). False once the test has failed: a
// fuzz loop stops at its first bad case, named by the trace.
bool LoadAll(const std::string& bytes, size_t wholeParts, size_t trace)
{
    SCOPED_TRACE(trace);
    const size_t limit = bytes.size();
    // One loader over a fresh reader of the bytes.
    auto read = [&](auto&& load) {
        LogProbe probe;
        const int before = AssertFailureCount();
        ChunkReader reader;
        reader.OpenBuffer(bytes, "fuzz");
        const bool ok = load(reader);
        const auto assertions = static_cast<uint32_t>(AssertFailureCount() - before);
        EXPECT_EQ(probe.Written(), ok ? 0u : 1u + assertions);
        return ok;
    };
    Mesh mesh;
    const bool meshOk = read([&](ChunkReader& reader) { return LMLoader::ReadMesh(reader, mesh); });
    EXPECT_EQ(mesh.GetPartCount(), meshOk ? wholeParts : 0u);
    EXPECT_LE(size_t(mesh.mVertexCount) * 32, limit);
    EXPECT_LE(size_t(mesh.mFaceCount) * 6, limit);
    if (meshOk)
        mesh.BuildEdges();

    Skeleton skeleton;
    read([&](ChunkReader& reader) { return LMLoader::ReadSkeleton(reader, skeleton); });
    EXPECT_LE(size_t(skeleton.GetBoneCount()) * 5, limit);

    AnimationSet set;
    read([&](ChunkReader& reader) { return LMLoader::ReadAnimations(reader, set); });
    size_t keys = 0;
    for (const std::unique_ptr<Animation>& animation : set.Animations)
        for (const AnimationTrack& track : animation->mTracks)
            keys += track.keys.size();
    EXPECT_LE(keys * 44, limit);
    return !::testing::Test::HasFailure();
}

void Load3DS(const std::string& bytes)
{
    LogProbe probe;
    Mesh mesh;
    Model3DS reader;
    const bool ok = reader.Read(bytes, "fuzz.3ds", mesh, nullptr);
    EXPECT_EQ(probe.Written(), ok ? 0u : 1u);
    EXPECT_EQ(mesh.GetPartCount() == 0, !ok);
    EXPECT_LE(size_t(mesh.mVertexCount) * 12, bytes.size());
}

// The file with that many bytes, at random places, set to random values.
std::string Flipped(const std::string& file, int flips, std::mt19937& rng)
{
    std::uniform_int_distribution<size_t> at(0, file.size() - 1);
    std::string bytes = file;
    for (; flips > 0; --flips)
        bytes[at(rng)] = static_cast<char>(rng());
    return bytes;
}

// The file with the four bytes at the offset set to 0xFF: a count or size far beyond the data.
std::string Huge(const std::string& file, size_t offset)
{
    std::string bytes = file;
    bytes.replace(offset, 4, "\xFF\xFF\xFF\xFF");
    return bytes;
}

} // namespace

TEST(ModelFuzz, LmfFilesCutAtEveryByte)
{
    const std::string turret = TurretFile();
    for (size_t cut = 0; cut < turret.size(); ++cut)
        if (!LoadAll(turret.substr(0, cut), 9, cut))
            return;
    const std::string invader = InvaderFile();
    for (size_t cut = 0; cut < invader.size(); cut += 61)
        if (!LoadAll(invader.substr(0, cut), 1, cut))
            return;
}

TEST(ModelFuzz, LmfFilesWithFlippedBytesAndHugeCounts)
{
    std::mt19937 rng(1234);
    const std::string files[] = {TurretFile(), TubeFile()};
    for (const std::string& file : files)
    {
        const size_t parts = file.size() == TurretFile().size() ? 9 : 1;
        for (int round = 0; round < 150; ++round)
            if (!LoadAll(Flipped(file, 1 + round % 4, rng), parts, round))
                return;
        // Every field of the small chunks; a stride through the vertex payload.
        for (size_t offset = 0; offset + 4 <= file.size(); offset += offset < 512 ? 4 : 52)
            if (!LoadAll(Huge(file, offset), parts, offset))
                return;
    }
}

TEST(ModelFuzz, ThreeDsFilesCutFlippedAndHuge)
{
    const std::string file = SevenTexFile();
    for (size_t cut = 0; cut < file.size(); ++cut)
        Load3DS(file.substr(0, cut));
    std::mt19937 rng(99);
    for (int round = 0; round < 600; ++round)
        Load3DS(Flipped(file, 1 + round % 3, rng));
    for (size_t offset = 0; offset + 4 <= file.size(); offset += 2)
        Load3DS(Huge(file, offset));
}
