// The mouse's settings page: its controls filled from the settings, and every change the
// user makes stored in the profile (and the mouse object's copy), saved and, where the mouse
// holds the value, written to it.

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <algorithm>

#include "core/device/dpi_steps.h"
#include "core/macro/macro_keys.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "ui/app/main_wnd.h"
#include "ui/app/text_table.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/quiet_setters.h"
#include "ui/device/key_function_text.h"
#include "ui/device/mouse_device.h"
#include "ui/editors/key_set_control_ui.h"

namespace tellune::ui {
namespace {

constexpr char kActiveTrack[] = "Control/SliderBar_BK1.png";
constexpr char kActiveThumb[] = "Control/SliderBar1_Thumb.png";
constexpr char kOtherTrack[] = "Control/SliderBar_BK3.png";
constexpr char kOtherThumb[] = "Control/SliderBar2_Thumb.png";
constexpr int kLiftItems = 3;
// Drawn over the key chosen on the picture.
constexpr char kChosenKeyImage[] = "keyset_selected.svg";

QStringList utf8_list(const std::vector<std::string>& names) {
    QStringList out;
    for (const std::string& n : names) out << QString::fromStdString(n);
    return out;
}

CTarvexMouseDevice* mouse_page(CMainWnd& wnd) {
    return qobject_cast<CTarvexMouseDevice*>(wnd.current_page());
}

}  // namespace

template <class T>
T* CTarvexMouseDevice::named(const char* name) {
    const QString key = QString::fromLatin1(name);
    QPointer<QWidget>& slot = controls_[key];
    if (!slot) slot = findChild<T*>(key);
    return qobject_cast<T*>(slot.data());
}

template <class T>
T* CTarvexMouseDevice::indexed(const char* prefix, int n) {
    const QString key = QString::fromLatin1(prefix) + QString::number(n);
    QPointer<QWidget>& slot = controls_[key];
    if (!slot) slot = findChild<T*>(key);
    return qobject_cast<T*>(slot.data());
}

// --- DPI stages ---

void CTarvexMouseDevice::set_slider_images(int n, bool active) {
    QAbstractSlider* slider = indexed<QAbstractSlider>("DPI_slider_", n);
    if (!slider) return;
    slider->setProperty("bkimage", QString::fromLatin1(active ? kActiveTrack : kOtherTrack));
    slider->setProperty("thumbimage", QString::fromLatin1(active ? kActiveThumb : kOtherThumb));
    if (slider->property("activestage").toBool() != active) {
        slider->setProperty("activestage", active);
        slider->style()->unpolish(slider);
        slider->style()->polish(slider);
    }
}

void CTarvexMouseDevice::show_dpi_value(int n, int step) {
    if (QLineEdit* edit = indexed<QLineEdit>("DPI_edit_", n)) {
        const QSignalBlocker block(edit);
        edit->setText(QString::number(device::dpi_from_step(step)));
    }
}

void CTarvexMouseDevice::set_dpi_slider(int n, int step) {
    set_value_quietly(indexed<QAbstractSlider>("DPI_slider_", n), step);
    show_dpi_value(n, step);
    set_slider_images(n, n == protocol_->settings().active_stage);
}

int CTarvexMouseDevice::dpi_slider(int n) {
    QAbstractSlider* slider = indexed<QAbstractSlider>("DPI_slider_", n);
    return slider ? slider->value() : 0;
}

int CTarvexMouseDevice::dpi_edit_value(int n) {
    QLineEdit* edit = indexed<QLineEdit>("DPI_edit_", n);
    if (!edit) return 0;
    return device::dpi_from_text(edit->text().trimmed().toStdString());
}

void CTarvexMouseDevice::enable_stage_row(int n, bool on) {
    if (QWidget* row = indexed<QWidget>("DPI_layout_", n)) row->setEnabled(on);
    set_checked_quietly(indexed<QAbstractButton>("DPI_enable_check_", n), on);
    if (on) {
        for (int i = 0; i < kDpiStages; ++i)
            if (QAbstractButton* check = indexed<QAbstractButton>("DPI_enable_check_", i))
                check->setEnabled(true);
        return;
    }
    // The last stage left on cannot be switched off.
    QAbstractButton* last = nullptr;
    int selected = 0;
    for (int i = 0; i < kDpiStages; ++i) {
        QAbstractButton* check = indexed<QAbstractButton>("DPI_enable_check_", i);
        if (check && check->isChecked()) {
            ++selected;
            last = check;
        }
    }
    if (selected == 1) last->setEnabled(false);
}

bool CTarvexMouseDevice::stage_check(int n) {
    QAbstractButton* check = indexed<QAbstractButton>("DPI_enable_check_", n);
    return check && check->isChecked();
}

void CTarvexMouseDevice::select_stage(int n) {
    for (int i = 0; i < kDpiStages; ++i) {
        QAbstractButton* option = indexed<QAbstractButton>("DPI_model_", i);
        if (!option) break;
        set_checked_quietly(option, false);
    }
    set_checked_quietly(indexed<QAbstractButton>("DPI_model_", n), true);
    protocol_->settings().active_stage = n;
    if (CMouseProfiledata* profile = MouseProfile()) profile->set_active_stage(n);
    for (int i = 0; i < kDpiStages; ++i)
        if (indexed<QAbstractSlider>("DPI_slider_", i)) set_dpi_slider(i, dpi_slider(i));
}

// --- report rate, lift, pointer, scrolling, double-click ---

void CTarvexMouseDevice::select_report_rate(int n) {
    if (n < 0 || n >= kReportRates) n = 0;
    for (int i = 0; i < kReportRates; ++i)
        set_checked_quietly(indexed<QAbstractButton>("polling_rate_option_", i), i == n);
}

int CTarvexMouseDevice::report_rate() {
    for (int i = 0; i < kReportRates; ++i) {
        QAbstractButton* option = indexed<QAbstractButton>("polling_rate_option_", i);
        if (option && option->isChecked()) return i;
    }
    return 0;
}

void CTarvexMouseDevice::set_pointer_speed(int position) {
    set_value_quietly(named<QAbstractSlider>("pointer_speed_slider"), position);
}

int CTarvexMouseDevice::pointer_speed() {
    QAbstractSlider* slider = named<QAbstractSlider>("pointer_speed_slider");
    return slider ? slider->value() : 0;
}

void CTarvexMouseDevice::set_pointer_precision(bool on) {
    set_checked_quietly(named<QAbstractButton>("pointer_precision_check"), on);
}

bool CTarvexMouseDevice::pointer_precision() {
    QAbstractButton* check = named<QAbstractButton>("pointer_precision_check");
    return check && check->isChecked();
}

void CTarvexMouseDevice::set_scroll(bool whole_page, int lines_position) {
    set_checked_quietly(named<QAbstractButton>("scrolls_page_check"), whole_page);
    set_value_quietly(named<QAbstractSlider>("scroll_speed_slider"), lines_position);
    show_scroll_lines();
}

void CTarvexMouseDevice::show_scroll_lines() {
    auto* label = named<QLabel>("scroll_lines_value");
    if (!label) return;
    // Scrolling a whole page has no line count.
    label->setText(scroll_page() ? QStringLiteral("-") : QString::number(scroll_speed() + 1));
}

bool CTarvexMouseDevice::scroll_page() {
    QAbstractButton* check = named<QAbstractButton>("scrolls_page_check");
    return check && check->isChecked();
}

int CTarvexMouseDevice::scroll_speed() {
    QAbstractSlider* slider = named<QAbstractSlider>("scroll_speed_slider");
    return slider ? slider->value() : 0;
}

int CTarvexMouseDevice::set_double_click(int position) {
    QAbstractSlider* slider = named<QAbstractSlider>("double_click_slider");
    if (!slider) return 0;
    set_value_quietly(slider, position);
    return (slider->maximum() - slider->value() + 1) * 100;
}

int CTarvexMouseDevice::double_click() {
    QAbstractSlider* slider = named<QAbstractSlider>("double_click_slider");
    return slider ? slider->value() : 0;
}

void CTarvexMouseDevice::set_lift(int index) {
    QComboBox* box = named<QComboBox>("MSH_set_comboSelect");
    if (!box) return;
    const QSignalBlocker block(box);
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : 0);
}

