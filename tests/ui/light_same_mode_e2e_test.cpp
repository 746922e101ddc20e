// One lighting choice for every device, in the whole program over an emulated mouse and
// mouse pad: the copy button appears with the second device, a click gives both devices the
// effect, and the synchronisation thread then drives both pictures in step.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>

#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/device/tarvex_devices.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class SameModeEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override {
        backend_->plug(mouse_);
        backend_->plug(pad_);
        open_window();
    }
    CTarvexUSBDevice* page_of_kind(int kind) const {
        for (CTarvexUSBDevice* p : pages_->Pages())
            if (p->Kind() == kind && p->Config().IsOpen()) return p;
        return nullptr;
    }

    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
    std::shared_ptr<emulator::EmulatedDevice> pad_ = emulator::make_mouse_pad();
};

TEST_F(SameModeEndToEnd, BothPicturesFollowOneEffect) {
    ASSERT_SOON(page_of_kind(kDeviceMouse) && page_of_kind(kDeviceMousePad), 5000);
    auto* mouse = qobject_cast<CTarvexMouseDevice*>(page_of_kind(kDeviceMouse));
    CTarvexUSBDevice* pad = page_of_kind(kDeviceMousePad);
    ASSERT_NE(mouse, nullptr);
    ASSERT_SOON(mouse->Protocol().has_key_table(), 3000);
    ASSERT_EQ(wnd_->current_page(), mouse);

    auto* copy = mouse->findChild<QAbstractButton*>(QStringLiteral("deng_same_mode"));
    ASSERT_NE(copy, nullptr);
    ASSERT_SOON(!copy->isHidden(), 3000);

    // The shipped mouse profile runs the spectrum (mode 2): the pad's spectrum is its mode 1.
    const uint8_t brightness = mouse->ProfileData()->light_settings().light();
    copy->click();
    EXPECT_EQ(mouse->ProfileData()->light_settings().select_item(), 2);
    EXPECT_EQ(pad->ProfileData()->light_settings().select_item(), 1);
    EXPECT_EQ(pad->ProfileData()->light_settings().light(), brightness);
    EXPECT_NE(mouse->Config().Pause(), 0);
    EXPECT_NE(pad->Config().Pause(), 0);

    // The sync thread draws the same colour on both pictures, and it keeps changing.
    ASSERT_SOON(mouse->GetLedColour(0) != 0 && mouse->GetLedColour(0) == pad->GetLedColour(0),
                3000);
    const uint32_t first = mouse->GetLedColour(0);
    ASSERT_SOON(mouse->GetLedColour(0) != first, 3000);
    // Sample both under the same colour: the thread sets every page in one step.
    ASSERT_SOON(mouse->GetLedColour(0) == pad->GetLedColour(0), 3000);

    // Losing the second device withdraws the button.
    backend_->unplug(pad_);
    ASSERT_SOON(copy->isHidden(), 3000);
}

}  // namespace
}  // namespace tellune::ui
