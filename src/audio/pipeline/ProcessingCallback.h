#pragma once
#include "audio/layer/AudioLayer.h"

// The processing callback the duplex device calls once per period on its own thread.
void data_callback(AudioDevice* device, void* output, const void* input, unsigned int frames);
