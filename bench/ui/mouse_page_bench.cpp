// The running program with the emulated mouse: how long from the mouse's arrival until its
// page shows the profile, and how much CPU the window costs while the page is shown and the
// mouse's light effect animates (goal: under 1% of one core).
//
// Runs offscreen with its own scratch data folder; the program data comes from the source
// tree. Usage: tellune_ui_bench [--benchmark_filter=...]

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>

#include "bench/ui/program_bench.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "ui/app/device_pages.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/program.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_devices.h"
#include "ui/profile/profile_bar.h"

namespace {

using namespace tellune::ui;
using namespace tellune::bench;

// The program's window over one emulated mouse.
struct Program {
    explicit Program(const QString& settings)
        : language(source_folder() + "DefaultData/Language.config", source_folder() + "skin/",
                   settings) {
        backend->plug(mouse);
        wnd = std::make_unique<CMainWnd>(language);
        pages = install_program_extensions(*wnd, backend);
        wnd->set_quit_handler([] {});
    }
    ~Program() {
        wnd.reset();
        unregister_profile_controls();
    }
    // True once the mouse page is shown, connected and filled from the profile.
    bool page_ready() const {
        auto* page = qobject_cast<CTarvexMouseDevice*>(wnd->current_page());
        if (!page || !page->Config().IsOpen() || !page->Protocol().has_key_table()) return false;
        auto* edit = page->findChild<QLineEdit*>(QStringLiteral("DPI_edit_0"));
        return edit && !edit->text().isEmpty();
    }
    // Loads and starts the window (shown or not) and waits for the filled page; false, with
    // the benchmark marked skipped, when that fails. `started`: when the start began.
    bool start(benchmark::State& state, bool show,
               std::chrono::steady_clock::time_point* started = nullptr) {
        if (!wnd->load()) {
            state.SkipWithError("main layout missing");
            return false;
        }
        if (started) *started = std::chrono::steady_clock::now();
        wnd->init();
        if (show) wnd->show();
        if (!wait_ready(5000)) {
            state.SkipWithError("the mouse page did not fill");
            return false;
        }
        return true;
    }
    bool wait_ready(int limit_ms) const {
        QElapsedTimer t;
        t.start();
        while (!page_ready()) {
            if (t.elapsed() > limit_ms) return false;
            run_for(2);
        }
        return true;
    }

    LanguageManager language;
    std::shared_ptr<tellune::emulator::EmulatedBackend> backend =
        std::make_shared<tellune::emulator::EmulatedBackend>();
    std::shared_ptr<tellune::emulator::EmulatedDevice> mouse = tellune::emulator::make_mouse();
    std::unique_ptr<CMainWnd> wnd;
    DevicePages* pages = nullptr;
};

// From the window's start (the first scan pass finds the mouse already plugged) until the
// page shows the profile: scan, bind, first contact, profile list, profile load, page fill.
void BM_ArrivalToPage(benchmark::State& state) {
    for (auto _ : state) {
        Program program(scratch().filePath("tellune.conf"));
        std::chrono::steady_clock::time_point start;
        if (!program.start(state, false, &start)) return;
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_ArrivalToPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// CPU of the whole process with the page shown and the spectrum effect (the shipped
// profile's) animating: the scan thread, the light thread, the input thread, the status poll
// and the interface thread together. First argument: milliseconds measured (10 s, and 30 s
// for a steadier figure); second argument 0: the window is hidden (in the tray); third
// argument 0: a static light instead of the animated spectrum. Offscreen the display costs
// nothing; under X (QT_QPA_PLATFORM=xcb) Qt's backing store adds its own per-frame work.
void BM_IdleCpuWithAnimatedPage(benchmark::State& state) {
    for (auto _ : state) {
        Program program(scratch().filePath("tellune.conf"));
        if (!program.start(state, state.range(1) != 0)) return;
        if (state.range(2) == 0) {
            // A static light: the picture stops changing, which leaves the rest's share.
            auto* page = qobject_cast<CTarvexMouseDevice*>(program.wnd->current_page());
            const tellune::LightSettings still =
                tellune::LightSettings::make(5, 4, 2, 0, 0, 0x20, 0x90, 0xFF, 0);
            page->set_light_settings(still.word[0], still.word[1], still.word[2]);
        }
        if (!state.range(1)) program.wnd->hide();  // in the tray
        run_for(500);                              // settle: first frames, first status poll
        // The LEDs are drawn by the picture they sit on: its paints are the frames shown.
        PaintCounter picture_paints;
        if (auto* led = program.wnd->current_page()->findChild<CDeviceKeyButtonUI*>(
                QStringLiteral("light_0")))
            led->parentWidget()->installEventFilter(&picture_paints);
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
        // The interface thread's share against the rest (scan, light, input, status).
        split_thread_cpu(state.counters, threads_before, wall);
    }
}
BENCHMARK(BM_IdleCpuWithAnimatedPage)
    ->Args({10000, 1, 1})
    ->Args({30000, 1, 1})
    ->Args({10000, 0, 1})
    ->Args({10000, 1, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    // Offscreen unless told otherwise (e.g. QT_QPA_PLATFORM=xcb under xvfb-run).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TELLUNE_DATA_DIR", TELLUNE_SOURCE_DIR "/");
    if (!scratch().isValid()) return 1;
    qputenv("XDG_DATA_HOME", scratch().path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
