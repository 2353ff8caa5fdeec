#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/MathUtil.h"
#include "LOOM/math/Quat.h"
#include "LOOM/space/QTree.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/input/LogProbe.h"

namespace {

// A loom (no window) and a cog manager whose "Eye" cogs carry a Positional and a Camera.
class CameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mLoom.reset(GraphicsLoom::Create());
        RegisterPositional(mCogs);
        RegisterCamera(mCogs);
        mCogs.Types().RegisterType("Camera", MakeCodeType(mCogs, "Eye", {1, Camera::kTypeId}, "Camera"));
    }
    void TearDown() override
    {
        mCogs.DestroyAll();
        mLoom.reset();
    }

    Cog* MakeEye(Vector3 position, Vector3 up = {0.0f, 1.0f, 0.0f})
    {
        Cog* cog = mCogs.Instantiate("Eye");
        Cam(cog).SetView({}, {0.0f, 0.0f, 1.0f}, up);
        cog->Get<Positional>()->StorePosition(position);
        cog->Initialize();
        return cog;
    }
    static Camera& Cam(Cog* cog) { return *cog->Get<Camera>(); }
    static Positional& Place(Cog* cog) { return *cog->Get<Positional>(); }

    // A camera at the origin looking along +z (orientation turns (0, 0, -1) half round y).
    Camera& LookAlongZ(float nearPlane, float farPlane = 1000.0f)
    {
        Cog* cog = MakeEye({});
        Place(cog).SetOrientation(Quat::FromAxisAngle({0.0f, 1.0f, 0.0f}, PI));
        Camera& cam = Cam(cog);
        cam.SetNearPlane(nearPlane);
        cam.SetFarPlane(farPlane);
        cam.UpdateFromOwner();
        return cam;
    }

    std::unique_ptr<GraphicsLoom> mLoom;
    CogFactory mCogs;
};

} // namespace

TEST_F(CameraTest, LastAttachedIsActiveAndDyingLeavesNone)
{
    Cog* first = MakeEye({});
    EXPECT_EQ(mLoom->GetActiveCamera(), &Cam(first));
    EXPECT_TRUE(Cam(first).IsActive());
    Cog* second = MakeEye({});
    EXPECT_EQ(mLoom->GetActiveCamera(), &Cam(second));
    EXPECT_FALSE(Cam(first).IsActive());
    mCogs.Destroy(second);
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mLoom->GetActiveCamera(), nullptr);
    Cam(first).MakeActive();
    EXPECT_EQ(mLoom->GetActiveCamera(), &Cam(first));
}

