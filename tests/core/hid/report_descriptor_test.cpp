#include "core/hid/report_descriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tellune::hid {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kBootMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,              // Generic Desktop, Mouse, Application
    0x09, 0x01, 0xA1, 0x00,                          //   Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03,              //     Buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01,  //
    0x81, 0x02,                                      //     Input (Data, Var)
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,              //     5 bits padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31,              //     X, Y
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02,  //
    0x81, 0x06,                                      //     Input (Data, Var, Rel)
    0xC0, 0xC0};

const Bytes kKeyboardAndConsumer = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01,  // Keyboard, report 1
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01,
    0x95, 0x08, 0x81, 0x02,                                                  // modifiers
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,                                      // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02,  // LEDs
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,                                      // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x05, 0x07, 0x19,
    0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00,              // key array
    0xC0,                                            //
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02,  // Consumer Control, report 2
    0x15, 0x00, 0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10,
    0x95, 0x01, 0x81, 0x00, 0xC0};

const Bytes kVendorConfig = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04,  // page 0xFF1C usage 0x92, id 4
    0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02,  // 63 input bytes
    0x09, 0x01, 0x91, 0x02,  // 63 output bytes
    0xC0};

Bytes concat(std::initializer_list<const Bytes*> parts) {
    Bytes out;
    for (const Bytes* p : parts) out.insert(out.end(), p->begin(), p->end());
    return out;
}

TEST(ReportDescriptor, BootMouse) {
    ReportDescriptor d = parse_report_descriptor(kBootMouse);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.collections.size(), 1u);
    const HidCollection& c = d.collections[0];
    EXPECT_EQ(c.usage_page, 0x01);
    EXPECT_EQ(c.usage, 0x02);
    EXPECT_TRUE(c.report_ids.empty());
    EXPECT_EQ(c.input_report_length, 4);  // 3 bytes + id byte
    EXPECT_EQ(c.output_report_length, 0);
    EXPECT_EQ(c.feature_report_length, 0);
    EXPECT_TRUE(c.has_input_report(0));
    ASSERT_EQ(c.input_caps.size(), 3u);

    const HidInputCapability& buttons = c.input_caps[0];
    EXPECT_TRUE(buttons.is_button);
    EXPECT_FALSE(buttons.is_array);
    EXPECT_EQ(buttons.usage_page, 0x09);
    EXPECT_EQ(buttons.usage_min, 1);
    EXPECT_EQ(buttons.usage_max, 3);
    EXPECT_EQ(buttons.bit_offset, 0u);
    EXPECT_EQ(buttons.report_count, 3);
    EXPECT_EQ(buttons.link_collection, 1);  // inside the physical collection

    const HidInputCapability& x = c.input_caps[1];
    const HidInputCapability& y = c.input_caps[2];
    EXPECT_FALSE(x.is_button);
    EXPECT_EQ(x.usage_page, 0x01);
    EXPECT_EQ(x.usage_min, 0x30);
    EXPECT_EQ(y.usage_min, 0x31);
    EXPECT_EQ(x.bit_offset, 8u);
    EXPECT_EQ(y.bit_offset, 16u);
    EXPECT_EQ(x.bit_size, 8);
    EXPECT_EQ(x.report_count, 1);
    EXPECT_EQ(x.logical_min, -127);
    EXPECT_EQ(x.logical_max, 127);
}

