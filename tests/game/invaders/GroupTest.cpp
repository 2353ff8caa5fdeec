#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "game/invaders/InvaderGroup.h"
#include "game/invaders/PathingTools.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
// Invaders that are only records: no cog, no engine.
std::vector<std::unique_ptr<Kestrane>> Records(size_t n)
{
    std::vector<std::unique_ptr<Kestrane>> out;
    for (size_t i = 0; i < n; ++i)
        out.push_back(std::make_unique<Kestrane>());
    return out;
}

struct SpeedCase
{
    TileIndex mMember;
    float mOwnSpeed;
    float mExpected;
};
} // namespace

TEST(InvaderGroup, MembershipRules)
{
    auto invaders = Records(7);
    InvaderGroupList list;
    Kestrane* leader = invaders[0].get();
    InvaderGroup* group = list.CreateGroup(leader);
    leader->mRun.mGroup = group;
    for (size_t i = 1; i <= 5; ++i)
        group->AddMember(invaders[i].get());
    Kestrane& sixth = *invaders[6];
    sixth.mRun.mCurrentSpeed = 3.0f;
    group->AddMember(&sixth);
    EXPECT_EQ(group->GetMembers().size(), 5u);
    EXPECT_EQ(sixth.mRun.mGroup, nullptr);
    EXPECT_FLOAT_EQ(sixth.mRun.mCurrentSpeed, 3.0f) << "a refused member keeps its speed";

    group->RemoveMember(leader);
    EXPECT_EQ(leader->mRun.mGroup, group) << "the leader cannot be removed";
    invaders[2]->mRun.mCurrentSpeed = 1.0f;
    group->RemoveMember(invaders[2].get());
    EXPECT_EQ(invaders[2]->mRun.mGroup, nullptr);
    EXPECT_FLOAT_EQ(invaders[2]->mRun.mCurrentSpeed, 10.0f);
    EXPECT_EQ(group->GetMembers().size(), 4u);

    // A destroyed member leaves; a destroyed leader takes the group with it.
    invaders[3].reset();
    EXPECT_EQ(group->GetMembers().size(), 3u);
    invaders[4]->mRun.mCurrentTile = {5, 5};
    group->Disband();
    EXPECT_TRUE(group->GetMembers().empty());
    EXPECT_EQ(invaders[4]->mRun.mTargetTile, (TileIndex{5, 5}));
    EXPECT_EQ(leader->mRun.mGroup, group) << "the leader keeps its group";
    group->AddMember(invaders[4].get());
    {
        InvaderGroupList gone;
        InvaderGroup* other = gone.CreateGroup(invaders[5].get());
        invaders[5]->mRun.mGroup = other;
        other->AddMember(invaders[1].get());
    }
    EXPECT_EQ(invaders[5]->mRun.mGroup, nullptr) << "a list that goes clears its invaders";
    EXPECT_EQ(invaders[1]->mRun.mGroup, nullptr);
}

TEST(InvaderGroup, MembersCatchUpByTheirDistance)
{
    const SpeedCase cases[] = {
        {{13, 10}, 5.0f, 2.2f},
        {{10, 7}, 2.1f, 2.1f},
        {{11, 11}, 5.0f, 2.0f},
        {{11, 10}, 1.5f, 1.5f},
    };
    for (const SpeedCase& c : cases)
    {
        auto invaders = Records(2);
        InvaderGroupList list;
        invaders[0]->mMoveSpeed = 2.0f;
        invaders[0]->mRun.mCurrentTile = {10, 10};
        InvaderGroup* group = list.CreateGroup(invaders[0].get());
        invaders[0]->mRun.mGroup = group;
        invaders[1]->mMoveSpeed = c.mOwnSpeed;
        invaders[1]->mRun.mCurrentTile = c.mMember;
        group->AddMember(invaders[1].get());
        // No "Cursor" cog exists: the step only sets speeds and targets.
        list.Update();
        EXPECT_NEAR(invaders[1]->mRun.mCurrentSpeed, c.mExpected, 1e-5f);
        EXPECT_EQ(invaders[1]->mRun.mTargetTile, (TileIndex{10, 10}));
    }
}