TEST_F(CameraTest, ProjectionMatchesTheLeftHandedPerspective)
{
    Camera& cam = LookAlongZ(1.0f);
    cam.SetAspectRatio(1024.0f, 768.0f);
    EXPECT_NEAR(cam.GetAspectRatio(), 1.3333f, 1e-4f);
    // Setters wait for the next rebuild.
    EXPECT_NEAR(cam.GetProjection()[0], cam.GetProjection()[5] / (4.0f / 3.0f), 1e-6f);
    cam.SetFOV(PI / 3.0f);
    EXPECT_NEAR(cam.GetProjection()[5], 1.0f / std::tan(PI / 8.0f), 1e-5f);
    cam.BuildMatrices();
    const Matrix4 expected = Matrix4::PerspectiveFovLH(PI / 3.0f, 1024.0f / 768.0f, 1.0f, 1000.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(cam.GetProjection()[i], expected[i], 1e-5f) << i;
    EXPECT_EQ(cam.GetProjection()[15], 0.0f);
}

TEST_F(CameraTest, ViewMapsTheWorldIntoEyeSpace)
{
    Cog* cog = MakeEye({10.0f, 2.0f, -3.0f});
    Camera& cam = Cam(cog);
    Place(cog).SetOrientation(Quat::FromAxisAngle({0.0f, 1.0f, 0.0f}, PI));
    cam.UpdateFromOwner();
    // Straight ahead along +z, 5 units: view (0, 0, 5).
    const Vector3 v = cam.GetView().TransformPoint({10.0f, 2.0f, 2.0f});
    EXPECT_NEAR(v.x, 0.0f, 1e-5f);
    EXPECT_NEAR(v.y, 0.0f, 1e-5f);
    EXPECT_NEAR(v.z, 5.0f, 1e-5f);
    const Vector3 back = cam.GetViewInverse().TransformPoint(v);
    EXPECT_NEAR(back.z, 2.0f, 1e-5f);
    EXPECT_EQ(cam.GetViewRotationInverse()[12], 0.0f);
    EXPECT_EQ(cam.GetViewRotationInverse()[14], 0.0f);
}

TEST_F(CameraTest, NearAndFarEdgeCases)
{
    Camera& cam = LookAlongZ(1.0f);
    EXPECT_TRUE(cam.IsSphereOutside({0.0f, 0.0f, -0.5f}, 1.0f));
    EXPECT_FALSE(cam.IsSphereOutside({0.0f, 0.0f, 1001.0f}, 2.0f));
    EXPECT_TRUE(cam.IsSphereOutside({0.0f, 0.0f, 1003.0f}, 2.0f));
    EXPECT_TRUE(cam.IsBoxOutside({}, {}));
    EXPECT_FALSE(cam.IsBoxOutside({0.0f, 0.0f, 10.0f}, {1.0f, 1.0f, 1.0f}));
    EXPECT_TRUE(cam.IsBoxOutside({50.0f, 0.0f, 10.0f}, {1.0f, 1.0f, 1.0f}));
    const auto& extents = cam.GetExtents();
    EXPECT_NEAR(extents[2], std::tan(PI / 8.0f), 1e-6f);
    EXPECT_NEAR(extents[1], extents[2] * 4.0f / 3.0f, 1e-6f);
}

// Any sphere whose centre projects inside the view volume must survive the cull, whatever
// the near distance.
TEST_F(CameraTest, SpheresProjectingIntoTheViewAreNeverOutside)
{
    for (float nearPlane : {0.1f, 1.0f, 5.0f})
    {
        Camera& cam = LookAlongZ(nearPlane, 500.0f);
        const Matrix4 viewProj = cam.GetView() * cam.GetProjection();
        std::mt19937 random(7);
        std::uniform_real_distribution<float> coord(-300.0f, 300.0f);
        std::uniform_real_distribution<float> radius(0.01f, 3.0f);
        int inside = 0;
        for (int i = 0; i < 4000; ++i)
        {
            const Vector3 c(coord(random), coord(random), coord(random) + 200.0f);
            float clip[4] = {c.x, c.y, c.z, 1.0f};
            viewProj.TransformVector4(clip, clip);
            if (clip[3] <= 0.0f)
                continue;
            const float x = clip[0] / clip[3], y = clip[1] / clip[3], z = clip[2] / clip[3];
            if (std::fabs(x) > 0.999f || std::fabs(y) > 0.999f || z < 0.0f || z > 0.9999f)
                continue;
            ++inside;
            EXPECT_FALSE(cam.IsSphereOutside(c, radius(random))) << nearPlane << " " << c.x << "," << c.y << "," << c.z;
        }
        EXPECT_GT(inside, 100);
        // Just in front of the near plane is seen; just behind it is not.
        EXPECT_FALSE(cam.IsSphereOutside({0.0f, 0.0f, nearPlane * 1.01f}, nearPlane * 0.001f));
        EXPECT_TRUE(cam.IsSphereOutside({0.0f, 0.0f, nearPlane * 0.9f}, nearPlane * 0.01f));
    }
}

TEST_F(CameraTest, UnusableUpVectorKeepsTheLastRightAndLogsOnce)
{
    LogProbe log;
    Cog* cog = MakeEye({}, {0.0f, 0.0f, 0.0f});
    Camera& cam = Cam(cog);
    cam.UpdateFromOwner();
    cam.UpdateFromOwner();
    EXPECT_EQ(log.Count("UpVector"), 1);
    Vector3 forward;
    cam.GetForward(forward);
    // First frame: world x as right; the view stays invertible.
    EXPECT_NEAR(cam.GetView()[0], 1.0f, 1e-6f);
    EXPECT_FALSE(cam.IsSphereOutside({0.0f, 0.0f, -10.0f}, 1.0f));
    Matrix4 inverse;
    EXPECT_TRUE(cam.GetView().Inverse(inverse));
}

TEST_F(CameraTest, MarkVisibleMissesNothingTheCameraSees)
{
    QTree tree;
    ASSERT_TRUE(tree.Allocate(5));
    ASSERT_TRUE(tree.BuildTree(512.0f));
    Cog* cog = MakeEye({256.0f, 20.0f, 40.0f});
    Place(cog).SetOrientation(Quat::FromDirection(Vector3(0.3f, -0.2f, 1.0f).Normalized()));
    Camera& cam = Cam(cog);
    cam.SetFarPlane(300.0f);
    cam.UpdateFromOwner();

    std::mt19937 random(11);
    std::uniform_real_distribution<float> coord(1.0f, 511.0f);
    std::vector<std::unique_ptr<Spatial>> objects;
    for (int i = 0; i < 800; ++i)
    {
        auto obj = std::make_unique<Spatial>();
        obj->StorePosition({coord(random), coord(random) * 0.05f, coord(random)});
        obj->GetLocalSphere().radius = 2.0f;
        ASSERT_TRUE(tree.Insert(obj.get()));
        objects.push_back(std::move(obj));
    }
    tree.MarkVisible(cam.GetFrustumPlanes());
    int seen = 0;
    for (const auto& obj : objects)
    {
        if (!cam.IsSphereOutside(obj->GetWorldSphereCenter(), obj->GetRadius()))
        {
            ++seen;
            EXPECT_TRUE(obj->IsSeen());
        }
    }
    EXPECT_GT(seen, 10);
}

TEST_F(CameraTest, TheGamesCameraCogLooksUp)
{
    const std::string oldDataPath = GetDataPath();
    SetDataPath(std::string(LOOM_TEST_DATA) + "/../../data/");
    Cog* cog = mCogs.Allocate("Cogs/Camera.xml");
    SetDataPath(oldDataPath);
    ASSERT_NE(cog, nullptr);
    cog->Initialize();
    Camera& cam = Cam(cog);
    Vector3 up;
    cam.GetUpVector(up);
    EXPECT_EQ(up, Vector3(0.0f, 1.0f, 0.0f));
    EXPECT_FLOAT_EQ(cam.GetFarPlane(), 1000.0f);
    EXPECT_EQ(mLoom->GetActiveCamera(), &cam);
    // Unturned, it looks down -z with y up.
    cam.UpdateFromOwner();
    Vector3 forward;
    cam.GetForward(forward);
    EXPECT_NEAR(forward.z, -1.0f, 1e-6f);
    EXPECT_NEAR(cam.GetView()[5], 1.0f, 1e-6f);
}
