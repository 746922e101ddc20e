// The mouse page in the whole main window over the emulated mouse, as a person uses it: the
// window scans, binds the mouse, and every control change travels through the notification
// routes into the profile file and the mouse; the mouse's own sync request and a restart of
// the program are followed too.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>

#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_devices.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

struct Request {
    uint8_t command = 0;
    uint8_t length = 0;
    int offset = 0;
    std::vector<uint8_t> data;
};

class MousePageEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override { backend_->plug(mouse_); }
    // Starts the program's window and waits until the mouse page is shown and connected.
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().has_key_table(),
                    5000);
    }
    CTarvexMouseDevice* page() const { return shown_page<CTarvexMouseDevice>(); }
    Json::Value stored() {
        CDeviceProfileUI* bar = find_profile_bar(page());
        return read_json(bar->selected_profile_file())["Device"][0];
    }
    // The command collection's requests since the last clear, oldest first.
    std::vector<Request> requests() const {
        std::vector<Request> out;
        for (const emulator::LogEntry& e : mouse_->log().entries())
            if (e.direction == emulator::Direction::received && e.collection == 4 &&
                e.bytes.size() == 64)
                out.push_back({e.bytes[3], e.bytes[4], e.bytes[5] | e.bytes[6] << 8,
                               std::vector<uint8_t>(e.bytes.begin() + 8, e.bytes.end())});
        return out;
    }

    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
};

TEST_F(MousePageEndToEnd, MovingAStageSliderWritesTheProfileAndTheMouse) {
    start();
    mouse_->log().clear();
    // As a click on the slider's track: the value changes without a drag.
    find<QAbstractSlider>("DPI_slider_2")->setValue(30);
    EXPECT_EQ(find<QLineEdit>("DPI_edit_2")->text(), "3100");
    EXPECT_EQ(json_int(stored()["DPIStages"]["StageDPIs"][2]["StageDPIX"]), 30);

    // 0x01, the 95-byte block with command 0x06 from offset 0, 0x02.
    const std::vector<Request> sent = requests();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent.front().command, 0x01);
    EXPECT_EQ(sent.back().command, 0x02);
    std::vector<uint8_t> block;
    int next_offset = 0;
    for (size_t i = 1; i + 1 < sent.size(); ++i) {
        EXPECT_EQ(sent[i].command, 0x06);
        EXPECT_EQ(sent[i].offset, next_offset);
        next_offset += sent[i].length;
        block.insert(block.end(), sent[i].data.begin(), sent[i].data.begin() + sent[i].length);
    }
    ASSERT_EQ(block.size(), 95u);
    EXPECT_EQ(block[19], 30);
    EXPECT_EQ(block[20], 0);
    // Stage 1 (the active one) and its neighbours are as the profile has them.
    EXPECT_EQ(block[17], 7);
    EXPECT_EQ(block[21], 23);
    EXPECT_EQ(block[23], 1);
    EXPECT_EQ(mouse_->memory()[19], 30);
}

TEST_F(MousePageEndToEnd, DraggingShowsTheValueAndTheReleaseWrites) {
    start();
    auto* slider = find<QAbstractSlider>("DPI_slider_4");
    const uint64_t writes = mouse_->command_count(6);
    slider->setSliderDown(true);
    slider->setValue(99);
    EXPECT_EQ(find<QLineEdit>("DPI_edit_4")->text(), "10000");
    EXPECT_EQ(mouse_->command_count(6), writes);
    slider->setSliderDown(false);  // the release
    EXPECT_GT(mouse_->command_count(6), writes);
    EXPECT_EQ(mouse_->memory()[24], 99);  // stage 4 follows the active-stage byte

    // A typed value is taken when the edit loses the focus.
    auto* edit = find<QLineEdit>("DPI_edit_0");
    edit->setText("12150");
    wnd_->notify(Notification{"killfocus", "DPI_edit_0", edit});
    EXPECT_EQ(edit->text(), "12000");
    EXPECT_EQ(mouse_->memory()[15], 119);
}

