#include "ui/device/keyed_device.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <algorithm>

#include "core/device/macro_image.h"
#include "core/device/mouse_protocol.h"
#include "core/macro/macro_keys.h"
#include "core/profile/profile_data.h"
#include "ui/device/key_function_text.h"
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

// --- the key list ---

bool CKeyedUSBDevice::key_listed(int) const {
    return true;
}

void CKeyedUSBDevice::update_key_list() {
    auto* list = findChild<QListWidget*>(QStringLiteral("device_setkeyinfo_list"));
    if (!list) return;
    const std::vector<KeyAssignmentRecord>& keys = Keys();
    const int rows = std::max<int>(int(keys.size()), KeyCount());
    while (list->count() < rows) {
        auto* item = new QListWidgetItem(list);
        item->setSizeHint(QSize(0, kKeyRowHeight));
        item->setFlags(Qt::NoItemFlags);
        item->setHidden(true);
        auto* row = new QWidget;
        auto* box = new QHBoxLayout(row);
        box->setContentsMargins(6, 0, 6, 0);
        auto* name = new QLabel(row);
        name->setObjectName(QStringLiteral("key_row_name"));
        name->setFixedWidth(200);
        name->setStyleSheet(QStringLiteral("color: #ffffff;"));
        auto* function = new QLabel(row);
        function->setObjectName(QStringLiteral("key_row_function"));
        function->setFixedWidth(180);
        function->setStyleSheet(QStringLiteral("color: #0099ff;"));
        box->addWidget(name);
        box->addWidget(function);
        box->addStretch();
        row->setEnabled(false);
        list->setItemWidget(item, row);
    }
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        QWidget* row = list->itemWidget(item);
        const bool exists = i < int(keys.size()) && key_listed(i);
        item->setHidden(!exists);
        if (!row || !exists) continue;
        row->setEnabled(true);
        auto* name = row->findChild<QLabel*>(QStringLiteral("key_row_name"));
        auto* function = row->findChild<QLabel*>(QStringLiteral("key_row_function"));
        if (name) name->setText(key_name(i));
        if (function) {
            const QString text = key_function_text(keys[size_t(i)], macro_names_);
            function->setToolTip(text);
            function->setText(function->fontMetrics().elidedText(text, Qt::ElideRight, 180));
        }
    }
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
