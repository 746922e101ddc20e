#pragma once
// Light preset files: built-in mode names ("default_light.json"), custom effect names
// ("pomex_light.config") and custom effect files (Guid + ".light"). All read only.

#include <json/json.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/profile/profile_records.h"

namespace tellune {

struct BuiltInLightName {
    std::string name;  // a text id the interface translates
    bool visible = true;
};

struct CustomLightName {
    std::string name;
    std::string guid;  // base name of the ".light" file
};

// "DefaultLightName"[model]: one entry per built-in light mode, in mode order. A missing
// "visible" counts as visible. Empty when the file or the element is missing.
std::vector<BuiltInLightName> read_built_in_light_names(const Json::Value& document, int model);
// "AreaLightName"[model]: one name per lighting area.
std::vector<std::string> read_area_light_names(const Json::Value& document, int model);
// "LightInfo"[model] of "pomex_light.config".
std::vector<CustomLightName> read_custom_light_names(const Json::Value& document, int model);

// "LEDEffectList" of a parsed custom light effect document; empty when it is missing.
std::vector<LightEffectStep> read_light_effect_steps(const Json::Value& document);

// Path of the effect file that `guid` names: folder + guid + ".light", where folder is the
// folder part (with its '/') of `light_list_path`. Empty when the guid is not a plain file
// name: effect files are only ever taken from the device's own data folder.
std::string light_effect_file(const std::string& light_list_path, std::string_view guid);

}  // namespace tellune
