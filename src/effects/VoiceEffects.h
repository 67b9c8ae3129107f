#pragma once
#include <cstdint>

// The voice effect stage: the selected effect, or the chain of four. Reads the input block,
// writes the output block, and hands back the written flag and the valid frame count.
void VoiceEffectStage(float* input, float* output, unsigned int frames, bool& written,
                      uint32_t& validFrames);
