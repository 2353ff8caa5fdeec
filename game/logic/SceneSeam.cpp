#include "game/logic/SceneSeam.h"

#include "game/logic/HeadlessScene.h"

namespace {
HeadlessScene gHeadless;
SceneSeam* gSeam = &gHeadless;
} // namespace

SceneSeam& Scene() { return *gSeam; }

void SetSceneSeam(SceneSeam* seam) { gSeam = seam ? seam : &gHeadless; }

ModelSeam& SceneModels() { return gSeam->Models(); }

TerrainSeam& SceneTerrain() { return gSeam->Terrain(); }

HudSeam& SceneHud() { return gSeam->Hud(); }

EffectSeam& SceneEffects() { return gSeam->Effects(); }

DisplaySeam& SceneDisplay() { return gSeam->Display(); }
