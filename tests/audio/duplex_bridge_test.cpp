// The meeting point of the capture and playback threads, driven by simulated clocks: a capture
// clock that runs fast or slow, chunks that arrive with jitter, a capture side that stalls and
// a playback side that stalls. What comes out must be the tone that went in, with no sample
// dropped or repeated, at a steady delay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

#include "audio/bridge/DriftResampler.h"
#include "audio/bridge/DuplexBridge.h"
#include "audio/bridge/RateController.h"
#include "support/Signals.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kBlock = 480;
constexpr uint32_t kChunk = 120;
constexpr uint32_t kSpare = kChunk + DriftResampler::kTaps / 2 + kChunk / 2;
constexpr double kToneHz = 440.0;

// The processing callback of the simulation: the block passes unchanged.
void PassBlock(void*, float* output, float* input, uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) output[i] = input[i];
}

struct Stall {
    double at = -1.0;      // seconds; negative: none
    double seconds = 0.0;  // how long the side delivers or asks for nothing
    double every = 0.0;    // seconds between repeats; 0: once
    double until = 0.0;    // no repeat starts after this
};

struct Simulation {
    double capturePpm = 0.0;     // the capture clock's error against the playback clock
    double jitterSeconds = 0.0;  // each chunk arrives up to this much late
    Stall captureStall;
    Stall playbackStall;
    uint32_t playbackChunk = kChunk;
    uint32_t spareGrowth = kBlock / 2;
    uint32_t heldGrowth = 0;  // how far the server's reserve may grow after it ran dry
    // Non-zero: the playback side is a sound server with a buffer of its own, which the client
    // fills with what is ready whenever a chunk arrives or the server asks, keeping this much
    // there as its reserve.
    uint32_t serverReserve = 0;
};

// A sound server's playback buffer as the simulation's client sees it: it takes up to its size,
// starts playing (again) once it holds the reserve and a block, and runs dry when a device
// period finds less than a chunk.
struct ServerBuffer {
    uint32_t size = 0;
    uint32_t start = 0;
    std::deque<float> frames;
    bool playing = false;
    uint32_t underflows = 0;

    uint32_t held() const { return static_cast<uint32_t>(frames.size()); }
    uint32_t room() const { return size - std::min(size, held()); }
    void play(std::vector<float>& out, uint32_t count) {
        if (!playing && held() >= start) playing = true;
        for (uint32_t i = 0; i < count; ++i) {
            if (playing && frames.empty()) {
                ++underflows;
                playing = false;
            }
            out.push_back(playing ? frames.front() : 0.0f);
            if (playing) frames.pop_front();
        }
    }
};

struct Outcome {
    std::vector<float> played;
    std::vector<uint32_t> waiting;  // frames waiting before each block
    std::vector<uint32_t> held;     // frames the server held before each block
    uint32_t serverUnderflows = 0;
    std::vector<double> ratioPpm;   // the ratio each block was made at
};

// The start of the stall that `time` falls in; negative when it falls in none.
double StallStart(const Stall& stall, double time) {
    if (stall.at < 0.0 || time < stall.at) return -1.0;
    double start = stall.at;
    if (stall.every > 0.0) {
        start += std::floor((time - stall.at) / stall.every) * stall.every;
        if (start > stall.until) start = -1.0;
    }
    return start >= 0.0 && time < start + stall.seconds ? start : -1.0;
}

bool Within(const Stall& stall, double time) { return StallStart(stall, time) >= 0.0; }

