#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/CogFactory.h"
#include "tests/LOOM/support/ScriptTestSupport.h"

namespace {

// Which cog ran which function with which number, in order.
struct CogCall
{
    uint32_t mCog;
    std::string mFunction;
    int32_t mValue;
};

std::vector<CogCall>& Calls()
{
    static std::vector<CogCall> calls;
    return calls;
}

struct CogCommands
{
    std::string NameOf(Cog* cog) { return cog ? cog->GetName() : std::string("<none>"); }
    Cog* Find(std::string name) { return mCogs->FindCogByName(name); }
    Cog* MakeOne() { return mCogs->Create("ScriptedThing"); }
    CogFactory* mCogs = nullptr;
};

class ScriptCogTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        Calls().clear();
        mType = std::make_shared<Composer>(mCogs, "ScriptedThing", "");
        mType->BindMessage("Add", MakeCogFunctor([](Cog* cog, int32_t a, int32_t b) -> int32_t {
                               Calls().push_back({cog->GetID(), "Add", a + b});
                               return a + b;
                           }));
        mType->BindMessage("Id", MakeCogFunctor([](Cog* cog) -> int32_t { return int32_t(cog->GetID()); }));
        mType->BindMessage("Take", MakeCogFunctor([](Cog* cog, int32_t value) {
                               Calls().push_back({cog->GetID(), "Take", value});
                           }));
        mType->BindMessage("Destroy", MakeCogFunctor([](Cog* cog) {
                               Calls().push_back({cog->GetID(), "Destroy", 0});
                           }));
        mType->BindMessage("Pos", MakeCogFunctor([](Cog*, Vector3 v) -> Vector3 { return v * 2.0f; }));
        mCogs.Types().RegisterType("ScriptedThing", mType);

        mCommands.mCogs = &mCogs;
        Console::Instance().AddCommand("TestCogName", MakeConsoleCommand(&mCommands, &CogCommands::NameOf));
        Console::Instance().AddCommand("TestFindCog", MakeConsoleCommand(&mCommands, &CogCommands::Find));
        Console::Instance().AddCommand("TestMake", MakeConsoleCommand(&mCommands, &CogCommands::MakeOne));
    }
    void TearDown() override
    {
        mCogs.DestroyAll();
        ScriptTest::TearDown();
    }

    Cog* Make(const std::string& name)
    {
        Cog* cog = mCogs.Allocate("ScriptedThing");
        EXPECT_NE(cog, nullptr);
        if (!cog)
            return nullptr;
        cog->SetName(name);
        cog->Initialize();
        return cog;
    }

    CogFactory mCogs;
    std::shared_ptr<Composer> mType;
    CogCommands mCommands;
};

} // namespace

TEST_F(ScriptCogTest, NamedCog_PublishedAsGlobalWhileItLives)
{
    Cog* hero = Make("Hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(String("tostring(Hero)"), "Loom Cog");
    EXPECT_TRUE(True("Hero.IsValid()"));
    EXPECT_EQ(Number("Hero.Id()"), double(hero->GetID()));

    mCogs.Destroy(hero);
    mCogs.ProcessDestroyList();
    EXPECT_EQ(TypeOf("Hero"), "nil");
}

TEST_F(ScriptCogTest, DestroyedCog_ValueReportsInvalidAndCallsThroughItAreHarmless)
{
    Cog* hero = Make("Hero");
    ASSERT_TRUE(Run("Kept = Hero KeptAdd = Hero.Add"));
    mCogs.Destroy(hero);
    mCogs.ProcessDestroyList();
    Calls().clear();

    const uint32_t mark = LogMark();
    EXPECT_TRUE(True("Kept.IsValid() == false"));
    ExpectNumbers({
        {"select('#', Kept.Add(1, 2))", 0.0}, {"select('#', KeptAdd(1, 2))", 0.0} // a closure taken while it lived
    });
    EXPECT_TRUE(Run("Kept.Destroy() Kept.Init() Kept.Take(Kept)"));
    EXPECT_EQ(String("G.TestCogName(Kept)"), "<none>");
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(LoggedSince(mark).empty());
}

TEST_F(ScriptCogTest, CogFunction_TakesTypedArgumentsAndReturnsItsResult)
{
    Make("Hero");
    ExpectNumbers(
        {{"Hero.Add(2, 3)", 5.0}, {"Hero.Pos(Vector3(1, 2, 3)).z", 6.0}, {"select('#', Hero.NoSuchFunction(1))", 0.0}});
    EXPECT_NE(String("select(2, pcall(Hero.Pos, 5))").find("rVector3 expected"), std::string::npos);
}

TEST_F(ScriptCogTest, NestedCalls_EachRunOnItsOwnCog)
{
    Cog* a = Make("A");
    Cog* b = Make("B");
    ASSERT_TRUE(Run("A.Take(B.Id())"));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].mCog, a->GetID());
    EXPECT_EQ(Calls()[0].mValue, int32_t(b->GetID()));
}

