// Key assignment in the whole program over the emulated mouse, as a person does it: a button
// picked on the mouse picture, a function chosen in the key panel, keys pressed into the key
// box, the result saved to the device; checked in the emulated mouse's key table, the profile
// file and the key list rows, also after a restart of the program.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_devices.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class KeyAssignEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override {
        mouse_->keep_state(state_);
        backend_->plug(mouse_);
    }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().has_key_table(),
                    5000);
        click("key_Op_tab");
        wnd_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(wnd_.get()));
    }
    // A restart of the program, with a mouse that kept its key table as a real one does.
    void restart() {
        close_window();
        backend_ = std::make_shared<emulator::EmulatedBackend>();
        mouse_ = emulator::make_mouse();
        ASSERT_TRUE(mouse_->keep_state(state_));
        backend_->plug(mouse_);
        start();
    }
    CTarvexMouseDevice* page() const { return shown_page<CTarvexMouseDevice>(); }
    CKeySetControlUI* panel() const { return find_key_set_control(page()); }
    void choose(const QString& combo, int index) { find<QComboBox>(combo)->setCurrentIndex(index); }
    void choose_function(int page) {
        auto* functions = find<QComboBox>("keyset_function_combo");
        functions->setCurrentIndex(functions->findData(QString::number(page)));
    }
    // A key press and release as the desktop delivers them (native code = evdev code + 8).
    void press(QWidget* to, int evdev, bool release = true) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, quint32(evdev + 8), 0, 0);
        QApplication::sendEvent(to, &down);
        if (!release) return;
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, quint32(evdev + 8), 0, 0);
        QApplication::sendEvent(to, &up);
    }
    std::vector<uint8_t> slot(int n) const {
        const std::vector<uint8_t> t = mouse_->key_table();
        return {t.begin() + 3 * n, t.begin() + 3 * n + 3};
    }
    Json::Value stored() {
        CDeviceProfileUI* bar = find_profile_bar(page());
        return read_json(bar->selected_profile_file())["Device"][0];
    }
    int stored_assignment(int key) { return stored()["KeyList"][key]["Assignment"].asInt(); }
    // The assignment text of key list row n.
    QString row(int n) {
        auto* list = find<QListWidget>("device_setkeyinfo_list");
        if (!list || n >= list->count()) return {};
        QWidget* w = list->itemWidget(list->item(n));
        auto* label = w ? w->findChild<QLabel*>("key_row_function") : nullptr;
        return label ? label->toolTip() : QString();
    }
    std::vector<uint8_t> commands() const {
        std::vector<uint8_t> out;
        for (const emulator::LogEntry& e : mouse_->log().entries())
            if (e.direction == emulator::Direction::received && e.collection == 4 &&
                e.bytes.size() == 64)
                out.push_back(e.bytes[3]);
        return out;
    }
    bool selector_enabled() { return wnd_->control("device_select_layout")->isEnabled(); }
    bool profile_bar_enabled() { return find("DeviceProfileItem")->isEnabled(); }

    std::string state_ = dir_.file("mouse0.state");
    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
};

