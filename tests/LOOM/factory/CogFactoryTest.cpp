#include "LOOM/factory/CogCommands.h"
#include "LOOM/factory/CogScriptGlobals.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/LOOM/support/SerialTestUtil.h"
#include "tests/LOOM/support/TempDir.h"

namespace {
class CogFactoryTest : public CogFixture
{
};

TEST(StringHash, MatchesTheSampledSum)
{
    EXPECT_EQ(StringHash(""), 0xDEADBEEFu);
    EXPECT_EQ(StringHash("A"), 0xDEADBEEFu + 'A');
    // 16 characters: step 2, characters 0, 2, ..., 14.
    const std::string sixteen = "abcdefghijklmnop";
    uint32_t expected = 0xDEADBEEF;
    for (size_t i = 0; i < 16; i += 2)
        expected += static_cast<uint32_t>(sixteen[i]);
    EXPECT_EQ(StringHash(sixteen), expected);
    // Characters above 127 count as negative.
    EXPECT_EQ(StringHash("\xff"), 0xDEADBEEFu - 1u);
}

TEST_F(CogFactoryTest, IdsAreHandedOutFromOneAndNotReused)
{
    MakeType("Plain", {kMarkerId});
    Cog* a = mCogs.Create("Plain");
    Cog* b = mCogs.Create("Plain");
    EXPECT_EQ(a->GetID(), 1u);
    EXPECT_EQ(b->GetID(), 2u);
    a->Destroy();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.Create("Plain")->GetID(), 3u);
    EXPECT_EQ(mCogs.GetCog(2), b);
    EXPECT_EQ(mCogs.GetCog(1), nullptr);
}

TEST_F(CogFactoryTest, CreateFromTypeLeavesTheIdTableAlone)
{
    MakeType("Plain", {kMarkerId});
    std::unique_ptr<Cog> loose = mCogs.CreateFromType("Plain", 77);
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(loose->GetID(), 77u);
    EXPECT_EQ(mCogs.GetCog(77), nullptr);
    EXPECT_EQ(mCogs.Instantiate("Plain")->GetID(), 1u);
    EXPECT_EQ(mCogs.CreateFromType("Missing", 5), nullptr);
}

TEST_F(CogFactoryTest, CogKeepsItsTableIdAfterSetId)
{
    MakeType("Plain", {kMarkerId});
    Cog* cog = mCogs.Create("Plain");
    cog->SetID(40);
    EXPECT_EQ(mCogs.GetCog(1), cog);
    cog->Destroy();
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
}

TEST_F(CogFactoryTest, AllocateDoesNotInitialise)
{
    MakeType("Pair", {kMarkerId, kHealthId});
    Cog* cog = mCogs.Allocate("Pair");
    ASSERT_NE(cog, nullptr);
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(cog->GetComponent(kMarkerId)->GetOwner(), nullptr);
    EXPECT_EQ(NewestLogText(), "Creating Cog From Archetype TypeName: \"Pair\" ID: 1");
}

TEST_F(CogFactoryTest, CreateOfAnUnknownNameLogsAndGivesNull)
{
    EXPECT_EQ(mCogs.Create("Nothing"), nullptr);
    EXPECT_EQ(NewestLogText(), "Failed to Create: Nothing");
    EXPECT_EQ(mCogs.Allocate("Nothing"), nullptr);
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
}

TEST_F(CogFactoryTest, AllocateReadsCogFilesWithTheExactExtensionOnly)
{
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    MakeType("Scenery", {});
    const std::string text = TempDir::Read(CogData("level_cog.xml"));
    dir.Write("level.xml", text);
    dir.Write("LEVEL.XML", text);
    EXPECT_EQ(mCogs.Allocate("LEVEL.XML"), nullptr);
    Cog* cog = mCogs.Allocate("level.xml");
    ASSERT_NE(cog, nullptr);
    EXPECT_EQ(cog->GetName(), "Level");
    EXPECT_EQ(cog->GetTypeName(), "Scenery");
    EXPECT_EQ(NewestLogText(), "Creating Cog From File File: \"level.xml\" ID: 1");
    // Not initialised: the name is not published yet.
    EXPECT_EQ(mCogs.FindCogByName("Level"), nullptr);
}

TEST_F(CogFactoryTest, AllocateOfABrokenFileGivesNull)
{
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    dir.Write("broken.xml", "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n<cog Cog");
    dir.Write("other.xml", StreamText("<list type=\"file\" size=\"0\"></list>"));
    dir.Write("unknown.xml", StreamText("<cog CogID=\"NoType\"></cog>"));
    for (const char* name : {"broken.xml", "other.xml", "unknown.xml"})
        EXPECT_EQ(mCogs.Allocate(name), nullptr) << name;
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
}

