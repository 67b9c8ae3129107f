#pragma once
// The audio layer's way straight into a PulseAudio server: the device lists, and a duplex of a
// record and a playback stream served by one thread, which writes each block to the playback
// stream as soon as its captured audio is there. The reserve against a stalled system is then
// held in the server, which plays on while no client runs, where SDL's PulseAudio driver runs
// the two sides on two threads that the system wakes independently and keeps its reserve
// between them.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/StreamSink.h"

struct AudioDeviceInfo;
struct DuplexCounters;

namespace pulse_audio {

// Sinks and sources (monitors of sinks left out) by description; `id` is the server's device
// name, `isDefault` follows the server's defaults. False when no PulseAudio server answers.
bool ListDevices(std::vector<AudioDeviceInfo>& playback, std::vector<AudioDeviceInfo>& capture);

// True when a PulseAudio server answers and has at least one device.
bool SessionHasAudio();

// The rate a source runs at (empty: the default source); 48000 when unknown.
uint32_t SourceRate(const std::string& source);

struct Duplex;

struct DuplexSpec {
    std::string captureSource;  // empty: the server's default
    std::string playbackSink;
    uint32_t captureChannels = 1;
    uint32_t playbackChannels = 1;
    uint32_t sampleRate = 48000;
    uint32_t chunkFrames = 240;            // what the record stream delivers at a time
    uint32_t blockFrames = 480;            // what is written to the playback stream at a time
    uint32_t playbackRequestFrames = 240;  // how little the server asks for at a time
    uint32_t reserveFrames = 336;          // what the server is to hold when a block comes
};

// Connects both streams, corked; null with the reason when it cannot. The server's underflow
// and overflow reports are counted in `counters`.
Duplex* Open(const DuplexSpec& spec, StreamSink* sink, DuplexCounters& counters,
             std::string& error);
void Start(Duplex* duplex);
// Disconnects and frees everything; returns when no stream callback can run any more.
void Close(Duplex* duplex);

}  // namespace pulse_audio
