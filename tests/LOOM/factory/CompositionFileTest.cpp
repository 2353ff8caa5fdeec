#include "LOOM/factory/Archetype.h"
#include "LOOM/factory/FileComposition.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/LOOM/support/SerialTestUtil.h"
#include "tests/LOOM/support/TempDir.h"

namespace {
class CompositionFile : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        mCogs.Types().RegisterFunction("Death", MakeCogFunctor([](Cog* cog) { cog->Destroy(); }));
        mCogs.Types().RegisterFunction("TestFunc", MakeCogFunctor([](Cog*) { Trace().push_back("TestFunc"); }));
        mCogs.Types().RegisterFunction(
            "TestConstruct", MakeCogFunctor([](Cog* cog) { Trace().push_back("Construct " + cog->GetName()); }));
    }

    // The cog's stored form as XML text.
    static std::string Stored(Cog& cog)
    {
        TempDir dir;
        const std::string path = dir.Path("cog.xml");
        EXPECT_TRUE(SaveArchetypeXml(cog, path));
        return TempDir::Read(path);
    }

    // Builds a BigInvader, edits its file's health from 250 to 999 and builds another: their healths.
    std::pair<int32_t, int32_t> HealthsAroundAnEdit(bool cacheArchetypes)
    {
        TempDir dir;
        dir.Write("invader.xml", TempDir::Read(CogData("invader.xml")));
        std::string data = TempDir::Read(CogData("big_invader.xml"));
        dir.Write("big_invader.xml", data);
        ScopedCwd cwd(dir.Path());
        mCogs.Files().SetCacheArchetypes(cacheArchetypes);
        mCogs.Files().LoadCogFile("invader.xml");
        Cog* first = mCogs.Create("BigInvader");
        data.replace(data.find("250"), 3, "999");
        dir.Write("big_invader.xml", data);
        Cog* second = mCogs.Create("BigInvader");
        return {static_cast<HealthComp*>(first->GetComponent(kHealthId))->mHealth,
                static_cast<HealthComp*>(second->GetComponent(kHealthId))->mHealth};
    }

    ScopedCwd mCwd{CogData("")};
};

TEST_F(CompositionFile, CompositionBuildsAComposerAndItsArchetypes)
{
    const uint32_t mark = LogMark();
    mCogs.Files().LoadCogFile("invader.xml");
    EXPECT_EQ(CountLogSince(mark, "Function: NoSuchFunction Not Found"), 1);
    EXPECT_EQ(CountLogSince(mark, "Update Function: NoSuchUpdate Not Found"), 1);
    EXPECT_EQ(NewestLogText(), "Loaded Cog File >  File: invader.xml Name: Invader");

    auto* composer = dynamic_cast<Composer*>(mCogs.Types().FindType("Invader"));
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->GetGroupName(), "Invaders");
    EXPECT_EQ(composer->GetFactories(), (std::vector<CompFactory*>{&gHealthFactory, &gMarkerFactory}));
    EXPECT_NE(composer->FindFunction("Die"), nullptr);
    EXPECT_NE(composer->FindFunction("Ping"), nullptr);
    EXPECT_EQ(composer->FindFunction("Nope"), nullptr);
    EXPECT_NE(dynamic_cast<Archetype*>(mCogs.Types().FindType("BigInvader")), nullptr);

    Cog* cog = mCogs.Create("Invader");
    Trace().clear();
    mCogs.UpdateAll();
    // The component's per-frame functor first, then the composition's.
    EXPECT_EQ(static_cast<HealthComp*>(cog->GetComponent(kHealthId))->mTicks, 1);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"TestFunc"}));
    cog->CallFunctionByName("Die");
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
}

TEST_F(CompositionFile, UnregisteredComponentIdRejectsTheWholeFile)
{
    mCogs.Files().LoadComposition("bad_component.xml");
    EXPECT_EQ(NewestLogText(), "Bad Component ID in File: bad_component.xml");
    EXPECT_EQ(mCogs.Types().FindType("Broken"), nullptr);
    EXPECT_EQ(mCogs.Types().FindType("BrokenVariant"), nullptr);
}

TEST_F(CompositionFile, EmptyComponentListMakesCogsWithoutComponents)
{
    mCogs.Files().LoadCogFile("scenery.xml");
    Cog* cog = mCogs.Create("Scenery");
    ASSERT_NE(cog, nullptr);
    EXPECT_EQ(cog->GetComponentCount(), 0u);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Construct "}));
}

