#include <gtest/gtest.h>

#include <cmath>
#include <lua.hpp>
#include <memory>

#include "LOOM/script/ScriptManager.h"
#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/TrapDrop.h"
#include "game/player/PlayerServices.h"
#include "game/player/SceneBinding.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/terrain/HeightMap.h"
#include "tests/game/player/PlayerSim.h"

namespace {
// The shipped game as the program starts it, with its menus and scene binding: first level in
// play, goal read. No test here reads a pixel.
struct ShippedLevel
{
    ShippedLevel()
    {
        SetSceneSeam(&scene);
        kNoPixelScreen.Apply();
        // The input loom takes the new size in the next frame.
        sim.Step();
        ScriptManager::Instance().RunScript("Scripts/GameMenu.lua");
        // The pointer rests mid-window: on an edge it would scroll the view.
        Io().HandleEvent(InputEvents::Motion(Io().GetScreenWidth() / 2, Io().GetScreenHeight() / 2));
        sim.Step();
        EXPECT_TRUE(RunLua("StartLevelOne()"));
        sim.Step(2);
        EXPECT_TRUE(RunLua("HUD.HideLevelVictoryWindow()"));
        sim.Step(2);
    }
    ~ShippedLevel() { SetSceneSeam(nullptr); }
    ShippedLevel(const ShippedLevel&) = delete;
    ShippedLevel& operator=(const ShippedLevel&) = delete;
    IOLoom& Io() { return *IOLoom::Instance(); }
    // A click in the middle of the window, on the field before the tower, or right of it by a
    // share of the window's width.
    void Click(Uint8 button = SDL_BUTTON_LEFT, float dx = 0.0f)
    {
        const int x = Io().GetScreenWidth() / 2 + static_cast<int>(dx * static_cast<float>(Io().GetScreenWidth()));
        ClickAt(x, Io().GetScreenHeight() / 2, button);
    }
    void ClickAt(int x, int y, Uint8 button = SDL_BUTTON_LEFT)
    {
        Io().HandleEvent(InputEvents::Motion(x, y));
        sim.Step(2);
        Io().HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONDOWN, button, x, y));
        sim.Step();
        Io().HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONUP, button, x, y));
        sim.Step(2);
    }
    PopupText* Said()
    {
        Cog* hud = sim.Cogs().FindCogByName("HUD");
        WidgetComp* widgets = hud ? hud->Get<WidgetComp>() : nullptr;
        return widgets ? static_cast<PopupText*>(widgets->Find("SmallTextPopup")) : nullptr;
    }
    bool Shown(const char* window)
    {
        Cog* menu = sim.Cogs().FindCogByName("MainMenu");
        WidgetComp* widgets = menu ? menu->Get<WidgetComp>() : nullptr;
        Widget* w = widgets ? widgets->Find(window) : nullptr;
        return w && w->IsActive();
    }

    PlayerWorld world;
    GameSim sim{GameDataFolder(), 7, &PlayerSim::AddLooms};
    // The program's own scene binding, as its entry installs it.
    SceneBinding scene;
};
} // namespace

