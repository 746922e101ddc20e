#pragma once
// Faults for the emulated devices of a running program, from the text of
// TELLUNE_EMULATOR_FAULTS, so that what the program does on a lost reply, a refused chunk,
// a stale reply or an unplug can be watched end to end.
//
//   rules   = rule { ";" rule }
//   rule    = device ":" command ":" fault { "@" option }
//   device  = "mouse" | "keyboard" | "mousepad" | "pad" | "headset" | "hd" | "*"
//   command = a byte, "0x09" or "9", or "*" for every command
//   fault   = "noreply" | "status=" byte | "wrongcmd" | "stale" | "unplug"
//   option  = "chunk=" n   the n-th request of the command (from 1; default 1)
//           | "times=" n   strike n commands, then disarm (default: every one)
//
// e.g. "mouse:0x09:status=0xFF@chunk=2;pad:*:noreply". Words are read without regard to
// case and blanks around them are ignored; an empty rule is skipped.

#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulated_backend.h"
#include "emulator/emulated_device.h"

namespace tellune::emulator {

inline constexpr char kFaultsVariable[] = "TELLUNE_EMULATOR_FAULTS";

struct DeviceFault {
    std::string device;  // "mouse", "keyboard", "mousepad", "headset" or "*"
    FaultRule rule;
    bool operator==(const DeviceFault&) const = default;
};

struct FaultSpec {
    std::vector<DeviceFault> faults;  // the rules that parsed, in order
    std::vector<std::string> errors;  // one line per rule that did not, saying why
};

FaultSpec parse_fault_spec(std::string_view text);

// "mouse", "mousepad", "keyboard" or "headset": the product part of the device's node.
std::string device_kind_name(const EmulatedDevice& device);

// Arms each fault on every device of the backend whose kind it names. Returns one line for
// each fault that matched no device.
std::vector<std::string> apply_faults(EmulatedBackend& backend,
                                      const std::vector<DeviceFault>& faults);

// Reads TELLUNE_EMULATOR_FAULTS (nothing when unset or empty) and arms what parses. Returns
// the lines to show the user: rules that did not parse and faults that matched no device.
std::vector<std::string> apply_faults_from_environment(EmulatedBackend& backend);

}  // namespace tellune::emulator
