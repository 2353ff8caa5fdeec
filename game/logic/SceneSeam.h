#pragma once

class DisplaySeam;
class EffectSeam;
class HudSeam;
class ModelSeam;
class TerrainSeam;

// The scene as game logic sees it, one role per kind of drawn thing. Each game area includes
// only the roles it uses and reaches them through SceneModels(), SceneTerrain() and the like;
// this header is for whoever installs a scene. The program installs the real one through
// SetSceneSeam, and HeadlessScene stands in without one.
class SceneSeam
{
public:
    virtual ~SceneSeam() = default;

    virtual ModelSeam& Models() = 0;
    virtual TerrainSeam& Terrain() = 0;
    virtual HudSeam& Hud() = 0;
    virtual EffectSeam& Effects() = 0;
    virtual DisplaySeam& Display() = 0;
};

// Never null: a HeadlessScene stands in while none is installed.
SceneSeam& Scene();
// Null puts the headless one back. The caller keeps ownership.
void SetSceneSeam(SceneSeam* seam);