TEST_F(ScriptCogTest, CogArguments_PassedToCommandsAndReturnedFromThem)
{
    Make("Hero");
    EXPECT_EQ(String("G.TestCogName(Hero)"), "Hero");
    // Anything but a cog value arrives as no cog.
    for (const char* call : {"G.TestCogName(Vector3())", "G.TestCogName('Hero')", "G.TestCogName()",
                             "G.TestCogName(setmetatable({}, getmetatable(G)))"})
        EXPECT_EQ(String(call), "<none>") << call;

    EXPECT_EQ(String("tostring(G.TestFindCog('Hero'))"), "Loom Cog");
    EXPECT_EQ(Number("G.TestFindCog('Hero').Add(1, 1)"), 2.0);
    EXPECT_TRUE(True("G.TestFindCog('Nobody').IsValid() == false"));
}

TEST_F(ScriptCogTest, CallFunction_HandsCogParametersAsCogValues)
{
    Cog* hero = Make("Hero");
    ASSERT_TRUE(Run("function Receive(c) Received = c.Id() end"));
    ParamBuffer params;
    params.PushCog(hero);
    EXPECT_TRUE(Scripts().CallFunction("Receive", params));
    EXPECT_EQ(Number("Received"), double(hero->GetID()));
}

TEST_F(ScriptCogTest, Destroy_QueuesTheCogAndRunsItsDestroyFunction)
{
    Cog* hero = Make("Hero");
    ASSERT_TRUE(Run("Hero.Destroy()"));
    EXPECT_TRUE(mCogs.IsQueued(hero));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].mFunction, "Destroy");
    // Still there until the end of the frame.
    EXPECT_TRUE(True("Hero.IsValid()"));
}

TEST_F(ScriptCogTest, CogValue_IgnoresAssignmentsCallsAndOddKeys)
{
    Make("Hero");
    ASSERT_TRUE(Run("Hero.Add = 5 Hero()"));
    EXPECT_EQ(TypeOf("Hero.Add"), "function");
    ExpectNil({"Hero[true]", "Hero[nil]"});
    // A number key names a function by its text, like any other unknown name.
    EXPECT_EQ(TypeOf("Hero[7]"), "function");
    const uint32_t mark = LogMark();
    EXPECT_EQ(Number("select('#', Hero[7](1))"), 0.0);
    EXPECT_TRUE(LoggedSince(mark).empty());
    EXPECT_EQ(TypeOf("getmetatable(Hero).__index(Vector3(), 'Add')"), "nil");
}

TEST_F(ScriptCogTest, NamedCog_NotPublishedWithoutAState)
{
    Scripts().Close();
    const uint32_t mark = LogMark();
    Cog* ghost = Make("Ghost");
    ASSERT_NE(ghost, nullptr);
    EXPECT_EQ(CountStartingWith(LoggedSince(mark), "No Lua state: global Ghost ignored"), 1u);
    mCogs.Destroy(ghost);
    mCogs.ProcessDestroyList();
    Scripts().Init();
    EXPECT_EQ(TypeOf("Ghost"), "nil");
}

// Cogs a script makes through engine commands count against a limit of live ones: past it none
// is made and the call raises a script error naming the command and the limit, however it was
// called; the cogs made outside scripts are not counted, and a destroyed cog frees its place.
TEST_F(ScriptCogTest, CogsMadeByScripts_AreLimitedWithAnErrorNamingTheLimit)
{
    const size_t limit = CogFactory::kMaxScriptCogs;
    const std::string refused =
        "cog ScriptedThing not made: scripts may keep at most " + std::to_string(limit) + " cogs alive";
    Cog* own = Make("Own");
    ASSERT_TRUE(Run("Made = {} for i = 1, " + std::to_string(limit) + " do Made[i] = G.TestMake() end"));
    EXPECT_EQ(mCogs.GetScriptCogCount(), limit);
    EXPECT_TRUE(True("Made[#Made].IsValid()"));
    const size_t count = mCogs.GetCogCount();
    struct Case
    {
        const char* mCall;
        std::string mError;
    };
    const Case cases[] = {
        {"select(2, pcall(function() local c = G.TestMake() end))", "[string \"...\"]:1: TestMake refused: " + refused},
        {"select(2, pcall(G.TestMake))", refused},
        {"select(2, coroutine.resume(coroutine.create(function() G.TestMake() end)))",
         "[string \"...\"]:1: TestMake refused: " + refused},
        {"select(2, pcall(function() for i = 1, 3 do pcall(G.TestMake) end return G.TestMake() end))",
         "[string \"...\"]:1: TestMake refused: " + refused},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mCall);
        std::string error = String(c.mCall);
        // The chunk's name is its text, cut.
        const size_t name = error.find("[string \"");
        if (name != std::string::npos)
            error.replace(name, error.find("\"]") + 2 - name, "[string \"...\"]");
        EXPECT_EQ(error, c.mError);
        EXPECT_EQ(mCogs.GetCogCount(), count);
    }
    // The error is raised once: what runs after a caught one goes on.
    EXPECT_TRUE(Run("pcall(G.TestMake) After = 1 + 1"));
    EXPECT_EQ(Number("After"), 2.0);

    // Cogs made outside a script are the engine's own.
    EXPECT_NE(mCogs.Create("ScriptedThing"), nullptr);
    EXPECT_EQ(mCogs.GetScriptCogCount(), limit);
    ASSERT_TRUE(Run("Made[1].Destroy()"));
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetScriptCogCount(), limit - 1);
    EXPECT_TRUE(True("G.TestMake() ~= nil"));
    EXPECT_EQ(mCogs.GetScriptCogCount(), limit);
    mCogs.DestroyAll();
    EXPECT_EQ(mCogs.GetScriptCogCount(), 0u);
    (void)own;
}
