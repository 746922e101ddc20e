#include "core/hid/command_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/platform/platform.h"
#include "tests/core/hid/fake_hid.h"

namespace tellune::hid {
namespace {

using testing::Bytes;
using testing::FakeBackend;
using testing::FakeDevice;
using Clock = std::chrono::steady_clock;

constexpr const char* kPath = "/dev/hidraw1?vid_0c45&pid_7643&mi_01&col04";

// A device that keeps a memory: reads return it at the request's offset, writes store
// into it. `status` gives the status byte of the n-th request (counting from 1).
struct MemoryDevice {
    static constexpr size_t kLightArea = 0x10000;
    std::mutex mutex;
    uint8_t memory[0x20000] = {};
    int requests = 0;
    std::function<uint8_t(int n, uint8_t command)> status;

    std::vector<Bytes> Answer(const Bytes& r) {
        std::lock_guard lock(mutex);
        ++requests;
        Bytes reply(64, 0);
        reply[0] = 4;
        reply[3] = r[3];
        reply[4] = r[4];
        reply[5] = r[5];
        reply[6] = r[6];
        reply[7] = status ? status(requests, r[3]) : 0;
        size_t offset = r[5] | r[6] << 8, length = std::min<size_t>(r[4], 56);
        switch (r[3]) {
            case 3:
            case 5:
            case 7:
            case 26:
            case 27:
                std::copy_n(memory + offset, length, reply.begin() + 8);
                break;
            case 6:
            case 9:
            case 11:
            case 21:
            case 23:
                std::copy_n(r.begin() + 8, length, memory + offset);
                break;
            case 18:  // light frames have a memory of their own
                std::copy_n(r.begin() + 8, length, memory + kLightArea + offset);
                break;
            case 0xAA:
                reply[8] = 0xFF;
                break;
            default:
                break;
        }
        return {reply};
    }
};

class CommandChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = backend_.Add(kPath, {0x0C45, 0x7643, 0x0100}, testing::config_collection());
        device_->responder = [this](const Bytes& r) { return memory_.Answer(r); };
        ASSERT_TRUE(channel_.Connect(kPath));
    }

    static Bytes Report(std::initializer_list<uint8_t> head) {
        Bytes r(64, 0);
        std::copy(head.begin(), head.end(), r.begin());
        return r;
    }
    static int Offset(const Bytes& r) { return r[5] | r[6] << 8; }

    FakeBackend backend_;
    std::shared_ptr<FakeDevice> device_;
    MemoryDevice memory_;
    CCommandChannel channel_{backend_};
};

TEST_F(CommandChannelTest, RequestBytesAndChecksums) {
    uint8_t out[512];
    ASSERT_EQ(channel_.ReadBlock(out), 1);
    // Command 7, length 56, offset 0: checksum 7 + 56 = 63.
    EXPECT_EQ(device_->Written().at(0), Report({0x04, 0x3F, 0x00, 0x07, 0x38, 0x00, 0x00, 0x00}));

    ASSERT_EQ(channel_.SimpleCommand1(), 1);
    EXPECT_EQ(device_->Written().back(), Report({0x04, 0x01, 0x00, 0x01}));
    ASSERT_EQ(channel_.SimpleCommand28(), 1);
    EXPECT_EQ(device_->Written().back(), Report({0x04, 0x1C, 0x00, 0x1C}));

    // Record 3 of 20 bytes: offset 60; 11 + 2 + 60 + 0xAA + 0xBB = 0x01AE.
    const uint8_t light[] = {0xAA, 0xBB};
    ASSERT_EQ(channel_.WriteIndexed(light, 3, 20), 1);
    EXPECT_EQ(device_->Written().back(),
              Report({0x04, 0xAE, 0x01, 0x0B, 0x02, 0x3C, 0x00, 0x00, 0xAA, 0xBB}));

    // One report of 10 bytes from 0x1234: 26 + 10 + 0x34 + 0x12 = 0x6A.
    uint8_t range[10];
    ASSERT_EQ(channel_.ReadRange(range, 0x1234), 1);
    EXPECT_EQ(device_->Written().back(), Report({0x04, 0x6A, 0x00, 0x1A, 0x0A, 0x34, 0x12}));
    // No bytes at all (an empty span has no data pointer to copy to): 26 + 0x20 = 0x3A.
    ASSERT_EQ(channel_.ReadRange({}, 0x20), 1);
    EXPECT_EQ(device_->Written().back(), Report({0x04, 0x3A, 0x00, 0x1A, 0x00, 0x20}));

    // A full payload: 6 + 56 + 0x10 + 56 * 0xFF = 14358 = 0x3816.
    Bytes ff(56, 0xFF);
    ASSERT_EQ(channel_.WriteAt(ff, 0x1000), 1);
    Bytes expected = Report({0x04, 0x16, 0x38, 0x06, 0x38, 0x00, 0x10, 0x00});
    std::fill(expected.begin() + 8, expected.end(), 0xFF);
    EXPECT_EQ(device_->Written().back(), expected);
}

