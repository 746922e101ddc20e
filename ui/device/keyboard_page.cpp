// The keyboard's settings page: its controls filled from the settings, and every change the
// user makes stored in the profile (and the keyboard object's copy), saved and, where the
// keyboard holds the value, written to it. Key colours are picked on the picture in the
// custom-colour light mode.

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QTextEdit>
#include <algorithm>

#include "core/device/keyboard_light_engine.h"
#include "core/macro/macro_keys.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "ui/app/main_wnd.h"
#include "ui/app/text_table.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/quiet_setters.h"
#include "ui/device/key_function_text.h"
#include "ui/device/keyboard_device.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/editors/light_control_ui.h"

namespace tellune::ui {
namespace {

constexpr char kTypingTest[] = "repeat_input_richedit";
constexpr char kRepeatDelayLabel[] = "repeat_delay_time_label1";
// Drawn over the key chosen on the picture.
constexpr char kChosenKeyImage[] = "keyset_selected.svg";

CTarvexKeyboardDevice* keyboard_page(CMainWnd& wnd) {
    return qobject_cast<CTarvexKeyboardDevice*>(wnd.current_page());
}

}  // namespace

template <class T>
T* CTarvexKeyboardDevice::named(const QString& name) {
    QPointer<QWidget>& slot = controls_[name];
    if (!slot) slot = findChild<T*>(name);
    return qobject_cast<T*>(slot.data());
}

template <class T>
T* CTarvexKeyboardDevice::indexed(const char* prefix, int n) {
    return named<T>(QString::fromLatin1(prefix) + QString::number(n));
}

// --- report rate, flags, repeat ---

void CTarvexKeyboardDevice::select_report_rate(int n) {
    if (n < 0 || n >= kReportRates) n = 0;
    for (int i = 0; i < kReportRates; ++i)
        set_checked_quietly(indexed<QAbstractButton>("polling_rate_option_", i), i == n);
}

int CTarvexKeyboardDevice::report_rate() {
    for (int i = 0; i < kReportRates; ++i) {
        QAbstractButton* option = indexed<QAbstractButton>("polling_rate_option_", i);
        if (option && option->isChecked()) return i;
    }
    return 0;
}

void CTarvexKeyboardDevice::set_win_lock(bool on) {
    set_checked_quietly(named<QAbstractButton>(QStringLiteral("winlockflag_option")), on);
}

bool CTarvexKeyboardDevice::win_lock() {
    auto* check = named<QAbstractButton>(QStringLiteral("winlockflag_option"));
    return check && check->isChecked();
}

void CTarvexKeyboardDevice::set_wflag(bool on) {
    set_checked_quietly(named<QAbstractButton>(QStringLiteral("wflag_option")), on);
}

bool CTarvexKeyboardDevice::wflag() {
    auto* check = named<QAbstractButton>(QStringLiteral("wflag_option"));
    return check && check->isChecked();
}

void CTarvexKeyboardDevice::set_key6_flag(bool on) {
    set_checked_quietly(named<QAbstractButton>(QStringLiteral("6flag_option")), on);
}

bool CTarvexKeyboardDevice::key6_flag() {
    auto* check = named<QAbstractButton>(QStringLiteral("6flag_option"));
    return check && check->isChecked();
}

void CTarvexKeyboardDevice::set_repeat_rate(int position) {
    set_value_quietly(named<QAbstractSlider>(QStringLiteral("repeat_rate_slider")), position);
}

int CTarvexKeyboardDevice::repeat_rate() {
    auto* slider = named<QAbstractSlider>(QStringLiteral("repeat_rate_slider"));
    return slider ? slider->value() : 0;
}

void CTarvexKeyboardDevice::select_repeat_delay(int n) {
    if (n < 0 || n >= kRepeatDelays) n = 0;
    for (int i = 0; i < kRepeatDelays; ++i)
        set_checked_quietly(indexed<QAbstractButton>("repeat_delay_check_", i), i == n);
    if (auto* label = named<QLabel>(QString::fromLatin1(kRepeatDelayLabel)))
        label->setText(texts().text(QStringLiteral("Repeat_Delay_Time")) +
                       QString::number(kRepeatDelayStepMs * (n + 1)) + QStringLiteral(" ms"));
}

int CTarvexKeyboardDevice::repeat_delay() {
    for (int i = 0; i < kRepeatDelays; ++i) {
        QAbstractButton* option = indexed<QAbstractButton>("repeat_delay_check_", i);
        if (option && option->isChecked()) return i;
    }
    return 0;
}

void CTarvexKeyboardDevice::clear_typing_test() {
    if (auto* edit = named<QTextEdit>(QString::fromLatin1(kTypingTest))) {
        edit->clear();
        edit->setPlaceholderText(texts().text(QStringLiteral("Repeat_input_text")));
    }
}

// --- names and the key list ---

void CTarvexKeyboardDevice::load_light_names() {
    load_macro_names();
    built_in_names_ = read_built_in_light_names(read_json(default_light_names_file()),
                                                light_model_index(kDeviceKeyboard));
}

bool CTarvexKeyboardDevice::key_on_picture(int key) const {
    const CDeviceKeyButtonUI* button = KeyButton(key);
    return button && !button->isHidden();
}

// --- binding and refreshing ---

void CTarvexKeyboardDevice::BindPageControls() {
    CTarvexUSBDevice::BindPageControls();
    // The key buttons are the LEDs: key N lights with LED N of the colour list.
    for (int n = 0; n < LedCount(); ++n)
        if (!LightButton(n)) BindLightButton(n, KeyButton(n));
    if (page_bound_) return;
    page_bound_ = true;
    clear_typing_test();
    for (int n = 0; n < KeyCount(); ++n)
        if (CDeviceKeyButtonUI* key = KeyButton(n); key && key->keyset_image().isEmpty())
            key->set_keyset_image(QString::fromLatin1(kChosenKeyImage));
    if (CKeySetControlUI* control = find_key_set_control(this)) {
        control->find_controls();
        control->set_device_mode(device::kDeviceModeKeyboard);
    }
}

bool CTarvexKeyboardDevice::key_listed(int index) const {
    return key_on_picture(index) &&
           (!protocol_->connected() || protocol_->key_slot_map()[size_t(index)] != device::kNoSlot);
}

QString CTarvexKeyboardDevice::key_name(int index) const {
    return texts().text(QStringLiteral("kb_key_name_%1").arg(index));
}

// --- the key panel ---

bool CTarvexKeyboardDevice::key_assignable(int index) const {
    if (index == kFnKey || !CKeyedUSBDevice::key_assignable(index)) return false;
    // Connected, the keyboard's own table decides, as it does for tellunectl; a key the
    // picture lacks is then still the keyboard's. Before that, the picture shows the keys.
    return protocol_->connected()
               ? device::keyboard_key_assignable(protocol_->key_slot_map(), index)
               : key_on_picture(index);
}

void CTarvexKeyboardDevice::select_key(int index) {
    CTarvexUSBDevice::select_key(key_assignable(index) ? index : -1);
    for (int n = 0; n < KeyCount(); ++n)
        if (CDeviceKeyButtonUI* key = KeyButton(n)) key->SetKeysetImageHidden(n != SelectedIndex());
    show_selected_key();
}

void CTarvexKeyboardDevice::fill_light_lists() {
    CLightControlUI* control = find_light_control(this);
    if (!control) return;
    std::vector<std::string> groups;
    for (int g = 0; g < device::kCustomLightGroups; ++g)
        groups.push_back(
            texts().text(QStringLiteral("light_custom_group")).arg(g + 1).toStdString());
    control->fill_custom_modes(groups);
    control->select_custom_mode(custom_group());
    QStringList zones;
    for (int z = 0; z < device::kZoneSchemes; ++z)
        zones << texts().text(QStringLiteral("light_zzcc_%1").arg(z));
    control->fill_zzcc_modes(zones);
    control->select_zzcc_mode(protocol_->settings().light.led_mode() % device::kZoneSchemes);
}

void CTarvexKeyboardDevice::update_custom_hint() {
    if (auto* hint = named<QWidget>(QStringLiteral("custom_keys_hint")))
        hint->setVisible(protocol_->settings().light.select_item() == device::kKbCustom);
}

void CTarvexKeyboardDevice::refresh_page() {
    load_light_names();
    if (CKeySetControlUI* control = find_key_set_control(this))
        control->set_macro_names(macro_names_);
    update_key_list();
    show_selected_key();
    refresh_light_control(built_in_names_, kLightLevelMax, kLightSpeedMax);
    fill_light_lists();
    update_custom_hint();
    const KeyboardSystemWords& w = protocol_->settings().system;
    set_win_lock(device::win_flag_of(w) != 0);
    set_wflag(device::wflag_of(w) != 0);
    set_key6_flag(device::key6_flag_of(w) != 0);
    set_repeat_rate(device::repeat_of(w));
    select_repeat_delay(device::repeat_delay_of(w));
    clear_typing_test();
    select_report_rate(device::polling_rate_of(w));
}

// --- the user's changes ---

void CTarvexKeyboardDevice::store_system_words() {
    if (CKeyboardProfiledata* profile = KeyboardProfile())
        profile->write_system_words(protocol_->settings().system);
}

void CTarvexKeyboardDevice::save_and_write(bool write) {
    save();
    if (write) write_settings(0, 0, 0, 0, 0);
}

void CTarvexKeyboardDevice::on_report_rate(int n) {
    select_report_rate(n);
    device::set_polling_rate(protocol_->settings().system, uint16_t(report_rate()));
    store_system_words();
    save_and_write(true);
}

void CTarvexKeyboardDevice::on_win_lock() {
    device::set_win_flag(protocol_->settings().system, win_lock() ? 1 : 0);
    store_system_words();
    save_and_write(true);
}

void CTarvexKeyboardDevice::on_wflag() {
    device::set_wflag(protocol_->settings().system, wflag() ? 1 : 0);
    store_system_words();
    save_and_write(true);
}

void CTarvexKeyboardDevice::on_key6_flag() {
    device::set_key6_flag(protocol_->settings().system, key6_flag() ? 1 : 0);
    store_system_words();
    save_and_write(true);
}

void CTarvexKeyboardDevice::on_repeat_delay(int n) {
    select_repeat_delay(n);
    device::set_repeat_delay(protocol_->settings().system, uint16_t(repeat_delay()));
    store_system_words();
    save_and_write(false);
}

void CTarvexKeyboardDevice::on_repeat_rate() {
    device::set_repeat(protocol_->settings().system, uint16_t(repeat_rate()));
    store_system_words();
    save_and_write(false);
}

void CTarvexKeyboardDevice::on_reset_repeat() {
    // The repeat settings of the default profile; they live in the profile only.
    CKeyboardProfiledata* profile = KeyboardProfile();
    if (!profile) return;
    const Json::Value defaults = read_json(profile->default_profile_path());
    const Json::Value& stages = json_get(json_get(json_get(defaults, "Device"), 0), "SystemStages");
    KeyboardSystemWords& w = protocol_->settings().system;
    device::set_repeat(w, uint16_t(json_int(json_get(stages, "Repeat"))));
    device::set_repeat_delay(w, uint16_t(json_int(json_get(stages, "RepeatDelay"))));
    set_repeat_rate(device::repeat_of(w));
    select_repeat_delay(device::repeat_delay_of(w));
    store_system_words();
    save_and_write(false);
}

bool CTarvexKeyboardDevice::picking_colours() const {
    return GetDeviceStatus() == 1 && protocol_->settings().light.select_item() == device::kKbCustom;
}

bool CTarvexKeyboardDevice::on_key_clicked(int key) {
    if (!picking_colours()) return false;
    store_custom_colour(key);
    return true;
}

bool CTarvexKeyboardDevice::on_selection_end() {
    if (!picking_colours()) return false;
    std::vector<int> keys;
    for (int k = 0; k < KeyCount(); ++k)
        if (CDeviceKeyButtonUI* button = KeyButton(k); button && button->IsPanelSelected())
            keys.push_back(k);
    store_custom_colours(keys);
    return true;
}

// --- routes ---

void register_keyboard_page_routes(CMainWnd& wnd) {
    CMainWnd* w = &wnd;
    // Every route declines on other pages, so the names the mouse page shares
    // ("polling_rate_option_") still reach it.
    auto on_page = [w](auto action) {
        return [w, action](const Notification& n, int index) {
            CTarvexKeyboardDevice* page = keyboard_page(*w);
            if (!page) return false;
            action(*page, n, index);
            return true;
        };
    };
    RouteTable& select = wnd.routes("selectchanged");
    select.add_filter_front(
        "polling_rate_option_", Match::Prefix,
        on_page([](CTarvexKeyboardDevice& p, const Notification&, int n) { p.on_report_rate(n); }));
    select.add_filter_front(
        "winlockflag_option", Match::NoCase,
        on_page([](CTarvexKeyboardDevice& p, const Notification&, int) { p.on_win_lock(); }));
    select.add_filter_front(
        "wflag_option", Match::NoCase,
        on_page([](CTarvexKeyboardDevice& p, const Notification&, int) { p.on_wflag(); }));
    select.add_filter_front(
        "6flag_option", Match::NoCase,
        on_page([](CTarvexKeyboardDevice& p, const Notification&, int) { p.on_key6_flag(); }));
    select.add_filter_front("repeat_delay_check_", Match::Prefix,
                            on_page([](CTarvexKeyboardDevice& p, const Notification&, int n) {
                                p.on_repeat_delay(n);
                            }));

    wnd.routes("valuechanged")
        .add_filter_front("repeat_rate_slider", Match::NoCase,
                          on_page([](CTarvexKeyboardDevice& p, const Notification&, int) {
                              p.on_repeat_rate();
                          }));

    RouteTable& click = wnd.routes("click");
    click.add_filter_front(
        "reset_repeat_btn", Match::NoCase,
        on_page([](CTarvexKeyboardDevice& p, const Notification&, int) { p.on_reset_repeat(); }));
    // In the custom-colour mode a key click colours the key; otherwise it is the key
    // assignment's.
    click.add_filter_front("key_", Match::Prefix, [w](const Notification&, int key) {
        CTarvexKeyboardDevice* page = keyboard_page(*w);
        return page && page->on_key_clicked(key);
    });
    wnd.routes("click_select_end")
        .add_filter_front("device_key_light", Match::NoCase, [w](const Notification&, int) {
            CTarvexKeyboardDevice* page = keyboard_page(*w);
            return page && page->on_selection_end();
        });
}

}  // namespace tellune::ui
