#include "audio/bridge/DuplexBridge.h"

#include "audio/bridge/Splice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Blocks of captured audio the ring can hold: room for a stalled playback side to be noticed
// and its backlog dropped before the ring overflows.
constexpr uint32_t kRingBlocks = 32;
// Beyond the target, blocks of backlog tolerated before the oldest frames are dropped. When the
// server holds the reserve, frames wait here only while its buffer is full: beyond one block
// that is only delay.
constexpr uint32_t kBacklogBlocks = 4;

// A cut of captured audio may be this much shorter than asked (a period of the lowest voices),
// to land where what follows continues what came before; the match is judged over half that.
constexpr uint32_t kCutSearchPerSecond = 100;  // the rate divided by this: 10 ms
// The crossfade over the join.
constexpr uint32_t kCutFadePerSecond = 400;  // 2.5 ms

// After a side ran dry, frames of reserve added beyond what was missing.
constexpr uint32_t kSpareMarginFrames = 16;
// Blocks over which what waits is watched for a surplus (a quarter second of 10 ms blocks).
constexpr uint32_t kSurplusWindowBlocks = 25;
// A capture gap that ended longer ago than this did not make the server run dry now.
constexpr uint64_t kRecentGapNs = 50000000;
// A reserve above its least is held for this many blocks without a gap (10 s of 10 ms blocks):
// gaps come in spells, and shrinking between two of them would make each one heard.
constexpr uint32_t kSpareHoldBlocks = 1000;
// Then it shrinks by a frame every so many blocks: 167 ppm of the rate at any rate (4 frames per
// 0.5 s at 48 kHz), 5 ms of extra reserve back in 30 s, a change of pitch no one hears.
constexpr uint32_t kShrinkRateFramesPerBlock = 600000;  // divided by the rate: blocks per frame
// What a refilled server holds beyond the reserve's limit is given back a frame every so many
// blocks: about 520 ppm (under a cent), 10 ms in about 20 s.
constexpr uint32_t kGiveBackRateFramesPerBlock = 200000;  // divided by the rate: blocks per frame

int32_t ToPpm(double ratio) { return static_cast<int32_t>(std::lround((ratio - 1.0) * 1e6)); }

// Blocks per frame for a rate of change given as blocks per frame times the sample rate.
uint32_t BlocksPerFrame(uint32_t rateFramesPerBlock, uint32_t sampleRate) {
    return std::max<uint32_t>(rateFramesPerBlock / sampleRate, 1);
}

// The most input frames one block can take at the largest ratio.
uint32_t MaxBlockInput(uint32_t blockFrames, double maxDeviation) {
    return static_cast<uint32_t>(std::ceil(blockFrames * (1.0 + maxDeviation))) +
           DriftResampler::kTaps;
}

}  // namespace

DuplexBridge::DuplexBridge(const Layout& layout, DuplexCounters& counters, RunBlock run,
                           void* user, const RateController::Tuning& tuning)
    : layout_(layout),
      counters_(counters),
      run_(run),
      user_(user),
      ring_(layout.captureChannels, kRingBlocks * layout.blockFrames),
      controller_(layout.sampleRate, layout.blockFrames, layout.spareFrames, tuning),
      backlogLimit_((layout.heldTargetFrames != 0 ? 1 : kBacklogBlocks) * layout.blockFrames),
      maxRatio_(1.0 + tuning.maxDeviation),
      resampler_(layout.captureChannels, MaxBlockInput(layout.blockFrames, tuning.maxDeviation)) {
    staged_.assign(static_cast<size_t>(MaxBlockInput(layout.blockFrames, tuning.maxDeviation)) *
                       layout.captureChannels,
                   0.0f);
    input_.assign(static_cast<size_t>(layout.blockFrames) * layout.captureChannels, 0.0f);
    queue_.assign(static_cast<size_t>(layout.blockFrames) * layout.playbackChannels, 0.0f);
    if (serverHoldsReserve()) {
        reserveFloor_ = layout.heldTargetFrames;
        reserveLimit_ = layout.heldTargetFrames + layout.heldGrowthFrames;
    } else {
        reserveFloor_ = layout.spareFrames;
        reserveLimit_ = layout.spareFrames + layout.spareGrowthFrames;
    }
    setReserve(reserveFloor_);
}

void DuplexBridge::setReserve(uint32_t reserve) {
    reserve_ = reserve;
    // The controller keeps what waits here and, when the server holds the reserve, what it
    // holds, at the target.
    controller_.setTarget(serverHoldsReserve() ? layout_.spareFrames + reserve + refillSurplus_
                                               : reserve);
    counters_.reserveFrames.store(reserve, std::memory_order_relaxed);
    if (reserve > counters_.highestReserveFrames.load(std::memory_order_relaxed)) {
        counters_.highestReserveFrames.store(reserve, std::memory_order_relaxed);
    }
}