TEST(ReportDescriptor, KeyboardWithConsumerCollection) {
    ReportDescriptor d = parse_report_descriptor(kKeyboardAndConsumer);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.collections.size(), 2u);
    const HidCollection& kb = d.collections[0];
    EXPECT_EQ(kb.usage_page, 0x01);
    EXPECT_EQ(kb.usage, 0x06);
    EXPECT_EQ(kb.report_ids, Bytes{1});
    EXPECT_EQ(kb.input_report_length, 9);   // 8 bytes + id
    EXPECT_EQ(kb.output_report_length, 2);  // 5 LED bits + 3 padding + id
    ASSERT_EQ(kb.input_caps.size(), 2u);
    EXPECT_EQ(kb.input_caps[0].usage_min, 0xE0);
    EXPECT_EQ(kb.input_caps[0].usage_max, 0xE7);
    EXPECT_EQ(kb.input_caps[0].report_id, 1);
    const HidInputCapability& keys = kb.input_caps[1];
    EXPECT_TRUE(keys.is_button);
    EXPECT_TRUE(keys.is_array);
    EXPECT_EQ(keys.usage_page, 0x07);
    EXPECT_EQ(keys.usage_min, 0x00);
    EXPECT_EQ(keys.usage_max, 0xFF);
    EXPECT_EQ(keys.bit_offset, 16u);
    EXPECT_EQ(keys.bit_size, 8);
    EXPECT_EQ(keys.report_count, 6);
    EXPECT_EQ(keys.logical_max, 255);

    const HidCollection& cc = d.collections[1];
    EXPECT_EQ(cc.usage_page, 0x0C);
    EXPECT_EQ(cc.usage, 0x01);
    EXPECT_EQ(cc.report_ids, Bytes{2});
    EXPECT_EQ(cc.input_report_length, 3);
    EXPECT_EQ(cc.output_report_length, 0);
    EXPECT_TRUE(cc.has_input_report(2));
    EXPECT_FALSE(cc.has_input_report(1));
    ASSERT_EQ(cc.input_caps.size(), 1u);
    EXPECT_EQ(cc.input_caps[0].usage_max, 0x3FF);
    EXPECT_EQ(cc.input_caps[0].bit_size, 16);
}

TEST(ReportDescriptor, VendorConfigurationCollection) {
    ReportDescriptor d = parse_report_descriptor(kVendorConfig);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.collections.size(), 1u);
    const HidCollection& c = d.collections[0];
    EXPECT_EQ(c.usage_page, 0xFF1C);
    EXPECT_EQ(c.usage, 0x92);
    EXPECT_EQ(c.report_ids, Bytes{4});
    EXPECT_EQ(c.input_report_length, 64);
    EXPECT_EQ(c.output_report_length, 64);
    EXPECT_EQ(c.feature_report_length, 0);
    ASSERT_EQ(c.input_caps.size(), 1u);
    EXPECT_FALSE(c.input_caps[0].is_button);
    EXPECT_EQ(c.input_caps[0].report_count, 63);
    EXPECT_EQ(c.input_caps[0].usage_page, 0xFF1C);
    EXPECT_EQ(c.input_caps[0].usage_min, 0x01);
}

TEST(ReportDescriptor, MultiCollectionInterfaceKeepsOrderAndSeparatesReports) {
    // Mouse (id 1), system control (id 3), consumer (id 2), vendor (id 4), as a mouse's
    // second interface would present them.
    const Bytes mouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x09, 0x19,
                         0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x05,
                         0x81, 0x02, 0x75, 0x03, 0x95, 0x01, 0x81, 0x01, 0x05, 0x01, 0x09,
                         0x30, 0x09, 0x31, 0x16, 0x00, 0x80, 0x26, 0xFF, 0x7F, 0x75, 0x10,
                         0x95, 0x02, 0x81, 0x06, 0x09, 0x38, 0x15, 0x81, 0x25, 0x7F, 0x75,
                         0x08, 0x95, 0x01, 0x81, 0x06, 0xC0};
    const Bytes system = {0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x03, 0x19,
                          0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01,
                          0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0};
    const Bytes consumer = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15,
                            0x00, 0x26, 0x9C, 0x02, 0x19, 0x00, 0x2A, 0x9C, 0x02,
                            0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};
    ReportDescriptor d =
        parse_report_descriptor(concat({&mouse, &system, &consumer, &kVendorConfig}));
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.collections.size(), 4u);
    EXPECT_EQ(d.collections[0].usage, 0x02);
    EXPECT_EQ(d.collections[1].usage, 0x80);
    EXPECT_EQ(d.collections[2].usage_page, 0x0C);
    EXPECT_EQ(d.collections[3].usage_page, 0xFF1C);
    EXPECT_EQ(d.collections[0].input_report_length, 7);  // 1 + 4 + 1 bytes + id
    EXPECT_EQ(d.collections[1].input_report_length, 2);
    EXPECT_EQ(d.collections[2].input_report_length, 3);
    EXPECT_EQ(d.collections[3].input_report_length, 64);
    EXPECT_EQ(d.collections[0].output_report_length, 0);
    EXPECT_EQ(d.collections[3].output_report_length, 64);
    EXPECT_EQ(d.collections[1].report_ids, Bytes{3});
    EXPECT_TRUE(d.collections[3].has_input_report(4));
    EXPECT_FALSE(d.collections[3].has_input_report(1));
    // Mouse: buttons, X, Y, wheel; the wheel after two 16-bit axes.
    ASSERT_EQ(d.collections[0].input_caps.size(), 4u);
    EXPECT_EQ(d.collections[0].input_caps[1].logical_min, -32768);
    EXPECT_EQ(d.collections[0].input_caps[2].bit_offset, 24u);
    EXPECT_EQ(d.collections[0].input_caps[3].usage_min, 0x38);
    EXPECT_EQ(d.collections[0].input_caps[3].bit_offset, 40u);
    EXPECT_EQ(d.collections[2].input_caps[0].logical_max, 0x29C);
}

