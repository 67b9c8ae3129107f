#pragma once
// The decisions of the device dialog, apart from its input and output so they can be tested.
#include <cstdint>
#include <string>

#include "audio/layer/AudioLayer.h"

// An index addresses a device when it is at least 0 and below the count of its list.
bool is_valid_device_index(int32_t index, uint32_t count);

// The saved device's index in the current list: by name when a name was saved (-1 when no device
// of the list has it any more), else the saved position.
int32_t saved_device_index(const AudioDeviceInfo* infos, uint32_t count, int32_t savedIndex,
                           const std::string* savedName);

// The capture index the dialog offers: the last device flagged as the system's default, or
// the saved index when none is flagged.
int32_t offered_capture_index(const AudioDeviceInfo* infos, uint32_t count, int32_t saved);

// The playback index the dialog offers: the saved index when it addresses a device, otherwise
// the last device flagged as default, otherwise the saved index.
int32_t offered_playback_index(const AudioDeviceInfo* infos, uint32_t count, int32_t saved);

// The index an answer of the device prompt selects. An answer of at least 2 characters (text
// before the line feed) is read as a decimal number the way atoi reads it, text that is not a
// number giving 0; a shorter answer keeps the offered index. Numbers beyond 32 bits give an
// invalid index rather than wrapping.
int32_t device_from_answer(const std::string& answer, int32_t offered);

// "    %u: %s\n" for every device of a list.
std::string device_listing(const AudioDeviceInfo* infos, uint32_t count);

// "Select capture device[" / "Select playback device[" + index + "]: ".
std::string device_prompt(const char* kind, int32_t index);

