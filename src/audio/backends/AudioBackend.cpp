#include "audio/backends/AudioBackend.h"

#include <ctime>

std::string truncate_device_name(const std::string& name, size_t maxBytes) {
    if (name.size() <= maxBytes) return name;
    size_t cut = maxBytes;
    // Never split a UTF-8 sequence: back off over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

uint64_t monotonic_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}
