#include "core/profile/profile_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/platform/files.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "profile_test_util.h"

namespace tellune {
namespace {

namespace fs = std::filesystem;
using test::parse;
using test::write_text;

constexpr char kDefaultProfile[] = R"({
    "profilename": "Default", "profileUUID": "default",
    "Device": [{"LightInfo": {"Light": 3, "Red": 255},
                "CustomEQNameInfo": [{"Name": "factory"}]}]
})";

// A device folder and a default profile in a scratch folder; UUIDs come from a counter so
// that the file names are known in advance.
class ProfileListTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = dir_.file("mouse") + "/";
        fs::create_directories(folder_);
        default_ = dir_.file("DefaultData/mouse.Json");
        write_text(default_, kDefaultProfile);
        list_.set_kind(kDeviceMouse);
        list_.set_paths(dir_.file("mouse"), default_);
        list_.set_stamp_source(
            [this] { return "2020_01_03_09_05_07_" + std::to_string(++stamp_); });
    }
    std::string file(const std::string& name) const { return folder_ + name; }
    Json::Value list_doc() const { return read_json(file("ProfileList.ini")); }
    Json::Value profile_doc(const std::string& uuid) const {
        return read_json(file(uuid + ".Json"));
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const ProfileEntry& e : list_.entries()) out.push_back(e.name);
        return out;
    }
    // The files of the device folder, to catch strays (temporaries, files outside the list).
    std::set<std::string> folder_files() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(folder_)) out.insert(e.path().filename());
        return out;
    }
    // Writes a list of (name, uuid) with their profile files and "profileselect".
    void write_list(const std::vector<std::pair<std::string, std::string>>& entries, int select) {
        Json::Value doc;
        doc["profileselect"] = select;
        doc["profilelist"] = Json::Value(Json::arrayValue);
        for (const auto& [name, uuid] : entries) {
            Json::Value e;
            e["profilename"] = name;
            e["profileUUID"] = uuid;
            doc["profilelist"].append(e);
            Json::Value profile = parse(kDefaultProfile);
            profile["profilename"] = name;
            profile["profileUUID"] = uuid;
            profile["Device"][0]["LightInfo"]["Light"] = int(doc["profilelist"].size());
            ASSERT_TRUE(write_json_file(file(uuid + ".Json"), profile));
        }
        ASSERT_TRUE(write_json_file(file("ProfileList.ini"), doc));
    }

    TempDir dir_;
    std::string folder_, default_;
    int stamp_ = 100;
    ProfileList list_;
};

TEST_F(ProfileListTest, FreshFolderGetsProfile1FromTheDefaults) {
    ASSERT_TRUE(list_.init());
    EXPECT_EQ(names(), std::vector<std::string>{"profile1"});
    EXPECT_EQ(list_.current_index(), 0);
    EXPECT_EQ(list_.selected_uuid(), "2020_01_03_09_05_07_101");
    EXPECT_EQ(list_.selected_profile_file(), folder_ + "2020_01_03_09_05_07_101.Json");
    // The list in the styled layout, byte for byte.
    EXPECT_EQ(read_whole_file(file("ProfileList.ini")),
              "{\n"
              "   \"profilelist\" : [\n"
              "      {\n"
              "         \"profileUUID\" : \"2020_01_03_09_05_07_101\",\n"
              "         \"profileislink\" : 0,\n"
              "         \"profilelinkmame\" : \"\",\n"
              "         \"profilename\" : \"profile1\"\n"
              "      }\n"
              "   ],\n"
              "   \"profileselect\" : 0\n"
              "}\n");
    const Json::Value profile = profile_doc("2020_01_03_09_05_07_101");
    EXPECT_EQ(profile["profilename"].asString(), "profile1");
    EXPECT_EQ(profile["profileUUID"].asString(), "2020_01_03_09_05_07_101");
    EXPECT_EQ(profile["Device"][0]["LightInfo"]["Light"].asInt(), 3);
    EXPECT_EQ(folder_files(),
              (std::set<std::string>{"ProfileList.ini", "2020_01_03_09_05_07_101.Json"}));

    // A second start finds the list and makes nothing new.
    ProfileList again;
    again.set_paths(folder_, default_);
    ASSERT_TRUE(again.init());
    EXPECT_EQ(again.selected_uuid(), "2020_01_03_09_05_07_101");
    EXPECT_EQ(folder_files().size(), 2u);
}

