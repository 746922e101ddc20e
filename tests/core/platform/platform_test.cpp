#include "core/platform/platform.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/files.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;
using namespace tellune;

TEST(TimeStamp, FormatPadsEveryField) {
    EXPECT_EQ(format_time_stamp(2020, 1, 3, 9, 5, 7, 42), "2020_01_03_09_05_07_042");
    EXPECT_EQ(format_time_stamp(2019, 5, 12, 8, 30, 5, 123), "2019_05_12_08_30_05_123");
    EXPECT_TRUE(std::regex_match(make_time_stamp(),
                                 std::regex(R"(\d{4}_\d{2}_\d{2}_\d{2}_\d{2}_\d{2}_\d{3})")));
}

TEST(Folders, UserDataFolderIsCreatedUnderXdgDataHome) {
    TempDir tmp;
    ScopedEnv xdg("XDG_DATA_HOME", tmp.path().string());
    const std::string folder = user_data_folder("mouse");
    EXPECT_EQ(folder, (tmp.path() / "DURID EZAZU ZAPHIRA - TELLUNE" / "mouse").string() + "/");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(application_data_folder(),
              (tmp.path() / "DURID EZAZU ZAPHIRA - TELLUNE").string() + "/");
}

TEST(Folders, FallsBackToHomeWhenXdgUnsetOrRelative) {
    TempDir tmp;
    ScopedEnv home("HOME", tmp.path().string());
    ScopedEnv xdg("XDG_DATA_HOME", "relative/not/allowed");
    EXPECT_EQ(user_data_folder("HD"),
              (tmp.path() / ".local/share/DURID EZAZU ZAPHIRA - TELLUNE/HD").string() + "/");
}

TEST(Folders, ProgramDataFolderHonoursOverrideAndEndsInSlash) {
    ScopedEnv data("TELLUNE_DATA_DIR", "/opt/x");
    EXPECT_EQ(program_data_folder(), "/opt/x/");
    EXPECT_EQ(default_data_folder(), "/opt/x/DefaultData/");
}

TEST(DebugLine, SinkReceivesLinesFromManyThreadsWhole) {
    std::vector<std::string> lines;
    set_debug_sink([&](std::string_view s) { lines.emplace_back(s); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i) debug_printf("thread %d line %03d\n", t, i);
        });
    for (auto& th : threads) th.join();
    set_debug_sink(nullptr);
    ASSERT_EQ(lines.size(), 400u);
    for (const auto& l : lines)
        EXPECT_TRUE(std::regex_match(l, std::regex(R"(thread \d line \d{3})"))) << l;
}

TEST(DebugLine, LongFormattedLineIsCutNotOverflowed) {
    std::string got;
    set_debug_sink([&](std::string_view s) { got = s; });
    const std::string big(5000, 'x');
    debug_printf("%s", big.c_str());
    set_debug_sink(nullptr);
    EXPECT_EQ(got.size(), 1023u);
}

TEST(AtomicWrite, ReplacesContentAndLeavesNoTemporary) {
    TempDir tmp;
    const std::string path = (tmp.path() / "a.json").string();
    ASSERT_TRUE(write_file_atomic(path, "first"));
    ASSERT_TRUE(write_file_atomic(path, "second, longer"));
    EXPECT_EQ(read_whole_file(path), "second, longer");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator{}), 1);
}

TEST(AtomicWrite, FailedWriteKeepsOldFileWhole) {
    TempDir tmp;
    const std::string path = (tmp.path() / "profile.Json").string();
    ASSERT_TRUE(write_file_atomic(path, "old content"));
    // A file size limit makes write() fail part-way, like a full disk does.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = write_file_atomic(path, std::string(4096, 'n'));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(read_whole_file(path), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator{}), 1);
}

TEST(AtomicWrite, MissingFolderFailsWithoutCreatingAnything) {
    TempDir tmp;
    EXPECT_FALSE(write_file_atomic((tmp.path() / "no/such/file").string(), "x"));
    EXPECT_FALSE(write_file_atomic("", "x"));
    EXPECT_EQ(read_whole_file((tmp.path() / "nothing").string()), "");
}

