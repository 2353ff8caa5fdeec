#include <gtest/gtest.h>

#include <random>

#include "graphics/model/files/LMLoader.h"
#include "graphics/model/files/Model3DS.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/GameModels.h"

namespace {

// Every loader over the bytes: each either takes the file whole or stays empty, saying why
// in one line (after the assertion of a wrong chunk type).
void LoadAll(const std::string& bytes, size_t wholeParts)
{
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

} // namespace

TEST(ModelFuzz, LmfFilesCutAtEveryByte)
{
    const std::string turret = TurretFile();
    for (size_t cut = 0; cut < turret.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        LoadAll(turret.substr(0, cut), 9);
        if (HasFailure())
            return;
    }
    const std::string invader = InvaderFile();
    for (size_t cut = 0; cut < invader.size(); cut += 61)
    {
        SCOPED_TRACE(cut);
        LoadAll(invader.substr(0, cut), 1);
        if (HasFailure())
            return;
    }
}

TEST(ModelFuzz, LmfFilesWithFlippedBytesAndHugeCounts)
{
    std::mt19937 rng(1234);
    const std::string files[] = {TurretFile(), TubeFile()};
    for (const std::string& file : files)
    {
        std::uniform_int_distribution<size_t> at(0, file.size() - 1);
        for (int round = 0; round < 150; ++round)
        {
            std::string bytes = file;
            for (int flips = 1 + round % 4; flips > 0; --flips)
                bytes[at(rng)] = static_cast<char>(rng());
            SCOPED_TRACE(round);
            LoadAll(bytes, file.size() == TurretFile().size() ? 9 : 1);
            if (HasFailure())
                return;
        }
        // Every field of the small chunks; a stride through the vertex payload.
        for (size_t offset = 0; offset + 4 <= file.size(); offset += offset < 512 ? 4 : 52)
        {
            std::string bytes = file;
            bytes.replace(offset, 4, "\xFF\xFF\xFF\xFF");
            SCOPED_TRACE(offset);
            LoadAll(bytes, file.size() == TurretFile().size() ? 9 : 1);
            if (HasFailure())
                return;
        }
    }
}

TEST(ModelFuzz, ThreeDsFilesCutFlippedAndHuge)
{
    const std::string file = SevenTexFile();
    for (size_t cut = 0; cut < file.size(); ++cut)
        Load3DS(file.substr(0, cut));
    std::mt19937 rng(99);
    std::uniform_int_distribution<size_t> at(0, file.size() - 1);
    for (int round = 0; round < 600; ++round)
    {
        std::string bytes = file;
        for (int flips = 1 + round % 3; flips > 0; --flips)
            bytes[at(rng)] = static_cast<char>(rng());
        Load3DS(bytes);
    }
    for (size_t offset = 0; offset + 4 <= file.size(); offset += 2)
    {
        std::string bytes = file;
        bytes.replace(offset, 4, "\xFF\xFF\xFF\xFF");
        Load3DS(bytes);
    }
}
