#pragma once

class Cog;
class TileComp;

// The level's "Tower" cog by name, which every walking invader asks for every frame. The name
// look-up is kept while it finds a tower and forgotten whenever a cog is destroyed, the cogs
// are reset or a level gives up its names; an absent tower is looked up again each time.
namespace tower_lookup {
// The remembered tower; null when it must be looked up.
extern Cog* gRemembered;
// Looks the name up and remembers what it finds.
Cog* LookUp();

// The living cog named "Tower", or null. Inline: the remembered answer is one read.
inline Cog* Find() { return gRemembered ? gRemembered : LookUp(); }
extern TileComp* gFootprint;
extern bool gFootprintKnown;
// Looks the cog's footprint up, remembering it when the cog is the remembered tower.
TileComp* LookUpFootprint(Cog& tower);

// The tower's footprint component, or null; remembered for the cog Find gave.
inline TileComp* Footprint(Cog& tower)
{
    return &tower == gRemembered && gFootprintKnown ? gFootprint : LookUpFootprint(tower);
}
// For code that unregisters names without destroying the cogs (the level loader).
void Forget();
} // namespace tower_lookup
