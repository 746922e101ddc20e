// The light effects over a simulated clock: one tick per millisecond, frames checked against
// colours worked out by hand from the tables.

#include "core/device/light_engine.h"

#include <gtest/gtest.h>

namespace tellune::device {
namespace {

using namespace light_tables;

LightSettings mode(uint8_t m, uint8_t light, uint8_t speed, uint8_t fx, uint8_t multi = 0,
                   uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
    return LightSettings::make(m, light, speed, fx, multi, r, g, b, 0);
}

// Runs `count` ticks starting after `start` ms; returns the time of the last one.
uint32_t run(LightEngine& e, uint32_t start, uint32_t count) {
    for (uint32_t i = 1; i <= count; ++i) e.tick(start + i);
    return start + count;
}

void expect_all(const LightEngine& e, LedColour c) {
    for (size_t i = 0; i < e.leds().size(); ++i) EXPECT_EQ(e.leds()[i], c) << "LED " << i;
}

TEST(LightTables, SpotValues) {
    EXPECT_EQ(kBreathing[0], 0);
    EXPECT_EQ(kBreathing[63], 255);
    EXPECT_EQ(kBreathing[64], 255);
    EXPECT_EQ(kBreathing[126], 1);
    EXPECT_EQ(kWave[0], 22);
    EXPECT_EQ(kWave[47], 255);
    EXPECT_EQ(kWave[48], 255);
    EXPECT_EQ(kWave[95], 22);
    EXPECT_EQ(kWheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(kWheel[31], (Rgb{255, 255, 0}));
    EXPECT_EQ(kWheel[32], (Rgb{248, 255, 0}));
    EXPECT_EQ(kWheel[100], (Rgb{0, 194, 255}));
    EXPECT_EQ(kWheel[140], (Rgb{50, 0, 255}));
    EXPECT_EQ(kWheel[191], (Rgb{255, 0, 0}));
}

TEST(LightStep, WrapsBothWays) {
    EXPECT_EQ(Step(true, 128, 120, 8), 0);
    EXPECT_EQ(Step(false, 128, 4, 8), 120);
    EXPECT_EQ(Step(true, 128, 119, 8), 127);
    EXPECT_EQ(Step(false, 128, 8, 8), 0);
    EXPECT_EQ(Step(true, 192, 190, 1), 191);
    EXPECT_EQ(Step(true, 192, 191, 1), 0);
    EXPECT_EQ(Step(false, 192, 0, 1), 191);
    EXPECT_EQ(Step(false, 96, 150, 1), 95);  // a phase left over from a longer cycle
}

TEST(LightDecay, ByLevelBand) {
    EXPECT_EQ(decay_level(255, false), 215);
    EXPECT_EQ(decay_level(128, false), 88);
    EXPECT_EQ(decay_level(127, false), 97);
    EXPECT_EQ(decay_level(64, false), 34);
    EXPECT_EQ(decay_level(63, false), 53);
    EXPECT_EQ(decay_level(32, false), 22);
    EXPECT_EQ(decay_level(31, false), 23);
    EXPECT_EQ(decay_level(17, false), 9);
    EXPECT_EQ(decay_level(16, false), 15);
    EXPECT_EQ(decay_level(16, true), 12);
    EXPECT_EQ(decay_level(2, true), 0);
    EXPECT_EQ(decay_level(0, false), 0);
}

TEST(LightEngineEffects, StaticRunsAtItsThreshold) {
    LightEngine e(4);
    e.apply_light_settings(mode(kModeStatic, 2, 0, 0, 0, 10, 20, 30), {}, {}, 0);
    EXPECT_EQ(e.ticks_until_change(0), 7u);  // not drawn yet
    run(e, 0, 6);                            // row 5 at speed 0: every 7 ticks
    expect_all(e, {0, 0, 0, 0});
    e.tick(7);
    expect_all(e, {10, 20, 30, 135});
    e.apply_light_settings(mode(kModeStatic, 4, 4, 0, 1, 10, 20, 30), {}, {}, 7);
    run(e, 7, 3);
    expect_all(e, {0, 255, 0, 255});
    EXPECT_EQ(e.ticks_until_change(10), LightEngine::kNoChange);
}

TEST(LightEngineEffects, BreathingFollowsTheCurve) {
    LightEngine e(2);
    e.apply_light_settings(mode(kModeBreathing, 3, 4, 1, 0, 200, 100, 50), {}, {}, 0);
    uint32_t t = run(e, 0, 2);
    EXPECT_EQ(e.phase(), 0);
    t = run(e, t, 1);  // speed 4: every 3 ticks
    EXPECT_EQ(e.phase(), 1);
    t = run(e, t, 3 * 19);
    EXPECT_EQ(e.phase(), 20);
    expect_all(e, {200, 100, 50, 25});  // 33 * 195 / 256
    t = run(e, t, 3 * 25);
    EXPECT_EQ(e.phase(), 45);
    expect_all(e, {200, 100, 50, 106});  // 140 * 195 / 256

    // Speed 0 runs every 7 ticks.
    e.apply_light_settings(mode(kModeBreathing, 3, 0, 1, 0, 200, 100, 50), {}, {}, t);
    const uint8_t p = e.phase();
    const uint8_t c = e.counter();
    t = run(e, t, 6 - c);
    EXPECT_EQ(e.phase(), p);
    e.tick(++t);
    EXPECT_EQ(e.phase(), p + 1);
}

TEST(LightEngineEffects, BreathingChangesColourAtEveryNewBreath) {
    LightEngine e(1);
    e.apply_light_settings(mode(kModeBreathing, 3, 4, 1, 1), {}, {}, 0);
    uint32_t t = run(e, 0, 3 * 128);  // the phase wraps to 0 on the 128th run
    EXPECT_EQ(e.phase(), 0);
    EXPECT_EQ(e.colour_index(), 1);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 64, 0, 0}));
    run(e, t, 3);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 64, 0, 0}));  // 1 * 195 / 256
    // Four-colour breathing uses its own palette whatever MultiColor says.
    LightEngine f(1);
    f.apply_light_settings(mode(kModeFourColourBreathing, 4, 4, 1, 0), {}, {}, 0);
    t = run(f, 0, 3 * 128 * 4);
    EXPECT_EQ(f.colour_index(), 0);
    run(f, t, 3 * 64);
    EXPECT_EQ(f.leds()[0], (LedColour{0, 255, 180, 254}));  // 255 * 255 / 256
}

