#pragma once
// The backends the audio layer can use, in the order they are tried.
#include <vector>

#include "audio/backends/AudioBackend.h"

const std::vector<AudioBackend*>& audio_backends();

// The backend to use, probed: the one the user named, else the first that serves this session;
// null when none does.
AudioBackend* choose_audio_backend();
