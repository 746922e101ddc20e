#pragma once
// Macro and shoot images as the mouse and keyboard take them, and the minimal readers of the
// macro library, the ".mac" files and the ".Shoot" files that feed them.
//
// Image layout (little-endian): magic AA 55, total length L, macro count N, 10 reserved bytes
// (zero here), N record offsets from the start of the image, then per macro its event count
// E, 2 reserved bytes and E events of 4 bytes (delay lo, delay hi, type | 0x80 when down,
// button). L = 16 + 6·N + 4·(sum of E).

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tellune::device {

struct MacroEvent {
    uint16_t delay = 0;
    uint8_t type = 0;  // bit 7: "down"
    uint8_t button = 0;
    bool operator==(const MacroEvent&) const = default;
};
using MacroEvents = std::vector<MacroEvent>;

inline constexpr size_t kMacroImageHeader = 16;
inline constexpr size_t kMaxImageSize = 0xFFFF;  // L is a 16-bit field
inline constexpr int kShootSlots = 4;

// "Delay": a decimal string (or a JSON integer, as in the shoot files); text that does not
// start with digits reads as 0; above 65534 reads as 65535.
uint16_t parse_delay(const Json::Value& value);
// One element of "Events".
MacroEvent macro_event_from_json(const Json::Value& event);
// The "Events" array of a macro or shoot document; empty when missing or not an array.
MacroEvents macro_events_from_json(const Json::Value& document);

// L of the image of these macros (not limited to 16 bits).
size_t macro_image_size(const std::vector<MacroEvents>& macros);
// The image, or an empty vector when L, N or an event count does not fit its 16-bit field.
std::vector<uint8_t> build_macro_image(const std::vector<MacroEvents>& macros);

// The macros an image holds, as a device reads them back out of its macro area (which may
// be longer than the image). Nothing when the magic, the length or a record offset or count
// does not fit the bytes.
std::optional<std::vector<MacroEvents>> decode_macro_image(const std::vector<uint8_t>& area);

// The macros of "macro.config" in `folder`, in library order, each read from its Guid +
// ".mac" (a missing or unsafe file name gives no events). Nothing when the library cannot be
// read or lists no macro.
std::optional<std::vector<MacroEvents>> load_macro_library(const std::string& folder);
// The events of "ShootData_0.Shoot" .. "ShootData_3.Shoot" in `folder` (missing: none).
std::vector<MacroEvents> load_shoot_slots(const std::string& folder);

}  // namespace tellune::device
