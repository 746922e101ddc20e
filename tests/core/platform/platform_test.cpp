#include "core/platform/platform.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
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
    for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, std::regex(R"(thread \d line \d{3})"))) << l;
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
