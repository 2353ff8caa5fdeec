#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "game/components/GameComponents.h"
#include "game/player/PlayerServices.h"
#include "tests/game/player/PlayerSim.h"
#include "tests/input/LogProbe.h"

namespace {

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance, const char* what)
{
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

// A grunt that has landed and is left standing where it landed; null when it never lands.
Cog* LandedStillGrunt(PlayerSim& play)
{
    Cog* invader = play.Field().Invader("grunt", 16, 17);
    Kestrane& k = InvaderField::K(invader);
    if (!play.Sim().StepUntil([&] { return k.GetState() != StateParachute && k.GetState() != StateAirborne; }, 600))
        return nullptr;
    k.SetBehavior("NoBehavior");
    k.SetPathing("NoPathing");
    return invader;
}

} // namespace

TEST(Cursor, GrabsHoldsAndThrowsAnInvaderThenRecharges)
{
    PlayerSim play;
    play.SmallScreen();
    play.Play();
    play.Step(2);
    Cog* invader = LandedStillGrunt(play);
    ASSERT_NE(invader, nullptr);
    Kestrane& k = InvaderField::K(invader);
    play.Step(30);
    // The cursor hovers 15 above the ground under the mouse: aim at that height.
    play.MoveToWorld(InvaderField::P(invader).GetPosition() + Vector3(0, 15, 0));
    play.Step(30);

    // The button goes down; the cursor sinks until the invader is in its region.
    play.Down(0);
    ASSERT_TRUE(play.Sim().StepUntil([&] { return play.Cursor().GetGrabbedID() == int32_t(invader->GetID()); }, 120));
    play.Step();
    EXPECT_EQ(k.GetState(), StateGrabbed);
    EXPECT_FALSE(k.mRun.mReactsToCollisions);

    // Carried along: once the cursor has come to rest, it stands where the cursor stands.
    play.MoveToWorld(InvaderField::P(invader).GetPosition() + Vector3(20, 15, 0));
    play.Step(60);
    ExpectNear(InvaderField::P(invader).GetPosition(), play.CursorPlace().GetPosition(), 1e-3f, "held");
    EXPECT_EQ(k.GetState(), StateGrabbed);
    // Thrown while moving.
    play.MoveToWorld(play.CursorPlace().GetPosition() + Vector3(-15, 0, 5));
    std::vector<Vector3> velocities;
    for (int i = 0; i < 2; ++i)
    {
        play.Step();
        velocities.push_back(play.CursorPlace().GetVelocity());
    }
    ASSERT_GT(velocities[1].Length(), 1.0f) << "still moving";
    const float energy = play.Cursor().GetGrabEnergy();
    play.Up(0);
    play.Step();
    EXPECT_EQ(play.Cursor().GetGrabbedID(), -1);
    EXPECT_EQ(k.GetState(), StateAirborne);
    // The cursor updates before it is moved, so the throw sees the two frames before this one.
    const Vector3 expected = (velocities[1] + velocities[0]).Divided(2.0f) + Vector3(0, 10, 0);
    ExpectNear(InvaderField::P(invader).GetVelocity(), expected, 1e-3f, "thrown");
    EXPECT_TRUE(play.Cursor().IsRecharging());
    play.Step(60);
    EXPECT_NEAR(play.Cursor().GetGrabEnergy(), std::fmin(1.0f, energy + 0.5f), 0.02f);
}

