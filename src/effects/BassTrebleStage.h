#pragma once
#include "effects/StageBlock.h"

// Bass and treble on the valid frames of the output block, each channel through its own filter
// (gl_BassTreble_1, gl_BassTreble_2). The gains were given at initialisation; with both at 0,
// more than two channels, or stereo blocks too long for the work buffers the block passes
// unfiltered.
void BassTrebleStage(StageBlock& stage);