TEST_F(ProfileListTest, WithoutFolderOrDefaultsNothingBreaks) {
    ProfileList none;
    EXPECT_FALSE(none.init());
    EXPECT_EQ(none.current_index(), -1);
    EXPECT_EQ(none.add(), -1);
    EXPECT_EQ(none.remove(), -1);
    EXPECT_EQ(none.rename("x"), ProfileList::kRenameFailed);
    EXPECT_FALSE(none.reset());
    EXPECT_FALSE(none.export_profile(dir_.file("out.json")));
    EXPECT_EQ(none.profile_file("a"), "");

    // A missing default profile still gives a profile, whose file holds the name only.
    fs::remove(default_);
    ASSERT_TRUE(list_.init());
    const Json::Value profile = profile_doc(list_.selected_uuid());
    EXPECT_EQ(profile["profilename"].asString(), "profile1");
    EXPECT_FALSE(profile.isMember("Device"));
    // ...and a reset without defaults leaves the profile as it is.
    write_text(file(list_.selected_uuid() + ".Json"), R"({"Device": [{"Mine": 1}]})");
    EXPECT_FALSE(list_.reset());
    EXPECT_EQ(profile_doc(list_.selected_uuid())["Device"][0]["Mine"].asInt(), 1);
}

TEST_F(ProfileListTest, AddPicksTheFirstFreeNameIgnoringCaseAndStopsAtFifty) {
    write_list({{"profile1", "u1"}, {"PROFILE2", "u2"}, {"Profile4", "u4"}}, 1);
    ASSERT_TRUE(list_.init());
    EXPECT_EQ(list_.add(), 3);
    EXPECT_EQ(list_.add(), 4);
    EXPECT_EQ(names(), (std::vector<std::string>{"profile1", "PROFILE2", "Profile4", "profile3",
                                                 "profile5"}));
    // The shown profile stays selected, in memory and in the file.
    EXPECT_EQ(list_.current_index(), 1);
    EXPECT_EQ(list_doc()["profileselect"].asInt(), 1);
    const Json::Value added = profile_doc("2020_01_03_09_05_07_101");
    EXPECT_EQ(added["profilename"].asString(), "profile3");
    EXPECT_EQ(added["Device"][0]["LightInfo"]["Red"].asInt(), 255);

    while (list_.size() < ProfileList::kAddLimit) ASSERT_GE(list_.add(), 0);
    const std::set<std::string> before = folder_files();
    EXPECT_EQ(list_.add(), -1);
    EXPECT_EQ(folder_files(), before);
    // Copy and import have no limit.
    EXPECT_EQ(list_.copy(), 50);
    EXPECT_TRUE(write_json_file(dir_.file("in.json"), parse(R"({"profilename": "x",
                                                               "profileUUID": "y"})")));
    EXPECT_EQ(list_.import_profile(dir_.file("in.json")), 51);
    EXPECT_EQ(list_doc()["profilelist"].size(), 52u);
}

TEST_F(ProfileListTest, UuidsStayDistinctWithinOneMillisecond) {
    list_.set_stamp_source([] { return std::string("2021_02_03_04_05_06_007"); });
    ASSERT_TRUE(list_.init());
    ASSERT_EQ(list_.add(), 1);
    ASSERT_EQ(list_.copy(), 2);
    std::set<std::string> uuids;
    for (const ProfileEntry& e : list_.entries()) uuids.insert(e.uuid);
    EXPECT_EQ(uuids, (std::set<std::string>{"2021_02_03_04_05_06_007", "2021_02_03_04_05_06_007_1",
                                            "2021_02_03_04_05_06_007_2"}));

    // The real clock too: rapid adds never share a file.
    ProfileList real;
    real.set_paths(dir_.file("other"), default_);
    fs::create_directories(dir_.file("other"));
    ASSERT_TRUE(real.init());
    for (int i = 0; i < 5; ++i) ASSERT_GE(real.add(), 0);
    uuids.clear();
    for (const ProfileEntry& e : real.entries()) uuids.insert(e.uuid);
    EXPECT_EQ(uuids.size(), 6u);
}

TEST_F(ProfileListTest, CopyDuplicatesTheSelectedProfileUnderAFreeName) {
    write_list({{"A", "ua"}, {"a COPY", "ub"}}, 0);
    ASSERT_TRUE(list_.init());
    ASSERT_EQ(list_.copy(), 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "a COPY", "A copy copy"}));
    EXPECT_EQ(list_.current_index(), 0);
    const Json::Value copy = profile_doc("2020_01_03_09_05_07_101");
    EXPECT_EQ(copy["profilename"].asString(), "A copy copy");
    EXPECT_EQ(copy["profileUUID"].asString(), "2020_01_03_09_05_07_101");
    EXPECT_EQ(copy["Device"][0]["LightInfo"]["Light"].asInt(), 1);  // A's own settings
}