// Ending the level, by the console or otherwise, takes the chosen trap away with its preview,
// opens the game-over window, takes the labels off the claw and the traps, and no click or
// command buys a trap afterwards.
TEST(ShippedPlay, TheEndLeavesNothingToDropAndOpensTheGameOverWindow)
{
    const std::pair<const char*, int32_t> ends[] = {{"Win", StateWon}, {"Lose", StateLost}};
    for (const auto& [command, state] : ends)
    {
        ShippedLevel level;
        DataController& data = level.sim.Data();
        ASSERT_EQ(data.mGameState, StateInLevel) << command;
        CursorComp* cursor = FindCursor();
        ASSERT_NE(cursor, nullptr);

        // The same click buys while the level is on.
        ASSERT_TRUE(RunLua("HUD.TrapSelect(\"spikes\")"));
        level.sim.Step();
        level.Click();
        ASSERT_EQ(data.mTraps.size(), 1u) << command << ": the click on the field drops the spikes";
        ASSERT_TRUE(cursor->IsTrapDropMode());
        const uint32_t preview = data.mDropPreview.PreviewCog()->GetID();

        // A hammer beside them shows its uses, and a kill floats its credits over the claw.
        ASSERT_TRUE(RunLua("HUD.TrapSelect(\"hammer\")"));
        level.sim.Step();
        level.Click(SDL_BUTTON_LEFT, 0.2f);
        ASSERT_EQ(data.mTraps.size(), 2u) << command << ": the hammer dropped";
        Cog* hammer = data.mTraps.Items().back()->GetOwner();
        Cog* grunt = CreateAt(level.sim.Cogs(), "grunt", PosOf(hammer)->GetPosition() + Vector3(0, 1, 0));
        ASSERT_NE(grunt, nullptr);
        const int32_t kills = data.mKills;
        grunt->Get<Kestrane>()->Damage(DamageInfo{static_cast<int32_t>(hammer->GetID()), -1.0e7f, KillTrap});
        const HudDisplay& claw = *level.sim.Cogs().FindCogByName("Cursor")->Get<HudDisplay>();
        const HudDisplay& uses = *hammer->Get<HudDisplay>();
        ASSERT_TRUE(level.sim.StepUntil([&] { return data.mKills > kills && claw.mShowNumber; }, 60)) << command;
        EXPECT_EQ(claw.Text.rfind('$', 0), 0u) << command << ": " << claw.Text;
        ASSERT_TRUE(uses.mShowNumber) << command << ": the hammer's uses";
        const int32_t used = data.mStats.pointsUsed;
        const int32_t points = data.GetPoints();

        level.sim.Run(command);
        level.sim.Step(2);
        EXPECT_EQ(data.mGameState, state) << command;
        EXPECT_TRUE(level.Shown("GameOverWindow")) << command;
        EXPECT_FALSE(cursor->IsTrapDropMode()) << command;
        EXPECT_EQ(level.sim.Cogs().GetCog(preview), nullptr) << command << ": the preview cog is gone";
        // Labels end with the level: none stands frozen behind the game-over window.
        for (int frame = 0; frame < 60; ++frame)
        {
            ASSERT_FALSE(claw.mShowNumber) << command << ": the claw's label, frame " << frame;
            ASSERT_FALSE(uses.mShowNumber) << command << ": the hammer's label, frame " << frame;
            level.sim.Step();
        }

        level.Click();
        ASSERT_TRUE(RunLua("HUD.TrapSelect(\"spikes\")"));
        level.sim.Step();
        level.Click();
        EXPECT_FALSE(cursor->IsTrapDropMode()) << command;
        EXPECT_EQ(data.mDropPreview.PreviewCog(), nullptr) << command;
        EXPECT_FALSE(AttemptTrapDrop("spikes", Vector3(100.0f, 0.0f, 100.0f), Vector3(1.0f, 0.0f, 0.0f))) << command;
        EXPECT_EQ(data.mTraps.size(), 2u) << command;
        EXPECT_EQ(data.mStats.pointsUsed, used) << command;
        EXPECT_EQ(data.GetPoints(), points) << command;
    }
}

// With a trap in hand, a click on a HUD control is the control's: nothing is bought under it.
TEST(ShippedPlay, AClickOnTheHudDropsNothingUnderIt)
{
    ShippedLevel level;
    DataController& data = level.sim.Data();
    ASSERT_TRUE(RunLua("HUD.TrapSelect(\"spikes\")"));
    level.sim.Step();
    level.Click();
    ASSERT_EQ(data.mTraps.size(), 1u) << "the click on the field drops the spikes";
    const int32_t points = data.GetPoints();
    Cog* hud = level.sim.Cogs().FindCogByName("HUD");
    ASSERT_NE(hud, nullptr);
    for (const char* control : {"ZoomToTowerButton", "MiniMapImageBox"})
    {
        Widget* widget = hud->Get<WidgetComp>()->Find(control);
        ASSERT_NE(widget, nullptr) << control;
        const Rect r = PlayerGui()->Units().BoxToPixels(widget->GetBox());
        level.ClickAt((r.mLeft + r.mRight) / 2, (r.mTop + r.mBottom) / 2);
        EXPECT_EQ(data.mTraps.size(), 1u) << control;
        EXPECT_EQ(data.GetPoints(), points) << control;
        EXPECT_TRUE(FindCursor()->IsTrapDropMode()) << control << ": the spikes stay in hand";
    }
}