// Where the claw's region holds the invader and another cog with physics that came before it
// (the view, low over the field), the claw takes the invader.
TEST(Cursor, TheClawTakesTheInvaderBeforeAnyOtherCogWithPhysicsThere)
{
    PlayerSim play;
    play.SmallScreen();
    play.Play();
    play.Step(2);
    Cog* invader = LandedStillGrunt(play);
    ASSERT_NE(invader, nullptr);
    Cog* camera = FindCog("Camera");
    ASSERT_NE(camera, nullptr);
    ASSERT_LT(camera->GetID(), invader->GetID());
    const Vector3 at = InvaderField::P(invader).GetPosition();
    play.MoveToWorld(at + Vector3(0, 15, 0));
    play.Step(30);
    play.Down(0);
    bool taken = false;
    for (int frame = 0; frame < 120 && !taken; ++frame)
    {
        // The view held low beside the invader, in the claw's reach.
        InvaderField::P(camera).SetPosition(play.CursorPlace().GetPosition() + Vector3(1.0f, 0.0f, 0.0f));
        play.Step();
        ASSERT_NE(play.Cursor().GetGrabbedID(), int32_t(camera->GetID())) << "the claw took the view";
        taken = play.Cursor().GetGrabbedID() == int32_t(invader->GetID());
    }
    EXPECT_TRUE(taken) << "the claw never took the invader";
}

TEST(Cursor, TheTrapButtonSelectsWithoutDroppingAndATileClickPlacesOnce)
{
    PlayerSim play;
    play.Play();
    play.Step(2);
    Widget* bar = play.HudWidgets().Find("TrapDropToolBar2");
    ASSERT_NE(bar, nullptr);
    ASSERT_FALSE(bar->Children().empty());
    Widget& spikes = *bar->Children()[0];
    ASSERT_EQ(static_cast<TrapDropButton&>(spikes).GetTrapType(), "spikes");
    const int32_t cost = play.Data().GetTrapInfo("spikes").creditCost;
    const size_t traps = play.Sim().Cogs().GetGroupCogs("traps").size();

    play.MoveToWidget(spikes);
    play.Step(2);
    // Hovered, the button names the trap, its price and its use.
    const TrapInfo& info = play.Data().GetTrapInfo("spikes");
    EXPECT_EQ(play.Gui().GetLayer()->GetDescription(),
              "spikes\nCost: " + std::to_string(info.creditCost) + "\nDescription: " + info.trapDescription);
    play.Click(0);
    play.Step(2);
    EXPECT_TRUE(play.Cursor().IsTrapDropMode());
    EXPECT_EQ(play.Data().mDropPreview.mTrapName, "spikes");
    EXPECT_EQ(play.Sim().Cogs().GetGroupCogs("traps").size(), traps) << "the selecting click drops nothing";
    EXPECT_EQ(play.Data().GetPoints(), 100);

    // The pointer on a point of the ground: the trap stands on the tile under it, not under the
    // claw, which hovers on the pointer's ray above the ground.
    const Vector3 spot = play.Field().Centre(12, 16) + Vector3(0.7f, 0.0f, -0.9f);
    play.MoveToWorld(spot);
    play.Step(30);
    play.Click(0);
    ASSERT_EQ(play.Sim().Cogs().GetGroupCogs("traps").size(), traps + 1);
    EXPECT_EQ(play.Data().GetPoints(), 100 - cost);
    Cog* trap = play.Sim().Cogs().GetGroupCogs("traps").back();
    const Vector3 at = InvaderField::P(trap).GetPosition();
    const Vector3 snapped = SnapTrapDropPosition("spikes", spot);
    EXPECT_NEAR(at.x, snapped.x, 1e-3f);
    EXPECT_NEAR(at.z, snapped.z, 1e-3f);
    const Vector3 claw = SnapTrapDropPosition("spikes", play.CursorPlace().GetPosition());
    EXPECT_GT(std::fabs(claw.x - snapped.x) + std::fabs(claw.z - snapped.z), 4.0f) << "the claw is elsewhere";

    // The same tile again: refused, nothing spent, and the HUD says why.
    auto* said = static_cast<PopupText*>(play.HudWidgets().Find("SmallTextPopup"));
    ASSERT_NE(said, nullptr);
    EXPECT_EQ(said->Alpha(), 0.0f);
    const size_t cogs = play.Sim().Cogs().GetCogCount();
    play.Click(0);
    EXPECT_EQ(play.Sim().Cogs().GetCogCount(), cogs);
    EXPECT_EQ(play.Data().GetPoints(), 100 - cost);
    EXPECT_TRUE(play.Cursor().IsTrapDropMode());
    EXPECT_EQ(said->QueryText(), "That place is taken: the spikes must stand on free ground");
    EXPECT_GT(said->Alpha(), 0.0f);
    // A free tile without the credits for it.
    play.Data().SetPoints(cost - 1);
    play.MoveToWorld(play.Field().Centre(20, 16));
    play.Step(5);
    play.Click(0);
    EXPECT_EQ(play.Sim().Cogs().GetCogCount(), cogs);
    EXPECT_EQ(said->QueryText(),
              "Not enough credits: the spikes cost " + std::to_string(cost) + ", you have " + std::to_string(cost - 1));

    // With spikes in hand, a click on another trap's button only picks that trap: nothing is
    // dropped under the bar, nothing spent.
    play.Data().SetPoints(100);
    // New credits make the bar's buttons anew: found again.
    bar = play.HudWidgets().Find("TrapDropToolBar2");
    ASSERT_NE(bar, nullptr);
    ASSERT_GE(bar->Children().size(), 2u);
    Widget& other = *bar->Children()[1];
    const std::string otherKind = static_cast<TrapDropButton&>(other).GetTrapType();
    ASSERT_NE(otherKind, "spikes");
    play.MoveToWidget(other);
    play.Step(2);
    EXPECT_TRUE(GuiOwnsClick()) << "the trap button takes the click";
    play.Click(0);
    play.Step(2);
    EXPECT_EQ(play.Sim().Cogs().GetGroupCogs("traps").size(), traps + 1) << "a trap dropped under the bar";
    EXPECT_EQ(play.Data().GetPoints(), 100);
    EXPECT_TRUE(play.Cursor().IsTrapDropMode());
    EXPECT_EQ(play.Data().mDropPreview.mTrapName, otherKind);

    // Off the bar (whose buttons pick with either button), the right button puts it away.
    play.MoveToWorld(spot);
    play.Step(2);
    play.Click(1);
    EXPECT_FALSE(play.Cursor().IsTrapDropMode());
    // A trap named in the singular: "costs", on the free tile short of credits again.
    play.Data().SetPoints(cost - 1);
    play.MoveToWorld(play.Field().Centre(20, 16));
    play.Step(5);
    ParamBuffer axe;
    axe.PushStdString("axe");
    play.mHud->CallFunction("TrapSelect", axe);
    play.Step(2);
    ASSERT_TRUE(play.Cursor().IsTrapDropMode());
    play.Click(0);
    EXPECT_EQ(said->QueryText(),
              "Not enough credits: the axe costs " + std::to_string(play.Data().GetTrapInfo("axe").creditCost) +
                  ", you have " + std::to_string(cost - 1));
    play.Click(1);
}

