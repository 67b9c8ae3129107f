#pragma once
// The audio set-up as the console runs it: the set-up's own screen with the banner, the device
// dialog when the saved devices cannot be used (or always, from the menu's "Setup"), the engine's
// work (src/audio/AudioSetup), and a failure's reason kept on screen until a key is pressed.
#include <string>

#include "ui/terminal/Terminal.h"

// 0 when a device runs, -1 when the context or its lists failed, -2 when there is no device of
// a kind, or the audio layer's code when the device did not open. The caller redraws its
// screen afterwards.
int SetupAudioProcessing(bool useSavedDevices);

// The options of the stereo question; the capital marks the current state.
struct StereoOptions {
    std::string first;
    std::string second;
};
StereoOptions stereo_options(bool stereoEnabled);
// Yes turns stereo on, No turns it off, every other outcome keeps it.
bool stereo_from_answer(Term::Result answer, bool stereoEnabled);
