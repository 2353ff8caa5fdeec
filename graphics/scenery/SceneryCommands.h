#pragma once
#include <string>

#include "LOOM/math/Vector3.h"

// The loom's console commands and cog function that reach the ground.
void RegisterSceneryCommands();

void SaveInfo(std::string fileName);
Vector3 GetTerrainHeight(Vector3 point);
Vector3 GetTerrainIntersection();
void TerraInfo(std::string fileName);
