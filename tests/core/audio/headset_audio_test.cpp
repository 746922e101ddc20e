// The headset's audio settings through the library loader, against the emulated chip built
// in this repository: the calls it receives, in order, and what ends up in the profile.

#include "core/audio/headset_audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "core/audio/audio_library.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "test_support/temp_dir.h"

namespace tellune::audio {
namespace {

// The emulated library, reset to its factory state for each test, keeping nothing on disk.
struct Chip {
    // `state`: the file the chip keeps its values in; empty keeps them in memory.
    explicit Chip(const std::string& state = "") : no_file{"TELLUNE_OSCONF_STATE", state} {
        EXPECT_TRUE(library.load(TELLUNE_EMULATED_OSCONF)) << library.error();
        reset = reinterpret_cast<void (*)()>(library.symbol("TelluneEmuReset"));
        configure_fn = reinterpret_cast<int (*)(const char*, const char*)>(
            library.symbol("TelluneEmuConfigure"));
        log_fn = reinterpret_cast<size_t (*)(char*, size_t)>(library.symbol("TelluneEmuLog"));
        EXPECT_TRUE(reset && configure_fn && log_fn);
        reset();
    }
    void configure(const char* key, const char* value) { ASSERT_EQ(configure_fn(key, value), 0); }
    // The property calls, "get|set flow name [channel] [value]".
    std::vector<std::string> calls() const {
        std::string text(log_fn(nullptr, 0) + 1, '\0');
        log_fn(text.data(), text.size());
        std::vector<std::string> out;
        std::istringstream in(text.c_str());
        for (std::string line; std::getline(in, line);)
            if (line.rfind("get ", 0) == 0 || line.rfind("set ", 0) == 0) out.push_back(line);
        return out;
    }
    std::vector<std::string> sets() const {
        std::vector<std::string> out;
        for (const std::string& c : calls())
            if (c.rfind("set ", 0) == 0) out.push_back(c);
        return out;
    }
    size_t count(const std::string& line) const {
        const auto all = calls();
        return size_t(std::count(all.begin(), all.end(), line));
    }
    void clear_log() {
        // The log has no clear of its own: remember where it stood.
        mark = calls().size();
    }
    std::vector<std::string> since_mark() const {
        auto all = calls();
        return {all.begin() + std::ptrdiff_t(std::min(mark, all.size())), all.end()};
    }

    ScopedEnv no_file;
    AudioLibrary library;
    void (*reset)() = nullptr;
    int (*configure_fn)(const char*, const char*) = nullptr;
    size_t (*log_fn)(char*, size_t) = nullptr;
    size_t mark = 0;
};

struct Rig {
    explicit Rig(const std::string& state = "") : chip(state) {
        profile.set_profile_path(tmp.file("profile.Json"));
        audio.take_profile(&profile);
    }
    Json::Value saved() const { return read_json(tmp.file("profile.Json"))["Device"][0]; }

