#include "core/device/keyboard_usages.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tellune::device {

namespace {

// evdev code -> HID keyboard usage (0: none); modifiers are listed apart.
constexpr std::array<uint8_t, 128> make_usages() {
    std::array<uint8_t, 128> u{};
    u[1] = 0x29;                                                       // Esc
    for (int i = 0; i < 9; ++i) u[size_t(2 + i)] = uint8_t(0x1E + i);  // 1..9
    u[11] = 0x27;                                                      // 0
    u[12] = 0x2D;
    u[13] = 0x2E;
    u[14] = 0x2A;  // Backspace
    u[15] = 0x2B;  // Tab
    const uint8_t qwerty[] = {0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18, 0x0C, 0x12, 0x13};
    for (size_t i = 0; i < 10; ++i) u[16 + i] = qwerty[i];
    u[26] = 0x2F;
    u[27] = 0x30;
    u[28] = 0x28;  // Enter
    const uint8_t asdf[] = {0x04, 0x16, 0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F, 0x33, 0x34, 0x35};
    for (size_t i = 0; i < 12; ++i) u[30 + i] = asdf[i];
    u[43] = 0x31;  // backslash
    const uint8_t zxcv[] = {0x1D, 0x1B, 0x06, 0x19, 0x05, 0x11, 0x10, 0x36, 0x37, 0x38};
    for (size_t i = 0; i < 10; ++i) u[44 + i] = zxcv[i];
    u[55] = 0x55;                                                        // keypad *
    u[57] = 0x2C;                                                        // Space
    u[58] = 0x39;                                                        // Caps Lock
    for (int i = 0; i < 10; ++i) u[size_t(59 + i)] = uint8_t(0x3A + i);  // F1..F10
    u[69] = 0x53;                                                        // Num Lock
    u[70] = 0x47;                                                        // Scroll Lock
    const uint8_t keypad[] = {0x5F, 0x60, 0x61, 0x56, 0x5C, 0x5D, 0x5E,
                              0x57, 0x59, 0x5A, 0x5B, 0x62, 0x63};
    for (size_t i = 0; i < 13; ++i) u[71 + i] = keypad[i];  // 7 8 9 - 4 5 6 + 1 2 3 0 .
    u[85] = 0x94;
    u[86] = 0x64;  // the key between left Shift and Z
    u[87] = 0x44;  // F11
    u[88] = 0x45;  // F12
    u[89] = 0x87;
    u[90] = 0x92;
    u[91] = 0x93;
    u[92] = 0x8A;
    u[93] = 0x88;
    u[94] = 0x8B;
    u[95] = 0x8C;
    u[96] = 0x58;   // keypad Enter
    u[98] = 0x54;   // keypad /
    u[99] = 0x46;   // Print Screen
    u[102] = 0x4A;  // Home
    u[103] = 0x52;  // Up
    u[104] = 0x4B;  // Page Up
    u[105] = 0x50;  // Left
    u[106] = 0x4F;  // Right
    u[107] = 0x4D;  // End
    u[108] = 0x51;  // Down
    u[109] = 0x4E;  // Page Down
    u[110] = 0x49;  // Insert
    u[111] = 0x4C;  // Delete
    u[119] = 0x48;  // Pause
    u[121] = 0x85;  // keypad comma
    u[122] = 0x90;
    u[123] = 0x91;
    u[124] = 0x89;
    u[127] = 0x65;  // Menu
    return u;
}

constexpr std::array<uint8_t, 128> kUsages = make_usages();

struct Modifier {
    int code;
    uint8_t mask;
};
constexpr Modifier kModifiers[] = {
    {29, 0x01},   // left Ctrl
    {42, 0x02},   // left Shift
    {56, 0x04},   // left Alt
    {125, 0x08},  // left GUI
    {97, 0x10},   // right Ctrl
    {54, 0x20},   // right Shift
    {100, 0x40},  // right Alt
    {126, 0x80},  // right GUI
};

}  // namespace

std::optional<KeyCode> key_code_from_evdev(int code) {
    for (const Modifier& m : kModifiers)
        if (m.code == code) return KeyCode{0x20, m.mask, 0x00};
    if (code <= 0 || code >= int(kUsages.size()) || kUsages[size_t(code)] == 0) return std::nullopt;
    return KeyCode{0x20, 0x00, kUsages[size_t(code)]};
}

int keyboard_key_of_code(const KeyCode& code) {
    if (names_no_key(code)) return -1;
    const auto it = std::find(kKeyboardFactoryCodes.begin(), kKeyboardFactoryCodes.end(), code);
    return it == kKeyboardFactoryCodes.end() ? -1 : int(it - kKeyboardFactoryCodes.begin());
}

}  // namespace tellune::device