TEST_F(ProfileListTest, ImportMakesTheNameFreeAndNeverUsesTheFilesUuid) {
    write_list({{"A", "ua"}, {"A(1)", "ub"}}, 1);
    ASSERT_TRUE(list_.init());
    write_text(dir_.file("in.json"), R"({"profilename": "a", "profileUUID": "../../etc/x",
        "Device": [{"LightInfo": {"Light": 9}}], "Extra": true})");
    ASSERT_EQ(list_.import_profile(dir_.file("in.json")), 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "A(1)", "a(1)(2)"}));
    EXPECT_EQ(list_.current_index(), 1);
    const Json::Value imported = profile_doc("2020_01_03_09_05_07_101");
    EXPECT_EQ(imported["profilename"].asString(), "a(1)(2)");
    EXPECT_EQ(imported["profileUUID"].asString(), "2020_01_03_09_05_07_101");
    EXPECT_EQ(imported["Device"][0]["LightInfo"]["Light"].asInt(), 9);
    EXPECT_TRUE(imported["Extra"].asBool());
    EXPECT_FALSE(fs::exists(dir_.file("etc")));
    EXPECT_FALSE(fs::exists(folder_ + "../../etc/x.Json"));
    EXPECT_EQ(folder_files(), (std::set<std::string>{"ProfileList.ini", "ua.Json", "ub.Json",
                                                     "2020_01_03_09_05_07_101.Json"}));
}

TEST_F(ProfileListTest, ImportRefusesDocumentsWithoutStringNameAndUuid) {
    ASSERT_TRUE(list_.init());
    const std::string before = read_whole_file(file("ProfileList.ini"));
    const char* const hostile[] = {
        "",
        "garbage {",
        "[1, 2]",
        R"("profilename")",
        R"({"profileUUID": "u"})",
        R"({"profilename": "x"})",
        R"({"profilename": 5, "profileUUID": "u"})",
        R"({"profilename": "x", "profileUUID": 7})",
        R"({"profilename": ["x"], "profileUUID": "u"})",
        R"({"profilename": null, "profileUUID": "u"})",
        R"({"profilename": "   ", "profileUUID": "u"})",
    };
    for (const char* text : hostile) {
        write_text(dir_.file("in.json"), text);
        EXPECT_EQ(list_.import_profile(dir_.file("in.json")), -1) << text;
    }
    EXPECT_EQ(list_.import_profile(dir_.file("missing.json")), -1);
    EXPECT_EQ(list_.import_profile(dir_.path().string()), -1);  // a folder
    EXPECT_EQ(read_whole_file(file("ProfileList.ini")), before);
    EXPECT_EQ(folder_files().size(), 2u);
}

