// Frames at 1024x768 in a window of that size through the graphics loom: an empty frame, 200
// walking invaders as SkinModels drawn by the loom's frame (animation advance, queue, sort, skin
// pass, draw), and as the reference the same 200 models drawn in a plain loop on the device and
// effect layers: one advance each, the same palettes, and the simplified mesh for the same far
// ones, then the sky the loom draws where no ground fills the view. The loom's shadow passes are
// off, as the plain loop has none; every frame on both sides ends when the GPU has finished it.
// The last one reports the ratios loom/plain and loom/empty, and each the draws and clears a frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Quat.h"
#include "LOOM/space/QTree.h"
#include "bench/BenchDevice.h"
#include "bench/BenchSeconds.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/effect/Shader.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/resource/Material.h"
#include "graphics/scene/SceneComponents.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/scenery/SkyDome.h"
#include "platform/PlatformWindow.h"

namespace {

constexpr int kInvaders = 200;
constexpr float kStep = 1.0f / 60.0f;

struct Setup
{
    PlatformWindow* mWindow = nullptr;
    QTree mTree;
    std::unique_ptr<CogFactory> mCogs;
    std::unique_ptr<GraphicsLoom> mLoom;
    std::vector<SkinModel*> mModels;
    double mEmptyMs = 0, mLoomMs = 0;
    std::string mError;
};

Setup& Get()
{
    static Setup* setup = [] {
        auto* s = new Setup();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        // The frame's size: a window of another size would have the device draw elsewhere and copy.
        s->mWindow = PlatformWindow::Create(kBenchWidth, kBenchHeight);
        SetDataPath(std::string(LOOM_DATA) + "/");
        Console::Instance().SetConfigFolder("Config\\");
        s->mTree.Allocate(5);
        s->mTree.BuildTree(512.0f);
        s->mCogs = std::make_unique<CogFactory>();
        RegisterPositional(*s->mCogs);
        RegisterCamera(*s->mCogs);
        s->mCogs->Types().RegisterComponent(SkinModel::kTypeId, SceneComponentFactory(SkinModel::kTypeId));
        s->mLoom.reset(GraphicsLoom::Create());
        s->mLoom->Init();
        if (!s->mLoom->GetDevice())
        {
            s->mError = "no GL context";
            return s;
        }
        s->mLoom->Display().SetResolution(kBenchWidth, kBenchHeight);
        s->mLoom->GetToggles().mShadows = false;
        for (const auto& [name, id] : {std::pair{"Eye", Camera::kTypeId}, std::pair{"Invader", SkinModel::kTypeId}})
        {
            auto type = std::make_shared<Composer>(*s->mCogs, name, "");
            type->AddComponent(1, s->mCogs->Types().GetComponentFactory(1));
            type->AddComponent(id, s->mCogs->Types().GetComponentFactory(id));
            s->mCogs->Types().RegisterType(name, type);
        }
        Cog* eye = s->mCogs->Instantiate("Eye");
        auto& place = *eye->Get<Positional>();
        place.StorePosition({256, 25, 290});
        place.SetOrientation(Quat::FromDirection(Vector3(0, -25, -34).Normalized()));
        eye->Get<Camera>()->SetView({}, {0, 0, 1}, {0, 1, 0});
        eye->Initialize();
        return s;
    }();
    return *setup;
}

void MakeInvaders(Setup& s)
{
    if (!s.mModels.empty())
        return;
    for (int i = 0; i < kInvaders; ++i)
    {
        Cog* cog = s.mCogs->Instantiate("Invader");
        cog->Get<Positional>()->StorePosition({236.0f + 2.0f * float(i % 20), 0.0f, 246.0f + 2.0f * float(i / 20)});
        auto* skin = cog->Get<SkinModel>();
        skin->MeshFileName = skin->SkelFileName = "Models/Invader.lmf";
        skin->FileShader = "BasicSkin";
        skin->FileMaterial = "Materials/Green.xml";
        skin->GetAnimation().FileAnimations = {"Models/Invader.lmf"};
        cog->Initialize();
        skin->GetAnimation().SetAnimationByName("Walk", true);
        skin->GetAnimation().Update(0.01f * float(i));
        s.mModels.push_back(skin);
    }
}

// The device's draws and clears a frame since `before`, as the run's counters: what each side asks.
void CountFrameWork(benchmark::State& state, GraphicsDevice& device, const DeviceCounters& before)
{
    const double frames = double(state.iterations() ? state.iterations() : 1);
    state.counters["draws"] = double(device.Counters().mDraws - before.mDraws) / frames;
    state.counters["clears"] = double(device.Counters().mClears - before.mClears) / frames;
}

// Milliseconds per frame of the loom's own update until the run ends.
double RunLoomFrames(benchmark::State& state, Setup& s)
{
    const DeviceCounters before = s.mLoom->GetDevice()->Counters();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        s.mLoom->Update();
        FinishFrame();
    }
    const double ms = MsPerIteration(state, start);
    CountFrameWork(state, *s.mLoom->GetDevice(), before);
    return ms;
}

