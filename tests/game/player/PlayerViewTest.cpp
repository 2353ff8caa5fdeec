#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/script/ScriptManager.h"
#include "game/invaders/InvaderActions.h"
#include "game/player/PlayerServices.h"
#include "game/player/SceneBinding.h"
#include "graphics/camera/Camera.h"
#include "graphics/device/Image.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/particles/BeamRenderer.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/scenery/Terrain.h"
#include "graphics/terrain/HeightMap.h"
#include "physics/PhysicsComp.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/game/player/PlayerSim.h"

namespace {
// The first level as the menus start it: the real data folder, its ground, start camera, claw
// and HUD, drawn by the graphics loom on the offscreen window through the program's binding.
struct LevelView : BoundGame
{
    explicit LevelView(const TestScreen& screen, const char* script = "L1.lua", const char* camera = "LevelCamera")
    {
        screen.Apply();
        // The input loom takes the new size in the next frame.
        mSim.Step();
        mSim.Run(std::string("LogicCreateLevel Scripts\\Levels\\") + script);
        if (!HeightMap::Current())
            mSim.Cogs().Create("LevelGround");
        mCamera = mSim.Cogs().Create(camera);
        mCursor = mSim.Cogs().Create("Cursor");
        mHud = CreateAt(mSim.Cogs(), "HUD", Vector3());
        EXPECT_NE(mCamera, nullptr);
        EXPECT_NE(mCursor, nullptr);
        EXPECT_NE(mHud, nullptr);
        if (mHud)
        {
            mHud->CallFunctionByName("EnterLevel");
            // The player has read the goal and pressed Start.
            mHud->CallFunctionByName("HideLevelVictoryWindow");
        }
        mSim.Run("SetCursorActive true");
        mSim.Run("SetPause false");
        // The mouse rests mid-screen, off the edges that scroll the view.
        IOLoom::Instance()->HandleEvent(InputEvents::Motion(Width() / 2, Height() / 2));
        EXPECT_TRUE(mSim.StepUntil(LoadingTextGone, 120));
    }

    int Width() const { return IOLoom::Instance()->GetScreenWidth(); }
    int Height() const { return IOLoom::Instance()->GetScreenHeight(); }
    Positional& CameraPlace() { return *PosOf(mCamera); }
    GameCamera& View() { return *mCamera->Get<GameCamera>(); }

    // The pixel over a world point in this frame's view.
    static Vector3 Screen(const Vector3& point)
    {
        const Camera* camera = GraphicsLoom::Instance()->GetActiveCamera();
        Matrix4 viewProjection;
        camera->GetView().Multiply(camera->GetProjection(), viewProjection);
        const Vector3 p = viewProjection.TransformCoord(point);
        const auto* io = IOLoom::Instance();
        return Vector3((p.x + 1.0f) * 0.5f * float(io->GetScreenWidth()),
                       (1.0f - p.y) * 0.5f * float(io->GetScreenHeight()), p.z);
    }
    // Pixels inside the rectangle for which the test holds.
    template <typename Test>
    static int Count(const Image& image, const Rect& r, Test test)
    {
        int n = 0;
        for (int32_t y = std::max(r.mTop, 0); y < std::min(r.mBottom, int32_t(image.mHeight)); ++y)
            for (int32_t x = std::max(r.mLeft, 0); x < std::min(r.mRight, int32_t(image.mWidth)); ++x)
                n += test(image.GetARGB(uint32_t(x), uint32_t(y))) ? 1 : 0;
        return n;
    }
    static int Red(uint32_t argb) { return int((argb >> 16) & 0xFF); }
    static int Green(uint32_t argb) { return int((argb >> 8) & 0xFF); }
    static int Blue(uint32_t argb) { return int(argb & 0xFF); }

    Cog* mCamera = nullptr;
    Cog* mCursor = nullptr;
    Cog* mHud = nullptr;
};
} // namespace

