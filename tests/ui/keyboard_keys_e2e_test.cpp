// Key assignment on the keyboard in the whole program over the emulated keyboard: a key
// picked on the picture, a function chosen in the key panel, saved to the device; checked in
// the keyboard's key table at the key's own slot, the profile file and the key list, also
// after a restart. The keyboard's panel offers neither sensitivity nor shoot-key functions,
// and the Fn key cannot be given another function.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "core/device/key_functions.h"
#include "core/device/keyboard_light_engine.h"
#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/keyboard_device.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class KeyboardKeysEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override {
        keyboard_->keep_state(state_);
        backend_->plug(keyboard_);
    }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().connected(), 5000);
        click("key_Op_tab");
    }
    CTarvexKeyboardDevice* page() const { return shown_page<CTarvexKeyboardDevice>(); }
    CKeySetControlUI* panel() const { return find_key_set_control(page()); }
    int function_row(int function_page) {
        return find<QComboBox>("keyset_function_combo")->findData(QString::number(function_page));
    }
    void choose_function(int function_page) {
        find<QComboBox>("keyset_function_combo")->setCurrentIndex(function_row(function_page));
    }
    std::vector<uint8_t> slot(int n) const {
        const std::vector<uint8_t> t = keyboard_->key_table();
        return {t.begin() + 3 * n, t.begin() + 3 * n + 3};
    }
    Json::Value stored() {
        CDeviceProfileUI* bar = find_profile_bar(page());
        return read_json(bar->selected_profile_file())["Device"][0];
    }
    QString row(int n) {
        auto* list = find<QListWidget>("device_setkeyinfo_list");
        if (!list || n >= list->count()) return {};
        QWidget* w = list->itemWidget(list->item(n));
        auto* label = w ? w->findChild<QLabel*>("key_row_function") : nullptr;
        return label ? label->toolTip() : QString();
    }

    std::string state_ = dir_.file("keyboard0.state");
    std::shared_ptr<emulator::EmulatedDevice> keyboard_ = emulator::make_keyboard();
};

TEST_F(KeyboardKeysEndToEnd, AKeyPickedOnThePictureGetsItsFunctionAtItsOwnSlot) {
    start();
    // The keyboard's panel: no sensitivity and no shoot keys; a mouse button is offered.
    click("key_0");
    ASSERT_TRUE(panel()->panel_shown());
    EXPECT_EQ(panel()->device_mode(), device::kDeviceModeKeyboard);
    EXPECT_EQ(function_row(device::kPageSensitivity), -1);
    EXPECT_EQ(function_row(device::kPageShootKey), -1);
    EXPECT_GE(function_row(device::kPageMouseButton), 0);
    EXPECT_FALSE(find<CDeviceKeyButtonUI>("key_0")->IsKeysetImageHidden());
    EXPECT_TRUE(find<CDeviceKeyButtonUI>("key_1")->IsKeysetImageHidden());
    const std::vector<uint8_t> esc_before = slot(0);
    const std::vector<uint8_t> f5_before = slot(5);

    // Esc (slot 0) turns up the volume; F4 (key 4, slot 4) is disabled.
    choose_function(device::kPageMedia);
    find<QComboBox>("keyset_media_combo")->setCurrentIndex(6);
    click("key_4");
    choose_function(device::kPageDisabled);
    EXPECT_EQ(row(0), "Volume up");
    EXPECT_EQ(row(4), "Disabled");
    EXPECT_TRUE(panel()->buttons_enabled());
    EXPECT_EQ(slot(0), esc_before);  // nothing written before the save

    const uint64_t table_writes = keyboard_->command_count(0x09);
    click("key_butt_prosave");
    EXPECT_GT(keyboard_->command_count(0x09), table_writes);
    EXPECT_EQ(slot(0), (std::vector<uint8_t>{0x30, 0xE9, 0x00}));
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0xA0, 0x00, 0x00}));
    EXPECT_EQ(slot(5), f5_before);
    EXPECT_EQ(stored()["KeyList"][0]["Assignment"].asInt(), 0x30E900);
    EXPECT_EQ(stored()["KeyList"][4]["Assignment"].asInt(), 0xA00000);
    EXPECT_FALSE(panel()->buttons_enabled());

    // A restart, with a keyboard that kept its table: the keys are found at their slots.
    close_window();
    backend_ = std::make_shared<emulator::EmulatedBackend>();
    keyboard_ = emulator::make_keyboard();
    ASSERT_TRUE(keyboard_->keep_state(state_));
    backend_->plug(keyboard_);
    start();
    EXPECT_EQ(row(0), "Volume up");
    click("key_0");
    EXPECT_EQ(panel()->shown_page(), device::kPageMedia);
    choose_function(device::kPageDefault);
    click("key_butt_prosave");
    EXPECT_EQ(slot(0), esc_before);
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0xA0, 0x00, 0x00}));
}

TEST_F(KeyboardKeysEndToEnd, FnAndKeysTheBoardLacksHaveNoPanel) {
    start();
    click("key_0");
    ASSERT_TRUE(panel()->panel_shown());
    // On the keys tab Fn cannot be clicked; picked anyway, it gets no panel.
    EXPECT_FALSE(page()->KeyButton(CTarvexKeyboardDevice::kFnKey)->isEnabled());
    page()->select_key(CTarvexKeyboardDevice::kFnKey);
    EXPECT_FALSE(panel()->panel_shown());
    EXPECT_EQ(page()->SelectedIndex(), -1);
    EXPECT_TRUE(find<CDeviceKeyButtonUI>("key_0")->IsKeysetImageHidden());
    // A change handed over for Fn anyway is refused.
    const std::vector<uint8_t> table = keyboard_->key_table();
    device::KeyFunction volume;
    volume.type = 0x30;
    volume.param1 = 0xE9;
    page()->store_key_function(CTarvexKeyboardDevice::kFnKey, volume);
    EXPECT_NE(page()->Protocol().settings().keys[CTarvexKeyboardDevice::kFnKey].type, 0x30);
    // Key 18 is not on this board.
    page()->select_key(18);
    EXPECT_FALSE(panel()->panel_shown());
    EXPECT_EQ(keyboard_->key_table(), table);
}

TEST_F(KeyboardKeysEndToEnd, InTheCustomColourModeAClickOnTheKeysTabStillPicksTheKey) {
    start();
    const LightSettings custom = LightSettings::make(device::kKbCustom, 4, 4, 0, 0, 0, 255, 0, 0);
    page()->set_light_settings(custom.word[0], custom.word[1], custom.word[2]);
    const QString colours_before = QString::fromStdString(stored().toStyledString());
    click("key_2");
    EXPECT_TRUE(panel()->panel_shown());
    EXPECT_EQ(page()->SelectedIndex(), 2);
    EXPECT_EQ(QString::fromStdString(stored().toStyledString()), colours_before);
}

}  // namespace
}  // namespace tellune::ui