TEST(Cursor, FloatingNumberFadesAndHidesByItsTime)
{
    PlayerSim play;
    play.SmallScreen();
    Cog& cursor = *play.mCursor;
    auto& hud = play.Seam().mHuds[cursor.GetID()];
    struct Case
    {
        float total;
        double shownAfter; // seconds after showing at which it still shows (negative: none)
        double hiddenAfter;
    };
    // Coarse frames: the fade runs on game time, not on a count of frames.
    constexpr double kStep = 1.0 / 15.0;
    play.Sim().SetStep(kStep);
    const auto frames = [&](double seconds) { return static_cast<int>(std::lround(seconds / kStep)); };
    // 2.5 s: gone once the fade-out passes 0; 0 s: at once; 10 s (fade-in longer than the
    // time): at its end.
    for (const Case c : {Case{2.5f, 2.45, 2.6}, Case{0.0f, -1.0, kStep}, Case{10.0f, 9.9, 10.1}})
    {
        play.Cursor().TotalFloatTime = c.total;
        play.Cursor().ShowFloatingNumber(-25);
        EXPECT_EQ(hud.mText, "$-25");
        EXPECT_TRUE(hud.mShown);
        int stepped = 0;
        if (c.shownAfter > 0.0)
        {
            stepped = frames(c.shownAfter);
            play.Step(stepped);
            EXPECT_TRUE(hud.mShown) << c.total;
            EXPECT_GE(hud.mColor.a, 0.0f) << c.total;
        }
        play.Step(frames(c.hiddenAfter) - stepped);
        EXPECT_FALSE(hud.mShown) << c.total;
    }
    // Earning points shows the amount.
    play.Sim().SetStep(GameSim::kStep);
    play.Cursor().TotalFloatTime = 2.5f;
    play.Data().EarnPoints(15);
    EXPECT_EQ(hud.mText, "$15");
    play.Step(15);
    EXPECT_NEAR(hud.mColor.a, (15.0f / 60.0f / 2.5f) / 0.5f, 0.02f) << "fading in";
    EXPECT_NEAR(hud.mOffset, 15.0f / 60.0f / 2.5f * 5.0f, 0.05f);
}