TEST(PlayerView, TheTowerBannerIsDrawnInItsColourAndGoesAfterItsTime)
{
    LevelView level(LevelView::kReadScreen);
    Cog* tower = level.mSim.Cogs().FindCogByName("Tower");
    ASSERT_NE(tower, nullptr);
    auto* banner = static_cast<PopupText*>(level.mHud->Get<WidgetComp>()->Find("LargeTextPopup"));
    ASSERT_NE(banner, nullptr);
    const Rect box = GraphicsLoom::Instance()->GetGui()->AsGuiSystem()->Units().BoxToPixels(banner->GetBox());
    ASSERT_GT(box.mRight - box.mLeft, 0);
    const auto red = [](uint32_t argb) {
        return LevelView::Red(argb) > 170 && LevelView::Green(argb) < 70 && LevelView::Blue(argb) < 70;
    };
    const int before = LevelView::Count(level.Frame(), box, red);

    // The tower raises its banner at most every ten seconds of game time: past them first.
    level.mSim.SetStep(0.25);
    level.mSim.Step(44);
    level.mSim.SetStep(GameSim::kStep);
    SendDamage(*tower, DamageInfo{0, -1.0f, 6});
    EXPECT_EQ(banner->QueryText(), "Tower Under Attack!");
    // It fades in over 0.1 s and holds for 1 s: half a second on, it shows in red.
    const int shown = LevelView::Count(level.Frame(30), box, red);
    EXPECT_GT(shown, before + 9) << "red text over the field";
    // Gone after its fade-out of a quarter second.
    const int after = LevelView::Count(level.Frame(60), box, red);
    EXPECT_LT(after, before + 2);
    EXPECT_EQ(banner->Alpha(), 0.0f);
}

TEST(PlayerView, TheGroundOrTheSkyDrawsEveryPixel)
{
    LevelView level(LevelView::kReadScreen);
    level.View().SetEnableCamera(false);
    // The start view: the ground fills it, so the frame is not cleared first and the ground must
    // draw over all of the last one. Magenta left behind would show a pixel it missed.
    level.Frame();
    const Camera* camera = GraphicsLoom::Instance()->GetActiveCamera();
    ASSERT_NE(camera, nullptr);
    ASSERT_TRUE(GraphicsLoom::Instance()->GetScene()->mTerrain->FillsView(camera->GetView() * camera->GetProjection()));
    GraphicsLoom::Instance()->GetDevice()->Clear(ClearTarget, 0xFFFF00FF, 1.0f, 0);
    const Image start = level.Frame();
    const Rect whole{0, 0, int32_t(start.mWidth), int32_t(start.mHeight)};
    EXPECT_EQ(LevelView::Count(start, whole, [](uint32_t argb) { return (argb & 0xFFFFFF) == 0xFF00FF; }), 0);

    // At the north edge looking out: most of the view is beyond the map.
    const Vector3 at = level.CameraPlace().GetPosition();
    level.CameraPlace().SetPosition(Vector3(at.x, 60.0f, 6.0f));
    const Image frame = level.Frame(3);
    const Rect all{0, 0, int32_t(frame.mWidth), int32_t(frame.mHeight)};
    // The device's clear colour is a mid grey: none of it may show.
    const int grey = LevelView::Count(frame, all, [](uint32_t argb) {
        return std::abs(LevelView::Red(argb) - 0x80) < 3 && std::abs(LevelView::Green(argb) - 0x80) < 3 &&
            std::abs(LevelView::Blue(argb) - 0x80) < 3;
    });
    EXPECT_LT(grey, int(frame.mWidth * frame.mHeight / 200));
    // Sky colour (blue above red) in the middle of the screen, where no ground is.
    const Rect middle{int32_t(frame.mWidth / 4), int32_t(frame.mHeight * 2 / 5), int32_t(frame.mWidth * 3 / 4),
                      int32_t(frame.mHeight * 3 / 5)};
    const int sky = LevelView::Count(frame, middle,
                                     [](uint32_t argb) { return LevelView::Blue(argb) > LevelView::Red(argb) + 20; });
    EXPECT_GT(sky, (middle.mRight - middle.mLeft) * (middle.mBottom - middle.mTop) * 9 / 10);
}

