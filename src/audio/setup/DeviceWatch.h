#pragma once
// Devices that go away while running (unplugged, their module unloaded, the sound server
// restarted) and come back: noticed on the main thread, which the menus call a few times a
// second, and reopened with the saved choice once they are listed again.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/layer/AudioLayer.h"

// What the running device lost and is waiting for; `what` is none while all is well.
struct LostDevice {
    DeviceLoss what = DeviceLoss::none;
    std::string name;  // the device's name; empty for the server
};

// The program's: what the status line shows (main thread only).
extern LostDevice gl_LostDevice;

// Which device a loss the backend reported is: the one of the two names the fresh listing no
// longer holds, or the server when no listing could be had; the backend's own word when both
// are still listed (a server restarted and back already).
LostDevice identify_lost_device(DeviceLoss reported, bool listed,
                                const std::vector<AudioDeviceInfo>& capture,
                                const std::vector<AudioDeviceInfo>& playback,
                                const std::string& captureName, const std::string& playbackName);

// Called from the menus between keys, every quarter second or so: notices a loss, and while
// one lasts tries once a second to reopen the saved devices. True when what the status line
// shows has changed.
bool WatchAudioDevices(uint64_t nowMs);
