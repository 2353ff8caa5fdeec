#pragma once
#include "tests/LOOM/support/LogCapture.h"

// The suite's one counter of log entries, under the name most subsystem tests know it by.
using LogProbe = LogCapture;
