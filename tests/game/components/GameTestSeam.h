#pragma once
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "LOOM/factory/CompFactory.h"
#include "game/components/Explosives.h"
#include "game/components/GameComponents.h"
#include "physics/PhysicsComp.h"
#include "physics/RegionComp.h"
#include "tests/game/invaders/InvaderSim.h"

// The recording seam, with a height map, part matrices at the cog's position, and records of
// beams, dents, decals, emitter writes and effect texts.
class KindSeam : public RecordingSeam
{
public:
    struct Decal
    {
        Vector3 mAt;
        float mSize;
        int32_t mKind;
        float mLife;
    };

    bool HasHeightMap() override { return mHeightMap; }
    void AddDeformation(const Vector3& at, float radius, float depth, float duration) override
    {
        mDents.push_back({at, radius, static_cast<int32_t>(depth * 1000.0f), duration});
    }
    void AddDecal(const Vector3& at, float size, int32_t kind, float life) override
    {
        mDecals.push_back({at, size, kind, life});
    }
    void AddBeam(const Beam& beam) override { mBeams.push_back(beam); }
    void SetAnimationRate(Cog& cog, float rate) override { mRates[cog.GetID()].push_back(rate); }
    bool GetPartMatrix(Cog& cog, int32_t, Matrix4& out) override
    {
        out = Matrix4();
        if (Positional* at = PosOf(&cog))
        {
            out.m[12] = at->GetPosition().x;
            out.m[13] = at->GetPosition().y;
            out.m[14] = at->GetPosition().z;
        }
        return true;
    }
    bool GenerateIKAnimation(Cog& cog, const std::string&, const Vector3&, float) override
    {
        mCurrent[cog.GetID()] = "IKGenerated";
        return true;
    }
    bool HasEffect(Cog&) override { return mEffects; }
    bool SetEffectText(Cog& cog, const std::string& text) override
    {
        mTexts.push_back({cog.GetID(), text});
        return true;
    }
    void SetEmitterRange(Cog& cog, int32_t, const std::string& name, float lo, float) override
    {
        mCalls.push_back({cog.GetID(), name, std::to_string(lo), true});
    }
    void ShowNumber(Cog& cog, bool on) override { mCalls.push_back({cog.GetID(), "ShowNumber", "", on}); }
    void SetNumber(Cog& cog, int32_t n) override { mCalls.push_back({cog.GetID(), "Number", std::to_string(n), true}); }
    void SetModelFile(Cog& cog, const std::string& file) override
    {
        mCalls.push_back({cog.GetID(), "ModelFile", file, true});
    }

    bool GetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, Vector3& out) override
    {
        auto it = mEmitterVectors.find({cog.GetID(), emitter, name});
        out = it == mEmitterVectors.end() ? Vector3(0, 0, -2) : it->second;
        return true;
    }
    void SetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, const Vector3& v) override
    {
        mEmitterVectors[{cog.GetID(), emitter, name}] = v;
        mCalls.push_back({cog.GetID(), "Emitter", name, true});
    }

    std::map<std::tuple<uint32_t, int32_t, std::string>, Vector3> mEmitterVectors;
    bool mHeightMap = false;
    bool mEffects = true;
    std::vector<Decal> mDents; // radius in mSize, depth x 1000 in mKind, duration in mLife
    std::vector<Decal> mDecals;
    std::map<uint32_t, std::vector<float>> mRates;
    std::vector<Beam> mBeams;
    std::vector<std::pair<uint32_t, std::string>> mTexts;
};

inline float SimNow(GameSim& sim) { return static_cast<float>(sim.Engine().GetGameClock().GetTime()); }

inline size_t CountWith(GameSim& sim, const std::string& group, uint32_t typeId)
{
    size_t n = 0;
    for (Cog* cog : sim.Cogs().GetGroupCogs(group))
    {
        Comp* comp = cog->GetComponent(typeId);
        if (comp && comp->GetTypeId() == typeId && !sim.Cogs().IsQueued(cog))
            ++n;
    }
    return n;
}
