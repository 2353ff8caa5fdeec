#pragma once
#include <map>
#include <string>

#include "game/behaviors/Behaviors.h"

// Name-to-prototype tables of the three strategy kinds. Built on first use and read-only after;
// the prototypes are static objects the registry does not own.
class BehaviorRegistry
{
public:
    static BehaviorRegistry& Instance();

    BehaviorRegistry(const BehaviorRegistry&) = delete;
    BehaviorRegistry& operator=(const BehaviorRegistry&) = delete;

    std::map<std::string, InvaderBehavior*> mInvaderBehaviors;
    std::map<std::string, PathingBehavior*> mPathingBehaviors;
    std::map<std::string, TrapBehavior*> mTrapBehaviors;

private:
    BehaviorRegistry();
    ~BehaviorRegistry();

    void RegisterPathingBehaviors();
    void RegisterInvaderBehaviors();
    void RegisterTrapBehaviors();
};

// The strategy registered under the name; an unknown name gives the kind's "Basic".
InvaderBehavior* FindInvaderBehavior(const std::string& name);
PathingBehavior* FindPathingBehavior(const std::string& name);
TrapBehavior* FindTrapBehavior(const std::string& name);
