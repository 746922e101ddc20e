// Which desktop settings program the "windowdeviceset_" buttons start.

#include "ui/app/desktop_settings.h"

#include <gtest/gtest.h>

#include <QSet>

namespace tellune::ui {
namespace {

// A PATH holding exactly `installed`.
std::function<QString(const QString&)> path_with(QSet<QString> installed) {
    return [installed](const QString& name) {
        return installed.contains(name) ? "/usr/bin/" + name : QString();
    };
}

TEST(DesktopSettings, RunningDesktopComesFirstThenAnyInstalledOne) {
    const auto all = path_with(
        {"gnome-control-center", "kcmshell5", "xfce4-mouse-settings", "xfce4-keyboard-settings"});
    EXPECT_EQ(desktop_settings_command(InputSettings::mouse, "KDE", all),
              QStringList({"/usr/bin/kcmshell5", "kcm_mouse"}));
    EXPECT_EQ(desktop_settings_command(InputSettings::keyboard, "ubuntu:GNOME", all),
              QStringList({"/usr/bin/gnome-control-center", "keyboard"}));
    EXPECT_EQ(desktop_settings_command(InputSettings::keyboard, "XFCE", all),
              QStringList({"/usr/bin/xfce4-keyboard-settings"}));
    EXPECT_EQ(desktop_settings_command(InputSettings::mouse, "XFCE", all),
              QStringList({"/usr/bin/xfce4-mouse-settings"}));
    // Another desktop, or none: the first installed program still serves.
    EXPECT_EQ(desktop_settings_command(InputSettings::mouse, "", all),
              QStringList({"/usr/bin/gnome-control-center", "mouse"}));
}

TEST(DesktopSettings, NothingInstalledOpensNothing) {
    EXPECT_FALSE(desktop_settings_command(InputSettings::mouse, "GNOME", path_with({})));
    // Xfce's mouse program never stands in for its keyboard one.
    EXPECT_FALSE(desktop_settings_command(InputSettings::keyboard, "XFCE",
                                          path_with({"xfce4-mouse-settings"})));
    EXPECT_EQ(
        desktop_settings_command(InputSettings::keyboard, "KDE", path_with({"systemsettings"})),
        QStringList({"/usr/bin/systemsettings", "kcm_keyboard"}));
}

}  // namespace
}  // namespace tellune::ui
