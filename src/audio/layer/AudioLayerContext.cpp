// The context: the backend that serves the session, and its two device lists.
#include "audio/backends/BackendTable.h"
#include "audio/layer/AudioLayer.h"

int audio_context_init(AudioContext* context) {
    if (context == nullptr) return kAudioInvalidArgs;
    if (context->initialized) audio_context_uninit(context);
    context->backend = choose_audio_backend();
    if (context->backend == nullptr) {
        context->lastError = "no sound system answers";
        for (const AudioBackend* backend : audio_backends()) {
            if (!backend->lastError().empty()) context->lastError = backend->lastError();
        }
        return kAudioNoBackend;
    }
    context->lastError.clear();
    context->initialized = true;
    return kAudioSuccess;
}

int audio_context_get_devices(AudioContext* context, AudioDeviceInfo** ppPlaybackInfos,
                              uint32_t* pPlaybackCount, AudioDeviceInfo** ppCaptureInfos,
                              uint32_t* pCaptureCount) {
    auto clearOutputs = [&] {
        if (ppPlaybackInfos) *ppPlaybackInfos = nullptr;
        if (pPlaybackCount) *pPlaybackCount = 0;
        if (ppCaptureInfos) *ppCaptureInfos = nullptr;
        if (pCaptureCount) *pCaptureCount = 0;
    };
    clearOutputs();
    if (context == nullptr || !context->initialized) return kAudioInvalidArgs;
    context->playback.clear();
    context->capture.clear();
    if (!context->backend->listDevices(context->playback, context->capture)) {
        context->playback.clear();
        context->capture.clear();
        context->lastError = context->backend->lastError();
        return kAudioError;
    }
    if (ppPlaybackInfos && !context->playback.empty()) *ppPlaybackInfos = context->playback.data();
    if (pPlaybackCount) *pPlaybackCount = static_cast<uint32_t>(context->playback.size());
    if (ppCaptureInfos && !context->capture.empty()) *ppCaptureInfos = context->capture.data();
    if (pCaptureCount) *pCaptureCount = static_cast<uint32_t>(context->capture.size());
    return kAudioSuccess;
}

void audio_context_uninit(AudioContext* context) {
    if (context == nullptr || !context->initialized) return;
    context->playback.clear();
    context->capture.clear();
    context->backend->release(audio_devices_abandoned());
    context->backend = nullptr;
    context->initialized = false;
}