    Chip chip;
    TempDir tmp;
    CHs6533Profiledata profile;
    std::vector<std::string> messages;
    HeadsetAudio audio{chip.library, [this](const std::string& m) { messages.push_back(m); }};
};

std::vector<std::string> band_sets(const Bands& bands) {
    std::vector<std::string> out = {"set 0 Enable_EQ_GFX 1"};
    for (size_t i = 0; i < bands.size(); ++i)
        out.push_back("set 0 EQ_Slider" + std::to_string(i + 1) + ' ' + std::to_string(bands[i]));
    return out;
}

Bands slider_values(int base) {
    Bands b{};
    for (size_t i = 0; i < b.size(); ++i) b[i] = base + int(i);
    return b;
}

TEST(AudioLibrary, LoadsTheLibraryAndResolvesElevenNames) {
    Chip chip;
    EXPECT_TRUE(chip.library.loaded());
    EXPECT_TRUE(chip.library.complete());
    EXPECT_NE(sdk_library_path(kAlsaLibraryName)
                  .find("SDK/" + std::string(build_architecture()) + "/libosConfLib.so"),
              std::string::npos);
}

TEST(AudioLibrary, MissingLibraryLeavesTheAudioUnavailable) {
    AudioLibrary missing;
    EXPECT_FALSE(missing.load("/nonexistent/libosConfLib.so"));
    EXPECT_FALSE(missing.error().empty());
    std::vector<std::string> messages;
    HeadsetAudio audio(missing, [&](const std::string& m) { messages.push_back(m); });
    EXPECT_FALSE(audio.available());
    audio.start_up();
    EXPECT_FALSE(audio.started());
    EXPECT_FALSE(audio.set_mic_level(50));
    EXPECT_FALSE(audio.toggle_mic());
    EXPECT_FALSE(audio.set_magic(true));
    EXPECT_TRUE(messages.empty());
}

TEST(HeadsetAudioStartUp, GivesEveryFeatureAValueInOrderThenReadsTheState) {
    Rig rig;
    rig.audio.start_up();
    ASSERT_TRUE(rig.audio.started());
    EXPECT_TRUE(rig.messages.empty());
    // Playback: the first usable of type 1, 12, 7, 4 (type 1 is not usable here); recording:
    // the first of type 2.
    EXPECT_EQ(rig.audio.playback().type(), 12);
    EXPECT_EQ(rig.audio.playback().record.word[2], 2);
    EXPECT_EQ(rig.audio.recording().type(), 2);
    EXPECT_EQ(rig.audio.recording().features, (std::array<int64_t, 3>{131073, 10, 1}));

    std::vector<std::string> expected = {
        "get 0 GetSupportFeature",
        "get 1 GetSupportFeature",
        // No value yet: each is written once with zero.
        "get 0 VirtualSurroundEffectControl",
        "set 0 VirtualSurroundEffectControl 0",
        "get 1 Enable_ENC_LFX",
        "set 1 Enable_ENC_LFX 0",
        "get 1 VolumeControl -1",
        "get 0 Enable_EQ_GFX",
        "set 0 Enable_EQ_GFX 0",
    };
    for (int i = 1; i <= 10; ++i) {
        expected.push_back("get 0 EQ_Slider" + std::to_string(i));
        expected.push_back("set 0 EQ_Slider" + std::to_string(i) + " 0");
    }
    for (const char* name : {"Enable_RFX_GFX", "RFX_ENVIRONMENT", "RFX_ROOMSIZE"}) {
        expected.push_back(std::string("get 0 ") + name);
        expected.push_back(std::string("set 0 ") + name + " 0");
    }
    for (const char* line :
         {"get 1 MuteControl", "get 1 VolumeScalarControl -1", "get 1 AAVolumeControl 0",
          "get 1 AAMuteControl", "get 1 AAVolumeScalarControl 0", "get 1 Enable_MAGICVOICE",
          "set 1 Enable_MAGICVOICE 0", "get 1 MagicVoice_Selection",
          "set 1 MagicVoice_Selection 0"})
        expected.push_back(line);
    // Then the state.
    for (const char* line :
         {"get 1 GetMaxVol", "get 1 GetMinVol", "get 1 GetVolStep", "get 1 VolumeControl -1",
          "get 1 MuteControl", "get 1 VolumeScalarControl -1", "get 1 GetAAMaxVol",
          "get 1 GetAAMinVol", "get 1 GetAAVolStep", "get 1 AAVolumeControl 0",
          "get 1 AAMuteControl", "get 1 AAVolumeScalarControl 0"})
        expected.push_back(line);
    for (int i = 1; i <= 10; ++i) expected.push_back("get 0 EQ_Slider" + std::to_string(i));
    expected.push_back("get 1 Enable_MAGICVOICE");
    expected.push_back("get 1 MagicVoice_Selection");
    EXPECT_EQ(rig.chip.calls(), expected);

    const HeadsetState& s = rig.audio.state();
    EXPECT_EQ(s.mic_in_value, 75);
    EXPECT_EQ(s.mic_in_select, 1);
    EXPECT_EQ(s.monitor_value, 50);
    EXPECT_EQ(s.monitor_select, 0);  // muted
    EXPECT_EQ(s.magic_type, 1);      // selection 0 is voice 1
    EXPECT_TRUE(rig.audio.monitoring_available());
    EXPECT_TRUE(rig.audio.magic_available());
    EXPECT_TRUE(rig.audio.equaliser_applied());
    EXPECT_DOUBLE_EQ(rig.audio.mic_db(), 15.0);  // -12 + 0.75 * 36
    EXPECT_EQ(rig.audio.mic_range(), (std::array<double, 3>{24, -12, 0.5}));

    // A second connection only reads the state again.
    rig.chip.clear_log();
    rig.audio.start_up();
    for (const std::string& c : rig.chip.since_mark())
        EXPECT_EQ(c.rfind("set ", 0), std::string::npos) << c;
}

TEST(HeadsetAudioStartUp, SixFieldFeatureAnswerShowsTheMessageAndKeepsThePreviousIntegers) {
    Rig rig;
    rig.chip.configure("features", "131073,0,0,0,10,0");
    rig.audio.start_up();
    EXPECT_EQ(rig.messages, (std::vector<std::string>{kFeatureListMessage, kFeatureListMessage}));
    EXPECT_EQ(rig.audio.recording().features, (std::array<int64_t, 3>{0, 0, 0}));
    // Without the feature bit the voice changer's switch is not read.
    EXPECT_FALSE(rig.audio.magic_available());
    const auto calls = rig.chip.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "get 1 Enable_MAGICVOICE"), 1);  // set-up only
}

