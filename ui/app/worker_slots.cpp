#include "ui/app/worker_slots.h"

#include "core/platform/platform.h"

namespace tellune::ui {

bool sleep_unless_stopped(std::stop_token token, std::chrono::milliseconds duration) {
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, token, duration, [] { return false; }) || token.stop_requested();
}

WorkerSlots::WorkerSlots(std::chrono::milliseconds stop_wait) : stop_wait_(stop_wait) {}

WorkerSlots::~WorkerSlots() {
    stop_all();
}

bool WorkerSlots::start(int slot, Work work) {
    if (slot < 0 || slot >= kSlotCount || !work) return false;
    Slot& s = slots_[size_t(slot)];
    if (running(slot)) return false;
    if (s.thread.joinable()) s.thread.join();  // finished on its own; reuse the slot
    auto done = std::make_shared<Done>();
    s.done = done;
    s.thread = std::jthread([work = std::move(work), done](std::stop_token token) {
        name_this_thread("tl-worker");
        work(token);
        std::lock_guard lock(done->mutex);
        done->finished = true;
        done->cv.notify_all();
    });
    return true;
}

bool WorkerSlots::running(int slot) const {
    if (slot < 0 || slot >= kSlotCount) return false;
    const Slot& s = slots_[size_t(slot)];
    if (!s.thread.joinable() || !s.done) return false;
    std::lock_guard lock(s.done->mutex);
    return !s.done->finished;
}

void WorkerSlots::stop_all() {
    for (Slot& s : slots_)
        if (s.thread.joinable()) s.thread.request_stop();
    for (int i = 0; i < kSlotCount; ++i) {
        Slot& s = slots_[size_t(i)];
        if (!s.thread.joinable()) continue;
        bool ended;
        {
            std::unique_lock lock(s.done->mutex);
            ended = s.done->cv.wait_for(lock, stop_wait_, [&] { return s.done->finished; });
        }
        if (ended) {
            debug_line("所有对象处于激发状态\n");
        } else {
            debug_line("所有对象处于非激发状态，超时\n");
            debug_printf("%d", i);
        }
        s.thread.join();
        s.done.reset();
    }
}

struct UiThreadCaller::Shared {
    enum class State { Pending, Running, Done, Dropped };
    struct Call {
        std::function<void()> fn;
        State state = State::Pending;
    };
    std::mutex mutex;
    std::condition_variable_any cv;
    bool closed = false;
};

UiThreadCaller::UiThreadCaller(Post post, std::thread::id ui_thread)
    : post_(std::move(post)), ui_thread_(ui_thread), shared_(std::make_shared<Shared>()) {}

UiThreadCaller::~UiThreadCaller() {
    close();
}

bool UiThreadCaller::call(std::stop_token token, std::function<void()> fn) {
    using State = Shared::State;
    if (std::this_thread::get_id() == ui_thread_) {
        if (closed()) return false;
        fn();
        return true;
    }
    auto call = std::make_shared<Shared::Call>();
    call->fn = std::move(fn);
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->closed) return false;
    }
    post_([shared = shared_, call] {
        {
            std::lock_guard lock(shared->mutex);
            if (call->state != State::Pending || shared->closed) return;
            call->state = State::Running;
        }
        call->fn();
        {
            std::lock_guard lock(shared->mutex);
            call->state = State::Done;
        }
        shared->cv.notify_all();
    });
    std::unique_lock lock(shared_->mutex);
    shared_->cv.wait(lock, token, [&] {
        return call->state == State::Done || (call->state == State::Pending && shared_->closed);
    });
    // A call the interface thread already runs is seen through; it cannot block on us.
    shared_->cv.wait(lock, [&] { return call->state != State::Running; });
    if (call->state == State::Done) return true;
    call->state = State::Dropped;
    return false;
}

void UiThreadCaller::close() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->closed = true;
    }
    shared_->cv.notify_all();
}

bool UiThreadCaller::closed() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->closed;
}

}  // namespace tellune::ui
