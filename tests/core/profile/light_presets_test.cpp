#include "core/profile/light_presets.h"

#include <gtest/gtest.h>

#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "profile_test_util.h"

using namespace tellune;
using tellune::test::bytes_of;
using tellune::test::parse;
using tellune::test::ScratchData;
using tellune::test::write_text;
using Bytes = std::vector<unsigned char>;

namespace {

const char* kEffect = R"({"LEDEffectList": [
    {"LEDREGMode": 5, "LEDDirection": 1, "LEDBrightness": 3, "LEDSpeed": 2, "LEDMultiColor": 0,
     "red": 1, "green": 2, "blue": 3, "Time": 1000, "Cyle": 2},
    {"LEDREGMode": 1, "Time": -5, "Cyle": "x"}]})";

// Sets up a mouse whose light list names `guid` for light mode 3.
struct CustomEffectSetup {
    ScratchData s;
    std::string folder = user_data_folder(device_folder_name(kDeviceMouse));
    CBasicProfiledata data;

    explicit CustomEffectSetup(const std::string& guid) {
        Json::Value list = parse(R"({"LightInfo": [[{}, {}, {}, {"LightName": "Mine"}]]})");
        list["LightInfo"][0][3]["Guid"] = guid;
        write_json(custom_light_list_file(kDeviceMouse), list);
        const std::string path = s.user_file("p.Json");
        write_text(path, R"({"Device": [{"LightInfo": {"SelectItem": 3}}]})");
        data.set_profile_path(path);
        data.load_profile(path);
        data.read_light_settings();
        data.set_light_list_path(custom_light_list_file(kDeviceMouse));
        data.load_light_list("");
    }
};

}  // namespace

