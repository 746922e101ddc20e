#include "core/device/light_sync.h"

#include <algorithm>

#include "core/device/light_engine.h"
#include "core/device/light_modes.h"
#include "core/platform/platform.h"

namespace tellune::device {

SyncLightSettings make_sync_settings(int effect, const LightSettings& settings) {
    SyncLightSettings s;
    s.effect = uint8_t(std::clamp(effect, 0, kCommonEffectCount - 1));
    s.speed = std::min<uint8_t>(settings.speed(), 4);
    s.level = light_tables::kBrightness[std::min<size_t>(settings.light(), 4)];
    s.direction = settings.fx();
    s.multi_colour = settings.multi_color();
    s.red = settings.red();
    s.green = settings.green();
    s.blue = settings.blue();
    return s;
}

// --- store ---

void SyncLightStore::set(const SyncLightSettings& settings) {
    std::lock_guard lock(mutex_);
    settings_ = settings;
    ++generation_;
}

SyncLightSettings SyncLightStore::get(uint64_t* generation) const {
    std::lock_guard lock(mutex_);
    if (generation) *generation = generation_;
    return settings_;
}

uint64_t SyncLightStore::generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

SyncLightStore& sync_light_store() {
    static SyncLightStore store;
    return store;
}

// --- steps ---

void SyncStepGenerator::reset(const SyncLightSettings& settings, uint32_t now_ms) {
    settings_ = settings;
    phase_ = 0;
    colour_index_ = 0;
    blink_on_ = false;
    toggled_ = false;
    last_toggle_ = now_ms;
}

uint32_t SyncStepGenerator::period_ms() const {
    return sync_step_threshold(settings_.effect, settings_.speed);
}

uint32_t SyncStepGenerator::step(uint32_t now_ms) {
    const SyncLightSettings& s = settings_;
    const uint32_t chosen = pack_sync_colour(s.red, s.green, s.blue, 0);
    const auto wheel = [this](uint8_t level) {
        const Rgb c = light_tables::kWheel[colour_index_ % light_tables::kWheel.size()];
        return pack_sync_colour(c.r, c.g, c.b, level);
    };
    switch (s.effect) {
        case kCommonBreathing: {
            phase_ = Step(s.direction != 0, 128, phase_, 1);
            if (s.multi_colour && phase_ < 2) colour_index_ = Step(true, 192, colour_index_, 16);
            const auto level = uint8_t(unsigned{s.level} * light_tables::kBreathing[phase_] >> 8);
            return s.multi_colour ? wheel(level) : chosen | uint32_t(level) << 24;
        }
        case kCommonStatic:
            return chosen | uint32_t(s.level) << 24;
        case kCommonBlink: {
            // The first step after a reset lights up at once instead of a dark period.
            if (!toggled_ || now_ms - last_toggle_ >= period_ms() * kBlinkUnitMs) {
                blink_on_ = !blink_on_;
                toggled_ = true;
                last_toggle_ = now_ms;
                colour_index_ = Step(true, 192, colour_index_, 14);
            }
            if (!blink_on_) return 0;
            return s.multi_colour ? wheel(s.level) : chosen | uint32_t(s.level) << 24;
        }
        case kCommonSpectrum:
            colour_index_ = Step(true, 192, colour_index_, 1);
            return wheel(s.level);
        default:
            return 0;
    }
}

// --- runner ---

LightSyncRunner::LightSyncRunner(Callbacks callbacks, SyncLightStore& store)
    : callbacks_(std::move(callbacks)), store_(store) {}

LightSyncRunner::~LightSyncRunner() {
    stop();
}

void LightSyncRunner::run(std::stop_token token) {
    name_this_thread("tl-sync");
    using std::chrono::milliseconds;
    const Clock::time_point epoch = Clock::now();
    const auto ms_since = [epoch](Clock::time_point t) {
        return uint32_t(std::chrono::duration_cast<milliseconds>(t - epoch).count());
    };
    SyncStepGenerator generator;
    uint64_t generation = 0;
    bool fresh = true;
    Clock::time_point next = epoch;
    const auto woken = [this] { return woken_; };

    std::unique_lock lock(mutex_);
    while (!token.stop_requested()) {
        ++wakes_;
        woken_ = false;
        lock.unlock();
        const bool active = callbacks_.active && callbacks_.active();
        lock.lock();
        if (!active) {
            fresh = true;  // begin the effect anew when the devices want it again
            cv_.wait_for(lock, token, kIdleWait, woken);
            continue;
        }
        Clock::time_point now = Clock::now();
        uint64_t current = 0;
        const SyncLightSettings settings = store_.get(&current);
        if (fresh || current != generation) {
            generator.reset(settings, ms_since(now));
            generation = current;
            fresh = false;
            next = now;
        }
        if (now >= next) {
            const uint32_t colour = generator.step(ms_since(now));
            ++steps_;
            lock.unlock();
            if (callbacks_.draw) callbacks_.draw(colour);
            lock.lock();
            const milliseconds period(generator.period_ms());
            next += period;
            // After a stall the missed steps are of no use: carry on from now.
            if (next <= now) next = now + period;
        }
        cv_.wait_until(lock, token, next, woken);
    }
    lock.unlock();
    debug_line("同步灯光线程设定退出");
}

void LightSyncRunner::start() {
    stop();
    thread_ = std::jthread([this](std::stop_token token) { run(token); });
}

void LightSyncRunner::stop() {
    if (!thread_.joinable()) return;
    thread_.request_stop();  // wakes the wait at once
    thread_.join();
}

bool LightSyncRunner::running() const {
    return thread_.joinable();
}

void LightSyncRunner::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    cv_.notify_all();
}

uint64_t LightSyncRunner::wake_count() const {
    std::lock_guard lock(mutex_);
    return wakes_;
}

uint64_t LightSyncRunner::step_count() const {
    std::lock_guard lock(mutex_);
    return steps_;
}

}  // namespace tellune::device
