#pragma once
// How a connected device is named and described to scripts: one JSON object per device,
// the same whether tellunectl scanned the devices itself or asked the running program.
//   "kind"         "mouse", "pad", "keyboard" or "headset"
//   "node"         the hidraw node ("/dev/hidraw3"), the path without its interface part
//   "path"         the full interface path
//   "id"           "vvvv:pppp" in hex
//   "hid_version"  the device's release number (its firmware version), when it could be read
//   "battery"      percent, and "charging_state" (the power widget's byte: 0, 1 or 2), for
//                  the devices that report them

#include <json/json.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tellune::device {

std::string_view device_kind_name(int kind);
// -1 for a name no kind has.
int device_kind_from_name(std::string_view name);
std::string node_of(const std::string& path);

Json::Value describe_device(int kind, const std::string& path, uint16_t vendor, uint16_t product,
                            std::optional<int> hid_version);

// Kinds whose status bytes (6 bytes read at offset 0) carry the battery: the pad, the headset.
bool reports_power(int kind);
inline constexpr size_t kPowerStatusSize = 6;
void add_power(Json::Value& d, std::span<const uint8_t, kPowerStatusSize> status);

// The device of `devices` (an array as above) that `name` means: a kind ("mousepad" is the
// pad), a node or a whole path. Null when none.
const Json::Value* find_described(const Json::Value& devices, std::string_view name);

}  // namespace tellune::device
