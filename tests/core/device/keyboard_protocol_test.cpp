// The keyboard protocol: byte layouts against vectors worked out by hand, and the command
// sequences against the emulated keyboard, including one whose slots and LEDs are scrambled
// and which lacks one key.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "keyboard_test_util.h"
#include "test_support/temp_dir.h"

namespace tellune::device {
namespace {

using test::hex;
using test::KeyboardRig;
using test::kMissingKey;
using test::scrambled_keyboard;

KeyboardSettings worked_settings() {
    KeyboardSettings s;
    // Zone mode 25 at brightness 3, speed 1, Fx 1, several colours, colour 10/20/30, ZZCC 2.
    s.light = LightSettings::make(25, 3, 1, 1, 1, 10, 20, 30, 2);
    set_repeat(s.system, 31);
    set_repeat_delay(s.system, 2);
    set_key6_flag(s.system, 1);
    set_polling_rate(s.system, 2);
    set_wflag(s.system, 0);
    set_win_flag(s.system, 1);
    return s;
}

TEST(KeyboardBlock, WorkedProfile) {
    KeyboardSettings s = worked_settings();
    // Mode 25 lives only in software: the keyboard gets 0. Colour bytes go as zeros.
    const KeyboardBlock worked = build_keyboard_block(s);
    EXPECT_EQ(std::vector<uint8_t>(worked.begin(), worked.end()),
              hex("00 00 03 03 01 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 01 01 02 00 00"));
    s.light = LightSettings::make(24, 4, 4, 0, 0, 1, 2, 3, 0);
    set_win_flag(s.system, 0);
    const KeyboardBlock b = build_keyboard_block(s);
    EXPECT_EQ(b[1], 24);  // the last mode the keyboard has itself
    EXPECT_EQ(b[3], 0);   // speed 4 -> 0
    EXPECT_EQ(b[21], 0);
    // A hand-edited speed above 4 does not wrap.
    s.light = LightSettings::make(1, 1, 9, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(build_keyboard_block(s)[3], 0);
}

TEST(KeyboardBlock, TakenFieldsAndKeptOnes) {
    KeyboardSettings s = worked_settings();
    const std::vector<uint8_t> block =
        hex("05 0c 02 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03 01 00 00 03 00 00");
    EXPECT_TRUE(take_keyboard_block(s, block));
    // Mode, brightness, speed 4 - 1, ZZCC; Fx and (zero bytes) the colour are kept.
    EXPECT_EQ(s.light, LightSettings::make(12, 2, 3, 1, 1, 10, 20, 30, 3));
    EXPECT_EQ(wflag_of(s.system), 1);
    EXPECT_EQ(key6_flag_of(s.system), 0);
    EXPECT_EQ(win_flag_of(s.system), 0);
    // PollingRate, Repeat and RepeatDelay are not read.
    EXPECT_EQ(polling_rate_of(s.system), 2);
    EXPECT_EQ(repeat_of(s.system), 31);
    EXPECT_EQ(repeat_delay_of(s.system), 2);
    // A colour the keyboard does report is taken; the same mode is no change.
    const std::vector<uint8_t> coloured =
        hex("00 0c 02 01 00 01 ff 80 00 00 00 00 00 00 00 00 00 00 03 00 00 00 00 00 00");
    EXPECT_FALSE(take_keyboard_block(s, coloured));
    EXPECT_EQ(s.light, LightSettings::make(12, 2, 3, 1, 1, 0xFF, 0x80, 0, 3));
    EXPECT_FALSE(take_keyboard_block(s, hex("00 0d 02")));  // too short: nothing taken
    EXPECT_EQ(s.light.select_item(), 12);
}

TEST(KeyboardMaps, FactoryCodesFindTheirSlotsAndLeds) {
    const emulator::DeviceConfig c = scrambled_keyboard();
    const KeySlotMap slots = build_key_slot_map(c.key_table, 128);
    EXPECT_EQ(slots[0], 3);      // Esc: 5·0 + 3
    EXPECT_EQ(slots[1], 8);      // F1
    EXPECT_EQ(slots[125], 116);  // right GUI: 5·125 + 3 = 628 = 4·128 + 116
    EXPECT_EQ(slots[kMissingKey], kNoSlot);
    // Keys without a code (18, 19, 20, 62, 104) have no slot of their own to find.
    for (size_t k : {18, 19, 20, 62, 104}) EXPECT_EQ(slots[k], kNoSlot) << k;
    const LedMap leds = build_led_map(slots, c.led_index_table);
    EXPECT_EQ(leds[0], 16);  // slot 3 -> LED 3·3 + 7
    EXPECT_EQ(leds[1], 31);  // slot 8 -> LED 31
    EXPECT_EQ(leds[kMissingKey], kNoLed);
    // Fewer slots than the table holds: keys beyond them are not found.
    const KeySlotMap few = build_key_slot_map(c.key_table, 4);
    EXPECT_EQ(few[0], 3);
    EXPECT_EQ(few[1], kNoSlot);
    // An LED table shorter than the slots leaves those keys without an LED.
    EXPECT_EQ(build_led_map(slots, std::vector<uint8_t>(4, 9))[1], kNoLed);
    // Only keys with a slot may be reassigned, and Fn (which has one) never.
    EXPECT_NE(slots[kKeyboardFnKey], kNoSlot);
    EXPECT_FALSE(keyboard_key_assignable(slots, kKeyboardFnKey));
    EXPECT_FALSE(keyboard_key_assignable(slots, int(kMissingKey)));
    EXPECT_FALSE(keyboard_key_assignable(slots, 18));
    EXPECT_TRUE(keyboard_key_assignable(slots, 0));
    EXPECT_TRUE(keyboard_key_assignable(slots, 125));
    EXPECT_FALSE(keyboard_key_assignable(slots, 126));
    EXPECT_FALSE(keyboard_key_assignable(slots, -1));
}

TEST(KeyboardMaps, KeyReportsNameTheKeyOfTheirSlot) {
    const KeySlotMap slots = build_key_slot_map(scrambled_keyboard().key_table, 128);
    // Slot 5 holds key 26 (5·26 + 3 = 133 = 128 + 5).
    const auto down = key_report(0x0505, slots);
    ASSERT_TRUE(down.has_value());
    EXPECT_EQ(down->key, 26);
    EXPECT_EQ(down->action, KeyAction::down);
    const auto up = key_report(0x0603, slots);
    ASSERT_TRUE(up.has_value());
    EXPECT_EQ(up->key, 0);
    EXPECT_EQ(up->action, KeyAction::up);
    EXPECT_FALSE(key_report(0x0579, slots));  // slot 121 holds nothing
    EXPECT_FALSE(key_report(0x0543, slots));  // slot 67: the code no key has
    EXPECT_FALSE(key_report(0x0401, slots));  // a sync request is no key
    EXPECT_FALSE(key_report(0x0404, slots));
    EXPECT_FALSE(key_report(0x0705, slots));
}

TEST(KeyboardFrames, ThreeKeysWithLevelsThroughAScrambledLedMap) {
    LedMap map;
    map.fill(kNoLed);
    map[0] = 2;
    map[1] = 0;
    map[2] = 5;
    map[3] = 9;  // past the six LEDs: ignored
    const std::vector<LedColour> keys = {
        {255, 128, 0, 128}, {10, 20, 30, 255}, {200, 100, 50, 0}, {1, 1, 1, 255}};
    // LED 0 = key 1 at 255/256, LED 2 = key 0 at half, LED 5 = key 2 dark, the rest unlit.
    EXPECT_EQ(build_light_frame(keys, map, 6),
              hex("09 13 1d 00 00 00 7f 40 00 00 00 00 00 00 00 00 00 00"));
    const std::vector<CustomColour> colours = {{255, 128, 0, 255}, {10, 20, 30, 0}};
    EXPECT_EQ(build_custom_colour_table(colours, map, 6),
              hex("0a 14 1e 00 00 00 ff 80 00 00 00 00 00 00 00 00 00 00"));
}

TEST(KeyboardConnect, SequenceReadsInfoKeyTableAndLedIndices) {
    KeyboardRig rig(scrambled_keyboard());
    ASSERT_TRUE(rig.opened);
    EXPECT_EQ(rig.keyboard.connect_device(), 1);
    // 0x01, information, 384 bytes of key table in 7 chunks, 128 LED indices in 3, 0x02.
    EXPECT_EQ(rig.commands(), hex("01 03 07 07 07 07 07 07 07 1b 1b 1b 02"));
    EXPECT_EQ(rig.requests()[9].length, 56);
    EXPECT_EQ(rig.requests()[11].length, 16);
    EXPECT_EQ(rig.config.BlockSize(), 384);
    EXPECT_EQ(rig.keyboard.key_slots(), 128);
    EXPECT_EQ(rig.keyboard.key_slot_map()[1], 8);
    EXPECT_EQ(rig.keyboard.led_map()[1], 31);
    EXPECT_EQ(rig.keyboard.led_index_cache()[127], (3 * 127 + 7) % 128);
    EXPECT_TRUE(rig.keyboard.sender().running());

    // More slots than 512 bytes can hold: refused, the sequence closed, nothing mapped.
    emulator::DeviceConfig big = emulator::keyboard_config();
    big.info[5] = 171;
    KeyboardRig oversized(big);
    EXPECT_EQ(oversized.keyboard.connect_device(), -201);
    EXPECT_EQ(oversized.commands(), hex("01 03 02"));
    EXPECT_FALSE(oversized.keyboard.connected());

    KeyboardRig closed;
    closed.config.Disconnect();
    EXPECT_EQ(closed.keyboard.connect_device(), 0);
    EXPECT_TRUE(closed.commands().empty());
}

TEST(KeyboardSettingsWrite, TwentyFiveBytesFramedAndAWinLockRewritesTheLight) {
    KeyboardRig rig;
    rig.keyboard.settings() = worked_settings();
    ASSERT_EQ(rig.keyboard.write_settings(0), 1);
    EXPECT_EQ(rig.commands(), hex("01 06 02"));
    EXPECT_EQ(rig.requests()[1].length, 25);
    EXPECT_EQ(rig.requests()[1].offset, 0);
    const std::vector<uint8_t> memory = rig.device->memory();
    EXPECT_EQ(std::vector<uint8_t>(memory.begin(), memory.begin() + 25),
              hex("00 00 03 03 01 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 01 01 02 00 00"));

    // The Windows-key lock off: the whole block again, light bytes included.
    rig.clear_log();
    rig.keyboard.settings().light = LightSettings::make(7, 2, 0, 0, 0, 0, 0, 0, 0);
    set_win_flag(rig.keyboard.settings().system, 0);
    ASSERT_EQ(rig.keyboard.write_settings(0), 1);
    EXPECT_EQ(rig.payload(0x06),
              hex("00 07 02 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 02 00 00"));

    // Profile 1 lies 25 bytes on; a refusal ends the write before 0x02.
    rig.clear_log();
    ASSERT_EQ(rig.keyboard.write_settings(1), 1);
    EXPECT_EQ(rig.requests()[1].offset, 25);
    rig.clear_log();
    rig.device->fail_chunk(0xFF, 1, 0x06);
    EXPECT_EQ(rig.keyboard.write_settings(0), -102);
    EXPECT_EQ(rig.commands(), hex("01 06"));
    EXPECT_EQ(rig.keyboard.write_settings(-1), -201);
}

TEST(KeyboardSettingsRead, ActiveProfileBlockTakenAndStored) {
    TempDir tmp;
    KeyboardRig rig;
    CKeyboardProfiledata profile;
    profile.set_profile_path(tmp.file("k.Json"));
    rig.keyboard.settings() = worked_settings();
    rig.keyboard.settings().light = LightSettings::make(4, 1, 1, 1, 1, 9, 8, 7, 0);
    rig.config.SetPause(1);
    // Profile 2 active: trace, brightness 2, device speed 1, ZZCC 3, WFlag and WinFlag.
    const uint8_t active[1] = {2};
    rig.device->poke_memory(0, active);
    const std::vector<uint8_t> block =
        hex("02 0c 02 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03 01 00 01 00 00 00");
    rig.device->poke_memory(50, block);
    ASSERT_EQ(rig.keyboard.read_settings_block(&profile), 1);
    EXPECT_EQ(rig.config.Pause(), 0);
    EXPECT_EQ(rig.commands(), hex("05 05"));
    EXPECT_EQ(rig.requests()[1].offset, 50);
    EXPECT_EQ(rig.requests()[1].length, 25);
    const KeyboardSettings& s = rig.keyboard.settings();
    EXPECT_EQ(s.light, LightSettings::make(12, 2, 3, 1, 1, 9, 8, 7, 3));
    EXPECT_EQ(polling_rate_of(s.system), 2);  // kept
    EXPECT_EQ(win_flag_of(s.system), 1);
    EXPECT_EQ(wflag_of(s.system), 1);
    EXPECT_EQ(key6_flag_of(s.system), 0);
    // The light engine follows the new mode.
    EXPECT_EQ(rig.keyboard.light().settings().select_item(), 12);

    CKeyboardProfiledata saved;
    saved.load_profile(tmp.file("k.Json"));
    EXPECT_EQ(saved.read_light_settings(), s.light);
    EXPECT_EQ(saved.read_system_words(), s.system);

    // A refused read changes nothing.
    rig.device->fail_chunk(0xFE, 1, 0x05);
    rig.keyboard.settings().light = LightSettings{};
    EXPECT_EQ(rig.keyboard.read_settings_block(), -103);
    EXPECT_EQ(rig.keyboard.settings().light, LightSettings{});
    EXPECT_EQ(rig.keyboard.block()[1], 12);
}

TEST(KeyboardKeys, MissingCodeIsNotSentAndEveryWriteStartsFromTheCache) {
    KeyboardRig rig(scrambled_keyboard());
    ASSERT_EQ(rig.keyboard.connect_device(), 1);
    std::vector<KeyAssignmentRecord> keys(kKeyboardKeys);
    for (size_t k = 0; k < keys.size(); ++k) {
        const KeyCode& code = kKeyboardFactoryCodes[k];
        keys[k].type = code[0];
        keys[k].param1 = code[1];
        keys[k].param2 = code[2];
    }
    keys[0] = {0, 0x20, 0x00, 0x3A, 0, 0, 0, 0, 0, 0};            // Esc does F1
    keys[kMissingKey] = {0, 0x20, 0x00, 0x05, 0, 0, 0, 0, 0, 0};  // A would do B
    keys[19] = {0, 0x70, 0x01, 0x00, 0, 0, 0, 0, 0, 0};           // a key without a code
    rig.clear_log();
    ASSERT_EQ(rig.keyboard.write_key_table(0, keys), 1);
    EXPECT_EQ(rig.commands(), hex("03 01 09 09 09 09 09 09 09 02"));
    const std::vector<uint8_t> table = rig.device->key_table();
    ASSERT_EQ(table.size(), 384u);
    EXPECT_EQ(test::bytes(table, 9, 3), hex("20 00 3a"));       // slot 3
    EXPECT_EQ(test::bytes(table, 201, 3), hex("30 01 02"));     // slot 67 untouched
    EXPECT_EQ(test::bytes(table, 3 * 98, 3), hex("20 00 00"));  // key 19's slot untouched
    EXPECT_EQ(test::bytes(table, 24, 3), hex("20 00 3a"));      // F1 in slot 8 as before

    // The next write starts from the table read at connection again.
    keys[0] = {0, 0x20, 0x00, 0x29, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(rig.keyboard.write_key_table(0, keys), 1);
    EXPECT_EQ(test::bytes(rig.device->key_table(), 9, 3), hex("20 00 29"));

    // A later connection that failed after its information block left the channel set
    // for another table size: still exactly the table read before goes out.
    rig.device->add_fault_rule({.kind = emulator::FaultKind::status,
                                .command = 0x07,
                                .chunk = 1,
                                .status = 0xFE,
                                .times = 1});
    EXPECT_EQ(rig.keyboard.connect_device(), -103);
    ASSERT_EQ(rig.config.SetBlockSize(510), 1);
    rig.clear_log();
    ASSERT_EQ(rig.keyboard.write_key_table(0, keys), 1);
    EXPECT_EQ(rig.payload(0x09).size(), 384u);

    // Never connected: nothing to start from, nothing sent.
    KeyboardRig fresh;
    EXPECT_EQ(fresh.keyboard.write_key_table(0, keys), 0);
    EXPECT_TRUE(fresh.commands().empty());
}

TEST(KeyboardFrames, MissingKeyAndKeysWithoutCodeStayDark) {
    KeyboardRig rig(scrambled_keyboard());
    ASSERT_EQ(rig.keyboard.connect_device(), 1);
    const std::vector<LedColour> white(kKeyboardKeys, LedColour{255, 255, 255, 255});
    rig.keyboard.stream_frame(white);
    ASSERT_TRUE(test::eventually([&] { return rig.device->light_frame_count() == 1; }));
    const std::vector<uint8_t> frame = rig.device->light_frames()[0];
    ASSERT_EQ(frame.size(), 384u);
    // Dark: LED 80 (slot 67, the missing key), LEDs 1 and 114 (empty slots 126 and 121),
    // and LEDs 30, 45, 60, 50, 40 (slots 93, 98, 103, 57, 11 of the keys without a code).
    const std::vector<size_t> dark = {1, 30, 40, 45, 50, 60, 80, 114};
    for (size_t led = 0; led < 128; ++led) {
        const bool lit = std::find(dark.begin(), dark.end(), led) == dark.end();
        EXPECT_EQ(frame[3 * led], lit ? 254 : 0) << led;
        EXPECT_EQ(frame[3 * led + 2], lit ? 254 : 0) << led;
    }
}

TEST(KeyboardCustomColours, GroupTwoLiesAtTwiceTheTable) {
    KeyboardRig rig(scrambled_keyboard());
    ASSERT_EQ(rig.keyboard.connect_device(), 1);
    std::vector<CustomColour> colours(kKeyboardKeys);
    colours[0] = {1, 2, 3, 255};
    colours[1] = {4, 5, 6, 255};
    rig.clear_log();
    ASSERT_EQ(rig.keyboard.write_custom_colours(2, colours), 1);
    // 384 bytes at 768: seven chunks, no framing.
    const auto reqs = rig.requests();
    ASSERT_EQ(reqs.size(), 7u);
    EXPECT_EQ(reqs[0].command, 0x0B);
    EXPECT_EQ(reqs[0].offset, 768);
    EXPECT_EQ(reqs[6].offset, 768 + 336);
    const std::vector<uint8_t> area = rig.device->custom_colours();
    EXPECT_EQ(test::bytes(area, 768 + 3 * 16, 3), hex("01 02 03"));  // key 0 on LED 16
    EXPECT_EQ(test::bytes(area, 768 + 3 * 31, 3), hex("04 05 06"));  // key 1 on LED 31
    EXPECT_EQ(test::bytes(area, 768 + 3 * 80, 3), hex("00 00 00"));  // the missing key's LED
    EXPECT_EQ(test::bytes(area, 0, 3), hex("00 00 00"));             // group 0 untouched

    EXPECT_EQ(rig.keyboard.write_custom_colours(kCustomLightGroups, colours), -201);
    EXPECT_EQ(rig.keyboard.write_custom_colours(-1, colours), -201);
}

TEST(KeyboardWireless, NoFramesAndNoColourTables) {
    KeyboardRig rig;
    ASSERT_EQ(rig.keyboard.connect_device(), 1);
    rig.config.SetWireless(true);
    rig.clear_log();
    const std::vector<LedColour> white(kKeyboardKeys, LedColour{255, 255, 255, 255});
    rig.keyboard.stream_frame(white);
    EXPECT_EQ(rig.keyboard.write_custom_colours(0, std::vector<CustomColour>(126)), 0);
    EXPECT_TRUE(rig.keyboard.sender().idle());
    EXPECT_EQ(rig.keyboard.sender().counts().submitted, 0u);
    EXPECT_TRUE(rig.commands().empty());
}

void write_library(const TempDir& dir) {
    test::write_text(dir.file("macro.config"), R"({"MacroInfo": [{"Guid": "m"}]})");
    test::write_text(dir.file("m.mac"),
                     R"({"Events": [{"Action":"down","Button":4,"Type":10,"Delay":"300"},)"
                     R"({"Action":"up","Button":4,"Type":10,"Delay":"5"}]})");
}

TEST(KeyboardMacros, ImageFramedWithCommand15) {
    TempDir dir;
    write_library(dir);
    KeyboardRig rig;
    EXPECT_EQ(rig.keyboard.write_macros(dir.path().string()), 0);
    EXPECT_EQ(rig.commands(), hex("03 01 15 02"));
    // AA 55, L = 16 + 6 + 8 = 30, one macro at 18 with two events.
    EXPECT_EQ(test::bytes(rig.device->macro_area(), 0, 30),
              hex("aa 55 1e 00 01 00 00 00 00 00 00 00 00 00 00 00 12 00 02 00 00 00 "
                  "2c 01 8a 04 05 00 0a 04"));
    KeyboardRig refused;
    refused.device->fail_chunk(0xFE, 1, 0x15);
    EXPECT_EQ(refused.keyboard.write_macros(dir.path().string()), -1);
    TempDir empty;
    KeyboardRig nothing;
    EXPECT_EQ(nothing.keyboard.write_macros(empty.path().string()), 0);
    EXPECT_EQ(nothing.commands(), hex("03"));
}

TEST(KeyboardKeyUsage, KeyReportsReachTheReactiveMode) {
    KeyboardRig rig(scrambled_keyboard());
    ASSERT_EQ(rig.keyboard.connect_device(), 1);
    // Reactive fade, full brightness.
    rig.keyboard.light().apply_light_settings(LightSettings::make(21, 4, 0, 0, 0, 255, 0, 0, 0));
    EXPECT_TRUE(rig.keyboard.on_key_usage(0x0505));  // key 26
    EXPECT_FALSE(rig.keyboard.on_key_usage(0x0579));
    EXPECT_FALSE(rig.keyboard.on_key_usage(0x0404));
    rig.keyboard.light().start_light_thread();
    // Shown at the brightness curve's 255 times the key's 255, over 256.
    ASSERT_TRUE(
        test::eventually([&] { return rig.keyboard.light().current_frame()[26].level == 254; }));
    EXPECT_EQ(rig.keyboard.light().current_frame()[26].r, 255);
    EXPECT_EQ(rig.keyboard.light().current_frame()[5].level, 0);
}

}  // namespace
}  // namespace tellune::device
