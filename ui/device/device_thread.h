#pragma once
// A device control's worker: one unit of work per pass, a 1 ms interruptible wait between
// passes. Stopping wakes the thread (and whatever `wake` unblocks, e.g. closing the channel
// a read waits on), waits up to 1000 ms for the report line, then joins: a thread is never
// killed, so every blocking wait of a unit must be interruptible.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tellune::ui {

class DeviceThread {
public:
    using Unit = std::function<void(DeviceThread&)>;
    static constexpr std::chrono::milliseconds kStopWait{1000};

    DeviceThread() = default;
    ~DeviceThread() { Stop(); }
    DeviceThread(const DeviceThread&) = delete;
    DeviceThread& operator=(const DeviceThread&) = delete;

    // Stops a running instance first. `exit_line` is written when the thread sees its stop.
    void Start(std::string exit_line, Unit unit);
    // Idempotent. `wake` runs after the stop is requested and before the wait.
    void Stop(const std::function<void()>& wake = {});
    bool Running() const { return thread_.joinable(); }

    // For the unit: sleeps up to `duration`; true (at once) when stop was requested.
    bool WaitFor(std::chrono::milliseconds duration);
    bool StopRequested() const;

private:
    void run(std::string exit_line, Unit unit);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace tellune::ui
