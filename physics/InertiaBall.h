#pragma once
#include "physics/PlaceholderComp.h"

using InertiaBall = PlaceholderComp<CompInertiaBall>;
