// The ring between the capture and playback threads: what is pushed comes out once, whole and
// in order, across the wrap, across threads; a full ring loses only what does not fit.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/bridge/FrameRing.h"

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

}  // namespace

TEST(FrameRing, CapacityIsAPowerOfTwo) {
    EXPECT_EQ(next_power_of_two(1), 1u);
    EXPECT_EQ(next_power_of_two(3840), 4096u);
    EXPECT_EQ(next_power_of_two(4096), 4096u);
    EXPECT_EQ(FrameRing(2, 8 * kPeriod).capacity(), 4096u);
}

TEST(FrameRing, PopTakesWhatIsThereAndDiscardSkipsTheOldest) {
    FrameRing ring(2, 8 * kPeriod);
    Counter counter{2};
    const std::vector<float> in = counter.frames(100);
    ring.push(in.data(), 100);

    std::vector<float> out(2 * kPeriod, -7.0f);
    EXPECT_EQ(ring.pop(out.data(), 30), 30u);
    for (size_t i = 0; i < 60; ++i) ASSERT_EQ(out[i], in[i]);
    EXPECT_EQ(out[60], -7.0f) << "nothing is written beyond what was taken";

    EXPECT_EQ(ring.discard(20), 20u);
    EXPECT_EQ(ring.pop(out.data(), kPeriod), 50u);
    EXPECT_EQ(out[0], 51.0f);
    EXPECT_EQ(out[99], 100.0f);
    EXPECT_EQ(ring.fill(), 0u);
    EXPECT_EQ(ring.pop(out.data(), kPeriod), 0u);
    EXPECT_EQ(ring.discard(5), 0u);
}

TEST(FrameRing, FramesSurviveWrappingAroundInOrder) {
    FrameRing ring(2, 1000);  // capacity 1024: odd sizes cross the end often
    Counter producer{2};
    float expected = 1.0f;
    std::vector<float> out(2 * 700);
    for (int round = 0; round < 200; ++round) {
        const uint32_t n = 37 + (round * 101) % 460;
        ASSERT_EQ(ring.push(producer.frames(n).data(), n), n);
        const uint32_t want = 1 + (round * 53) % 700;
        const uint32_t got = ring.pop(out.data(), want);
        for (uint32_t f = 0; f < got; ++f, expected += 1.0f) {
            ASSERT_EQ(out[2 * f], expected);
            ASSERT_EQ(out[2 * f + 1], expected);
        }
        while (ring.fill() > 400) {
            const uint32_t more = ring.pop(out.data(), 300);
            for (uint32_t f = 0; f < more; ++f, expected += 1.0f) ASSERT_EQ(out[2 * f], expected);
        }
    }
}

TEST(FrameRing, PushBeyondCapacityLosesOnlyWhatDoesNotFit) {
    FrameRing ring(1, 1024);
    Counter counter{1};
    EXPECT_EQ(ring.push(counter.frames(1000).data(), 1000), 1000u);
    EXPECT_EQ(ring.push(counter.frames(100).data(), 100), 24u);
    EXPECT_EQ(ring.lostOnPush(), 76u);
    EXPECT_EQ(ring.fill(), 1024u);
}

TEST(FrameRing, ProducerAndConsumerThreadsSeeIntactFramesInOrder) {
    FrameRing ring(2, 8 * kPeriod);
    std::atomic<bool> done{false};
    std::thread producer([&] {
        Counter counter{2};
        for (int i = 0; i < 4000; ++i) {
            const std::vector<float> frames = counter.frames(kPeriod);
            uint32_t stored = 0;
            while (stored < kPeriod) {
                stored += ring.push(&frames[2 * stored], kPeriod - stored);
                if (stored < kPeriod) std::this_thread::yield();
            }
        }
        done = true;
    });
    std::vector<float> out(2 * kPeriod);
    float last = 0.0f;
    bool finished = false;
    while (!finished) {
        finished = done.load();
        const uint32_t got = ring.pop(out.data(), kPeriod);
        for (uint32_t f = 0; f < got; ++f) {
            ASSERT_EQ(out[2 * f], out[2 * f + 1]) << "a frame was torn";
            ASSERT_EQ(out[2 * f], last + 1.0f) << "a frame was lost or came out of order";
            last = out[2 * f];
        }
        if (finished && ring.fill() > 0) finished = false;
    }
    producer.join();
    EXPECT_EQ(last, 4000.0f * kPeriod);
}
