#pragma once
// The program's own small audio layer: a context with the device lists of the backend that
// serves the session (src/audio/backends), a duplex device (one capture and one playback side
// joined by a DuplexBridge), and a channel converter. The device object can also be built
// without a backend so that the offline renderer and the tests drive the same processing
// callback.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/backends/AudioBackend.h"
#include "audio/bridge/DuplexCounters.h"

enum class SampleFormat { f32 };

enum class ShareMode { shared, exclusive };

constexpr uint32_t kSampleFormatBytes = 4;  // bytes of one 32-bit float sample

// Results of the layer's calls: 0 or a negative code.
constexpr int kAudioSuccess = 0;
constexpr int kAudioError = -1;
constexpr int kAudioInvalidArgs = -2;
constexpr int kAudioNoBackend = -3;          // the sound system cannot be reached
constexpr int kAudioDeviceOpenFailed = -4;   // a capture or playback device did not open

struct AudioContext {
    bool initialized = false;
    AudioBackend* backend = nullptr;  // what lists and opens the devices
    std::vector<AudioDeviceInfo> playback;
    std::vector<AudioDeviceInfo> capture;
    // Why the last call on this context or its devices failed, as the backend tells it.
    std::string lastError;
};

struct AudioDevice;
using AudioDataCallback = void (*)(AudioDevice* device, void* output, const void* input,
                                   unsigned int frames);

struct AudioDeviceConfig {
    struct Side {
        const AudioDeviceInfo* pDeviceID = nullptr;
        SampleFormat format = SampleFormat::f32;
        uint32_t channels = 0;
        ShareMode shareMode = ShareMode::shared;
    };
    Side capture;
    Side playback;
    uint32_t sampleRate = 0;  // 0: the capture device's native rate
    AudioDataCallback dataCallback = nullptr;
};

struct DuplexState;

struct AudioDevice {
    struct {
        uint32_t channels = 0;
        SampleFormat format = SampleFormat::f32;
        uint32_t internalSampleRate = 0;
    } capture;
    struct {
        uint32_t channels = 0;
        SampleFormat format = SampleFormat::f32;
    } playback;
    uint32_t periodFrames = 0;
    AudioDataCallback dataCallback = nullptr;

    std::atomic<uint64_t> callbacks{0};  // periods the processing callback ran
    DuplexCounters counters;              // what the live device's threads saw

    DuplexState* duplex = nullptr;  // null for a device built without a backend
};

// Context: create (0 or a negative code), list devices (the lists stay owned by the context),
// release.
int audio_context_init(AudioContext* context);
int audio_context_get_devices(AudioContext* context, AudioDeviceInfo** ppPlaybackInfos,
                              uint32_t* pPlaybackCount, AudioDeviceInfo** ppCaptureInfos,
                              uint32_t* pCaptureCount);
void audio_context_uninit(AudioContext* context);

// Duplex device: 32-bit float, 1 or 2 channels on both sides, the capture device's native rate,
// periods of 10 ms. init returns 0 or a negative code; uninit returns only when no thread can
// call the callback again, within a few seconds even when a device thread is stuck in the
// sound server, and is harmless on a device that was never opened.
AudioDeviceConfig audio_device_config_init_duplex();
int audio_device_init(AudioContext* context, const AudioDeviceConfig* config, AudioDevice* device);
int audio_device_start(AudioDevice* device);
void audio_device_uninit(AudioDevice* device);

// What a running device lost (a side's device went away, or the sound server); none for a
// device that is not open.
DeviceLoss audio_device_loss(const AudioDevice* device);

// True when a device could not be closed in time: its backend still holds it, and is not shut
// down until the process ends.
bool audio_devices_abandoned();

// Captured frames waiting for the playback side at the last period (0 for a device without a
// backend).
uint32_t audio_device_ring_fill(const AudioDevice* device);

// A device without a backend, for the renderer and the tests.
void audio_device_init_offline(AudioDevice* device, uint32_t captureChannels,
                               uint32_t playbackChannels, uint32_t sampleRate,
                               AudioDataCallback callback);

// One period exactly as the live device runs it: the output block is cleared, the callback runs,
// then every output sample is clipped to [-1, 1] (NaN plays as 0).
// The callback uses the input block as work storage, so `input` must point to writable memory
// of capture channels x frames floats.
void audio_device_run_callback(AudioDevice* device, float* output, const float* input,
                               unsigned int frames);

// One played sample: clipped to [-1, 1], NaN plays as silence.
float clip_sample(float sample);

// The largest period the layer ever hands the callback (the renderer allows up to 4800 frames).
constexpr unsigned int kMaxPeriodFrames = 4800;
constexpr unsigned int kMaxChannels = 2;

// Channel converter: capture channel count -> playback channel count with the default channel
// maps and a rectangular mix. Working memory is owned by the converter.
struct ChannelConverter {
    uint32_t inChannels = 0;
    uint32_t outChannels = 0;
    std::vector<float> weights;  // outChannels x inChannels
};
int channel_converter_init(SampleFormat format, uint32_t inChannels, uint32_t outChannels,
                           ChannelConverter* converter);
int channel_converter_process_pcm_frames(ChannelConverter* converter, void* output,
                                         const void* input, uint64_t frames);
void channel_converter_uninit(ChannelConverter* converter);
