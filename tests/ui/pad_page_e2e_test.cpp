// The mouse pad's page in the whole main window over the emulated pad: the picture follows
// the chosen effect, the change reaches the pad's settings block, the pad's own request to
// synchronise turns the picture to what the pad runs, and the power widget shows the phone
// lying on it.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <set>

#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/device_option.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_devices.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class PadPageEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override { backend_->plug(pad_); }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().light().running(),
                    5000);
    }
    CTarvexMousePadDevice* page() const {
        return pages_ ? qobject_cast<CTarvexMousePadDevice*>(wnd_->current_page()) : nullptr;
    }
    // The colours the picture's LEDs show now.
    std::vector<uint32_t> picture() const {
        std::vector<uint32_t> out;
        for (int i = 0; i < 15; ++i) {
            CDeviceKeyButtonUI* led = page()->LightButton(i);
            out.push_back(led ? page()->GetLedColour(i) : 0xDEADu);
        }
        return out;
    }

    std::shared_ptr<emulator::EmulatedDevice> pad_ = emulator::make_mouse_pad();
};

TEST_F(PadPageEndToEnd, ThePictureFollowsTheChosenEffectAndThePadTakesIt) {
    start();
    ASSERT_NE(page()->findChild<QWidget*>("mousepad_device_key_light"), nullptr);
    for (int i = 0; i < 15; ++i) EXPECT_NE(page()->LightButton(i), nullptr) << i;
    auto* modes = page()->findChild<QComboBox*>("light_combo_modeSelect");
    ASSERT_NE(modes, nullptr);
    pad_->log().clear();
    modes->setCurrentIndex(3);  // static
    // The block went to profile 0: mode 3, the shipped profile's brightness and colour.
    const std::vector<uint8_t> memory = pad_->memory();
    EXPECT_EQ(memory[1], 3);
    EXPECT_EQ(memory[2], 4);
    EXPECT_EQ(memory[3], 2);  // speed 2 sent as 4 - 2
    EXPECT_EQ(page()->Protocol().block()[1], 3);
    // The picture shows the one colour on every LED (multi-colour: the engine's green).
    ASSERT_SOON(picture() == std::vector<uint32_t>(15, pack_led(0, 255, 0, 255)), 3000);

    // The breathing effect changes the picture over time.
    modes->setCurrentIndex(2);
    EXPECT_EQ(pad_->memory()[1], 2);
    std::set<uint32_t> seen;
    for (int k = 0; k < 20 && seen.size() < 3; ++k) {
        QTest::qWait(60);
        seen.insert(picture()[0]);
    }
    EXPECT_GE(seen.size(), 3u);
}

TEST_F(PadPageEndToEnd, ThePadsRequestShowsWhatThePadRuns) {
    start();
    auto* modes = page()->findChild<QComboBox*>("light_combo_modeSelect");
    ASSERT_NE(modes, nullptr);
    modes->setCurrentIndex(3);
    // Someone set the pad to its LED spectrum; it asks the program to synchronise.
    ASSERT_TRUE(pad_->poke_memory(0, std::vector<uint8_t>{0x00, 0x06, 0x04, 0x00}));
    ASSERT_TRUE(pad_->inject_usage(CTarvexMousePadDevice::kSyncRequest));
    ASSERT_SOON(page()->Protocol().light().settings().select_item() == 6, 3000);
    EXPECT_EQ(page()->Protocol().light_settings().select_item(), 3);  // the profile stays
    // Now the LEDs light up one after the other in different colours.
    std::set<uint32_t> colours;
    for (int k = 0; k < 30 && colours.size() < 4; ++k) {
        QTest::qWait(50);
        for (uint32_t c : picture())
            if (c >> 24) colours.insert(c & 0xFFFFFF);
    }
    EXPECT_GE(colours.size(), 4u);
}

TEST_F(PadPageEndToEnd, ThePowerWidgetShowsThePhoneOnThePad) {
    start();
    CMpDevicePowerUI* power = page()->PowerWidget();
    ASSERT_NE(power, nullptr);
    auto* phone = power->findChild<QLabel*>("device_phone_type");
    ASSERT_NE(phone, nullptr);
    ASSERT_SOON(phone->property("phonetype").toString() == "Phone_type_iphone", 3000);
    const uint8_t samsung[6] = {90, 0, 0, 0, 0, 2};
    pad_->set_status_bytes(samsung);
    page()->poll_device_status();
    EXPECT_EQ(phone->property("phonetype").toString(), "Phone_type_samsung");
    EXPECT_EQ(power->findChild<QLabel*>("device_power_value")->text(), "90%");
}

}  // namespace
}  // namespace tellune::ui
