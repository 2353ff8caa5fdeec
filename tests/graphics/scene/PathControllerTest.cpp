#include <gtest/gtest.h>

#include <numbers>

#include <cmath>
#include <memory>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "graphics/scene/SceneComponents.h"
#include "graphics/scene/path/Path.h"
#include "graphics/scene/path/PathController.h"
#include "tests/LOOM/support/CodeType.h"

namespace {

class PathControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mCogs.Types().RegisterComponent(PathController::kTypeId, SceneComponentFactory(PathController::kTypeId));
        MakeCodeType(mCogs, "Mover", {PathController::kTypeId});
    }
    void TearDown() override { mCogs.DestroyAll(); }

    PathController& Make()
    {
        Cog* cog = mCogs.Instantiate("Mover");
        auto* controller = cog->Get<PathController>();
        controller->FacingDir = Vector3(0, 0, -1);
        controller->MaxVelocity = 10.0f;
        cog->Initialize();
        return *controller;
    }

    CogFactory mCogs;
};

} // namespace

TEST(PathProfileTest, ValuesAtThePartsPoints)
{
    EXPECT_NEAR(PathController::SpeedProfile(0.1f, 0.2f, 0.8f), std::cos(-std::numbers::pi_v<float> / 4.0f), 1e-5f);
    EXPECT_NEAR(PathController::SpeedProfile(0.1f, 0.2f, 0.8f), 0.70710678f, 1e-5f);
    const float expected = (0.4f / std::numbers::pi_v<float> + 0.3f) / (0.8f / std::numbers::pi_v<float> + 0.6f);
    EXPECT_NEAR(PathController::DistanceProfile(0.5f, 0.2f, 0.8f), expected, 1e-6f);
    EXPECT_NEAR(expected, 0.5f, 1e-6f);

    struct Case
    {
        float t, speed, distance;
    };
    for (const Case& c :
         {Case{0.0f, 0.0f, 0.0f},
          Case{0.2f, 1.0f, 0.4f / std::numbers::pi_v<float> / (0.8f / std::numbers::pi_v<float> + 0.6f)},
          Case{0.5f, 1.0f, 0.5f},
          Case{0.8f, 1.0f, (0.4f / std::numbers::pi_v<float> + 0.6f) / (0.8f / std::numbers::pi_v<float> + 0.6f)},
          Case{1.0f, 0.0f, 1.0f}})
    {
        EXPECT_NEAR(PathController::SpeedProfile(c.t, 0.2f, 0.8f), c.speed, 1e-5f) << c.t;
        EXPECT_NEAR(PathController::DistanceProfile(c.t, 0.2f, 0.8f), c.distance, 1e-5f) << c.t;
    }
}

TEST(PathProfileTest, DistanceIsTheIntegralOfSpeed)
{
    for (float b : {0.8f, 0.6f, 0.95f})
    {
        const float a = 0.2f;
        // The distance's slope, times the normalising total, is the speed.
        const float total =
            2.0f * a / std::numbers::pi_v<float> + b - a + 2.0f * (1.0f - b) / std::numbers::pi_v<float>;
        double previous = 0.0;
        for (int i = 1; i <= 1000; ++i)
        {
            const float t = static_cast<float>(i) / 1000.0f;
            const double d = PathController::DistanceProfile(t, a, b);
            EXPECT_GE(d, previous - 1e-6) << t;
            if (i > 1 && i < 1000)
            {
                const double slope = (PathController::DistanceProfile(t + 5e-4f, a, b) -
                                      PathController::DistanceProfile(t - 5e-4f, a, b)) /
                    1e-3;
                EXPECT_NEAR(slope * total, PathController::SpeedProfile(t, a, b), 0.02) << "b " << b << " t " << t;
            }
            previous = d;
        }
    }
}

TEST(PathProfileTest, EaseOutAtOneNeverDividesByZero)
{
    for (float b : {1.0f, 1.5f})
    {
        EXPECT_EQ(PathController::SpeedProfile(1.0f, 0.2f, b), b <= 1.0f ? 0.0f : 1.0f);
        EXPECT_TRUE(std::isfinite(PathController::DistanceProfile(1.0f, 0.2f, b)));
    }
    EXPECT_FLOAT_EQ(PathController::DistanceProfile(1.0f, 0.2f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(PathController::SpeedProfile(1.0f, 0.2f, 1.0f), 0.0f);
}

TEST_F(PathControllerTest, InitializeSetsTheProfileAndJoinsTheList)
{
    const size_t before = PathController::Live().size();
    PathController& c = Make();
    EXPECT_EQ(PathController::Live().size(), before + 1);
    EXPECT_EQ(PathController::Live().back(), &c);
    EXPECT_FLOAT_EQ(c.EaseIn, 0.2f);
    EXPECT_FLOAT_EQ(c.EaseOut, 0.8f);
    EXPECT_EQ(c.StartFacing, Vector3(0, 0, -1));
    EXPECT_EQ(c.GetPath(), nullptr);
    EXPECT_EQ(c.mModel, nullptr);
    mCogs.DestroyAll();
    EXPECT_EQ(PathController::Live().size(), before);
}

TEST_F(PathControllerTest, PointsBuildAPathAndRecordingStartsAfresh)
{
    PathController& c = Make();
    c.AddPathPoint(0, 0, 0);
    ASSERT_NE(c.GetPath(), nullptr);
    c.AddPathPoint(0, 0, 4);
    c.AddPathPoint(3, 0, 4);
    EXPECT_EQ(c.GetPath()->GetPointCount(), 3u);
    EXPECT_TRUE(c.GetPath()->IsReady());
    EXPECT_FLOAT_EQ(c.Length, 7.0f);
    EXPECT_FLOAT_EQ(c.SpeedRatio, 10.0f / 7.0f);

    c.Update();
    EXPECT_EQ(c.GetPath()->GetPointCount(), 3u);
    c.StartRecording();
    c.Update();
    ASSERT_NE(c.GetPath(), nullptr);
    EXPECT_EQ(c.GetPath()->GetPointCount(), 0u);
    c.Update();
    c.AddPathPoint(1, 2, 3);
    EXPECT_EQ(c.GetPath()->GetPointCount(), 1u);
    c.StopRecording();
    c.Update();
    EXPECT_EQ(c.GetPath()->GetPointCount(), 1u);
    // Replaced paths are given back; ASan reports any that are not.
}
