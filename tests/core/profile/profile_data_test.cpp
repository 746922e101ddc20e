#include "core/profile/profile_data.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <vector>

#include "core/profile/device_folders.h"
#include "profile_test_util.h"

using namespace tellune;
using tellune::test::bytes_of;
using tellune::test::parse;
using tellune::test::ScratchData;
using tellune::test::write_text;
using Bytes = std::vector<unsigned char>;

namespace {

std::string doc_with(const std::string& section) {
    return R"({"profilename": "Work", "profileUUID": "2020_01_03_09_05_07_042", "Device": [)" +
           section + "]}";
}

// A profile object whose section comes from `section` (JSON text of the device section).
template <typename T>
void load(T& data, ScratchData& s, const std::string& section) {
    const std::string path = s.user_file("p.Json");
    write_text(path, doc_with(section));
    data.set_profile_path(path);
    data.load_profile(path);
}

}  // namespace

TEST(ProfileLayout, LightSettingsPackIntoThreeWords) {
    ScratchData s;
    CBasicProfiledata data;
    load(data, s, R"({"LightInfo": {"SelectItem": 3, "Light": 4, "Speed": 2, "Fx": 1,
        "MultiColor": 5, "Red": 18, "Green": 52, "Blue": 86, "ZZCCLedMode": 7}})");
    const LightSettings l = data.read_light_settings();
    EXPECT_EQ(l.word[0], 0x01020403u);
    EXPECT_EQ(l.word[1], 0x56341201u);
    EXPECT_EQ(l.word[2], 0x07000000u);
    EXPECT_EQ(bytes_of(l), (Bytes{0x03, 0x04, 0x02, 0x01, 0x01, 0x12, 0x34, 0x56, 0, 0, 0, 0x07}));

    // Values are cut to their byte; the third word keeps only the LED mode.
    load(data, s, R"({"LightInfo": {"SelectItem": 300, "Red": -1, "MultiColor": 0}})");
    const LightSettings cut = data.read_light_settings();
    EXPECT_EQ(cut.word[0], 0x0000002Cu);
    EXPECT_EQ(cut.word[1], 0x0000FF00u);
    EXPECT_EQ(cut.word[2], 0u);
}

TEST(ProfileLayout, RecordsMatchTheirByteLayouts) {
    ScratchData s;
    CMouseProfiledata data;
    load(data, s, R"({
        "LightList": [{"LEDREGMode": 2, "LEDBrightness": 3, "LEDSpeed": 4, "red": 10,
                       "green": 20, "blue": 30, "LEDMultiColor": true, "LEDDirection": false},
                      null],
        "KeyList": [{}, {}, {}, {}, {},
                    {"Assignment": 131844, "DefaultAssignment": 1048832}],
        "DPIStages": {"StageActive": 1, "StageDPIs": [
            {"StageActive": 1, "StageXY": 2, "StageDPIX": 300, "StageDPIY": 99,
             "StageColorR": 170, "StageColorG": 187, "StageColorB": 204},
            {"StageDPIX": 70000, "StageDPIY": -1}]}})");

    const auto zones = data.read_led_zones();
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(bytes_of(zones[0]), (Bytes{2, 3, 4, 0, 1, 10, 20, 30, 0, 0, 1, 0}));
    EXPECT_EQ(bytes_of(zones[1]), Bytes(12, 0));

    const auto keys = data.read_key_assignments();
    ASSERT_EQ(keys.size(), 6u);
    EXPECT_EQ(bytes_of(keys[5]), (Bytes{5, 0, 2, 3, 4, 0, 5, 0, 0x10, 0x01, 0x00, 0}));
    EXPECT_EQ(keys[5].assignment(), 131844u);

    const auto stages = data.read_dpi_stages();
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(bytes_of(stages[0]), (Bytes{1, 2, 0x2C, 0x01, 0x63, 0x00, 0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(bytes_of(stages[1]), (Bytes{0, 0, 0x70, 0x11, 0xFF, 0xFF, 0, 0, 0}));
    EXPECT_EQ(data.active_stage(), 1);
}

TEST(ProfileLayout, SystemWordsPackHalfWords) {
    ScratchData s;
    CMouseProfiledata mouse;
    load(mouse, s, R"({"SystemStages": {"DoubleClickTime": 70000, "MouseSpeed": 10,
        "PointerPrecision": 1, "ScorllPage": 65535, "WheelScorlllinse": 3, "MSHSelectItem": 1},
        "ReportStages": {"StageActive": 2}})");
    const MouseSystemWords m = mouse.read_system_words();
    EXPECT_EQ(bytes_of(m), (Bytes{0x70, 0x11, 0x0A, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x02,
                                  0x00, 0x01, 0x00, 0x00, 0x00}));
    // A missing "ReportStages" only leaves its half-word at 0.
    load(mouse, s, R"({"SystemStages": {"WheelScorlllinse": 3}})");
    EXPECT_EQ(mouse.read_system_words().word[2], 0x00000003u);

    CKeyboardProfiledata kb;
    load(kb, s, R"({"SystemStages": {"Repeat": 31, "RepeatDelay": 2, "Key6Flag": 1,
        "PollingRate": 3, "WFlag": 0, "WinFlag": 1}})");
    const KeyboardSystemWords k = kb.read_system_words();
    EXPECT_EQ(k.word[0], 0x0002001Fu);
    EXPECT_EQ(k.word[1], 0x00030001u);
    EXPECT_EQ(k.word[2], 0x00010000u);
}

