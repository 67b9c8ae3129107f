#pragma once
// The engine side of an audio set-up: the context and its device lists, the saved device
// choice, and the duplex device. It writes and asks nothing: the set-up's screen, its texts and
// the device dialog are the console's (src/ui/AudioSetupDialog).

// Creates the context and takes the device lists, then puts the pitch effects into their start
// configuration. 0, -2 when the context cannot be created, -3 when the lists cannot be taken.
int applicationInit();
// Releases the context and what the callback built.
void applicationClear();

// Closes a running device and releases what its callback built, so the next device's first
// block builds its own processing state.
void CloseAudioDevice();

// Reads the saved device choice into gl_deviceCaptureId, gl_devicePlayId and gl_enable_stereo:
// the saved positions, or where the saved names are listed now (-1 when a saved name is gone).
void LoadSavedDeviceChoice();

// Opens the duplex device for the chosen devices, names them, saves the choice and starts it.
// 0, or the audio layer's code when the device does not open (nothing is saved then).
int OpenChosenDevices();
