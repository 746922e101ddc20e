// The headset's USB sound card through ALSA's simple mixer.

#include <alsa/asoundlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sdk/alsa/alsa_chip.h"

namespace tellune::osconf {

namespace {

struct MixerCloser {
    void operator()(snd_mixer_t* m) const { snd_mixer_close(m); }
};
using MixerHandle = std::unique_ptr<snd_mixer_t, MixerCloser>;

// Capture: the microphone's gain. Playback of the microphone's element: the sidetone.
class AlsaVolume final : public VolumeControl {
public:
    AlsaVolume(snd_mixer_t* mixer, snd_mixer_elem_t* elem, bool capture)
        : mixer_(mixer), elem_(elem), capture_(capture) {}

    bool range(long& min, long& max) override {
        return (capture_ ? snd_mixer_selem_get_capture_volume_range(elem_, &min, &max)
                         : snd_mixer_selem_get_playback_volume_range(elem_, &min, &max)) == 0;
    }
    bool db_range(long& min, long& max) override {
        return (capture_ ? snd_mixer_selem_get_capture_dB_range(elem_, &min, &max)
                         : snd_mixer_selem_get_playback_dB_range(elem_, &min, &max)) == 0;
    }
    bool volume(long& raw) override {
        refresh();
        return (capture_
                    ? snd_mixer_selem_get_capture_volume(elem_, SND_MIXER_SCHN_FRONT_LEFT, &raw)
                    : snd_mixer_selem_get_playback_volume(elem_, SND_MIXER_SCHN_FRONT_LEFT,
                                                          &raw)) == 0;
    }
    bool set_volume(long raw) override {
        return (capture_ ? snd_mixer_selem_set_capture_volume_all(elem_, raw)
                         : snd_mixer_selem_set_playback_volume_all(elem_, raw)) == 0;
    }
    bool db(long& hundredths) override {
        refresh();
        return (capture_
                    ? snd_mixer_selem_get_capture_dB(elem_, SND_MIXER_SCHN_FRONT_LEFT, &hundredths)
                    : snd_mixer_selem_get_playback_dB(elem_, SND_MIXER_SCHN_FRONT_LEFT,
                                                      &hundredths)) == 0;
    }
    bool has_switch() override {
        return capture_ ? snd_mixer_selem_has_capture_switch(elem_)
                        : snd_mixer_selem_has_playback_switch(elem_);
    }
    bool switch_on(bool& on) override {
        refresh();
        int value = 0;
        const int r =
            capture_
                ? snd_mixer_selem_get_capture_switch(elem_, SND_MIXER_SCHN_FRONT_LEFT, &value)
                : snd_mixer_selem_get_playback_switch(elem_, SND_MIXER_SCHN_FRONT_LEFT, &value);
        on = value != 0;
        return r == 0;
    }
    bool set_switch(bool on) override {
        return (capture_ ? snd_mixer_selem_set_capture_switch_all(elem_, on)
                         : snd_mixer_selem_set_playback_switch_all(elem_, on)) == 0;
    }

private:
    // Someone else (a desktop mixer) may have changed the card meanwhile.
    void refresh() { snd_mixer_handle_events(mixer_); }

    snd_mixer_t* mixer_;
    snd_mixer_elem_t* elem_;
    bool capture_;
};

class AlsaCard final : public SoundCard {
public:
    AlsaCard(MixerHandle mixer, snd_mixer_elem_t* mic, snd_mixer_elem_t* monitor)
        : mixer_(std::move(mixer)) {
        if (mic) mic_ = std::make_unique<AlsaVolume>(mixer_.get(), mic, true);
        if (monitor) monitor_ = std::make_unique<AlsaVolume>(mixer_.get(), monitor, false);
    }
    VolumeControl* microphone() override { return mic_.get(); }
    VolumeControl* monitoring() override { return monitor_.get(); }

private:
    MixerHandle mixer_;
    std::unique_ptr<AlsaVolume> mic_;
    std::unique_ptr<AlsaVolume> monitor_;
};

MixerHandle open_mixer(const std::string& device) {
    snd_mixer_t* m = nullptr;
    if (snd_mixer_open(&m, 0) < 0) return nullptr;
    MixerHandle mixer(m);
    if (snd_mixer_attach(m, device.c_str()) < 0 ||
        snd_mixer_selem_register(m, nullptr, nullptr) < 0 || snd_mixer_load(m) < 0)
        return nullptr;
    return mixer;
}

// The first element, by preferred name, that has the volume asked for.
snd_mixer_elem_t* find_element(snd_mixer_t* mixer, bool capture,
                               std::initializer_list<const char*> preferred) {
    auto has = [capture](snd_mixer_elem_t* e) {
        return snd_mixer_selem_is_active(e) && (capture ? snd_mixer_selem_has_capture_volume(e)
                                                        : snd_mixer_selem_has_playback_volume(e));
    };
    for (const char* name : preferred)
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
            if (std::strcmp(snd_mixer_selem_get_name(e), name) == 0 && has(e)) return e;
    if (!capture) return nullptr;  // any playback volume would be the headphones, not the sidetone
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e))
        if (has(e)) return e;
    return nullptr;
}

std::unique_ptr<SoundCard> open_card(const std::string& device) {
    MixerHandle mixer = open_mixer(device);
    if (!mixer) return nullptr;
    snd_mixer_elem_t* mic =
        find_element(mixer.get(), true, {"Mic", "Microphone", "Headset", "Capture"});
    if (!mic) return nullptr;
    snd_mixer_elem_t* monitor =
        find_element(mixer.get(), false, {"Sidetone", "Mic", "Microphone", "Monitor"});
    return std::make_unique<AlsaCard>(std::move(mixer), mic, monitor);
}

bool is_usb_card(int card) {
    snd_ctl_t* ctl = nullptr;
    const std::string name = "hw:" + std::to_string(card);
    if (snd_ctl_open(&ctl, name.c_str(), 0) < 0) return false;
    snd_ctl_card_info_t* info = nullptr;
    snd_ctl_card_info_alloca(&info);
    const bool usb = snd_ctl_card_info(ctl, info) == 0 &&
                     std::strcmp(snd_ctl_card_info_get_driver(info), "USB-Audio") == 0;
    snd_ctl_close(ctl);
    return usb;
}

}  // namespace

std::unique_ptr<SoundCard> find_alsa_card() {
    if (const char* named = std::getenv("TELLUNE_OSCONF_ALSA_CARD"); named && *named)
        return open_card(named);
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        if (!is_usb_card(card)) continue;
        if (auto found = open_card("hw:" + std::to_string(card))) return found;
    }
    return nullptr;
}

Chip& library_chip() {
    static AlsaChip chip(find_alsa_card, state_file("TELLUNE_OSCONF_STATE", AlsaChip::kStateName));
    return chip;
}

}  // namespace tellune::osconf
