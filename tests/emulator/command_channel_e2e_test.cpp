// CCommandChannel driven against the emulated devices end to end.

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "core/hid/command_channel.h"
#include "core/hid/hid_device.h"
#include "emulator_test_util.h"

namespace tellune::emulator {
namespace {

using namespace std::chrono_literals;
using hid::CCommandChannel;

struct Channel {
    explicit Channel(std::shared_ptr<EmulatedDevice> d, size_t collection = 3)
        : device(std::move(d)) {
        backend.plug(device);
        const auto paths = interface_paths(*device);
        connected = channel.Connect(paths[std::min(collection, paths.size() - 1)]);
    }
    EmulatedBackend backend;
    std::shared_ptr<EmulatedDevice> device;
    CCommandChannel channel{backend};
    bool connected = false;
};

// The offsets of the requests with this command byte that the device received.
std::vector<int> received_offsets(EmulatedDevice& device, uint8_t command) {
    std::vector<int> offsets;
    for (const LogEntry& e : device.log().entries())
        if (e.direction == Direction::received && e.bytes.size() == 64 && e.bytes[3] == command)
            offsets.push_back(e.bytes[5] | e.bytes[6] << 8);
    return offsets;
}

TEST(ChannelEndToEnd, ConnectionSequenceOfTheMouse) {
    Channel c(make_mouse());
    ASSERT_TRUE(c.connected);
    EXPECT_TRUE(c.channel.Probe());
    EXPECT_EQ(c.channel.SimpleCommand1(), 1);
    std::array<uint8_t, 32> info{};
    uint16_t word = 0xFFFF;
    ASSERT_EQ(c.channel.ReadInfo(info, word), 1);
    EXPECT_EQ(info[5], 16);
    EXPECT_EQ(info[6], 16);
    EXPECT_EQ(word, 0);
    ASSERT_EQ(c.channel.SetBlockSize(3 * info[5]), 1);
    std::vector<uint8_t> table(512, 0xEE);
    ASSERT_EQ(c.channel.ReadBlock(table), 1);
    EXPECT_EQ((std::vector<uint8_t>(table.begin() + 30, table.begin() + 36)),
              (std::vector<uint8_t>{0x16, 0x90, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(table[48], 0xEE);  // only 3·K bytes were read
    EXPECT_EQ(c.channel.SimpleCommand2(), 1);
    // Settings: active profile, then its block.
    std::array<uint8_t, 1> p{};
    ASSERT_EQ(c.channel.ReadAt(p, 0), 1);
    std::array<uint8_t, 59> block{};
    ASSERT_EQ(c.channel.ReadAt(block, p[0] * 128), 1);
    EXPECT_EQ(block[23], 1);  // active DPI stage
    EXPECT_EQ(block[56], 1);  // lift
    std::array<uint8_t, 6> status{};
    ASSERT_EQ(c.channel.ReadRange(status, 0), 1);
    EXPECT_EQ(status[0], 100);
}

TEST(ChannelEndToEnd, WritesLandInTheDeviceMemory) {
    Channel c(make_mouse());
    std::vector<uint8_t> block(95);
    std::iota(block.begin(), block.end(), uint8_t{0});
    ASSERT_EQ(c.channel.WriteAt(block, 0), 1);
    EXPECT_EQ(received_offsets(*c.device, kCmdWriteAt), (std::vector<int>{0, 56}));
    const auto memory = c.device->memory();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), memory.begin()));
    EXPECT_EQ(memory[95], 0x00);  // profile 0's byte 95 was zero and stays so

    // A macro image exactly filling the area is taken; one byte more is refused at the end.
    std::vector<uint8_t> macros(2048, 0x7B);
    EXPECT_EQ(c.channel.WriteBuffer(macros), 1);
    EXPECT_EQ(c.device->macro_area(), macros);
    macros.push_back(0x7B);
    EXPECT_EQ(c.channel.WriteBuffer(macros), -103);

    std::vector<uint8_t> shoot(5 * 56, 0x42);
    EXPECT_EQ(c.channel.WriteBufferUnlocked(shoot), 1);
    EXPECT_EQ(c.device->shoot_area()[5 * 56 - 1], 0x42);
}

TEST(ChannelEndToEnd, KeyboardKeyTableLedIndicesAndFrames) {
    Channel c(make_keyboard());
    ASSERT_EQ(c.channel.SetBlockSize(378), 1);
    std::vector<uint8_t> leds(512);
    ASSERT_EQ(c.channel.ReadThirdBlock(leds), 1);
    EXPECT_EQ(received_offsets(*c.device, kCmdReadThirdBlock), (std::vector<int>{0, 56, 112}));
    EXPECT_EQ(leds[0], 125);
    EXPECT_EQ(leds[125], 0);

    std::vector<uint8_t> table(378);
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i % 251);
    ASSERT_EQ(c.channel.WriteBlock(table, 0), 1);
    EXPECT_EQ(c.device->key_table(), table);
    EXPECT_EQ(received_offsets(*c.device, kCmdWriteBlock),
              (std::vector<int>{0, 56, 112, 168, 224, 280, 336}));

    std::vector<uint8_t> frame(378, 0x11);
    frame[377] = 0x99;
    ASSERT_EQ(c.channel.WriteLightFrame(frame), 1);
    ASSERT_EQ(c.device->light_frame_count(), 1u);
    EXPECT_EQ(c.device->light_frames()[0], frame);

