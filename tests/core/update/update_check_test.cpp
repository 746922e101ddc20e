// The update check without a network: keys, bodies, reply reading, the lines and the list's
// overall status, file names of downloads and "updatetime.config".

#include "core/update/update_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/update/update_list.h"
#include "test_support/temp_dir.h"

namespace tellune::update {
namespace {

UpdateEntry mouse_entry(int version) {
    UpdateEntry e;
    e.hex_version = 1;
    e.product = 0x7643;
    e.current_version = version;
    e.vendor = "Tellune";
    e.model = "M7643";
    e.display_name = "Mouse";
    e.name = "Gaming mouse";
    e.spare = "";
    return e;
}

TEST(UpdateKeys, ApplicationKeyAndBody) {
    EXPECT_EQ(make_application_key(mouse_entry(0)), "NULL");
    EXPECT_EQ(make_application_key(mouse_entry(0x0103)), "Tellune_30275_M7643_Mouse_259");
    // Hex versions are sent in hex without leading zeros, decimal ones in decimal.
    EXPECT_EQ(update_body("K", 0x0103, true), "app_key=K&version=103");
    EXPECT_EQ(update_body("K", 0xABCD, true), "app_key=K&version=abcd");
    EXPECT_EQ(update_body("NULL", 105, false), "app_key=NULL&version=105");
    EXPECT_EQ(update_url("https://h/api/"), "https://h/api/updates");
    EXPECT_EQ(update_url("https://h/api"), "https://h/api/updates");
}

TEST(UpdateKeys, VersionNumbers) {
    EXPECT_EQ(version_number("1.0.5"), 105);
    EXPECT_EQ(version_number("2.10.1"), 2101);
    EXPECT_EQ(version_number("1.0.5-rc1"), 105);
    EXPECT_EQ(version_number(""), 0);
    EXPECT_EQ(version_number("x1"), 0);
    EXPECT_EQ(version_number("99999999999"), 2147483647);
    EXPECT_EQ(version_text(0x0103, true), "V0103");
    EXPECT_EQ(version_text(105, false), "V105");
}

TEST(UpdateReply, HexVersionNewer) {
    const UpdateResult r = parse_update_reply(
        R"({"path":"https://h/f.bin","name":"Mouse FW","version_name":"1.4","version":"0104",)"
        R"("device_id":12})",
        0x0103, true);
    EXPECT_EQ(r.status, kStatusNewer);
    EXPECT_EQ(r.current_text, "V0103");
    EXPECT_EQ(r.new_text, "V0104");
    EXPECT_EQ(r.name, "Mouse FW");
    EXPECT_EQ(r.path, "https://h/f.bin");
    EXPECT_EQ(r.version_name, "1.4");
    EXPECT_EQ(r.device_id, 12);
    EXPECT_TRUE(r.reply_read);
    // Same version in hex: newest.
    EXPECT_EQ(parse_update_reply(R"({"version":"103"})", 0x0103, true).status, kStatusNewest);
}

TEST(UpdateReply, DecimalVersionShowsVersionName) {
    const UpdateResult r = parse_update_reply(
        R"({"name":"AP","version_name":"Tellune 1.0.5","version":"105"})", 105, false);
    EXPECT_EQ(r.status, kStatusNewest);
    EXPECT_EQ(r.new_text, "Tellune 1.0.5");
    EXPECT_EQ(r.current_text, "V105");
    EXPECT_EQ(parse_update_reply(R"({"version":"106"})", 105, false).status, kStatusNewer);
}

TEST(UpdateReply, OddVersionsCompareAsSignedNumbers) {
    // ffffffff is -1 as a signed number: not newer than anything positive.
    EXPECT_EQ(parse_update_reply(R"({"version":"ffffffff"})", 1, true).status, kStatusNewest);
    // Out of the 32-bit range saturates, which also reads as -1.
    EXPECT_EQ(parse_update_reply(R"({"version":"123456789012"})", 1, false).status, kStatusNewest);
    // No digits: 0.
    EXPECT_EQ(parse_update_reply(R"({"version":"new"})", 1, false).status, kStatusNewest);
    EXPECT_EQ(parse_update_reply(R"({"version":"7x"})", 1, false).status, kStatusNewer);
}

TEST(UpdateReply, UnreadableRepliesGiveNoStatus) {
    for (const char* bad :
         {"", "NO_LINK_SERVER", "{\"version\":", "<html>502</html>", "[1,2]", "\"text\"", "42"}) {
        const UpdateResult r = parse_update_reply(bad, 1, true);
        EXPECT_EQ(r.status, kStatusNone) << bad;
        EXPECT_FALSE(r.reply_read) << bad;
        EXPECT_TRUE(r.name.empty() && r.path.empty() && r.new_text.empty() &&
                    r.current_text.empty())
            << bad;
    }
    // Members of the wrong type read as missing.
    const UpdateResult r =
        parse_update_reply(R"({"name":5,"path":[],"version":104,"device_id":"x"})", 1, false);
    EXPECT_TRUE(r.reply_read);
    EXPECT_EQ(r.name, "");
    EXPECT_EQ(r.path, "");
    EXPECT_EQ(r.device_id, 0);
    EXPECT_EQ(r.status, kStatusNewest);  // no version text: 0
    // Hostile nesting does not throw or overflow the stack.
    const std::string deep(200000, '[');
    EXPECT_EQ(parse_update_reply(deep, 1, true).status, kStatusNone);
    // The reply ends at its first zero byte, as the buffer's text does.
    const std::string with_zero = std::string("{\"version\":\"9\"}") + '\0' + "garbage";
    EXPECT_EQ(parse_update_reply(with_zero, 1, false).status, kStatusNewer);
}

TEST(UpdateLines, InitialAndCheckedLines) {
    UpdateEntry app;
    app.model = "ALL";
    app.name = "Tellune";
    app.current_version = 105;
    app.spare = "V1.0.5";
    EXPECT_EQ(initial_line(app).name, "AP");
    EXPECT_EQ(initial_line(app).current_text, "V1.0.5");
    EXPECT_EQ(initial_line(mouse_entry(0x0102)).current_text, "V0102");
    EXPECT_EQ(initial_line(mouse_entry(0x0102)).status, kStatusNewest);

    UpdateResult unreachable;
    unreachable.name = std::string(kNoLinkServer);
    const UpdateLine failed = checked_line(mouse_entry(0x0102), unreachable);
    EXPECT_TRUE(failed.failed);
    EXPECT_EQ(failed.name, "Gaming mouse");
    EXPECT_EQ(failed.status, kStatusNewest);

    // A reply that is no JSON (an error page) fails the line too.
    const UpdateLine garbage =
        checked_line(mouse_entry(0x0102), parse_update_reply("<html/>", 0x0102, true));
    EXPECT_TRUE(garbage.failed);

    // A readable reply without a name is not a failure; the line keeps the entry's texts.
    const UpdateLine unnamed =
        checked_line(mouse_entry(0x0102), parse_update_reply("{}", 0x0102, true));
    EXPECT_FALSE(unnamed.failed);
    EXPECT_EQ(unnamed.name, "Gaming mouse");
    EXPECT_EQ(unnamed.status, kStatusNewest);

    const UpdateLine newer =
        checked_line(mouse_entry(0x0103),
                     parse_update_reply(R"({"name":"M","version":"0104","path":"https://h/m.bin"})",
                                        0x0103, true));
    EXPECT_EQ(newer.status, kStatusNewer);
    EXPECT_EQ(newer.new_text, "V0104");
    EXPECT_EQ(newer.path, "https://h/m.bin");
    const UpdateLine same = checked_line(
        mouse_entry(0x0104), parse_update_reply(R"({"name":"M","version":"0104"})", 0x0104, true));
    EXPECT_EQ(same.status, kStatusNewest);
    EXPECT_EQ(same.new_text, "");  // nothing newer to show
}

TEST(UpdateLines, OverallStatus) {
    UpdateLine ok, failed, newer;
    failed.failed = true;
    newer.status = kStatusNewer;
    EXPECT_EQ(overall_status({failed, failed}), kOverallNoInfo);
    EXPECT_EQ(overall_status({}), kOverallNoInfo);
    EXPECT_EQ(overall_status({failed, ok}), kOverallLatest);
    EXPECT_EQ(overall_status({failed, newer}), kOverallHasUpdates);
    UpdateLine none;
    none.status = kStatusNone;
    EXPECT_EQ(overall_status({none, ok}), kOverallLatest);
}

TEST(UpdateFiles, DownloadNamesStayInTheFolder) {
    EXPECT_EQ(download_file_name("Mouse FW", "https://h/x/fw_104.bin?sig=1"), "Mouse_FW.bin");
    EXPECT_EQ(download_file_name("AP", "https://h/tellune.tar.gz"), "AP.gz");
    EXPECT_EQ(download_file_name("", "https://h/"), "update");
    EXPECT_EQ(download_file_name("a.bin", "https://h/a.bin"), "a.bin");
    EXPECT_EQ(download_file_name("x", "https://h/f.this-is-no-ext"), "x");
    for (const char* hostile :
         {"../../etc/passwd", "..", ".", "/abs", ".hidden", "a\nb", "\xff\xfe"}) {
        const std::string f = download_file_name(hostile, "https://h/../../x.sh");
        EXPECT_EQ(f.find('/'), std::string::npos) << hostile;
        EXPECT_NE(f.front(), '.') << hostile;
        for (char c : f)
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
                        c == '.')
                << hostile;
    }
}

TEST(UpdateFiles, LastCheckDate) {
    TempDir dir;
    const std::string path = dir.file("updatetime.config");
    EXPECT_FALSE(read_last_check_date(path));
    std::ofstream(path) << R"({"updatelasttime":{"value":7},"Other":1})";
    EXPECT_FALSE(read_last_check_date(path));  // wrong type
    ASSERT_TRUE(write_last_check_date(path, "2026-3-7"));
    EXPECT_EQ(read_last_check_date(path).value_or(""), "2026-3-7");
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("\"Other\""), std::string::npos);  // other members stay
    std::ofstream(path) << "not json";
    ASSERT_TRUE(write_last_check_date(path, "2026-3-8"));
    EXPECT_EQ(read_last_check_date(path).value_or(""), "2026-3-8");

    const std::string today = today_text();
    int y = 0, m = 0, d = 0;
    ASSERT_EQ(std::sscanf(today.c_str(), "%d-%d-%d", &y, &m, &d), 3);
    EXPECT_GE(y, 2024);
    EXPECT_TRUE(m >= 1 && m <= 12 && d >= 1 && d <= 31);
    EXPECT_EQ(today.find("-0"), std::string::npos);  // no leading zeros
}

TEST(UpdateFiles, BaseUrlFromEnvironment) {
    {
        ScopedEnv env("TELLUNE_UPDATE_URL", "https://override/api/");
        EXPECT_EQ(resolve_base_url("https://configured/api/"), "https://override/api/");
    }
    {
        ScopedEnv env("TELLUNE_UPDATE_URL", "");
        EXPECT_EQ(resolve_base_url("https://configured/api/"), "https://configured/api/");
        EXPECT_EQ(resolve_base_url(""), "");
    }
}

}  // namespace
}  // namespace tellune::update
