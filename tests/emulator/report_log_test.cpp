// The report log: memory bound, line format, the file, and lines of concurrent devices.

#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <thread>

#include "core/hid/command_channel.h"
#include "core/platform/files.h"
#include "emulator_test_util.h"
#include "test_support/temp_dir.h"

namespace tellune::emulator {
namespace {

using test::hex;
using test::Rig;

TEST(ReportLog, LineFormat) {
    const uint8_t bytes[] = {0x04, 0x3f, 0x00, 0xAB};
    EXPECT_EQ(format_log_line(0x0C45, 0x7643, 1, 4, Direction::received, bytes),
              "0c45:7643:1:4 > 04 3f 00 ab");
    EXPECT_EQ(format_log_line(0, 0, 3, 0, Direction::sent, bytes), "0000:0000:3:0 < 04 3f 00 ab");
    EXPECT_EQ(format_log_line(0x320F, 0x1004, 0x1A, 0x10, Direction::sent, {}),
              "320f:1004:1a:10 <");
}

TEST(ReportLog, MemoryKeepsTheNewestEntries) {
    ReportLog log(1, 2, 3, 3);
    for (uint8_t i = 0; i < 5; ++i) {
        const uint8_t b[] = {i};
        log.record(4, i % 2 ? Direction::sent : Direction::received, b);
    }
    const auto entries = log.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].bytes, std::vector<uint8_t>{2});
    EXPECT_EQ(entries[2].bytes, std::vector<uint8_t>{4});
    EXPECT_EQ(entries[1].direction, Direction::sent);
}

TEST(ReportLog, FileGetsOneLinePerReport) {
    TempDir tmp;
    const std::string file = tmp.file("reports.log");
    ScopedEnv env("TELLUNE_EMULATOR_LOG", file);
    {
        Rig mouse(make_mouse());
        mouse.exchange(hex("04 01 00 01"));
        mouse.device->inject_usage(0x0401);
        Rig headset(make_headset());
        headset.connection->send_output_report(hex("ff 22 aa 00 f7", 17));
    }
    std::string zeros;
    for (int i = 0; i < 60; ++i) zeros += " 00";
    const std::string expected =
        "0c45:7643:1:4 > 04 01 00 01" + zeros + "\n" + "0c45:7643:1:4 < 04 01 00 01" + zeros +
        "\n" + "0c45:7643:1:3 < 03 01 04\n" +
        "0000:0000:3:0 > ff 22 aa 00 f7 00 00 00 00 00 00 00 00 00 00 00 00\n";
    EXPECT_EQ(read_whole_file(file), expected);
}

double monotonic_seconds() {
    struct timespec t {};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A log line with the time column: the time and the rest of the line.
struct TimedLine {
    double seconds = 0;
    std::string rest;
};

std::vector<TimedLine> timed_lines(const std::string& text) {
    std::vector<TimedLine> lines;
    std::istringstream in(text);
    const std::regex shape(R"(([0-9]+\.[0-9]{6}) (.*))");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(line, m, shape)) << line;
        if (m.empty()) continue;
        lines.push_back({std::strtod(m[1].str().c_str(), nullptr), m[2].str()});
    }
    return lines;
}

TEST(ReportLog, TimeColumn) {
    timespec t{};
    t.tv_sec = 12;
    t.tv_nsec = 3004005;
    EXPECT_EQ(format_log_time(t), "12.003004 ");
    t.tv_sec = 987654;
    t.tv_nsec = 999999999;
    EXPECT_EQ(format_log_time(t), "987654.999999 ");

    TempDir tmp;
    const std::string plain = tmp.file("plain.log");
    const std::string timed = tmp.file("timed.log");
    {
        // Only "1" switches it on; the default format stays as it was.
        ScopedEnv env("TELLUNE_EMULATOR_LOG", plain);
        ScopedEnv times("TELLUNE_EMULATOR_LOG_TIMES", "0");
        Rig mouse(make_mouse());
        mouse.exchange(hex("04 01 00 01"));
    }
    const double before = monotonic_seconds();
    {
        ScopedEnv env("TELLUNE_EMULATOR_LOG", timed);
        ScopedEnv times("TELLUNE_EMULATOR_LOG_TIMES", "1");
        Rig mouse(make_mouse());
        mouse.exchange(hex("04 01 00 01"));
    }
    const double after = monotonic_seconds();
    const std::vector<TimedLine> lines = timed_lines(read_whole_file(timed));
    ASSERT_EQ(lines.size(), 2u);
    // The same lines as without times, each after its time stamp on the monotonic clock.
    EXPECT_EQ(lines[0].rest + "\n" + lines[1].rest + "\n", read_whole_file(plain));
    for (const TimedLine& line : lines) {
        EXPECT_GE(line.seconds, before - 1e-6);
        EXPECT_LE(line.seconds, after + 1e-6);
    }
    EXPECT_LE(lines[0].seconds, lines[1].seconds);
}

TEST(ReportLog, TimesShowThePauseBeforeTheEndCommand) {
    TempDir tmp;
    const std::string file = tmp.file("reports.log");
    ScopedEnv env("TELLUNE_EMULATOR_LOG", file);
    ScopedEnv times("TELLUNE_EMULATOR_LOG_TIMES", "1");
    {
        EmulatedBackend backend;
        auto mouse = make_mouse();
        backend.plug(mouse);
        hid::CCommandChannel channel(backend);
        ASSERT_TRUE(channel.Connect(interface_paths(*mouse)[3]));
        const std::vector<uint8_t> block(95, 0);
        ASSERT_EQ(channel.WriteAt(block, 0), 1);
        ASSERT_EQ(channel.SimpleCommand2(), 1);
    }
    const std::vector<TimedLine> lines = timed_lines(read_whole_file(file));
    // 0x06 in two chunks, each answered, then 0x02 and its reply.
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].rest.substr(0, 27), "0c45:7643:1:4 < 04 65 00 06");
    EXPECT_EQ(lines[4].rest.substr(0, 27), "0c45:7643:1:4 > 04 02 00 02");
    EXPECT_GE(lines[4].seconds - lines[3].seconds, 0.010 - 1e-6);
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_LE(lines[i - 1].seconds, lines[i].seconds);
}

TEST(ReportLog, LinesOfConcurrentDevicesNeverInterleave) {
    TempDir tmp;
    const std::string file = tmp.file("reports.log");
    ScopedEnv env("TELLUNE_EMULATOR_LOG", file);
    constexpr int kExchanges = 150;
    {
        Rig a(make_mouse());
        Rig b(make_keyboard());
        std::thread ta([&] {
            for (int i = 0; i < kExchanges; ++i) a.exchange(hex("04 01 00 01"));
        });
        std::thread tb([&] {
            for (int i = 0; i < kExchanges; ++i) b.exchange(hex("04 02 00 02"));
        });
        ta.join();
        tb.join();
    }
    std::istringstream in(read_whole_file(file));
    const std::regex line_shape(R"(((0c45:7643)|(0000:0000)):1:4 [<>]( [0-9a-f]{2}){64})");
    int lines = 0;
    for (std::string line; std::getline(in, line); ++lines)
        ASSERT_TRUE(std::regex_match(line, line_shape)) << line;
    EXPECT_EQ(lines, 4 * kExchanges);
}

}  // namespace
}  // namespace tellune::emulator