TEST(LightEngineEffects, SpectrumRunsBackwardsWithFx0) {
    LightEngine e(3);
    e.apply_light_settings(mode(kModeSpectrum, 4, 2, 0), {}, {}, 0);
    uint32_t t = run(e, 0, 5);  // row 2 at speed 2: every 5 ticks
    EXPECT_EQ(e.phase(), 191);
    expect_all(e, {255, 0, 0, 255});
    run(e, t, 5);
    EXPECT_EQ(e.phase(), 190);
    expect_all(e, {255, 0, 2, 255});

    LightEngine f(1);
    f.apply_light_settings(mode(kModeSpectrum, 1, 2, 1), {}, {}, 0);
    run(f, 0, 5);
    EXPECT_EQ(f.leds()[0], (LedColour{255, 3, 0, 60}));
}

TEST(LightEngineEffects, BlinkTogglesByTimeAtItsThreshold) {
    LightEngine e(2);
    e.apply_light_settings(mode(kModeBlink, 4, 4, 0, 0, 1, 2, 3), {}, {}, 1000);
    uint32_t t = run(e, 1000, 6);
    expect_all(e, {0, 0, 0, 0});
    e.tick(++t);  // t = 1007, row 12 at speed 4: 7 ticks; on
    expect_all(e, {1, 2, 3, 255});
    EXPECT_EQ(e.phase(), 16);
    // Period 200 ms: the runs at 1014 .. 1203 keep it on; 1210 turns it off.
    EXPECT_EQ(e.ticks_until_change(t), 203u);
    t = run(e, t, 196);
    EXPECT_EQ(t, 1203u);
    expect_all(e, {1, 2, 3, 255});
    t = run(e, t, 7);
    expect_all(e, {0, 0, 0, 0});
    EXPECT_EQ(e.phase(), 32);

    // With several colours the wheel shows at the phase.
    LightEngine m(1);
    m.apply_light_settings(mode(kModeBlink, 4, 4, 0, 1), {}, {}, 1000);
    run(m, 1000, 7);
    EXPECT_EQ(m.leds()[0], (LedColour{255, 81, 0, 255}));
}

