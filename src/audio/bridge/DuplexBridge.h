#pragma once
// Where the capture and playback threads of a duplex device meet, without SDL, so that tests
// drive it with simulated clocks.
//
// The capture thread pushes chunks into a lock-free ring. The playback thread asks for chunks
// of its own size; whenever its queue is empty, one block of exactly `blockFrames` captured
// frames is taken from the ring through a resampler and handed to the processing callback,
// whose output fills the queue again. The resampler's ratio follows a RateController that
// keeps a small, steady number of captured frames waiting: two device clocks that differ
// cost neither dropped nor repeated audio, and the delay does not creep.
//
// Silence is played only while the capture side has not delivered enough yet: at the start,
// and after it ran dry (counted). Captured audio is thrown away only when a stalled side left
// a backlog far beyond the target, or the ring is full (counted); a backlog goes where the
// audio after the cut continues what came before it, joined by a short crossfade.
//
// A playback side whose server holds a buffer of its own may instead take each block as soon as
// it is ready and keep the reserve there (`heldTargetFrames`), telling the bridge what the server
// still holds whenever it asks; the controller then keeps that plus what waits here at the
// target, by the mean of a window rather than its least.
//
// The reserve adapts: when the capture side ran dry (or the server holding the reserve did), it
// grows by what was missing (up to a limit), so that a second gap of the same length is not
// heard; after a quiet spell it shrinks back a few frames at a time, so that a quiet system gets
// its low delay back.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/bridge/DriftResampler.h"
#include "audio/bridge/DuplexCounters.h"
#include "audio/bridge/FrameRing.h"
#include "audio/bridge/RateController.h"

class DuplexBridge {
public:
    struct Layout {
        uint32_t captureChannels = 1;
        uint32_t playbackChannels = 1;
        uint32_t sampleRate = 48000;
        uint32_t blockFrames = 480;  // what the processing callback gets, every time
        uint32_t spareFrames = 0;    // captured frames kept waiting beyond a block, at least
        uint32_t spareGrowthFrames = 0;  // how far the spare may grow after the capture side ran dry
        // Frames the playback side's server is to hold still unplayed when a block is made, for
        // a playback side that takes only what is ready and keeps its reserve there instead;
        // and how far that reserve may grow after the server ran dry.
        uint32_t heldTargetFrames = 0;
        uint32_t heldGrowthFrames = 0;
    };
    // Runs the processing for one block: `input` holds blockFrames captured frames (writable),
    // `output` takes blockFrames playback frames.
    using RunBlock = void (*)(void* user, float* output, float* input, uint32_t frames);

    DuplexBridge(const Layout& layout, DuplexCounters& counters, RunBlock run, void* user,
                 const RateController::Tuning& tuning = RateController::Tuning{});
    DuplexBridge(const DuplexBridge&) = delete;
    DuplexBridge& operator=(const DuplexBridge&) = delete;

    // Capture thread: `count` frames arrived at `nowNs` on a monotonic clock.
    void capture(const float* frames, uint32_t count, uint64_t nowNs);
    // Playback thread: the next `count` frames for the playback device, asked for at `nowNs`,
    // while the server still holds `heldFrames` of earlier ones unplayed (0 when not known).
    void render(float* out, uint32_t count, uint64_t nowNs, uint32_t heldFrames = 0);

    // Playback thread: how many frames `render` can hand out now from captured audio, without
    // running the capture side dry or playing silence while too little waits: what is left of
    // the current block, plus the next block once every frame it takes has arrived. A playback
    // side that may wait (the server holds some audio of its own) asks for no more than this.
    uint32_t readyFrames() const;

    // Playback thread, for a playback side whose server holds the reserve: the server ran dry.
    // The reserve grows (within its limit) so that the next stall of that length is ridden out,
    // and the controller forgets what it saw before. Returns the reserve to keep from now on.
    uint32_t serverRanDry(uint64_t nowNs);
    // What is kept against stalls now: waiting here beyond a block, or held in the server.
    uint32_t reserveFrames() const { return reserve_; }

    // Frames a stalled side may leave waiting beyond the target before the oldest are dropped.
    uint32_t backlogLimit() const { return backlogLimit_; }
    const Layout& layout() const { return layout_; }

