// The device base control: LED frame, effect counter, key heat, panels, channels and threads.

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "core/platform/platform.h"
#include "core/profile/profile_data.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/device_option.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/select_panel.h"
#include "ui/device/device_thread.h"
#include "ui/device/tarvex_devices.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

using namespace std::chrono_literals;
using emulator::EmulatedBackend;

std::string path_of(const emulator::EmulatedDevice& device, const char* ending) {
    for (const std::string& p : emulator::interface_paths(device))
        if (p.size() >= strlen(ending) &&
            p.compare(p.size() - strlen(ending), strlen(ending), ending) == 0)
            return p;
    return {};
}

bool has_line(const test::DebugCapture& debug, const std::string& text) {
    for (const std::string& l : debug.lines())
        if (l.find(text) != std::string::npos) return true;
    return false;
}

// A page with the two panel switches and a picture of two keys and three LEDs.
template <class Device>
std::unique_ptr<Device> make_page(std::shared_ptr<EmulatedBackend> backend) {
    auto page = std::make_unique<Device>(backend);
    auto* functions = new QStackedWidget(page.get());
    functions->setObjectName("device_function_switch");
    auto* keys = new QStackedWidget;
    keys->setObjectName("device_key_function_switch");
    functions->addWidget(keys);
    for (int i = 1; i < 5; ++i) functions->addWidget(new QWidget);
    for (int i = 0; i < 4; ++i) keys->addWidget(new QWidget);
    auto* panel = new CSelectPanelUI(page.get());
    for (const char* name :
         {"key_0", "key_1", "light_0", "light_1", "light_2", "light_x", "key_9"}) {
        auto* b = new CDeviceKeyButtonUI(panel);
        b->setObjectName(name);
    }
    // Outside every panel: never bound.
    (new CDeviceKeyButtonUI(page.get()))->setObjectName("key_1");
    page->SetKeyCount(2);
    page->SetLedCount(3);
    page->BindPageControls();
    return page;
}

class DeviceBaseTest : public ::testing::Test {
protected:
    std::shared_ptr<EmulatedBackend> backend_ = std::make_shared<EmulatedBackend>();
};

TEST_F(DeviceBaseTest, LedFrameIgnoresIndicesOutsideTheLeds) {
    auto page = make_page<CTarvexMouseDevice>(backend_);
    EXPECT_EQ(page->LedCount(), 3);
    page->SetLedColour(-1, 0xFFFFFFFF);
    page->SetLedColour(3, 0xFFFFFFFF);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(page->GetLedColour(i), 0u);
    EXPECT_EQ(page->GetLedColour(-1), 0u);
    EXPECT_EQ(page->GetLedColour(3), 0u);
    page->SetLedColour(2, 0x80112233);
    EXPECT_EQ(page->GetLedColour(2), 0x80112233u);
    // Resizing clears the frame.
    page->SetLedCount(4);
    EXPECT_EQ(page->GetLedColour(2), 0u);
    EXPECT_EQ(page->GetLedColour(3), 0u);
}

TEST_F(DeviceBaseTest, BindsOnlyNumberedButtonsInsidePanels) {
    auto page = make_page<CTarvexMouseDevice>(backend_);
    ASSERT_NE(page->KeyButton(0), nullptr);
    ASSERT_NE(page->KeyButton(1), nullptr);
    EXPECT_EQ(page->KeyButton(1)->parentWidget()->metaObject(), &CSelectPanelUI::staticMetaObject);
    EXPECT_EQ(page->KeyButton(2), nullptr);  // "key_9" is beyond the key count
    for (int i = 0; i < 3; ++i) ASSERT_NE(page->LightButton(i), nullptr) << i;
    EXPECT_EQ(page->LightButton(0)->objectName(), "light_0");
    EXPECT_EQ(page->LightButton(3), nullptr);
    EXPECT_EQ(page->PreviewControl()->metaObject(), &CSelectPanelUI::staticMetaObject);
}

