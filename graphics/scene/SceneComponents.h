#pragma once
#include <cstdint>

class CompFactory;

// The factories of Model (4), SkinModel (6), PathController (2), Sprite (9) and HudDisplay
// (14); null for any other type id.
CompFactory* SceneComponentFactory(uint32_t typeId);
// Puts those factories into the loom's component table, which registers them.
void InstallSceneFactories();
// Registers the scene factories and the Effect's (12) straight with the cog factory, for
// programs that read cog files without a graphics loom (the level writer, headless game runs).
void RegisterSceneComponents(class CogFactory& cogs);
// The named cog function "CycleAnimations": on a fresh press of the left mouse button, the
// cog's SkinModel and Model each start their next animation.
void RegisterSceneFunctions(class CogFactory& cogs);
void CycleAnimations(class Cog* cog);
