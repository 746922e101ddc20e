#pragma once
// The audio configuration library on ALSA: the headset's USB sound card stands in for the
// chip. Microphone and monitoring properties go to the card's capture and sidetone mixer
// controls; the equaliser, room, surround, noise and voice properties have nothing to go to
// on this system, so the library keeps them (across restarts, like the rest of the chip's
// settings) and its feature list says they are not applied.
//
// The mixer is reached through SoundCard, so the chip's logic can be tried on a fake card.

#include <functional>
#include <memory>

#include "sdk/common/chip.h"

namespace tellune::osconf {

// One mixer element's volume and switch in one direction.
class VolumeControl {
public:
    virtual ~VolumeControl() = default;
    virtual bool range(long& min, long& max) = 0;
    // In hundredths of a dB; false when the element tells no dB.
    virtual bool db_range(long& min, long& max) = 0;
    virtual bool volume(long& raw) = 0;
    virtual bool set_volume(long raw) = 0;  // every channel
    virtual bool db(long& hundredths) = 0;
    virtual bool has_switch() = 0;
    virtual bool switch_on(bool& on) = 0;
    virtual bool set_switch(bool on) = 0;  // every channel
};

class SoundCard {
public:
    virtual ~SoundCard() = default;
    virtual VolumeControl* microphone() = 0;  // null when the card has none
    virtual VolumeControl* monitoring() = 0;
};

// Finds the headset's card; null when there is none.
using CardFinder = std::function<std::unique_ptr<SoundCard>()>;

class AlsaChip final : public Chip {
public:
    static constexpr char kStateName[] = "osconf-alsa.state";
    static constexpr int kBands = 10;

    // `state_file`: where the kept properties live (empty: in memory only).
    AlsaChip(CardFinder finder, std::string state_file);

    int init() override;
    int create_device_list() override;
    int device_count(int flow, int* count) override;
    int device_by_id(int flow, int index, OsConfDevice* device) override;
    int property(OsConfDevice device, const wchar_t* name, void** value, void** parameter,
                 int set) override;

    SoundCard* card() const { return card_.get(); }
    const PropertyStore& kept() const { return store_; }

private:
    int read_volume(VolumeControl* control, const std::string& name, void** value);
    int write_volume(VolumeControl* control, const std::string& name, double v);

    CardFinder finder_;
    std::unique_ptr<SoundCard> card_;
    PropertyStore store_;
    bool loaded_ = false;
};

// The real card: a USB audio card with a capture volume (TELLUNE_OSCONF_ALSA_CARD names the
// control device to use instead, e.g. "hw:2").
std::unique_ptr<SoundCard> find_alsa_card();

}  // namespace tellune::osconf
