#include <cstdlib>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/calls/ParamBuffer.h"
#include "graphics/model/Animation.h"
#include "graphics/model/Mesh.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/graphics/scene/SceneFixture.h"
#include "graphics/model/InverseKinematics.h"
#include "input/IOLoom.h"
#include "tests/input/InputEvents.h"
#include "tests/input/LogProbe.h"

namespace {

// The scene of the test data folder: a turret, a row of five cubes, an invader, a HUD bar
// and a camera, composed in XML and made by the cog factory.
class SceneRender : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        if (HasFatalFailure())
            return;
        {
            // Cog files name each other from the data folder.
            ScopedCwd cwd(RepoDataFolder());
            mCogs->file("Cogs/Scene/Scene.xml");
        }
        mTurret = mCogs->FindCogByName("Turret");
        mCubes = mCogs->FindCogByName("Cubes");
        mInvader = mCogs->FindCogByName("Invader");
        mBar = mCogs->FindCogByName("Bar");
        ASSERT_TRUE(mTurret && mCubes && mInvader && mBar && mLoom->GetActiveCamera());
        Get<SkinModel>(mInvader).GetAnimation().SetAnimationByName("Walk", true);
        // The first frame after loading can shade posed parts differently from every later
        // one (the poses themselves are equal); captures start from the second.
        mLoom->Update();
    }

    // Every animated model at time t of a clock that started with them.
    void At(float t)
    {
        for (AnimationObj* controller : {&Get<Model>(mTurret).GetAnimation(), &Get<SkinModel>(mInvader).GetAnimation()})
        {
            controller->CurTime = 0.0f;
            controller->Update(t);
        }
    }

    ScreenBox TurretBox() { return BoxOnScreen({249.8f, 0, 253.8f}, {254.2f, 2.6f, 258.2f}); }
    ScreenBox InvaderBox() { return BoxOnScreen({257.9f, 0, 255.5f}, {259.1f, 2.3f, 256.5f}); }
    ScreenBox CubesBox() { return BoxOnScreen({253.5f, 2.6f, 255.6f}, {258.5f, 3.4f, 256.4f}); }
    ScreenBox BarBox() { return BoxOnScreen({253.4f, 0.5f, 258.9f}, {255.6f, 1.1f, 259.1f}); }

    uint32_t PixelOf(const Image& image, const Vector3& world)
    {
        const Vector3 s = ToScreen(world);
        return image.GetARGB(uint32_t(s.x), uint32_t(s.y));
    }

    void Send(Cog* cog, const std::string& message, ParamBuffer& params) { cog->CallFunction(message, params); }

    Cog* mTurret = nullptr;
    Cog* mCubes = nullptr;
    Cog* mInvader = nullptr;
    Cog* mBar = nullptr;
};

} // namespace

TEST_F(SceneRender, OnlyTheDrawnObjectsLeaveTheClearColour)
{
    At(0.25f);
    const Image image = Frame();
    const ScreenBox boxes[] = {TurretBox(), InvaderBox(), CubesBox()};
    int drawn = 0;
    for (uint32_t y = 0; y < image.mHeight; ++y)
        for (uint32_t x = 0; x < image.mWidth; ++x)
        {
            bool inside = false;
            for (const ScreenBox& box : boxes)
                inside |= box.Contains(int(x), int(y));
            const uint32_t pixel = image.GetARGB(x, y);
            if (!inside)
                ASSERT_EQ(pixel, kClear) << x << ", " << y;
            drawn += pixel != kClear;
        }
    EXPECT_GT(drawn, 5000);
    // The models counted their triangles.
    EXPECT_GT(mLoom->GetCounters().mTriangles, 100u);
}

TEST_F(SceneRender, TheSideTowardTheLightIsBrighter)
{
    At(0.0f);
    const Image image = Frame();
    // The turret's base and each cube: top face (lit from above) against the face toward us.
    EXPECT_GT(Brightness(PixelOf(image, {252.7f, 0.4f, 256.8f})), Brightness(PixelOf(image, {252.7f, 0.2f, 257.0f})) + 20);
    for (int i = 0; i < 5; ++i)
    {
        const float x = 256.0f + float(i) - 2.0f;
        EXPECT_GT(Brightness(PixelOf(image, {x, 3.4f, 256.1f})), Brightness(PixelOf(image, {x, 3.0f, 256.4f})) + 20) << i;
    }
}