TEST_F(ProfileListTest, RenameChecksBlankAndTakenNames) {
    write_list({{"first", "u1"}, {"Second", "u2"}}, 1);
    ASSERT_TRUE(list_.init());
    EXPECT_EQ(list_.rename("   "), ProfileList::kRenameBlank);
    EXPECT_EQ(list_.rename(""), ProfileList::kRenameBlank);
    EXPECT_EQ(list_.rename("\xE3\x80\x80\t"), ProfileList::kRenameBlank);
    EXPECT_EQ(list_.rename("FIRST"), ProfileList::kRenameNameUsed);
    EXPECT_EQ(list_.rename("SECOND"), ProfileList::kRenameDone);  // its own name, other case
    EXPECT_EQ(names(), (std::vector<std::string>{"first", "SECOND"}));
    EXPECT_EQ(list_.rename("  Game  "), ProfileList::kRenameDone);
    EXPECT_EQ(list_doc()["profilelist"][1]["profilename"].asString(), "Game");
    EXPECT_EQ(profile_doc("u2")["profilename"].asString(), "Game");
    EXPECT_EQ(profile_doc("u2")["Device"][0]["LightInfo"]["Light"].asInt(), 2);
    EXPECT_EQ(profile_doc("u1")["profilename"].asString(), "first");

    // Letter case of other scripts counts too.
    EXPECT_EQ(list_.rename("Ärger"), ProfileList::kRenameDone);
    ASSERT_EQ(list_.add(), 2);
    EXPECT_EQ(list_.rename("äRGER"), ProfileList::kRenameDone);  // still the selected one
    list_.select(2);
    EXPECT_EQ(list_.rename("ÄRGER"), ProfileList::kRenameNameUsed);
    EXPECT_EQ(list_.rename("Профиль"), ProfileList::kRenameDone);
    list_.select(0);
    EXPECT_EQ(list_.rename("пРОФИЛЬ"), ProfileList::kRenameNameUsed);

    // A damaged profile file is left for the profile data to replace.
    write_text(file("u1.Json"), "not json");
    EXPECT_EQ(list_.rename("Work"), ProfileList::kRenameDone);
    EXPECT_EQ(read_whole_file(file("u1.Json")), "not json");
    EXPECT_EQ(names()[0], "Work");
}

TEST_F(ProfileListTest, DeleteKeepsOneAndMovesTheSelection) {
    ASSERT_TRUE(list_.init());
    EXPECT_EQ(list_.remove(), -1);
    EXPECT_EQ(list_.size(), 1);
    // A profile file that the next list does not name would join it at its start.
    fs::remove(list_.selected_profile_file());

    write_list({{"p0", "u0"}, {"p1", "u1"}, {"p2", "u2"}}, 0);
    ProfileList three;
    three.set_paths(folder_, default_);
    ASSERT_TRUE(three.init());
    EXPECT_EQ(three.remove(), 0);
    EXPECT_EQ(read_json(file("ProfileList.ini"))["profileselect"].asInt(), 0);
    EXPECT_FALSE(fs::exists(file("u0.Json")));
    EXPECT_EQ(three.selected_uuid(), "u1");

    write_list({{"p0", "u0"}, {"p1", "u1"}, {"p2", "u2"}}, 2);
    ASSERT_TRUE(three.init());
    EXPECT_EQ(three.remove(), 1);
    const Json::Value doc = read_json(file("ProfileList.ini"));
    EXPECT_EQ(doc["profileselect"].asInt(), 1);
    ASSERT_EQ(doc["profilelist"].size(), 2u);
    EXPECT_EQ(doc["profilelist"][1]["profileUUID"].asString(), "u1");
    EXPECT_FALSE(fs::exists(file("u2.Json")));
    EXPECT_TRUE(fs::exists(file("u1.Json")));
}

