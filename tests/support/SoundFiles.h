#pragma once
// Sound files through libsndfile, and the command-line tools some tests make them with.
#include <sndfile.h>

#include <string>
#include <vector>

// Interleaved float samples; false when the file cannot be written whole.
bool WriteSound(const std::string& path, int channels, int rate, const std::vector<float>& data,
                int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT);
// Every sample of the file, interleaved, with its format in `info`; empty when it cannot be read.
std::vector<float> ReadSound(const std::string& path, SF_INFO& info);
// The samples of a mono file; empty when it cannot be read or has more channels.
std::vector<float> ReadMono(const std::string& path);

// Whether `tool` is on the PATH.
bool ToolExists(const std::string& tool);
