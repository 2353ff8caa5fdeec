// 20,000 live particles in 10 systems with steady churn (random lifetimes, emission refills
// each system every frame): update plus the batched point writes, on the null device, against
// a flat loop over one contiguous array doing the same arithmetic and 16-byte writes, timed in
// the same run. Measured for the updaters the game's effects use: 2 (colour keys, force) and 3
// (the same with drag), with a three-key colour stream like the game's fire. A
// counting operator new shows whether a frame allocates once warm. Then the same frame drawn
// on the GL device (llvmpipe here) against an empty frame, each frame ending when the GPU has
// finished it. The last benchmark of each pair reports the ratio.
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
#include "bench/BenchDevice.h"
#include "bench/BenchSeconds.h"
#include "bench/CountingNew.h"
#include "bench/ThreadClock.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/particles/ParticleSystem.h"
#include "platform/PlatformWindow.h"

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

const Vector3 kForce(0.0f, -0.2f, 0.0f);

// Three keys over a second, as the game's fire stream has.
std::vector<ColorKey> Keys()
{
    return {{0.0f, Color(1.0f, 1.0f, 0.7f, 1.0f)},
            {0.25f, Color(1.0f, 0.6f, 0.1f, 0.9f)},
            {1.0f, Color(0.3f, 0.05f, 0.0f, 0.0f)}};
}

struct Systems
{
    std::vector<std::unique_ptr<ParticleSystem>> mSystems;
    uint32_t mNext = 0;

    explicit Systems(int32_t type)
    {
        for (int s = 0; s < kSystems; ++s)
        {
            mSystems.push_back(std::make_unique<ParticleSystem>());
            mSystems.back()->maxParticles = kPerSystem;
            mSystems.back()->UpdateTypes = type;
            mSystems.back()->Force = kForce;
            mSystems.back()->Stream().ColorKeys = Keys();
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

// The reference: one array, the same arithmetic (key walk, force, drag for type 3), the same
// vertex bytes.
struct Flat
{
    std::vector<Particle> mLive;
    std::vector<ParticleVertex> mBuffer = std::vector<ParticleVertex>(ParticlePool::kCapacity);
    ColorStream mStream;
    int32_t mType;
    uint32_t mNext = 0;
    uint64_t mSink = 0;

    explicit Flat(int32_t type) : mType(type)
    {
        mStream.ColorKeys = Keys();
        mLive.reserve(kSystems * kPerSystem);
        while (mLive.size() < size_t(kSystems) * kPerSystem)
            mLive.push_back(Fresh(mNext++));
    }
    void Frame()
    {
        const std::vector<ColorKey>& keys = mStream.ColorKeys;
        const int32_t last = int32_t(keys.size()) - 1;
        const bool drag = mType == 3;
        size_t out = 0;
        for (size_t i = 0; i < mLive.size(); ++i)
        {
            Particle p = mLive[i];
            p.mAge += kStep;
            if (drag ? !(p.mAge <= p.mLifetime) : !(p.mAge < p.mLifetime))
                continue;
            if (keys[size_t(p.mKeyIndex)].mTime > p.mAge)
                p.mColor += p.mColorRate.Scaled(kStep);
            else if (p.mAge >= keys[size_t(last)].mTime)
            {
                p.mColor = keys[size_t(last)].mColor;
                p.mColorRate = Color{};
            }
            else
            {
                int32_t k = p.mKeyIndex + 1;
                while (k < last && keys[size_t(k)].mTime <= p.mAge)
                    ++k;
                p.mKeyIndex = k;
                p.mColorRate = mStream.RateToKey(p.mColor, p.mAge, uint32_t(k));
            }
            p.mPosition += p.mVelocity * kStep;
            p.mVelocity += kForce;
            if (drag && DotProduct(p.mVelocity, p.mVelocity) > 1.0f)
                p.mVelocity -= p.mVelocity * kStep;
            mLive[out++] = p;
        }
        mLive.resize(out);
        while (mLive.size() < size_t(kSystems) * kPerSystem)
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

double gGlEmptyMs = 0.0;

double PerIteration(benchmark::State& state, std::chrono::steady_clock::time_point start)
{
    const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    return ns / double(state.iterations() ? state.iterations() : 1);
}

// Argument: the update type. Each frame runs the systems, then the flat loop of the same type.
void BM_ParticleSystems(benchmark::State& state)
{
    const int32_t type = int32_t(state.range(0));
    auto device = GraphicsDevice::CreateNull(DeviceDesc{});
    ParticlePool::CreateDeviceObjects(*device);
    {
        Systems systems(type);
        Flat flat(type);
        for (int i = 0; i < 60; ++i)
        {
            systems.Frame(*device);
            flat.Frame();
        }
        const uint64_t allocationsBefore = gAllocations.load();
        double ours = 0.0;
        double reference = 0.0;
        for (auto _ : state)
        {
            double start = ThreadSeconds();
            systems.Frame(*device);
            ours += (ThreadSeconds() - start);
            start = ThreadSeconds();
            flat.Frame();
            reference += (ThreadSeconds() - start);
        }
        const double frames = double(state.iterations() ? state.iterations() : 1);
        state.counters["allocs_per_frame"] = double(gAllocations.load() - allocationsBefore) / frames;
        state.counters["ns_per_particle"] = ours / frames / (kSystems * kPerSystem) * 1e9;
        state.counters["flat_ns_per_particle"] = reference / frames / (kSystems * kPerSystem) * 1e9;
        state.counters["ratio"] = reference > 0.0 ? ours / reference : 0.0;
        benchmark::DoNotOptimize(flat.mSink);
    }
    ParticlePool::Destroy();
}
BENCHMARK(BM_ParticleSystems)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond)->MinTime(BenchSeconds(1.0));

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
        desc.mWidth = kBenchWidth;
        desc.mHeight = kBenchHeight;
        desc.mVSync = false;
        g->mDevice = GraphicsDevice::CreateGl(PlatformWindow::GetHandle(), desc, g->mError);
        if (g->mDevice)
        {
            g->mDevice->SetTransform(TransformKind::View, Matrix4::Translation(Vector3(-48.0f, -10.0f, 80.0f)));
            g->mDevice->SetTransform(TransformKind::Projection,
                                     Matrix4::PerspectiveFovLH(1.0f, 4.0f / 3.0f, 1.0f, 500.0f));
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
        FinishFrame();
    }
    gGlEmptyMs = PerIteration(state, start) / 1e6;
}
BENCHMARK(BM_GlEmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

void BM_GlParticleFrame(benchmark::State& state)
{
    Gl& gl = GetGl();
    if (!gl.mDevice)
        return state.SkipWithError(gl.mError.c_str());
    GraphicsDevice& device = *gl.mDevice;
    ParticlePool::CreateDeviceObjects(device);
    {
        Systems systems(2);
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
            FinishFrame();
        }
        const double ms = PerIteration(state, start) / 1e6;
        state.counters["particles_over_empty"] = gGlEmptyMs > 0.0 ? ms / gGlEmptyMs : 0.0;
        state.counters["empty_ms"] = gGlEmptyMs;
    }
    ParticlePool::Destroy();
}
BENCHMARK(BM_GlParticleFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

} // namespace