TEST_F(DeviceBaseTest, PreviewPaintsTheButtonsAndScalesDeviceBytes) {
    auto page = make_page<CTarvexMouseDevice>(backend_);
    page->show();
    page->SetLedColour(0, pack_led(200, 100, 50, 128));
    page->SetLedColour(1, pack_led(255, 255, 255, 255));
    page->SetLedColour(2, pack_led(10, 20, 30, 255));
    page->SetLedPositions({0, 1, CTarvexUSBDevice::kNoLedPosition});
    page->refresh_light_preview();
    EXPECT_EQ(page->DeviceColourBytes(),
              (std::vector<uint8_t>{100, 50, 25, 254, 254, 254, 0, 0, 0}));
    CDeviceKeyButtonUI* led = page->LightButton(0);
    EXPECT_TRUE(led->IsLightShown());
    EXPECT_EQ(led->LightColour(), 0x003264C8u);
    EXPECT_EQ(led->LightLevel(), 128);
    // A hidden button keeps its overlay.
    page->LightButton(1)->hide();
    page->SetLedColour(1, pack_led(1, 2, 3, 4));
    page->refresh_light_preview();
    EXPECT_EQ(page->LightButton(1)->LightColour(), 0x00FFFFFFu);
    page->AllLedsOff();
    EXPECT_EQ(page->GetLedColour(2), 0u);
}

TEST_F(DeviceBaseTest, StaticAndBlinkEffectsFillTheFrame) {
    auto page = make_page<CTarvexMouseDevice>(backend_);
    LightParams params;
    params.level_index = 4;
    params.red = 9;
    params.green = 8;
    params.blue = 7;
    page->SetLightParameters(params);
    page->light_effect_static();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(page->GetLedColour(i), 0xFF070809u);
    page->light_effect_blink();  // step 0 -> 1: on
    EXPECT_EQ(page->GetLedColour(0), 0xFF070809u);
    page->light_effect_blink();  // 1 -> 0: off
    EXPECT_EQ(page->GetLedColour(0), 0u);
    page->light_effect_flow();  // one lit LED walks along
    EXPECT_EQ(page->GetLedColour(1), 0xFF070809u);
    EXPECT_EQ(page->GetLedColour(0), 0u);
}

TEST_F(DeviceBaseTest, KeyHeatDecaysByLevel) {
    auto page = make_page<CTarvexMouseDevice>(backend_);
    page->SetKeyHeat(5, 200);
    std::vector<int> seen;
    for (int i = 0; i < 10; ++i) {
        page->key_heat_decay(5, false);
        seen.push_back(page->KeyHeat(5));
    }
    EXPECT_EQ(seen, (std::vector<int>{160, 120, 90, 60, 50, 40, 30, 22, 14, 10}));
    page->key_heat_decay(5, true);
    EXPECT_EQ(page->KeyHeat(5), 9);
    page->SetKeyHeat(5, 3);
    page->key_heat_decay(5, false);
    EXPECT_EQ(page->KeyHeat(5), 0);
    page->key_heat_decay(5, false);
    EXPECT_EQ(page->KeyHeat(5), 0);
    page->SetKeyHeat(5, 16);  // 16 is not above 16
    page->key_heat_decay(5, true);
    EXPECT_EQ(page->KeyHeat(5), 15);
    page->SetKeyHeat(5, 17);
    page->key_heat_decay(5, true);
    EXPECT_EQ(page->KeyHeat(5), 9);
    page->key_heat_decay(126, true);  // outside the map: nothing
    page->key_heat_decay(-1, true);
}

