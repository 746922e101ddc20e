#pragma once
// The lit mouse pad over its command channel. The pad runs its lighting itself from a small
// settings block; the program writes that block when the lighting changes, reads it back when
// the pad asks, and animates the pad's picture with the light engine, which follows the
// block's mode and speed (so a pad found in another mode than the profile's shows that mode).
//
// Settings block, 21 bytes: 0 active profile index as last read; 1 light mode (a mode above
// 8 is sent as 0); 2 brightness; 3 speed (the pad holds 4 - speed); 4 as last read;
// 5 multi-colour flag; 6, 7, 8 red, green, blue; 9-20 as last read. Bytes taken from a read
// are 0 until the first read.
//
// Memory: byte 0 holds the active profile index P; a read takes 25 bytes at P * 25, a write
// puts 21 bytes at profile index * 64 (every caller writes profile 0).
//
// Results of the channel other than 1 end an operation and are returned; the pad's callers
// ignore them (the next refresh or write tries again).

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/device/light_thread.h"
#include "core/hid/command_channel.h"
#include "core/profile/profile_records.h"

namespace tellune::device {

inline constexpr size_t kPadBlockSize = 21;
inline constexpr size_t kPadReadSize = 25;
inline constexpr int kPadReadStride = 25;
inline constexpr int kPadWriteStride = 64;
inline constexpr size_t kPadLedCount = 15;
inline constexpr uint8_t kPadMaxMode = 8;

using PadBlock = std::array<uint8_t, kPadBlockSize>;

// The 21 bytes sent for `block`: the speed turned into 4 - speed, a mode above 8 as 0.
PadBlock pad_block_to_device(const PadBlock& block);
// A block as read (at least 21 bytes): byte 3 turned back from 4 - speed.
PadBlock pad_block_from_device(std::span<const uint8_t> bytes);
// Takes mode, brightness, speed, multi-colour flag and colour of `light` into the block.
void put_block_light_settings(PadBlock& block, const LightSettings& light);

class PadProtocol {
public:
    // `config` must outlive this object.
    explicit PadProtocol(hid::CCommandChannel& config);
    ~PadProtocol();  // stops the light thread
    PadProtocol(const PadProtocol&) = delete;
    PadProtocol& operator=(const PadProtocol&) = delete;

    // 0x01, information block (0x03), 0x02. Nothing is sent while the channel is closed (0).
    int connect_device();
    // Clears the channel's pause flag, keeps the block as the previous one, reads P and the
    // 25 bytes at P * 25 and takes bytes 0-20. The block stays as it was unless both reads
    // succeeded. The light engine then follows the block's mode and speed.
    int read_settings_block();
    // 0x01, the block with 0x06 at profile_index * 64, 0x02, each sent whatever the one
    // before answered; the first failure is returned.
    int write_settings(int profile_index = 0);
    // Takes the profile's light settings into the object and the block, and hands them (the
    // block's mode and speed in place of the profile's) to the light engine with the zones
    // and the custom effect steps.
    void apply_light_settings(const LightSettings& light, const std::vector<LedZoneRecord>& zones,
                              const std::vector<LightEffectStep>& steps);

    const PadBlock& block() const { return block_; }
    const PadBlock& previous_block() const { return previous_; }
    const LightSettings& light_settings() const { return settings_; }
    const std::array<uint8_t, 34>& info_block() const { return info_; }
    // What the light engine shows: the object's settings with the block's mode and speed.
    LightSettings engine_settings() const;

    LightThread& light() { return light_; }

private:
    void hand_to_engine();

    hid::CCommandChannel& config_;
    PadBlock block_{};
    PadBlock previous_{};
    LightSettings settings_;
    std::vector<LedZoneRecord> zones_;
    std::vector<LightEffectStep> steps_;
    std::array<uint8_t, 34> info_{};
    LightThread light_;
};

}  // namespace tellune::device
