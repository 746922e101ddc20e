// The keyboard's light frames: one effect run over the 126 keys per mode, and what the
// interface thread pays per frame to build it from the LED colour list and hand it to the
// sender, against an emulated keyboard that takes a millisecond per report (the sender's
// thread pays the transfer).

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "core/device/keyboard_light_engine.h"
#include "core/device/keyboard_protocol.h"
#include "core/hid/command_channel.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"

namespace {

using tellune::LightSettings;
using tellune::device::KeyAction;
using tellune::device::KeyboardLightEngine;
using tellune::device::KeyboardProtocol;
using tellune::device::LedColour;

// One run of the effect of mode range(0) (several colours when range(1)).
void BM_KeyboardEffectRun(benchmark::State& state) {
    KeyboardLightEngine e(126);
    e.apply_light_settings(LightSettings::make(uint8_t(state.range(0)), 4, 4, 1,
                                               uint8_t(state.range(1)), 200, 100, 50, 0),
                           {}, {}, 0);
    uint32_t now = 0;
    size_t key = 0;
    for (auto _ : state) {
        // Keep the reactive modes busy with a press now and then.
        if (++now % 16 == 0) e.key_event((key += 7) % 126, KeyAction::down);
        e.run_effect(now);
        benchmark::DoNotOptimize(e.leds().data());
    }
}
BENCHMARK(BM_KeyboardEffectRun)
    ->Args({0, 1})    // column wave
    ->Args({4, 0})    // per-key rainbow
    ->Args({9, 1})    // sparkle
    ->Args({12, 0})   // trace
    ->Args({16, 1})   // twinkle
    ->Args({19, 1})   // reactive ripple
    ->Args({20, 0})   // reactive splash
    ->Args({25, 0});  // zones

// Build + hand-over of one frame on the interface thread; range(0) frames per second offered
// (the preview's 20, and as fast as possible).
void BM_KeyboardFrameHandOver(benchmark::State& state) {
    tellune::emulator::EmulatedBackend backend;
    auto keyboard = tellune::emulator::make_keyboard();
    backend.plug(keyboard);
    tellune::hid::CCommandChannel channel(backend);
    if (!channel.Connect(tellune::emulator::interface_paths(*keyboard)[3])) {
        state.SkipWithError("emulated keyboard not opened");
        return;
    }
    KeyboardProtocol protocol(channel);
    if (protocol.connect_device() != 1) {
        state.SkipWithError("emulated keyboard not connected");
        return;
    }
    keyboard->set_latency(std::chrono::milliseconds(1));
    KeyboardLightEngine engine(126);
    engine.apply_light_settings(LightSettings::make(4, 4, 4, 0, 0, 0, 0, 0, 0), {}, {}, 0);
    const auto pause = state.range(0) > 0 ? std::chrono::microseconds(1000000 / state.range(0))
                                          : std::chrono::microseconds(0);
    uint32_t now = 0;
    double busy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        engine.run_effect(++now);
        const std::vector<LedColour> frame = engine.leds();
        state.ResumeTiming();
        const auto before = std::chrono::steady_clock::now();
        protocol.stream_frame(frame);
        busy += std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
        if (pause.count()) {
            state.PauseTiming();
            std::this_thread::sleep_for(pause);
            state.ResumeTiming();
        }
    }
    const auto counts = protocol.sender().counts();
    state.counters["hand_over_us"] = 1e6 * busy / double(state.iterations());
    state.counters["sent"] = double(counts.sent);
    state.counters["dropped"] = double(counts.dropped);
    protocol.sender().stop();
}
BENCHMARK(BM_KeyboardFrameHandOver)->Arg(20)->Iterations(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyboardFrameHandOver)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