TEST_F(DeviceBaseTest, KeyHeatHistoryShiftsMarksAndClears) {
    auto page = make_page<CTarvexMouseDevice>(backend_);
    std::array<uint8_t, 23> history{};
    for (int i = 0; i < 23; ++i) history[size_t(i)] = uint8_t(i + 1);
    page->SetHeatHistory(history);
    page->key_heat_shift(true);
    std::array<uint8_t, 23> forward{};
    for (int i = 1; i < 23; ++i) forward[size_t(i)] = uint8_t(i);  // 0, 1, ..., 22
    EXPECT_EQ(page->HeatHistory(), forward);
    // Back again: the byte that fell out comes back at the end.
    page->key_heat_shift(false);
    EXPECT_EQ(page->HeatHistory(), history);

    std::array<uint8_t, 23> marks{};
    marks[0] = 1;
    marks[8] = 1;
    marks[9] = 1;  // beyond the nine marked keys
    page->SetHeatHistory(marks);
    page->key_heat_mark();
    EXPECT_EQ(page->KeyHeat(0), 255);
    EXPECT_EQ(page->KeyHeat(8), 255);
    EXPECT_EQ(page->KeyHeat(9), 0);
    EXPECT_EQ(page->KeyHeat(1), 0);
    page->key_heat_clear();
    EXPECT_EQ(page->KeyHeat(0), 0);
    EXPECT_EQ(page->HeatHistory(), (std::array<uint8_t, 23>{}));
}

// (function panel, key panel) after show_device_status(state), from function 4 / key 3.
std::pair<int, int> panels_after(CTarvexUSBDevice& page, int state) {
    auto* functions = page.findChild<QStackedWidget*>("device_function_switch");
    auto* keys = page.findChild<QStackedWidget*>("device_key_function_switch");
    functions->setCurrentIndex(4);
    keys->setCurrentIndex(3);
    page.show_device_status(state);
    EXPECT_EQ(page.GetDeviceStatus(), state);
    return {functions->currentIndex(), keys->currentIndex()};
}

TEST_F(DeviceBaseTest, DeviceStatusChoosesThePanels) {
    using P = std::pair<int, int>;
    auto mouse = make_page<CTarvexMouseDevice>(backend_);
    EXPECT_EQ(mouse->GetDeviceStatus(), 1);
    const std::vector<P> expected = {
        {0, 0},  // 0: others -> key panel 0
        {0, 0},  // 1
        {0, 1},  // 2
        {1, 3},  // 3: function panel 1, keys unchanged
        {3, 3},  // 4 on a mouse: function panel 3
        {2, 3},  // 5
        {0, 1},  // 6
        {0, 2},  // 7
        {1, 3},  // 8
        {0, 0},  // 9
    };
    for (int state = 0; state < int(expected.size()); ++state)
        EXPECT_EQ(panels_after(*mouse, state), expected[size_t(state)]) << state;

    auto headset = make_page<CTarvexHS6533Device>(backend_);
    EXPECT_EQ(panels_after(*headset, 4), P(0, 2));
    auto pad = make_page<CTarvexMousePadDevice>(backend_);
    EXPECT_EQ(panels_after(*pad, 4), P(0, 2));
    auto keyboard = make_page<CTarvexKeyboardDevice>(backend_);
    EXPECT_EQ(panels_after(*keyboard, 4), P(3, 3));
    // The mouse through its receiver is still a mouse.
    hid::DeviceSlot wireless = hid::hid_match_table()[2];
    wireless.kind = hid::kKindWirelessMouse;
    mouse->Connect(wireless);
    EXPECT_EQ(mouse->Kind(), hid::kKindWirelessMouse);
    EXPECT_EQ(panels_after(*mouse, 4), P(3, 3));
}

TEST_F(DeviceBaseTest, ConnectTakesKindFromConfigurationSlotsOnly) {
    auto mouse = make_page<CTarvexMouseDevice>(backend_);
    EXPECT_EQ(mouse->Kind(), 2);
    hid::DeviceSlot secondary = hid::hid_match_table()[5];  // mouse pad, role 0xFF
    mouse->Connect(secondary);
    EXPECT_EQ(mouse->Kind(), 2);
    EXPECT_EQ(mouse->Role(), 0xFF);
    mouse->Connect(hid::hid_match_table()[4]);
    EXPECT_EQ(mouse->Kind(), 3);
    EXPECT_EQ(mouse->Role(), 0);
    EXPECT_TRUE(hid::same_slot(mouse->ConnectedSlot(), hid::hid_match_table()[4]));
}

