#include <gtest/gtest.h>

#include <cmath>

#include "LOOM/math/Quat.h"
#include "LOOM/math/Random.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/PathingTools.h"

// The walkers' quick facing and forward give what the general quaternion routines give.
TEST(Facing, QuickFormsAgreeWithTheGeneralOnes)
{
    RandomSeed(3);
    const float fixed[][2] = {{0, -1}, {0, 1}, {1, 0}, {-1, 0}, {1e-4f, 1}, {-1e-4f, 1}, {3, -4}};
    for (int i = 0; i < 200; ++i)
    {
        float dx = i < 7 ? fixed[i][0] : RandomFloat(-10, 10);
        float dz = i < 7 ? fixed[i][1] : RandomFloat(-10, 10);
        const Vector3 expected = Quat::FromDirection(dx, 0.0f, dz).GetForward();
        const Vector3 quick = ForwardOf(FacingQuat(dx, dz));
        EXPECT_NEAR(quick.x, expected.x, 1e-4f) << dx << "," << dz;
        EXPECT_NEAR(quick.y, expected.y, 1e-4f);
        EXPECT_NEAR(quick.z, expected.z, 1e-4f);
        const float h = std::sqrt(dx * dx + dz * dz);
        EXPECT_NEAR(quick.x, dx / h, 1e-4f) << "faces the direction";
        EXPECT_NEAR(quick.z, dz / h, 1e-4f);

        Quat q(RandomFloat(-1, 1), RandomFloat(-1, 1), RandomFloat(-1, 1), RandomFloat(-1, 1));
        q.Normalize();
        const Vector3 general = q.GetForward();
        const Vector3 forward = ForwardOf(q);
        EXPECT_NEAR(forward.x, general.x, 1e-4f);
        EXPECT_NEAR(forward.y, general.y, 1e-4f);
        EXPECT_NEAR(forward.z, general.z, 1e-4f);
    }
}