TEST_F(CompositionFile, CachedBinaryArchetypeBuildsTheSameCogAsItsXml)
{
    mCogs.Files().LoadCogFile("invader.xml");
    auto* archetype = dynamic_cast<Archetype*>(mCogs.Types().FindType("BigInvader"));
    ASSERT_NE(archetype, nullptr);
    EXPECT_FALSE(archetype->IsCached());

    const uint32_t mark = LogMark();
    Cog* fromXml = mCogs.Create("BigInvader");
    ASSERT_NE(fromXml, nullptr);
    EXPECT_EQ(CountLogSince(mark, "Saving Archetype: Invader"), 1);
    EXPECT_TRUE(archetype->IsCached());
    EXPECT_EQ(archetype->GetData().compare(0, 4, "loom"), 0);

    Cog* fromBinary = mCogs.Create("BigInvader");
    ASSERT_NE(fromBinary, nullptr);
    EXPECT_EQ(CountLogSince(mark, "Saving Archetype: Invader"), 1);
    EXPECT_EQ(fromXml->GetTypeName(), "Invader");
    EXPECT_EQ(fromBinary->GetName(), "Big");
    const auto* health = static_cast<HealthComp*>(fromBinary->GetComponent(kHealthId));
    EXPECT_EQ(health->mHealth, 250);
    EXPECT_FLOAT_EQ(health->mSpeed, 0.25f);
    EXPECT_EQ(health->mLabel, "big & slow");
    EXPECT_TRUE(health->mArmoured);
    EXPECT_FLOAT_EQ(health->mOffset.y, -2.5f);
    EXPECT_EQ(static_cast<MarkerComp*>(fromBinary->GetComponent(kMarkerId))->mTag, "big");
    EXPECT_EQ(Stored(*fromXml), Stored(*fromBinary));
    EXPECT_EQ(Stored(*fromXml), TempDir::Read(CogData("big_invader.xml")));
}

TEST_F(CompositionFile, ArchetypeWithoutCachingReadsItsFileOnEveryBuild)
{
    EXPECT_EQ(HealthsAroundAnEdit(false), std::make_pair(250, 999));
    EXPECT_FALSE(dynamic_cast<Archetype*>(mCogs.Types().FindType("BigInvader"))->IsCached());
}

TEST_F(CompositionFile, CachedArchetypeIgnoresLaterEditsOfItsFile)
{
    EXPECT_EQ(HealthsAroundAnEdit(true), std::make_pair(250, 250));
}

TEST_F(CompositionFile, ArchetypeOfAMissingCompositionBuildsNothing)
{
    mCogs.Types().RegisterType("Orphan", std::make_shared<Archetype>(mCogs, "NotLoaded", "big_invader.xml"));
    EXPECT_EQ(mCogs.Allocate("Orphan"), nullptr);
    mCogs.Types().RegisterType("RingA", std::make_shared<Archetype>(mCogs, "RingB", "big_invader.xml"));
    mCogs.Types().RegisterType("RingB", std::make_shared<Archetype>(mCogs, "RingA", "big_invader.xml"));
    EXPECT_EQ(mCogs.Allocate("RingA"), nullptr);
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
}

TEST_F(CompositionFile, BrokenArchetypeFileIsNotCached)
{
    TempDir dir;
    dir.Write("invader.xml", TempDir::Read(CogData("invader.xml")));
    dir.Write("big_invader.xml",
              "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n\t<cog CogID=\"Invader\">\n\t\t<string name=\"cogn");
    ScopedCwd cwd(dir.Path());
    mCogs.Files().LoadCogFile("invader.xml");
    Cog* cog = mCogs.Create("BigInvader");
    ASSERT_NE(cog, nullptr);
    EXPECT_EQ(static_cast<HealthComp*>(cog->GetComponent(kHealthId))->mHealth, 10);
    EXPECT_FALSE(dynamic_cast<Archetype*>(mCogs.Types().FindType("BigInvader"))->IsCached());
}

