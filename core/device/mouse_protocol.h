#pragma once
// The gaming mouse over its command channel: connection, settings block, key table, macro
// and shoot images. Everything here runs on the caller's thread except the light thread.
//
// Every operation first checks that the configuration channel is open and returns 0 without
// sending anything otherwise. Over the wireless receiver each operation is preceded by the
// wireless probe (the writes probe before every command); a probe that does not report the
// mouse present ends the operation. Any channel result other than 1 ends an operation and is
// returned (write_macros maps failures to -1, see there).

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/device/factory_codes.h"
#include "core/device/light_thread.h"
#include "core/device/macro_image.h"
#include "core/hid/command_channel.h"
#include "core/profile/profile_data.h"
#include "core/profile/profile_records.h"

namespace tellune::device {

inline constexpr int kMouseButtons = 11;
inline constexpr uint8_t kNoKeySlot = 126;
inline constexpr size_t kInfoSize = 34;
inline constexpr size_t kKeyTableCacheSize = 512;
inline constexpr size_t kSettingsBlockSize = 59;
inline constexpr size_t kSettingsBufferSize = 128;
inline constexpr size_t kSettingsWriteSize = 95;
inline constexpr size_t kWirelessBlockRead = 100;
inline constexpr size_t kProfileStride = 128;
inline constexpr size_t kMaxDpiStages = 8;
inline constexpr uint16_t kUsageSyncRequest = 0x0401;
inline constexpr uint16_t kUsageSyncCount = 0x0404;
inline constexpr int kRefusedArgument = -201;

using ButtonSlotMap = std::array<uint8_t, kMouseButtons>;
using SettingsBlock = std::array<uint8_t, kSettingsBufferSize>;

static_assert(kMouseFactoryCodes.size() == kMouseButtons);

// The settings of the current profile as the mouse object holds them.
struct MouseSettings {
    LightSettings light;
    std::vector<DpiStageRecord> stages;  // in "StageDPIs" order; at most 8 are sent
    int active_stage = 0;
    MouseSystemWords system;
    std::vector<KeyAssignmentRecord> keys;
};

// The settings block in a 128-byte buffer, zero beyond byte 58. Over the wireless receiver
// the speed byte is `Speed` itself, wired it is 4 - `Speed`.
SettingsBlock build_settings_block(const MouseSettings& settings, bool wireless);
// Takes a block read from the device into `settings`: light mode, brightness, speed
// (4 - byte 3), multi-colour flag, colour, the low byte of the third light word, the active
// stage, the report-rate index and the lift setting. `Fx`, the stages and the keys stay.
void take_settings_block(MouseSettings& settings, std::span<const uint8_t> block);
// For each button the first of the `slots` key slots that holds its factory code, else 126.
ButtonSlotMap build_button_slot_map(std::span<const uint8_t> key_table, size_t slots);
// The 3·slots bytes to send: the cached table with each mapped button's assignment put in.
std::vector<uint8_t> build_key_table(std::span<const uint8_t> cache, size_t slots,
                                     const ButtonSlotMap& map,
                                     const std::vector<KeyAssignmentRecord>& keys);
// Old firmware (HID version 1..0x0100) must be updated before the program can work with it.
bool firmware_update_needed(uint16_t hid_version);
// Macro assignments (types 0x70, 0x71) to a macro index not below `macro_count` fall back to
// their default assignment. True when anything changed.
bool check_macro_keys(std::vector<KeyAssignmentRecord>& keys, size_t macro_count);

struct ConnectResult {
    int result = 0;
    // Decided from the HID version once the information block was read; the caller asks the
    // user ("message_text_24") and starts the updater or quits.
    bool firmware_update_needed = false;
};

class MouseProtocol {
public:
    // `config`: the configuration collection; it must outlive this object. The mouse's sync
    // requests arrive on its notification collection, which the device control listens to.
    explicit MouseProtocol(hid::CCommandChannel& config);
    ~MouseProtocol();  // stops the light thread
    MouseProtocol(const MouseProtocol&) = delete;
    MouseProtocol& operator=(const MouseProtocol&) = delete;

    // Probe, 0x01, information block, transfer size 3·K, key table, 0x02, button slot map.
    // The caller then loads the profile (take_profile, apply_light_settings), refreshes the
    // page and starts the light thread (light().start_light_thread()).
    // A key table above 512 bytes is refused (-201) after closing the sequence with 0x02.
    ConnectResult connect_device();
    // Clears the channel's pause flag, reads the active profile's block and takes it over;
    // with a profile, stores the active stage and the light settings there and saves it.
    // Nothing changes unless the whole read succeeded.
    int read_settings_block(CMouseProfiledata* profile = nullptr);
    // 0x01, 95 bytes of the settings block with 0x06 at profile_index·128, 0x02.
    int write_settings(int profile_index = 0);
    // Refreshes the information block, then writes the cached key table with the buttons'
    // assignments. 0 when no key table was read at connection (nothing to start from).
    int write_key_table(int profile_index, const std::vector<KeyAssignmentRecord>& keys);
    int write_current_keys(int profile_index) {
        return write_key_table(profile_index, settings_.keys);
    }
    // The macro image of the library in `folder`. 0 sent, or nothing to send; -1 a failed
    // transfer; a positive count when the image exceeds the macro area by count - 1 events.
    int write_macros(const std::string& folder);
    // The shoot image of the four slots in `folder`, padded to whole 56-byte chunks. -201 when
    // the image cannot be expressed (longer than 65535 bytes).
    int write_shoot_data(const std::string& folder);

    // Takes the key assignments, DPI stages, system words and light settings from the profile.
    void take_profile(CMouseProfiledata& profile);
    // Takes the profile's light settings and hands them, with its LED zones and light effect
    // steps, to the light engine.
    void apply_light_settings(CMouseProfiledata& profile);
    // check_macro_keys on the object's key list.
    bool check_macro_keys(size_t macro_count) {
        return device::check_macro_keys(settings_.keys, macro_count);
    }

    MouseSettings& settings() { return settings_; }
    const MouseSettings& settings() const { return settings_; }
    const std::array<uint8_t, kInfoSize>& info_block() const { return info_; }
    uint8_t key_slots() const { return slots_; }
    bool has_key_table() const { return key_table_valid_; }
    const std::array<uint8_t, kKeyTableCacheSize>& key_table_cache() const { return key_cache_; }
    const ButtonSlotMap& button_slot_map() const { return slot_map_; }
    const std::array<uint8_t, kWirelessBlockRead>& block() const { return block_; }
    const std::array<uint8_t, kWirelessBlockRead>& previous_block() const {
        return previous_block_;
    }

    LightThread& light() { return light_; }

private:
    bool probe();
    int read_info();

    hid::CCommandChannel& config_;
    MouseSettings settings_;
    std::array<uint8_t, kInfoSize> info_{};
    uint8_t slots_ = 0;
    bool key_table_valid_ = false;
    std::array<uint8_t, kKeyTableCacheSize> key_cache_{};
    ButtonSlotMap slot_map_;
    std::array<uint8_t, kWirelessBlockRead> block_{};
    std::array<uint8_t, kWirelessBlockRead> previous_block_{};

    LightThread light_;
};

}  // namespace tellune::device