TEST_F(SceneRender, AnimationChangesOnlyTheAnimatedModelsAndRepeats)
{
    At(0.25f);
    const Image early = Frame();
    At(0.75f);
    const Image late = Frame();
    At(0.25f);
    const Image again = Frame();
    EXPECT_EQ(early.mPixels, again.mPixels);

    const ScreenBox turret = TurretBox();
    const ScreenBox invader = InvaderBox();
    int inTurret = 0, inInvader = 0;
    for (uint32_t y = 0; y < early.mHeight; ++y)
        for (uint32_t x = 0; x < early.mWidth; ++x)
        {
            if (early.GetARGB(x, y) == late.GetARGB(x, y))
                continue;
            const bool t = turret.Contains(int(x), int(y)), v = invader.Contains(int(x), int(y));
            ASSERT_TRUE(t || v) << x << ", " << y;
            inTurret += t;
            inInvader += v;
        }
    EXPECT_GT(inTurret, 50);
    EXPECT_GT(inInvader, 20);
}

TEST_F(SceneRender, HudBarAtHalfFillsHalfItsBackground)
{
    ParamBuffer percent;
    percent.PushFloat(0.5f);
    Send(mBar, "SetPercent", percent);
    ParamBuffer show;
    show.PushBool(true);
    Send(mBar, "ShowBar", show);
    At(0.0f);
    const Image image = Frame();
    const Vector3 centre = ToScreen(Place(mBar).GetPositionValue() + Get<HudDisplay>(mBar).Offset);
    int fill = 0, background = 0;
    for (uint32_t x = 0; x < image.mWidth; ++x)
    {
        const uint32_t pixel = image.GetARGB(x, uint32_t(centre.y));
        fill += pixel == 0xFF00FF00u;
        background += pixel == 0xFF666666u;
    }
    ASSERT_GT(fill, 20);
    EXPECT_NEAR(double(fill) / double(fill + background), 0.5, 0.03);
    // The fill lies on the left half of the background.
    EXPECT_EQ(image.GetARGB(uint32_t(centre.x) - 3, uint32_t(centre.y)), 0xFF00FF00u);
    EXPECT_EQ(image.GetARGB(uint32_t(centre.x) + 3, uint32_t(centre.y)), 0xFF666666u);

    // Hidden again: the bar's place is the clear colour.
    show.Clear();
    show.PushBool(false);
    Send(mBar, "ShowBar", show);
    const Image hidden = Frame();
    EXPECT_EQ(hidden.GetARGB(uint32_t(centre.x) - 3, uint32_t(centre.y)), kClear);
}

TEST_F(SceneRender, PartsTakeTheirMaterialsAndHide)
{
    At(0.0f);
    auto cube = [&](int i) { return Vector3(256.0f + float(i) - 2.0f, 3.0f, 256.4f); };
    const Image image = Frame();
    const int expected[5] = {0, 1, 2, 0, 0};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Channel(PixelOf(image, cube(i))), expected[i]) << "part " << i;

    Model& model = Get<Model>(mCubes);
    model.SetSubMeshVisible(2, false);
    const Image hidden = Frame();
    EXPECT_EQ(PixelOf(hidden, cube(2)), kClear);
    EXPECT_EQ(Channel(PixelOf(hidden, cube(1))), 1);

    const int asserts = AssertFailureCount();
    model.SetSubMeshVisible(5, false);
    EXPECT_EQ(AssertFailureCount(), asserts + 1);
    const Image same = Frame();
    EXPECT_EQ(same.mPixels, hidden.mPixels);
}

TEST_F(SceneRender, PickingCountsOnlyWhatLiesAhead)
{
    Model& model = Get<Model>(mTurret);
    const Vector3 at = Place(mTurret).GetPositionValue();
    struct Case
    {
        Vector3 origin, direction;
        bool hit;
    };
    const Case cases[] = {
        {at + Vector3(0, 0, 20), {0, 0, -1}, true},      // ahead
        {at + Vector3(0, 0, 20), {0, 0, 1}, false},      // behind the origin
        {at + Vector3(4.9f, 0, 20), {0, 0, -3}, true},   // grazing inside the fixed radius
        {at + Vector3(5.1f, 0, 20), {0, 0, -1}, false},  // just outside it
        {at + Vector3(1, 1, 1), {1, 0, 0}, true},        // from inside
        {at + Vector3(1, 1, 1), {0, 0, 0}, true},        // no direction, inside
        {at + Vector3(9, 0, 0), {0, 0, 0}, false},       // no direction, outside
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(model.Intersect(c.origin, c.direction), c.hit) << c.origin.x << " " << c.direction.z;
        EXPECT_EQ(Get<SkinModel>(mInvader).Intersect(c.origin + Vector3(6.5f, 0, 0), c.direction), c.hit);
    }
}

