#pragma once
// What the duplex device's threads saw, for tests, benchmarks and the curious: written by the
// device threads with relaxed stores, read by anyone.
#include <atomic>
#include <cstdint>

// Why the audio broke: each break the device's threads could see, with its cause.
enum class BreakCause : uint32_t {
    captureRanDry,   // too little was captured for a block: the rest played as silence
    serverRanDry,    // the playback server ran out of what it held (its reserve)
    backlogDropped,  // a stalled side left too much waiting: the oldest captured audio went
    ringFull,        // captured audio found no room in the ring
    surplusTrimmed,  // what a slow start or a stall left beyond the reserve went, at a cut
};

struct BreakRecord {
    std::atomic<uint64_t> atNs{0};  // when, on the monotonic clock the device threads use
    std::atomic<uint32_t> cause{0};
    std::atomic<uint32_t> frames{0};  // missing, or thrown away
};

struct DuplexCounters {
    // The latest breaks, oldest overwritten first: breaks counts them all, and break i (from 0)
    // is in breakLog[i % kBreakLog]. Any device thread may add one.
    static constexpr uint32_t kBreakLog = 64;
    std::atomic<uint64_t> breaks{0};
    BreakRecord breakLog[kBreakLog];
    void noteBreak(BreakCause cause, uint32_t frames, uint64_t nowNs) {
        BreakRecord& record = breakLog[breaks.fetch_add(1, std::memory_order_relaxed) % kBreakLog];
        record.atNs.store(nowNs, std::memory_order_relaxed);
        record.cause.store(static_cast<uint32_t>(cause), std::memory_order_relaxed);
        record.frames.store(frames, std::memory_order_relaxed);
    }

    std::atomic<uint64_t> captureChunks{0};
    std::atomic<uint64_t> lateChunks{0};         // arriving more than a block after the last
    std::atomic<uint64_t> longestChunkGapUs{0};
    std::atomic<uint64_t> blocks{0};             // blocks made of captured audio
    std::atomic<uint64_t> primingBlocks{0};      // silent blocks while the capture side starts
    std::atomic<uint64_t> underruns{0};          // blocks that ran out of captured frames
    std::atomic<uint64_t> silencedFrames{0};     // frames of those blocks played as silence
    std::atomic<uint64_t> droppedFrames{0};      // captured frames thrown away
    // What the sound server itself reported, where it reports it: playback that ran dry there,
    // capture it had to throw away because it was not read in time.
    std::atomic<uint64_t> serverUnderflows{0};
    std::atomic<uint64_t> serverOverflows{0};
    std::atomic<int32_t> ratioPpm{0};            // resampling ratio - 1, in millionths
    std::atomic<int32_t> lowestRatioPpm{0};
    std::atomic<int32_t> highestRatioPpm{0};
    std::atomic<uint32_t> waitingFrames{0};      // captured frames waiting before the last block
    std::atomic<uint32_t> lowestSpareFrames{UINT32_MAX};  // the fewest beyond a block, ever
    // What is kept against stalls now (waiting beyond a block, or held in the server when it
    // holds the reserve), and the most it was.
    std::atomic<uint32_t> reserveFrames{0};
    std::atomic<uint32_t> highestReserveFrames{0};

    void reset() {
        for (std::atomic<uint64_t>* counter :
             {&captureChunks, &lateChunks, &longestChunkGapUs, &blocks, &primingBlocks,
              &underruns, &silencedFrames, &droppedFrames, &serverUnderflows, &serverOverflows}) {
            counter->store(0, std::memory_order_relaxed);
        }
        for (std::atomic<int32_t>* ppm : {&ratioPpm, &lowestRatioPpm, &highestRatioPpm}) {
            ppm->store(0, std::memory_order_relaxed);
        }
        for (std::atomic<uint32_t>* frames :
             {&waitingFrames, &reserveFrames, &highestReserveFrames}) {
            frames->store(0, std::memory_order_relaxed);
        }
        lowestSpareFrames.store(UINT32_MAX, std::memory_order_relaxed);
        breaks.store(0, std::memory_order_relaxed);
    }
};