TEST_F(KeyAssignEndToEnd, CtrlAPressedIntoButtonFourReachesTheMouseTheProfileAndTheList) {
    start();
    EXPECT_EQ(row(4), "Back");
    click("key_4");
    ASSERT_TRUE(panel()->panel_shown());
    EXPECT_EQ(panel()->shown_page(), device::kPageDefault);
    EXPECT_FALSE(find<CDeviceKeyButtonUI>("key_4")->IsKeysetImageHidden());
    EXPECT_TRUE(find<CDeviceKeyButtonUI>("key_3")->IsKeysetImageHidden());

    choose_function(device::kPageKeyboard);
    EXPECT_EQ(row(4), "No key");
    auto* box = find<QLineEdit>("keyset_keyboard_text_edit");
    box->setFocus();
    ASSERT_SOON(wnd_->input_hook_installed(), 2000);
    press(box, 29, false);  // left Ctrl, held
    press(box, 30);         // A
    QKeyEvent ctrl_up(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, 29 + 8, 0, 0);
    QApplication::sendEvent(box, &ctrl_up);
    ASSERT_SOON(box->text() == "A", 2000);
    QTest::qWait(20);  // the releases are posted too: they must change nothing
    EXPECT_EQ(box->text(), "A");
    EXPECT_EQ(panel()->selected_modifier(), 1);
    EXPECT_EQ(row(4), "Left Ctrl+A");
    EXPECT_TRUE(panel()->buttons_enabled());
    EXPECT_FALSE(selector_enabled());
    EXPECT_FALSE(profile_bar_enabled());
    // Nothing is written before the user saves to the device.
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0x10, 0x08, 0x00}));
    EXPECT_EQ(stored_assignment(4), 0x100800);

    mouse_->log().clear();
    click("key_butt_prosave");
    EXPECT_EQ(commands(), (std::vector<uint8_t>{0x03, 0x01, 0x09, 0x02}));
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0x20, 0x01, 0x04}));
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0x10, 0x10, 0x00}));
    EXPECT_EQ(stored_assignment(4), 0x200104);
    EXPECT_EQ(stored()["KeyList"][4]["DefaultAssignment"].asInt(), 0x100800);
    EXPECT_FALSE(panel()->buttons_enabled());
    EXPECT_TRUE(selector_enabled());
    EXPECT_TRUE(profile_bar_enabled());

    // Once the key box has lost the focus, keys are no longer captured.
    box->clearFocus();
    ASSERT_SOON(!wnd_->input_hook_installed(), 2000);
    press(box, 48);  // B
    QTest::qWait(20);
    EXPECT_EQ(box->text(), "A");

    restart();
    EXPECT_EQ(row(4), "Left Ctrl+A");
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0x20, 0x01, 0x04}));
    click("key_4");
    EXPECT_EQ(panel()->shown_page(), device::kPageKeyboard);
    EXPECT_EQ(panel()->selected_modifier(), 1);
    EXPECT_EQ(find<QLineEdit>("keyset_keyboard_text_edit")->text(), "A");
    // The button is still found in its slot: a new function goes there.
    choose_function(device::kPageMedia);
    choose("keyset_media_combo", 6);
    click("key_butt_prosave");
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0x30, 0xE9, 0x00}));
}

TEST_F(KeyAssignEndToEnd, MediaKeyDpiFunctionAndDisabledInOneSave) {
    start();
    click("key_1");
    choose_function(device::kPageMedia);
    choose("keyset_media_combo", 6);  // volume up
    click("key_2");
    choose_function(device::kPageSensitivity);
    choose("keyset_mousedpi_combo", 2);
    click("key_3");
    choose_function(device::kPageDisabled);
    EXPECT_EQ(row(1), "Volume up");
    EXPECT_EQ(row(2), "DPI cycle");
    EXPECT_EQ(row(3), "Disabled");
    click("key_butt_prosave");
    EXPECT_EQ(slot(1), (std::vector<uint8_t>{0x30, 0xE9, 0x00}));
    EXPECT_EQ(slot(2), (std::vector<uint8_t>{0x13, 0x03, 0x00}));
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0xA0, 0x00, 0x00}));
    EXPECT_EQ(slot(0), (std::vector<uint8_t>{0x10, 0x01, 0x00}));
    EXPECT_EQ(stored_assignment(1), 0x30E900);
    EXPECT_EQ(stored_assignment(2), 0x130300);
    EXPECT_EQ(stored_assignment(3), 0xA00000);

    // Picking a key shows what it now does, also after a restart.
    click("key_1");
    EXPECT_EQ(panel()->shown_page(), device::kPageMedia);
    EXPECT_EQ(find<QComboBox>("keyset_media_combo")->currentIndex(), 6);

    restart();
    EXPECT_EQ(row(1), "Volume up");
    EXPECT_EQ(row(2), "DPI cycle");
    EXPECT_EQ(row(3), "Disabled");
    EXPECT_EQ(slot(1), (std::vector<uint8_t>{0x30, 0xE9, 0x00}));
    EXPECT_EQ(slot(2), (std::vector<uint8_t>{0x13, 0x03, 0x00}));
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0xA0, 0x00, 0x00}));
    click("key_2");
    EXPECT_EQ(panel()->shown_page(), device::kPageSensitivity);
    EXPECT_EQ(find<QComboBox>("keyset_mousedpi_combo")->currentIndex(), 2);
    click("key_3");
    EXPECT_EQ(panel()->shown_page(), device::kPageDisabled);
}

