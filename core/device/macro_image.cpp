#include "core/device/macro_image.h"

#include <algorithm>

#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"

namespace tellune::device {

namespace {

std::string in_folder(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

void put16(std::vector<uint8_t>& out, size_t at, size_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

uint16_t parse_delay(const Json::Value& value) {
    std::string text;
    if (value.isString())
        text = value.asString();
    else if (value.isIntegral())
        text = value.isUInt64() ? std::to_string(value.asUInt64()) : "";  // negative: no digits
    uint32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = std::min<uint32_t>(n * 10 + static_cast<uint32_t>(c - '0'), 70000);
    }
    return n > 65534 ? 65535 : static_cast<uint16_t>(n);
}

MacroEvent macro_event_from_json(const Json::Value& event) {
    MacroEvent e;
    e.delay = parse_delay(json_get(event, "Delay"));
    e.type = static_cast<uint8_t>(json_int(json_get(event, "Type")));
    if (json_string(json_get(event, "Action")) == "down") e.type |= 0x80;
    e.button = static_cast<uint8_t>(json_int(json_get(event, "Button")));
    return e;
}

MacroEvents macro_events_from_json(const Json::Value& document) {
    MacroEvents events;
    const Json::Value& list = json_get(document, "Events");
    if (!list.isArray()) return events;
    events.reserve(list.size());
    for (Json::ArrayIndex i = 0; i < list.size(); ++i)
        events.push_back(macro_event_from_json(list[i]));
    return events;
}

size_t macro_image_size(const std::vector<MacroEvents>& macros) {
    size_t size = kMacroImageHeader + 6 * macros.size();
    for (const MacroEvents& m : macros) size += 4 * m.size();
    return size;
}

std::vector<uint8_t> build_macro_image(const std::vector<MacroEvents>& macros) {
    const size_t size = macro_image_size(macros);
    if (size > kMaxImageSize) return {};
    std::vector<uint8_t> image(size, 0);
    image[0] = 0xAA;
    image[1] = 0x55;
    put16(image, 2, size);
    put16(image, 4, macros.size());
    size_t record = kMacroImageHeader + 2 * macros.size();
    for (size_t i = 0; i < macros.size(); ++i) {
        put16(image, kMacroImageHeader + 2 * i, record);
        put16(image, record, macros[i].size());
        size_t at = record + 4;
        for (const MacroEvent& e : macros[i]) {
            put16(image, at, e.delay);
            image[at + 2] = e.type;
            image[at + 3] = e.button;
            at += 4;
        }
        record = at;
    }
    return image;
}

std::optional<std::vector<MacroEvents>> decode_macro_image(const std::vector<uint8_t>& area) {
    auto get16 = [&area](size_t at) { return size_t(area[at]) | size_t(area[at + 1]) << 8; };
    if (area.size() < kMacroImageHeader || area[0] != 0xAA || area[1] != 0x55) return std::nullopt;
    const size_t size = get16(2);
    const size_t count = get16(4);
    if (size > area.size() || kMacroImageHeader + 2 * count > size) return std::nullopt;
    std::vector<MacroEvents> macros(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t record = get16(kMacroImageHeader + 2 * i);
        if (record + 4 > size) return std::nullopt;
        const size_t events = get16(record);
        if (record + 4 + 4 * events > size) return std::nullopt;
        for (size_t e = 0; e < events; ++e) {
            const size_t at = record + 4 + 4 * e;
            macros[i].push_back({uint16_t(get16(at)), area[at + 2], area[at + 3]});
        }
    }
    return macros;
}

std::optional<std::vector<MacroEvents>> load_macro_library(const std::string& folder) {
    const Json::Value library = read_json(in_folder(folder, "macro.config"));
    const Json::Value& info = json_get(library, "MacroInfo");
    if (!info.isArray() || info.empty()) return std::nullopt;
    std::vector<MacroEvents> macros;
    macros.reserve(info.size());
    for (Json::ArrayIndex i = 0; i < info.size(); ++i) {
        const std::string guid = json_string(json_get(info[i], "Guid"));
        // The library is user data: a Guid must not lead out of the folder.
        if (!is_plain_file_name(guid)) {
            macros.emplace_back();
            continue;
        }
        macros.push_back(macro_events_from_json(read_json(in_folder(folder, guid + ".mac"))));
    }
    return macros;
}

std::vector<MacroEvents> load_shoot_slots(const std::string& folder) {
    std::vector<MacroEvents> slots;
    for (int g = 0; g < kShootSlots; ++g)
        slots.push_back(macro_events_from_json(
            read_json(in_folder(folder, "ShootData_" + std::to_string(g) + ".Shoot"))));
    return slots;
}

}  // namespace tellune::device
