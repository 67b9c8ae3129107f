// The noise suppressor over the speexdsp preprocessor: denoising only, at -30 dB of suppression.
#include "audio/pipeline/NoiseSuppressor.h"

#include <cmath>

#include <speex/speex_preprocess.h>

struct DenoiseState {
    SpeexPreprocessState* preprocess = nullptr;
    spx_int16_t frame[kDenoiseFrameSize] = {};
};

int16_t DenoiseSampleToInt16(float sample) {
    if (std::isnan(sample)) {
        return 0;
    }
    if (sample >= 32767.0f) {
        return 32767;
    }
    if (sample <= -32768.0f) {
        return -32768;
    }
    return static_cast<int16_t>(std::lrintf(sample));
}

DenoiseState* denoise_create(int sampleRate) {
    SpeexPreprocessState* preprocess = speex_preprocess_state_init(kDenoiseFrameSize, sampleRate);
    if (preprocess == nullptr) {
        return nullptr;
    }
    int on = 1;
    int off = 0;
    int suppressDb = -30;
    speex_preprocess_ctl(preprocess, SPEEX_PREPROCESS_SET_DENOISE, &on);
    speex_preprocess_ctl(preprocess, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, &suppressDb);
    // Voice detection is off by default and is left alone: setting it prints a warning.
    speex_preprocess_ctl(preprocess, SPEEX_PREPROCESS_SET_AGC, &off);
    speex_preprocess_ctl(preprocess, SPEEX_PREPROCESS_SET_DEREVERB, &off);

    DenoiseState* state = new DenoiseState;
    state->preprocess = preprocess;
    return state;
}

void denoise_process_frame(DenoiseState* state, float* out, const float* in) {
    if (state == nullptr) {
        // No state yet: the frame passes unchanged rather than being lost.
        if (out != in) {
            for (int i = 0; i < kDenoiseFrameSize; ++i) {
                out[i] = in[i];
            }
        }
        return;
    }
    for (int i = 0; i < kDenoiseFrameSize; ++i) {
        state->frame[i] = DenoiseSampleToInt16(in[i]);
    }
    speex_preprocess_run(state->preprocess, state->frame);
    for (int i = 0; i < kDenoiseFrameSize; ++i) {
        out[i] = static_cast<float>(state->frame[i]);
    }
}

void denoise_destroy(DenoiseState* state) {
    if (state == nullptr) {
        return;
    }
    speex_preprocess_state_destroy(state->preprocess);
    delete state;
}
