// The keyboard's light effects over a simulated clock and a fixed random source: positions,
// levels and colours worked out by hand from the tables.

#include "core/device/keyboard_light_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tellune::device {
namespace {

using keyboard_tables::cell_of;
using keyboard_tables::kFirstOrder;
using keyboard_tables::kGrid;
using keyboard_tables::kPulse;
using keyboard_tables::kSecondOrder;
using keyboard_tables::kThresholds;
using light_tables::kWheel;

// Hands out `values` in turn, from the start again after the last.
KeyboardLightEngine::Random sequence(std::vector<uint32_t> values) {
    return [values, i = size_t(0)]() mutable { return values[i++ % values.size()]; };
}

LightSettings light(uint8_t mode, uint8_t fx = 0, uint8_t multi = 0, uint8_t speed = 4,
                    uint8_t brightness = 4, Rgb c = {255, 0, 0}) {
    return LightSettings::make(mode, brightness, speed, fx, multi, c.r, c.g, c.b, 0);
}

struct Engine {
    explicit Engine(const LightSettings& s, std::vector<uint32_t> random = {7}) {
        e.set_random(sequence(std::move(random)));
        e.apply_light_settings(s, {}, {}, 0);
    }
    void run(int times = 1) {
        for (int i = 0; i < times; ++i) e.run_effect(uint32_t(i));
    }
    const LedColour& led(size_t key) const { return e.leds()[key]; }
    KeyboardLightEngine e{126};
};

TEST(KeyboardTables, GridOrdersAndPulse) {
    // Every key sits in at most one cell; the first order walks 105 keys, the second 108.
    std::vector<int> seen(127, 0);
    for (const auto& column : kGrid)
        for (uint8_t k : column) ++seen[k];
    for (size_t k = 0; k < 126; ++k) EXPECT_LE(seen[k], 1) << k;
    EXPECT_EQ(cell_of(66).column, 4);  // D
    EXPECT_EQ(cell_of(66).row, 3);
    EXPECT_EQ(cell_of(108).column, 6);  // the space bar
    EXPECT_FALSE(cell_of(16).valid());
    EXPECT_FALSE(cell_of(126).valid());
    EXPECT_EQ(std::count(kFirstOrder.begin(), kFirstOrder.end(), 126), 21);
    EXPECT_EQ(std::count(kSecondOrder.begin(), kSecondOrder.end(), 126), 18);
    // Mode rows as the table has them, the shared ones included.
    EXPECT_EQ(kThresholds[10], kThresholds[0]);
    EXPECT_EQ(kThresholds[22], kThresholds[2]);
    EXPECT_EQ(kThresholds[23], kThresholds[17]);
    EXPECT_EQ(kThresholds[16], (std::array<uint8_t, 5>{140, 255, 0, 110, 255}));
    // The twinkle pulse: up to 255 at 24, down the breathing curve, dark from 88.
    EXPECT_EQ(kPulse[0], 0);
    EXPECT_EQ(kPulse[1], 4);
    EXPECT_EQ(kPulse[23], 234);
    EXPECT_EQ(kPulse[24], 255);
    EXPECT_EQ(kPulse[25], 248);
    EXPECT_EQ(kPulse[84], 3);
    EXPECT_EQ(kPulse[85], 2);
    EXPECT_EQ(kPulse[86], 2);
    EXPECT_EQ(kPulse[87], 1);
    EXPECT_EQ(kPulse[88], 0);
    EXPECT_EQ(kPulse[191], 0);
}

TEST(KeyboardEffects, ColumnWavePositions) {
    // Upwards from phase 0: phase 1, column c at 2 + 7c of the 96-step wave.
    Engine up(light(0, 1));
    up.run();
    EXPECT_EQ(up.e.phase(), 1);
    EXPECT_EQ(up.led(120), (LedColour{255, 0, 0, 26}));  // column 0: wave[2] = 27
    EXPECT_EQ(up.led(21).level, 48);                     // column 1: wave[9] = 49
    EXPECT_EQ(up.led(0).level, 76);                      // column 2: wave[16] = 77
    EXPECT_EQ(up.led(85).level, 76);                     // the whole column
    EXPECT_EQ(up.led(2).level, 145);                     // column 4: wave[30] = 146
    EXPECT_EQ(up.led(41).level, 175);                    // column 22: wave[60] = 176
    EXPECT_EQ(up.led(16).level, 0);                      // not in the grid: dark

    // Downwards from 0 the phase wraps to 95: column c at 7c.
    Engine down(light(0, 0));
    down.run();
    EXPECT_EQ(down.e.phase(), 95);
    EXPECT_EQ(down.led(120).level, 21);  // wave[0] = 22
    EXPECT_EQ(down.led(1).level, 98);    // column 3: wave[21] = 99

    // Several colours: the wheel at 2 + 7c of 192 at the full level.
    Engine wheel(light(0, 1, 1));
    wheel.run();
    EXPECT_EQ(wheel.led(120), (LedColour{255, 5, 0, 255}));   // wheel[2]
    EXPECT_EQ(wheel.led(0), (LedColour{255, 81, 0, 255}));    // wheel[16]
    EXPECT_EQ(wheel.led(41), (LedColour{213, 0, 255, 255}));  // wheel[156]
}

TEST(KeyboardEffects, RowAndKeyOrderWaves) {
    Engine rows(light(10, 1));
    rows.run();
    EXPECT_EQ(rows.led(0).level, 26);   // row 0 at 2: wave[2] = 27
    EXPECT_EQ(rows.led(13).level, 26);  // all of row 0
    EXPECT_EQ(rows.led(22).level, 48);  // row 1 at 9
    // Key order: 15, 14, 13, ... each 5 further; the empty places are no keys.
    Engine order(light(7, 1));
    order.run();
    EXPECT_EQ(order.led(15).level, 26);  // first: wave[2]
    EXPECT_EQ(order.led(14).level, 41);  // second at 7: wave[7] = 42
}

TEST(KeyboardEffects, PerKeyRainbowStartsSpreadAndAdvances) {
    Engine e(light(4));
    for (size_t k = 0; k < 126; ++k) ASSERT_EQ(e.e.colour_indices()[k], 33 * (k + 1) % 192) << k;
    e.run();
    EXPECT_EQ(e.e.colour_indices()[0], 34);
    EXPECT_EQ(e.led(0), (LedColour{kWheel[34].r, kWheel[34].g, kWheel[34].b, 255}));
    // Key 63: 33·64 mod 192 = 0, key 5: 33·6 = 198 -> 6; key 191 would wrap at 191 -> 0.
    EXPECT_EQ(e.e.colour_indices()[63], 1);
    EXPECT_EQ(e.e.colour_indices()[5], 7);
    Engine wrap(light(4));
    for (int i = 0; i < 191 - 33; ++i) wrap.run();
    EXPECT_EQ(wrap.e.colour_indices()[0], 191);
    wrap.run();
    EXPECT_EQ(wrap.e.colour_indices()[0], 0);
}

TEST(KeyboardEffects, TraceJumpsWithoutMarkingAndLeavesATrail) {
    Engine down(light(12, 0));
    EXPECT_EQ(down.e.trace_position(), 0);
    down.run();
    EXPECT_EQ(down.e.trace_position(), 126);  // from 0 it jumps to 126
    down.run();
    EXPECT_EQ(down.e.trace_position(), 125);  // leaving 126 marks nothing
    down.run();                               // leaving 125: an empty place
    for (size_t k = 0; k < 126; ++k) ASSERT_EQ(down.e.key_levels()[k], 0) << k;

    Engine up(light(12, 1));
    up.run();  // leaves 0: Esc marked 254, then the decay takes 40
    EXPECT_EQ(up.e.trace_position(), 1);
    EXPECT_EQ(up.e.key_levels()[0], 214);
    EXPECT_EQ(up.led(0), (LedColour{255, 0, 0, 213}));
    up.run();  // F1 marked; Esc fades on
    EXPECT_EQ(up.e.key_levels()[1], 214);
    EXPECT_EQ(up.e.key_levels()[0], 174);
    // Walking up past the last place jumps back to 0 without marking.
    Engine far(light(12, 1));
    for (int i = 0; i < 126; ++i) far.run();
    EXPECT_EQ(far.e.trace_position(), 126);
    far.run();
    EXPECT_EQ(far.e.trace_position(), 0);
}

TEST(KeyboardEffects, ReactiveRippleSpreadsFromAPressedKey) {
    Engine e(light(19));
    e.e.key_event(66, KeyAction::down);  // D: column 4, row 3
    for (int p = 0; p < 4; ++p) EXPECT_EQ(e.e.planes()[size_t(p)][4], 0x08) << p;
    e.run();
    EXPECT_EQ(e.e.key_levels()[66], 215);  // lit at 255, then the decay
    // Up and towards column 0, up and towards 22, down and towards 22, down and towards 0.
    EXPECT_EQ(e.e.planes()[0][3], 0x04);
    EXPECT_EQ(e.e.planes()[0][4], 0x04);
    EXPECT_EQ(e.e.planes()[0][5], 0x00);
    EXPECT_EQ(e.e.planes()[1][5], 0x04);
    EXPECT_EQ(e.e.planes()[1][3], 0x00);
    EXPECT_EQ(e.e.planes()[2][5], 0x10);
    EXPECT_EQ(e.e.planes()[3][3], 0x10);
    e.run();
    // Row 2 (W, E, R) and row 4 (X, C, V) lit; D fades.
    for (size_t k : {44, 45, 46, 86, 87, 88}) EXPECT_EQ(e.e.key_levels()[k], 215) << k;
    EXPECT_EQ(e.e.key_levels()[66], 175);
    EXPECT_EQ(e.e.key_levels()[65], 0);  // S, beside D, is not on the bars
    // Bits leave the board at the top and bottom: after a few runs nothing stays lit.
    e.run(12);
    for (const auto& plane : e.e.planes())
        for (uint8_t bits : plane) ASSERT_EQ(bits & 0x3F, 0);

    // Other modes ignore key presses.
    Engine still(light(3));
    still.e.key_event(66, KeyAction::down);
    for (const auto& plane : still.e.planes())
        for (uint8_t bits : plane) EXPECT_EQ(bits, 0);
    still.e.key_event(500, KeyAction::down);  // no such key: nothing happens
}

TEST(KeyboardEffects, RippleTakesRandomColoursWithSeveralColours) {
    Engine e(light(19, 0, 1), {5, 190, 200});
    e.e.key_event(66, KeyAction::down);
    e.run();
    EXPECT_EQ(e.e.colour_indices()[66], 5);
    EXPECT_EQ(e.led(66), (LedColour{kWheel[5].r, kWheel[5].g, kWheel[5].b, 214}));
}

TEST(KeyboardEffects, CentreRippleStartsBelowTheBoardAndKeepsRestarting) {
    Engine e(light(5));
    for (const auto& plane : e.e.planes()) EXPECT_EQ(plane[9], 0x40);
    e.run(2);  // the first two runs only watch
    EXPECT_EQ(e.e.planes()[0][8], 0);
    e.run();  // the third spreads
    EXPECT_EQ(e.e.planes()[0][8], 0x20);
    EXPECT_EQ(e.e.planes()[2][10], 0x80);
    // Every second run it rises one row; after six rises it holds the top row only and
    // is given it in every plane, so it comes down again.
    uint8_t top = 0;
    for (int run = 4; run <= 14 && top != 0x01; ++run) {
        e.e.run_effect(uint32_t(run));
        top = uint8_t(e.e.planes()[0][9] | e.e.planes()[1][9] | e.e.planes()[2][9] |
                      e.e.planes()[3][9]);
    }
    ASSERT_EQ(top, 0x01);
    e.e.run_effect(20);  // an even run: only the restart at column 9
    EXPECT_EQ(e.e.planes()[2][9], 0x01);
    EXPECT_EQ(e.e.planes()[3][9], 0x01);
    EXPECT_GT(e.e.key_levels()[29], 0);  // "8" (column 9, row 1) was lit on the way up
}

TEST(KeyboardEffects, FadeRisesWhileHeldAndFallsAfterRelease) {
    // Splash: D pressed raises G (two columns away) by 60, E (one row up) by 150.
    Engine e(light(20));
    e.e.key_event(66, KeyAction::down);
    EXPECT_EQ(e.e.key_levels()[66], 255);
    EXPECT_EQ(e.e.key_levels()[68], 60);
    EXPECT_EQ(e.e.key_levels()[45], 150);
    EXPECT_EQ(e.e.key_levels()[44], 90);  // W, diagonal
    EXPECT_EQ(e.e.key_levels()[24], 90);  // 3, two rows up
    e.run(2);
    EXPECT_EQ(e.e.key_levels()[68], 90);  // held: +15 per run
    EXPECT_EQ(e.e.key_levels()[45], 180);
    EXPECT_EQ(e.led(68), (LedColour{255, 0, 0, 89}));
    e.e.key_event(66, KeyAction::up);
    EXPECT_EQ(e.e.key_levels()[68], 0);    // lowered by 90
    EXPECT_EQ(e.e.key_levels()[45], 165);  // lowered by 15
    e.run();
    EXPECT_EQ(e.e.key_levels()[45], 160);  // released: -5 per run
    EXPECT_EQ(e.e.key_levels()[66], 250);  // the key itself fades from full
    EXPECT_EQ(e.e.key_states()[68], 0);    // dark again: idle

    // A neighbour still lit by another held key is left alone.
    Engine two(light(20));
    two.e.key_event(66, KeyAction::down);  // D
    two.e.key_event(68, KeyAction::down);  // G: F lies between them
    two.e.key_event(66, KeyAction::up);
    EXPECT_EQ(two.e.key_states()[67], 1);  // F stays held
    EXPECT_EQ(two.e.key_levels()[67], 255);
    EXPECT_EQ(two.e.key_states()[65], 2);  // S only D reached

    // Fade: a press lights the key, a release lets it fall from full.
    Engine fade(light(21));
    fade.e.key_event(5, KeyAction::down);
    fade.run(3);
    EXPECT_EQ(fade.e.key_levels()[5], 255);
    fade.e.key_event(5, KeyAction::up);
    fade.run(2);
    EXPECT_EQ(fade.e.key_levels()[5], 245);
    EXPECT_EQ(fade.e.key_states()[5], 2);
}

TEST(KeyboardEffects, TwinklePulseAndStagger) {
    Engine e(light(16), {1000});
    // Columns are staggered: Esc (column 2) at 192 - 16, F1 (column 3) at 192 - 24.
    EXPECT_EQ(e.e.twinkle_phases()[0], 176);
    EXPECT_EQ(e.e.twinkle_phases()[1], 168);
    EXPECT_EQ(e.e.colour_indices()[0], 16);
    // The left GUI (column 2) twinkles with Esc.
    EXPECT_EQ(e.e.twinkle_phases()[106], 176);
    // Run Esc to phase 0: past 191 it starts over with a random colour (1000 mod 192 = 40).
    e.run(16);
    EXPECT_EQ(e.e.twinkle_phases()[0], 0);
    EXPECT_EQ(e.e.colour_indices()[0], 40);
    EXPECT_EQ(e.led(0).level, 0);  // pulse[0]
    e.run(24);
    EXPECT_EQ(e.e.twinkle_phases()[0], 24);
    EXPECT_EQ(e.led(0).level, 254);  // pulse[24] = 255
    e.run(64);
    EXPECT_EQ(e.e.twinkle_phases()[0], 88);
    EXPECT_EQ(e.led(0).level, 0);  // pulse[88] = 0
}

TEST(KeyboardEffects, SparkleLightsSixKeysOfTheOrder) {
    Engine e(light(9), {0, 100, 1, 101, 2, 102, 3, 103, 4, 104, 5, 105});
    e.run();
    int lit = 0;
    for (size_t k = 0; k < 126; ++k) {
        if (e.e.key_levels()[k] == 0) continue;
        ++lit;
        EXPECT_EQ(e.e.key_levels()[k], 215) << k;
        EXPECT_NE(std::find(kFirstOrder.begin(), kFirstOrder.end(), k), kFirstOrder.end());
    }
    EXPECT_EQ(lit, 6);
}

TEST(KeyboardEffects, CustomColoursAtTheBrightness) {
    Engine e(light(8, 0, 0, 0, 2));
    std::vector<CustomColour> colours(126);
    colours[3] = {10, 20, 30, 255};
    e.e.set_custom_colours(colours);
    EXPECT_EQ(e.led(3), (LedColour{10, 20, 30, 135}));  // shown at once
    e.e.set_custom_colour(4, {1, 2, 3});
    EXPECT_EQ(e.led(4), (LedColour{1, 2, 3, 135}));
    e.e.apply_light_settings(light(8, 0, 0, 0, 4), {}, {}, 0);  // brighter: same mode
    EXPECT_EQ(e.led(3).level, 255);
    // Another mode clears the board; colours set then wait for mode 8.
    e.e.apply_light_settings(light(24), {}, {}, 0);
    EXPECT_EQ(e.led(3), LedColour{});
    e.e.set_custom_colour(5, {9, 9, 9});
    EXPECT_EQ(e.led(5), LedColour{});
    e.e.apply_light_settings(light(8), {}, {}, 0);
    EXPECT_EQ(e.led(5), (LedColour{9, 9, 9, 255}));
}

TEST(KeyboardEffects, ThresholdsCountMilliseconds) {
    // Per-key rainbow at speed 4: one run every 5 ticks.
    KeyboardLightEngine e(126, sequence({1}));
    e.apply_light_settings(light(4, 0, 0, 4), {}, {}, 0);
    for (uint32_t t = 1; t <= 4; ++t) e.tick(t);
    EXPECT_EQ(e.colour_indices()[0], 33);
    EXPECT_EQ(e.ticks_until_change(4), 1u);
    e.tick(5);
    EXPECT_EQ(e.colour_indices()[0], 34);
    EXPECT_EQ(e.ticks_until_change(5), 5u);
    // Twinkle at speed 2 has threshold 0: every tick runs.
    e.apply_light_settings(light(16, 0, 0, 2), {}, {}, 10);
    const uint8_t phase = e.twinkle_phases()[0];
    e.tick(11);
    e.tick(12);
    EXPECT_EQ(e.twinkle_phases()[0], uint8_t(phase + 2));
    // A static mode draws once, then waits for new settings.
    e.apply_light_settings(light(3), {}, {}, 20);
    EXPECT_NE(e.ticks_until_change(20), LightRenderer::kNoChange);
    for (uint32_t t = 21; t <= 30; ++t) e.tick(t);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 0, 0, 255}));
    EXPECT_EQ(e.ticks_until_change(30), LightRenderer::kNoChange);
}

