#pragma once
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <lua.hpp>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/StopRequest.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/console/Console.h"
#include "LOOM/script/ScriptManager.h"

// A fresh script state per test, with "Scripts/Init.lua" found under tests/data/scripts.
class ScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The core engine fills the pool at start; block counts below are measured against it.
        if (ParamBuffer::FreeCount() < 8)
            ParamBuffer::AllocatePool(8);
        mOldDataPath = GetDataPath();
        SetDataPath(std::string(LOOM_TEST_DATA) + "/scripts/");
        Scripts().SetClocks(nullptr, nullptr);
        Scripts().Init();
        ASSERT_NE(L(), nullptr);
    }
    void TearDown() override
    {
        Scripts().Close();
        Scripts().SetClocks(nullptr, nullptr);
        SetDataPath(mOldDataPath);
    }

public:
    static ScriptManager& Scripts() { return ScriptManager::Instance(); }
    static lua_State* L() { return ScriptManager::Instance().GetState(); }

    // Runs a chunk under the engine's error handler; true when it ran without error.
    static bool Run(const std::string& code)
    {
        lua_State* state = L();
        const int top = lua_gettop(state);
        lua_getglobal(state, "ErrorFunc");
        bool ok = luaL_loadstring(state, code.c_str()) == 0;
        if (ok)
            ok = lua_pcall(state, 0, 0, top + 1) == 0;
        else
            ADD_FAILURE() << "chunk did not compile: " << lua_tostring(state, -1);
        lua_settop(state, top);
        return ok;
    }

    // The value of an expression, read through a global.
    static double Number(const std::string& expression)
    {
        EXPECT_TRUE(Run("__probe = " + expression)) << expression;
        lua_getglobal(L(), "__probe");
        EXPECT_EQ(lua_type(L(), -1), LUA_TNUMBER) << expression;
        const double value = lua_tonumber(L(), -1);
        lua_pop(L(), 1);
        return value;
    }
    static std::string String(const std::string& expression)
    {
        EXPECT_TRUE(Run("__probe = " + expression)) << expression;
        lua_getglobal(L(), "__probe");
        const char* text = lua_tostring(L(), -1);
        std::string value = text ? text : "<not a string>";
        lua_pop(L(), 1);
        return value;
    }
    static bool True(const std::string& expression)
    {
        EXPECT_TRUE(Run("__probe = " + expression)) << expression;
        lua_getglobal(L(), "__probe");
        const bool value = lua_toboolean(L(), -1) != 0;
        lua_pop(L(), 1);
        return value;
    }
    static std::string TypeOf(const std::string& expression) { return String("type(" + expression + ")"); }
    // Each expression against the number it must give.
    static void ExpectNumbers(std::initializer_list<std::pair<const char*, double>> expected)
    {
        for (const auto& [expression, value] : expected)
            EXPECT_EQ(Number(expression), value) << expression;
    }
    static void ExpectNil(std::initializer_list<const char*> expressions)
    {
        for (const char* expression : expressions)
            EXPECT_EQ(TypeOf(expression), "nil") << expression;
    }

    static uint32_t LogMark() { return Console::Instance().GetEntryCounter(); }
    // Texts logged since the mark, oldest first.
    static std::vector<std::string> LoggedSince(uint32_t mark)
    {
        const uint32_t count = Console::Instance().GetEntryCounter() - mark;
        std::vector<std::string> texts;
        for (uint32_t i = count; i > 0; --i)
            texts.push_back(Console::Instance().GetEntries().FromNewest(i - 1).mText);
        return texts;
    }
    static size_t CountStartingWith(const std::vector<std::string>& texts, const std::string& prefix)
    {
        size_t count = 0;
        for (const std::string& text : texts)
            count += text.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

private:
    std::string mOldDataPath;
};

// Small watchdog limits so runaway scripts end fast; the old ones, and no stop request, after.
class WatchdogLimits
{
public:
    WatchdogLimits(double seconds, size_t cap)
        : mSeconds(ScriptManager::Instance().GetTimeLimit()), mCap(ScriptManager::Instance().GetMemoryCap())
    {
        ScriptManager::Instance().SetLimits(seconds, cap);
    }
    ~WatchdogLimits()
    {
        ScriptManager::Instance().SetLimits(mSeconds, mCap);
        ClearStopRequest();
    }
    WatchdogLimits(const WatchdogLimits&) = delete;
    WatchdogLimits& operator=(const WatchdogLimits&) = delete;

private:
    double mSeconds;
    size_t mCap;
};
