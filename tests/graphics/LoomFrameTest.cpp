#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/resource/ResourceContext.h"
#include "input/IOLoom.h"
#include "platform/PlatformWindow.h"
#include "tests/graphics/LoomWindowFixture.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tests/input/LogProbe.h"
#include "tests/platform/WindowFixture.h"

// The loom on the headless window with the repository's data folder and effect list.
class LoomFrame : public LoomWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow(RepoDataFolder()));
        ASSERT_NO_FATAL_FAILURE(StartLoom());
    }

    void TearDown() override { CloseWindow(); }

    uint32_t Pixel(int x, int y)
    {
        Image image;
        EXPECT_TRUE(mLoom->GetDevice()->ReadBack(nullptr, image));
        return image.IsEmpty() ? 0 : image.GetARGB(uint32_t(x), uint32_t(y));
    }
};

TEST_F(LoomFrame, AFrameIsGreyAndTheLibraryIsLoaded)
{
    EXPECT_EQ(mLoom->GetScreenWidth(), 800);
    EXPECT_NE(mLoom->GetShaderControl().GetShader("Basic"), nullptr);
    EXPECT_FALSE(mLoom->GetShaderControl().GetShader("Trans")->CastsShadow());
    EXPECT_NE(mLoom->Stores().GetDeclaration(7), nullptr);
    EXPECT_NE(mLoom->GetCommands()->Quads(), nullptr);
    mLoom->Update();
    EXPECT_EQ(Pixel(0, 0), 0xFF808080u);
    EXPECT_EQ(Pixel(799, 599), 0xFF808080u);
    EXPECT_EQ(mLoom->GetDevice()->Counters().mPresents, 1u);
}

TEST_F(LoomFrame, SimulatedLossPausesDrawingAndRecovers)
{
    // The loom pauses the engine's game clock; an engine of its own stands in for the program's.
    CoreEngine engine(nullptr, LoomFactories{});
    CoreEngine* oldEngine = gCoreEngine;
    gCoreEngine = &engine;
    struct Restore
    {
        CoreEngine* mOld;
        ~Restore() { gCoreEngine = mOld; }
    } restore{oldEngine};
    mLoom->Update();
    EXPECT_FALSE(engine.GetGameClock().IsPaused());
    GraphicsDevice* device = mLoom->GetDevice();
    device->Loss().Simulate(1);
    LogProbe log;
    mLoom->Update();
    EXPECT_TRUE(mLoom->Display().IsLost());
    EXPECT_TRUE(engine.GetGameClock().IsPaused());
    // While lost, neither a window letting go nor the Pause key starts it.
    engine.SetPause(false);
    engine.TogglePause();
    EXPECT_TRUE(engine.GetGameClock().IsPaused());
    const uint64_t clears = device->Counters().mClears;
    mLoom->Update(); // still lost: nothing drawn, no reset yet
    EXPECT_TRUE(mLoom->Display().IsLost());
    EXPECT_EQ(device->Counters().mClears, clears);
    mLoom->Update(); // not reset: the reset happens, still nothing drawn this frame
    EXPECT_FALSE(mLoom->Display().IsLost());
    EXPECT_EQ(device->Counters().mClears, clears);
    EXPECT_EQ(log.Count("Graphics Device Lost"), 1);
    EXPECT_EQ(log.Count("Graphics Device Reset"), 1);
    mLoom->Update();
    EXPECT_EQ(device->Counters().mClears, clears + 1);
    // Only the game resumes the clock: back, it stands as the player's pause, for the key.
    EXPECT_TRUE(engine.GetGameClock().IsPaused());
    EXPECT_TRUE(engine.IsPausedByPlayer());
    engine.TogglePause();
    EXPECT_FALSE(engine.GetGameClock().IsPaused());
    EXPECT_EQ(Pixel(5, 5), 0xFF808080u);
}

TEST_F(LoomFrame, ResolutionChangesAndARefusedOneRestoresTheOld)
{
    mLoom->Display().SetResolution(640, 480);
    EXPECT_EQ(mLoom->GetScreenWidth(), 640);
    EXPECT_EQ(mLoom->GetDevice()->GetWidth(), 640);
    LogProbe log;
    mLoom->Display().SetResolution(0, 0);
    EXPECT_EQ(log.Count("Resolution Change Failed"), 1);
    EXPECT_EQ(mLoom->GetScreenWidth(), 640);
    EXPECT_EQ(mLoom->GetScreenHeight(), 480);
    mLoom->Update();
    EXPECT_EQ(Pixel(639, 479), 0xFF808080u);
}

