#pragma once
// What a way to the sound system offers the audio layer: whether it serves this session, its
// device lists, the rate a duplex runs at, and a duplex of one capture and one playback device
// that hands its audio to a StreamSink on the backend's own threads. Each backend is one file;
// BackendTable lists them in the order they are tried.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/backends/StreamSink.h"

struct DuplexCounters;

constexpr size_t kMaxDeviceNameBytes = 255;

struct AudioDeviceInfo {
    std::string id;    // what opening the device needs
    std::string name;  // the sound server's description, at most 255 characters
    bool isDefault = false;
};

// A device name cut to at most maxBytes without splitting a UTF-8 sequence.
std::string truncate_device_name(const std::string& name, size_t maxBytes);

// Nanoseconds on the monotonic clock the backends and the bridge time their audio by.
uint64_t monotonic_ns();

// How a backend moves audio, in frames: the chunks each side works in, and what is kept
// against stalls, waiting in the bridge (spare) or held in the server (held).
struct DuplexTiming {
    uint32_t captureChunk = 0;
    uint32_t playbackChunk = 0;
    uint32_t spare = 0;        // captured frames kept waiting beyond a period, at least
    uint32_t spareGrowth = 0;  // how far the spare may grow after the capture side ran dry
    uint32_t held = 0;         // kept in the server instead, for a side that writes what is ready
    uint32_t heldGrowth = 0;   // how far that may grow after the server ran dry
};

struct BackendDuplexSpec {
    std::string captureId;   // empty: the default device
    std::string playbackId;  // empty: the default device
    uint32_t captureChannels = 1;
    uint32_t playbackChannels = 1;
    uint32_t sampleRate = 48000;
    uint32_t periodFrames = 480;
    DuplexTiming timing;
};

// What a running duplex lost: a device that went away (unplugged, its module unloaded), or the
// sound server itself.
enum class DeviceLoss { none, capture, playback, server };

// One open duplex. Destroying it closes both sides and returns when no stream callback can
// run any more (it may wait for a thread stuck in the sound server: the layer bounds that).
class BackendDuplex {
public:
    virtual ~BackendDuplex() = default;
    virtual void start() = 0;
    // What it lost since it started, as the backend's own reports tell it (any thread).
    virtual DeviceLoss loss() const = 0;
};

class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    // A short lower-case name, for messages and benchmarks.
    virtual const char* name() const = 0;
    // What answers behind it: another answer after a loss means the sound system is not back.
    virtual std::string system() const { return name(); }
    // The user asked for this backend by name (it is then chosen whatever the order).
    virtual bool namedByUser() const { return false; }
    // Whether it serves this session: its sound system answers and has devices.
    virtual bool probe() = 0;
    // Takes the device lists; false, with lastError, when they cannot be had.
    virtual bool listDevices(std::vector<AudioDeviceInfo>& playback,
                             std::vector<AudioDeviceInfo>& capture) = 0;
    // The rate a duplex of these devices processes at: the capture device's own where the
    // backend can run both sides at it.
    virtual uint32_t rate(const std::string& captureId, const std::string& playbackId) = 0;
    virtual DuplexTiming timing(uint32_t periodFrames) const = 0;
    // Opens both sides, not yet running; null, with lastError, when they do not open.
    virtual std::unique_ptr<BackendDuplex> open(const BackendDuplexSpec& spec, StreamSink& sink,
                                                DuplexCounters& counters) = 0;
    // The context is released; `devicesAbandoned` when a duplex could not be closed in time.
    virtual void release(bool devicesAbandoned) { (void)devicesAbandoned; }

    const std::string& lastError() const { return lastError_; }

protected:
    std::string lastError_;
};