TEST(HeadsetAudioStartUp, FailedInitShowsTheMessageAndGoesOn) {
    Rig rig;
    rig.chip.configure("init_result", "5");
    rig.audio.start_up();
    EXPECT_EQ(rig.messages, (std::vector<std::string>{kInitFailedMessage}));
    EXPECT_TRUE(rig.audio.started());
    EXPECT_EQ(rig.audio.state().mic_in_value, 75);
}

TEST(HeadsetAudioStartUp, NoPlaybackDeviceSkipsTheSetUpUntilOneComes) {
    Rig rig;
    rig.chip.configure("playback", "");
    rig.audio.start_up();
    EXPECT_FALSE(rig.audio.started());
    EXPECT_TRUE(rig.chip.calls().empty());
    rig.chip.configure("playback", "1:1");
    rig.audio.start_up();
    EXPECT_TRUE(rig.audio.started());
    EXPECT_EQ(rig.audio.playback().type(), 1);
}

TEST(HeadsetEqualiser, Preset5WritesTenZerosAfterTheEnable) {
    Rig rig;
    rig.audio.start_up();
    rig.chip.clear_log();
    ASSERT_TRUE(rig.audio.select_equaliser(5));
    EXPECT_EQ(rig.chip.since_mark(), band_sets(Bands{}));
    const Json::Value saved = rig.saved();
    EXPECT_EQ(saved["SystemSetStages"]["EqType"].asInt(), 5);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(saved["EQHzValueInfo"][5][i]["value"].asInt(), 0);
    EXPECT_EQ(rig.audio.bands(), Bands{});
}

TEST(HeadsetEqualiser, PresetGainsAreTheTablesAndOutOfRangeTypesDoNothing) {
    Rig rig;
    rig.audio.start_up();
    rig.chip.clear_log();
    ASSERT_TRUE(rig.audio.select_equaliser(6));
    EXPECT_EQ(rig.chip.since_mark(), band_sets({7, 14, -13, -6, -1, 8, 13, 7, 2, 6}));
    EXPECT_EQ(rig.saved()["EQHzValueInfo"][6][2]["value"].asInt(), -13);
    rig.chip.clear_log();
    EXPECT_FALSE(rig.audio.select_equaliser(0));
    EXPECT_FALSE(rig.audio.select_equaliser(14));
    EXPECT_TRUE(rig.chip.since_mark().empty());
    EXPECT_EQ(rig.audio.state().eq_type, 6);
}

TEST(HeadsetEqualiser, MovingABandUnderAPresetTurnsToTheUserEqualiserWithoutSaving) {
    Rig rig;
    rig.audio.start_up();
    ASSERT_EQ(rig.audio.save_user_equaliser("Mine", slider_values(1)),
              HeadsetAudio::SaveResult::Saved);
    ASSERT_TRUE(rig.audio.select_equaliser(4));
    rig.chip.clear_log();
    rig.audio.move_band(2, 6);
    EXPECT_EQ(rig.chip.since_mark(), (std::vector<std::string>{"set 0 EQ_Slider3 6"}));
    EXPECT_EQ(rig.audio.state().eq_type, kUserEqualiserType);
    EXPECT_EQ(rig.audio.selected_user(), -1);  // the list's selection is cleared
    EXPECT_EQ(rig.audio.bands()[2], 6);
    EXPECT_EQ(rig.saved()["SystemSetStages"]["EqType"].asInt(), 4);
}

