// The report log: memory bound, line format, the file, and lines of concurrent devices.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>

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
