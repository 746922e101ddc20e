#pragma once
// Shared helpers of the emulator tests: hex vectors and a connection to one device.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/emulated_backend.h"
#include "emulator/products.h"

namespace tellune::emulator::test {

// "04 3f 00 07" -> bytes, zero-filled to `size` (0: as written).
inline std::vector<uint8_t> hex(const std::string& text, size_t size = 64) {
    std::vector<uint8_t> bytes;
    std::istringstream in(text);
    std::string word;
    while (in >> word) bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    if (bytes.size() < size) bytes.resize(size, 0);
    return bytes;
}

// A backend with one device plugged and its command collection open for reading and writing.
struct Rig {
    explicit Rig(std::shared_ptr<EmulatedDevice> d) : device(std::move(d)) {
        backend.plug(device);
        for (const std::string& path : interface_paths(*device)) {
            auto c = backend.open(path, {true, true, false});
            if (c && (c->collection().usage_page == 0xFF1C ||
                      device->config().collections.size() == 1)) {
                connection = std::move(c);
                break;
            }
        }
    }
    // One request written, one reply read (empty when none came within `timeout_ms`).
    std::vector<uint8_t> exchange(const std::vector<uint8_t>& request, int timeout_ms = 200) {
        if (!connection->write(request, 1000).ok()) return {};
        return next_reply(timeout_ms);
    }
    std::vector<uint8_t> next_reply(int timeout_ms = 200) {
        std::vector<uint8_t> reply(64);
        const hid::IoResult r = connection->read(reply, timeout_ms);
        if (!r.ok()) return {};
        reply.resize(r.bytes);
        return reply;
    }
    EmulatedBackend backend;
    std::shared_ptr<EmulatedDevice> device;
    std::unique_ptr<hid::HidConnection> connection;
};

}  // namespace tellune::emulator::test
