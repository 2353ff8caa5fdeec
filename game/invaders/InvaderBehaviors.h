#pragma once
#include <map>
#include <string>

#include "game/behaviors/Behaviors.h"

// The standard behaviour every invader kind starts from: the state actions, walking,
// attacking, hopping, the detour walk, landing and death.
class BasicInvader : public InvaderBehavior
{
public:
    void Think(Kestrane& k) override;
    void Die(Kestrane& k) override;
    void FollowTarget(Kestrane& k) override;
    void Attack(Kestrane& k) override;
    void Special(Kestrane& k) override;
    void Introduce(Kestrane& k) override;
    void Jump(Kestrane& k) override;
    void Detour(Kestrane& k) override;
    bool HasLanded(Kestrane& k) override;
    void OnLanded(Kestrane& k) override;
    void Spawn(Kestrane& k) override;
    void ChangeState(Kestrane& k, int32_t newState) override;

protected:
    ~BasicInvader() = default;
    void Dispatch(Kestrane& k);
    // The attack cycle on a target tile within the squared tile distance; the sound comes with
    // the blow or, for diggers, at the end of the wind-up.
    void AttackCycle(Kestrane& k, float reach, bool soundAtWindUp);
    // The random hop of the no-tower shout and the Jumper's special, by phase.
    void RandomHop(Kestrane& k, bool speak);
};

void RegisterInvaderKinds(std::map<std::string, InvaderBehavior*>& map);
