#pragma once
#include <string>

#include "LOOM/math/Vector3.h"

class Cog;

// Aims the skeleton of the cog's Model at the target: reads the constraint file (under the data
// folder), solves from its base animation and plays or blends to "IKGenerated" at the turn rate
// (radians per second). False, leaving the model as it was, when the cog has no skinned Model,
// the file cannot be read or nothing could be solved.
bool GenerateIKAnimation(Cog* cog, const std::string& constraintFile, const Vector3& target, float turnRate);
