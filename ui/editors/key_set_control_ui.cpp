#include "ui/editors/key_set_control_ui.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <initializer_list>

#include "ui/app/text_table.h"
#include "ui/controls/quiet_setters.h"

namespace tellune::ui {
namespace {

using namespace device;

constexpr int kTextIdRole = Qt::UserRole + 1;  // items keep their text id for a new language

constexpr const char* kFunctionNames[kFunctionPages] = {
    "keyset_function_0",  "keyset_function_1", "keyset_function_2",  "keyset_function_3",
    "keyset_function_4",  "keyset_function_5", "keyset_function_6",  "keyset_function_7",
    "keyset_function_8",  "keyset_function_9", "keyset_function_10", "keyset_function_11",
    "keyset_function_12", "keyset_function_13"};
// In the order of the mouse button list: buttons 1, 3, 2, 5, 4.
constexpr const char* kMouseButtonNames[] = {"kf_mouse_left", "kf_mouse_middle", "kf_mouse_right",
                                             "kf_mouse_forward", "kf_mouse_back"};
constexpr const char* kSensitivityNames[] = {"kf_dpi_up", "kf_dpi_down", "kf_dpi_cycle"};
constexpr const char* kSwingDirections[] = {"keyset_swing_dir_0", "keyset_swing_dir_1"};
constexpr const char* kWheelDirections[] = {"keyset_wheel_dir_0", "keyset_wheel_dir_1"};
constexpr const char* kMacroModes[] = {"keyset_macro_mode_0", "keyset_macro_mode_1",
                                       "keyset_macro_mode_2", "keyset_macro_mode_3",
                                       "keyset_macro_mode_4"};

// The key code table's name of a list row (media and system keys).
QString table_name(const FunctionCode& c) {
    for (const KeyCodeRow& row : kKeyCodeTable)
        if (row.type == c.type && row.param1 == c.param1 && row.param2 == c.param2)
            return QString::fromUtf8(row.name.data(), int(row.name.size()));
    return {};
}

void fill(QComboBox* box, const QStringList& ids, const QStringList& data = {}) {
    if (!box) return;
    const QSignalBlocker block(box);
    box->clear();
    for (int i = 0; i < ids.size(); ++i) {
        box->addItem(texts().text(ids[i]), i < data.size() ? QVariant(data[i]) : QVariant());
        box->setItemData(i, ids[i], kTextIdRole);
        box->setItemData(i, QSize(0, CKeySetControlUI::kItemHeight), Qt::SizeHintRole);
    }
    box->setCurrentIndex(-1);
}

template <size_t N>
QStringList ids_of(const char* const (&names)[N]) {
    QStringList out;
    for (const char* n : names) out << QString::fromLatin1(n);
    return out;
}

QStringList numbered(const char* prefix, int count) {
    QStringList out;
    for (int i = 0; i < count; ++i) out << QString::fromLatin1(prefix) + QString::number(i);
    return out;
}

}  // namespace

CKeySetControlUI::CKeySetControlUI(QWidget* parent) : QWidget(parent) {}

template <class T>
T* CKeySetControlUI::child(const char* name) const {
    return findChild<T*>(QLatin1String(name));
}

CKeySetControlUI* find_key_set_control(QWidget* page) {
    return page ? page->findChild<CKeySetControlUI*>() : nullptr;
}

void CKeySetControlUI::find_controls() {
    if (found_) return;
    found_ = true;
    fill_lists();
    // Enter commits a typed number the same way leaving the edit does.
    for (const char* name : kNumericEdits)
        if (QLineEdit* edit = child<QLineEdit>(name))
            connect(edit, &QLineEdit::returnPressed, edit, [edit] { edit->clearFocus(); });
    if (QLineEdit* key = child<QLineEdit>(kKeyText)) key->setReadOnly(true);
    if (auto* label = child<QLabel>("text_test")) label->hide();
    if (auto* row = child<QWidget>("keyset_macro_cycle_layout")) row->hide();
    update_macro_hint();
    enable_buttons(false);
    // Nothing is shown until a key is chosen.
    if (auto* layout = child<QWidget>("keyset_layout")) layout->hide();
}

void CKeySetControlUI::showEvent(QShowEvent* event) {
    find_controls();
    QWidget::showEvent(event);
}

void CKeySetControlUI::fill_functions() {
    QStringList pages, page_data;
    for (int page = 0; page < kFunctionPages; ++page) {
        if (!page_offered(page, mode_)) continue;
        pages << QString::fromLatin1(kFunctionNames[page]);
        page_data << QString::number(page);
    }
    fill(combo(kFunctionList), pages, page_data);
}

void CKeySetControlUI::fill_lists() {
    fill_functions();
    fill(combo("keyset_mousekey_combo"), ids_of(kMouseButtonNames));
    fill(combo("keyset_mouseswing_combo"), ids_of(kSwingDirections));
    fill(combo("keyset_mousewheel_combo"), ids_of(kWheelDirections));
    fill(combo("keyset_mousedpi_combo"), ids_of(kSensitivityNames));
    QStringList media, system;
    for (const FunctionCode& c : kMediaList) media << table_name(c);
    for (const FunctionCode& c : kSystemList) system << table_name(c);
    fill(combo("keyset_media_combo"), media);
    fill(combo("keyset_system_combo"), system);
    fill(combo("keyset_macro_over_combo"), ids_of(kMacroModes));
    fill(combo("keyset_gunkey_combo"), numbered("keyset_gunkey_", kShootKeys));
    fill(combo(kShortcutList), numbered("keyset_shortcut_", int(device::kShortcutList.size())));
}

void CKeySetControlUI::retranslate() {
    for (QComboBox* box : findChildren<QComboBox*>()) {
        const QSignalBlocker block(box);
        for (int i = 0; i < box->count(); ++i) {
            const QString id = box->itemData(i, kTextIdRole).toString();
            if (!id.isEmpty()) box->setItemText(i, texts().text(id));
        }
    }
    set_key_row(key_row_);
}

void CKeySetControlUI::set_device_mode(int mode) {
    mode_ = mode;
    const int page = shown_page();
    fill_functions();
    QComboBox* functions = combo(kFunctionList);
    if (functions && page >= 0)
        set_index_quietly(functions, functions->findData(QString::number(page)));
}

// --- macros ---

void CKeySetControlUI::set_macro_names(const QStringList& names) {
    QComboBox* box = combo("keyset_macro_combo");
    if (!box) return;
    const QSignalBlocker block(box);
    box->clear();
    for (const QString& name : names) {
        box->addItem(name);
        box->setItemData(box->count() - 1, QSize(0, kItemHeight), Qt::SizeHintRole);
    }
    box->setCurrentIndex(-1);
    update_macro_hint();
}

void CKeySetControlUI::remove_macro_name(int index) {
    QComboBox* box = combo("keyset_macro_combo");
    if (!box || index < 0 || index >= box->count()) return;
    const QSignalBlocker block(box);
    box->removeItem(index);
    update_macro_hint();
}

void CKeySetControlUI::rename_macro_name(int index, const QString& name) {
    QComboBox* box = combo("keyset_macro_combo");
    if (!box || index < 0 || index >= box->count()) return;
    box->setItemText(index, name);
}

void CKeySetControlUI::update_macro_hint() {
    if (auto* hint = child<QWidget>("keyset_macro_none_hint")) hint->setVisible(macro_count() == 0);
}

int CKeySetControlUI::macro_count() const {
    QComboBox* box = combo("keyset_macro_combo");
    return box ? box->count() : 0;
}

// --- showing ---

void CKeySetControlUI::show_assignment(const KeyFunction& current, const KeyFunction& def) {
    current_ = current;
    default_ = def;
    show_function(current_);
}

void CKeySetControlUI::show_default() {
    const KeyFunction kept = current_;
    show_function(default_);
    current_ = kept;
}

void CKeySetControlUI::show_current() {
    show_function(current_);
}

void CKeySetControlUI::show_function(const KeyFunction& f) {
    apply(device::show_function(f, default_, size_t(macro_count()), mode_));
}

void CKeySetControlUI::set_number(const char* edit, int value) {
    if (QLineEdit* e = child<QLineEdit>(edit)) {
        const QSignalBlocker block(e);
        e->setText(QString::number(value));
    }
}

int CKeySetControlUI::number(const char* edit) const {
    QLineEdit* e = child<QLineEdit>(edit);
    return e ? parse_decimal(e->text().toStdString()) : 0;
}

void CKeySetControlUI::set_key_row(int row) {
    key_row_ = row >= 0 && row < kKeyCodeRows ? row : -1;
    QLineEdit* edit = child<QLineEdit>(kKeyText);
    if (!edit) return;
    QString text;
    if (key_row_ >= 0) {
        const std::string_view id = kKeyCodeTable[size_t(key_row_)].name;
        const QString name = QString::fromUtf8(id.data(), int(id.size()));
        // Names are translated through the hidden label, as every text id is.
        if (auto* label = child<QLabel>("text_test")) {
            set_text_id(label, name);
            text = label->text();
        } else {
            text = texts().text(name);
        }
    }
    const QSignalBlocker block(edit);
    edit->setText(text);
}

void CKeySetControlUI::apply(const KeyPanelView& view) {
    current_ = view.current;
    QWidget* layout = child<QWidget>("keyset_layout");
    QComboBox* functions = combo(kFunctionList);
    const int item = functions ? functions->findData(QString::number(view.page)) : -1;
    if (view.page == kNoPage || item < 0) {
        // A function this panel cannot show is not shown as something else.
        if (layout) layout->hide();
        return;
    }
    const KeyPanelValues& v = view.values;
    switch (view.page) {
        case kPageMouseButton:
            set_index_quietly(combo("keyset_mousekey_combo"), v.mouse_button);
            break;
        case kPageSwing:
            set_index_quietly(combo("keyset_mouseswing_combo"), v.swing_direction);
            set_number("keyset_mouseswing_delay_edit", v.swing_delay);
            set_number("keyset_mouseswing_speed_edit", v.swing_speed);
            set_number("keyset_mouseswing_num_edit", v.swing_count);
            break;
        case kPageWheel:
            set_index_quietly(combo("keyset_mousewheel_combo"), v.wheel_direction);
            set_number("keyset_mousewheel_delay_edit", v.wheel_delay);
            set_number("keyset_mousewheel_speed_edit", v.wheel_speed);
            set_number("keyset_mousewheel_num_edit", v.wheel_count);
            break;
        case kPageSensitivity:
            set_index_quietly(combo("keyset_mousedpi_combo"), v.sensitivity);
            break;
        case kPageFire:
            set_number("keyset_mousefire_interval_edit", v.fire_interval);
            set_number("keyset_mousefire_num_edit", v.fire_count);
            break;
        case kPageKeyboard:
            select_modifier(v.modifier);
            set_key_row(v.key_row);
            break;
        case kPageMedia:
            set_index_quietly(combo("keyset_media_combo"), v.media);
            break;
        case kPageSystem:
            set_index_quietly(combo("keyset_system_combo"), v.system);
            break;
        case kPageMacro:
            set_index_quietly(combo("keyset_macro_combo"), v.macro);
            set_index_quietly(combo("keyset_macro_over_combo"), v.macro_mode);
            set_number("keyset_macro_cycle_edit", v.macro_count);
            if (auto* row = child<QWidget>("keyset_macro_cycle_layout"))
                row->setVisible(v.macro_count_shown);
            break;
        case kPageShootKey:
            set_index_quietly(combo("keyset_gunkey_combo"), v.shoot_key);
            break;
        case kPageShortcut:
            set_index_quietly(combo(kShortcutList), v.shortcut);
            break;
        default:
            break;
    }
    set_index_quietly(functions, item);
    if (auto* tabs = child<QStackedWidget>("function_switch_tablayout"))
        tabs->setCurrentIndex(view.page);
    if (layout) layout->show();
}

// --- reading ---

int CKeySetControlUI::shown_page() const {
    QComboBox* functions = combo(kFunctionList);
    if (!functions || functions->currentIndex() < 0) return kNoPage;
    bool ok = false;
    const int page = functions->currentData().toString().toInt(&ok);
    return ok ? page : kNoPage;
}

bool CKeySetControlUI::on_shown_page(const QObject* control) const {
    auto* tabs = child<QStackedWidget>("function_switch_tablayout");
    if (!tabs || !panel_shown()) return false;
    // Compared with the function list, which changes first: the stack hands the focus away
    // before it shows the new page.
    for (const QObject* o = control; o; o = o->parent()) {
        if (o->parent() != tabs) continue;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i) == o) return i == shown_page();
        return false;
    }
    return false;
}

