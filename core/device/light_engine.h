#pragma once
// The software light effects of the mouse, the mouse pad and the headset: pure code that
// renders into an LED colour list, driven by an explicit tick (one per millisecond) and a
// millisecond clock, so that every frame can be reproduced in a test. LightThread
// (light_thread.h) runs it in the background.
//
// The three share the tables and the common effects; each has its own mode table
// (LightModel) and a few effects of its own.
//
// Not thread-safe by itself: the owner serialises calls (LightThread holds its lock).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/profile/profile_records.h"

namespace tellune::device {

// One LED of the colour list: colour and brightness level (0..255).
struct LedColour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t level = 0;
    bool operator==(const LedColour&) const = default;
};
static_assert(sizeof(LedColour) == 4);

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

namespace light_tables {
inline constexpr size_t kThresholdRows = 14;
extern const std::array<uint8_t, 5> kBrightness;
extern const std::array<std::array<uint8_t, 5>, kThresholdRows> kThresholds;
extern const std::array<uint8_t, 5> kBlinkPeriod;  // units of 200 ms
extern const std::array<uint8_t, 128> kBreathing;
extern const std::array<uint8_t, 96> kWave;
extern const std::array<Rgb, 192> kWheel;
extern const std::array<Rgb, 8> kPalette8;
extern const std::array<Rgb, 4> kPalette4;
extern const std::array<std::array<uint8_t, 3>, 7> kLedGroups;  // 255 = no LED
extern const std::array<Rgb, 7> kFixedPattern;
// The mouse pad's seven mirrored pairs (LED 0 belongs to none).
extern const std::array<std::array<uint8_t, 2>, 7> kPadPairs;
// The headset's groups: the LEDs at the same height on the two ear cups (0-6 and 7-12, each
// from the bottom up); LED 6, the top of the longer side, stands alone.
extern const std::array<std::array<uint8_t, 2>, 7> kHeadsetGroups;  // 255 = no LED
}  // namespace light_tables

// Moves `current` by `delta` within 0..limit-1. Up: current + delta, or 0 when that is not
// below the limit. Down: current - delta taken as a byte, or limit - delta when that byte is
// not below the limit.
uint8_t Step(bool up, int limit, uint8_t current, int delta);

// Base decay of one level; `mode0` takes the slower tail of mode 0.
uint8_t decay_level(uint8_t level, bool mode0);

// Light modes (SelectItem).
enum LightMode : uint8_t {
    kModeWave = 0,
    kModeRipple = 1,
    kModeSpectrum = 2,
    kModeGroupSpectrum = 3,
    kModeBreathing = 4,
    kModeStatic = 5,
    kModeOff6 = 6,
    kModeOff7 = 7,
    kModeCustom = 8,
    kModeFourColourBreathing = 9,
    kModeFourColourBlink = 10,
    kModeFixedPattern = 11,
    kModeBlink = 12,
};

// Whose mode table and effects the engine runs.
enum class LightModel : uint8_t {
    mouse,
    // LED 0 and seven mirrored pairs; the per-zone effects run after every tick.
    pad,
    // Thirteen LEDs, 0-6 on one side and 7-12 on the other; mode 5 and unknown modes leave the
    // frame as it is.
    headset,
};

// Modes of the mouse pad and the headset (SelectItem); 0-4 and 8 are the effects every
// kind shares.
enum PadLightMode : uint8_t {
    kPadWave = 0,
    kPadSpectrum = 1,
    kPadBreathing = 2,
    kPadStatic = 3,
    kPadBlink = 4,
    kPadCustom = 5,
    kPadLedSpectrum = 6,
    kPadGroupSpectrum = 7,
    kPadOff = 8,
};

class LightEngine {
public:
    static constexpr size_t kLevelCount = 126;
    static constexpr size_t kPatternSize = 23;
    // ticks_until_change() for a frame that only settings can change.
    static constexpr uint32_t kNoChange = UINT32_MAX;

    explicit LightEngine(size_t led_count = 0, LightModel model = LightModel::mouse);

    LightModel model() const { return model_; }

    // Resizes the list and clears it.
    void set_led_count(size_t count);
    size_t led_count() const { return leds_.size(); }
    const std::vector<LedColour>& leds() const { return leds_; }

