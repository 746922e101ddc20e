// The mouse's two threads: the sync listener on the notification collection and the light
// thread. Both must react, stay quiet when there is nothing to do and stop promptly.

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

struct Signal {
    std::mutex m;
    std::condition_variable cv;
    int count = 0;
    void raise() {
        std::lock_guard lock(m);
        ++count;
        cv.notify_all();
    }
    bool wait_for(int n, std::chrono::milliseconds limit = 2000ms) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, limit, [&] { return count >= n; });
    }
};

template <typename F>
auto elapsed(F&& f) {
    const auto start = Clock::now();
    f();
    return Clock::now() - start;
}

TEST(SyncListener, RequestReachesTheCallbackAndCloseStopsIt) {
    std::vector<std::string> lines;
    std::mutex lines_mutex;
    set_debug_sink([&](std::string_view l) {
        std::lock_guard lock(lines_mutex);
        lines.emplace_back(l);
    });
    {
        MouseRig rig;
        Signal requests;
        ASSERT_TRUE(rig.mouse.start_sync_listener(rig.paths[2], [&] { requests.raise(); }));
        EXPECT_TRUE(rig.notify.IsOpen());
        std::this_thread::sleep_for(20ms);  // the read is waiting without a time-out
        ASSERT_TRUE(rig.device->inject_usage(kUsageSyncRequest));
        EXPECT_TRUE(requests.wait_for(1));
        for (int i = 0; i < 5; ++i) rig.device->inject_usage(kUsageSyncCount);
        rig.device->inject_usage(kUsageSyncRequest);  // after the five, so they were handled
        EXPECT_TRUE(requests.wait_for(2));
        EXPECT_EQ(rig.mouse.sync_counter(), 1);
        rig.device->inject_usage(0x0123);  // a media key: ignored

        EXPECT_LT(elapsed([&] { rig.mouse.stop_sync_listener(); }), 200ms);
        EXPECT_FALSE(rig.notify.IsOpen());
        EXPECT_EQ(requests.count, 2);
        // Stopping again is harmless.
        rig.mouse.stop_sync_listener();
    }
    set_debug_sink(nullptr);
    std::lock_guard lock(lines_mutex);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "MS设备同步线程设定退出"), 1);
}

TEST(SyncListener, SurvivesUnplugAndRestarts) {
    MouseRig rig;
    Signal requests;
    ASSERT_TRUE(rig.mouse.start_sync_listener(rig.paths[2], [&] { requests.raise(); }));
    rig.backend.unplug(rig.device);
    std::this_thread::sleep_for(50ms);  // reads now fail at once; the listener must not spin
    rig.backend.plug(rig.device);
    ASSERT_TRUE(rig.mouse.restart_sync_listener(rig.paths[2], [&] { requests.raise(); }));
    std::this_thread::sleep_for(20ms);
    rig.device->inject_usage(kUsageSyncRequest);
    EXPECT_TRUE(requests.wait_for(1));
    EXPECT_LT(elapsed([&] { rig.mouse.stop_sync_listener(); }), 200ms);

    MouseRig bad;
    EXPECT_FALSE(bad.mouse.start_sync_listener("emu/none?col03", {}));
}

TEST(SyncListener, DestructionStopsARunningListener) {
    auto rig = std::make_unique<MouseRig>();
    ASSERT_TRUE(rig->mouse.start_sync_listener(rig->paths[2], {}));
    std::this_thread::sleep_for(10ms);
    EXPECT_LT(elapsed([&] { rig.reset(); }), 200ms);
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
