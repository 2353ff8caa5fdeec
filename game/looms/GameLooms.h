#pragma once
#include "LOOM/engine/CoreEngine.h"

// Every loom the game runs on, for the program's entry and the whole-game benchmarks alike.
LoomFactories GameLooms();
