#pragma once
// What the terminal layer's signal handlers leave for the key reader: a descriptor that becomes
// readable when a signal came in (whichever thread took it), the signal that asked the program
// to end, and whether the terminal changed size.

namespace Term {

// The reading end of the wake-up pipe; -1 before the first Terminal object.
int signal_wakeup_fd();
// Empties the wake-up pipe.
void drain_signal_wakeups();
// SIGINT, SIGTERM or SIGHUP when one asked the program to end, else 0.
int termination_signal();
// True once after each change of the terminal's size.
bool take_resize();

}  // namespace Term