int CTarvexMouseDevice::lift() {
    QComboBox* box = named<QComboBox>("MSH_set_comboSelect");
    return box ? std::max(box->currentIndex(), 0) : 0;
}

void CTarvexMouseDevice::select_sub_page(int n) {
    if (auto* pages = named<QStackedWidget>("mouse_device_seting_layout");
        pages && n >= 0 && n < pages->count())
        pages->setCurrentIndex(n);
    QWidget* options = named<QWidget>("mouse_option_layout");
    if (!options) return;
    const QString wanted = QStringLiteral("mouse_device_seting_option_%1").arg(n);
    for (QAbstractButton* option : options->findChildren<QAbstractButton*>())
        if (option->objectName().startsWith(QLatin1String("mouse_device_seting_option_")))
            set_checked_quietly(option, option->objectName() == wanted);
}

// --- names, key list, logo ---

void CTarvexMouseDevice::load_light_names() {
    load_macro_names();
    built_in_names_.clear();
    area_names_.clear();
    custom_names_.clear();
    const int model = light_model_index(kDeviceMouse);
    const Json::Value defaults = read_json(default_light_names_file());
    built_in_names_ = read_built_in_light_names(defaults, model);
    area_names_ = utf8_list(read_area_light_names(defaults, model));
    for (const CustomLightName& c :
         read_custom_light_names(read_json(custom_light_list_file(kDeviceMouse)), model))
        custom_names_ << QString::fromStdString(c.name);
}

