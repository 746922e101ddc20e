#include "ui/device/keyed_device.h"

#include "core/device/macro_image.h"
#include "core/device/mouse_protocol.h"
#include "core/macro/macro_keys.h"
#include "core/profile/profile_data.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/macro/macro_names.h"

namespace tellune::ui {

bool CKeyedUSBDevice::key_assignable(int index) const {
    return index >= 0 && size_t(index) < Keys().size();
}

void CKeyedUSBDevice::store_keys() {
    if (CBasicProfiledata* profile = ProfileData()) profile->write_key_assignments(Keys());
}

void CKeyedUSBDevice::load_macro_names() {
    macro_names_ = read_macro_names(UserDataFolder() + "macro.config");
}

void CKeyedUSBDevice::check_macro_keys() {
    const auto macros = device::load_macro_library(UserDataFolder());
    if (!device::check_macro_keys(Keys(), macros ? macros->size() : 0)) return;
    store_keys();
    if (CBasicProfiledata* profile = ProfileData()) profile->save_profile();
    refresh_page();
}

void CKeyedUSBDevice::store_key_function(int index, const device::KeyFunction& f) {
    if (!key_assignable(index)) return;
    std::vector<KeyAssignmentRecord>& keys = Keys();
    if (size_t(index) >= keys.size()) return;
    device::set_current_function(keys[size_t(index)], f);
    store_keys();
    update_key_list();
}

void CKeyedUSBDevice::show_selected_key() {
    CKeySetControlUI* control = find_key_set_control(this);
    if (!control) return;
    const std::vector<KeyAssignmentRecord>& keys = Keys();
    const int index = SelectedIndex();
    if (!key_assignable(index) || size_t(index) >= keys.size()) {
        if (QWidget* layout = control->findChild<QWidget*>(QStringLiteral("keyset_layout")))
            layout->hide();
        return;
    }
    const KeyAssignmentRecord& key = keys[size_t(index)];
    control->show_assignment(device::current_function(key), device::default_function(key));
}

// --- the macro page ---

void CKeyedUSBDevice::macro_names_changed(const QStringList& names) {
    macro_names_ = names;
    if (CKeySetControlUI* control = find_key_set_control(this)) control->set_macro_names(names);
    update_key_list();
    show_selected_key();
}

int CKeyedUSBDevice::keys_playing_macro(int index) const {
    return macro::keys_playing(Keys(), index);
}

bool CKeyedUSBDevice::follow_deleted_macro(int index) {
    if (!macro::follow_deleted_macro(Keys(), index)) return false;
    store_keys();
    save();
    update_key_list();
    show_selected_key();
    return true;
}

}  // namespace tellune::ui
