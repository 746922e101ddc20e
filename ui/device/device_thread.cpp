#include "ui/device/device_thread.h"

#include "core/platform/platform.h"

namespace tellune::ui {

void DeviceThread::Start(std::string exit_line, Unit unit) {
    Stop();
    {
        std::lock_guard lock(mutex_);
        stop_ = false;
        finished_ = false;
    }
    thread_ = std::thread(&DeviceThread::run, this, std::move(exit_line), std::move(unit));
}

void DeviceThread::run(std::string exit_line, Unit unit) {
    name_this_thread("tl-input");
    for (;;) {
        if (WaitFor(std::chrono::milliseconds(1))) {
            debug_line(exit_line);
            break;
        }
        unit(*this);
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    cv_.notify_all();
}

bool DeviceThread::WaitFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, duration, [this] { return stop_; });
}

bool DeviceThread::StopRequested() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

void DeviceThread::Stop(const std::function<void()>& wake) {
    if (!thread_.joinable()) {
        if (wake) wake();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    if (wake) wake();
    bool ended;
    {
        std::unique_lock lock(mutex_);
        ended = cv_.wait_for(lock, kStopWait, [this] { return finished_; });
    }
    if (ended)
        debug_line("线程退出：：对象处于激发状态\n");
    else
        // Not killed: a killed thread would leave its locks held. Join and wait it out.
        debug_line("线程退出：：对象处于非激发状态，超时\n");
    thread_.join();
}

}  // namespace tellune::ui