bool CKeySetControlUI::panel_shown() const {
    QWidget* layout = child<QWidget>("keyset_layout");
    return layout && !layout->isHidden();
}

KeyPanelValues CKeySetControlUI::values() const {
    auto index = [this](const char* name) {
        QComboBox* box = combo(name);
        return box ? box->currentIndex() : -1;
    };
    KeyPanelValues v;
    v.mouse_button = index("keyset_mousekey_combo");
    v.swing_direction = index("keyset_mouseswing_combo");
    v.swing_delay = number("keyset_mouseswing_delay_edit");
    v.swing_speed = number("keyset_mouseswing_speed_edit");
    v.swing_count = number("keyset_mouseswing_num_edit");
    v.wheel_direction = index("keyset_mousewheel_combo");
    v.wheel_delay = number("keyset_mousewheel_delay_edit");
    v.wheel_speed = number("keyset_mousewheel_speed_edit");
    v.wheel_count = number("keyset_mousewheel_num_edit");
    v.sensitivity = index("keyset_mousedpi_combo");
    v.fire_interval = number("keyset_mousefire_interval_edit");
    v.fire_count = number("keyset_mousefire_num_edit");
    v.modifier = selected_modifier();
    QLineEdit* key = child<QLineEdit>(kKeyText);
    v.key_row = key && key->text().isEmpty() ? -1 : key_row_;
    v.media = index("keyset_media_combo");
    v.system = index("keyset_system_combo");
    v.macro = index("keyset_macro_combo");
    v.macro_mode = index("keyset_macro_over_combo");
    QWidget* cycle = child<QWidget>("keyset_macro_cycle_layout");
    v.macro_count_shown = cycle && !cycle->isHidden();
    v.macro_count = number("keyset_macro_cycle_edit");
    v.shoot_key = index("keyset_gunkey_combo");
    v.shortcut = index(kShortcutList);
    return v;
}

