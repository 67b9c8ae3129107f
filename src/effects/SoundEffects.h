#pragma once
#include <cstdint>

// The sound effect stage on the shared delay buffer (Town Hall, Echo, Chorus, Ghost).
void SoundEffectStage(float* input, float* output, unsigned int frames, bool& written,
                      uint32_t& validFrames);
