#pragma once
// The audio layer's way straight into PipeWire, for sessions whose audio PipeWire runs: the
// device lists from the PipeWire registry, and a duplex made of two PipeWire streams whose
// process callbacks run on PipeWire's real-time thread in step with the graph. SDL reaches
// PipeWire only through its PulseAudio emulation (about 20 ms more delay) or through SDL's own
// PipeWire driver, which hands the graph one fixed-size buffer per cycle whatever the cycle's
// length.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/StreamSink.h"

struct AudioDeviceInfo;

namespace pipewire_audio {

// True when a PipeWire daemon answers and runs at least one audio device.
bool SessionHasAudio();

// Audio sources and sinks by description; `id` is the node name a stream targets, `isDefault`
// follows the session's default devices. False when PipeWire cannot be reached.
bool ListDevices(std::vector<AudioDeviceInfo>& playback, std::vector<AudioDeviceInfo>& capture);

// The rate PipeWire's graph runs at (devices at other rates are converted to it); 48000 when
// unknown.
uint32_t GraphRate();

struct Duplex;

struct DuplexSpec {
    std::string captureNode;
    std::string playbackNode;
    uint32_t captureChannels = 1;
    uint32_t playbackChannels = 1;
    uint32_t sampleRate = 48000;
    uint32_t quantumFrames = 256;  // the graph cycle the streams ask for
};

// Connects both streams (not yet running); null with the reason when it cannot.
Duplex* Open(const DuplexSpec& spec, StreamSink* sink, std::string& error);
void Start(Duplex* duplex);
// Disconnects and frees everything; returns when no stream callback can run any more.
void Close(Duplex* duplex);

}  // namespace pipewire_audio
