// Macros on the keyboard in the whole program over the emulated keyboard: a macro recorded
// and one inserted by hand in the keyboard's own library, assigned to keys on the keys tab and
// saved; checked in the keyboard's macro area (decoded and byte for byte), the key's own slot
// and the profile, also after a restart with a keyboard that kept its memory. Deleting a macro
// moves the keys on the keyboard too, and a failed write says so.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "core/device/key_functions.h"
#include "core/device/macro_image.h"
#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/window_scale.h"
#include "ui/device/keyboard_device.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/macro/macro_control_ui.h"
#include "ui/macro/macro_editor.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

using device::MacroEvents;

constexpr int kCtrl = 29, kC = 46;        // Linux key codes
constexpr int kF5 = 5, kF6 = 6, kA = 64;  // key indices on the picture

class KeyboardMacroEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override {
        keyboard_->keep_state(state_);
        backend_->plug(keyboard_);
    }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().connected(), 10000);
        editor_ = wnd_->extension<MacroEditor>();
        ASSERT_NE(editor_, nullptr);
        editor_->set_message_function([this](QWidget*, const QString& text, bool, int) {
            messages_.push_back(text);
            return 1;
        });
        click("macro_Op_tab");
        wnd_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(wnd_.get()));
        control()->set_clock([this] { return now_; });
    }
    void restart() {
        close_window();
        backend_ = std::make_shared<emulator::EmulatedBackend>();
        keyboard_ = emulator::make_keyboard();
        ASSERT_TRUE(keyboard_->keep_state(state_));
        backend_->plug(keyboard_);
        ASSERT_NO_FATAL_FAILURE(start());
    }
    CTarvexKeyboardDevice* page() const { return shown_page<CTarvexKeyboardDevice>(); }
    CMacroControlUI* control() const { return find_macro_control(page()); }
    void key(int evdev, bool down, int after) {
        now_ += after;
        const int rows = control()->actions().size();
        QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier,
                    quint32(evdev + 8), 0, 0);
        QApplication::sendEvent(
            QApplication::focusWidget() ? QApplication::focusWidget() : wnd_.get(), &e);
        ASSERT_SOON(control()->actions().size() > rows, 2000);
    }
    // A macro with a move of `counts` to the left, inserted by hand.
    void add_move_macro(int counts) {
        click("macro_btn_name_add");
        find<QLineEdit>("mouse_x_left_edit")->setText(QString::number(counts));
        click("macro_inset_moveleftkey_btn");
    }
    // Key `key` plays macro `index` (mode 0), saved to the keyboard, from the keys tab.
    void assign(int key, int index) {
        click("key_Op_tab");
        click(QStringLiteral("key_%1").arg(key));
        ASSERT_TRUE(find_key_set_control(page())->panel_shown());
        auto* functions = find<QComboBox>("keyset_function_combo");
        functions->setCurrentIndex(functions->findData(QString::number(device::kPageMacro)));
        find<QComboBox>("keyset_macro_combo")->setCurrentIndex(index);
        find<QComboBox>("keyset_macro_over_combo")->setCurrentIndex(0);
        click("key_butt_prosave");
        click("macro_Op_tab");
    }
    // The three bytes of the key table slot that holds key `key`.
    std::vector<uint8_t> slot_of(int key) const {
        const int s = page()->Protocol().key_slot_map()[size_t(key)];
        EXPECT_NE(s, device::kNoSlot) << key;
        const std::vector<uint8_t> t = keyboard_->key_table();
        return {t.begin() + 3 * s, t.begin() + 3 * s + 3};
    }
    std::vector<MacroEvents> device_macros() const {
        const auto decoded = device::decode_macro_image(keyboard_->macro_area());
        return decoded ? *decoded : std::vector<MacroEvents>{};
    }
    int stored_assignment(int key) {
        const Json::Value keys =
            read_json(find_profile_bar(page())->selected_profile_file())["Device"][0]["KeyList"];
        return keys[key]["Assignment"].asInt();
    }
    QString key_row(int key) {
        auto* list = find<QListWidget>("device_setkeyinfo_list");
        QWidget* w = list->itemWidget(list->item(key));
        auto* label = w ? w->findChild<QLabel*>("key_row_function") : nullptr;
        return label ? label->toolTip() : QString();
    }

    std::string state_ = dir_.file("keyboard0.state");
    std::shared_ptr<emulator::EmulatedDevice> keyboard_ = emulator::make_keyboard();
    MacroEditor* editor_ = nullptr;
    std::vector<QString> messages_;
    int64_t now_ = 5'000'000;
};

