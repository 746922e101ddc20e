#pragma once
// An in-memory audio chip with every property the program uses, for tests and the demo
// mode. It keeps its values in a file across restarts (TELLUNE_OSCONF_STATE names it; empty
// keeps them in memory only), logs every call, and takes faults from its test hooks:
//
//   TelluneEmuReset()                      factory state, empty log, no faults
//   TelluneEmuConfigure(key, value)        see EmulatedChip::configure
//   TelluneEmuLog(buffer, size)            the log, one call per line; returns its length
//
// Factory state: playback devices of types 4, 1 (not usable) and 12; recording devices of
// types 3 and 2; every feature reported; microphone at 0.75 and on, monitoring at 0.5 and
// muted; the equaliser, room, surround, noise and voice properties have no value yet.

#include <set>
#include <string>
#include <vector>

#include "sdk/common/chip.h"

namespace tellune::osconf {

class EmulatedChip final : public Chip {
public:
    static constexpr double kMicMaxDb = 24, kMicMinDb = -12, kMicStepDb = 0.5;
    static constexpr double kMonitorMaxDb = 0, kMonitorMinDb = -40, kMonitorStepDb = 1;
    static constexpr int kEqualiserLimitDb = 24;
    static constexpr char kDefaultFeatures[] = "131073,0,0,0,10,0,1";

    EmulatedChip();
    void reset();

    int init() override;
    int create_device_list() override;
    int device_count(int flow, int* count) override;
    int device_by_id(int flow, int index, OsConfDevice* device) override;
    int property(OsConfDevice device, const wchar_t* name, void** value, void** parameter,
                 int set) override;

    // "init_result" (the answer of ConfLibInit); "playback", "recording" ("type:flag,..." in
    // order); "features" (the feature answer of both devices); "fail_read", "fail_write"
    // (property names, comma-separated, added to the faults); "forget" (a property loses
    // its value); "set" ("flow name channel value" stored as it is). False for an unknown key.
    bool configure(const std::string& key, const std::string& value);
    const std::string& log() const { return log_; }

private:
    struct DeviceSpec {
        int type = 0;
        int flag = 0;
    };
    int read(int flow, const std::string& name, int32_t channel, void** value);
    int write(int flow, const std::string& name, int32_t channel, double v);
    void note(const std::string& line) { log_ += line + '\n'; }

    std::vector<DeviceSpec> playback_, recording_;
    PropertyStore store_;
    std::set<std::string> fail_read_, fail_write_;
    std::wstring features_;
    int init_result_ = 0;
    bool listed_ = false;
    std::string log_;
};

}  // namespace tellune::osconf
