#pragma once
#include <cstdint>

struct lua_State;
struct Vector3;
struct Quat;
struct Color;
struct DisplaySettings;

// The engine values scripts see: vectors, quaternions, colours and the display-settings record
// as full userdata with metatables, cog values (the cog's ID, resolved on every use) and the
// engine table "G". Every function here reads from the lua_State it is handed, so coroutines work.
class ScriptTypes
{
public:
    static constexpr const char* kVectorMeta = "rVector3";
    static constexpr const char* kQuatMeta = "rQuat";
    static constexpr const char* kColorMeta = "rColor";
    static constexpr const char* kConfigMeta = "rConfig";
    static constexpr const char* kCogMeta = "CogMeta";
    static constexpr const char* kLoomMeta = "LoomMeta";

    // The four value types with their constructors, then "InitConfigCopy", "RandVector",
    // "AxisAngle" and "FromDirection".
    static void RegisterValueTypes(lua_State* L);
    // "CogMeta", "LoomMeta" and the global "G".
    static void RegisterEngineTables(lua_State* L);

    // The userdata at index when its metatable is the one registered under meta, else null.
    // Never raises (luaL_checkudata does).
    static void* TestUserdata(lua_State* L, int index, const char* meta);

    static void PushVector(lua_State* L, const Vector3& value);
    static void PushQuat(lua_State* L, const Quat& value);
    static void PushColor(lua_State* L, const Color& value);
    static void PushConfig(lua_State* L, const DisplaySettings& value);
    // A cog value holding the ID; 0 names no cog.
    static void PushCogId(lua_State* L, uint32_t id);
    // The ID held by the cog value at index; false when the value is not a cog value.
    static bool ToCogId(lua_State* L, int index, uint32_t& id);
};