// With the console open no key is the game's: not right after opening it, not after a command.
// Closed again, the same key moves the view.
TEST(ShippedPlay, KeysTypedWithTheConsoleOpenMoveNothing)
{
    ShippedLevel level;
    Console& console = Console::Instance();
    Positional* camera = PosOf(level.sim.Cogs().FindCogByName("Camera"));
    ASSERT_NE(camera, nullptr);
    CursorComp* cursor = FindCursor();
    ASSERT_NE(cursor, nullptr);
    auto hold = [&](SDL_Scancode key, char typed) {
        level.Io().HandleEvent(InputEvents::Key(SDL_KEYDOWN, key));
        // The window passes the typed character to the console as well.
        console.OnKey(typed);
        level.sim.Step(30);
        level.Io().HandleEvent(InputEvents::Key(SDL_KEYUP, key));
        level.sim.Step(5);
    };
    auto typeLine = [&](const std::string& line) {
        for (char c : line)
            console.OnKey(c);
        console.OnKey(Console::KeyEnter);
    };

    console.OnKey(Console::KeyBackquote);
    // A failed check must not leave the console open for the tests after this one.
    const std::unique_ptr<Console, void (*)(Console*)> close(&console, [](Console* c) {
        if (c->GetShowConsole())
            c->OnKey(Console::KeyBackquote);
    });
    ASSERT_TRUE(console.GetShowConsole());
    const Vector3 start = camera->GetPosition();
    for (int round = 0; round < 2; ++round)
    {
        hold(SDL_SCANCODE_W, 'w');
        hold(SDL_SCANCODE_1, '1');
        EXPECT_LT((camera->GetPosition() - start).Length(), 0.01f) << "round " << round;
        EXPECT_FALSE(cursor->IsTrapDropMode()) << "round " << round;
        // What was typed went into the line; a command clears it and the line stays open.
        EXPECT_EQ(console.InputLine().Text(), "w1") << "round " << round;
        console.OnKey(Console::KeyBackspace);
        console.OnKey(Console::KeyBackspace);
        typeLine("Mes typed");
        EXPECT_EQ(console.GetEntries().FromNewest(0).mText, "typed");
        EXPECT_TRUE(console.GetInputActive());
    }
    console.OnKey(Console::KeyBackquote);
    ASSERT_FALSE(console.TakesKeys());
    hold(SDL_SCANCODE_W, 'w');
    EXPECT_GT((camera->GetPosition() - start).Length(), 1.0f) << "closed, the console gives the keys back";
}

// What nothing else on screen tells: a fan waits for a second click that gives its way, and a
// grab is the button held over an invader.
TEST(ShippedPlay, TheHudSaysHowToAimAFanAndHowToGrab)
{
    ShippedLevel level;
    DataController& data = level.sim.Data();
    PopupText* said = level.Said();
    ASSERT_NE(said, nullptr);
    ASSERT_TRUE(RunLua("HUD.TrapSelect(\"fan\")"));
    level.sim.Step();
    level.Click();
    EXPECT_TRUE(data.mTraps.empty()) << "the first click only places it";
    EXPECT_EQ(said->QueryText(), "Now click the way the fan should face");
    EXPECT_GT(said->Alpha(), 0.0f);
    level.Click(SDL_BUTTON_LEFT, 0.1f);
    EXPECT_EQ(data.mTraps.size(), 1u) << "the second click sets it down facing the pointer";
    level.Click(SDL_BUTTON_RIGHT, 0.1f);
    ASSERT_FALSE(FindCursor()->IsTrapDropMode());

    // An invader standing under the claw.
    level.sim.Step(120);
    const Vector3 claw = PosOf(level.sim.Cogs().FindCogByName("Cursor"))->GetPosition();
    Cog* grunt = CreateAt(level.sim.Cogs(), "grunt", Vector3(claw.x, GroundHeight(claw.x, claw.z) + 1.0f, claw.z));
    ASSERT_NE(grunt, nullptr);
    grunt->Get<Kestrane>()->SetPathing("NoPathing");
    EXPECT_TRUE(
        level.sim.StepUntil([&] { return said->QueryText() == "Hold the left button to grab the invader"; }, 30));
    level.sim.Step(2);
    EXPECT_GT(said->Alpha(), 0.0f);
}

