// The render queue at 1024x768 on the GL device: 1,000 and 4,000 entries over 8 shaders x 16
// meshes x 8 materials, filed in a seeded random order. Each frame files the entries, sorts and
// flushes them; the reference flushes the same entries in filing order with the same change
// rules. Reports the state changes of both, the time ratio and the sort's share of the flush.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "bench/BenchDevice.h"
#include "bench/BenchSeconds.h"
#include "graphics/Renderable.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/Shader.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/render/RenderQueue.h"

namespace {

constexpr int kShaders = 8;
constexpr int kMeshes = 16;
constexpr int kMaterials = 8;

struct Vertex
{
    float mX, mY, mZ, mU, mV;
};

struct Setup;

// A mesh of its own buffers; draws one small quad per entry at the entry's place.
class BenchMesh : public Renderable
{
public:
    bool Submit(float, uint32_t, RenderQueue*) override { return true; }
    void BindGeometry(GraphicsDevice& device, uint16_t, uint16_t, bool) override
    {
        device.SetVertexLayout(mLayout);
        device.SetStreamSource(mVertices.get(), 0, sizeof(Vertex));
        device.SetIndices(mIndices.get());
    }
    void Draw(GraphicsDevice& device, float, Shader* shader, RenderQueueEntry* entry) override
    {
        shader->SetMatrix(Shader::WorldViewProjection, mPlaces[entry->mSpare]);
        shader->CommitChanges();
        device.DrawIndexed(PrimitiveType::TriangleList, 0, 0, 2);
    }
    void DrawBounds(GraphicsDevice&, Shader*) override {}

    VertexLayout* mLayout = nullptr;
    std::unique_ptr<GpuBuffer> mVertices;
    std::unique_ptr<GpuBuffer> mIndices;
    const Matrix4* mPlaces = nullptr;
};

// Eight effects, each its own program; materials are texture indices.
class BenchShaders : public QueueShaders
{
public:
    Shader* ShaderAt(uint16_t index) override { return index < mShaders.size() ? mShaders[index].get() : nullptr; }
    Shader* DeferredShader() override { return nullptr; }
    void SetTechnique(Shader& shader, uint32_t technique) override { shader.SetTechnique(int(technique)); }
    void ApplyMaterial(Shader& shader, Material* material) override
    {
        const size_t index = reinterpret_cast<uintptr_t>(material) - 1;
        shader.SetTexture(Shader::DiffuseMap, (*mTextures)[index % mTextures->size()].get());
    }
    void Begin(Shader& shader) override
    {
        shader.Begin();
        shader.BeginPass(0);
    }
    void End(Shader& shader) override
    {
        shader.EndPass();
        shader.End();
    }
    void SetShadowTexture(Shader&, GpuTexture*) override {}
    GpuTexture* AcquireShadowTexture() override { return nullptr; }
    void ReleaseShadowTexture() override {}

