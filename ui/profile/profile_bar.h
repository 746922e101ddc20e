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
    // The same for a text whose "%1" is `argument` (a profile or file name).
    using ArgumentMessageFunction = std::function<int(QWidget* parent, const QString& text_id,
                                                      const QString& argument, int buttons)>;
    // The path picked in a file dialog opened in `folder`, empty when cancelled.
    using PathChooser = std::function<QString(QWidget* parent, bool save, const QString& folder)>;

    // File dialogs show these.
    static constexpr char kFileFilter[] = "Profile Files(*.json)";
    static constexpr char kFileSuffix[] = "json";
    static constexpr char kMacroErrorText[] = "message_text_16";
    // Questions and notes with the profile's or the file's name.
    static constexpr char kDeleteQuestion[] = "message_profile_delete";
    static constexpr char kReplaceQuestion[] = "message_profile_replace";
    static constexpr char kAddedNote[] = "status_profile_added";
    static constexpr char kCopiedNote[] = "status_profile_copied";
    static constexpr char kImportedNote[] = "status_profile_imported";
    static constexpr char kExportedNote[] = "status_profile_exported";
    // The settings key of the folder the dialogs last used.
    static constexpr char kFolderKey[] = "ProfileFolder";
    // Shown when a file chosen for import is larger than any profile can be.
    static constexpr char kTooLargeText[] = "profile_import_too_large";

    // Adds the routes to `wnd`.
    explicit ProfileBar(CMainWnd& wnd);

    // Starts every bar built so far (the pages are built by an earlier extension).
    void window_init(CMainWnd& wnd) override;
    // Timer 1055.
    void apply_selected_profile() override;

    // Replace the modal parts (tests). A message function by text id alone also gets the
    // questions that name something, by their id.
    void set_message_function(MessageFunction fn);
    void set_message_function(ArgumentMessageFunction fn);
    void set_path_chooser(PathChooser fn);
    void set_path_chooser(std::function<QString(QWidget* parent, bool save)> fn);

    // Where the file dialogs open: the folder used last when it still exists, else home.
    QString dialog_folder() const;
    // The file dialog: a profile file to open, or a path to save to (".json" added to a
    // name without an extension). Empty when cancelled.
    static QString choose_path(QWidget* parent, bool save, const QString& folder);

    // The current page's device control and its bar (started on first use), or nullptr.
    CTarvexUSBDevice* current_device() const;
    CDeviceProfileUI* current_bar() const;

    // Gives a bar its kind and folders from the device page around it, loads its list and
    // selects tab 1; nothing for a bar already started. False when the bar has no page of a
    // known kind.
    static bool start_bar(CDeviceProfileUI* bar);

    // `device` takes the profile selected in `bar`: page refreshed, settings and macros
    // written. The settings write's result (1 taken).
    int apply(CTarvexUSBDevice* device, CDeviceProfileUI* bar);

private:
    void register_routes();
    void on_add();
    void on_copy();
    void on_delete();
    void on_rename();
    void on_reset();
    void on_import();
    void on_export();
    void on_default();
    // The page loads the bar's selected profile and writes it to the device.
    int message(const QString& text_id, int buttons, const QString& argument = {});
    // Notes the new entry `index` of `bar` on the status line; the applied profile stays.
    void note_new_entry(CDeviceProfileUI* bar, int index, const char* text_id);
    void remember_folder(const QString& path);

    CMainWnd& wnd_;
    ArgumentMessageFunction message_;
    PathChooser chooser_;
};

// Registers the "DeviceProfile" control. Idempotent.
void register_profile_controls();
void unregister_profile_controls();

// Registers the control and adds the extension to `wnd`, which owns it. Call before
// wnd.init() and after the device pages' extension was added.
ProfileBar* install_profile_bar(CMainWnd& wnd);

}  // namespace tellune::ui