TEST_F(MousePageEndToEnd, OptionsAndComboReachTheMouseAndSurviveARestart) {
    start();
    click("polling_rate_option_2");
    find<QComboBox>("MSH_set_comboSelect")->setCurrentIndex(1);
    click("DPI_model_3");
    click("DPI_enable_check_7");  // was off
    find<QAbstractSlider>("DPI_slider_7")->setValue(139);
    find<QAbstractSlider>("pointer_speed_slider")->setValue(2);
    const std::vector<uint8_t> memory = mouse_->memory();
    EXPECT_EQ(memory[14], 2);
    EXPECT_EQ(memory[56], 1);
    EXPECT_EQ(memory[23], 3);
    EXPECT_EQ(memory[30], 139);
    EXPECT_FALSE(find<QAbstractButton>("polling_rate_option_0")->isChecked());

    close_window();
    start();
    EXPECT_TRUE(find<QAbstractButton>("polling_rate_option_2")->isChecked());
    EXPECT_EQ(find<QComboBox>("MSH_set_comboSelect")->currentIndex(), 1);
    EXPECT_TRUE(find<QAbstractButton>("DPI_model_3")->isChecked());
    EXPECT_TRUE(find<QAbstractButton>("DPI_enable_check_7")->isChecked());
    EXPECT_EQ(find<QLineEdit>("DPI_edit_7")->text(), "16000");
    EXPECT_EQ(find<QAbstractSlider>("pointer_speed_slider")->value(), 2);
}

TEST_F(MousePageEndToEnd, ASyncRequestFromTheMouseReloadsThePage) {
    start();
    ASSERT_SOON(page()->Secondary().IsOpen(), 3000);
    // The mouse changed its own settings (its buttons): active stage 5, report rate 4, lift 2.
    ASSERT_TRUE(mouse_->poke_memory(23, std::vector<uint8_t>{5}));
    ASSERT_TRUE(mouse_->poke_memory(14, std::vector<uint8_t>{4}));
    ASSERT_TRUE(mouse_->poke_memory(56, std::vector<uint8_t>{2}));
    QTest::qWait(50);  // the input thread is reading
    ASSERT_TRUE(mouse_->inject_usage(CTarvexMouseDevice::kSyncRequest));
    ASSERT_SOON(find<QAbstractButton>("DPI_model_5")->isChecked(), 3000);
    EXPECT_TRUE(find<QAbstractButton>("polling_rate_option_4")->isChecked());
    EXPECT_EQ(find<QComboBox>("MSH_set_comboSelect")->currentIndex(), 2);
    EXPECT_EQ(json_int(stored()["DPIStages"]["StageActive"]), 5);
}

TEST_F(MousePageEndToEnd, SwitchingProfilesRewritesTheMouse) {
    start();
    click("device_add_btn");
    auto* combo = find<QComboBox>("device_profile_combo");
    ASSERT_EQ(combo->count(), 2);
    combo->setCurrentIndex(1);
    ASSERT_EQ_SOON(page()->property("profilename").toString(), QString("profile2"), 3000);
    find<QAbstractSlider>("DPI_slider_0")->setValue(60);
    EXPECT_EQ(mouse_->memory()[15], 60);

    combo->setCurrentIndex(0);
    ASSERT_EQ_SOON(int(mouse_->memory()[15]), 3, 3000);
    EXPECT_EQ(find<QLineEdit>("DPI_edit_0")->text(), "400");
    combo->setCurrentIndex(1);
    ASSERT_EQ_SOON(int(mouse_->memory()[15]), 60, 3000);
    EXPECT_EQ(find<QLineEdit>("DPI_edit_0")->text(), "6100");
}