TEST(LightEngineEffects, FourColourBlinkStepsThroughItsPalette) {
    LightEngine e(1);
    e.apply_light_settings(mode(kModeFourColourBlink, 2, 0, 0), {}, {}, 5000);
    uint32_t t = run(e, 5000, 28);                        // row 12 at speed 0: 28 ticks
    EXPECT_EQ(e.leds()[0], (LedColour{0, 255, 0, 135}));  // index 1
    t = run(e, t, 28 * 36);  // period 1000 ms: the off toggle comes at the 36th run
    EXPECT_EQ(e.leds()[0], (LedColour{0, 0, 0, 0}));
    t = run(e, t, 28 * 36);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 0, 0, 135}));  // index 3
}

TEST(LightEngineEffects, WaveSpreadsTwelvePositionsPerLed) {
    LightEngine e(3);
    e.apply_light_settings(mode(kModeWave, 4, 4, 1, 0, 9, 8, 7), {}, {}, 0);
    e.tick(1);  // row 0 at speed 4: every tick
    EXPECT_EQ(e.phase(), 1);
    EXPECT_EQ(e.leds()[0], (LedColour{9, 8, 7, 26}));   // wave[2] = 27
    EXPECT_EQ(e.leds()[1], (LedColour{9, 8, 7, 68}));   // wave[14] = 69
    EXPECT_EQ(e.leds()[2], (LedColour{9, 8, 7, 123}));  // wave[26] = 124

    LightEngine m(2);
    m.apply_light_settings(mode(kModeWave, 4, 4, 0, 1), {}, {}, 0);
    m.tick(1);  // phase 191: positions 0 and 12
    EXPECT_EQ(m.leds()[0], (LedColour{255, 1, 0, 255}));
    EXPECT_EQ(m.leds()[1], (LedColour{255, 50, 0, 255}));
}

TEST(LightEngineEffects, OffModesAndEmptyCustomListAreDark) {
    for (uint8_t m : std::initializer_list<uint8_t>{kModeOff6, kModeOff7, kModeCustom, 13, 200}) {
        LightEngine e(3);
        e.apply_light_settings(mode(kModeStatic, 4, 4, 0, 0, 5, 5, 5), {}, {}, 0);
        run(e, 0, 3);
        expect_all(e, {5, 5, 5, 255});
        e.apply_light_settings(mode(m, 4, 4, 0, 0, 5, 5, 5), {}, {}, 3);
        run(e, 3, 7);
        expect_all(e, {0, 0, 0, 0});
    }
}

TEST(LightEngineEffects, FixedPatternRepeatsLedSixBeyondIt) {
    LightEngine e(9);
    e.apply_light_settings(mode(kModeFixedPattern, 1, 4, 0), {}, {}, 0);
    run(e, 0, 7);  // row 11 at speed 4
    EXPECT_EQ(e.leds()[0], (LedColour{255, 0, 0, 60}));
    EXPECT_EQ(e.leds()[2], (LedColour{255, 255, 0, 60}));
    EXPECT_EQ(e.leds()[4], (LedColour{0, 255, 0, 60}));
    EXPECT_EQ(e.leds()[6], (LedColour{255, 0, 0, 60}));
    EXPECT_EQ(e.leds()[8], (LedColour{255, 0, 0, 60}));
}