void CTarvexMouseDevice::update_logo_tip() {
    if (!logo_) return;
    const int mode = protocol_->settings().light.select_item();
    QString mode_name;
    if (mode < 8) {
        if (mode < int(built_in_names_.size()))
            mode_name = texts().text(QString::fromStdString(built_in_names_[size_t(mode)].name));
    } else if (mode - 8 < custom_names_.size()) {
        mode_name = custom_names_[mode - 8];
    }
    logo_->setToolTip(texts().text(QStringLiteral("Light_Set")) + QLatin1Char('\n') +
                      texts().text(QStringLiteral("Overall_Light_Set")) + mode_name);
}

void CTarvexMouseDevice::BindPageControls() {
    CTarvexUSBDevice::BindPageControls();
    if (page_bound_) return;
    page_bound_ = true;
    for (CDeviceKeyButtonUI* button : findChildren<CDeviceKeyButtonUI*>()) {
        if (button->objectName().compare(QLatin1String("logo"), Qt::CaseInsensitive) == 0) {
            button->setObjectName(QStringLiteral("Logo"));
            logo_ = button;
            break;
        }
    }
    // Enter commits a typed DPI the same way leaving the edit does.
    for (int n = 0; n < kDpiStages; ++n)
        if (QLineEdit* edit = indexed<QLineEdit>("DPI_edit_", n))
            connect(edit, &QLineEdit::returnPressed, edit, [edit] { edit->clearFocus(); });
    if (QComboBox* box = named<QComboBox>("MSH_set_comboSelect"); box && box->count() == 0) {
        const QSignalBlocker block(box);
        for (int i = 0; i < kLiftItems; ++i)
            box->addItem(texts().text(QStringLiteral("msh_item_%1").arg(i)));
    }
    select_sub_page(0);
    for (int n = 0; n < KeyCount(); ++n)
        if (CDeviceKeyButtonUI* key = KeyButton(n); key && key->keyset_image().isEmpty())
            key->set_keyset_image(QString::fromLatin1(kChosenKeyImage));
    if (CKeySetControlUI* control = find_key_set_control(this)) {
        control->find_controls();
        control->set_device_mode(device::kDeviceModeMouse);
    }
}

QString CTarvexMouseDevice::key_name(int index) const {
    return texts().text(QStringLiteral("mouse_key_%1").arg(index));
}

// --- the key panel ---

void CTarvexMouseDevice::select_key(int index) {
    CTarvexUSBDevice::select_key(index);
    for (int n = 0; n < KeyCount(); ++n)
        if (CDeviceKeyButtonUI* key = KeyButton(n)) key->SetKeysetImageHidden(n != index);
    show_selected_key();
}

