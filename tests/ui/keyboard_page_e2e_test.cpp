// The keyboard page in the whole main window over the emulated keyboard, as a person uses
// it: the picture animates and its frames reach the keyboard through the keyboard's own LED
// numbering, the system controls write the settings block, key colours are picked on the
// picture, the keyboard's key reports and the keys typed in the window light reactive modes,
// and a restart finds it all again.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTextEdit>
#include <QWindow>

#include "core/device/keyboard_light_engine.h"
#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/select_panel.h"
#include "ui/device/emulated_keys.h"
#include "ui/device/keyboard_device.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class KeyboardPageEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override { backend_->plug(keyboard_); }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().connected() &&
                        page()->Protocol().light().running(),
                    5000);
    }
    CTarvexKeyboardDevice* page() const { return shown_page<CTarvexKeyboardDevice>(); }
    Json::Value stored() {
        CDeviceProfileUI* bar = find_profile_bar(page());
        return read_json(bar->selected_profile_file())["Device"][0];
    }
    // Light settings through the page, as the lighting panel hands them over.
    void set_light(uint8_t mode, uint8_t multi, uint8_t r, uint8_t g, uint8_t b) {
        const LightSettings s = LightSettings::make(mode, 4, 4, 0, multi, r, g, b, 0);
        page()->set_light_settings(s.word[0], s.word[1], s.word[2]);
    }
    // The newest frame the keyboard got; empty when none came yet.
    std::vector<uint8_t> last_frame() const {
        const auto frames = keyboard_->light_frames();
        return frames.empty() ? std::vector<uint8_t>{} : frames.back();
    }
    uint8_t key_level(int key) const { return uint8_t(page()->GetLedColour(key) >> 24); }

    std::shared_ptr<emulator::EmulatedDevice> keyboard_ = emulator::make_keyboard();
};

TEST_F(KeyboardPageEndToEnd, ThePictureHasEveryKeyAndItsKeysAreTheLeds) {
    start();
    int shown = 0;
    for (int k = 0; k < 126; ++k) {
        CDeviceKeyButtonUI* key = page()->KeyButton(k);
        ASSERT_NE(key, nullptr) << k;
        EXPECT_EQ(page()->LightButton(k), key) << k;
        shown += page()->key_on_picture(k);
    }
    EXPECT_EQ(shown, 112);
    // The international keys and the keys without a code are not on this board.
    for (int k : {18, 62, 79, 100, 104}) EXPECT_FALSE(page()->key_on_picture(k)) << k;
    EXPECT_TRUE(page()->key_on_picture(110));
    EXPECT_EQ(find<CSelectPanelUI>("device_key_light")->picture(), "device/keyboard.svg");
}

TEST_F(KeyboardPageEndToEnd, FramesReachTheKeyboardThroughItsLedNumbering) {
    start();
    set_light(device::kKbStatic, 0, 255, 0, 0);
    // Esc is slot 0, which the emulated keyboard wires to LED 125.
    ASSERT_SOON(last_frame().size() == 378 && last_frame()[3 * 125] == 254, 3000);
    const std::vector<uint8_t> frame = last_frame();
    EXPECT_EQ(frame[3 * 125 + 1], 0);
    EXPECT_EQ(frame[3 * 109], 254);  // key 16 on slot 16
    // The keys without a code have no slot: their LEDs (107, 106, 105, 63, 21) stay dark.
    for (int led : {107, 106, 105, 63, 21}) EXPECT_EQ(frame[3 * size_t(led)], 0) << led;
    // The picture shows the same.
    CDeviceKeyButtonUI* esc = page()->KeyButton(0);
    ASSERT_SOON(esc->IsLightShown() && esc->LightColour() == 0x0000FF, 2000);
    EXPECT_EQ(esc->LightLevel(), 255);

    // Light output off (another program drives the lights): nothing goes to the keyboard.
    page()->SetLightOutput(false);
    QTest::qWait(120);
    const uint64_t frames = keyboard_->light_frame_count();
    QTest::qWait(300);
    EXPECT_LE(keyboard_->light_frame_count(), frames + 1);  // one may have been on its way
    const uint64_t handed_over = page()->Protocol().sender().counts().submitted;
    QTest::qWait(200);
    EXPECT_EQ(page()->Protocol().sender().counts().submitted, handed_over);
    // Back on: the keyboard is told (command 28), frames flow again.
    const uint64_t claims = keyboard_->command_count(28);
    page()->SetLightOutput(true);
    EXPECT_EQ(keyboard_->command_count(28), claims + 1);
    ASSERT_SOON(keyboard_->light_frame_count() > frames + 2, 3000);
}

