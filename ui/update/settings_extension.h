#pragma once
// Opens the settings window from the title bar ("setbtn"), the tray menu ("setwnd_menu")
// and message 3093; hands it the language changes of the main window and the messages
// other programs send it; builds the update list's entries from the connected devices.

#include <QPointer>
#include <QString>
#include <vector>

#include "core/update/update_check.h"
#include "ui/app/shell_extension.h"
#include "ui/update/set_wnd.h"

namespace tellune::ui {

class DevicePages;

// The update entries: the program itself, then one per device kind in the device-kind
// table's order, with the current version of a connected device of that kind (0 when none
// is connected, which sends the "NULL" key).
std::vector<update::UpdateEntry> update_entries(const DevicePages* pages);

// The service to ask: TELLUNE_UPDATE_URL, else "UPDATE_URL" of the settings file;
// TELLUNE_UPDATE_CA names a certificate file to trust instead of the system's store.
UpdateServiceConfig update_service_config(const QString& settings_path);

class SettingsExtension : public ShellExtension {
public:
    explicit SettingsExtension(DevicePages* pages) : pages_(pages) {}
    ~SettingsExtension() override;

    void window_init(CMainWnd& wnd) override;
    void reload_texts() override;
    void close_child_windows() override;
    void shutdown() override;
    bool forward_to_settings(int wparam, int lparam) override;

    // Opens the window (or raises the open one). `centred`: in the middle of the screen
    // and application-modal (message 3093), else beside the main window's title bar.
    CSetWnd* open(bool centred);
    CSetWnd* window() const { return wnd_set_; }

private:
    CMainWnd* wnd_ = nullptr;
    DevicePages* pages_;
    QPointer<CSetWnd> wnd_set_;
};

}  // namespace tellune::ui
