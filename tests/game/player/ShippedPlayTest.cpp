#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <lua.hpp>
#include <memory>
#include <utility>
#include <vector>

#include "LOOM/script/ScriptManager.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/Serializer.h"
#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "game/level/LevelFile.h"
#include "game/level/TileComp.h"
#include "game/level/Wall.h"
#include "game/logic/TrapDrop.h"
#include "game/player/PlayerServices.h"
#include "game/player/SceneBinding.h"
#include "game/traps/TrapData.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/terrain/HeightMap.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/game/player/PlayerSim.h"

namespace {
// The shipped game as the program starts it, with its menus and scene binding: a level (the
// first unless said) in play, goal read. No test here reads a pixel.
struct ShippedLevel
{
    explicit ShippedLevel(const char* start = "StartLevelOne()")
    {
        SetSceneSeam(&scene);
        kNoPixelScreen.Apply();
        // The input loom takes the new size in the next frame.
        sim.Step();
        ScriptManager::Instance().RunScript("Scripts/GameMenu.lua");
        // The pointer rests mid-window: on an edge it would scroll the view.
        Io().HandleEvent(InputEvents::Motion(Io().GetScreenWidth() / 2, Io().GetScreenHeight() / 2));
        sim.Step();
        EXPECT_TRUE(RunLua(start));
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

// A level saved with a laser turret, a light bulb and spikes, their names written in one word as
// saves store them, loads every one of them back where it stood.
TEST(ShippedPlay, ALevelFileWithTheOneWordTrapNamesLoadsEveryTrap)
{
    ShippedLevel level;
    Cog* tower = level.sim.Cogs().FindCogByName("Tower");
    ASSERT_NE(tower, nullptr);
    std::vector<LevelObjectRecord> objects(1);
    objects[0].ObjName = "tower";
    objects[0].Position = tower->Get<Positional>()->GetPosition();
    // The words the program wrote for a short while load too, as the trap of the one-word name.
    struct Saved
    {
        const char* written;
        const char* kind;
        Vector3 at;
    };
    const Saved traps[] = {
        {"laserturret", "laserturret", {248.0f, 0.0f, 360.0f}}, {"lightbulb", "lightbulb", {268.0f, 0.0f, 364.0f}},
        {"spikes", "spikes", {256.0f, 0.0f, 352.0f}},           {"laser turret", "laserturret", {232.0f, 0.0f, 344.0f}},
        {"light bulb", "lightbulb", {280.0f, 0.0f, 344.0f}},
    };
    for (const auto& [name, kind, at] : traps)
    {
        objects.emplace_back();
        objects.back().ObjName = name;
        objects.back().Position = at;
    }
    // Written field by field as a save writes it, the traps on their footprints' places; no flags,
    // so the field stays as it is.
    BinarySaver saver;
    ASSERT_TRUE(saver.Open(level.sim.Path("Levels/Saved.bin")));
    int32_t version = 1;
    uint32_t none = 0;
    SerializeSingle(saver, "int", nullptr, TypeInt, version);
    SerializeSingle(saver, "uint", nullptr, TypeUInt, none);
    SerializeSingle(saver, "uint", nullptr, TypeUInt, none);
    SerializeElementList(saver, nullptr, objects, "serializable", TypeObject);
    std::vector<uint32_t> flags;
    SerializeItemList(saver, nullptr, flags, "uint",
                      [&saver](uint32_t& f) { SerializeSingle(saver, "uint", nullptr, TypeUInt, f); });
    saver.Close();
    ASSERT_TRUE(saver.IsGood());

    LogCapture log;
    ASSERT_NE(CurrentTileMap(), nullptr);
    CurrentTileMap()->LoadLevelFile("Levels/Saved.bin");
    level.sim.Step(2);
    EXPECT_FALSE(log.Contains("no object")) << "every name of the file is a kind the game knows";
    const std::vector<Comp*>& live = level.sim.Data().mTraps.Items();
    for (const auto& saved : traps)
    {
        const auto found = std::find_if(live.begin(), live.end(), [&saved](Comp* comp) {
            const TrapData* trap = comp->GetOwner()->Get<TrapData>();
            const Vector3 p = comp->GetOwner()->Get<Positional>()->GetPosition();
            return trap && trap->Name == saved.kind && std::abs(p.x - saved.at.x) < 0.01f &&
                std::abs(p.z - saved.at.z) < 0.01f;
        });
        EXPECT_NE(found, live.end()) << saved.written;
    }
    EXPECT_EQ(live.size(), std::size(traps));
}

// The console picks a trap by its one-word name, by the words in quotes, and through the HUD's
// own message (as the trap list sends the words it shows); a name no trap has picks nothing,
// keeps the trap in hand and is logged.
TEST(ShippedPlay, TheConsolePicksATrapByNameAndLogsAnUnknownOne)
{
    ShippedLevel level;
    DataController& data = level.sim.Data();
    struct Case
    {
        const char* mLine;
        const char* mPicked; // null: nothing is picked
    };
    const Case cases[] = {
        {"TrapSelect laserturret", "laserturret"},
        {"TrapSelect \"laser turret\"", "laserturret"},
        {"trapselect lightbulb", "lightbulb"},
        {"c HUD TrapSelect laserturret", "laserturret"},
        {"c HUD TrapSelect \"light bulb\"", "lightbulb"},
        {"TrapSelect laserturet", nullptr},
        {"TrapSelect \"laser turret \"", nullptr},
    };
    for (const Case& c : cases)
    {
        level.sim.Run("TrapSelect spikes");
        level.sim.Step();
        ASSERT_EQ(data.mDropPreview.mTrapName, "spikes") << c.mLine;
        LogCapture log;
        level.sim.Run(c.mLine);
        level.sim.Step();
        EXPECT_TRUE(FindCursor()->IsTrapDropMode()) << c.mLine;
        EXPECT_EQ(data.mDropPreview.mTrapName, c.mPicked ? c.mPicked : "spikes") << c.mLine;
        EXPECT_EQ(log.Count("Request for data on unknown trapName"), c.mPicked ? 0 : 1) << c.mLine;
        EXPECT_FALSE(log.Contains("Invalid Command")) << c.mLine;
        EXPECT_FALSE(log.Contains("Hash Failure")) << c.mLine;
    }
}

// Whole numbers where the camera's place takes decimals put it there.
TEST(ShippedPlay, SetCameraPositionTakesWholeNumbers)
{
    ShippedLevel level;
    Camera* camera = ActiveCamera();
    ASSERT_TRUE(camera && camera->GetOwnerPositional());
    const std::pair<const char*, Vector3> cases[] = {
        {"SetCameraPosition 120 90 290", {120.0f, 90.0f, 290.0f}},
        {"SetCameraPosition 130.5 -2 280", {130.5f, -2.0f, 280.0f}},
    };
    for (const auto& [line, place] : cases)
    {
        LogCapture log;
        level.sim.Run(line);
        EXPECT_EQ(camera->GetOwnerPositional()->GetPosition(), place) << line;
        EXPECT_TRUE(log.Errors().empty()) << line << ": " << (log.Errors().empty() ? "" : log.Errors().front());
    }
}

// Seen from the tower, each level's mini-map shows the whole field: every corner of the field
// and every wall and ledge stone lies inside the mini-map's box, and a click on the mini-map
// where a ledge stone is brings the view to it.
TEST(ShippedPlay, TheMiniMapShowsTheWholeFieldAndItsClicksReachTheLedges)
{
    for (const char* start : {"StartLevelOne()", "StartLevelTwo()"})
    {
        SCOPED_TRACE(start);
        ShippedLevel level(start);
        Cog* hud = level.sim.Cogs().FindCogByName("HUD");
        ASSERT_NE(hud, nullptr);
        auto* map = static_cast<MapImageBox*>(hud->Get<WidgetComp>()->Find("MiniMapImageBox"));
        ASSERT_NE(map, nullptr);
        float width = 0.0f;
        float depth = 0.0f;
        ASSERT_TRUE(MapExtent(width, depth));
        hud->CallFunctionByName("ZoomToTower");
        level.sim.Step(3);
        const Rect box = PlayerGui()->Units().BoxToPixels(map->GetBox());
        // The pixel of the mini-map where a point of the field is drawn.
        auto pixel = [&](const Vector3& at, int& x, int& y) {
            float gx = 0.0f;
            float gy = 0.0f;
            map->MapToGui(at.x / width, at.z / depth, gx, gy);
            const Rect p = PlayerGui()->Units().BoxToPixels(GuiBox{gx, gy, 0.0f, 0.0f});
            x = p.mLeft;
            y = p.mTop;
            return x >= box.mLeft && x <= box.mRight && y >= box.mTop && y <= box.mBottom;
        };
        int x = 0;
        int y = 0;
        for (const Vector3& corner :
             {Vector3(0, 0, 0), Vector3(width, 0, 0), Vector3(0, 0, depth), Vector3(width, 0, depth)})
            EXPECT_TRUE(pixel(corner, x, y))
                << "field corner " << corner.x << "," << corner.z << " at " << x << "," << y;
        std::vector<Vector3> ledge;
        for (Cog* doodad : level.sim.Cogs().GetGroupCogs("doodads"))
            if (doodad->Get<Damagable>()->spawnName == "step")
                ledge.push_back(PosOf(doodad)->GetPosition());
        for (Wall* wall : level.sim.Data().mWalls)
            EXPECT_TRUE(pixel(wall->GetOwnerPositional()->GetPosition(), x, y)) << "a wall at " << x << "," << y;
        if (std::string(start) == "StartLevelOne()")
            continue;
        ASSERT_FALSE(ledge.empty()) << "the second level has its ledges";
        const Vector3 stone = ledge[ledge.size() / 2];
        ASSERT_TRUE(pixel(stone, x, y)) << "the ledge at " << x << "," << y;
        level.ClickAt(x, y);
        const Camera* eye = GraphicsLoom::Instance()->GetActiveCamera();
        ASSERT_NE(eye, nullptr);
        // The ground in the middle of the screen is near the ledge, far from the tower.
        Vector3 origin;
        Vector3 ray;
        ASSERT_TRUE(PickRay(level.Io().GetScreenWidth() / 2, level.Io().GetScreenHeight() / 2, origin, ray));
        ASSERT_LT(ray.y, 0.0f);
        const Vector3 middle = origin + ray * (-origin.y / ray.y);
        EXPECT_LT(std::hypot(middle.x - stone.x, middle.z - stone.z), 0.15f * width)
            << "the view looks at " << middle.x << "," << middle.z << ", the ledge is at " << stone.x << "," << stone.z;
    }
}

// A stacker that stands as the step beside a ledge stone of the second level stays where it
// stood, and the player can still reach it there: spikes dropped over its tile kill it, and the
// claw held over it takes it, which gives the step back to the ground.
TEST(ShippedPlay, AStackerStandingAsAStepIsKilledBySpikesOrTakenByTheClaw)
{
    constexpr int kRate = 30;
    for (const bool claw : {false, true})
    {
        SCOPED_TRACE(claw ? "claw" : "spikes");
        ShippedLevel level("StartLevelTwo()");
        level.sim.SetStep(1.0 / kRate);
        DataController& data = level.sim.Data();
        TileMap* map = level.sim.Logic().mTileMap;
        ASSERT_NE(map, nullptr);
        // A stone of the ledge whose west side, where the march comes from, is open ground.
        TileIndex stone{-1, -1};
        for (Cog* doodad : level.sim.Cogs().GetGroupCogs("doodads"))
            if (doodad->Get<Damagable>()->spawnName == "step" && stone.first < 0)
                for (const TileIndex& tile : doodad->Get<TileComp>()->GetClaimedTiles())
                {
                    const Tile& west = map->GetTile(tile.first - 1, tile.second);
                    if (!west.occupant && west.passable && west.subHeight == 0)
                        stone = tile;
                }
        ASSERT_GE(stone.first, 0) << "the level has no ledge stone with open ground before it";
        const TileIndex tile{stone.first - 1, stone.second};

        // A stacker that has come down there turns into the step, as its pathing makes it do
        // when it meets the stone, and keeps that pathing.
        Cog* step = CreateAt(level.sim.Cogs(), "stacker", TileCentre(*map, tile) + Vector3(0.0f, 1.0f, 0.0f));
        ASSERT_NE(step, nullptr);
        const uint32_t id = step->GetID();
        Kestrane& k = *step->Get<Kestrane>();
        k.SetPathing("NoPathing");
        ASSERT_TRUE(level.sim.StepUntil([&] { return k.GetState() == StateAdvance; }, 20 * kRate)) << "it lands";
        PosOf(step)->SetPosition(TileCentre(*map, tile) + Vector3(0.0f, k.Pos().GetRadius(), 0.0f));
        level.sim.Step();
        ASSERT_EQ(k.mRun.mCurrentTile, tile);
        k.mRun.mTargetTile = stone;
        k.SetPathing("Stacker");
        k.ChangeState(StateSpecial);
        const Vector3 spot = k.Pos().GetPosition();
        const int32_t raised = map->GetTile(tile.first, tile.second).subHeight;
        EXPECT_EQ(raised, 1);
        // The player comes to it some time later.
        level.sim.Step(10 * kRate);
        ASSERT_EQ(level.sim.Cogs().GetCog(id), step);
        EXPECT_EQ(k.GetState(), StateSpecial) << "it stands as the step until something takes it";
        EXPECT_LT((PosOf(step)->GetPosition() - spot).Length(), 0.05f) << "the step stays where it stood";

        if (!claw)
        {
            // By now a player has earned the points for them.
            data.SetPoints(std::max(data.GetPoints(), 100));
            const int32_t trapKills = data.mStats.trapKills;
            bool dropped = false;
            for (int32_t dx = 0; dx < 2 && !dropped; ++dx)
                for (int32_t dz = 0; dz < 2 && !dropped; ++dz)
                    dropped =
                        AttemptTrapDrop("spikes", map->TileToWorldAligned(tile.first + dx, tile.second + dz, 2, 2),
                                        Vector3(0.0f, 0.0f, 1.0f));
            ASSERT_TRUE(dropped) << "no room for spikes over the step's tile";
            ASSERT_NE(map->GetTile(tile.first, tile.second).occupant, nullptr) << "the spikes cover the step's tile";
            EXPECT_TRUE(level.sim.StepUntil([&] { return level.sim.Cogs().GetCog(id) == nullptr; }, 10 * kRate))
                << "the spikes never killed the step";
            EXPECT_GT(data.mStats.trapKills, trapKills);
            continue;
        }

        // As a player does: the view is turned to the step, the pointer goes over it and the
        // left button is held down.
        Cog* camera = level.sim.Cogs().FindCogByName("Camera");
        ASSERT_NE(camera, nullptr);
        camera->Get<GameCamera>()->LookAtPosition(spot);
        level.sim.Step(3);
        const Camera* eye = GraphicsLoom::Instance()->GetActiveCamera();
        ASSERT_NE(eye, nullptr);
        Matrix4 viewProjection;
        eye->GetView().Multiply(eye->GetProjection(), viewProjection);
        CursorComp* cursor = FindCursor();
        ASSERT_NE(cursor, nullptr);
        // The claw follows the pointer at its hover height.
        const Vector3 p = viewProjection.TransformCoord(Vector3(spot.x, cursor->regularHoverHeight, spot.z));
        const int w = level.Io().GetScreenWidth();
        const int h = level.Io().GetScreenHeight();
        const int x = static_cast<int>(std::lround((p.x + 1.0f) * 0.5f * static_cast<float>(w)));
        const int y = static_cast<int>(std::lround((1.0f - p.y) * 0.5f * static_cast<float>(h)));
        ASSERT_TRUE(x > 0 && x < w && y > 0 && y < h) << "the step is off the screen at " << x << "," << y;
        level.Io().HandleEvent(InputEvents::Motion(x, y));
        level.sim.Step(kRate);
        level.Io().HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, x, y));
        EXPECT_TRUE(level.sim.StepUntil([&] { return cursor->GetGrabbedID() == static_cast<int32_t>(id); }, 5 * kRate))
            << "the claw never took the step";
        EXPECT_EQ(k.GetState(), StateGrabbed);
        EXPECT_EQ(map->GetTile(tile.first, tile.second).subHeight, raised - 1) << "the step is given back";
        level.Io().HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, x, y));
        level.sim.Step();
        EXPECT_EQ(cursor->GetGrabbedID(), -1);
    }
}
