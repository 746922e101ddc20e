#pragma once
// The headset's audio settings: microphone, monitoring, equaliser and voice changer, driven
// through the audio library's named properties and kept in the headset's profile.
//
// All calls are made on one thread (the interface thread). Without a loaded and complete
// library nothing is called: the audio features are unavailable, and every setter that
// depends on a write reports failure and changes nothing.
//
// State kept here: the eight values of "SystemSetStages", the user equaliser names, the ten
// band values in use and which user equaliser is selected in the page's list. The pages are
// thin views of it.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/audio/audio_library.h"
#include "core/profile/profile_records.h"

namespace tellune {
class CHs6533Profiledata;
}

namespace tellune::audio {

inline constexpr int kPresetCount = 12;
inline constexpr int kUserEqualiserType = 13;
inline constexpr size_t kMaxUserEqualisers = 20;
inline constexpr int kVoiceCount = 4;
// Bits of feature integer 0, as the libraries built here report them.
inline constexpr uint32_t kFeatureEqualiserApplied = 0x1;
inline constexpr uint32_t kFeatureMagicVoice = 0x20000;
inline constexpr size_t kFeatureFieldsNeeded = 7;

// Message texts shown when the library misbehaves.
inline constexpr char kInitFailedMessage[] = "ConfLibInit called failed!";
inline constexpr char kFeatureListMessage[] = "UpdateAPOAvailable failed!";

using Bands = std::array<int, kEqualizerBandCount>;

// Gains in dB of bands 1-10 of preset p (1..12).
const Bands& preset_bands(int preset);
// Names equal regardless of letter case (UTF-8; letters beyond ASCII as the C library's
// locale knows them).
bool same_name_ignoring_case(const std::string& a, const std::string& b);
// Fields of a feature answer; fewer than 7 is an error.
std::vector<std::string> split_fields(const std::wstring& text);

// One selected library device, with the three feature integers of its feature list.
struct AudioDevice {
    bool selected = false;
    OsConfDevice record{};
    std::array<int64_t, 3> features{};  // fields 0, 4 and 6
    int type() const { return record.word[1]; }
};

enum class PropertyKind { Int, Float };
// What the parameter buffer carries for a property.
struct PropertyParam {
    bool used = false;
    int32_t channel = 0;
    bool surround = false;  // the record 4, -1, 0 and the setting names
};

class HeadsetAudio {
public:
    // Text of a message box to show (the two messages above).
    using MessageHandler = std::function<void(const std::string& text)>;

    enum class SaveResult { Saved, Overwritten, Full, Duplicate, Nothing };

    HeadsetAudio(AudioLibrary& library, MessageHandler message);

    // The library is loaded and has its entry points.
    bool available() const;
    // Initialises the library, selects the devices, reads their feature lists, gives every
    // feature property a value and reads the state. Once per program; later calls only read
    // the state again.
    void start_up();
    // The microphone, monitoring, band and voice values from the library.
    void read_state();
    bool started() const { return started_; }

    // --- the profile ---
    // Takes state, names and band values in use from the profile (which stays attached).
    void take_profile(CHs6533Profiledata* profile);
    // Writes what the state says to the library: levels, switches, equaliser and voice.
    void apply_state_to_library();

    // --- setters; each stores the eight values in the profile and saves it ---
    // Level 0..100 (clamped). Stored only when the write succeeded.
    bool set_mic_level(int level);
    bool set_monitor_level(int level);
    // Toggle the mute; stored only when the write succeeded.
    bool toggle_mic();
    bool toggle_monitor();
    // 1..12 a preset, 13 the user equaliser (the one selected in the list, if any); other
    // values do nothing (false).
    bool select_equaliser(int type);
    // A band slider moved: the user equaliser takes over (the list selection is cleared when
    // it was another type), band i (0..9) is written. Not saved.
    void move_band(int band, int value);
    // Save with a name: a new user equaliser from `sliders` (refused when 20 exist, or when
    // the name is taken regardless of case). Without a name: the selected one takes the
    // sliders (nothing when none is selected).
    SaveResult save_user_equaliser(const std::string& name, const Bands& sliders);
    // Deletes the selected one; the first left is applied, or preset 1 when none is left.
    bool delete_user_equaliser();
    // The list selected entry `index`: applies it.
    bool apply_user_equaliser(int index);
    // Voice changer on or off; stored only when the write succeeded.
    bool set_magic(bool on);
    // Voice n (1..4).
    bool select_voice(int voice);

    // --- what the pages show ---
    const HeadsetState& state() const { return state_; }
    const std::vector<std::string>& user_names() const { return names_; }
    int selected_user() const { return selected_user_; }
    const Bands& bands() const { return bands_; }
    bool monitoring_available() const { return monitoring_; }
    // The voice changer can be used (the recording device reports it).
    bool magic_available() const;
    // The equaliser is applied by the library (not only kept there).
    bool equaliser_applied() const;
    double mic_db() const { return mic_db_; }
    double monitor_db() const { return monitor_db_; }
    std::array<double, 3> mic_range() const { return mic_range_; }     // max, min, step
    std::array<double, 3> monitor_range() const { return aa_range_; }  // max, min, step
    const AudioDevice& playback() const { return playback_; }
    const AudioDevice& recording() const { return recording_; }

private:
    using Kind = PropertyKind;
    using Param = PropertyParam;
    int property(const AudioDevice& device, const wchar_t* name, const Param& param, bool set,
                 Kind kind, double value, std::wstring* answer);
    std::optional<double> read_number(const AudioDevice& device, const wchar_t* name,
                                      const Param& param = {});
    bool write_int(const AudioDevice& device, const wchar_t* name, int value,
                   const Param& param = {});
    bool write_float(const AudioDevice& device, const wchar_t* name, float value,
                     const Param& param = {});
    void select_devices();
    void read_features(AudioDevice& device);
    void ensure_properties();
    void write_bands(const Bands& bands, bool enable);
    void store_and_save();
    void refresh_bands_from_profile();

    AudioLibrary& library_;
    MessageHandler message_;
    CHs6533Profiledata* profile_ = nullptr;
    bool started_ = false;
    bool initialised_ = false;
    AudioDevice playback_;
    AudioDevice recording_;
    HeadsetState state_;
    std::vector<std::string> names_;
    int selected_user_ = -1;
    Bands bands_{};
    bool monitoring_ = false;
    double mic_db_ = 0, monitor_db_ = 0;
    std::array<double, 3> mic_range_{}, aa_range_{};
    alignas(8) std::array<uint8_t, OSCONF_BUFFER_SIZE> value_{};
    alignas(8) std::array<uint8_t, OSCONF_BUFFER_SIZE> param_{};
};

}  // namespace tellune::audio