void CTarvexMouseDevice::refresh_page() {
    load_light_names();
    if (CKeySetControlUI* control = find_key_set_control(this))
        control->set_macro_names(macro_names_);
    update_key_list();
    show_selected_key();
    update_logo_tip();
    refresh_light_control(built_in_names_, kLightLevelMax, kLightSpeedMax);
    const device::MouseSettings& s = protocol_->settings();
    const int stages = std::min<int>(int(s.stages.size()), kDpiStages);
    for (int n = 0; n < kDpiStages; ++n) {
        if (n < stages) {
            set_dpi_slider(n, s.stages[size_t(n)].dpi_x);
            enable_stage_row(n, s.stages[size_t(n)].active != 0);
        } else {
            // The mouse gets zeros for a stage the profile lacks; show what it has.
            set_dpi_slider(n, 0);
            enable_stage_row(n, false);
        }
    }
    select_stage(s.active_stage);
    const MouseSystemWords& w = s.system;
    set_pointer_speed(int(w.word[0] >> 16));
    set_pointer_precision((w.word[1] & 0xFFFF) != 0);
    set_double_click(int(w.word[0] & 0xFFFF));
    set_scroll((w.word[1] >> 16) != 0, int(w.word[2] & 0xFFFF));
    select_report_rate(int(w.word[2] >> 16));
    set_lift(int(w.word[3] & 0xFFFF));
}

// --- the user's changes ---

DpiStageRecord* CTarvexMouseDevice::stage(int n, bool grow) {
    std::vector<DpiStageRecord>& stages = protocol_->settings().stages;
    if (n < 0 || n >= kDpiStages) return nullptr;
    if (size_t(n) >= stages.size()) {
        if (!grow) return nullptr;
        stages.resize(size_t(n) + 1);
    }
    return &stages[size_t(n)];
}

void CTarvexMouseDevice::store_stages() {
    if (CMouseProfiledata* profile = MouseProfile())
        profile->write_dpi_stages(protocol_->settings().stages);
}

void CTarvexMouseDevice::store_system_words() {
    if (CMouseProfiledata* profile = MouseProfile())
        profile->write_system_words(protocol_->settings().system);
}

void CTarvexMouseDevice::save_and_write(bool write) {
    save();
    if (write) write_settings(0, 0, 0, 0, 0);
}

void CTarvexMouseDevice::on_dpi_slider(int n) {
    DpiStageRecord* record = stage(n, true);
    if (!record) return;
    const int step = dpi_slider(n);
    set_dpi_slider(n, step);
    record->dpi_x = uint16_t(step);
    store_stages();
    save_and_write(true);
}

void CTarvexMouseDevice::on_dpi_edit(int n) {
    if (!indexed<QLineEdit>("DPI_edit_", n)) return;
    DpiStageRecord* record = stage(n, true);
    if (!record) return;
    const int step = device::step_from_dpi(dpi_edit_value(n));
    set_dpi_slider(n, step);
    record->dpi_x = uint16_t(step);
    store_stages();
    save_and_write(true);
}

void CTarvexMouseDevice::on_stage_check(int n) {
    const bool on = stage_check(n);
    enable_stage_row(n, on);
    if (DpiStageRecord* record = stage(n, false)) record->active = on ? 1 : 0;
    store_stages();
    save_and_write(true);
}

void CTarvexMouseDevice::on_stage_model(int n) {
    select_stage(n);
    save_and_write(true);
}

void CTarvexMouseDevice::on_report_rate(int n) {
    select_report_rate(n);
    uint32_t& word = protocol_->settings().system.word[2];
    word = (word & 0xFFFF) | uint32_t(report_rate()) << 16;
    store_system_words();
    save_and_write(true);
}

void CTarvexMouseDevice::on_lift() {
    protocol_->settings().system.word[3] = uint32_t(lift());
    store_system_words();
    save_and_write(true);
}

void CTarvexMouseDevice::on_pointer_speed() {
    uint32_t& word = protocol_->settings().system.word[0];
    word = (word & 0xFFFF) | uint32_t(pointer_speed()) << 16;
    store_system_words();
    save_and_write(false);
}

void CTarvexMouseDevice::on_pointer_precision() {
    uint32_t& word = protocol_->settings().system.word[1];
    word = (word & 0xFFFF0000u) | (pointer_precision() ? 1u : 0u);
    store_system_words();
    save_and_write(false);
}

void CTarvexMouseDevice::on_scroll_page() {
    MouseSystemWords& w = protocol_->settings().system;
    w.word[1] = (w.word[1] & 0xFFFF) | (scroll_page() ? 1u : 0u) << 16;
    w.word[2] = (w.word[2] & 0xFFFF0000u) | uint32_t(scroll_speed());
    show_scroll_lines();
    store_system_words();
    save_and_write(false);
}

