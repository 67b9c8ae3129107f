#pragma once
#include <cstdint>

#include "effects/StageBlock.h"

// The sound effect stage on the shared delay buffer (Town Hall, Echo, Chorus, Ghost): the
// latest result gets the selected effect's delayed copy; the result is in the output block.
void SoundEffectStage(StageBlock& block);

// Ring length in samples of sound effect `id` (1 to 4) for the base length `echoSize` and
// `channels` channels; 0 for an id without an effect.
int32_t SoundEffectRingLength(int id, int32_t echoSize, uint32_t channels);
