#include "game/behaviors/BehaviorRegistry.h"

#include "game/invaders/InvaderBehaviors.h"
#include "game/invaders/Pathings.h"
#include "game/traps/TrapBehaviors.h"

namespace {
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

void BehaviorRegistry::RegisterPathingBehaviors() { RegisterPathingKinds(mPathingBehaviors); }

void BehaviorRegistry::RegisterInvaderBehaviors() { RegisterInvaderKinds(mInvaderBehaviors); }

void BehaviorRegistry::RegisterTrapBehaviors() { RegisterTrapKinds(mTrapBehaviors); }

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