// A profile of three stages chosen after the eight-stage one: the mouse gets zero DPI and
// black for stages 3 to 7, not what the profile before had there.
TEST_F(MousePageEndToEnd, AThreeStageProfileAfterAnEightStageOneSendsZerosForTheRest) {
    start();
    click("device_add_btn");
    CDeviceProfileUI* bar = find_profile_bar(page());
    ASSERT_EQ(bar->list().size(), 2);
    const std::string three = bar->list().profile_file(bar->list().entries()[1].uuid);
    Json::Value doc = read_json(three);
    Json::Value& stages = doc["Device"][0]["DPIStages"];
    stages["StageActive"] = 1;
    stages["StageDPIs"] = Json::Value(Json::arrayValue);
    for (int i = 0; i < 3; ++i) {
        Json::Value st;
        st["StageActive"] = 1;
        st["StageXY"] = 0;
        st["StageDPIX"] = st["StageDPIY"] = 10 * (i + 1);
        st["StageColorR"] = 1 + i;
        st["StageColorG"] = 2 + i;
        st["StageColorB"] = 3 + i;
        stages["StageDPIs"].append(st);
    }
    ASSERT_TRUE(write_json_file(three, doc));

    // profile1 is the shipped eight-stage profile: the mouse holds all eight stages.
    auto* combo = find<QComboBox>("device_profile_combo");
    combo->setCurrentIndex(1);
    ASSERT_EQ_SOON(int(mouse_->memory()[15]), 10, 3000);
    combo->setCurrentIndex(0);
    ASSERT_EQ_SOON(int(mouse_->memory()[30]), 119, 3000);
    ASSERT_EQ(int(mouse_->memory()[53]), 255);

    combo->setCurrentIndex(1);
    ASSERT_EQ_SOON(page()->property("profilename").toString(), QString("profile2"), 3000);
    ASSERT_EQ_SOON(int(mouse_->memory()[15]), 10, 3000);
    const std::vector<uint8_t> m = mouse_->memory();
    // Stages 0..2 as the profile has them, the active stage between them.
    EXPECT_EQ((std::vector<uint8_t>(m.begin() + 15, m.begin() + 21)),
              (std::vector<uint8_t>{10, 0, 20, 0, 30, 0}));
    EXPECT_EQ(m[23], 1);
    EXPECT_EQ((std::vector<uint8_t>(m.begin() + 32, m.begin() + 41)),
              (std::vector<uint8_t>{1, 2, 3, 2, 3, 4, 3, 4, 5}));
    // Stages 3..7: DPI bytes 21-22 and 24-31, colours 41-55, all zero.
    EXPECT_EQ((std::vector<uint8_t>(m.begin() + 21, m.begin() + 23)), std::vector<uint8_t>(2, 0));
    EXPECT_EQ((std::vector<uint8_t>(m.begin() + 24, m.begin() + 32)), std::vector<uint8_t>(8, 0));
    EXPECT_EQ((std::vector<uint8_t>(m.begin() + 41, m.begin() + 56)), std::vector<uint8_t>(15, 0));
    // The page shows the same: the stages the profile lacks are off, at the lowest step.
    for (int n = 3; n < 8; ++n) {
        EXPECT_FALSE(find<QAbstractButton>(QString("DPI_enable_check_%1").arg(n))->isChecked())
            << n;
        EXPECT_EQ(find<QAbstractSlider>(QString("DPI_slider_%1").arg(n))->value(), 0) << n;
    }

    // And back: the eight stages return whole.
    combo->setCurrentIndex(0);
    ASSERT_EQ_SOON(int(mouse_->memory()[30]), 119, 3000);
    EXPECT_EQ(int(mouse_->memory()[15]), 3);
    EXPECT_EQ(int(mouse_->memory()[53]), 255);
}

// Each tab of the page at the window's normal size shows its controls whole, without overlap
// of the window's edge. With TELLUNE_SCREENSHOT_DIR set, each tab is saved as a picture.
TEST_F(MousePageEndToEnd, ThePictureAnimatesOnScreen) {
    start();
    // The shipped profile's spectrum, as the window really shows it (its backing store).
    auto* led = find<CDeviceKeyButtonUI>("light_0");
    ASSERT_NE(led, nullptr);
    ASSERT_SOON(led->isVisible() && led->IsLightShown(), 3000);
    const QPoint at = led->mapTo(wnd_.get(), led->rect().center());
    const auto shown = [&] {
        const QImage image = wnd_->screen()->grabWindow(wnd_->winId()).toImage();
        return image.pixelColor(at * image.devicePixelRatio());
    };
    const QColor first = shown();
    ASSERT_SOON(shown() != first, 2000);
    const QColor second = shown();
    ASSERT_SOON(shown() != second, 2000);
}

TEST_F(MousePageEndToEnd, EveryControlIsOnScreenOnItsTab) {
    const QString shots = screenshot_folder();
    start();
    wnd_->resize(1500, 960);
    wnd_->show();
    const struct {
        const char* tab;
        std::vector<QString> names;
    } tabs[] = {
        {"cursor_Op_tab",
         {"DPI_enable_check_0", "DPI_model_7", "DPI_slider_7", "DPI_edit_7",
          "mouse_device_seting_option_0", "mouse_device_seting_option_1"}},
        {"system_Op_tab",
         {"pointer_speed_slider", "pointer_precision_check", "scroll_speed_slider",
          "scrolls_page_check", "double_click_slider", "windowdeviceset_0", "windowdeviceset_1"}},
        {"key_Op_tab", {"device_setkeyinfo_list", "Logo", "key_0"}},
    };
    for (const auto& t : tabs) {
        find<QAbstractButton>(QLatin1String(t.tab))->click();
        QApplication::processEvents();
        expect_whole_on_screen(t.names, QLatin1String(t.tab));
        if (!shots.isEmpty()) wnd_->grab().save(shots + "/mouse_" + t.tab + ".png");
    }
    click("cursor_Op_tab");
    click("mouse_device_seting_option_1");
    EXPECT_TRUE(find("polling_rate_option_4")->isVisible());
    EXPECT_TRUE(find("MSH_set_comboSelect")->isVisible());
    if (!shots.isEmpty()) wnd_->grab().save(shots + "/mouse_report.png");
}

}  // namespace
}  // namespace tellune::ui
