#include "core/device/pad_protocol.h"

#include <algorithm>

#include "core/platform/platform.h"

namespace tellune::device {

PadBlock pad_block_to_device(const PadBlock& block) {
    PadBlock out = block;
    if (out[1] > kPadMaxMode) out[1] = 0;
    // As a byte: a speed the pad reported outside 0..4 goes back as the pad had it.
    out[3] = static_cast<uint8_t>(4 - block[3]);
    return out;
}

PadBlock pad_block_from_device(std::span<const uint8_t> bytes) {
    PadBlock out{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kPadBlockSize), out.begin());
    out[3] = static_cast<uint8_t>(4 - out[3]);
    return out;
}

void put_block_light_settings(PadBlock& block, const LightSettings& light) {
    block[1] = light.select_item();
    block[2] = light.light();
    block[3] = light.speed();
    block[5] = light.multi_color();
    block[6] = light.red();
    block[7] = light.green();
    block[8] = light.blue();
}

PadProtocol::PadProtocol(hid::CCommandChannel& config)
    : config_(config), light_(&config, kPadLedCount, LightModel::pad) {}

PadProtocol::~PadProtocol() {
    light_.clear_leds();
    light_.stop_light_thread();
}

int PadProtocol::connect_device() {
    if (!config_.IsOpen()) return 0;
    int result = config_.SimpleCommand1();
    std::array<uint8_t, 32> area{};
    uint16_t word = 0;
    // The pad uses no byte of its information block; it is read as every device's is.
    const int info = config_.ReadInfo(area, word);
    if (info == 1) {
        std::copy(area.begin(), area.end(), info_.begin());
        info_[32] = static_cast<uint8_t>(word & 0xFF);
        info_[33] = static_cast<uint8_t>(word >> 8);
    }
    const int end = config_.SimpleCommand2();
    if (result == 1) result = info;
    if (result == 1) result = end;
    return result;
}

int PadProtocol::read_settings_block() {
    config_.SetPause(0);
    previous_ = block_;
    if (!config_.IsOpen()) return 0;
    std::array<uint8_t, 1> index{};
    int r = config_.ReadAt(index, 0);
    if (r != 1) return r;
    std::array<uint8_t, kPadReadSize> bytes{};
    r = config_.ReadAt(bytes, index[0] * kPadReadStride);
    if (r != 1) return r;
    block_ = pad_block_from_device(bytes);
    hand_to_engine();
    return 1;
}

int PadProtocol::write_settings(int profile_index) {
    if (!config_.IsOpen()) return 0;
    // The pad takes each command on its own: a refused one does not stop the others, and
    // the sequence is always closed.
    const int begin = config_.SimpleCommand1();
    const int data = config_.WriteAt(pad_block_to_device(block_), profile_index * kPadWriteStride);
    const int end = config_.SimpleCommand2();
    return begin != 1 ? begin : data != 1 ? data : end;
}

void PadProtocol::apply_light_settings(const LightSettings& light,
                                       const std::vector<LedZoneRecord>& zones,
                                       const std::vector<LightEffectStep>& steps) {
    settings_ = light;
    zones_ = zones;
    steps_ = steps;
    put_block_light_settings(block_, light);
    hand_to_engine();
}

LightSettings PadProtocol::engine_settings() const {
    const LightSettings& s = settings_;
    return LightSettings::make(block_[1], s.light(), block_[3], s.fx(), s.multi_color(), s.red(),
                               s.green(), s.blue(), s.led_mode());
}

void PadProtocol::hand_to_engine() {
    light_.apply_light_settings(engine_settings(), zones_, steps_);
}

}  // namespace tellune::device
