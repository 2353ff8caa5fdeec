#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "LOOM/cogs/Composer.h"
#include "LOOM/math/Plane.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/game/player/PlayerSim.h"
#include "tests/input/LogProbe.h"

namespace {

// The ground point in the middle of the view.
Vector3 LookedAt(PlayerSim& play)
{
    Vector3 hit;
    EXPECT_TRUE(
        Plane(0, 1, 0, 0).IntersectRay(Ray(play.CameraPlace().GetPosition(), play.View().ViewDirection()), &hit));
    return hit;
}

float Heading(const Vector3& v) { return std::atan2(v.x, v.z); }

// Mouse in the middle, camera still.
void Settle(PlayerSim& play)
{
    play.MoveTo(play.Width() / 2, play.Height() / 2);
    play.Step();
    play.CameraPlace().SetVelocity(Vector3());
}

} // namespace

TEST(GameCamera, InputTable)
{
    PlayerSim play(false);
    Settle(play);
    GameCamera& view = play.View();
    Positional& place = play.CameraPlace();

    // W with Up: twice MoveSpeed along the flat view.
    play.Key(SDL_SCANCODE_W, true);
    play.Key(SDL_SCANCODE_UP, true);
    play.Step();
    Vector3 v = place.GetVelocity();
    EXPECT_NEAR(std::sqrt(v.x * v.x + v.z * v.z), 2.0f * view.MoveSpeed, 1e-3f);
    play.Key(SDL_SCANCODE_W, false);
    play.Key(SDL_SCANCODE_UP, false);

    // No input: the velocity decays by slowRate a frame.
    play.Step();
    place.SetVelocity(Vector3(10, 0, 0));
    play.Step();
    EXPECT_NEAR(place.GetVelocity().x, 10.0f * 0.85f, 1e-4f);

    // A right drag of 100 pixels to the left turns by +1 radian about the viewed ground point.
    place.SetVelocity(Vector3());
    play.Step();
    place.SetVelocity(Vector3());
    const Vector3 ground = LookedAt(play);
    const float heading = Heading(view.ViewDirection());
    play.Down(1);
    play.Step();
    play.MoveTo(play.Width() / 2 - 100, play.Height() / 2);
    play.Step();
    play.Up(1);
    float turned = Heading(view.ViewDirection()) - heading;
    turned = std::remainder(turned, 6.2831853f);
    EXPECT_NEAR(std::fabs(turned), 1.0f, 1e-3f);
    const Vector3 after = LookedAt(play);
    EXPECT_NEAR(after.x, ground.x, 0.05f);
    EXPECT_NEAR(after.z, ground.z, 0.05f);
}

