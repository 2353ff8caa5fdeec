#pragma once
#include <map>
#include <string>

#include "game/behaviors/Behaviors.h"

class Cog;

// The standard pathing: every frame it reads the tiles ahead and picks the state.
class StandardPathing : public PathingBehavior
{
public:
    void Evaluate(Kestrane& k, TileIndex tile, int32_t& result) override;
    void ProbeSides(Kestrane& k, TileIndex tile, int32_t& result) override;
    void Step(Kestrane& k) override;
    void FindTower(Kestrane& k) override;

protected:
    ~StandardPathing() = default;
    // The common first tests of Evaluate: state 8 or a blocked tile give 8; true when decided.
    bool DetourFirst(Kestrane& k, TileMap& map, TileIndex tile, int32_t& result);
    // FindTower with the map and the tower already at hand.
    static void AimAtTower(Kestrane& k, TileMap* map, Cog* tower);

    // Steps of the per-frame walk the pathings share; each is true when it has decided the frame.
    // Without a tower the invader waits.
    static bool WaitWithoutTower(Kestrane& k, const Cog* tower);
    // A rise of one level ahead is jumped, except during the special move.
    static bool JumpUpTo(Kestrane& k, TileMap& map, TileIndex ahead);
    // Before a climb two levels up, a step one level up beside both: it jumps onto the step.
    static bool ClimbStepBeside(Kestrane& k, TileMap& map, TileIndex ahead);
    // Settles the invader's own tile when it is raised but empty, then evaluates the tile ahead.
    int32_t EvaluateAhead(Kestrane& k, Tile& here, TileIndex ahead);
    // A detour result starts the detour or keeps it going.
    static bool KeepDetour(Kestrane& k, int32_t result);
};

void RegisterPathingKinds(std::map<std::string, PathingBehavior*>& map);
