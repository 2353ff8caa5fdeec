#pragma once
#include <map>
#include <string>

#include "game/behaviors/Behaviors.h"

// The firing cycle every trap kind starts from: recharge, trigger, activate, fire, reset.
class TrapCycle : public TrapBehavior
{
public:
    void Update(TrapData& trap) override;
    void Activate(TrapData& trap) override;
    void ActiveUpdate(TrapData& trap) override;
    void Destroyed(TrapData& trap) override;
    void Inactive(TrapData& trap) override;

protected:
    ~TrapCycle() = default;
    // Runs on every firing frame after the cycle's own step: a kind adds to the cycle here.
    virtual void Firing(TrapData&) {}
    // Whether the idle animation starts over once the trap is ready again.
    virtual bool RestartsAnimationWhenReady() const { return true; }
};

// Fires at the first invader in its region and damages every invader there.
class BasicTrap : public TrapCycle
{
public:
    bool ShouldActivate(TrapData& trap) override;
    void Effect(TrapData& trap) override;

protected:
    ~BasicTrap() = default;
};

// Cycle steps the kinds share: start activating (the animation once or looping; with the
// activation sound or without), and ready again (green, the idle animation started over when asked).
void ActivateLooping(TrapData& trap, bool loop);
void ActivateSilently(TrapData& trap, bool loop);
void BackToReady(TrapData& trap, bool restartAnimation);

void RegisterTrapKinds(std::map<std::string, TrapBehavior*>& map);
