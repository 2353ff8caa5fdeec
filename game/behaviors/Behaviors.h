#pragma once
#include <cstdint>

class Kestrane;
class TrapData;

// Stateless strategies shared by every component that uses them: one static prototype per
// kind, found by name in the behaviour registry. Every operation does nothing by default.

class InvaderBehavior
{
public:
    virtual void Think(Kestrane&) {}
    virtual void Die(Kestrane&) {}
    virtual void Spawn(Kestrane&) {}
    // Called before the invader stores the new state, so the old one is still readable.
    virtual void ChangeState(Kestrane&, int32_t) {}

protected:
    ~InvaderBehavior() = default;
};

class PathingBehavior
{
public:
    virtual void Step(Kestrane&) {}
    virtual void FindTower(Kestrane&) {}

protected:
    ~PathingBehavior() = default;
};

class TrapBehavior
{
public:
    virtual void Update(TrapData&) {}
    virtual void Destroyed(TrapData&) {}
    virtual void OnPlaced(TrapData&) {}
    // Runs when a charge use empties the charge, before the charge is clamped to 0.
    virtual void ChargeDepleted(TrapData&) {}

protected:
    ~TrapBehavior() = default;
};