// Typed into the console as its help names it: a width and a height. A line that gives no size
// says why and changes nothing; one the device refuses falls back as above.
TEST_F(LoomFrame, SetResolutionTypedInTheConsole)
{
    mLoom->RegisterTypes();
    const struct
    {
        const char* line;
        int width, height;
        const char* said;
    } cases[] = {
        {"SetResolution 1024 768", 1024, 768, nullptr},
        {"SetResolution 640u 480u", 640, 480, nullptr},
        {"setresolution 800 600", 800, 600, nullptr},
        {"SetResolution 800 -600", 800, 600, "SetResolution: 800 x -600 is no size in pixels"},
        {"SetResolution 1024", 800, 600, "SetResolution: expected a width and a height in pixels"},
        {"SetResolution wide tall", 800, 600, "SetResolution: expected a width and a height in pixels"},
        {"SetResolution 1024.5 768", 800, 600, "SetResolution: expected a width and a height in pixels"},
        {"SetResolution 0 0", 800, 600, "Resolution Change Failed: a back buffer of 0 x 0 has no pixels"},
        // Larger than the display: clamped to it (0 x 0 here stands for the display's size).
        {"SetResolution 99999 99999", 0, 0, "SetResolution: 99999 x 99999 is larger than the display"},
        {"SetResolution 800 600", 800, 600, nullptr},
    };
    for (const auto& c : cases)
    {
        LogProbe log;
        Console::Instance().ExecuteLine(c.line);
        const int width = c.width > 0 ? c.width : gPlatformWindow->GetScreenWidth();
        const int height = c.height > 0 ? c.height : gPlatformWindow->GetScreenHeight();
        EXPECT_EQ(mLoom->GetScreenWidth(), width) << c.line;
        EXPECT_EQ(mLoom->GetScreenHeight(), height) << c.line;
        EXPECT_EQ(mLoom->GetDevice()->GetWidth(), width) << c.line;
        EXPECT_EQ(log.Count("Command Parameter Mismatch"), 0) << c.line;
        if (c.said)
        {
            EXPECT_EQ(log.Count(c.said), 1) << c.line;
        }
        else
        {
            EXPECT_EQ(log.Errors(), std::vector<std::string>{}) << c.line;
        }
    }
    mLoom->Update();
    EXPECT_EQ(Pixel(799, 599), 0xFF808080u);
}

TEST_F(LoomFrame, SettingsChangesAskTwoSamplesAndVSyncTogglesBack)
{
    DisplaySettings settings;
    mLoom->Display().GetDisplaySettings(settings);
    EXPECT_FALSE(settings.mAntiAliasing);
    settings.mAntiAliasing = true;
    settings.mShadows = false;
    mLoom->Display().ChangeSettings(settings);
    EXPECT_EQ(mLoom->GetDevice()->GetDesc().mSamples, 2);
    EXPECT_FALSE(mLoom->GetToggles().mShadows);
    mLoom->Display().GetDisplaySettings(settings);
    EXPECT_TRUE(settings.mAntiAliasing);
    const bool vsync = mLoom->GetDevice()->GetDesc().mVSync;
    mLoom->Display().VSync();
    EXPECT_NE(mLoom->GetDevice()->GetDesc().mVSync, vsync);
    mLoom->Display().VSync();
    EXPECT_EQ(mLoom->GetDevice()->GetDesc().mVSync, vsync);
    mLoom->Update();
    EXPECT_EQ(Pixel(1, 1), 0xFF808080u);
}

TEST_F(LoomFrame, WorldToScreenLiesOnThePickRay)
{
    GraphicsDevice* device = mLoom->GetDevice();
    Matrix4 view;
    view.FromYawPitchRoll(0.3f, 0.2f, 0.0f);
    view.Translate(Vector3(1.0f, -2.0f, 10.0f));
    device->SetTransform(TransformKind::View, view);
    device->SetTransform(TransformKind::Projection, Matrix4::PerspectiveFovLH(0.8f, 800.0f / 600.0f, 1.0f, 100.0f));
    for (const Vector3& point : {Vector3(0, 0, 0), Vector3(2, 1, -3), Vector3(-4, 2, 5)})
    {
        const Vector3 screen = mLoom->WorldToScreen(point);
        const Ray ray = mLoom->ScreenToWorldRay(screen.x, screen.y);
        const Vector3 to(point.x - ray.origin.x, point.y - ray.origin.y, point.z - ray.origin.z);
        const Vector3 d = ray.direction;
        const Vector3 cross(to.y * d.z - to.z * d.y, to.z * d.x - to.x * d.z, to.x * d.y - to.y * d.x);
        const float scale =
            std::sqrt(to.x * to.x + to.y * to.y + to.z * to.z) * std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        EXPECT_LT(std::sqrt(cross.x * cross.x + cross.y * cross.y + cross.z * cross.z) / scale, 1e-4f);
        EXPECT_GT(to.x * d.x + to.y * d.y + to.z * d.z, 0.0f);
    }
}

TEST_F(LoomFrame, ShutdownThenInitAgain)
{
    mLoom->Stores().Textures().Get("Textures/White.bmp")->Release();
    mLoom->Shutdown();
    EXPECT_EQ(mLoom->GetDevice(), nullptr);
    EXPECT_EQ(mLoom->GetShaderControl().GetShader("Basic"), nullptr);
    mLoom->Init();
    ASSERT_NE(mLoom->GetDevice(), nullptr);
    EXPECT_NE(mLoom->GetShaderControl().GetShader("Basic"), nullptr);
    Texture* white = mLoom->Stores().Textures().Get("Textures/White.bmp");
    EXPECT_NE(white->GetDeviceTexture(), nullptr);
    white->Release();
    mLoom->Update();
    EXPECT_EQ(Pixel(3, 3), 0xFF808080u);
}