// Runs `seconds` of both clocks; the capture side records a steady tone into the bridge.
Outcome Simulate(const Simulation& sim, double seconds, DuplexCounters& counters) {
    DuplexBridge::Layout layout;
    layout.sampleRate = kRate;
    layout.blockFrames = kBlock;
    // A server holding the reserve leaves only the resampler's look-ahead waiting here.
    layout.spareFrames = sim.serverReserve != 0 ? DriftResampler::kTaps / 2 : kSpare;
    layout.spareGrowthFrames = sim.spareGrowth;
    layout.heldTargetFrames = sim.serverReserve;
    layout.heldGrowthFrames = sim.heldGrowth;
    RateController::Tuning tuning;
    tuning.followMean = sim.serverReserve != 0;
    DuplexBridge bridge(layout, counters, PassBlock, nullptr, tuning);
    ServerBuffer server;
    server.size = sim.serverReserve + kBlock + 2 * kChunk;
    server.start = sim.serverReserve + kBlock;

    Outcome outcome;
    const double captureStep = kChunk / (kRate * (1.0 + sim.capturePpm * 1e-6));
    const double playbackStep = static_cast<double>(sim.playbackChunk) / kRate;
    uint64_t captured = 0;
    uint32_t jitterState = 12345;
    double recorded = captureStep;  // when the next chunk has been recorded
    double lastArrival = 0.0;
    double request = 0.002;         // when the playback side asks next
    std::vector<float> chunk(kChunk);
    std::vector<float> out(sim.playbackChunk);
    uint64_t blocksSeen = 0;
    auto noteBlock = [&] {
        if (counters.blocks.load() == blocksSeen) return;
        blocksSeen = counters.blocks.load();
        outcome.waiting.push_back(counters.waitingFrames.load());
        outcome.ratioPpm.push_back(counters.ratioPpm.load());
    };
    // The client writes what is ready, as far as the server takes it.
    auto fillServer = [&](double now) {
        const uint32_t count = std::min(server.room(), bridge.readyFrames());
        if (count == 0) return;
        const uint32_t held = server.held();
        std::vector<float> written(count);
        bridge.render(written.data(), count, static_cast<uint64_t>(now * 1e9), held);
        server.frames.insert(server.frames.end(), written.begin(), written.end());
        if (counters.blocks.load() != blocksSeen) outcome.held.push_back(held);
        noteBlock();
    };
    double arrival = -1.0;
    double fillDue = -1.0;  // when chunks arrived that the client has not written on yet
    while (request < seconds) {
        if (arrival < 0.0) {
            // The chunk arrives a little after it was recorded, in order, and a stalled capture
            // side delivers what it recorded meanwhile when the stall ends.
            jitterState = jitterState * 1664525u + 1013904223u;
            arrival = recorded + sim.jitterSeconds * (jitterState >> 8) / 16777216.0;
            const double stalled = StallStart(sim.captureStall, arrival);
            if (stalled >= 0.0) arrival = stalled + sim.captureStall.seconds;
            arrival = std::max(arrival, lastArrival);
        }
        // The client reads all that has arrived before it writes, as a burst after a stall
        // comes: the burst waits here whole when the first block is made of it.
        if (fillDue >= 0.0 && arrival > fillDue) {
            fillServer(fillDue);
            fillDue = -1.0;
        }
        if (arrival <= request) {
            for (uint32_t i = 0; i < kChunk; ++i, ++captured) {
                chunk[i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * kToneHz * captured / kRate));
            }
            bridge.capture(chunk.data(), kChunk, static_cast<uint64_t>(arrival * 1e9));
            if (sim.serverReserve != 0) fillDue = arrival;
            lastArrival = arrival;
            arrival = -1.0;
            recorded += captureStep;
            continue;
        }
        if (sim.serverReserve != 0) {
            const uint32_t underflows = server.underflows;
            server.play(outcome.played, sim.playbackChunk);
            if (server.underflows != underflows) {
                // The client is told, and the server waits for the larger reserve to restart.
                const uint32_t reserve = bridge.serverRanDry(static_cast<uint64_t>(request * 1e9));
                server.start = reserve + kBlock;
                server.size = reserve + kBlock + 2 * kChunk;
            }
            fillServer(request);
        } else if (!Within(sim.playbackStall, request)) {
            bridge.render(out.data(), sim.playbackChunk, static_cast<uint64_t>(request * 1e9));
            outcome.played.insert(outcome.played.end(), out.begin(), out.end());
            noteBlock();
        }
        request += playbackStep;
    }
    outcome.serverUnderflows = server.underflows;
    return outcome;
}

// The breaks of a played tone after it started.
std::vector<size_t> Breaks(const std::vector<float>& played) {
    return ToneBreaks(AudiblePart(played, 0.01f, 64), kToneHz, kRate);
}

template <typename T>
double MeanOfLast(const std::vector<T>& values, size_t count) {
    double sum = 0.0;
    for (size_t i = values.size() - count; i < values.size(); ++i) sum += values[i];
    return sum / static_cast<double>(count);
}

}  // namespace