TEST(Cursor, AMissingDisplayIsLoggedOnceAndSkipped)
{
    PlayerSim play;
    play.Seam().mHasHud = false;
    LogProbe log;
    play.Cursor().ShowFloatingNumber(5);
    play.Cursor().ShowFloatingNumber(6);
    EXPECT_EQ(log.Count("CursorComp: the cursor has no HudDisplay"), 1);
}

TEST(Cursor, BombModeTintsAndARightClickEndsIt)
{
    PlayerSim play;
    play.Play();
    play.Step(2);
    play.Data().SelectTrap("bomb");
    EXPECT_TRUE(play.Cursor().IsBombMode());
    Color tint;
    ASSERT_TRUE(play.Seam().GetModelColor(*play.mCursor, tint));
    EXPECT_FLOAT_EQ(tint.g, 0.25f);
    EXPECT_FLOAT_EQ(tint.r, 1.0f);
    play.Step();
    play.Click(1);
    EXPECT_FALSE(play.Cursor().IsBombMode());
    play.Seam().GetModelColor(*play.mCursor, tint);
    EXPECT_FLOAT_EQ(tint.b, 1.0f);
}

// A trap key pressed picks its trap at once, also a quarter second after another key and while
// paused, even in a level paused before its clock ever ran; only a key held down waits a quarter second before it picks
// again, and of two keys held together the last one pressed keeps its trap.
TEST(Cursor, AnotherTrapKeyPicksAtOnceAndOnlyAHeldKeyWaits)
{
    PlayerSim play;
    play.SmallScreen();
    play.Play();
    // Five seconds of play in coarse frames: the wait runs on time, not on frames.
    play.Sim().SetStep(0.1);
    play.Step(50);
    play.Sim().SetStep(GameSim::kStep);
    const auto trap = [&] { return play.Data().mDropPreview.mTrapName; };
    const auto press = [&](SDL_Scancode key) {
        play.Key(key, true);
        play.Step();
        play.Key(key, false);
        play.Step();
    };
    const struct
    {
        const char* what;
        bool paused;
        // Paused by the player with the level's clock at 0, never run.
        bool fromStart;
    } cases[] = {{"in play", false, false}, {"paused", true, false}, {"paused at the level's start", true, true}};
    for (const auto& c : cases)
    {
        play.Sim().Run(c.paused && !c.fromStart ? "SetPause true" : "SetPause false");
        if (c.fromStart)
        {
            play.Sim().Engine().GetGameClock().Reset();
            play.Sim().Run("pause");
        }
        play.Step(20);
        // One frame apart: each key picks its own trap.
        press(SDL_SCANCODE_1);
        EXPECT_EQ(trap(), "spikes") << c.what;
        press(SDL_SCANCODE_5);
        EXPECT_EQ(trap(), "fan") << c.what << ": a second key within a quarter second";
        press(SDL_SCANCODE_1);
        EXPECT_EQ(trap(), "spikes") << c.what << ": a third";
        // Both down and up within one frame, as on a slow one: the trap key pressed last is
        // meant, whichever comes first in the trap list, and another key after it changes nothing.
        for (const auto& [first, second, meant] :
             {std::tuple{SDL_SCANCODE_1, SDL_SCANCODE_5, "fan"}, std::tuple{SDL_SCANCODE_5, SDL_SCANCODE_1, "spikes"}})
        {
            play.Key(first, true);
            play.Key(first, false);
            play.Key(second, true);
            play.Key(second, false);
            play.Key(SDL_SCANCODE_PRINTSCREEN, true);
            play.Key(SDL_SCANCODE_PRINTSCREEN, false);
            play.Step();
            EXPECT_EQ(trap(), meant) << c.what << ": two keys in one frame";
        }

        // A key held down picks again only after the wait.
        play.Step(20);
        play.Key(SDL_SCANCODE_1, true);
        play.Step();
        ASSERT_EQ(trap(), "spikes") << c.what;
        play.Data().SelectTrap("fan");
        play.Step(6);
        EXPECT_EQ(trap(), "fan") << c.what << ": the held key picked again within a quarter second";
        play.Step(20);
        EXPECT_EQ(trap(), "spikes") << c.what << ": the held key after the wait";

        // A second key pressed while the first is held picks at once and keeps its trap.
        play.Key(SDL_SCANCODE_5, true);
        play.Step();
        EXPECT_EQ(trap(), "fan") << c.what << ": a key pressed while another is held";
        play.Step(60);
        EXPECT_EQ(trap(), "fan") << c.what << ": two keys held together took turns";
        play.Key(SDL_SCANCODE_5, false);
        play.Key(SDL_SCANCODE_1, false);
        play.Step();
    }
}