// The pointer on the window's outermost column or row scrolls the view that way, each edge as
// the other three, and a pixel further in scrolls nothing: in a window of the frame's size and
// in windows the frame is stretched over, larger and smaller.
TEST(GameCamera, EveryOutermostColumnAndRowOfTheWindowScrolls)
{
    PlayerSim play(false);
    play.SmallScreen();
    Settle(play);
    SDL_Window* window = PlatformWindow::GetHandle();
    ASSERT_NE(window, nullptr);
    const Uint32 id = SDL_GetWindowID(window);
    const GameCamera& view = play.View();
    Positional& place = play.CameraPlace();
    ASSERT_EQ(play.Width(), 320);
    ASSERT_EQ(play.Height(), 240);
    const struct
    {
        int width, height;
    } windows[] = {{320, 240}, {800, 600}, {200, 150}, {321, 241}};
    for (const auto& w : windows)
    {
        SDL_SetWindowSize(window, w.width, w.height);
        // Further in is a pixel of the frame further in, which is several of a larger window's.
        const int inX = std::max(1, (2 * w.width + play.Width() - 1) / play.Width());
        const int inY = std::max(1, (2 * w.height + play.Height() - 1) / play.Height());
        const struct
        {
            int x, y;
            float sideways, forward;
            const char* where;
        } spots[] = {
            {0, w.height / 2, 1, 0, "left edge"},
            {w.width - 1, w.height / 2, -1, 0, "right edge"},
            {w.width / 2, 0, 0, 1, "top edge"},
            {w.width / 2, w.height - 1, 0, -1, "bottom edge"},
            {0, 0, 1, 1, "top left corner"},
            {w.width - 1, w.height - 1, -1, -1, "bottom right corner"},
            {inX, w.height / 2, 0, 0, "inside the left edge"},
            {w.width - 1 - inX, w.height / 2, 0, 0, "inside the right edge"},
            {w.width / 2, inY, 0, 0, "inside the top edge"},
            {w.width / 2, w.height - 1 - inY, 0, 0, "inside the bottom edge"},
        };
        for (const auto& spot : spots)
        {
            Settle(play);
            SDL_Event motion = InputEvents::Motion(spot.x, spot.y);
            motion.motion.windowID = id;
            play.Send(motion);
            play.Step();
            Vector3 d = view.ViewDirection();
            d.y = 0.0f;
            d = d.Normalized();
            const Vector3 side(-d.z, 0.0f, d.x);
            const Vector3 v = place.GetVelocity();
            EXPECT_NEAR(DotProduct(v, side), spot.sideways * view.MoveSpeed, 1e-3f)
                << spot.where << " of a " << w.width << "x" << w.height << " window";
            EXPECT_NEAR(DotProduct(v, d), spot.forward * view.MoveSpeed, 1e-3f)
                << spot.where << " of a " << w.width << "x" << w.height << " window";
        }
    }
}

// D held for a third of a second moves the view as far with the game paused as in play: while
// the game clock stands the camera moves on the real one.
TEST(GameCamera, HeldKeyMovesTheViewAsFarPausedAsInPlay)
{
    PlayerSim play(false);
    Positional& place = play.CameraPlace();
    float moved[2] = {0.0f, 0.0f};
    for (const bool paused : {false, true})
    {
        play.Sim().Run(paused ? "SetPause true" : "SetPause false");
        Settle(play);
        play.Step();
        const Vector3 from = place.GetPosition();
        play.Key(SDL_SCANCODE_D, true);
        play.Step(20);
        play.Key(SDL_SCANCODE_D, false);
        play.Step();
        const Vector3 d = place.GetPosition() - from;
        moved[paused ? 1 : 0] = std::sqrt(d.x * d.x + d.z * d.z);
        place.SetPosition(from);
    }
    EXPECT_GT(moved[0], 10.0f) << "D held in play";
    EXPECT_NEAR(moved[1], moved[0], 0.02f * moved[0]) << "D held while paused";
}

TEST(GameCamera, SixHundredFramesKeepTheViewOnTheFieldAndTheHeightBand)
{
    PlayerSim play(false);
    play.SmallScreen();
    Settle(play);
    const GameCamera& view = play.View();
    int x = play.Width() / 2;
    for (int frame = 0; frame < 600; ++frame)
    {
        const int phase = frame / 50;
        switch (phase % 6)
        {
        case 0:
            play.Key(SDL_SCANCODE_W, true);
            play.Key(SDL_SCANCODE_UP, true);
            break;
        case 1:
            play.Key(SDL_SCANCODE_W, false);
            play.Key(SDL_SCANCODE_UP, false);
            play.MoveTo(0, play.Height() / 2);
            break;
        case 2:
            play.MoveTo(play.Width() / 2, play.Height());
            play.Send(InputEvents::Wheel(frame % 2 ? 1.0f : -1.0f));
            break;
        case 3:
            if (frame % 50 == 0)
            {
                play.MoveTo(x, play.Height() / 2);
                play.Down(1);
            }
            x = (x + 37) % play.Width();
            play.MoveTo(x, play.Height() / 2);
            break;
        case 4:
            play.Up(1);
            play.Key(SDL_SCANCODE_S, true);
            play.Send(InputEvents::Wheel(-3.0f));
            play.MoveTo(play.Width(), 0);
            break;
        default:
            play.Key(SDL_SCANCODE_S, false);
            play.Send(InputEvents::Wheel(4.0f));
            play.MoveTo(play.Width() / 3, play.Height() / 3);
            break;
        }
        play.Step();
        // The middle of the view stays on the field, under a level horizon.
        const Vector3 p = play.CameraPlace().GetPosition();
        const Vector3 centre = LookedAt(play);
        ASSERT_GE(centre.x, -0.01f) << frame;
        ASSERT_LE(centre.x, 256.01f) << frame;
        ASSERT_GE(centre.z, -0.01f) << frame;
        ASSERT_LE(centre.z, 256.01f) << frame;
        ASSERT_LT(view.ViewDirection().y, -0.3f) << frame;
        Vector3 right(1, 0, 0);
        play.CameraPlace().GetOrientation().RotateVector(right);
        ASSERT_NEAR(right.y, 0.0f, 1e-3f) << frame;
        ASSERT_GE(p.y, view.minZoom) << frame;
        ASSERT_LE(p.y, view.maxZoom) << frame;
        ASSERT_GE(p.y, GroundHeight(p.x, p.z) + 1.0f) << frame;
    }
}

