#pragma once
// The keyboard's software light effects: 26 modes that render one colour per key into the
// LED colour list (indexed by key index 0..125), driven by an explicit 1 ms tick, a
// millisecond clock and an injectable random source, so that every frame can be reproduced
// in a test. The reactive modes take the keyboard's key presses through key_event().
// LightThread (light_thread.h) runs it in the background.
//
// Not thread-safe by itself: the owner serialises calls (LightThread holds its lock).

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/device/light_engine.h"
#include "core/profile/profile_records.h"

namespace tellune::device {

namespace keyboard_tables {

inline constexpr size_t kKeys = 126;
inline constexpr uint8_t kNoKey = 126;  // an empty cell of the grid, an empty place of an order
inline constexpr int kColumns = 23;
inline constexpr int kRows = 6;
inline constexpr size_t kModes = 26;

// The board as 23 columns of 6 rows (row 0 at the top), each cell a key index or kNoKey.
extern const std::array<std::array<uint8_t, kRows>, kColumns> kGrid;
// The two walks over the board that the key-order wave and the trace follow.
extern const std::array<uint8_t, kKeys> kFirstOrder;
extern const std::array<uint8_t, kKeys> kSecondOrder;
// Runs of the effect per counted millisecond: threshold by mode and Speed 0..4.
extern const std::array<std::array<uint8_t, 5>, kModes> kThresholds;
// Brightness of a twinkling key by its phase 0..191.
extern const std::array<uint8_t, 192> kPulse;

struct Cell {
    int column = -1;
    int row = -1;
    bool valid() const { return column >= 0; }
};
// Where the key sits in the grid; invalid for a key the grid does not hold.
Cell cell_of(size_t key);

}  // namespace keyboard_tables

enum KeyboardLightMode : uint8_t {
    kKbColumnWave = 0,
    kKbSpectrum = 1,
    kKbBreathing = 2,
    kKbStatic = 3,
    kKbRainbow = 4,
    kKbCentreRipple = 5,
    kKbRaindrop = 6,
    kKbKeyOrderWave = 7,
    kKbCustom = 8,
    kKbSparkle = 9,
    kKbRowWave = 10,
    kKbStarlight = 11,
    kKbTrace = 12,
    kKbFlashWave = 13,
    kKbCrossWave = 14,
    kKbHeartbeat = 15,
    kKbTwinkle = 16,
    kKbBlink = 17,
    kKbRippleWave = 18,
    kKbReactiveRipple = 19,
    kKbReactiveSplash = 20,
    kKbReactiveFade = 21,
    kKbFourColourBreathing = 22,
    kKbFourColourBlink = 23,
    kKbOff = 24,
    kKbZones = 25,
};

// Number of colour schemes of the zone mode (ZZCCLedMode 0..n-1; larger values wrap).
inline constexpr int kZoneSchemes = 5;

enum class KeyAction : uint8_t { down = 1, up = 2 };

class KeyboardLightEngine : public LightRenderer {
public:
    static constexpr size_t kKeys = keyboard_tables::kKeys;
    static constexpr int kPlanes = 4;
    // Any 32-bit numbers; the effects take them modulo what they need.
    using Random = std::function<uint32_t()>;

    // Without a random source the engine seeds one of its own.
    explicit KeyboardLightEngine(size_t led_count = kKeys, Random random = {});

    void set_random(Random random);

    // --- LightRenderer ---
    void set_led_count(size_t count) override;
    const std::vector<LedColour>& leds() const override { return leds_; }
    // A new mode (or the first settings) restarts the effect state and runs the mode's start.
    void apply_light_settings(const LightSettings& settings,
                              const std::vector<LedZoneRecord>& zones,
                              const std::vector<LightEffectStep>& steps, uint32_t now_ms) override;
    const LightSettings& settings() const override { return settings_; }
    // One millisecond at `now_ms`: counts, runs the effect when the mode's threshold is
    // reached (modes past 25: the custom step player on every tick), then the zones.
    void tick(uint32_t now_ms) override;
    uint32_t ticks_until_change(uint32_t now_ms) const override;
    uint64_t frame_number() const override { return frames_; }

