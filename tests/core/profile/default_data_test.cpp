// The data shipped in DefaultData/ must load through the same readers the program uses.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/profile/device_folders.h"
#include "core/profile/light_presets.h"
#include "core/profile/profile_data.h"
#include "profile_test_util.h"

using namespace tellune;
namespace fs = std::filesystem;

namespace {

// The source tree's folder that holds DefaultData/. Not taken from __FILE__: compiled
// through ccache that path is relative to the build folder, not to where tests run.
std::string source_root() {
    return TELLUNE_SOURCE_DIR;
}

// Loads the shipped default profile of `kind` into `data` through a scratch user copy.
template <typename T>
void load_default(T& data, int kind, const TempDir& tmp) {
    data.set_default_profile_path(default_profile_file(kind));
    const std::string path = tmp.file(std::to_string(kind) + ".Json");
    data.set_profile_path(path);
    data.load_profile(path);  // a missing user file takes the default section
    ASSERT_TRUE(data.device_section().isObject()) << default_profile_file(kind);
}

class DefaultData : public ::testing::Test {
protected:
    TempDir tmp;
    ScopedEnv data{"TELLUNE_DATA_DIR", source_root()};
    ScopedEnv xdg{"XDG_DATA_HOME", tmp.path().string()};
};

}  // namespace

TEST_F(DefaultData, EveryProfileIsACompleteDocument) {
    for (int kind : {kDeviceKeyboard, kDeviceMouse, kDeviceMousePad, kDeviceHeadset}) {
        const Json::Value doc = read_json(default_profile_file(kind));
        ASSERT_TRUE(doc.isObject()) << kind;
        EXPECT_TRUE(doc["profilename"].isString());
        EXPECT_TRUE(doc["profileUUID"].isString());
        ASSERT_TRUE(doc["Device"].isArray());
        EXPECT_TRUE(doc["Device"][0]["LightInfo"].isObject()) << kind;
    }
}

TEST_F(DefaultData, MouseDefaults) {
    CMouseProfiledata m;
    load_default(m, kDeviceMouse, tmp);
    const auto keys = m.read_key_assignments();
    const std::vector<std::uint32_t> factory = {0x100100, 0x100200, 0x100400, 0x101000,
                                                0x100800, 0x130100, 0x130200, 0xA00200,
                                                0x130300, 0xA01B00, 0x169001};
    ASSERT_EQ(keys.size(), factory.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].assignment(), factory[i]) << i;
        EXPECT_EQ(keys[i].default_assignment(), factory[i]) << i;
    }
    const auto stages = m.read_dpi_stages();
    ASSERT_GE(stages.size(), 4u);
    ASSERT_LE(stages.size(), 8u);
    std::set<std::uint32_t> colours;
    for (const auto& st : stages) {
        EXPECT_LE(int(st.dpi_x), 139);  // slider steps, not DPI
        colours.insert(std::uint32_t(st.red) << 16 | std::uint32_t(st.green) << 8 | st.blue);
    }
    EXPECT_EQ(colours.size(), stages.size());
    EXPECT_EQ(int(stages[0].dpi_x), 3);  // 400 DPI
    EXPECT_EQ(int(stages[1].dpi_x), 7);  // 800 DPI
    EXPECT_EQ(stages[0].active, 1);
    EXPECT_LT(m.active_stage(), int(stages.size()));
    EXPECT_LE(m.read_system_words().word[2] >> 16, 4u);  // report-rate option 0..4
    EXPECT_EQ(m.read_led_zones().size(), 8u);
    EXPECT_LE(m.read_light_settings().select_item(), 12);
}

TEST_F(DefaultData, KeyboardDefaults) {
    CKeyboardProfiledata k;
    load_default(k, kDeviceKeyboard, tmp);
    const auto keys = k.read_key_assignments();
    ASSERT_EQ(keys.size(), 126u);
    EXPECT_EQ(keys[0].assignment(), 0x200029u);  // Esc
    EXPECT_EQ(keys[16].assignment(), 0xA01B00u);
    EXPECT_EQ(keys[84].assignment(), 0x200200u);  // left shift
    EXPECT_EQ(keys[120].assignment(), 0xD0A201u);
    EXPECT_EQ(keys[125].assignment(), 0x208000u);
    EXPECT_LE(k.read_system_words().word[1] >> 16, 3u);  // polling option 0..3
    const Json::Value before = k.device_section();
    EXPECT_EQ(k.read_custom_colours(k.read_custom_group(), 126).size(), 126u);
    EXPECT_EQ(k.device_section(), before);  // nothing was missing
    EXPECT_LE(k.read_light_settings().select_item(), 25);
}

TEST_F(DefaultData, PadAndHeadsetDefaults) {
    CBasicProfiledata pad;
    load_default(pad, kDeviceMousePad, tmp);
    EXPECT_EQ(pad.read_led_zones().size(), 15u);
    EXPECT_LE(pad.read_light_settings().select_item(), 8);

    CHs6533Profiledata h;
    load_default(h, kDeviceHeadset, tmp);
    const Json::Value before = h.device_section();
    EXPECT_EQ(h.read_eq_bands(1), (EqualizerBands{7, 11, 2, -3, -1, 4, 9, 12, 9, 5}));
    EXPECT_EQ(h.read_eq_bands(5), EqualizerBands(10, 0));
    EXPECT_EQ(h.read_eq_bands(12), (EqualizerBands{2, 1, -2, -4, -8, 4, 12, 16, 18, 15}));
    for (int p = 1; p <= 12; ++p) {
        ASSERT_EQ(h.device_section()["EQHzValueInfo"][p].size(), 10u) << p;
        EXPECT_EQ(h.read_eq_bands(p).size(), 10u);
    }
    EXPECT_EQ(h.device_section(), before);  // all twelve presets were present
    EXPECT_EQ(h.device_section()["EQHzValueInfo"].size(), 13u);
    EXPECT_TRUE(h.read_user_eq_names().empty());
    const HeadsetState st = h.read_state();
    EXPECT_GE(st.eq_type, 1);
    EXPECT_LE(st.eq_type, 12);
    EXPECT_LE(st.mic_in_value, 100);
}

TEST_F(DefaultData, LightNamesForEveryModel) {
    const Json::Value doc = read_json(default_light_names_file());
    ASSERT_TRUE(doc.isObject());
    const size_t counts[kLightModelCount] = {26, 13, 9, 9};
    for (int model = 0; model < kLightModelCount; ++model) {
        const auto names = read_built_in_light_names(doc, model);
        EXPECT_EQ(names.size(), counts[model]) << model;
        for (const auto& n : names) EXPECT_EQ(n.name.rfind("light_mode_", 0), 0u) << n.name;
        EXPECT_FALSE(read_area_light_names(doc, model).empty());
    }
}
