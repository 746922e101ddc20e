#include "core/profile/light_presets.h"

#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"

namespace tellune {

std::vector<BuiltInLightName> read_built_in_light_names(const Json::Value& document, int model) {
    std::vector<BuiltInLightName> names;
    const Json::Value& list = json_get(json_get(document, "DefaultLightName"), model);
    if (!list.isArray()) return names;
    for (const Json::Value& entry : list) {
        names.push_back({json_string(json_get(entry, "LightName")),
                         json_bool(json_get(entry, "visible"), true)});
    }
    return names;
}

std::vector<std::string> read_area_light_names(const Json::Value& document, int model) {
    std::vector<std::string> names;
    const Json::Value& list = json_get(json_get(document, "AreaLightName"), model);
    if (!list.isArray()) return names;
    for (const Json::Value& entry : list)
        names.push_back(json_string(json_get(entry, "LightName")));
    return names;
}

std::vector<CustomLightName> read_custom_light_names(const Json::Value& document, int model) {
    std::vector<CustomLightName> names;
    const Json::Value& list = json_get(json_get(document, "LightInfo"), model);
    if (!list.isArray()) return names;
    for (const Json::Value& entry : list) {
        names.push_back(
            {json_string(json_get(entry, "LightName")), json_string(json_get(entry, "Guid"))});
    }
    return names;
}

std::vector<LightEffectStep> read_light_effect_steps(const Json::Value& document) {
    std::vector<LightEffectStep> steps;
    const Json::Value& list = json_get(document, "LEDEffectList");
    if (!list.isArray()) return steps;
    steps.reserve(list.size());
    for (const Json::Value& e : list) {
        LightEffectStep s;
        s.mode = std::uint8_t(json_int(json_get(e, "LEDREGMode")));
        s.brightness = std::uint8_t(json_int(json_get(e, "LEDBrightness")));
        s.speed = std::uint8_t(json_int(json_get(e, "LEDSpeed")));
        s.direction = std::uint8_t(json_int(json_get(e, "LEDDirection")));
        s.multi_color = std::uint8_t(json_int(json_get(e, "LEDMultiColor")));
        s.red = std::uint8_t(json_int(json_get(e, "red")));
        s.green = std::uint8_t(json_int(json_get(e, "green")));
        s.blue = std::uint8_t(json_int(json_get(e, "blue")));
        // A negative duration would wrap to weeks; treat it as "move on at once".
        s.time = std::uint32_t(std::max(0, json_int(json_get(e, "Time"))));
        s.cycle = std::uint32_t(std::max(0, json_int(json_get(e, "Cyle"))));
        steps.push_back(s);
    }
    return steps;
}

std::string light_effect_file(const std::string& light_list_path, std::string_view guid) {
    if (!is_plain_file_name(guid)) return {};
    const auto slash = light_list_path.rfind('/');
    if (slash == std::string::npos) return {};
    return light_list_path.substr(0, slash + 1) + std::string(guid) + ".light";
}

}  // namespace tellune
