#pragma once
// The main window's side of the macro pages: the routes of every button, the name list, the
// delay edits, the row menu and its commands, the hook messages of the four recording modes,
// the recording lock, and what the device control hears of each change.
//
// Every handler acts on the macro page of the device page that is shown, and only when that
// page's device control offers macros (MacroOwner); with no device shown nothing happens.
// After each change to a macro it is saved, and the device's macros are written again; after
// a change to the library (add, delete, rename, import) the key panel's macro lists follow,
// and after a delete or rename the keys are written too. Write failures are reported with
// "message_text_7" (-1) or "message_text_16" with the result.
//
// While recording, the device selector, the page's profile bar and its key panel are
// disabled; they come back as they were when recording stops.

#include <QPointer>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "ui/app/input_hook.h"
#include "ui/app/shell_extension.h"

class QMenu;
class QWidget;

namespace tellune::ui {

class CMacroControlUI;
class CTarvexUSBDevice;
class DevicePages;
class MacroOwner;

class MacroEditor : public ShellExtension {
public:
    using PageList = std::function<std::vector<CTarvexUSBDevice*>()>;
    // A message box; `text` is a text id unless `is_id` is false. 1 when confirmed.
    using MessageFunction =
        std::function<int(QWidget* parent, const QString& text, bool is_id, int buttons)>;
    // The path picked in a file dialog, empty when cancelled.
    using PathChooser = std::function<QString(QWidget* parent, bool save)>;

    // Adds the routes and the hook message handlers to `wnd`.
    MacroEditor(CMainWnd& wnd, PageList pages);
    ~MacroEditor() override;

    void window_init(CMainWnd& wnd) override;
    void device_arrived(int slot) override;
    void device_removed(int slot) override;
    void reload_texts() override;
    void close_child_windows() override;
    void shutdown() override;

    void set_message_function(MessageFunction fn);
    void set_path_chooser(PathChooser fn);

    // The shown page's device control when it offers macros, its macro page, its owner side.
    CTarvexUSBDevice* current_device() const;
    CMacroControlUI* current_control() const;
    // The page that records now, or nullptr.
    CMacroControlUI* recording_control() const;
    QMenu* action_menu() const;

    // --- the handlers the routes call ---
    void on_name_selected();
    void on_add();
    void on_delete();
    void on_rename();
    void on_save();
    void on_cancel();
    void on_import();
    void on_export();
    // A row operation (up, down, top, bottom, delete, delete all), then save.
    void on_rows(bool (CMacroControlUI::*op)());
    void on_delete_all();
    void on_insert_move(int type, bool down);
    // A row menu command or a hand-inserted button action.
    void on_menu_insert(int button, bool down, bool click);
    void on_start(int mode, int kind);
    void on_start_button();
    void on_stop();
    void show_action_menu();
    void on_key_message(int mode, const KeyStroke& stroke);
    void on_mouse_message(int mode, qintptr wparam, qintptr lparam);

private:
    void register_routes();
    void register_hook_messages();
    void start_page(CTarvexUSBDevice* page);
    // Saves the current page's macro and writes the device's macros.
    void save_and_write();
    void write_macros(CTarvexUSBDevice* page);
    void write_keys(CTarvexUSBDevice* page);
    int message(const QString& text, bool is_id, int buttons);
    void names_changed(CTarvexUSBDevice* page);
    void lock(CTarvexUSBDevice* page, bool on);
    bool fixed_time_chosen() const;
    void update_record_scope();

    CMainWnd& wnd_;
    PageList pages_;
    MessageFunction message_;
    PathChooser chooser_;
    QPointer<CMacroControlUI> recording_;
    QPointer<CTarvexUSBDevice> recording_page_;
    QPointer<QMenu> menu_;
    // What recording disabled, to be enabled again when it stops.
    std::vector<QPointer<QWidget>> locked_;
};

// Registers the "MacroControl" control. Idempotent.
void register_macro_controls();
void unregister_macro_controls();

// Registers the control, gives the input-hook service (which the key editor installs) the
// recording modes and, where input devices are readable, the global source, and adds the
// editor, which `wnd` owns. Call before wnd.init(), after the key editor.
MacroEditor* install_macro_editor(CMainWnd& wnd, DevicePages* pages);
MacroEditor* install_macro_editor(CMainWnd& wnd, MacroEditor::PageList pages);

}  // namespace tellune::ui