TEST_F(CommandChannelTest, WriteBlockChunks) {
    uint8_t block[512];
    for (int i = 0; i < 512; ++i) block[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(channel_.WriteBlock(block, 0), 1);
    std::vector<Bytes> w = device_->Written();
    ASSERT_EQ(w.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(w[i][3], 9);
        EXPECT_EQ(Offset(w[i]), static_cast<int>(i * 56));
        EXPECT_EQ(w[i][4], i < 9 ? 56 : 8);
    }
    // First chunk: 9 + 56 + (0 + 1 + ... + 55 = 1540) = 0x0645.
    EXPECT_EQ(w[0][1], 0x45);
    EXPECT_EQ(w[0][2], 0x06);
    // Offset 280: low byte 0x18, high byte 0x01.
    EXPECT_EQ(w[5][5], 0x18);
    EXPECT_EQ(w[5][6], 0x01);
    // Last chunk: bytes 504..511 at offset 0x01F8; 9 + 8 + 0xF8 + 1 + 2012 = 0x08E6.
    EXPECT_EQ(w[9], Report({0x04, 0xE6, 0x08, 0x09, 0x08, 0xF8, 0x01, 0x00, 0xF8, 0xF9, 0xFA, 0xFB,
                            0xFC, 0xFD, 0xFE, 0xFF}));
    EXPECT_TRUE(std::equal(block, block + 512, memory_.memory));
}

TEST_F(CommandChannelTest, ReadsCopyEachReplyToItsPosition) {
    for (int i = 0; i < 512; ++i) memory_.memory[i] = static_cast<uint8_t>(i * 7 + 3);
    uint8_t third[170] = {};
    ASSERT_EQ(channel_.ReadThirdBlock(third), 1);
    std::vector<Bytes> w = device_->Written();
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[0][4], 56);
    EXPECT_EQ(w[1][4], 56);
    EXPECT_EQ(w[2][4], 56);
    EXPECT_EQ(w[3][4], 2);
    EXPECT_EQ(Offset(w[3]), 168);
    EXPECT_EQ(w[3][3], 27);
    EXPECT_TRUE(std::equal(third, third + 170, memory_.memory));

    uint8_t at[100] = {};
    ASSERT_EQ(channel_.ReadAt(at, 300), 1);
    EXPECT_TRUE(std::equal(at, at + 100, memory_.memory + 300));
    EXPECT_EQ(Offset(device_->Written().back()), 356);

    // Information area: 34 bytes in one report; the last two form a little-endian word.
    memory_.memory[32] = 0x34;
    memory_.memory[33] = 0x12;
    uint8_t info[32];
    uint16_t word = 0;
    ASSERT_EQ(channel_.ReadInfo(info, word), 1);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(info[1], memory_.memory[1]);
    EXPECT_EQ(device_->Written().back()[4], 34);

    EXPECT_TRUE(channel_.Probe());
}

