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
    EXPECT_EQ(log.Count("Component type mismatch on cog " + std::to_string(cog->GetID()) + ": wanted type 901, found type 900"), 1);
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