TEST_F(KeyboardMacroEndToEnd, RecordedMacroPlaysOnAKeyAndSurvivesARestart) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(control()->name_list()->count(), 0);
    const std::vector<uint8_t> f5_default = slot_of(kF5);

    click("macro_btn_name_add");
    ASSERT_EQ(control()->name_list()->count(), 1);
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->count(), 1);  // the key panel follows
    click("macro_btn_starredio");
    ASSERT_SOON(wnd_->input_hook_installed(), 2000);
    key(kCtrl, true, 10);
    key(kC, true, 30);
    key(kC, false, 60);
    key(kCtrl, false, 20);
    QTest::mouseClick(find("macro_btn_stopredio"), Qt::LeftButton);
    ASSERT_SOON(!wnd_->input_hook_installed(), 2000);
    ASSERT_EQ(control()->actions().size(), 4);
    // The keyboard keeps its own library, in its own folder.
    const std::string file = control()->library().macro_file(0);
    EXPECT_EQ(file.rfind(page()->UserDataFolder(), 0), 0u) << file;
    EXPECT_EQ(read_json(file)["Events"].size(), 4u);
    // Saved at Stop and written to the keyboard's macro area.
    const MacroEvents expected = {{30, 0x89, 1}, {60, 0x8A, 6}, {20, 0x0A, 6}, {0, 0x09, 1}};
    ASSERT_EQ(device_macros().size(), 1u);
    EXPECT_EQ(device_macros()[0], expected);
    // Header (L = 16 + 2 + 4 + 4·4 = 38, one macro), its offset, its count and events.
    const std::vector<uint8_t> image = {
        0xAA, 0x55, 0x26, 0x00, 0x01, 0x00, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0,  // header
        0x12, 0x00,                                                              // offset 18
        0x04, 0x00, 0x00, 0x00,                                                  // 4 events
        0x1E, 0x00, 0x89, 0x01, 0x3C, 0x00, 0x8A, 0x06,   // Ctrl down, C down
        0x14, 0x00, 0x0A, 0x06, 0x00, 0x00, 0x09, 0x01};  // C up, Ctrl up
    const std::vector<uint8_t> area = keyboard_->macro_area();
    ASSERT_GE(area.size(), image.size());
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + long(image.size())), image);

    // F5 plays it: written at F5's own slot, stored in the profile, named in the key list.
    assign(kF5, 0);
    EXPECT_EQ(slot_of(kF5), (std::vector<uint8_t>{0x70, 0x00, 0x00}));
    EXPECT_EQ(stored_assignment(kF5), 0x700000);
    EXPECT_EQ(key_row(kF5), "Macro: macro_1");
    EXPECT_TRUE(messages_.empty());

    ASSERT_NO_FATAL_FAILURE(restart());
    ASSERT_EQ(control()->name_list()->count(), 1);
    control()->name_list()->setCurrentRow(0);
    EXPECT_EQ(control()->actions().size(), 4);
    EXPECT_EQ(slot_of(kF5), (std::vector<uint8_t>{0x70, 0x00, 0x00}));
    EXPECT_EQ(device_macros(), std::vector<MacroEvents>{expected});
    click("key_Op_tab");
    click(QStringLiteral("key_%1").arg(kF5));
    EXPECT_EQ(find_key_set_control(page())->shown_page(), device::kPageMacro);
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->currentText(), "macro_1");
    EXPECT_EQ(key_row(kF5), "Macro: macro_1");
    EXPECT_NE(slot_of(kF6), slot_of(kF5));

    // Back to its own function: the keyboard's slot holds the factory code again.
    find<QComboBox>("keyset_function_combo")
        ->setCurrentIndex(find<QComboBox>("keyset_function_combo")
                              ->findData(QString::number(device::kPageDefault)));
    click("key_butt_prosave");
    EXPECT_EQ(slot_of(kF5), f5_default);
}