TEST(ReportDescriptor, ValueRangeYieldsOneCapabilityPerUsage) {
    // Three 8-bit values over usages 0x30..0x32, then a fourth field repeating the last.
    const Bytes desc = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x19, 0x30, 0x29, 0x32, 0x15,
                        0x00, 0x25, 0xFF, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0xC0};
    ReportDescriptor d = parse_report_descriptor(desc);
    ASSERT_TRUE(d.ok);
    const auto& caps = d.collections.at(0).input_caps;
    ASSERT_EQ(caps.size(), 3u);
    EXPECT_EQ(caps[0].usage_min, 0x30);
    EXPECT_EQ(caps[1].usage_min, 0x31);
    EXPECT_EQ(caps[2].usage_min, 0x32);
    EXPECT_EQ(caps[2].report_count, 2);
    EXPECT_EQ(caps[2].bit_offset, 16u);
    // 0x25 0xFF with a minimum of 0 means 255.
    EXPECT_EQ(caps[0].logical_max, 255);
}

TEST(ReportDescriptor, PushPopAndLongItems) {
    const Bytes desc = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05,
                        0xA4,                          // push (page 0xFF00, id 5)
                        0x05, 0x01, 0x85, 0x06,        // change page and id
                        0xB4,                          // pop
                        0xFE, 0x02, 0x10, 0xAA, 0xBB,  // long item, skipped
                        0x09, 0x02, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};
    ReportDescriptor d = parse_report_descriptor(desc);
    ASSERT_TRUE(d.ok);
    const HidCollection& c = d.collections.at(0);
    EXPECT_EQ(c.report_ids, Bytes{5});
    EXPECT_EQ(c.input_report_length, 3);
    ASSERT_EQ(c.input_caps.size(), 1u);
    EXPECT_EQ(c.input_caps[0].usage_page, 0xFF00);
    EXPECT_EQ(c.input_caps[0].report_id, 5);
}

TEST(ReportDescriptor, MalformedInputIsRejected) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    std::vector<Case> cases = {
        {"end without begin", {0xC0}},
        {"unclosed", {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01}},
        {"truncated item data", {0x05, 0x01, 0x06, 0x1C}},
        {"truncated long item", {0xFE, 0x10, 0x00, 0x01}},
        {"report id 0", {0xA1, 0x01, 0x85, 0x00, 0xC0}},
        {"pop on empty stack", {0xB4}},
        {"report longer than 16-bit length",
         {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0x00, 0x00, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02,
          0xC0}},
    };
    for (const Case& c : cases) {
        ReportDescriptor d = parse_report_descriptor(c.bytes);
        EXPECT_FALSE(d.ok) << c.name;
    }
    EXPECT_FALSE(parse_report_descriptor({}).collections.size());
}

