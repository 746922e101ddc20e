#pragma once
// A change of a device's settings asked for from outside the window (tellunectl, directly or
// through the running program): checked once, carried as JSON over the session bus, and
// applied to the settings and the profile exactly as the device page applies its own.

#include <json/json.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/device/key_functions.h"
#include "core/device/mouse_protocol.h"
#include "core/profile/profile_records.h"

namespace tellune {
class CMouseProfiledata;
}

namespace tellune::device {

inline constexpr std::array<int, 5> kReportRatesHz = {125, 250, 500, 1000, 2000};
inline constexpr int kLiftSettings = 3;
inline constexpr int kLightLevelMax = 4;

// Fields left empty keep what the profile holds.
struct LightChange {
    std::optional<int> mode;
    std::optional<std::array<uint8_t, 3>> colour;
    std::optional<int> brightness, speed, fx;
    bool empty() const { return !mode && !colour && !brightness && !speed && !fx; }
};

struct SettingRequest {
    enum class What { dpi, rate, lift, light, keymap };
    What what = What::dpi;
    // dpi: stage (0-based) with its slider step, and/or the active stage; -1 when not given.
    int stage = -1, step = -1, active = -1;
    int rate_index = -1;  // into kReportRatesHz
    int lift = -1;        // 0-based
    LightChange light;
    // keymap: the key (0-based) and its function, or its default function.
    int key = -1;
    bool use_default = false;
    FunctionCode code;
};

// The highest light mode `kind` offers from outside (the pad shows modes above 8 as 0).
int max_light_mode(int kind);

// Empty when `r` is a sound request for a device of `kind`, else why not (one line).
std::string check_request(const SettingRequest& r, int kind);

Json::Value request_to_json(const SettingRequest& r);
// Never throws; a wrong type or an unknown "what" gives nullopt.
std::optional<SettingRequest> request_from_json(const Json::Value& v);

// The mouse's dpi, rate and lift requests into its settings and its profile, as the page's
// controls store them. The caller saves the profile and writes the settings.
void apply_to_mouse(const SettingRequest& r, MouseSettings& settings, CMouseProfiledata& profile);

// Key `r.key` of `keys` takes the function of a keymap request, as the key panel stores it;
// a macro must be one of the `macros` the library holds. Empty when done, else why not.
std::string apply_keymap(const SettingRequest& r, std::vector<KeyAssignmentRecord>& keys,
                         size_t macros);

// The light settings after `change`; a colour given makes the device one colour.
LightSettings changed_light(const LightChange& change, const LightSettings& old);

// "RRGGBB" or "#RRGGBB".
std::optional<std::array<uint8_t, 3>> parse_colour(std::string_view text);

}  // namespace tellune::device
