// Macro and shoot images: layouts worked out by hand, the macro area size check, hostile
// library files, and what the emulated mouse ends up holding.

#include <gtest/gtest.h>

#include "core/device/macro_image.h"
#include "core/profile/json_file.h"
#include "core/shoot/shoot_data.h"
#include "mouse_test_util.h"
#include "test_support/temp_dir.h"

namespace tellune::device {
namespace {

using emulator::mouse_config;
using test::bytes;
using test::hex;
using test::MouseRig;
using test::write_text;

// Three macros: a key press and release, a button press with an oversized delay, and an
// entry whose Guid tries to leave the folder (sent without events).
void write_library(const TempDir& dir) {
    write_text(dir.file("macro.config"),
               R"({"MacroInfo": [{"MacroName": "a", "Guid": "m1"},
                                 {"MacroName": "b", "Guid": "m2"},
                                 {"MacroName": "c", "Guid": "../m1"}]})");
    write_text(dir.file("m1.mac"), R"({"Events": [
        {"Action": "down", "Button": 4, "Type": 10, "Delay": "50"},
        {"Action": "up", "Button": 4, "Type": 10, "Delay": "300"}], "Version": 64})");
    write_text(dir.file("m2.mac"), R"({"Events": [
        {"Action": "down", "Button": 1, "Type": 1, "Delay": "70000"}]})");
}

const std::vector<uint8_t> kLibraryImage =
    hex("aa 55 2e 00 03 00 00 00 00 00 00 00 00 00 00 00 "  // header, L = 46, N = 3
        "16 00 22 00 2a 00 "                                // offsets 22, 34, 42
        "02 00 00 00 32 00 8a 04 2c 01 0a 04 "              // macro 0
        "01 00 00 00 ff ff 81 01 "                          // macro 1
        "00 00 00 00");                                     // macro 2

TEST(MacroImage, LayoutOfTheLibrary) {
    TempDir dir;
    write_library(dir);
    const auto macros = load_macro_library(dir.path().string());
    ASSERT_TRUE(macros.has_value());
    EXPECT_EQ(build_macro_image(*macros), kLibraryImage);
}

TEST(MacroImage, DelayText) {
    auto delay = [](const char* json) {
        Json::Value v;
        Json::Reader().parse(json, v);
        return parse_delay(v["d"]);
    };
    EXPECT_EQ(delay(R"({"d": "0"})"), 0);
    EXPECT_EQ(delay(R"({"d": "65534"})"), 65534);
    EXPECT_EQ(delay(R"({"d": "65535"})"), 65535);
    EXPECT_EQ(delay(R"({"d": "99999999999999999999"})"), 65535);
    EXPECT_EQ(delay(R"({"d": "12ms"})"), 12);
    EXPECT_EQ(delay(R"({"d": "ms"})"), 0);
    EXPECT_EQ(delay(R"({"d": 25})"), 25);
    EXPECT_EQ(delay(R"({"d": -5})"), 0);
    EXPECT_EQ(delay(R"({"d": [1]})"), 0);
    EXPECT_EQ(delay(R"({})"), 0);
}

TEST(MacroImage, HostileFilesReadAsEmpty) {
    TempDir dir;
    EXPECT_FALSE(load_macro_library(dir.path().string()).has_value());  // missing
    write_text(dir.file("macro.config"), "{\"MacroInfo\": []}");
    EXPECT_FALSE(load_macro_library(dir.path().string()).has_value());
    write_text(dir.file("macro.config"), "{\"MacroInfo\": 7");
    EXPECT_FALSE(load_macro_library(dir.path().string()).has_value());
    write_text(dir.file("macro.config"),
               R"({"MacroInfo": [{"Guid": 5}, {"Guid": "x"}, "junk", {"Guid": "y"}]})");
    write_text(dir.file("x.mac"), R"({"Events": {"not": "a list"}})");
    write_text(dir.file("y.mac"), R"({"Events": ["junk", {"Type": "10", "Action": 1}]})");
    const auto macros = load_macro_library(dir.path().string());
    ASSERT_TRUE(macros.has_value());
    ASSERT_EQ(macros->size(), 4u);
    EXPECT_TRUE((*macros)[0].empty());
    EXPECT_TRUE((*macros)[1].empty());
    EXPECT_TRUE((*macros)[2].empty());
    EXPECT_EQ((*macros)[3], (MacroEvents{{0, 0, 0}, {0, 0, 0}}));
    // L, N and E are 16-bit fields: an image that does not fit them is not built.
    EXPECT_TRUE(build_macro_image({MacroEvents(16379)}).empty());  // 65538
    EXPECT_EQ(build_macro_image({MacroEvents(16378)}).size(), 65534u);
}