TEST(KeyboardEffects, SharedModesAndTheStepPlayer) {
    // Off, static and a custom step past mode 25.
    Engine off(light(24));
    off.run();
    EXPECT_EQ(off.led(0), LedColour{});
    Engine still(light(3, 0, 0, 4, 3, {1, 2, 3}));
    still.run();
    EXPECT_EQ(still.led(125), (LedColour{1, 2, 3, 195}));
    KeyboardLightEngine steps(126);
    LightEffectStep step;
    step.mode = 1;  // static
    step.brightness = 4;
    step.red = 9;
    step.time = 1000;
    steps.apply_light_settings(light(30), {}, {step}, 0);
    for (uint32_t t = 1; t <= 10; ++t) steps.tick(t);
    EXPECT_EQ(steps.leds()[7], (LedColour{9, 0, 0, 255}));
}

TEST(KeyboardEffects, OwnDesignsStayInsideTheBoard) {
    // Raindrop, starlight, flash wave, cross wave, heartbeat, ripple wave and the zones run
    // long without touching keys outside 0..125 and light something.
    for (uint8_t mode : {6, 11, 13, 14, 15, 18, 25}) {
        KeyboardLightEngine e(126, sequence({0, 3, 17, 99, 1234, 5, 77}));
        e.apply_light_settings(light(mode, 1, 1), {}, {}, 0);
        int lit_runs = 0;
        for (uint32_t t = 1; t <= 400; ++t) {
            e.run_effect(t * 37);
            bool any = false;
            for (const LedColour& c : e.leds()) any = any || c.level > 0;
            lit_runs += any;
        }
        EXPECT_GT(lit_runs, 100) << int(mode);
        EXPECT_EQ(e.leds().size(), 126u);
    }
    // The zones: WASD red on a calm board in scheme 2.
    KeyboardLightEngine zones(126);
    zones.apply_light_settings(LightSettings::make(25, 4, 0, 0, 0, 0, 0, 0, 2), {}, {}, 0);
    zones.run_effect(1);
    EXPECT_EQ(zones.leds()[44], (LedColour{255, 0, 0, 255}));
    EXPECT_EQ(zones.leds()[0], (LedColour{0, 40, 140, 255}));
}

TEST(KeyboardEffects, ZonesOfTheProfileAreDrawnOverTheEffect) {
    KeyboardLightEngine e(126);
    LedZoneRecord zone;
    zone.mode = 2;  // blink
    zone.brightness = 4;
    zone.red = 7;
    e.apply_light_settings(light(24), {zone}, {}, 0);
    e.tick(1000);
    EXPECT_EQ(e.leds()[0], (LedColour{7, 0, 0, 255}));
    EXPECT_EQ(e.leds()[1], LedColour{});
    EXPECT_EQ(e.ticks_until_change(1000), 1u);
}

}  // namespace
}  // namespace tellune::device