TEST_F(KeyAssignEndToEnd, DefaultIsShownAndAppliedWithApplyCancelDropsTheChange) {
    start();
    click("key_0");
    choose_function(device::kPageFire);
    auto* interval = find<QLineEdit>("keyset_mousefire_interval_edit");
    auto* count = find<QLineEdit>("keyset_mousefire_num_edit");
    count->setText("0");
    interval->setFocus();
    interval->setText("40");
    count->setFocus();  // leaving the edit hands the change over
    ASSERT_SOON(row(0) == "Fire (40 ms, ×0)", 2000);
    click("key_butt_prosave");
    ASSERT_EQ(slot(0), (std::vector<uint8_t>{0x14, 0x28, 0x00}));

    // Default only shows the factory function; Apply gives it to the key.
    click("key_butt_keydefalut");
    EXPECT_EQ(panel()->shown_page(), device::kPageDefault);
    EXPECT_TRUE(panel()->buttons_enabled());
    EXPECT_EQ(row(0).left(4), "Fire");
    click("key_butt_keysave");
    EXPECT_EQ(row(0), "Left button");
    EXPECT_TRUE(panel()->buttons_enabled());
    EXPECT_EQ(stored_assignment(0), 0x142800);  // not saved yet

    // Cancel drops what was applied and not saved: key, row and panel as saved.
    click("key_butt_keycancel");
    EXPECT_FALSE(panel()->buttons_enabled());
    EXPECT_TRUE(selector_enabled());
    EXPECT_EQ(row(0).left(4), "Fire");
    EXPECT_EQ(panel()->shown_page(), device::kPageFire);
    EXPECT_EQ(find<QLineEdit>("keyset_mousefire_interval_edit")->text(), "40");
    EXPECT_EQ(page()->Protocol().settings().keys[0].type, 0x14);

    // An unsaved change is also dropped when another tab reloads the profile.
    choose_function(device::kPageDisabled);
    EXPECT_EQ(row(0), "Disabled");
    EXPECT_FALSE(selector_enabled());
    click("deng_Op_tab");
    EXPECT_TRUE(selector_enabled());
    click("key_Op_tab");
    EXPECT_EQ(row(0).left(4), "Fire");
    EXPECT_FALSE(panel()->buttons_enabled());
}

TEST_F(KeyAssignEndToEnd, AFailedWriteIsReportedAndTheProfileStillSaved) {
    start();
    click("key_2");
    choose_function(device::kPageSystem);
    choose("keyset_system_combo", 1);  // sleep
    mouse_->fail_chunk(0xFE, 1, 0x09);
    QString shown;
    QTimer::singleShot(0, [&shown] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        if (auto* text = box->findChild<QLabel*>("MessageText")) shown = text->text();
        for (QLabel* l : box->findChildren<QLabel*>()) shown += "|" + l->text();
        auto* ok = box->findChild<QAbstractButton*>("confirm_btn");
        ASSERT_NE(ok, nullptr);
        ok->click();
    });
    click("key_butt_prosave");
    EXPECT_TRUE(shown.contains("The device reported an error (-103).")) << shown.toStdString();
    EXPECT_EQ(slot(2), (std::vector<uint8_t>{0x10, 0x04, 0x00}));
    EXPECT_EQ(stored_assignment(2), 0x400200);
    EXPECT_FALSE(panel()->buttons_enabled());
    EXPECT_TRUE(selector_enabled());
}

}  // namespace
}  // namespace tellune::ui
