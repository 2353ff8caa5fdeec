#include "game/logic/SceneSeam.h"

namespace {
HeadlessScene gHeadless;
SceneSeam* gSeam = &gHeadless;
} // namespace

SceneSeam& Scene() { return *gSeam; }

void SetSceneSeam(SceneSeam* seam) { gSeam = seam ? seam : &gHeadless; }
