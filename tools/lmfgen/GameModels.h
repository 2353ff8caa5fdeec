#pragma once
#include <string>
#include <vector>

#include "tools/lmfgen/LmfWriter.h"

struct ConstraintInfo;

// The game's models, as file bytes. Reruns give the same bytes.
std::string UnitCubeFile();
std::string UnitSphereFile();
std::string PlaneFile();
std::string SkydomeFile();
std::string WaterFile();
// Kind 1: nine parts, 3 to 8 the gun, 8 the muzzle; clips Idle, Activate, Deactivate, Inactive.
std::string TurretFile();
// Kind 2: skinned body, its skeleton and its clips in one file.
std::string InvaderFile();
// Points on the invader's surface.
std::string InvaderDistanceMapFile();
// Skinned tube on two bones with a "Bend" clip.
std::string TubeFile();
// A row of five cubes along x, one part each (kind 0).
std::string FiveCubesFile();
LmfMesh FiveCubesMesh();
// One pulsing bone ("Pulse") for effect sprites and texts.
std::string FlashEffectFile();
// Seven boxes as seven 3D Studio objects.
std::string SevenTexFile();
// Aims the turret's gun: yaw at part 3, pitch at part 4, the muzzle as end effector.
ConstraintInfo TurretConstraints();

// What the files hold, for tests that compare or build variants.
LmfMesh UnitCubeMesh();
LmfMesh UnitSphereMesh();
LmfMesh PlaneMesh();
LmfMesh SkydomeMesh();
LmfMesh WaterMesh();
LmfMesh TubeMesh();
std::vector<LmfBone> TubeBones();
LmfMesh TurretMesh();
std::vector<LmfClip> TurretClips();
LmfMesh InvaderMesh();
std::vector<LmfBone> InvaderBones();
std::vector<LmfClip> InvaderClips();

// Every file under a data folder: "Models/..." and "Data/Constraints.xml".
bool WriteAllModels(const std::string& dataFolder);
