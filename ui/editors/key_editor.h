#pragma once
// The main window's side of the key panels: the routes of the key buttons on the device
// pictures and of every panel control, the captured key strokes of the input hook, and the
// switch of the panel's three buttons.
//
// A change in a panel (a function chosen, a list choice, a numeric edit left, a modifier
// clicked, a key captured) is built into a function and handed to the page's device control
// (KeyAssignmentOwner), which stores it; "key_butt_prosave" writes the key list to the
// device and saves the profile.
//
// While the shown page's panel holds changes that were not saved (its three buttons are
// enabled), the device selector and the profile bar are disabled, so that no other device or
// profile replaces them unnoticed.

#include <QMetaObject>
#include <functional>
#include <set>
#include <vector>

#include "ui/app/input_hook.h"
#include "ui/app/shell_extension.h"

class QObject;

namespace tellune::ui {

class CKeySetControlUI;
class CTarvexUSBDevice;
class DevicePages;
class KeyAssignmentOwner;

class KeyEditor : public ShellExtension {
public:
    using PageList = std::function<std::vector<CTarvexUSBDevice*>()>;

    // Adds the routes and the key message handler to `wnd`.
    KeyEditor(CMainWnd& wnd, PageList pages);
    ~KeyEditor() override;

    void window_init(CMainWnd& wnd) override;
    void device_arrived(int slot) override;
    void device_removed(int slot) override;
    void reload_texts() override;

    // Key button n of the shown device's picture was clicked.
    void select_key(int n);
    // Builds the shown panel's function and hands it to the device control; the three
    // buttons become enabled.
    void apply_change();
    void on_function_selected();
    void on_modifier(int option);
    void on_key_stroke(const KeyStroke& stroke);
    void on_default();
    void on_cancel();
    void on_save_to_device();

    // The three buttons show the opposite of `saved`; with `lock`, the device selector and
    // the profile bar follow it.
    void set_saved(bool saved, bool lock);

    CTarvexUSBDevice* current_device() const;
    CKeySetControlUI* current_control() const;

private:
    void register_routes();
    // The selector and profile bar follow the shown page's panel.
    void update_lock();
    void watch_panels();

    CMainWnd& wnd_;
    PageList pages_;
    std::set<const QObject*> watched_;
    std::vector<QMetaObject::Connection> connections_;
};

// Registers the "KeySetControl" control. Idempotent.
void register_key_controls();
void unregister_key_controls();

// Registers the control, gives `wnd` the input-hook service and adds the editor, which `wnd`
// owns. Call before wnd.init().
KeyEditor* install_key_editor(CMainWnd& wnd, DevicePages* pages);
KeyEditor* install_key_editor(CMainWnd& wnd, KeyEditor::PageList pages);

}  // namespace tellune::ui
