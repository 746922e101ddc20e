#pragma once
// The desktop's own mouse and keyboard settings: the "windowdeviceset_" buttons open them when
// the desktop ships such a program (GNOME, KDE Plasma, Xfce) and do nothing otherwise.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tellune::ui {

enum class InputSettings { keyboard, mouse };

// Program and arguments to run, or nothing when no known settings program is installed.
// `find` looks a program up on the PATH; `desktop` is $XDG_CURRENT_DESKTOP, which decides
// which desktop's program is tried first.
std::optional<QStringList> desktop_settings_command(
    InputSettings which, const QString& desktop,
    const std::function<QString(const QString&)>& find);

// Starts the settings program from a pool thread, so a slow start never holds up the window.
void open_desktop_settings(InputSettings which);

}  // namespace tellune::ui