TEST_F(ProfileListTest, ResetTakesTheDefaultsAndAHeadsetKeepsItsEqualisers) {
    const std::string mine = R"({"profilename": "Mine", "profileUUID": "u1",
        "Device": [{"LightInfo": {"Light": 0},
                    "CustomEQNameInfo": [{"Name": "bass"}],
                    "CustomEQHzValueInfo": [[{"value": 4}]]}]})";
    write_list({{"Mine", "u1"}}, 0);
    write_text(file("u1.Json"), mine);
    ASSERT_TRUE(list_.init());
    ASSERT_TRUE(list_.reset());
    Json::Value doc = profile_doc("u1");
    EXPECT_EQ(doc["profilename"].asString(), "Mine");
    EXPECT_EQ(doc["profileUUID"].asString(), "u1");
    EXPECT_EQ(doc["Device"][0]["LightInfo"]["Light"].asInt(), 3);
    EXPECT_EQ(doc["Device"][0]["CustomEQNameInfo"][0]["Name"].asString(), "factory");
    EXPECT_FALSE(doc["Device"][0].isMember("CustomEQHzValueInfo"));

    write_text(file("u1.Json"), mine);
    list_.set_kind(kDeviceHeadset);
    ASSERT_TRUE(list_.reset());
    doc = profile_doc("u1");
    EXPECT_EQ(doc["Device"][0]["LightInfo"]["Light"].asInt(), 3);
    EXPECT_EQ(doc["Device"][0]["CustomEQNameInfo"][0]["Name"].asString(), "bass");
    EXPECT_EQ(doc["Device"][0]["CustomEQHzValueInfo"][0][0]["value"].asInt(), 4);

    // A headset profile without equalisers takes the default ones.
    write_text(file("u1.Json"), R"({"Device": "broken"})");
    ASSERT_TRUE(list_.reset());
    EXPECT_EQ(profile_doc("u1")["Device"][0]["CustomEQNameInfo"][0]["Name"].asString(), "factory");
}