TEST(Cursor, EachTrapHasItsOwnKeyAndNoCameraOrEditKeyPicksATrap)
{
    PlayerSim play;
    play.SmallScreen();
    play.Play();
    play.Step(30);
    const auto press = [&](SDL_Scancode key) {
        play.Key(key, true);
        play.Step();
        play.Key(key, false);
        play.Step(20); // past the wait after a selection
    };
    // The shipped kinds and their keys.
    struct Kind
    {
        const char* name;
        char key;
        SDL_Scancode scancode;
    };
    for (const Kind& k :
         {Kind{"spikes", '1', SDL_SCANCODE_1}, Kind{"hammer", '2', SDL_SCANCODE_2}, Kind{"spring", '3', SDL_SCANCODE_3},
          Kind{"poison", '4', SDL_SCANCODE_4}, Kind{"fan", '5', SDL_SCANCODE_5}, Kind{"wall", '6', SDL_SCANCODE_6}})
    {
        ASSERT_TRUE(play.Data().HasTrapInfo(k.name)) << k.name;
        EXPECT_EQ(play.Data().GetTrapInfo(k.name).trapKey, k.key) << k.name;
        press(k.scancode);
        EXPECT_EQ(play.Data().mDropPreview.mTrapName, k.name);
    }
    // Whatever kinds the data holds, no two share a key and none takes a camera or edit key.
    std::string taken;
    for (const auto& [name, info] : play.Data().mTrapInfo)
    {
        EXPECT_EQ(taken.find(info.trapKey), std::string::npos) << name << " shares its key";
        EXPECT_EQ(std::string("WASDQERFTGBYUI").find(info.trapKey), std::string::npos) << name;
        taken += info.trapKey;
    }
    play.Click(1);
    ASSERT_FALSE(play.Cursor().IsTrapDropMode());
    for (SDL_Scancode key : {SDL_SCANCODE_W, SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D, SDL_SCANCODE_Q,
                             SDL_SCANCODE_E, SDL_SCANCODE_R, SDL_SCANCODE_F})
    {
        press(key);
        EXPECT_FALSE(play.Cursor().IsTrapDropMode()) << SDL_GetScancodeName(key);
    }
}

