// Process entry: options, single instance, fonts, the main window.

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/audio/audio_library.h"
#include "core/hid/device_slots.h"
#include "core/hid/hidraw_backend.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "emulator/emulated_backend.h"
#include "emulator/fault_spec.h"
#include "emulator/products.h"
#include "ui/app/app_options.h"
#include "ui/app/device_pages.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/private_fonts.h"
#include "ui/app/program.h"
#include "ui/app/single_instance.h"

namespace {

void print_usage() {
    std::printf(
        "Usage: tellune [--emulate] [--version]\n"
        "  --emulate   start on the emulated devices\n"
        "  --version   print the version and exit\n");
}

// Real devices through hidraw; the emulated demo devices when asked to, or when a first
// scan finds no supported device at all, so the program always has something to show.
std::shared_ptr<tellune::hid::HidBackend> choose_backend(bool emulate) {
    if (!emulate) {
        auto hidraw = std::make_shared<tellune::hid::HidrawBackend>();
        int found = 0;
        tellune::hid::DeviceScanner probe(*hidraw, {[&found](int) { ++found; }, {}, {}, {}});
        probe.ScanOnce();
        if (found > 0) {
            tellune::debug_printf("devices: hidraw (%d interfaces found)", found);
            if (const char* faults = std::getenv(tellune::emulator::kFaultsVariable);
                faults && *faults)
                std::fprintf(stderr, "%s: ignored, the program runs on real devices\n",
                             tellune::emulator::kFaultsVariable);
            return hidraw;
        }
        // A device is there but may not be opened: the window says why, rather than
        // quietly showing the emulated devices instead of the user's own.
        if (!probe.DeniedNodes().empty()) {
            tellune::debug_line("devices: hidraw (supported devices found, access refused)");
            return hidraw;
        }
        tellune::debug_line("devices: no supported device on hidraw, using the emulated devices");
    } else {
        tellune::debug_line("devices: emulated (--emulate)");
    }
    // The emulated headset's sound goes to the emulated chip.
    tellune::ui::app_options().audio_library = std::string(tellune::audio::kEmulatedLibraryName);
    // One of each product, the mouse plugged first so that its page is the one shown. Like
    // real devices they keep what was written to them from one run to the next.
    auto demo = std::make_shared<tellune::emulator::EmulatedBackend>();
    demo->plug(tellune::emulator::make_mouse());
    demo->plug(tellune::emulator::make_keyboard());
    demo->plug(tellune::emulator::make_mouse_pad());
    demo->plug(tellune::emulator::make_headset());
    const std::string state = tellune::application_data_folder() + "emulated/";
    std::error_code ec;
    std::filesystem::create_directories(state, ec);
    if (std::filesystem::is_directory(state, ec)) tellune::emulator::keep_states(*demo, state);
    // A rule that does not parse is reported and left out; the program starts regardless.
    for (const std::string& line : tellune::emulator::apply_faults_from_environment(*demo))
        std::fprintf(stderr, "%s\n", line.c_str());
    return demo;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tellune::ui;
    const QString title = QString::fromUtf8(tellune::kApplicationTitle.data(),
                                            int(tellune::kApplicationTitle.size()));
    // Options that need no display are answered before Qt looks for one.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--version") {
            std::printf("%s %s\n", tellune::kApplicationTitle.data(),
                        tellune::program_version().data());
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            print_usage();
            return 0;
        }
        if (arg == "--emulate") {
            app_options().emulate = true;
        }
        // Anything else is left to Qt (-platform, -style, ...).
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(title);
    QApplication::setOrganizationName(title);
    QApplication::setApplicationVersion(QString::fromUtf8(tellune::program_version().data(),
                                                          int(tellune::program_version().size())));
    // The window lives on in the tray when closed.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::default_lock_path(),
                            SingleInstance::default_server_name());
    switch (instance.claim()) {
        case SingleInstance::Result::First:
            break;
        case SingleInstance::Result::HandedOver:
            tellune::debug_line("already running: asked it to come forward");
            return 0;
        case SingleInstance::Result::Unreachable:
            tellune::debug_line("already running, but it does not answer");
            return 0;
    }

    // Only now is no other instance writing our files: what a killed write left is stale.
    tellune::remove_stale_data_temporaries();

    const QString data = QString::fromStdString(tellune::program_data_folder());
    PrivateFonts fonts;
    fonts.register_all(data + "Font/");

    const QString skin = data + "skin/";
    LanguageManager language(LanguageManager::default_config_path(), skin,
                             LanguageManager::default_settings_path());
    QFile style(skin + "style/dark.qss");
    if (style.open(QIODevice::ReadOnly)) {
        const QString css = QString::fromUtf8(style.readAll());
        language.fonts().set_base_style_sheet(css);
        app.setStyleSheet(css);
    }
    const std::shared_ptr<tellune::hid::HidBackend> backend = choose_backend(app_options().emulate);
    {
        CMainWnd wnd(language);
        install_program_extensions(wnd, backend);
        if (!wnd.load()) {
            tellune::debug_line("main layout missing");
            return 0;
        }
        QObject::connect(&instance, &SingleInstance::show_requested, &wnd,
                         [&wnd] { wnd.post_message(kMsgShowYourself, 0, 1); });
        wnd.init();
        QApplication::exec();
        wnd.shutdown();
    }
    fonts.remove_all();
    return 0;
}