TEST(DuplexBridge, FollowsAFastOrSlowCaptureClockWithoutLosingASample) {
    for (const double ppm : {100.0, -100.0, 0.0}) {
        SCOPED_TRACE(ppm);
        DuplexCounters counters;
        Simulation sim;
        sim.capturePpm = ppm;
        sim.jitterSeconds = 0.001;  // every chunk up to 1 ms late
        const Outcome outcome = Simulate(sim, 120.0, counters);

        EXPECT_EQ(counters.underruns.load(), 0u);
        EXPECT_EQ(counters.droppedFrames.load(), 0u);
        EXPECT_TRUE(Breaks(outcome.played).empty()) << Breaks(outcome.played).size() << " breaks";
        // The ratio has learnt the clocks' difference: over the last 10 s, on average.
        EXPECT_NEAR(MeanOfLast(outcome.ratioPpm, 1000), ppm, 5.0);
        // The delay stays where it started: the frames waiting over the last 10 s.
        const double lateMean = MeanOfLast(outcome.waiting, 1000);
        EXPECT_NEAR(lateMean, kBlock + kSpare, kChunk);
        EXPECT_GE(counters.lowestSpareFrames.load(), DriftResampler::kTaps / 2);
    }
}

TEST(DuplexBridge, AChunkSizeThatDoesNotDivideTheBlockChangesNothing) {
    DuplexCounters counters;
    Simulation sim;
    sim.capturePpm = 40.0;
    sim.playbackChunk = 256;  // a server quantum of 5.3 ms
    const Outcome outcome = Simulate(sim, 30.0, counters);
    EXPECT_EQ(counters.underruns.load(), 0u);
    EXPECT_EQ(counters.droppedFrames.load(), 0u);
    EXPECT_TRUE(Breaks(outcome.played).empty());
}

TEST(DuplexBridge, ACaptureStallIsSilenceOnceThenTheDelayComesBack) {
    DuplexCounters counters;
    Simulation sim;
    sim.captureStall = {10.0, 0.030};  // 30 ms without chunks, then they come in a burst
    const Outcome outcome = Simulate(sim, 60.0, counters);
    EXPECT_GE(counters.underruns.load(), 1u);
    EXPECT_LE(counters.underruns.load(), 2u);
    EXPECT_LE(counters.droppedFrames.load(), static_cast<uint64_t>(0.030 * kRate))
        << "only what the late burst left beyond the reserve is cut";
    // Each break is logged with its cause and what was missing: the silence, then the cut of
    // the surplus, within the next half second rather than worked off by pitch for seconds.
    const uint64_t breaks = counters.breaks.load();
    ASSERT_EQ(breaks, counters.underruns.load() + 1);
    EXPECT_EQ(counters.breakLog[0].cause.load(), static_cast<uint32_t>(BreakCause::captureRanDry));
    EXPECT_GT(counters.breakLog[0].frames.load(), 0u);
    const BreakRecord& cut = counters.breakLog[breaks - 1];
    EXPECT_EQ(cut.cause.load(), static_cast<uint32_t>(BreakCause::surplusTrimmed));
    EXPECT_LT(cut.atNs.load() - counters.breakLog[0].atNs.load(), 600000000u);
    EXPECT_NEAR(MeanOfLast(outcome.waiting, 500), kBlock + kSpare, kChunk)
        << "the extra delay of the burst, and the spare it earned, are taken back";
}

TEST(DuplexBridge, AServerThatHoldsTheReserveRidesOutLateChunksAndShortStalls) {
    constexpr uint32_t kReserve = 336;  // 7 ms
    for (const double ppm : {100.0, -100.0}) {
        SCOPED_TRACE(ppm);
        DuplexCounters counters;
        Simulation sim;
        sim.serverReserve = kReserve;
        sim.spareGrowth = 0;
        sim.capturePpm = ppm;
        sim.jitterSeconds = 0.005;                         // chunks up to 5 ms late
        sim.captureStall = {5.0, 0.006, 2.0, 100.0};       // and 6 ms without any every 2 s
        const Outcome outcome = Simulate(sim, 120.0, counters);
        EXPECT_EQ(outcome.serverUnderflows, 0u);
        EXPECT_EQ(counters.underruns.load(), 0u);
        EXPECT_EQ(counters.primingBlocks.load(), 0u) << "no silence handed out";
        EXPECT_EQ(counters.droppedFrames.load(), 0u);
        EXPECT_TRUE(Breaks(outcome.played).empty()) << Breaks(outcome.played).size() << " breaks";
        // The ratio has learnt the clocks' difference, the stalls' dips averaged out over 20 s.
        EXPECT_NEAR(MeanOfLast(outcome.ratioPpm, 2000), ppm, 15.0);
        // The reserve sits in the server, not here.
        EXPECT_NEAR(MeanOfLast(outcome.held, 2000), kReserve, kChunk);
        EXPECT_LT(MeanOfLast(outcome.waiting, 2000), kBlock + kChunk + DriftResampler::kTaps);
    }
}

