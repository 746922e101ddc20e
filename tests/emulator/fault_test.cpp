// Fault injection: lost replies, failing chunks, wrong command bytes, unplug mid-command and
// latency.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "emulator_test_util.h"

namespace tellune::emulator {
namespace {

using namespace std::chrono_literals;
using test::hex;
using test::Rig;

TEST(Faults, NoReplyForTheNextExchangesThenNormal) {
    Rig rig(make_mouse());
    rig.device->set_no_reply(2);
    EXPECT_TRUE(rig.exchange(hex("04 ef 00 06 03 80 00 00 11 22 33"), 20).empty());
    EXPECT_TRUE(rig.exchange(hex("04 01 00 01"), 20).empty());
    EXPECT_EQ(rig.device->memory()[0x80], 0x00);  // an ignored request is not applied
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 01 00 01"));
    rig.device->set_no_reply(EmulatedDevice::kForever);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(rig.exchange(hex("04 01 00 01"), 5).empty());
    rig.device->clear_faults();
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 01 00 01"));
}

TEST(Faults, StatusAtChunkNOfTheNextCommand) {
    Rig rig(make_keyboard());
    rig.device->fail_chunk(0xFE, 3, kCmdWriteBlock);
    // A probe in between is another command and does not count.
    EXPECT_EQ(rig.exchange(hex("04 aa 00 aa"))[7], 0x00);
    // Chunks at 0, 56 and 112 of a key table write: the third is refused and not written.
    EXPECT_EQ(rig.exchange(hex("04 0c 00 09 01 00 00 00 02"))[7], 0x00);
    EXPECT_EQ(rig.exchange(hex("04 44 00 09 01 38 00 00 02"))[7], 0x00);
    EXPECT_EQ(rig.exchange(hex("04 7c 00 09 01 70 00 00 02")), hex("04 78 01 09 01 70 00 fe"));
    EXPECT_EQ(rig.device->key_table()[0], 0x02);
    EXPECT_EQ(rig.device->key_table()[56], 0x02);
    EXPECT_EQ(rig.device->key_table()[112],
              0x00);  // parameter 1 of slot 37, as it left the factory
    // Fired once: the same chunk of the next write goes through.
    EXPECT_EQ(rig.exchange(hex("04 0c 00 09 01 00 00 00 02"))[7], 0x00);
    EXPECT_EQ(rig.exchange(hex("04 44 00 09 01 38 00 00 02"))[7], 0x00);
    EXPECT_EQ(rig.exchange(hex("04 7c 00 09 01 70 00 00 02"))[7], 0x00);

    // Any command, first chunk, status 0xFF.
    rig.device->fail_chunk(0xFF, 1);
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 00 01 01 00 00 00 ff"));
}

TEST(Faults, RepliesWithAnotherCommandByte) {
    Rig rig(make_mouse());
    rig.device->set_wrong_command_replies(1, false);
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 81 00 81"));
    EXPECT_TRUE(rig.next_reply(20).empty());
    rig.device->set_wrong_command_replies(1, true);
    EXPECT_EQ(rig.exchange(hex("04 02 00 02")), hex("04 82 00 82"));
    EXPECT_EQ(rig.next_reply(), hex("04 02 00 02"));
    EXPECT_EQ(rig.exchange(hex("04 02 00 02")), hex("04 02 00 02"));
}

TEST(Faults, UnplugAfterTheRequestBeforeTheReply) {
    Rig rig(make_mouse());
    rig.device->unplug_on_next_request();
    std::vector<uint8_t> buffer(64);
    hid::IoStatus read_status = hid::IoStatus::ok;
    std::thread reader([&] { read_status = rig.connection->read(buffer, 1000).status; });
    std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(rig.connection->write(hex("04 ef 00 06 03 80 00 00 11 22 33"), 1000).ok());
    reader.join();
    EXPECT_EQ(read_status, hid::IoStatus::gone);
    EXPECT_FALSE(rig.device->plugged());
    EXPECT_TRUE(rig.backend.enumerate().empty());
    EXPECT_EQ(rig.device->memory()[0x80], 0x00);
    const auto log = rig.device->log().entries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].direction, Direction::received);
}

TEST(Faults, LatencyDelaysTheReply) {
    Rig rig(make_mouse());
    rig.device->set_latency(30ms);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.connection->write(hex("04 01 00 01"), 1000).ok());
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(rig.connection->read(buffer, 5).status, hid::IoStatus::timeout);
    EXPECT_TRUE(rig.connection->read(buffer, 1000).ok());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
    // Spontaneous input reports are not delayed.
    auto consumer = rig.backend.open(interface_paths(*rig.device)[2], {true, true, false});
    rig.device->inject_usage(0x0401);
    EXPECT_TRUE(consumer->read(buffer, 0).ok());
}

}  // namespace
}  // namespace tellune::emulator
