#include "core/device/headset_protocol.h"

#include <algorithm>
#include <cstring>

#include "core/platform/platform.h"

namespace tellune::device {

namespace {

constexpr uint8_t kFirstHalfSelector = 0xAA;   // + channel: LEDs 0-6
constexpr uint8_t kSecondHalfSelector = 0xAD;  // + channel: LEDs 7-12
constexpr std::array<uint8_t, 2> kBanks = {0x22, 0x44};
constexpr size_t kFirstHalf = 7;

}  // namespace

HeadsetColourBytes headset_colour_bytes(std::span<const LedColour> leds) {
    HeadsetColourBytes out{};
    for (size_t i = 0; i < kHeadsetLeds && i < leds.size(); ++i) {
        const LedColour& c = leds[i];
        const uint8_t channels[3] = {c.r, c.g, c.b};
        for (size_t k = 0; k < 3; ++k) {
            const unsigned v = unsigned{channels[k]} * c.level >> 8;
            out[i][k] = static_cast<uint8_t>(std::min<unsigned>(v, kLightChannelCap));
        }
    }
    return out;
}

LightReports build_light_reports(const HeadsetColourBytes& bytes) {
    LightReports reports{};
    size_t n = 0;
    for (size_t channel = 0; channel < 3; ++channel) {
        for (uint8_t bank : kBanks) {
            for (size_t half = 0; half < 2; ++half) {
                LightReport& r = reports[n++];
                r[0] = kLightReportId;
                r[1] = bank;
                r[2] = static_cast<uint8_t>((half == 0 ? kFirstHalfSelector : kSecondHalfSelector) +
                                            channel);
                const size_t first = half == 0 ? 0 : kFirstHalf;
                const size_t count = half == 0 ? kFirstHalf : kHeadsetLeds - kFirstHalf;
                for (size_t i = 0; i < count; ++i) r[4 + i] = bytes[first + i][channel];
            }
        }
    }
    return reports;
}

void put_record_light_settings(HeadsetRecord& record, const LightSettings& light) {
    record[1] = light.select_item();
    record[2] = light.light();
    record[3] = light.speed();
    record[4] = light.fx();
    record[5] = light.multi_color();
    record[6] = light.red();
    record[7] = light.green();
    record[8] = light.blue();
}

LightSettings record_light_settings(const HeadsetRecord& record) {
    return LightSettings::make(record[1], record[2], record[3], record[4], record[5], record[6],
                               record[7], record[8], 0);
}

// --- sender ---

LightReportSender::LightReportSender(hid::CCommandChannel& config)
    : config_(config),
      frames_(
          [this](std::span<const uint8_t> frame) {
              if (!output_.load() || !config_.IsOpen()) return 1;
              HeadsetColourBytes bytes{};
              if (frame.size() != sizeof bytes) return 1;
              std::memcpy(bytes.data(), frame.data(), sizeof bytes);
              // The result of a report is not looked at: the next frame follows soon.
              for (const LightReport& report : build_light_reports(bytes))
                  config_.Hid().SendOutputReportSync(report);
              ++sent_;
              return 1;
          },
          /*exit_line=*/"") {}

void LightReportSender::post(std::span<const LedColour> leds) {
    static_assert(sizeof(HeadsetColourBytes) == kHeadsetLeds * 3);
    const HeadsetColourBytes bytes = headset_colour_bytes(leds);
    std::vector<uint8_t> frame(sizeof bytes);
    std::memcpy(frame.data(), bytes.data(), sizeof bytes);
    frames_.submit(std::move(frame));
}

// --- protocol ---

HeadsetProtocol::HeadsetProtocol(hid::CCommandChannel& config)
    : config_(config), sender_(config), light_(&config, kHeadsetLeds, LightModel::headset) {
    // The page takes each frame with current_frame() at its preview pace and posts it, as
    // the keyboard streams: the thread only wakes to keep the engine from lagging. (Sending
    // from the thread at its own pace cost two threads' wake-ups per frame.)
    light_.set_min_frame_ms(LightThread::kMaxCatchUpTicks);
}

HeadsetProtocol::~HeadsetProtocol() {
    stop_lights();
}

void HeadsetProtocol::start_lights() {
    sender_.start();
    light_.start_light_thread();
}

void HeadsetProtocol::stop_lights() {
    light_.stop_light_thread();
    sender_.stop();
}

int HeadsetProtocol::read_light_record(int& index) {
    config_.SetPause(0);
    index = record_[0];
    if (!config_.IsOpen()) return 0;
    std::array<uint8_t, 1> r{};
    int result = config_.ReadAt(r, 0);
    if (result != 1) return result;
    std::array<uint8_t, kHeadsetReadSize> bytes{};
    result = config_.ReadAt(bytes, r[0] * kHeadsetReadStride);
    if (result != 1) return result;
    std::copy_n(bytes.begin(), kHeadsetRecordSize, record_.begin());
    record_[0] = r[0];
    record_[3] = static_cast<uint8_t>(4 - record_[3]);
    index = r[0];
    light_.apply_light_settings(record_light_settings(record_));
    return 1;
}

int HeadsetProtocol::write_light_record(int r) {
    if (!config_.IsOpen()) return 0;
    HeadsetRecord sent = record_;
    sent[3] = static_cast<uint8_t>(4 - record_[3]);
    int result = config_.SimpleCommand1();
    if (result != 1) return result;
    result = config_.WriteAt(sent, r * kHeadsetWriteStride);
    const int end = config_.SimpleCommand2();
    return result != 1 ? result : end;
}

int HeadsetProtocol::read_power(std::array<uint8_t, kPowerSize>& out) {
    if (!config_.IsOpen()) return 0;
    std::array<uint8_t, kPowerSize> bytes{};
    const int result = config_.ReadRange(bytes, 0);
    if (result != 1) return result;
    bytes[3] = config_.IsWireless() ? 1 : 0;
    out = bytes;
    return 1;
}

void HeadsetProtocol::apply_light_settings(const LightSettings& light) {
    put_record_light_settings(record_, light);
    light_.apply_light_settings(record_light_settings(record_));
}

}  // namespace tellune::device