// Held keys and mini-map jumps leave the middle of the view on the field, and the Tower button
// brings the tower to the middle of the screen, clear of the trap bar along the bottom.
TEST(ShippedPlay, TheViewStaysOnTheFieldAndTheTowerButtonFramesTheTower)
{
    ShippedLevel level;
    Cog* camera = level.sim.Cogs().FindCogByName("Camera");
    ASSERT_NE(camera, nullptr);
    float width = 0.0f;
    float depth = 0.0f;
    ASSERT_TRUE(MapExtent(width, depth));
    // The field the camera keeps to is the ground drawn, from the first vertex to the last.
    const HeightMap* ground = HeightMap::Current();
    ASSERT_NE(ground, nullptr);
    EXPECT_FLOAT_EQ(width, float(ground->mMapWidthSize - 1) * ground->mTileScale);
    EXPECT_FLOAT_EQ(depth, float(ground->mMapDepthSize - 1) * ground->mTileScale);
    // The ground under the middle of the screen and under its bottom corners is field: met where
    // the ray meets the terrain, which stands above the zero plane at the field's edges.
    auto onField = [&](const char* what) {
        const int w = level.Io().GetScreenWidth();
        const int h = level.Io().GetScreenHeight();
        for (const auto& [x, y] : {std::pair{w / 2, h / 2}, std::pair{0, h - 1}, std::pair{w - 1, h - 1}})
        {
            Vector3 origin;
            Vector3 ray;
            ASSERT_TRUE(PickRay(x, y, origin, ray)) << what;
            ASSERT_LT(ray.y, 0.0f) << what << " at " << x << "," << y;
            Vector3 ground = origin + ray * (-origin.y / ray.y);
            for (int step = 0; step < 4; ++step)
            {
                const float h = TerrainHeight(std::fmin(std::fmax(ground.x, 0.0f), width),
                                              std::fmin(std::fmax(ground.z, 0.0f), depth));
                ground = origin + ray * ((h - origin.y) / ray.y);
            }
            EXPECT_GE(ground.x, -0.5f) << what << " at " << x << "," << y;
            EXPECT_LE(ground.x, width + 0.5f) << what << " at " << x << "," << y;
            EXPECT_GE(ground.z, -0.5f) << what << " at " << x << "," << y;
            EXPECT_LE(ground.z, depth + 0.5f) << what << " at " << x << "," << y;
        }
    };
    auto hold = [&](SDL_Scancode key, int frames) {
        level.Io().HandleEvent(InputEvents::Key(SDL_KEYDOWN, key));
        level.sim.Step(frames);
        level.Io().HandleEvent(InputEvents::Key(SDL_KEYUP, key));
        level.sim.Step(10);
    };
    hold(SDL_SCANCODE_S, 120);
    onField("S held");
    hold(SDL_SCANCODE_Q, 100);
    hold(SDL_SCANCODE_S, 120);
    onField("turned, S held");
    Cog* hud = level.sim.Cogs().FindCogByName("HUD");
    ASSERT_NE(hud, nullptr);
    for (const Vector3 at : {Vector3(1, 1, 0), Vector3(0, 0, 0), Vector3(0.02f, 0.97f, 0)})
    {
        ParamBuffer params;
        params.PushVector(at);
        hud->CallFunction("MiniMapMove", params);
        level.sim.Step(10);
        onField("mini-map jump");
    }

    hud->CallFunctionByName("ZoomToTower");
    level.sim.Step(2);
    const Positional* tower = PosOf(level.sim.Cogs().FindCogByName("Tower"));
    ASSERT_NE(tower, nullptr);
    const Camera* eye = GraphicsLoom::Instance()->GetActiveCamera();
    ASSERT_NE(eye, nullptr);
    Matrix4 viewProjection;
    eye->GetView().Multiply(eye->GetProjection(), viewProjection);
    // Screen fractions, y down; the trap bar takes the bottom tenth.
    const Vector3 p = viewProjection.TransformCoord(tower->GetPosition());
    const float x = (p.x + 1.0f) * 0.5f;
    const float y = (1.0f - p.y) * 0.5f;
    EXPECT_NEAR(x, 0.5f, 0.05f);
    EXPECT_NEAR(y, 0.5f, 0.05f);
}