TEST(ProfileData, EveryWriterRoundTripsThroughTheFile) {
    ScratchData s;
    const std::string path = s.user_file("round.Json");
    write_text(path, doc_with("{}"));
    {
        CMouseProfiledata m;
        m.set_profile_path(path);
        m.load_profile(path);
        m.write_light_settings(LightSettings::make(5, 3, 1, 1, 1, 10, 20, 30, 9));
        KeyAssignmentRecord k;
        k.type = 0x70;
        k.param1 = 2;
        k.param2 = 1;
        m.write_key_assignments({KeyAssignmentRecord{}, k});
        m.write_dpi_stages({{1, 0, 3, 3, 255, 0, 0}, {0, 1, 63, 31, 0, 0, 255}});
        m.set_active_stage(1);
        m.write_system_words({{0x000A0006u, 0x00010001u, 0x00040003u, 0x00000002u}});
        EXPECT_TRUE(m.save_profile());
    }
    CMouseProfiledata m;
    m.set_profile_path(path);
    m.load_profile(path);
    EXPECT_EQ(m.read_light_settings(), LightSettings::make(5, 3, 1, 1, 1, 10, 20, 30, 9));
    const auto keys = m.read_key_assignments();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].assignment(), 0x700201u);
    EXPECT_EQ(int(keys[1].key_index), 1);
    const auto stages = m.read_dpi_stages();
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(bytes_of(stages[1]), (Bytes{0, 1, 63, 0, 31, 0, 0, 0, 255}));
    EXPECT_EQ(m.active_stage(), 1);
    EXPECT_EQ(m.read_system_words(),
              (MouseSystemWords{{0x000A0006u, 0x00010001u, 0x00040003u, 0x00000002u}}));
    // The file keeps its other top-level keys.
    const Json::Value doc = read_json(path);
    EXPECT_EQ(doc["profilename"].asString(), "Work");
    EXPECT_EQ(doc["Device"][0]["ReportStages"]["StageActive"].asInt(), 4);
    // MultiColor is stored as the integer 1 and reads back as true.
    EXPECT_TRUE(doc["Device"][0]["LightInfo"]["MultiColor"].isInt());
    EXPECT_EQ(doc["Device"][0]["LightInfo"]["MultiColor"].asInt(), 1);
}

