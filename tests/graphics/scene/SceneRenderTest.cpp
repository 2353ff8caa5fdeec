#include <cstdlib>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/ConsoleCommand.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/Animation.h"
#include "graphics/model/animation/InverseKinematics.h"
#include "input/IOLoom.h"
#include "physics/RegionComp.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/graphics/scene/SceneFixture.h"
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
        ASSERT_NO_FATAL_FAILURE(SceneFixture::SetUp());
        {
            // Cog files name each other from the data folder.
            ScopedCwd cwd(RepoDataFolder());
            mCogs->Files().LoadCogFile("Cogs/Scene/Scene.xml");
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
            {
                ASSERT_EQ(pixel, kClear) << x << ", " << y;
            }
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
    EXPECT_GT(Brightness(PixelOf(image, {252.7f, 0.4f, 256.8f})),
              Brightness(PixelOf(image, {252.7f, 0.2f, 257.0f})) + 20);
    for (int i = 0; i < 5; ++i)
    {
        const float x = 256.0f + float(i) - 2.0f;
        EXPECT_GT(Brightness(PixelOf(image, {x, 3.4f, 256.1f})), Brightness(PixelOf(image, {x, 3.0f, 256.4f})) + 20)
            << i;
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
        {at + Vector3(0, 0, 20), {0, 0, -1}, true},     // ahead
        {at + Vector3(0, 0, 20), {0, 0, 1}, false},     // behind the origin
        {at + Vector3(4.9f, 0, 20), {0, 0, -3}, true},  // grazing inside the fixed radius
        {at + Vector3(5.1f, 0, 20), {0, 0, -1}, false}, // just outside it
        {at + Vector3(1, 1, 1), {1, 0, 0}, true},       // from inside
        {at + Vector3(1, 1, 1), {0, 0, 0}, true},       // no direction, inside
        {at + Vector3(9, 0, 0), {0, 0, 0}, false},      // no direction, outside
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

// The console's "GenIK" on the turret cog: the gun ends up pointing at the target, whichever
// side it lies on, and only the turret's pixels change.
TEST_F(SceneRender, GenIKTurnsTheTurretsGunTowardTheTarget)
{
    Model& model = Get<Model>(mTurret);
    AnimationObj& controller = model.GetAnimation();
    ConstraintInfo info;
    ASSERT_TRUE(LoadConstraintInfo(info, DataFilePath("Data/Constraints.xml")));
    ConsoleCommand* genIK = Console::Instance().FindCommand("GenIK");
    ASSERT_NE(genIK, nullptr);
    const Vector3 base = Place(mTurret).GetPositionValue();
    // The gun's direction on the ground plane: from the turning joint to the muzzle.
    auto aim = [&]() {
        const std::vector<Matrix4>& bones = controller.GetTrackMatrices();
        Vector3 d = bones[uint32_t(info.EndEffector)].GetTranslation() - bones[3].GetTranslation();
        d.y = 0.0f;
        return d.Normalized();
    };
    At(0.0f);
    const Image before = Frame();
    for (const Vector3 offset : {Vector3(10.0f, 1.6f, 0.0f), Vector3(-10.0f, 1.6f, 2.0f)})
    {
        Vector3 toTarget = offset;
        toTarget.y = 0.0f;
        toTarget = toTarget.Normalized();
        EXPECT_LT(DotProduct(aim(), toTarget), 0.9f) << "already aimed";
        ParamBuffer params;
        params.PushCog(mTurret);
        params.PushVector(base + offset);
        genIK->Execute(params);
        // The blend lasts the turn at 2 radians per second; then the pose holds.
        controller.Update(10.0f);
        EXPECT_EQ(controller.GetAnimationName(), "IKGenerated");
        const Image after = Frame();
        EXPECT_GT(DotProduct(aim(), toTarget), 0.98f) << offset.x;
        int changed = 0;
        for (uint32_t y = 0; y < before.mHeight; ++y)
            for (uint32_t x = 0; x < before.mWidth; ++x)
                if (before.GetARGB(x, y) != after.GetARGB(x, y))
                {
                    ASSERT_TRUE(TurretBox().Contains(int(x), int(y)));
                    ++changed;
                }
        EXPECT_GT(changed, 50);
        // Back to the base pose for the next target.
        controller.SetAnimationByName(info.BaseAnimation, false);
        controller.Update(0.0f);
        Frame();
    }
    // A cog without a skinned model is left alone.
    ParamBuffer params;
    params.PushCog(mCubes);
    params.PushVector(base);
    genIK->Execute(params);
    EXPECT_NE(Get<Model>(mCubes).GetAnimation().GetAnimationName(), "IKGenerated");
}

// The sun on the "Basic" effect: the red cube's top face follows the sun's height and the
// light-time table's light and ambient colours (red material 1, 0.15, 0.15 on white).
TEST_F(SceneRender, TheSunAndTheLightTimeLightTheModels)
{
    const float kHalfPi = 1.5707964f;
    const struct
    {
        float timeOfDay;
        int lightTime;
        int red, green, blue;
    } rows[] = {
        {0.0f, 3, 255, 38, 38},           // white sun overhead, no ambient
        {kHalfPi / 1.5f, 3, 128, 19, 19}, // the sun 60 degrees down: half the light
        {kHalfPi, 3, 0, 0, 0},            // on the horizon: the face is dark
        {kHalfPi, 0, 128, 23, 19},        // ambient 0.5, 0.6, 0.5
        {kHalfPi, 1, 51, 8, 11},          // ambient 0.2, 0.2, 0.3
        {0.0f, 2, 255, 19, 19},           // red sun over ambient 0.5
    };
    At(0.0f);
    for (const auto& row : rows)
    {
        Console::Instance().ExecuteLine("SetTimeOfDay " + std::to_string(row.timeOfDay));
        Console::Instance().ExecuteLine("SetLightTime " + std::to_string(row.lightTime));
        const uint32_t top = PixelOf(Frame(), {254.0f, 3.4f, 256.1f});
        EXPECT_NEAR(int((top >> 16) & 0xFF), row.red, 3) << row.timeOfDay << " " << row.lightTime;
        EXPECT_NEAR(int((top >> 8) & 0xFF), row.green, 3) << row.timeOfDay << " " << row.lightTime;
        EXPECT_NEAR(int(top & 0xFF), row.blue, 3) << row.timeOfDay << " " << row.lightTime;
    }
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

using BoundsRender = SceneFixture;

// "Bounding" draws a model's own volume and its region's: just inside the region's edge the
// clear colour is covered, just outside it stays.
TEST_F(BoundsRender, BoundingDrawsTheRegionVolumeToItsEdges)
{
    RegisterRegionComp(*mCogs);
    MakeType("Fenced", {Model::kTypeId, RegionComp::kTypeId});
    const Vector3 centre(256.0f, 5.0f, 256.0f);
    const struct
    {
        int32_t regionType;
        float edge; // half-width of the region along x
    } rows[] = {{0, 3.0f}, {1, 4.0f}};
    for (const auto& row : rows)
    {
        MakeEye({256.0f, 5.0f, 230.0f}, centre);
        Cog* cog = Make("Fenced", centre);
        Model& model = Get<Model>(cog);
        model.ModelFileName = "Models/UnitCube.lmf";
        model.FileShader = "Basic";
        RegionComp& region = Get<RegionComp>(cog);
        region.mRegionType = row.regionType;
        cog->Initialize();
        region.GetLocalSphere() = BoundingSphere{Vector3(), 3.0f};
        region.GetLocalBox() = BoundingBox{Vector3(-4.0f, -1.0f, -1.0f), Vector3(4.0f, 1.0f, 1.0f)};
        const Vector3 inside = centre + Vector3(row.edge - 0.3f, 0.0f, 0.0f);
        const Vector3 outside = centre + Vector3(row.edge + 0.5f, 0.0f, 0.0f);
        const Image plain = Frame();
        Console::Instance().ExecuteLine("Bounding");
        const Image bounded = Frame();
        Console::Instance().ExecuteLine("Bounding");
        for (const Image* image : {&plain, &bounded})
        {
            const Vector3 in = ToScreen(inside), out = ToScreen(outside);
            const bool drawn = image == &bounded;
            EXPECT_EQ(image->GetARGB(uint32_t(in.x), uint32_t(in.y)) != kClear, drawn) << row.regionType;
            EXPECT_EQ(image->GetARGB(uint32_t(out.x), uint32_t(out.y)), kClear) << row.regionType;
        }
        mCogs->DestroyAll();
    }
}
