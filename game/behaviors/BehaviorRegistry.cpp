#include "game/behaviors/BehaviorRegistry.h"

namespace {
class BasicInvader final : public InvaderBehavior {};
class BasicPathing final : public PathingBehavior {};
class BasicTrap final : public TrapBehavior {};

BasicInvader gBasicInvader;
BasicPathing gBasicPathing;
BasicTrap gBasicTrap;

template <typename T>
T* Find(const std::map<std::string, T*>& map, const std::string& name)
{
    auto it = map.find(name);
    if (it != map.end())
        return it->second;
    return map.at("Basic");
}
} // namespace

BehaviorRegistry& BehaviorRegistry::Instance()
{
    static BehaviorRegistry registry;
    return registry;
}

BehaviorRegistry::BehaviorRegistry()
{
    RegisterPathingBehaviors();
    RegisterInvaderBehaviors();
    RegisterTrapBehaviors();
}

BehaviorRegistry::~BehaviorRegistry()
{
    mTrapBehaviors.clear();
    mPathingBehaviors.clear();
    mInvaderBehaviors.clear();
}

void BehaviorRegistry::RegisterPathingBehaviors()
{
    mPathingBehaviors["Basic"] = &gBasicPathing;
}

void BehaviorRegistry::RegisterInvaderBehaviors()
{
    mInvaderBehaviors["Basic"] = &gBasicInvader;
}

void BehaviorRegistry::RegisterTrapBehaviors()
{
    mTrapBehaviors["Basic"] = &gBasicTrap;
}

InvaderBehavior* FindInvaderBehavior(const std::string& name)
{
    return Find(BehaviorRegistry::Instance().mInvaderBehaviors, name);
}

PathingBehavior* FindPathingBehavior(const std::string& name)
{
    return Find(BehaviorRegistry::Instance().mPathingBehaviors, name);
}

TrapBehavior* FindTrapBehavior(const std::string& name)
{
    return Find(BehaviorRegistry::Instance().mTrapBehaviors, name);
}