TEST_F(ProfileListTest, ExportAndImportRoundTrip) {
    write_list({{"Game", "ug"}}, 0);
    ASSERT_TRUE(list_.init());
    const std::string out = dir_.file("export/game.json");
    fs::create_directories(dir_.file("export"));
    ASSERT_TRUE(list_.export_profile(out));
    EXPECT_EQ(read_json(out), profile_doc("ug"));
    EXPECT_EQ(read_whole_file(out), styled_json(profile_doc("ug")));

    ASSERT_EQ(list_.import_profile(out), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Game", "Game(1)"}));
    Json::Value back = profile_doc(list_.entries()[1].uuid);
    EXPECT_EQ(back["Device"], profile_doc("ug")["Device"]);

    // Never over the list itself, never from a profile file that does not parse.
    EXPECT_FALSE(list_.export_profile(file("ProfileList.ini")));
    EXPECT_FALSE(list_.export_profile(folder_ + "./ProfileList.ini"));
    EXPECT_EQ(list_doc()["profilelist"].size(), 2u);
    write_text(file("ug.Json"), "{{{");
    EXPECT_FALSE(list_.export_profile(dir_.file("export/broken.json")));
    EXPECT_FALSE(fs::exists(dir_.file("export/broken.json")));
    EXPECT_FALSE(list_.export_profile(""));
}

TEST_F(ProfileListTest, HostileListFilesNeverEscapeTheFolder) {
    struct Case {
        const char* text;
        std::vector<std::string> names;
        int selected;
    };
    const Case cases[] = {
        {"", {"profile1"}, 0},
        {"\x01\xff{garbage", {"profile1"}, 0},
        {"[1, 2, 3]", {"profile1"}, 0},
        {R"({"profilelist": "x", "profileselect": 0})", {"profile1"}, 0},
        {R"({"profilelist": [], "profileselect": 3})", {"profile1"}, 0},
        {R"({"profilelist": [1, "a", null, []]})", {"profile1"}, 0},
        // Entries without a usable UUID go; the one left is selected.
        {R"({"profilelist": [{"profilename": "noid"},
                             {"profilename": "up", "profileUUID": "../evil"},
                             {"profilename": "abs", "profileUUID": "/etc/passwd"},
                             {"profilename": "dots", "profileUUID": ".."},
                             {"profilename": "bs", "profileUUID": "a\\b"},
                             {"profilename": "num", "profileUUID": 5},
                             {"profilename": "empty", "profileUUID": ""},
                             {"profilename": "ok", "profileUUID": "u_ok"}],
             "profileselect": 7})",
         {"ok"},
         0},
        {R"({"profilelist": [{"profilename": "a", "profileUUID": "u1"},
                             {"profilename": "b", "profileUUID": "u2"}], "profileselect": -1})",
         {"a", "b"},
         0},
        {R"({"profilelist": [{"profilename": "a", "profileUUID": "u1"},
                             {"profilename": "b", "profileUUID": "u2"}], "profileselect": "1"})",
         {"a", "b"},
         0},
        {R"({"profilelist": [{"profilename": "a", "profileUUID": "u1"},
                             {"profilename": "b", "profileUUID": "u2"}], "profileselect": 1e300})",
         {"a", "b"},
         0},
        {R"({"profilelist": [{"profilename": "a", "profileUUID": "u1"},
                             {"profilename": "b", "profileUUID": "u2"}], "profileselect": 1})",
         {"a", "b"},
         1},
        // A second entry on the same file would delete the first one's settings with it.
        {R"({"profilelist": [{"profilename": "a", "profileUUID": "u1"},
                             {"profilename": "b", "profileUUID": "u1"}], "profileselect": 1})",
         {"a"},
         0},
        // Nameless entries get names no other entry has.
        {R"({"profilelist": [{"profilename": 3, "profileUUID": "u1"},
                             {"profileUUID": "u2"},
                             {"profilename": "PROFILE1", "profileUUID": "u3"}]})",
         {"profile2", "profile3", "PROFILE1"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        write_text(file("ProfileList.ini"), c.text);
        ProfileList list;
        list.set_paths(folder_, default_);
        ASSERT_TRUE(list.init());
        std::vector<std::string> got;
        for (const ProfileEntry& e : list.entries()) got.push_back(e.name);
        EXPECT_EQ(got, c.names);
        EXPECT_EQ(list.current_index(), c.selected);
        // The file now holds exactly what is shown.
        const Json::Value doc = list_doc();
        ASSERT_EQ(doc["profilelist"].size(), c.names.size());
        EXPECT_EQ(doc["profileselect"].asInt(), c.selected);
        for (Json::ArrayIndex i = 0; i < doc["profilelist"].size(); ++i) {
            EXPECT_EQ(doc["profilelist"][i]["profilename"].asString(), c.names[i]);
            EXPECT_TRUE(is_plain_file_name(doc["profilelist"][i]["profileUUID"].asString()));
        }
        // Every operation stays inside the folder.
        list.add();
        list.copy();
        list.rename("renamed");
        list.reset();
        list.remove();
        for (const auto& e : fs::recursive_directory_iterator(dir_.path()))
            EXPECT_TRUE(e.path().string().rfind(dir_.path().string(), 0) == 0);
        EXPECT_FALSE(fs::exists(dir_.path().parent_path() / "evil.Json"));
    }
}

TEST_F(ProfileListTest, ChangesBehindOurBackAreFollowed) {
    write_list({{"A", "ua"}, {"B", "ub"}}, 1);
    ASSERT_TRUE(list_.init());
    // Another page of the same kind puts a profile in front.
    write_list({{"Z", "uz"}, {"A", "ua"}, {"B", "ub"}}, 0);
    EXPECT_EQ(list_.rename("Bee"), ProfileList::kRenameDone);
    EXPECT_EQ(list_.current_index(), 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"Z", "A", "Bee"}));
    EXPECT_EQ(profile_doc("ub")["profilename"].asString(), "Bee");
    EXPECT_EQ(profile_doc("ua")["profilename"].asString(), "A");
    // The list file vanishes: the next change rebuilds it from the profile files (oldest
    // UUID first) instead of failing or starting afresh, and the shown profile stays shown.
    fs::remove(file("ProfileList.ini"));
    EXPECT_EQ(list_.add(), 3);
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "Bee", "Z", "profile1"}));
    EXPECT_EQ(list_.selected_uuid(), "ub");
    EXPECT_EQ(list_.current_index(), 1);
}

