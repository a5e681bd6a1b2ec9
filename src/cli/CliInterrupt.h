#pragma once

namespace veltrano::cli {

// Ctrl+C (SIGINT) during a command: the first one asks the running check to
// stop as "Cancel" does, so that what was answered is still written; a
// second one ends the program at once, as the system would.
//
// The signal handler only raises a flag; the run's event pump sees it
// between two steps and while a request waits, and cancels from there.
void installInterruptHandler();
// What the handler does, for a test that stands in for the key press.
void requestInterrupt();
bool interruptRequested();
// Forgets an earlier interrupt (each command of a test starts afresh).
void clearInterrupt();

} // namespace veltrano::cli