TEST(LightEngineEffects, RippleFadesBehindItsMark) {
    LightEngine e(10);
    e.apply_light_settings(mode(kModeRipple, 4, 4, 0, 0, 255, 255, 255), {}, {}, 0);
    uint32_t t = run(e, 0, 5);  // row 1 at speed 4: every 5 ticks
    EXPECT_EQ(e.leds()[0], (LedColour{255, 255, 255, 0}));
    EXPECT_EQ(e.leds()[7], (LedColour{255, 255, 255, 0}));
    EXPECT_EQ(e.levels()[1], 254);
    EXPECT_EQ(e.pattern()[1], 1);  // rotated towards higher positions
    t = run(e, t, 10);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 255, 255, 0}));
    EXPECT_EQ(e.leds()[1], (LedColour{255, 255, 255, 157}));  // 254 -8 -40 -8 -40 = 158
    EXPECT_EQ(e.leds()[2], (LedColour{255, 255, 255, 205}));  // 254 -8 -40 = 206
    EXPECT_EQ(e.leds()[3], (LedColour{255, 255, 255, 0}));
    EXPECT_EQ(e.leds()[8], (LedColour{0, 0, 0, 0}));  // beyond the ripple
    // When the mark reaches LED 7 the colour index moves on.
    run(e, t, 5 * 4);
    EXPECT_EQ(e.levels()[7], 254);
    EXPECT_EQ(e.colour_index(), 1);
}

TEST(LightEngineEffects, GroupSpectrumLightsGroupsFromThePattern) {
    LightEngine e(14);
    e.apply_light_settings(mode(kModeGroupSpectrum, 4, 4, 1), {}, {}, 0);
    run(e, 0, 7);              // row 3 at speed 4
    EXPECT_EQ(e.phase(), 85);  // 1, then +12 per group
    EXPECT_EQ(e.leds()[0], (LedColour{255, 57, 0, 214}));
    EXPECT_EQ(e.leds()[13], (LedColour{255, 57, 0, 214}));
    EXPECT_EQ(e.leds()[12], (LedColour{255, 176, 0, 0}));
    EXPECT_EQ(e.leds()[7], (LedColour{0, 255, 129, 0}));
    EXPECT_EQ(e.pattern()[22], 1);  // rotated towards lower positions
    // A mode change restarts the pattern.
    e.apply_light_settings(mode(kModeRipple, 4, 4, 1), {}, {}, 7);
    EXPECT_EQ(e.pattern()[0], 1);
    EXPECT_EQ(e.pattern()[22], 0);
    EXPECT_EQ(e.levels()[0], 0);
}

LightEffectStep step(uint8_t m, uint8_t r, uint8_t g, uint8_t b, uint32_t time) {
    LightEffectStep s;
    s.mode = m;
    s.brightness = 4;
    s.speed = 4;
    s.red = r;
    s.green = g;
    s.blue = b;
    s.time = time;
    return s;
}

TEST(LightEngineSteps, PlayerAdvancesByTime) {
    LightEngine e(2);
    // Row 5 at speed 4: static every 3 ticks.
    e.apply_light_settings(mode(kModeCustom, 4, 4, 0), {},
                           {step(1, 255, 0, 0, 0), step(1, 0, 0, 255, 10)}, 100);
    e.tick(101);  // Time 0 gives way once 1 ms has passed
    EXPECT_EQ(e.step_index(), 1u);
    run(e, 101, 3);
    expect_all(e, {0, 0, 255, 255});
    run(e, 104, 7);  // 111 - 101 is not more than 10
    EXPECT_EQ(e.step_index(), 1u);
    e.tick(112);
    EXPECT_EQ(e.step_index(), 0u);
    EXPECT_EQ(e.ticks_until_change(112), 1u);
}

TEST(LightEngineZones, ApplyRendersOneZoneFrame) {
    LightEngine e(4);
    std::vector<LedZoneRecord> zones(3);
    zones[0] = {0, 4, 2, 0, 0, 10, 20, 30, {0, 0}, 1, 0};  // breathing: phase 0 + 4 + 2
    zones[1] = {2, 2, 4, 0, 0, 40, 50, 60, {0, 0}, 0, 0};  // blink, taken even when absent
    zones[2] = {3, 4, 0, 0, 1, 0, 0, 0, {0, 0}, 0, 0};     // spectrum, absent: untouched
    e.apply_light_settings(mode(kModeStatic, 4, 4, 0), zones, {}, 1000);
    EXPECT_EQ(e.leds()[0], (LedColour{10, 20, 30, 5}));  // breathing[6] = 6
    EXPECT_EQ(e.leds()[1], (LedColour{40, 50, 60, 135}));
    EXPECT_EQ(e.leds()[2], (LedColour{0, 0, 0, 0}));
}

}  // namespace
}  // namespace tellune::device
