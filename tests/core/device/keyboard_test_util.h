#pragma once
// A keyboard protocol object wired to one emulated keyboard, and an emulated keyboard whose
// slots and LEDs are both scrambled, with one key missing from its key table: a host that
// takes a key index for a slot, a slot for an LED, or a missing key for a present one shows
// it at once.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/device/keyboard_protocol.h"
#include "core/hid/command_channel.h"
#include "emulator/emulated_backend.h"
#include "emulator/products.h"
#include "mouse_test_util.h"

namespace tellune::device::test {

// Polls `condition` until it holds or `timeout_ms` passed; its last answer.
template <class Condition>
bool eventually(Condition condition, int timeout_ms = 2000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline constexpr size_t kScrambledSlots = 128;
inline constexpr size_t kMissingKey = 64;  // "A": its slot holds a code no key has

// Key k sits in slot (5k + 3) mod 128 (slots 121 and 126 stay empty); slot s lights LED
// (3s + 7) mod 128.
inline size_t scrambled_slot(size_t key) {
    return (5 * key + 3) % kScrambledSlots;
}
inline size_t scrambled_led(size_t slot) {
    return (3 * slot + 7) % kScrambledSlots;
}

inline emulator::DeviceConfig scrambled_keyboard() {
    emulator::DeviceConfig c = emulator::keyboard_config();
    c.info[5] = uint8_t(kScrambledSlots);
    c.key_table.assign(3 * kScrambledSlots, 0);
    for (size_t key = 0; key < kKeyboardKeys; ++key) {
        const size_t s = scrambled_slot(key);
        const KeyCode code =
            key == kMissingKey ? KeyCode{0x30, 0x01, 0x02} : kKeyboardFactoryCodes[key];
        std::copy(code.begin(), code.end(), c.key_table.begin() + ptrdiff_t(3 * s));
    }
    c.led_index_table.resize(kScrambledSlots);
    for (size_t s = 0; s < kScrambledSlots; ++s) c.led_index_table[s] = uint8_t(scrambled_led(s));
    c.light_frame_size = 3 * kScrambledSlots;
    c.custom_colour_size = 8 * 3 * kScrambledSlots;
    return c;
}

struct KeyboardRig {
    explicit KeyboardRig(emulator::DeviceConfig config = emulator::keyboard_config())
        : device(std::make_shared<emulator::EmulatedDevice>(std::move(config))) {
        backend.plug(device);
        paths = emulator::interface_paths(*device);
        opened = this->config.Connect(paths[3]);
    }
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
    // The payloads of every request with `command`, joined in order.
    std::vector<uint8_t> payload(uint8_t command) const {
        std::vector<uint8_t> out;
        for (const emulator::LogEntry& e : device->log().entries())
            if (e.direction == emulator::Direction::received && e.collection == 4 &&
                e.bytes.size() == 64 && e.bytes[3] == command)
                out.insert(out.end(), e.bytes.begin() + 8, e.bytes.begin() + 8 + e.bytes[4]);
        return out;
    }
    void clear_log() { device->log().clear(); }

    emulator::EmulatedBackend backend;
    std::shared_ptr<emulator::EmulatedDevice> device;
    std::vector<std::string> paths;
    hid::CCommandChannel config{backend};
    KeyboardProtocol keyboard{config};
    bool opened = false;
};

}  // namespace tellune::device::test
