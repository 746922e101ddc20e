#pragma once
// The light thread of one device: runs a light renderer (the mouse's LightEngine unless told
// otherwise) in the background and keeps the LED colour list that the preview paints.
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
#include <memory>
#include <mutex>
#include <string>
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

    // `channel` may be null: then the thread always runs.
    explicit LightThread(const hid::CCommandChannel* channel = nullptr, size_t led_count = 0,
                         LightModel model = LightModel::mouse);
    // Runs `renderer` instead of a LightEngine.
    LightThread(const hid::CCommandChannel* channel, std::unique_ptr<LightRenderer> renderer);
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
    // Runs `change` on the renderer under the engine lock, after the ticks that passed so far
    // (they belong to the state before the change), and wakes the thread: an input such as a
    // key press takes effect at the time it happened.
    template <class F>
    void update(F&& change) {
        {
            std::lock_guard lock(mutex_);
            if (running_ && !frozen()) advance_locked(now_ms());
            change(*engine_);
            changed_ = true;
        }
        cv_.notify_all();
    }
    // The shortest time between two frames (kMinFrameMs by default). A device whose frames
    // only feed the picture on screen lets the picture take them with current_frame() and
    // sets a long period here: the thread then wakes only to keep the engine from lagging.
    void set_min_frame_ms(uint32_t ms) { min_frame_ms_ = std::max<uint32_t>(ms, 1); }
    // The debug line the thread writes when it ends; set before start_light_thread().
    void set_exit_line(std::string line) { exit_line_ = std::move(line); }

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
    using Clock = std::chrono::steady_clock;
    uint32_t now_ms() const;
    bool frozen() const;
    void advance_locked(uint32_t now);
    void run();

    const hid::CCommandChannel* channel_;
    std::string exit_line_ = "MS灯光线程设定退出";
    const Clock::time_point epoch_ = Clock::now();

    mutable std::mutex mutex_;  // the engine lock: everything below but the counter
    std::condition_variable cv_;
    std::unique_ptr<LightRenderer> engine_;
    uint32_t last_tick_ = 0;
    bool stop_ = false;
    bool changed_ = false;
    bool running_ = false;
    std::thread thread_;

    std::atomic<uint64_t> wakes_{0};
};

}  // namespace tellune::device