void CTarvexMouseDevice::on_scroll_speed() {
    set_checked_quietly(named<QAbstractButton>("scrolls_page_check"), false);
    MouseSystemWords& w = protocol_->settings().system;
    w.word[1] &= 0xFFFF;
    w.word[2] = (w.word[2] & 0xFFFF0000u) | uint32_t(scroll_speed());
    show_scroll_lines();
    store_system_words();
    save_and_write(false);
}

void CTarvexMouseDevice::on_double_click() {
    uint32_t& word = protocol_->settings().system.word[0];
    word = (word & 0xFFFF0000u) | uint32_t(double_click());
    store_system_words();
    save_and_write(false);
}

// --- routes ---

void register_mouse_page_routes(CMainWnd& wnd) {
    CMainWnd* w = &wnd;
    auto on_page = [w](auto action) {
        return [w, action](const Notification& n, int index) {
            if (CTarvexMouseDevice* page = mouse_page(*w)) action(*page, n, index);
        };
    };
    RouteTable& slider = wnd.routes("valuechanged");
    slider.add(
        "DPI_slider_", Match::Prefix,
        on_page([](CTarvexMouseDevice& p, const Notification&, int n) { p.on_dpi_slider(n); }));
    slider.add(
        "pointer_speed_slider", Match::NoCase,
        on_page([](CTarvexMouseDevice& p, const Notification&, int) { p.on_pointer_speed(); }));
    slider.add(
        "scroll_speed_slider", Match::NoCase,
        on_page([](CTarvexMouseDevice& p, const Notification&, int) { p.on_scroll_speed(); }));
    slider.add(
        "double_click_slider", Match::NoCase,
        on_page([](CTarvexMouseDevice& p, const Notification&, int) { p.on_double_click(); }));

    // While a DPI slider is dragged only its value is shown; the release stores it.
    RouteTable& moving = wnd.routes("movevaluechanged");
    moving.add("DPI_slider_", Match::Prefix,
               on_page([](CTarvexMouseDevice& p, const Notification&, int n) {
                   p.show_dpi_value(n, p.dpi_slider(n));
               }));
    moving.add("scroll_speed_slider", Match::NoCase,
               on_page([](CTarvexMouseDevice& p, const Notification&, int) {
                   // The count follows the drag (a whole page gives way to lines on release).
                   if (auto* label = p.findChild<QLabel*>(QStringLiteral("scroll_lines_value")))
                       label->setText(QString::number(p.scroll_speed() + 1));
               }));

    wnd.routes("killfocus")
        .add("DPI_edit_", Match::Prefix,
             on_page([](CTarvexMouseDevice& p, const Notification&, int n) { p.on_dpi_edit(n); }));

    wnd.routes("itemselect")
        .add("MSH_set_comboSelect", Match::NoCase,
             on_page([](CTarvexMouseDevice& p, const Notification&, int) { p.on_lift(); }));

    RouteTable& select = wnd.routes("selectchanged");
    select.add(
        "DPI_enable_check_", Match::Prefix,
        on_page([](CTarvexMouseDevice& p, const Notification&, int n) { p.on_stage_check(n); }));
    // An option clicked again (unchecking it) is selected again.
    select.add(
        "DPI_model_", Match::Prefix,
        on_page([](CTarvexMouseDevice& p, const Notification&, int n) { p.on_stage_model(n); }));
    select.add(
        "polling_rate_option_", Match::Prefix,
        on_page([](CTarvexMouseDevice& p, const Notification&, int n) { p.on_report_rate(n); }));
    select.add(
        "mouse_device_seting_option_", Match::Prefix,
        // Clicking the shown sub-page's option again keeps it chosen.
        on_page([](CTarvexMouseDevice& p, const Notification&, int n) { p.select_sub_page(n); }));
    select.add(
        "pointer_precision_check", Match::NoCase,
        on_page([](CTarvexMouseDevice& p, const Notification&, int) { p.on_pointer_precision(); }));
    select.add(
        "scrolls_page_check", Match::NoCase,
        on_page([](CTarvexMouseDevice& p, const Notification&, int) { p.on_scroll_page(); }));
}

}  // namespace tellune::ui
