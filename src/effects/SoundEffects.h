#pragma once
#include <cstdint>

// The sound effect stage on the shared delay buffer (Town Hall, Echo, Chorus, Ghost).
void SoundEffectStage(float* input, float* output, unsigned int frames, bool& written,
                      uint32_t& validFrames);

// Ring length in samples of sound effect `id` (1 to 4) for the base length `echoSize` and
// `channels` channels; 0 for an id without an effect.
int32_t SoundEffectRingLength(int id, int32_t echoSize, uint32_t channels);
