#include <gtest/gtest.h>

#include <algorithm>

#include "LOOM/script/ScriptManager.h"
#include "game/player/PlayerServices.h"
#include "game/player/SceneBinding.h"
#include "graphics/device/Image.h"
#include "tests/game/player/PlayerSim.h"

namespace {
// The shipped first level through its menus, on a screen whose pixels are read back.
struct WindowedLevel
{
    WindowedLevel()
    {
        SetSceneSeam(&scene);
        TestScreen{320, 240, false}.Apply();
        sim.Step();
        ScriptManager::Instance().RunScript("Scripts/GameMenu.lua");
        EXPECT_TRUE(RunLua("StartLevelOne()"));
        sim.Step(2);
        EXPECT_TRUE(RunLua("HUD.HideLevelVictoryWindow()"));
        // The log of the loading slides away over the HUD first.
        EXPECT_TRUE(sim.StepUntil(LoadingTextGone, 300));
    }
    ~WindowedLevel() { SetSceneSeam(nullptr); }
    WindowedLevel(const WindowedLevel&) = delete;
    WindowedLevel& operator=(const WindowedLevel&) = delete;
    Image Frame(int steps = 2)
    {
        sim.Step(steps);
        Image image;
        EXPECT_TRUE(GraphicsLoom::Instance()->GetDevice()->ReadBack(nullptr, image));
        return image;
    }
    // The brightest channel in a box of the screen given in parts of its width and height.
    static int Brightest(const Image& image, float x0, float y0, float x1, float y1)
    {
        int most = 0;
        for (auto y = uint32_t(y0 * float(image.mHeight)); y < uint32_t(y1 * float(image.mHeight)); ++y)
            for (auto x = uint32_t(x0 * float(image.mWidth)); x < uint32_t(x1 * float(image.mWidth)); ++x)
            {
                const uint32_t c = image.GetARGB(x, y);
                most = std::max({most, int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)});
            }
        return most;
    }

    PlayerWorld world;
    GameSim sim{GameDataFolder(), 7, &PlayerSim::AddLooms};
    SceneBinding scene;
};
} // namespace

// A window over the level covers the HUD whole: the counters' labels, which the window's panel
// overlaps, and their figures, which stand beside it, both go dim under it; the HUD shines again
// once the window closes.
TEST(LevelWindow, TheInGameMenuCoversTheWholeHud)
{
    WindowedLevel level;
    struct Area
    {
        const char* what;
        float x0, y0, x1, y1;
    };
    // The counters' plate at the top right: its labels left, under the panel's edge, and its
    // figures right of the panel; the trap bar along the bottom.
    const Area areas[] = {{"the time's label", 0.67f, 0.10f, 0.75f, 0.16f},
                          {"the time's figures", 0.88f, 0.10f, 0.98f, 0.16f},
                          {"the credits' figures", 0.88f, 0.01f, 0.98f, 0.06f},
                          {"the trap bar", 0.0f, 0.91f, 0.2f, 0.98f}};
    const Image open = level.Frame();
    ASSERT_TRUE(RunLua("OpenInGame()"));
    const Image menu = level.Frame(10);
    ASSERT_TRUE(RunLua("ResumeGame()"));
    const Image again = level.Frame(10);
    for (const Area& a : areas)
    {
        const int before = WindowedLevel::Brightest(open, a.x0, a.y0, a.x1, a.y1);
        const int under = WindowedLevel::Brightest(menu, a.x0, a.y0, a.x1, a.y1);
        EXPECT_GT(before, 150) << a.what;
        EXPECT_LT(under, before * 2 / 3) << a.what << " under the window";
        EXPECT_GE(WindowedLevel::Brightest(again, a.x0, a.y0, a.x1, a.y1), before - 30) << a.what << " after";
    }
}
