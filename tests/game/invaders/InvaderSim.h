#pragma once
#include <map>
#include <string>
#include <vector>

#include <lua.hpp>

#include "LOOM/script/ScriptManager.h"
#include "game/behaviors/BehaviorRegistry.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/HeadlessScene.h"
#include "game/tower/BaseTower.h"
#include "game/traps/TrapData.h"
#include "physics/collision/GridGround.h"
#include "tests/game/GameSim.h"

// A chunk of Lua run in the engine's script state; true when it ran without error.
inline bool RunLua(const std::string& chunk)
{
    lua_State* L = ScriptManager::Instance().GetState();
    return L && luaL_dostring(L, chunk.c_str()) == 0;
}

// A global of the script state as a number, -1 when it is not one.
inline double LuaNumber(const char* name)
{
    lua_State* L = ScriptManager::Instance().GetState();
    lua_getglobal(L, name);
    const double value = lua_isnumber(L, -1) ? lua_tonumber(L, -1) : -1.0;
    lua_pop(L, 1);
    return value;
}

// A game with physics on a flat ground and an empty grid, for the invader, trap and tower tests.
struct InvaderField
{
    GameSim& mSim;
    TileMap* mMap = nullptr;
    GridGround mGround;

    InvaderField(GameSim& sim, uint32_t side = 64, float scale = 4.0f) : mSim(sim), mGround(side + 1, side + 1, scale)
    {
        mGround.ComputeNormals();
        Ground::SetCurrent(&mGround);
        GridMaker grid{sim};
        mMap = &grid.Map(side, side, Vector3(0, 0, 0), Vector3(scale, scale, scale));
    }
    ~InvaderField() { Ground::ClearCurrent(&mGround); }
    InvaderField(const InvaderField&) = delete;
    InvaderField& operator=(const InvaderField&) = delete;

    TileMap& Map() { return *mMap; }
    Vector3 Centre(int32_t x, int32_t z) const { return mMap->TileToWorld(x, z); }

    Cog* Make(const std::string& archetype, Vector3 position)
    {
        Cog* cog = CreateAt(mSim.Cogs(), archetype, position);
        EXPECT_NE(cog, nullptr) << archetype;
        return cog;
    }
    // A line of walls along z, from tile fromX up to toX.
    void WallLine(const std::string& archetype, int32_t fromX, int32_t toX, int32_t z)
    {
        for (int32_t x = fromX; x < toX; ++x)
            Make(archetype, Centre(x, z));
    }
    Cog* Tower(int32_t x, int32_t z) { return Make("tower", mMap->TileToWorldAligned(x, z, 4, 4)); }
    Cog* Invader(const std::string& kind, int32_t x, int32_t z) { return Make(kind, Centre(x, z) + Vector3(0, 1, 0)); }
    Cog* Trap(int32_t x, int32_t z) { return Make("spikes", mMap->TileToWorldAligned(x, z, 2, 2)); }

    static Kestrane& K(Cog* cog) { return *cog->Get<Kestrane>(); }
    static TrapData& T(Cog* cog) { return *cog->Get<TrapData>(); }
    static BaseTower& B(Cog* cog) { return *cog->Get<BaseTower>(); }
    static Positional& P(Cog* cog) { return *cog->Get<Positional>(); }
};

// Stands in for the scene components: records what game logic asks of models and displays,
// and answers with a model of fixed animation lengths.
class RecordingSeam : public HeadlessScene
{
public:
    struct Call
    {
        uint32_t mCog;
        std::string mWhat;
        std::string mName;
        bool mFlag;
    };

    RecordingSeam() { SetSceneSeam(this); }
    ~RecordingSeam() override { SetSceneSeam(nullptr); }
    RecordingSeam(const RecordingSeam&) = delete;
    RecordingSeam& operator=(const RecordingSeam&) = delete;

    bool HasModel(Cog&) override { return true; }
    bool PlayAnimation(Cog& cog, const std::string& name, bool loop) override
    {
        mCalls.push_back({cog.GetID(), "Play", name, loop});
        mCurrent[cog.GetID()] = name;
        return true;
    }
    void PlayAnimationIndex(Cog& cog, int32_t index, bool loop) override
    {
        mCalls.push_back({cog.GetID(), "PlayIndex", std::to_string(index), loop});
        mCurrent[cog.GetID()] = mIndexZero;
    }
    float AnimationLength(Cog&, const std::string& name) override { return name == "Attack" ? mAttackLength : -1.0f; }
    bool CurrentAnimation(Cog& cog, std::string& out) override
    {
        out = mCurrent[cog.GetID()];
        return true;
    }
    bool GetModelColor(Cog& cog, Color& out) override
    {
        auto it = mColors.find(cog.GetID());
        out = it == mColors.end() ? Color(1, 1, 1, 1) : it->second;
        return true;
    }
    void SetModelColor(Cog& cog, const Color& c) override { mColors[cog.GetID()] = c; }
    void SetMaterial(Cog& cog, const std::string& file) override
    {
        mCalls.push_back({cog.GetID(), "Material", file, false});
    }
    void SetSubMeshVisible(Cog& cog, int32_t index, bool visible) override
    {
        mCalls.push_back({cog.GetID(), "SubMesh", std::to_string(index), visible});
    }

    std::vector<std::string> Played(uint32_t cog) const
    {
        std::vector<std::string> out;
        for (const Call& c : mCalls)
            if (c.mCog == cog && c.mWhat == "Play")
                out.push_back(c.mName);
        return out;
    }
    std::vector<std::string> Calls(uint32_t cog, const std::string& what) const
    {
        std::vector<std::string> out;
        for (const Call& c : mCalls)
            if (c.mCog == cog && c.mWhat == what)
                out.push_back(c.mName);
        return out;
    }

    std::vector<Call> mCalls;
    std::map<uint32_t, std::string> mCurrent;
    std::map<uint32_t, Color> mColors;
    std::string mIndexZero = "Inactive";
    float mAttackLength = 1.0f;
};