TEST(ProfileData, KeyboardAndHeadsetRoundTrip) {
    ScratchData s;
    const std::string kpath = s.user_file("k.Json");
    const std::string hpath = s.user_file("h.Json");
    write_text(kpath, doc_with("{}"));
    write_text(hpath, doc_with("{}"));
    {
        CKeyboardProfiledata k;
        k.set_profile_path(kpath);
        k.load_profile(kpath);
        k.write_system_words({{0x0002001Fu, 0x00030001u, 0x00010000u}});
        k.write_custom_colours(2, {{1, 2, 3, 4}, {5, 6, 7, 8}});
        EXPECT_TRUE(k.save_profile());

        CHs6533Profiledata h;
        h.set_profile_path(hpath);
        h.load_profile(hpath);
        h.write_state({1, 2, 13, 0, 1, 80, 0, 50});
        h.write_eq_bands(3, {10, 4, 0, -3, -4, -3, -2, -1, 0, 0});
        h.write_user_eq_names({"Bass", "Kopfhörer 低音"});
        h.write_user_eq_bands(1, {1, 2, 3});
        EXPECT_TRUE(h.save_profile());
    }
    CKeyboardProfiledata k;
    k.set_profile_path(kpath);
    k.load_profile(kpath);
    EXPECT_EQ(k.read_system_words(),
              (KeyboardSystemWords{{0x0002001Fu, 0x00030001u, 0x00010000u}}));
    EXPECT_EQ(k.read_custom_group(), 2);
    EXPECT_EQ(k.read_custom_colours(2, 2), (std::vector<CustomColour>{{1, 2, 3, 4}, {5, 6, 7, 8}}));

    CHs6533Profiledata h;
    h.set_profile_path(hpath);
    h.load_profile(hpath);
    EXPECT_EQ(h.read_state(), (HeadsetState{1, 2, 13, 0, 1, 80, 0, 50}));
    EXPECT_EQ(h.read_eq_bands(3), (EqualizerBands{10, 4, 0, -3, -4, -3, -2, -1, 0, 0}));
    EXPECT_EQ(h.read_user_eq_names(), (std::vector<std::string>{"Bass", "Kopfhörer 低音"}));
    EXPECT_EQ(h.read_user_eq_bands(1), (EqualizerBands{1, 2, 3, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ProfileData, DpiStagesOfTheProfileLoadedBeforeNeverSurvive) {
    ScratchData s;
    auto stages = [](int n, int base) {
        std::string out = R"({"DPIStages": {"StageActive": 2, "StageDPIs": [)";
        for (int i = 0; i < n; ++i)
            out += (i ? "," : "") + std::string(R"({"StageDPIX": )") + std::to_string(base + i) +
                   R"(, "StageColorR": )" + std::to_string(base + i) + "}";
        return out + "]}}";
    };
    CMouseProfiledata m;
    load(m, s, stages(8, 10));
    ASSERT_EQ(m.read_dpi_stages().size(), 8u);

    // Three stages after eight: exactly three, nothing of the eight left over.
    load(m, s, stages(3, 20));
    auto list = m.read_dpi_stages();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(int(list[0].dpi_x), 20);
    EXPECT_EQ(int(list[2].dpi_x), 22);
    EXPECT_EQ(int(list[2].red), 22);
    EXPECT_EQ(m.dpi_stages().size(), 3u);

    load(m, s, stages(7, 30));
    list = m.read_dpi_stages();
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(int(list[6].dpi_x), 36);
    EXPECT_EQ(m.active_stage(), 2);

    // Without "DPIStages", or with a list of another type, no stage and stage 0.
    for (const char* section :
         {"{}", R"({"DPIStages": 5})", R"({"DPIStages": {"StageActive": 4, "StageDPIs": {}}})"}) {
        load(m, s, stages(5, 40));
        ASSERT_EQ(m.read_dpi_stages().size(), 5u);
        load(m, s, section);
        EXPECT_TRUE(m.read_dpi_stages().empty()) << section;
        EXPECT_EQ(m.active_stage(), std::string(section).find("4") != std::string::npos ? 4 : 0)
            << section;
    }
}

TEST(ProfileData, EqualiserPresetMappingAndMissingPresets) {
    ScratchData s;
    const std::string path = s.user_file("p.Json");
    CHs6533Profiledata h;
    load(h, s, R"({"EQHzValueInfo": [null,
        [{"value": 7}, {"value": 11}, {"value": 2}, {"value": -3}, {"value": -1},
         {"value": 4}, {"value": 9}, {"value": 12}, {"value": 9}, {"value": 5}]]})");
    const EqualizerBands one{7, 11, 2, -3, -1, 4, 9, 12, 9, 5};
    EXPECT_EQ(h.read_eq_bands(0), one);
    EXPECT_EQ(h.read_eq_bands(14), one);
    EXPECT_EQ(h.read_eq_bands(-2), one);
    const Json::Value before = h.device_section();
    EXPECT_TRUE(h.read_eq_bands(13).empty());
    EXPECT_EQ(h.device_section(), before);
    h.write_eq_bands(13, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(h.device_section(), before);

    // A preset the file lacks reads as zeros, which the next save stores.
    EXPECT_EQ(h.read_eq_bands(7), EqualizerBands(10, 0));
    ASSERT_TRUE(h.save_profile());
    const Json::Value saved = read_json(path)["Device"][0]["EQHzValueInfo"][7];
    ASSERT_EQ(saved.size(), 10u);
    for (const Json::Value& band : saved) EXPECT_EQ(band, parse(R"({"value": 0})"));
    EXPECT_EQ(read_json(path)["Device"][0]["EQHzValueInfo"][1][0]["value"].asInt(), 7);
}

TEST(ProfileData, CustomColourGapsAreFilledWithZeros) {
    ScratchData s;
    CKeyboardProfiledata k;
    load(k, s, R"({"CustomLightMode": {"CustomLightModeGroupIndex": 1, "LightColorInfo": [
        [], [{"Red": 9, "Green": 8, "Blue": 7, "Alpha": 6}, null, 5]]}})");
    EXPECT_EQ(k.read_custom_group(), 1);
    EXPECT_EQ(k.read_custom_colours(1, 4), (std::vector<CustomColour>{{9, 8, 7, 6}, {}, {}, {}}));
    const Json::Value& group = k.device_section()["CustomLightMode"]["LightColorInfo"][1];
    ASSERT_EQ(group.size(), 4u);
    EXPECT_EQ(group[3], parse(R"({"Red": 0, "Green": 0, "Blue": 0, "Alpha": 0})"));
    EXPECT_EQ(group[0]["Red"].asInt(), 9);
    // A group the file lacks becomes zeros as well; a hostile group number changes nothing.
    EXPECT_EQ(k.read_custom_colours(3, 2), (std::vector<CustomColour>{{}, {}}));
    EXPECT_EQ(k.device_section()["CustomLightMode"]["LightColorInfo"][3].size(), 2u);
    const Json::Value before = k.device_section();
    EXPECT_TRUE(k.read_custom_colours(2000000000, 126).empty());
    EXPECT_TRUE(k.read_custom_colours(0, -1).empty());
    k.write_custom_colours(-5, {{1, 1, 1, 1}});
    EXPECT_EQ(k.device_section(), before);
}

