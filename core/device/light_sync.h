#pragma once
// One lighting choice drawn on every device at once. The choice lives in a process-wide
// store; SyncStepGenerator turns it into one packed colour per step over an explicit clock,
// so every step can be reproduced in a test; LightSyncRunner is the thread that draws the
// steps while any device waits for them.
//
// A packed colour is red | green << 8 | blue << 16 | brightness << 24, as device pages keep
// their LEDs.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "core/profile/profile_records.h"

namespace tellune::device {

struct SyncLightSettings {
    uint8_t effect = 4;  // common effect 0..4 (light_modes.h); off until chosen
    uint8_t speed = 0;   // 0..4
    uint8_t level = 0;   // brightness 0..255
    uint8_t direction = 0;
    uint8_t multi_colour = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const SyncLightSettings&) const = default;
};

// The synchronised choice for `effect` taken from a device's light settings: its speed
// (clamped to 0..4), its brightness step (0..4) as a level, Fx as the direction, its
// multi-colour flag and colour.
SyncLightSettings make_sync_settings(int effect, const LightSettings& settings);

inline constexpr uint32_t pack_sync_colour(uint8_t r, uint8_t g, uint8_t b, uint8_t level) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | uint32_t(level) << 24;
}

// The process-wide choice. Every member may be called from any thread.
class SyncLightStore {
public:
    void set(const SyncLightSettings& settings);
    // The choice, and optionally the count of set() calls so far, so a reader sees that the
    // choice changed.
    SyncLightSettings get(uint64_t* generation = nullptr) const;
    uint64_t generation() const;

private:
    mutable std::mutex mutex_;
    SyncLightSettings settings_;
    uint64_t generation_ = 0;
};

SyncLightStore& sync_light_store();

// Pure: one step at a time, at the times the caller gives (milliseconds, any epoch).
class SyncStepGenerator {
public:
    static constexpr uint32_t kBlinkUnitMs = 200;

    // Starts over with `settings` at `now_ms`: colour index and breathing step 0, the next
    // blink step lights up.
    void reset(const SyncLightSettings& settings, uint32_t now_ms);
    const SyncLightSettings& settings() const { return settings_; }

    // Milliseconds from one step to the next.
    uint32_t period_ms() const;
    // One step of the effect at `now_ms`; the packed colour of every LED.
    uint32_t step(uint32_t now_ms);

    uint8_t breathing_step() const { return phase_; }
    uint8_t colour_index() const { return colour_index_; }
    bool blink_on() const { return blink_on_; }

private:
    SyncLightSettings settings_;
    uint8_t phase_ = 0;
    uint8_t colour_index_ = 0;
    bool blink_on_ = false;
    bool toggled_ = false;  // the blink toggled at least once since reset
    uint32_t last_toggle_ = 0;
};

// The light synchronisation thread. `active` says whether any device waits for the
// synchronised light; `draw` gives every LED of every device one packed colour. Both are
// called on the runner's thread, never under the runner's lock.
//
// While active it sleeps until the next step is due; while inactive it sleeps kIdleWait or
// until woken. It never polls every millisecond.
class LightSyncRunner {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kIdleWait = std::chrono::milliseconds(1000);

    struct Callbacks {
        std::function<bool()> active;
        std::function<void(uint32_t colour)> draw;
    };

    explicit LightSyncRunner(Callbacks callbacks, SyncLightStore& store = sync_light_store());
    ~LightSyncRunner();
    LightSyncRunner(const LightSyncRunner&) = delete;
    LightSyncRunner& operator=(const LightSyncRunner&) = delete;

    // Runs the loop on the calling thread until `token` asks it to stop (a worker slot's
    // thread). Writes "同步灯光线程设定退出" when it ends.
    void run(std::stop_token token);

    // Or on a thread of its own: start() (stops a running one first), stop() = wake + join.
    void start();
    void stop();
    bool running() const;

    // Look again now: the choice or the devices' pause flags changed.
    void wake();

    // Passes through the loop and steps drawn, for tests and the benchmark.
    uint64_t wake_count() const;
    uint64_t step_count() const;

private:
    Callbacks callbacks_;
    SyncLightStore& store_;

    mutable std::mutex mutex_;
    std::condition_variable_any cv_;
    bool woken_ = false;
    uint64_t wakes_ = 0;
    uint64_t steps_ = 0;
    std::jthread thread_;
};

}  // namespace tellune::device