    std::vector<std::unique_ptr<Shader>> mShaders;
    std::vector<std::unique_ptr<GpuTexture>>* mTextures = nullptr;
};

struct Setup
{
    SDL_Window* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::unique_ptr<VertexLayout> mLayout;
    std::vector<std::unique_ptr<GpuTexture>> mTextures;
    EffectPool mPool;
    FrameMatrices mFrame;
    BenchShaders mShaders;
    BenchMesh mMeshes[kMeshes];
    std::vector<Matrix4> mPlaces;
    RenderQueue mQueue;
    std::string mError;
    // Per entry count: milliseconds per frame sorted, unsorted, and of the sort alone.
    double mSortedMs[2] = {};
    double mFilingMs[2] = {};
    double mSortMs[2] = {};
    QueueCounters mSorted[2];
    QueueCounters mFiling[2];
};

Setup& Get()
{
    static Setup* setup = [] {
        auto* s = new Setup();
        if (!OpenBenchSetup(*s, kBenchWidth, kBenchHeight, std::string(LOOM_TEST_DATA) + "/"))
            return s;
        static const VertexElement layout[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                               {12, VertexType::Float2, VertexSemantic::TexCoord, 0}};
        s->mLayout = s->mDevice->CreateVertexLayout(layout);
        for (int i = 0; i < kMaterials; ++i)
        {
            TextureDesc t{TextureKind::Tex2D, TextureFormat::RGBA8, 64, 64, 1, false};
            s->mTextures.push_back(s->mDevice->CreateTexture(t));
            std::vector<uint8_t> texels(64 * 64 * 4, uint8_t(120 + i * 15));
            s->mTextures.back()->Upload(0, 0, texels.data(), texels.size());
        }
        s->mShaders.mTextures = &s->mTextures;
        for (int i = 0; i < kShaders; ++i)
        {
            std::unique_ptr<FxEffect> effect =
                FxEffect::FromFile(*s->mDevice, "Effects/Quads4.fx", &s->mPool, s->mError);
            if (!effect)
                return s;
            ShaderRecord record;
            record.mIndex = uint16_t(i);
            record.mName = "Bench" + std::to_string(i);
            s->mShaders.mShaders.push_back(std::make_unique<Shader>(record, std::move(effect), &s->mFrame, true));
            for (const char* map : {"NormalMap", "EffectMap", "Environment"})
            {
                FxEffect& fx = s->mShaders.mShaders.back()->GetEffect();
                fx.SetTexture(fx.GetParameterByName(map), s->mTextures[0].get());
            }
        }
        const uint16_t indices[6] = {0, 1, 2, 1, 3, 2};
        for (int m = 0; m < kMeshes; ++m)
        {
            const float h = 0.005f + 0.0005f * m;
            const Vertex quad[4] = {{-h, h, 0.5f, 0, 0}, {h, h, 0.5f, 1, 0}, {-h, -h, 0.5f, 0, 1}, {h, -h, 0.5f, 1, 1}};
            BenchMesh& mesh = s->mMeshes[m];
            mesh.mLayout = s->mLayout.get();
            mesh.mVertices = s->mDevice->CreateVertexBuffer(sizeof(quad), false);
            mesh.mVertices->Write(0, quad, sizeof(quad));
            mesh.mIndices = s->mDevice->CreateIndexBuffer(sizeof(indices), false, false);
            mesh.mIndices->Write(0, indices, sizeof(indices));
        }
        for (int i = 0; i < 4096; ++i)
            s->mPlaces.push_back(
                Matrix4::Translation(Vector3(-0.98f + 0.03f * (i % 64), -0.98f + 0.03f * (i / 64), 0.0f)));
        for (BenchMesh& mesh : s->mMeshes)
            mesh.mPlaces = s->mPlaces.data();
        s->mQueue.Init(s->mDevice.get(), &s->mShaders);
        return s;
    }();
    return *setup;
}

// The same seeded draws every frame: shader, mesh, material and place per entry.
struct Draw
{
    uint16_t mShader, mMesh, mMaterial, mPlace;
};

std::vector<Draw> Draws(int count)
{
    std::mt19937 random(1234);
    std::vector<Draw> draws;
    draws.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        draws.push_back({uint16_t(random() % kShaders), uint16_t(random() % kMeshes), uint16_t(random() % kMaterials),
                         uint16_t(i)});
    return draws;
}

void File(Setup& s, const std::vector<Draw>& draws)
{
    s.mQueue.Reset();
    for (const Draw& d : draws)
    {
        RenderQueueEntry* e = s.mQueue.NextEntry();
        e->mShaderIndex = d.mShader;
        e->mMeshSerial = uint16_t(d.mMesh + 1);
        e->mMaterialSerial = uint16_t(d.mMaterial + 1);
        e->mMaterial = reinterpret_cast<Material*>(uintptr_t(d.mMaterial) + 1);
        e->mSpare = d.mPlace;
        e->mRenderable = &s.mMeshes[d.mMesh];
        s.mQueue.Add(e);
    }
}

void Frame(Setup& s, const std::vector<Draw>& draws, bool sorted)
{
    s.mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
    File(s, draws);
    if (sorted)
        s.mQueue.Flush(0.0f, 0);
    else
        s.mQueue.FlushInFilingOrder(0.0f, 0);
    s.mDevice->Present();
}

void Finish(Setup& s)
{
    Image image;
    s.mDevice->ReadBack(nullptr, image);
}

uint32_t Changes(const QueueCounters& c) { return c.mShaderSwitches + c.mMaterialApplies + c.mGeometryBinds; }

void Report(benchmark::State& state, Setup& s, int slot)
{
    const QueueCounters& sorted = s.mSorted[slot];
    const QueueCounters& filing = s.mFiling[slot];
    state.counters["shader_switches"] = sorted.mShaderSwitches;
    state.counters["material_applies"] = sorted.mMaterialApplies;
    state.counters["geometry_binds"] = sorted.mGeometryBinds;
    state.counters["changes_sorted"] = Changes(sorted);
    state.counters["changes_filing"] = Changes(filing);
    if (s.mSortedMs[slot] > 0.0)
        state.counters["filing_over_sorted"] = s.mFilingMs[slot] / s.mSortedMs[slot];
    if (s.mSortedMs[slot] > 0.0)
        state.counters["sort_share"] = s.mSortMs[slot] / s.mSortedMs[slot];
}

// Whole frames in one order until the run ends; the milliseconds per frame and the counters of the last.
void TimeFrames(benchmark::State& state, Setup& s, const std::vector<Draw>& draws, bool sorted, double& ms,
                QueueCounters& counters)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        Frame(s, draws, sorted);
    Finish(s);
    ms = MsPerIteration(state, start);
    counters = s.mQueue.GetCounters();
}

void BM_FilingOrder(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mDevice || s.mShaders.mShaders.size() != kShaders)
        return state.SkipWithError(s.mError.c_str());
    const int slot = state.range(0) == 1000 ? 0 : 1;
    const std::vector<Draw> draws = Draws(int(state.range(0)));
    TimeFrames(state, s, draws, false, s.mFilingMs[slot], s.mFiling[slot]);
    state.counters["changes"] = Changes(s.mFiling[slot]);
}

void BM_Sorted(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mDevice || s.mShaders.mShaders.size() != kShaders)
        return state.SkipWithError(s.mError.c_str());
    const int slot = state.range(0) == 1000 ? 0 : 1;
    const std::vector<Draw> draws = Draws(int(state.range(0)));
    // The sort alone, on the same filing.
    File(s, draws);
    std::vector<RenderQueueEntry*> copy;
    const auto sortStart = std::chrono::steady_clock::now();
    constexpr int kSorts = 200;
    for (int i = 0; i < kSorts; ++i)
    {
        copy = s.mQueue.GetMainList();
        RenderQueue::Sort(copy);
    }
    s.mSortMs[slot] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sortStart).count() / kSorts;

    TimeFrames(state, s, draws, true, s.mSortedMs[slot], s.mSorted[slot]);
    Report(state, s, slot);
}

BENCHMARK(BM_FilingOrder)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));
BENCHMARK(BM_Sorted)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

} // namespace
