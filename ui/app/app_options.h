#pragma once
// Choices made on the command line, read by the parts that act on them.

namespace tellune::ui {

struct AppOptions {
    // Start on the emulated devices instead of scanning for real ones.
    bool emulate = false;
    // Record macros also from other programs' windows where input devices are readable.
    bool global_input = true;
};

// Interface thread only.
inline AppOptions& app_options() {
    static AppOptions options;
    return options;
}

}  // namespace tellune::ui
