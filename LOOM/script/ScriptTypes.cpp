#include "LOOM/script/ScriptTypes.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include <lua.hpp>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/DisplaySettings.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Random.h"
#include "LOOM/math/Vector3.h"
#include "LOOM/script/ScriptManager.h"

// Metamethods raise script errors (longjmp), so those that raise keep no C++ object with a
// destructor alive; the calls into engine code do their C++ work in a helper first.

namespace {

template <typename T>
T* NewUserdata(lua_State* L, const char* meta, const T& value)
{
    void* memory = lua_newuserdata(L, sizeof(T));
    T* object = new (memory) T(value);
    luaL_getmetatable(L, meta);
    lua_setmetatable(L, -2);
    return object;
}

template <typename T>
T* Check(lua_State* L, int index, const char* meta)
{
    return static_cast<T*>(luaL_checkudata(L, index, meta));
}

// The first character of a string or number key; 0 for any other key (nil, booleans, tables).
char KeyChar(lua_State* L, int index)
{
    const int type = lua_type(L, index);
    if (type != LUA_TSTRING && type != LUA_TNUMBER)
        return 0;
    const char* text = lua_tostring(L, index);
    return text ? text[0] : 0;
}

bool KeyIs(lua_State* L, int index, const char* name)
{
    if (lua_type(L, index) != LUA_TSTRING)
        return false;
    return std::strcmp(lua_tostring(L, index), name) == 0;
}

// Component i of a value by key character: letters[i] or the digit i; -1 when none.
int ComponentIndex(char key, const char* letters)
{
    for (int i = 0; letters[i]; ++i)
        if (key == letters[i] || key == '0' + i)
            return i;
    return -1;
}

// A script number as a float component: past a float's range it is that side's infinity, where the
// plain cast would be undefined; the engine's commands refuse it.
float ToFloat(lua_Number number)
{
    constexpr double kMost = std::numeric_limits<float>::max();
    if (number > kMost)
        return std::numeric_limits<float>::infinity();
    if (number < -kMost)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(number);
}

float OptFloat(lua_State* L, int index) { return ToFloat(luaL_optnumber(L, index, 0.0)); }

int PushComponent(lua_State* L, const float* component)
{
    if (component)
        lua_pushnumber(L, *component);
    else
        lua_pushnil(L);
    return 1;
}

// A key that names no component is ignored.
int StoreComponent(lua_State* L, float* component)
{
    if (component)
        *component = ToFloat(luaL_checknumber(L, 3));
    return 0;
}

// The float components of a value type, found by key, and the metatable that marks the type.
template <typename T>
struct Components;

template <>
struct Components<Vector3>
{
    static constexpr const char* kMeta = ScriptTypes::kVectorMeta;
    static float* Find(Vector3& v, char key)
    {
        float* const components[] = {&v.x, &v.y, &v.z};
        const int index = ComponentIndex(key, "xyz");
        return index < 0 ? nullptr : components[index];
    }
};

template <>
struct Components<Color>
{
    static constexpr const char* kMeta = ScriptTypes::kColorMeta;
    static float* Find(Color& c, char key)
    {
        const int index = ComponentIndex(key, "rgba");
        return index < 0 ? nullptr : &c[index];
    }
};

// One order throughout: "Quat"(w, x, y, z) as the engine stores it; the digits 0-3 follow
// that order and the letters name their own component.
template <>
struct Components<Quat>
{
    static constexpr const char* kMeta = ScriptTypes::kQuatMeta;
    static float* Find(Quat& q, char key)
    {
        float* const components[] = {&q.w, &q.x, &q.y, &q.z};
        const int index = ComponentIndex(key, "wxyz");
        return index < 0 ? nullptr : components[index];
    }
};

// The component that key (argument 2) names in the value (argument 1); null for none.
template <typename T>
float* KeyedComponent(lua_State* L)
{
    return Components<T>::Find(*Check<T>(L, 1, Components<T>::kMeta), KeyChar(L, 2));
}

template <typename T>
int GetComponent(lua_State* L)
{
    return PushComponent(L, KeyedComponent<T>(L));
}

template <typename T>
int SetComponent(lua_State* L)
{
    return StoreComponent(L, KeyedComponent<T>(L));
}

// ---- rVector3 ----

int VectorNorm(lua_State* L)
{
    Check<Vector3>(L, 1, ScriptTypes::kVectorMeta)->Normalize();
    return 0;
}

int VectorIndex(lua_State* L)
{
    Vector3* v = Check<Vector3>(L, 1, ScriptTypes::kVectorMeta);
    if (const float* component = Components<Vector3>::Find(*v, KeyChar(L, 2)))
        return PushComponent(L, component);
    if (KeyIs(L, 2, "Mag"))
    {
        const double x = v->x, y = v->y, z = v->z;
        lua_pushnumber(L, std::sqrt(x * x + y * y + z * z));
        return 1;
    }
    if (KeyIs(L, 2, "Norm"))
    {
        lua_pushcfunction(L, &VectorNorm);
        return 1;
    }
    lua_pushnil(L);
    return 1;
}

int VectorAdd(lua_State* L)
{
    const Vector3 a = *Check<Vector3>(L, 1, ScriptTypes::kVectorMeta);
    const Vector3 b = *Check<Vector3>(L, 2, ScriptTypes::kVectorMeta);
    ScriptTypes::PushVector(L, a + b);
    return 1;
}

int VectorSub(lua_State* L)
{
    const Vector3 a = *Check<Vector3>(L, 1, ScriptTypes::kVectorMeta);
    const Vector3 b = *Check<Vector3>(L, 2, ScriptTypes::kVectorMeta);
    ScriptTypes::PushVector(L, a - b);
    return 1;
}

int VectorMul(lua_State* L)
{
    const Vector3 v = *Check<Vector3>(L, 1, ScriptTypes::kVectorMeta);
    ScriptTypes::PushVector(L, v * OptFloat(L, 2));
    return 1;
}

int VectorDiv(lua_State* L)
{
    const Vector3 v = *Check<Vector3>(L, 1, ScriptTypes::kVectorMeta);
    ScriptTypes::PushVector(L, v * (1.0f / OptFloat(L, 2)));
    return 1;
}

int NewVector(lua_State* L)
{
    ScriptTypes::PushVector(L, Vector3(OptFloat(L, 1), OptFloat(L, 2), OptFloat(L, 3)));
    return 1;
}

const luaL_Reg kVectorMethods[] = {
    {"__index", &VectorIndex}, {"__newindex", &SetComponent<Vector3>},
    {"__add", &VectorAdd},     {"__sub", &VectorSub},
    {"__mul", &VectorMul},     {"__div", &VectorDiv},
    {nullptr, nullptr},
};

// ---- rColor and rQuat ----

// Color and Quat have nothing but their components.
template <typename T>
constexpr luaL_Reg kComponentMethods[] = {
    {"__index", &GetComponent<T>},
    {"__newindex", &SetComponent<T>},
    {nullptr, nullptr},
};

int NewColor(lua_State* L)
{
    ScriptTypes::PushColor(L, Color(OptFloat(L, 1), OptFloat(L, 2), OptFloat(L, 3), OptFloat(L, 4)));
    return 1;
}

int NewQuat(lua_State* L)
{
    ScriptTypes::PushQuat(L, Quat(OptFloat(L, 1), OptFloat(L, 2), OptFloat(L, 3), OptFloat(L, 4)));
    return 1;
}

// ---- rConfig ----

// A config field scripts may read and write: a whole number or a flag.
struct ConfigField
{
    const char* mName;
    int32_t DisplaySettings::*mNumber;
    bool DisplaySettings::*mFlag;
};

const ConfigField* FindConfigField(const char* key)
{
    static const ConfigField kFields[] = {
        {"ScreenWidth", &DisplaySettings::mScreenWidth, nullptr},
        {"ScreenHeight", &DisplaySettings::mScreenHeight, nullptr},
        {"Quality", &DisplaySettings::mQuality, nullptr},
        {"Vsync", nullptr, &DisplaySettings::mVsync},
        {"Fullscreen", nullptr, &DisplaySettings::mFullscreen},
        {"AntiAliasing", nullptr, &DisplaySettings::mAntiAliasing},
        {"InvaderSpeech", nullptr, &DisplaySettings::mInvaderSpeech},
        {"Shadows", nullptr, &DisplaySettings::mShadows},
    };
    for (const ConfigField& field : kFields)
        if (std::strcmp(key, field.mName) == 0)
            return &field;
    return nullptr;
}

int ConfigIndex(lua_State* L)
{
    DisplaySettings* c = Check<DisplaySettings>(L, 1, ScriptTypes::kConfigMeta);
    const ConfigField* field = FindConfigField(luaL_checkstring(L, 2));
    if (field && field->mNumber)
        lua_pushnumber(L, c->*field->mNumber);
    else if (field && field->mFlag)
        lua_pushboolean(L, c->*field->mFlag);
    else
        lua_pushnil(L);
    return 1;
}

int ConfigNewIndex(lua_State* L)
{
    DisplaySettings* c = Check<DisplaySettings>(L, 1, ScriptTypes::kConfigMeta);
    const ConfigField* field = FindConfigField(luaL_checkstring(L, 2));
    if (field && field->mNumber)
    {
        // Truncated toward zero; a number the field would wrap is refused.
        const lua_Number number = std::trunc(luaL_checknumber(L, 3));
        if (!ScriptManager::NumberFits(ParamInt, number))
            return luaL_error(L, "the %s field %s takes a number from -2147483648 to 2147483647, not %s",
                              ScriptTypes::kConfigMeta, field->mName, lua_tostring(L, 3));
        c->*field->mNumber = static_cast<int32_t>(number);
    }
    else if (field && field->mFlag)
        c->*field->mFlag = lua_toboolean(L, 3) != 0;
    return 0;
}

int NewConfig(lua_State* L)
{
    ScriptTypes::PushConfig(L, DisplaySettings{});
    return 1;
}

int InitConfigCopy(lua_State* L)
{
    const DisplaySettings copy = *Check<DisplaySettings>(L, 1, ScriptTypes::kConfigMeta);
    ScriptTypes::PushConfig(L, copy);
    return 1;
}

const luaL_Reg kConfigMethods[] = {
    {"__newindex", &ConfigNewIndex},
    {"__index", &ConfigIndex},
    {nullptr, nullptr},
};

// ---- math globals ----

int RandVector(lua_State* L)
{
    const float pi = 2.0f * std::asin(1.0f);
    ScriptTypes::PushVector(L, RandomVectorInConeRange(Vector3(0.0f, 1.0f, 0.0f), 0.3f * pi, 0.6f * pi));
    return 1;
}

int AxisAngle(lua_State* L)
{
    const Vector3 axis = *Check<Vector3>(L, 1, ScriptTypes::kVectorMeta);
    const float angle = OptFloat(L, 2);
    ScriptTypes::PushQuat(L, Quat::FromAxisAngle(axis, angle));
    return 1;
}

int FromDirection(lua_State* L)
{
    const Vector3 direction = *Check<Vector3>(L, 1, ScriptTypes::kVectorMeta);
    ScriptTypes::PushQuat(L, Quat::FromDirection(direction));
    return 1;
}

void RegisterType(lua_State* L, const char* meta, const luaL_Reg* methods, const char* constructor,
                  lua_CFunction create)
{
    luaL_newmetatable(L, meta);
    luaL_register(L, nullptr, methods);
    lua_pop(L, 1);
    lua_pushcfunction(L, create);
    lua_setfield(L, LUA_GLOBALSINDEX, constructor);
}

void SetGlobalFunction(lua_State* L, const char* name, lua_CFunction function)
{
    lua_pushcfunction(L, function);
    lua_setfield(L, LUA_GLOBALSINDEX, name);
}

// ---- calls into the engine ----

// Where an argument was refused; raised once the C++ work is over, and looked into only then.
struct ArgumentFailure
{
    int mPosition = 0;
    uint8_t mCode = 0;
    const char* mExpected = nullptr;
    // The command refused it (ArgumentRefusal), not the conversion.
    bool mRefused = false;
};

// The components of the value type at index as "(x, y, z)".
void PushComponentsText(lua_State* L, int index, uint8_t code)
{
    const auto* value = static_cast<const float*>(lua_touserdata(L, index));
    if (code == TypeVector)
        lua_pushfstring(L, "(%f, %f, %f)", lua_Number(value[0]), lua_Number(value[1]), lua_Number(value[2]));
    else
        lua_pushfstring(L, "(%f, %f, %f, %f)", lua_Number(value[0]), lua_Number(value[1]), lua_Number(value[2]),
                        lua_Number(value[3]));
}

// Raises the error for a refused argument, naming the command as the script wrote it: a call
// through a local or pcall has no name of its own. Out of line, so the calls stay small.
[[gnu::noinline]] int RaiseArgumentError(lua_State* L, const ArgumentFailure& failure, const char* command)
{
    const int position = failure.mPosition;
    const char* range = ScriptManager::NumberRange(failure.mCode);
    const bool valueType = !failure.mRefused && !range && failure.mCode != TypeString;
    // A value of another type, or none: the library's own words. One of the right type was
    // refused for a component that is not finite.
    if (valueType && !ScriptTypes::TestUserdata(L, position, failure.mExpected))
        return luaL_typerror(L, position, failure.mExpected);
    luaL_where(L, 1);
    if (failure.mRefused)
        lua_pushfstring(L, "bad argument #%d to '%s' (%s)", position, command, ArgumentRefusal::Why().c_str());
    else if (failure.mCode == TypeString)
    {
        size_t length = 0;
        const char* text = lua_tolstring(L, position, &length);
        if (std::memchr(text, 0, length))
            lua_pushfstring(L, "bad argument #%d to '%s' (a string holding a NUL byte)", position, command);
        else
            lua_pushfstring(L, "bad argument #%d to '%s' (a string of %d bytes, longer than the %d a command takes)",
                            position, command, int(length), int(ParamBlock::kStringSlot - 1));
    }
    else if (range)
    {
        lua_pushvalue(L, position);
        const char* given = lua_tostring(L, -1);
        lua_pushfstring(L, "bad argument #%d to '%s' (its %s, not %s)", position, command, range, given);
        lua_remove(L, -2);
    }
    else
    {
        PushComponentsText(L, position, failure.mCode);
        lua_pushfstring(L, "bad argument #%d to '%s' (its %s takes finite components, not %s)", position, command,
                        failure.mExpected, lua_tostring(L, -1));
        lua_remove(L, -2);
    }
    lua_concat(L, 2);
    return lua_error(L);
}

// A finaliser runs wherever the collector happens to be, the engine's teardown included: it may
// not act on the engine. Refused with the call's name, and logged, as the finaliser may not report it.
int RefuseFromFinaliser(lua_State* L, const char* kind, const char* name)
{
    lua_pushfstring(L, "%s%s refused: a finaliser may not act on the engine", kind, name);
    Console::Instance().Log(std::string("Lua Error: ") + lua_tostring(L, -1), LogError);
    luaL_where(L, 1);
    lua_insert(L, -2);
    lua_concat(L, 2);
    return lua_error(L);
}

// A script call through Body, which notes a refused argument instead of raising it. The closure
// keeps the command's name as the script wrote it at upvalue NameAt.
template <int (*Body)(lua_State*, ArgumentFailure&), int NameAt>
int RaiseAfterBody(lua_State* L)
{
    if (ScriptManager::Instance().InFinaliser())
        return RefuseFromFinaliser(L, NameAt == 3 ? "G." : "cog method ", lua_tostring(L, lua_upvalueindex(NameAt)));
    ArgumentFailure failure;
    const int results = Body(L, failure);
    // A call that spent what was left of the script's time returns into its stop.
    ScriptManager::Instance().RaiseIfStopped(L);
    if (failure.mPosition == 0)
        return results;
    return RaiseArgumentError(L, failure, lua_tostring(L, lua_upvalueindex(NameAt)));
}

const char* ExpectedAt(uint32_t signature, int position)
{
    const char* name = ScriptManager::ExpectedTypeName(uint8_t(signature >> (8 * (position - 1))));
    return name ? name : "value";
}

// The state's kept parameters when no outer call holds them, else a fresh pooled block.
class CallParams
{
public:
    explicit CallParams(ScriptManager& scripts) : mScripts(scripts), mKept(scripts.BorrowCallParams())
    {
        if (!mKept)
            mOwn.emplace();
    }
    ~CallParams()
    {
        if (mKept)
            mScripts.ReturnCallParams();
    }
    CallParams(const CallParams&) = delete;
    CallParams& operator=(const CallParams&) = delete;

