// Our own cost per command exchange, per 512-byte block write and per scan pass, measured
// against the emulator at zero latency (a full-speed interrupt endpoint takes 1 ms a report).

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "core/hid/command_channel.h"
#include "core/hid/device_slots.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"

namespace {

using tellune::emulator::EmulatedBackend;
using tellune::emulator::interface_paths;
using tellune::emulator::make_mouse;
using tellune::hid::CCommandChannel;

// The vendor collection (configuration interface) of a freshly plugged mouse.
struct MouseChannel {
    EmulatedBackend backend;
    std::shared_ptr<tellune::emulator::EmulatedDevice> mouse;
    CCommandChannel channel{backend};

    // `block_area`: size of the area command 9 writes (the key table of the product).
    explicit MouseChannel(size_t block_area = 0) {
        auto config = tellune::emulator::mouse_config();
        if (block_area) config.key_table.resize(block_area);
        mouse = std::make_shared<tellune::emulator::EmulatedDevice>(std::move(config));
        backend.plug(mouse);
        for (const auto& path : interface_paths(*mouse))
            if (path.find("&col04") != std::string::npos) channel.Connect(path);
    }
};

void BM_SimpleExchange(benchmark::State& state) {
    MouseChannel m;
    if (!m.channel.IsOpen()) state.SkipWithError("cannot open the emulated mouse");
    for (auto _ : state) {
        if (m.channel.SimpleCommand28() != 1) state.SkipWithError("exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimpleExchange);

// A block of the largest size the channel takes: 10 exchanges.
void BM_WriteBlock512(benchmark::State& state) {
    MouseChannel m(512);
    std::array<uint8_t, 512> block{};
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 7);
    for (auto _ : state) {
        if (m.channel.WriteBlock(block, 0) != 1) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 512);
}
BENCHMARK(BM_WriteBlock512);

void BM_LightFrame(benchmark::State& state) {
    MouseChannel m;
    std::vector<uint8_t> frame(8 * 3, 0x40);
    for (auto _ : state) {
        if (m.channel.WriteLightFrame(frame) != 1) state.SkipWithError("frame failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LightFrame);

// Sixteen mice of four collections each: 64 interfaces enumerated, parsed and matched on
// every pass (the keyboard, pad and headset slots stay free, so no pass is skipped).
void BM_ScanPass64Interfaces(benchmark::State& state) {
    EmulatedBackend backend;
    for (int i = 0; i < 16; ++i) backend.plug(make_mouse(i));
    if (backend.enumerate().size() != 64) state.SkipWithError("expected 64 interfaces");
    tellune::hid::DeviceScanner scanner(backend, {});
    scanner.ScanOnce();  // binds the first mouse
    for (auto _ : state) scanner.ScanOnce();
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_ScanPass64Interfaces);

}  // namespace
