// Cost of calling into the engine from Lua: a console command through G and a named cog
// function through a cog value, against a bare Lua C function as the reference. Each benchmark
// iteration runs a Lua loop of kCallsPerRun calls, so the figures are per call (items per second,
// or time / kCallsPerRun); every benchmark also runs the bare loop in the same run ("ratio").
#include <benchmark/benchmark.h>

#include <chrono>

#include <lua.hpp>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/script/ScriptManager.h"
#include "bench/BenchSeconds.h"
#include "bench/ThreadClock.h"

namespace {

constexpr int kCallsPerRun = 1000;

int BareAdd(lua_State* L)
{
    lua_pushnumber(L, lua_tonumber(L, 1) + lua_tonumber(L, 2));
    return 1;
}

struct Adder
{
    int32_t Add(int32_t a, int32_t b) { return a + b; }
};
Adder gAdder;

lua_State* StartScripts()
{
    ScriptManager& scripts = ScriptManager::Instance();
    if (!scripts.GetState())
    {
        ParamBuffer::AllocatePool(8);
        SetDataPath("/nonexistent/"); // no Init.lua: one logged error, then an empty state
        Console::Instance().AddCommand("BenchAdd", MakeConsoleCommand(&gAdder, &Adder::Add));
        scripts.Init();
        lua_register(scripts.GetState(), "BareAdd", &BareAdd);

        // One named cog with an "Add" function, published as the global "Bench".
        static CogFactory cogs;
        auto type = std::make_shared<Composer>(cogs, "BenchThing", "");
        type->BindMessage("Add", MakeCogFunctor([](Cog*, int32_t a, int32_t b) -> int32_t { return a + b; }));
        cogs.Types().RegisterType("BenchThing", type);
        Cog* cog = cogs.Allocate("BenchThing");
        cog->SetName("Bench");
        cog->Initialize();
    }
    return scripts.GetState();
}

// Compiles "return function(n) <setup> for i = 1, n do <call> end end" and keeps the loop function.
int MakeLoop(lua_State* L, const char* setup, const char* call)
{
    const std::string code = std::string("return function(n) ") + setup + " for i = 1, n do " + call + " end end";
    if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0)
        return LUA_NOREF;
    return luaL_ref(L, LUA_REGISTRYINDEX);
}

// Runs the loop once; false (and the error popped) when it raised one.
bool CallLoop(lua_State* L, int loop, std::string& error)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, loop);
    lua_pushnumber(L, kCallsPerRun);
    if (lua_pcall(L, 1, 0, 0) == 0)
        return true;
    error = lua_tostring(L, -1) ? lua_tostring(L, -1) : "error";
    lua_pop(L, 1);
    return false;
}

void RunLoop(benchmark::State& state, const char* call, const char* setup = "")
{
    lua_State* L = StartScripts();
    const int loop = MakeLoop(L, setup, call);
    const int bare = MakeLoop(L, "", "BareAdd(i, 1)");
    if (loop == LUA_NOREF || bare == LUA_NOREF)
    {
        state.SkipWithError("loop did not compile");
        return;
    }
    double ours = 0.0;
    double reference = 0.0;
    std::string error;
    for (auto _ : state)
    {
        double start = ThreadSeconds();
        const bool ok = CallLoop(L, loop, error);
        ours += (ThreadSeconds() - start);
        start = ThreadSeconds();
        const bool bareOk = CallLoop(L, bare, error);
        reference += (ThreadSeconds() - start);
        if (!ok || !bareOk)
        {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    luaL_unref(L, LUA_REGISTRYINDEX, loop);
    luaL_unref(L, LUA_REGISTRYINDEX, bare);
    state.SetItemsProcessed(state.iterations() * kCallsPerRun);
    const double calls = double(state.iterations() ? state.iterations() : 1) * kCallsPerRun;
    state.counters["ns_per_call"] = ours / calls * 1e9;
    state.counters["bare_ns"] = reference / calls * 1e9;
    state.counters["ratio"] = reference > 0.0 ? ours / reference : 0.0;
}

void BM_BareCFunctionCall(benchmark::State& state) { RunLoop(state, "BareAdd(i, 1)"); }
BENCHMARK(BM_BareCFunctionCall);

void BM_ConsoleCommandThroughG(benchmark::State& state) { RunLoop(state, "G.BenchAdd(i, 1)"); }
BENCHMARK(BM_ConsoleCommandThroughG);

// The same, with the field looked up once outside the loop: the dispatch alone.
void BM_ConsoleCommandThroughGCachedField(benchmark::State& state)
{
    RunLoop(state, "add(i, 1)", "local add = G.BenchAdd");
}
BENCHMARK(BM_ConsoleCommandThroughGCachedField);

void BM_CogFunctionThroughCogValue(benchmark::State& state) { RunLoop(state, "Bench.Add(i, 1)"); }
BENCHMARK(BM_CogFunctionThroughCogValue);

// The pattern functions scripts see (bounded: every character compared or written counted
// toward the watchdog) against the stock string library in a plain state, the same loop on both
// sides.
// Both loops return what they found; a difference is an error.
void BM_PatternFunctions(benchmark::State& state)
{
    constexpr const char* kLoop =
        "return function(n) local s = 'the quick brown fox jumps over the lazy dog 12345 key=value; other=thing' "
        "local found = 0 for i = 1, n do "
        "local a, b = string.find(s, '%d+') found = found + a + b "
        "local k, v = string.match(s, '(%w+)=(%w+)') found = found + #k + #v "
        "for w in string.gmatch(s, '%a+') do found = found + 1 end "
        "local _, c = string.gsub(s, 'o', '0') found = found + c "
        "found = found + (string.find(s, 'lazy', 1, true) or 0) "
        "end return found end";
    lua_State* ours = StartScripts();
    lua_State* stock = luaL_newstate();
    luaL_openlibs(stock);
    const auto make = [](lua_State* L) {
        if (luaL_loadstring(L, kLoop) != 0 || lua_pcall(L, 0, 1, 0) != 0)
            return LUA_NOREF;
        return luaL_ref(L, LUA_REGISTRYINDEX);
    };
    const int oursLoop = make(ours);
    const int stockLoop = make(stock);
    if (oursLoop == LUA_NOREF || stockLoop == LUA_NOREF)
    {
        state.SkipWithError("loop did not compile");
        lua_close(stock);
        return;
    }
    const auto run = [](lua_State* L, int loop, double& found) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, loop);
        lua_pushnumber(L, 100);
        if (lua_pcall(L, 1, 1, 0) != 0)
        {
            lua_pop(L, 1);
            return false;
        }
        found = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return true;
    };
    double oursSeconds = 0.0;
    double stockSeconds = 0.0;
    for (auto _ : state)
    {
        double oursFound = 0.0;
        double stockFound = 0.0;
        double start = ThreadSeconds();
        const bool ok = run(ours, oursLoop, oursFound);
        oursSeconds += ThreadSeconds() - start;
        start = ThreadSeconds();
        const bool stockOk = run(stock, stockLoop, stockFound);
        stockSeconds += ThreadSeconds() - start;
        if (!ok || !stockOk || oursFound != stockFound)
        {
            state.SkipWithError("the two sides did not find the same");
            break;
        }
    }
    luaL_unref(ours, LUA_REGISTRYINDEX, oursLoop);
    lua_close(stock);
    const double rounds = double(state.iterations() ? state.iterations() : 1) * 100;
    state.counters["us_per_round"] = oursSeconds / rounds * 1e6;
    state.counters["stock_us"] = stockSeconds / rounds * 1e6;
    state.counters["ratio"] = stockSeconds > 0.0 ? oursSeconds / stockSeconds : 0.0;
}
BENCHMARK(BM_PatternFunctions);