TEST_F(DeviceBaseTest, PathsAndProfilesFollowTheKind) {
    TempDir home;
    ScopedEnv data("XDG_DATA_HOME", home.path().string());
    auto pad = make_page<CTarvexMousePadDevice>(backend_);
    pad->SetKindName("MousePad");
    EXPECT_EQ(pad->DefaultProfilePath(), default_data_folder() + "MousePad.Json");
    const std::string folder = pad->UserDataFolder();
    EXPECT_EQ(folder, home.path().string() + "/DURID EZAZU ZAPHIRA - TELLUNE/MousePad/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    ASSERT_NE(pad->ProfileData(), nullptr);
    EXPECT_EQ(pad->ProfileData()->default_profile_path(), default_data_folder() + "MousePad.Json");
    auto mouse = make_page<CTarvexMouseDevice>(backend_);
    ASSERT_NE(mouse->MouseProfile(), nullptr);
    EXPECT_EQ(mouse->MouseProfile()->default_profile_path(), default_data_folder() + "mouse.Json");
    auto headset = make_page<CTarvexHS6533Device>(backend_);
    EXPECT_EQ(headset->HeadsetProfile()->default_profile_path(), default_data_folder() + "HD.Json");
}

TEST_F(DeviceBaseTest, LightOutputOnAKeyboardSendsCommand28) {
    auto keyboard_device = emulator::make_keyboard();
    backend_->plug(keyboard_device);
    auto keyboard = make_page<CTarvexKeyboardDevice>(backend_);
    // Closed channel: nothing is sent, the flag is still kept.
    keyboard->SetLightOutput(false);
    keyboard->SetLightOutput(true);
    EXPECT_TRUE(keyboard->IsLightOutputEnabled());
    ASSERT_TRUE(keyboard->Config().Connect(path_of(*keyboard_device, "col04")));
    keyboard_device->log().clear();
    keyboard->SetLightOutput(false);
    EXPECT_FALSE(keyboard->IsLightOutputEnabled());
    EXPECT_TRUE(keyboard_device->log().entries().empty());
    keyboard->SetLightOutput(true);
    const auto entries = keyboard_device->log().entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().bytes.at(0), 0x04);
    EXPECT_EQ(entries.front().bytes.at(3), 28);

    // Not for a mouse.
    auto mouse_device = emulator::make_mouse();
    backend_->plug(mouse_device);
    auto mouse = make_page<CTarvexMouseDevice>(backend_);
    ASSERT_TRUE(mouse->Config().Connect(path_of(*mouse_device, "col04")));
    mouse_device->log().clear();
    mouse->SetLightOutput(false);
    mouse->SetLightOutput(true);
    EXPECT_TRUE(mouse_device->log().entries().empty());
}

TEST_F(DeviceBaseTest, SyncRequestOnTheSecondaryInterfaceArmsTheReloadTimer) {
    test::DebugCapture debug;
    auto device = emulator::make_mouse();
    backend_->plug(device);
    auto mouse = make_page<CTarvexMouseDevice>(backend_);
    CDeviceOptionUI entry;
    entry.SetPage(mouse.get());
    EXPECT_EQ(mouse->OptionEntry(), &entry);
    hid::DeviceSlot slot = hid::hid_match_table()[3];
    slot.path = path_of(*device, "col03");
    ASSERT_TRUE(mouse->AttachSecondary(slot));
    ASSERT_TRUE(mouse->Secondary().IsOpen());
    QTest::qWait(20);  // the thread is in its blocking read now
    ASSERT_TRUE(device->inject_usage(0x0404));
    ASSERT_EQ_SOON(mouse->SyncCounter(), 1, 2000);
    ASSERT_TRUE(device->inject_usage(0x0401));
    ASSERT_SOON(entry.IsTimerActive(kTimerReload), 2000);

    // The blocked read ends when the channel closes: stopping takes far less than the wait.
    const auto begin = std::chrono::steady_clock::now();
    mouse->DetachSecondary();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 500ms);
    EXPECT_FALSE(mouse->Secondary().IsOpen());
    EXPECT_TRUE(has_line(debug, "MS设备同步线程设定退出"));
    EXPECT_TRUE(has_line(debug, "线程退出：：对象处于激发状态"));
}

