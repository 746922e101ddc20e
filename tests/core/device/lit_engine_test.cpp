// The light engine's pad and headset mode tables and their own effects, frames worked out by
// hand from the tables.

#include <gtest/gtest.h>

#include "core/device/light_engine.h"

namespace tellune::device {
namespace {

using namespace light_tables;

LightSettings mode(uint8_t m, uint8_t light, uint8_t speed, uint8_t fx, uint8_t multi = 0,
                   uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
    return LightSettings::make(m, light, speed, fx, multi, r, g, b, 0);
}

void run_to(LightEngine& e, uint32_t& now, uint32_t until) {
    while (now < until) e.tick(++now);
}

TEST(PadEffects, LedSpectrumMarksEverySecondRunAndMovesTwelvePerLed) {
    LightEngine e(15, LightModel::pad);
    // Speed 4: row 2 gives a run every 3 ticks. Fx 1 runs the wheel upwards and the pattern
    // towards higher places.
    e.apply_light_settings(mode(kPadLedSpectrum, 4, 4, 1, 1), {}, {}, 0);
    uint32_t now = 0;
    run_to(e, now, 6);  // runs 1 and 2: no mark yet, every level still 0
    for (const LedColour& c : e.leds()) EXPECT_EQ(c.level, 0);
    EXPECT_EQ(e.leds()[0], (LedColour{kWheel[2].r, kWheel[2].g, kWheel[2].b, 0}));

    run_to(e, now, 9);  // run 3: LED 0 marked, then decayed once: 255 -> 215, 255 * 215 / 256
    EXPECT_EQ(e.leds()[0], (LedColour{255, 0, 24, 214}));  // wheel[183]
    EXPECT_EQ(e.leds()[1].level, 0);
    EXPECT_EQ(e.pattern()[1], 1);

    run_to(e, now, 12);                                     // run 4: no mark; 215 -> 175
    EXPECT_EQ(e.leds()[0], (LedColour{255, 0, 104, 174}));  // wheel[172]
    EXPECT_EQ(e.leds()[1].level, 0);

    run_to(e, now, 15);                                     // run 5: LED 1 marked
    EXPECT_EQ(e.leds()[0], (LedColour{255, 0, 234, 134}));  // wheel[161], 175 -> 135
    EXPECT_EQ(e.leds()[1], (LedColour{255, 0, 94, 214}));   // wheel[173]
    EXPECT_EQ(e.pattern()[2], 1);
}

TEST(PadEffects, WaveStepsSevenPlacesPerLed) {
    LightEngine e(15, LightModel::pad);
    // Speed 4, row 0: a run every tick. Fx 0: from phase 0 down to 95; LED i at 7i.
    e.apply_light_settings(mode(kPadWave, 4, 4, 0, 0, 100, 0, 0), {}, {}, 0);
    e.tick(1);
    EXPECT_EQ(e.phase(), 95);
    EXPECT_EQ(e.leds()[0], (LedColour{100, 0, 0, 21}));   // wave[0] = 22
    EXPECT_EQ(e.leds()[1], (LedColour{100, 0, 0, 41}));   // wave[7] = 42
    EXPECT_EQ(e.leds()[14], (LedColour{100, 0, 0, 26}));  // wave[98 % 96] = 27
}

TEST(PadEffects, GroupSpectrumLightsMirroredPairsAndLeavesLedZeroDark) {
    LightEngine e(15, LightModel::pad);
    e.apply_light_settings(mode(kPadStatic, 4, 0, 0, 0, 9, 9, 9), {}, {}, 0);
    uint32_t now = 0;
    run_to(e, now, 7);
    EXPECT_EQ(e.leds()[0].level, 255);
    e.apply_light_settings(mode(kPadGroupSpectrum, 4, 4, 0, 0, 0, 0, 200), {}, {}, now);
    run_to(e, now, now + 9);
    EXPECT_EQ(e.leds()[0], (LedColour{}));
    EXPECT_EQ(e.leds()[1], (LedColour{0, 0, 200, 214}));
    EXPECT_EQ(e.leds()[14], (LedColour{0, 0, 200, 214}));
    EXPECT_EQ(e.leds()[2], (LedColour{0, 0, 200, 0}));
    EXPECT_EQ(e.pattern()[1], 1);  // Fx 0 turns the pattern towards higher places
}

TEST(PadEffects, ThresholdsByMode) {
    LightEngine e(15, LightModel::pad);
    e.apply_light_settings(mode(kPadBreathing, 4, 0, 0), {}, {}, 0);
    EXPECT_EQ(e.ticks_until_change(0), 5u);  // row 0 at speed 0
    e.apply_light_settings(mode(kPadOff, 4, 0, 0), {}, {}, 0);
    EXPECT_EQ(e.ticks_until_change(0), 7u);  // row 2 at speed 0
    e.apply_light_settings(mode(kPadCustom, 4, 0, 0), {}, {}, 0);
    EXPECT_EQ(e.ticks_until_change(0), 1u);  // the step player: every pass
    e.tick(1);
    EXPECT_EQ(e.ticks_until_change(1), LightEngine::kNoChange);  // no steps: dark, for good
    for (const LedColour& c : e.leds()) EXPECT_EQ(c, LedColour{});
}

TEST(PadEffects, ZonesRunAfterEveryPass) {
    LightEngine e(15, LightModel::pad);
    LedZoneRecord zone;
    zone.mode = 3;  // spectrum zone: the wheel moves on every 3 passes at speed 4
    zone.brightness = 4;
    zone.speed = 4;
    zone.multi_color = 1;
    zone.present = 1;
    e.apply_light_settings(mode(kPadStatic, 4, 0, 0, 0, 1, 2, 3), {zone}, {}, 0);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 1, 0, 255}));  // rendered once when applied
    EXPECT_EQ(e.ticks_until_change(0), 1u);
    e.tick(1);
    e.tick(2);
    EXPECT_EQ(e.leds()[0], (LedColour{255, 3, 0, 255}));  // wheel[1]
    EXPECT_EQ(e.leds()[1], LedColour{});                  // static not drawn yet
    for (uint32_t t = 3; t <= 5; ++t) e.tick(t);
    EXPECT_EQ(e.leds()[1], (LedColour{1, 2, 3, 255}));
    EXPECT_EQ(e.leds()[0], (LedColour{255, 5, 0, 255}));  // the zone over the static colour
}

