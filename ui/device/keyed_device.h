#pragma once
// CKeyedUSBDevice: what the mouse and the keyboard share as devices with a key list: the key
// panel's changes, the macro names their keys refer to, and keeping the keys in step with
// the macro library. Each keeps its key list where its protocol has it.

#include <QStringList>
#include <vector>

#include "core/profile/profile_records.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/editors/key_assignment_owner.h"
#include "ui/macro/macro_owner.h"

namespace tellune::ui {

class CKeyedUSBDevice : public CTarvexUSBDevice, public KeyAssignmentOwner, public MacroOwner {
    Q_OBJECT
public:
    using CTarvexUSBDevice::CTarvexUSBDevice;

    // Keys on macros the library no longer has return to their default; saved and shown.
    void check_macro_keys() override;

    // --- the key panel's changes ---
    void store_key_function(int index, const device::KeyFunction& f) override;
    int write_keys() override { return write_key_table(); }
    void save_keys() override { save(); }
    void discard_key_changes() override { reload_profile(); }

    // --- the macro page's changes ---
    void macro_names_changed(const QStringList& names) override;
    int keys_playing_macro(int index) const override;
    bool follow_deleted_macro(int index) override;
    const QStringList& MacroNames() const { return macro_names_; }

    // The key list as the page holds it (stored changes included).
    const std::vector<KeyAssignmentRecord>& KeyList() const { return Keys(); }
    // Whether the key panel may change key `index`: by default any key of the list.
    virtual bool key_assignable(int index) const;
    static constexpr int kKeyRowHeight = 25;
    // Key list rows ("device_setkeyinfo_list") from the current settings.
    virtual void update_key_list();
    // The selected key again in the key panel (none, or one that cannot be assigned: hidden).
    void show_selected_key();

protected:
    virtual std::vector<KeyAssignmentRecord>& Keys() = 0;
    // Whether key `index` of the list has a row (by default every key does), and its name.
    virtual bool key_listed(int index) const;
    virtual QString key_name(int index) const = 0;
    const std::vector<KeyAssignmentRecord>& Keys() const {
        return const_cast<CKeyedUSBDevice*>(this)->Keys();
    }
    // The names of the device's macro library ("macro.config" in its folder).
    void load_macro_names();
    // The key list into the profile (not yet saved).
    void store_keys();

    QStringList macro_names_;
};

}  // namespace tellune::ui
