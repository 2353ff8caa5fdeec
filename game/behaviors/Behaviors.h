#pragma once
#include <cstdint>

#include "game/level/TileMap.h"

class Kestrane;
class TrapData;

// Stateless strategies shared by every component that uses them: one static prototype per
// kind, found by name in the behaviour registry. Every operation does nothing by default.

class InvaderBehavior
{
public:
    virtual void Think(Kestrane&) {}
    virtual void Die(Kestrane&) {}
    virtual void FollowTarget(Kestrane&) {}
    virtual void Attack(Kestrane&) {}
    virtual void Special(Kestrane&) {}
    virtual void Introduce(Kestrane&) {}
    virtual void Jump(Kestrane&) {}
    virtual void Detour(Kestrane&) {}
    virtual bool HasLanded(Kestrane&) { return false; }
    virtual void OnLanded(Kestrane&) {}
    virtual void Spawn(Kestrane&) {}
    // Called before the invader stores the new state, so the old one is still readable.
    virtual void ChangeState(Kestrane&, int32_t) {}

protected:
    ~InvaderBehavior() = default;
};

class PathingBehavior
{
public:
    // Judges one tile; result is the state to go to.
    virtual void Evaluate(Kestrane&, TileIndex, int32_t&) {}
    virtual void OnEnterTile(Kestrane&, int32_t&) {}
    virtual void ProbeSides(Kestrane&, TileIndex, int32_t&) {}
    virtual void Step(Kestrane&) {}
    virtual void FindTower(Kestrane&) {}

protected:
    ~PathingBehavior() = default;
};

class TrapBehavior
{
public:
    virtual void Update(TrapData&) {}
    virtual bool ShouldActivate(TrapData&) { return false; }
    virtual void Activate(TrapData&) {}
    virtual void ActiveUpdate(TrapData&) {}
    virtual void Effect(TrapData&) {}
    virtual void Destroyed(TrapData&) {}
    virtual void OnPlaced(TrapData&) {}
    virtual void Inactive(TrapData&) {}
    // Runs when a charge use empties the charge, before the charge is clamped to 0.
    virtual void ChargeDepleted(TrapData&) {}

protected:
    ~TrapBehavior() = default;
};