// A mini-map jump to any edge or corner, at any zoom and turn, leaves little of the screen to
// the sky: the field fills the view but for small corners, wherever the field is wide enough.
TEST(ShippedPlay, MiniMapJumpsToTheEdgesKeepTheViewOverTheField)
{
    ShippedLevel level;
    Cog* hud = level.sim.Cogs().FindCogByName("HUD");
    Cog* camera = level.sim.Cogs().FindCogByName("Camera");
    ASSERT_NE(hud, nullptr);
    ASSERT_NE(camera, nullptr);
    GameCamera* view = camera->Get<GameCamera>();
    ASSERT_NE(view, nullptr);
    float width = 0.0f;
    float depth = 0.0f;
    ASSERT_TRUE(MapExtent(width, depth));
    const int w = level.Io().GetScreenWidth();
    const int h = level.Io().GetScreenHeight();
    // The share of the screen where the pixel's ray misses the field: above the horizon or past an edge.
    auto skyShare = [&] {
        int sky = 0;
        int all = 0;
        for (int y = 1; y < h; y += 4)
            for (int x = 1; x < w; x += 4)
            {
                ++all;
                Vector3 origin;
                Vector3 ray;
                if (!PickRay(x, y, origin, ray) || ray.y > -1e-4f)
                {
                    ++sky;
                    continue;
                }
                Vector3 ground = origin + ray * (-origin.y / ray.y);
                for (int step = 0; step < 4; ++step)
                {
                    const float lift = TerrainHeight(std::fmin(std::fmax(ground.x, 0.0f), width),
                                                     std::fmin(std::fmax(ground.z, 0.0f), depth));
                    ground = origin + ray * ((lift - origin.y) / ray.y);
                }
                sky += ground.x < -0.5f || ground.x > width + 0.5f || ground.z < -0.5f || ground.z > depth + 0.5f;
            }
        return float(sky) / float(all);
    };
    const Vector3 jumps[] = {{0, 0.5f, 0}, {1, 0.5f, 0}, {0.5f, 0, 0}, {0.5f, 1, 0},
                             {0, 0, 0},    {1, 0, 0},    {0, 1, 0},    {1, 1, 0}};
    struct Case
    {
        float turn; // radians about the viewed ground point
        float zoom; // wheel notches, positive in
    };
    for (const Case c : {Case{0.0f, 0.0f}, Case{0.0f, 12.0f}, Case{0.0f, -12.0f}, Case{0.8f, 0.0f}, Case{3.1f, 4.0f}})
    {
        view->Rotate(c.turn);
        view->Zoom(c.zoom);
        level.sim.Step(120);
        for (const Vector3& at : jumps)
        {
            ParamBuffer params;
            params.PushVector(at);
            hud->CallFunction("MiniMapMove", params);
            level.sim.Step(3);
            const float share = skyShare();
            EXPECT_LT(share, 0.12f) << "turn " << c.turn << ", zoom " << c.zoom << ", jump to " << at.x << "," << at.y;
        }
    }
}
