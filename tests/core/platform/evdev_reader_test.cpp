// The global input reader over pipes fed with input_event records as the kernel writes them,
// and the de-duplication of strokes two sources report.

#include "core/platform/evdev_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "core/platform/stroke_dedup.h"
#include "test_support/temp_dir.h"

namespace tellune {
namespace {

struct Pipe {
    Pipe() {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
        read_end = fds[0];
        write_end = fds[1];
    }
    ~Pipe() {
        if (write_end >= 0) ::close(write_end);
    }
    void close_writer() {
        ::close(write_end);
        write_end = -1;
    }
    void write_bytes(const void* data, size_t size) const {
        ASSERT_EQ(::write(write_end, data, size), ssize_t(size));
    }
    int read_end = -1;  // given to the reader
    int write_end = -1;
};

input_event record(uint16_t type, uint16_t code, int32_t value) {
    input_event e{};
    e.type = type;
    e.code = code;
    e.value = value;
    return e;
}

// What the reader reported, waited for across its thread.
class Collected {
public:
    EvdevReader::Handler handler() {
        return [this](uint16_t code, bool down) {
            std::lock_guard lock(mutex_);
            events_.push_back({code, down});
            cv_.notify_all();
        };
    }
    std::vector<std::pair<uint16_t, bool>> wait_for(size_t n) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::seconds(5), [&] { return events_.size() >= n; });
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::pair<uint16_t, bool>> events_;
};

using Events = std::vector<std::pair<uint16_t, bool>>;

TEST(EvdevReader, KeysAndButtonsWithoutRepeatsOrOtherEvents) {
    Pipe pipe;
    Collected got;
    EvdevReader reader;
    ASSERT_TRUE(reader.start({pipe.read_end}, got.handler()));
    const input_event records[] = {
        record(EV_MSC, MSC_SCAN, 0x70004), record(EV_KEY, KEY_A, 1),
        record(EV_SYN, SYN_REPORT, 0),     record(EV_KEY, KEY_A, 2),
        record(EV_KEY, KEY_A, 2),          record(EV_KEY, KEY_A, 0),
        record(EV_REL, REL_X, 5),          record(EV_KEY, BTN_LEFT, 1),
        record(EV_KEY, BTN_LEFT, 0),
    };
    pipe.write_bytes(records, sizeof records);
    EXPECT_EQ(got.wait_for(4),
              (Events{{KEY_A, true}, {KEY_A, false}, {BTN_LEFT, true}, {BTN_LEFT, false}}));
    reader.stop();
    EXPECT_FALSE(reader.running());
}

TEST(EvdevReader, RecordsSplitAcrossReadsAndSeveralDevices) {
    Pipe keyboard, mouse;
    Collected got;
    EvdevReader reader;
    ASSERT_TRUE(reader.start({keyboard.read_end, mouse.read_end}, got.handler()));
    EXPECT_EQ(reader.open_count(), 2);
    const input_event press = record(EV_KEY, KEY_LEFTCTRL, 1);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&press);
    keyboard.write_bytes(bytes, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    keyboard.write_bytes(bytes + 5, sizeof press - 5);
    const input_event side = record(EV_KEY, BTN_SIDE, 1);
    mouse.write_bytes(&side, sizeof side);
    Events events = got.wait_for(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], (std::pair<uint16_t, bool>{KEY_LEFTCTRL, true}));
    EXPECT_EQ(events[1], (std::pair<uint16_t, bool>{BTN_SIDE, true}));
}

