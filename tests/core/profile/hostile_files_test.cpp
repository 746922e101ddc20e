// Damaged and hostile profile files against every reader and writer: nothing may throw,
// crash or abort, and values of the wrong type read as their defaults.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/profile/profile_data.h"
#include "profile_test_util.h"

using namespace tellune;
using tellune::test::parse;
using tellune::test::ScratchData;
using tellune::test::write_text;

namespace {

const std::vector<std::string>& hostile_documents() {
    static const std::vector<std::string> docs = {
        "",
        R"({"Device": [{"LightInfo": {"SelectItem": 1, "Li)",
        std::string{'\x7f', 'E', 'L', 'F', '\x02', '\x01', '\x01', '\0', '\0', '\xff', '\xfe'},
        "[1, 2, 3]",
        "\"just a string\"",
        "12345",
        std::string(100000, '[') + std::string(100000, ']'),
        R"({"Device": 5})",
        R"({"Device": [5]})",
        R"({"Device": [[]]})",
        R"({"Device": {"0": {}}})",
        R"({"Device": [{"LightInfo": 5, "LightList": {"a": 1}, "KeyList": "x",
            "DPIStages": [], "SystemStages": "x", "ReportStages": 7, "CorrectInfo": {},
            "CustomLightMode": [], "SystemSetStages": [], "EQHzValueInfo": {"1": 2},
            "CustomEQNameInfo": 3, "CustomEQHzValueInfo": "x"}]})",
        R"({"Device": [{"LightInfo": {"SelectItem": "3", "Light": [], "Speed": {},
            "MultiColor": "yes", "Red": 1e300, "Green": -1e300, "Blue": 99999999999999999999,
            "Fx": -7, "ZZCCLedMode": null},
            "LightList": [5, "x", [], {"LEDREGMode": {}, "red": "255"}],
            "KeyList": [5, {"Assignment": "131844"}, {"Assignment": 1e30},
                        {"Assignment": -1, "DefaultAssignment": []}],
            "DPIStages": {"StageActive": "2", "StageDPIs": [5, {"StageDPIX": "800"}, []]},
            "SystemStages": {"DoubleClickTime": [], "MouseSpeed": "fast", "Repeat": {}},
            "ReportStages": {"StageActive": [1]},
            "CorrectInfo": [1, {"CorrectName": 5, "CorrectSelect": "a"}],
            "CustomLightMode": {"CustomLightModeGroupIndex": -9,
                                "LightColorInfo": [5, {"a": 1}, [1, "x", []]]},
            "SystemSetStages": {"EqType": "13", "MicInValue": 1e100},
            "EQHzValueInfo": [null, [1, 2], 5, {"value": 3}, [{"value": "x"}]],
            "CustomEQNameInfo": [1, {"Name": 5}, {"Name": "ok"}, []],
            "CustomEQHzValueInfo": [[[]], 7]}]})",
    };
    return docs;
}

// Runs every reader and writer of every profile class over the loaded section.
void exercise(CMouseProfiledata& m, CKeyboardProfiledata& k, CHs6533Profiledata& h) {
    for (CBasicProfiledata* d :
         {static_cast<CBasicProfiledata*>(&m), static_cast<CBasicProfiledata*>(&k),
          static_cast<CBasicProfiledata*>(&h)}) {
        d->read_light_settings();
        d->read_led_zones();
        d->read_key_assignments();
        d->load_light_list("");
        d->read_light_effects();
    }
    m.read_dpi_stages();
    m.read_system_words();
    m.read_corrections();
    k.read_system_words();
    k.read_custom_colours(k.read_custom_group(), 126);
    h.read_state();
    for (int p = -1; p <= 15; ++p) h.read_eq_bands(p);
    h.read_user_eq_names();
    h.read_user_eq_bands(0);
    h.read_user_eq_bands(1);

    m.write_light_settings(LightSettings::make(1, 2, 3, 4, 1, 6, 7, 8, 9));
    m.write_key_assignments(std::vector<KeyAssignmentRecord>(3));
    m.write_dpi_stages(std::vector<DpiStageRecord>(2));
    m.set_active_stage(1);
    m.write_system_words({});
    k.write_system_words({});
    k.write_custom_colours(0, std::vector<CustomColour>(3));
    k.write_custom_group(1);
    h.write_state({});
    h.write_eq_bands(2, EqualizerBands(10, 1));
    h.write_user_eq_names({"x"});
    h.write_user_eq_bands(1, EqualizerBands(10, 1));
}

}  // namespace