TEST(PlayerView, WheelNotchesZoomInEvenStepsOverTheWholeRange)
{
    LevelView level(kNoPixelScreen);
    GameCamera& view = level.View();
    Positional& place = level.CameraPlace();
    view.EnableCamera(false, false, true);
    place.SetPosition(Vector3(256.0f, view.maxZoom, 500.0f));
    place.SetVelocity(Vector3());
    level.mSim.Step(5);
    // One notch at a time, each left to settle.
    std::vector<float> heights{place.GetPosition().y};
    level.mSim.SetStep(0.1);
    for (int notch = 0; notch < 30 && heights.back() > view.minZoom + 0.01f; ++notch)
    {
        IOLoom::Instance()->HandleEvent(InputEvents::Wheel(1.0f));
        level.mSim.Step(10);
        heights.push_back(place.GetPosition().y);
    }
    ASSERT_NEAR(heights.back(), view.minZoom, 0.01f);
    EXPECT_GE(heights.size() - 1, 10u) << "notches from the overview to the close-up";
    EXPECT_LE(heights.size() - 1, 16u);
    // Each step takes the same share of the height.
    const float ratio = heights[1] / heights[0];
    EXPECT_LT(ratio, 0.95f);
    for (size_t i = 1; i + 1 < heights.size(); ++i)
        EXPECT_NEAR(heights[i + 1] / heights[i], ratio, 0.01f) << "notch " << i;
    // And back out, the same steps.
    IOLoom::Instance()->HandleEvent(InputEvents::Wheel(-1.0f));
    level.mSim.Step(10);
    EXPECT_NEAR(place.GetPosition().y / view.minZoom, 1.0f / ratio, 0.01f);
}

TEST(PlayerView, TheStartViewsLookFromTheTowerToTheGapWithInvadersAndClawReadable)
{
    struct Case
    {
        const char* script;
        const char* camera;
        Vector3 gap; // the last gap in the walls before the tower
    };
    for (const Case& c :
         {Case{"L1.lua", "LevelCamera", Vector3(258, 2, 322)}, Case{"L2.lua", "LevelCameraWest", Vector3(296, 2, 336)}})
    {
        LevelView level(kNoPixelScreen, c.script, c.camera);
        level.View().SetEnableCamera(false);
        level.mSim.Step(2);
        Cog* tower = level.mSim.Cogs().FindCogByName("Tower");
        ASSERT_NE(tower, nullptr) << c.script;
        const Vector3 middle = (PosOf(tower)->GetPosition() + c.gap) * 0.5f;
        for (const Vector3& p : {c.gap, middle})
        {
            const Vector3 s = LevelView::Screen(p);
            EXPECT_GT(s.x, 0.0f) << c.script;
            EXPECT_LT(s.x, float(level.Width())) << c.script;
            EXPECT_GT(s.y, 0.0f) << c.script;
            EXPECT_LT(s.y, float(level.Height())) << c.script;
        }
        // An invader on the way and the claw over it stand tall enough to read at 800 x 600.
        Cog* grunt = CreateAt(level.mSim.Cogs(), "grunt", middle);
        ASSERT_NE(grunt, nullptr);
        level.mSim.Step(2);
        const auto tall = [&](Cog* cog) {
            const Positional& p = *PosOf(cog);
            const float radius = p.GetRadius();
            const Vector3 foot = LevelView::Screen(p.GetPosition() - Vector3(0, radius, 0));
            const Vector3 head = LevelView::Screen(p.GetPosition() + Vector3(0, radius, 0));
            return std::fabs(foot.y - head.y) * 600.0f / float(level.Height());
        };
        EXPECT_GE(tall(grunt), 18.0f) << c.script << ": invader pixels";
        PosOf(level.mCursor)->SetPosition(middle + Vector3(0, 15, 0));
        EXPECT_GE(tall(level.mCursor), 18.0f) << c.script << ": claw pixels";
    }
}

