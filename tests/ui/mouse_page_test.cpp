// The mouse settings page built from the shipped layout over the emulated mouse: what the
// controls show, what each change stores, saves and sends, and the page without a layout.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <memory>

#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "test_support/temp_dir.h"
#include "ui/app/control_factory.h"
#include "ui/app/text_table.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_devices.h"
#include "ui/profile/profile_bar.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class MousePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        ASSERT_TRUE(texts().load_file(test::shipped_skin() + "lang/en.json"));
        backend_->plug(mouse_);
        register_device_controls(backend_);
        register_profile_controls();
    }
    void TearDown() override {
        page_.reset();
        unregister_device_controls();
        unregister_profile_controls();
        texts().clear();
    }
    // The page from the shipped layout, bound and connected to the emulated mouse.
    void open(bool connect = true) {
        ControlFactory factory(test::shipped_skin());
        QWidget* built = factory.load_layout("XML/DeviceXml/mousedevice.ui");
        page_.reset(qobject_cast<CTarvexMouseDevice*>(built));
        ASSERT_NE(page_, nullptr);
        page_->SetKeyCount(11);
        page_->SetLedCount(8);
        page_->BindPageControls();
        if (!connect) return;
        for (const std::string& path : emulator::interface_paths(*mouse_)) {
            if (path.find("&col04") != std::string::npos) {
                ASSERT_TRUE(page_->Config().Connect(path));
            }
        }
        page_->connect_device();
    }
    template <class T = QWidget>
    T* control(const QString& name) {
        T* w = page_->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QString edit_text(int n) {
        return control<QLineEdit>(QStringLiteral("DPI_edit_%1").arg(n))->text();
    }
    void type_dpi(int n, const QString& text) {
        control<QLineEdit>(QStringLiteral("DPI_edit_%1").arg(n))->setText(text);
        page_->on_dpi_edit(n);
    }
    QAbstractButton* check(int n) {
        return control<QAbstractButton>(QStringLiteral("DPI_enable_check_%1").arg(n));
    }
    Json::Value stored() const {
        return read_json(page_->MouseProfile()->profile_path())["Device"][0];
    }
    uint64_t writes() const { return mouse_->command_count(6); }

    TempDir home_;
    ScopedEnv data_{"XDG_DATA_HOME", home_.path().string()};
    ScopedEnv program_{"TELLUNE_DATA_DIR", test::source_folder().toStdString()};
    std::shared_ptr<emulator::EmulatedBackend> backend_ =
        std::make_shared<emulator::EmulatedBackend>();
    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
    std::unique_ptr<CTarvexMouseDevice> page_;
};

TEST_F(MousePageTest, FilledFromTheShippedProfile) {
    open();
    // Stages 3, 7, 15, 23, 31, 47 on, 63 and 119 off; stage 1 active.
    const char* shown[] = {"400", "800", "1600", "2400", "3200", "4800", "6400", "12000"};
    for (int n = 0; n < 8; ++n) EXPECT_EQ(edit_text(n), shown[n]) << n;
    for (int n = 0; n < 6; ++n) EXPECT_TRUE(check(n)->isChecked()) << n;
    EXPECT_FALSE(check(6)->isChecked());
    EXPECT_FALSE(control(QStringLiteral("DPI_layout_7"))->isEnabled());
    EXPECT_TRUE(control<QAbstractButton>("DPI_model_1")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("DPI_model_0")->isChecked());
    EXPECT_TRUE(control<QAbstractButton>("polling_rate_option_0")->isChecked());
    EXPECT_EQ(control<QComboBox>("MSH_set_comboSelect")->currentIndex(), 0);
    EXPECT_EQ(control<QAbstractSlider>("pointer_speed_slider")->value(), 10);
    EXPECT_EQ(control<QAbstractSlider>("double_click_slider")->value(), 6);
    // Double-click time from the slider: (maximum - position + 1) x 100.
    EXPECT_EQ(page_->set_double_click(6), 500);
    EXPECT_EQ(page_->set_double_click(10), 100);
    // Filling the page sent nothing: the connection wrote no settings.
    EXPECT_EQ(writes(), 0u);
}

TEST_F(MousePageTest, TypedAndDraggedDpiValues) {
    open();
    type_dpi(0, "50");
    EXPECT_EQ(edit_text(0), "100");
    EXPECT_EQ(page_->dpi_slider(0), 0);
    type_dpi(0, "20000");
    EXPECT_EQ(edit_text(0), "16000");
    EXPECT_EQ(page_->dpi_slider(0), 139);
    type_dpi(0, "12150");
    EXPECT_EQ(edit_text(0), "12000");
    EXPECT_EQ(page_->dpi_slider(0), 119);
    type_dpi(0, "");
    EXPECT_EQ(edit_text(0), "100");
    type_dpi(0, "abc");
    EXPECT_EQ(edit_text(0), "100");

    page_->set_dpi_slider(3, 119);
    EXPECT_EQ(edit_text(3), "12000");
    page_->set_dpi_slider(3, 120);
    EXPECT_EQ(edit_text(3), "12200");
    page_->on_dpi_slider(3);
    EXPECT_EQ(json_int(stored()["DPIStages"]["StageDPIs"][3]["StageDPIX"]), 120);
    // The mouse got the step at stage 3's bytes 21-22.
    const std::vector<uint8_t> memory = mouse_->memory();
    EXPECT_EQ(memory[21], 120);
    EXPECT_EQ(memory[22], 0);
}