    // Takes the light settings. A new mode clears the LED levels and the pattern. Then renders
    // one frame of the per-zone effects and restarts the custom steps at step 0.
    void apply_light_settings(const LightSettings& settings,
                              const std::vector<LedZoneRecord>& zones,
                              const std::vector<LightEffectStep>& steps, uint32_t now_ms);
    const LightSettings& settings() const { return settings_; }

    // The page's colour-follow flags of the group spectrum, by direction (Fx 0, Fx != 0).
    void set_colour_follow(bool fx_down, bool fx_up) { follow_ = {fx_down, fx_up}; }

    // One millisecond tick at time `now_ms`: counts, and runs the effect of the mode when its
    // threshold is reached (the custom step player runs on every tick).
    void tick(uint32_t now_ms);
    // Ticks after which the frame can next change, counted from the last tick at `now_ms`
    // (at least 1); kNoChange when only new settings can change it.
    uint32_t ticks_until_change(uint32_t now_ms) const;

    // --- the effects, each rendering one frame (public for tests and the benchmark) ---
    void render_static();
    void render_breathing(bool four_colour);
    void render_spectrum();
    void render_blink(bool four_colour, uint32_t now_ms);
    void render_off();
    // The first LED starts one past the phase, each next one `spacing` further.
    void render_wave(size_t spacing = 12);
    void render_fixed_pattern();
    void render_ripple();
    void render_group_spectrum();
    void run_step_player(uint32_t now_ms);
    // Pad and headset: each group (one LED or a mirrored pair) gets its own decaying level and
    // its own place on the wheel, 12 further per group. On every second run (the first on
    // the third) the pattern marks levels and turns by one place within its first `span`
    // bytes, towards higher places when `higher`.
    void render_group_levels(std::span<const std::array<uint8_t, 2>> groups, size_t span,
                             bool higher);
    void render_pad_group_spectrum();
    void render_pad_led_spectrum();
    // Frames rendered since construction: a frame that changed can be told by its number.
    uint64_t frame_number() const { return frames_; }

    // State, for tests.
    uint8_t phase() const { return phase_; }
    uint8_t colour_index() const { return colour_index_; }
    uint8_t counter() const { return counter_; }
    size_t step_index() const { return step_index_; }
    const std::array<uint8_t, kLevelCount>& levels() const { return levels_; }
    const std::array<uint8_t, kPatternSize>& pattern() const { return pattern_; }

private:
    struct StepState {
        uint8_t phase = 0;
        uint8_t colour_index = 0;
        uint8_t counter = 0;
        bool blink_on = false;
        uint32_t last_toggle = 0;
        uint32_t began = 0;
    };
    struct ZoneState {
        uint8_t phase = 0;
        uint8_t wheel = 0;
        uint8_t counter = 0;
        bool blink_on = false;
        uint32_t last_toggle = 0;
    };

    uint8_t level() const;
    uint8_t speed() const;
    bool up() const { return settings_.fx() != 0; }
    Rgb colour() const { return {settings_.red(), settings_.green(), settings_.blue()}; }
    void fill(Rgb c, uint8_t level);
    void rotate_pattern();
    void render_zones(const std::vector<LedZoneRecord>& zones, uint32_t now_ms);
    // Threshold row of the mode, or -1 for the step player (mouse).
    int row_of_mode() const;
    // Ticks per frame of the current mode: 0 every tick; -1 the step player; -2 no effect.
    int threshold() const;
    bool zones_animate() const;
    void run_effect(uint32_t now_ms);

    LightModel model_;
    LightSettings settings_;
    std::vector<LedColour> leds_;
    std::array<uint8_t, kLevelCount> levels_{};
    std::array<uint8_t, kLevelCount> led_colour_index_{};
    std::array<uint8_t, kPatternSize> pattern_{};
    std::array<bool, 2> follow_{false, false};

    uint8_t counter_ = 0;
    uint8_t phase_ = 0;
    uint8_t colour_index_ = 0;
    uint8_t mark_ = 0;  // ripple mark position
    bool blink_on_ = false;
    uint32_t last_toggle_ = 0;
    bool drawn_ = false;  // an effect ran since the settings were applied
    uint8_t group_runs_ = 0;
    uint64_t frames_ = 0;
    std::vector<LedZoneRecord> zone_records_;  // the pad runs them after every tick

    std::vector<LightEffectStep> steps_;
    size_t step_index_ = 0;
    StepState step_;
    std::vector<ZoneState> zones_;
};

}  // namespace tellune::device
