// Byte layouts of the mouse: the settings block, the key table and the button slot map,
// checked against vectors worked out by hand.

#include <gtest/gtest.h>

#include "core/device/mouse_protocol.h"
#include "mouse_test_util.h"

namespace tellune::device {
namespace {

using test::hex;

// Light mode 9 (software only), brightness 3, speed 1, Fx 1, single colour 12 34 56, LED mode
// 2; three stages (steps 4, 0x123, 139), stage 2 active; wheel lines 5, report rate 3;
// lift 0x102.
MouseSettings worked_profile() {
    MouseSettings s;
    s.light = LightSettings::make(9, 3, 1, 1, 0, 0x12, 0x34, 0x56, 2);
    s.stages = {{1, 0, 0x0004, 99, 0xFF, 0x00, 0x00},
                {1, 0, 0x0123, 98, 0x00, 0xFF, 0x00},
                {0, 1, 0x008B, 97, 0x00, 0x00, 0xFF}};
    s.active_stage = 2;
    s.system.word[2] = 0x00030005;
    s.system.word[3] = 0x00000102;
    return s;
}

TEST(SettingsBlock, HandWorkedProfileWired) {
    const SettingsBlock b = build_settings_block(worked_profile(), false);
    const std::vector<uint8_t> expected =
        hex("00 00 03 03 01 00 12 34 56 00 00 00 00 00 03 "  // 0-14
            "04 00 23 01 8b 00 00 00 02 "                    // 15-23: stages 0-3, active
            "00 00 00 00 00 00 00 00 "                       // 24-31: stages 4-7
            "ff 00 00 00 ff 00 00 00 ff "                    // 32-40: colours 0-2
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "  // 41-55: colours 3-7
            "02 00 00");                                     // 56-58
    ASSERT_EQ(expected.size(), kSettingsBlockSize);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 59), expected);
    for (size_t i = 59; i < b.size(); ++i) EXPECT_EQ(b[i], 0) << "byte " << i;
}

TEST(SettingsBlock, WirelessSendsSpeedAsIs) {
    EXPECT_EQ(build_settings_block(worked_profile(), true)[3], 0x01);
    MouseSettings s = worked_profile();
    s.light = LightSettings::make(5, 4, 4, 0, 1, 0, 0, 0, 0);
    EXPECT_EQ(build_settings_block(s, false)[3], 0x00);
    EXPECT_EQ(build_settings_block(s, true)[3], 0x04);
    EXPECT_EQ(build_settings_block(s, false)[1], 0x05);
    EXPECT_EQ(build_settings_block(s, false)[5], 0x01);
    s.light = LightSettings::make(7, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(build_settings_block(s, false)[1], 0x07);
    EXPECT_EQ(build_settings_block(s, false)[3], 0x04);
    s.light = LightSettings::make(8, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(build_settings_block(s, false)[1], 0x00);
}

TEST(SettingsBlock, EightStagesFillEveryDpiAndColourSlotAndANinthIsDropped) {
    MouseSettings s;
    for (uint8_t i = 0; i < 9; ++i)
        s.stages.push_back({1, 0, static_cast<uint16_t>(0x0A + i), 0, i,
                            static_cast<uint8_t>(0x10 + i), static_cast<uint8_t>(0x20 + i)});
    s.active_stage = 7;
    const SettingsBlock b = build_settings_block(s, false);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 15, b.begin() + 32),
              hex("0a 00 0b 00 0c 00 0d 00 07 0e 00 0f 00 10 00 11 00"));
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 32, b.begin() + 56),
              hex("00 10 20 01 11 21 02 12 22 03 13 23 04 14 24 05 15 25 06 16 26 07 17 27"));
    EXPECT_EQ(b[56], 0);
    EXPECT_EQ(b[57], 0);
}

TEST(SettingsBlock, TakingABlockOverKeepsFxStagesAndKeys) {
    MouseSettings s = worked_profile();
    s.keys.resize(3);
    // The emulated mouse's factory block with byte 9 = 0x5A.
    const std::vector<uint8_t> block =
        hex("00 01 03 02 00 01 ff 00 00 5a 00 00 00 00 03 04 00 09 00 0f 00 13 00 01 1d 00 27 "
            "00 00 00 00 00 ff 00 00 00 ff 00 00 00 ff ff ff 00 00 ff ff ff 00 ff ff ff ff ff "
            "80 00 01 00 00");
    take_settings_block(s, block);
    EXPECT_EQ(s.light.select_item(), 1);
    EXPECT_EQ(s.light.light(), 3);
    EXPECT_EQ(s.light.speed(), 2);
    EXPECT_EQ(s.light.fx(), 1);  // kept
    EXPECT_EQ(s.light.multi_color(), 1);
    EXPECT_EQ(s.light.red(), 0xFF);
    EXPECT_EQ(s.light.green(), 0);
    EXPECT_EQ(s.light.blue(), 0);
    EXPECT_EQ(s.light.word[2], 0x0200005Au);  // LED mode kept, low byte from byte 9
    EXPECT_EQ(s.active_stage, 1);
    EXPECT_EQ(s.system.word[2], 0x00030005u);
    EXPECT_EQ(s.system.word[3], 0x01u);
    EXPECT_EQ(s.stages.size(), 3u);
    EXPECT_EQ(static_cast<int>(s.stages[1].dpi_x),
              0x0123);  // the block's stages stay out of the object
    EXPECT_EQ(s.keys.size(), 3u);

    std::vector<uint8_t> hostile = block;
    hostile[3] = 9;  // speed byte out of range
    take_settings_block(s, hostile);
    EXPECT_EQ(s.light.speed(), 0);
}

