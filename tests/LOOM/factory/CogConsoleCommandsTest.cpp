#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/ConsoleCommand.h"
#include "tests/LOOM/support/CogTestSupport.h"

namespace {
// The engine's manager answers the cog commands typed into the console.
class CogConsoleCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Trace().clear();
        mCogs.DestroyAll();
        mCogs.Types().RegisterComponent(kHealthId, &gHealthFactory);
        mCogs.Types().RegisterComponent(kMarkerId, &gMarkerFactory);
        auto type = std::make_shared<Composer>(mCogs, "Plain", "Plains");
        type->AddComponent(kMarkerId, &gMarkerFactory);
        type->AddComponent(kHealthId, &gHealthFactory);
        mCogs.Types().RegisterType("Plain", type);
    }
    void TearDown() override { mCogs.DestroyAll(); }

    CogFactory& mCogs = CogFactory::Instance();
    Console& mConsole = Console::Instance();
};

TEST_F(CogConsoleCommands, CommandsAreRegisteredWithTheirDescriptions)
{
    const auto& commands = mConsole.GetCommands();
    for (const char* name :
         {"composer", "destroygroup", "create", "dis", "des", "export", "dg", "file", "allocate", "getcogname"})
        EXPECT_NE(mConsole.FindCommand(name), nullptr) << name;
    EXPECT_EQ(commands.at("create").mDescription, "Creates a Cog (Filename or Archetype)");
    EXPECT_EQ(commands.at("dg").mDescription, "Destroys given Group");
    EXPECT_EQ(commands.at("getcogname").mDescription, "");
}

TEST_F(CogConsoleCommands, CreateDisAndDesWorkFromTheCommandLine)
{
    mConsole.ExecuteLine("Create Plain");
    mConsole.ExecuteLine("Create Plain");
    ASSERT_EQ(mCogs.GetCogCount(), 2u);
    mConsole.ExecuteLine("dis");
    EXPECT_EQ(NewestLogText(), "cog: 2 Type: Plain Name: ");
    mConsole.ExecuteLine("des 1u");
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCog(1), nullptr);
    mConsole.ExecuteLine("dg Plains");
    mCogs.ProcessDestroyList();
    mConsole.ExecuteLine("dis");
    EXPECT_EQ(NewestLogText(), "No Cogs Active");
}

TEST_F(CogConsoleCommands, CogLineCallsANamedFunctionOfTheCog)
{
    mConsole.ExecuteLine("Create Plain");
    Trace().clear();
    mConsole.ExecuteLine("c 1 Hit");
    EXPECT_EQ(Trace(), (std::vector<std::string>{"Hit Marker", "Hit Health"}));
}

TEST_F(CogConsoleCommands, GetCogNameReturnsTheCogInTheBuffer)
{
    Cog* cog = mCogs.Allocate("Plain");
    cog->SetName("Tower");
    cog->Initialize();
    ParamBuffer params;
    params.PushStdString("Tower");
    mConsole.FindCommand("GetCogName")->Execute(params);
    ASSERT_EQ(params.GetSignature(), uint32_t(ParamCog));
    params.Rewind();
    EXPECT_EQ(ParamTraits<Cog*>::Pop(params), cog);
}
} // namespace