TEST_F(MousePageTest, ActiveStageSliderImages) {
    open();
    auto* active = control<QAbstractSlider>("DPI_slider_1");
    auto* other = control<QAbstractSlider>("DPI_slider_0");
    EXPECT_EQ(active->property("bkimage").toString(), "Control/SliderBar_BK1.png");
    EXPECT_EQ(active->property("thumbimage").toString(), "Control/SliderBar1_Thumb.png");
    EXPECT_EQ(other->property("bkimage").toString(), "Control/SliderBar_BK3.png");
    EXPECT_EQ(other->property("thumbimage").toString(), "Control/SliderBar2_Thumb.png");

    control<QAbstractButton>("DPI_model_4")->setChecked(true);
    page_->on_stage_model(4);
    EXPECT_TRUE(control<QAbstractButton>("DPI_model_4")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("DPI_model_1")->isChecked());
    EXPECT_EQ(active->property("bkimage").toString(), "Control/SliderBar_BK3.png");
    EXPECT_EQ(control<QAbstractSlider>("DPI_slider_4")->property("bkimage").toString(),
              "Control/SliderBar_BK1.png");
    EXPECT_EQ(json_int(stored()["DPIStages"]["StageActive"]), 4);
    EXPECT_EQ(mouse_->memory()[23], 4);
}

TEST_F(MousePageTest, TheLastStageCannotBeSwitchedOff) {
    open();
    for (int n = 0; n < 5; ++n) {
        check(n)->setChecked(false);
        page_->on_stage_check(n);
        EXPECT_FALSE(control(QStringLiteral("DPI_layout_%1").arg(n))->isEnabled());
    }
    // Stage 5 is the only one left on: its check box cannot be cleared.
    EXPECT_TRUE(check(5)->isChecked());
    EXPECT_FALSE(check(5)->isEnabled());
    for (int n = 0; n < 5; ++n) EXPECT_TRUE(check(n)->isEnabled());
    const Json::Value list = stored()["DPIStages"]["StageDPIs"];
    for (int n = 0; n < 5; ++n) EXPECT_EQ(json_int(list[n]["StageActive"], -1), 0) << n;
    EXPECT_EQ(json_int(list[5]["StageActive"], -1), 1);

    check(2)->setChecked(true);
    page_->on_stage_check(2);
    for (int n = 0; n < 8; ++n) EXPECT_TRUE(check(n)->isEnabled()) << n;
    EXPECT_TRUE(control(QStringLiteral("DPI_layout_2"))->isEnabled());
}

TEST_F(MousePageTest, ReportRateAndLiftReachTheMouse) {
    open();
    control<QAbstractButton>("polling_rate_option_3")->setChecked(true);
    page_->on_report_rate(3);
    EXPECT_FALSE(control<QAbstractButton>("polling_rate_option_0")->isChecked());
    EXPECT_EQ(json_int(stored()["ReportStages"]["StageActive"]), 3);
    EXPECT_EQ(mouse_->memory()[14], 3);

    control<QComboBox>("MSH_set_comboSelect")->setCurrentIndex(2);
    page_->on_lift();
    EXPECT_EQ(json_int(stored()["SystemStages"]["MSHSelectItem"]), 2);
    EXPECT_EQ(mouse_->memory()[56], 2);

    // An index the page has no option for shows the first.
    page_->select_report_rate(7);
    EXPECT_TRUE(control<QAbstractButton>("polling_rate_option_0")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("polling_rate_option_3")->isChecked());
    page_->select_report_rate(-1);
    EXPECT_TRUE(control<QAbstractButton>("polling_rate_option_0")->isChecked());
}

TEST_F(MousePageTest, ReportRateSevenFromAProfileSelectsTheFirstOption) {
    open();
    CMouseProfiledata* profile = page_->MouseProfile();
    MouseSystemWords words = profile->system_words();
    words.word[2] = (words.word[2] & 0xFFFF) | 7u << 16;
    profile->write_system_words(words);
    profile->save_profile();
    page_->reload_profile();
    page_->refresh_page();
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(
            control<QAbstractButton>(QStringLiteral("polling_rate_option_%1").arg(n))->isChecked(),
            n == 0);
}

