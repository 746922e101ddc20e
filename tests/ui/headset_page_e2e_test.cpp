// The headset's pages in the whole main window over the emulated headset and the emulated
// audio chip, as a person uses them: equaliser presets, a band, a user equaliser, the
// microphone and monitoring, the voice changer; all of it is there again after a restart,
// and the headset received its light reports meanwhile.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <sstream>

#include "core/audio/audio_library.h"
#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/app_options.h"
#include "ui/device/tarvex_devices.h"
#include "ui/editors/voice_controls_ui.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class HeadsetPageEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override {
        app_options().audio_library = TELLUNE_EMULATED_OSCONF;
        // The chip starts from its factory state and keeps its values in this test's file.
        ASSERT_TRUE(chip_.load(TELLUNE_EMULATED_OSCONF));
        reinterpret_cast<void (*)()>(chip_.symbol("TelluneEmuReset"))();
        backend_->plug(headset_);
    }
    void TearDown() override {
        test::ProgramTest::TearDown();
        app_options().audio_library.clear();
    }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Audio().started(), 5000);
        page()->set_message_handler(
            [this](const QString& text, bool) { messages_.push_back(text.toStdString()); });
    }
    CTarvexHS6533Device* page() const { return shown_page<CTarvexHS6533Device>(); }
    // The chip's property calls since `from`.
    std::vector<std::string> chip_calls(size_t from = 0) const {
        auto log = reinterpret_cast<size_t (*)(char*, size_t)>(chip_.symbol("TelluneEmuLog"));
        std::string text(log(nullptr, 0) + 1, '\0');
        log(text.data(), text.size());
        std::vector<std::string> out;
        std::istringstream in(text.c_str());
        for (std::string line; std::getline(in, line);)
            if (line.rfind("set ", 0) == 0) out.push_back(line);
        return {out.begin() + std::ptrdiff_t(std::min(from, out.size())), out.end()};
    }
    bool chip_got(const std::string& line) const {
        const auto calls = chip_calls();
        return std::find(calls.begin(), calls.end(), line) != calls.end();
    }
    Json::Value stored() {
        return read_json(find_profile_bar(page())->selected_profile_file())["Device"][0];
    }

    ScopedEnv chip_state_{"TELLUNE_OSCONF_STATE", dir_.file("chip.state")};
    audio::AudioLibrary chip_;
    std::shared_ptr<emulator::EmulatedDevice> headset_ = emulator::make_headset();
    std::vector<std::string> messages_;
};

TEST_F(HeadsetPageEndToEnd, EverySettingReachesTheChipAndSurvivesARestart) {
    start();
    CVoice6533ControlUI* voice = page()->VoicePage();
    CMagicControlUI* magic = page()->MagicPage();
    ASSERT_NE(voice, nullptr);
    ASSERT_NE(magic, nullptr);
    EXPECT_FALSE(find<QWidget>("voice_unavailable_note")->isVisibleTo(voice));

    // A preset: the enable, then its ten gains.
    size_t mark = chip_calls().size();
    click("6533_eq_option_3");
    EXPECT_EQ(voice->SelectedEqualiser(), 3);
    const std::vector<std::string> preset = chip_calls(mark);
    ASSERT_EQ(preset.size(), 11u);
    EXPECT_EQ(preset[0], "set 0 Enable_EQ_GFX 1");
    EXPECT_EQ(preset[1], "set 0 EQ_Slider1 10");
    EXPECT_EQ(voice->GetBand(0), 10);
    EXPECT_FALSE(find<QWidget>("custom_eq_option_layout")->isEnabled());
    EXPECT_EQ(json_int(stored()["SystemSetStages"]["EqType"]), 3);

    // A band: the user equaliser takes over.
    find<QAbstractSlider>("6533_eq_hz_slider_3")->setValue(7);
    EXPECT_TRUE(chip_got("set 0 EQ_Slider4 7"));
    EXPECT_EQ(voice->SelectedEqualiser(), 13);
    EXPECT_TRUE(find<QWidget>("custom_eq_option_layout")->isEnabled());

    // Saved under a name; the same name in other letters is refused with a message.
    find<QLineEdit>("custom_eq_name_edit")->setText("  Mine ");
    click("hs_EQ_btn_save");
    EXPECT_EQ(voice->UserEqualiserCount(), 1);
    EXPECT_EQ(voice->UserEqualiserName(0), "Mine");
    EXPECT_EQ(voice->SelectedUserEqualiser(), 0);
    EXPECT_EQ(voice->GetNewName(), "");
    find<QLineEdit>("custom_eq_name_edit")->setText("MINE");
    click("hs_EQ_btn_save");
    EXPECT_EQ(messages_, (std::vector<std::string>{"message_text_5"}));
    EXPECT_EQ(voice->UserEqualiserCount(), 1);
    Json::Value s = stored();
    EXPECT_EQ(s["CustomEQNameInfo"][0]["Name"].asString(), "Mine");
    EXPECT_EQ(json_int(s["CustomEQHzValueInfo"][0][3]["value"]), 7);

    // Microphone off, its level down; monitoring on, louder.
    ASSERT_TRUE(voice->MicOn());
    click("6533_MicIn_option");
    EXPECT_TRUE(chip_got("set 1 MuteControl 1"));
    EXPECT_FALSE(voice->MicOn());
    find<QAbstractSlider>("6533_MicIn_slider")->setValue(30);
    EXPECT_TRUE(chip_got("set 1 VolumeScalarControl -1 0.3"));
    click("6533_MicMoniter_option");
    EXPECT_TRUE(chip_got("set 1 AAMuteControl 0"));
    find<QAbstractSlider>("6533_MicMoniter_slider")->setValue(65);
    EXPECT_TRUE(chip_got("set 1 AAVolumeScalarControl 0 0.65"));

    // The voice changer: the voices can be chosen only while it is on.
    EXPECT_FALSE(find<QWidget>("magic_option_layout")->isEnabled());
    click("magic_enable_option");
    EXPECT_TRUE(chip_got("set 1 Enable_MAGICVOICE 1"));
    EXPECT_TRUE(chip_got("set 1 Enable_MICECHO 0"));
    EXPECT_TRUE(find<QWidget>("magic_option_layout")->isEnabled());
    click("magic_option_3");
    EXPECT_TRUE(chip_got("set 1 MagicVoice_Selection 2"));
    EXPECT_EQ(magic->SelectedVoice(), 3);
    s = stored()["SystemSetStages"];
    EXPECT_EQ(json_int(s["MagicEnable"]), 1);
    EXPECT_EQ(json_int(s["MagicType"]), 3);
    EXPECT_EQ(json_int(s["MicInSelect"]), 0);
    EXPECT_EQ(json_int(s["MicInValue"]), 30);
    EXPECT_EQ(json_int(s["MicMoniterSelect"]), 1);
    EXPECT_EQ(json_int(s["MicMoniterValue"]), 65);

    // The headset got its lights as output reports meanwhile.
    ASSERT_SOON(headset_->output_reports().size() >= 12, 3000);
    EXPECT_EQ(headset_->output_reports().front().size(), 17u);
    EXPECT_EQ(headset_->output_reports().front()[0], 0xFF);

    // A restart: the same pages again.
    close_window();
    open_window();
    ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Audio().started(), 5000);
    voice = page()->VoicePage();
    magic = page()->MagicPage();
    EXPECT_EQ(voice->SelectedEqualiser(), 13);
    EXPECT_EQ(voice->UserEqualiserName(0), "Mine");
    EXPECT_EQ(voice->SelectedUserEqualiser(), 0);
    EXPECT_EQ(voice->GetBand(3), 7);
    EXPECT_EQ(voice->GetBand(0), 10);
    EXPECT_FALSE(voice->MicOn());
    EXPECT_EQ(voice->GetMicLevel(), 30);
    EXPECT_TRUE(voice->MonitorOn());
    EXPECT_EQ(voice->GetMonitorLevel(), 65);
    EXPECT_TRUE(magic->IsMagicOn());
    EXPECT_EQ(magic->SelectedVoice(), 3);
}