// A plain find of a needle of range(0) bytes ('a's and a last 'b') in twice as many 'a's: ours
// (linear, counted as it goes) against the stock string library, which compares the needle at
// every start. Neither finds it; each side runs once an iteration.
void BM_PlainFind(benchmark::State& state)
{
    const size_t needle = size_t(state.range(0));
    constexpr const char* kFind = "return function(s, n) return string.find(s, n, 1, true) end";
    lua_State* ours = StartScripts();
    lua_State* stock = luaL_newstate();
    luaL_openlibs(stock);
    struct Refs
    {
        int mFind = LUA_NOREF;
        int mSubject = LUA_NOREF;
        int mNeedle = LUA_NOREF;
    };
    const auto make = [&](lua_State* L) {
        Refs refs;
        if (luaL_loadstring(L, kFind) != 0 || lua_pcall(L, 0, 1, 0) != 0)
            return refs;
        refs.mFind = luaL_ref(L, LUA_REGISTRYINDEX);
        const std::string subject(2 * needle, 'a');
        const std::string text = std::string(needle - 1, 'a') + "b";
        lua_pushlstring(L, subject.data(), subject.size());
        refs.mSubject = luaL_ref(L, LUA_REGISTRYINDEX);
        lua_pushlstring(L, text.data(), text.size());
        refs.mNeedle = luaL_ref(L, LUA_REGISTRYINDEX);
        return refs;
    };
    const Refs oursFind = make(ours);
    const Refs stockFind = make(stock);
    if (oursFind.mFind == LUA_NOREF || stockFind.mFind == LUA_NOREF)
    {
        state.SkipWithError("find did not compile");
        lua_close(stock);
        return;
    }
    const auto run = [](lua_State* L, const Refs& refs, bool& found) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, refs.mFind);
        lua_rawgeti(L, LUA_REGISTRYINDEX, refs.mSubject);
        lua_rawgeti(L, LUA_REGISTRYINDEX, refs.mNeedle);
        if (lua_pcall(L, 2, 1, 0) != 0)
        {
            lua_pop(L, 1);
            return false;
        }
        found = !lua_isnil(L, -1);
        lua_pop(L, 1);
        return true;
    };
    double oursSeconds = 0.0;
    double stockSeconds = 0.0;
    for (auto _ : state)
    {
        bool oursFound = true;
        bool stockFound = true;
        double start = ThreadSeconds();
        const bool ok = run(ours, oursFind, oursFound);
        oursSeconds += ThreadSeconds() - start;
        start = ThreadSeconds();
        const bool stockOk = run(stock, stockFind, stockFound);
        stockSeconds += ThreadSeconds() - start;
        if (!ok || !stockOk || oursFound || stockFound)
        {
            state.SkipWithError("the two sides did not find the same");
            break;
        }
    }
    for (int ref : {oursFind.mFind, oursFind.mSubject, oursFind.mNeedle})
        luaL_unref(ours, LUA_REGISTRYINDEX, ref);
    lua_close(stock);
    const double rounds = double(state.iterations() ? state.iterations() : 1);
    state.counters["ms_per_find"] = oursSeconds / rounds * 1e3;
    state.counters["stock_ms"] = stockSeconds / rounds * 1e3;
    state.counters["ratio"] = stockSeconds > 0.0 ? oursSeconds / stockSeconds : 0.0;
}
// The stock side of the 1 MB needle takes about a minute a find: one iteration there, and only
// the small size in the test run's pass.
BENCHMARK(BM_PlainFind)
    ->Apply([](benchmark::internal::Benchmark* bench) {
        bench->Arg(16 << 10);
        if (!BenchSmoke())
            bench->Arg(1 << 20);
    })
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