TEST(PlayerView, ATrapButtonShowsItsNameAndPriceOnHoverWithinTheScreen)
{
    // The tip is read at the game's starting size; the loading text slides away on a small
    // screen first, far cheaper than at full size.
    LevelView level(kNoPixelScreen);
    level.View().SetEnableCamera(false);
    TestScreen{800, 600}.Apply();
    level.mSim.Step();
    Widget* bar = level.mHud->Get<WidgetComp>()->Find("TrapDropToolBar2");
    ASSERT_NE(bar, nullptr);
    ASSERT_FALSE(bar->Children().empty());
    GuiSystem& gui = *GraphicsLoom::Instance()->GetGui()->AsGuiSystem();
    const Rect button = gui.Units().BoxToPixels(bar->Children()[0]->GetBox());
    // The rows above the bar, where a tip that does not fit under the pointer goes.
    const Rect above{0, button.mTop - 90, level.Width() / 2, button.mTop};
    const auto tipText = [](uint32_t argb) {
        return LevelView::Red(argb) > 200 && LevelView::Green(argb) > 200 && LevelView::Blue(argb) > 150;
    };
    const auto card = [](uint32_t argb) {
        return LevelView::Red(argb) < 50 && LevelView::Green(argb) < 50 && LevelView::Blue(argb) < 70;
    };
    const Image plain = level.Frame(2);
    IOLoom::Instance()->HandleEvent(
        InputEvents::Motion((button.mLeft + button.mRight) / 2, (button.mTop + button.mBottom) / 2));
    level.mSim.Step(2);
    EXPECT_EQ(gui.GetLayer()->GetDescription().rfind("spikes\nCost: ", 0), 0u);
    // Every button's tip names its trap in words.
    std::vector<std::string> named;
    for (const auto& child : bar->Children())
    {
        const std::string text = child->GetDescription(child->GetName());
        named.push_back(text.substr(0, text.find('\n')));
    }
    EXPECT_EQ(
        named,
        (std::vector<std::string>{"spikes", "hammer", "spring", "poison", "fan", "wall", "axe", "pit", "satellite",
                                  "missile", "zapper", "laser turret", "light bulb", "flame", "vortex", "mist"}));
    const Image tip = level.Frame(2);
    // A dark card with light text over the field, above the bar since it does not fit under the pointer.
    EXPECT_GT(LevelView::Count(tip, above, card), LevelView::Count(plain, above, card) + 3000);
    EXPECT_GT(LevelView::Count(tip, above, tipText), LevelView::Count(plain, above, tipText) + 30);
}

// The HUD's labels are drawn at the font's screen scale in boxes sized in screen units: each
// must keep to one line at both starting sizes, or its last word drops below the box.
TEST(PlayerView, TheHudLabelsKeepToOneLineAtBothStartingSizes)
{
    LevelView level(kNoPixelScreen);
    level.View().SetEnableCamera(false);
    GuiSystem& gui = *GraphicsLoom::Instance()->GetGui()->AsGuiSystem();
    for (const TestScreen& screen : {TestScreen{800, 600, false}, TestScreen{1024, 768, false}})
    {
        screen.Apply();
        level.mSim.Step();
        ASSERT_NE(gui.Fonts().GetFont(0), nullptr);
        const BitmapFont& font = *gui.Fonts().GetFont(0);
        for (const char* name : {"TrapListLabel", "CreditsNumLabel", "KillsNumLabel", "TimeNumLabel"})
        {
            Widget* label = level.mHud->Get<WidgetComp>()->Find(name);
            ASSERT_NE(label, nullptr) << name;
            const Rect box = gui.Units().BoxToPixels(label->GetBox());
            EXPECT_LE(font.GetLineWidth(label->QueryText().c_str(), font.GetTextScale(), 0),
                      float(box.mRight - box.mLeft))
                << name << " at " << screen.mWidth << "x" << screen.mHeight;
        }
    }
}

