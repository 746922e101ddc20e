#pragma once
// The gaming keyboard over its command channel: connection, settings block, key table,
// macros, custom colour groups and the light frames that carry the software lighting to the
// keyboard's LEDs, one colour per key.
//
// Every operation first checks that the configuration channel is open and returns 0 without
// sending anything otherwise. Any channel result other than 1 ends an operation and is
// returned. While the channel's wireless flag is set, neither light frames nor custom colour
// tables are sent.
//
// Keys are numbered 0..125 by the factory code table (factory_codes.h); the keyboard keeps
// each key in a slot of its key table and lights it through an LED of its own numbering.
// The maps between the three are built at connection.

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/device/factory_codes.h"
#include "core/device/frame_sender.h"
#include "core/device/keyboard_light_engine.h"
#include "core/device/light_thread.h"
#include "core/hid/command_channel.h"
#include "core/profile/profile_data.h"
#include "core/profile/profile_records.h"

namespace tellune::device {

inline constexpr size_t kKeyboardKeys = 126;
inline constexpr uint8_t kNoSlot = 255;
inline constexpr uint8_t kNoLed = 255;
inline constexpr size_t kKeyboardBlockSize = 25;
inline constexpr size_t kKeyboardTableCache = 512;
inline constexpr size_t kKeyboardInfoSize = 34;
inline constexpr uint8_t kHighestDeviceMode = 24;  // modes above it exist only in software
inline constexpr int kCustomLightGroups = 4;
inline constexpr uint16_t kUsageKeyDown = 0x0500;  // low byte: the key slot
inline constexpr uint16_t kUsageKeyUp = 0x0600;
inline constexpr int kKeyboardFnKey = 110;  // stays Fn: its function is never changed

using KeySlotMap = std::array<uint8_t, kKeyboardKeys>;
using LedMap = std::array<uint8_t, kKeyboardKeys>;
using KeyboardBlock = std::array<uint8_t, kKeyboardBlockSize>;

static_assert(kKeyboardFactoryCodes.size() == kKeyboardKeys);

// The settings of the current profile as the keyboard object holds them.
struct KeyboardSettings {
    LightSettings light;
    // word 0 = Repeat | RepeatDelay << 16; word 1 = Key6Flag | PollingRate << 16;
    // word 2 = WFlag | WinFlag << 16.
    KeyboardSystemWords system;
    std::vector<KeyAssignmentRecord> keys;
};

// --- the system words by name ---
inline uint16_t repeat_of(const KeyboardSystemWords& w) {
    return uint16_t(w.word[0]);
}
inline uint16_t repeat_delay_of(const KeyboardSystemWords& w) {
    return uint16_t(w.word[0] >> 16);
}
inline uint16_t key6_flag_of(const KeyboardSystemWords& w) {
    return uint16_t(w.word[1]);
}
inline uint16_t polling_rate_of(const KeyboardSystemWords& w) {
    return uint16_t(w.word[1] >> 16);
}
inline uint16_t wflag_of(const KeyboardSystemWords& w) {
    return uint16_t(w.word[2]);
}
inline uint16_t win_flag_of(const KeyboardSystemWords& w) {
    return uint16_t(w.word[2] >> 16);
}
void set_repeat(KeyboardSystemWords& w, uint16_t value);
void set_repeat_delay(KeyboardSystemWords& w, uint16_t value);
void set_key6_flag(KeyboardSystemWords& w, uint16_t value);
void set_polling_rate(KeyboardSystemWords& w, uint16_t value);
void set_wflag(KeyboardSystemWords& w, uint16_t value);
void set_win_flag(KeyboardSystemWords& w, uint16_t value);

// The 25-byte block: byte 0 (the active profile) 0, light mode (above 24 as 0), brightness,
// 4 - speed, effect, 0 for the multi-colour flag and the colour, ZZCCLedMode at 18, WFlag,
// Key6Flag, WinFlag and PollingRate at 19..22.
KeyboardBlock build_keyboard_block(const KeyboardSettings& settings);
// Takes a block read from the keyboard into `settings`: the light mode, brightness, speed,
// ZZCCLedMode, the multi-colour flag and colour, WFlag, Key6Flag and WinFlag. The effect,
// PollingRate, Repeat, RepeatDelay and the keys stay. The multi-colour flag and the colour
// are only taken when the block carries one: they are written as zeros, so zeros there say
// nothing. True when the light mode changed.
bool take_keyboard_block(KeyboardSettings& settings, std::span<const uint8_t> block);

// For each key the first of `slots` key slots that holds its factory code, else kNoSlot. A
// factory code that is no code at all (a plain key without usage) finds no slot: those keys
// do not exist on the board, and matching them would put them all in one slot.
KeySlotMap build_key_slot_map(std::span<const uint8_t> key_table, size_t slots);
// For each key with a slot, the LED the keyboard lights for that slot; kNoLed otherwise.
LedMap build_led_map(const KeySlotMap& slots, std::span<const uint8_t> led_indices);
// Whether key `key` may be given another function: the keyboard has it (a slot in `slots`)
// and it is not Fn.
bool keyboard_key_assignable(const KeySlotMap& slots, int key);
// The key whose slot is `slot`, or -1.
int key_of_slot(const KeySlotMap& slots, int slot);
// The 3·slots bytes to send: the cached table with each mapped key's assignment put in.
std::vector<uint8_t> build_keyboard_key_table(std::span<const uint8_t> cache, size_t slots,
                                              const KeySlotMap& map,
                                              const std::vector<KeyAssignmentRecord>& keys);
// 3 bytes per LED for `slots` LEDs: each LED takes the colour of the key that maps to it,
// every channel times the key's level / 256; LEDs no key maps to stay 0.
std::vector<uint8_t> build_light_frame(std::span<const LedColour> keys, const LedMap& map,
                                       size_t slots);
// The same layout with the colours as they are, for the custom colour table.
std::vector<uint8_t> build_custom_colour_table(std::span<const CustomColour> keys,
                                               const LedMap& map, size_t slots);

struct KeyReport {
    int key = -1;
    KeyAction action = KeyAction::down;
};
// A key report of the notification collection (0x05xx down, 0x06xx up; the low byte is
// the slot), as the key it names. Nothing for other usages or a slot no key has.
std::optional<KeyReport> key_report(uint16_t usage, const KeySlotMap& slots);

class KeyboardProtocol {
public:
    // `config`: the configuration collection; it must outlive this object.
    explicit KeyboardProtocol(hid::CCommandChannel& config);
    ~KeyboardProtocol();  // stops the frame sender and the light thread
    KeyboardProtocol(const KeyboardProtocol&) = delete;
    KeyboardProtocol& operator=(const KeyboardProtocol&) = delete;