TEST_F(KeyboardPageEndToEnd, ReportRateAndTheWindowsKeyLockRewriteTheWholeBlock) {
    start();
    click("polling_rate_option_2");
    EXPECT_EQ(json_int(stored()["SystemStages"]["PollingRate"]), 2);
    std::vector<uint8_t> memory = keyboard_->memory();
    EXPECT_EQ(memory[22], 2);
    // The light bytes go along: the default profile's wave at brightness 4, speed 2.
    EXPECT_EQ(memory[1], 0);
    EXPECT_EQ(memory[2], 4);
    EXPECT_EQ(memory[3], 2);
    EXPECT_EQ(memory[21], 0);
    EXPECT_FALSE(find<QAbstractButton>("polling_rate_option_0")->isChecked());

    set_light(device::kKbTrace, 1, 0, 0, 0);
    click("winlockflag_option");
    memory = keyboard_->memory();
    EXPECT_EQ(memory[21], 1);
    EXPECT_EQ(memory[1], device::kKbTrace);
    EXPECT_EQ(memory[22], 2);
    EXPECT_EQ(json_int(stored()["SystemStages"]["WinFlag"]), 1);

    click("wflag_option");
    click("6flag_option");
    memory = keyboard_->memory();
    EXPECT_EQ(memory[19], 1);
    EXPECT_EQ(memory[20], 1);
    click("winlockflag_option");
    EXPECT_EQ(keyboard_->memory()[21], 0);
    EXPECT_EQ(json_int(stored()["SystemStages"]["Key6Flag"]), 1);
}

TEST_F(KeyboardPageEndToEnd, RepeatSettingsStayInTheProfile) {
    start();
    const uint64_t writes = keyboard_->command_count(6);
    click("repeat_delay_check_2");
    EXPECT_TRUE(find<QLabel>("repeat_delay_time_label1")->text().endsWith("750 ms"));
    EXPECT_EQ(json_int(stored()["SystemStages"]["RepeatDelay"]), 2);
    find<QAbstractSlider>("repeat_rate_slider")->setValue(10);
    EXPECT_EQ(json_int(stored()["SystemStages"]["Repeat"]), 10);
    EXPECT_EQ(keyboard_->command_count(6), writes);  // nothing sent
    // Reset: the default profile's 31 and delay 1.
    click("reset_repeat_btn");
    EXPECT_EQ(json_int(stored()["SystemStages"]["Repeat"]), 31);
    EXPECT_EQ(json_int(stored()["SystemStages"]["RepeatDelay"]), 1);
    EXPECT_EQ(find<QAbstractSlider>("repeat_rate_slider")->value(), 31);
    EXPECT_TRUE(find<QLabel>("repeat_delay_time_label1")->text().endsWith("500 ms"));
    EXPECT_TRUE(find<QAbstractButton>("repeat_delay_check_1")->isChecked());
    // The typing test starts empty with its prompt.
    auto* typing = find<QTextEdit>("repeat_input_richedit");
    typing->setPlainText("abc");
    page()->refresh_page();
    EXPECT_TRUE(typing->toPlainText().isEmpty());
    EXPECT_FALSE(typing->placeholderText().isEmpty());
}

TEST_F(KeyboardPageEndToEnd, OutOfRangeValuesFromAProfileSelectTheFirstOption) {
    start();
    page()->select_report_rate(5);
    EXPECT_TRUE(find<QAbstractButton>("polling_rate_option_0")->isChecked());
    EXPECT_EQ(page()->report_rate(), 0);
    // From the file: PollingRate 5 and RepeatDelay 9.
    Json::Value doc = read_json(find_profile_bar(page())->selected_profile_file());
    doc["Device"][0]["SystemStages"]["PollingRate"] = 5;
    doc["Device"][0]["SystemStages"]["RepeatDelay"] = 9;
    ASSERT_TRUE(write_json_file(find_profile_bar(page())->selected_profile_file(), doc));
    page()->reload_profile();
    page()->refresh_page();
    EXPECT_TRUE(find<QAbstractButton>("polling_rate_option_0")->isChecked());
    EXPECT_FALSE(find<QAbstractButton>("polling_rate_option_3")->isChecked());
    EXPECT_TRUE(find<QAbstractButton>("repeat_delay_check_0")->isChecked());
    EXPECT_TRUE(find<QLabel>("repeat_delay_time_label1")->text().endsWith("250 ms"));
}

