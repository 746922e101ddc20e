#pragma once
// A mouse protocol object wired to one emulated mouse, and helpers to read what it received.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/device/mouse_protocol.h"
#include "core/hid/command_channel.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"

namespace tellune::device::test {

// "aa 55 2e" -> bytes.
inline std::vector<uint8_t> hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream in(text);
    std::string word;
    while (in >> word) bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

inline void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

struct Request {
    uint8_t command = 0;
    uint8_t length = 0;
    int offset = 0;
};

struct MouseRig {
    explicit MouseRig(emulator::DeviceConfig config = emulator::mouse_config(),
                      bool wireless = false)
        : device(std::make_shared<emulator::EmulatedDevice>(std::move(config))) {
        backend.plug(device);
        paths = emulator::interface_paths(*device);
        opened = this->config.Connect(paths[3]);
        this->config.SetWireless(wireless);
    }
    // The requests the command collection received, oldest first.
    std::vector<Request> requests() const {
        std::vector<Request> out;
        for (const emulator::LogEntry& e : device->log().entries())
            if (e.direction == emulator::Direction::received && e.collection == 4 &&
                e.bytes.size() == 64)
                out.push_back({e.bytes[3], e.bytes[4], e.bytes[5] | e.bytes[6] << 8});
        return out;
    }
    std::vector<uint8_t> commands() const {
        std::vector<uint8_t> out;
        for (const Request& r : requests()) out.push_back(r.command);
        return out;
    }
    void clear_log() { device->log().clear(); }

    emulator::EmulatedBackend backend;
    std::shared_ptr<emulator::EmulatedDevice> device;
    std::vector<std::string> paths;
    hid::CCommandChannel config{backend};
    MouseProtocol mouse{config};
    bool opened = false;
};

inline std::vector<uint8_t> bytes(const std::vector<uint8_t>& v, size_t from, size_t count) {
    return {v.begin() + static_cast<ptrdiff_t>(from),
            v.begin() + static_cast<ptrdiff_t>(from + count)};
}

}  // namespace tellune::device::test