TEST(GraphicsSettings, MultiSampleAndMissingFields)
{
    struct Case
    {
        uint32_t mValue;
        uint32_t mSamples;
    };
    for (Case c : {Case{0, 0}, Case{2, 2}, Case{3, 0}, Case{4, 4}, Case{8, 0}})
    {
        GraphicsSettings settings;
        settings.mMultiSample = c.mValue;
        EXPECT_EQ(settings.Samples(), c.mSamples) << c.mValue;
    }
    ScratchFolder scratch("settings");
    const std::string old = GetDataPath();
    SetDataPath(scratch.Path().string() + "/");
    {
        LogProbe log;
        const GraphicsSettings none = GraphicsSettings::Load("Graphics.xml", 1024, 768);
        EXPECT_EQ(log.Written(), 1u);
        EXPECT_FALSE(none.mFullscreen);
        EXPECT_TRUE(none.mVSync);
        EXPECT_EQ(none.mResolutionWidth, 1024u);
        EXPECT_EQ(none.mRefreshRate, 60u);
        EXPECT_EQ(none.Samples(), 0u);
        EXPECT_FALSE(none.mCompressTextures);
    }
    std::FILE* file = std::fopen((scratch.Path() / "Graphics.xml").string().c_str(), "wb");
    std::fputs(
        "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n<serializable>\n<bool name=\"Fullscreen\">false</bool>\n"
        "<bool name=\"VSync\">false</bool>\n<uint name=\"ResolutionWidth\">640</uint>\n"
        "<uint name=\"ResolutionHeight\">480</uint>\n</serializable>\n</Stream>\n",
        file);
    std::fclose(file);
    {
        LogProbe log;
        const GraphicsSettings some = GraphicsSettings::Load("Graphics.xml", 1024, 768);
        EXPECT_EQ(log.Count("lacks"), 1);
        EXPECT_EQ(log.Count("MultiSample"), 1);
        EXPECT_FALSE(some.mVSync);
        EXPECT_EQ(some.mResolutionWidth, 640u);
        EXPECT_EQ(some.mRefreshRate, 60u);
    }
    SetDataPath(old);
}

TEST_F(LoomFrame, RefusedSettingsChangeLogsAndKeepsTheOld)
{
    DisplaySettings settings;
    mLoom->Display().GetDisplaySettings(settings);
    settings.mScreenWidth = 0;
    LogProbe log;
    mLoom->Display().ChangeSettings(settings);
    EXPECT_EQ(log.Count("Setting Change Failed"), 1);
    EXPECT_EQ(mLoom->GetScreenWidth(), 800);
    EXPECT_EQ(mLoom->GetDevice()->GetWidth(), 800);
    mLoom->Update();
    EXPECT_EQ(Pixel(799, 1), 0xFF808080u);
}

TEST_F(LoomFrame, ScriptMouseIsInClipSpace)
{
    mLoom->RegisterTypes();
    std::unique_ptr<IOLoom> io(IOLoom::Create());
    io->Init();
    mLoom->Update(); // the stand-in GUI reads the input loom's mouse (0, 0): the top-left corner
    EXPECT_NE(Console::Instance().FindCommand("GetMouseX"), nullptr);
    EXPECT_NE(Console::Instance().FindCommand("GetMouseY"), nullptr);
    EXPECT_NE(Console::Instance().FindCommand("SetResolution"), nullptr);
    ASSERT_TRUE(mLoom->GetGui()->HasMouse());
    float x = 0.0f, y = 0.0f;
    mLoom->GetGui()->ScreenToClip(mLoom->GetGui()->GetMouseX(), mLoom->GetGui()->GetMouseY(), x, y);
    EXPECT_FLOAT_EQ(x, -1.0f);
    EXPECT_FLOAT_EQ(y, 1.0f);
    mLoom->GetGui()->ScreenToClip(400.0f, 150.0f, x, y);
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_FLOAT_EQ(y, 0.5f);
    // The commands leave with the loom that answers them.
    mLoom.reset();
    EXPECT_EQ(Console::Instance().FindCommand("SetResolution"), nullptr);
}

TEST_F(LoomFrame, RenderTargetTextureOutsideTheStore)
{
    ResourceContext::Scope scope(mLoom->GetDevice(), &mLoom->Stores().Textures(), false);
    Ref<Texture> target = Texture::CreateRenderTarget(32, 16);
    ASSERT_NE(target->GetDeviceTexture(), nullptr);
    EXPECT_TRUE(target->GetDeviceTexture()->GetDesc().mRenderTarget);
    EXPECT_EQ(target->GetMemorySize(), 4u * 32 * 16);
    Ref<Texture> argb = Texture::CreateFromFileArgb("Textures/CheckerAlpha.dds");
    ASSERT_NE(argb->GetDeviceTexture(), nullptr);
    EXPECT_EQ(argb->GetDeviceTexture()->GetDesc().mFormat, TextureFormat::RGBA8);
}