TEST(MacroImage, DecodedBackFromAnAreaLongerThanTheImage) {
    std::vector<uint8_t> area = kLibraryImage;
    area.resize(2048, 0xEE);
    const auto macros = decode_macro_image(area);
    ASSERT_TRUE(macros.has_value());
    ASSERT_EQ(macros->size(), 3u);
    EXPECT_EQ((*macros)[0], (MacroEvents{{50, 0x8A, 4}, {300, 0x0A, 4}}));
    EXPECT_EQ((*macros)[1], (MacroEvents{{65535, 0x81, 1}}));
    EXPECT_TRUE((*macros)[2].empty());
    EXPECT_EQ(build_macro_image(*macros), kLibraryImage);

    // Images that do not hold together are not read at all.
    auto broken = [](size_t at, uint8_t value) {
        std::vector<uint8_t> b = kLibraryImage;
        b[at] = value;
        return decode_macro_image(b).has_value();
    };
    EXPECT_FALSE(broken(0, 0x55));   // magic
    EXPECT_FALSE(broken(2, 0x2f));   // length beyond the bytes
    EXPECT_FALSE(broken(4, 0x20));   // offset table beyond the length
    EXPECT_FALSE(broken(20, 0x2d));  // last record's header beyond the length
    EXPECT_FALSE(broken(22, 0x09));  // first record's events beyond the length
    EXPECT_FALSE(decode_macro_image({}).has_value());
    EXPECT_FALSE(decode_macro_image(std::vector<uint8_t>(2048, 0)).has_value());  // never written
}

TEST(MouseMacros, WrittenFramedIntoTheMacroArea) {
    TempDir dir;
    write_library(dir);
    MouseRig rig;
    EXPECT_EQ(rig.mouse.write_macros(dir.path().string()), 0);
    EXPECT_EQ(rig.commands(), hex("03 01 15 02"));
    EXPECT_EQ(bytes(rig.device->macro_area(), 0, kLibraryImage.size()), kLibraryImage);

    MouseRig wireless(mouse_config(), true);
    EXPECT_EQ(wireless.mouse.write_macros(dir.path().string()), 0);
    EXPECT_EQ(wireless.commands(), hex("aa 03 aa 01 aa 15 aa 02"));
}

// Two macros holding `events` events between them; 16 + 12 + 4·505 = 2048 fills the area.
void write_sized_library(const TempDir& dir, int events) {
    write_text(dir.file("macro.config"), R"({"MacroInfo": [{"Guid": "a"}, {"Guid": "b"}]})");
    std::string list;
    for (int i = 0; i < events - 5; ++i)
        list += std::string(i ? "," : "") + R"({"Action":"down","Button":4,"Type":10,"Delay":"1"})";
    write_text(dir.file("a.mac"), "{\"Events\": [" + list + "]}");
    write_text(dir.file("b.mac"), R"({"Events": [{},{},{},{},{}]})");
}

TEST(MouseMacros, AreaSizeCheck) {
    TempDir dir;
    write_sized_library(dir, 505);
    MouseRig rig;
    EXPECT_EQ(rig.mouse.write_macros(dir.path().string()), 0);
    EXPECT_EQ(rig.device->command_count(0x15), 37u);  // 2048 bytes in 56-byte chunks

    write_sized_library(dir, 506);
    MouseRig over;
    EXPECT_EQ(over.mouse.write_macros(dir.path().string()), 2);
    EXPECT_EQ(over.commands(), hex("03"));  // nothing sent
    write_sized_library(dir, 520);
    EXPECT_EQ(over.mouse.write_macros(dir.path().string()), 16);
}

TEST(MouseMacros, FailuresAndNothingToSend) {
    TempDir empty;
    MouseRig rig;
    EXPECT_EQ(rig.mouse.write_macros(empty.path().string()), 0);
    EXPECT_EQ(rig.commands(), hex("03"));

    TempDir dir;
    write_library(dir);
    MouseRig refused;
    refused.device->fail_chunk(0xFE, 1, 0x15);
    EXPECT_EQ(refused.mouse.write_macros(dir.path().string()), -1);
    EXPECT_EQ(refused.commands(), hex("03 01 15"));

    MouseRig away(mouse_config(), true);
    away.device->set_probe_answer(false);
    EXPECT_EQ(away.mouse.write_macros(dir.path().string()), -1);

    MouseRig closed;
    closed.config.Disconnect();
    EXPECT_EQ(closed.mouse.write_macros(dir.path().string()), 0);
    EXPECT_TRUE(closed.commands().empty());
}

