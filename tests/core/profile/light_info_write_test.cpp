// Writing the light settings back into a profile changes only what changed: a page that
// edits one value must not rewrite the user's other values in its own terms.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "profile_test_util.h"

using namespace tellune;
using tellune::test::ScratchData;
using tellune::test::write_text;

namespace {

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string profile_with_light(const std::string& light_info) {
    return R"({"profilename": "Desk", "profileUUID": "2021_02_03_04_05_06_007", "Device": [{
        "LightInfo": )" +
           light_info + R"(, "SystemStages": {"Repeat": 7}}]})";
}

struct LightFile {
    ScratchData s;
    std::string path = s.user_file("light.Json");
    CBasicProfiledata data;

    explicit LightFile(const std::string& light_info) {
        write_text(path, profile_with_light(light_info));
        data.set_profile_path(path);
        data.load_profile(path);
    }
    Json::Value info() const { return read_json(path)["Device"][0]["LightInfo"]; }
};

}  // namespace

TEST(LightInfoWrite, OneChangedFieldLeavesTheOthersAsTheFileHasThem) {
    // Forms the readers interpret but would not write themselves: true for 1, a brightness
    // beyond a byte, and a key of someone else's.
    LightFile f(R"({"SelectItem": 3, "Light": 300, "Speed": 1, "MultiColor": true,
        "Red": 12, "Green": 34, "Blue": 56, "Fx": 1, "ZZCCLedMode": 2, "Note": "mine"})");
    LightSettings s = f.data.read_light_settings();
    EXPECT_EQ(s, LightSettings::make(3, 300 & 0xFF, 1, 1, 1, 12, 34, 56, 2));
    const Json::Value before = f.info();

    s = LightSettings::make(3, s.light(), 4, 1, 1, 12, 34, 56, 2);  // speed 1 -> 4
    f.data.write_light_settings(s);
    ASSERT_TRUE(f.data.save_profile());

    Json::Value expected = before;
    expected["Speed"] = 4;
    EXPECT_EQ(f.info(), expected);
    EXPECT_TRUE(f.info()["MultiColor"].isBool());
    EXPECT_EQ(f.info()["Light"].asInt(), 300);
    // The rest of the file is untouched.
    EXPECT_EQ(read_json(f.path)["Device"][0]["SystemStages"]["Repeat"].asInt(), 7);
    EXPECT_EQ(read_json(f.path)["profilename"].asString(), "Desk");
}

TEST(LightInfoWrite, WritingWhatWasReadChangesNotOneByte) {
    LightFile f(R"({"SelectItem": 1, "Light": 2, "Speed": 3, "MultiColor": 0,
        "Red": 250, "Green": 0, "Blue": 9, "Fx": 0, "ZZCCLedMode": 0})");
    ASSERT_TRUE(f.data.save_profile());  // our own layout first
    const std::string text = read_text(f.path);
    f.data.write_light_settings(f.data.read_light_settings());
    ASSERT_TRUE(f.data.save_profile());
    EXPECT_EQ(read_text(f.path), text);
}

TEST(LightInfoWrite, MissingOrDamagedLightInfoGetsEveryField) {
    for (const char* damaged : {"null", "[1, 2, 3]", "\"text\"", "{}", "{\"Light\": 2}"}) {
        SCOPED_TRACE(damaged);
        LightFile f(damaged);
        f.data.read_light_settings();
        const LightSettings s = LightSettings::make(4, 2, 3, 1, 0, 200, 100, 50, 1);
        f.data.write_light_settings(s);
        ASSERT_TRUE(f.data.save_profile());
        const Json::Value info = f.info();
        ASSERT_TRUE(info.isObject());
        for (const char* key : {"SelectItem", "Light", "Speed", "MultiColor", "Red", "Green",
                                "Blue", "Fx", "ZZCCLedMode"})
            EXPECT_TRUE(info.isMember(key)) << key;
        CBasicProfiledata again;
        again.load_profile(f.path);
        EXPECT_EQ(again.read_light_settings(), s);
    }
}

TEST(LightInfoWrite, SuccessiveChangesAccumulate) {
    LightFile f(R"({"SelectItem": 0, "Light": 4, "Speed": 2, "MultiColor": 1,
        "Red": 1, "Green": 2, "Blue": 3, "Fx": 0, "ZZCCLedMode": 0})");
    LightSettings s = f.data.read_light_settings();
    s = LightSettings::make(0, 1, 2, 0, 1, 1, 2, 3, 0);
    f.data.write_light_settings(s);
    s = LightSettings::make(0, 1, 2, 0, 0, 9, 2, 3, 0);  // a colour: one colour, no cycle
    f.data.write_light_settings(s);
    ASSERT_TRUE(f.data.save_profile());
    CBasicProfiledata again;
    again.load_profile(f.path);
    EXPECT_EQ(again.read_light_settings(), s);
}
