// Recoil pattern files: bullet layout worked out by hand, saves that keep what they do not
// own, reset, install, import (refusing what is no shoot file) and export.

#include "core/shoot/shoot_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/platform/files.h"
#include "core/profile/json_file.h"
#include "test_support/temp_dir.h"

namespace tellune::shoot {
namespace {

namespace fs = std::filesystem;

Json::Value parse(const std::string& text) {
    Json::Value v;
    Json::Reader().parse(text, v);
    return v;
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ev(const char* action, int button, int delay, int type) {
    return std::string("{\"Action\":\"") + action + "\",\"Button\":" + std::to_string(button) +
           ",\"Delay\":" + std::to_string(delay) + ",\"Type\":" + std::to_string(type) + "}";
}

class ShootFiles : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.file("data"));
        fs::create_directories(dir_.file("defaults"));
    }
    std::string data(const std::string& name) const { return dir_.file("data/" + name); }
    std::string def(const std::string& name) const { return dir_.file("defaults/" + name); }
    // A default file for every gun: bullet b of gun g moves right g, down b + 1, pause 100.
    void write_defaults() {
        for (int g = 0; g < kGuns; ++g) {
            Json::Value doc(Json::objectValue);
            for (int b = 0; b < kBullets; ++b) write_bullet(doc, b, {false, g, false, b + 1, 100});
            ASSERT_TRUE(write_json_file(def(shoot_file_name(g)), doc));
        }
    }
    int damaged_copies() const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir_.file("data")))
            if (e.path().filename().string().find(".damaged-") != std::string::npos) ++n;
        return n;
    }
    TempDir dir_;
    ShootData shoot_{dir_.file("data"), dir_.file("defaults")};
};

TEST(ShootLayout, FileNamesAndPaths) {
    EXPECT_EQ(shoot_file_name(0), "ShootData_0.Shoot");
    EXPECT_EQ(shoot_file_name(3), "ShootData_3.Shoot");
    ShootData s("/d", "/p/DefaultData/");
    EXPECT_EQ(s.gun_file(2), "/d/ShootData_2.Shoot");
    EXPECT_EQ(s.default_file(1), "/p/DefaultData/ShootData_1.Shoot");
    // Out-of-range guns name the nearest gun, never another file.
    EXPECT_EQ(s.gun_file(-1), "/d/ShootData_0.Shoot");
    EXPECT_EQ(s.gun_file(9), "/d/ShootData_3.Shoot");
}

