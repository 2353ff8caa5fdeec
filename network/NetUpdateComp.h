#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/factory/CompFactory.h"

class ParamBuffer;

constexpr uint32_t kNetUpdateCompId = 72;
// The message name under which cog states travel; the function name is the cog's name.
inline constexpr const char* kNetUpdateMessage = "NetUpdate";

// Every "UpdateInterval" seconds sends its cog's position, velocity and orientation to the
// game's peers, keyed by the cog's name; the same-named cog with one on the other side applies them.
class NetUpdateComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = kNetUpdateCompId;

    void Serialize(Serializer& s) override;
    std::string GetTypeName() override { return "NetUpdateComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    // Position, velocity, orientation as sent.
    void Apply(ParamBuffer& params);

    float mUpdateInterval = 0.1f;

private:
    double mLastSent = -1e9;
};

class NetUpdateCompFactory : public CompFactoryOf<NetUpdateComp>
{
public:
    void RegisterMessages(Composer& composer) override;
};
