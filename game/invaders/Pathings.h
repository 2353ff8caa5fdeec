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
};

void RegisterPathingKinds(std::map<std::string, PathingBehavior*>& map);
