#include "core/device/frame_sender.h"

#include "core/platform/platform.h"

namespace tellune::device {

FrameSender::FrameSender(Send send, std::string exit_line)
    : send_(std::move(send)), exit_line_(std::move(exit_line)) {}

FrameSender::~FrameSender() {
    stop();
}

void FrameSender::start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return;
    stop_ = false;
    thread_ = std::thread([this] { run(); });
}

void FrameSender::stop() {
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        stop_ = true;
        thread = std::move(thread_);
    }
    cv_.notify_all();
    thread.join();
    std::lock_guard lock(mutex_);
    has_pending_ = false;
}

bool FrameSender::running() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable();
}

void FrameSender::submit(std::vector<uint8_t> frame) {
    {
        std::lock_guard lock(mutex_);
        ++counts_.submitted;
        if (has_pending_) ++counts_.dropped;
        // The old frame's storage goes with `frame`, outside the lock.
        pending_.swap(frame);
        has_pending_ = true;
    }
    cv_.notify_all();
}

FrameSender::Counts FrameSender::counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

bool FrameSender::idle() const {
    std::lock_guard lock(mutex_);
    return !has_pending_ && !sending_;
}

void FrameSender::run() {
    name_this_thread("tl-send");
    std::vector<uint8_t> frame;
    std::unique_lock lock(mutex_);
    while (true) {
        cv_.wait(lock, [this] { return stop_ || has_pending_; });
        if (stop_) break;
        frame.swap(pending_);
        has_pending_ = false;
        sending_ = true;
        lock.unlock();
        const int result = send_(frame);
        lock.lock();
        sending_ = false;
        if (result == 1) {
            ++counts_.sent;
            continue;
        }
        ++counts_.failed;
        // The device is not taking frames; give it a moment instead of hammering it.
        if (cv_.wait_for(lock, kFailurePause, [this] { return stop_; })) break;
    }
    if (!exit_line_.empty()) debug_line(exit_line_);
}

}  // namespace tellune::device
