#include "core/device/light_modes.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

namespace tellune::device {
namespace {

constexpr GroupState on_off(char c) {
    return c == 'E' ? GroupState::On : GroupState::Off;
}

// `groups`: one letter per group in the order effect, 7c, col, pal, bri, spd, fx, lc
// ('E' enabled, '-' disabled, ' ' untouched).
LightGroupStates row(std::string_view groups, bool same) {
    LightGroupStates s;
    GroupState* fields[] = {&s.effect,     &s.seven_colour, &s.colour, &s.palette,
                            &s.brightness, &s.speed,        &s.fx,     &s.light_colour};
    for (size_t i = 0; i < groups.size() && i < std::size(fields); ++i)
        if (groups[i] != ' ') *fields[i] = on_off(groups[i]);
    s.same = same ? GroupState::On : GroupState::Off;
    return s;
}

bool in(int mode, std::initializer_list<int> modes) {
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

LightGroupStates keyboard(int m) {
    LightGroupStates s;
    if (in(m, {0, 6, 7, 10, 12, 14, 18}))
        s = row("EEEEEEEE", false);
    else if (m == 1)
        s = row("E---EE--", true);
    else if (in(m, {2, 17}))
        s = row("EEEEEE-E", true);
    else if (m == 3)
        s = row("E-EEE--E", true);
    else if (m == 4)
        s = row("E---EE--", false);
    else if (in(m, {5, 9, 11, 15, 16, 19, 20, 21}))
        s = row("EEEEEE-E", false);
    else if (m == 8)
        s = row("E-EEE--E", false);
    else if (m == 13)
        s = row("E---EEE-", false);
    else if (in(m, {22, 23}))
        s = row("E---EE-E", false);
    else if (m == 24)
        s = row("E------E", true);
    else if (m == 25)
        s = row("E---EE--", false);
    else
        s = row("E------E", false);
    // The keyboard's extra rows: the custom effect list only for mode 8, the ZZCC list only
    // for mode 25, and neither of those two has a speed.
    s.custom_row = m == 8 ? GroupState::On : GroupState::Off;
    s.zzcc_row = m == 25 ? GroupState::On : GroupState::Off;
    s.speed_row = (m == 8 || m == 25) ? GroupState::Off : GroupState::On;
    return s;
}

LightGroupStates mouse(int m) {
    if (m == 0) return row("EEEEEEEE", false);
    if (m == 1) return row("EEEEEEEE", true);
    if (m == 2) return row("E---EE--", true);
    if (m == 3) return row("E---EEE-", true);
    if (in(m, {4, 6, 12})) return row("EEEEEE-E", true);
    if (m == 5) return row("E-EEE--E", true);
    if (m == 7) return row("E-------", false);
    if (in(m, {9, 10})) return row("E---EE-E", false);
    if (m == 11) return row("E---E---", true);
    return row("E------E", false);
}

// Mouse pad, headset and type 4: no colour-group column.
LightGroupStates pad(int m) {
    if (m == 0) return row("EEEEEEE ", false);
    if (m == 1) return row("E---EE- ", true);
    if (in(m, {2, 4})) return row("EEEEEE- ", true);
    if (m == 3) return row("E-EEE-- ", true);
    if (m == 8) return row("E------ ", true);
    return row("E------ ", false);
}

LightGroupStates type5(int m) {
    LightGroupStates s;
    if (in(m, {0, 2, 3}))
        s = row("EEEEEE  ", false);
    else if (m == 1)
        s = row("E-EEE-  ", false);
    else if (m == 4)
        s = row("E---EE  ", false);
    else
        s = row("E-----  ", false);
    s.same = GroupState::Keep;
    return s;
}

// Modes of the common effects 0..4, per kind.
constexpr std::array<int, kCommonEffectCount> kKeyboardModes = {2, 3, 17, 1, 24};
constexpr std::array<int, kCommonEffectCount> kMouseModes = {4, 5, 12, 2, 7};
constexpr std::array<int, kCommonEffectCount> kPadModes = {2, 3, 4, 1, 8};

const std::array<int, kCommonEffectCount>* modes_of(int kind) {
    switch (kind) {
        case 1:
            return &kKeyboardModes;
        case 2:
        case 6:
            return &kMouseModes;
        case 3:
        case 7:
            return &kPadModes;
        default:
            return nullptr;
    }
}

}  // namespace

LightGroupStates light_group_states(int light_type, int mode) {
    switch (light_type) {
        case 1:
            return keyboard(mode);
        case 2:
            return mouse(mode);
        case 3:
        case 4:
        case 7:
            return pad(mode);
        case 5:
            return type5(mode);
        default:
            return {};
    }
}

int common_effect_of_mode(int light_type, int mode) {
    // Only these light types can be the source of a copy.
    if (light_type != 1 && light_type != 2 && light_type != 3 && light_type != 7) return -1;
    const auto* modes = modes_of(light_type);
    for (size_t e = 0; e < modes->size(); ++e)
        if ((*modes)[e] == mode) return int(e);
    return -1;
}

int mode_of_common_effect(int kind, int effect) {
    const auto* modes = modes_of(kind);
    if (!modes || effect < 0 || effect >= kCommonEffectCount) return -1;
    return (*modes)[size_t(effect)];
}

uint32_t sync_step_threshold(int effect, int speed) {
    // Base count at speed 0; every speed step takes one count off.
    static constexpr std::array<uint32_t, kCommonEffectCount> kBase = {5, 7, 5, 7, 9};
    const int s = std::clamp(speed, 0, 4);
    const size_t e =
        (effect >= 0 && effect < kCommonEffectCount) ? size_t(effect) : size_t(kCommonOff);
    return kBase[e] - uint32_t(s);
}

}  // namespace tellune::device
