// Nothing the user made is lost and nothing is left behind: damaged lists are kept aside and
// rebuilt from the profile files, long lists load in linear time, and a kill at any moment of
// any change leaves the old state or the new one once the program starts again.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "core/platform/files.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "core/profile/profile_list.h"
#include "profile_test_util.h"

namespace tellune {
namespace {

namespace fs = std::filesystem;
using test::parse;
using test::write_text;

constexpr char kDefaultProfile[] = R"({"profilename": "Default", "profileUUID": "default",
    "Device": [{"LightInfo": {"Light": 3}, "DPIStages": {"StageActive": 0, "StageDPIs": []}}]})";

// Every file of a folder by name with its bytes. Time stamps in the names of files kept
// aside differ from run to run and are blanked.
using Snapshot = std::map<std::string, std::string>;

class ProfileRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = dir_.file("mouse") + "/";
        fs::create_directories(folder_);
        default_ = dir_.file("DefaultData/mouse.Json");
        write_text(default_, kDefaultProfile);
    }
    std::string file(const std::string& name) const { return folder_ + name; }
    // A list over the folder whose UUIDs come from a counter, so that two runs agree.
    void prepare(ProfileList& list) const {
        list.set_kind(kDeviceMouse);
        list.set_paths(folder_, default_);
        list.set_stamp_source(
            [n = 100]() mutable { return "2020_01_03_09_05_07_" + std::to_string(++n); });
    }
    void write_profile_file(const std::string& uuid, const std::string& name, int light) {
        Json::Value doc = parse(kDefaultProfile);
        doc["profilename"] = name;
        doc["profileUUID"] = uuid;
        doc["Device"][0]["LightInfo"]["Light"] = light;
        ASSERT_TRUE(write_json_file(file(uuid + ".Json"), doc));
    }
    void write_list(const std::vector<std::pair<std::string, std::string>>& entries, int select,
                    bool with_files = true) {
        Json::Value doc;
        doc["profileselect"] = select;
        doc["profilelist"] = Json::Value(Json::arrayValue);
        for (const auto& [name, uuid] : entries) {
            Json::Value e;
            e["profilename"] = name;
            e["profileUUID"] = uuid;
            e["profileislink"] = 0;
            e["profilelinkmame"] = "";
            doc["profilelist"].append(e);
            if (with_files) write_profile_file(uuid, name, int(doc["profilelist"].size()));
        }
        ASSERT_TRUE(write_json_file(file("ProfileList.ini"), doc));
    }
    std::vector<std::string> names(const ProfileList& list) const {
        std::vector<std::string> out;
        for (const ProfileEntry& e : list.entries()) out.push_back(e.name);
        return out;
    }
    Snapshot snapshot() const {
        static const std::regex stamp(R"(\.damaged-[0-9_]+$)");
        Snapshot out;
        for (const auto& e : fs::directory_iterator(folder_)) {
            const std::string name =
                std::regex_replace(e.path().filename().string(), stamp, ".damaged-*");
            out[name] = fs::is_symlink(e.symlink_status())
                            ? "link to " + fs::read_symlink(e).string()
                            : read_whole_file(e.path().string());
        }
        return out;
    }
    // What the program does at start: stale temporaries go, the list puts the folder right,
    // the mouse page loads the selected profile.
    void start_again() const {
        remove_stale_temporaries(folder_);
        ProfileList list;
        prepare(list);
        ASSERT_TRUE(list.init());
        CMouseProfiledata data;
        data.set_default_profile_path(default_);
        data.set_profile_path(list.selected_profile_file());
        data.set_profile_name(list.selected_name());
        data.load_profile(list.selected_profile_file());
    }

    TempDir dir_;
    std::string folder_, default_;
};

// --- damaged and missing lists ---