    std::vector<uint8_t> group(378, 0x20);
    ASSERT_EQ(c.channel.WriteIndexed(group, 2, 378), 1);
    EXPECT_EQ(c.device->custom_colours()[2 * 378], 0x20);
    EXPECT_EQ(c.device->custom_colours()[2 * 378 - 1], 0x00);
}

TEST(ChannelEndToEnd, StatusFeAtTheThirdChunkStopsTheWrite) {
    Channel c(make_keyboard());
    ASSERT_EQ(c.channel.SetBlockSize(378), 1);
    c.device->fail_chunk(0xFE, 3, kCmdWriteBlock);
    std::vector<uint8_t> table(378, 0x55);
    EXPECT_EQ(c.channel.WriteBlock(table, 0), -103);
    // The device saw chunks 1 to 3 and no fourth; the first two stay written.
    EXPECT_EQ(received_offsets(*c.device, kCmdWriteBlock), (std::vector<int>{0, 56, 112}));
    const auto stored = c.device->key_table();
    EXPECT_EQ(stored[0], 0x55);
    EXPECT_EQ(stored[111], 0x55);
    EXPECT_EQ(stored[112], 0x00);  // slot 37, parameter 1 from the factory

    c.device->fail_chunk(0xFF, 1);
    EXPECT_EQ(c.channel.SimpleCommand1(), -102);
    EXPECT_EQ(c.channel.SimpleCommand1(), 1);
}

TEST(ChannelEndToEnd, UnplugDuringACommandEndsItWithZeroInTime) {
    Channel c(make_mouse());
    c.device->unplug_on_next_request();
    std::array<uint8_t, 59> block{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.channel.ReadAt(block, 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1100ms);
    EXPECT_TRUE(c.backend.enumerate().empty());
    // Every later command fails too: the write cannot reach the device.
    EXPECT_EQ(c.channel.SimpleCommand1(), -1);
}

TEST(ChannelEndToEnd, StaleReplyWithAnotherCommandByteIsSkipped) {
    Channel c(make_mouse());
    c.device->set_wrong_command_replies(1, true);
    std::array<uint8_t, 6> status{};
    EXPECT_EQ(c.channel.ReadRange(status, 0), 1);
    EXPECT_EQ(status[0], 100);
}

TEST(ChannelEndToEnd, LostReplyCostsTheTimeOut) {
    Channel c(make_mouse());
    c.device->set_no_reply(1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.channel.SimpleCommand1(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
    EXPECT_EQ(c.channel.SimpleCommand1(), 1);
}

TEST(ChannelEndToEnd, HeadsetCommandsAndLightReportsShareItsCollection) {
    Channel c(make_headset(), 0);
    ASSERT_TRUE(c.connected);
    std::array<uint8_t, 25> record{};
    ASSERT_EQ(c.channel.ReadAt(record, 0), 1);
    EXPECT_EQ(record[1], 1);
    EXPECT_EQ(record[3], 2);
    std::vector<uint8_t> report(17, 0);
    report[0] = 0xFF;
    report[1] = 0x22;
    report[2] = 0xAC;
    report[4] = 0xF7;
    EXPECT_TRUE(c.channel.Hid().SendOutputReportSync(report));
    EXPECT_EQ(c.device->headset_leds()[0][2], 0xF7);
}

TEST(ChannelEndToEnd, LatencyOfFullSpeedUsbStillCompletesABlock) {
    Channel c(make_keyboard());
    c.device->set_latency(1500us);
    ASSERT_EQ(c.channel.SetBlockSize(378), 1);
    std::vector<uint8_t> table(512);
    EXPECT_EQ(c.channel.ReadBlock(table), 1);
    EXPECT_EQ(table[48], 0xA0);  // slot 16: A0 1B 00
}

}  // namespace
}  // namespace tellune::emulator

namespace tellune::emulator {
namespace {

// The sync listener's path: a blocking read on the notification collection, decoded into
// its usage, and Close() ending a read that waits without limit.
TEST(ChannelEndToEnd, NotificationCollectionDecodesTheSyncRequest) {
    EmulatedBackend backend;
    auto mouse = make_mouse();
    backend.plug(mouse);
    hid::CHidDevice listener(backend);
    ASSERT_TRUE(listener.Open(interface_paths(*mouse)[2], true, false, true, false));
    ASSERT_EQ(listener.Capabilities().input_report_byte_length, 3);
    std::vector<uint8_t> report(3);
    std::thread injector([&] {
        std::this_thread::sleep_for(10ms);
        mouse->inject_usage(0x0401);
    });
    ASSERT_TRUE(listener.ReadReport(report, -1).ok());
    injector.join();
    ASSERT_TRUE(listener.DecodeInputReport(report));
    const auto usages = listener.InputUsages();
    ASSERT_FALSE(usages.empty());
    ASSERT_FALSE(usages[0].pressed.empty());
    EXPECT_EQ(usages[0].pressed[0], 0x0401);

    hid::IoStatus status = hid::IoStatus::ok;
    std::thread reader([&] { status = listener.ReadReport(report, -1).status; });
    std::this_thread::sleep_for(10ms);
    listener.Close();
    reader.join();
    EXPECT_NE(status, hid::IoStatus::ok);
}

}  // namespace
}  // namespace tellune::emulator