TEST(ReportDescriptor, TruncatedAtEveryLengthKeepsOnlyCompleteCollections) {
    Bytes all = concat({&kKeyboardAndConsumer, &kVendorConfig});
    const size_t keyboard_end = 67;  // the first End Collection
    ASSERT_EQ(all[keyboard_end - 1], 0xC0);
    const size_t ends[] = {keyboard_end, kKeyboardAndConsumer.size(), all.size()};
    // First length at which each collection is open (its Collection item complete).
    const size_t opens[] = {5, keyboard_end + 5, kKeyboardAndConsumer.size() + 6};
    for (size_t n = 0; n <= all.size(); ++n) {
        Bytes cut(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
        ReportDescriptor d = parse_report_descriptor(cut);
        size_t complete = 0;
        bool inside = false;
        for (size_t i = 0; i < 3; ++i) {
            complete += n >= ends[i];
            inside |= n >= opens[i] && n < ends[i];
        }
        if (inside) {
            EXPECT_FALSE(d.ok) << n;
        }
        EXPECT_EQ(d.collections.size(), complete) << n;
    }
    EXPECT_TRUE(parse_report_descriptor(all).ok);
}

TEST(ReportDescriptor, HostileNestingCountsAndPushesAreBounded) {
    Bytes deep;
    for (int i = 0; i < 5000; ++i) deep.insert(deep.end(), {0xA1, 0x00});
    EXPECT_FALSE(parse_report_descriptor(deep).ok);

    Bytes pushes(5000, 0xA4);
    EXPECT_FALSE(parse_report_descriptor(pushes).ok);

    // Full-range usages on 65535 one-byte values: capped in capabilities, not expanded.
    Bytes many = {0x05, 0x01, 0xA1, 0x01, 0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x75,
                  0x08, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02, 0xC0};
    ReportDescriptor d = parse_report_descriptor(many);
    EXPECT_FALSE(d.ok);

    // Bit offsets that would overflow 32 bits over several items.
    Bytes wide = {0xA1, 0x01, 0x77, 0x00, 0x00, 0x01, 0x00, 0x97, 0x00, 0x00, 0x01, 0x00};
    for (int i = 0; i < 4; ++i) wide.insert(wide.end(), {0x81, 0x03});
    wide.push_back(0xC0);
    EXPECT_FALSE(parse_report_descriptor(wide).ok);

    // Many small top-level collections.
    Bytes tops;
    for (int i = 0; i < 3000; ++i) tops.insert(tops.end(), {0x09, 0x01, 0xA1, 0x01, 0xC0});
    d = parse_report_descriptor(tops);
    EXPECT_FALSE(d.ok);
    EXPECT_LE(d.collections.size(), 1024u);
}

// Deterministic mutations of real descriptors: whatever comes out, the parser neither
// crashes nor reads past the buffer (run under ASan) and its results stay in range.
TEST(ReportDescriptor, RandomMutationsStaySafe) {
    Bytes base = concat({&kBootMouse, &kKeyboardAndConsumer, &kVendorConfig});
    uint32_t state = 0x12345678u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = base;
        int edits = 1 + static_cast<int>(next() % 6);
        for (int e = 0; e < edits; ++e) {
            uint32_t r = next();
            size_t at = r % b.size();
            switch ((r >> 16) % 4) {
                case 0:
                    b[at] = static_cast<uint8_t>(next());
                    break;
                case 1:
                    b[at] ^= static_cast<uint8_t>(1u << (next() % 8));
                    break;
                case 2:
                    b.resize(at + 1);
                    break;
                case 3:
                    b.insert(b.begin() + static_cast<std::ptrdiff_t>(at),
                             static_cast<uint8_t>(next()));
                    break;
            }
        }
        // Exact-size heap copy so ASan catches any read past the end.
        auto heap = std::make_unique<uint8_t[]>(b.size());
        std::copy(b.begin(), b.end(), heap.get());
        ReportDescriptor d = parse_report_descriptor({heap.get(), b.size()});
        size_t caps = 0;
        for (const HidCollection& c : d.collections) {
            caps += c.input_caps.size();
            for (const HidInputCapability& cap : c.input_caps) {
                EXPECT_LE(cap.usage_min, cap.usage_max);
                EXPECT_LT(uint64_t{cap.bit_offset} + uint64_t{cap.bit_size} * cap.report_count,
                          65534ull * 8 + 1);
            }
        }
        EXPECT_LE(caps, 4096u);
        accepted += d.ok;
    }
    EXPECT_GT(accepted, 0);  // some mutations stay valid descriptors
}

}  // namespace
}  // namespace tellune::hid
