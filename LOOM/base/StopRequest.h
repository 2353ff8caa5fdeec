#pragma once

// A request to end the program, set from a signal handler: the frame loop and running scripts
// look at it and wind down, so teardown runs and the log is closed.
void RequestStop() noexcept; // async-signal-safe
bool StopRequested() noexcept;
// Tests only: every test program runs its tests in one process.
void ClearStopRequest() noexcept;
