// The key panel on its own, built from the shipped layout: its lists, showing a function on
// its controls, reading them back, key capture, the device modes and the macro list.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStackedWidget>
#include <memory>

#include "ui/app/control_factory.h"
#include "ui/app/text_table.h"
#include "ui/editors/key_editor.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

using device::KeyFunction;

KeyFunction fn(uint8_t type, uint8_t p1, uint8_t p2, uint16_t key = 4) {
    return {key, type, p1, p2, 0};
}
const KeyFunction kBack = fn(0x10, 0x08, 0x00);

class KeySetControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        ASSERT_TRUE(texts().load_file(test::shipped_skin() + "lang/en.json"));
        register_key_controls();
        ControlFactory factory(test::shipped_skin());
        panel_.reset(qobject_cast<CKeySetControlUI*>(
            factory.load_layout("XML/CustomControlXML/KeySetControl.ui")));
        ASSERT_NE(panel_, nullptr);
        retranslate(panel_.get());
        panel_->find_controls();
        panel_->show();
    }
    void TearDown() override {
        panel_.reset();
        unregister_key_controls();
        texts().clear();
    }
    template <class T = QWidget>
    T* child(const char* name) {
        T* w = panel_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QComboBox* combo(const char* name) { return child<QComboBox>(name); }
    QString text(const char* edit) { return child<QLineEdit>(edit)->text(); }
    void type(const char* edit, const QString& value) { child<QLineEdit>(edit)->setText(value); }
    // Chooses page `page` in the function list, as the user does.
    void choose_page(int page) {
        QComboBox* functions = combo("keyset_function_combo");
        functions->setCurrentIndex(functions->findData(QString::number(page)));
        panel_->on_function_selected();
    }
    std::string built() {
        const KeyFunction f = panel_->build_assignment();
        char out[16];
        std::snprintf(out, sizeof out, "%02X %02X %02X", f.type, f.param1, f.param2);
        return out;
    }

    std::unique_ptr<CKeySetControlUI> panel_;
};

TEST_F(KeySetControlTest, ListsInTheirOrderWithPageNumbers) {
    QComboBox* functions = combo("keyset_function_combo");
    ASSERT_EQ(functions->count(), 14);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(functions->itemData(i).toString(), QString::number(i));
    EXPECT_EQ(functions->itemText(6), "Keyboard key");
    EXPECT_EQ(combo("keyset_mousekey_combo")->count(), 5);
    EXPECT_EQ(combo("keyset_mousekey_combo")->itemText(1), "Middle button");
    EXPECT_EQ(combo("keyset_media_combo")->count(), 18);
    EXPECT_EQ(combo("keyset_media_combo")->itemText(6), "Volume up");
    EXPECT_EQ(combo("keyset_system_combo")->itemText(2), "Wake up");
    EXPECT_EQ(combo("keyset_combokey_combo")->count(), 11);
    EXPECT_EQ(combo("keyset_macro_over_combo")->count(), 5);
    EXPECT_EQ(combo("keyset_gunkey_combo")->count(), 4);
    for (const char* name : CKeySetControlUI::kSelectionLists) {
        if (QString(name) != "keyset_macro_combo") {
            EXPECT_EQ(combo(name)->currentIndex(), -1) << name;
        }
    }
    // Nothing to show before a key is chosen; the three buttons start disabled.
    EXPECT_FALSE(panel_->panel_shown());
    EXPECT_FALSE(panel_->buttons_enabled());
    EXPECT_TRUE(child<QAbstractButton>("key_butt_keydefalut")->isEnabled());
    EXPECT_TRUE(child<QLabel>("text_test")->isHidden());

    // Device mode 1 drops the sensitivity and shoot key pages.
    panel_->set_device_mode(device::kDeviceModeKeyboard);
    ASSERT_EQ(functions->count(), 12);
    EXPECT_EQ(functions->findData("4"), -1);
    EXPECT_EQ(functions->findData("10"), -1);
    EXPECT_EQ(functions->itemData(4).toString(), "5");
}