namespace {

std::vector<std::string> files_in(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> seen_at_replace;
void record_folder(const char* step, const std::string& path) {
    if (std::string(step) == "replace") seen_at_replace = files_in(fs::path(path).parent_path());
}

}  // namespace

TEST(AtomicWrite, TemporariesAreHiddenAndRecognisedAsOurs) {
    TempDir tmp;
    const std::string path = (tmp.path() / "ProfileList.ini").string();
    seen_at_replace.clear();
    set_file_step_hook(record_folder);
    const bool ok = write_file_atomic(path, "x");
    set_file_step_hook(nullptr);
    ASSERT_TRUE(ok);
    // Just before the rename the temporary sits beside the file, named as ours.
    ASSERT_EQ(seen_at_replace.size(), 1u);
    const std::string temporary = seen_at_replace[0];
    EXPECT_EQ(temporary.rfind(".ProfileList.ini.tellune-tmp-", 0), 0u) << temporary;
    EXPECT_TRUE(is_temporary_file_name(temporary));

    for (const char* name : {".a.Json.tellune-tmp-AbC123", ".x.tellune-tmp-000000"})
        EXPECT_TRUE(is_temporary_file_name(name)) << name;
    for (const char* name : {"a.Json", ".a.Json.tellune-tmp-abc12", "a.Json.tellune-tmp-abcdef",
                             ".a.Json.tellune-tmp-abc12$", ".a.Json.tellune-tmp-abc1234",
                             ".tellune-tmp-abcdef", ".a.Json.XXXXXX", ""})
        EXPECT_FALSE(is_temporary_file_name(name)) << name;
}

TEST(AtomicWrite, StaleTemporariesAreRemovedAndNothingElse) {
    TempDir tmp;
    const fs::path& d = tmp.path();
    auto make = [&](const std::string& name, const std::string& text) {
        std::ofstream(d / name) << text;
    };
    make(".a.Json.tellune-tmp-Ab12Cd", "half");
    make(".ProfileList.ini.tellune-tmp-zzzzzz", "");
    make("a.Json", "{}");
    make("a.Json.tellune-tmp-Ab12Cd", "not hidden: a user's");
    make(".b.Json.tellune-tmp-Ab12C", "five characters");
    fs::create_directory(d / ".c.Json.tellune-tmp-folder");
    make("target", "kept");
    fs::create_symlink(d / "target", d / ".l.Json.tellune-tmp-linkxx");
    EXPECT_EQ(remove_stale_temporaries(d.string()), 2);
    EXPECT_EQ(files_in(d),
              (std::vector<std::string>{".b.Json.tellune-tmp-Ab12C", ".c.Json.tellune-tmp-folder",
                                        ".l.Json.tellune-tmp-linkxx", "a.Json",
                                        "a.Json.tellune-tmp-Ab12Cd", "target"}));
    EXPECT_EQ(read_whole_file((d / "target").string()), "kept");
    EXPECT_EQ(remove_stale_temporaries((d / "missing").string()), 0);
}

TEST(AtomicWrite, DamagedFilesAndLinksAreMovedAsideWhole) {
    TempDir tmp;
    const fs::path& d = tmp.path();
    const std::string path = (d / "ProfileList.ini").string();
    std::ofstream(path) << "garbage";
    const std::string first = move_aside_damaged(path);
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(std::regex_match(fs::path(first).filename().string(),
                                 std::regex(R"(ProfileList\.ini\.damaged-\d{4}(_\d{2}){5}_\d{3})")))
        << first;
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(read_whole_file(first), "garbage");

    // Within the same millisecond the second gets its own name. A link moves itself: its
    // target is neither moved nor changed.
    std::ofstream((d / "elsewhere").string()) << "not ours";
    fs::create_symlink(d / "elsewhere", path);
    const std::string second = move_aside_damaged(path);
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, first);
    EXPECT_TRUE(fs::is_symlink(second));
    EXPECT_EQ(read_whole_file((d / "elsewhere").string()), "not ours");
    std::ofstream(path) << "third";
    const std::string base = path + ".damaged-" + make_time_stamp();
    std::ofstream(base) << "taken";
    std::ofstream(base + "_1") << "taken";
    const std::string third = move_aside_damaged(path);
    EXPECT_EQ(read_whole_file(third), "third");
    EXPECT_EQ(read_whole_file(base), "taken");

    EXPECT_EQ(move_aside_damaged((d / "missing").string()), "");
}
