#pragma once
// A command channel wired to one emulated mouse pad or headset, and what the device received.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/hid/command_channel.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "tests/core/device/mouse_test_util.h"

namespace tellune::device::test {

struct LitDeviceRig {
    // `command_path`: index of the command collection among the device's paths.
    LitDeviceRig(emulator::DeviceConfig config, size_t command_path)
        : device(std::make_shared<emulator::EmulatedDevice>(std::move(config))) {
        backend.plug(device);
        paths = emulator::interface_paths(*device);
        command_collection = device->config().collections[command_path].number;
        opened = channel.Connect(paths[command_path]);
    }
    static LitDeviceRig pad() { return {emulator::mouse_pad_config(), 3}; }
    static LitDeviceRig headset() { return {emulator::headset_config(), 0}; }

    // The command requests received, oldest first.
    std::vector<Request> requests() const {
        std::vector<Request> out;
        for (const emulator::LogEntry& e : device->log().entries())
            if (e.direction == emulator::Direction::received &&
                e.collection == command_collection && e.bytes.size() == 64 && e.bytes[0] == 4)
                out.push_back({e.bytes[3], e.bytes[4], e.bytes[5] | e.bytes[6] << 8});
        return out;
    }
    // The whole request reports of one command, oldest first.
    std::vector<std::vector<uint8_t>> reports_of(uint8_t command) const {
        std::vector<std::vector<uint8_t>> out;
        for (const emulator::LogEntry& e : device->log().entries())
            if (e.direction == emulator::Direction::received && e.bytes.size() == 64 &&
                e.bytes[0] == 4 && e.bytes[3] == command)
                out.push_back(e.bytes);
        return out;
    }
    void clear_log() { device->log().clear(); }

    emulator::EmulatedBackend backend;
    std::shared_ptr<emulator::EmulatedDevice> device;
    std::vector<std::string> paths;
    uint8_t command_collection = 0;
    hid::CCommandChannel channel{backend};
    bool opened = false;
};

inline bool operator==(const Request& a, const Request& b) {
    return a.command == b.command && a.length == b.length && a.offset == b.offset;
}

inline void PrintTo(const Request& r, std::ostream* os) {
    *os << "{cmd " << int(r.command) << ", len " << int(r.length) << ", at " << r.offset << "}";
}

}  // namespace tellune::device::test