void DuplexBridge::growReserve(uint32_t missing) {
    blocksSinceGap_ = 0;
    setReserve(std::min(reserve_ + missing + kSpareMarginFrames, reserveLimit_));
}

void DuplexBridge::relaxReserve() {
    if (reserve_ <= reserveFloor_) return;
    ++blocksSinceGap_;
    const uint32_t blocksPerFrame = BlocksPerFrame(kShrinkRateFramesPerBlock, layout_.sampleRate);
    if (blocksSinceGap_ < kSpareHoldBlocks ||
        (blocksSinceGap_ - kSpareHoldBlocks) % blocksPerFrame != 0) {
        return;
    }
    setReserve(reserve_ - 1);
}

void DuplexBridge::keepRefill() {
    const uint32_t refilled = controller_.targetFrames() - layout_.spareFrames;
    const uint32_t reserve = std::min(std::max(refilled, reserve_), reserveLimit_);
    // A full server, a backlog here and a chunk on its way leave less than three blocks beyond
    // the reserve: a bad reading of the server cannot make the controller build up more.
    refillSurplus_ = std::min(refilled - reserve, 3 * layout_.blockFrames);
    blocksGivingBack_ = 0;
    setReserve(reserve);
}

void DuplexBridge::giveBackRefill() {
    if (refillSurplus_ == 0) return;
    const uint32_t blocksPerFrame = BlocksPerFrame(kGiveBackRateFramesPerBlock, layout_.sampleRate);
    if (++blocksGivingBack_ % blocksPerFrame != 0) return;
    --refillSurplus_;
    setReserve(reserve_);
}

uint32_t DuplexBridge::serverRanDry(uint64_t nowNs) {
    // What was missing: the capture gap that has just ended (or is still going on) beyond what
    // the reserve covered; at least a quarter block, for a server that ran dry for reasons of
    // its own. The server fills up again before it plays: whatever that leaves beyond the
    // reserve becomes the reserve too.
    const uint64_t lastNs = lastChunkNs_.load(std::memory_order_acquire);
    uint64_t gapNs = 0;
    if (nowNs <= recentGapEndNs_.load(std::memory_order_relaxed) + kRecentGapNs) {
        gapNs = recentGapNs_.load(std::memory_order_relaxed);
    }
    if (lastNs != 0 && nowNs > lastNs) gapNs = std::max(gapNs, nowNs - lastNs);
    if (lastNs != 0 && nowNs > lastNs + kRecentGapNs) gapNs = nowNs - lastNs;
    const uint64_t gapFrames = gapNs * layout_.sampleRate / 1000000000u;
    const uint32_t missing = gapFrames > reserve_ ? static_cast<uint32_t>(gapFrames - reserve_) : 0;
    counters_.noteBreak(BreakCause::serverRanDry, missing, nowNs);
    refillSurplus_ = 0;  // what it held is gone; the refill sets the level anew
    growReserve(std::max(missing, layout_.blockFrames / 4));
    controller_.settleAfterBreak();
    settling_ = true;
    return reserve_;
}

void DuplexBridge::capture(const float* frames, uint32_t count, uint64_t nowNs) {
    const uint64_t lastNs = lastChunkNs_.load(std::memory_order_relaxed);
    if (lastNs != 0 && nowNs > lastNs) {
        const uint64_t gapUs = (nowNs - lastNs) / 1000;
        const uint64_t blockUs = 1000000ull * layout_.blockFrames / layout_.sampleRate;
        if (gapUs > blockUs) counters_.lateChunks.fetch_add(1, std::memory_order_relaxed);
        if (gapUs > counters_.longestChunkGapUs.load(std::memory_order_relaxed)) {
            counters_.longestChunkGapUs.store(gapUs, std::memory_order_relaxed);
        }
    }
    if (lastNs != 0 && nowNs > lastNs) {
        // A burst after a stall comes as chunks back to back: the gap before the first of them
        // is the one that tells what went missing, while it is recent.
        const uint64_t gapNs = nowNs - lastNs;
        if (gapNs >= recentGapNs_.load(std::memory_order_relaxed) ||
            nowNs > recentGapEndNs_.load(std::memory_order_relaxed) + kRecentGapNs) {
            recentGapNs_.store(gapNs, std::memory_order_relaxed);
            recentGapEndNs_.store(nowNs, std::memory_order_relaxed);
        }
    }
    counters_.captureChunks.fetch_add(1, std::memory_order_relaxed);
    const uint32_t stored = ring_.push(frames, count);
    if (stored < count) {
        counters_.droppedFrames.fetch_add(count - stored, std::memory_order_relaxed);
        counters_.noteBreak(BreakCause::ringFull, count - stored, nowNs);
    }
    // Published after the frames: a reader that sees this time also sees them in the ring.
    lastChunkFrames_.store(count, std::memory_order_relaxed);
    lastChunkNs_.store(nowNs, std::memory_order_release);
}