TEST(DuplexBridge, AStallLongerThanTheServersReserveBreaksOnceThenTheDelayComesBack) {
    DuplexCounters counters;
    Simulation sim;
    sim.serverReserve = 336;
    sim.spareGrowth = 0;
    sim.captureStall = {10.0, 0.045};  // 45 ms without chunks, then all of them at once
    const Outcome outcome = Simulate(sim, 60.0, counters);
    EXPECT_EQ(outcome.serverUnderflows, 1u);
    EXPECT_EQ(counters.underruns.load(), 0u) << "what the burst left after the drop makes a block";
    EXPECT_GT(counters.droppedFrames.load(), 0u) << "the burst beyond the server's buffer";
    // The gap, the restart and the drop are one event: nothing breaks later.
    EXPECT_EQ(GroupEvents(Breaks(outcome.played), kRate / 10).size(), 1u);
    // The reserve cannot grow, so the refill's level beyond it is given back, under a cent
    // sharp rather than at the ratio's limit, and the delay is back within 40 s.
    const std::vector<double> after(outcome.ratioPpm.begin() + 1000, outcome.ratioPpm.end());
    EXPECT_LT(*std::max_element(after.begin(), after.end()), 1500.0);
    EXPECT_GT(MeanOfLast(std::vector<double>(after.begin(), after.begin() + 1500), 1500), 300.0);
    EXPECT_NEAR(MeanOfLast(outcome.held, 1000), sim.serverReserve, kChunk);
}

TEST(DuplexBridge, ABurstTheServersReserveCoveredRefillsTheServerAndNothingIsCut) {
    // 18 ms without chunks against a server holding 20 ms: the burst that ends the stall is
    // what the server lacks, not a backlog to cut, and no jump in pitch builds it up again.
    DuplexCounters counters;
    Simulation sim;
    sim.serverReserve = 2 * kBlock;
    sim.spareGrowth = 0;
    sim.captureStall = {10.0, 0.018};
    const Outcome outcome = Simulate(sim, 20.0, counters);
    EXPECT_EQ(outcome.serverUnderflows, 0u);
    EXPECT_EQ(counters.droppedFrames.load(), 0u);
    EXPECT_TRUE(Breaks(outcome.played).empty());
    const auto [lowest, highest] =
        std::minmax_element(outcome.ratioPpm.begin() + 1000, outcome.ratioPpm.end());
    EXPECT_GT(*lowest, -300.0);
    EXPECT_LT(*highest, 300.0);
}

TEST(DuplexBridge, AServerThatNeedsMoreThanItsReserveGetsItAfterABreakAndKeepsThePitch) {
    // A 15 ms stall every 2 s against a server holding 5 ms: it runs dry until the reserve has
    // grown, then never again, and the level the refill left is kept, not worked off.
    DuplexCounters counters;
    Simulation sim;
    sim.serverReserve = kBlock / 2;
    sim.heldGrowth = 3 * kBlock / 2;
    sim.spareGrowth = 0;
    sim.capturePpm = 50.0;
    sim.captureStall = {5.0, 0.015, 2.0, 100.0};
    const Outcome outcome = Simulate(sim, 40.0, counters);
    EXPECT_EQ(outcome.serverUnderflows, 1u);
    EXPECT_EQ(counters.underruns.load(), 0u);
    // Logged with what the stall left missing: 15 ms less the 5 ms reserve, give or take a chunk.
    ASSERT_EQ(counters.breaks.load(), 1u);
    EXPECT_EQ(counters.breakLog[0].cause.load(), static_cast<uint32_t>(BreakCause::serverRanDry));
    EXPECT_NEAR(counters.breakLog[0].frames.load(), kRate / 100, kChunk);
    EXPECT_GT(counters.reserveFrames.load(), kBlock / 2);
    EXPECT_LE(counters.highestReserveFrames.load(), 2 * kBlock);
    const std::vector<size_t> events = GroupEvents(Breaks(outcome.played), kRate / 10);
    ASSERT_EQ(events.size(), 1u) << "the first stall is heard, no later one";
    EXPECT_LT(events[0], 6 * kRate);
    // Over the last 30 s the pitch is the clocks' difference, plus the 167 ppm at which the
    // reserve is given back after 10 s without a break: no jump to work the refill off.
    EXPECT_LT(counters.reserveFrames.load(), counters.highestReserveFrames.load());
    EXPECT_NEAR(MeanOfLast(outcome.ratioPpm, 3000), 50.0 + 167.0, 40.0);
}