TEST_F(HeadsetPageEndToEnd, DeletingTheLastUserEqualiserGoesBackToPresetOne) {
    start();
    CVoice6533ControlUI* voice = page()->VoicePage();
    click("6533_eq_option_13");
    EXPECT_TRUE(find<QWidget>("custom_eq_option_layout")->isEnabled());
    find<QLineEdit>("custom_eq_name_edit")->setText("Only");
    click("hs_EQ_btn_save");
    ASSERT_EQ(voice->UserEqualiserCount(), 1);
    click("hs_EQ_btn_delete");
    EXPECT_EQ(voice->UserEqualiserCount(), 0);
    EXPECT_EQ(voice->SelectedEqualiser(), 1);
    EXPECT_FALSE(find<QWidget>("custom_eq_option_layout")->isEnabled());
    EXPECT_EQ(voice->GetBand(0), 7);
    EXPECT_EQ(voice->GetBand(9), 5);
    EXPECT_EQ(json_int(stored()["SystemSetStages"]["EqType"]), 1);
}

TEST_F(HeadsetPageEndToEnd, ARefusedWriteLeavesThePageAsTheHeadsetIs) {
    start();
    auto configure =
        reinterpret_cast<int (*)(const char*, const char*)>(chip_.symbol("TelluneEmuConfigure"));
    ASSERT_EQ(configure("fail_write", "MuteControl,VolumeScalarControl"), 0);
    CVoice6533ControlUI* voice = page()->VoicePage();
    const int level = voice->GetMicLevel();
    click("6533_MicIn_option");
    EXPECT_TRUE(voice->MicOn());
    find<QAbstractSlider>("6533_MicIn_slider")->setValue(level == 10 ? 20 : 10);
    EXPECT_EQ(voice->GetMicLevel(), level);
    EXPECT_EQ(json_int(stored()["SystemSetStages"]["MicInSelect"]), 1);
}

TEST_F(HeadsetPageEndToEnd, WithoutTheLibraryTheLightsStillWork) {
    app_options().audio_library = "/nonexistent/libosConfLib.so";
    open_window();
    ASSERT_SOON(page() && page()->Config().IsOpen(), 5000);
    EXPECT_FALSE(page()->Audio().available());
    EXPECT_TRUE(find<QWidget>("voice_unavailable_note")->isVisibleTo(page()->VoicePage()));
    EXPECT_FALSE(find<QWidget>("voice_body")->isEnabled());
    ASSERT_SOON(headset_->output_reports().size() >= 12, 3000);
}

}  // namespace
}  // namespace tellune::ui
