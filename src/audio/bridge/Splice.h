#pragma once
// Where captured audio that has to go is cut out so that the cut is hardly heard: of the cuts
// within a range of lengths, the one after which the signal best continues what was about to
// play (a voice or a tone goes on in phase), then a short crossfade over the join. Pure
// arithmetic over a sample accessor, so that tests give it exact signals.
#include <cmath>
#include <cstdint>

namespace splice {

// How much better a shorter cut must match to win over a longer one, as a fraction.
constexpr double kShorterCutGain = 0.01;

// Of the cuts of `shortest` to `longest` frames, stepping by `step`, the one whose next `window`
// samples correlate best (normalised by their energy) with the first `window` samples.
// `sample(i)` is the sample of frame i, which must exist up to longest + window. A shorter cut
// must match clearly better to win: among equal matches (a steady tone, silence) the longest
// wins, and less delay is left to work off.
template <typename Sample>
uint32_t BestCut(const Sample& sample, uint32_t shortest, uint32_t longest, uint32_t window,
                 uint32_t step) {
    uint32_t best = longest;
    double bestScore = -2.0;
    for (uint32_t cut = longest;; cut -= step) {
        double product = 0.0;
        double energy = 0.0;
        for (uint32_t i = 0; i < window; i += step) {
            const double later = sample(cut + i);
            product += sample(i) * later;
            energy += later * later;
        }
        const double score = energy > 0.0 ? product / std::sqrt(energy) : 0.0;
        if (score > bestScore + kShorterCutGain * std::fabs(bestScore)) {
            bestScore = score;
            best = cut;
        }
        if (cut < shortest + step) break;
    }
    return best;
}

// The weight of the later audio at frame i of a crossfade `frames` long: from just above 0 to
// just below 1, so that both ends join what is next to them.
inline float FadeWeight(uint32_t i, uint32_t frames) {
    return static_cast<float>(i + 1) / static_cast<float>(frames + 1);
}

}  // namespace splice