TEST(EvdevReader, AGoneDeviceIsDroppedAndStopStillWakesTheThread) {
    Pipe pipe;
    Collected got;
    EvdevReader reader;
    ASSERT_TRUE(reader.start({pipe.read_end}, got.handler()));
    pipe.close_writer();  // as a device that was unplugged
    for (int i = 0; i < 200 && reader.open_count() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(reader.open_count(), 0);
    const auto begin = std::chrono::steady_clock::now();
    reader.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
}

TEST(EvdevReader, StopsPromptlyWhileWaitingAndRestarts) {
    std::signal(SIGPIPE, SIG_IGN);  // the write below must fail, not end the test
    Collected got;
    EvdevReader reader;
    for (int round = 0; round < 3; ++round) {
        Pipe pipe;
        ASSERT_TRUE(reader.start({pipe.read_end}, got.handler()));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        reader.stop();
        // The reader closed its end: writing now finds no reader.
        const input_event e = record(EV_KEY, KEY_B, 1);
        EXPECT_EQ(::write(pipe.write_end, &e, sizeof e), -1);
    }
    EXPECT_FALSE(reader.start({}, got.handler()));
    reader.stop();  // idempotent
}

TEST(EvdevReader, FoldersWithoutReadableInputDevices) {
    TempDir dir;
    EXPECT_TRUE(open_input_devices(dir.path().string()).empty());
    EXPECT_TRUE(open_input_devices(dir.file("missing")).empty());
    // A file named like an event node that is no input device is not taken.
    {
        std::FILE* f = std::fopen(dir.file("event0").c_str(), "w");
        std::fclose(f);
    }
    EXPECT_FALSE(input_devices_readable(dir.path().string()));
}

// --- two sources ---

TEST(StrokeDedup, EachStrokeCountsOnceWhicheverSourceIsFirst) {
    StrokeDeduplicator dedup(500);
    constexpr int kWindow = 0, kGlobal = 1;
    const uint32_t a = 0x1E, b = 0x30;
    // Typed in the program's window: the global reader is usually first.
    EXPECT_TRUE(dedup.accept(kGlobal, a, true, 1000));
    EXPECT_FALSE(dedup.accept(kWindow, a, true, 1004));
    EXPECT_TRUE(dedup.accept(kWindow, a, false, 1090));
    EXPECT_FALSE(dedup.accept(kGlobal, a, false, 1091));
    // Twice in a row, reports interleaved: they pair up in order.
    EXPECT_TRUE(dedup.accept(kGlobal, b, true, 2000));
    EXPECT_TRUE(dedup.accept(kGlobal, b, false, 2010));
    EXPECT_TRUE(dedup.accept(kGlobal, b, true, 2020));
    EXPECT_FALSE(dedup.accept(kWindow, b, true, 2030));
    EXPECT_FALSE(dedup.accept(kWindow, b, false, 2031));
    EXPECT_FALSE(dedup.accept(kWindow, b, true, 2032));
    EXPECT_TRUE(dedup.accept(kWindow, b, true, 2033));  // auto-repeat seen by the window only
    // Another window had the focus: only the global reader saw these.
    EXPECT_TRUE(dedup.accept(kGlobal, a, true, 3000));
    EXPECT_TRUE(dedup.accept(kGlobal, a, false, 3100));
    EXPECT_TRUE(dedup.accept(kGlobal, a, true, 3200));
    // Too late to be the same stroke.
    EXPECT_TRUE(dedup.accept(kWindow, a, true, 3800));
    // A source never matches itself.
    EXPECT_TRUE(dedup.accept(kWindow, b, false, 4000));
    EXPECT_TRUE(dedup.accept(kWindow, b, false, 4001));
}

TEST(StrokeDedup, ManyUnmatchedStrokesStayBounded) {
    StrokeDeduplicator dedup(1'000'000);
    for (uint32_t i = 0; i < 10'000; ++i) EXPECT_TRUE(dedup.accept(1, i, true, i));
    // The oldest were forgotten; the newest still match.
    EXPECT_TRUE(dedup.accept(0, 0, true, 10'000));
    EXPECT_FALSE(dedup.accept(0, 9'999, true, 10'000));
}

TEST(StrokeDedup, SourcesOnTwoThreads) {
    StrokeDeduplicator dedup;
    std::atomic<int> accepted{0};
    auto feed = [&](int source) {
        for (uint32_t i = 0; i < 2000; ++i)
            if (dedup.accept(source, i % 7, i % 2 == 0, int64_t(i))) ++accepted;
    };
    std::thread one(feed, 0), two(feed, 1);
    one.join();
    two.join();
    EXPECT_GE(accepted.load(), 2000);
    EXPECT_LE(accepted.load(), 4000);
}

}  // namespace
}  // namespace tellune