TEST_F(CommandChannelTest, BlockSize) {
    EXPECT_EQ(channel_.SetBlockSize(513), 0);
    EXPECT_EQ(channel_.BlockSize(), 512);
    EXPECT_EQ(channel_.SetBlockSize(300), 1);
    uint8_t out[512];
    ASSERT_EQ(channel_.ReadBlock(out), 1);
    std::vector<Bytes> w = device_->Written();
    ASSERT_EQ(w.size(), 6u);  // 5 x 56 + 20
    EXPECT_EQ(w[5][4], 20);
    EXPECT_EQ(channel_.SetBlockSize(512), 1);
    EXPECT_EQ(channel_.BlockSize(), 512);
}

TEST_F(CommandChannelTest, StatusBytesStopTheCommand) {
    memory_.status = [](int n, uint8_t) -> uint8_t { return n == 3 ? 0xFE : 0; };
    uint8_t block[512] = {1, 2, 3};
    EXPECT_EQ(channel_.WriteBlock(block, 0), -103);
    EXPECT_EQ(device_->Written().size(), 3u);  // no fourth chunk
    EXPECT_EQ(memory_.memory[0], 1);           // the first chunks stay written

    memory_.status = [](int, uint8_t) -> uint8_t { return 0xFF; };
    EXPECT_EQ(channel_.SimpleCommand1(), -102);
    EXPECT_FALSE(channel_.Probe());
    memory_.status = [](int, uint8_t) -> uint8_t { return 0x01; };  // any other: accepted
    EXPECT_EQ(channel_.SimpleCommand1(), 1);
}

TEST_F(CommandChannelTest, RefusedArgumentsAndClosedChannelsSendNothing) {
    uint8_t block[512] = {};
    EXPECT_EQ(channel_.WriteBlock(block, 1), -201);
    EXPECT_EQ(channel_.WriteBlock(std::span<const uint8_t>(block, 100), 0), -201);
    uint8_t small[100];
    EXPECT_EQ(channel_.ReadBlock(small), -201);
    uint8_t big[57];
    EXPECT_EQ(channel_.ReadRange(big, 0), -201);
    EXPECT_TRUE(device_->Written().empty());

    channel_.SetRefused(true);
    EXPECT_EQ(channel_.SimpleCommand1(), 0);
    EXPECT_EQ(channel_.WriteLightFrame(block), 0);
    channel_.SetRefused(false);
    channel_.SetOpen(false);
    EXPECT_EQ(channel_.SimpleCommand1(), 0);
    EXPECT_EQ(channel_.WriteBlock(block, 0), 0);
    EXPECT_FALSE(channel_.Probe());
    EXPECT_TRUE(device_->Written().empty());
}

TEST_F(CommandChannelTest, FailedWriteGivesMinusOne) {
    device_->fail_writes = true;
    uint8_t block[512] = {};
    EXPECT_EQ(channel_.WriteBlock(block, 0), -1);
    EXPECT_EQ(channel_.WriteLightFrame(block), -1);
}

TEST_F(CommandChannelTest, ReplyWithAnotherCommandByteIsReadAgain) {
    // A stale light-frame reply sits in front of the real one.
    device_->responder = [this](const Bytes& r) {
        Bytes stale = Report({0x04, 0, 0, 18, 0, 0, 0, 0xFF});
        std::vector<Bytes> replies = memory_.Answer(r);
        replies.insert(replies.begin(), stale);
        return replies;
    };
    memory_.memory[5] = 0x77;
    uint8_t out[8] = {};
    EXPECT_EQ(channel_.ReadAt(out, 0), 1);  // the stale 0xFF status is not taken
    EXPECT_EQ(out[5], 0x77);

    // Two strays: the second one is taken as the reply after all.
    device_->responder = [](const Bytes&) {
        return std::vector<Bytes>{Report({4, 0, 0, 0x30}), Report({4, 0, 0, 0x31, 0, 0, 0, 0xFE})};
    };
    EXPECT_EQ(channel_.SimpleCommand1(), -103);
}

TEST_F(CommandChannelTest, NoReplyAndUnplugDuringTheWait) {
    device_->responder = nullptr;
    auto start = Clock::now();
    EXPECT_EQ(channel_.SimpleCommand1(), 0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));

    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        device_->Unplug();
    });
    start = Clock::now();
    uint8_t block[512] = {};
    EXPECT_EQ(channel_.WriteBlock(block, 0), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900));
    unplug.join();
}