TEST_F(CompositionFile, CogRoundTripsThroughXmlAndBinary)
{
    mCogs.Files().LoadCogFile("invader.xml");
    Cog* original = mCogs.Create("Invader");
    original->SetName("Edited <one>");
    auto* health = static_cast<HealthComp*>(original->GetComponent(kHealthId));
    health->mHealth = -7;
    health->mSpeed = 3.125f;
    health->mLabel = "a \"quoted\" & <tagged> label";
    health->mOffset = Vector3(0.5f, 100.0f, -0.25f);
    static_cast<MarkerComp*>(original->GetComponent(kMarkerId))->mTag = "two words";

    TempDir dir;
    ASSERT_TRUE(SaveArchetypeXml(*original, dir.Path("round.xml")));
    Cog* fromXml = mCogs.Create("Invader");
    ASSERT_TRUE(LoadArchetypeXml(*fromXml, dir.Path("round.xml")));
    Cog* fromBinary = mCogs.Create("Invader");
    ASSERT_TRUE(LoadArchetypeBinary(*fromBinary, SaveArchetypeBinary(*original)));

    for (Cog* copy : {fromXml, fromBinary})
    {
        EXPECT_EQ(copy->GetName(), "Edited <one>");
        const auto* h = static_cast<HealthComp*>(copy->GetComponent(kHealthId));
        EXPECT_EQ(h->mHealth, -7);
        EXPECT_FLOAT_EQ(h->mSpeed, 3.125f);
        EXPECT_EQ(h->mLabel, health->mLabel);
        EXPECT_FLOAT_EQ(h->mOffset.y, 100.0f);
        EXPECT_EQ(static_cast<MarkerComp*>(copy->GetComponent(kMarkerId))->mTag, "two words");
        EXPECT_EQ(Stored(*copy), Stored(*original));
    }
}

TEST_F(CompositionFile, TruncatedBinaryImageKeepsTheCogWhole)
{
    mCogs.Files().LoadCogFile("invader.xml");
    Cog* original = mCogs.Create("BigInvader");
    const std::string image = SaveArchetypeBinary(*original);
    // Cut inside the values: the closing tag alone would still leave every value readable.
    for (size_t cut : {size_t(0), size_t(3), image.size() / 2, image.size() - 5})
    {
        Cog* cog = mCogs.Create("Invader");
        EXPECT_FALSE(LoadArchetypeBinary(*cog, image.substr(0, cut)));
    }
}

TEST_F(CompositionFile, ComponentNameAndIdInACogFileAreIgnoredOnLoading)
{
    mCogs.Files().LoadCogFile("invader.xml");
    std::string text = TempDir::Read(CogData("big_invader.xml"));
    text.replace(text.find("name=\"Health\" CompID=\"900\""), 26, "name=\"Bogus\" CompID=\"77\"");
    TempDir dir;
    Cog* cog = mCogs.Create("Invader");
    ASSERT_TRUE(LoadArchetypeXml(*cog, dir.Write("renamed.xml", text)));
    EXPECT_EQ(static_cast<HealthComp*>(cog->GetComponent(kHealthId))->mHealth, 250);
    EXPECT_EQ(cog->GetComponent(kHealthId)->GetTypeName(), "Health");
}

TEST_F(CompositionFile, SavedCompositionMatchesTheFileItWasReadFrom)
{
    FileComposition record;
    ASSERT_TRUE(LoadFileComposition(record, "invader.xml"));
    EXPECT_EQ(record.mComponents, (std::vector<uint32_t>{900, 901}));
    ASSERT_EQ(record.mArchetypes.size(), 2u);
    EXPECT_EQ(record.mArchetypes[0].mFile, "big_invader.xml");
    TempDir dir;
    ASSERT_TRUE(SaveFileComposition(record, dir.Path("saved.xml")));
    EXPECT_EQ(TempDir::Read(dir.Path("saved.xml")), TempDir::Read(CogData("invader.xml")));
}

TEST_F(CompositionFile, ReplacedComposerStaysAliveWhileItsCogsExist)
{
    mCogs.Files().LoadCogFile("invader.xml");
    Cog* old = mCogs.Create("Invader");
    CogType* firstType = mCogs.Types().FindType("Invader");
    CogType* firstArchetype = mCogs.Types().FindType("BigInvader");
    mCogs.Files().LoadCogFile("invader.xml");
    EXPECT_NE(mCogs.Types().FindType("Invader"), firstType);
    // Archetypes already known keep their entry.
    EXPECT_EQ(mCogs.Types().FindType("BigInvader"), firstArchetype);
    EXPECT_EQ(&old->GetComposer(), firstType);
    Trace().clear();
    old->CallFunctionByName("Hit");
    mCogs.UpdateAll();
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Hit Health", "Hit Marker", "TestFunc"}));
    EXPECT_EQ(old->GetTypeName(), "Invader");
    old->Destroy();
    mCogs.ProcessDestroyList();
}

