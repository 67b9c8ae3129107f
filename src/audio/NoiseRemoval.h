#pragma once

// Denoises the C x frames samples of the input block in place (C = gl_channelCount, 1 or 2).
// Samples wait in two queues of whole suppressor frames, so a block size that is not a multiple
// of 480 frames comes out later than it arrived.
void NoiseRemovalStage(float* input, unsigned int frames);

// A captured sample on the suppressor's 16-bit scale: times 32768, limited to [-32768, 32767].
float NoiseQueueSample(float sample);
