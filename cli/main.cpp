// tellunectl: the devices from the command line and from scripts.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/hid/hidraw_backend.h"
#include "core/platform/platform.h"
#include "emulator/emulated_backend.h"
#include "emulator/fault_spec.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::unique_ptr<tellune::hid::HidBackend> backend;
    if (tellune::cli::wants_emulation(args)) {
        auto demo = tellune::emulator::make_demo_backend();
        // The same state as the program's demo mode, so both see what the other wrote.
        const std::string state = tellune::application_data_folder() + "emulated/";
        std::error_code ec;
        std::filesystem::create_directories(state, ec);
        if (std::filesystem::is_directory(state, ec)) tellune::emulator::keep_states(*demo, state);
        for (const std::string& line : tellune::emulator::apply_faults_from_environment(*demo))
            std::fprintf(stderr, "%s\n", line.c_str());
        backend = std::move(demo);
    } else {
        backend = std::make_unique<tellune::hid::HidrawBackend>();
    }
    return tellune::cli::run(args, *backend, std::cout, std::cerr);
}
