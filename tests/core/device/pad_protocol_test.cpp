// The mouse pad's settings block against bytes worked out by hand, over the emulated pad.

#include "core/device/pad_protocol.h"

#include <gtest/gtest.h>

#include "tests/core/device/lit_device_rig.h"

namespace tellune::device {
namespace {

using test::hex;
using test::LitDeviceRig;
using test::Request;

LightSettings light(uint8_t mode, uint8_t level, uint8_t speed, uint8_t fx, uint8_t multi,
                    uint8_t r, uint8_t g, uint8_t b) {
    return LightSettings::make(mode, level, speed, fx, multi, r, g, b, 0);
}

std::vector<uint8_t> payload(const std::vector<uint8_t>& report, size_t count) {
    return {report.begin() + 8, report.begin() + 8 + static_cast<ptrdiff_t>(count)};
}

TEST(PadBlock, ConversionsBothWays) {
    PadBlock b{};
    b[1] = 9;
    b[3] = 1;
    EXPECT_EQ(pad_block_to_device(b)[1], 0);  // a mode above 8 is sent as 0
    EXPECT_EQ(pad_block_to_device(b)[3], 3);
    b[1] = 8;
    b[3] = 253;  // a speed the pad reported as 7 goes back as 7
    EXPECT_EQ(pad_block_to_device(b)[1], 8);
    EXPECT_EQ(pad_block_to_device(b)[3], 7);
    const std::vector<uint8_t> read =
        hex("02 06 03 00 44 01 0a 0b 0c 90 91 92 93 94 95 96 97 98 99 9a 9b ee ee ee ee");
    const PadBlock taken = pad_block_from_device(read);
    EXPECT_EQ(taken[3], 4);
    EXPECT_EQ(taken[20], 0x9b);
    EXPECT_EQ(pad_block_to_device(taken)[3], 0);
}

TEST(PadProtocol, WriteBeforeAnyReadSendsZeroesForTheReadBytes) {
    LitDeviceRig rig = LitDeviceRig::pad();
    ASSERT_TRUE(rig.opened);
    PadProtocol pad(rig.channel);
    // Mode 9 exists only in the preview; speed 1 goes out as 3.
    pad.apply_light_settings(light(9, 3, 1, 1, 1, 10, 20, 30), {}, {});
    rig.clear_log();
    ASSERT_EQ(pad.write_settings(0), 1);

    EXPECT_EQ(rig.requests(), (std::vector<Request>{{1, 0, 0}, {6, 21, 0}, {2, 0, 0}}));
    const auto writes = rig.reports_of(6);
    ASSERT_EQ(writes.size(), 1u);
    // Checksum 6 + 21 + (3 + 3 + 1 + 10 + 20 + 30) = 94.
    EXPECT_EQ(std::vector<uint8_t>(writes[0].begin(), writes[0].begin() + 17),
              hex("04 5e 00 06 15 00 00 00 00 00 03 03 00 01 0a 14 1e"));
    EXPECT_EQ(payload(writes[0], 21),
              hex("00 00 03 03 00 01 0a 14 1e 00 00 00 00 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(test::bytes(rig.device->memory(), 0, 21), payload(writes[0], 21));
    // The object keeps the mode and the speed as they are.
    EXPECT_EQ(pad.block()[1], 9);
    EXPECT_EQ(pad.block()[3], 1);
}

TEST(PadProtocol, WritesTakeTheReadBytesBackAndGoToProfileTimes64) {
    LitDeviceRig rig = LitDeviceRig::pad();
    // Active profile 2: its block lies at 2 * 25.
    ASSERT_TRUE(rig.device->poke_memory(0, hex("02")));
    ASSERT_TRUE(rig.device->poke_memory(
        50, hex("02 06 02 01 44 00 01 02 03 90 91 92 93 94 95 96 97 98 99 9a 9b a0 a1 a2 a3")));
    PadProtocol pad(rig.channel);
    rig.clear_log();
    ASSERT_EQ(pad.read_settings_block(), 1);
    EXPECT_EQ(rig.requests(), (std::vector<Request>{{5, 1, 0}, {5, 25, 50}}));
    EXPECT_EQ(pad.block()[0], 2);
    EXPECT_EQ(pad.block()[1], 6);
    EXPECT_EQ(pad.block()[3], 3);  // 4 - 1

    // The profile's lighting replaces bytes 1-3 and 5-8 only.
    pad.apply_light_settings(light(2, 4, 0, 0, 1, 0xAA, 0xBB, 0xCC), {}, {});
    rig.clear_log();
    ASSERT_EQ(pad.write_settings(1), 1);
    EXPECT_EQ(rig.requests(), (std::vector<Request>{{1, 0, 0}, {6, 21, 64}, {2, 0, 0}}));
    EXPECT_EQ(payload(rig.reports_of(6).at(0), 21),
              hex("02 02 04 04 44 01 aa bb cc 90 91 92 93 94 95 96 97 98 99 9a 9b"));
}

TEST(PadProtocol, FailedReadKeepsTheBlockAndClearsThePause) {
    LitDeviceRig rig = LitDeviceRig::pad();
    PadProtocol pad(rig.channel);
    pad.apply_light_settings(light(3, 2, 2, 0, 0, 1, 2, 3), {}, {});
    const PadBlock before = pad.block();
    rig.channel.SetPause(1);
    // Profile 1 is active; the read of its block is refused out of range.
    ASSERT_TRUE(rig.device->poke_memory(0, hex("01")));
    rig.device->fail_chunk(0xFE, 2, 5);
    EXPECT_EQ(pad.read_settings_block(), -103);
    EXPECT_EQ(rig.channel.Pause(), 0);
    EXPECT_EQ(pad.block(), before);
    EXPECT_EQ(pad.previous_block(), before);
    EXPECT_EQ(pad.light().settings().select_item(), 3);
}

TEST(PadProtocol, ClosedChannelSendsNothing) {
    LitDeviceRig rig = LitDeviceRig::pad();
    rig.channel.Disconnect();
    PadProtocol pad(rig.channel);
    rig.clear_log();
    EXPECT_EQ(pad.connect_device(), 0);
    EXPECT_EQ(pad.write_settings(0), 0);
    EXPECT_EQ(pad.read_settings_block(), 0);
    EXPECT_TRUE(rig.requests().empty());
}

TEST(PadProtocol, ConnectionReadsTheInformationBlockBetweenBeginAndEnd) {
    LitDeviceRig rig = LitDeviceRig::pad();
    PadProtocol pad(rig.channel);
    rig.clear_log();
    EXPECT_EQ(pad.connect_device(), 1);
    ASSERT_GE(rig.requests().size(), 3u);
    EXPECT_EQ(rig.requests().front().command, 1);
    EXPECT_EQ(rig.requests()[1].command, 3);
    EXPECT_EQ(rig.requests().back().command, 2);
    EXPECT_EQ(pad.info_block()[2], 0x04);  // product id 0x1004, low byte first
    EXPECT_EQ(pad.info_block()[3], 0x10);
}

TEST(PadProtocol, RefusedBeginStillSendsTheDataAndTheEnd) {
    LitDeviceRig rig = LitDeviceRig::pad();
    PadProtocol pad(rig.channel);
    pad.apply_light_settings(light(1, 4, 2, 0, 0, 0, 0, 0), {}, {});
    rig.device->fail_chunk(0xFF, 1, 1);
    rig.clear_log();
    EXPECT_EQ(pad.write_settings(0), -102);
    EXPECT_EQ(rig.requests(), (std::vector<Request>{{1, 0, 0}, {6, 21, 0}, {2, 0, 0}}));
    EXPECT_EQ(rig.device->memory()[1], 1);
}

TEST(PadProtocol, ReadOfMode6TurnsThePictureToTheLedSpectrum) {
    LitDeviceRig rig = LitDeviceRig::pad();
    PadProtocol pad(rig.channel);
    // The profile says static.
    pad.apply_light_settings(light(3, 4, 4, 1, 1, 9, 9, 9), {}, {});
    ASSERT_TRUE(rig.device->poke_memory(0, hex("00 06 04 00 00 01 09 09 09")));
    ASSERT_EQ(pad.read_settings_block(), 1);
    const LightSettings shown = pad.light().settings();
    EXPECT_EQ(shown.select_item(), kPadLedSpectrum);
    EXPECT_EQ(shown.speed(), 4);
    EXPECT_EQ(pad.light_settings().select_item(), 3);  // the profile's copy is untouched

    // The engine runs what the thread runs: the LED spectrum, a new lit LED every second run.
    LightEngine e(kPadLedCount, LightModel::pad);
    e.apply_light_settings(shown, {}, {}, 0);
    for (uint32_t t = 1; t <= 9; ++t) e.tick(t);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 0, 24, 214}));
    EXPECT_EQ(e.leds()[1].level, 0);
}

}  // namespace
}  // namespace tellune::device
