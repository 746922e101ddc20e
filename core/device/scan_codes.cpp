#include "core/device/scan_codes.h"

#include <array>

namespace tellune::device {
namespace {

struct Entry {
    uint16_t evdev;
    uint8_t scan;
    bool extended;
};

// Codes 1..83 are the set-1 codes themselves. Right Shift and Num Lock carry the extended
// flag and Pause does not, as the keyboard hooks of the platform the key table was made on
// report them; the table's rows expect exactly that.
constexpr std::array<Entry, 32> kBeyondMain = {{
    {54, 0x36, true},    // right Shift
    {69, 0x45, true},    // Num Lock
    {86, 0x56, false},   // 102nd key
    {87, 0x57, false},   // F11
    {88, 0x58, false},   // F12
    {89, 0x73, false},   // Ro
    {92, 0x79, false},   // Henkan
    {93, 0x70, false},   // Katakana/Hiragana
    {94, 0x7B, false},   // Muhenkan
    {96, 0x1C, true},    // keypad Enter
    {97, 0x1D, true},    // right Ctrl
    {98, 0x35, true},    // keypad /
    {99, 0x37, true},    // Print Screen
    {100, 0x38, true},   // right Alt
    {102, 0x47, true},   // Home
    {103, 0x48, true},   // Up
    {104, 0x49, true},   // Page Up
    {105, 0x4B, true},   // Left
    {106, 0x4D, true},   // Right
    {107, 0x4F, true},   // End
    {108, 0x50, true},   // Down
    {109, 0x51, true},   // Page Down
    {110, 0x52, true},   // Insert
    {111, 0x53, true},   // Delete
    {119, 0x45, false},  // Pause
    {121, 0x7E, false},  // keypad comma
    {122, 0x72, false},  // Hangeul
    {123, 0x71, false},  // Hanja
    {124, 0x7D, false},  // Yen
    {125, 0x5B, true},   // left Super
    {126, 0x5C, true},   // right Super
    {127, 0x5D, true},   // Menu
}};

}  // namespace

std::optional<Set1Key> set1_from_evdev(int code) {
    for (const Entry& e : kBeyondMain)
        if (e.evdev == code) return Set1Key{e.scan, e.extended};
    if (code >= 1 && code <= 83) return Set1Key{uint8_t(code), false};
    return std::nullopt;
}

}  // namespace tellune::device
