#pragma once
// CKeySetControlUI: the key panel of a device page (layout XML/CustomControlXML/KeySetControl.ui)
// in which the user sees and changes what the selected button or key does. It holds the two
// functions of the selected key, the current one (as edited) and its default, and converts
// between a function and its controls (core/device/key_functions.h). It knows no device: the
// key editor (key_editor.h) hands what it builds to the page's device control.
//
// Filling the controls from the program never sends a notification: every setter blocks the
// signals of the control it changes.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>

#include "core/device/key_functions.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace tellune::ui {

class CKeySetControlUI : public QWidget {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "KeySetControl";
    static constexpr int kItemHeight = 30;
    static constexpr char kModifierPrefix[] = "key_ComBox_check_";
    // The numeric edits that hand a change over when they lose the focus.
    static constexpr std::array<const char*, 9> kNumericEdits = {
        "keyset_mouseswing_num_edit",     "keyset_mouseswing_delay_edit",
        "keyset_mouseswing_speed_edit",   "keyset_mousewheel_num_edit",
        "keyset_mousewheel_delay_edit",   "keyset_mousewheel_speed_edit",
        "keyset_mousefire_interval_edit", "keyset_mousefire_num_edit",
        "keyset_macro_cycle_edit"};
    // The selection lists whose choice hands a change over.
    static constexpr std::array<const char*, 9> kSelectionLists = {
        "keyset_macro_over_combo", "keyset_mousekey_combo", "keyset_mouseswing_combo",
        "keyset_mousewheel_combo", "keyset_mousedpi_combo", "keyset_media_combo",
        "keyset_system_combo",     "keyset_macro_combo",    "keyset_gunkey_combo"};
    static constexpr char kFunctionList[] = "keyset_function_combo";
    static constexpr char kShortcutList[] = "keyset_combokey_combo";
    static constexpr char kKeyText[] = "keyset_keyboard_text_edit";
    static constexpr int kShootKeys = 4;

    explicit CKeySetControlUI(QWidget* parent = nullptr);

    // Looks up the named controls and fills the lists; once, after the layout is loaded.
    void find_controls();
    // Mode 1 (the keyboard) offers no sensitivity functions and no shoot keys.
    void set_device_mode(int mode);
    int device_mode() const { return mode_; }
    // The macro list, by macro index; the selection is cleared.
    void set_macro_names(const QStringList& names);
    void remove_macro_name(int index);
    void rename_macro_name(int index, const QString& name);
    int macro_count() const;

    // Stores both functions, then shows the current one.
    void show_assignment(const device::KeyFunction& current, const device::KeyFunction& def);
    // Shows the default function; the current one is kept.
    void show_default();
    // Shows the current function again.
    void show_current();
    void set_current(const device::KeyFunction& f) { current_ = f; }
    const device::KeyFunction& current() const { return current_; }
    const device::KeyFunction& default_function() const { return default_; }
    // Reads the controls into the new current function and returns it.
    device::KeyFunction build_assignment();

    // The function list chose another page: shows it and prepares its controls (the keyboard
    // page starts with no key and no modifier; a list with nothing chosen takes its first
    // item). The caller then builds and hands the function over.
    void on_function_selected();
    // A choice in the macro mode list: the count row follows it.
    void update_macro_count_row();
    // A key stroke while the keyboard page is shown: selects its modifier or names its key and
    // takes it into the current function. False when the page is another or the key unknown.
    bool capture_key(uint8_t scan, bool extended);

    void enable_buttons(bool on);
    bool buttons_enabled() const;
    // Option 0..4, or -1 for none.
    void select_modifier(int option);
    int selected_modifier() const;

    // Whether `control` lies on the page shown now (an edit that loses the focus because its
    // page was just replaced does not).
    bool on_shown_page(const QObject* control) const;
    // The page the function list has chosen, or -1 (also while the panel is hidden).
    int shown_page() const;
    bool panel_shown() const;
    // The key code table row named in the key text, or -1.
    int shown_key_row() const { return key_row_; }
    device::KeyPanelValues values() const;

    // Texts of the lists and of the key text again (after a language change).
    void retranslate();

protected:
    // A panel nobody set up yet (a page whose device control does not) starts hidden too.
    void showEvent(QShowEvent* event) override;

signals:
    // The three buttons were enabled (changes not saved yet) or disabled.
    void buttonsChanged(bool enabled);

private:
    template <class T>
    T* child(const char* name) const;
    QComboBox* combo(const char* name) const { return child<QComboBox>(name); }
    void fill_lists();
    void fill_functions();
    void update_macro_hint();
    void show_function(const device::KeyFunction& f);
    void apply(const device::KeyPanelView& view);
    void set_key_row(int row);
    void set_number(const char* edit, int value);
    int number(const char* edit) const;

    int mode_ = device::kDeviceModeMouse;
    device::KeyFunction current_;
    device::KeyFunction default_;
    int key_row_ = -1;
    bool found_ = false;
};

// The key panel of a device page, or nullptr.
CKeySetControlUI* find_key_set_control(QWidget* page);

}  // namespace tellune::ui