    ParamBuffer& Get() { return mKept ? *mKept : *mOwn; }

private:
    ScriptManager& mScripts;
    ParamBuffer* mKept;
    std::optional<ParamBuffer> mOwn;
};

// Fills a block from the arguments by signature, runs the call, pushes what it left.
template <typename Execute>
int RunWithParams(lua_State* L, ScriptManager& scripts, uint32_t signature, ArgumentFailure& failure, Execute&& execute)
{
    CallParams lease(scripts);
    ParamBuffer& params = lease.Get();
    if (!ScriptManager::FetchArgs(signature, L, params, failure.mPosition))
    {
        failure.mCode = uint8_t(signature >> (8 * (failure.mPosition - 1)));
        failure.mExpected = ExpectedAt(signature, failure.mPosition);
        return 0;
    }
    const ArgumentRefusal::Listen refusal;
    execute(params);
    if (const uint32_t refused = refusal.Position())
    {
        failure.mPosition = int(refused);
        failure.mRefused = true;
        return 0;
    }
    if (params.GetSignature() == 0)
        return 0;
    return ScriptManager::PushParams(L, params);
}

// What a G closure found under its name, with its signature, and the console's command version
// then; the name is looked up again only after the commands changed.
struct FoundCommand
{
    ConsoleCommand* mCommand = nullptr;
    uint32_t mSignature = 0;
    uint64_t mVersion = 0;
};

// A field of G called from a script: the console command of that name (any case).
int EngineCommandBody(lua_State* L, ArgumentFailure& failure)
{
    ScriptManager& scripts = ScriptManager::Instance();
    const ScriptManager::EngineSide engine(scripts);
    auto* found = static_cast<FoundCommand*>(lua_touserdata(L, lua_upvalueindex(2)));
    const uint64_t version = Console::CommandsVersion();
    if (found->mVersion != version)
    {
        size_t length = 0;
        const char* key = lua_tolstring(L, lua_upvalueindex(1), &length);
        const Console::CommandMap& commands = Console::Instance().GetCommands();
        const auto it = commands.find(std::string(key, length));
        found->mCommand = it == commands.end() ? nullptr : it->second.mCommand.get();
        found->mSignature = found->mCommand ? found->mCommand->Signature() : 0;
        found->mVersion = version;
    }
    if (!found->mCommand)
        return 0;
    ConsoleCommand& command = *found->mCommand;
    return RunWithParams(L, scripts, found->mSignature, failure,
                         [&command](ParamBuffer& params) { command.Execute(params); });
}

// G's __index is a table of closures, one per key, made on first use with the name lower-cased
// then; a call through G is a plain table read after the first. Weak values keep it small.
int MakeEngineClosure(lua_State* L)
{
    // (cache, key)
    const int type = lua_type(L, 2);
    if (type != LUA_TSTRING && type != LUA_TNUMBER)
    {
        lua_pushnil(L);
        return 1;
    }
    size_t length = 0;
    const char* key = lua_tolstring(L, 2, &length);
    luaL_Buffer lowered;
    luaL_buffinit(L, &lowered);
    for (size_t i = 0; i < length; ++i)
    {
        const char c = key[i];
        luaL_addchar(&lowered, c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    }
    luaL_pushresult(&lowered);
    new (lua_newuserdata(L, sizeof(FoundCommand))) FoundCommand();
    lua_pushvalue(L, 2);
    lua_pushcclosure(L, &RaiseAfterBody<&EngineCommandBody, 3>, 3);
    lua_pushvalue(L, 2);
    lua_pushvalue(L, -2);
    lua_rawset(L, 1);
    return 1;
}

int IgnoreNewIndex(lua_State*) { return 0; }

int LoomToString(lua_State* L)
{
    lua_pushliteral(L, "Loom Engine");
    return 1;
}

// ---- cog values ----

struct CogValue
{
    uint32_t mId;
};

// A field of a cog value called from a script: runs on the cog the value names, if it lives.
int CogMethodBody(lua_State* L, ArgumentFailure& failure)
{
    ScriptManager& scripts = ScriptManager::Instance();
    const ScriptManager::EngineSide engine(scripts);
    const uint32_t id = ScriptManager::NumberToBits32(lua_tonumber(L, lua_upvalueindex(1)));
    size_t length = 0;
    const char* key = lua_tolstring(L, lua_upvalueindex(2), &length);
    CogDirectory* directory = CogDirectory::Get();
    // The ID is resolved on every call: a value outliving its cog touches nothing.
    Cog* cog = id != 0 && directory ? directory->FindCogById(id) : nullptr;
    if (std::strcmp(key, "IsValid") == 0)
    {
        lua_pushboolean(L, cog != nullptr);
        return 1;
    }
    if (!cog)
        return 0;
    if (std::strcmp(key, "Destroy") == 0)
        cog->Destroy();
    else if (std::strcmp(key, "Init") == 0)
        cog->Initialize();
    CommandFunctor* function = cog->FindCogFunction(std::string(key, length));
    if (!function)
        return 0;
    return RunWithParams(L, scripts, function->Signature(), failure,
                         [function, cog](ParamBuffer& params) { function->Invoke(cog, params); });
}

// The closure carries its cog and key, so nested calls each run on their own cog. A number
// key is taken as its text, as G does; keys with no text give nil.
int CogIndex(lua_State* L)
{
    uint32_t id = 0;
    const int type = lua_type(L, 2);
    if (!ScriptTypes::ToCogId(L, 1, id) || (type != LUA_TSTRING && type != LUA_TNUMBER))
    {
        lua_pushnil(L);
        return 1;
    }
    lua_pushnumber(L, id);
    lua_pushvalue(L, 2);
    lua_tostring(L, -1);
    lua_pushcclosure(L, &RaiseAfterBody<&CogMethodBody, 2>, 2);
    return 1;
}

int CogToString(lua_State* L)
{
    lua_pushliteral(L, "Loom Cog");
    return 1;
}

int CogCall(lua_State*) { return 0; }

const luaL_Reg kCogMethods[] = {
    {"__index", &CogIndex}, {"__newindex", &IgnoreNewIndex}, {"__tostring", &CogToString}, {"__call", &CogCall},
    {nullptr, nullptr},
};

} // namespace

void ScriptTypes::RegisterValueTypes(lua_State* L)
{
    RegisterType(L, kVectorMeta, kVectorMethods, "Vector3", &NewVector);
    RegisterType(L, kColorMeta, kComponentMethods<Color>, "Color", &NewColor);
    RegisterType(L, kQuatMeta, kComponentMethods<Quat>, "Quat", &NewQuat);
    RegisterType(L, kConfigMeta, kConfigMethods, "GameConfig", &NewConfig);
    SetGlobalFunction(L, "InitConfigCopy", &InitConfigCopy);
    SetGlobalFunction(L, "RandVector", &RandVector);
    SetGlobalFunction(L, "AxisAngle", &AxisAngle);
    SetGlobalFunction(L, "FromDirection", &FromDirection);
}

void ScriptTypes::RegisterEngineTables(lua_State* L)
{
    luaL_newmetatable(L, kCogMeta);
    luaL_register(L, nullptr, kCogMethods);
    lua_pop(L, 1);

    luaL_newmetatable(L, kLoomMeta);
    lua_newtable(L); // the closure cache
    lua_newtable(L);
    lua_pushliteral(L, "v");
    lua_setfield(L, -2, "__mode");
    lua_pushcfunction(L, &MakeEngineClosure);
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);
    lua_setfield(L, -2, "__index");
    lua_pushcfunction(L, &IgnoreNewIndex);
    lua_setfield(L, -2, "__newindex");
    lua_pushcfunction(L, &LoomToString);
    lua_setfield(L, -2, "__tostring");
    lua_pop(L, 1);

