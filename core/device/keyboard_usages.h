#pragma once
// Which key of the keyboard a Linux key code is: evdev codes (<linux/input-event-codes.h>;
// X11 and Wayland key codes are the evdev code + 8) to the factory codes by which the
// keyboard's key table names its keys (type 0x20, modifier mask, HID keyboard usage).

#include <optional>

#include "core/device/factory_codes.h"

namespace tellune::device {

// The factory code of the key with evdev code `code`: every key of the keyboard block, the
// navigation block, the keypad and the international keys. Nothing for other codes.
std::optional<KeyCode> key_code_from_evdev(int code);

// The keyboard's key index 0..125 whose factory code is `code`, or -1.
int keyboard_key_of_code(const KeyCode& code);

}  // namespace tellune::device
