#pragma once
#include "physics/PlaceholderComp.h"

using SpringCape = PlaceholderComp<CompSpringCape>;
