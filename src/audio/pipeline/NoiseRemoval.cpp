// The noise removal stage: captured samples are queued on the 16-bit scale, denoised in whole
// frames of 480 per channel, and handed back into the input block once enough are queued.
#include "audio/pipeline/NoiseRemoval.h"

#include <cstring>

#include "audio/pipeline/NoiseSuppressor.h"

namespace {

constexpr float kFromInt16Scale = 1.0f / 32768.0f;

void DenoiseMonoFrame(float* queued, float* out) {
    denoise_process_frame(gl_DenoiseState_1, out, queued);
}

void DenoiseStereoFrame(const float* queued, float* out) {
    float left[kDenoiseFrameSize];
    float right[kDenoiseFrameSize];
    for (int f = 0; f < kDenoiseFrameSize; ++f) {
        left[f] = queued[2 * f];
        right[f] = queued[2 * f + 1];
    }
    denoise_process_frame(gl_DenoiseState_1, left, left);
    denoise_process_frame(gl_DenoiseState_2, right, right);
    for (int f = 0; f < kDenoiseFrameSize; ++f) {
        out[2 * f] = left[f];
        out[2 * f + 1] = right[f];
    }
}

}  // namespace

float NoiseQueueSample(float sample) {
    const float scaled = sample * 32768.0f;
    if (scaled > 32767.0f) {
        return 32767.0f;
    }
    if (scaled < -32768.0f) {
        return -32768.0f;
    }
    return scaled;
}

void NoiseRemovalStage(StageBlock& block) {
    float* const input = block.input;
    const uint32_t channels = block.channels;
    if (input == nullptr || channels < 1 || channels > 2) {
        return;
    }
    const int32_t n = static_cast<int32_t>(channels * block.frames);
    const int32_t frameSamples = kDenoiseFrameSize * static_cast<int32_t>(channels);

    // A block that does not fit into the input queue is not denoised; it is lost to the
    // suppressor while queued output is still handed out.
    if (n <= kNoiseQueueSamples - m_noiseBufferInputSize) {
        float* tail = m_noiseBufferInput + m_noiseBufferInputSize;
        for (int32_t i = 0; i < n; ++i) {
            tail[i] = NoiseQueueSample(input[i]);
        }
        m_noiseBufferInputSize += n;
    }

    // Frames whose result would not fit into the output queue wait in the input queue.
    int32_t readPoint = 0;
    while (m_noiseBufferInputSize >= frameSamples &&
           m_noiseBufferOutputSize + frameSamples <= kNoiseQueueSamples) {
        float* queued = m_noiseBufferInput + readPoint;
        float* out = m_noiseBufferOutput + m_noiseBufferOutputSize;
        if (channels == 1) {
            DenoiseMonoFrame(queued, out);
        } else {
            DenoiseStereoFrame(queued, out);
        }
        readPoint += frameSamples;
        m_noiseBufferInputSize -= frameSamples;
        m_noiseBufferOutputSize += frameSamples;
    }
    if (readPoint > 0 && m_noiseBufferInputSize > 0) {
        std::memmove(m_noiseBufferInput, m_noiseBufferInput + readPoint,
                     sizeof(float) * static_cast<size_t>(m_noiseBufferInputSize));
    }

    if (m_noiseBufferOutputSize >= n) {
        for (int32_t i = 0; i < n; ++i) {
            input[i] = m_noiseBufferOutput[i] * kFromInt16Scale;
        }
        m_noiseBufferOutputSize -= n;
        if (m_noiseBufferOutputSize > 0) {
            std::memmove(m_noiseBufferOutput, m_noiseBufferOutput + n,
                         sizeof(float) * static_cast<size_t>(m_noiseBufferOutputSize));
        }
    }
}
