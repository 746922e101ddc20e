// Cost of one rendered light frame per effect (14 LEDs, the mouse picture), and how often
// the light thread wakes up per second for a typical effect.

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "core/device/light_engine.h"
#include "core/device/light_thread.h"

namespace {

using tellune::LightEffectStep;
using tellune::LightSettings;
using tellune::device::LightEngine;
using tellune::device::LightThread;

constexpr size_t kLeds = 14;

LightEngine engine_for(uint8_t mode, uint8_t multi) {
    LightEngine e(kLeds);
    std::vector<LightEffectStep> steps(2);
    steps[0].mode = 4;
    steps[0].brightness = 4;
    steps[0].time = 500;
    steps[1].mode = 0;
    steps[1].multi_color = 1;
    steps[1].time = 500;
    e.apply_light_settings(LightSettings::make(mode, 4, 2, 1, multi, 200, 100, 50, 0), {}, steps,
                           0);
    return e;
}

// One effect run (what the thread does when a threshold is reached).
void BM_RenderFrame(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    LightEngine e = engine_for(mode, static_cast<uint8_t>(state.range(1)));
    uint32_t now = 1000;
    for (auto _ : state) {
        now += 5;
        switch (mode) {
            case 0:
                e.render_wave();
                break;
            case 1:
                e.render_ripple();
                break;
            case 2:
                e.render_spectrum();
                break;
            case 3:
                e.render_group_spectrum();
                break;
            case 4:
                e.render_breathing(false);
                break;
            case 5:
                e.render_static();
                break;
            case 9:
                e.render_breathing(true);
                break;
            case 10:
                e.render_blink(true, now);
                break;
            case 11:
                e.render_fixed_pattern();
                break;
            case 12:
                e.render_blink(false, now);
                break;
            default:
                e.run_step_player(now);
                break;
        }
        benchmark::DoNotOptimize(e.leds().data());
    }
}
BENCHMARK(BM_RenderFrame)
    ->ArgNames({"mode", "multi"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({3, 0})
    ->Args({4, 1})
    ->Args({5, 0})
    ->Args({9, 0})
    ->Args({10, 0})
    ->Args({11, 0})
    ->Args({12, 1})
    ->Args({8, 0});

// One simulated millisecond, threshold counting included.
void BM_Tick(benchmark::State& state) {
    LightEngine e = engine_for(static_cast<uint8_t>(state.range(0)), 1);
    uint32_t now = 0;
    for (auto _ : state) {
        e.tick(++now);
        benchmark::DoNotOptimize(e.leds().data());
    }
}
BENCHMARK(BM_Tick)->ArgName("mode")->Arg(0)->Arg(4)->Arg(8);

// Wake-ups per second of the light thread: breathing at medium speed (a step every 5 ms),
// spectrum at full speed (every 3 ms) and static.
void BM_LightThreadWakeUps(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    const auto speed = static_cast<uint8_t>(state.range(1));
    double per_second = 0;
    for (auto _ : state) {
        LightThread light(nullptr, kLeds);
        light.apply_light_settings(LightSettings::make(mode, 4, speed, 1, 0, 200, 100, 50, 0));
        light.start_light_thread();
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        light.stop_light_thread();
        per_second = static_cast<double>(light.wake_count());
    }
    state.counters["wakeups_per_s"] = per_second;
}
BENCHMARK(BM_LightThreadWakeUps)
    ->ArgNames({"mode", "speed"})
    ->Args({4, 2})
    ->Args({2, 4})
    ->Args({5, 2})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
