// Skinned characters per frame: 200 invaders updating their controllers and skinning palettes,
// against the same sampling and matrix products in one flat loop over a parent-sorted bone
// array. And model reading (before the build) against reading the same file into memory.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <new>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/base/FileUtils.h"
#include "bench/CountingNew.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/ModelStores.h"
#include "graphics/model/animation/AnimationObj.h"
#include "graphics/model/animation/AnimationSet.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/model/files/ChunkReader.h"
#include "graphics/model/files/LMLoader.h"
#include "tools/lmfgen/GameModels.h"

namespace {
constexpr int kCharacters = 200;
constexpr float kDt = 1.0f / 60.0f;
constexpr int kReferenceFrames = 200;

using Clock = std::chrono::steady_clock;

std::string WriteTemp(const std::string& name, const std::string& bytes)
{
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file)
    {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Processor time of the process, system time included (the kernel's copy of the file is
// most of the reference): on a busy shared machine the wall clock also counts other work.
double CpuNow()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// The reference: one flat pass per character over bones sorted parents first.
struct FlatCharacter
{
    float time = 0.0f;
    std::vector<uint32_t> cursors;
    std::vector<Matrix4> world;
    std::vector<Matrix4> palette;
};

void FlatFrame(std::vector<FlatCharacter>& characters, const Animation& walk, const std::vector<uint32_t>& order,
               const std::vector<int32_t>& parents, const std::vector<Matrix4>& binds, const Matrix4& root)
{
    Matrix4 local;
    for (FlatCharacter& c : characters)
    {
        c.time += kDt;
        if (c.time > walk.mLength)
            c.time = 0.0f;
        for (uint32_t bone : order)
        {
            const AnimationPose pose = walk.Sample(bone, c.time, c.cursors[bone]);
            local.FromPosQuat(pose.position, pose.rotation);
            Matrix4::MultiplyAffine(local, parents[bone] < 0 ? root : c.world[parents[bone]], c.world[bone]);
            Matrix4::MultiplyAffine(binds[bone], c.world[bone], c.palette[bone]);
        }
    }
}

void BM_InvaderPalettes(benchmark::State& state)
{
    const std::string file = WriteTemp("loom_bench_invader.lmf", InvaderFile());
    AssetManager<AnimationSet> animations;
    ModelStores::sAnimations = &animations;
    auto skeleton = Ref<Skeleton>::Adopt(new Skeleton());
    LMLoader::LoadSkeleton(*skeleton, file);
    const uint32_t bones = skeleton->GetBoneCount();
    std::vector<AnimationObj> characters(kCharacters);
    for (int i = 0; i < kCharacters; ++i)
    {
        characters[i].ResizeKeyCursors(bones);
        characters[i].LoadAnimationFile(file);
        characters[i].SetAnimationByName("Walk", true);
        characters[i].Update(0.005f * i);
    }
    const Animation& walk = *characters[0].FindAnimation("Walk");
    Matrix4 root;
    root.FromPosQuat({3, 0, 4}, Quat::FromAxisAngle({0, 1, 0}, 0.4f));

    std::vector<int32_t> parents(bones);
    std::vector<Matrix4> binds(bones);
    for (uint32_t b = 0; b < bones; ++b)
    {
        parents[b] = skeleton->GetBone(b)->mParent;
        binds[b] = *skeleton->GetBone(b)->mBindMatrix;
    }
    std::vector<FlatCharacter> flat(kCharacters);
    for (int i = 0; i < kCharacters; ++i)
    {
        flat[i].time = 0.005f * i;
        flat[i].cursors.assign(bones, 0);
        flat[i].world.resize(bones);
        flat[i].palette.resize(bones);
    }
    FlatFrame(flat, walk, skeleton->GetOrder(), parents, binds, root);
    const auto referenceStart = Clock::now();
    for (int frame = 0; frame < kReferenceFrames; ++frame)
        FlatFrame(flat, walk, skeleton->GetOrder(), parents, binds, root);
    const double referenceFrame = Seconds(referenceStart) / kReferenceFrames;
    benchmark::DoNotOptimize(flat[0].palette[0]);

    const long allocationsBefore = gAllocations.load();
    const auto start = Clock::now();
    for (auto _ : state)
    {
        for (AnimationObj& character : characters)
        {
            character.Update(kDt);
            character.ApplyToSkinSkeleton(root, skeleton.Get());
        }
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations());
    const double ourFrame = Seconds(start) / frames;
    state.counters["allocs_per_frame"] = static_cast<double>(gAllocations.load() - allocationsBefore) / frames;
    state.counters["flat_ms"] = referenceFrame * 1000.0;
    state.counters["ratio_to_flat"] = ourFrame / referenceFrame;

    characters.clear();
    ModelStores::sAnimations = nullptr;
    std::filesystem::remove(file);
}
BENCHMARK(BM_InvaderPalettes)->Unit(benchmark::kMillisecond);

// A plain grid of 100,000 vertices in two parts.
std::string BigMeshFile()
{
    LmfMesh mesh;
    for (int p = 0; p < 2; ++p)
    {
        LmfPart part;
        const int side = 224;
        for (int z = 0; z < side; ++z)
            for (int x = 0; x < side; ++x)
            {
                FileVertex v;
                v.position = {float(x), float(p), float(z)};
                v.normal = {0, 1, 0};
                part.vertices.push_back(v);
            }
        part.vertices.resize(50000);
        for (int z = 0; z + 1 < side; ++z)
            for (int x = 0; x + 1 < side; ++x)
            {
                const int a = z * side + x, b = a + 1, c = a + side, d = c + 1;
                if (d >= 50000)
                    continue;
                part.indices.insert(part.indices.end(),
                                    {uint16_t(a), uint16_t(b), uint16_t(d), uint16_t(a), uint16_t(d), uint16_t(c)});
            }
        part.adjacency.assign(part.indices.size(), 0xFFFF);
        mesh.parts.push_back(std::move(part));
    }
    return LmfWriter().Header().Mesh(mesh).End().Bytes();
}

void ReadAgainstFile(benchmark::State& state, const std::string& bytes, const char* name)
{
    const std::string file = WriteTemp(name, bytes);
    std::string whole;
    ReadWholeFile(file, whole);
    const int referenceRuns = 50;
    const double referenceCpuStart = CpuNow();
    const auto referenceStart = Clock::now();
    for (int i = 0; i < referenceRuns; ++i)
    {
        std::string copy;
        ReadWholeFile(file, copy);
        benchmark::DoNotOptimize(copy.data());
    }
    const double referenceRead = Seconds(referenceStart) / referenceRuns;
    const double referenceCpu = (CpuNow() - referenceCpuStart) / referenceRuns;

    size_t parts = 0;
    const double cpuStart = CpuNow();
    const auto start = Clock::now();
    for (auto _ : state)
    {
        ChunkReader reader;
        reader.Open(file);
        Mesh mesh;
        LMLoader::ReadMeshParts(reader, mesh);
        parts += mesh.GetPartCount();
    }
    const double ours = Seconds(start) / static_cast<double>(state.iterations());
    const double oursCpu = (CpuNow() - cpuStart) / static_cast<double>(state.iterations());
    if (parts == 0)
        state.SkipWithError("the mesh did not load");
    state.counters["file_read_ms"] = referenceRead * 1000.0;
    state.counters["ratio_to_file_read"] = ours / referenceRead;
    state.counters["cpu_ratio_to_file_read"] = oursCpu / referenceCpu;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    std::filesystem::remove(file);
}

void BM_ReadInvader(benchmark::State& state) { ReadAgainstFile(state, InvaderFile(), "loom_bench_read_invader.lmf"); }
BENCHMARK(BM_ReadInvader)->Unit(benchmark::kMicrosecond);

void BM_ReadBigMesh(benchmark::State& state) { ReadAgainstFile(state, BigMeshFile(), "loom_bench_read_big.lmf"); }
BENCHMARK(BM_ReadBigMesh)->Unit(benchmark::kMillisecond);

// The build on its own: merge, simplification, cache order.
void BM_BuildBigMesh(benchmark::State& state)
{
    const std::string bytes = BigMeshFile();
    for (auto _ : state)
    {
        state.PauseTiming();
        ChunkReader reader;
        reader.OpenBuffer(bytes, "big");
        Mesh mesh;
        LMLoader::ReadMeshParts(reader, mesh);
        state.ResumeTiming();
        mesh.Build();
        benchmark::DoNotOptimize(mesh.GetGeometry().indices.data());
    }
}
BENCHMARK(BM_BuildBigMesh)->Unit(benchmark::kMillisecond);
} // namespace
