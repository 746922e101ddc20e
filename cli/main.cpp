// tellunectl: the devices from the command line and from scripts.

#include <cstdio>
#include <cstdlib>
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

#if TELLUNE_CLI_BUS
#include <QCoreApplication>

#include "cli/bus_remote.h"
#endif

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
#if TELLUNE_CLI_BUS
    // While the program runs it holds the devices; without a session bus it cannot be running
    // for this session, so nothing is started to find out.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) {
        QCoreApplication app(argc, argv);
        tellune::cli::BusRemote remote(QDBusConnection::sessionBus());
        return tellune::cli::run(args, *backend, std::cout, std::cerr, &remote);
    }
#endif
    return tellune::cli::run(args, *backend, std::cout, std::cerr);
}
