// The lighting panel's group table, the mode map between device kinds and the step counts of
// the synchronised effects. Expected rows are written out from the product's table by hand.

#include "core/device/light_modes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tellune::device {
namespace {

struct Row {
    int type;
    std::vector<int> modes;
    // effect, 7c, col, pal, bri, spd, fx, lc: 'E' on, '-' off, '.' untouched
    const char* groups;
    char same;  // 'y' shown, 'n' hidden, '.' untouched
    // custom row, speed row, ZZCC row: 's' shown, 'h' hidden, '.' untouched
    const char* rows;
};

char letter(GroupState s, char on, char off) {
    return s == GroupState::On ? on : s == GroupState::Off ? off : '.';
}

std::string describe(const LightGroupStates& s) {
    std::string out;
    for (GroupState g : {s.effect, s.seven_colour, s.colour, s.palette, s.brightness, s.speed, s.fx,
                         s.light_colour})
        out += letter(g, 'E', '-');
    out += ' ';
    out += letter(s.same, 'y', 'n');
    out += ' ';
    for (GroupState g : {s.custom_row, s.speed_row, s.zzcc_row}) out += letter(g, 's', 'h');
    return out;
}

const std::vector<Row> kTable = {
    // keyboard
    {1, {0, 6, 7, 10, 12, 14, 18}, "EEEEEEEE", 'n', "hsh"},
    {1, {1}, "E---EE--", 'y', "hsh"},
    {1, {2, 17}, "EEEEEE-E", 'y', "hsh"},
    {1, {3}, "E-EEE--E", 'y', "hsh"},
    {1, {4}, "E---EE--", 'n', "hsh"},
    {1, {5, 9, 11, 15, 16, 19, 20, 21}, "EEEEEE-E", 'n', "hsh"},
    {1, {8}, "E-EEE--E", 'n', "shh"},
    {1, {13}, "E---EEE-", 'n', "hsh"},
    {1, {22, 23}, "E---EE-E", 'n', "hsh"},
    {1, {24}, "E------E", 'y', "hsh"},
    {1, {25}, "E---EE--", 'n', "hhs"},
    {1, {26, 40, 255, -1}, "E------E", 'n', "hsh"},
    // mouse
    {2, {0}, "EEEEEEEE", 'n', "..."},
    {2, {1}, "EEEEEEEE", 'y', "..."},
    {2, {2}, "E---EE--", 'y', "..."},
    {2, {3}, "E---EEE-", 'y', "..."},
    {2, {4, 6, 12}, "EEEEEE-E", 'y', "..."},
    {2, {5}, "E-EEE--E", 'y', "..."},
    {2, {7}, "E-------", 'n', "..."},
    {2, {9, 10}, "E---EE-E", 'n', "..."},
    {2, {11}, "E---E---", 'y', "..."},
    {2, {8, 13, 25, -3}, "E------E", 'n', "..."},
    // mouse pad, type 4 and headset share one table without the colour-group column
    {3, {0}, "EEEEEEE.", 'n', "..."},
    {3, {1}, "E---EE-.", 'y', "..."},
    {3, {2, 4}, "EEEEEE-.", 'y', "..."},
    {3, {3}, "E-EEE--.", 'y', "..."},
    {3, {8}, "E------.", 'y', "..."},
    {3, {5, 6, 7, 9, 12}, "E------.", 'n', "..."},
    {4, {0}, "EEEEEEE.", 'n', "..."},
    {4, {2, 4}, "EEEEEE-.", 'y', "..."},
    {4, {7}, "E------.", 'n', "..."},
    {7, {0}, "EEEEEEE.", 'n', "..."},
    {7, {1}, "E---EE-.", 'y', "..."},
    {7, {3}, "E-EEE--.", 'y', "..."},
    {7, {8}, "E------.", 'y', "..."},
    {7, {10}, "E------.", 'n', "..."},
    // type 5 leaves fx, the colour group and the button alone
    {5, {0, 2, 3}, "EEEEEE..", '.', "..."},
    {5, {1}, "E-EEE-..", '.', "..."},
    {5, {4}, "E---EE..", '.', "..."},
    {5, {5, 8, 24}, "E-----..", '.', "..."},
    // type 6 (and types without a table) change nothing
    {6, {0, 1, 7}, "........", '.', "..."},
    {0, {0}, "........", '.', "..."},
    {9, {2}, "........", '.', "..."},
};

TEST(LightModesTest, GroupTableRowByRow) {
    for (const Row& row : kTable)
        for (int mode : row.modes) {
            const std::string expected = std::string(row.groups) + ' ' + row.same + ' ' + row.rows;
            EXPECT_EQ(describe(light_group_states(row.type, mode)), expected)
                << "type " << row.type << " mode " << mode;
        }
}

TEST(LightModesTest, CommonEffectOfEachSourceMode) {
    struct Case {
        int type, mode, effect;
    };
    const Case cases[] = {
        {1, 2, 0},  {1, 3, 1},  {1, 17, 2},  {1, 1, 3},    {1, 24, 4}, {1, 0, -1}, {1, 12, -1},
        {2, 4, 0},  {2, 5, 1},  {2, 12, 2},  {2, 2, 3},    {2, 7, 4},  {2, 3, -1}, {2, 0, -1},
        {3, 2, 0},  {3, 3, 1},  {3, 4, 2},   {3, 1, 3},    {3, 8, 4},  {3, 0, -1}, {7, 2, 0},
        {7, 3, 1},  {7, 4, 2},  {7, 1, 3},   {7, 8, 4},    {7, 5, -1}, {4, 2, -1}, {5, 2, -1},
        {6, 4, -1}, {0, 2, -1}, {2, -1, -1}, {1, 256, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(common_effect_of_mode(c.type, c.mode), c.effect)
            << "type " << c.type << " mode " << c.mode;
}

TEST(LightModesTest, TargetModeOfEachCommonEffect) {
    const std::vector<int> keyboard = {2, 3, 17, 1, 24};
    const std::vector<int> mouse = {4, 5, 12, 2, 7};
    const std::vector<int> pad = {2, 3, 4, 1, 8};
    for (int e = 0; e < 5; ++e) {
        EXPECT_EQ(mode_of_common_effect(1, e), keyboard[size_t(e)]);
        EXPECT_EQ(mode_of_common_effect(2, e), mouse[size_t(e)]);
        EXPECT_EQ(mode_of_common_effect(6, e), mouse[size_t(e)]);
        EXPECT_EQ(mode_of_common_effect(3, e), pad[size_t(e)]);
        EXPECT_EQ(mode_of_common_effect(7, e), pad[size_t(e)]);
        EXPECT_EQ(mode_of_common_effect(4, e), -1);
        EXPECT_EQ(mode_of_common_effect(0, e), -1);
    }
    EXPECT_EQ(mode_of_common_effect(2, 5), -1);
    EXPECT_EQ(mode_of_common_effect(2, -1), -1);
    // Keyboard 17 -> blink -> mouse 12, pad 4.
    EXPECT_EQ(mode_of_common_effect(2, common_effect_of_mode(1, 17)), 12);
    EXPECT_EQ(mode_of_common_effect(3, common_effect_of_mode(1, 17)), 4);
}

TEST(LightModesTest, StepThresholdsPerEffectAndSpeed) {
    const int expected[5][5] = {
        {5, 4, 3, 2, 1},  // breathing
        {7, 6, 5, 4, 3},  // static
        {5, 4, 3, 2, 1},  // blink
        {7, 6, 5, 4, 3},  // spectrum
        {9, 8, 7, 6, 5},  // off
    };
    for (int e = 0; e < 5; ++e)
        for (int s = 0; s < 5; ++s)
            EXPECT_EQ(sync_step_threshold(e, s), uint32_t(expected[e][s])) << e << "/" << s;
    // Out of range: speed clamped, effect taken as off.
    EXPECT_EQ(sync_step_threshold(0, 9), 1u);
    EXPECT_EQ(sync_step_threshold(1, -2), 7u);
    EXPECT_EQ(sync_step_threshold(7, 0), 9u);
    EXPECT_EQ(sync_step_threshold(-1, 4), 5u);
}

}  // namespace
}  // namespace tellune::device
