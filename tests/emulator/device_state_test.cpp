// What an emulated device remembers: the key layout it reports against the key table it was
// given, and its writable areas kept in a file across runs, with files of another layout or
// damaged files left unused.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/platform/files.h"
#include "emulator_test_util.h"
#include "test_support/temp_dir.h"

namespace tellune::emulator {
namespace {

using test::hex;
using test::Rig;

// A command request with its checksum.
std::vector<uint8_t> request(uint8_t command, uint16_t offset, std::vector<uint8_t> data) {
    std::vector<uint8_t> r(64, 0);
    r[0] = kCommandReportId;
    r[3] = command;
    r[4] = static_cast<uint8_t>(data.size());
    r[5] = static_cast<uint8_t>(offset & 0xFF);
    r[6] = static_cast<uint8_t>(offset >> 8);
    std::copy(data.begin(), data.end(), r.begin() + 8);
    const uint16_t sum = command_checksum(r);
    r[1] = static_cast<uint8_t>(sum & 0xFF);
    r[2] = static_cast<uint8_t>(sum >> 8);
    return r;
}

uint8_t status_of(const std::vector<uint8_t>& reply) {
    return reply.size() > 7 ? reply[7] : 0xEE;
}

// Slot 4 (button 4) gets Ctrl+A and the settings byte at 5 a mark, framed as a host does.
void reassign(Rig& rig) {
    ASSERT_EQ(status_of(rig.exchange(request(kCmdBegin, 0, {}))), kStatusOk);
    ASSERT_EQ(status_of(rig.exchange(request(kCmdWriteBlock, 12, hex("20 01 04", 0)))), kStatusOk);
    ASSERT_EQ(status_of(rig.exchange(request(kCmdWriteAt, 5, hex("5a", 0)))), kStatusOk);
    ASSERT_EQ(status_of(rig.exchange(request(kCmdEnd, 0, {}))), kStatusOk);
}

TEST(DeviceState, KeyTableReadsGiveTheFactoryLayoutAfterAWrite) {
    Rig rig(make_mouse());
    reassign(rig);
    const std::vector<uint8_t> active = rig.device->key_table();
    EXPECT_EQ(std::vector<uint8_t>(active.begin() + 12, active.begin() + 15), hex("20 01 04", 0));
    // The layout read still shows button 4's factory code in slot 4.
    const std::vector<uint8_t> reply = rig.exchange(request(kCmdReadBlock, 12, hex("00 00 00", 0)));
    ASSERT_EQ(status_of(reply), kStatusOk);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 8, reply.begin() + 11), hex("10 08 00", 0));
}

