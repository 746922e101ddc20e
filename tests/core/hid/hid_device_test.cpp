#include "core/hid/hid_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/core/hid/fake_hid.h"

namespace tellune::hid {
namespace {

using testing::Bytes;
using testing::FakeBackend;
using Clock = std::chrono::steady_clock;

// Report 1: buttons 1..5 + padding, X and Y (16-bit signed), wheel (8-bit signed), a
// slider with a physical range 0..1000 and a value of logical range 0..100.
const Bytes kMouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29,
                      0x05, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x05, 0x81, 0x02, 0x75, 0x03,
                      0x95, 0x01, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x16, 0x00, 0x80,
                      0x26, 0xFF, 0x7F, 0x75, 0x10, 0x95, 0x02, 0x81, 0x06, 0x09, 0x38, 0x15, 0x81,
                      0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x06, 0x09, 0x36, 0x15, 0x00, 0x26,
                      0xFF, 0x00, 0x35, 0x00, 0x46, 0xE8, 0x03, 0x81, 0x02, 0x09, 0x37, 0x25, 0x64,
                      0x35, 0x00, 0x45, 0x00, 0x81, 0x02, 0xC0};

const Bytes kKeyboard = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19,
                         0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,
                         0x81, 0x02, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF, 0x00,
                         0x19, 0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00, 0xC0};

HidCollection parse_one(const Bytes& d) {
    ReportDescriptor r = parse_report_descriptor(d);
    EXPECT_TRUE(r.ok);
    return r.collections.at(0);
}

const HidUsageEntry* find(const std::vector<HidUsageEntry>& t, uint16_t page, uint16_t usage) {
    for (const HidUsageEntry& e : t)
        if (e.usage_page == page && e.usage_min <= usage && usage <= e.usage_max) return &e;
    return nullptr;
}

TEST(HidDevice, OpenGathersCapabilitiesAndNumbers) {
    FakeBackend backend;
    backend.Add("/dev/hidraw2?vid_0c45&pid_7643&mi_01&col0A", {0x0C45, 0x7643, 0x0105},
                parse_one(kMouse));
    CHidDevice hid(backend);
    EXPECT_FALSE(hid.Open("/dev/hidraw2?vid_0c45&pid_7643&mi_01&col0b", true, false, true, false));
    ASSERT_TRUE(hid.Open("/dev/hidraw2?vid_0c45&pid_7643&mi_01&col0A", true, false, true, false));
    EXPECT_EQ(hid.Attributes().version, 0x0105);
    HidCaps caps = hid.Capabilities();
    EXPECT_EQ(caps.usage_page, 1);
    EXPECT_EQ(caps.usage, 2);
    EXPECT_EQ(caps.input_report_byte_length, 9);
    EXPECT_EQ(caps.number_input_button_caps, 1);
    EXPECT_EQ(caps.number_input_value_caps, 5);
    EXPECT_EQ(hid.InterfaceNumber(), 1);
    EXPECT_EQ(hid.CollectionNumber(), 10);
    hid.Close();
    EXPECT_FALSE(hid.IsOpen());
    EXPECT_EQ(hid.Capabilities().usage_page, 0);
    EXPECT_EQ(hid.ReadReport(std::span<uint8_t>(), 0).status, IoStatus::error);

    // The path list survives Close; the cursor walks it once.
    ASSERT_TRUE(hid.Enumerate());
    EXPECT_EQ(hid.NextPath(), "/dev/hidraw2?vid_0c45&pid_7643&mi_01&col0A");
    EXPECT_EQ(hid.NextPath(), std::nullopt);
    hid.Enumerate();
    hid.FreePaths();
    EXPECT_EQ(hid.NextPath(), std::nullopt);
}

TEST(HidDevice, DecodesButtonsAndValues) {
    FakeBackend backend;
    backend.Add("m", {}, parse_one(kMouse));
    CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("m", true, false, true, false));
    // Buttons 1 and 3; X = -2, Y = 16; wheel -127; slider 51; value 200 (out of 0..100).
    const Bytes report = {0x01, 0x05, 0xFE, 0xFF, 0x10, 0x00, 0x81, 0x33, 0xC8};
    ASSERT_TRUE(hid.DecodeInputReport(report));
    std::vector<HidUsageEntry> t = hid.InputUsages();
    const HidUsageEntry* buttons = find(t, 9, 1);
    ASSERT_NE(buttons, nullptr);
    EXPECT_TRUE(buttons->updated);
    EXPECT_EQ(buttons->pressed, (std::vector<uint16_t>{1, 3}));
    EXPECT_EQ(find(t, 1, 0x30)->raw_value, -2);
    EXPECT_EQ(find(t, 1, 0x30)->scaled_value, -2);
    EXPECT_EQ(find(t, 1, 0x31)->raw_value, 16);
    EXPECT_EQ(find(t, 1, 0x38)->raw_value, -127);
    const HidUsageEntry* slider = find(t, 1, 0x36);
    EXPECT_EQ(slider->raw_value, 51);
    EXPECT_EQ(slider->scaled_value, 200);  // 51 of 0..255 over 0..1000
    EXPECT_EQ(slider->status, DecodeStatus::ok);
    const HidUsageEntry* dial = find(t, 1, 0x37);
    EXPECT_EQ(dial->raw_value, 200);
    EXPECT_EQ(dial->status, DecodeStatus::value_out_of_range);

    // Another report id touches nothing; a short report fails at the first value.
    hid.Close();
    ASSERT_TRUE(hid.Open("m", true, false, true, false));
    EXPECT_TRUE(hid.DecodeInputReport(Bytes{0x02, 0xFF, 0xFF}));
    for (const HidUsageEntry& e : hid.InputUsages()) EXPECT_FALSE(e.updated);
    EXPECT_FALSE(hid.DecodeInputReport(Bytes{0x01, 0x01, 0x02}));
    EXPECT_EQ(find(hid.InputUsages(), 1, 0x30)->status, DecodeStatus::bad_report_length);
}

