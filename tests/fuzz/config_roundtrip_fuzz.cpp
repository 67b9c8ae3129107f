// Any bytes as the settings file: what the store reads, writes back and reads again must be the
// same list, and every entry must be one the file format can hold.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config/PortableConfig.h"

namespace {

std::string gScratchDir;

void RemoveScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(gScratchDir, ignored);
}

// tmpfs keeps the flush of every write cheap.
std::string ScratchBase() {
    if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

bool EntryFitsTheFormat(const PortableItem& item) {
    return !item.key.empty() && item.key.find('\n') == std::string::npos &&
           item.key.find('\0') == std::string::npos && item.value.find('\n') == std::string::npos &&
           item.value.find('\0') == std::string::npos && item.value.find('=') == std::string::npos;
}

bool SameList(const std::vector<PortableItem>& a, const std::vector<PortableItem>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].key != b[i].key || a[i].value != b[i].value) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string pattern = ScratchBase() + "/mvconfig-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const std::filesystem::path startDir = std::filesystem::current_path();
    if (mkdtemp(name.data()) == nullptr || chdir(name.data()) != 0) {
        std::perror("config fuzz scratch folder");
        std::abort();
    }
    gScratchDir = name.data();
    std::atexit(RemoveScratchDir);
    ConfigPortableApplication();
    // The store keeps the absolute path; corpus folders and crash files stay relative to the
    // folder the fuzzer was started in.
    std::filesystem::current_path(startDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(glPortableConfiguration.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    if (std::fclose(file) != 0) std::abort();

    Portable_ReadConfiguration();
    const std::vector<PortableItem> first = gl_PortableConfig;
    for (const PortableItem& item : first) {
        if (!EntryFitsTheFormat(item)) std::abort();
    }
    Portable_SaveConfiguration();
    Portable_ReadConfiguration();
    if (!SameList(first, gl_PortableConfig)) std::abort();
    return 0;
}
