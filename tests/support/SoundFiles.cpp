#include "SoundFiles.h"

#include <cstdlib>

bool WriteSound(const std::string& path, int channels, int rate, const std::vector<float>& data,
                int format) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    const sf_count_t frames = static_cast<sf_count_t>(data.size() / channels);
    const bool whole = sf_writef_float(file, data.data(), frames) == frames;
    return sf_close(file) == 0 && whole;
}

std::vector<float> ReadSound(const std::string& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {};
    std::vector<float> data(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, data.data(), info.frames);
    sf_close(file);
    return data;
}

std::vector<float> ReadMono(const std::string& path) {
    SF_INFO info;
    std::vector<float> samples = ReadSound(path, info);
    return info.channels == 1 ? samples : std::vector<float>{};
}

bool ToolExists(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}
