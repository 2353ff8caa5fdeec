#include "LOOM/cogs/CompTypes.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/LOOM/support/SerialTestUtil.h"
#include "tests/LOOM/support/TempDir.h"

namespace {
class DamageOnly : public Comp
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "DamageOnly"; }
    uint32_t GetTypeId() override { return 902; }
    void Damage(float) {}
    void Place(std::string, Vector3, int32_t) {}
    void Poke() {}
};

class AutoDoc : public CogFixture
{
protected:
    void SetUp() override
    {
        CogFixture::SetUp();
        mCogs.Exporter().SetExportDocs(true);
    }

    TempDir mDir;
    ScopedCwd mCwd{mDir.Path()};
};

TEST_F(AutoDoc, ExampleTypeIsWrittenExactly)
{
    Composer type(mCogs, "T", "");
    type.BindMessage("Damage", MakeCompFunctor(902, &DamageOnly::Damage));
    type.WriteAutoDoc();
    EXPECT_EQ(TempDir::Read(mDir.Path("AutoDoc/T.xml")),
              "<?xml version=\"1.0\" ?> \n"
              "<?xml-stylesheet type=\"text/xsl\" href=\"DocXSLT.xsl\" ?>\n"
              "<CogDoc name=\"T\">\n"
              "<MappedData>\n"
              "</MappedData>\n"
              "<MappedFuncs>\n"
              "<Func>\n"
              "<Name>Damage</Name>\n"
              "<Params> (float) </Params></Func>\n"
              "</MappedFuncs>\n"
              "</CogDoc>\n");
}

TEST_F(AutoDoc, ParametersAreListedInOrderAndNoneGivesEmptyParentheses)
{
    Composer type(mCogs, "Many", "");
    type.BindMessage("Poke", MakeCompFunctor(902, &DamageOnly::Poke));
    type.BindMessage("Place", MakeCompFunctor(902, &DamageOnly::Place));
    const std::string text = type.AutoDocText();
    EXPECT_NE(
        text.find("<Name>Place</Name>\n<Params> (string,vector,uint) </Params></Func>\n<Func>\n<Name>Poke</Name>\n"
                  "<Params> () </Params></Func>\n"),
        std::string::npos)
        << text;
}

TEST_F(AutoDoc, NamesAreEscaped)
{
    Composer type(mCogs, "A&B \"quoted\"", "");
    type.BindMessage("<Hit>", MakeCompFunctor(902, &DamageOnly::Poke));
    const std::string text = type.AutoDocText();
    EXPECT_NE(text.find("<CogDoc name=\"A&amp;B &quot;quoted&quot;\">\n"), std::string::npos) << text;
    EXPECT_NE(text.find("<Name>&lt;Hit&gt;</Name>\n"), std::string::npos) << text;
}

TEST_F(AutoDoc, TypeNameCannotLeaveTheFolder)
{
    for (const char* name : {"../Escaped", "sub/Escaped", "sub\\Escaped", "..", ""})
    {
        const uint32_t mark = LogMark();
        Composer type(mCogs, name, "");
        type.WriteAutoDoc();
        std::string expected = std::string("AutoDoc: refused type name ") + name;
        Console::FixSlashes(expected);
        EXPECT_EQ(CountLogSince(mark, expected), 1) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(mDir.Path("Escaped.xml")));
    EXPECT_FALSE(std::filesystem::exists(mDir.Path("AutoDoc/sub")));
}

TEST_F(AutoDoc, NothingIsWrittenWhileExportDocsIsOff)
{
    mCogs.Exporter().SetExportDocs(false);
    Composer type(mCogs, "Quiet", "");
    type.WriteAutoDoc();
    EXPECT_FALSE(std::filesystem::exists(mDir.Path("AutoDoc")));
}

