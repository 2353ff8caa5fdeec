#include "bench/support/FinishFrame.h"

#include <epoxy/gl.h>

void FinishFrame() { glFinish(); }
