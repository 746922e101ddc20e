#pragma once
// The commands of tellunectl, callable in-process so tests drive them against the emulator.
#include <json/json.h>

#include <memory>
#include <optional>
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

// The running program, which holds the devices while it runs: requests go to it instead.
class Remote {
public:
    struct Reply {
        int code = kExitDeviceFailed;
        std::string text;  // the output on success, else why not
    };
    virtual ~Remote() = default;
    // The program's devices as `list --json` prints them; nullopt when no program runs.
    virtual std::optional<Json::Value> devices() = 0;
    // A checked setting request (JSON as request_to_json writes it) for the device at `path`.
    virtual Reply apply(const std::string& path, const std::string& request) = 0;
    // A profile command: `action` and its arguments as the command line gives them.
    virtual Reply profile(const std::string& path, const std::vector<std::string>& args) = 0;
    // A macro library change ("import FILE") for the device at `path`.
    virtual Reply macro(const std::string& path, const std::vector<std::string>& args) = 0;
    // The keys of the device at `path` whose function may be changed: a JSON array of key
    // indices in `text`.
    virtual Reply keys(const std::string& path) = 0;
};

// Runs one command line (without the program name). `backend` is what "--emulate" or the
// real hidraw backend gave; the caller picks it from `wants_emulation(args)`. With a
// `remote` that answers, the devices are the program's and `backend` is not touched.
int run(const std::vector<std::string>& args, hid::HidBackend& backend, std::ostream& out,
        std::ostream& err, Remote* remote = nullptr);

// True when "--emulate" stands among the options before the command.
bool wants_emulation(const std::vector<std::string>& args);

}  // namespace tellune::cli
