#include "core/device/device_listing.h"

#include <cstdio>

#include "core/hid/device_slots.h"

namespace tellune::device {

std::string_view device_kind_name(int kind) {
    switch (kind) {
        case hid::kKindMouse:
        case hid::kKindWirelessMouse:
            return "mouse";
        case hid::kKindMousePad:
            return "pad";
        case hid::kKindKeyboard:
            return "keyboard";
        case hid::kKindHeadset:
            return "headset";
        default:
            return "unknown";
    }
}

int device_kind_from_name(std::string_view name) {
    if (name == "mouse") return hid::kKindMouse;
    if (name == "pad" || name == "mousepad") return hid::kKindMousePad;
    if (name == "keyboard") return hid::kKindKeyboard;
    if (name == "headset") return hid::kKindHeadset;
    return -1;
}

std::string node_of(const std::string& path) {
    return path.substr(0, path.find('?'));
}

Json::Value describe_device(int kind, const std::string& path, uint16_t vendor, uint16_t product,
                            std::optional<int> hid_version) {
    Json::Value d;
    d["kind"] = std::string(device_kind_name(kind));
    d["node"] = node_of(path);
    d["path"] = path;
    char id[16];
    std::snprintf(id, sizeof id, "%04x:%04x", vendor, product);
    d["id"] = id;
    if (hid_version) d["hid_version"] = *hid_version;
    return d;
}

bool reports_power(int kind) {
    return kind == hid::kKindMousePad || kind == hid::kKindHeadset;
}

void add_power(Json::Value& d, std::span<const uint8_t, kPowerStatusSize> status) {
    d["battery"] = status[0];
    d["charging_state"] = status[1];
}

const Json::Value* find_described(const Json::Value& devices, std::string_view name) {
    if (!devices.isArray()) return nullptr;
    if (name == "mousepad") name = "pad";
    const auto is = [&](const Json::Value& d, const char* key) {
        return d[key].isString() && d[key].asString() == name;
    };
    for (const Json::Value& d : devices)
        if (d.isObject() && (is(d, "kind") || is(d, "node") || is(d, "path"))) return &d;
    return nullptr;
}

}  // namespace tellune::device
