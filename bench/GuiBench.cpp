// A HUD of 50 widgets at 1024x768 on the GL device (20 buttons with labels, 10 texts, 10 bars,
// 9 images and a mini-map with 200 icons) drawn through the GUI system each frame, against the
// empty frame (clear and present) as the reference, both ending each frame when the GPU has
// finished it; the last one reports the ratio and the
// draw calls of one HUD frame. Run it as the machine has it: llvmpipe with its own threads.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "bench/BenchDevice.h"
#include "bench/BenchSeconds.h"
#include "graphics/guisystem/GuiSystem.h"
#include "graphics/resource/ResourceContext.h"
#include "graphics/resource/Texture.h"
#include "gui/WidgetComp.h"
#include "gui/WidgetFile.h"
#include "gui/WidgetLayer.h"
#include "gui/widgets/Widgets.h"
#include "input/IOLoom.h"

namespace {

struct Setup
{
    SDL_Window* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::unique_ptr<TextureStore> mStore;
    std::unique_ptr<IOLoom> mIo;
    std::unique_ptr<GuiSystem> mGui;
    std::unique_ptr<CogFactory> mCogs;
    double mEmptyMs = 0;
    std::string mError;
};

template <typename T>
T* Add(Widget& parent, const char* type, float x, float y, float w, float h)
{
    std::unique_ptr<Widget> made = CreateWidget(type);
    T* widget = static_cast<T*>(made.get());
    widget->SetGuiPosition(x, y);
    widget->SetGuiSize(w, h);
    widget->Image().SetFile("Textures/White.bmp");
    parent.AddChild(std::move(made));
    return widget;
}

std::unique_ptr<Widget> MakeHud()
{
    auto root = std::make_unique<Widget>();
    for (int i = 0; i < 20; ++i)
    {
        auto* b = Add<Button>(*root, "Button", -0.98f + 0.098f * float(i), -0.6f, 0.09f, 0.1f);
        std::string text = "T";
        text += std::to_string(i);
        b->SetGuiText(text);
        b->SetColor(Color(0.3f, 0.3f, 0.3f, 1.0f));
    }
    for (int i = 0; i < 10; ++i)
    {
        auto* t = Add<TextBox>(*root, "TextBox", -0.98f, 0.7f - 0.06f * float(i), 0.5f, 0.05f);
        t->SetGuiText("Credits " + std::to_string(1000 * i));
        t->SetColor(Color(0.0f, 0.0f, 0.0f, 0.0f));
    }
    for (int i = 0; i < 10; ++i)
    {
        auto* bar =
            Add<ProgressBar>(*root, i < 5 ? "ProgressBar" : "HealthBar", -0.3f, 0.7f - 0.05f * float(i), 0.4f, 0.04f);
        bar->SetGuiFloat(0.1f * float(i));
    }
    for (int i = 0; i < 9; ++i)
        Add<ImageBox>(*root, "ImageBox", 0.2f + 0.08f * float(i), 0.7f, 0.07f, 0.07f);
    auto* map = Add<MapImageBox>(*root, "MapImageBox", 0.5f, -0.2f, 0.45f, 0.45f);
    map->SetIcons("Textures/White.bmp", 4, 0.01f);
    for (int i = 0; i < 200; ++i)
        map->AddIcon(i % 4, float(i % 20) / 20.0f + 0.02f, float(i / 20) / 10.0f + 0.02f);
    return root;
}

Setup& Get()
{
    static Setup* setup = [] {
        auto* s = new Setup();
        if (!OpenBenchSetup(*s, kBenchWidth, kBenchHeight, std::string(LOOM_TEST_DATA) + "/../../data/"))
            return s;
        s->mStore = std::make_unique<TextureStore>();
        s->mStore->SetFolder("Textures");
        ResourceContext::Set(s->mDevice.get(), s->mStore.get(), false);
        s->mIo.reset(IOLoom::Create());
        s->mIo->Init();
        s->mIo->SetScreenSize(kBenchWidth, kBenchHeight);
        RegisterGuiWidgetTypes();
        s->mGui = std::make_unique<GuiSystem>();
        s->mGui->SetLayer(WidgetLayer::Make());
        s->mGui->SetConfigFile("Config/GuiConfig.xml");
        s->mGui->Init(s->mDevice.get(), kBenchWidth, kBenchHeight);
        s->mGui->LoadFonts("Config/GuiConfig.xml");
        s->mCogs = std::make_unique<CogFactory>();
        auto type = std::make_shared<Composer>(*s->mCogs, "Hud", "Gui");
        type->AddComponent(WidgetComp::kTypeId, WidgetComp::Factory());
        s->mCogs->Types().RegisterType("Hud", type);
        Cog* cog = s->mCogs->Instantiate("Hud");
        cog->Initialize();
        cog->Get<WidgetComp>()->SetRoot(MakeHud());
        return s;
    }();
    return *setup;
}

void BM_EmptyFrame(benchmark::State& state) { RunEmptyReference(state, Get()); }
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));

void BM_HudFrame(benchmark::State& state)
{
    Setup& s = Get();
    if (!s.mDevice)
        return state.SkipWithError(s.mError.c_str());
    if (s.mEmptyMs == 0)
    {
        // Run alone: the reference is timed here, over a fixed number of frames.
        const auto emptyStart = std::chrono::steady_clock::now();
        for (int i = 0; i < 300; ++i)
        {
            s.mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
            s.mDevice->Present();
            FinishFrame();
        }
        s.mEmptyMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - emptyStart).count() / 300.0;
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        s.mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
        s.mGui->Update();
        s.mGui->Render();
        s.mDevice->Present();
        FinishFrame();
    }
    const double hudMs = MsPerIteration(state, start);
    state.counters["empty_ms"] = s.mEmptyMs;
    state.counters["hud_ms"] = hudMs;
    state.counters["ratio"] = s.mEmptyMs > 0 ? hudMs / s.mEmptyMs : 0.0;
    state.counters["draws"] = double(s.mGui->Painter().GetDrawCount());
}
BENCHMARK(BM_HudFrame)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(2.0));

} // namespace