    // A key of the keyboard went down or up: the reactive modes (19, 20, 21) take it, the
    // others ignore it. Keys outside 0..125 are ignored.
    void key_event(size_t key, KeyAction action);

    // The colours of the selected custom light group, one per key; mode 8 shows them.
    void set_custom_colours(const std::vector<CustomColour>& colours);
    void set_custom_colour(size_t key, Rgb colour);
    const std::array<Rgb, kKeys>& custom_colours() const { return custom_; }

    // --- what a mode change runs (public for tests) ---
    // Clears the LEDs and every effect's state.
    void restart();
    // The start of the current mode: its own for 5, 11, 15 and 16, the shared one for the
    // others (mode 8 puts its colours up first).
    void start(uint32_t now_ms);
    // One run of the current mode's effect.
    void run_effect(uint32_t now_ms);

    // --- state, for tests ---
    uint8_t counter() const { return counter_; }
    uint8_t phase() const { return phase_; }
    uint8_t trace_position() const { return trace_; }
    const std::array<uint8_t, kKeys>& key_levels() const { return levels_; }
    const std::array<uint8_t, kKeys>& colour_indices() const { return colour_index_; }
    const std::array<uint8_t, kKeys>& key_states() const { return states_; }
    const std::array<uint8_t, kKeys>& twinkle_phases() const { return twinkle_; }
    using Plane = std::array<uint8_t, keyboard_tables::kColumns>;
    const std::array<Plane, kPlanes>& planes() const { return planes_; }
    void set_planes(const std::array<Plane, kPlanes>& planes) { planes_ = planes; }

private:
    uint8_t level() const;
    uint8_t speed() const;
    uint8_t mode() const { return settings_.select_item(); }
    bool up() const { return settings_.fx() != 0; }
    bool multi() const { return settings_.multi_color() != 0; }
    Rgb colour() const { return {settings_.red(), settings_.green(), settings_.blue()}; }
    uint32_t random() { return random_(); }
    void put(size_t key, Rgb c, uint8_t level);
    // The colour (or, with MultiColor, the wheel at the key's colour index) at the level
    // scaled by `key_level`.
    void show(size_t key, uint8_t key_level);
    void decay_and_show_all();

    void wave(const std::vector<std::vector<uint8_t>>& groups, int spacing);
    void rainbow();
    void trace();
    void custom();
    void light_planes();
    void spread_planes();
    void reactive_ripple();
    void centre_ripple();
    void sparkle();
    void twinkle();
    void fade_render();
    void splash(size_t key, KeyAction action);
    void raindrop();
    void starlight();
    void flash_wave();
    void cross_wave();
    void heartbeat(uint32_t now_ms);
    void zones();
    void from_base();

    void start_shared();
    void start_centre_ripple();
    void start_starlight();
    void start_twinkle();

    LightSettings settings_;
    bool applied_ = false;
    bool drawn_ = false;
    uint64_t frames_ = 0;
    std::vector<LedColour> leds_;
    std::vector<LedZoneRecord> zones_;
    // The shared effects (spectrum, breathing, static, blinks, off, custom steps, zones).
    LightEngine base_;
    Random random_;

    uint8_t counter_ = 0;
    uint8_t phase_ = 0;
    uint8_t trace_ = 0;
    uint32_t runs_ = 0;
    uint8_t column_ = 0;  // flash and cross wave cursors
    uint8_t row_ = 0;
    bool row_down_ = true;
    uint8_t hue_ = 0;
    uint32_t beat_start_ = 0;
    std::array<uint8_t, kKeys> levels_{};
    std::array<uint8_t, kKeys> colour_index_{};
    std::array<uint8_t, kKeys> states_{};  // 0 idle, 1 held / rising, 2 released / falling
    std::array<bool, kKeys> pressed_{};
    std::array<uint8_t, kKeys> twinkle_{};
    std::array<Rgb, kKeys> custom_{};
    std::array<Plane, kPlanes> planes_{};
    std::array<int8_t, keyboard_tables::kColumns> drops_{};  // row of a falling drop, -1 none
    std::array<uint8_t, keyboard_tables::kColumns> drop_colour_{};
};

}  // namespace tellune::device
