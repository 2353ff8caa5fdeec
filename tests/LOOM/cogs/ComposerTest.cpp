#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/CompTypes.h"
#include "tests/LOOM/support/CogTestSupport.h"

namespace {
class ComposerTest : public CogFixture
{
};

TEST_F(ComposerTest, TwoHandlersOfOneMessageRunInBindingOrder)
{
    MakeType("Pair", {kMarkerId, kHealthId});
    Cog* cog = mCogs.Create("Pair");
    ASSERT_NE(cog, nullptr);
    Trace().clear();
    cog->CallFunctionByName("Hit");
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Hit Marker", "Hit Health"}));
}

TEST_F(ComposerTest, ThirdHandlerJoinsAtTheEnd)
{
    auto type = MakeType("Triple", {kMarkerId, kHealthId, kMarkerId});
    Cog* cog = mCogs.Create("Triple");
    Trace().clear();
    cog->CallFunctionByName("Hit");
    // Both marker bindings reach the cog's last marker (the id maps to its last component).
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Hit Marker", "Hit Health", "Hit Marker"}));
}

TEST_F(ComposerTest, MismatchedSignatureIsNotCalledAndLogsOnce)
{
    MakeType("Target", {kHealthId});
    Cog* cog = mCogs.Create("Target");
    auto* health = static_cast<HealthComp*>(cog->GetComponent(kHealthId));
    const uint32_t mark = LogMark();
    ParamBuffer params;
    params.PushStdString("ten");
    cog->CallFunction("Damage", params);
    EXPECT_EQ(health->mHealth, 10);
    EXPECT_EQ(CountLogSince(mark, "Simulated Virtual Function Paramater Hash Failure"), 1);
    // The buffer is left as the caller filled it.
    EXPECT_EQ(params.GetCount(), 1u);
    EXPECT_EQ(params.GetSignature(), uint32_t(ParamString));
}

TEST_F(ComposerTest, MatchingSignatureCallsTheComponentOfTheCalledCog)
{
    MakeType("Target", {kHealthId});
    Cog* first = mCogs.Create("Target");
    Cog* second = mCogs.Create("Target");
    ParamBuffer params;
    params.PushFloat(-4.0f);
    second->CallFunction("Damage", params);
    EXPECT_EQ(static_cast<HealthComp*>(first->GetComponent(kHealthId))->mHealth, 10);
    EXPECT_EQ(static_cast<HealthComp*>(second->GetComponent(kHealthId))->mHealth, 6);
    // The functor clears the buffer.
    EXPECT_EQ(params.GetCount(), 0u);
}

TEST_F(ComposerTest, UnknownNameDoesNothingAndLogsNothing)
{
    MakeType("Target", {kHealthId});
    Cog* cog = mCogs.Create("Target");
    Trace().clear();
    const uint32_t mark = LogMark();
    ParamBuffer params;
    params.PushFloat(1.0f);
    cog->CallFunction("damage", params);
    EXPECT_EQ(LogMark(), mark);
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(params.GetCount(), 1u);
}

TEST_F(ComposerTest, BoundFunctionDoesNotReplaceAHandler)
{
    auto type = MakeType("Target", {kHealthId});
    int calls = 0;
    auto other = MakeCogFunctor([&calls](Cog*) { ++calls; });
    type->BindFunction("Hit", other.get());
    type->BindFunction("Extra", other.get());
    Cog* cog = mCogs.Create("Target");
    Trace().clear();
    cog->CallFunctionByName("Hit");
    cog->CallFunctionByName("Extra");
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Hit Health"}));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cog->FindCogFunction("Extra"), other.get());
    EXPECT_EQ(cog->FindCogFunction("extra"), nullptr);
}

TEST_F(ComposerTest, SameTypeIdTwiceMakesTwoComponentsAndFindsTheLater)
{
    MakeType("Twice", {kMarkerId, kMarkerId});
    Cog* cog = mCogs.Allocate("Twice");
    ASSERT_EQ(cog->GetComponentCount(), 2u);
    EXPECT_NE(cog->GetComponentAt(0), cog->GetComponentAt(1));
    EXPECT_EQ(cog->GetComponent(kMarkerId), cog->GetComponentAt(1));
    EXPECT_EQ(cog->GetComponent(kHealthId), nullptr);
}

TEST_F(ComposerTest, FindDataMemberGivesTheNullHandle)
{
    MakeType("Target", {kHealthId});
    Cog* cog = mCogs.Create("Target");
    EXPECT_EQ(cog->FindDataMember("Health").mAddress, nullptr);
    EXPECT_EQ(cog->FindDataMember("Health").mCode, 0u);
    EXPECT_EQ(cog->GetComponent(kHealthId)->FindDataMember("Health").mAddress, nullptr);
}

TEST_F(ComposerTest, InitializeAttachesComponentsInOrderWithoutPositional)
{
    MakeType("Pair", {kMarkerId, kHealthId});
    Cog* cog = mCogs.Allocate("Pair");
    EXPECT_EQ(cog->GetComponent(kHealthId)->GetOwner(), nullptr);
    Trace().clear();
    cog->Initialize();
    EXPECT_EQ(Trace(), (std::vector<std::string>{"init Marker", "init Health"}));
    EXPECT_EQ(cog->GetComponent(kHealthId)->GetOwner(), cog);
    EXPECT_EQ(cog->GetComponent(kHealthId)->GetOwnerPositional(), nullptr);
}

TEST_F(ComposerTest, ComponentUnderThePositionalIdThatIsNoPositionalIsNotCached)
{
    mCogs.Types().RegisterComponent(CompPositional, &gMarkerFactory);
    MakeType("Odd", {CompPositional, kHealthId});
    const uint32_t mark = LogMark();
    Cog* cog = mCogs.Create("Odd");
    EXPECT_NE(cog->GetComponent(CompPositional), nullptr);
    EXPECT_EQ(cog->GetComponent(kHealthId)->GetOwnerPositional(), nullptr);
    // Each component's owner look-up reports the stray.
    const std::string stray =
        "Component type mismatch on cog " + std::to_string(cog->GetID()) + ": wanted type 1, found type 901";
    EXPECT_EQ(CountLogSince(mark, stray), 2);
}

TEST_F(ComposerTest, UpdateListRunsOnlyForTypesThatHaveOne)
{
    MakeType("Ticking", {kHealthId});
    MakeType("Still", {kMarkerId});
    Cog* ticking = mCogs.Create("Ticking");
    Cog* still = mCogs.Create("Still");
    ASSERT_EQ(mCogs.GetActiveCogs().size(), 1u);
    EXPECT_EQ(mCogs.GetActiveCogs()[0], ticking);
    mCogs.UpdateAll();
    mCogs.UpdateAll();
    EXPECT_EQ(static_cast<HealthComp*>(ticking->GetComponent(kHealthId))->mTicks, 2);
    EXPECT_NE(still, nullptr);
}

// A type's updates run in the order they were added, whether each calls its component directly
// or goes through its functor: a named function among them, an update added after the cog was
// made and a component of the wrong class all keep today's effects, frame after frame.
TEST_F(ComposerTest, UpdatesRunInAddedOrderOnEveryPath)
{
    mCogs.Types().RegisterFunction("Note", MakeCogFunctor([](Cog*) { Trace().push_back("Note"); }));
    struct Row
    {
        const char* mName;
        std::function<void(Composer&)> mBefore;
        std::function<void(Composer&)> mAfter;
        std::vector<std::string> mFrame;
        int mTicks;
        int mMismatches;
    };
    auto hits = [](Composer& type) {
        type.AddOwnedUpdate(MakeCompFunctor(kMarkerId, &MarkerComp::Hit));
        type.AddOwnedUpdate(MakeCompFunctor(kHealthId, &HealthComp::Hit));
    };
    const Row rows[] = {
        {"Direct", hits, nullptr, {"Hit Marker", "Hit Health"}, 2, 0},
        {"Named",
         [&](Composer& type) {
             type.AddOwnedUpdate(MakeCompFunctor(kMarkerId, &MarkerComp::Hit));
             type.AddUpdate(mCogs.Types().FindFunction("Note"));
             type.AddOwnedUpdate(MakeCompFunctor(kHealthId, &HealthComp::Hit));
         },
         nullptr,
         {"Hit Marker", "Note", "Hit Health"},
         2,
         0},
        {"Late", nullptr, hits, {"Hit Marker", "Hit Health"}, 2, 0},
        {"Mistyped",
         [](Composer& type) {
             type.AddComponent(kHealthId + 10, &gMarkerFactory);
             type.AddOwnedUpdate(MakeCompFunctor(kHealthId + 10, &HealthComp::Hit));
         },
         nullptr,
         {},
         2,
         2},
    };
    for (const Row& row : rows)
    {
        auto type = MakeType(row.mName, {kMarkerId, kHealthId});
        if (row.mBefore)
            row.mBefore(*type);
        Cog* cog = mCogs.Create(row.mName);
        ASSERT_NE(cog, nullptr) << row.mName;
        if (row.mAfter)
            row.mAfter(*type);
        Trace().clear();
        const uint32_t mark = LogMark();
        mCogs.UpdateAll();
        EXPECT_EQ(Trace(), row.mFrame) << row.mName;
        cog->Update();
        EXPECT_EQ(cog->Get<HealthComp>()->mTicks, row.mTicks) << row.mName;
        EXPECT_EQ(CountLogSince(mark,
                                "Component type mismatch on cog " + std::to_string(cog->GetID()) +
                                    ": wanted type 910, found type 901"),
                  row.mMismatches)
            << row.mName;
        mCogs.DestroyAll();
    }
}

TEST_F(ComposerTest, ReplacedFactoryServesOnlyTypesBuiltAfterwards)
{
    MakeType("Before", {kHealthId});
    mCogs.Types().RegisterComponent(kHealthId, &gMarkerFactory);
    MakeType("After", {kHealthId});
    EXPECT_EQ(mCogs.Create("Before")->GetComponentAt(0)->GetTypeId(), kHealthId);
    EXPECT_EQ(mCogs.Create("After")->GetComponentAt(0)->GetTypeId(), kMarkerId);
}

TEST_F(ComposerTest, ConstructRunsOnInitialiseOnly)
{
    auto type = MakeType("Built", {});
    int constructed = 0;
    mCogs.Types().RegisterFunction("Count", MakeCogFunctor([&constructed](Cog*) { ++constructed; }));
    type->BindFunction("Construct", mCogs.Types().FindFunction("Count"));
    Cog* cog = mCogs.Allocate("Built");
    EXPECT_EQ(constructed, 0);
    cog->Initialize();
    EXPECT_EQ(constructed, 1);
    mCogs.Create("Built");
    EXPECT_EQ(constructed, 2);
}
} // namespace
