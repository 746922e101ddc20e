// The headset's light reports, light settings record and power bytes against vectors worked
// out by hand, over the emulated headset.

#include "core/device/headset_protocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/core/device/lit_device_rig.h"

namespace tellune::device {
namespace {

using test::hex;
using test::LitDeviceRig;
using test::Request;

template <class Pred>
bool soon(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::vector<uint8_t> report(const std::string& text) {
    std::vector<uint8_t> r = hex(text);
    r.resize(kLightReportSize, 0);
    return r;
}

std::vector<LedColour> sample_frame() {
    std::vector<LedColour> leds(kHeadsetLeds);
    leds[0] = {255, 128, 0, 255};    // 254 -> 247, 127
    leds[7] = {0, 0, 200, 128};      // 100
    leds[12] = {10, 255, 255, 255};  // 9, 254 -> 247, 247
    return leds;
}

const std::vector<std::vector<uint8_t>>& sample_reports() {
    static const std::vector<std::vector<uint8_t>> r = {
        report("ff 22 aa 00 f7 00 00 00 00 00 00"), report("ff 22 ad 00 00 00 00 00 00 09"),
        report("ff 44 aa 00 f7 00 00 00 00 00 00"), report("ff 44 ad 00 00 00 00 00 00 09"),
        report("ff 22 ab 00 7f 00 00 00 00 00 00"), report("ff 22 ae 00 00 00 00 00 00 f7"),
        report("ff 44 ab 00 7f 00 00 00 00 00 00"), report("ff 44 ae 00 00 00 00 00 00 f7"),
        report("ff 22 ac 00 00 00 00 00 00 00 00"), report("ff 22 af 00 64 00 00 00 00 f7"),
        report("ff 44 ac 00 00 00 00 00 00 00 00"), report("ff 44 af 00 64 00 00 00 00 f7"),
    };
    return r;
}

TEST(HeadsetLightReports, TwelveReportsCappedAt247) {
    const std::vector<LedColour> leds = sample_frame();
    const LightReports reports = build_light_reports(headset_colour_bytes(leds));
    ASSERT_EQ(reports.size(), sample_reports().size());
    for (size_t i = 0; i < reports.size(); ++i)
        EXPECT_EQ(std::vector<uint8_t>(reports[i].begin(), reports[i].end()), sample_reports()[i])
            << "report " << i;
}

TEST(HeadsetLightReports, ShortFrameIsDarkBeyondItsEnd) {
    const std::vector<LedColour> leds(3, LedColour{255, 255, 255, 255});
    const HeadsetColourBytes bytes = headset_colour_bytes(leds);
    EXPECT_EQ(bytes[2][0], 247);
    EXPECT_EQ(bytes[3][0], 0);
    EXPECT_EQ(bytes[12][2], 0);
}

TEST(HeadsetRecord, WriteTurnsTheSpeedAndGoesToRTimes64) {
    LitDeviceRig rig = LitDeviceRig::headset();
    ASSERT_TRUE(rig.opened);
    HeadsetProtocol headset(rig.channel);
    headset.apply_light_settings(LightSettings::make(2, 3, 1, 1, 0, 1, 2, 3, 0));
    rig.clear_log();
    ASSERT_EQ(headset.write_light_record(2), 1);
    EXPECT_EQ(rig.requests(), (std::vector<Request>{{1, 0, 0}, {6, 21, 128}, {2, 0, 0}}));
    const auto writes = rig.reports_of(6);
    ASSERT_EQ(writes.size(), 1u);
    // Checksum 6 + 21 + 128 + (2 + 3 + 3 + 1 + 1 + 2 + 3) = 170.
    EXPECT_EQ(std::vector<uint8_t>(writes[0].begin(), writes[0].begin() + 29),
              hex("04 aa 00 06 15 80 00 00 00 02 03 03 01 00 01 02 03 00 00 00 00 00 00 00 00 00 "
                  "00 00 00"));
    EXPECT_EQ(test::bytes(rig.device->memory(), 128, 9), hex("00 02 03 03 01 00 01 02 03"));
    EXPECT_EQ(headset.record()[3], 1);  // the stored record keeps the speed
}

TEST(HeadsetRecord, ReadTakesTheRecordOfTheCurrentIndex) {
    LitDeviceRig rig = LitDeviceRig::headset();
    HeadsetProtocol headset(rig.channel);
    ASSERT_TRUE(rig.device->poke_memory(0, hex("01")));
    ASSERT_TRUE(rig.device->poke_memory(
        25, hex("05 07 04 00 01 01 09 08 07 90 91 92 93 94 95 96 97 98 99 9a 9b ee ee ee ee")));
    rig.channel.SetPause(1);
    rig.clear_log();
    int index = -1;
    ASSERT_EQ(headset.read_light_record(index), 1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(rig.channel.Pause(), 0);
    EXPECT_EQ(rig.requests(), (std::vector<Request>{{5, 1, 0}, {5, 25, 25}}));
    // Byte 0 is the index itself; the speed comes back as 4 - 0.
    EXPECT_EQ(std::vector<uint8_t>(headset.record().begin(), headset.record().end()),
              hex("01 07 04 04 01 01 09 08 07 90 91 92 93 94 95 96 97 98 99 9a 9b"));
    EXPECT_EQ(headset.light().settings().select_item(), kPadGroupSpectrum);
    EXPECT_EQ(headset.light().settings().speed(), 4);

    // A refused second read leaves the record as it was.
    rig.device->fail_chunk(0xFE, 2, 5);
    EXPECT_EQ(headset.read_light_record(index), -103);
    EXPECT_EQ(headset.record()[1], 7);
}

TEST(HeadsetPower, ByteThreeIsTheWirelessFlag) {
    LitDeviceRig rig = LitDeviceRig::headset();
    HeadsetProtocol headset(rig.channel);
    rig.device->set_status_bytes(hex("50 01 00 09 37 02"));
    std::array<uint8_t, kPowerSize> power{};
    ASSERT_EQ(headset.read_power(power), 1);
    EXPECT_EQ(std::vector<uint8_t>(power.begin(), power.end()), hex("50 01 00 00 37 02"));
    rig.channel.SetWireless(true);
    ASSERT_EQ(headset.read_power(power), 1);
    EXPECT_EQ(power[3], 1);
    rig.channel.Disconnect();
    power.fill(0xEE);
    EXPECT_EQ(headset.read_power(power), 0);
    EXPECT_EQ(power[0], 0xEE);
}

TEST(HeadsetLights, SenderDeliversTheReportsToTheHeadset) {
    LitDeviceRig rig = LitDeviceRig::headset();
    LightReportSender sender(rig.channel);
    sender.start();
    rig.clear_log();
    sender.post(sample_frame());
    ASSERT_TRUE(soon([&] { return sender.frames_sent() >= 1; }));
    const auto sent = rig.device->output_reports();
    ASSERT_EQ(sent.size(), kLightReportCount);
    for (size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(sent[i], sample_reports()[i]) << "report " << i;
    EXPECT_EQ(rig.device->headset_leds()[0], (std::array<uint8_t, 3>{247, 127, 0}));
    EXPECT_EQ(rig.device->headset_leds()[12], (std::array<uint8_t, 3>{9, 247, 247}));

    // Switched off, or with the channel closed, nothing goes out.
    sender.set_output_enabled(false);
    sender.post(sample_frame());
    sender.stop();
    EXPECT_EQ(rig.device->output_reports().size(), kLightReportCount);
}

TEST(HeadsetLights, TheFrameThePageTakesReachesTheHeadsetAsRendered) {
    LitDeviceRig rig = LitDeviceRig::headset();
    HeadsetProtocol headset(rig.channel);
    // Static green at full brightness: sent as 247.
    headset.apply_light_settings(LightSettings::make(3, 4, 4, 0, 0, 0, 255, 0, 0));
    headset.start_lights();
    // The page's preview tick: take the frame as of now and post it.
    const auto tick = [&] {
        headset.sender().post(headset.light().current_frame());
        return true;
    };
    ASSERT_TRUE(soon([&] { return tick() && rig.device->headset_leds()[6][1] == 247; }));
    EXPECT_EQ(rig.device->headset_leds()[6], (std::array<uint8_t, 3>{0, 247, 0}));
    // A new colour shows in a frame taken after it.
    headset.apply_light_settings(LightSettings::make(3, 4, 4, 0, 0, 255, 0, 0, 0));
    ASSERT_TRUE(soon([&] { return tick() && rig.device->headset_leds()[6][0] == 247; }));
    EXPECT_EQ(rig.device->headset_leds()[6], (std::array<uint8_t, 3>{247, 0, 0}));
    headset.stop_lights();
}

}  // namespace
}  // namespace tellune::device