TEST_F(KeySetControlTest, ShowsEachFunctionOnItsPage) {
    auto page_shown = [this] {
        return child<QStackedWidget>("function_switch_tablayout")->currentIndex();
    };
    panel_->show_assignment(fn(0x12, 0x21, 0xFD), kBack);
    EXPECT_TRUE(panel_->panel_shown());
    EXPECT_EQ(panel_->shown_page(), device::kPageWheel);
    EXPECT_EQ(page_shown(), device::kPageWheel);
    EXPECT_EQ(combo("keyset_mousewheel_combo")->currentIndex(), 1);
    EXPECT_EQ(text("keyset_mousewheel_delay_edit"), "2");
    EXPECT_EQ(text("keyset_mousewheel_speed_edit"), "1");
    EXPECT_EQ(text("keyset_mousewheel_num_edit"), "3");

    panel_->show_assignment(fn(0x20, 0x10, 0x06), kBack);  // right Ctrl + C
    EXPECT_EQ(page_shown(), device::kPageKeyboard);
    EXPECT_EQ(panel_->selected_modifier(), 1);
    EXPECT_TRUE(child<QAbstractButton>("key_ComBox_check_1")->isChecked());
    EXPECT_EQ(text("keyset_keyboard_text_edit"), "C");
    EXPECT_EQ(built(), "20 01 06");  // saved again as left Ctrl

    panel_->show_assignment(fn(0x30, 0xE2, 0x00), kBack);
    EXPECT_EQ(page_shown(), device::kPageMedia);
    EXPECT_EQ(combo("keyset_media_combo")->currentText(), "Mute");

    // The key's own default shows page 0, and building page 0 gives the default.
    panel_->show_assignment(kBack, kBack);
    EXPECT_EQ(page_shown(), device::kPageDefault);
    EXPECT_EQ(combo("keyset_function_combo")->currentText(), "Default function");
    EXPECT_EQ(built(), "10 08 00");

    // An unknown code hides the panel rather than show something else.
    panel_->show_assignment(fn(0x16, 0x90, 0x01), kBack);
    EXPECT_FALSE(panel_->panel_shown());
    EXPECT_EQ(panel_->build_assignment(), fn(0x16, 0x90, 0x01));
    // So does a sensitivity function in device mode 1.
    panel_->set_device_mode(device::kDeviceModeKeyboard);
    panel_->show_assignment(fn(0x13, 0x02, 0x00), kBack);
    EXPECT_FALSE(panel_->panel_shown());
    panel_->show_assignment(fn(0xA0, 0x00, 0x00), kBack);
    EXPECT_TRUE(panel_->panel_shown());
    EXPECT_EQ(panel_->shown_page(), device::kPageDisabled);
}

TEST_F(KeySetControlTest, DefaultAndCurrentViews) {
    panel_->show_assignment(fn(0x14, 0x20, 0x03), kBack);
    panel_->show_default();
    EXPECT_EQ(panel_->shown_page(), device::kPageDefault);
    EXPECT_EQ(panel_->current(), fn(0x14, 0x20, 0x03));  // kept
    panel_->show_current();
    EXPECT_EQ(panel_->shown_page(), device::kPageFire);
    EXPECT_EQ(text("keyset_mousefire_interval_edit"), "32");
    EXPECT_EQ(text("keyset_mousefire_num_edit"), "3");
    // Only the shown page's edits count as changed when they lose the focus.
    auto* interval = child<QLineEdit>("keyset_mousefire_interval_edit");
    EXPECT_TRUE(panel_->on_shown_page(interval));
    panel_->show_default();
    EXPECT_FALSE(panel_->on_shown_page(interval));
    EXPECT_FALSE(panel_->on_shown_page(child<QLineEdit>("keyset_mousewheel_num_edit")));
    EXPECT_FALSE(panel_->on_shown_page(nullptr));
}

TEST_F(KeySetControlTest, ReadsTypedNumbersReducedToTheirFields) {
    panel_->show_assignment(fn(0x11, 0x00, 0x00), kBack);
    type("keyset_mouseswing_delay_edit", "17");
    type("keyset_mouseswing_speed_edit", "2");
    type("keyset_mouseswing_num_edit", "4 times");
    EXPECT_EQ(built(), "11 12 04");
    combo("keyset_mouseswing_combo")->setCurrentIndex(1);
    type("keyset_mouseswing_num_edit", "abc");
    EXPECT_EQ(built(), "11 12 80");

    choose_page(device::kPageWheel);
    combo("keyset_mousewheel_combo")->setCurrentIndex(1);
    type("keyset_mousewheel_delay_edit", "");
    type("keyset_mousewheel_speed_edit", "0");
    type("keyset_mousewheel_num_edit", "3");
    EXPECT_EQ(built(), "12 00 FD");

    choose_page(device::kPageFire);
    type("keyset_mousefire_interval_edit", "300");
    type("keyset_mousefire_num_edit", "-1");
    EXPECT_EQ(built(), "14 2C FF");
    // The key index stays the shown key's.
    EXPECT_EQ(panel_->current().key_index, 4);
}

