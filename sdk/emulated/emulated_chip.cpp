#include "sdk/emulated/emulated_chip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#define OSCONF_EXPORT extern "C" __attribute__((visibility("default")))

namespace tellune::osconf {

namespace {

const std::set<std::string> kPlaybackProperties = {
    "Enable_EQ_GFX",   "EQ_Slider1",   "EQ_Slider2",
    "EQ_Slider3",      "EQ_Slider4",   "EQ_Slider5",
    "EQ_Slider6",      "EQ_Slider7",   "EQ_Slider8",
    "EQ_Slider9",      "EQ_Slider10",  "Enable_RFX_GFX",
    "RFX_ENVIRONMENT", "RFX_ROOMSIZE", "VirtualSurroundEffectControl"};
const std::set<std::string> kRecordingProperties = {
    "VolumeControl",         "VolumeScalarControl", "MuteControl",       "AAVolumeControl",
    "AAVolumeScalarControl", "AAMuteControl",       "Enable_MAGICVOICE", "MagicVoice_Selection",
    "Enable_MICECHO",        "Enable_ENC_LFX"};

std::vector<std::string> split(const std::string& text, char by) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, by))
        if (!part.empty()) out.push_back(part);
    return out;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

bool is_switch(const std::string& name) {
    return name == "MuteControl" || name == "AAMuteControl" || name.rfind("Enable_", 0) == 0;
}

}  // namespace

EmulatedChip::EmulatedChip() {
    reset();
}

void EmulatedChip::reset() {
    playback_ = {{4, 1}, {1, 0}, {12, 1}};
    recording_ = {{3, 1}, {2, 1}};
    features_ = std::wstring(std::begin(kDefaultFeatures), std::end(kDefaultFeatures) - 1);
    fail_read_.clear();
    fail_write_.clear();
    init_result_ = 0;
    listed_ = false;
    log_.clear();
    store_.set_file(state_file("TELLUNE_OSCONF_STATE", "osconf-emulated.state"));
    store_.load();
    if (store_.values().empty()) {
        store_.set(OSCONF_FLOW_RECORDING, "VolumeScalarControl", -1, 0.75);
        store_.set(OSCONF_FLOW_RECORDING, "MuteControl", 0, 0);
        store_.set(OSCONF_FLOW_RECORDING, "AAVolumeScalarControl", 0, 0.5);
        store_.set(OSCONF_FLOW_RECORDING, "AAMuteControl", 0, 1);
    }
}

int EmulatedChip::init() {
    note("init");
    return init_result_;
}

int EmulatedChip::create_device_list() {
    note("list");
    listed_ = true;
    return 0;
}

int EmulatedChip::device_count(int flow, int* count) {
    note("count " + std::to_string(flow));
    if (flow != OSCONF_FLOW_PLAYBACK && flow != OSCONF_FLOW_RECORDING) return -1;
    *count =
        !listed_ ? 0 : int(flow == OSCONF_FLOW_PLAYBACK ? playback_.size() : recording_.size());
    return 0;
}

int EmulatedChip::device_by_id(int flow, int index, OsConfDevice* device) {
    const auto& list = flow == OSCONF_FLOW_PLAYBACK ? playback_ : recording_;
    if ((flow != OSCONF_FLOW_PLAYBACK && flow != OSCONF_FLOW_RECORDING) || !listed_ || index < 0 ||
        size_t(index) >= list.size())
        return -1;
    const DeviceSpec& d = list[size_t(index)];
    *device = OsConfDevice{{flow, d.type, index, d.flag}};
    return 0;
}

int EmulatedChip::property(OsConfDevice device, const wchar_t* wide_name, void** value,
                           void** parameter, int set) {
    const int flow = device.word[0];
    const std::string name = narrow(wide_name);
    const int32_t channel = uses_channel(wide_name) ? parameter_channel(parameter) : 0;
    const bool channel_shown = uses_channel(wide_name);
    const std::string where =
        std::to_string(flow) + ' ' + name + (channel_shown ? ' ' + std::to_string(channel) : "");
    const auto& list = flow == OSCONF_FLOW_PLAYBACK ? playback_ : recording_;
    const bool device_known = (flow == OSCONF_FLOW_PLAYBACK || flow == OSCONF_FLOW_RECORDING) &&
                              device.word[2] >= 0 && size_t(device.word[2]) < list.size() &&
                              list[size_t(device.word[2])].type == device.word[1];
    if (!set) {
        note("get " + where);
        if (!device_known || fail_read_.count(name)) return -1;
        return read(flow, name, channel, value);
    }
    const std::optional<double> v = written_value(value, kind_of(wide_name));
    note("set " + where + ' ' + (v ? number(*v) : std::string("?")));
    if (!device_known || !v || fail_write_.count(name)) return -1;
    return write(flow, name, channel, *v);
}