TEST_F(SceneRender, CycleAnimationsFollowsAFreshClick)
{
    std::unique_ptr<IOLoom> io(IOLoom::Create());
    AnimationObj& turret = Get<Model>(mTurret).GetAnimation();
    ASSERT_EQ(turret.GetAnimationName(), "Idle");
    mCogs->UpdateAll();
    EXPECT_EQ(turret.GetAnimationName(), "Idle");
    io->HandleEvent(InputEvents::Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    io->Update();
    mCogs->UpdateAll();
    EXPECT_EQ(turret.GetAnimationName(), "Activate");
    EXPECT_TRUE(turret.LoopAnimation);
    // Held, not fresh: no further step.
    io->Update();
    mCogs->UpdateAll();
    EXPECT_EQ(turret.GetAnimationName(), "Activate");
}

TEST_F(SceneRender, InverseKinematicsAimsTheTurretThroughItsModel)
{
    Model& model = Get<Model>(mTurret);
    AnimationObj& controller = model.GetAnimation();
    ConstraintInfo info;
    ASSERT_TRUE(LoadConstraintInfo(info, DataFilePath("Data/Constraints.xml")));
    IKPlacement placement{Place(mTurret).GetPositionValue(), Place(mTurret).GetOrientation(), model.Scale};
    const Vector3 target = Place(mTurret).GetPositionValue() + Vector3(10.0f, 1.6f, 0.0f);
    At(0.0f);
    const Image before = Frame();
    ASSERT_TRUE(GenerateIKAnimation(model.GetMesh()->GetSkeleton(), controller, placement, info, target, 100.0f));
    controller.Update(10.0f);
    controller.Update(0.0f);
    EXPECT_EQ(controller.GetAnimationName(), "IKGenerated");
    const Image after = Frame();
    // The gun turned: only the turret's pixels changed.
    const ScreenBox box = TurretBox();
    int changed = 0;
    for (uint32_t y = 0; y < before.mHeight; ++y)
        for (uint32_t x = 0; x < before.mWidth; ++x)
            if (before.GetARGB(x, y) != after.GetARGB(x, y))
            {
                ASSERT_TRUE(box.Contains(int(x), int(y)));
                ++changed;
            }
    EXPECT_GT(changed, 50);
}

// Picking after a frame: the passes leave the device's transforms as they like; screen and ray
// still come from the active camera, so a point projects to where the camera shows it.
TEST_F(SceneRender, ScreenAndRayFollowTheActiveCameraAfterAFrame)
{
    Cog* eye = MakeEye({256, 20, 200}, {256, 0, 256});
    Frame();
    const Camera& camera = Get<Camera>(eye);
    Matrix4 viewProjection;
    camera.GetView().Multiply(camera.GetProjection(), viewProjection);
    for (const Vector3& point : {Vector3(256, 0, 256), Vector3(250, 2, 240), Vector3(262, 5, 270)})
    {
        const Vector3 clip = viewProjection.TransformCoord(point);
        const Vector3 screen = mLoom->WorldToScreen(point);
        EXPECT_NEAR(screen.x, (clip.x + 1.0f) / 2.0f * float(mLoom->GetScreenWidth()), 0.01f);
        EXPECT_NEAR(screen.y, (1.0f - clip.y) / 2.0f * float(mLoom->GetScreenHeight()), 0.01f);
        const Ray ray = mLoom->ScreenToWorldRay(screen.x, screen.y);
        const Vector3 to = point - ray.origin;
        const Vector3 d = ray.direction.Normalized();
        const float along = to.x * d.x + to.y * d.y + to.z * d.z;
        const Vector3 off = to - d * along;
        EXPECT_GT(along, 0.0f);
        EXPECT_LT(off.Length(), 0.01f * to.Length());
    }
}
