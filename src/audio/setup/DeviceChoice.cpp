#include "audio/setup/DeviceChoice.h"

#include <climits>
#include <cstdlib>

bool is_valid_device_index(int32_t index, uint32_t count) {
    return index >= 0 && static_cast<uint32_t>(index) < count;
}

namespace {

int32_t last_default(const AudioDeviceInfo* infos, uint32_t count) {
    int32_t found = -1;
    for (uint32_t i = 0; i < count; ++i) {
        if (infos[i].isDefault) found = static_cast<int32_t>(i);
    }
    return found;
}

}  // namespace

int32_t saved_device_index(const AudioDeviceInfo* infos, uint32_t count, int32_t savedIndex,
                           const std::string* savedName) {
    if (savedName == nullptr) return savedIndex;
    for (uint32_t i = 0; i < count; ++i) {
        if (infos[i].name == *savedName) return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t offered_capture_index(const AudioDeviceInfo* infos, uint32_t count, int32_t saved) {
    const int32_t flagged = last_default(infos, count);
    return flagged >= 0 ? flagged : saved;
}

int32_t offered_playback_index(const AudioDeviceInfo* infos, uint32_t count, int32_t saved) {
    if (is_valid_device_index(saved, count)) return saved;
    const int32_t flagged = last_default(infos, count);
    return flagged >= 0 ? flagged : saved;
}

int32_t device_from_answer(const std::string& answer, int32_t offered) {
    if (answer.size() < 2) return offered;
    // atoi's reading (leading blanks, a sign, digits) without its undefined overflow.
    const long long value = std::strtoll(answer.c_str(), nullptr, 10);
    if (value > INT32_MAX || value < INT32_MIN) return -1;
    return static_cast<int32_t>(value);
}

std::string device_listing(const AudioDeviceInfo* infos, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        text += "    " + std::to_string(i) + ": " + infos[i].name + "\n";
    }
    return text;
}

std::string device_prompt(const char* kind, int32_t index) {
    return std::string("Select ") + kind + " device[" + std::to_string(index) + "]: ";
}

