#pragma once
// The main window's side of the profile bars: the routes of the profile buttons, timer 1055
// that applies the chosen profile to the current page's device, and the start of every bar
// from its page's device kind. Every handler acts on the bar of the current device page and
// does nothing when no page is shown.

#include <QString>
#include <functional>

#include "ui/app/shell_extension.h"

class QWidget;

namespace tellune::ui {

class CDeviceProfileUI;
class CTarvexUSBDevice;

class ProfileBar : public ShellExtension {
public:
    // A message box by text id; 1 when confirmed. `buttons`: 0 confirm only, 1 yes/no.
    using MessageFunction =
        std::function<int(QWidget* parent, const QString& text_id, int buttons)>;
    // The path picked in a file dialog, empty when cancelled.
    using PathChooser = std::function<QString(QWidget* parent, bool save)>;

    // File dialogs show these.
    static constexpr char kFileFilter[] = "Profile Files(*.json)";
    static constexpr char kMacroErrorText[] = "message_text_16";
    // Shown when a file chosen for import is larger than any profile can be.
    static constexpr char kTooLargeText[] = "profile_import_too_large";

    // Adds the routes to `wnd`.
    explicit ProfileBar(CMainWnd& wnd);

    // Starts every bar built so far (the pages are built by an earlier extension).
    void window_init(CMainWnd& wnd) override;
    // Timer 1055.
    void apply_selected_profile() override;

    // Replace the modal parts (tests).
    void set_message_function(MessageFunction fn);
    void set_path_chooser(PathChooser fn);

    // The current page's device control and its bar (started on first use), or nullptr.
    CTarvexUSBDevice* current_device() const;
    CDeviceProfileUI* current_bar() const;

    // Gives a bar its kind and folders from the device page around it, loads its list and
    // selects tab 1; nothing for a bar already started. False when the bar has no page of a
    // known kind.
    static bool start_bar(CDeviceProfileUI* bar);

private:
    void register_routes();
    void on_delete();
    void on_rename();
    void on_reset();
    void on_import();
    void on_export();
    void on_default();
    // The page loads the bar's selected profile and writes it to the device.
    void apply(CTarvexUSBDevice* device, CDeviceProfileUI* bar);
    int message(const QString& text_id, int buttons);

    CMainWnd& wnd_;
    MessageFunction message_;
    PathChooser chooser_;
};

// Registers the "DeviceProfile" control. Idempotent.
void register_profile_controls();
void unregister_profile_controls();

// Registers the control and adds the extension to `wnd`, which owns it. Call before
// wnd.init() and after the device pages' extension was added.
ProfileBar* install_profile_bar(CMainWnd& wnd);

}  // namespace tellune::ui