void BM_EmptyFrame(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mError.empty())
        return state.SkipWithError(s.mError.c_str());
    s.mEmptyMs = RunLoomFrames(state, s);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

void BM_LoomSkinModels(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mError.empty())
        return state.SkipWithError(s.mError.c_str());
    MakeInvaders(s);
    // The loom advances each model's animation once as it submits it.
    s.mLoomMs = RunLoomFrames(state, s);
    state.counters["triangles"] = double(s.mLoom->GetCounters().mTriangles);
}
BENCHMARK(BM_LoomSkinModels)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

// The same draws without the loom: clear, then per model advance, skin into a palette, set
// the effect's values and draw the mesh's part, then present.
void BM_PlainSkinLoop(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mError.empty())
        return state.SkipWithError(s.mError.c_str());
    MakeInvaders(s);
    GraphicsDevice& device = *s.mLoom->GetDevice();
    Shader* shader = s.mLoom->GetShaderControl().GetShader("BasicSkin");
    Mesh* mesh = s.mModels[0]->GetMesh();
    Material* material = s.mModels[0]->GetMaterialPtr();
    Skeleton* skeleton = mesh->GetSkeleton();
    const uint32_t bones = skeleton->GetBoneCount();
    std::vector<Matrix4> palette(bones);
    std::vector<Matrix4> worlds;
    // Past the loom's detail distance from the eye the loom draws the simplified mesh: so does this.
    std::vector<bool> far;
    const Vector3 eye(256, 25, 290);
    for (SkinModel* model : s.mModels)
    {
        Matrix4 world;
        const Vector3 at = model->GetOwnerPositional()->GetPositionValue();
        world.FromPosQuatUniformScale(at, Quat(), 1.0f);
        worlds.push_back(world);
        far.push_back((at - eye).Length() > s.mLoom->GetToggles().mLodLimit);
    }
    size_t farCount = 0;
    for (bool f : far)
        farCount += f;
    const float color[4] = {1, 1, 1, 1};
    const DeviceCounters before = device.Counters();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        device.Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 128);
        shader->SetTechnique(Shader::Technique0);
        shader->ApplyMaterial(*material);
        mesh->BindBuffers(device);
        shader->Begin();
        for (size_t i = 0; i < s.mModels.size(); ++i)
        {
            AnimationObj& animation = s.mModels[i]->GetAnimation();
            animation.Update(kStep);
            skeleton->UpdateBones(std::span<Matrix4>(palette), animation, Matrix4::Identity());
            shader->SetColor(Shader::ModelColor, color);
            shader->SetWorldMatrices(worlds[i]);
            shader->SetBones(bones, palette.data());
            shader->BeginPass(0);
            if (far[i])
                mesh->DrawPartLod(device, 0);
            else
                mesh->DrawPart(device, 0);
            shader->EndPass();
        }
        shader->End();
        // The loom draws its sky over what the models leave when no ground fills the view.
        if (SkyDome* sky = s.mLoom->Scenery().GetSky())
            sky->Render(*s.mLoom, s.mLoom->Scenery().GetSun());
        device.Present();
        FinishFrame();
    }
    const double plainMs = MsPerIteration(state, start);
    CountFrameWork(state, device, before);
    state.counters["simplified"] = double(farCount);
    state.counters["loom_ms"] = s.mLoomMs;
    state.counters["plain_ms"] = plainMs;
    state.counters["empty_ms"] = s.mEmptyMs;
    state.counters["loom_over_plain"] = s.mLoomMs / plainMs;
    state.counters["loom_over_empty"] = s.mLoomMs / s.mEmptyMs;
}
BENCHMARK(BM_PlainSkinLoop)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

} // namespace
