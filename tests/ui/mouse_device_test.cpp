// The mouse's device control over the emulated mouse: first contact, the profile it loads,
// the settings block it writes and the light preview its light thread feeds.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <vector>

#include "core/profile/json_file.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/control_factory.h"
#include "ui/device/tarvex_devices.h"
#include "ui/profile/device_profile_ui.h"
#include "ui/profile/profile_bar.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class MouseDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend_->plug(mouse_);
        page_ = std::make_unique<CTarvexMouseDevice>(backend_);
        page_->SetLedCount(8);
        page_->SetLightName(QStringLiteral("pomex_light"));
    }
    void TearDown() override { page_.reset(); }
    bool open_configuration() {
        for (const std::string& path : emulator::interface_paths(*mouse_))
            if (path.find("&col04") != std::string::npos) return page_->Config().Connect(path);
        return false;
    }

    TempDir home_;
    ScopedEnv data_{"XDG_DATA_HOME", home_.path().string()};
    ScopedEnv program_{"TELLUNE_DATA_DIR", test::source_folder().toStdString()};
    std::shared_ptr<emulator::EmulatedBackend> backend_ =
        std::make_shared<emulator::EmulatedBackend>();
    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
    std::unique_ptr<CTarvexMouseDevice> page_;
};

TEST_F(MouseDeviceTest, ClosedChannelSendsNothing) {
    page_->connect_device();
    EXPECT_EQ(page_->write_settings(0, 0, 0, 0, 0), 0);
    EXPECT_EQ(mouse_->command_count(1) + mouse_->command_count(3) + mouse_->command_count(6), 0u);
}

TEST_F(MouseDeviceTest, ConnectsWritesTheDefaultProfileAndLightsThePreview) {
    ASSERT_TRUE(open_configuration());
    page_->connect_device();
    // First contact: begin, information block, key table, end.
    EXPECT_EQ(mouse_->command_count(1), 1u);
    EXPECT_EQ(mouse_->command_count(3), 1u);
    EXPECT_EQ(mouse_->command_count(7), 1u);
    EXPECT_EQ(mouse_->command_count(2), 1u);
    EXPECT_TRUE(page_->Protocol().has_key_table());

    ASSERT_EQ(page_->write_settings(0, 0, 0, 0, 0), 1);
    // The shipped mouse profile: spectrum (2), brightness 4, speed 2 sent as 4 - 2, several
    // colours, red; report rate 0; stages 3, 7, 15, 23 | active 1 | 31, 47; stage colours.
    const std::vector<uint8_t> expected = {
        0x00, 0x02, 0x04, 0x02, 0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x03, 0x00, 0x07, 0x00, 0x0F, 0x00, 0x17, 0x00, 0x01, 0x1F, 0x00, 0x2F, 0x00};
    const std::vector<uint8_t> memory = mouse_->memory();
    ASSERT_GE(memory.size(), 41u);
    EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 28), expected);
    const std::vector<uint8_t> colours = {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF};
    EXPECT_EQ(std::vector<uint8_t>(memory.begin() + 32, memory.begin() + 41), colours);

    // The light thread renders, the preview takes its frame.
    ASSERT_SOON(
        [&] {
            page_->refresh_light_preview();
            return (page_->GetLedColour(0) >> 24) != 0;
        }(),
        2000);
}

TEST_F(MouseDeviceTest, NewLightSettingsReachTheProfileAndThePreview) {
    ASSERT_TRUE(open_configuration());
    page_->connect_device();
    // Static (mode 5), full brightness, green.
    const LightSettings green = LightSettings::make(5, 4, 2, 0, 0, 0x00, 0xFF, 0x00, 0);
    page_->set_light_settings(green.word[0], green.word[1], green.word[2]);
    EXPECT_EQ(page_->MouseProfile()->read_light_settings(), green);
    ASSERT_SOON(
        [&] {
            page_->refresh_light_preview();
            return (page_->GetLedColour(0) & 0xFFFFFF) == 0x00FF00;
        }(),
        2000);
    ASSERT_EQ(page_->write_settings(0, 0, 0, 0, 0), 1);
    const std::vector<uint8_t> memory = mouse_->memory();
    EXPECT_EQ(memory[1], 5);
    EXPECT_EQ(memory[7], 0xFF);
}

// On the real page the bar names the profile: first contact makes the list, loads its
// selected profile, and a change is saved into that profile's file.
TEST_F(MouseDeviceTest, FirstContactUsesTheBarsSelectedProfile) {
    register_profile_controls();
    ControlFactory factory(test::shipped_skin());
    QWidget* built = factory.load_layout("XML/CustomControlXML/DeviceProfile.ui", page_.get());
    ASSERT_NE(qobject_cast<CDeviceProfileUI*>(built), nullptr);
    ASSERT_TRUE(open_configuration());
    page_->connect_device();

    CDeviceProfileUI* bar = find_profile_bar(page_.get());
    ASSERT_NE(bar, nullptr);
    const std::string file = bar->selected_profile_file();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(page_->MouseProfile()->profile_path(), file);
    const Json::Value stored = read_json(file);
    EXPECT_EQ(json_string(stored["profilename"]), "profile1");

    const LightSettings blue = LightSettings::make(5, 3, 1, 0, 0, 0x00, 0x00, 0xFF, 0);
    page_->set_light_settings(blue.word[0], blue.word[1], blue.word[2]);
    page_->save();
    EXPECT_EQ(json_int(read_json(file)["Device"][0]["LightInfo"]["Blue"], -1), 255);
    unregister_profile_controls();
}

}  // namespace
}  // namespace tellune::ui
