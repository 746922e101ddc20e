// Key functions as text: each page's texts give the codes worked out by hand from the key
// code table and the selection lists; bad texts are refused with a reason.
#include "core/device/key_text.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tellune::device {
namespace {

const std::vector<std::string> kMacros = {"Reload", "jump,mode=2", "Combo"};

std::tuple<int, int, int> code_of(std::string_view text, int mode = kDeviceModeMouse) {
    std::string error;
    const auto f = parse_key_function(text, mode, kMacros, &error);
    EXPECT_TRUE(f.has_value()) << text << ": " << error;
    if (!f) return {-1, -1, -1};
    EXPECT_FALSE(f->use_default) << text;
    return {f->code.type, f->code.param1, f->code.param2};
}

TEST(KeyText, EveryPageGivesItsCode) {
    using T = std::tuple<int, int, int>;
    // Keyboard page: usage from the table, modifier bits 0x01..0x80.
    EXPECT_EQ(code_of("key:ctrl+c"), T(0x20, 0x01, 0x06));
    EXPECT_EQ(code_of("key:A"), T(0x20, 0x00, 0x04));
    EXPECT_EQ(code_of("key:ctrl+shift+esc"), T(0x20, 0x03, 0x29));
    EXPECT_EQ(code_of("key:rwin+f12"), T(0x20, 0x80, 0x45));
    EXPECT_EQ(code_of("key:num-+"), T(0x20, 0x00, 0x57));
    EXPECT_EQ(code_of("key:alt+num-+"), T(0x20, 0x04, 0x57));
    EXPECT_EQ(code_of("key:backslash"), T(0x20, 0x00, 0x31));
    EXPECT_EQ(code_of("key:xiegang"), T(0x20, 0x00, 0x31));
    EXPECT_EQ(code_of("key:comma"), T(0x20, 0x00, 0x36));
    EXPECT_EQ(code_of("key:page-down"), T(0x20, 0x00, 0x4E));
    EXPECT_EQ(code_of("key:k151"), T(0x20, 0x00, 0x90));
    EXPECT_EQ(code_of("key:shift"), T(0x20, 0x02, 0x00));
    EXPECT_EQ(code_of("key:escape"), T(0x20, 0x00, 0x29));
    // Mouse buttons in the list's order: left 0x01, middle 0x04, right 0x02, 0x10, 0x08.
    EXPECT_EQ(code_of("mouse:left"), T(0x10, 0x01, 0));
    EXPECT_EQ(code_of("mouse:middle"), T(0x10, 0x04, 0));
    EXPECT_EQ(code_of("mouse:forward"), T(0x10, 0x10, 0));
    EXPECT_EQ(code_of("mouse:back"), T(0x10, 0x08, 0));
    EXPECT_EQ(code_of("dpi:up"), T(0x13, 1, 0));
    EXPECT_EQ(code_of("dpi:cycle"), T(0x13, 3, 0));
    // Consumer usages low byte first.
    EXPECT_EQ(code_of("media:volume-up"), T(0x30, 0xE9, 0x00));
    EXPECT_EQ(code_of("media:mute"), T(0x30, 0xE2, 0x00));
    EXPECT_EQ(code_of("media:browser-home"), T(0x30, 0x23, 0x02));
    EXPECT_EQ(code_of("media:browser-stop"), T(0x30, 0x26, 0x02));
    EXPECT_EQ(code_of("media:launch-media-select"), T(0x30, 0x83, 0x01));
    EXPECT_EQ(code_of("system:sleep"), T(0x40, 2, 0));
    EXPECT_EQ(code_of("system:wakeup"), T(0x40, 4, 0));
    // Swing: delay 2, speed 3 -> 0x23; direction 1 sets bit 7 over count 5.
    EXPECT_EQ(code_of("swing:count=5,delay=2,speed=3,direction=1"), T(0x11, 0x23, 0x85));
    EXPECT_EQ(code_of("swing:count=9"), T(0x11, 0x00, 0x09));
    // Wheel backwards: 0x80 + (128 - count); count 0 gives 0x80.
    EXPECT_EQ(code_of("wheel:count=3,direction=1,speed=15"), T(0x12, 0x0F, 0xFD));
    EXPECT_EQ(code_of("wheel:direction=1"), T(0x12, 0x00, 0x80));
    EXPECT_EQ(code_of("fire:interval=50,count=255"), T(0x14, 50, 255));
    // Macros by library position; a name holding ",mode=2" is found whole first.
    EXPECT_EQ(code_of("macro:Reload"), T(0x70, 0, 0));
    EXPECT_EQ(code_of("macro:reload,mode=3"), T(0x70, 0, 2));
    EXPECT_EQ(code_of("macro:jump,mode=2"), T(0x70, 1, 0));
    EXPECT_EQ(code_of("macro:Combo,repeat=7"), T(0x71, 2, 7));
    EXPECT_EQ(code_of("recoil:4"), T(0x72, 3, 0));
    EXPECT_EQ(code_of("disabled"), T(0xA0, 0, 0));
    EXPECT_EQ(code_of("fixed"), T(0xA0, 2, 0));

    const auto def = parse_key_function("Default", kDeviceModeMouse, kMacros);
    ASSERT_TRUE(def);
    EXPECT_TRUE(def->use_default);
}

TEST(KeyText, BadTextsAreRefusedWithAReason) {
    const std::vector<std::string> bad = {"",
                                          "key:",
                                          "key:ctrl+",
                                          "key:ctrl+ctrl+a",
                                          "key:ctrl+shift+ctrl",
                                          "key:hyper+a",
                                          "key:volume-up",  // a media key is no keyboard key
                                          "key:power",
                                          "mouse:sixth",
                                          "dpi:faster",
                                          "media:a",
                                          "media:",
                                          "system:reboot",
                                          "swing:count=128",
                                          "swing:delay=16",
                                          "swing:count=1,count=2",
                                          "swing:count=-1",
                                          "swing:count=1,",
                                          "swing:count",
                                          "swing:pace=1",
                                          "wheel:direction=2",
                                          "fire:interval=256",
                                          "fire:count=x",
                                          "macro:Nothing",
                                          "macro:",
                                          "macro:Reload,mode=5",
                                          "macro:Reload,repeat=256",
                                          "macro:Reload,mode=0",
                                          "recoil:0",
                                          "recoil:5",
                                          "recoil:x",
                                          "code:200406",
                                          "volume-up",
                                          "disable",
                                          "keys:a",
                                          "defaults"};
    for (const std::string& text : bad) {
        std::string error;
        EXPECT_FALSE(parse_key_function(text, kDeviceModeMouse, kMacros, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(error.find('\n'), std::string::npos) << text;
    }
    // The keyboard has no sensitivity functions and no recoil keys.
    EXPECT_FALSE(parse_key_function("dpi:up", kDeviceModeKeyboard, kMacros));
    EXPECT_FALSE(parse_key_function("recoil:1", kDeviceModeKeyboard, kMacros));
    EXPECT_TRUE(parse_key_function("key:a", kDeviceModeKeyboard, kMacros));
    // No library: no macro text maps.
    EXPECT_FALSE(parse_key_function("macro:Reload", kDeviceModeMouse, {}));
}

// Every code a text stands for is written back as a text that reads as the same code.
TEST(KeyText, WrittenTextsReadBackAsTheSameCode) {
    std::vector<FunctionCode> codes;
    for (int p1 = 0; p1 < 256; ++p1)
        for (int p2 = 0; p2 < 256; ++p2)
            for (uint8_t type : {kFnMouseButton, kFnSwing, kFnWheel, kFnSensitivity, kFnFire,
                                 kFnKeyboard, kFnMedia, kFnSystem, kFnMacro, kFnMacroRepeat,
                                 kFnShootKey, kFnFixed, uint8_t(0x55)})
                codes.push_back({type, uint8_t(p1), uint8_t(p2)});
    int texts = 0;
    for (const FunctionCode& c : codes) {
        const std::string text = key_function_text(c, kMacros);
        std::string error;
        const auto back = parse_key_function(text, kDeviceModeMouse, kMacros, &error);
        if (text.rfind("code:", 0) == 0) {
            EXPECT_FALSE(back) << text;
            continue;
        }
        ++texts;
        ASSERT_TRUE(back) << text << ": " << error;
        // 0x80 on the wheel reads back as count 0 backwards, which is 0x80 again.
        EXPECT_EQ(back->code.type, c.type) << text;
        EXPECT_EQ(back->code.param1, c.param1) << text;
        EXPECT_EQ(back->code.param2, c.param2) << text;
    }
    // Swing and wheel: every byte pair; fire: every pair; the rest from the tables.
    EXPECT_GT(texts, 3 * 65536);
    EXPECT_EQ(key_function_text({0x20, 0x01, 0x06}, kMacros), "key:ctrl+c");
    EXPECT_EQ(key_function_text({0x20, 0x00, 0x31}, kMacros), "key:backslash");
    EXPECT_EQ(key_function_text({0x30, 0x26, 0x02}, kMacros), "media:browser-stop");
    EXPECT_EQ(key_function_text({0x70, 5, 0}, kMacros), "code:700500");
    EXPECT_EQ(key_function_text({0x70, 2, 1}, kMacros), "macro:Combo,mode=2");
}

TEST(KeyText, OfferedFunctionsFollowTheDeviceMode) {
    EXPECT_TRUE(function_offered({0x13, 1, 0}, kDeviceModeMouse));
    EXPECT_FALSE(function_offered({0x13, 1, 0}, kDeviceModeKeyboard));
    EXPECT_FALSE(function_offered({0x72, 0, 0}, kDeviceModeKeyboard));
    EXPECT_FALSE(function_offered({0x55, 0, 0}, kDeviceModeMouse));
    EXPECT_FALSE(function_offered({0, 0, 0}, kDeviceModeMouse));
    EXPECT_FALSE(function_offered({0xA0, 1, 0}, kDeviceModeMouse));
    EXPECT_TRUE(function_offered({0x20, 0x01, 0x06}, kDeviceModeKeyboard));
}

TEST(KeyText, MouseButtonsByPositionOrName) {
    EXPECT_EQ(mouse_button_index("1"), 0);
    EXPECT_EQ(mouse_button_index("11"), 10);
    EXPECT_EQ(mouse_button_index("Side2"), 4);
    EXPECT_EQ(mouse_button_index("dpi-down"), 6);
    EXPECT_EQ(mouse_button_index("0"), -1);
    EXPECT_EQ(mouse_button_index("12"), -1);
    EXPECT_EQ(mouse_button_index("thumb"), -1);
    EXPECT_EQ(mouse_button_name(7), "fire");
    EXPECT_EQ(mouse_button_name(11), "");
}

TEST(KeyText, KeyboardKeysByNameOrNumber) {
    // Named after the factory codes: 0 Esc (0x29), 22 the 1 key (0x1E), 84 left Shift (mask
    // 0x02), 97 keypad 1 (0x59), 102 the ISO key (0x64), 16 GM (0xA0/1B), 120 M1 (0xD0/A2/01).
    EXPECT_EQ(keyboard_key_name(0), "esc");
    EXPECT_EQ(keyboard_key_name(22), "digit-1");
    EXPECT_EQ(keyboard_key_name(84), "lshift");
    EXPECT_EQ(keyboard_key_name(125), "rwin");
    EXPECT_EQ(keyboard_key_name(97), "numpad-1");
    EXPECT_EQ(keyboard_key_name(102), "iso-backslash");
    EXPECT_EQ(keyboard_key_name(16), "gm");
    EXPECT_EQ(keyboard_key_name(110), "fn");
    EXPECT_EQ(keyboard_key_name(120), "m1");
    // 0xA0/24 is in no table; 18 holds no code at all.
    EXPECT_EQ(keyboard_key_name(17), "");
    EXPECT_EQ(keyboard_key_name(18), "");
    EXPECT_EQ(keyboard_key_name(126), "");

    // A bare number is the key's 1-based number, never the digit key.
    EXPECT_EQ(keyboard_key_index("1"), 0);
    EXPECT_EQ(keyboard_key_index("126"), 125);
    EXPECT_EQ(keyboard_key_index("0"), -1);
    EXPECT_EQ(keyboard_key_index("127"), -1);
    // The other names a key: function takes for the same code.
    EXPECT_EQ(keyboard_key_index("Escape"), 0);
    EXPECT_EQ(keyboard_key_index("ctrl"), 105);
    EXPECT_EQ(keyboard_key_index("num-1"), 97);
    EXPECT_EQ(keyboard_key_index("k45"), 102);
    EXPECT_EQ(keyboard_key_index("semicolon"), 73);
    EXPECT_EQ(keyboard_key_index("FN"), 110);
    EXPECT_EQ(keyboard_key_index("m5"), 124);
    // Codes no key of the keyboard holds from the factory.
    for (const char* none : {"volume-up", "power", "ctrl+a", "", "digit-", "f13", "code:200004"})
        EXPECT_EQ(keyboard_key_index(none), -1) << none;

    // Every name is unique: it leads back to its own key.
    int named = 0;
    for (int key = 0; key < 126; ++key) {
        const std::string name = keyboard_key_name(key);
        if (name.empty()) continue;
        ++named;
        EXPECT_EQ(keyboard_key_index(name), key) << name;
    }
    EXPECT_EQ(named, 126 - 6);
    // The readable names read back as the same key code; the table's own names still do.
    EXPECT_EQ(key_function_text({0x20, 0x00, 0x59}, kMacros), "key:numpad-1");
    EXPECT_EQ(code_of("key:ctrl+numpad-plus"), std::make_tuple(0x20, 0x01, 0x57));
    EXPECT_EQ(code_of("key:digit-0"), std::make_tuple(0x20, 0x00, 0x27));
    EXPECT_EQ(code_of("key:lwin+minus"), std::make_tuple(0x20, 0x08, 0x2D));
}

}  // namespace
}  // namespace tellune::device
