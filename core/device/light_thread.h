#pragma once
// The light thread of one device: runs a LightEngine in the background and keeps the LED
// colour list that the preview paints.
//
// The engine counts 1 ms ticks, but the thread does not wake every millisecond: it sleeps
// until the frame can next change (or a new setting arrives), then runs every tick that
// passed in the meantime, so each effect advances at exactly its thresholds. It never wakes
// more often than every kMinFrameMs; the preview samples the list every 50 ms, and may
// bring it up to date itself.
//
// While the channel is closed it idles; while the channel's pause flag is set it stands
// still. All members may be called from any thread.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/light_engine.h"
#include "core/hid/command_channel.h"

namespace tellune::device {

class LightThread {
public:
    static constexpr uint32_t kMinFrameMs = 10;
    static constexpr uint32_t kMaxCatchUpTicks = 1000;
    static constexpr auto kClosedIdle = std::chrono::milliseconds(100);
    static constexpr auto kPausePoll = std::chrono::milliseconds(50);

    // Called with each new frame the engine rendered, on the thread that ran it (the light
    // thread, or the caller of current_frame), with the engine lock held: keep it short.
    using FrameListener = std::function<void(const std::vector<LedColour>&)>;

    // `channel` may be null: then the thread always runs.
    explicit LightThread(const hid::CCommandChannel* channel = nullptr, size_t led_count = 0,
                         LightModel model = LightModel::mouse);
    ~LightThread();
    LightThread(const LightThread&) = delete;
    LightThread& operator=(const LightThread&) = delete;

    // Stops a running thread first.
    void start_light_thread();
    // Wakes the thread and joins it; writes the thread's and the outcome's debug lines.
    void stop_light_thread();
    bool running() const;

    void set_led_count(size_t count);  // resizes and clears the list
    void clear_leds();
    void apply_light_settings(const LightSettings& settings,
                              const std::vector<LedZoneRecord>& zones = {},
                              const std::vector<LightEffectStep>& steps = {});
    void set_colour_follow(bool fx_down, bool fx_up);
    // The shortest time between two frames (kMinFrameMs by default). A device whose frames
    // only feed the picture on screen lets the picture take them with current_frame() and
    // sets a long period here: the thread then wakes only to keep the engine from lagging.
    void set_min_frame_ms(uint32_t ms) { min_frame_ms_ = std::max<uint32_t>(ms, 1); }
    void set_frame_listener(FrameListener listener);

    // The LED colour list as of the last rendered frame.
    std::vector<LedColour> snapshot() const;
    // The LED colour list as of now: the ticks that passed since the last frame are run
    // first (unless the thread is stopped or stands still), at the same thresholds.
    std::vector<LedColour> current_frame();
    // One LED; zero when out of range.
    LedColour led(size_t index) const;
    LightSettings settings() const;
    // Times the thread woke up, for tests and the benchmark.
    uint64_t wake_count() const { return wakes_.load(); }

private:
    std::atomic<uint32_t> min_frame_ms_{kMinFrameMs};
    FrameListener listener_;  // guarded by the engine lock
    using Clock = std::chrono::steady_clock;
    uint32_t now_ms() const;
    bool frozen() const;
    void advance_locked(uint32_t now);
    void run();

    const hid::CCommandChannel* channel_;
    const Clock::time_point epoch_ = Clock::now();

    mutable std::mutex mutex_;  // the engine lock: everything below but the counter
    std::condition_variable cv_;
    LightEngine engine_;
    uint32_t last_tick_ = 0;
    bool stop_ = false;
    bool changed_ = false;
    bool running_ = false;
    std::thread thread_;

    std::atomic<uint64_t> wakes_{0};
};

}  // namespace tellune::device
