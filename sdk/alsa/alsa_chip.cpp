#include "sdk/alsa/alsa_chip.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace tellune::osconf {

namespace {

constexpr int kPlaybackType = 1;
constexpr int kRecordingType = 2;

// Kept, not applied: nothing on this system does what they ask.
const std::set<std::string> kKeptPlayback = {
    "Enable_EQ_GFX",   "EQ_Slider1",   "EQ_Slider2",
    "EQ_Slider3",      "EQ_Slider4",   "EQ_Slider5",
    "EQ_Slider6",      "EQ_Slider7",   "EQ_Slider8",
    "EQ_Slider9",      "EQ_Slider10",  "Enable_RFX_GFX",
    "RFX_ENVIRONMENT", "RFX_ROOMSIZE", "VirtualSurroundEffectControl"};
const std::set<std::string> kKeptRecording = {"Enable_MAGICVOICE", "MagicVoice_Selection",
                                              "Enable_MICECHO", "Enable_ENC_LFX"};

bool say(void** value, double v, ValueKind kind) {
    return answer(value, format_number(v, kind));
}

}  // namespace

AlsaChip::AlsaChip(CardFinder finder, std::string state_file) : finder_(std::move(finder)) {
    store_.set_file(std::move(state_file));
}

int AlsaChip::init() {
    if (!loaded_) {
        store_.load();
        loaded_ = true;
    }
    return 0;
}

int AlsaChip::create_device_list() {
    card_ = finder_ ? finder_() : nullptr;
    return 0;
}

int AlsaChip::device_count(int flow, int* count) {
    if (flow != OSCONF_FLOW_PLAYBACK && flow != OSCONF_FLOW_RECORDING) return -1;
    *count = card_ ? 1 : 0;
    return 0;
}

int AlsaChip::device_by_id(int flow, int index, OsConfDevice* device) {
    if ((flow != OSCONF_FLOW_PLAYBACK && flow != OSCONF_FLOW_RECORDING) || !card_ || index != 0)
        return -1;
    *device =
        OsConfDevice{{flow, flow == OSCONF_FLOW_PLAYBACK ? kPlaybackType : kRecordingType, 0, 1}};
    return 0;
}

int AlsaChip::property(OsConfDevice device, const wchar_t* wide_name, void** value,
                       void** parameter, int set) {
    const int flow = device.word[0];
    if (!card_ || device.word[2] != 0 ||
        (flow == OSCONF_FLOW_PLAYBACK ? kPlaybackType : kRecordingType) != device.word[1] ||
        (flow != OSCONF_FLOW_PLAYBACK && flow != OSCONF_FLOW_RECORDING))
        return -1;
    const std::string name = narrow(wide_name);
    const ValueKind kind = kind_of(wide_name);

    if (!set && name == "GetSupportFeature") {
        // Nothing of the equaliser, room, surround or voice changer is applied here: feature
        // bits 0. Field 4 the equaliser's bands, field 6 whether monitoring exists.
        const bool monitoring = card_->monitoring() != nullptr;
        return answer(value, L"0,0,0,0,10,0," + std::to_wstring(monitoring ? 1 : 0)) ? 0 : -1;
    }
    if (flow == OSCONF_FLOW_RECORDING && !kKeptRecording.count(name)) {
        const bool aa = name.rfind("AA", 0) == 0 || name.rfind("GetAA", 0) == 0;
        VolumeControl* control = aa ? card_->monitoring() : card_->microphone();
        if (!control) return -1;
        std::string base = name;
        if (name.rfind("GetAA", 0) == 0)
            base = "Get" + name.substr(5);
        else if (aa)
            base = name.substr(2);
        if (!set) return read_volume(control, base, value);
        const auto v = written_value(value, kind);
        return v ? write_volume(control, base, *v) : -1;
    }
    const auto& kept = flow == OSCONF_FLOW_PLAYBACK ? kKeptPlayback : kKeptRecording;
    if (!kept.count(name)) return -1;
    const int32_t channel = uses_channel(wide_name) ? parameter_channel(parameter) : 0;
    if (!set) {
        const auto v = store_.get(flow, name, channel);
        return v && say(value, *v, kind) ? 0 : -1;
    }
    const auto v = written_value(value, kind);
    if (!v) return -1;
    store_.set(flow, name, channel, *v);
    store_.save();
    return 0;
}

int AlsaChip::read_volume(VolumeControl* c, const std::string& name, void** value) {
    long min = 0, max = 0, dmin = 0, dmax = 0, raw = 0;
    if (!c->range(min, max)) return -1;
    if (name == "GetMaxVol" || name == "GetMinVol" || name == "GetVolStep") {
        if (!c->db_range(dmin, dmax)) return -1;
        double v = name == "GetMaxVol" ? dmax / 100.0 : dmin / 100.0;
        if (name == "GetVolStep") v = max > min ? (dmax - dmin) / 100.0 / double(max - min) : 0;
        return say(value, v, ValueKind::Float) ? 0 : -1;
    }
    if (name == "VolumeControl") {
        long hundredths = 0;
        if (!c->db(hundredths)) return -1;
        return say(value, hundredths / 100.0, ValueKind::Float) ? 0 : -1;
    }
    if (name == "VolumeScalarControl") {
        if (!c->volume(raw) || max <= min) return -1;
        return say(value, double(raw - min) / double(max - min), ValueKind::Float) ? 0 : -1;
    }
    if (name == "MuteControl") {
        bool on = true;
        if (c->has_switch() && !c->switch_on(on)) return -1;
        return say(value, on ? 0 : 1, ValueKind::Int) ? 0 : -1;
    }
    return -1;
}

int AlsaChip::write_volume(VolumeControl* c, const std::string& name, double v) {
    long min = 0, max = 0, dmin = 0, dmax = 0;
    if (!c->range(min, max) || max < min) return -1;
    if (name == "VolumeScalarControl") {
        if (!(v >= 0 && v <= 1)) return -1;
        return c->set_volume(std::lround(double(min) + v * double(max - min))) ? 0 : -1;
    }
    if (name == "VolumeControl") {
        // The nearest step, taking the dB range as even over the raw steps.
        if (!c->db_range(dmin, dmax) || dmax <= dmin) return -1;
        const double at = std::clamp((v * 100 - double(dmin)) / double(dmax - dmin), 0.0, 1.0);
        return c->set_volume(std::lround(double(min) + at * double(max - min))) ? 0 : -1;
    }
    if (name == "MuteControl") {
        if (v != 0 && v != 1) return -1;
        // A control without a switch is never muted: unmuting it succeeds, muting cannot.
        if (!c->has_switch()) return v == 0 ? 0 : -1;
        return c->set_switch(v == 0) ? 0 : -1;
    }
    return -1;
}

}  // namespace tellune::osconf