KeyFunction CKeySetControlUI::build_assignment() {
    const int page = shown_page();
    if (page == kNoPage || !panel_shown()) return current_;
    current_ = build_function(page, values(), current_, default_, size_t(macro_count()));
    if (page == kPageMacro) update_macro_count_row();
    return current_;
}

// --- changes ---

void CKeySetControlUI::on_function_selected() {
    const int page = shown_page();
    if (page == kNoPage) return;
    if (auto* tabs = child<QStackedWidget>("function_switch_tablayout"))
        tabs->setCurrentIndex(page);
    // A page's list with nothing chosen starts at its first item, so that what the page
    // shows is what the key gets.
    auto first_if_none = [this](const char* name) {
        QComboBox* box = combo(name);
        if (box && box->currentIndex() < 0 && box->count() > 0) set_index_quietly(box, 0);
    };
    // An empty edit reads as 0: it shows it.
    auto zero_if_empty = [this](std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (QLineEdit* e = child<QLineEdit>(name); e && e->text().isEmpty())
                set_number(name, 0);
    };
    switch (page) {
        case kPageMouseButton:
            first_if_none("keyset_mousekey_combo");
            break;
        case kPageSwing:
            first_if_none("keyset_mouseswing_combo");
            zero_if_empty({"keyset_mouseswing_delay_edit", "keyset_mouseswing_speed_edit",
                           "keyset_mouseswing_num_edit"});
            break;
        case kPageWheel:
            first_if_none("keyset_mousewheel_combo");
            zero_if_empty({"keyset_mousewheel_delay_edit", "keyset_mousewheel_speed_edit",
                           "keyset_mousewheel_num_edit"});
            break;
        case kPageFire:
            zero_if_empty({"keyset_mousefire_interval_edit", "keyset_mousefire_num_edit"});
            break;
        case kPageSensitivity:
            first_if_none("keyset_mousedpi_combo");
            break;
        case kPageKeyboard:
            set_key_row(-1);
            select_modifier(-1);
            break;
        case kPageMedia:
            first_if_none("keyset_media_combo");
            break;
        case kPageSystem:
            first_if_none("keyset_system_combo");
            break;
        case kPageMacro:
            first_if_none("keyset_macro_combo");
            first_if_none("keyset_macro_over_combo");
            zero_if_empty({"keyset_macro_cycle_edit"});
            update_macro_count_row();
            break;
        case kPageShootKey:
            first_if_none("keyset_gunkey_combo");
            break;
        case kPageShortcut:
            first_if_none(kShortcutList);
            break;
        default:
            break;
    }
}

