// The mouse protocol against the emulated mouse: the exact command sequences, what lands in
// the device's memory, and what happens when the device refuses or vanishes.

#include <gtest/gtest.h>

#include "core/profile/profile_data.h"
#include "mouse_test_util.h"
#include "test_support/temp_dir.h"

namespace tellune::device {
namespace {

using emulator::mouse_config;
using test::bytes;
using test::hex;
using test::MouseRig;

MouseSettings worked_settings() {
    MouseSettings s;
    s.light = LightSettings::make(2, 4, 1, 0, 1, 0xA0, 0xB0, 0xC0, 0);
    s.stages = {{1, 0, 0x0009, 0, 1, 2, 3}, {1, 0, 0x0110, 0, 4, 5, 6}};
    s.active_stage = 1;
    s.system.word[2] = 0x00020000;  // report rate 2
    s.system.word[3] = 0x00000003;  // lift 3
    return s;
}

const std::vector<uint8_t> kWiredBlock =
    hex("00 02 04 03 00 01 a0 b0 c0 00 00 00 00 00 02 09 00 10 01 00 00 00 00 01 00 00 00 00 00 00 "
        "00 00 01 02 03 04 05 06 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03 00 00");

TEST(MouseConnect, WiredSequenceReadsInfoAndKeyTable) {
    MouseRig rig;
    ASSERT_TRUE(rig.opened);
    const ConnectResult r = rig.mouse.connect_device();
    EXPECT_EQ(r.result, 1);
    EXPECT_FALSE(r.firmware_update_needed);  // the emulated mouse reports 0x0102
    EXPECT_EQ(rig.commands(), hex("01 03 07 02"));
    const auto reqs = rig.requests();
    EXPECT_EQ(reqs[1].length, 34);  // whole information block in one chunk
    EXPECT_EQ(reqs[2].length, 48);  // 3·16 bytes of key table
    EXPECT_EQ(rig.config.BlockSize(), 48);
    EXPECT_EQ(rig.mouse.key_slots(), 16);
    EXPECT_EQ(rig.mouse.info_block()[6], 16);
    const ButtonSlotMap expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(rig.mouse.button_slot_map(), expected);
    EXPECT_EQ(
        bytes({rig.mouse.key_table_cache().begin(), rig.mouse.key_table_cache().end()}, 27, 9),
        hex("a0 1b 00 16 90 01 00 00 00"));
}

TEST(MouseConnect, WirelessProbesFirstAndStopsWhenTheMouseIsAway) {
    MouseRig rig(mouse_config(), true);
    EXPECT_EQ(rig.mouse.connect_device().result, 1);
    EXPECT_EQ(rig.commands(), hex("aa 01 03 07 02"));

    MouseRig away(mouse_config(), true);
    away.device->set_probe_answer(false);
    EXPECT_EQ(away.mouse.connect_device().result, 0);
    EXPECT_EQ(away.commands(), hex("aa"));
    EXPECT_FALSE(away.mouse.has_key_table());
}

TEST(MouseConnect, FirmwareDecisionByHidVersion) {
    for (auto [version, prompt] : std::vector<std::pair<uint16_t, bool>>{
             {0x0000, false}, {0x0001, true}, {0x0100, true}, {0x0101, false}}) {
        emulator::DeviceConfig c = mouse_config();
        c.version = version;
        MouseRig rig(c);
        const ConnectResult r = rig.mouse.connect_device();
        EXPECT_EQ(r.result, 1) << version;
        EXPECT_EQ(r.firmware_update_needed, prompt) << version;
    }
}

// A reconnection (here to another mouse) whose closing 0x02 is refused has still replaced
// the key table: the button map must follow it, or assignments land on other keys' slots.
TEST(MouseConnect, RefusedEndOfAReconnectionKeepsTableAndButtonMapTogether) {
    MouseRig rig;
    ASSERT_EQ(rig.mouse.connect_device().result, 1);
    emulator::DeviceConfig c = mouse_config(1);
    c.info[5] = 12;  // 12 slots, the buttons in reverse order
    c.key_table.assign(36, 0);
    for (size_t b = 0; b < kMouseButtons; ++b)
        std::copy(kMouseFactoryCodes[b].begin(), kMouseFactoryCodes[b].end(),
                  c.key_table.begin() + 3 * (10 - b));
    auto other = std::make_shared<emulator::EmulatedDevice>(c);
    rig.backend.plug(other);
    rig.config.Disconnect();
    ASSERT_TRUE(rig.config.Connect(emulator::interface_paths(*other)[3]));
    other->fail_chunk(0xFF, 1, 0x02);
    EXPECT_EQ(rig.mouse.connect_device().result, -102);
    EXPECT_EQ(rig.mouse.key_slots(), 12);
    const ButtonSlotMap reversed = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    EXPECT_EQ(rig.mouse.button_slot_map(), reversed);
    std::vector<KeyAssignmentRecord> keys(1);
    keys[0].type = 0x20;
    keys[0].param2 = 0x04;
    ASSERT_EQ(rig.mouse.write_key_table(0, keys), 1);
    EXPECT_EQ(bytes(other->key_table(), 30, 3), hex("20 00 04"));  // button 0's slot
    EXPECT_EQ(bytes(other->key_table(), 0, 3), hex("16 90 01"));   // button 10 untouched
}

TEST(MouseConnect, ClosedChannelUnplugAndOversizedTable) {
    MouseRig closed;
    closed.config.Disconnect();
    EXPECT_EQ(closed.mouse.connect_device().result, 0);
    EXPECT_TRUE(closed.commands().empty());

    MouseRig unplug;
    unplug.device->unplug_on_next_request();
    EXPECT_EQ(unplug.mouse.connect_device().result, 0);
    EXPECT_FALSE(unplug.mouse.has_key_table());
    EXPECT_EQ(unplug.mouse.button_slot_map()[0], kNoKeySlot);

    // Gone while the key table is read: no table, no map, and nothing more is sent.
    MouseRig midway;
    midway.device->unplug_on_next_request(0x07);
    EXPECT_EQ(midway.mouse.connect_device().result, 0);
    EXPECT_EQ(midway.commands(), hex("01 03 07"));
    EXPECT_FALSE(midway.mouse.has_key_table());
    EXPECT_EQ(midway.mouse.button_slot_map()[10], kNoKeySlot);

    // 171 slots make a 513-byte table: refused, the sequence is still closed.
    emulator::DeviceConfig c = mouse_config();
    c.info[5] = 171;
    MouseRig big(c);
    const ConnectResult r = big.mouse.connect_device();
    EXPECT_EQ(r.result, kRefusedArgument);
    EXPECT_EQ(big.commands(), hex("01 03 02"));
    EXPECT_FALSE(big.mouse.has_key_table());

    // A refused key table read ends the connection before 0x02.
    MouseRig refused;
    refused.device->fail_chunk(0xFE, 1, 0x07);
    EXPECT_EQ(refused.mouse.connect_device().result, -103);
    EXPECT_EQ(refused.commands(), hex("01 03 07"));
}

TEST(MouseKeys, MissingFactoryCodeLeavesTheButtonUnsent) {
    emulator::DeviceConfig c = mouse_config();
    // Button 3's slot holds another code; button 10's code sits in slots 14 and 15.
    c.key_table[9] = 0x10;
    c.key_table[10] = 0x20;
    std::fill(c.key_table.begin() + 30, c.key_table.begin() + 33, 0);
    std::copy_n(hex("16 90 01 16 90 01").begin(), 6, c.key_table.begin() + 42);
    MouseRig rig(c);
    ASSERT_EQ(rig.mouse.connect_device().result, 1);
    const ButtonSlotMap expected = {0, 1, 2, 126, 4, 5, 6, 7, 8, 9, 14};
    EXPECT_EQ(rig.mouse.button_slot_map(), expected);

    std::vector<KeyAssignmentRecord> keys(11);
    for (uint8_t i = 0; i < 11; ++i) keys[i] = {i, 0x20, 0x00, static_cast<uint8_t>(4 + i)};
    rig.clear_log();
    EXPECT_EQ(rig.mouse.write_key_table(0, keys), 1);
    EXPECT_EQ(rig.commands(), hex("03 01 09 02"));
    EXPECT_EQ(rig.device->key_table(),
              hex("20 00 04 20 00 05 20 00 06 10 20 00 20 00 08 20 00 09 20 00 0a 20 00 0b "
                  "20 00 0c 20 00 0d 00 00 00 00 00 00 00 00 00 00 00 00 20 00 0e 16 90 01"));
}

TEST(MouseKeys, EveryWriteStartsFromTheTableReadAtConnection) {
    MouseRig rig;
    std::vector<KeyAssignmentRecord> none;
    EXPECT_EQ(rig.mouse.write_key_table(0, none), 0);  // nothing to start from yet
    EXPECT_TRUE(rig.commands().empty());
    ASSERT_EQ(rig.mouse.connect_device().result, 1);
    const std::vector<uint8_t> factory = rig.device->key_table();

    std::vector<KeyAssignmentRecord> keys(2);
    keys[0] = {0, 0x20, 0x00, 0x04};
    keys[1] = {1, 0x70, 0x00, 0x00};
    ASSERT_EQ(rig.mouse.write_key_table(0, keys), 1);
    EXPECT_EQ(bytes(rig.device->key_table(), 0, 6), hex("20 00 04 70 00 00"));
    keys.resize(1);
    keys[0] = {0, 0x20, 0x00, 0x05};
    ASSERT_EQ(rig.mouse.write_key_table(0, keys), 1);
    std::vector<uint8_t> want = factory;
    std::copy_n(hex("20 00 05").begin(), 3, want.begin());
    EXPECT_EQ(rig.device->key_table(), want);  // button 1 is back to its factory code

    EXPECT_EQ(rig.mouse.write_key_table(1, keys), kRefusedArgument);
}

// The mouse reports its factory layout, so a button given another button's code (left does
// a right click) or a keyboard key is still found in its own slot after reconnecting.
TEST(MouseKeys, ReassignedButtonsAreFoundAgainAfterReconnecting) {
    MouseRig rig;
    ASSERT_EQ(rig.mouse.connect_device().result, 1);
    std::vector<KeyAssignmentRecord> keys(kMouseButtons);
    for (uint8_t i = 0; i < kMouseButtons; ++i) {
        const KeyCode& code = kMouseFactoryCodes[i];
        keys[i] = {i, code[0], code[1], code[2], 0, i, code[0], code[1], code[2], 0};
    }
    keys[0].param1 = 0x02;
    keys[4] = {4, 0x20, 0x01, 0x04, 0, 4, 0x10, 0x08, 0x00, 0};
    ASSERT_EQ(rig.mouse.write_key_table(0, keys), 1);
    ASSERT_EQ(rig.mouse.connect_device().result, 1);
    const ButtonSlotMap identity = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(rig.mouse.button_slot_map(), identity);
    keys[4].type = 0x30;
    keys[4].param1 = 0xE9;
    keys[4].param2 = 0x00;
    ASSERT_EQ(rig.mouse.write_key_table(0, keys), 1);
    EXPECT_EQ(bytes(rig.device->key_table(), 0, 15),
              hex("10 02 00 10 02 00 10 04 00 10 10 00 30 e9 00"));
}

TEST(MouseSettingsWrite, NinetyFiveBytesAtOffsetZeroFramed) {
    MouseRig rig;
    const uint8_t marker[2] = {0xEE, 0xEE};
    rig.device->poke_memory(94, marker);  // byte 94 is written, byte 95 is not
    rig.mouse.settings() = worked_settings();
    EXPECT_EQ(rig.mouse.write_settings(0), 1);
    const auto reqs = rig.requests();
    ASSERT_EQ(reqs.size(), 4u);
    EXPECT_EQ(rig.commands(), hex("01 06 06 02"));
    EXPECT_EQ(reqs[1].offset, 0);
    EXPECT_EQ(reqs[1].length, 56);
    EXPECT_EQ(reqs[2].offset, 56);
    EXPECT_EQ(reqs[2].length, 39);
    const std::vector<uint8_t> memory = rig.device->memory();
    EXPECT_EQ(bytes(memory, 0, 59), kWiredBlock);
    EXPECT_EQ(memory[94], 0x00);
    EXPECT_EQ(memory[95], 0xEE);
}

TEST(MouseSettingsWrite, WirelessProbesBeforeEveryCommandAndSendsSpeedAsIs) {
    MouseRig rig(mouse_config(), true);
    rig.mouse.settings() = worked_settings();
    EXPECT_EQ(rig.mouse.write_settings(0), 1);
    EXPECT_EQ(rig.commands(), hex("aa 01 aa 06 06 aa 02"));
    EXPECT_EQ(rig.device->memory()[3], 0x01);

    // Read back over the receiver, the speed byte is still taken as 4 - byte.
    ASSERT_EQ(rig.mouse.read_settings_block(), 1);
    EXPECT_EQ(rig.mouse.settings().light.speed(), 3);
}

TEST(MouseSettingsWrite, RefusalMidWriteStopsWithoutClosing) {
    MouseRig rig;
    rig.mouse.settings() = worked_settings();
    rig.device->fail_chunk(0xFE, 2, 0x06);
    EXPECT_EQ(rig.mouse.write_settings(0), -103);
    EXPECT_EQ(rig.commands(), hex("01 06 06"));

    MouseRig rejected;
    rejected.device->fail_chunk(0xFF, 1, 0x01);
    EXPECT_EQ(rejected.mouse.write_settings(0), -102);
    EXPECT_EQ(rejected.commands(), hex("01"));

    MouseRig away(mouse_config(), true);
    away.device->set_probe_answer(false);
    EXPECT_EQ(away.mouse.write_settings(0), 0);
    EXPECT_EQ(away.commands(), hex("aa"));
}

TEST(MouseSettingsRead, TakesTheActiveProfilesBlockAndSavesTheProfile) {
    TempDir tmp;
    MouseRig rig;
    rig.mouse.settings().light = LightSettings::make(0, 0, 0, 1, 0, 0, 0, 0, 0);
    rig.config.SetPause(1);
    CMouseProfiledata profile;
    profile.set_profile_path(tmp.file("p.Json"));
    ASSERT_EQ(rig.mouse.read_settings_block(&profile), 1);
    EXPECT_EQ(rig.config.Pause(), 0);
    EXPECT_EQ(rig.commands(), hex("05 05 05"));
    const auto reqs = rig.requests();
    EXPECT_EQ(reqs[0].length, 1);
    EXPECT_EQ(reqs[1].length, 56);
    EXPECT_EQ(reqs[2].length, 3);
    // The emulated factory block: spectrum-like mode 1, brightness 3, device speed 2,
    // multi-colour red, report rate 3, stage 1, lift 1.
    const MouseSettings& s = rig.mouse.settings();
    EXPECT_EQ(s.light, LightSettings::make(1, 3, 2, 1, 1, 0xFF, 0, 0, 0));
    EXPECT_EQ(s.active_stage, 1);
    EXPECT_EQ(s.system.word[2] >> 16, 3u);
    EXPECT_EQ(s.system.word[3], 1u);

    CMouseProfiledata saved;
    saved.load_profile(tmp.file("p.Json"));
    EXPECT_EQ(saved.read_light_settings(), s.light);
    saved.read_dpi_stages();
    EXPECT_EQ(saved.active_stage(), 1);

    // Profile 2 active: its block lies at 256.
    const uint8_t two[1] = {2};
    rig.device->poke_memory(0, two);
    const uint8_t mode7[1] = {7};
    rig.device->poke_memory(257, mode7);
    rig.clear_log();
    ASSERT_EQ(rig.mouse.read_settings_block(), 1);
    EXPECT_EQ(rig.requests()[1].offset, 256);
    EXPECT_EQ(rig.mouse.settings().light.select_item(), 7);
    EXPECT_EQ(rig.mouse.previous_block()[1], 1);
    EXPECT_EQ(rig.mouse.block()[1], 7);
}

TEST(MouseSettingsRead, WirelessReadsOneHundredBytesAndFailuresChangeNothing) {
    MouseRig rig(mouse_config(), true);
    ASSERT_EQ(rig.mouse.read_settings_block(), 1);
    EXPECT_EQ(rig.commands(), hex("aa 05 05 05"));
    EXPECT_EQ(rig.requests()[3].length, 44);

    MouseRig failing;
    failing.mouse.settings() = worked_settings();
    failing.device->fail_chunk(0xFE, 2, 0x05);
    EXPECT_EQ(failing.mouse.read_settings_block(), -103);
    EXPECT_EQ(failing.mouse.settings().light, worked_settings().light);
    EXPECT_EQ(failing.mouse.block()[1], 0);

    // An active profile index past the memory is refused by the device.
    MouseRig far;
    const uint8_t index[1] = {200};
    far.device->poke_memory(0, index);
    EXPECT_EQ(far.mouse.read_settings_block(), -103);
}

}  // namespace
}  // namespace tellune::device
