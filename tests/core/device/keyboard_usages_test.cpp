// Linux key codes to the keyboard's keys, and the emulated keyboard reporting a key by its
// code from the slot its own layout keeps it in.

#include "core/device/keyboard_usages.h"

#include <gtest/gtest.h>

#include "core/device/keyboard_light_engine.h"
#include "keyboard_test_util.h"

namespace tellune::device {
namespace {

int key_of_evdev(int code) {
    const auto c = key_code_from_evdev(code);
    return c ? keyboard_key_of_code(*c) : -1;
}

TEST(KeyboardUsages, EvdevCodesNameTheirKeys) {
    EXPECT_EQ(key_code_from_evdev(30), (KeyCode{0x20, 0x00, 0x04}));  // A
    EXPECT_EQ(key_of_evdev(30), 64);
    EXPECT_EQ(key_of_evdev(1), 0);     // Esc
    EXPECT_EQ(key_of_evdev(59), 1);    // F1
    EXPECT_EQ(key_of_evdev(88), 12);   // F12
    EXPECT_EQ(key_of_evdev(29), 105);  // left Ctrl: a modifier mask
    EXPECT_EQ(key_code_from_evdev(126), (KeyCode{0x20, 0x80, 0x00}));
    EXPECT_EQ(key_of_evdev(126), 125);  // right GUI
    EXPECT_EQ(key_of_evdev(103), 96);   // Up
    EXPECT_EQ(key_of_evdev(96), 118);   // keypad Enter
    EXPECT_EQ(key_of_evdev(127), 111);  // Menu
    EXPECT_EQ(key_of_evdev(57), 108);   // Space
    EXPECT_EQ(key_of_evdev(86), 102);   // the key between left Shift and Z
    for (int none : {0, -1, 113, 128, 240, 100000}) EXPECT_FALSE(key_code_from_evdev(none));
    EXPECT_EQ(keyboard_key_of_code({0x20, 0x00, 0x00}), -1);  // no key, though listed
    EXPECT_EQ(keyboard_key_of_code({0x55, 0x00, 0x00}), -1);
}

TEST(KeyboardUsages, EveryPlainKeyOfTheBoardCanBeTyped) {
    // The grid's keys but the macro keys and Fn, which no PC key code names.
    std::vector<bool> typed(126, false);
    for (int code = 0; code < 256; ++code)
        if (int key = key_of_evdev(code); key >= 0) typed[size_t(key)] = true;
    for (const auto& column : keyboard_tables::kGrid)
        for (uint8_t key : column) {
            if (key >= 126 || kKeyboardFactoryCodes[key][0] != 0x20) continue;
            EXPECT_TRUE(typed[key]) << int(key);
        }
}

TEST(KeyboardUsages, EmulatedKeyboardReportsAKeyFromItsSlot) {
    test::KeyboardRig rig(test::scrambled_keyboard());
    auto listener = rig.backend.open(rig.paths[2], {true, false, false});
    ASSERT_NE(listener, nullptr);
    // Esc sits in slot 3 of the scrambled layout.
    ASSERT_TRUE(rig.device->press_key(kKeyboardFactoryCodes[0], true));
    std::array<uint8_t, 3> report{};
    ASSERT_TRUE(listener->read(report, 1000).ok());
    EXPECT_EQ(report, (std::array<uint8_t, 3>{3, 0x03, 0x05}));
    ASSERT_TRUE(rig.device->press_key(kKeyboardFactoryCodes[0], false));
    ASSERT_TRUE(listener->read(report, 1000).ok());
    EXPECT_EQ(report, (std::array<uint8_t, 3>{3, 0x03, 0x06}));
    // A key the layout lacks sends nothing.
    EXPECT_FALSE(rig.device->press_key(kKeyboardFactoryCodes[test::kMissingKey], true));
    EXPECT_FALSE(listener->read(report, 20).ok());
}

}  // namespace
}  // namespace tellune::device