TEST_F(KeyboardMacroEndToEnd, DeletingAMacroReturnsItsKeysAndShiftsTheLaterOnes) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::vector<uint8_t> f6_default = slot_of(kF6);
    for (int i = 0; i < 3; ++i) add_move_macro(i + 1);
    ASSERT_EQ(device_macros().size(), 3u);
    assign(kF6, 1);  // F6 plays macro_2
    assign(kA, 2);   // A plays macro_3
    EXPECT_EQ(slot_of(kF6), (std::vector<uint8_t>{0x70, 0x01, 0x00}));
    EXPECT_EQ(slot_of(kA), (std::vector<uint8_t>{0x70, 0x02, 0x00}));

    control()->name_list()->setCurrentRow(1);
    click("macro_btn_name_sub");
    // Asked first, then again because a key still plays it.
    EXPECT_EQ(messages_, (std::vector<QString>{"message_text_4", "message_text_2"}));
    ASSERT_EQ(control()->name_list()->count(), 2);
    EXPECT_EQ(slot_of(kF6), f6_default);
    EXPECT_EQ(slot_of(kA), (std::vector<uint8_t>{0x70, 0x01, 0x00}));
    const std::vector<MacroEvents> macros = device_macros();
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros[1], (MacroEvents{{50, 0x84, 3}}));  // macro_3's move, now second
    EXPECT_EQ(stored_assignment(kA), 0x700100);
    EXPECT_EQ(stored_assignment(kF6) & 0xFF0000, f6_default[0] << 16);
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->count(), 2);
    EXPECT_EQ(key_row(kA), "Macro: macro_3");
    EXPECT_EQ(page()->keys_playing_macro(1), 1);
    EXPECT_EQ(page()->keys_playing_macro(0), 0);

    // Kept across a restart.
    ASSERT_NO_FATAL_FAILURE(restart());
    EXPECT_EQ(slot_of(kA), (std::vector<uint8_t>{0x70, 0x01, 0x00}));
    EXPECT_EQ(slot_of(kF6), f6_default);
    EXPECT_EQ(device_macros(), macros);
}

TEST_F(KeyboardMacroEndToEnd, AFailedMacroWriteIsReported) {
    ASSERT_NO_FATAL_FAILURE(start());
    add_move_macro(2);
    ASSERT_EQ(device_macros().size(), 1u);
    ASSERT_TRUE(messages_.empty());
    // The keyboard refuses the next macro download.
    keyboard_->add_fault_rule({emulator::FaultKind::status, 0x15, 1, 0xFF, -1});
    const std::vector<uint8_t> before = keyboard_->macro_area();
    find<QLineEdit>("mouse_x_left_edit")->setText("3");
    click("macro_inset_moveleftkey_btn");
    EXPECT_EQ(messages_, (std::vector<QString>{"message_text_7"}));
    EXPECT_EQ(keyboard_->macro_area(), before);
    keyboard_->clear_faults();
    messages_.clear();
    // Once the keyboard takes it again the next change goes through.
    find<QLineEdit>("mouse_x_left_edit")->setText("4");
    click("macro_inset_moveleftkey_btn");
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(device_macros().size(), 1u);
    EXPECT_EQ(device_macros()[0].size(), 3u);
}

// The keyboard's macro tab at the window's own size and on a small screen: every control is
// shown, inside the window, and buttons and lists not squeezed below their minimum.
TEST_F(KeyboardMacroEndToEnd, TheMacroTabFitsTheWindow) {
    const QString shots = screenshot_folder();
    ASSERT_NO_FATAL_FAILURE(start());
    add_move_macro(2);
    click("macro_btn_name_add");
    click("macro_btn_starredio");
    ASSERT_SOON(wnd_->input_hook_installed(), 2000);
    key(kCtrl, true, 10);
    key(kC, true, 30);
    key(kC, false, 60);
    key(kCtrl, false, 20);
    QTest::mouseClick(find("macro_btn_stopredio"), Qt::LeftButton);
    ASSERT_SOON(!wnd_->input_hook_installed(), 2000);
    const std::vector<QString> names = {
        "macro_name_list",     "macro_btn_name_add",    "macro_btn_name_sub",
        "macro_btn_import",    "macro_btn_export",      "macro_edit_macroname",
        "macro_action_list",   "macro_btn_delete",      "macro_btn_save",
        "macro_btn_starredio", "mouse_x_left_edit",     "macro_inset_moveleftkey_btn",
        "macro_check_time",    "macro_fixed_time_edit", "DeviceProfileItem"};
    for (const QSize size : {QSize(kMainWidth, kMainHeight), QSize(1280, 720)}) {
        wnd_->resize(size);
        wnd_->show();
        QApplication::processEvents();
        expect_whole_on_screen(names, QString::number(size.width()));
        EXPECT_FALSE(find("key_0")->isVisible());  // the picture belongs to the other tabs
        if (!shots.isEmpty())
            wnd_->grab().save(shots + QStringLiteral("/keyboard_macro_%1.png").arg(size.width()));
    }
}

}  // namespace
}  // namespace tellune::ui
