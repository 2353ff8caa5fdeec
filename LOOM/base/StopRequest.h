#pragma once

// A request to end the program, set from a signal handler: the frame loop and running scripts
// look at it and wind down, so teardown runs and the log is closed.
void RequestStop() noexcept; // async-signal-safe
bool StopRequested() noexcept;
// Tests only: every test program runs its tests in one process.
void ClearStopRequest() noexcept;

// Once armed, a program that has not ended within the grace period after a stop request is
// ended anyway: lastAct runs (it closes the log), then the process exits with the code given.
// Whatever the main thread waits on (a blocked call, a dialog), the request ends the program.
void ArmStopDeadline(double graceSeconds, void (*lastAct)(), int exitCode);
// The program is past its teardown: a late deadline must no longer end it.
void DisarmStopDeadline() noexcept;
