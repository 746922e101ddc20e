#include "ui/app/worker_slots.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "ui_test_support.h"

namespace tellune::ui {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(WorkerSlotsTest, StopWakesEveryWorkerAndJoinsPromptly) {
    test::DebugCapture debug;
    std::atomic<int> ended{0};
    {
        WorkerSlots pool;
        for (int i = 0; i < WorkerSlots::kSlotCount; ++i)
            ASSERT_TRUE(pool.start(i, [&](std::stop_token token) {
                while (!sleep_unless_stopped(token, 10s)) {
                }
                ++ended;
            }));
        for (int i = 0; i < WorkerSlots::kSlotCount; ++i) EXPECT_TRUE(pool.running(i));
        const auto t0 = Clock::now();
        pool.stop_all();
        EXPECT_LT(Clock::now() - t0, 1s);
        EXPECT_EQ(ended.load(), WorkerSlots::kSlotCount);
        for (int i = 0; i < WorkerSlots::kSlotCount; ++i) EXPECT_FALSE(pool.running(i));
    }
    int reports = 0;
    for (const std::string& line : debug.lines()) reports += line == "所有对象处于激发状态";
    EXPECT_EQ(reports, WorkerSlots::kSlotCount);
}

TEST(WorkerSlotsTest, SlotRulesAndReuse) {
    WorkerSlots pool;
    std::atomic<bool> release{false};
    EXPECT_FALSE(pool.start(-1, [](std::stop_token) {}));
    EXPECT_FALSE(pool.start(WorkerSlots::kSlotCount, [](std::stop_token) {}));
    EXPECT_FALSE(pool.start(0, nullptr));
    ASSERT_TRUE(pool.start(0, [&](std::stop_token token) {
        while (!release && !token.stop_requested()) std::this_thread::sleep_for(1ms);
    }));
    EXPECT_FALSE(pool.start(0, [](std::stop_token) {}));  // busy
    release = true;
    const auto deadline = Clock::now() + 2s;
    while (pool.running(0) && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
    std::atomic<bool> second{false};
    ASSERT_TRUE(pool.start(0, [&](std::stop_token) { second = true; }));
    pool.stop_all();
    EXPECT_TRUE(second);
}

TEST(WorkerSlotsTest, OverdueWorkerIsReportedAndWaitedForNeverAbandoned) {
    test::DebugCapture debug;
    std::atomic<bool> finished{false};
    WorkerSlots pool(20ms);
    ASSERT_TRUE(pool.start(3, [&](std::stop_token) {
        std::this_thread::sleep_for(150ms);  // ignores the stop request for a while
        finished = true;
    }));
    pool.stop_all();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(debug.contains("所有对象处于非激发状态，超时"));
    EXPECT_TRUE(debug.contains("3"));
}

// The interface thread of these tests is the test thread; posted tasks wait in a queue
// until it runs them.
class TaskQueue {
public:
    void post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    int run_all() {
        int n = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty()) return n;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
            ++n;
        }
    }
    size_t size() {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

TEST(UiThreadCallerTest, WorkerWaitsUntilTheInterfaceThreadRanTheCall) {
    TaskQueue queue;
    UiThreadCaller caller([&](std::function<void()> t) { queue.post(std::move(t)); });
    const auto ui_thread = std::this_thread::get_id();
    std::atomic<bool> returned{false}, result{false};
    std::thread::id ran_on;
    int value = 0;
    std::jthread worker([&](std::stop_token token) {
        result = caller.call(token, [&] {
            ran_on = std::this_thread::get_id();
            value = 42;
        });
        returned = true;
    });
    while (queue.size() == 0) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned);  // still blocked: nothing ran yet
    EXPECT_EQ(queue.run_all(), 1);
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(ran_on, ui_thread);
    EXPECT_EQ(value, 42);

    // On the interface thread itself the call runs at once instead of waiting on itself.
    bool direct = false;
    EXPECT_TRUE(caller.call({}, [&] { direct = true; }));
    EXPECT_TRUE(direct);
}

TEST(UiThreadCallerTest, ShutdownWhileWorkersWaitDoesNotDeadlock) {
    TaskQueue queue;
    UiThreadCaller caller([&](std::function<void()> t) { queue.post(std::move(t)); });
    std::atomic<int> ran{0}, dropped{0}, calls{0};
    WorkerSlots pool;
    for (int slot : {0, 8, 19})
        ASSERT_TRUE(pool.start(slot, [&](std::stop_token token) {
            while (!token.stop_requested()) {
                ++calls;
                if (!caller.call(token, [&] { ++ran; })) ++dropped;
            }
        }));
    while (queue.size() < 3) std::this_thread::sleep_for(1ms);
    // The interface thread stops the workers without ever serving their calls.
    const auto t0 = Clock::now();
    caller.close();
    pool.stop_all();
    EXPECT_LT(Clock::now() - t0, 1s);
    EXPECT_EQ(dropped.load(), calls.load());
    // Tasks still queued are answered already; running them now does nothing.
    queue.run_all();
    EXPECT_EQ(ran.load(), 0);
    EXPECT_FALSE(caller.call({}, [&] { ++ran; }));  // closed
    EXPECT_EQ(ran.load(), 0);
}

TEST(UiThreadCallerTest, StopRequestDropsAPendingCall) {
    TaskQueue queue;
    UiThreadCaller caller([&](std::function<void()> t) { queue.post(std::move(t)); });
    std::atomic<bool> result{true};
    bool ran = false;
    std::jthread worker(
        [&](std::stop_token token) { result = caller.call(token, [&] { ran = true; }); });
    while (queue.size() == 0) std::this_thread::sleep_for(1ms);
    worker.request_stop();
    worker.join();
    EXPECT_FALSE(result);
    queue.run_all();
    EXPECT_FALSE(ran);
}

TEST(UiThreadCallerTest, ManyWorkersAgainstALiveInterfaceThread) {
    TaskQueue queue;
    UiThreadCaller caller([&](std::function<void()> t) { queue.post(std::move(t)); });
    int counter = 0;  // touched only on the interface thread
    std::atomic<int> done{0};
    std::vector<std::jthread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&](std::stop_token token) {
            for (int i = 0; i < 200; ++i) ASSERT_TRUE(caller.call(token, [&] { ++counter; }));
            ++done;
        });
    while (done.load() < 4) {
        queue.run_all();
        std::this_thread::yield();
    }
    workers.clear();
    EXPECT_EQ(counter, 800);
}

}  // namespace
}  // namespace tellune::ui