// A name is never taken over without a word: a composition and an archetype of one name, or
// two archetypes from different files, leave the first holder and an Error naming both files.
// The same file read again is no clash.
TEST_F(CompositionFile, NameClashesKeepTheFirstHolderAndNameBothFiles)
{
    auto composition = [](const std::string& name, std::vector<std::string> archetypes) {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n"
                           "<FileComposition>\n<string name=\"CogName\">" +
            name +
            "</string>\n<string name=\"GroupName\"></string>\n"
            "<list name=\"Components\" size=\"1\" type=\"CompID\"><CompID>900</CompID></list>\n"
            "<list name=\"Functions\" size=\"0\" type=\"Funcmapping\"></list>\n"
            "<list name=\"UpdateList\" size=\"0\" type=\"func\"></list>\n"
            "<list name=\"Archetypes\" size=\"" +
            std::to_string(archetypes.size()) + "\" type=\"Archetype\">\n";
        for (const std::string& archetype : archetypes)
        {
            text += "<Archetype><string name=\"Name\">";
            text += archetype;
            text += "</string><file name=\"File\">";
            text += archetype;
            text += "Data.xml</file></Archetype>\n";
        }
        return text + "</list>\n</FileComposition>\n</Stream>\n";
    };
    struct Row
    {
        const char* mWhat;
        std::vector<std::pair<std::string, std::string>> mFiles; // read in order: file, its text
        std::string mError;                                      // empty: no Error at all
        const char* mName;                                       // its holder afterwards
        bool mArchetype;
    };
    const Row rows[] = {
        {"a composition named like an archetype is refused",
         {{"a.xml", composition("Base", {"Big"})}, {"b.xml", composition("Big", {})}},
         "Composition b.xml names its type Big, already an archetype of a.xml: b.xml is not loaded",
         "Big",
         true},
        {"an archetype named like a composition is skipped",
         {{"a.xml", composition("Base", {})}, {"b.xml", composition("Other", {"Base"})}},
         "Archetype Base of b.xml is already a cog type of a.xml: the archetype is skipped",
         "Base",
         false},
        {"an archetype of another file's archetype name is skipped",
         {{"a.xml", composition("Base", {"Big"})}, {"b.xml", composition("Other", {"Big"})}},
         "Archetype Big of b.xml is already a cog type of a.xml: the archetype is skipped",
         "Big",
         true},
        {"an archetype of its own composition's name is skipped",
         {{"a.xml", composition("Base", {"Base"})}},
         "Archetype Base of a.xml is already a cog type of a.xml: the archetype is skipped",
         "Base",
         false},
        {"a composition named like a type made in code is refused",
         {{"a.xml", composition("Coded", {})}},
         "Composition a.xml names its type Coded, already an archetype of the program: a.xml is not loaded",
         "Coded",
         true},
        {"the same file read twice keeps its archetypes without a word",
         {{"a.xml", composition("Base", {"Big"})}, {"a.xml", composition("Base", {"Big"})}},
         "",
         "Big",
         true},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.mWhat);
        CogFactory cogs;
        cogs.Types().RegisterComponent(kHealthId, &gHealthFactory);
        cogs.Types().RegisterType("Coded", std::make_shared<Archetype>(cogs, "Base", "CodedData.xml"));
        TempDir dir;
        ScopedCwd cwd(dir.Path());
        const uint32_t mark = LogMark();
        LogCapture log;
        CogType* first = nullptr;
        for (const auto& [file, text] : row.mFiles)
        {
            dir.Write(file, text);
            cogs.Files().LoadCogFile(file);
            if (!first)
                first = cogs.Types().FindType(row.mName);
        }
        EXPECT_EQ(log.Count("already"), row.mError.empty() ? 0 : 1);
        if (!row.mError.empty())
        {
            EXPECT_EQ(CountLogSince(mark, row.mError), 1);
        }
        CogType* holder = cogs.Types().FindType(row.mName);
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder, first) << "the first holder keeps the name";
        EXPECT_EQ(dynamic_cast<Archetype*>(holder) != nullptr, row.mArchetype);
    }
}