TEST(DuplexBridge, RepeatedCaptureStallsAreHeardOnceThenTheSpareShrinksBack) {
    for (const uint32_t growth : {kBlock / 2, 0u}) {
        SCOPED_TRACE(growth);
        DuplexCounters counters;
        Simulation sim;
        sim.spareGrowth = growth;
        sim.captureStall = {5.0, 0.005, 2.0, 45.0};  // 5 ms without chunks every 2 s until 45 s
        const Outcome outcome = Simulate(sim, 95.0, counters);
        EXPECT_LE(counters.highestReserveFrames.load(), kSpare + growth);
        if (growth == 0) {
            // Without room to grow, every stall is heard, and the late burst after it is cut
            // back to the reserve.
            EXPECT_GE(counters.underruns.load(), 15u);
            continue;
        }
        EXPECT_EQ(counters.droppedFrames.load(), 0u) << "a reserve that covers the stall keeps all";
        EXPECT_GE(counters.underruns.load(), 1u);
        EXPECT_LE(counters.underruns.load(), 2u);
        // 50 s after the last stall the spare and the delay are back where they started.
        EXPECT_EQ(counters.reserveFrames.load(), kSpare);
        EXPECT_NEAR(MeanOfLast(outcome.waiting, 500), kBlock + kSpare, kChunk);
    }
}

TEST(DuplexBridge, APlaybackSideSlowToStartLeavesNoDelayToWorkOffByPitch) {
    // 40 ms without a request right after the first blocks: by 0.6 s the surplus is gone, cut
    // where the tone goes on in phase, and what the cut left (less than a period) is worked
    // off within a few seconds at a ratio no one hears.
    DuplexCounters counters;
    Simulation sim;
    sim.playbackStall = {0.05, 0.040};
    const Outcome outcome = Simulate(sim, 5.0, counters);
    EXPECT_GT(counters.droppedFrames.load(), 0u);
    EXPECT_EQ(counters.underruns.load(), 0u);
    EXPECT_EQ(Breaks(outcome.played).size(), 0u) << "the surplus goes without a click";
    const std::vector<uint32_t> after(outcome.waiting.begin() + 60, outcome.waiting.begin() + 100);
    EXPECT_NEAR(MeanOfLast(after, after.size()), kBlock + kSpare, kChunk);
    const std::vector<double> later(outcome.ratioPpm.begin() + 100, outcome.ratioPpm.end());
    EXPECT_LT(*std::max_element(later.begin(), later.end()), 2000.0);
    const std::vector<double> settled(outcome.ratioPpm.begin() + 300, outcome.ratioPpm.end());
    EXPECT_LT(std::fabs(MeanOfLast(settled, settled.size())), 300.0);
}

TEST(DuplexBridge, AStalledPlaybackSideDropsItsBacklogOnceAndCountsIt) {
    DuplexCounters counters;
    Simulation sim;
    sim.playbackStall = {5.0, 0.200};  // the playback side asks for nothing for 200 ms
    const Outcome outcome = Simulate(sim, 20.0, counters);
    EXPECT_GT(counters.droppedFrames.load(), 0u);
    EXPECT_LE(counters.droppedFrames.load(), static_cast<uint64_t>(0.2 * kRate));
    EXPECT_EQ(counters.underruns.load(), 0u);
    EXPECT_EQ(Breaks(outcome.played).size(), 0u) << "the cut lands where the tone goes on in phase";
    EXPECT_NEAR(MeanOfLast(outcome.waiting, 500), kBlock + kSpare, kChunk);
}

TEST(RateController, LearnsAConstantClockDifferenceAndHoldsTheTarget) {
    // The frames left over after each block, as two clocks 300 ppm apart change them.
    const RateController::Tuning tuning;
    for (const double drift : {300e-6, -300e-6}) {
        RateController controller(kRate, kBlock, 200, tuning);
        double spare = 200.0;
        double lowest = spare;
        for (int block = 0; block < 6000; ++block) {
            const double ratio = controller.update(static_cast<int64_t>(std::lround(spare)));
            spare += kBlock * (1.0 + drift) - kBlock * ratio;
            if (block > 3000) lowest = std::min(lowest, spare);
        }
        // Within the ratio one frame of error asks for (21 ppm).
        EXPECT_NEAR((controller.ratio() - 1.0) * 1e6, drift * 1e6, 25.0);
        EXPECT_NEAR(spare, 200.0, 3.0);
        EXPECT_GT(lowest, 190.0);
    }
}