TEST_F(CommandChannelTest, DisconnectEndsAWaitingExchange) {
    device_->responder = nullptr;
    std::atomic<int> result{99};
    std::thread command([&] { result = channel_.SimpleCommand28(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto start = Clock::now();
    channel_.Disconnect();
    command.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(channel_.IsOpen());
}

TEST_F(CommandChannelTest, DebugLinesOfOneExchange) {
    std::vector<std::string> lines;
    std::mutex lines_mutex;
    set_debug_sink([&](std::string_view line) {
        std::lock_guard lock(lines_mutex);
        lines.emplace_back(line);
    });
    memory_.status = [](int, uint8_t) -> uint8_t { return 0x5A; };
    EXPECT_EQ(channel_.SimpleCommand28(), 1);
    set_debug_sink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "命令04 1c 00 1c   00 00 00 00   00 00 00 00   00 00 00 00  00 00 00 00  00 00 00 "
              "00  00 00 00 00  00 00 00 00");
    EXPECT_EQ(lines[1],
              "返回04 00 00 1c   00 00 00 5a   00 00 00 00   00 00 00 00  00 00 00 00  00 00 00 "
              "00  00 00 00 00  00 00 00 00");
}

TEST_F(CommandChannelTest, LightFramesDropWhileBusyAndSkipWireless) {
    std::vector<std::string> lines;
    set_debug_sink([&](std::string_view line) { lines.emplace_back(line); });
    uint8_t frame[100] = {9};
    ASSERT_EQ(channel_.WriteLightFrame(frame), 1);
    ASSERT_EQ(device_->Written().size(), 2u);
    EXPECT_TRUE(lines.empty());  // light frames leave no trace
    EXPECT_EQ(memory_.memory[MemoryDevice::kLightArea], 9);

    channel_.SetWireless(true);
    EXPECT_EQ(channel_.WriteLightFrame(frame), 1);
    EXPECT_EQ(device_->Written().size(), 2u);
    channel_.SetWireless(false);

    // Busy with a command waiting for its (late) reply: every chunk is dropped.
    device_->latency = std::chrono::milliseconds(300);
    std::thread command([this] { EXPECT_EQ(channel_.SimpleCommand1(), 1); });
    while (!channel_.IsBusy()) std::this_thread::yield();
    EXPECT_EQ(channel_.WriteLightFrame(frame), 1);
    command.join();
    set_debug_sink(nullptr);
    EXPECT_EQ(device_->Written().size(), 3u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "放弃灯光数据"), 2);
}

// A chunked read, indexed light writes and light frames from three threads: every
// command still gets its own reply (checked through the data it reads back).
TEST_F(CommandChannelTest, LightTrafficInterleavesWithChunkedCommands) {
    auto pattern = [](int i) { return static_cast<uint8_t>(i * 13 + i / 256); };
    for (int i = 0; i < 4096; ++i) memory_.memory[i] = pattern(i);
    device_->latency = std::chrono::milliseconds(1);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0}, frames{0}, indexed{0};
    std::thread frames_thread([&] {
        uint8_t frame[120] = {};
        while (!stop) {
            if (channel_.WriteLightFrame(std::span<const uint8_t>(frame)) != 1) ++failures;
            ++frames;
        }
    });
    std::thread indexed_thread([&] {
        uint8_t record[20] = {};
        while (!stop) {
            // Records land at 0x2000 and above, away from what the reader checks.
            if (channel_.WriteIndexed(record, 0x2000 / 20 + indexed % 8, 20) != 1) ++failures;
            ++indexed;
        }
    });
    for (int round = 0; round < 40; ++round) {
        uint8_t out[300] = {};
        int base = (round * 97) % 3000;
        ASSERT_EQ(channel_.ReadAt(out, base), 1) << round;
        for (int i = 0; i < 300; ++i) ASSERT_EQ(out[i], pattern(base + i)) << round;
    }
    stop = true;
    frames_thread.join();
    indexed_thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(frames, 0);
    EXPECT_GT(indexed, 0);
}

}  // namespace
}  // namespace tellune::hid