TEST_F(KeyboardPageEndToEnd, KeyColoursArePickedOnThePictureInTheCustomMode) {
    start();
    find<QComboBox>("light_combo_modeSelect")->setCurrentIndex(device::kKbCustom);
    ASSERT_EQ(page()->Protocol().settings().light.select_item(), device::kKbCustom);
    EXPECT_TRUE(find("custom_keys_hint")->isVisibleTo(page()));
    set_light(device::kKbCustom, 0, 0, 0, 255);
    click("key_64");  // A
    const Json::Value colour = stored()["CustomLightMode"]["LightColorInfo"][0][64];
    EXPECT_EQ(json_int(colour["Blue"]), 255);
    EXPECT_EQ(json_int(colour["Red"]), 0);
    EXPECT_EQ(json_int(colour["Alpha"]), 255);
    // Group 0's table at 0; key 64 on slot 64 lights LED 61.
    std::vector<uint8_t> table = keyboard_->custom_colours();
    EXPECT_EQ(table[3 * 61 + 2], 255);
    EXPECT_EQ(table[3 * 61], 0);
    ASSERT_SOON(page()->GetLedColour(64) == 0xFFFF0000u, 2000);  // blue at full level

    // A frame dragged over W and E colours both.
    set_light(device::kKbCustom, 0, 0, 255, 0);
    auto* panel = find<CSelectPanelUI>("device_key_light");
    const QRect w = page()->KeyButton(44)->geometry(), e = page()->KeyButton(45)->geometry();
    QTest::mousePress(panel, Qt::LeftButton, {}, w.center() - QPoint(0, 2));
    QTest::mouseMove(panel, e.center());
    QTest::mouseRelease(panel, Qt::LeftButton, {}, e.center());
    const Json::Value group = stored()["CustomLightMode"]["LightColorInfo"][0];
    // The shipped group is white; W and E are green now, R beside them is not.
    EXPECT_EQ(json_int(group[44]["Green"]), 255);
    EXPECT_EQ(json_int(group[44]["Red"]), 0);
    EXPECT_EQ(json_int(group[45]["Red"]), 0);
    EXPECT_EQ(json_int(group[46]["Red"]), 255);
    EXPECT_EQ(json_int(group[64]["Blue"]), 255);  // kept
    EXPECT_EQ(json_int(group[64]["Green"]), 0);

    // Another group starts dark and is sent at its own place.
    find<QComboBox>("light_combo_custommodeSelect")->setCurrentIndex(1);
    EXPECT_EQ(json_int(stored()["CustomLightMode"]["CustomLightModeGroupIndex"]), 1);
    ASSERT_SOON(page()->GetLedColour(64) == 0xFF000000u, 2000);
    click("key_0");
    EXPECT_EQ(keyboard_->custom_colours()[378 + 3 * 125 + 1], 255);

    // Out of the custom mode a click colours nothing.
    find<QComboBox>("light_combo_modeSelect")->setCurrentIndex(device::kKbStatic);
    click("key_1");
    EXPECT_EQ(json_int(stored()["CustomLightMode"]["LightColorInfo"][1][1]["Green"]), 0);
    EXPECT_FALSE(find("custom_keys_hint")->isVisibleTo(page()));
}

TEST_F(KeyboardPageEndToEnd, TheKeyboardsReportsReachThePage) {
    start();
    ASSERT_SOON(page()->Secondary().IsOpen(), 3000);
    QTest::qWait(50);  // the input thread is reading
    set_light(device::kKbReactiveFade, 0, 255, 255, 255);
    ASSERT_SOON(key_level(64) == 0 && key_level(65) == 0, 2000);  // the new mode starts dark
    // The key on slot 64 (A) goes down.
    ASSERT_TRUE(keyboard_->inject_key(64, true));
    ASSERT_SOON(key_level(64) > 200, 2000);
    EXPECT_EQ(key_level(65), 0);
    ASSERT_TRUE(keyboard_->inject_key(64, false));
    ASSERT_SOON(key_level(64) < 150, 3000);  // released: it fades
    // 0x0404 does nothing; a sync request reloads the block within its 100 ms.
    ASSERT_TRUE(keyboard_->inject_usage(CTarvexKeyboardDevice::kSyncIgnored));
    ASSERT_TRUE(keyboard_->poke_memory(21, std::vector<uint8_t>{1}));
    ASSERT_TRUE(keyboard_->inject_usage(CTarvexKeyboardDevice::kSyncRequest));
    ASSERT_SOON(find<QAbstractButton>("winlockflag_option")->isChecked(), 3000);
    EXPECT_EQ(json_int(stored()["SystemStages"]["WinFlag"]), 1);
}

