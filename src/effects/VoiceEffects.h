#pragma once
#include <cstdint>

#include "effects/StageBlock.h"

// The voice effect stage: the selected effect, or the chain of four. Reads the input block,
// writes the output block, and leaves the written flag and the valid frame count in `block`.
void VoiceEffectStage(StageBlock& block);

// True for the ids that have an effect of their own (4 to 17).
bool IsVoiceEffect(int id);

// One block of the Mutation sweep: adds the offset to the pitch and bounces off -4 and +13
// semitones, where the offset becomes +step or -step. Returns the pitch for this block.
float MutationPitchStep(float& value, float& offset, float step);

// One block of Atari: the pitch runs on by the offset; below -3 it turns upward and jumps to
// +6, above +4 it turns downward and jumps to -3, else `held` stays. Returns the whole-semitone
// pitch for this block (also left in `held`).
int32_t AtariPitchStep(float& value, float& offset, int32_t& held);

// Fade weight of Alien's recording at write index `index` of a fragment of `fragmentSize`
// samples, for blocks of `blockSamples` samples: linear in over the first block of the
// fragment and out over the last.
float AlienFadeWeight(int32_t index, int32_t blockSamples, int32_t fragmentSize);

// Samples Clone's copy lags behind: 6000 frames, or less when the delay line is shorter, so the
// read index always lies inside the line.
int32_t CloneDelaySamples(uint32_t channels, int32_t lineSize);

// Clone's read index for write index `writeIndex` of a delay line of `lineSize` samples.
int32_t CloneReadIndex(int32_t writeIndex, int32_t delaySamples, int32_t lineSize);
