#include "core/device/light_thread.h"

#include <algorithm>

#include "core/platform/platform.h"

namespace tellune::device {

namespace {

const char* exit_line_of(LightModel model) {
    switch (model) {
        case LightModel::pad:
            return "MP灯光线程设定退出";
        case LightModel::headset:
            return "HD灯光线程设定退出";
        default:
            return "MS灯光线程设定退出";
    }
}

}  // namespace

LightThread::LightThread(const hid::CCommandChannel* channel, size_t led_count, LightModel model)
    : LightThread(channel, std::make_unique<LightEngine>(led_count, model)) {
    exit_line_ = exit_line_of(model);
}

LightThread::LightThread(const hid::CCommandChannel* channel,
                         std::unique_ptr<LightRenderer> renderer)
    : channel_(channel), engine_(std::move(renderer)) {}

LightThread::~LightThread() {
    stop_light_thread();
}

uint32_t LightThread::now_ms() const {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch_).count());
}

bool LightThread::frozen() const {
    return channel_ && (!channel_->IsOpen() || channel_->Pause() != 0);
}

void LightThread::start_light_thread() {
    stop_light_thread();
    std::lock_guard lock(mutex_);
    stop_ = false;
    running_ = true;
    last_tick_ = now_ms();
    thread_ = std::thread([this] { run(); });
}

void LightThread::stop_light_thread() {
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        stop_ = true;
        thread = std::move(thread_);
    }
    cv_.notify_all();
    thread.join();
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    debug_line("线程退出：：对象处于激发状态\n");
}

bool LightThread::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void LightThread::set_led_count(size_t count) {
    std::lock_guard lock(mutex_);
    engine_->set_led_count(count);
}

void LightThread::clear_leds() {
    std::lock_guard lock(mutex_);
    engine_->set_led_count(engine_->leds().size());
}

void LightThread::apply_light_settings(const LightSettings& settings,
                                       const std::vector<LedZoneRecord>& zones,
                                       const std::vector<LightEffectStep>& steps) {
    {
        std::lock_guard lock(mutex_);
        const uint32_t now = now_ms();
        // The time that passed still belongs to the old setting.
        if (running_ && !frozen()) advance_locked(now);
        engine_->apply_light_settings(settings, zones, steps, now);
        changed_ = true;
    }
    cv_.notify_all();
}

void LightThread::set_colour_follow(bool fx_down, bool fx_up) {
    std::lock_guard lock(mutex_);
    engine_->set_colour_follow(fx_down, fx_up);
}

std::vector<LedColour> LightThread::snapshot() const {
    std::lock_guard lock(mutex_);
    return engine_->leds();
}

std::vector<LedColour> LightThread::current_frame() {
    std::lock_guard lock(mutex_);
    if (running_ && !stop_ && !frozen()) advance_locked(now_ms());
    return engine_->leds();
}

LedColour LightThread::led(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < engine_->leds().size() ? engine_->leds()[index] : LedColour{};
}

LightSettings LightThread::settings() const {
    std::lock_guard lock(mutex_);
    return engine_->settings();
}

void LightThread::advance_locked(uint32_t now) {
    uint32_t elapsed = now - last_tick_;
    // After a long stall the missed frames are of no use to anyone.
    if (elapsed > kMaxCatchUpTicks) {
        last_tick_ = now - kMaxCatchUpTicks;
        elapsed = kMaxCatchUpTicks;
    }
    for (uint32_t i = 1; i <= elapsed; ++i) engine_->tick(last_tick_ + i);
    last_tick_ = now;
}

void LightThread::run() {
    name_this_thread("tl-light");
    std::unique_lock lock(mutex_);
    auto woken = [this] { return stop_ || changed_; };
    while (!stop_) {
        ++wakes_;
        changed_ = false;
        if (frozen()) {
            const bool closed = channel_ && !channel_->IsOpen();
            cv_.wait_for(lock, closed ? kClosedIdle : kPausePoll, woken);
            last_tick_ = now_ms();  // stands still: no catching up afterwards
            continue;
        }
        advance_locked(now_ms());
        const uint32_t due = engine_->ticks_until_change(last_tick_);
        if (due == LightRenderer::kNoChange) {
            // Poll the channel's flags now and then; nothing signals them.
            cv_.wait_for(lock, kClosedIdle * 10, woken);
            continue;
        }
        const uint32_t wake = last_tick_ + std::max(due, min_frame_ms_.load());
        cv_.wait_until(lock, epoch_ + std::chrono::milliseconds(wake), woken);
    }
    // Not under the engine lock: the debug sink takes locks of its own.
    lock.unlock();
    debug_line(exit_line_);
}

}  // namespace tellune::device