TEST_F(KeySetControlTest, ChoosingAListPageTakesItsFirstItem) {
    panel_->show_assignment(fn(0x10, 0x01, 0x00), kBack);
    choose_page(device::kPageMedia);
    EXPECT_EQ(combo("keyset_media_combo")->currentIndex(), 0);
    EXPECT_EQ(built(), "30 83 01");
    choose_page(device::kPageSystem);
    EXPECT_EQ(built(), "40 01 00");
    combo("keyset_system_combo")->setCurrentIndex(1);
    EXPECT_EQ(built(), "40 02 00");
    choose_page(device::kPageShortcut);
    combo("keyset_combokey_combo")->setCurrentIndex(4);
    EXPECT_EQ(built(), "20 01 06");
    // Shown again, the shortcut is a Ctrl + C on the keyboard page.
    panel_->show_assignment(panel_->current(), kBack);
    EXPECT_EQ(panel_->shown_page(), device::kPageKeyboard);
    EXPECT_EQ(text("keyset_keyboard_text_edit"), "C");
    // Empty edits show the 0 they are read as.
    choose_page(device::kPageWheel);
    EXPECT_EQ(text("keyset_mousewheel_num_edit"), "0");
    EXPECT_EQ(combo("keyset_mousewheel_combo")->currentIndex(), 0);
    EXPECT_EQ(built(), "12 00 00");
    choose_page(device::kPageDisabled);
    EXPECT_EQ(built(), "A0 00 00");
    choose_page(device::kPageFixed);
    EXPECT_EQ(built(), "A0 02 00");
    choose_page(device::kPageDefault);
    EXPECT_EQ(built(), "10 08 00");
}

TEST_F(KeySetControlTest, CapturesModifierThenKeyOnTheKeyboardPageOnly) {
    panel_->show_assignment(fn(0x10, 0x08, 0x00), fn(0x10, 0x01, 0x00));
    EXPECT_EQ(panel_->shown_page(), device::kPageMouseButton);
    EXPECT_FALSE(panel_->capture_key(0x1E, false));  // not the keyboard page

    choose_page(device::kPageKeyboard);
    EXPECT_EQ(panel_->selected_modifier(), -1);
    EXPECT_EQ(text("keyset_keyboard_text_edit"), "");
    EXPECT_EQ(built(), "20 00 00");
    ASSERT_TRUE(panel_->capture_key(0x1D, true));  // right Ctrl
    EXPECT_EQ(panel_->selected_modifier(), 1);
    EXPECT_EQ(text("keyset_keyboard_text_edit"), "");
    ASSERT_TRUE(panel_->capture_key(0x1E, false));  // A
    EXPECT_EQ(panel_->selected_modifier(), 1);
    EXPECT_EQ(text("keyset_keyboard_text_edit"), "A");
    EXPECT_EQ(built(), "20 01 04");
    // A modifier clicked keeps the key.
    panel_->select_modifier(3);
    EXPECT_EQ(built(), "20 04 04");
    // A key the table lacks changes nothing.
    EXPECT_FALSE(panel_->capture_key(0x20, true));
    EXPECT_EQ(built(), "20 04 04");
    // A key without a modifier chosen gets option 0.
    choose_page(device::kPageKeyboard);
    ASSERT_TRUE(panel_->capture_key(0x1C, true));
    EXPECT_EQ(panel_->selected_modifier(), 0);
    EXPECT_EQ(text("keyset_keyboard_text_edit"), "Keypad Enter");
    EXPECT_EQ(built(), "20 00 58");
}

TEST_F(KeySetControlTest, MacroListAndItsCountRow) {
    QWidget* none = child("keyset_macro_none_hint");
    EXPECT_FALSE(none->isHidden());
    panel_->set_macro_names({"Reload", "Jump", "Build"});
    EXPECT_TRUE(none->isHidden());
    QComboBox* macros = combo("keyset_macro_combo");
    ASSERT_EQ(macros->count(), 3);
    EXPECT_EQ(macros->currentIndex(), -1);
    QWidget* count_row = child("keyset_macro_cycle_layout");

    panel_->show_assignment(fn(0x71, 0x01, 0x05), kBack);
    EXPECT_EQ(macros->currentText(), "Jump");
    EXPECT_EQ(combo("keyset_macro_over_combo")->currentIndex(), 4);
    EXPECT_FALSE(count_row->isHidden());
    EXPECT_EQ(text("keyset_macro_cycle_edit"), "5");
    type("keyset_macro_cycle_edit", "9");
    EXPECT_EQ(built(), "71 01 09");
    combo("keyset_macro_over_combo")->setCurrentIndex(2);
    EXPECT_EQ(built(), "70 01 02");
    EXPECT_TRUE(count_row->isHidden());

    // Index 3 with three macros is one past the last: nothing chosen, the function stays.
    panel_->show_assignment(fn(0x71, 0x03, 0x05), kBack);
    EXPECT_EQ(panel_->shown_page(), device::kPageMacro);
    EXPECT_EQ(macros->currentIndex(), -1);
    EXPECT_TRUE(count_row->isHidden());
    EXPECT_EQ(built(), "71 03 05");

    panel_->rename_macro_name(2, "Build 2");
    EXPECT_EQ(macros->itemText(2), "Build 2");
    panel_->remove_macro_name(0);
    panel_->remove_macro_name(7);
    EXPECT_EQ(panel_->macro_count(), 2);
    EXPECT_EQ(macros->itemText(0), "Jump");
    // Without macros the macro page keeps the function and says why nothing can be chosen.
    panel_->remove_macro_name(0);
    panel_->remove_macro_name(0);
    EXPECT_FALSE(none->isHidden());
    panel_->set_macro_names({});
    panel_->show_assignment(fn(0x10, 0x02, 0x00), kBack);
    choose_page(device::kPageMacro);
    EXPECT_EQ(built(), "10 02 00");
}

