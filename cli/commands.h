#pragma once
// The commands of tellunectl, callable in-process so tests drive them against the emulator.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/hid/hid_backend.h"

namespace tellune::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitDeviceFailed = 1,  // the device did not take the request
    kExitUsage = 2,         // bad arguments or values: nothing was sent, no file changed
    kExitNoDevice = 3,      // the device named is not connected
};

// Runs one command line (without the program name). `backend` is what "--emulate" or the
// real hidraw backend gave; the caller picks it from `wants_emulation(args)`.
int run(const std::vector<std::string>& args, hid::HidBackend& backend, std::ostream& out,
        std::ostream& err);

// True when "--emulate" stands among the options before the command.
bool wants_emulation(const std::vector<std::string>& args);

}  // namespace tellune::cli
