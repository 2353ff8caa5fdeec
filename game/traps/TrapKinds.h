#pragma once
#include <map>
#include <string>

#include "LOOM/math/Quat.h"
#include "LOOM/space/Spatial.h"

class TrapBehavior;

// The trap kinds entered before "Basic", in registry order: "Fan" to "Vortex".
void RegisterMoreTrapKinds(std::map<std::string, TrapBehavior*>& map);
// "StatusEffect", entered after "Basic".
void RegisterStatusTrapKind(std::map<std::string, TrapBehavior*>& map);

// Rotates the eight corners of the box and refits the axis-aligned box around them.
void RotateBox(BoundingBox& box, const Quat& rotation);
