#pragma once

int applicationInit();
int SetupAudioProcessing(bool useSavedDevices);
void applicationClear();
