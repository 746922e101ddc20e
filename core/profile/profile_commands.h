#pragma once
// The profile commands of tellunectl on a device's profile list, with the window's rules:
//   list                 the profiles, the selected one marked
//   show [NAME|N]        a profile's document (the selected one by default)
//   apply NAME|N         selects the profile; the caller makes the device take it
//   export FILE          writes the selected profile to FILE
//   import FILE          adds FILE under a fresh UUID, its name made unique
// Used by tellunectl on its own and by the running program, so both follow the same rules.

#include <string>
#include <vector>

#include "core/profile/profile_list.h"

namespace tellune {

struct ProfileCommandResult {
    int code = 0;  // 0 done, 1 a file could not be written, 2 bad usage (nothing changed)
    std::string output;
    std::string error;
    bool apply = false;  // the selection changed: the device must take the profile
};

// `list` is initialised. `args` starts with the action; FILE arguments are used as given.
ProfileCommandResult run_profile_command(ProfileList& list, const std::vector<std::string>& args,
                                         bool json);

}  // namespace tellune