TEST(GameCamera, LookAtKeepsTheHeightAndPutsTheTargetOnTheFacingLine)
{
    PlayerSim play(false);
    Settle(play);
    Positional& place = play.CameraPlace();
    const float height = place.GetPosition().y;
    const Vector3 target(100, 0, 40);
    play.View().LookAtPosition(target);
    const Vector3 p = place.GetPosition();
    EXPECT_NEAR(p.y, height, 1e-3f);
    const Vector3 d = place.GetDirection();
    const Vector3 onLine = p + d * ((target.y - p.y) / d.y);
    EXPECT_NEAR(onLine.x, target.x, 1e-3f);
    EXPECT_NEAR(onLine.z, target.z, 1e-3f);
    // A target above a camera that looks down: nothing moves.
    play.View().LookAtPosition(Vector3(5, height + 10, 5));
    EXPECT_EQ(place.GetPosition(), p);
}

TEST(GameCamera, ZoomStopsAtTheBandAndTheFlagsGateTheSteps)
{
    PlayerSim play(false);
    Settle(play);
    GameCamera& view = play.View();
    Positional& place = play.CameraPlace();
    place.StorePosition(Vector3(128, view.minZoom + 0.4f, 128));
    place.SetVelocity(Vector3());
    EXPECT_TRUE(view.Zoom(1.0f));
    EXPECT_EQ(place.GetVelocity(), Vector3()) << "within 0.5 of minZoom no speed is added";
    place.StorePosition(Vector3(128, view.maxZoom - 0.4f, 128));
    EXPECT_TRUE(view.Zoom(-1.0f));
    EXPECT_EQ(place.GetVelocity(), Vector3());
    place.StorePosition(Vector3(128, 500, 128));
    EXPECT_FALSE(view.Zoom(0.0f));
    EXPECT_EQ(place.GetPosition().y, view.maxZoom);

    view.SetEnableCamera(false);
    place.SetVelocity(Vector3(5, 0, 0));
    play.Step();
    EXPECT_EQ(place.GetVelocity().x, 5.0f) << "no damping while move and zoom are off";
    view.EnableCamera(false, true, false);
    play.Step();
    EXPECT_NEAR(place.GetVelocity().x, 5.0f * 0.85f, 1e-4f);
}

TEST(GameCamera, WithoutACameraItDoesNothingAndSaysSoOnce)
{
    PlayerSim play(false);
    CogFactory& cogs = play.Sim().Cogs();
    MakeCodeType(cogs, "Blind", {1, GameCamera::kTypeId});
    LogProbe log;
    Cog* blind = CreateAt(cogs, "Blind", Vector3(10, 50, 10));
    ASSERT_NE(blind, nullptr);
    play.Key(SDL_SCANCODE_W, true);
    play.Step(3);
    play.Key(SDL_SCANCODE_W, false);
    EXPECT_EQ(InvaderField::P(blind).GetVelocity(), Vector3());
    EXPECT_EQ(log.Count("GameCamera: its cog has no Camera"), 1);
}
