#include <gtest/gtest.h>

#include "game/logic/DropPreview.h"
#include "game/logic/TrapDrop.h"
#include "tests/game/components/GameTestSeam.h"

namespace {
constexpr Color kGreen{0, 1, 0, 0.35f};
constexpr Color kRed{1, 0, 0, 0.35f};

struct DropScene
{
    GameSim sim;
    InvaderField field{sim};
    KindSeam seam;
    DropPreview& Preview() { return sim.Data().mDropPreview; }
    Vector3 At(int32_t x, int32_t z) { return field.Centre(x, z); }
    size_t Count(const std::string& group) { return sim.Cogs().GetGroupCogs(group).size(); }
    size_t Dust()
    {
        size_t n = 0;
        for (Cog* cog : sim.Cogs().GetGroupCogs("effects"))
            n += cog && cog->Get<TimedDeathComp>();
        return n;
    }
    bool IsColour(Cog* cog, const Color& c)
    {
        const Color& got = seam.mColors[cog->GetID()];
        return got.r == c.r && got.g == c.g && got.b == c.b && got.a == c.a;
    }
};
} // namespace

TEST(DropPreview, DragsSnapToTheFourAxes)
{
    const struct
    {
        Vector3 mDrag;
        Vector3 mFacing;
    } cases[] = {{{3, 0, -5}, {0, 0, -1}}, {{5, 0, 3}, {1, 0, 0}},   {{0.00005f, 0, 0}, {1, 0, 0}},
                 {{0, 0, 0}, {0, 0, 1}},   {{-2, 9, 1}, {-1, 0, 0}}, {{0, 0, 0.00001f}, {0, 0, 1}}};
    for (const auto& c : cases)
        EXPECT_EQ(DropPreview::SnapDirection(c.mDrag), c.mFacing) << c.mDrag.x << "," << c.mDrag.z;
}

TEST(DropPreview, ALineIsGreenWhileTheCreditsLast)
{
    DropScene s;
    s.sim.Data().mTrapInfo["wall"].creditCost = 100;
    s.sim.Data().SetPoints(350);
    DropPreview& p = s.Preview();
    ASSERT_TRUE(p.SelectTrap("wall"));
    EXPECT_EQ(p.mMode, DropPreview::ModeTrap);
    p.Update(s.At(10, 10));
    EXPECT_TRUE(p.BeginLine());
    EXPECT_EQ(p.mMode, DropPreview::ModeLine);
    EXPECT_FALSE(PosOf(p.PreviewCog())->IsVisible()) << "the single preview hides during a line";
    p.Update(s.At(14, 10));
    ASSERT_EQ(p.LinePreviews().size(), 5u);
    for (size_t i = 0; i < 5; ++i)
    {
        Cog* cog = s.sim.Cogs().GetCog(p.LinePreviews()[i]);
        EXPECT_TRUE(s.IsColour(cog, i < 3 ? kGreen : kRed)) << i;
        EXPECT_TRUE(PosOf(cog)->IsVisible());
    }
    // A shorter drag hides the rest of the pool.
    p.Update(s.At(12, 10));
    EXPECT_FALSE(PosOf(s.sim.Cogs().GetCog(p.LinePreviews()[4]))->IsVisible());
}

TEST(DropPreview, ALineDragPlacesWallsOnItsFreeTiles)
{
    DropScene s;
    s.sim.Data().SetPoints(1000);
    ASSERT_NE(CreateAt(s.sim.Cogs(), "wall", s.At(12, 10)), nullptr);
    const size_t before = s.Count("walls");
    DropPreview& p = s.Preview();
    ASSERT_TRUE(p.SelectTrap("wall"));
    p.Update(s.At(10, 10));
    ASSERT_TRUE(p.BeginLine());
    p.Update(s.At(15, 10));
    EXPECT_FALSE(p.CommitLine());
    EXPECT_EQ(p.mMode, DropPreview::ModeTrap);
    EXPECT_EQ(s.Count("walls"), before + 5) << "six tiles, one taken";
    EXPECT_EQ(s.sim.Data().GetPoints(), 1000 - 5 * s.sim.Data().GetTrapInfo("wall").creditCost);
    for (int32_t x = 10; x <= 15; ++x)
        EXPECT_NE(s.field.Map().GetTile(x, 10).occupant, nullptr) << x;
}

TEST(DropPreview, OrientingTrapsAimOnGoodSpotsOnly)
{
    DropScene s;
    s.sim.Data().SetPoints(1000);
    DropPreview& p = s.Preview();
    ASSERT_TRUE(p.SelectTrap("fan"));
    ASSERT_TRUE(p.mTrapInfo.MustOrient);
    // A taken spot: nothing happens.
    ASSERT_NE(CreateAt(s.sim.Cogs(), "wall", s.At(20, 20)), nullptr);
    p.Update(s.At(20, 20));
    EXPECT_TRUE(s.IsColour(p.PreviewCog(), kRed));
    EXPECT_FALSE(p.TryDrop());
    EXPECT_EQ(p.mMode, DropPreview::ModeTrap);
    EXPECT_EQ(p.ArrowCog(), nullptr);

    // A free one: aim, then drop facing the drag.
    p.Update(s.At(30, 30));
    EXPECT_TRUE(s.IsColour(p.PreviewCog(), kGreen));
    EXPECT_FALSE(p.TryDrop());
    EXPECT_EQ(p.mMode, DropPreview::ModeAim);
    ASSERT_NE(p.ArrowCog(), nullptr);
    p.Update(s.At(30, 30) + Vector3(3, 0, -5));
    EXPECT_EQ(p.mDirection, Vector3(0, 0, -1));
    const size_t traps = s.Count("traps");
    EXPECT_TRUE(p.TryDrop());
    EXPECT_EQ(p.mMode, DropPreview::ModeTrap);
    EXPECT_FALSE(PosOf(p.ArrowCog())->IsVisible());
    ASSERT_EQ(s.Count("traps"), traps + 1);
    Cog* fan = s.sim.Cogs().GetGroupCogs("traps").back();
    const Vector3 f = PosOf(fan)->GetOrientation().GetForward();
    EXPECT_NEAR(f.z, -1.0f, 1e-4f);
}

