#include <time.h>
#include <unistd.h>

#include <cstdio>

#include <memory>
#include <string>
#include <vector>

#include "LOOM/base/StopRequest.h"
#include "LOOM/calls/ParamBuffer.h"
#include "tests/LOOM/support/ScriptTestSupport.h"
#include "tests/LOOM/support/TempDir.h"

namespace {

// A data folder of its own for the test, the old one back after.
class ScriptLoadTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        mOldPath = GetDataPath();
        SetDataPath(mDir.Path() + "/");
    }
    void TearDown() override
    {
        SetDataPath(mOldPath);
        ScriptTest::TearDown();
    }

    TempDir mDir;
    std::string mOldPath;
};

// What the library's own string.dump gives for a small function, from a plain state.
std::string DumpedFunction()
{
    std::unique_ptr<lua_State, void (*)(lua_State*)> plain(luaL_newstate(), &lua_close);
    std::string out;
    if (luaL_loadstring(plain.get(), "local a, b = ... return a + b, 'q'") != 0)
        return out;
    lua_dump(
        plain.get(),
        [](lua_State*, const void* bytes, size_t size, void* data) {
            static_cast<std::string*>(data)->append(static_cast<const char*>(bytes), size);
            return 0;
        },
        &out);
    return out;
}

double ParseThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A chunk of string constants that differ only where the library's string hash does not look:
// they share one hash chain, and parsing them whole takes far longer than any limit.
std::string CollidingLiterals(int count)
{
    std::string chunk = "return {\n";
    char digits[16];
    for (int i = 0; i < count; ++i)
    {
        snprintf(digits, sizeof(digits), "%05d", i);
        chunk += std::string("\"x") + digits[0] + digits[1] + "x" + digits[2] + digits[3] + "x" + digits[4] +
            std::string(56, 'x') + "\",\n";
    }
    return chunk + "}\n";
}

} // namespace

