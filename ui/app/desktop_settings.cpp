#include "ui/app/desktop_settings.h"

#include <QProcess>
#include <QStandardPaths>
#include <QThreadPool>
#include <array>

#include "core/platform/platform.h"

namespace tellune::ui {
namespace {

struct Candidate {
    const char* desktop;  // matched against $XDG_CURRENT_DESKTOP, case ignored
    const char* program;
    const char* mouse_argument;
    const char* keyboard_argument;
};

// Separate settings programs first; a combined one takes the page as its argument.
constexpr std::array<Candidate, 5> kCandidates = {{
    {"GNOME", "gnome-control-center", "mouse", "keyboard"},
    {"KDE", "kcmshell5", "kcm_mouse", "kcm_keyboard"},
    {"KDE", "systemsettings", "kcm_mouse", "kcm_keyboard"},
    {"XFCE", "xfce4-mouse-settings", nullptr, nullptr},
    {"XFCE", "xfce4-keyboard-settings", nullptr, nullptr},
}};

std::optional<QStringList> command_of(const Candidate& c, InputSettings which,
                                      const std::function<QString(const QString&)>& find) {
    const QString program = QString::fromLatin1(c.program);
    // Xfce has one program per device.
    if (!c.mouse_argument) {
        const bool for_mouse = program.contains(QLatin1String("mouse"));
        if (for_mouse != (which == InputSettings::mouse)) return std::nullopt;
    }
    const QString path = find(program);
    if (path.isEmpty()) return std::nullopt;
    QStringList command{path};
    if (c.mouse_argument)
        command << QString::fromLatin1(which == InputSettings::mouse ? c.mouse_argument
                                                                     : c.keyboard_argument);
    return command;
}

}  // namespace

std::optional<QStringList> desktop_settings_command(
    InputSettings which, const QString& desktop,
    const std::function<QString(const QString&)>& find) {
    // The running desktop's own program first, then whatever else is installed.
    for (bool own : {true, false}) {
        for (const Candidate& c : kCandidates) {
            const bool mine = desktop.contains(QLatin1String(c.desktop), Qt::CaseInsensitive);
            if (mine != own) continue;
            if (auto command = command_of(c, which, find)) return command;
        }
    }
    return std::nullopt;
}

void open_desktop_settings(InputSettings which) {
    QThreadPool::globalInstance()->start([which] {
        const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
        const auto command = desktop_settings_command(which, desktop, [](const QString& name) {
            return QStandardPaths::findExecutable(name);
        });
        if (!command) {
            debug_line("没有找到系统的鼠标或键盘设置程序");
            return;
        }
        QStringList arguments = *command;
        const QString program = arguments.takeFirst();
        if (!QProcess::startDetached(program, arguments))
            debug_printf("启动失败：%s", program.toLocal8Bit().constData());
    });
}

}  // namespace tellune::ui
