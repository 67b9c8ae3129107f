#pragma once
// Every program-wide setting and processing variable back to a known start, so each test case
// starts alike whether the cases share a process or run one per process.

// User settings as on a start without a configuration file: processing off, every stage off.
void ResetSettings();
// Processing on, every stage off.
void NeutralProcessing();
// Releases what a device set-up and its first block allocated and brings the processing state
// back to before the first block: no buffers, no suppressor states, indices at 0, pitch
// processors emptied and configured as a set-up leaves them.
void ResetProcessingState();
// All of the above, plus no device chosen, the program working, no menus and no configuration.
void ResetProgramState();
