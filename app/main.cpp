// Process entry: options, single instance, fonts, the main window.

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>

#include "core/platform/platform.h"
#include "ui/app/app_options.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/private_fonts.h"
#include "ui/app/single_instance.h"

namespace {

void print_usage() {
    std::printf(
        "Usage: tellune [--emulate] [--version]\n"
        "  --emulate   start on the emulated devices\n"
        "  --version   print the version and exit\n");
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
    {
        CMainWnd wnd(language);
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
