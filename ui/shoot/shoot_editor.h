#pragma once
// The main window's side of the recoil-pattern page: the routes of its options, edits and
// buttons, the tab that shows it, and the download of macros and patterns to the mouse.
//
// Every handler acts on the pattern page of the mouse page that is shown; with no mouse shown
// nothing happens. A bullet is saved when one of its edits loses the focus, and also before
// another bullet or gun is shown, a file is exported or the mouse is written, so that what the
// page shows is never lost. Write failures are reported as the macro download reports them.

#include <QString>
#include <functional>
#include <vector>

#include "ui/app/shell_extension.h"

namespace tellune::ui {

class CShootControlUI;
class CTarvexMouseDevice;
class CTarvexUSBDevice;
class DevicePages;

class ShootEditor : public ShellExtension {
public:
    using PageList = std::function<std::vector<CTarvexUSBDevice*>()>;
    // A message box; `text` is a text id unless `is_id` is false.
    using MessageFunction =
        std::function<int(QWidget* parent, const QString& text, bool is_id, int buttons)>;
    // The path picked in a file dialog, empty when cancelled.
    using PathChooser = std::function<QString(QWidget* parent, bool save)>;

    // The device status whose key panel holds the pattern page.
    static constexpr int kShootStatus = 7;

    ShootEditor(CMainWnd& wnd, PageList pages);

    void window_init(CMainWnd& wnd) override;
    void reload_texts() override;

    void set_message_function(MessageFunction fn);
    void set_path_chooser(PathChooser fn);

    CTarvexMouseDevice* current_device() const;
    CShootControlUI* current_control() const;

    // --- the handlers the routes call ---
    void on_gun(int n);
    void on_bullet(int n);
    void on_previous();
    void on_next();
    void on_direction();
    void on_edit_left();
    void on_reset();
    void on_import();
    void on_export();
    // Writes the macros and the four patterns to the shown mouse.
    void on_write();

private:
    void register_routes();
    // Saves what the page shows but has not stored; reports a failure.
    bool save_pending(CShootControlUI* control);
    int message(const QString& text, bool is_id);

    CMainWnd& wnd_;
    PageList pages_;
    MessageFunction message_;
    PathChooser chooser_;
};

// Registers the "ShootControl" control. Idempotent.
void register_shoot_controls();
void unregister_shoot_controls();

// Registers the control and adds the editor, which `wnd` owns. Call before wnd.init().
ShootEditor* install_shoot_editor(CMainWnd& wnd, DevicePages* pages);
ShootEditor* install_shoot_editor(CMainWnd& wnd, ShootEditor::PageList pages);

}  // namespace tellune::ui
