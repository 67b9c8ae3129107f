#include "audio/layer/AudioLayer.h"

namespace {

// A frame is mixed in a small stack array so that converting in place needs no heap.
constexpr uint32_t kConverterMaxChannels = 8;

// Weight of input channel `in` in output channel `out` for the default channel maps: mono is
// centre, stereo is left/right, larger counts map channel n to channel n. A rectangular mix
// spreads every input channel evenly over the output channels that share its position.
std::vector<float> rectangular_weights(uint32_t inChannels, uint32_t outChannels) {
    std::vector<float> weights(static_cast<size_t>(inChannels) * outChannels, 0.0f);
    auto at = [&](uint32_t out, uint32_t in) -> float& {
        return weights[static_cast<size_t>(out) * inChannels + in];
    };
    if (inChannels == 1) {
        for (uint32_t out = 0; out < outChannels; ++out) at(out, 0) = 1.0f;
    } else if (outChannels == 1) {
        for (uint32_t in = 0; in < inChannels; ++in) at(0, in) = 1.0f / inChannels;
    } else {
        // Channel n feeds channel n; extra output channels stay silent, extra input channels
        // are dropped, so a level stays what it was on every channel both sides share.
        for (uint32_t c = 0; c < inChannels && c < outChannels; ++c) at(c, c) = 1.0f;
    }
    return weights;
}

}  // namespace

int channel_converter_init(SampleFormat format, uint32_t inChannels, uint32_t outChannels,
                           ChannelConverter* converter) {
    if (converter == nullptr || format != SampleFormat::f32 || inChannels == 0 ||
        outChannels == 0 || inChannels > kConverterMaxChannels ||
        outChannels > kConverterMaxChannels) {
        return -1;
    }
    converter->inChannels = inChannels;
    converter->outChannels = outChannels;
    converter->weights = rectangular_weights(inChannels, outChannels);
    return 0;
}

int channel_converter_process_pcm_frames(ChannelConverter* converter, void* output,
                                         const void* input, uint64_t frames) {
    if (converter == nullptr || converter->weights.empty() || output == nullptr ||
        input == nullptr) {
        return -1;
    }
    const uint32_t inCh = converter->inChannels;
    const uint32_t outCh = converter->outChannels;
    const float* in = static_cast<const float*>(input);
    float* out = static_cast<float*>(output);
    // Output and input may be the same buffer when the channel count does not grow; a frame is
    // read completely before it is written, and frames are walked backwards when it grows.
    float frame[kConverterMaxChannels];
    const bool grows = outCh > inCh;
    for (uint64_t i = 0; i < frames; ++i) {
        const uint64_t f = grows ? frames - 1 - i : i;
        const float* src = in + f * inCh;
        float* dst = out + f * outCh;
        for (uint32_t o = 0; o < outCh; ++o) {
            float sum = 0.0f;
            const float* w = &converter->weights[static_cast<size_t>(o) * inCh];
            for (uint32_t c = 0; c < inCh; ++c) sum += w[c] * src[c];
            frame[o] = sum;
        }
        for (uint32_t o = 0; o < outCh; ++o) dst[o] = frame[o];
    }
    return 0;
}

void channel_converter_uninit(ChannelConverter* converter) {
    if (converter == nullptr) return;
    converter->inChannels = 0;
    converter->outChannels = 0;
    converter->weights.clear();
    converter->weights.shrink_to_fit();
}
