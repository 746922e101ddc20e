#pragma once
// What the lighting panel offers for a device's light type and mode, and how one lighting
// choice maps between device kinds. Pure tables, no state.
//
// Light types equal the device kinds: 1 keyboard, 2 mouse, 3 mouse pad, 7 headset; 4 and 5
// have tables of their own but no device, 6 (the mouse behind its receiver) changes nothing.

#include <cstdint>

namespace tellune::device {

// The state a group of the panel is given; Keep leaves it as it was.
enum class GroupState : uint8_t { Keep, Off, On };

// Enabled (On) or disabled (Off) groups, and the rows shown or hidden, for one type and mode.
struct LightGroupStates {
    GroupState effect = GroupState::Keep;        // "lighteffect_layout"
    GroupState seven_colour = GroupState::Keep;  // "deng_7color_check"
    GroupState colour = GroupState::Keep;        // "deng_color_layout"
    GroupState palette = GroupState::Keep;       // "colorpallet_layout"
    GroupState brightness = GroupState::Keep;    // "deng_light_layout"
    GroupState speed = GroupState::Keep;         // "deng_speed_layout"
    GroupState fx = GroupState::Keep;            // "deng_fx_layout"
    GroupState light_colour = GroupState::Keep;  // "light_color_layout"
    // Shown or hidden rather than enabled:
    GroupState same = GroupState::Keep;        // "deng_same_mode" (shown only while allowed, too)
    GroupState custom_row = GroupState::Keep;  // "lightcustom_layout"
    GroupState speed_row = GroupState::Keep;   // "deng_speed_layout"
    GroupState zzcc_row = GroupState::Keep;    // "light_combo_ZZCCmodeSelectLayout"

    bool operator==(const LightGroupStates&) const = default;
};

LightGroupStates light_group_states(int light_type, int mode);

// The five effects every kind shares when one choice is copied to all devices.
enum CommonEffect : int {
    kCommonBreathing = 0,
    kCommonStatic = 1,
    kCommonBlink = 2,
    kCommonSpectrum = 3,
    kCommonOff = 4,
    kCommonEffectCount = 5,
};

// The common effect of `mode` on a device of `light_type`; -1 when the mode has none (the
// copy is then not possible).
int common_effect_of_mode(int light_type, int mode);
// The mode that shows `effect` on a device of `kind`; -1 for a kind without lights or an
// effect outside 0..4. The mouse behind its receiver takes the mouse's modes.
int mode_of_common_effect(int kind, int effect);

// Milliseconds counted between two steps of a synchronised effect at `speed` (0..4, larger
// is faster; out-of-range speeds are clamped). Effects outside 0..4 count as off.
uint32_t sync_step_threshold(int effect, int speed);

}  // namespace tellune::device
