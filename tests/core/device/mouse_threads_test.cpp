// The mouse's light thread: it must react, stay quiet when there is nothing to do and stop
// promptly.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/platform/platform.h"
#include "mouse_test_util.h"

namespace tellune::device {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::MouseRig;

template <typename F>
auto elapsed(F&& f) {
    const auto start = Clock::now();
    f();
    return Clock::now() - start;
}

LightSettings settings(uint8_t mode, uint8_t speed) {
    return LightSettings::make(mode, 4, speed, 0, 0, 10, 20, 30, 0);
}

TEST(LightThreadRun, SlowEffectsSleepAndStopPromptly) {
    LightThread light(nullptr, 4);
    light.apply_light_settings(settings(kModeStatic, 4));
    light.start_light_thread();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(light.snapshot()[0], (LedColour{10, 20, 30, 255}));
    EXPECT_LE(light.wake_count(), 3u);  // static: nothing changes after the first frame

    // Blink with a period of 1000 ms: the frame changes once in 200 ms.
    light.apply_light_settings(settings(kModeBlink, 0));
    const uint64_t before = light.wake_count();
    std::this_thread::sleep_for(200ms);
    EXPECT_LE(light.wake_count() - before, 4u);

    EXPECT_LT(elapsed([&] { light.stop_light_thread(); }), 100ms);
    EXPECT_FALSE(light.running());
}

TEST(LightThreadRun, FastEffectsAdvanceAtTheirThresholdsWithFewWakeUps) {
    LightThread light(nullptr, 2);
    light.apply_light_settings(settings(kModeSpectrum, 4));  // a step every 3 ms
    light.start_light_thread();
    const LedColour first = light.snapshot()[0];
    std::this_thread::sleep_for(200ms);
    const uint64_t wakes = light.wake_count();
    light.stop_light_thread();
    EXPECT_NE(light.snapshot()[0], first);
    // About 66 steps, but at most one wake-up per 10 ms (and a few for the start).
    EXPECT_LE(wakes, 200 / LightThread::kMinFrameMs + 5);
    EXPECT_GE(wakes, 5u);
}

TEST(LightThreadRun, APictureTakesCurrentFramesWhileTheThreadSleeps) {
    LightThread light(nullptr, 2);
    light.set_min_frame_ms(LightThread::kMaxCatchUpTicks);
    light.apply_light_settings(settings(kModeSpectrum, 4));
    EXPECT_EQ(light.current_frame(), light.snapshot());  // not running: nothing advances
    light.start_light_thread();
    // On a busy machine the thread's first frame may come late: count from after it.
    const auto deadline = Clock::now() + 2s;
    while (light.wake_count() == 0 && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(light.wake_count(), 1u);
    const uint64_t wakes = light.wake_count();
    std::vector<std::vector<LedColour>> frames;
    for (int i = 0; i < 6; ++i) {
        std::this_thread::sleep_for(50ms);
        frames.push_back(light.current_frame());
        EXPECT_EQ(light.snapshot(), frames.back());  // what the picture took is the frame
    }
    // The spectrum moved on between every two pictures, while the thread slept throughout.
    for (size_t i = 1; i < frames.size(); ++i) EXPECT_NE(frames[i][0], frames[i - 1][0]) << i;
    EXPECT_EQ(light.wake_count(), wakes);
    light.stop_light_thread();
    const std::vector<LedColour> stopped = light.current_frame();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(light.current_frame(), stopped);
}

TEST(LightThreadRun, PauseFlagAndClosedChannelHoldTheFrame) {
    emulator::EmulatedBackend backend;
    hid::CCommandChannel channel(backend);
    channel.SetOpen(true);
    LightThread light(&channel, 1);
    light.apply_light_settings(settings(kModeSpectrum, 4));
    light.start_light_thread();
    std::this_thread::sleep_for(30ms);
    channel.SetPause(1);
    std::this_thread::sleep_for(80ms);  // the pause is seen within one frame
    const LedColour held = light.snapshot()[0];
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(light.snapshot()[0], held);
    channel.SetPause(0);
    std::this_thread::sleep_for(150ms);
    EXPECT_NE(light.snapshot()[0], held);

    channel.SetOpen(false);
    std::this_thread::sleep_for(80ms);
    const LedColour closed = light.snapshot()[0];
    const uint64_t wakes = light.wake_count();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(light.snapshot()[0], closed);
    EXPECT_LE(light.wake_count() - wakes, 3u);  // idles in 100 ms waits
    EXPECT_LT(elapsed([&] { light.stop_light_thread(); }), 100ms);
}

TEST(LightThreadRun, SettingsAndSnapshotsFromAnotherThread) {
    LightThread light(nullptr, 14);
    light.start_light_thread();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            const auto frame = light.snapshot();
            EXPECT_EQ(frame.size(), 14u);
            light.led(3);
            std::this_thread::sleep_for(1ms);
        }
    });
    for (int i = 0; i < 50; ++i) {
        light.apply_light_settings(settings(static_cast<uint8_t>(i % 13), 4));
        std::this_thread::sleep_for(2ms);
    }
    done = true;
    reader.join();
    light.stop_light_thread();
    EXPECT_EQ(light.led(14), LedColour{});
    light.clear_leds();
    EXPECT_EQ(light.led(0), LedColour{});
}

TEST(LightThreadRun, MouseStartsTheLightThroughItsProfile) {
    MouseRig rig;
    rig.mouse.light().set_led_count(3);
    CMouseProfiledata profile;
    profile.write_light_settings(LightSettings::make(kModeStatic, 1, 4, 0, 0, 1, 2, 3, 0));
    rig.mouse.apply_light_settings(profile);
    rig.mouse.light().start_light_thread();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rig.mouse.light().snapshot()[2], (LedColour{1, 2, 3, 60}));
}

}  // namespace
}  // namespace tellune::device