TEST(ShootLayout, SavingBulletZeroWritesTheSixEventsByHand) {
    // Bullet 1 is there first and must come through untouched.
    Json::Value doc = parse(
        "{\"Events\":[" + ev("down", 1, 10, 1) + "," + ev("up", 1, 0, 1) + "," + ev("up", 9, 5, 4) +
        "," + ev("up", 9, 44, 5) + "," + ev("up", 0, 0, 4) + "," + ev("up", 0, 0, 5) + "," +
        ev("down", 1, 10, 1) + "," + ev("up", 1, 0, 1) + "," + ev("down", 2, 5, 4) + "," +
        ev("down", 8, 77, 5) + "," + ev("down", 0, 0, 4) + "," + ev("down", 0, 0, 5) + "]}");
    const Json::Value before = doc["Events"];
    write_bullet(doc, 0, {true, 3, false, 7, 90});  // left 3, down 7, pause 90
    const Json::Value expected =
        parse("[" + ev("down", 1, 10, 1) + "," + ev("up", 1, 0, 1) + "," + ev("down", 3, 5, 4) +
              "," + ev("up", 7, 90, 5) + "," + ev("down", 0, 0, 4) + "," + ev("up", 0, 0, 5) + "]");
    ASSERT_EQ(doc["Events"].size(), 12u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(doc["Events"][i], expected[i]) << "event " << i;
    for (int i = 6; i < 12; ++i) EXPECT_EQ(doc["Events"][i], before[i]) << "event " << i;
    // "Delay" is a JSON integer in these files.
    EXPECT_TRUE(doc["Events"][3]["Delay"].isInt());
    EXPECT_EQ(read_bullet(doc, 0), (Bullet{true, 3, false, 7, 90}));
    EXPECT_EQ(read_bullet(doc, 1), (Bullet{true, 2, true, 8, 77}));
}

TEST(ShootLayout, LastBulletAndGapsAndClamping) {
    Json::Value doc;  // null: becomes a document
    write_bullet(doc, 29, {false, 300, true, -4, 70000});
    ASSERT_TRUE(is_shoot_document(doc));
    ASSERT_EQ(doc["Events"].size(), 180u);
    // The bullets before it read as nothing and play as nothing: zero moves.
    for (int i = 0; i < 174; ++i) {
        EXPECT_EQ(doc["Events"][i]["Button"].asInt(), 0) << i;
        EXPECT_EQ(doc["Events"][i]["Type"].asInt(), 4) << i;
        EXPECT_EQ(doc["Events"][i]["Delay"].asInt(), 0) << i;
    }
    EXPECT_EQ(read_bullet(doc, 3), Bullet{});
    // Clamped to what the mouse carries: one byte of distance, 16 bits of pause.
    EXPECT_EQ(read_bullet(doc, 29), (Bullet{false, 255, true, 0, 65535}));
    // Bullet numbers out of range name the nearest bullet.
    EXPECT_EQ(read_bullet(doc, 40), read_bullet(doc, 29));
    write_bullet(doc, -3, {true, 1, true, 2, 3});
    EXPECT_EQ(read_bullet(doc, 0), (Bullet{true, 1, true, 2, 3}));
    EXPECT_EQ(doc["Events"].size(), 180u);
}

TEST(ShootLayout, ReadersNeverThrowAndReadMissingAsUpAndZero) {
    struct Case {
        const char* name;
        std::string text;
        Bullet expected;
    };
    const std::vector<Case> cases = {
        {"null", "null", {}},
        {"array", "[1,2,3]", {}},
        {"events not an array", R"({"Events": {"2": 1}})", {}},
        {"too short", "{\"Events\":[" + ev("down", 1, 10, 1) + "]}", {}},
        {"events of wrong types", R"({"Events":[0,0,"x",[1],{},{}]})", {}},
        {"wrong field types",
         R"({"Events":[{},{},{"Action":7,"Button":"3"},{"Action":["down"],"Button":1.5,"Delay":true}]})",
         {false, 0, false, 1, 1}},
        {"case of the action and a text pause",
         R"({"Events":[{},{},{"Action":"DOWN","Button":4},{"Action":"Down","Button":6,"Delay":"250"}]})",
         {true, 4, true, 6, 250}},
        {"negative and huge numbers",
         R"({"Events":[{},{},{"Action":"down","Button":-5},{"Action":"up","Button":1e300,"Delay":-1}]})",
         {true, 0, false, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read_bullet(parse(c.text), 0), c.expected);
    }
}

TEST(ShootLayout, EditNumbers) {
    struct Case {
        const char* text;
        int max;
        int expected;
    };
    for (const Case& c : std::vector<Case>{{"7", 255, 7},
                                           {" 42 ", 255, 42},
                                           {"+9", 255, 9},
                                           {"", 255, 0},
                                           {"abc", 255, 0},
                                           {"12abc", 255, 0},
                                           {"1.5", 255, 0},
                                           {"-3", 255, 0},
                                           {"0x10", 255, 0},
                                           {"256", 255, 255},
                                           {"65536", 65535, 65535},
                                           {"99999999999999999999999", 65535, 65535},
                                           {"0090", 65535, 90}}) {
        EXPECT_EQ(edit_number(c.text, c.max), c.expected) << '"' << c.text << '"';
    }
}

// The path the pattern view draws: each bullet's correction added to where the last one left
// the pointer, left and up counting negative.
TEST(ShootLayout, CorrectionPathAddsSignedMoves) {
    const std::vector<Bullet> bullets = {
        {false, 2, false, 5, 90},  // right 2, down 5
        {true, 3, false, 4, 90},   // left 3, down 4
        {true, 0, true, 6, 90},    // up 6
        {false, 255, false, 255, 0},
    };
    const std::vector<PathPoint> expected = {{0, 0}, {2, 5}, {-1, 9}, {-1, 3}, {254, 258}};
    EXPECT_EQ(correction_path(bullets), expected);
    EXPECT_EQ(correction_path({}), std::vector<PathPoint>{PathPoint{}});

    // A whole document: bullets the file lacks read as zero moves.
    Json::Value doc(Json::objectValue);
    write_bullet(doc, 1, {true, 7, true, 1, 50});
    doc["Events"].resize(6 * 2 + 3);  // bullet 2 cut off after its press events
    const Pattern pattern = read_pattern(doc);
    EXPECT_EQ(pattern[1], (Bullet{true, 7, true, 1, 50}));
    EXPECT_EQ(pattern[2], Bullet{});
    const std::vector<PathPoint> path = correction_path(pattern);
    ASSERT_EQ(path.size(), size_t(kBullets + 1));
    EXPECT_EQ(path[2], (PathPoint{-7, -1}));
    EXPECT_EQ(path.back(), (PathPoint{-7, -1}));
}

TEST_F(ShootFiles, SaveKeepsOtherKeysAndEventsOfTheFile) {
    std::string events;
    for (int i = 0; i < 14; ++i) events += (i ? "," : "") + ev("up", i, i, 4);
    events += R"(,{"Action":"down","Button":1,"Delay":3,"Type":1,"Note":"mine"})";
    write_text(data("ShootData_1.Shoot"),
               R"({"Author": "me", "Version": 3, "Events": [)" + events + "]}");
    ASSERT_TRUE(shoot_.save(1, 1, {false, 4, true, 5, 60}));
    const Json::Value doc = read_json(data("ShootData_1.Shoot"));
    EXPECT_EQ(doc["Author"], "me");
    EXPECT_EQ(doc["Version"], 3);
    ASSERT_EQ(doc["Events"].size(), 15u);
    const Json::Value old = parse("[" + events + "]");
    for (int i : {0, 1, 2, 3, 4, 5, 12, 13, 14}) EXPECT_EQ(doc["Events"][i], old[i]) << i;
    EXPECT_EQ(shoot_.load(1, 1), (Bullet{false, 4, true, 5, 60}));
    // Other guns are not touched.
    EXPECT_FALSE(path_exists(data("ShootData_0.Shoot")));
}

TEST_F(ShootFiles, SaveIntoMissingOrDamagedFile) {
    ASSERT_TRUE(shoot_.save(2, 0, {true, 3, false, 7, 90}));
    EXPECT_EQ(read_json(data("ShootData_2.Shoot"))["Events"].size(), 6u);

    // Text that is not JSON is moved aside, never written over.
    write_text(data("ShootData_3.Shoot"), "{\"Events\": [ broken");
    ASSERT_TRUE(shoot_.save(3, 0, {false, 1, false, 2, 3}));
    EXPECT_EQ(damaged_copies(), 1);
    EXPECT_EQ(shoot_.load(3, 0), (Bullet{false, 1, false, 2, 3}));
}

TEST_F(ShootFiles, LoadOfMissingGunReadsZeros) {
    EXPECT_EQ(shoot_.load(0, 5), Bullet{});
    fs::create_directories(data("ShootData_1.Shoot"));  // a folder in its place
    EXPECT_EQ(shoot_.load(1, 0), Bullet{});
    EXPECT_FALSE(shoot_.save(1, 0, {true, 1, true, 1, 1}));
}

TEST_F(ShootFiles, FreshFolderGetsAllFourGunsFromTheDefaults) {
    write_defaults();
    EXPECT_EQ(shoot_.install_defaults(), 4);
    for (int g = 0; g < kGuns; ++g) {
        EXPECT_EQ(read_text(data(shoot_file_name(g))), read_text(def(shoot_file_name(g))));
        EXPECT_EQ(shoot_.load(g, 29), (Bullet{false, g, false, 30, 100}));
    }
    // A second start finds them and changes nothing.
    ASSERT_TRUE(shoot_.save(0, 0, {true, 9, true, 9, 9}));
    EXPECT_EQ(shoot_.install_defaults(), 0);
    EXPECT_EQ(shoot_.load(0, 0), (Bullet{true, 9, true, 9, 9}));
}

TEST_F(ShootFiles, InstallResetsEmptyAndInvalidFilesKeepingDamagedText) {
    write_defaults();
    write_text(data("ShootData_0.Shoot"), "");
    write_text(data("ShootData_1.Shoot"), "not json at all");
    write_text(data("ShootData_2.Shoot"), R"({"Events": 5})");
    ASSERT_TRUE(shoot_.save(3, 4, {true, 1, true, 1, 1}));
    EXPECT_EQ(shoot_.install_defaults(), 3);
    for (int g = 0; g < 3; ++g)
        EXPECT_EQ(read_text(data(shoot_file_name(g))), read_text(def(shoot_file_name(g)))) << g;
    EXPECT_EQ(shoot_.load(3, 4), (Bullet{true, 1, true, 1, 1}));
    // The two files that held something are kept aside; the empty one held nothing.
    EXPECT_EQ(damaged_copies(), 2);
}

TEST_F(ShootFiles, ResetCopiesTheDefaultUnchangedAndKeepsTheGunWithoutOne) {
    const std::string odd = "{\"Events\": [" + ev("down", 1, 10, 1) + "],\n \"Extra\": true}";
    write_text(def("ShootData_2.Shoot"), odd);
    ASSERT_TRUE(shoot_.save(2, 0, {true, 5, true, 5, 5}));
    ASSERT_TRUE(shoot_.reset(2));
    EXPECT_EQ(read_text(data("ShootData_2.Shoot")), odd);

    // No default for gun 1: its pattern stays.
    ASSERT_TRUE(shoot_.save(1, 0, {true, 5, true, 5, 5}));
    const std::string before = read_text(data("ShootData_1.Shoot"));
    EXPECT_FALSE(shoot_.reset(1));
    write_text(def("ShootData_1.Shoot"), "garbage");
    EXPECT_FALSE(shoot_.reset(1));
    EXPECT_EQ(read_text(data("ShootData_1.Shoot")), before);
}

TEST_F(ShootFiles, ImportRefusesWhatIsNoShootFileLeavingTheGunByteIdentical) {
    ASSERT_TRUE(shoot_.save(0, 0, {true, 3, false, 7, 90}));
    const std::string before = read_text(data("ShootData_0.Shoot"));
    struct Case {
        const char* name;
        std::string text;
    };
    const std::vector<Case> refused = {
        {"empty", ""},
        {"not json", "{\"Events\": ["},
        {"array", "[]"},
        {"no events", R"({"Evnts": []})"},
        {"events not an array", R"({"Events": "many"})"},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0", 10)},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        write_text(dir_.file("in.shoot"), c.text);
        EXPECT_EQ(shoot_.import_file(0, dir_.file("in.shoot")),
                  ShootData::ImportResult::kNotShootFile);
        EXPECT_EQ(read_text(data("ShootData_0.Shoot")), before);
    }
    EXPECT_EQ(shoot_.import_file(0, dir_.file("missing.shoot")),
              ShootData::ImportResult::kNotShootFile);
    EXPECT_EQ(shoot_.import_file(0, ""), ShootData::ImportResult::kNoPath);
    fs::create_directories(dir_.file("folder.shoot"));
    EXPECT_EQ(shoot_.import_file(0, dir_.file("folder.shoot")),
              ShootData::ImportResult::kNotShootFile);
    // Over the size every data file is held to.
    {
        std::ofstream big(dir_.file("big.shoot"), std::ios::binary);
        big << "{\"Events\": []," << std::string(size_t(kMaxJsonFileSize), ' ') << "}";
    }
    EXPECT_EQ(shoot_.import_file(0, dir_.file("big.shoot")), ShootData::ImportResult::kTooLarge);
    EXPECT_EQ(read_text(data("ShootData_0.Shoot")), before);
}

TEST_F(ShootFiles, ExportAndImportAreUnchangedCopies) {
    // Not in the styled layout, with an unknown key: bytes travel as they are.
    const std::string text = "{\"Events\":[" + ev("down", 1, 10, 1) + "," + ev("up", 1, 0, 1) +
                             "," + ev("down", 6, 5, 4) + "," + ev("up", 8, 95, 5) +
                             "], \"Gun\": \"mine\"}\n";
    write_text(dir_.file("in.shoot"), text);
    EXPECT_EQ(shoot_.import_file(3, dir_.file("in.shoot")), ShootData::ImportResult::kImported);
    EXPECT_EQ(read_text(data("ShootData_3.Shoot")), text);
    EXPECT_EQ(shoot_.load(3, 0), (Bullet{true, 6, false, 8, 95}));

    EXPECT_TRUE(shoot_.export_file(3, dir_.file("out.shoot")));
    EXPECT_EQ(read_text(dir_.file("out.shoot")), text);
    // Nothing to export, or nowhere to put it.
    EXPECT_FALSE(shoot_.export_file(0, dir_.file("none.shoot")));
    EXPECT_FALSE(path_exists(dir_.file("none.shoot")));
    EXPECT_FALSE(shoot_.export_file(3, ""));
    EXPECT_FALSE(shoot_.export_file(3, dir_.file("no/such/folder/out.shoot")));
}

}  // namespace
}  // namespace tellune::shoot