uint32_t DuplexBridge::steadyWaitingFrames(uint64_t nowNs) const {
    const uint64_t lastNs = lastChunkNs_.load(std::memory_order_acquire);
    const uint32_t waiting = waitingFrames();
    if (lastNs == 0 || nowNs <= lastNs) return waiting;
    const uint64_t since = (nowNs - lastNs) * layout_.sampleRate / 1000000000u;
    return waiting +
           static_cast<uint32_t>(std::min<uint64_t>(since, lastChunkFrames_.load(std::memory_order_relaxed)));
}

void DuplexBridge::render(float* out, uint32_t count, uint64_t nowNs, uint32_t heldFrames) {
    const uint32_t channels = layout_.playbackChannels;
    nowNs_ = nowNs;
    heldFrames_ = heldFrames;
    lastRequest_ = std::max<uint32_t>(count, 1);
    while (count > 0) {
        if (queued_ == 0 && !primed_) {
            // Too little waits yet: silence for this request only, so the first block starts
            // as soon as enough is there, not a whole block later. When the playback side's
            // requests do not divide a block, two blocks can be asked for within one request's
            // time, so that much more is waited for; the ratio takes the surplus back.
            const uint32_t uneven = layout_.blockFrames % count != 0 ? count : 0;
            if (steadyWaitingFrames(nowNs) < layout_.blockFrames + spare() + uneven) {
                std::memset(out, 0, static_cast<size_t>(count) * channels * sizeof(float));
                counters_.primingBlocks.fetch_add(1, std::memory_order_relaxed);
                return;
            }
        }
        if (queued_ == 0) {
            produceBlock();
            queued_ = layout_.blockFrames;
        }
        const uint32_t n = std::min(count, queued_);
        const size_t from = static_cast<size_t>(layout_.blockFrames - queued_) * channels;
        std::memcpy(out, &queue_[from], static_cast<size_t>(n) * channels * sizeof(float));
        out += static_cast<size_t>(n) * channels;
        queued_ -= n;
        count -= n;
        // Handed out ahead of the next block: the server holds them too from now on.
        if (layout_.heldTargetFrames != 0) heldFrames_ += n;
    }
}

uint32_t DuplexBridge::readyFrames() const {
    const uint32_t block = layout_.blockFrames;
    if (!primed_ && waitingFrames() < block + spare()) return queued_;
    // Whatever ratio the controller picks, the next block takes no more than this.
    return ring_.fill() >= resampler_.inputNeeded(block, maxRatio_) ? queued_ + block : queued_;
}

void DuplexBridge::publishRatio(double ratio) {
    const int32_t ppm = ToPpm(ratio);
    counters_.ratioPpm.store(ppm, std::memory_order_relaxed);
    if (ppm < counters_.lowestRatioPpm.load(std::memory_order_relaxed)) {
        counters_.lowestRatioPpm.store(ppm, std::memory_order_relaxed);
    }
    if (ppm > counters_.highestRatioPpm.load(std::memory_order_relaxed)) {
        counters_.highestRatioPpm.store(ppm, std::memory_order_relaxed);
    }
}

uint32_t DuplexBridge::resampleBlock(double ratio) {
    const uint32_t block = layout_.blockFrames;
    const uint32_t wanted = std::min(resampler_.inputNeeded(block, ratio),
                                     static_cast<uint32_t>(staged_.size() / layout_.captureChannels));
    const uint32_t got = ring_.pop(staged_.data(), wanted);
    resampler_.add(staged_.data(), got);
    return resampler_.process(input_.data(), block, ratio);
}

uint32_t DuplexBridge::dropWaiting(uint32_t count) {
    const uint32_t search = std::max<uint32_t>(layout_.sampleRate / kCutSearchPerSecond, 2);
    const uint32_t window = search / 2;
    const uint32_t fade = std::max<uint32_t>(layout_.sampleRate / kCutFadePerSecond, 1);
    // What comes before the cut is what was about to play: the oldest frames waiting.
    if (count < 2 || ring_.fill() < count + std::max(window, fade)) return ring_.discard(count);
    // Matched on the first channel, at about 48 kHz whatever the rate: cheap enough for the
    // audio thread, and finer than any voice needs.
    const uint32_t step = std::max<uint32_t>(layout_.sampleRate / 48000, 1);
    const auto sample = [this](uint32_t i) { return *ring_.waitingFrame(i); };
    const uint32_t cut =
        splice::BestCut(sample, count - std::min(search, count / 2), count, window, step);
    const uint32_t channels = layout_.captureChannels;
    const uint32_t joined = std::min(fade, cut);  // what fades out is not what fades in
    for (uint32_t i = 0; i < joined; ++i) {
        const float later = splice::FadeWeight(i, joined);
        const float* before = ring_.waitingFrame(i);
        float* after = ring_.waitingFrame(cut + i);
        for (uint32_t c = 0; c < channels; ++c) {
            after[c] = before[c] * (1.0f - later) + after[c] * later;
        }
    }
    return ring_.discard(cut);
}