// Precompiled chunks (forged or as string.dump made them) are refused by every loader, each
// error naming the chunk, and nothing of them runs; source text loads through the same ways.
TEST_F(ScriptLoadTest, BinaryChunksAreRefusedByEveryLoaderAndSourceTextLoads)
{
    std::string dumped = DumpedFunction();
    ASSERT_GT(dumped.size(), 20u);
    ASSERT_EQ(dumped[0], '\033');
    std::string forged = dumped;
    for (size_t at : {dumped.size() / 2, dumped.size() / 2 + 1, dumped.size() - 3})
        forged[at] = char(forged[at] ^ 0x5A);
    mDir.Write("Dumped.lua", dumped);
    mDir.Write("Forged.lua", forged);
    mDir.Write("Shebang.lua", "#!/bin/lua\n" + dumped);
    mDir.Write("Good.lua", "return 40 + 2");
    mDir.Write("Scripts/Forged.lua", forged);
    lua_pushlstring(L(), dumped.data(), dumped.size());
    lua_setglobal(L(), "Dumped");
    lua_pushlstring(L(), forged.data(), forged.size());
    lua_setglobal(L(), "Forged");
    ASSERT_TRUE(Run("function Try(f, ...) local ok, a, b = pcall(f, ...) "
                    "return tostring(ok) .. '|' .. tostring(a) .. '|' .. tostring(b) end "
                    "function Pieces(text) local at = 1 return function() local piece = text:sub(at, at + 6) "
                    "at = at + 7 return piece end end"));
    const std::string refused = ": binary chunk refused: scripts load source text only";
    struct Case
    {
        const char* mCall;
        std::string mOutcome;
    };
    const Case cases[] = {
        {"Try(loadstring, Forged)", "true|nil|loadstring" + refused},
        {"Try(loadstring, Dumped)", "true|nil|loadstring" + refused},
        {"Try(loadstring, string.dump(function() return 1 end))", "true|nil|loadstring" + refused},
        {"Try(loadstring, Dumped, '=Named')", "true|nil|Named" + refused},
        {"Try(load, Pieces(Forged))", "true|nil|load" + refused},
        {"Try(load, Pieces(Dumped), '@Pieces')", "true|nil|Pieces" + refused},
        {"Try(loadfile, 'Forged.lua')", "true|nil|Forged.lua" + refused},
        {"Try(loadfile, 'Dumped.lua')", "true|nil|Dumped.lua" + refused},
        {"Try(dofile, 'Forged.lua')", "false|Forged.lua" + refused + "|nil"},
        {"Try(require, 'Forged')",
         "false|error loading module 'Forged' from file 'Forged.lua':\n\tForged.lua" + refused + "|nil"},
        {"Try(require, 'Scripts.Forged')",
         "false|error loading module 'Scripts.Forged' from file 'Scripts/Forged.lua':\n\tScripts/Forged.lua" + refused +
             "|nil"},
        // The first line of a file starting with '#' is skipped; a binary chunk after it is no text.
        {"(select(2, loadfile('Shebang.lua')) or ''):match('^Shebang.lua:2:') ~= nil", "true"},
        // Source text through the same ways.
        {"loadstring('return 40 + 2')()", "42"},
        {"load(Pieces('return 40 + 2 -- a comment longer than a piece'))()", "42"},
        {"loadfile('Good.lua')()", "42"},
        {"dofile('Good.lua')", "42"},
        {"require('Good')", "42"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mCall);
        const uint32_t mark = LogMark();
        EXPECT_EQ(String("tostring(" + std::string(c.mCall) + ")"), c.mOutcome);
        const std::vector<std::string> logged = LoggedSince(mark);
        const bool refusedHere = c.mOutcome.find(refused) != std::string::npos;
        EXPECT_EQ(CountStartingWith(logged, "Lua Error"), 0u);
        EXPECT_EQ(logged.size(), refusedHere ? 1u : 0u);
    }

    // Without a file name nothing is read, not even standard input holding a chunk: refused at once.
    for (const char* call : {"Try(loadfile)", "Try(dofile)", "Try(loadfile, nil)"})
    {
        SCOPED_TRACE(call);
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        ASSERT_EQ(write(pipeEnds[1], dumped.data(), dumped.size()), ssize_t(dumped.size()));
        close(pipeEnds[1]);
        const int savedInput = dup(0);
        dup2(pipeEnds[0], 0);
        close(pipeEnds[0]);
        clearerr(stdin);
        const std::string outcome = String(call);
        dup2(savedInput, 0);
        close(savedInput);
        clearerr(stdin);
        EXPECT_EQ(outcome.rfind("false|", 0), 0u) << outcome;
        EXPECT_NE(outcome.find("scripts name the file to load; standard input is not read"), std::string::npos)
            << outcome;
    }

    // A script file the engine runs.
    const uint32_t mark = LogMark();
    EXPECT_EQ(Scripts().RunScript("Scripts/Forged.lua"), ScriptResult::Failed);
    EXPECT_EQ(LoggedSince(mark),
              (std::vector<std::string>{"Scripts\\Forged.lua" + refused, "Lua Error: Scripts\\Forged.lua" + refused}));
}