TEST(HeadsetEffects, SpeedPastTheTableRunsEveryTick) {
    LightEngine e(13, LightModel::headset);
    e.apply_light_settings(mode(kPadSpectrum, 4, 7, 1), {}, {}, 0);
    EXPECT_EQ(e.ticks_until_change(0), 1u);
    e.tick(1);
    EXPECT_EQ(e.leds()[12], (LedColour{255, 3, 0, 255}));  // wheel[1]
    e.tick(2);
    EXPECT_EQ(e.leds()[12], (LedColour{255, 5, 0, 255}));  // wheel[2]
}

TEST(HeadsetEffects, ModeFiveAndUnknownModesLeaveTheFrame) {
    LightEngine e(13, LightModel::headset);
    e.apply_light_settings(mode(kPadStatic, 4, 4, 0, 0, 7, 8, 9), {}, {}, 0);
    for (uint32_t t = 1; t <= 3; ++t) e.tick(t);
    ASSERT_EQ(e.leds()[5], (LedColour{7, 8, 9, 255}));
    for (uint8_t m : {uint8_t(kPadCustom), uint8_t(9), uint8_t(200)}) {
        e.apply_light_settings(mode(m, 4, 4, 0), {}, {}, 3);
        const uint64_t frames = e.frame_number();
        EXPECT_EQ(e.ticks_until_change(3), LightEngine::kNoChange) << int(m);
        for (uint32_t t = 4; t <= 50; ++t) e.tick(t);
        EXPECT_EQ(e.leds()[5], (LedColour{7, 8, 9, 255})) << int(m);
        EXPECT_EQ(e.frame_number(), frames) << int(m);
    }
}

TEST(HeadsetEffects, GroupSpectrumPairsTheTwoSides) {
    LightEngine e(13, LightModel::headset);
    e.apply_light_settings(mode(kPadGroupSpectrum, 4, 4, 1, 0, 50, 60, 70), {}, {}, 0);
    uint32_t now = 0;
    run_to(e, now, 9);
    EXPECT_EQ(e.leds()[0], (LedColour{50, 60, 70, 214}));
    EXPECT_EQ(e.leds()[7], (LedColour{50, 60, 70, 214}));
    EXPECT_EQ(e.leds()[6].level, 0);
    EXPECT_EQ(e.leds()[12].level, 0);
    // Fx 1 turns the pattern towards lower places, within its first 8.
    EXPECT_EQ(e.pattern()[7], 1);
}

}  // namespace
}  // namespace tellune::device
