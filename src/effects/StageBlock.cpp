#include "effects/StageBlock.h"

#include <cstring>

namespace {

void CopyFrames(float* to, const float* from, uint32_t frames, uint32_t channels) {
    std::memcpy(to, from, static_cast<size_t>(channels) * frames * sizeof(float));
}

}  // namespace

StageBlock MakeStageBlock(float* input, float* output, uint32_t frames, uint32_t channels) {
    return StageBlock{input, output, frames, channels, false, frames};
}

void CopyResultToInput(const StageBlock& block) {
    CopyFrames(block.input, block.output, block.valid, block.channels);
}

void ShareLatestResult(const StageBlock& block, uint32_t frames) {
    if (block.written) {
        CopyFrames(block.input, block.output, frames, block.channels);
    } else {
        CopyFrames(block.output, block.input, frames, block.channels);
    }
}

void PassInputThrough(const StageBlock& block) {
    CopyFrames(block.output, block.input, block.frames, block.channels);
}