TEST(ProfileData, LoadFallsBackToTheDefaultSection) {
    ScratchData s;
    const std::string def = s.default_file("mouse.Json");
    write_text(def,
               R"({"profilename": "Default", "Device": [{"ReportStages": {"StageActive": 3}}]})");
    const std::string path = s.user_file("p.Json");

    // A missing file is written as the default section, under its name and UUID.
    CMouseProfiledata m;
    m.set_default_profile_path(def);
    m.set_default_profile_path("");  // ignored
    EXPECT_EQ(m.default_profile_path(), def);
    m.set_profile_path(path);
    m.set_profile_name("Mine");
    EXPECT_EQ(m.load_profile(path), parse(R"({"ReportStages": {"StageActive": 3}})"));
    EXPECT_EQ(read_json(path), parse(R"({"profilename": "Mine", "profileUUID": "p",
                                        "Device": [{"ReportStages": {"StageActive": 3}}]})"));

    // A valid file lacking its section keeps its other keys; a section that is not an object
    // counts as missing. Nothing is moved aside: nothing of the file is lost.
    for (const char* text : {R"({"profilename": "Mine", "Extra": [1]})",
                             R"({"profilename": "Mine", "Extra": [1], "Device": 5})",
                             R"({"profilename": "Mine", "Extra": [1], "Device": [5]})"}) {
        write_text(path, text);
        m.load_profile(path);
        const Json::Value doc = read_json(path);
        EXPECT_EQ(doc["profilename"].asString(), "Mine") << text;
        EXPECT_EQ(doc["Extra"], parse("[1]"));
        EXPECT_EQ(doc["Device"][0], parse(R"({"ReportStages": {"StageActive": 3}})"));
    }
    for (const auto& e : std::filesystem::directory_iterator(s.tmp.path()))
        EXPECT_EQ(e.path().filename().string().find(".damaged-"), std::string::npos);

    // With no default profile either, the section is null and the file is left alone.
    CMouseProfiledata bare;
    bare.set_default_profile_path(s.default_file("missing.Json"));
    write_text(path, "garbage");
    EXPECT_TRUE(bare.load_profile(path).isNull());
    EXPECT_EQ(readjsonFile(path), "garbage");
    EXPECT_EQ(bare.read_light_settings(), LightSettings{});
    EXPECT_TRUE(bare.read_key_assignments().empty());
}

