// 20,000 live particles in 10 systems with steady churn (random lifetimes, emission refills
// each system every frame): update plus the batched point writes, on the null device, against
// a flat loop over one contiguous array doing the same arithmetic and 16-byte writes. A
// counting operator new shows whether a frame allocates once warm. Then the same frame drawn
// on the GL device (llvmpipe here) against an empty frame. The last benchmark of each pair
// reports the ratio.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "LOOM/math/Random.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/particles/ParticleSystem.h"
#include "platform/PlatformWindow.h"
#include "bench/CountingNew.h"

namespace {

constexpr int kSystems = 10;
constexpr int kPerSystem = 2000;
constexpr float kStep = 1.0f / 60.0f;
constexpr uint32_t kLifetimes = 4096;

// Lifetimes between 0.2 and 2 s, drawn once so both sides spend nothing on the generator.
const std::vector<float>& Lifetimes()
{
    static const std::vector<float> table = [] {
        RandomSeed(5);
        std::vector<float> t(kLifetimes);
        for (float& v : t)
            v = RandomFloat(0.2f, 2.0f);
        return t;
    }();
    return table;
}

Particle Fresh(uint32_t i)
{
    Particle p;
    p.mLifetime = Lifetimes()[i % kLifetimes];
    p.mVelocity = Vector3(0.5f, 1.0f, 0.25f);
    p.mColor = Color(1.0f, 0.5f, 0.25f, 1.0f);
    p.mColorRate = Color(-0.1f, -0.1f, -0.1f, -0.2f);
    p.mPosition = Vector3(float(i % 97), 0.0f, float(i % 89));
    return p;
}

struct Systems
{
    std::vector<std::unique_ptr<ParticleSystem>> mSystems;
    uint32_t mNext = 0;

    Systems()
    {
        for (int s = 0; s < kSystems; ++s)
        {
            mSystems.push_back(std::make_unique<ParticleSystem>());
            mSystems.back()->maxParticles = kPerSystem;
        }
        Refill();
    }
    void Refill()
    {
        for (auto& system : mSystems)
            while (system->GetCount() < kPerSystem)
                system->AddParticle(Fresh(mNext++));
    }
    void Frame(GraphicsDevice& device)
    {
        for (auto& system : mSystems)
            system->Update(kStep);
        Refill();
        for (auto& system : mSystems)
            system->Render(device);
    }
};

// The reference: one array, the same arithmetic, the same vertex bytes.
struct Flat
{
    std::vector<Particle> mLive;
    std::vector<ParticleVertex> mBuffer = std::vector<ParticleVertex>(ParticlePool::kCapacity);
    uint32_t mNext = 0;
    uint64_t mSink = 0;

    Flat()
    {
        mLive.reserve(kSystems * kPerSystem);
        while (mLive.size() < size_t(kSystems * kPerSystem))
            mLive.push_back(Fresh(mNext++));
    }
    void Frame()
    {
        size_t out = 0;
        for (size_t i = 0; i < mLive.size(); ++i)
        {
            Particle p = mLive[i];
            p.mAge += kStep;
            if (!(p.mAge <= p.mLifetime))
                continue;
            p.mColor += p.mColorRate.Scaled(kStep);
            p.mPosition += p.mVelocity * kStep;
            mLive[out++] = p;
        }
        mLive.resize(out);
        while (mLive.size() < size_t(kSystems * kPerSystem))
            mLive.push_back(Fresh(mNext++));
        uint32_t offset = 0;
        for (size_t i = mLive.size(); i-- > 0;)
        {
            const Particle& p = mLive[i];
            mBuffer[offset] = {p.mPosition.x, p.mPosition.y, p.mPosition.z, p.mColor.ToARGB()};
            offset = (offset + 1) % ParticlePool::kCapacity;
        }
        mSink += mBuffer[offset].mColor;
    }
};

double gFlatNs = 0.0;
double gGlEmptyMs = 0.0;

double PerIteration(benchmark::State& state, std::chrono::steady_clock::time_point start)
{
    const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    return ns / double(state.iterations() ? state.iterations() : 1);
}

void BM_FlatLoop(benchmark::State& state)
{
    Flat flat;
    for (int i = 0; i < 60; ++i)
        flat.Frame();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        flat.Frame();
    gFlatNs = PerIteration(state, start);
    benchmark::DoNotOptimize(flat.mSink);
}
BENCHMARK(BM_FlatLoop)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_ParticleSystems(benchmark::State& state)
{
    auto device = GraphicsDevice::CreateNull(DeviceDesc{});
    ParticlePool::CreateDeviceObjects(*device);
    {
        Systems systems;
        for (int i = 0; i < 60; ++i)
            systems.Frame(*device);
        const uint64_t allocationsBefore = gAllocations.load();
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state)
            systems.Frame(*device);
        const double ns = PerIteration(state, start);
        state.counters["allocs_per_frame"] = double(gAllocations.load() - allocationsBefore) / double(state.iterations());
        state.counters["live"] = double(kSystems * kPerSystem);
        state.counters["ours_over_flat"] = gFlatNs > 0.0 ? ns / gFlatNs : 0.0;
    }
    ParticlePool::Destroy();
}
BENCHMARK(BM_ParticleSystems)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

struct Gl
{
    PlatformWindow* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::string mError;
};

Gl& GetGl()
{
    static Gl* gl = [] {
        auto* g = new Gl();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        g->mWindow = PlatformWindow::Create();
        DeviceDesc desc;
        desc.mWidth = 1024;
        desc.mHeight = 768;
        desc.mVSync = false;
        g->mDevice = GraphicsDevice::CreateGl(PlatformWindow::GetHandle(), desc, g->mError);
        if (g->mDevice)
        {
            g->mDevice->SetTransform(TransformKind::View, Matrix4::Translation(Vector3(-48.0f, -10.0f, 80.0f)));
            g->mDevice->SetTransform(TransformKind::Projection, Matrix4::PerspectiveFovLH(1.0f, 4.0f / 3.0f, 1.0f, 500.0f));
        }
        else if (g->mError.empty())
            g->mError = "no GL device";
        return g;
    }();
    return *gl;
}

void BM_GlEmptyFrame(benchmark::State& state)
{
    Gl& gl = GetGl();
    if (!gl.mDevice)
        return state.SkipWithError(gl.mError.c_str());
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        gl.mDevice->Clear(ClearTarget | ClearZBuffer, 0xFF000000, 1.0f, 0);
        gl.mDevice->Present();
    }
    gGlEmptyMs = PerIteration(state, start) / 1e6;
}
BENCHMARK(BM_GlEmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_GlParticleFrame(benchmark::State& state)
{
    Gl& gl = GetGl();
    if (!gl.mDevice)
        return state.SkipWithError(gl.mError.c_str());
    GraphicsDevice& device = *gl.mDevice;
    ParticlePool::CreateDeviceObjects(device);
    {
        Systems systems;
        for (auto& system : systems.mSystems)
            system->ParticleSize = 0.5f;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state)
        {
            device.Clear(ClearTarget | ClearZBuffer, 0xFF000000, 1.0f, 0);
            ParticlePool::BeginRender(device);
            systems.Frame(device);
            ParticlePool::EndRender(device);
            device.Present();
        }
        const double ms = PerIteration(state, start) / 1e6;
        state.counters["particles_over_empty"] = gGlEmptyMs > 0.0 ? ms / gGlEmptyMs : 0.0;
        state.counters["empty_ms"] = gGlEmptyMs;
    }
    ParticlePool::Destroy();
}
BENCHMARK(BM_GlParticleFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