TEST(HidDevice, DecodesKeyArraysWithinTheirRange) {
    FakeBackend backend;
    backend.Add("k", {}, parse_one(kKeyboard));
    CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("k", true, false, true, false));
    // Left shift and right GUI; keys A and B, empty slots read 0.
    ASSERT_TRUE(hid.DecodeInputReport(Bytes{0x01, 0x82, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00}));
    std::vector<HidUsageEntry> t = hid.InputUsages();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].pressed, (std::vector<uint16_t>{0xE1, 0xE7}));
    EXPECT_EQ(t[1].pressed, (std::vector<uint16_t>{0x04, 0x05}));
    ASSERT_TRUE(hid.DecodeInputReport(Bytes{0x01, 0x00, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(hid.InputUsages()[1].pressed.empty());
}

// Two 32-bit values whose logical range is the whole of int32: X without a physical range,
// Y with the falling physical range 1000..-1000. Scaling them multiplies two factors of up
// to 2^32 - 1, which must neither overflow nor lose the end points.
const Bytes kFullWidth = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x30, 0x17,
                          0x00, 0x00, 0x00, 0x80, 0x27, 0xFF, 0xFF, 0xFF, 0x7F, 0x75, 0x20,
                          0x95, 0x01, 0x81, 0x02, 0x09, 0x31, 0x37, 0xE8, 0x03, 0x00, 0x00,
                          0x47, 0x18, 0xFC, 0xFF, 0xFF, 0x81, 0x02, 0xC0};

TEST(HidDevice, FullWidth32BitValuesScaleExactly) {
    FakeBackend backend;
    backend.Add("w", {}, parse_one(kFullWidth));
    CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("w", true, false, true, false));
    struct Case {
        Bytes x, y;
        int32_t x_scaled, y_scaled;
    };
    const Case cases[] = {
        {{0xFF, 0xFF, 0xFF, 0x7F}, {0xFF, 0xFF, 0xFF, 0x7F}, INT32_MAX, -1000},
        {{0x00, 0x00, 0x00, 0x80}, {0x00, 0x00, 0x00, 0x80}, INT32_MIN, 1000},
        {{0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x00}, 0, 0},
        {{0x01, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x00, 0xC0}, 1, 500},
        {{0xFF, 0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00, 0x40}, -1, -500},
    };
    for (const Case& c : cases) {
        Bytes report = {0x01};
        report.insert(report.end(), c.x.begin(), c.x.end());
        report.insert(report.end(), c.y.begin(), c.y.end());
        ASSERT_TRUE(hid.DecodeInputReport(report));
        const std::vector<HidUsageEntry> t = hid.InputUsages();
        const HidUsageEntry* x = find(t, 1, 0x30);
        const HidUsageEntry* y = find(t, 1, 0x31);
        ASSERT_TRUE(x && y);
        EXPECT_EQ(x->status, DecodeStatus::ok);
        EXPECT_EQ(x->raw_value, x->scaled_value);  // no physical range: the logical one
        EXPECT_EQ(x->scaled_value, c.x_scaled);
        EXPECT_EQ(y->status, DecodeStatus::ok);
        EXPECT_EQ(y->scaled_value, c.y_scaled);
    }
}

TEST(HidDevice, ReportsWithoutIdsGetAZeroIdByte) {
    FakeBackend backend;
    HidCollection plain;
    plain.input_report_ids = {0};
    plain.input_report_length = 4;
    auto device = backend.Add("p", {}, plain);
    CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("p", true, true, true, false));
    device->Queue({0xA1, 0xA2, 0xA3});
    uint8_t buffer[4] = {0xEE, 0, 0, 0};
    IoResult r = hid.ReadReport(buffer, 100);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.bytes, 4u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0x00, 0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(hid.ReadReport(buffer, 20).status, IoStatus::timeout);
}

TEST(HidDevice, CloseEndsAReadWaitingWithoutLimit) {
    FakeBackend backend;
    backend.Add("c", {}, testing::config_collection());
    CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("c", true, true, true, false));
    std::atomic<int> status{-1};
    std::thread reader([&] {
        uint8_t buffer[64];
        status = static_cast<int>(hid.ReadReport(buffer, -1).status);
    });
    while (!hid.IsReading()) std::this_thread::yield();
    auto start = Clock::now();
    hid.Close();
    reader.join();
    EXPECT_EQ(status, static_cast<int>(IoStatus::aborted));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));

    // Repeated open/read/close races stay clean (run under TSan).
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(hid.Open("c", true, true, true, false));
        std::thread r([&] {
            uint8_t buffer[64];
            hid.ReadReport(buffer, -1);
        });
        hid.Close();
        r.join();
    }
}

}  // namespace
}  // namespace tellune::hid
