// Light preset files of any content: the built-in names ("default_light.json"), the custom
// list ("pomex_light.config") and a custom effect (".light"). One input serves as all three.
// Nothing throws, and no "Guid" leads to a file outside the device's folder.

#include <string>

#include "core/profile/json_file.h"
#include "core/profile/light_presets.h"
#include "core/profile/profile_data.h"
#include "fuzz/fuzz_support.h"

using namespace tellune;

namespace {

const std::string& folder() {
    static const std::string f = fuzz::scratch_subfolder("light");
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list_path = folder() + "pomex_light.config";
    fuzz::write_bytes(list_path, data, size);
    // The seeds name their effect "fx".
    fuzz::write_bytes(folder() + "fx.light", data, size);

    const Json::Value doc = read_json(list_path);
    for (int model = -1; model <= 4; ++model) {
        read_built_in_light_names(doc, model);
        read_area_light_names(doc, model);
        for (const CustomLightName& custom : read_custom_light_names(doc, model)) {
            const std::string file = light_effect_file(list_path, custom.guid);
            if (file.empty()) continue;
            FUZZ_CHECK(file == folder() + custom.guid + ".light");
            FUZZ_CHECK(custom.guid.find('/') == std::string::npos);
            FUZZ_CHECK(custom.guid != "." && custom.guid != "..");
        }
    }
    const std::vector<LightEffectStep> steps = read_light_effect_steps(doc);
    const Json::Value& list = json_get(doc, "LEDEffectList");
    FUZZ_CHECK(steps.size() == (list.isArray() ? list.size() : 0u));

    // As the mouse reads the effect of its selected mode.
    CBasicProfiledata profile;
    profile.load_light_list(list_path);
    for (int mode = 0; mode < 4; ++mode) {
        profile.write_light_settings(LightSettings::make(uint8_t(mode), 4, 2, 0, 0, 0, 0, 0, 0));
        profile.read_light_effects();
    }
    return 0;
}