TEST(LightPresets, EffectFileReadsIntoSteps) {
    CustomEffectSetup setup("effect-1");
    write_text(setup.folder + "effect-1.light", kEffect);
    const auto steps = setup.data.read_light_effects();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(bytes_of(steps[0]),
              (Bytes{5, 3, 2, 1, 0, 1, 2, 3, 0, 0, 0, 0, 0xE8, 0x03, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(steps[1].mode, 1);
    EXPECT_EQ(int(steps[1].time), 0);  // a negative duration means "next step at once"
    EXPECT_EQ(int(steps[1].cycle), 0);
}

TEST(LightPresets, EffectOutsideTheDeviceFolderIsRefused) {
    for (const std::string guid : {"../x", "/etc/passwd", "..", "sub/dir", "a\\b", "", "missing"}) {
        CustomEffectSetup setup(guid);
        // Plant files where a path-following lookup would find them.
        write_text(setup.s.tmp.file("home/DURID EZAZU ZAPHIRA - TELLUNE/x.light"), kEffect);
        write_text(setup.folder + "sub/dir.light", kEffect);
        EXPECT_TRUE(setup.data.read_light_effects().empty()) << guid;
    }
    EXPECT_EQ(light_effect_file("/data/mouse/pomex_light.config", "g1"), "/data/mouse/g1.light");
    EXPECT_EQ(light_effect_file("/data/mouse/pomex_light.config", "../g1"), "");
    EXPECT_EQ(light_effect_file("relative.config", "g1"), "");
}

TEST(LightPresets, EffectsNeedTheListAndTheMode) {
    CustomEffectSetup setup("effect-1");
    write_text(setup.folder + "effect-1.light", kEffect);
    // Mode 2 has no Guid entry.
    setup.data.write_light_settings(LightSettings::make(2, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_TRUE(setup.data.read_light_effects().empty());
    // A list that is not JSON, or that is a wrong shape, gives no steps.
    setup.data.write_light_settings(LightSettings::make(3, 0, 0, 0, 0, 0, 0, 0, 0));
    for (const char* text : {"", "garbage", R"({"LightInfo": 5})", R"({"LightInfo": [5]})",
                             R"({"LightInfo": [[{}, {}, {}, {"Guid": 5}]]})"}) {
        write_text(custom_light_list_file(kDeviceMouse), text);
        setup.data.load_light_list("");
        EXPECT_TRUE(setup.data.read_light_effects().empty()) << text;
    }
    // A damaged effect file gives no steps; an element of the wrong kind is a blank step.
    const std::pair<const char*, size_t> effects[] = {
        {"", 0}, {"[]", 0}, {R"({"LEDEffectList": 5})", 0}, {R"({"LEDEffectList": [[]]})", 1}};
    write_json(custom_light_list_file(kDeviceMouse),
               parse(R"({"LightInfo": [[{}, {}, {}, {"Guid": "effect-1"}]]})"));
    setup.data.load_light_list("");
    for (const auto& [text, count] : effects) {
        write_text(setup.folder + "effect-1.light", text);
        const auto steps = setup.data.read_light_effects();
        ASSERT_EQ(steps.size(), count) << text;
        if (count) {
            EXPECT_EQ(bytes_of(steps[0]), Bytes(20, 0));
        }
    }
}

TEST(LightPresets, NameListsPerLightModel) {
    const Json::Value names = parse(R"({
        "DefaultLightName": [[{"LightName": "a"}], [{"LightName": "b", "visible": false},
                             {"LightName": "c", "visible": true}, 5]],
        "AreaLightName": [[], [{"LightName": "logo"}, {"LightName": 3}]]})");
    const auto mouse = read_built_in_light_names(names, kLightModelMouse);
    ASSERT_EQ(mouse.size(), 3u);
    EXPECT_EQ(mouse[0].name, "b");
    EXPECT_FALSE(mouse[0].visible);
    EXPECT_TRUE(mouse[1].visible);
    EXPECT_EQ(mouse[2].name, "");
    EXPECT_TRUE(read_built_in_light_names(names, kLightModelHeadset).empty());
    EXPECT_EQ(read_area_light_names(names, 1), (std::vector<std::string>{"logo", ""}));
    EXPECT_TRUE(read_area_light_names(parse("[1]"), 0).empty());

    const Json::Value custom =
        parse(R"({"LightInfo": [[], [{"LightName": "Mine", "Guid": "g-1"}]]})");
    const auto entries = read_custom_light_names(custom, 1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].guid, "g-1");
    EXPECT_TRUE(read_custom_light_names(parse(R"({"LightInfo": "x"})"), 1).empty());
}

TEST(DeviceFolders, KindsMapToFoldersAndModels) {
    ScratchData s;
    EXPECT_EQ(device_folder_name(kDeviceKeyboard), "keyboard");
    EXPECT_EQ(device_folder_name(kDeviceMouse), "mouse");
    EXPECT_EQ(device_folder_name(kDeviceWirelessMouse), "mouse");
    EXPECT_EQ(device_folder_name(kDeviceMousePad), "MousePad");
    EXPECT_EQ(device_folder_name(kDeviceHeadset), "HD");
    EXPECT_EQ(device_folder_name(4), "");
    EXPECT_EQ(light_model_index(kDeviceKeyboard), 0);
    EXPECT_EQ(light_model_index(kDeviceWirelessMouse), 1);
    EXPECT_EQ(light_model_index(kDeviceMousePad), 2);
    EXPECT_EQ(light_model_index(kDeviceHeadset), 3);
    EXPECT_EQ(light_model_index(0), -1);

    const std::string program = (s.tmp.path() / "program").string();
    const std::string user = (s.tmp.path() / "home" / "DURID EZAZU ZAPHIRA - TELLUNE").string();
    EXPECT_EQ(default_profile_file(kDeviceMousePad), program + "/DefaultData/MousePad.Json");
    EXPECT_EQ(default_light_names_file(), program + "/DefaultData/default_light.json");
    EXPECT_EQ(user_profile_file(kDeviceHeadset, "2020_01_03_09_05_07_042"),
              user + "/HD/2020_01_03_09_05_07_042.Json");
    EXPECT_EQ(custom_light_list_file(kDeviceKeyboard), user + "/keyboard/pomex_light.config");
    EXPECT_EQ(user_profile_file(kDeviceMouse, "../../etc/x"), "");
    EXPECT_EQ(user_profile_file(kDeviceMouse, ""), "");
    EXPECT_EQ(user_profile_file(5, "a"), "");
    EXPECT_EQ(default_profile_file(5), "");
}
