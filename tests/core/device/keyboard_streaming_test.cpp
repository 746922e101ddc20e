// Light frames leave the thread that renders them at once: the sender keeps the newest
// frame only, pauses after a failed transfer, and with a keyboard that takes a millisecond
// per report the hand-over still costs the interface thread next to nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/frame_sender.h"
#include "keyboard_test_util.h"

namespace tellune::device {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::eventually;

// A send function that records what it got and can be held at the door.
struct Recorder {
    int send(std::span<const uint8_t> frame) {
        std::unique_lock lock(mutex);
        entered = true;
        cv.notify_all();
        cv.wait(lock, [this] { return !held; });
        frames.push_back(frame.empty() ? -1 : frame[0]);
        times.push_back(Clock::now());
        return fail_next ? (fail_next = false, -1) : 1;
    }
    void release() {
        std::lock_guard lock(mutex);
        held = false;
        cv.notify_all();
    }
    void wait_entered() {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return entered; });
    }
    std::vector<int> sent() {
        std::lock_guard lock(mutex);
        return frames;
    }
    std::mutex mutex;
    std::condition_variable cv;
    bool held = false;
    bool entered = false;
    bool fail_next = false;
    std::vector<int> frames;
    std::vector<Clock::time_point> times;
};

TEST(FrameSender, NewestFrameWinsWhileATransferRuns) {
    Recorder rec;
    rec.held = true;
    FrameSender sender([&rec](std::span<const uint8_t> f) { return rec.send(f); });
    sender.start();
    sender.submit({1});
    rec.wait_entered();  // frame 1 is on its way and held there
    for (uint8_t n = 2; n <= 5; ++n) sender.submit({n});
    rec.release();
    ASSERT_TRUE(eventually([&] { return sender.idle(); }));
    EXPECT_EQ(rec.sent(), (std::vector<int>{1, 5}));
    const FrameSender::Counts c = sender.counts();
    EXPECT_EQ(c.submitted, 5u);
    EXPECT_EQ(c.sent, 2u);
    EXPECT_EQ(c.dropped, 3u);
    EXPECT_EQ(c.failed, 0u);
}

TEST(FrameSender, AFailedTransferPausesSending) {
    Recorder rec;
    rec.fail_next = true;
    FrameSender sender([&rec](std::span<const uint8_t> f) { return rec.send(f); });
    sender.start();
    sender.submit({1});
    ASSERT_TRUE(eventually([&] { return rec.sent().size() == 1; }));
    sender.submit({2});
    ASSERT_TRUE(eventually([&] { return rec.sent().size() == 2; }, 3000));
    std::lock_guard lock(rec.mutex);
    EXPECT_GE(rec.times[1] - rec.times[0], FrameSender::kFailurePause - 1ms);
    EXPECT_EQ(sender.counts().failed, 1u);
}

TEST(FrameSender, StopWakesAPauseAndDiscardsWhatWaits) {
    Recorder rec;
    rec.fail_next = true;
    FrameSender sender([&rec](std::span<const uint8_t> f) { return rec.send(f); });
    sender.submit({1});  // waits for the thread
    EXPECT_FALSE(sender.idle());
    sender.start();
    ASSERT_TRUE(eventually([&] { return rec.sent().size() == 1; }));
    sender.submit({2});  // held back by the pause
    const auto before = Clock::now();
    sender.stop();
    EXPECT_LT(Clock::now() - before, 150ms);
    EXPECT_FALSE(sender.running());
    EXPECT_EQ(rec.sent().size(), 1u);
    EXPECT_TRUE(sender.idle());
}

// Frame n carries n in LED 0 (red + green·250, offset so that the scaling keeps them apart).
std::vector<LedColour> numbered(int n) {
    std::vector<LedColour> keys(kKeyboardKeys, LedColour{90, 90, 90, 255});
    keys[0] = {uint8_t(2 + n % 250), uint8_t(2 + n / 250), 0, 255};
    return keys;
}

int number_of(const std::vector<uint8_t>& frame) {
    // Each channel went out as value · 255 / 256, which is value - 1 from 1 to 255.
    return (frame[3 * 125] + 1 - 2) + 250 * (frame[3 * 125 + 1] + 1 - 2);  // key 0: LED 125
}

TEST(KeyboardStreaming, SlowKeyboardNeverHoldsTheInterfaceThread) {
    test::KeyboardRig rig;
    ASSERT_EQ(rig.keyboard.connect_device(), 1);
    rig.device->set_latency(1ms);  // every report takes a millisecond, as a real keyboard's
    constexpr int kFrames = 300;
    std::vector<Clock::duration> hand_overs;
    for (int n = 0; n < kFrames; ++n) {
        const std::vector<LedColour> keys = numbered(n);
        const auto before = Clock::now();
        rig.keyboard.stream_frame(keys);
        hand_overs.push_back(Clock::now() - before);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(eventually([&] { return rig.keyboard.sender().idle(); }, 5000));
    // A frame is seven reports, about 7 ms: sent in line, every hand-over would wait that
    // long. Allow two slow ones for a busy machine's scheduler, none for the transfers.
    const auto slow = std::count_if(hand_overs.begin(), hand_overs.end(),
                                    [](Clock::duration d) { return d > 2ms; });
    EXPECT_LE(slow, 2);

    // Frames arrive complete, in order, the last one included; older ones were dropped.
    const auto counts = rig.keyboard.sender().counts();
    EXPECT_EQ(counts.submitted, uint64_t(kFrames));
    EXPECT_EQ(counts.failed, 0u);
    EXPECT_GT(counts.dropped, 0u);
    EXPECT_EQ(counts.sent + counts.dropped, uint64_t(kFrames));
    EXPECT_EQ(rig.device->light_frame_count(), counts.sent);
    const auto frames = rig.device->light_frames();
    ASSERT_FALSE(frames.empty());
    int last = -1;
    for (const std::vector<uint8_t>& f : frames) {
        ASSERT_EQ(f.size(), 378u);
        const int n = number_of(f);
        EXPECT_GT(n, last);
        last = n;
        EXPECT_EQ(f[0], 89);  // every other key as sent
    }
    EXPECT_EQ(last, kFrames - 1);
}

TEST(KeyboardStreaming, RefusedFramePausesTheKeyboardsFrames) {
    test::KeyboardRig rig;
    ASSERT_EQ(rig.keyboard.connect_device(), 1);
    rig.device->fail_chunk(0xFF, 1, 0x12);
    const auto start = Clock::now();
    rig.keyboard.stream_frame(numbered(1));
    ASSERT_TRUE(eventually([&] { return rig.keyboard.sender().counts().failed == 1; }));
    rig.keyboard.stream_frame(numbered(2));
    ASSERT_TRUE(eventually([&] { return rig.device->light_frame_count() == 1; }, 3000));
    EXPECT_GE(Clock::now() - start, FrameSender::kFailurePause);
    EXPECT_EQ(number_of(rig.device->light_frames()[0]), 2);
}

}  // namespace
}  // namespace tellune::device