TEST(DropPreview, DustOnlyWhileRunningAndOutsideEditMode)
{
    const struct
    {
        bool mPaused;
        bool mEdit;
        size_t mDust;
    } cases[] = {{false, false, 1}, {true, false, 0}, {false, true, 0}};
    for (const auto& c : cases)
    {
        DropScene s;
        s.sim.Data().SetPoints(1000);
        DropPreview& p = s.Preview();
        ASSERT_TRUE(p.SelectTrap("spikes"));
        p.Update(s.At(30, 30));
        s.sim.Engine().GetGameClock().SetPaused(c.mPaused);
        s.sim.Data().SetEditMode(c.mEdit);
        const size_t traps = s.Count("traps");
        EXPECT_TRUE(p.TryDrop());
        EXPECT_EQ(s.Count("traps"), traps + 1) << "placed either way";
        EXPECT_EQ(s.Dust(), c.mDust);
        EXPECT_EQ(s.sim.Data().GetPoints(), c.mEdit ? 1000 : 1000 - s.sim.Data().GetTrapInfo("spikes").creditCost);
        s.sim.Engine().GetGameClock().SetPaused(false);
    }
}

TEST(DropPreview, FailedDropsSpendNothingAndLeaveNothing)
{
    DropScene s;
    DataController& data = s.sim.Data();
    data.SetPoints(1000);
    // A record with no cog type, and one whose cog stands on no tiles.
    data.mTrapInfo["ghost"] = data.GetTrapInfo("spikes");
    data.mTrapInfo["rock"] = data.GetTrapInfo("spikes");
    const size_t cogs = s.sim.Cogs().GetCogCount();
    EXPECT_FALSE(AttemptTrapDrop("ghost", s.At(30, 30), Vector3(1, 0, 0)));
    EXPECT_FALSE(AttemptTrapDrop("rock", s.At(30, 30), Vector3(1, 0, 0)));
    data.SetPoints(3);
    EXPECT_FALSE(AttemptTrapDrop("spikes", s.At(30, 30), Vector3(1, 0, 0))) << "too dear";
    data.SetEditMode(true);
    EXPECT_FALSE(AttemptTrapDrop("spikes", Vector3(-500, 0, -500), Vector3(1, 0, 0))) << "off the map";
    data.SetEditMode(false);
    s.sim.Step();
    EXPECT_EQ(s.sim.Cogs().GetCogCount(), cogs);
    EXPECT_EQ(data.GetPoints(), 3);
    // Snapped to a 2 x 2 block near the point, and a snapped point stays put.
    const Vector3 snapped = SnapTrapDropPosition("spikes", s.At(30, 30) + Vector3(0.3f, 0, 0.3f));
    EXPECT_EQ(SnapTrapDropPosition("spikes", snapped), snapped);
    EXPECT_LE(std::fabs(snapped.x - s.At(30, 30).x), s.field.Map().GetTileScale());
}

TEST(DropPreview, ASoftRestartLetsNoStaleIdMoveAnotherCog)
{
    DropScene s;
    s.sim.Data().SetPoints(1000);
    DropPreview& p = s.Preview();
    ASSERT_TRUE(p.SelectTrap("spikes"));
    p.Update(s.At(10, 10));
    const uint32_t oldId = p.PreviewCog()->GetID();
    s.sim.Run("SoftRestart");
    s.sim.Step();
    EXPECT_EQ(p.PreviewCog(), nullptr);
    EXPECT_EQ(p.mMode, DropPreview::ModeNone);
    // New cogs take the old IDs; none of them is the preview.
    std::vector<Cog*> others;
    for (int i = 0; i < 8; ++i)
        others.push_back(CreateAt(s.sim.Cogs(), "rock", Vector3(5.0f * float(i), 0, 0)));
    bool reused = false;
    for (Cog* cog : others)
        reused |= cog->GetID() == oldId;
    EXPECT_TRUE(reused) << "the test needs the old ID taken";
    // The level went with the restart: the field's map is gone too.
    p.Update(Vector3(160, 0, 160));
    for (size_t i = 0; i < others.size(); ++i)
        EXPECT_EQ(PosOf(others[i])->GetPosition().x, 5.0f * float(i));
    GridMaker grid{s.sim};
    TileMap& map = grid.Map(64, 64, Vector3(0, 0, 0), Vector3(4, 4, 4));
    ASSERT_TRUE(p.SelectTrap("spikes"));
    Cog* fresh = p.PreviewCog();
    ASSERT_NE(fresh, nullptr);
    for (Cog* cog : others)
        EXPECT_NE(cog, fresh);
    p.Update(map.TileToWorld(40, 40));
    EXPECT_EQ(PosOf(fresh)->GetPosition().x, SnapTrapDropPosition("spikes", map.TileToWorld(40, 40)).x);
    for (size_t i = 0; i < others.size(); ++i)
        EXPECT_EQ(PosOf(others[i])->GetPosition().x, 5.0f * float(i));
}