void CKeySetControlUI::update_macro_count_row() {
    QComboBox* macros = combo("keyset_macro_combo");
    QComboBox* mode = combo("keyset_macro_over_combo");
    if (auto* row = child<QWidget>("keyset_macro_cycle_layout"))
        row->setVisible(macros && macros->currentIndex() >= 0 && mode &&
                        mode->currentIndex() == kMacroCountMode);
}

bool CKeySetControlUI::capture_key(uint8_t scan, bool extended) {
    if (shown_page() != kPageKeyboard || !panel_shown()) return false;
    const auto captured = device::capture_key(scan, extended, selected_modifier(), current_);
    if (!captured) return false;
    select_modifier(captured->modifier);
    set_key_row(captured->key_row);
    current_ = captured->current;
    return true;
}

void CKeySetControlUI::enable_buttons(bool on) {
    const bool was = buttons_enabled();
    for (const char* name : {"key_butt_keysave", "key_butt_keycancel", "key_butt_prosave"})
        if (auto* button = child<QAbstractButton>(name)) button->setEnabled(on);
    if (was != on) emit buttonsChanged(on);
}

bool CKeySetControlUI::buttons_enabled() const {
    auto* save = child<QAbstractButton>("key_butt_prosave");
    return save && save->isEnabled();
}

void CKeySetControlUI::select_modifier(int option) {
    for (int n = 0; n < kModifierOptions; ++n) {
        const QString name = QString::fromLatin1(kModifierPrefix) + QString::number(n);
        set_checked_quietly(findChild<QAbstractButton*>(name), n == option);
    }
}

int CKeySetControlUI::selected_modifier() const {
    for (int n = 0; n < kModifierOptions; ++n) {
        const QString name = QString::fromLatin1(kModifierPrefix) + QString::number(n);
        if (auto* b = findChild<QAbstractButton*>(name); b && b->isChecked()) return n;
    }
    return -1;
}

}  // namespace tellune::ui