TEST_F(ProfileListTest, FailedWritesLeaveTheOldFilesAndNoTemporaries) {
    write_list({{"A", "ua"}, {"B", "ub"}}, 0);
    ASSERT_TRUE(list_.init());

    // Something already sits where the next profile file would go: it is not replaced.
    write_text(file("2020_01_03_09_05_07_101.Json/blocker"), "x");
    list_.set_stamp_source([] { return std::string("2020_01_03_09_05_07_101"); });
    EXPECT_EQ(list_.add(), 2);
    EXPECT_EQ(list_.entries()[2].uuid, "2020_01_03_09_05_07_101_1");
    EXPECT_TRUE(fs::exists(file("2020_01_03_09_05_07_101.Json/blocker")));

    // No usable file name at all (too long for the file system): nothing is written.
    const std::string list_before = read_whole_file(file("ProfileList.ini"));
    const std::set<std::string> files_before = folder_files();
    list_.set_stamp_source([] { return std::string(300, 'u'); });
    EXPECT_EQ(list_.add(), -1);
    EXPECT_EQ(list_.copy(), -1);
    EXPECT_EQ(read_whole_file(file("ProfileList.ini")), list_before);
    EXPECT_EQ(folder_files(), files_before);

    // The list cannot be replaced (a folder stands in its place): every change reports
    // failure, no profile file is made for a list that cannot name it, nothing is left over.
    fs::remove(file("ProfileList.ini"));
    write_text(file("ProfileList.ini/blocker"), "x");
    list_.set_stamp_source([] { return std::string("S"); });
    EXPECT_EQ(list_.add(), -1);
    EXPECT_EQ(list_.rename("C"), ProfileList::kRenameFailed);
    EXPECT_FALSE(list_.select(1));
    ProfileList blocked;
    blocked.set_paths(folder_, default_);
    EXPECT_FALSE(blocked.init());
    EXPECT_EQ(blocked.current_index(), -1);
    std::set<std::string> expected = files_before;
    EXPECT_EQ(folder_files(), expected);
    EXPECT_EQ(read_whole_file(file("ProfileList.ini/blocker")), "x");
}

TEST(ProfileNamesTest, CaseFoldingAndTrimming) {
    EXPECT_TRUE(profile_names_equal("Profile1", "pROFILE1"));
    EXPECT_TRUE(profile_names_equal("\xC3\x84rger", "\xC3\xA4RGER"));  // Ärger / äRGER
    EXPECT_TRUE(profile_names_equal("\xC4\xB2", "\xC4\xB3"));          // Ĳ / ĳ
    EXPECT_TRUE(profile_names_equal("\xC5\x81", "\xC5\x82"));          // Ł / ł
    EXPECT_TRUE(profile_names_equal("\xCE\xA9", "\xCF\x89"));          // Ω / ω
    EXPECT_TRUE(profile_names_equal("\xD0\x81", "\xD1\x91"));          // Ё / ё
    EXPECT_FALSE(profile_names_equal("\xC3\x97", "\xC3\xB7"));         // × is no letter
    EXPECT_FALSE(profile_names_equal("a", "ab"));
    EXPECT_FALSE(profile_names_equal("profile1 ", "profile1"));
    EXPECT_TRUE(profile_names_equal("\xFF", "\xFF"));
    EXPECT_FALSE(profile_names_equal("\xFF", "\xFE"));
    EXPECT_FALSE(profile_names_equal("\xC3", "\xC3\x84"));  // a cut sequence is no letter

    EXPECT_EQ(trim_profile_name("  a b \t"), "a b");
    EXPECT_EQ(trim_profile_name("\xC2\xA0x\xE3\x80\x80"), "x");
    EXPECT_EQ(trim_profile_name("\xE3\x80\x80\xC2\xA0 "), "");
    EXPECT_EQ(trim_profile_name("\xA0x"), "\xA0x");  // a stray byte is not a blank
}

}  // namespace
}  // namespace tellune