// A wall line ends where the button comes up, even when the press and its release come in one
// frame: a quick click at a low frame rate builds one wall, not a line left on the pointer.
TEST(Cursor, AWallClickInOneFrameBuildsOneWall)
{
    PlayerSim play;
    play.Play();
    play.Step(2);
    ParamBuffer wall;
    wall.PushStdString("wall");
    play.mHud->CallFunction("TrapSelect", wall);
    play.Step(2);
    ASSERT_EQ(play.Data().mDropPreview.mTrapName, "wall");
    const int32_t cost = play.Data().GetTrapInfo("wall").creditCost;
    const int32_t points = play.Data().GetPoints();
    play.MoveToWorld(play.Field().Centre(12, 16));
    play.Step(30);
    play.Down(0);
    play.Up(0);
    play.Step();
    // The pointer goes on across the field; no line follows it.
    play.MoveToWorld(play.Field().Centre(20, 20));
    play.Step(30);
    EXPECT_EQ(play.Data().GetPoints(), points - cost) << "one wall";
    EXPECT_NE(play.Data().mDropPreview.mMode, DropPreview::ModeLine);
}

TEST(Cursor, HoldingIRidesAlongInsteadOfGrabbing)
{
    PlayerSim play;
    play.Play();
    play.Step(2);
    Cog* invader = LandedStillGrunt(play);
    ASSERT_NE(invader, nullptr);
    play.MoveToWorld(InvaderField::P(invader).GetPosition() + Vector3(0, 15, 0));
    play.Step(30);
    play.Key(SDL_SCANCODE_I, true);
    play.Down(0);
    auto& follower = *play.mCamera->Get<FollowerComp>();
    ASSERT_TRUE(play.Sim().StepUntil([&] { return follower.followedObjID == invader->GetID(); }, 120));
    EXPECT_EQ(play.Cursor().GetGrabbedID(), -1) << "nothing is grabbed";
    EXPECT_FALSE(play.View().mZoomEnabled);
    EXPECT_FALSE(InvaderField::P(invader).IsVisible());
    play.Up(0);
    play.Key(SDL_SCANCODE_I, false);
    play.Step();
}

TEST(Cursor, TheClawSettlesUnderThePointerAtAnyFrameRate)
{
    struct Case
    {
        int fps;
        int frames; // two seconds
    };
    PlayerSim play;
    play.SmallScreen();
    play.Play();
    play.Step(5);
    for (const Case c : {Case{5, 10}, Case{10, 20}, Case{30, 60}, Case{60, 120}})
    {
        // Across the screen, away from the edges that scroll the view, from where the claw has
        // come to rest at the usual rate.
        play.Sim().SetStep(GameSim::kStep);
        play.MoveTo(play.Width() / 4, play.Height() / 3);
        play.Step(30);
        play.Sim().SetStep(1.0 / c.fps);
        play.MoveTo(play.Width() * 3 / 4, play.Height() * 2 / 3);
        std::vector<Vector3> path{play.CursorPlace().GetPosition()};
        for (int i = 0; i < c.frames; ++i)
        {
            play.Step();
            const Vector3 v = play.CursorPlace().GetVelocity();
            ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.z)) << c.fps << " fps, frame " << i;
            path.push_back(play.CursorPlace().GetPosition());
        }
        // Where the ray through the pointer meets the hover plane.
        Vector3 origin;
        Vector3 direction;
        ASSERT_TRUE(PickRay(play.Io().GetMouseX(), play.Io().GetMouseY(), origin, direction));
        const float t = (15.0f - origin.y) / direction.y;
        const Vector3 target = origin + direction * t;
        const auto gap = [&](const Vector3& p) { return Vector3(target.x - p.x, 0.0f, target.z - p.z); };
        const Vector3 start = gap(path.front());
        ASSERT_GT(start.Length(), 20.0f);
        for (size_t i = 1; i < path.size(); ++i)
        {
            const Vector3 g = gap(path[i]);
            EXPECT_LE(g.Length(), gap(path[i - 1]).Length() + 1e-3f)
                << c.fps << " fps, frame " << i << ": never farther";
            EXPECT_GE(g.x * start.x + g.z * start.z, -1e-3f)
                << c.fps << " fps, frame " << i << ": never past the pointer";
        }
        // At 60 fps the claw keeps its old pull: three quarters of the gap per frame.
        if (c.fps == 60)
        {
            EXPECT_NEAR(gap(path[4]).Length() / gap(path[3]).Length(), 0.25f, 0.02f);
        }
        EXPECT_LT(gap(path.back()).Length(), 0.1f) << c.fps << " fps";
    }
}
