// A profile file of any content, read by each device's profile data. No reader throws or
// fails; whatever was read, written back and saved reads back the same.

#include <algorithm>
#include <string>

#include "core/profile/profile_data.h"
#include "fuzz/fuzz_support.h"

using namespace tellune;

namespace {

const std::string& folder() {
    static const std::string f = fuzz::scratch_subfolder("profile");
    return f;
}

bool same(const std::vector<KeyAssignmentRecord>& a, const std::vector<KeyAssignmentRecord>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].assignment() != b[i].assignment() ||
            a[i].default_assignment() != b[i].default_assignment())
            return false;
    return true;
}

bool same(const std::vector<DpiStageRecord>& a, const std::vector<DpiStageRecord>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
               return x.active == y.active && x.xy == y.xy && x.dpi_x == y.dpi_x &&
                      x.dpi_y == y.dpi_y && x.red == y.red && x.green == y.green &&
                      x.blue == y.blue;
           });
}

void mouse(const std::string& path) {
    CMouseProfiledata p;
    p.set_default_profile_path(fuzz::default_data_folder() + "mouse.Json");
    p.set_profile_path(path);
    p.load_profile(path);
    const LightSettings light = p.read_light_settings();
    p.read_led_zones();
    const std::vector<KeyAssignmentRecord> keys = p.read_key_assignments();
    const std::vector<DpiStageRecord> stages = p.read_dpi_stages();
    const int active = p.active_stage();
    const MouseSystemWords system = p.read_system_words();
    p.read_corrections();

    p.write_light_settings(light);
    p.write_key_assignments(keys);
    p.write_dpi_stages(stages);
    p.set_active_stage(active);
    p.write_system_words(system);
    FUZZ_CHECK(p.save_profile());

    CMouseProfiledata back;
    back.set_default_profile_path(fuzz::default_data_folder() + "mouse.Json");
    back.load_profile(path);
    FUZZ_CHECK(back.read_light_settings() == light);
    FUZZ_CHECK(same(back.read_key_assignments(), keys));
    FUZZ_CHECK(same(back.read_dpi_stages(), stages));
    FUZZ_CHECK(back.active_stage() == active);
    const MouseSystemWords system_back = back.read_system_words();
    for (int i = 0; i < 4; ++i) FUZZ_CHECK(system_back.word[i] == system.word[i]);
}

void keyboard(const std::string& path) {
    CKeyboardProfiledata p;
    p.set_default_profile_path(fuzz::default_data_folder() + "keyboard.Json");
    p.set_profile_path(path);
    p.load_profile(path);
    p.read_light_settings();
    p.read_key_assignments();
    const KeyboardSystemWords system = p.read_system_words();
    const int group = p.read_custom_group();
    const std::vector<CustomColour> colours = p.read_custom_colours(group, 126);
    FUZZ_CHECK(colours.empty() || colours.size() == 126);
    p.write_system_words(system);
    FUZZ_CHECK(p.save_profile());
    CKeyboardProfiledata back;
    back.set_default_profile_path(fuzz::default_data_folder() + "keyboard.Json");
    back.load_profile(path);
    const KeyboardSystemWords system_back = back.read_system_words();
    for (int i = 0; i < 3; ++i) FUZZ_CHECK(system_back.word[i] == system.word[i]);
}

void headset(const std::string& path) {
    CHs6533Profiledata p;
    p.set_default_profile_path(fuzz::default_data_folder() + "HD.Json");
    p.set_profile_path(path);
    p.load_profile(path);
    p.read_light_settings();
    p.read_state();
    for (int preset = 0; preset <= 14; ++preset) {
        const EqualizerBands bands = p.read_eq_bands(preset);
        FUZZ_CHECK(bands.size() == (preset == 13 ? 0u : size_t(kEqualizerBandCount)));
    }
    const std::vector<std::string> names = p.read_user_eq_names();
    for (size_t i = 0; i < names.size() && i < 8; ++i)
        FUZZ_CHECK(p.read_user_eq_bands(int(i)).size() == size_t(kEqualizerBandCount));
    p.write_user_eq_names(names);
    FUZZ_CHECK(p.save_profile());
    CHs6533Profiledata back;
    back.set_default_profile_path(fuzz::default_data_folder() + "HD.Json");
    back.load_profile(path);
    FUZZ_CHECK(back.read_user_eq_names() == names);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = folder() + "2024_01_01_00_00_00_000.Json";
    for (void (*device)(const std::string&) : {mouse, keyboard, headset}) {
        // A damaged file is kept aside beside the profile: one copy per input otherwise.
        fuzz::empty_folder(folder());
        fuzz::write_bytes(path, data, size);
        device(path);
    }
    return 0;
}