    // Captured frames not yet turned into blocks: in the ring and inside the resampler.
    uint32_t waitingFrames() const { return ring_.fill() + resampler_.pending(); }
    // What waits at `nowNs` as if the capture side delivered frame by frame: the frames that
    // wait, plus those recorded since the last chunk arrived (at most one chunk's worth). It
    // moves smoothly where the frames waiting jump by whole chunks.
    uint32_t steadyWaitingFrames(uint64_t nowNs) const;

private:
    // Playback thread: the next block into queue_, or silence while too little is waiting.
    void produceBlock();
    // Resamples captured frames into input_; returns the frames made (blockFrames unless the
    // ring ran dry).
    uint32_t resampleBlock(double ratio);
    void publishRatio(double ratio);
    // Drops about `count` of the oldest waiting frames, cut where the join is least heard;
    // returns how many went.
    uint32_t dropWaiting(uint32_t count);
    // Drops what waited beyond the reserve all through a window of blocks, from the second
    // on (the first has the start's own surplus).
    void trimSurplus(uint32_t& waiting);
    // After `missing` frames were not there when needed: more reserve, within the limit.
    void growReserve(uint32_t missing);
    // One more block in which nothing ran dry: the reserve creeps back towards its least.
    void relaxReserve();
    // The server refilled after running dry: the level that left, as the controller measured
    // it, becomes the reserve (within its limit), and what lies beyond the limit is kept too,
    // to be given back a frame at a time rather than at once by a sharp pitch.
    void keepRefill();
    void giveBackRefill();
    void setReserve(uint32_t reserve);
    bool serverHoldsReserve() const { return layout_.heldTargetFrames != 0; }
    // Captured frames that wait here beyond a block before one is made.
    uint32_t spare() const { return serverHoldsReserve() ? layout_.spareFrames : reserve_; }
    // What the server holding the reserve lacks of it (and of a refill being given back) now.
    uint32_t serverShort() const {
        const uint32_t wanted = serverHoldsReserve() ? reserve_ + refillSurplus_ : 0;
        return wanted > heldFrames_ ? wanted - heldFrames_ : 0;
    }

    Layout layout_;
    DuplexCounters& counters_;
    RunBlock run_;
    void* user_;
    FrameRing ring_;
    RateController controller_;
    uint32_t backlogLimit_;
    double maxRatio_;  // the most input frames per output frame the controller ever asks for
    // Playback thread only.
    DriftResampler resampler_;
    std::vector<float> staged_;  // captured frames on their way from the ring to the resampler
    std::vector<float> input_;   // one block for the callback, capture channels
    std::vector<float> queue_;   // one block from the callback, playback channels
    uint32_t queued_ = 0;        // frames of queue_ not yet played
    bool started_ = false;       // the first block of captured audio has been made
    bool primed_ = false;        // enough captured frames wait to make blocks
    uint64_t nowNs_ = 0;         // when the playback side asked last
    uint32_t heldFrames_ = 0;    // what its server held then
    // Kept against stalls: the spare waiting here, or what the server holds when it holds the
    // reserve; from its least (reserveFloor_) up to reserveLimit_.
    uint32_t reserve_ = 0;
    uint32_t reserveFloor_ = 0;
    uint32_t reserveLimit_ = 0;
    uint32_t blocksSinceGap_ = 0;  // blocks made since the reserve last grew
    bool settling_ = false;        // the server ran dry: the level it refills to is to be kept
    uint32_t refillSurplus_ = 0;   // of that level, what lies beyond the reserve's limit
    uint32_t blocksGivingBack_ = 0;
    uint32_t windowBlocks_ = 0;    // blocks watched in the current window for a surplus
    uint32_t windowLeast_ = 0;     // the fewest frames waiting beyond a block meanwhile
    bool watching_ = false;        // past the start's first window
    uint32_t lastRequest_ = 1;     // frames the playback side asked for last
    // Written by the capture thread: when the last chunk came and how long it was.
    std::atomic<uint64_t> lastChunkNs_{0};
    std::atomic<uint32_t> lastChunkFrames_{0};
    // The longest gap between chunks lately, and when it ended.
    std::atomic<uint64_t> recentGapNs_{0};
    std::atomic<uint64_t> recentGapEndNs_{0};
};