    lua_newtable(L);
    luaL_getmetatable(L, kLoomMeta);
    lua_setmetatable(L, -2);
    lua_setfield(L, LUA_GLOBALSINDEX, "G");
}

void* ScriptTypes::TestUserdata(lua_State* L, int index, const char* meta)
{
    void* data = lua_touserdata(L, index);
    if (!data || lua_type(L, index) != LUA_TUSERDATA || !lua_getmetatable(L, index))
        return nullptr;
    luaL_getmetatable(L, meta);
    const bool same = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return same ? data : nullptr;
}

void ScriptTypes::PushVector(lua_State* L, const Vector3& value) { NewUserdata(L, kVectorMeta, value); }

void ScriptTypes::PushQuat(lua_State* L, const Quat& value) { NewUserdata(L, kQuatMeta, value); }

void ScriptTypes::PushColor(lua_State* L, const Color& value) { NewUserdata(L, kColorMeta, value); }

void ScriptTypes::PushConfig(lua_State* L, const DisplaySettings& value) { NewUserdata(L, kConfigMeta, value); }

void ScriptTypes::PushCogId(lua_State* L, uint32_t id) { NewUserdata(L, kCogMeta, CogValue{id}); }

bool ScriptTypes::ToCogId(lua_State* L, int index, uint32_t& id)
{
    const auto* value = static_cast<const CogValue*>(TestUserdata(L, index, kCogMeta));
    if (!value)
        return false;
    id = value->mId;
    return true;
}
