#pragma once
// The headset's lights and power over HID. Its audio settings go through the audio library
// (core/audio), not through here.
//
// Light settings record, 21 bytes, kept with the profile's light settings: 0 the headset's
// current record index as last read; 1 effect 0..8; 2 brightness 0..4; 3 speed 0..4 (the
// headset holds 4 - speed); 4 direction; 5 multi-colour flag; 6, 7, 8 red, green, blue;
// 9-20 as last read (0 until a read). Reads take 25 bytes at r * 25, writes put 21 bytes at
// r * 64.
//
// The headset shows what the program renders: every frame of the light engine goes out as
// twelve 17-byte output reports, sent by a thread of their own so that neither the light
// thread nor the interface thread waits for the control pipe, and only the newest frame is
// ever sent.

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "core/device/frame_sender.h"
#include "core/device/light_thread.h"
#include "core/hid/command_channel.h"
#include "core/profile/profile_records.h"

namespace tellune::device {

inline constexpr size_t kHeadsetRecordSize = 21;
inline constexpr size_t kHeadsetReadSize = 25;
inline constexpr int kHeadsetReadStride = 25;
inline constexpr int kHeadsetWriteStride = 64;
inline constexpr size_t kHeadsetLeds = 13;
inline constexpr size_t kLightReportSize = 17;
inline constexpr size_t kLightReportCount = 12;
inline constexpr uint8_t kLightReportId = 0xFF;
inline constexpr uint8_t kLightChannelCap = 247;
inline constexpr size_t kPowerSize = 6;

using HeadsetRecord = std::array<uint8_t, kHeadsetRecordSize>;
using LightReport = std::array<uint8_t, kLightReportSize>;
using LightReports = std::array<LightReport, kLightReportCount>;
// Red, green, blue per LED as the headset takes them.
using HeadsetColourBytes = std::array<std::array<uint8_t, 3>, kHeadsetLeds>;

// Per channel (colour * level) >> 8, capped at 247; LEDs past the list are dark.
HeadsetColourBytes headset_colour_bytes(std::span<const LedColour> leds);
// The twelve reports in the order the headset expects: for red, green and blue in turn,
// [0x22, LEDs 0-6], [0x22, LEDs 7-12], [0x44, LEDs 0-6], [0x44, LEDs 7-12].
LightReports build_light_reports(const HeadsetColourBytes& bytes);

// Effect, brightness, speed, direction, multi-colour flag and colour of `light` into the
// record.
void put_record_light_settings(HeadsetRecord& record, const LightSettings& light);
// The settings the light engine runs: all of them from the record.
LightSettings record_light_settings(const HeadsetRecord& record);

// Sends the newest frame handed to it, off the caller's thread. Nothing goes out while the
// channel is closed or the light output is switched off.
class LightReportSender {
public:
    explicit LightReportSender(hid::CCommandChannel& config);
    LightReportSender(const LightReportSender&) = delete;
    LightReportSender& operator=(const LightReportSender&) = delete;

    void start() { frames_.start(); }
    // Wakes the thread and joins it; a frame not yet sent is dropped.
    void stop() { frames_.stop(); }
    // Replaces any frame still waiting. Any thread; never blocks on the device.
    void post(std::span<const LedColour> leds);
    void set_output_enabled(bool on) { output_ = on; }
    bool output_enabled() const { return output_.load(); }
    // Frames sent whole (all twelve reports handed to the device).
    uint64_t frames_sent() const { return sent_.load(); }

private:
    hid::CCommandChannel& config_;
    std::atomic<bool> output_{true};
    std::atomic<uint64_t> sent_{0};
    FrameSender frames_;  // last: its thread uses the members above
};

class HeadsetProtocol {
public:
    // `config` must outlive this object.
    explicit HeadsetProtocol(hid::CCommandChannel& config);
    ~HeadsetProtocol();  // stops the light thread, then the sender
    HeadsetProtocol(const HeadsetProtocol&) = delete;
    HeadsetProtocol& operator=(const HeadsetProtocol&) = delete;

    // Clears the pause flag; reads r (1 byte at 0) and 25 bytes at r * 25, of which bytes 0-20
    // become the record with byte 3 turned back into the speed. The record stays as it was
    // unless both reads succeeded. `index` receives r.
    int read_light_record(int& index);
    // 0x01 (only while open), the record with 0x06 at r * 64 (speed sent as 4 - speed), 0x02.
    // The record keeps its speed.
    int write_light_record(int r);
    // 6 bytes from offset 0 (command 26); byte 3 becomes the channel's wireless flag.
    int read_power(std::array<uint8_t, kPowerSize>& out);

    // The profile's light settings into the record, and the record to the light engine.
    void apply_light_settings(const LightSettings& light);
    const HeadsetRecord& record() const { return record_; }

    // Starts the light thread and the sender. Frames reach the headset through sender().post.
    void start_lights();
    void stop_lights();
    LightThread& light() { return light_; }
    LightReportSender& sender() { return sender_; }

private:
    hid::CCommandChannel& config_;
    HeadsetRecord record_{};
    LightReportSender sender_;
    LightThread light_;
};

}  // namespace tellune::device