TEST(HostileFiles, NoReaderOrWriterThrows) {
    ScratchData s;
    const std::string path = s.user_file("p.Json");
    const std::string def = s.default_file("d.Json");
    const std::string good_default = R"({"Device": [{"LightInfo": {"SelectItem": 2}}]})";
    // Each hostile document once as the profile (with a usable default) and once as the
    // default (behind a corrupt profile).
    std::vector<std::pair<std::string, std::string>> cases;
    for (const std::string& doc : hostile_documents()) {
        cases.emplace_back(doc, good_default);
        cases.emplace_back("garbage", doc);
    }
    for (const auto& [profile, defaults] : cases) {
        write_text(def, defaults);
        CMouseProfiledata m;
        CKeyboardProfiledata k;
        CHs6533Profiledata h;
        for (CBasicProfiledata* d :
             {static_cast<CBasicProfiledata*>(&m), static_cast<CBasicProfiledata*>(&k),
              static_cast<CBasicProfiledata*>(&h)}) {
            write_text(path, profile);
            d->set_default_profile_path(def);
            d->set_profile_path(path);
            EXPECT_NO_THROW(d->load_profile(path));
        }
        EXPECT_NO_THROW(exercise(m, k, h));
        EXPECT_TRUE(m.save_profile());
        EXPECT_TRUE(read_json(path).isObject());
    }
}

TEST(HostileFiles, WrongTypesReadAsDefaults) {
    ScratchData s;
    const std::string path = s.user_file("p.Json");
    write_text(path, hostile_documents().back());
    CMouseProfiledata m;
    m.set_profile_path(path);
    m.load_profile(path);
    // Strings, arrays and out-of-range numbers read as 0; -7 is cut to its byte.
    EXPECT_EQ(m.read_light_settings(), LightSettings::make(0, 0, 0, 0xF9, 0, 0, 0, 0, 0));
    const auto zones = m.read_led_zones();
    ASSERT_EQ(zones.size(), 4u);
    EXPECT_EQ(zones[0].present + zones[1].present + zones[2].present, 0);
    EXPECT_EQ(zones[3].present, 1);
    EXPECT_EQ(zones[3].red, 0);
    const auto keys = m.read_key_assignments();
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[1].assignment(), 0u);
    EXPECT_EQ(keys[2].assignment(), 0u);
    EXPECT_EQ(keys[3].assignment(), 0xFFFFFFu);  // -1 keeps its low three bytes
    EXPECT_EQ(keys[3].default_assignment(), 0u);
    const auto stages = m.read_dpi_stages();
    ASSERT_EQ(stages.size(), 3u);
    EXPECT_EQ(int(stages[1].dpi_x), 0);
    EXPECT_EQ(m.active_stage(), 0);
    EXPECT_EQ(m.read_system_words(), MouseSystemWords{});
    const auto corrections = m.read_corrections();
    ASSERT_EQ(corrections.size(), 2u);
    EXPECT_EQ(corrections[1].name, "");

    CKeyboardProfiledata k;
    k.set_profile_path(path);
    k.load_profile(path);
    EXPECT_EQ(k.read_custom_group(), 0);  // -9 is no group
    EXPECT_EQ(k.read_custom_colours(2, 3), std::vector<CustomColour>(3));

    CHs6533Profiledata h;
    h.set_profile_path(path);
    h.load_profile(path);
    EXPECT_EQ(h.read_state(), HeadsetState{});
    EXPECT_EQ(h.read_eq_bands(1), EqualizerBands(10, 0));
    EXPECT_EQ(h.read_eq_bands(2), EqualizerBands(10, 0));
    EXPECT_EQ(h.device_section()["EQHzValueInfo"][2].size(), 10u);  // replaced by zeros
    EXPECT_EQ(h.read_user_eq_names(), (std::vector<std::string>{"", "", "ok", ""}));
}

TEST(HostileFiles, ConcurrentSavesNeverLeaveATornFile) {
    ScratchData s;
    const std::string path = s.user_file("p.Json");
    write_text(path, R"({"profilename": "P", "Device": [{}]})");
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t) {
        writers.emplace_back([&path, t] {
            CKeyboardProfiledata k;
            k.set_profile_path(path);
            k.load_profile(path);
            k.write_custom_colours(0, std::vector<CustomColour>(126, CustomColour{1, 2, 3, 4}));
            for (int i = 0; i < 40; ++i) {
                k.write_custom_group(t * 100 + i);
                k.save_profile();
            }
        });
    }
    int torn = 0;
    for (int i = 0; i < 200; ++i)
        if (!read_json(path).isObject()) ++torn;
    for (auto& w : writers) w.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(read_json(path)["profilename"].asString(), "P");
}