TEST_F(KeySetControlTest, ButtonsAnnounceTheirState) {
    std::vector<bool> seen;
    QObject::connect(panel_.get(), &CKeySetControlUI::buttonsChanged,
                     [&](bool on) { seen.push_back(on); });
    panel_->enable_buttons(true);
    panel_->enable_buttons(true);
    panel_->enable_buttons(false);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    EXPECT_FALSE(child<QAbstractButton>("key_butt_keysave")->isEnabled());
    EXPECT_FALSE(child<QAbstractButton>("key_butt_keycancel")->isEnabled());
}

TEST_F(KeySetControlTest, ANewLanguageRenamesListsAndTheKey) {
    panel_->show_assignment(fn(0x20, 0x00, 0x2A), kBack);
    EXPECT_EQ(text("keyset_keyboard_text_edit"), "Backspace");
    ASSERT_TRUE(texts().load_file(test::shipped_skin() + "lang/zh_CN.json"));
    panel_->retranslate();
    EXPECT_EQ(text("keyset_keyboard_text_edit"), QString::fromUtf8("退格"));
    EXPECT_EQ(combo("keyset_function_combo")->itemText(6), QString::fromUtf8("键盘按键"));
    EXPECT_EQ(combo("keyset_media_combo")->itemText(7), QString::fromUtf8("静音"));
}

// Every text id the panel's layout, its lists and the key code table use exists in both
// shipped languages.
TEST(KeyTexts, BothLanguagesNameEveryKeyAndEveryControl) {
    QStringList used;
    QFile layout(test::shipped_skin() + "XML/CustomControlXML/KeySetControl.ui");
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    const QRegularExpression ui_id(
        R"re(name="(?:textid|tooltipid|placeholderid)" stdset="0">\s*<string>([^<]+)<)re");
    const QString xml = QString::fromUtf8(layout.readAll());
    for (auto it = ui_id.globalMatch(xml); it.hasNext();) used << it.next().captured(1);
    EXPECT_GT(used.size(), 30);
    for (const device::KeyCodeRow& row : device::kKeyCodeTable)
        used << QString::fromUtf8(row.name.data(), int(row.name.size()));
    for (int i = 0; i < 14; ++i) used << QString("keyset_function_%1").arg(i);
    for (int i = 0; i < 11; ++i) used << QString("keyset_shortcut_%1").arg(i);
    for (int i = 0; i < 5; ++i) used << QString("keyset_macro_mode_%1").arg(i);
    for (int i = 0; i < 4; ++i) used << QString("keyset_gunkey_%1").arg(i);
    used << "keyset_swing_dir_0"
         << "keyset_swing_dir_1"
         << "keyset_wheel_dir_0"
         << "keyset_wheel_dir_1"
         << "kf_no_key"
         << "kf_key_usage";
    // The selection lists and the key list rows.
    for (const char* id :
         {"kf_mouse_left", "kf_mouse_middle", "kf_mouse_right", "kf_mouse_forward", "kf_mouse_back",
          "kf_dpi_up", "kf_dpi_down", "kf_dpi_cycle", "kf_swing", "kf_wheel", "kf_fire", "kf_media",
          "kf_macro", "kf_shoot", "kf_fixed", "kf_disabled", "kf_function"})
        used << id;
    used << "message_text_7"
         << "message_text_16";
    for (const char* file : {"lang/en.json", "lang/zh_CN.json"}) {
        QFile f(test::shipped_skin() + file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QJsonObject texts = QJsonDocument::fromJson(f.readAll()).object();
        for (const QString& id : used)
            EXPECT_TRUE(texts.value(id).isString() && !texts.value(id).toString().isEmpty())
                << file << ": " << id.toStdString();
    }
}

}  // namespace
}  // namespace tellune::ui
