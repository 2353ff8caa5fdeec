// Script files: read and compiled as the script manager reads and compiles them (not run: a
// script may loop).
#include <lua.hpp>

#include "LOOM/script/ScriptBounds.h"
#include "LOOM/script/ScriptManager.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text, why;
    if (!ScriptManager::ReadScript(WriteScratchFile("Fuzz.lua", data, size), text, why))
        return 0;
    lua_State* L = luaL_newstate();
    ScriptBounds::LoadText(L, text.data(), text.size(), "@Fuzz.lua", "Fuzz.lua");
    lua_close(L);
    return 0;
}