TEST(HeadsetUserEqualisers, TheTwentyFirstIsRefused) {
    Rig rig;
    rig.audio.start_up();
    for (int i = 1; i <= 20; ++i)
        ASSERT_EQ(rig.audio.save_user_equaliser("EQ " + std::to_string(i), slider_values(i)),
                  HeadsetAudio::SaveResult::Saved);
    EXPECT_EQ(rig.audio.save_user_equaliser("EQ 21", slider_values(0)),
              HeadsetAudio::SaveResult::Full);
    EXPECT_EQ(rig.audio.user_names().size(), 20u);
    EXPECT_EQ(rig.saved()["CustomEQNameInfo"].size(), 20u);
    EXPECT_EQ(rig.saved()["CustomEQHzValueInfo"][19][0]["value"].asInt(), 20);
    EXPECT_EQ(rig.saved()["SystemSetStages"]["CustomEqSeletIndex"].asInt(), 19);
    EXPECT_TRUE(rig.messages.empty());
}

TEST(HeadsetUserEqualisers, ANameDifferingOnlyInCaseIsTaken) {
    Rig rig;
    rig.audio.start_up();
    ASSERT_EQ(rig.audio.save_user_equaliser("Bass", slider_values(0)),
              HeadsetAudio::SaveResult::Saved);
    EXPECT_EQ(rig.audio.save_user_equaliser("bASS", slider_values(5)),
              HeadsetAudio::SaveResult::Duplicate);
    EXPECT_EQ(rig.audio.save_user_equaliser("Bässe", slider_values(5)),
              HeadsetAudio::SaveResult::Saved);
    EXPECT_EQ(rig.audio.user_names(), (std::vector<std::string>{"Bass", "Bässe"}));
    EXPECT_FALSE(same_name_ignoring_case("Bass", "Bas"));
}

TEST(HeadsetUserEqualisers, SavingWithoutANameOverwritesTheSelectedOne) {
    Rig rig;
    rig.audio.start_up();
    EXPECT_EQ(rig.audio.save_user_equaliser("", slider_values(3)),
              HeadsetAudio::SaveResult::Nothing);
    ASSERT_EQ(rig.audio.save_user_equaliser("A", slider_values(0)),
              HeadsetAudio::SaveResult::Saved);
    EXPECT_EQ(rig.audio.save_user_equaliser("", slider_values(3)),
              HeadsetAudio::SaveResult::Overwritten);
    EXPECT_EQ(rig.saved()["CustomEQHzValueInfo"][0][9]["value"].asInt(), 12);
}

TEST(HeadsetUserEqualisers, DeletingTheLastReturnsToPresetOne) {
    Rig rig;
    rig.audio.start_up();
    ASSERT_TRUE(rig.audio.select_equaliser(kUserEqualiserType));
    ASSERT_EQ(rig.audio.save_user_equaliser("Only", slider_values(2)),
              HeadsetAudio::SaveResult::Saved);
    rig.chip.clear_log();
    ASSERT_TRUE(rig.audio.delete_user_equaliser());
    EXPECT_TRUE(rig.audio.user_names().empty());
    EXPECT_EQ(rig.audio.state().eq_type, 1);
    EXPECT_EQ(rig.audio.bands(), preset_bands(1));
    // Applied as well as shown.
    EXPECT_EQ(rig.chip.since_mark(), band_sets(preset_bands(1)));
    const Json::Value saved = rig.saved();
    EXPECT_EQ(saved["CustomEQNameInfo"].size(), 0u);
    EXPECT_EQ(saved["SystemSetStages"]["EqType"].asInt(), 1);
    EXPECT_FALSE(rig.audio.delete_user_equaliser());  // nothing selected any more
}

