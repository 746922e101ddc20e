#pragma once
// The shell's worker threads, and the way a worker runs something on the interface thread.
// No thread is ever killed: stopping requests stop (which wakes every wait on the token),
// then joins.

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tellune::ui {

// Sleeps up to `duration`; returns early, with true, when stop is requested.
bool sleep_unless_stopped(std::stop_token token, std::chrono::milliseconds duration);

class WorkerSlots {
public:
    static constexpr int kSlotCount = 20;
    using Work = std::function<void(std::stop_token)>;

    explicit WorkerSlots(std::chrono::milliseconds stop_wait = std::chrono::milliseconds(1000));
    ~WorkerSlots();
    WorkerSlots(const WorkerSlots&) = delete;
    WorkerSlots& operator=(const WorkerSlots&) = delete;

    // Starts `work` on `slot`. False when the slot is out of range or still runs a thread.
    bool start(int slot, Work work);
    bool running(int slot) const;

    // Requests stop on every slot, then waits for each thread: up to the stop wait for the
    // report line, then for as long as it takes. A thread that overstays is logged, never
    // killed: killing one would leave its locks held and its objects half-changed.
    void stop_all();

private:
    struct Done {
        std::mutex mutex;
        std::condition_variable cv;
        bool finished = false;
    };
    struct Slot {
        std::jthread thread;
        std::shared_ptr<Done> done;
    };

    std::chrono::milliseconds stop_wait_;
    std::array<Slot, kSlotCount> slots_;
};

// Runs functions on the interface thread for workers, blocking the worker until the call
// ran. A pending call is dropped (the worker gets false) when the worker's stop is requested
// or the caller is closed, so a shutdown that joins workers cannot deadlock on them.
class UiThreadCaller {
public:
    // Hands a task to the interface thread's queue; the task runs there later.
    using Post = std::function<void(std::function<void()>)>;

    UiThreadCaller(Post post, std::thread::id ui_thread = std::this_thread::get_id());
    ~UiThreadCaller();
    UiThreadCaller(const UiThreadCaller&) = delete;
    UiThreadCaller& operator=(const UiThreadCaller&) = delete;

    // True when `fn` ran. On the interface thread itself it runs at once. The caller must
    // outlive the posted task's owner queue, or close() first.
    bool call(std::stop_token token, std::function<void()> fn);

    // Refuses new calls and drops pending ones. Call on the interface thread before joining
    // the workers that use this caller.
    void close();
    bool closed() const;

private:
    struct Shared;
    Post post_;
    std::thread::id ui_thread_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace tellune::ui