TEST_F(ProfileRecoveryTest, AnUnreadableListIsKeptAsideAndRebuiltFromTheProfiles) {
    const std::string outside = dir_.file("outside.txt");
    std::string styled;
    {
        write_list({{"x", "ux"}}, 0, false);
        styled = read_whole_file(file("ProfileList.ini"));
    }
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
    };
    const std::vector<Case> cases = {
        {"garbage", [](const std::string& p) { write_text(p, std::string("\0\x01garbage{", 10)); }},
        {"cut short",
         [&](const std::string& p) { write_text(p, styled.substr(0, styled.size() / 2)); }},
        {"too deep",
         [](const std::string& p) {
             write_text(p, std::string(100000, '[') + std::string(100000, ']'));
         }},
        {"over the cap",
         [](const std::string& p) {
             write_text(p, R"({"profilelist": [], "pad": ")");
             fs::resize_file(p, 5 * 1000 * 1000);
         }},
        {"a link to no list",
         [&](const std::string& p) {
             write_text(outside, "the user's notes");
             fs::create_symlink(outside, p);
         }},
        {"no list inside", [](const std::string& p) { write_text(p, R"({"profilelist": 5})"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        write_profile_file("2021_01_01_00_00_00_002", "beta", 2);
        write_profile_file("2021_01_01_00_00_00_001", "Alpha", 1);
        write_profile_file("2021_01_01_00_00_00_003", "ALPHA", 3);
        write_profile_file("2021_01_01_00_00_00_004", "  ", 4);
        // Not ours to list: a document naming another UUID, and a file that does not parse.
        write_text(file("notes.Json"), R"({"profilename": "n", "profileUUID": "other"})");
        write_text(file("broken.Json"), "{");
        c.make(file("ProfileList.ini"));
        const Snapshot before = snapshot();

        ProfileList list;
        prepare(list);
        ASSERT_TRUE(list.init());
        EXPECT_EQ(names(list), (std::vector<std::string>{"Alpha", "beta", "ALPHA(1)", "profile1"}));
        EXPECT_EQ(list.current_index(), 0);
        EXPECT_EQ(list.selected_uuid(), "2021_01_01_00_00_00_001");
        // The list now on disk says the same, as a file of its own.
        const Json::Value doc = read_json(file("ProfileList.ini"));
        ASSERT_EQ(doc["profilelist"].size(), 4u);
        EXPECT_EQ(doc["profilelist"][2]["profilename"].asString(), "ALPHA(1)");
        EXPECT_EQ(doc["profilelist"][3]["profileUUID"].asString(), "2021_01_01_00_00_00_004");
        EXPECT_FALSE(fs::is_symlink(file("ProfileList.ini")));
        // The unreadable list is aside, whole; everything else is as it was.
        Snapshot after = snapshot();
        ASSERT_EQ(after.count("ProfileList.ini.damaged-*"), 1u);
        EXPECT_EQ(after["ProfileList.ini.damaged-*"], before.at("ProfileList.ini"));
        after.erase("ProfileList.ini.damaged-*");
        after.erase("ProfileList.ini");
        Snapshot rest = before;
        rest.erase("ProfileList.ini");
        EXPECT_EQ(after, rest);
        if (fs::exists(outside)) {
            EXPECT_EQ(read_whole_file(outside), "the user's notes");
        }

        // A second start finds a good list and changes nothing.
        const Snapshot settled = snapshot();
        ProfileList again;
        prepare(again);
        ASSERT_TRUE(again.init());
        EXPECT_EQ(snapshot(), settled);
        fs::remove(outside);
    }
}

TEST_F(ProfileRecoveryTest, AMissingOrEmptyListIsRebuiltAndProfile1ComesOnlyWithoutProfiles) {
    write_profile_file("2021_01_01_00_00_00_001", "Only", 1);
    for (const char* list_text :
         std::vector<const char*>{"", R"({"profilelist": [], "profileselect": 0})", nullptr}) {
        SCOPED_TRACE(list_text ? list_text : "(no file)");
        fs::remove(file("ProfileList.ini"));
        if (list_text) write_text(file("ProfileList.ini"), list_text);
        ProfileList list;
        prepare(list);
        ASSERT_TRUE(list.init());
        EXPECT_EQ(names(list), std::vector<std::string>{"Only"});
        // Nothing that held a list is lost, so nothing is kept aside.
        EXPECT_EQ(snapshot().size(), 2u);
    }
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    ProfileList list;
    prepare(list);
    ASSERT_TRUE(list.init());
    EXPECT_EQ(names(list), std::vector<std::string>{"profile1"});
}

// A folder path so long that the list's temporary still fits the system's path limit, but
// the name it would be kept aside under does not: the move fails, the write would not.
TEST_F(ProfileRecoveryTest, ListsThatCannotBeMovedAsideAreNeverOverwritten) {
    std::string deep = dir_.path().string();
    const size_t length = 4095 - 40;  // temporary: +36, kept aside: +48
    while (deep.size() < length)
        deep += "/" + std::string(std::min<size_t>(200, length - deep.size() - 1), 'd');
    ASSERT_EQ(deep.size(), length);
    fs::create_directories(deep);
    const std::string path = deep + "/ProfileList.ini";
    ASSERT_TRUE(write_file_atomic(path, "garbage"));
    ProfileList list;
    list.set_paths(deep, default_);
    EXPECT_FALSE(list.init());
    EXPECT_EQ(read_whole_file(path), "garbage");
    EXPECT_FALSE(list.initialised());
    // Nothing was left in its place either.
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(deep)) files.push_back(e.path().filename());
    EXPECT_EQ(files, std::vector<std::string>{"ProfileList.ini"});
}

// --- long lists ---

TEST_F(ProfileRecoveryTest, LongListsLoadInLinearTimeAndShowTheirFirstThousand) {
    // 2000 entries without a name (about 51 KB) froze the start for half a minute.
    {
        std::string text = R"({"profileselect": 1, "profilelist": [)";
        for (int i = 0; i < 2000; ++i)
            text +=
                (i ? "," : "") + std::string(R"({"profileUUID": "u)") + std::to_string(i) + "\"}";
        write_text(file("ProfileList.ini"), text + "]}");
    }
    std::vector<std::string> lines;
    set_debug_sink([&](std::string_view l) { lines.emplace_back(l); });
    ProfileList list;
    prepare(list);
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = list.init();
    const auto took = std::chrono::steady_clock::now() - t0;
    set_debug_sink(nullptr);
    ASSERT_TRUE(ok);
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_EQ(list.size(), ProfileList::kShownLimit);
    EXPECT_EQ(list.total_size(), 2000);
    EXPECT_EQ(list.entries()[999].name, "profile1000");
    EXPECT_EQ(list.current_index(), 1);
    bool told = false;
    for (const std::string& l : lines)
        told = told || l.find("1000 profiles past the first 1000") != std::string::npos;
    EXPECT_TRUE(told);
    // Every entry stays in the file, the hidden ones after the shown ones, all named apart.
    const Json::Value doc = read_json(file("ProfileList.ini"));
    ASSERT_EQ(doc["profilelist"].size(), 2000u);
    EXPECT_EQ(doc["profilelist"][1999]["profilename"].asString(), "profile2000");
    EXPECT_EQ(doc["profilelist"][1999]["profileUUID"].asString(), "u1999");

    // Names stay unique against the hidden entries too.
    EXPECT_EQ(list.rename("PROFILE1500"), ProfileList::kRenameNameUsed);
    EXPECT_EQ(list.rename("Mine"), ProfileList::kRenameDone);
    // Nothing is added that could not be seen; a removal brings the next one into view.
    EXPECT_EQ(list.add(), -1);
    EXPECT_EQ(list.copy(), -1);
    write_text(dir_.file("in.json"), R"({"profilename": "in", "profileUUID": "x"})");
    EXPECT_EQ(list.import_profile(dir_.file("in.json")), -1);
    EXPECT_EQ(list.remove(), 0);
    EXPECT_EQ(list.total_size(), 1999);
    EXPECT_EQ(list.entries()[999].name, "profile1001");
    EXPECT_EQ(read_json(file("ProfileList.ini"))["profilelist"].size(), 1999u);

    // 40 000 named entries took 21.6 s.
    {
        std::string text = R"({"profileselect": 0, "profilelist": [)";
        for (int i = 0; i < 40000; ++i)
            text += (i ? "," : "") + std::string(R"({"profilename": "P)") + std::to_string(i) +
                    R"(", "profileUUID": "u)" + std::to_string(i) + "\"}";
        write_text(file("ProfileList.ini"), text + "]}");
    }
    ProfileList big;
    prepare(big);
    const auto t1 = std::chrono::steady_clock::now();
    ASSERT_TRUE(big.init());
    EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::seconds(10));
    EXPECT_EQ(big.size(), ProfileList::kShownLimit);
    EXPECT_EQ(big.total_size(), 40000);
}

