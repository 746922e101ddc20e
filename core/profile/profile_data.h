#pragma once
// Profile data of one device: the device section of the selected profile file, its typed
// readers and writers, and the compact records the device protocols send.
//
// Readers never fail: a missing section, a missing key or a value of the wrong type reads as
// the stated default. Writers change only the device section in memory; nothing reaches the
// disk until save_profile.

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/profile/profile_records.h"

namespace tellune {

class CBasicProfiledata {
public:
    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = delete;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = delete;

    // Writes the device section into the profile file. False when there is no profile path
    // or the file could not be replaced (the old file is then kept).
    virtual bool save_profile();
    // Puts `value` at "Device"[profile index] of the document in `path`, keeping its other
    // keys, and writes it back.
    virtual bool write_device_section(const Json::Value& value, const std::string& path);
    // Writes a whole document to `path`.
    virtual bool write_document(const Json::Value& value, const std::string& path);

    // Paths. The two profile path setters ignore an empty path.
    void set_profile_path(const std::string& path);
    const std::string& profile_path() const { return profile_path_; }
    void set_default_profile_path(const std::string& path);
    const std::string& default_profile_path() const { return default_profile_path_; }
    void set_light_list_path(const std::string& path) { light_list_path_ = path; }
    const std::string& light_list_path() const { return light_list_path_; }
    // Display name of the profile at the profile path, as the profile list has it. A profile
    // file that has to be rewritten from the defaults keeps this name and its UUID.
    void set_profile_name(const std::string& name) { profile_name_ = name; }
    const std::string& profile_name() const { return profile_name_; }
    // Element of "Device" that holds the section; every device uses 0.
    void set_profile_index(int index);
    int profile_index() const { return profile_index_; }

    // Reads "Device"[0] of `path` into the device section and returns a copy. When the file
    // has no usable section (missing, corrupt, not an object), the default profile's section
    // is taken and the file is rewritten with it, keeping the file's other keys. A file that
    // could not be read is first moved aside ("<file>.damaged-<time stamp>"); the rewritten
    // one carries the profile name and the UUID (the file's base name).
    Json::Value load_profile(const std::string& path);
    const Json::Value& device_section() const { return section_; }

    // "LightInfo". A missing key gives (and keeps) the all-zero triple.
    LightSettings read_light_settings();
    void write_light_settings(const LightSettings& settings);
    const LightSettings& light_settings() const { return light_; }

    // "LightList". Empty when missing.
    std::vector<LedZoneRecord> read_led_zones();
    const std::vector<LedZoneRecord>& led_zones() const { return zones_; }

    // Parses the custom light list ("pomex_light.config") at `path` (which also becomes the
    // light list path when not empty) and returns a copy of it.
    Json::Value load_light_list(const std::string& path);
    // Steps of the custom effect "LightInfo"[0][SelectItem]["Guid"], read from that file in
    // the folder of the light list path. Empty when anything on the way is missing or the
    // Guid is not a plain file name.
    std::vector<LightEffectStep> read_light_effects();
    const std::vector<LightEffectStep>& light_effects() const { return effects_; }

    // "KeyList". Empty when missing.
    std::vector<KeyAssignmentRecord> read_key_assignments();
    void write_key_assignments(const std::vector<KeyAssignmentRecord>& keys);
    const std::vector<KeyAssignmentRecord>& key_assignments() const { return keys_; }

protected:
    // The section as writers change it; becomes an object when it is not one.
    Json::Value& section_for_write();

private:
    // The document at `path` to write a changed section into: the file's own when it is an
    // object, else (the damaged file moved aside first) a new one with the profile's name and
    // UUID. False when a damaged file could not be moved aside: it must not be overwritten.
    bool document_for_rewrite(const std::string& path, Json::Value& doc);

    std::string profile_path_;
    std::string profile_name_;
    std::string default_profile_path_;
    LightSettings light_;
    const LightSettings zero_light_{};
    std::vector<LedZoneRecord> zones_;
    Json::Value section_;
    std::string light_list_path_;
    std::vector<LightEffectStep> effects_;
    Json::Value light_list_;
    std::vector<KeyAssignmentRecord> keys_;
    int profile_index_ = 0;
};

class CMouseProfiledata : public CBasicProfiledata {
public:
    // "DPIStages": the file's stages replace the list and its "StageActive" the active stage.
    // Nothing of the profile loaded before survives: a missing key gives no stages and
    // stage 0, and the device then gets zeros for every stage the profile lacks.
    std::vector<DpiStageRecord> read_dpi_stages();
    void write_dpi_stages(const std::vector<DpiStageRecord>& stages);
    const std::vector<DpiStageRecord>& dpi_stages() const { return stages_; }
    int active_stage() const { return active_stage_; }
    void set_active_stage(int stage);

    // "SystemStages" and "ReportStages". Missing keys read as 0.
    MouseSystemWords read_system_words();
    void write_system_words(const MouseSystemWords& words);
    const MouseSystemWords& system_words() const { return system_; }

    // "CorrectInfo". Empty when missing.
    std::vector<CorrectionRecord> read_corrections();

private:
    std::vector<DpiStageRecord> stages_;
    int active_stage_ = 0;
    MouseSystemWords system_;
    std::vector<CorrectionRecord> corrections_;
};

class CKeyboardProfiledata : public CBasicProfiledata {
public:
    // "SystemStages". Missing keys read as 0.
    KeyboardSystemWords read_system_words();
    void write_system_words(const KeyboardSystemWords& words);
    const KeyboardSystemWords& system_words() const { return system_; }

    // "CustomLightMode"."LightColorInfo"[group]: `count` colours. Entries the file lacks are
    // stored as zeros in the section (so the next save has them) and read as zero. A group
    // or count outside 0..kMaxJsonIndex reads as an empty list and changes nothing.
    std::vector<CustomColour> read_custom_colours(int group, int count);
    // Stores the colours of `group` and makes it the selected group.
    void write_custom_colours(int group, const std::vector<CustomColour>& colours);
    const std::vector<CustomColour>& custom_colours() const { return colours_; }

    // "CustomLightMode"."CustomLightModeGroupIndex"; 0 when missing.
    int read_custom_group();
    void write_custom_group(int group);

private:
    KeyboardSystemWords system_;
    std::vector<CustomColour> colours_;
    int group_ = 0;
};

class CHs6533Profiledata : public CBasicProfiledata {
public:
    // "SystemSetStages". Missing keys read as 0.
    HeadsetState read_state();
    void write_state(const HeadsetState& state);
    const HeadsetState& state() const { return state_; }

    // "EQHzValueInfo"[preset]: preset 0 or above 13 means 1; 13 (the user equaliser) gives an
    // empty list. A preset the file lacks reads as ten zeros, which are stored in the section.
    EqualizerBands read_eq_bands(int preset);
    // Writes up to ten values (missing ones as 0); preset 13 writes nothing.
    void write_eq_bands(int preset, const EqualizerBands& bands);

    // "CustomEQNameInfo".
    std::vector<std::string> read_user_eq_names();
    void write_user_eq_names(const std::vector<std::string>& names);

    // "CustomEQHzValueInfo"[number]; like the presets without the number mapping. A number
    // outside 0..kMaxJsonIndex reads as an empty list and writes nothing.
    EqualizerBands read_user_eq_bands(int number);
    void write_user_eq_bands(int number, const EqualizerBands& bands);

private:
    HeadsetState state_;
};

}  // namespace tellune
