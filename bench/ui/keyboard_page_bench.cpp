// The running program with all four emulated devices and the keyboard page shown, the
// keyboard in per-key rainbow: every key of the picture changes with every preview, and
// every preview becomes a frame streamed to the keyboard. How much CPU that costs (goal:
// under 1.5 % of one core under X, under 0.6 % with the window hidden).
//
// Offscreen by default; under X: QT_QPA_PLATFORM=xcb xvfb-run ... tellune_ui_bench.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>

#include "bench/ui/program_bench.h"
#include "core/device/keyboard_light_engine.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "ui/app/device_option.h"
#include "ui/app/device_pages.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/program.h"
#include "ui/device/tarvex_devices.h"
#include "ui/profile/profile_bar.h"

namespace {

using namespace tellune::ui;
using namespace tellune::bench;

struct FourDevices {
    explicit FourDevices(const QString& settings)
        : language(source_folder() + "DefaultData/Language.config", source_folder() + "skin/",
                   settings) {
        backend->plug(tellune::emulator::make_mouse());
        backend->plug(keyboard);
        backend->plug(tellune::emulator::make_mouse_pad());
        backend->plug(tellune::emulator::make_headset());
        wnd = std::make_unique<CMainWnd>(language);
        pages = install_program_extensions(*wnd, backend);
        wnd->set_quit_handler([] {});
    }
    ~FourDevices() {
        wnd.reset();
        unregister_profile_controls();
    }
    CTarvexKeyboardDevice* keyboard_page() const {
        for (CTarvexUSBDevice* page : pages->Pages())
            if (auto* k = qobject_cast<CTarvexKeyboardDevice*>(page)) return k;
        return nullptr;
    }
    // Starts the window, waits for all four devices and shows the keyboard's page.
    bool start(benchmark::State& state, bool show) {
        if (!wnd->load()) {
            state.SkipWithError("main layout missing");
            return false;
        }
        wnd->init();
        if (show) wnd->show();
        QElapsedTimer t;
        t.start();
        while (pages->present_device_count() < 4 || !keyboard_page() ||
               !keyboard_page()->Protocol().light().running()) {
            if (t.elapsed() > 8000) {
                state.SkipWithError("the devices did not connect");
                return false;
            }
            run_for(5);
        }
        CTarvexKeyboardDevice* page = keyboard_page();
        pages->SelectDevice(pages->EntryOf(page), true, true);
        const tellune::LightSettings rainbow =
            tellune::LightSettings::make(tellune::device::kKbRainbow, 4, 4, 0, 0, 0, 0, 0, 0);
        page->set_light_settings(rainbow.word[0], rainbow.word[1], rainbow.word[2]);
        return wnd->current_page() == page;
    }

    LanguageManager language;
    std::shared_ptr<tellune::emulator::EmulatedBackend> backend =
        std::make_shared<tellune::emulator::EmulatedBackend>();
    std::shared_ptr<tellune::emulator::EmulatedDevice> keyboard =
        tellune::emulator::make_keyboard();
    std::unique_ptr<CMainWnd> wnd;
    DevicePages* pages = nullptr;
};

// First argument: milliseconds measured; second: 1 shown, 0 hidden (in the tray); third:
// 0 leaves the keyboard's lights to another program (no frames streamed), to tell the
// streaming's share from the rest.
void BM_KeyboardRainbowCpu(benchmark::State& state) {
    for (auto _ : state) {
        FourDevices program(scratch().filePath("tellune.conf"));
        if (!program.start(state, state.range(1) != 0)) return;
        if (!state.range(1)) program.wnd->hide();
        if (!state.range(2)) program.keyboard_page()->SetLightOutput(false);
        run_for(500);  // settle: first frames, first status polls
        PaintCounter picture_paints;
        QWidget* picture = program.keyboard_page()->PreviewControl();
        picture->installEventFilter(&picture_paints);
        const uint64_t frames_before = program.keyboard->light_frame_count();
        const std::map<int, ThreadCpu> threads_before = thread_cpu_ns();
        const double cpu_before = cpu_seconds();
        const auto start = std::chrono::steady_clock::now();
        run_for(int(state.range(0)));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpu_seconds() - cpu_before;
        state.SetIterationTime(wall);
        state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
        state.counters["picture_paints_per_second"] = picture_paints.paints / wall;
        state.counters["frames_to_keyboard_per_second"] =
            double(program.keyboard->light_frame_count() - frames_before) / wall;
        split_thread_cpu(state.counters, threads_before, wall);
        picture->removeEventFilter(&picture_paints);
    }
}
BENCHMARK(BM_KeyboardRainbowCpu)
    ->Args({10000, 1, 1})
    ->Args({10000, 0, 1})
    ->Args({10000, 0, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// One preview frame of the keyboard picture with every key changing colour, as per-key
// rainbow does: the frame into the keys, then the picture's paint. Offscreen this is the
// painting alone, without the display server's part; the figure to watch when the paint
// changes.
void BM_KeyboardPictureFrame(benchmark::State& state) {
    FourDevices program(scratch().filePath("tellune.conf"));
    if (!program.start(state, true)) return;
    CTarvexKeyboardDevice* page = program.keyboard_page();
    page->SetLightOutput(false);
    QWidget* picture = page->PreviewControl();
    uint32_t step = 0;
    for (auto _ : state) {
        for (int k = 0; k < page->LedCount(); ++k) {
            const QColor c =
                QColor::fromHsv(int((step + 33 * uint32_t(k + 1)) % 192 * 360 / 192), 255, 255);
            page->CTarvexUSBDevice::SetLedColour(k, uint32_t(c.red()) | uint32_t(c.green()) << 8 |
                                                        uint32_t(c.blue()) << 16 | 255u << 24);
        }
        ++step;
        // The page's own tick would take the engine's frame instead of the one set above.
        page->CTarvexUSBDevice::refresh_light_preview();
        picture->repaint();
    }
}
// FRAMES=N paints exactly N frames: two builds compared frame for frame.
const auto* kPictureFrame = [] {
    auto* b = benchmark::RegisterBenchmark("BM_KeyboardPictureFrame", BM_KeyboardPictureFrame);
    b->Unit(benchmark::kMicrosecond);
    if (const char* frames = std::getenv("FRAMES")) b->Iterations(std::max(1, std::atoi(frames)));
    return b;
}();

}  // namespace
