#include "core/profile/profile_data.h"

#include <string_view>

#include "core/platform/files.h"
#include "core/platform/platform.h"
#include "core/profile/json_file.h"
#include "core/profile/light_presets.h"

namespace tellune {
namespace {

std::uint8_t byte_of(const Json::Value& object, const char* key) {
    return std::uint8_t(json_int(json_get(object, key)));
}

std::uint16_t half_of(const Json::Value& object, const char* key) {
    return std::uint16_t(json_int(json_get(object, key)));
}

// Low half-word | high half-word << 16.
std::uint32_t pack_halves(const Json::Value& object, const char* low, const char* high) {
    return std::uint32_t(half_of(object, low)) | std::uint32_t(half_of(object, high)) << 16;
}

void store_halves(Json::Value& object, std::uint32_t word, const char* low, const char* high) {
    json_slot(object, low) = int(word & 0xFFFF);
    json_slot(object, high) = int(word >> 16);
}

bool valid_index(int index) {
    return index >= 0 && index <= kMaxJsonIndex;
}

// Equaliser bands of `list`[index]; an element the file lacks (or that is not a band list) is
// stored as ten zeros so that the next save carries it.
EqualizerBands read_bands(Json::Value& section, const char* key, int index) {
    EqualizerBands bands(kEqualizerBandCount, 0);
    const Json::Value& element = json_get(json_get(section, key), index);
    if (!element.isArray()) {
        Json::Value& slot = json_slot(json_slot(section, key), index);
        for (int i = 0; i < kEqualizerBandCount; ++i) json_slot(json_slot(slot, i), "value") = 0;
        return bands;
    }
    for (int i = 0; i < kEqualizerBandCount; ++i)
        bands[size_t(i)] = json_int(json_get(json_get(element, i), "value"));
    return bands;
}

void write_bands(Json::Value& section, const char* key, int index, const EqualizerBands& bands) {
    Json::Value& slot = json_slot(json_slot(section, key), index);
    for (int i = 0; i < kEqualizerBandCount; ++i) {
        const int value = size_t(i) < bands.size() ? bands[size_t(i)] : 0;
        json_slot(json_slot(slot, i), "value") = value;
    }
}

// Preset 0 and presets above 13 mean preset 1; 13 is the user equaliser (-1: no preset).
int map_preset(int preset) {
    if (preset == 13) return -1;
    if (preset <= 0 || preset > 13) return 1;
    return preset;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CBasicProfiledata

void CBasicProfiledata::set_profile_path(const std::string& path) {
    if (!path.empty()) profile_path_ = path;
}

void CBasicProfiledata::set_default_profile_path(const std::string& path) {
    if (!path.empty()) default_profile_path_ = path;
}

void CBasicProfiledata::set_profile_index(int index) {
    if (valid_index(index)) profile_index_ = index;
}

Json::Value& CBasicProfiledata::section_for_write() {
    if (!section_.isObject()) section_ = Json::Value(Json::objectValue);
    return section_;
}

bool CBasicProfiledata::save_profile() {
    return write_device_section(Json::Value(section_), profile_path_);
}

bool CBasicProfiledata::document_for_rewrite(const std::string& path, Json::Value& doc) {
    JsonFileState state;
    doc = read_json(path, &state);
    if (doc.isObject()) return true;
    // Never overwrite what could not be read: it may be the user's only copy.
    if ((is_damaged(state) || state == JsonFileState::kRead) && move_aside_damaged(path).empty())
        return false;
    doc = Json::Value(Json::objectValue);
    if (path == profile_path_ && !profile_name_.empty()) doc["profilename"] = profile_name_;
    const std::string_view suffix = ".Json";
    const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
    if (name.size() > suffix.size() && name.ends_with(suffix))
        doc["profileUUID"] = std::string(name.substr(0, name.size() - suffix.size()));
    return true;
}

bool CBasicProfiledata::write_device_section(const Json::Value& value, const std::string& path) {
    if (path.empty()) return false;
    Json::Value doc;
    if (!document_for_rewrite(path, doc)) return false;
    json_slot(json_slot(doc, "Device"), profile_index_) = value;
    return write_json_file(path, doc);
}

bool CBasicProfiledata::write_document(const Json::Value& value, const std::string& path) {
    return !path.empty() && write_json_file(path, value);
}

Json::Value CBasicProfiledata::load_profile(const std::string& path) {
    Json::Value doc = read_json(path);
    const Json::Value& section = json_get(json_get(doc, "Device"), 0);
    if (section.isObject()) {
        section_ = section;
        return section_;
    }
    const Json::Value defaults = read_json(default_profile_path_);
    const Json::Value& fallback = json_get(json_get(defaults, "Device"), 0);
    if (!fallback.isObject()) {
        // Nothing to restore from: leave the file alone rather than replace it with an
        // empty section.
        debug_printf("load_profile: no device section in %s nor in the default profile",
                     path.c_str());
        section_ = Json::Value();
        return section_;
    }
    section_ = fallback;
    if (document_for_rewrite(path, doc)) {
        json_slot(json_slot(doc, "Device"), 0) = section_;
        write_json_file(path, doc);
    }
    return section_;
}

LightSettings CBasicProfiledata::read_light_settings() {
    const Json::Value& info = json_get(section_, "LightInfo");
    if (!info.isObject()) {
        light_ = zero_light_;
        return light_;
    }
    light_ = LightSettings::make(
        byte_of(info, "SelectItem"), byte_of(info, "Light"), byte_of(info, "Speed"),
        byte_of(info, "Fx"), json_bool(json_get(info, "MultiColor")) ? 1 : 0, byte_of(info, "Red"),
        byte_of(info, "Green"), byte_of(info, "Blue"), byte_of(info, "ZZCCLedMode"));
    return light_;
}

void CBasicProfiledata::write_light_settings(const LightSettings& s) {
    light_ = s;
    Json::Value& info = json_slot(section_for_write(), "LightInfo");
    json_slot(info, "SelectItem") = s.select_item();
    json_slot(info, "Light") = s.light();
    json_slot(info, "Speed") = s.speed();
    json_slot(info, "MultiColor") = s.multi_color();
    json_slot(info, "Red") = s.red();
    json_slot(info, "Green") = s.green();
    json_slot(info, "Blue") = s.blue();
    json_slot(info, "Fx") = s.fx();
    json_slot(info, "ZZCCLedMode") = s.led_mode();
}

std::vector<LedZoneRecord> CBasicProfiledata::read_led_zones() {
    zones_.clear();
    const Json::Value& list = json_get(section_, "LightList");
    if (list.isArray()) {
        zones_.resize(list.size());
        for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
            const Json::Value& e = list[i];
            if (!e.isObject()) continue;  // stays all zero, not present
            LedZoneRecord& z = zones_[i];
            z.mode = byte_of(e, "LEDREGMode");
            z.brightness = byte_of(e, "LEDBrightness");
            z.speed = byte_of(e, "LEDSpeed");
            z.direction = json_bool(json_get(e, "LEDDirection")) ? 1 : 0;
            z.multi_color = json_bool(json_get(e, "LEDMultiColor")) ? 1 : 0;
            z.red = byte_of(e, "red");
            z.green = byte_of(e, "green");
            z.blue = byte_of(e, "blue");
            z.present = 1;
        }
    }
    return zones_;
}

Json::Value CBasicProfiledata::load_light_list(const std::string& path) {
    if (!path.empty()) light_list_path_ = path;
    light_list_ = light_list_path_.empty() ? Json::Value() : read_json(light_list_path_);
    return light_list_;
}

std::vector<LightEffectStep> CBasicProfiledata::read_light_effects() {
    effects_.clear();
    if (light_list_.isNull()) return effects_;
    const Json::Value& entry =
        json_get(json_get(json_get(light_list_, "LightInfo"), 0), light_.select_item());
    const std::string guid = json_string(json_get(entry, "Guid"));
    const std::string file = light_effect_file(light_list_path_, guid);
    if (file.empty()) {
        if (!guid.empty()) debug_printf("read_light_effects: refused effect name %s", guid.c_str());
        return effects_;
    }
    effects_ = read_light_effect_steps(read_json(file));
    return effects_;
}

std::vector<KeyAssignmentRecord> CBasicProfiledata::read_key_assignments() {
    keys_.clear();
    const Json::Value& list = json_get(section_, "KeyList");
    if (!list.isArray()) return keys_;
    keys_.reserve(list.size());
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        const auto current = std::uint32_t(json_int(json_get(list[i], "Assignment")));
        const auto fallback = std::uint32_t(json_int(json_get(list[i], "DefaultAssignment")));
        KeyAssignmentRecord k;
        k.key_index = k.default_key_index = std::uint16_t(i);
        k.type = std::uint8_t(current >> 16);
        k.param1 = std::uint8_t(current >> 8);
        k.param2 = std::uint8_t(current);
        k.default_type = std::uint8_t(fallback >> 16);
        k.default_param1 = std::uint8_t(fallback >> 8);
        k.default_param2 = std::uint8_t(fallback);
        keys_.push_back(k);
    }
    return keys_;
}

void CBasicProfiledata::write_key_assignments(const std::vector<KeyAssignmentRecord>& keys) {
    keys_ = keys;
    Json::Value& list = json_slot(section_for_write(), "KeyList");
    for (size_t i = 0; i < keys.size() && i <= size_t(kMaxJsonIndex); ++i)
        json_slot(json_slot(list, int(i)), "Assignment") = int(keys[i].assignment());
}

// ---------------------------------------------------------------------------------------------
// CMouseProfiledata

std::vector<DpiStageRecord> CMouseProfiledata::read_dpi_stages() {
    // Merging into the current list would send the previous profile's extra stages.
    stages_.clear();
    active_stage_ = 0;
    const Json::Value& stages = json_get(device_section(), "DPIStages");
    if (!stages.isObject()) return stages_;
    active_stage_ = json_int(json_get(stages, "StageActive"));
    const Json::Value& list = json_get(stages, "StageDPIs");
    if (!list.isArray()) return stages_;
    for (Json::ArrayIndex j = 0; j < list.size(); ++j) {
        const Json::Value& e = list[j];
        DpiStageRecord s;
        s.active = byte_of(e, "StageActive");
        s.xy = byte_of(e, "StageXY");
        s.dpi_x = half_of(e, "StageDPIX");
        s.dpi_y = half_of(e, "StageDPIY");
        s.red = byte_of(e, "StageColorR");
        s.green = byte_of(e, "StageColorG");
        s.blue = byte_of(e, "StageColorB");
        stages_.push_back(s);
    }
    return stages_;
}

void CMouseProfiledata::write_dpi_stages(const std::vector<DpiStageRecord>& stages) {
    stages_ = stages;
    Json::Value& list = json_slot(json_slot(section_for_write(), "DPIStages"), "StageDPIs");
    for (size_t i = 0; i < stages.size() && i <= size_t(kMaxJsonIndex); ++i) {
        const DpiStageRecord s = stages[i];
        Json::Value& e = json_slot(list, int(i));
        json_slot(e, "StageActive") = s.active;
        json_slot(e, "StageXY") = s.xy;
        json_slot(e, "StageDPIX") = s.dpi_x;
        json_slot(e, "StageDPIY") = s.dpi_y;
        json_slot(e, "StageColorR") = s.red;
        json_slot(e, "StageColorG") = s.green;
        json_slot(e, "StageColorB") = s.blue;
    }
}

void CMouseProfiledata::set_active_stage(int stage) {
    active_stage_ = stage;
    json_slot(json_slot(section_for_write(), "DPIStages"), "StageActive") = stage;
}

MouseSystemWords CMouseProfiledata::read_system_words() {
    system_ = {};
    const Json::Value& sys = json_get(device_section(), "SystemStages");
    if (!sys.isObject()) return system_;
    const Json::Value& report = json_get(device_section(), "ReportStages");
    system_.word[0] = pack_halves(sys, "DoubleClickTime", "MouseSpeed");
    system_.word[1] = pack_halves(sys, "PointerPrecision", "ScorllPage");
    system_.word[2] = std::uint32_t(half_of(sys, "WheelScorlllinse")) |
                      std::uint32_t(half_of(report, "StageActive")) << 16;
    system_.word[3] = half_of(sys, "MSHSelectItem");
    return system_;
}

void CMouseProfiledata::write_system_words(const MouseSystemWords& w) {
    system_ = w;
    Json::Value& section = section_for_write();
    Json::Value& sys = json_slot(section, "SystemStages");
    store_halves(sys, w.word[0], "DoubleClickTime", "MouseSpeed");
    store_halves(sys, w.word[1], "PointerPrecision", "ScorllPage");
    json_slot(sys, "WheelScorlllinse") = int(w.word[2] & 0xFFFF);
    json_slot(sys, "MSHSelectItem") = int(w.word[3] & 0xFFFF);
    json_slot(json_slot(section, "ReportStages"), "StageActive") = int(w.word[2] >> 16);
}

std::vector<CorrectionRecord> CMouseProfiledata::read_corrections() {
    corrections_.clear();
    const Json::Value& list = json_get(device_section(), "CorrectInfo");
    if (!list.isArray()) return corrections_;
    for (const Json::Value& e : list) {
        corrections_.push_back({byte_of(e, "CorrectPixThresh"), byte_of(e, "CorrectMinSq"),
                                byte_of(e, "CorrectSelect"),
                                json_string(json_get(e, "CorrectName"))});
    }
    return corrections_;
}

// ---------------------------------------------------------------------------------------------
// CKeyboardProfiledata

KeyboardSystemWords CKeyboardProfiledata::read_system_words() {
    system_ = {};
    const Json::Value& sys = json_get(device_section(), "SystemStages");
    if (!sys.isObject()) return system_;
    system_.word[0] = pack_halves(sys, "Repeat", "RepeatDelay");
    system_.word[1] = pack_halves(sys, "Key6Flag", "PollingRate");
    system_.word[2] = pack_halves(sys, "WFlag", "WinFlag");
    return system_;
}

void CKeyboardProfiledata::write_system_words(const KeyboardSystemWords& w) {
    system_ = w;
    Json::Value& sys = json_slot(section_for_write(), "SystemStages");
    store_halves(sys, w.word[0], "Repeat", "RepeatDelay");
    store_halves(sys, w.word[1], "Key6Flag", "PollingRate");
    store_halves(sys, w.word[2], "WFlag", "WinFlag");
}

std::vector<CustomColour> CKeyboardProfiledata::read_custom_colours(int group, int count) {
    colours_.clear();
    if (!valid_index(group) || !valid_index(count)) return colours_;
    colours_.resize(size_t(count));
    const Json::Value& stored =
        json_get(json_get(json_get(device_section(), "CustomLightMode"), "LightColorInfo"), group);
    Json::Value* fill = nullptr;  // the group in the section, fetched on the first gap
    for (int i = 0; i < count; ++i) {
        const Json::Value& e = json_get(stored, i);
        if (e.isObject()) {
            colours_[size_t(i)] = {byte_of(e, "Red"), byte_of(e, "Green"), byte_of(e, "Blue"),
                                   byte_of(e, "Alpha")};
            continue;
        }
        if (!fill) {
            Json::Value& mode = json_slot(section_for_write(), "CustomLightMode");
            fill = &json_slot(json_slot(mode, "LightColorInfo"), group);
            if (!fill->isArray()) *fill = Json::Value(Json::arrayValue);
        }
        Json::Value& slot = json_slot(*fill, i);
        slot = Json::Value(Json::objectValue);
        for (const char* key : {"Red", "Green", "Blue", "Alpha"}) slot[key] = 0;
    }
    return colours_;
}

void CKeyboardProfiledata::write_custom_colours(int group, const std::vector<CustomColour>& list) {
    if (!valid_index(group)) return;
    colours_ = list;
    group_ = group;
    Json::Value& mode = json_slot(section_for_write(), "CustomLightMode");
    Json::Value& slot = json_slot(json_slot(mode, "LightColorInfo"), group);
    for (size_t i = 0; i < list.size() && i <= size_t(kMaxJsonIndex); ++i) {
        Json::Value& e = json_slot(slot, int(i));
        json_slot(e, "Red") = list[i].red;
        json_slot(e, "Green") = list[i].green;
        json_slot(e, "Blue") = list[i].blue;
        json_slot(e, "Alpha") = list[i].alpha;
    }
    json_slot(mode, "CustomLightModeGroupIndex") = group;
}

int CKeyboardProfiledata::read_custom_group() {
    const int group = json_int(
        json_get(json_get(device_section(), "CustomLightMode"), "CustomLightModeGroupIndex"));
    group_ = valid_index(group) ? group : 0;
    return group_;
}

void CKeyboardProfiledata::write_custom_group(int group) {
    if (!valid_index(group)) return;
    group_ = group;
    json_slot(json_slot(section_for_write(), "CustomLightMode"), "CustomLightModeGroupIndex") =
        group;
}

// ---------------------------------------------------------------------------------------------
// CHs6533Profiledata

namespace {
constexpr const char* kStateKeys[8] = {"MagicEnable",        "MagicType",      "EqType",
                                       "CustomEqSeletIndex", "MicInSelect",    "MicInValue",
                                       "MicMoniterSelect",   "MicMoniterValue"};
}  // namespace

HeadsetState CHs6533Profiledata::read_state() {
    const Json::Value& s = json_get(device_section(), "SystemSetStages");
    std::int32_t v[8] = {};
    for (int i = 0; i < 8; ++i) v[i] = json_int(json_get(s, kStateKeys[i]));
    state_ = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
    return state_;
}

void CHs6533Profiledata::write_state(const HeadsetState& st) {
    state_ = st;
    const std::int32_t v[8] = {st.magic_enable,    st.magic_type,    st.eq_type,
                               st.custom_eq_index, st.mic_in_select, st.mic_in_value,
                               st.monitor_select,  st.monitor_value};
    Json::Value& s = json_slot(section_for_write(), "SystemSetStages");
    for (int i = 0; i < 8; ++i) json_slot(s, kStateKeys[i]) = v[i];
}

EqualizerBands CHs6533Profiledata::read_eq_bands(int preset) {
    const int p = map_preset(preset);
    if (p < 0) return {};
    return read_bands(section_for_write(), "EQHzValueInfo", p);
}

void CHs6533Profiledata::write_eq_bands(int preset, const EqualizerBands& bands) {
    const int p = map_preset(preset);
    if (p < 0) return;
    write_bands(section_for_write(), "EQHzValueInfo", p, bands);
}

std::vector<std::string> CHs6533Profiledata::read_user_eq_names() {
    std::vector<std::string> names;
    const Json::Value& list = json_get(device_section(), "CustomEQNameInfo");
    if (!list.isArray()) return names;
    for (const Json::Value& e : list) names.push_back(json_string(json_get(e, "Name")));
    return names;
}

void CHs6533Profiledata::write_user_eq_names(const std::vector<std::string>& names) {
    Json::Value list(Json::arrayValue);
    for (const std::string& name : names) {
        Json::Value e(Json::objectValue);
        e["Name"] = name;
        list.append(e);
    }
    json_slot(section_for_write(), "CustomEQNameInfo") = list;
}

EqualizerBands CHs6533Profiledata::read_user_eq_bands(int number) {
    if (!valid_index(number)) return {};
    return read_bands(section_for_write(), "CustomEQHzValueInfo", number);
}

void CHs6533Profiledata::write_user_eq_bands(int number, const EqualizerBands& bands) {
    if (!valid_index(number)) return;
    write_bands(section_for_write(), "CustomEQHzValueInfo", number, bands);
}

}  // namespace tellune
