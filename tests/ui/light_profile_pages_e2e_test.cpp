// The user's light settings in the whole program over the four emulated devices: every page
// shows its profile's values, a visit changes nothing in the file, and changing one control
// stores that one value and leaves every other byte of the profile as it was.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <array>
#include <map>
#include <string>

#include "core/platform/files.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/device_option.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/editors/light_control_ui.h"

namespace tellune::ui {
namespace {

constexpr char kUuid[] = "2024_05_06_07_08_09_010";

// A mode with a colour that is not the kind's default one.
int users_mode(int kind) {
    return kind == kDeviceMouse ? 4 : 3;
}

// Not what any shipped default profile has: another mode, a dim light, slow, one colour,
// the left direction.
Json::Value users_light(int kind) {
    Json::Value light(Json::objectValue);
    light["SelectItem"] = users_mode(kind);
    light["Light"] = 2;
    light["Speed"] = 1;
    light["MultiColor"] = 0;
    light["Red"] = 12;
    light["Green"] = 200;
    light["Blue"] = 77;
    light["Fx"] = 1;
    light["ZZCCLedMode"] = 0;
    return light;
}

class LightProfilePages : public test::ProgramTest {
protected:
    void SetUp() override {
        // One profile per device, the shipped defaults with the user's own light.
        for (int kind : {kDeviceMouse, kDeviceKeyboard, kDeviceMousePad, kDeviceHeadset}) {
            Json::Value doc = read_json(default_profile_file(kind));
            ASSERT_TRUE(doc.isObject()) << kind;
            doc["profilename"] = "Mine";
            doc["profileUUID"] = kUuid;
            doc["Device"][0]["LightInfo"] = users_light(kind);
            const std::string file = user_profile_file(kind, kUuid);
            ASSERT_TRUE(write_json_file(file, doc));
            Json::Value list(Json::objectValue);
            list["profilelist"][0]["profilename"] = "Mine";
            list["profilelist"][0]["profileUUID"] = kUuid;
            list["profilelist"][0]["profileislink"] = 0;
            list["profilelist"][0]["profilelinkmame"] = "";
            list["profileselect"] = 0;
            ASSERT_TRUE(write_json_file(
                user_data_folder(device_folder_name(kind)) + "ProfileList.ini", list));
            files_[kind] = file;
            texts_[kind] = read_whole_file(file);
        }
        backend_->plug(emulator::make_mouse());
        backend_->plug(emulator::make_keyboard());
        backend_->plug(emulator::make_mouse_pad());
        backend_->plug(emulator::make_headset());
        open_window();
        ASSERT_SOON(wnd_->present_device_count() == 4, 10000);
        for (CTarvexUSBDevice* page : pages_->Pages())
            ASSERT_SOON(page->ProfileData()->profile_path() == files_[page->Kind()], 5000);
    }

    void show(CTarvexUSBDevice* page) {
        auto* button =
            pages_->EntryOf(page)->findChild<QAbstractButton*>(QStringLiteral("device_select"));
        ASSERT_NE(button, nullptr);
        button->click();
        ASSERT_EQ(wnd_->current_page(), page);
    }

    std::map<int, std::string> files_;
    std::map<int, std::string> texts_;
};

TEST_F(LightProfilePages, EveryPageShowsItsProfilesLightAndAVisitWritesNothing) {
    for (CTarvexUSBDevice* page : pages_->Pages()) {
        SCOPED_TRACE(page->objectName().toStdString());
        show(page);
        CLightControlUI* panel = find_light_control(page);
        ASSERT_NE(panel, nullptr);
        auto* modes = panel->findChild<QComboBox*>(QStringLiteral("light_combo_modeSelect"));
        ASSERT_NE(modes, nullptr);
        ASSERT_GT(modes->count(), 3);
        EXPECT_EQ(panel->current_mode(), users_mode(page->Kind()));
        EXPECT_EQ(panel->brightness(), 2);
        EXPECT_EQ(panel->speed(), 1);
        EXPECT_EQ(panel->colour_text(CLightControlUI::kRed), "12");
        EXPECT_EQ(panel->colour_text(CLightControlUI::kGreen), "200");
        EXPECT_EQ(panel->colour_text(CLightControlUI::kBlue), "77");
        EXPECT_EQ(panel->palette_colour(), 0xFF0CC84Du);
        EXPECT_FALSE(panel->seven_colour());
        EXPECT_EQ(panel->fx(), 1);
        EXPECT_EQ(
            page->ProfileData()->light_settings(),
            LightSettings::make(uint8_t(users_mode(page->Kind())), 2, 1, 1, 0, 12, 200, 77, 0));
    }
    // Looked at, never written.
    for (const auto& [kind, file] : files_) EXPECT_EQ(read_whole_file(file), texts_[kind]) << kind;
}

TEST_F(LightProfilePages, ChangingOneControlStoresOnlyThatValue) {
    for (CTarvexUSBDevice* page : pages_->Pages()) {
        SCOPED_TRACE(page->objectName().toStdString());
        show(page);
        const std::string& file = files_[page->Kind()];
        Json::Value expected = read_json(file);
        auto* brightness = page->findChild<QAbstractSlider*>(QStringLiteral("deng_light_slider"));
        ASSERT_NE(brightness, nullptr);
        brightness->setValue(4);
        expected["Device"][0]["LightInfo"]["Light"] = 4;
        EXPECT_EQ(read_json(file), expected);
        // The device control holds (and sends) the profile's values with the one change.
        const uint8_t mode = uint8_t(users_mode(page->Kind()));
        LightSettings now = LightSettings::make(mode, 4, 1, 1, 0, 12, 200, 77, 0);
        EXPECT_EQ(page->ProfileData()->light_settings(), now);
        EXPECT_EQ(page->LightSettingWords(),
                  (std::array<uint32_t, 3>{now.word[0], now.word[1], now.word[2]}));

        // A colour typed and confirmed with Enter: the three colours change, and the cycle
        // goes off; the rest stays.
        auto* green = page->findChild<QLineEdit*>(QStringLiteral("deng_edit_G"));
        ASSERT_NE(green, nullptr);
        ASSERT_TRUE(green->isEnabled());
        green->setText(QStringLiteral("300"));
        QTest::keyClick(green, Qt::Key_Return);
        EXPECT_EQ(green->text(), "255");
        expected["Device"][0]["LightInfo"]["Green"] = 255;
        EXPECT_EQ(read_json(file), expected);
        now = LightSettings::make(mode, 4, 1, 1, 0, 12, 255, 77, 0);
        EXPECT_EQ(page->ProfileData()->light_settings(), now);
    }
}

}  // namespace
}  // namespace tellune::ui
