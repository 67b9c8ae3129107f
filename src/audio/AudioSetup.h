#pragma once

int applicationInit();
// The sweeping and stepping pitch state and the four pitch processors back to their start
// configuration; every set-up does this, and so does an offline render.
void ResetPitchEffects();
int SetupAudioProcessing(bool useSavedDevices);
void applicationClear();
