#include "effects/BassTrebleStage.h"

#include "config/UserSettings.h"
#include "effects/EffectState.h"

void BassTrebleStage(StageBlock& stage) {
    float* const block = stage.output;
    const uint32_t frames = stage.valid;
    if ((gl_bass.load() == 0.0f && gl_treble.load() == 0.0f) || frames == 0) return;
    if (stage.channels == 1) {
        gl_BassTreble_1.ProcessBlock(block, block, frames);
        return;
    }
    if (stage.channels != 2 || frames >= static_cast<uint32_t>(kBassTrebleBufferFrames)) return;
    for (uint32_t f = 0; f < frames; ++f) {
        gl_BassTreble_Buffer_1[f] = block[2 * f];
        gl_BassTreble_Buffer_2[f] = block[2 * f + 1];
    }
    gl_BassTreble_1.ProcessBlock(gl_BassTreble_Buffer_1, gl_BassTreble_Buffer_1, frames);
    gl_BassTreble_2.ProcessBlock(gl_BassTreble_Buffer_2, gl_BassTreble_Buffer_2, frames);
    for (uint32_t f = 0; f < frames; ++f) {
        block[2 * f] = gl_BassTreble_Buffer_1[f];
        block[2 * f + 1] = gl_BassTreble_Buffer_2[f];
    }
}