// --- kills ---

constexpr int kKilled = 71;  // exit code of a child ended in the file step hook
constexpr int kDone = 72;    // exit code of a child whose change ran to its end
int kill_at = 0;
int steps_taken = 0;

void die_at_step(const char*, const std::string&) {
    if (++steps_taken == kill_at) ::_exit(kKilled);
}

// Runs `change` in a child process that ends itself just before its `step`-th change on
// disk (0: never). Returns the child's exit code.
int run_in_child(int step, const std::function<void()>& change) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        kill_at = step;
        steps_taken = 0;
        set_file_step_hook(die_at_step);
        change();
        ::_exit(kDone);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ProfileRecoveryTest, AKillAtEveryStepOfEveryChangeLeavesTheOldOrTheNewState) {
    const std::string import_file = dir_.file("import.json");
    write_text(import_file, R"({"profilename": "b", "profileUUID": "../x",
                                "Device": [{"LightInfo": {"Light": 9}}]})");
    struct Change {
        const char* what;
        std::function<void()> set_up;  // the folder before the change
        std::function<void(ProfileList&)> run;
    };
    const auto three = [this] { write_list({{"A", "ua"}, {"B", "ub"}, {"C", "uc"}}, 1); };
    const auto mouse_load = [this](const std::string& uuid) {
        CMouseProfiledata data;
        data.set_default_profile_path(default_);
        data.set_profile_path(file(uuid + ".Json"));
        data.set_profile_name("B");
        data.load_profile(file(uuid + ".Json"));
        data.write_light_settings(LightSettings::make(1, 2, 3, 0, 0, 4, 5, 6, 0));
        data.save_profile();
    };
    const std::vector<Change> changes = {
        {"add", three, [](ProfileList& l) { l.add(); }},
        {"copy", three, [](ProfileList& l) { l.copy(); }},
        {"import", three, [&](ProfileList& l) { l.import_profile(import_file); }},
        {"delete", three, [](ProfileList& l) { l.remove(); }},
        {"rename", three, [](ProfileList& l) { l.rename("Bee"); }},
        {"reset", three, [](ProfileList& l) { l.reset(); }},
        {"select", three, [](ProfileList& l) { l.select(2); }},
        {"save a profile", three, [&](ProfileList&) { mouse_load("ub"); }},
        {"first start", [] {}, [](ProfileList&) {}},
        {"start over a damaged list",
         [&] {
             three();
             write_text(file("ProfileList.ini"), "{\"profilelist\": [");
         },
         [](ProfileList&) {}},
        {"load a damaged profile",
         [&] {
             three();
             write_text(file("ub.Json"), "not a profile");
         },
         [&](ProfileList&) { mouse_load("ub"); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        const auto fresh = [&] {
            fs::remove_all(folder_);
            fs::create_directories(folder_);
            change.set_up();
        };
        // The change runs in the child after the list was read, as it does at any moment
        // of the running program; a start with damage to put right is the change itself.
        const auto in_child = [&] {
            ProfileList list;
            prepare(list);
            list.init();
            change.run(list);
        };
        fresh();
        start_again();
        const Snapshot old_state = snapshot();
        fresh();
        ASSERT_EQ(run_in_child(0, in_child), kDone);
        const Snapshot done = snapshot();
        start_again();
        const Snapshot new_state = snapshot();

        int intermediate = 0;
        int step = 1;
        for (;; ++step) {
            ASSERT_LT(step, 40) << "the change never ran to its end";
            fresh();
            const Snapshot set_up = snapshot();
            const int code = run_in_child(step, in_child);
            ASSERT_TRUE(code == kKilled || code == kDone) << code;
            if (code == kDone) break;
            const Snapshot left = snapshot();
            if (left != done && left != old_state) ++intermediate;
            // Nothing written is torn: every list or profile file that changed still parses.
            for (const auto& [name, bytes] : left) {
                const bool ours = name == "ProfileList.ini" || name.ends_with(".Json");
                const auto was = set_up.find(name);
                if (ours && (was == set_up.end() || was->second != bytes)) {
                    EXPECT_FALSE(parse_json(bytes).isNull()) << name << " at step " << step;
                }
            }
            start_again();
            const Snapshot after = snapshot();
            EXPECT_TRUE(after == old_state || after == new_state)
                << "killed before step " << step << " of " << change.what;
        }
        // Changes of more than one step went through states that needed putting right.
        RecordProperty(std::string("steps_") + change.what, step - 1);
        if (step > 2) {
            EXPECT_GT(intermediate, 0);
        }
    }
}

// Real kills, at random moments, of a process that keeps changing profiles.
TEST_F(ProfileRecoveryTest, KilledProcessesLoseNothingAndLeaveNothingBehind) {
    write_list({{"A", "ua"}, {"B", "ub"}, {"C", "uc"}}, 0);
    std::mt19937 random(20);
    int temporaries = 0, markers = 0, orphans = 0;  // what the kills left for the start
    for (int round = 0; round < 100; ++round) {
        // The child says when it starts changing things, so that the kill lands among the
        // changes however slowly a process starts here (sanitizers).
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            ProfileList list;
            prepare(list);
            list.set_stamp_source(nullptr);
            if (!list.init()) ::_exit(1);
            if (::write(ready[1], "r", 1) != 1) ::_exit(1);
            CMouseProfiledata data;
            data.set_default_profile_path(default_);
            // Each round starts with another change, so that kills land in every kind.
            for (int i = round;; ++i) {
                switch (i % 7) {
                    case 0:
                        if (list.total_size() < 20) list.add();
                        break;
                    case 1:
                        if (list.total_size() < 20) list.copy();
                        break;
                    case 2:
                        list.rename("r" + std::to_string(i));
                        break;
                    case 3:
                        if (list.total_size() > 3) list.remove();
                        break;
                    case 4:
                        list.reset();
                        break;
                    case 5:
                        list.select(i % list.size());
                        break;
                    default:
                        data.set_profile_path(list.selected_profile_file());
                        data.load_profile(list.selected_profile_file());
                        data.write_light_settings(
                            LightSettings::make(0, uint8_t(i), 0, 0, 0, 0, 0, 0, 0));
                        data.save_profile();
                        break;
                }
            }
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the child did not start";
        ::close(ready[0]);
        ::usleep(useconds_t(std::uniform_int_distribution<int>(0, 15000)(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself";

        // What the kill left: whole files only, whatever else lies around.
        const Json::Value left = read_json(file("ProfileList.ini"));
        ASSERT_TRUE(left.isObject() && left["profilelist"].isArray()) << "round " << round;
        std::set<std::string> listed;
        for (const Json::Value& e : left["profilelist"]) listed.insert(e["profileUUID"].asString());
        for (const auto& e : fs::directory_iterator(folder_)) {
            const std::string name = e.path().filename().string();
            if (is_temporary_file_name(name)) {
                ++temporaries;
            } else if (name.ends_with(kDeletingSuffix) || name.ends_with(kRenamingSuffix)) {
                ++markers;
            } else if (name.ends_with(".Json")) {
                EXPECT_TRUE(read_json(e.path().string()).isObject()) << name;
                if (!listed.count(name.substr(0, name.size() - 5))) ++orphans;
            } else {
                EXPECT_EQ(name, "ProfileList.ini");
            }
        }

        start_again();
        // Put right: the list names exactly the profile files there are, under names that
        // differ, and nothing else is in the folder.
        ProfileList list;
        prepare(list);
        ASSERT_TRUE(list.init());
        std::set<std::string> files, uuids;
        std::set<std::u32string> keys;
        for (const auto& e : fs::directory_iterator(folder_)) {
            const std::string name = e.path().filename().string();
            if (name == "ProfileList.ini") continue;
            ASSERT_TRUE(name.ends_with(".Json")) << name << " left after round " << round;
            files.insert(name.substr(0, name.size() - 5));
        }
        for (const ProfileEntry& e : list.entries()) {
            uuids.insert(e.uuid);
            EXPECT_TRUE(keys.insert(profile_name_key(e.name)).second) << e.name;
        }
        ASSERT_EQ(files, uuids) << "round " << round;
    }
    RecordProperty("temporaries_left_by_kills", temporaries);
    RecordProperty("deletions_or_renames_cut_short", markers);
    RecordProperty("adds_cut_short", orphans);
    // The kills did land in the middle of changes.
    EXPECT_GT(temporaries + markers + orphans, 0);
}

TEST(StaleTemporaries, EveryDataFolderIsClearedAtStart) {
    TempDir tmp;
    ScopedEnv xdg("XDG_DATA_HOME", tmp.path().string());
    const std::string app = application_data_folder();
    std::vector<std::string> kept;
    int planted = 0;
    for (const char* folder : {"", "mouse", "keyboard", "MousePad", "HD"}) {
        const std::string dir = app + folder + (folder[0] ? "/" : "");
        write_text(dir + ".ProfileList.ini.tellune-tmp-a1B2c3", "{\"profilelist\": [");
        write_text(dir + ".2020_01_01_00_00_00_000.Json.tellune-tmp-ZZZZZZ", "");
        planted += 2;
        write_text(dir + "ProfileList.ini", "{}");
        kept.push_back(dir + "ProfileList.ini");
        write_text(dir + "x.Json.damaged-2020_01_01_00_00_00_000", "kept aside");
        kept.push_back(dir + "x.Json.damaged-2020_01_01_00_00_00_000");
    }
    EXPECT_EQ(remove_stale_data_temporaries(), planted);
    for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    int left = 0;
    for (const auto& e : fs::recursive_directory_iterator(app))
        left += is_temporary_file_name(e.path().filename().string()) ? 1 : 0;
    EXPECT_EQ(left, 0);
    EXPECT_EQ(remove_stale_data_temporaries(), 0);
}

}  // namespace
}  // namespace tellune
