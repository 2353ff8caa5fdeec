#pragma once
#include <cstdint>
#include <string>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "game/level/TileMap.h"
#include "game/level/TowerLookup.h"

class Cog;
class Kestrane;
class Positional;
class TileComp;

// Moves the cog toward the point at that speed along the ground (the direction's y from the
// height difference + 0.1) and turns it to face the point.
void SteerCogToward(Cog& cog, const Vector3& target, float speed);
void SteerToward(Positional& at, const Vector3& target, float speed);
// SteerToward the tile's centre on the ground.
void SteerToTile(Positional& at, const TileMap& map, TileIndex tile, float speed);
// The orientation that faces the level direction (dx, dz), as Quat::FromDirection gives it.
Quat FacingQuat(float dx, float dz);
// Turns the cog to face the point horizontally.
void FaceToward(Cog& cog, const Vector3& target);
void FaceToward(Positional& at, const Vector3& target);
// The launch every behaviour shares: force = direction x forward + up x (0, 1, 0), pushed through
// the physics component, spin from its direction, gravity on, rotation free; state 4.
void HopInvader(Kestrane& invader, const Vector3& direction, float forward, float up, float spin);

void SendDamage(Cog& cog, const DamageInfo& damage);
void SendSound(Cog& cog, const std::string& message, const std::string& sound);
void SayPhrase(Kestrane& invader, int32_t situation);
// A new moment's words replace what the invader is still saying (grabbed, thrown).
void SayPhraseInstead(Kestrane& invader, int32_t situation);
// A speech bubble from "Data/Effects/SpeechBubble.xml" riding on the invader, showing the text once.
Cog* ShowSpeech(Kestrane& invader, const std::string& text);
// Tells a cog's follower which cog to ride on.
void SendFollow(Cog& follower, const Cog& followed);

// The data controller's invader speed factor (10 without one).
float SpeedFactor();
// The living "Tower" cog, or null.
inline Cog* FindTower() { return tower_lookup::Find(); }
// The tile's centre in the world, on the ground.
Vector3 TileCentre(const TileMap& map, TileIndex tile);
inline int32_t TileDistanceSquared(TileIndex a, TileIndex b)
{
    const int32_t dx = a.first - b.first;
    const int32_t dz = a.second - b.second;
    return dx * dx + dz * dz;
}
// The cog that owns the footprint, or null.
Cog* OccupantCog(const Tile& tile);
bool CogHas(Cog* cog, uint32_t typeId);