void DuplexBridge::trimSurplus(uint32_t& waiting) {
    if (serverHoldsReserve()) return;
    // Measured as the controller measures it.
    const uint32_t steady = steadyWaitingFrames(nowNs_);
    const uint32_t beyond = steady > layout_.blockFrames ? steady - layout_.blockFrames : 0;
    if (windowBlocks_ == 0 || beyond < windowLeast_) windowLeast_ = beyond;
    if (++windowBlocks_ < kSurplusWindowBlocks) return;
    windowBlocks_ = 0;
    if (!watching_) {
        watching_ = true;
        return;
    }
    // More than the reserve waited all through the window: a playback side that took its time
    // to start, or a stall that ended in a burst, left it. That is only delay, gone at once
    // here rather than worked off by a sharp pitch for seconds.
    // Requests that do not divide a block are waited for once more (see render).
    const uint32_t keep = reserve_ + (layout_.blockFrames % lastRequest_ != 0 ? lastRequest_ : 0);
    if (windowLeast_ > keep + layout_.blockFrames / 4) {
        const uint32_t dropped = dropWaiting(windowLeast_ - keep);
        counters_.droppedFrames.fetch_add(dropped, std::memory_order_relaxed);
        counters_.noteBreak(BreakCause::surplusTrimmed, dropped, nowNs_);
        waiting -= dropped;
        controller_.restartWindow();
    }
}

void DuplexBridge::produceBlock() {
    const uint32_t block = layout_.blockFrames;
    const uint32_t target = block + spare();
    uint32_t waiting = waitingFrames();
    counters_.waitingFrames.store(waiting, std::memory_order_relaxed);
    const uint32_t spare = waiting > block ? waiting - block : 0;
    if (primed_ && spare < counters_.lowestSpareFrames.load(std::memory_order_relaxed)) {
        counters_.lowestSpareFrames.store(spare, std::memory_order_relaxed);
    }

    if (!primed_) {
        if (!started_ && waiting > target + block) {
            // Nothing has been played yet: what waited longer than that is only delay.
            ring_.discard(waiting - target - block);
            waiting = target + block;
        }
        started_ = true;
        primed_ = true;
    } else if (waiting > target + serverShort() + backlogLimit_) {
        // A stalled side left more than the limit waiting: catching up by the ratio alone would
        // take minutes, so the oldest frames go, down to the target and what the next block
        // takes at the largest ratio. What a server holding the reserve lacks of it is no
        // backlog: it takes that much at once.
        const uint32_t keep =
            target + serverShort() + static_cast<uint32_t>(std::ceil(block * (maxRatio_ - 1.0)));
        const uint32_t dropped = dropWaiting(waiting - std::min(waiting, keep));
        counters_.droppedFrames.fetch_add(dropped, std::memory_order_relaxed);
        counters_.noteBreak(BreakCause::backlogDropped, dropped, nowNs_);
        controller_.restartWindow();  // what the window saw before the cut no longer stands
        waiting -= dropped;
    }

    trimSurplus(waiting);

    // The reserve is what waits here beyond this block and what the server still holds.
    const double ratio = controller_.update(static_cast<int64_t>(steadyWaitingFrames(nowNs_)) +
                                            heldFrames_ - block);
    publishRatio(ratio);
    if (settling_ && !controller_.settling()) {
        settling_ = false;
        keepRefill();
    }

    const uint32_t made = resampleBlock(ratio);
    if (made < block) {
        // The capture side ran dry: the rest of the block is silence, and blocks wait until
        // the target is there again instead of running dry block after block.
        const size_t from = static_cast<size_t>(made) * layout_.captureChannels;
        std::fill(input_.begin() + static_cast<std::ptrdiff_t>(from), input_.end(), 0.0f);
        counters_.underruns.fetch_add(1, std::memory_order_relaxed);
        counters_.silencedFrames.fetch_add(block - made, std::memory_order_relaxed);
        counters_.noteBreak(BreakCause::captureRanDry, block - made, nowNs_);
        controller_.restartWindow();
        if (!serverHoldsReserve()) growReserve(block - made);
        primed_ = false;
    } else {
        relaxReserve();
        giveBackRefill();
    }
    counters_.blocks.fetch_add(1, std::memory_order_relaxed);
    run_(user_, queue_.data(), input_.data(), block);
}