TEST(InvaderGroup, CursorBesideTheLeaderThrowsTheFirstMember)
{
    GameSim sim;
    InvaderField field(sim);
    ASSERT_NE(field.Tower(50, 50), nullptr);
    Cog* leaderCog = field.Invader("squad", 20, 20);
    Cog* memberCog = field.Invader("grunt", 21, 20);
    Kestrane& leader = InvaderField::K(leaderCog);
    Kestrane& member = InvaderField::K(memberCog);
    leader.mRun.mPathing = FindPathingBehavior("NoPathing");
    ASSERT_NE(leader.mRun.mGroup, nullptr) << "a squad leads a group";
    leader.mRun.mGroup->AddMember(&member);
    sim.Step(30);
    ASSERT_EQ(member.mRun.mGroup, leader.mRun.mGroup);
    const TileIndex at = leader.mRun.mCurrentTile;
    Cog* cursor = field.Make("NinjaSmoke", field.Centre(at.first + 1, at.second + 1));
    cursor->SetName("Cursor");
    sim.Cogs().RegisterName(*cursor);
    sim.Step();
    EXPECT_NE(member.GetState(), StateAirborne) << "diagonal: nobody is thrown";
    ASSERT_LT((InvaderField::P(leaderCog).GetPosition() - InvaderField::P(memberCog).GetPosition()).Length(), 10.0f);
    InvaderField::P(cursor).SetPosition(
        field.Centre(leader.mRun.mCurrentTile.first, leader.mRun.mCurrentTile.second + 1));
    sim.Step();
    EXPECT_EQ(member.GetState(), StateAirborne);
    EXPECT_GT(InvaderField::P(memberCog).GetVelocity().y, 20.0f);
    sim.Step();
    EXPECT_EQ(member.mRun.mGroup, nullptr) << "thrown, it leaves the group";
    // The leader goes: its group goes with it.
    const size_t groups = sim.Logic().mGroups->Size();
    sim.Cogs().Destroy(leaderCog);
    sim.Step();
    EXPECT_EQ(sim.Logic().mGroups->Size(), groups - 1);
}

// A squad in the field's corner, its leader gone three ways: killed, grabbed by the claw, thrown.
// Each member is out of the group at once, runs off no further than the field's edge, and within
// five seconds of game time walks on by itself two tiles nearer the tower.
TEST(InvaderGroup, MembersWhoseLeaderIsGoneWalkOnTowardTheTower)
{
    const struct
    {
        const char* what;
        void (*gone)(Kestrane& leader);
    } cases[] = {
        {"killed", [](Kestrane& leader) { leader.mCurHP = 0.0f; }},
        {"grabbed", [](Kestrane& leader) { leader.ChangeState(StateGrabbed); }},
        {"thrown", [](Kestrane& leader) { HopInvader(leader, Vector3(1, 0, 0), 20.0f, 30.0f, 0.0f); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        GameSim sim;
        InvaderField field(sim);
        Cog* tower = field.Tower(50, 50);
        ASSERT_NE(tower, nullptr);
        Cog* leaderCog = field.Invader("squad", 3, 3);
        std::vector<Cog*> memberCogs = {field.Invader("grunt", 1, 1), field.Invader("grunt", 2, 1),
                                        field.Invader("grunt", 1, 2)};
        Kestrane& leader = InvaderField::K(leaderCog);
        // It stands until it goes, so the members gather round it and nobody walks on before.
        leader.mRun.mPathing = FindPathingBehavior("NoPathing");
        ASSERT_TRUE(sim.StepUntil([&] { return leader.GetState() == StateAdvance; }, 30 * 60));
        for (Cog* m : memberCogs)
            leader.mRun.mGroup->AddMember(&InvaderField::K(m));
        sim.Step(60);
        const TileIndex towerTile = TowerTile(field.Map(), *tower);
        std::vector<int32_t> before;
        for (Cog* m : memberCogs)
        {
            ASSERT_EQ(InvaderField::K(m).mRun.mGroup, leader.mRun.mGroup) << "a member";
            before.push_back(TileDistanceSquared(InvaderField::K(m).mRun.mCurrentTile, towerTile));
        }
        const uint32_t leaderId = leaderCog->GetID();
        leader.mRun.mPathing = FindPathingBehavior(leader.mPathingName);
        c.gone(leader);
        sim.Step();
        for (Cog* m : memberCogs)
        {
            const Kestrane& k = InvaderField::K(m);
            EXPECT_EQ(k.mRun.mGroup, nullptr);
            EXPECT_TRUE(field.Map().InBounds(k.mRun.mTargetTile.first, k.mRun.mTargetTile.second));
        }
        const auto nearer = [&](size_t i) {
            const int32_t now = TileDistanceSquared(InvaderField::K(memberCogs[i]).mRun.mCurrentTile, towerTile);
            const double gained = std::sqrt(static_cast<double>(before[i])) - std::sqrt(static_cast<double>(now));
            return gained >= 2.0;
        };
        EXPECT_TRUE(sim.StepUntil([&] { return nearer(0) && nearer(1) && nearer(2); }, 5 * 60))
            << "the members walk on";
        if (std::string(c.what) == "killed")
        {
            EXPECT_EQ(sim.Cogs().GetCog(leaderId), nullptr);
        }
    }
}
