// The synchronised light: the step sequence of each effect over a simulated clock (colours
// worked out by hand from the colour wheel and breathing curve), and the thread that draws
// it: prompt stop, no busy polling, waking.

#include "core/device/light_sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/platform.h"

namespace tellune::device {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

SyncLightSettings choice(uint8_t effect, uint8_t speed, uint8_t level, uint8_t direction,
                         uint8_t multi, uint8_t r, uint8_t g, uint8_t b) {
    return {effect, speed, level, direction, multi, r, g, b};
}

// Runs `count` steps, one per period, from t = 0; returns the colours.
std::vector<uint32_t> run_steps(SyncStepGenerator& gen, int count, uint32_t start = 0) {
    std::vector<uint32_t> out;
    uint32_t t = start;
    for (int i = 0; i < count; ++i, t += gen.period_ms()) out.push_back(gen.step(t));
    return out;
}

TEST(SyncSettingsTest, TakenFromDeviceLightSettings) {
    // Spectrum choice of a keyboard: Light 3, Speed 7 (clamped), Fx 1, multi, 10/20/30.
    const LightSettings device = LightSettings::make(1, 3, 7, 1, 1, 10, 20, 30, 5);
    EXPECT_EQ(make_sync_settings(3, device), choice(3, 4, 195, 1, 1, 10, 20, 30));
    // Brightness steps beyond 4 use the brightest level.
    EXPECT_EQ(make_sync_settings(1, LightSettings::make(3, 9, 0, 0, 0, 1, 2, 3, 0)).level, 255);
    EXPECT_EQ(make_sync_settings(1, LightSettings::make(3, 1, 0, 0, 0, 1, 2, 3, 0)).level, 60);
}

TEST(SyncStepTest, StaticAndOff) {
    SyncStepGenerator gen;
    gen.reset(choice(1, 0, 135, 0, 0, 0x12, 0x34, 0x56), 0);
    EXPECT_EQ(gen.period_ms(), 7u);
    for (uint32_t c : run_steps(gen, 5)) EXPECT_EQ(c, 0x87563412u);
    gen.reset(choice(4, 4, 255, 0, 1, 255, 255, 255), 0);
    EXPECT_EQ(gen.period_ms(), 5u);
    for (uint32_t c : run_steps(gen, 5)) EXPECT_EQ(c, 0u);
}

TEST(SyncStepTest, BreathingFollowsTheCurveUpAndDown) {
    SyncStepGenerator gen;
    // Red at level 255, direction up (Fx 1), speed 2: one step every 3 ms.
    gen.reset(choice(0, 2, 255, 1, 0, 255, 0, 0), 0);
    EXPECT_EQ(gen.period_ms(), 3u);
    const std::vector<uint32_t> steps = run_steps(gen, 130);
    // Curve 1, 2, 10 at steps 1, 2, 10: 255 * c >> 8 = 0, 1, 9.
    EXPECT_EQ(steps[0], 0x000000FFu);
    EXPECT_EQ(steps[1], 0x010000FFu);
    EXPECT_EQ(steps[9], 0x090000FFu);
    // Step 64 is the top of the curve (255): 254.
    EXPECT_EQ(steps[63], 0xFE0000FFu);
    // Step 127 is 0 again, then the count wraps to 0 and 1.
    EXPECT_EQ(steps[126], 0x000000FFu);
    EXPECT_EQ(gen.breathing_step(), 2);

    // Down from 0 wraps to 127 (curve 0), then 126 (curve 1); level 195 at step 40 (curve
    // 114): 195 * 114 >> 8 = 86.
    gen.reset(choice(0, 0, 195, 0, 0, 0, 0, 200), 0);
    const std::vector<uint32_t> down = run_steps(gen, 88);
    EXPECT_EQ(down[0], 0x00C80000u);
    EXPECT_EQ(down[1], 0x00C80000u);
    EXPECT_EQ(down[87], 0x56C80000u);  // step 127 - 87 = 40
}

TEST(SyncStepTest, BreathingWithSeveralColoursMovesTheWheelAtTheBottom) {
    SyncStepGenerator gen;
    gen.reset(choice(0, 4, 255, 1, 1, 1, 2, 3), 0);
    const std::vector<uint32_t> steps = run_steps(gen, 130);
    // Step 1 (< 2): index 16 = (255, 81, 0); level 255 * 1 >> 8 = 0.
    EXPECT_EQ(steps[0] & 0xFFFFFF, 0x0051FFu);
    // Steps 2..127 keep it; step 64 at the top: level 254.
    EXPECT_EQ(steps[63], 0xFE0051FFu);
    // Step 128 = 0 (< 2): index 32 = (248, 255, 0); step 129 = 1: index 48 = (69, 255, 0).
    EXPECT_EQ(steps[127] & 0xFFFFFF, 0x00FFF8u);
    EXPECT_EQ(steps[128] & 0xFFFFFF, 0x00FF45u);
    EXPECT_EQ(steps[129] & 0xFFFFFF, 0x00FF45u);
    EXPECT_EQ(gen.colour_index(), 48);
}

TEST(SyncStepTest, BlinkTogglesEveryThresholdTimes200Ms) {
    SyncStepGenerator gen;
    // Speed 2: step every 3 ms, toggle every 600 ms; several colours.
    gen.reset(choice(2, 2, 195, 0, 1, 9, 9, 9), 1000);
    EXPECT_EQ(gen.period_ms(), 3u);
    // First step lights at once with index 14 = (255, 65, 0) at level 195.
    EXPECT_EQ(gen.step(1000), 0xC30041FFu);
    EXPECT_EQ(gen.step(1597), 0xC30041FFu);
    EXPECT_EQ(gen.step(1600), 0u);  // 600 ms later: off, index 28
    EXPECT_EQ(gen.colour_index(), 28);
    EXPECT_EQ(gen.step(2199), 0u);
    // Index 42 = (124, 255, 0).
    EXPECT_EQ(gen.step(2200), 0xC300FF7Cu);

    // Thirteen toggles reach index 182; the fourteenth would pass 192 and goes back to 0.
    gen.reset(choice(2, 4, 255, 0, 1, 0, 0, 0), 0);
    uint32_t t = 0;
    for (int i = 0; i < 13; ++i, t += 200) gen.step(t);
    EXPECT_EQ(gen.colour_index(), 182);
    gen.step(t);
    EXPECT_EQ(gen.colour_index(), 0);

    // One colour: the chosen colour while on.
    gen.reset(choice(2, 0, 60, 0, 0, 0xAA, 0xBB, 0xCC), 0);
    EXPECT_EQ(gen.period_ms(), 5u);
    EXPECT_EQ(gen.step(0), 0x3CCCBBAAu);
    EXPECT_EQ(gen.step(999), 0x3CCCBBAAu);
    EXPECT_EQ(gen.step(1000), 0u);
}

TEST(SyncStepTest, SpectrumWalksTheWheel) {
    SyncStepGenerator gen;
    gen.reset(choice(3, 1, 60, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(gen.period_ms(), 6u);
    const std::vector<uint32_t> steps = run_steps(gen, 193);
    EXPECT_EQ(steps[0], 0x3C0003FFu);    // index 1 = (255, 3, 0)
    EXPECT_EQ(steps[31], 0x3C00FFF8u);   // index 32 = (248, 255, 0)
    EXPECT_EQ(steps[190], 0x3C0000FFu);  // index 191 = (255, 0, 0)
    EXPECT_EQ(steps[191], 0x3C0001FFu);  // back to index 0 = (255, 1, 0)
    EXPECT_EQ(steps[192], 0x3C0003FFu);
}

// --- the runner ---

class DebugLines {
public:
    DebugLines() {
        set_debug_sink([this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        });
    }
    ~DebugLines() { set_debug_sink(nullptr); }
    int count(const std::string& line) const {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const std::string& l : lines_) n += l == line;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

struct Target {
    std::atomic<bool> active{false};
    std::atomic<uint32_t> last{0xDEADBEEF};
    std::atomic<int> draws{0};
    LightSyncRunner::Callbacks callbacks() {
        return {[this] { return active.load(); },
                [this](uint32_t c) {
                    last = c;
                    ++draws;
                }};
    }
};

template <typename Pred>
bool wait_for(Pred pred, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return pred();
}

TEST(LightSyncRunnerTest, IdleRunnerSleepsAndStopsPromptly) {
    DebugLines debug;
    SyncLightStore store;
    Target target;
    LightSyncRunner runner(target.callbacks(), store);
    runner.start();
    std::this_thread::sleep_for(300ms);
    // One look, then the long idle wait: no polling while no device waits.
    EXPECT_LE(runner.wake_count(), 2u);
    EXPECT_EQ(target.draws.load(), 0);
    const auto begin = Clock::now();
    runner.stop();
    EXPECT_LT(Clock::now() - begin, 200ms);
    EXPECT_FALSE(runner.running());
    EXPECT_EQ(debug.count("同步灯光线程设定退出"), 1);
}

TEST(LightSyncRunnerTest, WakingAnIdleRunnerStartsDrawingAtOnce) {
    SyncLightStore store;
    store.set(choice(1, 4, 255, 0, 0, 0, 0xFF, 0));
    Target target;
    LightSyncRunner runner(target.callbacks(), store);
    runner.start();
    ASSERT_TRUE(wait_for([&] { return runner.wake_count() >= 1; }, 500ms));
    target.active = true;
    const auto begin = Clock::now();
    runner.wake();
    // Far sooner than the 1000 ms idle wait.
    ASSERT_TRUE(wait_for([&] { return target.draws.load() > 0; }, 500ms));
    EXPECT_LT(Clock::now() - begin, 500ms);
    EXPECT_EQ(target.last.load(), 0xFF00FF00u);

    // A new choice is drawn without waiting for the old one's steps to run out.
    store.set(choice(1, 4, 60, 0, 0, 0, 0, 0xFF));
    runner.wake();
    EXPECT_TRUE(wait_for([&] { return target.last.load() == 0x3CFF0000u; }, 500ms));

    // No longer active: drawing stops.
    target.active = false;
    runner.wake();
    std::this_thread::sleep_for(50ms);
    const int draws = target.draws.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(target.draws.load(), draws);
    runner.stop();
}

TEST(LightSyncRunnerTest, ActiveRunnerWakesOncePerStepNotEveryMillisecond) {
    SyncLightStore store;
    // Spectrum at speed 0: a step every 7 ms.
    store.set(choice(3, 0, 255, 0, 0, 0, 0, 0));
    Target target;
    target.active = true;
    LightSyncRunner runner(target.callbacks(), store);
    const auto begin = Clock::now();
    runner.start();
    std::this_thread::sleep_for(350ms);
    const auto stop_begin = Clock::now();
    runner.stop();
    const auto stopped = Clock::now();
    EXPECT_LT(stopped - stop_begin, 100ms);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(stopped - begin).count();
    const uint64_t steps = runner.step_count();
    EXPECT_GE(steps, 10u);                   // it does draw (loose for loaded machines)
    EXPECT_LE(steps, uint64_t(ms / 7 + 2));  // never faster than the threshold
    // One pass per step, plus a few for the start and the stop.
    EXPECT_LE(runner.wake_count(), steps + 3);
    EXPECT_EQ(target.draws.load(), int(steps));
}

TEST(LightSyncRunnerTest, RunsOnAWorkerThreadUntilItsTokenStops) {
    DebugLines debug;
    SyncLightStore store;
    store.set(choice(4, 0, 0, 0, 0, 0, 0, 0));
    Target target;
    target.active = true;
    LightSyncRunner runner(target.callbacks(), store);
    std::jthread worker([&](std::stop_token token) { runner.run(token); });
    ASSERT_TRUE(wait_for([&] { return target.draws.load() >= 3; }, 1000ms));
    EXPECT_EQ(target.last.load(), 0u);
    const auto begin = Clock::now();
    worker.request_stop();
    worker.join();
    EXPECT_LT(Clock::now() - begin, 100ms);
    EXPECT_EQ(debug.count("同步灯光线程设定退出"), 1);
}

TEST(LightSyncRunnerTest, ConcurrentChoicesAndWakesAreSafe) {
    SyncLightStore store;
    Target target;
    target.active = true;
    LightSyncRunner runner(target.callbacks(), store);
    runner.start();
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < 200; ++i) {
                store.set(choice(uint8_t((w + i) % 5), uint8_t(i % 5), 255, 0, 1, 1, 2, 3));
                runner.wake();
                if (i % 20 == 0) target.active = !target.active;
            }
        });
    for (std::thread& t : writers) t.join();
    target.active = true;
    runner.wake();
    runner.stop();
    EXPECT_GT(store.generation(), 599u);
    EXPECT_FALSE(runner.running());
}

}  // namespace
}  // namespace tellune::device