TEST_F(CompositionFile, CogListLoadsItsFilesInOrderRecursively)
{
    const uint32_t mark = LogMark();
    mCogs.Files().LoadCogFile("list_main.xml");
    EXPECT_EQ(CountLogSince(mark, "Reading Cog List File >  File: list_main.xml"), 1);
    EXPECT_EQ(CountLogSince(mark, "Reading Cog List File >  File: list_nested.xml"), 1);
    EXPECT_NE(mCogs.Types().FindType("Scenery"), nullptr);
    EXPECT_NE(mCogs.Types().FindType("Invader"), nullptr);
    // The cog file's cog is initialised: its name is published and "Construct" ran.
    Cog* level = mCogs.FindCogByName("Level");
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Construct Level"}));
    EXPECT_EQ(mCogs.GetCogCount(), 1u);
}

TEST_F(CompositionFile, CogListNamingItselfIsRefused)
{
    const uint32_t mark = LogMark();
    mCogs.Files().LoadCogFile("list_self.xml");
    EXPECT_EQ(CountLogSince(mark, "Cog List File names itself, skipped: list_self.xml"), 1);
    EXPECT_EQ(CountLogSince(mark, "Reading Cog List File >  File: list_self.xml"), 1);
    // The rest of the list still loads, once.
    EXPECT_EQ(mCogs.GetCogCount(), 1u);
    EXPECT_NE(mCogs.FindCogByName("Level"), nullptr);
}

TEST_F(CompositionFile, CogListsNamingEachOtherAreRefused)
{
    const uint32_t mark = LogMark();
    mCogs.Files().LoadCogFile("list_a.xml");
    std::string refused = "Cog List File names itself, skipped: ./list_a.xml";
    Console::FixSlashes(refused);
    EXPECT_EQ(CountLogSince(mark, refused), 1);
    EXPECT_EQ(CountLogSince(mark, "Reading Cog List File >  File: list_a.xml"), 1);
    EXPECT_EQ(CountLogSince(mark, "Reading Cog List File >  File: list_b.xml"), 1);
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
    EXPECT_NE(mCogs.Types().FindType("Scenery"), nullptr);
}

// A file "file" cannot tell for what it is loads nothing, with one Error naming it.
TEST_F(CompositionFile, ListOfAnotherTypeOrAnUnknownTopElementIsRefusedWithAnError)
{
    TempDir dir;
    std::string misspelt = TempDir::Read(CogData("scenery.xml"));
    for (size_t at = misspelt.find("FileComposition>"); at != std::string::npos;
         at = misspelt.find("FileComposition>", at))
        misspelt.replace(at, 16, "FileCompositiom>");
    const std::string tail = ": nothing is loaded from it";
    const struct
    {
        std::string mFile;
        std::string mError;
    } cases[] = {
        {"list_strings.xml", "Cog file list_strings.xml is a list of \"string\", not of \"file\"" + tail},
        {dir.Write("misspelt.xml", misspelt),
         "Cog file " + dir.Path("misspelt.xml") + " has the unknown top element <FileCompositiom>" + tail},
        {dir.Write("stream.xml", StreamText("<Stream></Stream>")),
         "Cog file " + dir.Path("stream.xml") + " has the unknown top element <Stream>" + tail},
    };
    for (const auto& c : cases)
    {
        std::string error = c.mError;
        Console::FixSlashes(error);
        const uint32_t mark = LogMark();
        mCogs.Files().LoadCogFile(c.mFile);
        EXPECT_EQ(CountLogSince(mark, error), 1) << NewestLogText();
        EXPECT_EQ(Console::Instance().GetEntryCounter(), mark + 1) << "one line";
        EXPECT_EQ(mCogs.Types().FindType("Scenery"), nullptr) << c.mFile;
    }
}

TEST_F(CompositionFile, MissingAndMalformedFilesAreReportedWithoutHarm)
{
    mCogs.Files().LoadCogFile("nothing_here.xml");
    EXPECT_EQ(NewestLogText(), "File Not Found: nothing_here.xml");
    TempDir dir;
    mCogs.Files().LoadCogFile(dir.Write(
        "cut.xml",
        "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n<FileComposition>\n<string name=\"CogName\">Cut"));
    mCogs.Files().LoadCogFile(dir.Write("empty.xml", ""));
    mCogs.Files().LoadComposition(dir.Write("wrong.xml", StreamText("<cog CogID=\"x\"></cog>")));
    mCogs.Files().LoadComposition(dir.Path("absent.xml"));
    EXPECT_EQ(mCogs.Types().FindType("Cut"), nullptr);
    EXPECT_EQ(mCogs.Types().FindType(""), nullptr);
    EXPECT_EQ(mCogs.GetCogCount(), 0u);
}
} // namespace
