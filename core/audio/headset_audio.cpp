#include "core/audio/headset_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "core/platform/platform.h"
#include "core/profile/profile_data.h"

namespace tellune::audio {

namespace {

constexpr std::array<Bands, kPresetCount> kPresets = {{
    {7, 11, 2, -3, -1, 4, 9, 12, 9, 5},
    {7, 11, 6, -3, -11, -1, 6, 13, 6, 13},
    {10, 4, 0, -3, -4, -3, -2, -1, 0, 0},
    {2, 1, -2, -3, -5, -7, 0, 4, 9, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {7, 14, -13, -6, -1, 8, 13, 7, 2, 6},
    {14, 10, 4, 0, -4, -3, -1, 1, 2, 3},
    {2, 1, -2, -3, -5, -1, 7, 11, 15, 13},
    {8, 2, -4, -8, 1, 3, 8, 11, 14, 16},
    {-3, 4, 10, 0, -11, 3, 9, 13, 6, 0},
    {18, 14, 8, 2, -3, -6, -1, 2, 5, 6},
    {2, 1, -2, -4, -8, 4, 12, 16, 18, 15},
}};

constexpr size_t kMaxDevicesLooked = 64;  // a library's count is not trusted further
constexpr int kMasterChannel = -1;
constexpr int kMonitoringChannel = 0;
constexpr int kPlaybackTypes[] = {1, 12, 7, 4};
constexpr int kRecordingType = 2;

std::u32string decode_utf8(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80         ? 1
                           : (c >> 5) == 6  ? 2
                           : (c >> 4) == 14 ? 3
                           : (c >> 3) == 30 ? 4
                                            : 1;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = i + len <= s.size();
        for (size_t k = 1; ok && k < len; ++k) {
            const auto n = static_cast<unsigned char>(s[i + k]);
            if ((n & 0xC0) != 0x80) ok = false;
            cp = cp << 6 | (n & 0x3F);
        }
        // A broken sequence compares as its first byte.
        out.push_back(ok ? cp : c);
        i += ok ? len : 1;
    }
    return out;
}

char32_t fold(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    return static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
}

std::wstring trim(const std::wstring& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::iswspace(static_cast<wint_t>(s[a]))) ++a;
    while (b > a && std::iswspace(static_cast<wint_t>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::wstring slider_name(int band) {
    return L"EQ_Slider" + std::to_wstring(band + 1);
}

}  // namespace

const Bands& preset_bands(int preset) {
    return kPresets[static_cast<size_t>(std::clamp(preset, 1, kPresetCount) - 1)];
}

bool same_name_ignoring_case(const std::string& a, const std::string& b) {
    const std::u32string x = decode_utf8(a), y = decode_utf8(b);
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (fold(x[i]) != fold(y[i])) return false;
    return true;
}

std::vector<std::string> split_fields(const std::wstring& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(L',', start);
        const std::wstring field = trim(
            text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start));
        std::string narrow;
        for (wchar_t c : field) narrow.push_back(c >= 0 && c < 0x80 ? static_cast<char>(c) : '?');
        fields.push_back(narrow);
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    if (fields.size() == 1 && fields[0].empty()) fields.clear();
    return fields;
}

HeadsetAudio::HeadsetAudio(AudioLibrary& library, MessageHandler message)
    : library_(library), message_(std::move(message)) {}

bool HeadsetAudio::available() const {
    // The program calls only these five; a library without one of them is not used at all.
    return library_.loaded() && library_.ConfLibInit && library_.CreateDeviceList &&
           library_.GetDeviceCount && library_.GetDeviceById && library_.PropertyControl;
}

bool HeadsetAudio::magic_available() const {
    return recording_.selected && (recording_.features[0] & kFeatureMagicVoice) != 0;
}

bool HeadsetAudio::equaliser_applied() const {
    return playback_.selected && (playback_.features[0] & kFeatureEqualiserApplied) != 0;
}

// --- one property ---

int HeadsetAudio::property(const AudioDevice& device, const wchar_t* name, const Param& param,
                           bool set, Kind kind, double value, std::wstring* answer) {
    if (!available() || !device.selected) return -1;
    value_.fill(0);
    param_.fill(0);
    if (set) {
        if (kind == Kind::Float) {
            const float f = static_cast<float>(value);
            std::memcpy(value_.data(), &f, sizeof f);
        } else {
            const int32_t i = static_cast<int32_t>(value);
            std::memcpy(value_.data(), &i, sizeof i);
        }
    }
    if (param.surround) {
        // The surround record (4, -1, 0), then the settings it concerns; only the first counts.
        const int32_t record[3] = {4, -1, 0};
        std::memcpy(param_.data(), record, sizeof record);
        static const wchar_t kNames[] = L"XearSurrHP_Enable\0XearSurrHP_Room\0XearSurrHP_Mode";
        std::memcpy(param_.data() + sizeof record, kNames, sizeof kNames);
    } else if (param.used) {
        std::memcpy(param_.data(), &param.channel, sizeof param.channel);
    }
    void* value_ptr = value_.data();
    void* param_ptr = param_.data();
    const int result = library_.PropertyControl(device.record, name, &value_ptr, &param_ptr, set);
    if (result == 0 && answer) {
        // The answer is NUL-terminated wide text, but the buffer ends where it ends.
        constexpr size_t kChars = OSCONF_BUFFER_SIZE / sizeof(wchar_t);
        wchar_t text[kChars + 1] = {};
        std::memcpy(text, value_.data(), kChars * sizeof(wchar_t));
        text[kChars] = 0;
        *answer = text;
    }
    return result;
}

std::optional<double> HeadsetAudio::read_number(const AudioDevice& device, const wchar_t* name,
                                                const Param& param) {
    std::wstring text;
    if (property(device, name, param, false, Kind::Int, 0, &text) != 0) return std::nullopt;
    const std::wstring t = trim(text);
    wchar_t* end = nullptr;
    const double v = std::wcstod(t.c_str(), &end);
    if (end == t.c_str() || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool HeadsetAudio::write_int(const AudioDevice& device, const wchar_t* name, int value,
                             const Param& param) {
    return property(device, name, param, true, Kind::Int, value, nullptr) == 0;
}

bool HeadsetAudio::write_float(const AudioDevice& device, const wchar_t* name, float value,
                               const Param& param) {
    return property(device, name, param, true, Kind::Float, value, nullptr) == 0;
}

// --- start-up ---

void HeadsetAudio::start_up() {
    if (!available()) return;
    if (!initialised_) {
        initialised_ = true;
        if (library_.ConfLibInit() != 0 && message_) message_(kInitFailedMessage);
        library_.CreateDeviceList();
    } else if (!started_) {
        // The last look found no playback device (the headset's sound card may come after
        // its HID interface): look again.
        library_.CreateDeviceList();
    }
    if (!started_) {
        int count = 0;
        if (library_.GetDeviceCount(OSCONF_FLOW_PLAYBACK, &count) == 0 && count > 0) {
            started_ = true;
            select_devices();
            if (playback_.type() > 0) read_features(playback_);
            if (recording_.type() > 0) read_features(recording_);
            ensure_properties();
        }
    }
    if (started_) read_state();
}

void HeadsetAudio::select_devices() {
    playback_ = {};
    recording_ = {};
    int count = 0;
    if (library_.GetDeviceCount(OSCONF_FLOW_PLAYBACK, &count) == 0) {
        const size_t n = std::min<size_t>(size_t(std::max(count, 0)), kMaxDevicesLooked);
        std::vector<OsConfDevice> devices;
        for (size_t i = 0; i < n; ++i) {
            OsConfDevice d{};
            if (library_.GetDeviceById(OSCONF_FLOW_PLAYBACK, int(i), &d) == 0) devices.push_back(d);
        }
        for (int type : kPlaybackTypes) {
            const auto it = std::find_if(
                devices.begin(), devices.end(),
                [type](const OsConfDevice& d) { return d.word[1] == type && d.word[3] == 1; });
            if (it == devices.end()) continue;
            playback_.selected = true;
            playback_.record = *it;
            break;
        }
    }
    count = 0;
    if (library_.GetDeviceCount(OSCONF_FLOW_RECORDING, &count) == 0) {
        const size_t n = std::min<size_t>(size_t(std::max(count, 0)), kMaxDevicesLooked);
        for (size_t i = 0; i < n; ++i) {
            OsConfDevice d{};
            if (library_.GetDeviceById(OSCONF_FLOW_RECORDING, int(i), &d) == 0 &&
                d.word[1] == kRecordingType) {
                recording_.selected = true;
                recording_.record = d;
                break;
            }
        }
    }
}

void HeadsetAudio::read_features(AudioDevice& device) {
    std::wstring text;
    const int result = property(device, L"GetSupportFeature", {}, false, Kind::Int, 0, &text);
    const std::vector<std::string> fields =
        result == 0 ? split_fields(text) : std::vector<std::string>{};
    if (fields.size() < kFeatureFieldsNeeded) {
        if (message_) message_(kFeatureListMessage);
        return;
    }
    const size_t kept[3] = {0, 4, 6};
    for (size_t k = 0; k < 3; ++k)
        device.features[k] = std::strtoll(fields[kept[k]].c_str(), nullptr, 0);
}

void HeadsetAudio::ensure_properties() {
    struct Needed {
        bool playback;
        std::wstring name;
        Param param;
        Kind kind;
    };
    const Param master{true, kMasterChannel, false};
    const Param monitoring{true, kMonitoringChannel, false};
    std::vector<Needed> needed = {
        {true, L"VirtualSurroundEffectControl", {false, 0, true}, Kind::Int},
        {false, L"Enable_ENC_LFX", {}, Kind::Int},
        {false, L"VolumeControl", master, Kind::Int},
        {true, L"Enable_EQ_GFX", {}, Kind::Int},
    };
    for (int i = 0; i < kEqualizerBandCount; ++i)
        needed.push_back({true, slider_name(i), {}, Kind::Int});
    const Needed rest[] = {
        {true, L"Enable_RFX_GFX", {}, Kind::Int},
        {true, L"RFX_ENVIRONMENT", {}, Kind::Int},
        {true, L"RFX_ROOMSIZE", {}, Kind::Int},
        {false, L"MuteControl", {}, Kind::Int},
        {false, L"VolumeScalarControl", master, Kind::Float},
        {false, L"AAVolumeControl", monitoring, Kind::Int},
        {false, L"AAMuteControl", {}, Kind::Int},
        {false, L"AAVolumeScalarControl", monitoring, Kind::Float},
        {false, L"Enable_MAGICVOICE", {}, Kind::Int},
        {false, L"MagicVoice_Selection", {}, Kind::Int},
    };
    needed.insert(needed.end(), std::begin(rest), std::end(rest));
    for (const Needed& n : needed) {
        const AudioDevice& device = n.playback ? playback_ : recording_;
        if (!device.selected) continue;
        std::wstring ignored;
        if (property(device, n.name.c_str(), n.param, false, n.kind, 0, &ignored) == 0) continue;
        property(device, n.name.c_str(), n.param, true, n.kind, 0, nullptr);
    }
}

void HeadsetAudio::read_state() {
    if (!available() || !recording_.selected) return;
    const Param master{true, kMasterChannel, false};
    const Param monitoring{true, kMonitoringChannel, false};
    if (auto v = read_number(recording_, L"GetMaxVol")) mic_range_[0] = *v;
    if (auto v = read_number(recording_, L"GetMinVol")) mic_range_[1] = *v;
    if (auto v = read_number(recording_, L"GetVolStep")) mic_range_[2] = *v;
    if (auto v = read_number(recording_, L"VolumeControl", master)) mic_db_ = *v;
    if (auto v = read_number(recording_, L"MuteControl"))
        state_.mic_in_select = int(*v) == 0 ? 1 : 0;
    if (auto v = read_number(recording_, L"VolumeScalarControl", master))
        state_.mic_in_value = std::clamp(int(std::lround(*v * 100)), 0, 100);
    monitoring_ = false;
    if (auto max = read_number(recording_, L"GetAAMaxVol")) {
        monitoring_ = true;
        aa_range_[0] = *max;
        if (auto v = read_number(recording_, L"GetAAMinVol")) aa_range_[1] = *v;
        if (auto v = read_number(recording_, L"GetAAVolStep")) aa_range_[2] = *v;
        if (auto v = read_number(recording_, L"AAVolumeControl", monitoring)) monitor_db_ = *v;
        if (auto v = read_number(recording_, L"AAMuteControl"))
            state_.monitor_select = int(*v) == 0 ? 1 : 0;
        if (auto v = read_number(recording_, L"AAVolumeScalarControl", monitoring))
            state_.monitor_value = std::clamp(int(std::lround(*v * 100)), 0, 100);
        for (int i = 0; i < kEqualizerBandCount; ++i)
            if (auto v = read_number(playback_, slider_name(i).c_str()))
                bands_[size_t(i)] = int(*v);
    }
    if (recording_.features[0] & kFeatureMagicVoice)
        if (auto v = read_number(recording_, L"Enable_MAGICVOICE"))
            state_.magic_enable = int(*v) != 0;
    if (auto v = read_number(recording_, L"MagicVoice_Selection")) {
        const int n = int(*v);
        if (n >= 0 && n < kVoiceCount) state_.magic_type = n + 1;
    }
}

// --- profile ---

void HeadsetAudio::take_profile(CHs6533Profiledata* profile) {
    profile_ = profile;
    if (!profile_) return;
    state_ = profile_->read_state();
    names_ = profile_->read_user_eq_names();
    const int index = state_.custom_eq_index;
    selected_user_ = index >= 0 && size_t(index) < names_.size() ? index : -1;
    refresh_bands_from_profile();
}

void HeadsetAudio::refresh_bands_from_profile() {
    const int type = state_.eq_type;
    if (type >= 1 && type <= kPresetCount) {
        bands_ = preset_bands(type);
    } else if (type == kUserEqualiserType && selected_user_ >= 0 && profile_) {
        const EqualizerBands b = profile_->read_user_eq_bands(selected_user_);
        for (size_t i = 0; i < bands_.size(); ++i) bands_[i] = i < b.size() ? b[i] : 0;
    } else if (type != kUserEqualiserType) {
        bands_.fill(0);
    }
}

void HeadsetAudio::apply_state_to_library() {
    if (!available() || !started_) return;
    const Param master{true, kMasterChannel, false};
    const Param monitoring{true, kMonitoringChannel, false};
    write_float(recording_, L"VolumeScalarControl", float(state_.mic_in_value) / 100.f, master);
    write_int(recording_, L"MuteControl", state_.mic_in_select ? 0 : 1);
    if (monitoring_) {
        write_float(recording_, L"AAVolumeScalarControl", float(state_.monitor_value) / 100.f,
                    monitoring);
        write_int(recording_, L"AAMuteControl", state_.monitor_select ? 0 : 1);
    }
    if ((state_.eq_type >= 1 && state_.eq_type <= kPresetCount) ||
        (state_.eq_type == kUserEqualiserType && selected_user_ >= 0))
        write_bands(bands_, true);
    if (magic_available()) {
        write_int(recording_, L"Enable_MAGICVOICE", state_.magic_enable ? 1 : 0);
        if (state_.magic_enable) write_int(recording_, L"Enable_MICECHO", 0);
    }
    if (state_.magic_type >= 1 && state_.magic_type <= kVoiceCount)
        write_int(recording_, L"MagicVoice_Selection", state_.magic_type - 1);
}

void HeadsetAudio::store_and_save() {
    if (!profile_) return;
    profile_->write_state(state_);
    profile_->save_profile();
}

void HeadsetAudio::write_bands(const Bands& bands, bool enable) {
    if (enable) write_int(playback_, L"Enable_EQ_GFX", 1);
    for (int i = 0; i < kEqualizerBandCount; ++i)
        write_int(playback_, slider_name(i).c_str(), bands[size_t(i)]);
}

// --- setters ---

bool HeadsetAudio::set_mic_level(int level) {
    level = std::clamp(level, 0, 100);
    const Param master{true, kMasterChannel, false};
    if (!write_float(recording_, L"VolumeScalarControl", float(level) / 100.f, master))
        return false;
    if (auto v = read_number(recording_, L"VolumeControl", master)) mic_db_ = *v;
    state_.mic_in_value = level;
    store_and_save();
    return true;
}

bool HeadsetAudio::set_monitor_level(int level) {
    level = std::clamp(level, 0, 100);
    const Param monitoring{true, kMonitoringChannel, false};
    if (!write_float(recording_, L"AAVolumeScalarControl", float(level) / 100.f, monitoring))
        return false;
    if (auto v = read_number(recording_, L"AAVolumeControl", monitoring)) monitor_db_ = *v;
    state_.monitor_value = level;
    store_and_save();
    return true;
}

bool HeadsetAudio::toggle_mic() {
    const bool mute = state_.mic_in_select != 0;  // on now: the toggle mutes
    if (!write_int(recording_, L"MuteControl", mute ? 1 : 0)) return false;
    state_.mic_in_select = mute ? 0 : 1;
    store_and_save();
    return true;
}

bool HeadsetAudio::toggle_monitor() {
    const bool mute = state_.monitor_select != 0;
    if (!write_int(recording_, L"AAMuteControl", mute ? 1 : 0)) return false;
    state_.monitor_select = mute ? 0 : 1;
    store_and_save();
    return true;
}

bool HeadsetAudio::select_equaliser(int type) {
    if (type >= 1 && type <= kPresetCount) {
        const Bands& gains = preset_bands(type);
        write_bands(gains, true);
        state_.eq_type = type;
        bands_ = gains;
        if (profile_) profile_->write_eq_bands(type, EqualizerBands(gains.begin(), gains.end()));
        store_and_save();
        return true;
    }
    if (type != kUserEqualiserType) return false;
    state_.eq_type = kUserEqualiserType;
    if (selected_user_ >= 0) return apply_user_equaliser(selected_user_);
    store_and_save();
    return true;
}

void HeadsetAudio::move_band(int band, int value) {
    if (band < 0 || band >= kEqualizerBandCount) return;
    if (state_.eq_type != kUserEqualiserType) {
        state_.eq_type = kUserEqualiserType;
        selected_user_ = -1;
    }
    write_int(playback_, slider_name(band).c_str(), value);
    bands_[size_t(band)] = value;
}

HeadsetAudio::SaveResult HeadsetAudio::save_user_equaliser(const std::string& name,
                                                           const Bands& sliders) {
    const EqualizerBands gains(sliders.begin(), sliders.end());
    if (name.empty()) {
        if (selected_user_ < 0 || size_t(selected_user_) >= names_.size())
            return SaveResult::Nothing;
        if (profile_) profile_->write_user_eq_bands(selected_user_, gains);
        bands_ = sliders;
        store_and_save();
        return SaveResult::Overwritten;
    }
    if (names_.size() >= kMaxUserEqualisers) return SaveResult::Full;
    for (const std::string& n : names_)
        if (same_name_ignoring_case(n, name)) return SaveResult::Duplicate;
    names_.push_back(name);
    const int index = int(names_.size()) - 1;
    selected_user_ = index;
    state_.custom_eq_index = index;
    bands_ = sliders;
    if (profile_) {
        profile_->write_user_eq_bands(index, gains);
        profile_->write_user_eq_names(names_);
    }
    store_and_save();
    return SaveResult::Saved;
}

bool HeadsetAudio::delete_user_equaliser() {
    const int index = selected_user_;
    if (index < 0 || size_t(index) >= names_.size()) return false;
    names_.erase(names_.begin() + index);
    if (profile_) {
        // The gains are kept by position: the ones after the deleted entry move up with
        // their names.
        for (size_t j = size_t(index); j < names_.size(); ++j)
            profile_->write_user_eq_bands(int(j), profile_->read_user_eq_bands(int(j) + 1));
        profile_->write_user_eq_names(names_);
    }
    selected_user_ = -1;
    if (names_.empty()) {
        state_.custom_eq_index = 0;
        // Back to preset 1, applied as well as shown.
        return select_equaliser(1);
    }
    return apply_user_equaliser(0);
}

bool HeadsetAudio::apply_user_equaliser(int index) {
    if (index < 0 || size_t(index) >= names_.size()) return false;
    Bands gains{};
    if (profile_) {
        const EqualizerBands b = profile_->read_user_eq_bands(index);
        for (size_t i = 0; i < gains.size(); ++i) gains[i] = i < b.size() ? b[i] : 0;
    }
    write_bands(gains, true);
    selected_user_ = index;
    state_.custom_eq_index = index;
    state_.eq_type = kUserEqualiserType;
    bands_ = gains;
    store_and_save();
    return true;
}

bool HeadsetAudio::set_magic(bool on) {
    if (!write_int(recording_, L"Enable_MAGICVOICE", on ? 1 : 0)) return false;
    if (on) write_int(recording_, L"Enable_MICECHO", 0);
    state_.magic_enable = on ? 1 : 0;
    store_and_save();
    return true;
}

bool HeadsetAudio::select_voice(int voice) {
    if (voice < 1 || voice > kVoiceCount) return false;
    if (!write_int(recording_, L"MagicVoice_Selection", voice - 1)) return false;
    state_.magic_type = voice;
    store_and_save();
    return true;
}

}  // namespace tellune::audio