TEST(HeadsetUserEqualisers, DeletingOneInTheMiddleKeepsTheOthersGains) {
    Rig rig;
    rig.audio.start_up();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(
            rig.audio.save_user_equaliser(std::string(1, char('A' + i)), slider_values(10 * i)),
            HeadsetAudio::SaveResult::Saved);
    ASSERT_TRUE(rig.audio.apply_user_equaliser(1));
    rig.chip.clear_log();
    ASSERT_TRUE(rig.audio.delete_user_equaliser());
    EXPECT_EQ(rig.audio.user_names(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(rig.audio.selected_user(), 0);
    EXPECT_EQ(rig.chip.since_mark(), band_sets(slider_values(0)));             // entry 0 applied
    EXPECT_EQ(rig.saved()["CustomEQHzValueInfo"][1][0]["value"].asInt(), 20);  // C's gains
    ASSERT_TRUE(rig.audio.apply_user_equaliser(1));
    EXPECT_EQ(rig.audio.bands(), slider_values(20));
}

TEST(HeadsetMicrophone, LevelIsStoredOnlyAfterTheWriteSucceeded) {
    Rig rig;
    rig.audio.start_up();
    rig.chip.configure("fail_write", "VolumeScalarControl");
    EXPECT_FALSE(rig.audio.set_mic_level(30));
    EXPECT_EQ(rig.audio.state().mic_in_value, 75);
    EXPECT_TRUE(rig.saved().isNull() || rig.saved()["SystemSetStages"]["MicInValue"].asInt() != 30);
    rig.chip.reset();
    rig.audio.start_up();
    rig.chip.clear_log();
    ASSERT_TRUE(rig.audio.set_mic_level(30));
    EXPECT_EQ(rig.chip.since_mark(), (std::vector<std::string>{"set 1 VolumeScalarControl -1 0.3",
                                                               "get 1 VolumeControl -1"}));
    EXPECT_EQ(rig.saved()["SystemSetStages"]["MicInValue"].asInt(), 30);
    EXPECT_NEAR(rig.audio.mic_db(), -1.2, 1e-4);
    ASSERT_TRUE(rig.audio.set_monitor_level(100));
    EXPECT_EQ(rig.saved()["SystemSetStages"]["MicMoniterValue"].asInt(), 100);
}

TEST(HeadsetMicrophone, SwitchesToggleTheMute) {
    Rig rig;
    rig.audio.start_up();
    rig.chip.clear_log();
    ASSERT_TRUE(rig.audio.toggle_mic());      // on -> muted
    ASSERT_TRUE(rig.audio.toggle_monitor());  // muted -> on
    EXPECT_EQ(rig.chip.since_mark(),
              (std::vector<std::string>{"set 1 MuteControl 1", "set 1 AAMuteControl 0"}));
    EXPECT_EQ(rig.audio.state().mic_in_select, 0);
    EXPECT_EQ(rig.audio.state().monitor_select, 1);
    rig.chip.configure("fail_write", "MuteControl");
    EXPECT_FALSE(rig.audio.toggle_mic());
    EXPECT_EQ(rig.audio.state().mic_in_select, 0);
    EXPECT_EQ(rig.saved()["SystemSetStages"]["MicInSelect"].asInt(), 0);
}

TEST(HeadsetMagicVoice, SwitchingOnWritesTheEchoOffAndVoicesCountFromZero) {
    Rig rig;
    rig.audio.start_up();
    rig.chip.clear_log();
    ASSERT_TRUE(rig.audio.set_magic(true));
    ASSERT_TRUE(rig.audio.select_voice(3));
    EXPECT_FALSE(rig.audio.select_voice(5));
    ASSERT_TRUE(rig.audio.set_magic(false));
    EXPECT_EQ(
        rig.chip.since_mark(),
        (std::vector<std::string>{"set 1 Enable_MAGICVOICE 1", "set 1 Enable_MICECHO 0",
                                  "set 1 MagicVoice_Selection 2", "set 1 Enable_MAGICVOICE 0"}));
    const Json::Value saved = rig.saved();
    EXPECT_EQ(saved["SystemSetStages"]["MagicEnable"].asInt(), 0);
    EXPECT_EQ(saved["SystemSetStages"]["MagicType"].asInt(), 3);
}

TEST(HeadsetAudioRestart, TheChipKeepsItsValuesInItsFile) {
    TempDir tmp;
    {
        Rig rig(tmp.file("chip.state"));
        rig.audio.start_up();
        ASSERT_TRUE(rig.audio.set_mic_level(40));
        ASSERT_TRUE(rig.audio.select_equaliser(2));
        ASSERT_TRUE(rig.audio.select_voice(4));
    }
    // A new start: the chip comes back from its file, and the program reads it.
    Chip chip(tmp.file("chip.state"));
    HeadsetAudio audio(chip.library, {});
    audio.start_up();
    EXPECT_EQ(audio.state().mic_in_value, 40);
    EXPECT_EQ(audio.state().magic_type, 4);
    EXPECT_EQ(audio.bands(), preset_bands(2));
}

}  // namespace
}  // namespace tellune::audio