// A profile file that cannot be read is kept aside whole, and the one written in its place
// still carries the profile's name and UUID, so the list and the file agree.
TEST(ProfileData, ADamagedProfileIsKeptAsideAndKeepsItsName) {
    ScratchData s;
    const std::string def = s.default_file("mouse.Json");
    write_text(def, R"({"profilename": "Default", "Device": [{"LightInfo": {"Light": 4}}]})");
    const std::string folder = s.user_file("mouse") + "/";
    const std::string uuid = "2021_06_01_10_00_00_000";
    const std::string path = folder + uuid + ".Json";
    const std::string elsewhere = s.user_file("elsewhere.txt");
    write_text(elsewhere, "the user's notes, not JSON");
    const std::vector<std::pair<const char*, std::string>> damaged = {
        {"garbage", "\x01\xff garbage"},
        {"cut short", doc_with(R"({"LightInfo": {"Light": 1}})").substr(0, 60)},
        {"array", "[1, 2, 3]"},
        {"too deep", std::string(5000, '[') + std::string(5000, ']')},
    };
    for (const auto& [what, text] : damaged) {
        SCOPED_TRACE(what);
        std::filesystem::remove_all(folder);
        write_text(path, text);
        for (bool through_save : {false, true}) {
            CMouseProfiledata m;
            m.set_default_profile_path(def);
            m.set_profile_path(path);
            m.set_profile_name("Game");
            if (through_save) {
                // The file went bad after it was loaded: saving keeps it aside as well.
                write_text(path, doc_with("{}"));
                m.load_profile(path);
                write_text(path, text);
                m.write_light_settings(LightSettings::make(1, 2, 3, 4, 0, 5, 6, 7, 0));
                ASSERT_TRUE(m.save_profile());
            } else {
                EXPECT_EQ(m.load_profile(path), parse(R"({"LightInfo": {"Light": 4}})"));
            }
            const Json::Value doc = read_json(path);
            EXPECT_EQ(doc["profilename"].asString(), "Game");
            EXPECT_EQ(doc["profileUUID"].asString(), uuid);
            EXPECT_EQ(json_int(doc["Device"][0]["LightInfo"]["Light"]), through_save ? 2 : 4);
            // Exactly one copy aside per rewrite, holding the damaged text byte for byte.
            std::vector<std::string> aside;
            for (const auto& e : std::filesystem::directory_iterator(folder))
                if (e.path().filename().string().rfind(uuid + ".Json.damaged-", 0) == 0)
                    aside.push_back(e.path().string());
            ASSERT_EQ(aside.size(), through_save ? 2u : 1u);
            for (const std::string& copy : aside) EXPECT_EQ(readjsonFile(copy), text);
        }
    }

    // A name so long that the copy's name would be over the system's limit, while the
    // temporary's still fits: the file cannot step aside, so it is not overwritten either.
    const std::string long_path = folder + std::string(230, 'u') + ".Json";
    write_text(long_path, "garbage");
    {
        CMouseProfiledata m;
        m.set_default_profile_path(def);
        m.set_profile_path(long_path);
        EXPECT_EQ(m.load_profile(long_path), parse(R"({"LightInfo": {"Light": 4}})"));
        EXPECT_FALSE(m.save_profile());
        EXPECT_EQ(readjsonFile(long_path), "garbage");
    }

    // A link to something that is no profile: the link steps aside, its target is untouched
    // and the profile becomes a file of its own.
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(elsewhere, path);
    CMouseProfiledata m;
    m.set_default_profile_path(def);
    m.set_profile_path(path);
    m.set_profile_name("Linked");
    m.load_profile(path);
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_EQ(read_json(path)["profilename"].asString(), "Linked");
    EXPECT_EQ(readjsonFile(elsewhere), "the user's notes, not JSON");

    // A link to a good profile is read through and replaced by a file on save; the
    // target keeps what it had.
    write_text(elsewhere, doc_with(R"({"LightInfo": {"Light": 9}})"));
    std::filesystem::remove(path);
    std::filesystem::create_symlink(elsewhere, path);
    EXPECT_EQ(json_int(m.load_profile(path)["LightInfo"]["Light"]), 9);
    m.write_light_settings(LightSettings::make(0, 1, 0, 0, 0, 0, 0, 0, 0));
    ASSERT_TRUE(m.save_profile());
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_EQ(json_int(read_json(path)["Device"][0]["LightInfo"]["Light"]), 1);
    EXPECT_EQ(json_int(read_json(elsewhere)["Device"][0]["LightInfo"]["Light"]), 9);
}