int EmulatedChip::read(int flow, const std::string& name, int32_t channel, void** value) {
    auto say = [&](double v, ValueKind kind) {
        return answer(value, format_number(v, kind)) ? 0 : -1;
    };
    if (name == "GetSupportFeature") return answer(value, features_) ? 0 : -1;
    if (flow == OSCONF_FLOW_RECORDING) {
        if (name == "GetMaxVol") return say(kMicMaxDb, ValueKind::Float);
        if (name == "GetMinVol") return say(kMicMinDb, ValueKind::Float);
        if (name == "GetVolStep") return say(kMicStepDb, ValueKind::Float);
        if (name == "GetAAMaxVol") return say(kMonitorMaxDb, ValueKind::Float);
        if (name == "GetAAMinVol") return say(kMonitorMinDb, ValueKind::Float);
        if (name == "GetAAVolStep") return say(kMonitorStepDb, ValueKind::Float);
        // The level in dB follows the scalar of the same channel.
        if (name == "VolumeControl" || name == "AAVolumeControl") {
            const bool mic = name == "VolumeControl";
            const auto s =
                store_.get(flow, mic ? "VolumeScalarControl" : "AAVolumeScalarControl", channel);
            if (!s) return -1;
            const double lo = mic ? kMicMinDb : kMonitorMinDb, hi = mic ? kMicMaxDb : kMonitorMaxDb;
            return say(lo + *s * (hi - lo), ValueKind::Float);
        }
    }
    const auto& known = flow == OSCONF_FLOW_PLAYBACK ? kPlaybackProperties : kRecordingProperties;
    if (!known.count(name)) return -1;
    const auto v = store_.get(flow, name, channel);
    if (!v) return -1;
    return say(*v, name.find("Scalar") != std::string::npos ? ValueKind::Float : ValueKind::Int);
}

int EmulatedChip::write(int flow, const std::string& name, int32_t channel, double v) {
    const auto& known = flow == OSCONF_FLOW_PLAYBACK ? kPlaybackProperties : kRecordingProperties;
    if (!known.count(name)) return -1;
    if (name == "VolumeControl" || name == "AAVolumeControl") {
        const bool mic = name == "VolumeControl";
        const double lo = mic ? kMicMinDb : kMonitorMinDb, hi = mic ? kMicMaxDb : kMonitorMaxDb;
        store_.set(flow, mic ? "VolumeScalarControl" : "AAVolumeScalarControl", channel,
                   std::clamp((v - lo) / (hi - lo), 0.0, 1.0));
    } else if (name.find("Scalar") != std::string::npos) {
        if (v < 0 || v > 1) return -1;
        store_.set(flow, name, channel, v);
    } else if (is_switch(name)) {
        if (v != 0 && v != 1) return -1;
        store_.set(flow, name, channel, v);
    } else if (name == "MagicVoice_Selection") {
        if (v < 0 || v > 3) return -1;
        store_.set(flow, name, channel, v);
    } else if (name.rfind("EQ_Slider", 0) == 0) {
        if (std::fabs(v) > kEqualiserLimitDb) return -1;
        store_.set(flow, name, channel, v);
    } else {
        store_.set(flow, name, channel, v);
    }
    store_.save();
    return 0;
}

bool EmulatedChip::configure(const std::string& key, const std::string& value) {
    auto devices = [](const std::string& text) {
        std::vector<DeviceSpec> out;
        for (const std::string& d : split(text, ',')) {
            DeviceSpec spec;
            if (std::sscanf(d.c_str(), "%d:%d", &spec.type, &spec.flag) == 2) out.push_back(spec);
        }
        return out;
    };
    if (key == "init_result") {
        init_result_ = std::atoi(value.c_str());
    } else if (key == "playback") {
        playback_ = devices(value);
    } else if (key == "recording") {
        recording_ = devices(value);
    } else if (key == "features") {
        features_.assign(value.begin(), value.end());
    } else if (key == "fail_read") {
        for (const std::string& n : split(value, ',')) fail_read_.insert(n);
    } else if (key == "fail_write") {
        for (const std::string& n : split(value, ',')) fail_write_.insert(n);
    } else if (key == "forget") {
        std::vector<PropertyStore::Key> gone;
        for (const auto& [k, v] : store_.values())
            if (std::get<1>(k) == value) gone.push_back(k);
        for (const auto& k : gone) store_.erase(std::get<0>(k), std::get<1>(k), std::get<2>(k));
    } else if (key == "set") {
        std::istringstream in(value);
        int flow = 0;
        std::string name;
        int32_t channel = 0;
        double v = 0;
        if (!(in >> flow >> name >> channel >> v)) return false;
        store_.set(flow, name, channel, v);
    } else {
        return false;
    }
    return true;
}

Chip& library_chip() {
    static EmulatedChip chip;
    return chip;
}

}  // namespace tellune::osconf

namespace {

tellune::osconf::EmulatedChip& emulated() {
    return static_cast<tellune::osconf::EmulatedChip&>(tellune::osconf::library_chip());
}

}  // namespace

OSCONF_EXPORT void TelluneEmuReset(void) {
    std::lock_guard lock(emulated().mutex());
    emulated().reset();
}

OSCONF_EXPORT int TelluneEmuConfigure(const char* key, const char* value) {
    if (!key || !value) return -1;
    std::lock_guard lock(emulated().mutex());
    return emulated().configure(key, value) ? 0 : -1;
}

OSCONF_EXPORT size_t TelluneEmuLog(char* buffer, size_t size) {
    std::lock_guard lock(emulated().mutex());
    const std::string& log = emulated().log();
    if (buffer && size > 0) {
        const size_t n = std::min(log.size(), size - 1);
        std::memcpy(buffer, log.data(), n);
        buffer[n] = 0;
    }
    return log.size();
}
