#pragma once

// Denoises the C x frames samples of the input block in place (C = gl_channelCount, 1 or 2).
void NoiseRemovalStage(float* input, unsigned int frames);
