#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/calls/CogDirectory.h"
#include "LOOM/calls/CommandFunctor.h"
#include "LOOM/calls/ParamBuffer.h"

// Stands in for a cog until the cog manager exists. LOOM code only passes Cog pointers
// along, so the directory hands out FakeCog addresses under that name and casts them back.
struct FakeCog
{
    struct Call
    {
        std::string mFunction;
        uint32_t mSignature = 0;
        std::string mText; // first string argument, when the function reads one
    };

    uint32_t mId = 0;
    std::string mName;
    std::vector<Call> mCalls;
    std::map<std::string, std::unique_ptr<CommandFunctor>> mFunctions;

    void TakeText(std::string text) { mCalls.back().mText = std::move(text); }
    void TakePlace(float x, float y, float z) { mPlace = {x, y, z}; }
    std::vector<float> mPlace;
};

inline Cog* AsCog(FakeCog* cog) { return reinterpret_cast<Cog*>(cog); }
inline FakeCog* AsFake(Cog* cog) { return reinterpret_cast<FakeCog*>(cog); }

class FakeCogDirectory : public CogDirectory
{
public:
    FakeCogDirectory() : mPrevious(Get()) { Install(this); }
    // The engine's cog manager may have been installed before: it must find itself again.
    ~FakeCogDirectory() override { Install(mPrevious); }

    FakeCog& Add(uint32_t id, std::string name)
    {
        auto cog = std::make_unique<FakeCog>();
        cog->mId = id;
        cog->mName = std::move(name);
        FakeCog& ref = *cog;
        mCogs[id] = std::move(cog);
        return ref;
    }
    void Destroy(uint32_t id) { mCogs.erase(id); }

    Cog* FindCogById(uint32_t id) override
    {
        auto it = mCogs.find(id);
        return it == mCogs.end() ? nullptr : AsCog(it->second.get());
    }

    Cog* FindCogByName(const std::string& name) override
    {
        for (auto& [id, cog] : mCogs)
            if (cog->mName == name)
                return AsCog(cog.get());
        return nullptr;
    }

    // Records the call, then runs a bound functor as the cog's own call by name would.
    void CallFunction(Cog& cog, const std::string& function, ParamBuffer& params) override
    {
        FakeCog& fake = *AsFake(&cog);
        fake.mCalls.push_back({function, params.GetSignature(), {}});
        auto it = fake.mFunctions.find(function);
        if (it != fake.mFunctions.end() && it->second->Signature() == params.GetSignature())
            it->second->Invoke(&fake, params);
        if (mOnCall)
            mOnCall(fake);
    }

    uint32_t FunctionSignature(Cog& cog, const std::string& function) override
    {
        FakeCog& fake = *AsFake(&cog);
        auto it = fake.mFunctions.find(function);
        return it == fake.mFunctions.end() ? 0 : it->second->Signature();
    }

    std::map<uint32_t, std::unique_ptr<FakeCog>> mCogs;
    std::function<void(FakeCog&)> mOnCall;

private:
    CogDirectory* mPrevious = nullptr;
};
