// Names read from data files that become file names: only those that survive being written
// back into a JSON file byte for byte are used.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_list.h"
#include "test_support/temp_dir.h"

namespace tellune {
namespace {

Json::Value read_back(const Json::Value& v) {
    Json::Value doc;
    doc["s"] = v;
    Json::Value back;
    Json::Reader().parse(styled_json(doc), back);
    return back["s"];
}

TEST(FileNames, Utf8Validity) {
    for (const char* good : {"", "abc", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                             "\xf4\x8f\xbf\xbf", "\xed\x9f\xbf", "a\xc3\xa9z"}) {
        EXPECT_TRUE(is_valid_utf8(good)) << good;
    }
    for (const char* bad : {"\xff", "\x80", "\xc3", "a\xc3(", "\xc0\xaf", "\xc1\xbf",
                            "\xe0\x80\xaf", "\xf0\x80\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80",
                            "\xf5\x80\x80\x80", "\xe2\x82", "\xf0\x9f\x98"}) {
        EXPECT_FALSE(is_valid_utf8(bad)) << testing::PrintToString(std::string(bad));
    }
    // Each byte that starts no sequence becomes one U+FFFD, as our JSON writer stores it.
    EXPECT_EQ(valid_utf8("x\xff\xffy"), "x\xef\xbf\xbd\xef\xbf\xbdy");
    EXPECT_EQ(valid_utf8("\xc3(\xc3\xa9"), "\xef\xbf\xbd(\xc3\xa9");
    EXPECT_EQ(valid_utf8("\xe2\x82"), "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(valid_utf8("plain \xe2\x82\xac"), "plain \xe2\x82\xac");
    Json::Value v(std::string("A\xff"));
    EXPECT_EQ(json_string(v), "A\xef\xbf\xbd");
    EXPECT_EQ(json_string(read_back(v)), json_string(v));
    EXPECT_TRUE(is_plain_file_name("2019_05_12_08_30_05_123"));
    EXPECT_TRUE(is_plain_file_name("profil\xc3\xa9"));
    EXPECT_FALSE(is_plain_file_name("2019_05_12_08_30_05_\xff\xff"));
}

// A UUID with bytes that are not UTF-8 would be written back as U+FFFD and no longer name
// its file: the entry is left out, like any other unusable UUID. Names are shown as they
// will be stored, so what the list shows is what a second reader of the folder sees.
TEST(FileNames, ProfileListTakesOnlyTextThatSurvivesAWrite) {
    TempDir dir;
    const std::string folder = dir.file("mouse") + "/";
    std::filesystem::create_directories(folder);
    const std::string defaults = dir.file("mouse.Json");
    std::ofstream(defaults) << R"({"Device": [{"LightInfo": {"Light": 4}}]})";
    std::ofstream(folder + "ProfileList.ini")
        << "{\"profilelist\": [{\"profilename\": \"broken\", \"profileUUID\": \"u\xff\"},"
           " {\"profilename\": \"accent\", \"profileUUID\": \"profil\xc3\xa9\"},"
           " {\"profilename\": \"A\xff\", \"profileUUID\": \"u2\"}],"
           " \"profileselect\": 1}";
    auto entries = [&] {
        ProfileList list;
        list.set_paths(folder, defaults);
        EXPECT_TRUE(list.init());
        std::vector<std::string> out;
        for (const ProfileEntry& e : list.entries()) out.push_back(e.name + "=" + e.uuid);
        return out;
    };
    // A name is shown as it is stored.
    const std::vector<std::string> expected = {"accent=profil\xc3\xa9", "A\xef\xbf\xbd=u2"};
    EXPECT_EQ(entries(), expected);
    EXPECT_EQ(entries(), expected);  // as written back
}

}  // namespace
}  // namespace tellune
