// The ring between the capture and playback threads: silence on underrun, dropping the oldest
// frames on overrun, a bounded fill whichever clock runs faster, and intact data across threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/FrameRing.h"

namespace {

constexpr uint32_t kPeriod = 480;

// Frames numbered 0, 1, 2, ... in every channel, so any loss or reordering shows.
struct Counter {
    uint32_t channels;
    float next = 1.0f;
    std::vector<float> frames(uint32_t count) {
        std::vector<float> block(static_cast<size_t>(count) * channels);
        for (uint32_t f = 0; f < count; ++f, next += 1.0f) {
            for (uint32_t c = 0; c < channels; ++c) block[f * channels + c] = next;
        }
        return block;
    }
};

FrameRing PeriodRing(uint32_t channels) { return FrameRing(channels, 8 * kPeriod, 2 * kPeriod, kPeriod); }

}  // namespace

TEST(FrameRing, CapacityIsAPowerOfTwo) {
    EXPECT_EQ(next_power_of_two(1), 1u);
    EXPECT_EQ(next_power_of_two(3840), 4096u);
    EXPECT_EQ(next_power_of_two(4096), 4096u);
    EXPECT_EQ(PeriodRing(2).capacity(), 4096u);
}

TEST(FrameRing, UnderrunPlaysTheMissingFramesAsSilence) {
    FrameRing ring = PeriodRing(2);
    Counter counter{2};
    const std::vector<float> in = counter.frames(100);
    ring.push(in.data(), 100);

    std::vector<float> out(2 * kPeriod, -7.0f);
    const FrameRing::PopResult got = ring.pop(out.data(), kPeriod);
    EXPECT_EQ(got.copied, 100u);
    EXPECT_EQ(got.dropped, 0u);
    for (size_t i = 0; i < 200; ++i) ASSERT_EQ(out[i], in[i]);
    for (size_t i = 200; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;
    EXPECT_EQ(ring.fill(), 0u);

    // An empty ring gives a whole period of silence.
    std::fill(out.begin(), out.end(), -7.0f);
    EXPECT_EQ(ring.pop(out.data(), kPeriod).copied, 0u);
    for (float s : out) ASSERT_EQ(s, 0.0f);
}

TEST(FrameRing, OverrunDropsTheOldestFramesDownToOnePeriod) {
    FrameRing ring = PeriodRing(1);
    Counter counter{1};
    for (int i = 0; i < 3; ++i) ring.push(counter.frames(kPeriod).data(), kPeriod);
    EXPECT_EQ(ring.fill(), 3 * kPeriod);

    std::vector<float> out(kPeriod);
    const FrameRing::PopResult got = ring.pop(out.data(), kPeriod);
    EXPECT_EQ(got.dropped, 2 * kPeriod);
    EXPECT_EQ(got.copied, kPeriod);
    // What plays is the newest period: frames 961 to 1440.
    EXPECT_EQ(out.front(), 2.0f * kPeriod + 1.0f);
    EXPECT_EQ(out.back(), 3.0f * kPeriod);
    EXPECT_EQ(ring.fill(), 0u);

    // Up to two periods waiting is not an overrun.
    for (int i = 0; i < 2; ++i) ring.push(counter.frames(kPeriod).data(), kPeriod);
    EXPECT_EQ(ring.pop(out.data(), kPeriod).dropped, 0u);
    EXPECT_EQ(ring.fill(), kPeriod);
}

TEST(FrameRing, FramesSurviveWrappingAroundInOrder) {
    FrameRing ring(2, 1000, 900, 500);  // capacity 1024: odd sizes cross the end often
    Counter producer{2};
    float expected = 1.0f;
    std::vector<float> out(2 * 700);
    for (int round = 0; round < 200; ++round) {
        const uint32_t n = 37 + (round * 101) % 460;
        ring.push(producer.frames(n).data(), n);
        const uint32_t want = 1 + (round * 53) % 700;
        const FrameRing::PopResult got = ring.pop(out.data(), want);
        ASSERT_EQ(got.dropped, 0u) << "the fill never exceeds the high water here";
        for (uint32_t f = 0; f < got.copied; ++f, expected += 1.0f) {
            ASSERT_EQ(out[2 * f], expected);
            ASSERT_EQ(out[2 * f + 1], expected);
        }
        // Keep the fill low enough that no drop happens.
        while (ring.fill() > 400) {
            const FrameRing::PopResult more = ring.pop(out.data(), 300);
            for (uint32_t f = 0; f < more.copied; ++f, expected += 1.0f) ASSERT_EQ(out[2 * f], expected);
        }
    }
}

TEST(FrameRing, FillStaysBoundedWhicheverClockIsFaster) {
    for (uint32_t pushed : {430u, 490u, 530u}) {
        FrameRing ring = PeriodRing(1);
        Counter counter{1};
        std::vector<float> out(kPeriod);
        uint64_t silent = 0;
        uint64_t dropped = 0;
        uint32_t maxFill = 0;
        for (int period = 0; period < 20000; ++period) {  // 200 s of 10 ms periods
            ring.push(counter.frames(pushed).data(), pushed);
            maxFill = std::max(maxFill, ring.fill());
            const FrameRing::PopResult got = ring.pop(out.data(), kPeriod);
            silent += kPeriod - got.copied;
            dropped += got.dropped;
        }
        EXPECT_LE(maxFill, kPeriod + pushed) << pushed;
        EXPECT_EQ(ring.lostOnPush(), 0u);
        if (pushed < kPeriod) {
            // A slower capture clock: only the frames it never delivered are silent.
            EXPECT_EQ(silent, 20000ull * (kPeriod - pushed));
            EXPECT_EQ(dropped, 0u);
        } else {
            // A faster one: the surplus is dropped instead of piling up as delay.
            EXPECT_EQ(silent, 0u);
            EXPECT_GE(dropped, 20000ull * (pushed - kPeriod) - 3 * kPeriod);
            EXPECT_LE(dropped, 20000ull * (pushed - kPeriod));
        }
    }
}

TEST(FrameRing, PushBeyondCapacityLosesOnlyWhatDoesNotFit) {
    FrameRing ring(1, 1024, 1024, 512);
    Counter counter{1};
    EXPECT_EQ(ring.push(counter.frames(1000).data(), 1000), 1000u);
    EXPECT_EQ(ring.push(counter.frames(100).data(), 100), 24u);
    EXPECT_EQ(ring.lostOnPush(), 76u);
    EXPECT_EQ(ring.fill(), 1024u);
}

TEST(FrameRing, ProducerAndConsumerThreadsSeeIntactFramesInOrder) {
    FrameRing ring = PeriodRing(2);
    std::atomic<bool> done{false};
    std::thread producer([&] {
        Counter counter{2};
        for (int i = 0; i < 4000; ++i) {
            ring.push(counter.frames(kPeriod).data(), kPeriod);
            if (i % 64 == 0) std::this_thread::yield();
        }
        done = true;
    });
    std::vector<float> out(2 * kPeriod);
    float last = 0.0f;
    bool finished = false;
    while (!finished) {
        finished = done.load();
        const FrameRing::PopResult got = ring.pop(out.data(), kPeriod);
        for (uint32_t f = 0; f < got.copied; ++f) {
            ASSERT_EQ(out[2 * f], out[2 * f + 1]) << "a frame was torn";
            ASSERT_GT(out[2 * f], last) << "frames came out of order";
            last = out[2 * f];
        }
        if (finished && ring.fill() > 0) finished = false;
    }
    producer.join();
    // Only a full ring loses the newest frames; a consumer this eager keeps it from filling.
    if (ring.lostOnPush() == 0) {
        EXPECT_EQ(last, 4000.0f * kPeriod);
    }
}

TEST(FrameRing, TrimsASteadySurplusDownToTheSlackOnce) {
    FrameRing ring = PeriodRing(1);
    ring.setTrimming(10, 240);
    Counter counter{1};
    std::vector<float> out(kPeriod);
    // Started with 400 frames waiting: delay nobody needs beyond the slack.
    ring.push(counter.frames(400).data(), 400);
    uint32_t trimmed = 0;
    for (int period = 0; period < 30; ++period) {
        ring.push(counter.frames(kPeriod).data(), kPeriod);
        const FrameRing::PopResult got = ring.pop(out.data(), kPeriod);
        EXPECT_EQ(got.copied, kPeriod);
        EXPECT_EQ(got.dropped, 0u);
        trimmed += got.trimmed;
        if (period == 9) {
            EXPECT_EQ(got.trimmed, 160u) << "the surplus beyond the slack, once";
        }
    }
    EXPECT_EQ(trimmed, 160u);
    EXPECT_EQ(ring.fill(), 240u);
    // The frames still come in order across the trim.
    EXPECT_EQ(out.back(), 400.0f + 30 * kPeriod - 240);
}

TEST(FrameRing, ASurplusThatCoversALatePeriodIsKept) {
    FrameRing ring = PeriodRing(1);
    ring.setTrimming(10, 0);
    Counter counter{1};
    std::vector<float> out(kPeriod);
    ring.push(counter.frames(kPeriod).data(), kPeriod);
    uint32_t trimmed = 0;
    for (int period = 0; period < 40; ++period) {
        // Every tenth capture period arrives late: the period of surplus is what covers it.
        const uint32_t n = period % 10 == 5 ? 0 : (period % 10 == 6 ? 2 * kPeriod : kPeriod);
        ring.push(counter.frames(n).data(), n);
        const FrameRing::PopResult got = ring.pop(out.data(), kPeriod);
        EXPECT_EQ(got.copied, kPeriod) << period;
        EXPECT_EQ(got.dropped, 0u) << period;
        trimmed += got.trimmed;
    }
    EXPECT_EQ(trimmed, 0u);
}
