// Script files: read as the script manager reads them and compiled (not run: a script may loop).
#include <lua.hpp>

#include "LOOM/script/ScriptManager.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text, why;
    if (!ScriptManager::ReadScript(WriteScratchFile("Fuzz.lua", data, size), text, why))
        return 0;
    lua_State* L = luaL_newstate();
    luaL_loadbuffer(L, text.data(), text.size(), "@Fuzz.lua");
    lua_close(L);
    return 0;
}
