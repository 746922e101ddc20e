#pragma once
// Choices made on the command line, read by the parts that act on them.

#include <string>

namespace tellune::ui {

struct AppOptions {
    // Start on the emulated devices instead of scanning for real ones.
    bool emulate = false;
    // Record macros also from other programs' windows where input devices are readable.
    bool global_input = true;
    // The audio library of the headset: a file name under SDK/<architecture>/ or a path;
    // empty takes the real one.
    std::string audio_library;
};

// Interface thread only.
inline AppOptions& app_options() {
    static AppOptions options;
    return options;
}

}  // namespace tellune::ui