TEST(DeviceState, KeptAcrossRunsWhenAWriteSequenceEnds) {
    TempDir dir;
    const std::string file = dir.file("mouse0.state");
    std::vector<uint8_t> table, memory;
    {
        Rig rig(make_mouse());
        EXPECT_FALSE(rig.device->keep_state(file));  // nothing kept yet
        ASSERT_EQ(status_of(rig.exchange(request(kCmdBegin, 0, {}))), kStatusOk);
        ASSERT_EQ(status_of(rig.exchange(request(kCmdWriteBlock, 12, hex("20 01 04", 0)))),
                  kStatusOk);
        // Not saved before the sequence ends.
        EXPECT_TRUE(read_whole_file(file).empty());
        ASSERT_EQ(status_of(rig.exchange(request(kCmdEnd, 0, {}))), kStatusOk);
        EXPECT_FALSE(read_whole_file(file).empty());
        reassign(rig);
        table = rig.device->key_table();
        memory = rig.device->memory();
    }
    Rig next(make_mouse());
    EXPECT_TRUE(next.device->keep_state(file));
    EXPECT_EQ(next.device->key_table(), table);
    EXPECT_EQ(next.device->memory(), memory);
    EXPECT_EQ(next.device->memory()[5], 0x5A);
    // Reads and framing alone do not rewrite the file.
    std::filesystem::remove(file);
    ASSERT_EQ(status_of(next.exchange(request(kCmdBegin, 0, {}))), kStatusOk);
    ASSERT_EQ(status_of(next.exchange(request(kCmdReadAt, 0, hex("00", 0)))), kStatusOk);
    ASSERT_EQ(status_of(next.exchange(request(kCmdEnd, 0, {}))), kStatusOk);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(DeviceState, FilesOfAnotherLayoutOrDamagedAreNotTaken) {
    TempDir dir;
    const std::string good = dir.file("good.state");
    {
        Rig rig(make_mouse());
        rig.device->keep_state(good);
        reassign(rig);
    }
    const std::string bytes = read_whole_file(good);
    ASSERT_FALSE(bytes.empty());
    const std::vector<uint8_t> factory = make_mouse()->key_table();
    const std::string cases[] = {
        "",
        "not a state file",
        bytes.substr(0, bytes.size() - 1),  // cut short
        bytes + "x",                        // trailing bytes
        bytes.substr(0, bytes.find('\n') + 1) + "99999999999999999999\n",
        bytes.substr(0, bytes.find('\n') + 1) + "-1\n",
    };
    int n = 0;
    for (const std::string& text : cases) {
        const std::string path = dir.file("case" + std::to_string(n++) + ".state");
        ASSERT_TRUE(write_file_atomic(path, text));
        auto device = make_mouse();
        EXPECT_FALSE(device->keep_state(path)) << n;
        EXPECT_EQ(device->key_table(), factory) << n;
        EXPECT_EQ(device->memory()[5], make_mouse()->memory()[5]) << n;
    }
    // A keyboard's file does not fit a mouse.
    auto mouse = make_mouse();
    const std::string keyboard_file = dir.file("keyboard.state");
    {
        Rig rig(make_keyboard());
        rig.device->keep_state(keyboard_file);
        ASSERT_EQ(status_of(rig.exchange(request(kCmdBegin, 0, {}))), kStatusOk);
        ASSERT_EQ(status_of(rig.exchange(request(kCmdWriteBlock, 0, hex("20 00 04", 0)))),
                  kStatusOk);
        ASSERT_EQ(status_of(rig.exchange(request(kCmdEnd, 0, {}))), kStatusOk);
    }
    EXPECT_FALSE(mouse->keep_state(keyboard_file));
    EXPECT_EQ(mouse->key_table(), factory);
}

// The demo devices, one file each, named after their nodes.
TEST(DeviceState, DemoDevicesKeepTheirStatesInOneFolder) {
    TempDir dir;
    std::vector<uint8_t> mouse_table;
    {
        auto backend = make_demo_backend();
        keep_states(*backend, dir.path().string());
        auto mouse = backend->find("emu/mouse0");
        ASSERT_NE(mouse, nullptr);
        auto c = backend->open(interface_paths(*mouse)[3], {true, true, false});
        ASSERT_NE(c, nullptr);
        for (const auto& r :
             {request(kCmdBegin, 0, {}), request(kCmdWriteBlock, 0, hex("30 e9 00", 0)),
              request(kCmdEnd, 0, {})}) {
            ASSERT_TRUE(c->write(r, 1000).ok());
            std::vector<uint8_t> reply(64);
            ASSERT_TRUE(c->read(reply, 1000).ok());
            ASSERT_EQ(status_of(reply), kStatusOk);
        }
        mouse_table = mouse->key_table();
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file("emu_mouse0.state")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("emu_keyboard0.state")));  // nothing written
    auto again = make_demo_backend();
    keep_states(*again, dir.path().string() + "/");
    EXPECT_EQ(again->find("emu/mouse0")->key_table(), mouse_table);
    EXPECT_EQ(again->find("emu/mouse0")->key_table()[0], 0x30);
    EXPECT_EQ(again->find("emu/keyboard0")->key_table(), make_keyboard()->key_table());
}

}  // namespace
}  // namespace tellune::emulator