TEST_F(MousePageTest, PointerScrollAndDoubleClickOnlyChangeTheProfile) {
    open();
    // The lines per notch show beside their slider (position + 1).
    auto* lines = control<QLabel>("scroll_lines_value");
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->text(),
              QString::number(control<QAbstractSlider>("scroll_speed_slider")->value() + 1));
    page_->set_scroll(false, 9);
    EXPECT_EQ(lines->text(), "10");
    const uint64_t before = mouse_->command_count(1) + writes() + mouse_->command_count(2);
    control<QAbstractSlider>("pointer_speed_slider")->setValue(3);
    page_->on_pointer_speed();
    control<QAbstractButton>("pointer_precision_check")->setChecked(true);
    page_->on_pointer_precision();
    control<QAbstractSlider>("double_click_slider")->setValue(8);
    page_->on_double_click();
    control<QAbstractButton>("scrolls_page_check")->setChecked(true);
    page_->on_scroll_page();
    Json::Value sys = stored()["SystemStages"];
    EXPECT_EQ(json_int(sys["MouseSpeed"]), 3);
    EXPECT_EQ(json_int(sys["PointerPrecision"]), 1);
    EXPECT_EQ(json_int(sys["DoubleClickTime"]), 8);
    EXPECT_EQ(json_int(sys["ScorllPage"]), 1);
    EXPECT_EQ(lines->text(), "-");  // a whole page has no line count

    // Moving the scroll slider ends page-wise scrolling.
    control<QAbstractSlider>("scroll_speed_slider")->setValue(5);
    page_->on_scroll_speed();
    EXPECT_FALSE(control<QAbstractButton>("scrolls_page_check")->isChecked());
    EXPECT_EQ(lines->text(), "6");
    sys = stored()["SystemStages"];
    EXPECT_EQ(json_int(sys["ScorllPage"], -1), 0);
    EXPECT_EQ(json_int(sys["WheelScorlllinse"]), 5);
    // The report rate stored beside the scroll lines is untouched.
    EXPECT_EQ(json_int(stored()["ReportStages"]["StageActive"], -1), 0);
    EXPECT_EQ(mouse_->command_count(1) + writes() + mouse_->command_count(2), before);
}

TEST_F(MousePageTest, SubPagesKeyListAndLogo) {
    open();
    page_->select_sub_page(1);
    EXPECT_EQ(control<QStackedWidget>("mouse_device_seting_layout")->currentIndex(), 1);
    EXPECT_TRUE(control<QAbstractButton>("mouse_device_seting_option_1")->isChecked());
    EXPECT_FALSE(control<QAbstractButton>("mouse_device_seting_option_0")->isChecked());

    auto* list = control<QListWidget>("device_setkeyinfo_list");
    ASSERT_EQ(list->count(), 11);
    auto row_text = [&](int i, const char* label) {
        QWidget* row = list->itemWidget(list->item(i));
        return row ? row->findChild<QLabel*>(QLatin1String(label))->text() : QString();
    };
    EXPECT_EQ(row_text(0, "key_row_name"), "Left button");
    EXPECT_EQ(row_text(0, "key_row_function"), "Left button");
    EXPECT_EQ(row_text(5, "key_row_function"), "DPI up");
    EXPECT_EQ(row_text(8, "key_row_function"), "DPI cycle");
    EXPECT_EQ(list->item(0)->sizeHint().height(), 25);
    EXPECT_FALSE(list->item(10)->isHidden());

    // The logo is renamed and names the whole mouse's light mode (spectrum in the profile).
    auto* logo = page_->findChild<CDeviceKeyButtonUI*>(QStringLiteral("Logo"));
    ASSERT_NE(logo, nullptr);
    EXPECT_TRUE(logo->toolTip().startsWith("Lighting\nWhole mouse: "));
    EXPECT_GT(logo->toolTip().size(), QString("Lighting\nWhole mouse: ").size());
}

TEST_F(MousePageTest, WithoutItsControlsThePageDoesNothing) {
    CTarvexMouseDevice bare(backend_);
    bare.BindPageControls();
    bare.refresh_page();
    EXPECT_EQ(bare.dpi_slider(2), 0);
    EXPECT_EQ(bare.dpi_edit_value(2), 0);
    EXPECT_EQ(bare.report_rate(), 0);
    EXPECT_EQ(bare.lift(), 0);
    EXPECT_EQ(bare.set_double_click(3), 0);
    EXPECT_FALSE(bare.stage_check(0));
    bare.on_dpi_edit(2);
    bare.on_dpi_slider(9);  // no stage 9: ignored
    bare.on_stage_check(1);
    bare.select_stage(3);
    bare.select_sub_page(1);
    // Nothing was connected, so nothing was sent.
    EXPECT_EQ(mouse_->command_count(6), 0u);
}

}  // namespace
}  // namespace tellune::ui