// Two engines one after another in one process, each playing the first level on its own copy
// of the game's data through the program's scene binding: the second starts from its own
// folder and keeps nothing of the first's cogs, types, cached archetypes, camera controls,
// logged requests or beams.
TEST(PlayerView, ASecondEngineInTheProcessKeepsNothingOfTheFirst)
{
    const auto ballMass = [](LevelView& level, const char* name) {
        Cog* ball = level.mSim.Cogs().Allocate("PhysicsBall");
        if (!ball)
            return -1.0f;
        ball->SetName(name);
        ball->Initialize();
        return ball->Get<PhysicsComp>() ? ball->Get<PhysicsComp>()->GetMass() : -1.0f;
    };
    // A mouse move with the view's turn on carries the camera round the point it looks at.
    const auto turnsOnAMove = [](LevelView& level, int x) {
        IOLoom::Instance()->HandleEvent(InputEvents::Motion(x, level.Height() / 2));
        level.mSim.Step();
        const Vector3 before = level.CameraPlace().GetPosition();
        ParamBuffer params;
        level.mSim.Cogs().Types().FindFunction("GameCameraRotate")->Invoke(level.mCamera, params);
        return (level.CameraPlace().GetPosition() - before).Length() > 0.01f;
    };
    const auto beams = [] {
        BeamRenderer* renderer = ParticleFrame::GetBeamRenderer();
        return renderer ? renderer->GetBeamCount() : 0u;
    };
    const auto unservedOnce = [](LevelView& level) {
        LogCapture log;
        for (int i = 0; i < 2; ++i)
            SceneModels().SetModelFile(*level.mHud, "Models/None.lmf");
        return log.Count("Scene: SetModelFile: cog") == 1;
    };
    {
        LevelView first(kNoPixelScreen);
        first.View().SetEnableCamera(false);
        std::filesystem::copy_file(PlayerData() + "/Compositions/HUD.xml", first.mSim.Path("StandIn.xml"));
        first.mSim.Run("Composer StandIn.xml");
        ASSERT_NE(first.mSim.Cogs().Types().FindType("StandInHUD"), nullptr);
        first.mSim.Cogs().Files().SetCacheArchetypes(true);
        EXPECT_EQ(ballMass(first, "FirstRunBall"), 1.0f);
        ASSERT_NE(first.mSim.Cogs().FindCogByName("FirstRunBall"), nullptr);
        // The right button goes down and stays down to the end of the run.
        IOLoom::Instance()->HandleEvent(
            InputEvents::Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, first.Width() / 2, first.Height() / 2));
        first.mSim.Step();
        ParamBuffer params;
        first.mSim.Cogs().Types().FindFunction("GameCameraRotate")->Invoke(first.mCamera, params);
        EXPECT_TRUE(turnsOnAMove(first, first.Width() / 2 + 40));
        EXPECT_TRUE(unservedOnce(first));
        EffectSeam::Beam beam;
        beam.from = Vector3(250, 5, 250);
        beam.to = Vector3(260, 5, 260);
        beam.lifetime = 60.0f;
        SceneEffects().AddBeam(beam);
        first.mSim.Step(10);
        EXPECT_EQ(beams(), 1u);
    }
    LevelView second(kNoPixelScreen);
    second.View().SetEnableCamera(false);
    EXPECT_EQ(second.mSim.Cogs().FindCogByName("FirstRunBall"), nullptr);
    EXPECT_EQ(second.mSim.Cogs().Types().FindType("StandInHUD"), nullptr);
    const std::string ballFile = second.mSim.Path("Data/PhysicsBall.xml");
    std::string text = TempDir::Read(ballFile);
    const std::string mass = "<real name=\"Mass\">1</real>";
    ASSERT_NE(text.find(mass), std::string::npos);
    text.replace(text.find(mass), mass.size(), "<real name=\"Mass\">3</real>");
    std::ofstream(ballFile, std::ios::binary | std::ios::trunc) << text;
    EXPECT_EQ(ballMass(second, "SecondRunBall"), 3.0f) << "this run's own archetype file";
    EXPECT_FALSE(turnsOnAMove(second, second.Width() / 2 + 40)) << "no button is down in this run";
    EXPECT_TRUE(unservedOnce(second));
    EXPECT_EQ(beams(), 0u);
}
