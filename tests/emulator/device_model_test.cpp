// The device models answering hand-written requests, byte for byte.

#include <gtest/gtest.h>

#include "emulator_test_util.h"

namespace tellune::emulator {
namespace {

using test::hex;
using test::Rig;

TEST(MouseModel, AnswersTheSimpleCommandsAndTheProbe) {
    Rig rig(make_mouse());
    ASSERT_NE(rig.connection, nullptr);
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 01 00 01"));
    EXPECT_EQ(rig.exchange(hex("04 02 00 02")), hex("04 02 00 02"));
    EXPECT_EQ(rig.exchange(hex("04 1c 00 1c")), hex("04 1c 00 1c"));
    EXPECT_EQ(rig.exchange(hex("04 aa 00 aa")), hex("04 a9 01 aa 00 00 00 00 ff"));
    rig.device->set_probe_answer(false);
    EXPECT_EQ(rig.exchange(hex("04 aa 00 aa")), hex("04 aa 00 aa"));
    EXPECT_EQ(rig.device->command_count(kCmdProbe), 2u);
}

TEST(MouseModel, InfoBlockCarriesKeySlotsAndMacroUnits) {
    Rig rig(make_mouse());
    // 34 bytes at offset 0: firmware 1.5, product 0x7643, 16 key slots, 16 macro units.
    EXPECT_EQ(rig.exchange(hex("04 25 00 03 22 00 00 00")),
              hex("04 04 01 03 22 00 00 00 05 01 43 76 00 10 10"));
    EXPECT_EQ(rig.device->config().macro_size(), 2048u);
}

TEST(MouseModel, RefusesBadRequestsWithStatusFf) {
    Rig rig(make_mouse());
    // Checksum 0 instead of 0x0025: refused, no payload.
    EXPECT_EQ(rig.exchange(hex("04 00 00 03 22 00 00 00")), hex("04 24 01 03 22 00 00 ff"));
    // Length byte 57.
    EXPECT_EQ(rig.exchange(hex("04 3e 00 05 39 00 00 00")), hex("04 3d 01 05 39 00 00 ff"));
    // Unknown command 0x40.
    EXPECT_EQ(rig.exchange(hex("04 40 00 40")), hex("04 3f 01 40 00 00 00 ff"));
    // A checksum over a bad payload byte: written bytes must not land.
    const std::vector<uint8_t> before = rig.device->memory();
    EXPECT_EQ(rig.exchange(hex("04 ef 00 06 03 80 00 00 11 22 34")),
              hex("04 88 01 06 03 80 00 ff"));
    EXPECT_EQ(rig.device->memory(), before);
}

TEST(MouseModel, WriteAtThenReadAtRoundTrips) {
    Rig rig(make_mouse());
    EXPECT_EQ(rig.exchange(hex("04 ef 00 06 03 80 00 00 11 22 33")), hex("04 89 00 06 03 80 00"));
    EXPECT_EQ(rig.exchange(hex("04 88 00 05 03 80 00 00")),
              hex("04 ee 00 05 03 80 00 00 11 22 33"));
    const std::vector<uint8_t> memory = rig.device->memory();
    EXPECT_EQ(memory[0x80], 0x11);
    EXPECT_EQ(memory[0x82], 0x33);
    EXPECT_EQ(memory[0x83], 0x02);  // profile 1's speed, just past the write, untouched
}

TEST(MouseModel, FactorySettingsBlockOfProfileZero) {
    Rig rig(make_mouse());
    // Active profile index, then the first 16 bytes of its block.
    EXPECT_EQ(rig.exchange(hex("04 06 00 05 01 00 00 00")), hex("04 06 00 05 01"));
    EXPECT_EQ(rig.exchange(hex("04 15 00 05 10 00 00 00")),
              hex("04 22 01 05 10 00 00 00 00 01 03 02 00 01 ff 00 00 00 00 00 00 00 03 04"));
}

TEST(MouseModel, OutOfRangeOffsetsAreRefusedWithStatusFe) {
    Rig rig(make_mouse());
    // Memory is 1024 bytes: 56 at 968 ends exactly at the end, 56 at 976 does not.
    const std::vector<uint8_t> ok = rig.exchange(hex("04 08 01 05 38 c8 03 00"));
    ASSERT_EQ(ok.size(), 64u);
    EXPECT_EQ(ok[7], 0x00);
    EXPECT_EQ(rig.exchange(hex("04 10 01 05 38 d0 03 00")), hex("04 0e 02 05 38 d0 03 fe"));
    // Offset 0xFFFF must not wrap or read past the area.
    EXPECT_EQ(rig.exchange(hex("04 3b 02 05 38 ff ff 00")), hex("04 39 03 05 38 ff ff fe"));
    // A write out of range changes nothing.
    const std::vector<uint8_t> before = rig.device->memory();
    EXPECT_EQ(rig.exchange(hex("04 3d 02 06 38 ff ff 00 01")), hex("04 3a 03 06 38 ff ff fe"));
    EXPECT_EQ(rig.device->memory(), before);
    // The key table is 3·16 = 48 bytes, so a 56-byte block read is refused.
    EXPECT_EQ(rig.exchange(hex("04 3f 00 07 38 00 00 00")), hex("04 3d 01 07 38 00 00 fe"));
}

TEST(MouseModel, KeyTableHoldsTheFactoryButtonCodes) {
    Rig rig(make_mouse());
    // Slots 9 and 10 (offset 27): A0 1B 00, 16 90 01; slot 11 is empty.
    EXPECT_EQ(rig.exchange(hex("04 2b 00 07 09 1b 00 00")),
              hex("04 8d 01 07 09 1b 00 00 a0 1b 00 16 90 01"));
    // Command 9 rewrites slot 0, then it reads back.
    EXPECT_EQ(rig.exchange(hex("04 30 00 09 03 00 00 00 20 00 04")), hex("04 0c 00 09 03"));
    EXPECT_EQ(rig.device->key_table()[0], 0x20);
    EXPECT_EQ(rig.device->key_table()[2], 0x04);
    EXPECT_EQ(rig.device->key_table()[3], 0x10);
}

TEST(MouseModel, MacroAndShootAreasAreSizedAndBounded) {
    Rig rig(make_mouse());
    // Macro area 2048 bytes: 56 at 1992 fits, 56 at 2000 does not.
    auto write = [&](uint8_t command, uint16_t offset, uint8_t fill) {
        std::vector<uint8_t> r = hex("04 00 00");
        r[3] = command;
        r[4] = 56;
        r[5] = static_cast<uint8_t>(offset);
        r[6] = static_cast<uint8_t>(offset >> 8);
        for (int i = 0; i < 56; ++i) r[8 + i] = fill;
        const uint16_t sum = command_checksum(r);
        r[1] = static_cast<uint8_t>(sum);
        r[2] = static_cast<uint8_t>(sum >> 8);
        const std::vector<uint8_t> reply = rig.exchange(r);
        return reply.size() == 64 ? reply[7] : -1;
    };
    EXPECT_EQ(write(kCmdWriteMacros, 1992, 0x5A), 0x00);
    EXPECT_EQ(write(kCmdWriteMacros, 2000, 0x5A), 0xFE);
    EXPECT_EQ(rig.device->macro_area()[2047], 0x5A);
    EXPECT_EQ(rig.device->macro_area()[1991], 0x00);
    // Shoot area: 64 whole chunks.
    EXPECT_EQ(write(kCmdWriteShoot, 63 * 56, 0x33), 0x00);
    EXPECT_EQ(write(kCmdWriteShoot, 64 * 56, 0x33), 0xFE);
    EXPECT_EQ(rig.device->shoot_area().back(), 0x33);
}

TEST(MouseModel, StatusBytesAnswerReadRange) {
    Rig rig(make_mouse());
    EXPECT_EQ(rig.exchange(hex("04 20 00 1a 06 00 00 00")), hex("04 84 00 1a 06 00 00 00 64"));
    const uint8_t status[] = {0x32, 0x01, 0x00, 0x01, 0x07, 0x02};
    rig.device->set_status_bytes(status);
    EXPECT_EQ(rig.exchange(hex("04 20 00 1a 06 00 00 00")),
              hex("04 5d 00 1a 06 00 00 00 32 01 00 01 07 02"));
    // 16 status bytes: 6 at 12 would run past them.
    EXPECT_EQ(rig.exchange(hex("04 2c 00 1a 06 0c 00 00")), hex("04 2a 01 1a 06 0c 00 fe"));
}

TEST(KeyboardModel, KeyTableAndLedIndexTable) {
    Rig rig(make_keyboard());
    ASSERT_NE(rig.connection, nullptr);
    // Info: 126 key slots (0x7e), 16 macro units; product 0.
    EXPECT_EQ(rig.exchange(hex("04 25 00 03 22 00 00 00")),
              hex("04 b9 00 03 22 00 00 00 05 01 00 00 00 7e 10"));
    // Slots 16 and 17: A0 1B 00 and A0 24 00.
    EXPECT_EQ(rig.exchange(hex("04 3d 00 07 06 30 00 00")),
              hex("04 bc 01 07 06 30 00 00 a0 1b 00 a0 24 00"));
    // Slot 125 (offset 375 = 0x177): right GUI, modifier 0x80.
    EXPECT_EQ(rig.exchange(hex("04 82 00 07 03 77 01 00")),
              hex("04 22 01 07 03 77 01 00 20 80 00"));
    // The LEDs are wired in reverse: slots 0, 1, 2 light LEDs 125, 124, 123.
    EXPECT_EQ(rig.exchange(hex("04 1e 00 1b 03 00 00 00")),
              hex("04 92 01 1b 03 00 00 00 7d 7c 7b"));
    EXPECT_EQ(rig.device->key_table().size(), 378u);
}

TEST(KeyboardModel, LightFramesAreCollectedWhenTheLastChunkArrives) {
    Rig rig(make_keyboard());
    const size_t frame_size = 378;  // 3 · 126
    std::vector<uint8_t> frame(frame_size);
    for (size_t i = 0; i < frame_size; ++i) frame[i] = static_cast<uint8_t>(i * 7);
    for (size_t pos = 0; pos < frame_size; pos += 56) {
        const size_t n = std::min<size_t>(56, frame_size - pos);
        std::vector<uint8_t> r = hex("04 00 00 12");
        r[4] = static_cast<uint8_t>(n);
        r[5] = static_cast<uint8_t>(pos);
        r[6] = static_cast<uint8_t>(pos >> 8);
        std::copy_n(frame.begin() + static_cast<ptrdiff_t>(pos), n, r.begin() + 8);
        const uint16_t sum = command_checksum(r);
        r[1] = static_cast<uint8_t>(sum);
        r[2] = static_cast<uint8_t>(sum >> 8);
        const std::vector<uint8_t> reply = rig.exchange(r);
        ASSERT_EQ(reply.size(), 64u);
        EXPECT_EQ(reply[7], 0);
        // Not complete before the last chunk.
        EXPECT_EQ(rig.device->light_frame_count(), pos + n == frame_size ? 1u : 0u);
    }
    ASSERT_EQ(rig.device->light_frames().size(), 1u);
    EXPECT_EQ(rig.device->light_frames()[0], frame);
    // Custom colour group 1 of 8 lies at 378.
    EXPECT_EQ(rig.exchange(hex("04 8f 00 0b 03 7a 01 00 01 02 03")), hex("04 89 00 0b 03 7a 01"));
    EXPECT_EQ(rig.device->custom_colours()[378], 0x01);
    EXPECT_EQ(rig.device->custom_colours().size(), 8u * 378);
}

TEST(KeyboardModel, SettingsBlocksLieTwentyFiveBytesApart) {
    Rig rig(make_keyboard());
    // Profile 1's block at 25: spectrum, brightness 4, speed 2.
    EXPECT_EQ(rig.exchange(hex("04 22 00 05 04 19 00 00")),
              hex("04 29 00 05 04 19 00 00 00 01 04 02"));
}

TEST(HeadsetModel, OneCollectionTakesCommandsAndLightReports) {
    Rig rig(make_headset());
    ASSERT_NE(rig.connection, nullptr);
    EXPECT_EQ(rig.exchange(hex("04 1e 00 05 19 00 00 00")).at(9), 0x01);  // effect 1
    // Red of LEDs 0-6, then of LEDs 7-12, as 17-byte output reports.
    EXPECT_TRUE(rig.connection->send_output_report(hex("ff 22 aa 00 f7 01 02 03 04 05 06", 17)));
    EXPECT_TRUE(rig.connection->send_output_report(hex("ff 44 ad 00 10 11 12 13 14 15", 17)));
    EXPECT_TRUE(rig.connection->send_output_report(hex("ff 22 ae 00 99", 17)));
    // A light report of the wrong length or id is refused.
    EXPECT_FALSE(rig.connection->send_output_report(hex("ff 22 aa 00 01", 16)));
    EXPECT_FALSE(rig.connection->send_output_report(hex("05 22 aa 00 01", 17)));
    const auto leds = rig.device->headset_leds();
    EXPECT_EQ(leds[0][0], 0xF7);
    EXPECT_EQ(leds[6][0], 0x06);
    EXPECT_EQ(leds[7][0], 0x10);
    EXPECT_EQ(leds[12][0], 0x15);
    EXPECT_EQ(leds[7][1], 0x99);
    EXPECT_EQ(leds[8][1], 0x00);
    ASSERT_EQ(rig.device->output_reports().size(), 3u);
    EXPECT_EQ(rig.device->output_reports()[0], hex("ff 22 aa 00 f7 01 02 03 04 05 06", 17));
}

TEST(MousePadModel, WritesAtSixtyFourReadsAtTwentyFive) {
    Rig rig(make_mouse_pad());
    ASSERT_NE(rig.connection, nullptr);
    // No keys: the block read of one slot is out of range.
    EXPECT_EQ(rig.exchange(hex("04 0a 00 07 03 00 00 00")), hex("04 08 01 07 03 00 00 fe"));
    // Factory block: wave, brightness 4, speed 2, multi-colour magenta.
    EXPECT_EQ(rig.exchange(hex("04 0e 00 05 09 00 00 00")),
              hex("04 13 02 05 09 00 00 00 00 00 04 02 00 01 ff 00 ff"));
}

}  // namespace
}  // namespace tellune::emulator