    // 0x01, information block, transfer size 3·K, key table (0x07), LED indices (0x1B),
    // 0x02, then the key slot and LED maps. A key table above 512 bytes is refused (-201)
    // after closing the sequence with 0x02. Starts the frame sender. The caller then loads
    // the profile, refreshes the page and starts the light thread.
    int connect_device();
    // Clears the channel's pause flag, reads the active profile's block and takes it over;
    // a new light mode restarts the light effect. With a profile, stores the system words
    // and the light settings there and saves it. Nothing changes unless the read succeeded.
    int read_settings_block(CKeyboardProfiledata* profile = nullptr);
    // 0x01, the 25-byte block with 0x06 at profile_index·25, 0x02.
    int write_settings(int profile_index = 0);
    // Refreshes the information block, then writes the cached key table with the keys'
    // assignments (0x01, 0x09, 0x02). 0 when no key table was read at connection.
    int write_key_table(int profile_index, const std::vector<KeyAssignmentRecord>& keys);
    int write_current_keys(int profile_index) {
        return write_key_table(profile_index, settings_.keys);
    }
    // The macro image of the library in `folder` with 0x15. 0 sent, or nothing to send; -1 a
    // failed transfer; a positive count when the image exceeds the macro area by count - 1
    // events.
    int write_macros(const std::string& folder);
    // The custom colour table of `group` with 0x0B at group·3·K. 0 when nothing was sent
    // (closed, wireless, no connection yet); -201 for a group outside 0..kCustomLightGroups-1.
    int write_custom_colours(int group, std::span<const CustomColour> colours);

    // Takes the key assignments, system words and light settings from the profile.
    void take_profile(CKeyboardProfiledata& profile);
    // Takes the profile's light settings and hands them, with its LED zones, light effect
    // steps and the selected group's custom colours, to the light engine.
    void apply_light_settings(CKeyboardProfiledata& profile);
    // The custom colours mode 8 shows.
    void show_custom_colours(const std::vector<CustomColour>& colours);

    // A report of the notification collection: key reports reach the light engine's current
    // mode. True when it was a key report of a known key. Any thread (the sync listener's).
    bool on_key_usage(uint16_t usage);

    // Builds the frame of `keys` (the LED colour list by key) and hands it to the sender.
    // Nothing while the channel is closed or wireless, or before the connection.
    void stream_frame(std::span<const LedColour> keys);

    KeyboardSettings& settings() { return settings_; }
    const KeyboardSettings& settings() const { return settings_; }
    const std::array<uint8_t, kKeyboardInfoSize>& info_block() const { return info_; }
    uint8_t key_slots() const { return slots_; }
    bool connected() const { return connected_; }
    const std::array<uint8_t, kKeyboardTableCache>& key_table_cache() const { return key_cache_; }
    const std::array<uint8_t, kKeyboardTableCache>& led_index_cache() const { return led_cache_; }
    KeySlotMap key_slot_map() const;
    LedMap led_map() const;
    const KeyboardBlock& block() const { return block_; }
    const KeyboardBlock& previous_block() const { return previous_block_; }

    LightThread& light() { return light_; }
    FrameSender& sender() { return sender_; }

private:
    int read_info();

    hid::CCommandChannel& config_;
    KeyboardSettings settings_;
    std::array<uint8_t, kKeyboardInfoSize> info_{};
    uint8_t slots_ = 0;
    bool connected_ = false;
    std::array<uint8_t, kKeyboardTableCache> key_cache_{};
    std::array<uint8_t, kKeyboardTableCache> led_cache_{};
    // Written at connection on the interface thread, read by the sync listener too.
    mutable std::mutex map_mutex_;
    KeySlotMap slot_map_;
    LedMap led_map_;
    KeyboardBlock block_{};
    KeyboardBlock previous_block_{};

    KeyboardLightEngine* engine_;  // owned by light_
    LightThread light_;
    FrameSender sender_;
};

}  // namespace tellune::device
