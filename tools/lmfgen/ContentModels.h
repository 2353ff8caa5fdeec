#pragma once
#include <string>
#include <vector>

#include "tools/lmfgen/LmfWriter.h"

// The models of the playable game: the tower, walls, spawner, traps, invaders, cursor, bomb,
// parachute, projectiles and scenery. Every file is built from the tables in ContentModels.cpp,
// so reruns give the same bytes.

// Twenty parts in model space: 0 the plinth, 1-2, 3-5, 6-10 and 11-18 the storeys that fall
// stage by stage, 19 the banner; clips "Idle" and "Break1" to "Break5".
LmfMesh TowerMesh();
std::vector<LmfClip> TowerClips();

// An invader body on the shared eleven-bone skeleton, with the clips every behaviour asks for.
struct BodyShape
{
    float width = 1.0f;
    float height = 1.0f;
    float head = 1.0f;
    float belly = 1.0f;
};
LmfMesh BodyMesh(const BodyShape& shape);
std::vector<LmfBone> BodyBones(const BodyShape& shape);
std::vector<LmfClip> BodyClips(const BodyShape& shape);

// A three-fingered claw: palm and three two-bone fingers, clips "Idle", "Idle2", "Grab",
// "Hold", "Release" and "Stun".
LmfMesh CursorMesh();
std::vector<LmfBone> CursorBones();
std::vector<LmfClip> CursorClips();

// Relative file name and bytes of each content model.
struct ContentFile
{
    std::string name;
    std::string bytes;
};
std::vector<ContentFile> ContentModelFiles();
bool WriteContentModels(const std::string& dataFolder);