TEST_F(AutoDoc, LoadingACompositionAgainRewritesItsFile)
{
    mDir.Write("scenery.xml", TempDir::Read(CogData("scenery.xml")));
    mCogs.Types().RegisterFunction("TestConstruct", MakeCogFunctor([](Cog*) {}));
    mCogs.Files().LoadCogFile("scenery.xml");
    const std::string path = mDir.Path("AutoDoc/Scenery.xml");
    EXPECT_NE(TempDir::Read(path).find("<Name>Construct</Name>\n<Params> () </Params></Func>"), std::string::npos);
    mDir.Write("AutoDoc/Scenery.xml", "stale");
    mCogs.Files().LoadCogFile("scenery.xml");
    EXPECT_NE(TempDir::Read(path).find("<CogDoc name=\"Scenery\">"), std::string::npos);
}

// Components named like two of the engine's own types, for the export's file names.
class WallLike : public Comp
{
public:
    void Serialize(Serializer& s) override
    {
        SerializeHeader(s);
        s.SerializeInt("Height", mHeight);
    }
    std::string GetTypeName() override { return CompTypeName(CompWall); }
    uint32_t GetTypeId() override { return CompWall; }
    int32_t mHeight = 3;
};

class SocketLike : public Comp
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return CompTypeName(CompUdpSocket); }
    uint32_t GetTypeId() override { return CompUdpSocket; }
};

class BadlyNamed : public Comp
{
public:
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "../Outside"; }
    uint32_t GetTypeId() override { return 903; }
};

TEST_F(AutoDoc, ExportWritesOneFilePerTypeAndTheFunctionNames)
{
    CogFactory cogs;
    CompFactoryOf<WallLike> wall;
    CompFactoryOf<SocketLike> socket;
    CompFactoryOf<BadlyNamed> bad;
    cogs.Types().RegisterComponent(CompWall, &wall);
    cogs.Types().RegisterComponent(CompUdpSocket, &socket);
    cogs.Types().RegisterComponent(903, &bad);
    cogs.Types().RegisterFunction("Zeta", MakeCogFunctor([](Cog*) {}));
    cogs.Types().RegisterFunction("Alpha", MakeCogFunctor([](Cog*) {}));
    cogs.Exporter().Export();
    EXPECT_EQ(NewestLogText(), "Done");
    EXPECT_EQ(TempDir::Read(mDir.Path("Components/wall.xml")),
              StreamText("\n\t<comp name=\"wall\" CompID=\"104\">\n\t\t<int name=\"Height\">3</int>\n\t</comp>"));
    EXPECT_TRUE(std::filesystem::exists(mDir.Path("Components/UDP Socket.xml")));
    EXPECT_FALSE(std::filesystem::exists(mDir.Path("Outside.xml")));
    EXPECT_EQ(
        TempDir::Read(mDir.Path("FileFunctions.xml")),
        StreamText(
            "\n\t<list size=\"2\" type=\"string\">\n\t\t<string>Alpha</string>\n\t\t<string>Zeta</string>\n\t</list>"));
}

TEST_F(AutoDoc, ExportWithoutFactoriesWritesOnlyAnEmptyFunctionList)
{
    CogFactory cogs;
    cogs.Exporter().Export();
    EXPECT_TRUE(std::filesystem::is_empty(mDir.Path("Components")));
    EXPECT_EQ(TempDir::Read(mDir.Path("FileFunctions.xml")),
              StreamText("\n\t<list size=\"0\" type=\"string\">\n\t</list>"));
}
} // namespace

TEST(CompTypes, NamesAreTheDataVocabulary)
{
    EXPECT_STREQ(CompTypeName(CompPositional), "Positional");
    EXPECT_STREQ(CompTypeName(CompWall), "wall");
    EXPECT_STREQ(CompTypeName(CompUdpSocket), "UDP Socket");
    EXPECT_STREQ(CompTypeName(CompTcpSocket), "TCP Socket");
    EXPECT_STREQ(CompTypeName(CompGameCamera), "GameCamera");
    EXPECT_EQ(CompTypeName(13), nullptr);
    EXPECT_EQ(CompTypeName(0), nullptr);
    int known = 0;
    for (uint32_t id = 0; id < 600; ++id)
        known += CompTypeName(id) != nullptr;
    EXPECT_EQ(known, 45);
}