TEST_F(KeyboardPageEndToEnd, KeysTypedInTheWindowLightAReactiveMode) {
    start();
    EmulatedKeyForwarder forwarder(backend_);
    qApp->installEventFilter(&forwarder);
    ASSERT_SOON(page()->Secondary().IsOpen(), 3000);
    QTest::qWait(50);
    set_light(device::kKbReactiveFade, 0, 255, 255, 255);
    ASSERT_SOON(key_level(64) == 0, 2000);  // the new mode starts dark
    wnd_->show();
    ASSERT_NE(wnd_->windowHandle(), nullptr);
    // "A": Linux key code 30, as X11 and Wayland give it (+ 8).
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a");
    QCoreApplication::sendEvent(wnd_->windowHandle(), &press);
    ASSERT_SOON(key_level(64) > 200, 2000);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a");
    QCoreApplication::sendEvent(wnd_->windowHandle(), &release);
    ASSERT_SOON(key_level(64) < 150, 3000);
    // A held key repeats in the window but is one press for the keyboard; keys without a
    // code (platforms that give none) send nothing.
    keyboard_->log().clear();
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a", true);
    QCoreApplication::sendEvent(wnd_->windowHandle(), &repeat);
    QKeyEvent unknown(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 0, 0, 0, "a");
    QCoreApplication::sendEvent(wnd_->windowHandle(), &unknown);
    int reports = 0;
    for (const emulator::LogEntry& e : keyboard_->log().entries())
        reports += e.direction == emulator::Direction::sent && e.collection == 3;
    EXPECT_EQ(reports, 0);
    qApp->removeEventFilter(&forwarder);
}

TEST_F(KeyboardPageEndToEnd, FnCannotBeReassignedOnTheKeyPanel) {
    start();
    click("key_Op_tab");
    EXPECT_FALSE(page()->KeyButton(CTarvexKeyboardDevice::kFnKey)->isEnabled());
    click("deng_Op_tab");
    EXPECT_TRUE(page()->KeyButton(CTarvexKeyboardDevice::kFnKey)->isEnabled());
}

TEST_F(KeyboardPageEndToEnd, ARestartFindsEverythingAgain) {
    start();
    click("polling_rate_option_3");
    click("winlockflag_option");
    click("repeat_delay_check_3");
    find<QComboBox>("light_combo_modeSelect")->setCurrentIndex(device::kKbCustom);
    set_light(device::kKbCustom, 0, 10, 20, 30);
    click("key_22");
    const std::vector<uint8_t> memory = keyboard_->memory();
    const std::vector<uint8_t> block(memory.begin(), memory.begin() + 25);

    close_window();
    start();
    EXPECT_TRUE(find<QAbstractButton>("polling_rate_option_3")->isChecked());
    EXPECT_TRUE(find<QAbstractButton>("winlockflag_option")->isChecked());
    EXPECT_TRUE(find<QAbstractButton>("repeat_delay_check_3")->isChecked());
    EXPECT_EQ(find<QComboBox>("light_combo_modeSelect")->currentIndex(), device::kKbCustom);
    ASSERT_SOON(page()->GetLedColour(22) == 0xFF1E140Au, 2000);  // 10, 20, 30 at full level
    const std::vector<uint8_t> again = keyboard_->memory();
    EXPECT_EQ(std::vector<uint8_t>(again.begin(), again.begin() + 25), block);
}

// Each tab at the window's normal sizes shows its controls whole. With
// TELLUNE_SCREENSHOT_DIR set, each tab is saved as a picture at both sizes.
TEST_F(KeyboardPageEndToEnd, EveryControlIsOnScreenOnItsTab) {
    const QString shots = screenshot_folder();
    start();
    const struct {
        const char* tab;
        std::vector<QString> names;
    } tabs[] = {
        {"deng_Op_tab", {"device_key_light", "key_0", "key_117", "key_124", "LightControlItem"}},
        {"key_Op_tab", {"device_setkeyinfo_list", "key_108"}},
        {"system_Op_tab",
         {"polling_rate_option_0", "polling_rate_option_3", "winlockflag_option", "wflag_option",
          "6flag_option", "repeat_rate_slider", "repeat_delay_check_3", "repeat_delay_time_label1",
          "repeat_input_richedit", "reset_repeat_btn", "windowdeviceset_0"}},
    };
    for (const QSize size : {QSize(1280, 720), QSize(1920, 1080)}) {
        wnd_->resize(size);
        wnd_->show();
        for (const auto& t : tabs) {
            find<QAbstractButton>(QLatin1String(t.tab))->click();
            QApplication::processEvents();
            expect_whole_on_screen(t.names, QStringLiteral("%1 %2").arg(size.width()).arg(t.tab));
            if (!shots.isEmpty())
                wnd_->grab().save(QStringLiteral("%1/keyboard_%2_%3.png")
                                      .arg(shots, QLatin1String(t.tab))
                                      .arg(size.width()));
        }
    }
}

}  // namespace
}  // namespace tellune::ui
