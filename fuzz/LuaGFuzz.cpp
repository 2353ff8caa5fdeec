// Engine commands called from Lua through G with typed arguments. The input names the command
// and gives the arguments as values, never as code, so no input can reach the os library.
// Layout: name length, name, then per argument a kind byte and its bytes.
#include <cstring>
#include <string>

#include <lua.hpp>

#include "LOOM/factory/CogFactory.h"
#include "LOOM/script/ScriptManager.h"
#include "fuzz/FuzzSupport.h"

namespace {
struct Cursor
{
    const uint8_t* mData;
    size_t mLeft;

    bool Take(void* out, size_t n)
    {
        if (mLeft < n)
            return false;
        std::memcpy(out, mData, n);
        mData += n;
        mLeft -= n;
        return true;
    }
    int Byte()
    {
        uint8_t b = 0;
        return Take(&b, 1) ? b : -1;
    }
};

bool PushArgument(lua_State* L, Cursor& in)
{
    const int kind = in.Byte();
    if (kind < 0)
        return false;
    switch (kind % 6)
    {
    case 0:
    {
        double number = 0.0;
        in.Take(&number, sizeof(number));
        lua_pushnumber(L, number);
        return true;
    }
    case 1:
    {
        const int length = in.Byte();
        std::string text(length < 0 ? 0 : static_cast<size_t>(length), '\0');
        in.Take(text.data(), text.size());
        lua_pushlstring(L, text.data(), text.size());
        return true;
    }
    case 2:
        lua_pushboolean(L, in.Byte() & 1);
        return true;
    case 3:
        lua_pushnil(L);
        return true;
    case 4:
    {
        // A small integer, as IDs and counts are.
        int32_t value = 0;
        in.Take(&value, sizeof(value));
        lua_pushinteger(L, value);
        return true;
    }
    default:
    {
        lua_getglobal(L, "Vector3");
        float xyz[3] = {};
        in.Take(xyz, sizeof(xyz));
        for (float v : xyz)
            lua_pushnumber(L, v);
        if (lua_pcall(L, 3, 1, 0) != 0)
        {
            lua_pop(L, 1);
            lua_pushnil(L);
        }
        return true;
    }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ScriptManager& scripts = []() -> ScriptManager& {
        ScratchFolder();
        CogFactory::Instance();
        ScriptManager::Instance().Init();
        return ScriptManager::Instance();
    }();
    lua_State* L = scripts.GetState();
    if (!L)
        return 0;
    Cursor in{data, size};
    const int nameLength = in.Byte();
    if (nameLength < 0)
        return 0;
    std::string name(static_cast<size_t>(nameLength % 32), '\0');
    if (!in.Take(name.data(), name.size()))
        return 0;

    const int top = lua_gettop(L);
    lua_getglobal(L, "G");
    if (!lua_istable(L, -1))
    {
        lua_settop(L, top);
        return 0;
    }
    lua_pushlstring(L, name.data(), name.size());
    lua_gettable(L, -2);
    int args = 0;
    while (args < 6 && PushArgument(L, in))
        ++args;
    lua_pcall(L, args, LUA_MULTRET, 0);
    lua_settop(L, top);
    CogFactory::Instance().ProcessDestroyList();
    CogFactory::Instance().DestroyAll();
    return 0;
}
