#pragma once
// Where a backend's capture and playback sides hand over their audio, on the backend's own
// (real-time) threads.
#include <cstdint>

class StreamSink {
public:
    virtual ~StreamSink() = default;
    // `count` captured frames, interleaved.
    virtual void captured(const float* frames, uint32_t count) = 0;
    // The next `count` frames to play, interleaved, while the server still holds `heldFrames`
    // of earlier ones unplayed (0 when the stream does not say).
    virtual void render(float* out, uint32_t count, uint32_t heldFrames) = 0;
    // How many frames `render` can give now from captured audio alone.
    virtual uint32_t renderableFrames() = 0;
    // The server ran dry while holding the reserve; returns the reserve, in frames, it is to
    // hold from now on.
    virtual uint32_t serverRanDry() = 0;
};
