#pragma once
// One block on its way through the processing stages. Every stage takes it, works on the frames
// and channels it names, and leaves in it what it wrote; the copies between the two blocks are
// the functions below, and nowhere else.
#include <cstddef>
#include <cstdint>

struct StageBlock {
    float* input;          // the captured samples; the block's state while nothing is written
    float* output;         // where a stage writes its result
    uint32_t frames;       // F: frames of both blocks
    uint32_t channels;     // C: interleaved channels of both blocks
    bool written;          // W: the output block holds the latest result
    uint32_t valid;        // P: frames of that result
};

// A block of `frames` frames at `channels` channels that no stage has written yet.
StageBlock MakeStageBlock(float* input, float* output, uint32_t frames, uint32_t channels);

// The latest result, which is in the output block, into the input block as well (the next
// position of the voice effect chain reads it there).
void CopyResultToInput(const StageBlock& block);

// Both blocks hold the latest result for `frames` frames: the output block's when a stage wrote
// it, else the input block's.
void ShareLatestResult(const StageBlock& block, uint32_t frames);

// No stage wrote the output block: the input block passes into it unchanged.
void PassInputThrough(const StageBlock& block);
