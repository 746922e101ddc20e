#pragma once
// Linux input event codes (evdev, as in <linux/input-event-codes.h>) to the PC set-1 scan
// codes and extended flag that the key code table identifies keys by. X11 and Wayland key
// codes are the evdev code + 8.

#include <cstdint>
#include <optional>

namespace tellune::device {

struct Set1Key {
    uint8_t scan = 0;
    bool extended = false;
    bool operator==(const Set1Key&) const = default;
};

inline constexpr int kXkbKeycodeOffset = 8;

// Every key of the keyboard block, the navigation block, the keypad and the international
// keys. Nothing for other codes (media keys, buttons, codes out of range).
std::optional<Set1Key> set1_from_evdev(int code);

}  // namespace tellune::device
