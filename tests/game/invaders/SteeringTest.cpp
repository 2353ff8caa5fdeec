#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "LOOM/cogs/Positional.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "physics/collision/GridGround.h"
#include "tests/game/GameSim.h"

namespace {
// The steering as the slope formula states it, step by step, for comparison.
void SlopeSteer(Positional& at, const Vector3& target, float speed)
{
    const Vector3 from = at.GetPosition();
    const float dx = target.x - from.x;
    const float dz = target.z - from.z;
    const float flat = std::sqrt(dx * dx + dz * dz);
    if (!(flat > 1e-6f))
        return;
    const float dy = (GroundHeight(target.x, target.z) - GroundHeight(from.x, from.z)) / flat + 0.1f;
    const float scale = speed / std::sqrt(1.0f + dy * dy);
    Vector3 velocity(dx / flat * scale, dy * scale, dz / flat * scale);
    velocity.y = std::min(velocity.y, at.GetVelocity().y);
    at.SetVelocity(velocity);
    at.SetOrientation(FacingQuat(dx, dz));
}

void ExpectSame(const Positional& a, const Positional& b, const std::string& what)
{
    EXPECT_EQ(a.GetVelocity().x, b.GetVelocity().x) << what;
    EXPECT_EQ(a.GetVelocity().y, b.GetVelocity().y) << what;
    EXPECT_EQ(a.GetVelocity().z, b.GetVelocity().z) << what;
    const Quat& p = a.GetOrientation();
    const Quat& q = b.GetOrientation();
    EXPECT_TRUE(p.w == q.w && p.x == q.x && p.y == q.y && p.z == q.z) << what;
}
} // namespace

// Steering toward a tile gives, to the last bit, what the slope formula gives: on level ground
// (where the slope math is skipped), on a raised plateau, up and down a slope, and when already
// at the centre.
TEST(Steering, TileSteeringMatchesTheSlopeFormula)
{
    GameSim sim;
    GridMaker grid{sim};
    TileMap& map = grid.Map(16, 16, Vector3(0, 0, 0), Vector3(4, 4, 4));
    GridGround ground(17, 17, 4.0f);
    for (uint32_t z = 0; z < 17; ++z)
        for (uint32_t x = 0; x < 17; ++x)
            ground.SetHeight(x, z, x >= 8 && x < 12 && z < 8 ? 3.0f : (z >= 8 ? 0.5f * float(z - 8) : 0.0f));
    ground.ComputeNormals();
    Ground::SetCurrent(&ground);

    struct Case
    {
        const char* mWhat;
        Vector3 mFrom;
        TileIndex mTile;
        float mRise; // the climb the case means to have, checked against the ground
    };
    const Case cases[] = {
        {"level ground", {6.3f, 0.0f, 9.1f}, {3, 1}, 0.0f},
        {"level, the other way", {21.7f, 0.0f, 2.2f}, {1, 0}, 0.0f},
        {"raised plateau", {34.1f, 3.0f, 5.0f}, {9, 0}, 0.0f},
        {"up the slope", {10.0f, 0.0f, 30.0f}, {2, 13}, 1.0f},
        {"down the slope", {6.0f, 0.0f, 54.0f}, {1, 9}, -1.0f},
        {"at the centre", {14.0f, 0.0f, 6.0f}, {3, 1}, 0.0f},
    };
    for (const Case& c : cases)
    {
        const Vector3 centre = TileCentre(map, c.mTile);
        const float rise = centre.y - GroundHeight(c.mFrom.x, c.mFrom.z);
        EXPECT_EQ(rise > 0.0f ? 1.0f : rise < 0.0f ? -1.0f : 0.0f, c.mRise) << c.mWhat;
        for (float upward : {5.0f, -2.0f})
        {
            Positional fast;
            Positional general;
            Positional slope;
            for (Positional* at : {&fast, &general, &slope})
            {
                at->SetPosition(c.mFrom);
                at->SetVelocity(Vector3(0.25f, upward, -0.5f));
            }
            SteerToTile(fast, map, c.mTile, 37.0f);
            SteerToward(general, centre, 37.0f);
            SlopeSteer(slope, centre, 37.0f);
            ExpectSame(fast, slope, std::string(c.mWhat) + ", to the tile");
            ExpectSame(general, slope, std::string(c.mWhat) + ", to the point");
        }
    }
    Ground::ClearCurrent(&ground);
}
