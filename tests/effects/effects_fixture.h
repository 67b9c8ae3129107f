#pragma once
// Brings the processing state up as a device set-up and its first block would, so each stage
// can be driven on its own with hand-made blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "support/ProgramState.h"
#include "audio/pipeline/ProcessingState.h"
#include "support/FreshProgramState.h"
#include "support/Signals.h"

namespace effects_test {

class Processing : public FreshProgramState {
protected:
    void SetUpProcessing(uint32_t channels, uint32_t rate) {
        NeutralProcessing();
        ASSERT_TRUE(InitializeProcessingState(channels, rate));
        channels_ = channels;
    }

    uint32_t channels_ = 1;
};

// The pitch in semitones a processor was last given, read back from its transposition rate
// (tempo and rate changes stay 0, so the rate is 2 to the pitch / 12).
struct PitchPeek : soundtouch::SoundTouch {
    static double Semitones(const soundtouch::SoundTouch& processor) {
        return 12.0 * std::log2(processor.*(&PitchPeek::rate));
    }
};

}  // namespace effects_test
