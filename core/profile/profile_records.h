#pragma once
// Compact in-memory records that the profile readers produce and the device protocols send.
// Layouts are fixed byte for byte; multi-byte fields are little-endian like the devices.

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace tellune {

static_assert(std::endian::native == std::endian::little,
              "records are sent to the devices as they lie in memory");

#pragma pack(push, 1)

// Light settings: word 0 = SelectItem | Light << 8 | Speed << 16 | Fx << 24;
// word 1 = MultiColor | Red << 8 | Green << 16 | Blue << 24; word 2 = ZZCCLedMode << 24.
struct LightSettings {
    std::uint32_t word[3] = {0, 0, 0};

    std::uint8_t select_item() const { return std::uint8_t(word[0]); }
    std::uint8_t light() const { return std::uint8_t(word[0] >> 8); }
    std::uint8_t speed() const { return std::uint8_t(word[0] >> 16); }
    std::uint8_t fx() const { return std::uint8_t(word[0] >> 24); }
    std::uint8_t multi_color() const { return std::uint8_t(word[1]); }
    std::uint8_t red() const { return std::uint8_t(word[1] >> 8); }
    std::uint8_t green() const { return std::uint8_t(word[1] >> 16); }
    std::uint8_t blue() const { return std::uint8_t(word[1] >> 24); }
    std::uint8_t led_mode() const { return std::uint8_t(word[2] >> 24); }

    static LightSettings make(std::uint8_t select_item, std::uint8_t light, std::uint8_t speed,
                              std::uint8_t fx, std::uint8_t multi_color, std::uint8_t red,
                              std::uint8_t green, std::uint8_t blue, std::uint8_t led_mode) {
        LightSettings s;
        s.word[0] = std::uint32_t(select_item) | std::uint32_t(light) << 8 |
                    std::uint32_t(speed) << 16 | std::uint32_t(fx) << 24;
        s.word[1] = std::uint32_t(multi_color) | std::uint32_t(red) << 8 |
                    std::uint32_t(green) << 16 | std::uint32_t(blue) << 24;
        s.word[2] = std::uint32_t(led_mode) << 24;
        return s;
    }
    bool operator==(const LightSettings&) const = default;
};
static_assert(sizeof(LightSettings) == 12);

// One element of "LightList".
struct LedZoneRecord {
    std::uint8_t mode = 0;  // LEDREGMode
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multi_color = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t unused[2] = {0, 0};
    std::uint8_t present = 0;  // 1 when the JSON element existed
    std::uint8_t spare = 0;
};
static_assert(sizeof(LedZoneRecord) == 12);

// One element of "LEDEffectList" of a custom light effect file.
struct LightEffectStep {
    std::uint8_t mode = 0;  // LEDREGMode
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multi_color = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t spare[4] = {0, 0, 0, 0};
    std::uint32_t time = 0;   // "Time", milliseconds
    std::uint32_t cycle = 0;  // "Cyle"
};
static_assert(sizeof(LightEffectStep) == 20);

// One element of "KeyList": the current assignment in bytes 0-5, the default in 6-11.
struct KeyAssignmentRecord {
    std::uint16_t key_index = 0;
    std::uint8_t type = 0;
    std::uint8_t param1 = 0;
    std::uint8_t param2 = 0;
    std::uint8_t spare = 0;
    std::uint16_t default_key_index = 0;
    std::uint8_t default_type = 0;
    std::uint8_t default_param1 = 0;
    std::uint8_t default_param2 = 0;
    std::uint8_t default_spare = 0;

    // type * 65536 + parameter 1 * 256 + parameter 2, as "Assignment" stores it.
    std::uint32_t assignment() const {
        return std::uint32_t(type) << 16 | std::uint32_t(param1) << 8 | param2;
    }
    std::uint32_t default_assignment() const {
        return std::uint32_t(default_type) << 16 | std::uint32_t(default_param1) << 8 |
               default_param2;
    }
};
static_assert(sizeof(KeyAssignmentRecord) == 12);

// One element of "StageDPIs". The DPI fields hold the slider step, not DPI.
struct DpiStageRecord {
    std::uint8_t active = 0;  // StageActive: the stage is switched on
    std::uint8_t xy = 0;      // StageXY
    std::uint16_t dpi_x = 0;
    std::uint16_t dpi_y = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};
static_assert(sizeof(DpiStageRecord) == 9);

// Mouse: word 0 = DoubleClickTime | MouseSpeed << 16; word 1 = PointerPrecision |
// ScorllPage << 16; word 2 = WheelScorlllinse | ReportStages.StageActive << 16;
// word 3 = MSHSelectItem.
struct MouseSystemWords {
    std::uint32_t word[4] = {0, 0, 0, 0};
    bool operator==(const MouseSystemWords&) const = default;
};
static_assert(sizeof(MouseSystemWords) == 16);

// Keyboard: word 0 = Repeat | RepeatDelay << 16; word 1 = Key6Flag | PollingRate << 16;
// word 2 = WFlag | WinFlag << 16.
struct KeyboardSystemWords {
    std::uint32_t word[3] = {0, 0, 0};
    bool operator==(const KeyboardSystemWords&) const = default;
};
static_assert(sizeof(KeyboardSystemWords) == 12);

// Per-key colour of a keyboard custom light group.
struct CustomColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
    bool operator==(const CustomColour&) const = default;
};
static_assert(sizeof(CustomColour) == 4);

// Headset state, in the order of the "SystemSetStages" keys.
struct HeadsetState {
    std::int32_t magic_enable = 0;
    std::int32_t magic_type = 0;
    std::int32_t eq_type = 0;
    std::int32_t custom_eq_index = 0;
    std::int32_t mic_in_select = 0;
    std::int32_t mic_in_value = 0;
    std::int32_t monitor_select = 0;
    std::int32_t monitor_value = 0;
    bool operator==(const HeadsetState&) const = default;
};
static_assert(sizeof(HeadsetState) == 32);

#pragma pack(pop)

// Gains in dB of the ten equaliser bands.
inline constexpr int kEqualizerBandCount = 10;
using EqualizerBands = std::vector<int>;

// One element of "CorrectInfo".
struct CorrectionRecord {
    std::uint8_t pix_thresh = 0;
    std::uint8_t min_sq = 0;
    std::uint8_t select = 0;
    std::string name;
};

}  // namespace tellune