// Loading is script work under the call's time limit: a parse that would run for many seconds is
// cut once the limit has passed, with the watchdog's own error, through every loader and for a
// file the engine runs; the state goes on.
TEST_F(ScriptLoadTest, AParseThatOutlastsTheLimitIsStoppedWithTheWatchdogsError)
{
    constexpr double kLimit = 0.3;
    const WatchdogLimits limits(kLimit, ScriptManager::kDefaultMemoryCap);
    const std::string chunk = CollidingLiterals(100000);
    mDir.Write("Literals.lua", chunk);
    mDir.Write("Scripts/Literals.lua", chunk);
    mDir.Write("Scripts/DoLiterals.lua", "dofile('Literals.lua')");
    lua_pushlstring(L(), chunk.data(), chunk.size());
    lua_setglobal(L(), "Chunk");
    ASSERT_TRUE(Run("function ViaLoadstring() loadstring(Chunk) end "
                    "function ViaLoad() local done = false "
                    "load(function() if done then return nil end done = true return Chunk end) end "
                    "function ViaPcall() pcall(loadstring, Chunk) Reached = true end "
                    "function ViaLoadfile() loadfile('Literals.lua') end "
                    "function ViaRequire() require('Literals') end"));
    struct Case
    {
        const char* mName;
        bool mFile;
    };
    const Case cases[] = {
        {"ViaLoadstring", false},         {"ViaLoad", false},    {"ViaPcall", false},
        {"ViaLoadfile", false},           {"ViaRequire", false}, {"Scripts/Literals.lua", true},
        {"Scripts/DoLiterals.lua", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mName);
        ASSERT_TRUE(Run("package.loaded.Literals = nil Reached = false"));
        const uint32_t mark = LogMark();
        const double start = ParseThreadSeconds();
        ParamBuffer none;
        const ScriptResult result = c.mFile
            ? Scripts().RunScript(c.mName)
            : (Scripts().CallFunction(c.mName, none) ? ScriptResult::Ran : ScriptResult::Stopped);
        const double took = ParseThreadSeconds() - start;
        EXPECT_EQ(result, ScriptResult::Stopped);
        // The thread's own working time: a busy machine does not lengthen it.
        EXPECT_LT(took, kLimit + 1.0);
        std::string label = c.mName;
        for (char& ch : label)
            ch = ch == '/' ? '\\' : ch;
        EXPECT_EQ(LoggedSince(mark), std::vector<std::string>{"Lua Error: " + label + " took too long"});
        EXPECT_FALSE(True("Reached"));
    }
    EXPECT_EQ(Number("loadstring('return 40 + 2')()"), 42.0);
}

// What a script may learn of the machine: no environment, and its files named as it names them.
TEST_F(ScriptLoadTest, ScriptsGetNoEnvironmentAndErrorsNameFilesInsideTheDataFolder)
{
    ASSERT_NE(getenv("HOME"), nullptr);
    ExpectNil({"os.getenv('HOME')", "os.getenv('PATH')", "os.getenv('LOOM_ASSERT')"});
    EXPECT_FALSE(True("pcall(os.getenv)"));

    mDir.Write("Scripts/Fails.lua", "\nerror('boom')\n");
    mDir.Write("Scripts/Broken.lua", "x = = 1\n");
    mDir.Write("Scripts/Runs.lua", "dofile('Scripts/Fails.lua')\n");
    ASSERT_TRUE(Run("ErrorFunc = function(text) Seen[#Seen + 1] = tostring(text) end"));
    const char* files[] = {"Scripts/Fails.lua", "Scripts/Broken.lua", "Scripts/Runs.lua", "Scripts/Missing.lua"};
    const char* seen[] = {"Scripts/Fails.lua:2: boom", "Scripts/Broken.lua:1: unexpected symbol near '='",
                          "Scripts/Fails.lua:2: boom", "cannot open Scripts/Missing.lua"};
    for (size_t i = 0; i < std::size(files); ++i)
    {
        SCOPED_TRACE(files[i]);
        ASSERT_TRUE(Run("Seen = {}"));
        EXPECT_EQ(Scripts().RunScript(files[i]), ScriptResult::Failed);
        EXPECT_EQ(String("table.concat(Seen, '|')"), seen[i]);
    }
    EXPECT_EQ(String("select(2, loadfile('Scripts/Broken.lua'))"), "Scripts/Broken.lua:1: unexpected symbol near '='");
    EXPECT_EQ(String("select(2, pcall(dofile, 'Scripts/Fails.lua'))"), "Scripts/Fails.lua:2: boom");
}