TEST(MouseShoot, ImageOfFourSlotsPaddedToWholeChunks) {
    TempDir dir;
    write_text(dir.file("ShootData_0.Shoot"), R"({"Events": [
        {"Action": "down", "Button": 1, "Delay": 10, "Type": 1},
        {"Action": "up", "Button": 1, "Delay": 0, "Type": 1}]})");
    // Slot 1 has no file; slot 3's file is not JSON.
    write_text(dir.file("ShootData_2.Shoot"),
               R"({"Events": [{"Action": "down", "Button": 7, "Delay": 5, "Type": 4}]})");
    write_text(dir.file("ShootData_3.Shoot"), "{\"Events\": [");
    MouseRig rig;
    EXPECT_EQ(rig.mouse.write_shoot_data(dir.path().string()), 1);
    EXPECT_EQ(rig.commands(), hex("03 01 17 02"));
    EXPECT_EQ(rig.requests()[2].length, 56);
    EXPECT_EQ(bytes(rig.device->shoot_area(), 0, 56),
              hex("aa 55 34 00 04 00 00 00 00 00 00 00 00 00 00 00 "  // L = 52, N = 4
                  "18 00 24 00 28 00 30 00 "                          // offsets 24, 36, 40, 48
                  "02 00 00 00 0a 00 81 01 00 00 01 01 "              // slot 0
                  "00 00 00 00 "                                      // slot 1
                  "01 00 00 00 05 00 84 07 "                          // slot 2
                  "00 00 00 00 00 00 00 00"));                        // slot 3, padding

    // Only the first command is preceded by the probe.
    MouseRig wireless(mouse_config(), true);
    EXPECT_EQ(wireless.mouse.write_shoot_data(dir.path().string()), 1);
    EXPECT_EQ(wireless.commands(), hex("aa 03 01 17 02"));
}

TEST(MouseShoot, TooLongForTheDeviceArea) {
    TempDir dir;
    std::string list;
    for (int i = 0; i < 900; ++i) list += std::string(i ? "," : "") + "{}";
    write_text(dir.file("ShootData_0.Shoot"), "{\"Events\": [" + list + "]}");
    MouseRig rig;  // L = 3640; the emulated area holds 3584 bytes: chunk 65 is refused
    EXPECT_EQ(rig.mouse.write_shoot_data(dir.path().string()), -103);
    EXPECT_EQ(rig.device->command_count(0x17), 65u);
    EXPECT_EQ(rig.device->command_count(0x02), 0u);
}

// Four guns of 30 bullets as the pattern editor leaves them, sent to the emulated mouse and
// read back out of its shoot area.
TEST(MouseShoot, FullPatternsReachTheMouse) {
    TempDir dir;
    const std::string folder = dir.path().string();
    shoot::ShootData shoot(folder, std::string(TELLUNE_SOURCE_DIR) + "/DefaultData");
    ASSERT_EQ(shoot.install_defaults(), shoot::kGuns);
    // Gun 1, bullet 0: left 3, down 7, pause 90.
    ASSERT_TRUE(shoot.save(1, 0, {true, 3, false, 7, 90}));

    MouseRig rig;
    EXPECT_EQ(rig.mouse.write_shoot_data(folder), 1);
    const std::vector<uint8_t> area = rig.device->shoot_area();
    // L = 16 + 6 * 4 + 4 * 4 * 180 = 2920 (0x0b68); 8 bytes of offsets, then records of
    // 4 + 720 bytes at 24, 748, 1472, 2196.
    EXPECT_EQ(bytes(area, 0, 24), hex("aa 55 68 0b 04 00 00 00 00 00 00 00 00 00 00 00 "
                                      "18 00 ec 02 c0 05 94 08"));
    // Gun 1's record: 180 events, then bullet 0 worked out by hand.
    EXPECT_EQ(bytes(area, 748, 4 + 24), hex("b4 00 00 00 "
                                            "0a 00 81 01 "    // left press, 10 ms
                                            "00 00 01 01 "    // left release
                                            "05 00 84 03 "    // left 3, 5 ms
                                            "5a 00 05 07 "    // down 7, 90 ms
                                            "00 00 84 00 "    // zero move left
                                            "00 00 05 00"));  // zero move down
    // Everything the mouse holds decodes back to the four files.
    const auto decoded = decode_macro_image(area);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, load_shoot_slots(folder));
    // Bullet 1 of gun 1 is still the factory one.
    EXPECT_EQ((*decoded)[1][6 + 3],
              macro_event_from_json(read_json(dir.file("ShootData_1.Shoot"))["Events"][6 + 3]));
    EXPECT_EQ((*decoded)[1][6 + 3], (MacroEvent{52, 0x05, 6}));
}

}  // namespace
}  // namespace tellune::device
