#pragma once
// Waits until the GPU has carried out every command given so far. Both sides of a frame comparison
// end each frame with it, so neither is timed by how much the driver queues or skips.
void FinishFrame();