// The factory table of the emulated mouse, with button 3's code replaced and button 10's
// code moved from slot 10 to slots 14 and 15.
std::vector<uint8_t> odd_key_table() {
    std::vector<uint8_t> t =
        hex("10 01 00 10 02 00 10 04 00 10 20 00 10 08 00 13 01 00 13 02 00 a0 02 00 13 03 00 "
            "a0 1b 00 00 00 00 00 00 00 00 00 00 00 00 00 16 90 01 16 90 01");
    return t;
}

TEST(ButtonSlotMap, MissingCodesStayAt126AndTheFirstSlotWins) {
    const ButtonSlotMap map = build_button_slot_map(odd_key_table(), 16);
    const ButtonSlotMap expected = {0, 1, 2, 126, 4, 5, 6, 7, 8, 9, 14};
    EXPECT_EQ(map, expected);
    // Slots beyond the count are not searched.
    const ButtonSlotMap short_map = build_button_slot_map(odd_key_table(), 14);
    EXPECT_EQ(short_map[10], 126);
    // A table shorter than the slot count is not read past its end.
    const ButtonSlotMap cut = build_button_slot_map(hex("10 01 00 10 02"), 16);
    EXPECT_EQ(cut[0], 0);
    EXPECT_EQ(cut[1], 126);
}

TEST(KeyTable, AssignmentsGoToTheMappedSlotsOnly) {
    const std::vector<uint8_t> cache = odd_key_table();
    const ButtonSlotMap map = build_button_slot_map(cache, 16);
    std::vector<KeyAssignmentRecord> keys(12);
    for (uint8_t i = 0; i < 12; ++i) {
        keys[i].type = 0x20;
        keys[i].param1 = 0;
        keys[i].param2 = static_cast<uint8_t>(0x04 + i);
    }
    keys[1] = {1, 0x70, 0x02, 0x00, 0, 1, 0x10, 0x02, 0x00, 0};  // a macro
    const std::vector<uint8_t> t = build_key_table(cache, 16, map, keys);
    EXPECT_EQ(t, hex("20 00 04 70 02 00 20 00 06 10 20 00 20 00 08 20 00 09 20 00 0a 20 00 0b "
                     "20 00 0c 20 00 0d 00 00 00 00 00 00 00 00 00 00 00 00 20 00 0e 16 90 01"));
}

TEST(Firmware, PromptOnlyForVersionsOneTo0x100) {
    EXPECT_FALSE(firmware_update_needed(0));
    EXPECT_TRUE(firmware_update_needed(0x0001));
    EXPECT_TRUE(firmware_update_needed(0x0100));
    EXPECT_FALSE(firmware_update_needed(0x0101));
    EXPECT_FALSE(firmware_update_needed(0xFFFF));
}

TEST(MacroKeys, AssignmentsToMissingMacrosFallBackToTheirDefault) {
    std::vector<KeyAssignmentRecord> keys = {
        {0, 0x70, 1, 0, 0, 0, 0x10, 0x01, 0x00, 0},  // macro 1 of 2: kept
        {1, 0x71, 2, 5, 0, 1, 0x10, 0x02, 0x00, 0},  // macro 2 of 2: reset
        {2, 0x20, 9, 0, 0, 2, 0x10, 0x04, 0x00, 0},  // no macro: kept
    };
    EXPECT_TRUE(check_macro_keys(keys, 2));
    EXPECT_EQ(keys[0].assignment(), 0x700100u);
    EXPECT_EQ(keys[1].assignment(), 0x100200u);
    EXPECT_EQ(keys[1].key_index, 1);
    EXPECT_EQ(keys[2].assignment(), 0x200900u);
    EXPECT_FALSE(check_macro_keys(keys, 2));
    EXPECT_TRUE(check_macro_keys(keys, 0));
    EXPECT_EQ(keys[0].assignment(), 0x100100u);
}

}  // namespace
}  // namespace tellune::device
