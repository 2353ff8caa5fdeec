#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/LOOM/support/LogCapture.h"

namespace {
using CompFunctors = CogFixture;
}

// A factory registered under another type's id makes components that are not what the id
// promises; a handler of that id must not run on them.
TEST_F(CompFunctors, MistypedComponentIsLoggedAndLeftAlone)
{
    auto type = MakeType("Mixed", {});
    type->AddComponent(kMarkerId, &gHealthFactory);
    type->BindMessage("Poke", MakeCompFunctor(kMarkerId, &MarkerComp::Hit));
    Cog* cog = mCogs.Create("Mixed");
    ASSERT_NE(cog, nullptr);
    Trace().clear();
    LogCapture log;
    cog->CallFunctionByName("Poke");
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(log.Count("Component type mismatch on cog " + std::to_string(cog->GetID()) +
                        ": wanted type 901, found type 900"),
              1);
}

TEST_F(CompFunctors, MatchingComponentRunsTheHandler)
{
    MakeType("Plain", {kMarkerId, kHealthId});
    Cog* cog = mCogs.Create("Plain");
    ASSERT_NE(cog, nullptr);
    Trace().clear();
    LogCapture log;
    cog->CallFunctionByName("Hit");
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Hit Marker", "Hit Health"}));
    EXPECT_EQ(log.Count("mismatch"), 0);
}

// Typed access hands out a component only when its class is the one asked for, in both forms.
TEST_F(CompFunctors, TypedAccessFindsTheClassAskedFor)
{
    MakeType("Plain", {kMarkerId, kHealthId});
    MakeType("Lone", {kHealthId});
    MakeType("Mixed", {})->AddComponent(kMarkerId, &gHealthFactory);
    struct Row
    {
        const char* mType;
        bool mMarker;
        bool mHealth;
        int mLogged;
    };
    const Row rows[] = {{"Plain", true, true, 0}, {"Lone", false, true, 0}, {"Mixed", false, false, 1}};
    for (const Row& row : rows)
    {
        Cog* cog = mCogs.Create(row.mType);
        ASSERT_NE(cog, nullptr) << row.mType;
        const Cog& seen = *cog;
        LogCapture log;
        EXPECT_EQ(cog->Get<MarkerComp>() != nullptr, row.mMarker) << row.mType;
        EXPECT_EQ(seen.Get<HealthComp>() != nullptr, row.mHealth) << row.mType;
        if (row.mHealth)
        {
            EXPECT_EQ(seen.Get<HealthComp>(), cog->GetComponent(kHealthId)) << row.mType;
        }
        EXPECT_EQ(log.Count("Component type mismatch"), row.mLogged) << row.mType;
    }
}