TEST_F(CogFactoryTest, DisListsCogsByAscendingId)
{
    MakeType("Plain", {kMarkerId});
    CogCommands(mCogs).LogCogs();
    EXPECT_EQ(NewestLogText(), "No Cogs Active");
    for (int i = 0; i < 12; ++i)
        mCogs.Create("Plain");
    mCogs.GetCog(12)->SetName("Last");
    const uint32_t mark = LogMark();
    CogCommands(mCogs).LogCogs();
    ASSERT_EQ(LogMark() - mark, 12u);
    const EntryRing& ring = Console::Instance().GetEntries();
    EXPECT_EQ(ring.FromNewest(11).mText, "cog: 1 Type: Plain Name: ");
    EXPECT_EQ(ring.FromNewest(1).mText, "cog: 11 Type: Plain Name: ");
    EXPECT_EQ(ring.FromNewest(0).mText, "cog: 12 Type: Plain Name: Last");
    mCogs.DestroyAll();
    CogCommands(mCogs).LogCogs();
    EXPECT_EQ(NewestLogText(), "No Cogs Active");
}

TEST_F(CogFactoryTest, CogMadeDuringUpdateIsUpdatedInTheSameFrame)
{
    auto type = MakeType("Spawner", {kHealthId});
    bool spawned = false;
    mCogs.Types().RegisterFunction("Spawn", MakeCogFunctor([&](Cog*) {
                                       if (!spawned)
                                       {
                                           spawned = true;
                                           mCogs.Create("Spawner");
                                       }
                                   }));
    type->AddUpdate(mCogs.Types().FindFunction("Spawn"));
    Cog* first = mCogs.Create("Spawner");
    mCogs.UpdateAll();
    ASSERT_EQ(mCogs.GetActiveCogs().size(), 2u);
    EXPECT_EQ(static_cast<HealthComp*>(first->GetComponent(kHealthId))->mTicks, 1);
    EXPECT_EQ(static_cast<HealthComp*>(mCogs.GetCog(2)->GetComponent(kHealthId))->mTicks, 1);
}

TEST_F(CogFactoryTest, CallOnAllCogsCallsEveryCog)
{
    auto type = MakeType("Plain", {kMarkerId});
    std::vector<uint32_t> called;
    mCogs.Types().RegisterFunction("Note", MakeCogFunctor([&](Cog* cog) { called.push_back(cog->GetID()); }));
    type->BindFunction("Note", mCogs.Types().FindFunction("Note"));
    MakeType("Deaf", {});
    mCogs.Create("Plain");
    mCogs.Create("Deaf");
    mCogs.Create("Plain");
    mCogs.CallOnAllCogs("Note");
    EXPECT_EQ(called, (std::vector<uint32_t>{1, 3}));
}

TEST_F(CogFactoryTest, RegisteringAFunctionAgainReplacesIt)
{
    int first = 0;
    int second = 0;
    mCogs.Types().RegisterFunction("F", MakeCogFunctor([&](Cog*) { ++first; }));
    mCogs.Types().RegisterFunction("F", MakeCogFunctor([&](Cog*) { ++second; }));
    auto type = MakeType("Plain", {});
    type->BindFunction("F", mCogs.Types().FindFunction("F"));
    mCogs.Create("Plain")->CallFunctionByName("F");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
}

TEST_F(CogFactoryTest, TypeBuiltBeforeAFunctionIsReplacedKeepsCallingTheEarlierOne)
{
    int first = 0;
    int second = 0;
    mCogs.Types().RegisterFunction("F", MakeCogFunctor([&](Cog*) { ++first; }));
    auto early = MakeType("Early", {});
    early->BindFunction("F", mCogs.Types().FindFunction("F"));
    mCogs.Types().RegisterFunction("F", MakeCogFunctor([&](Cog*) { ++second; }));
    auto late = MakeType("Late", {});
    late->BindFunction("F", mCogs.Types().FindFunction("F"));

    mCogs.Create("Early")->CallFunctionByName("F");
    mCogs.Create("Late")->CallFunctionByName("F");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST_F(CogFactoryTest, CallsByNameReachTheNewestManager)
{
    MakeType("Plain", {kMarkerId});
    Cog* cog = mCogs.Create("Plain");
    ASSERT_EQ(CogDirectory::Get(), &mCogs);
    EXPECT_EQ(CogDirectory::Get()->FindCogById(1), cog);
    {
        CogFactory inner;
        EXPECT_EQ(CogDirectory::Get(), &inner);
    }
    EXPECT_EQ(CogDirectory::Get(), &mCogs);
}
} // namespace