TEST(RateController, FollowsTheWindowsLeastOrItsMean) {
    // A window of 49 readings 20 frames above the target and one 20 below.
    for (const bool mean : {false, true}) {
        RateController::Tuning tuning;
        tuning.followMean = mean;
        RateController controller(kRate, kBlock, 200, tuning);
        double ratio = 1.0;
        for (int block = 0; block < 50; ++block) ratio = controller.update(block == 7 ? 180 : 220);
        // An error of e seconds asks for e / 1 s, plus a quarter of e over the 0.5 s window.
        const double error = (mean ? 19.0 : -20.0) / kRate;
        EXPECT_NEAR((ratio - 1.0) * 1e6, error * 1.125 * 1e6, 0.5) << (mean ? "mean" : "least");
    }
}

TEST(RateController, ALevelBeingWorkedOffIsNotLearntAsAClockDifference) {
    // 10 ms too much at the start, and no clock difference: once the surplus is gone the ratio
    // is back at 1 rather than held off by what the integral learnt meanwhile.
    RateController controller(kRate, kBlock, 200);
    double spare = 200.0 + kRate / 100;
    for (int block = 0; block < 1000; ++block) {
        const double ratio = controller.update(static_cast<int64_t>(std::lround(spare)));
        spare -= kBlock * (ratio - 1.0);
    }
    EXPECT_NEAR((controller.ratio() - 1.0) * 1e6, 0.0, 30.0);
    EXPECT_NEAR(spare, 200.0, 5.0);
}

TEST(RateController, AfterABreakKeepsTheRefilledLevelByItsMedianNotItsOutliers) {
    // The window the break falls in is passed over; in the next, one reading of the start of
    // another stall and one of a report far too high do not move the level kept.
    RateController::Tuning tuning;
    tuning.followMean = true;
    RateController controller(kRate, kBlock, 200, tuning);
    controller.settleAfterBreak();
    for (int block = 0; block < 50; ++block) controller.update(block < 10 ? 0 : 900);
    EXPECT_TRUE(controller.settling());
    double ratio = 1.0;
    for (int block = 0; block < 50; ++block) {
        ratio = controller.update(block == 20 ? 3000 : block == 49 ? 100 : 700);
    }
    EXPECT_FALSE(controller.settling());
    EXPECT_EQ(controller.targetFrames(), 700u);
    // The window's mean, 34 frames above it by the two outliers, asks for the proportional
    // step alone: too large an error to be learnt as the clocks' difference.
    EXPECT_NEAR((ratio - 1.0) * 1e6, 34.0 / kRate * 1e6, 0.5);
}

TEST(RateController, NeverMovesTheRatioMoreThanItsLimit) {
    RateController controller(kRate, kBlock, 200);
    for (int block = 0; block < 500; ++block) {
        EXPECT_LE(std::fabs(controller.update(20000) - 1.0), 0.005 + 1e-12);
    }
    for (int block = 0; block < 2000; ++block) {
        EXPECT_LE(std::fabs(controller.update(-20000) - 1.0), 0.005 + 1e-12);
    }
    EXPECT_LT(controller.ratio(), 1.0);
}

TEST(DriftResampler, KeepsATonesLevelAndScalesItsFrequencyByTheRatio) {
    for (const double ratio : {1.0, 1.003, 0.997}) {
        SCOPED_TRACE(ratio);
        DriftResampler resampler(1, 4096);
        const std::vector<float> tone = Tone(1000.0, 0.5f, 2.0, kRate);
        std::vector<float> out;
        std::vector<float> block(kBlock);
        size_t fed = 0;
        while (out.size() < kRate) {
            const uint32_t need = resampler.inputNeeded(kBlock, ratio);
            fed += resampler.add(&tone[fed], need);
            ASSERT_EQ(resampler.process(block.data(), kBlock, ratio), kBlock);
            out.insert(out.end(), block.begin(), block.end());
        }
        EXPECT_NEAR(DominantFrequency(out, 4096, kRate), 1000.0 * ratio, 0.05);
        EXPECT_NEAR(RmsDb(std::vector<float>(out.begin() + 4096, out.end())),
                    20.0 * std::log10(0.5 / std::sqrt(2.0)), 0.01);
        // Nothing stays behind beyond the filter's look-ahead.
        EXPECT_LE(resampler.pending(), DriftResampler::kTaps / 2 + 1);
    }
}