TEST_F(DeviceBaseTest, StatusPollShowsTheDevicesStatusBytes) {
    auto device = emulator::make_mouse_pad();
    backend_->plug(device);
    auto pad = make_page<CTarvexMousePadDevice>(backend_);
    CMpDevicePowerUI power;
    for (const char* name :
         {"device_power_value", "device_wuxian_logo", "device_power_status", "device_phone_type"})
        (new QLabel(&power))->setObjectName(name);
    (new QProgressBar(&power))->setObjectName("device_Power_progress");
    power.SetKindAndVariant(3, 0);
    pad->SetPowerWidget(&power);
    const uint8_t status[6] = {64, 2, 0, 1, 0, 2};
    device->set_status_bytes(status);
    pad->poll_device_status();  // closed channel: nothing read, nothing shown
    EXPECT_EQ(power.findChild<QLabel*>("device_power_value")->text(), "");
    ASSERT_TRUE(pad->Config().Connect(path_of(*device, "col04")));
    pad->poll_device_status();
    EXPECT_EQ(power.findChild<QLabel*>("device_power_value")->text(), "64%");
    EXPECT_EQ(power.findChild<QLabel*>("device_phone_type")->property("imagefile").toString(),
              "power/Phone_type_samsung.png");
}

TEST_F(DeviceBaseTest, SecondaryThatCannotOpenStartsNoThread) {
    auto mouse = make_page<CTarvexMouseDevice>(backend_);
    hid::DeviceSlot slot = hid::hid_match_table()[3];
    slot.path = "emu/none?vid_0c45&pid_7643&mi_01&col03";
    EXPECT_FALSE(mouse->AttachSecondary(slot));
    EXPECT_FALSE(mouse->Secondary().IsOpen());
    mouse->DetachSecondary();  // harmless
}

TEST_F(DeviceBaseTest, UnpluggedDeviceEndsTheReadAndTheThreadStillStops) {
    auto device = emulator::make_mouse();
    backend_->plug(device);
    auto mouse = make_page<CTarvexMouseDevice>(backend_);
    hid::DeviceSlot slot = hid::hid_match_table()[3];
    slot.path = path_of(*device, "col03");
    ASSERT_TRUE(mouse->AttachSecondary(slot));
    QTest::qWait(20);
    backend_->unplug(device);
    QTest::qWait(30);  // the thread keeps failing its reads without spinning hot
    const auto begin = std::chrono::steady_clock::now();
    mouse.reset();  // the destructor stops the thread
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 500ms);
}

TEST(DeviceThreadTest, StopWakesWaitsAndReportsAnOverstayWithoutKilling) {
    test::DebugCapture debug;
    DeviceThread thread;
    std::atomic<int> passes{0};
    thread.Start("T退出", [&](DeviceThread& t) {
        ++passes;
        t.WaitFor(10s);  // interruptible: the stop cuts it short
    });
    QTest::qWait(20);
    const auto begin = std::chrono::steady_clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 500ms);
    EXPECT_FALSE(thread.Running());
    EXPECT_GE(passes.load(), 1);
    EXPECT_TRUE(has_line(debug, "T退出"));
    EXPECT_TRUE(has_line(debug, "线程退出：：对象处于激发状态"));

    // A unit that ignores its stop for longer than the wait: logged, then joined.
    debug.clear();
    std::atomic<bool> finished{false};
    thread.Start("U退出", [&](DeviceThread&) {
        std::this_thread::sleep_for(1300ms);
        finished = true;
    });
    QTest::qWait(20);
    thread.Stop();
    EXPECT_TRUE(finished.load());
    EXPECT_TRUE(has_line(debug, "线程退出：：对象处于非激发状态，超时"));
    EXPECT_FALSE(thread.Running());
}

}  // namespace
}  // namespace tellune::ui