TEST(ProfileData, WriteDeviceSectionUsesTheProfileIndex) {
    ScratchData s;
    const std::string path = s.user_file("p.Json");
    write_text(path, R"({"profilename": "A", "Device": [{"a": 1}]})");
    CBasicProfiledata d;
    d.set_profile_index(1);
    d.set_profile_index(-1);  // refused
    EXPECT_EQ(d.profile_index(), 1);
    EXPECT_TRUE(d.write_device_section(parse(R"({"b": 2})"), path));
    EXPECT_EQ(read_json(path), parse(R"({"profilename": "A", "Device": [{"a": 1}, {"b": 2}]})"));
    EXPECT_FALSE(d.save_profile());  // no profile path yet
    EXPECT_TRUE(d.write_document(parse("[3]"), path));
    EXPECT_EQ(read_json(path), parse("[3]"));
    EXPECT_FALSE(d.write_document(parse("[3]"), ""));
}

TEST(ProfileData, FailedSaveKeepsTheOldFile) {
    ScratchData s;
    const std::string path = s.user_file("p.Json");
    write_text(path, doc_with(R"({"LightInfo": {"SelectItem": 1}})"));
    const std::string before = readjsonFile(path);
    CKeyboardProfiledata k;
    k.set_profile_path(path);
    k.load_profile(path);
    std::vector<CustomColour> colours(126, CustomColour{1, 2, 3, 4});
    k.write_custom_colours(0, colours);

    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = k.save_profile();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readjsonFile(path), before);
    EXPECT_TRUE(k.save_profile());
    EXPECT_EQ(read_json(path)["Device"][0]["CustomLightMode"]["LightColorInfo"][0].size(), 126u);
}
