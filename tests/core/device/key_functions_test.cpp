// The function-code model of the key panel: the key code table, the selection lists, and the
// show and build conversions, each checked against records worked out by hand.

#include "core/device/key_functions.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <utility>

namespace tellune::device {
namespace {

KeyFunction fn(uint8_t type, uint8_t p1, uint8_t p2, uint16_t key = 4) {
    return {key, type, p1, p2, 0};
}

const KeyFunction kBack = fn(0x10, 0x08, 0x00);  // button 4's factory function

std::string code(const KeyFunction& f) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X", f.type, f.param1, f.param2);
    return text;
}

TEST(KeyCodeTable, RowsAtTheirPlaces) {
    struct Expect {
        int row;
        const char* name;
        uint16_t vk;
        uint8_t type, p1, p2, scan;
        bool ext;
    };
    const Expect rows[] = {
        {0, "keyboard_key_LCtrl", 0xA2, 0x20, 0x01, 0x00, 0x1D, false},
        {3, "keyboard_key_LWin", 0x5B, 0x20, 0x08, 0x00, 0x5B, true},
        {5, "keyboard_key_RShift", 0xA1, 0x20, 0x20, 0x00, 0x36, true},
        {7, "keyboard_key_RWin", 0x5C, 0x20, 0x80, 0x00, 0x5C, true},
        {8, "keyboard_key_A", 0x41, 0x20, 0x00, 0x04, 0x1E, false},
        {33, "keyboard_key_Z", 0x5A, 0x20, 0x00, 0x1D, 0x2C, false},
        {34, "keyboard_key_1", 0x31, 0x20, 0x00, 0x1E, 0x02, false},
        {43, "keyboard_key_0", 0x30, 0x20, 0x00, 0x27, 0x0B, false},
        {44, "keyboard_key_Enter", 0x0D, 0x20, 0x00, 0x28, 0x1C, false},
        {53, "keyboard_key_xiegang", 0xDC, 0x20, 0x00, 0x31, 0x2B, false},
        {54, "keyboard_key_;", 0xBA, 0x20, 0x00, 0x33, 0x27, false},
        {57, "keyboard_key_<", 0xBC, 0x20, 0x00, 0x36, 0x33, false},
        {60, "keyboard_key_Caplk", 0x14, 0x20, 0x00, 0x39, 0x3A, false},
        {71, "keyboard_key_F11", 0x7A, 0x20, 0x00, 0x44, 0x57, false},
        {73, "keyboard_key_Print Scr", 0x2C, 0x20, 0x00, 0x46, 0x37, true},
        {75, "keyboard_key_Pause", 0x13, 0x20, 0x00, 0x48, 0x45, false},
        {86, "keyboard_key_Num Lock", 0x90, 0x20, 0x00, 0x53, 0x45, true},
        {88, "keyboard_key_Num *", 0x6A, 0x20, 0x00, 0x55, 0x37, false},
        {91, "keyboard_key_Num Enter", 0x101, 0x20, 0x00, 0x58, 0x1C, true},
        {96, "keyboard_key_Num 5", 0x65, 0x20, 0x00, 0x5D, 0x4C, false},
        {101, "keyboard_key_Num 0", 0x60, 0x20, 0x00, 0x62, 0x52, false},
        {103, "keyboard_key_App", 0x5D, 0x20, 0x00, 0x65, 0x5D, true},
        {104, "keyboard_key_K45", 0xE2, 0x20, 0x00, 0x64, 0x56, false},
        {106, "keyboard_key_K14", 0xFF, 0x20, 0x00, 0x89, 0x7D, false},
        {112, "keyboard_key_K151", 0xFF, 0x20, 0x00, 0x90, 0x72, false},
        {113, "keyboard_key_Launch App2", 0xB7, 0x30, 0x92, 0x01, 0, false},
        {119, "keyboard_key_Volume Mute", 0xAD, 0x30, 0xE2, 0x00, 0, false},
        {129, "wed_stop", 0xA9, 0x30, 0x26, 0x02, 0, false},
        {130, "keyboard_key_Launch Media Select", 0xB5, 0x30, 0x83, 0x01, 0, false},
        {133, "keyboard_key_Wakeup", 0x105, 0x40, 0x04, 0x00, 0, false},
        {134, "keyboard_key_M1", 0, 0xD0, 0xA2, 0x01, 0, false},
        {139, "keyboard_key_FN", 0, 0xA0, 0x01, 0x00, 0, false},
        {140, "keyboard_key_GM", 0, 0xA0, 0x1B, 0x00, 0, false},
    };
    for (const Expect& e : rows) {
        const KeyCodeRow& r = kKeyCodeTable[size_t(e.row)];
        SCOPED_TRACE(e.row);
        EXPECT_EQ(r.name, e.name);
        EXPECT_EQ(r.virtual_key, e.vk);
        EXPECT_EQ(r.type, e.type);
        EXPECT_EQ(r.param1, e.p1);
        EXPECT_EQ(r.param2, e.p2);
        EXPECT_EQ(r.scan, e.scan);
        EXPECT_EQ(r.extended, e.ext);
    }
}

// A key stroke and a usage must each lead to one key: a duplicate would capture or name the
// wrong key.
TEST(KeyCodeTable, KeyboardRowsAreUniqueByScanCodeAndByUsage) {
    std::set<std::pair<uint8_t, bool>> strokes;
    std::set<uint8_t> usages;
    std::set<std::string_view> names;
    for (int i = 0; i < kKeyCodeRows; ++i) {
        const KeyCodeRow& r = kKeyCodeTable[size_t(i)];
        EXPECT_TRUE(names.insert(r.name).second) << r.name;
        if (i >= kKeyboardRows) continue;
        EXPECT_EQ(r.type, kFnKeyboard) << i;
        EXPECT_TRUE(strokes.insert({r.scan, r.extended}).second) << r.name;
        EXPECT_EQ(key_row_for_scan(r.scan, r.extended), i);
        if (i < kModifierRows) {
            EXPECT_EQ(r.param1, 1 << i) << r.name;
            EXPECT_EQ(r.param2, 0);
        } else {
            EXPECT_EQ(r.param1, 0);
            EXPECT_TRUE(usages.insert(r.param2).second) << r.name;
            EXPECT_EQ(key_row_for_usage(r.param2), i);
        }
    }
    EXPECT_EQ(key_row_for_scan(0x36, false), -1);  // only the extended right Shift exists
    EXPECT_EQ(key_row_for_usage(0x00), -1);
    EXPECT_EQ(key_row_for_usage(0x32), -1);  // the non-US # key is not in the table
}

// Every media list entry and every system list entry names a row of the key code table, so
// the lists can show the table's names.
TEST(KeyCodeTable, MediaAndSystemListsMatchTableRows) {
    using List = std::span<const FunctionCode>;
    for (List list : {List(kMediaList), List(kSystemList)}) {
        for (const FunctionCode& c : list) {
            int found = 0;
            for (const KeyCodeRow& r : kKeyCodeTable)
                found += r.type == c.type && r.param1 == c.param1 && r.param2 == c.param2;
            EXPECT_EQ(found, 1) << int(c.param1) << " " << int(c.param2);
        }
    }
    EXPECT_EQ(list_index(kMediaList, fn(0x30, 0x83, 0x01)), 0);   // launch media select
    EXPECT_EQ(list_index(kMediaList, fn(0x30, 0x8A, 0x01)), 17);  // launch mail
    EXPECT_EQ(list_index(kMouseButtonList, fn(0x10, 0x02, 0x00)), 2);
    EXPECT_EQ(list_index(kMouseButtonList, fn(0x10, 0x02, 0x01)), -1);
}

TEST(KeyFunctions, ModifierOptionsFoldRightKeysOntoLeftBits) {
    const int options[kModifierRows] = {1, 2, 3, 4, 1, 2, 3, 4};
    for (int row = 0; row < kModifierRows; ++row) EXPECT_EQ(modifier_option(row), options[row]);
    const uint8_t bits[] = {0, 0x01, 0x02, 0x04, 0x08};
    for (int option = 0; option < kModifierOptions; ++option)
        EXPECT_EQ(modifier_bit(option), bits[option]);
    EXPECT_EQ(modifier_bit(-1), 0);
    EXPECT_EQ(modifier_bit(5), 0);
}

// --- show, then build the shown values again ---

struct RoundTrip {
    const char* what;
    KeyFunction shown;
    int page;
    KeyFunction built;  // what building the shown values gives
};

TEST(KeyFunctions, ShowThenBuildEveryPage) {
    const RoundTrip cases[] = {
        {"mouse button 3", fn(0x10, 0x04, 0x00), kPageMouseButton, fn(0x10, 0x04, 0x00)},
        {"swing", fn(0x11, 0x3A, 0x85), kPageSwing, fn(0x11, 0x3A, 0x85)},
        {"swing, direction 0", fn(0x11, 0xF0, 0x7F), kPageSwing, fn(0x11, 0xF0, 0x7F)},
        {"wheel down 3", fn(0x12, 0x21, 0xFD), kPageWheel, fn(0x12, 0x21, 0xFD)},
        {"wheel down 128", fn(0x12, 0x00, 0x80), kPageWheel, fn(0x12, 0x00, 0x80)},
        {"wheel up 5", fn(0x12, 0x00, 0x05), kPageWheel, fn(0x12, 0x00, 0x05)},
        {"DPI cycle", fn(0x13, 0x03, 0x00), kPageSensitivity, fn(0x13, 0x03, 0x00)},
        {"fire", fn(0x14, 0xC8, 0x07), kPageFire, fn(0x14, 0xC8, 0x07)},
        {"A", fn(0x20, 0x00, 0x04), kPageKeyboard, fn(0x20, 0x00, 0x04)},
        {"left Ctrl + A", fn(0x20, 0x01, 0x04), kPageKeyboard, fn(0x20, 0x01, 0x04)},
        {"right Ctrl + A saves as left", fn(0x20, 0x10, 0x04), kPageKeyboard, fn(0x20, 0x01, 0x04)},
        {"right Super alone", fn(0x20, 0x80, 0x00), kPageKeyboard, fn(0x20, 0x08, 0x00)},
        {"Ctrl+Shift keeps the key only", fn(0x20, 0x03, 0x04), kPageKeyboard,
         fn(0x20, 0x00, 0x04)},
        {"volume up", fn(0x30, 0xE9, 0x00), kPageMedia, fn(0x30, 0xE9, 0x00)},
        {"browser home", fn(0x30, 0x23, 0x02), kPageMedia, fn(0x30, 0x23, 0x02)},
        {"wake up", fn(0x40, 0x04, 0x00), kPageSystem, fn(0x40, 0x04, 0x00)},
        {"macro 2, mode 3", fn(0x70, 0x02, 0x03), kPageMacro, fn(0x70, 0x02, 0x03)},
        {"macro 1, 9 times", fn(0x71, 0x01, 0x09), kPageMacro, fn(0x71, 0x01, 0x09)},
        {"shoot key 2", fn(0x72, 0x02, 0x00), kPageShootKey, fn(0x72, 0x02, 0x00)},
        {"fixed", fn(0xA0, 0x02, 0x00), kPageFixed, fn(0xA0, 0x02, 0x00)},
        {"disabled", fn(0xA0, 0x00, 0x00), kPageDisabled, fn(0xA0, 0x00, 0x00)},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        const KeyPanelView v = show_function(c.shown, kBack, 3, kDeviceModeMouse);
        ASSERT_EQ(v.page, c.page);
        EXPECT_EQ(code(build_function(v.page, v.values, v.current, kBack, 3)), code(c.built));
    }
}

TEST(KeyFunctions, ShownValuesWorkedByHand) {
    KeyPanelValues swing = show_function(fn(0x11, 0x3A, 0x85), kBack, 0, 0).values;
    EXPECT_EQ(swing.swing_delay, 3);
    EXPECT_EQ(swing.swing_speed, 10);
    EXPECT_EQ(swing.swing_direction, 1);
    EXPECT_EQ(swing.swing_count, 5);

    KeyPanelValues wheel = show_function(fn(0x12, 0x21, 0xFD), kBack, 0, 0).values;
    EXPECT_EQ(wheel.wheel_delay, 2);
    EXPECT_EQ(wheel.wheel_speed, 1);
    EXPECT_EQ(wheel.wheel_direction, 1);
    EXPECT_EQ(wheel.wheel_count, 3);
    EXPECT_EQ(show_function(fn(0x12, 0, 0x80), kBack, 0, 0).values.wheel_count, 128);
    EXPECT_EQ(show_function(fn(0x12, 0, 0x05), kBack, 0, 0).values.wheel_direction, 0);

    KeyPanelValues fire = show_function(fn(0x14, 0xC8, 0x07), kBack, 0, 0).values;
    EXPECT_EQ(fire.fire_interval, 200);
    EXPECT_EQ(fire.fire_count, 7);

    EXPECT_EQ(show_function(fn(0x10, 0x10, 0), kBack, 0, 0).values.mouse_button, 3);
    EXPECT_EQ(show_function(fn(0x13, 0x02, 0), kBack, 0, 0).values.sensitivity, 1);
    EXPECT_EQ(show_function(fn(0x30, 0xE9, 0), kBack, 0, 0).values.media, 6);
    EXPECT_EQ(show_function(fn(0x40, 0x02, 0), kBack, 0, 0).values.system, 1);
    EXPECT_EQ(show_function(fn(0x72, 0x03, 0), kBack, 0, 0).values.shoot_key, 3);

    // Left and right Ctrl both show option 1, Shift 2, Alt 3, Super 4.
    const std::pair<uint8_t, int> mods[] = {{0x01, 1}, {0x02, 2}, {0x04, 3}, {0x08, 4}, {0x10, 1},
                                            {0x20, 2}, {0x40, 3}, {0x80, 4}, {0x03, 0}, {0x11, 0}};
    for (auto [bits, option] : mods) {
        const KeyPanelView v = show_function(fn(0x20, bits, 0x16), kBack, 0, 0);
        EXPECT_EQ(v.page, kPageKeyboard) << int(bits);
        EXPECT_EQ(v.values.modifier, option) << int(bits);
        EXPECT_EQ(v.values.key_row, 8 + (0x16 - 0x04)) << int(bits);  // S
    }
}

TEST(KeyFunctions, DefaultShowsPageZeroWhateverItsType) {
    for (const KeyFunction& d : {fn(0x13, 0x01, 0x00), fn(0x16, 0x90, 0x01), fn(0x20, 0, 0)}) {
        const KeyPanelView v = show_function(d, d, 0, kDeviceModeMouse);
        EXPECT_EQ(v.page, kPageDefault) << code(d);
        // Building page 0 gives the default back, under the shown key's index.
        KeyFunction other = fn(0xA0, 0, 0, 9);
        EXPECT_EQ(build_function(kPageDefault, v.values, other, d, 0),
                  (KeyFunction{9, d.type, d.param1, d.param2, 0}));
    }
    // The default of device mode 1 is shown as page 0 too, even for a code the mode hides.
    EXPECT_EQ(show_function(fn(0x13, 1, 0), fn(0x13, 1, 0), 0, kDeviceModeKeyboard).page,
              kPageDefault);
}

TEST(KeyFunctions, EdgeCasesOfBuilding) {
    KeyPanelValues c;
    const KeyFunction current = fn(0xA0, 0, 0, 6);
    // Wheel direction 1: count 3 gives 0xFD, count 0 gives 0x80.
    c.wheel_direction = 1;
    c.wheel_count = 3;
    EXPECT_EQ(code(build_function(kPageWheel, c, current, kBack, 0)), "12 00 FD");
    c.wheel_count = 0;
    EXPECT_EQ(code(build_function(kPageWheel, c, current, kBack, 0)), "12 00 80");
    c.wheel_direction = 0;
    c.wheel_count = 130;  // reduced to 7 bits
    EXPECT_EQ(code(build_function(kPageWheel, c, current, kBack, 0)), "12 00 02");
    // Swing delay 17 and speed 2: the delay is taken modulo 16.
    c.swing_delay = 17;
    c.swing_speed = 2;
    c.swing_count = 4;
    EXPECT_EQ(code(build_function(kPageSwing, c, current, kBack, 0)), "11 12 04");
    // A count of 128 or more in direction 1 keeps the direction bit.
    c.swing_direction = 1;
    c.swing_count = 200;
    EXPECT_EQ(code(build_function(kPageSwing, c, current, kBack, 0)), "11 12 C8");
    c.swing_delay = -1;  // typed "-1": the low four bits
    c.swing_speed = 16;
    EXPECT_EQ(code(build_function(kPageSwing, c, current, kBack, 0)), "11 F0 C8");
    // Fire values are truncated to a byte.
    c.fire_interval = 300;
    c.fire_count = -1;
    EXPECT_EQ(code(build_function(kPageFire, c, current, kBack, 0)), "14 2C FF");
    EXPECT_EQ(build_function(kPageFire, c, current, kBack, 0).key_index, 6);
    EXPECT_EQ(code(build_function(kPageDisabled, c, fn(0x10, 1, 0), kBack, 0)), "A0 00 00");
    EXPECT_EQ(code(build_function(kPageFixed, c, current, kBack, 0)), "A0 02 00");
}

TEST(KeyFunctions, KeyboardPage) {
    KeyPanelValues c;
    const KeyFunction captured = fn(0x20, 0x00, 0x04);
    // Option 0 or none: no modifier. An empty key text drops the key.
    c.modifier = -1;
    c.key_row = 8;
    EXPECT_EQ(code(build_function(kPageKeyboard, c, captured, kBack, 0)), "20 00 04");
    c.modifier = 3;
    EXPECT_EQ(code(build_function(kPageKeyboard, c, captured, kBack, 0)), "20 04 04");
    c.key_row = -1;
    EXPECT_EQ(code(build_function(kPageKeyboard, c, captured, kBack, 0)), "20 04 00");

    // A key the table lacks: nothing selected, and the current function becomes no key.
    const KeyPanelView unknown = show_function(fn(0x20, 0x00, 0xE8, 2), kBack, 0, 0);
    EXPECT_EQ(unknown.page, kPageKeyboard);
    EXPECT_EQ(unknown.values.modifier, -1);
    EXPECT_EQ(unknown.values.key_row, -1);
    EXPECT_EQ(unknown.current, fn(0x20, 0x00, 0x00, 2));

    // A shortcut from the list shows afterwards as the keyboard page: option 1 and its key.
    c = {};
    c.shortcut = 4;  // Ctrl + C
    const KeyFunction copy = build_function(kPageShortcut, c, captured, kBack, 0);
    EXPECT_EQ(code(copy), "20 01 06");
    const KeyPanelView shown = show_function(copy, kBack, 0, 0);
    EXPECT_EQ(shown.page, kPageKeyboard);
    EXPECT_EQ(shown.values.modifier, 1);
    EXPECT_EQ(kKeyCodeTable[size_t(shown.values.key_row)].name, "keyboard_key_C");
    // Modifier bits above 128 go to the shortcut page, where no row matches them.
    const KeyPanelView high = show_function(fn(0x20, 0x81, 0x06), kBack, 0, 0);
    EXPECT_EQ(high.page, kPageShortcut);
    EXPECT_EQ(high.values.shortcut, -1);
    EXPECT_EQ(show_function(fn(0xB0, 0x00, 0x00), kBack, 0, 0).page, kPageShortcut);
}

TEST(KeyFunctions, MacroPage) {
    KeyPanelValues c;
    const KeyFunction current = fn(0x10, 0x01, 0x00, 3);
    c.macro = 1;
    c.macro_mode = 4;
    c.macro_count = 5;
    EXPECT_EQ(code(build_function(kPageMacro, c, current, kBack, 2)), "71 01 05");
    c.macro_mode = 2;
    EXPECT_EQ(code(build_function(kPageMacro, c, current, kBack, 2)), "70 01 02");
    c.macro_mode = -1;
    EXPECT_EQ(code(build_function(kPageMacro, c, current, kBack, 2)), "70 01 00");
    // Without a chosen macro, or without macros, the key keeps its function.
    c.macro = -1;
    EXPECT_EQ(build_function(kPageMacro, c, current, kBack, 2), current);
    c.macro = 0;
    EXPECT_EQ(build_function(kPageMacro, c, current, kBack, 0), current);

    // Repeated 5 times: count row shown.
    KeyPanelView v = show_function(fn(0x71, 0x00, 0x05), kBack, 1, 0);
    EXPECT_EQ(v.page, kPageMacro);
    EXPECT_EQ(v.values.macro, 0);
    EXPECT_EQ(v.values.macro_mode, 4);
    EXPECT_TRUE(v.values.macro_count_shown);
    EXPECT_EQ(v.values.macro_count, 5);
    v = show_function(fn(0x70, 0x00, 0x02), kBack, 1, 0);
    EXPECT_EQ(v.values.macro_mode, 2);
    EXPECT_FALSE(v.values.macro_count_shown);

    // An index equal to the number of macros is out of range: no selection, no count row.
    v = show_function(fn(0x70, 0x02, 0x01), kBack, 2, 0);
    EXPECT_EQ(v.page, kPageMacro);
    EXPECT_EQ(v.values.macro, -1);
    EXPECT_EQ(v.values.macro_mode, -1);
    v = show_function(fn(0x71, 0x02, 0x05), kBack, 2, 0);
    EXPECT_EQ(v.values.macro, -1);
    EXPECT_FALSE(v.values.macro_count_shown);
    v = show_function(fn(0x71, 0x01, 0x05), kBack, 2, 0);
    EXPECT_EQ(v.values.macro, 1);
    EXPECT_TRUE(v.values.macro_count_shown);
}

TEST(KeyFunctions, CodesWithoutAPageHideThePanel) {
    for (const KeyFunction& f : {fn(0x16, 0x90, 0x01), fn(0xA0, 0x01, 0x00), fn(0xA0, 0x02, 0x01),
                                 fn(0xD0, 0xA2, 0x01), fn(0x00, 0x00, 0x00)})
        EXPECT_EQ(show_function(f, kBack, 0, kDeviceModeMouse).page, kNoPage) << code(f);
    // Device mode 1 offers no sensitivity functions and no shoot keys.
    EXPECT_EQ(show_function(fn(0x13, 0x01, 0x00), kBack, 0, kDeviceModeKeyboard).page, kNoPage);
    EXPECT_EQ(show_function(fn(0x72, 0x00, 0x00), kBack, 0, kDeviceModeKeyboard).page, kNoPage);
    EXPECT_EQ(show_function(fn(0x13, 0x01, 0x00), kBack, 0, kDeviceModeMouse).page,
              kPageSensitivity);
    EXPECT_EQ(show_function(fn(0x72, 0x00, 0x00), kBack, 0, kDeviceModeMouse).page, kPageShootKey);
    for (int page = 0; page < kFunctionPages; ++page) {
        EXPECT_TRUE(page_offered(page, kDeviceModeMouse));
        EXPECT_EQ(page_offered(page, kDeviceModeKeyboard),
                  page != kPageSensitivity && page != kPageShootKey);
    }
    EXPECT_FALSE(page_offered(kNoPage, kDeviceModeMouse));
    EXPECT_FALSE(page_offered(kFunctionPages, kDeviceModeMouse));
}

TEST(KeyFunctions, ListPagesWithoutAChoiceKeepTheFunction) {
    const KeyFunction current = fn(0x14, 0x10, 0x02, 5);
    KeyPanelValues none;
    for (int page : {kPageMouseButton, kPageSensitivity, kPageMedia, kPageSystem, kPageShortcut,
                     kPageShootKey})
        EXPECT_EQ(build_function(page, none, current, kBack, 0), current) << page;
    none.media = 18;  // one past the list
    EXPECT_EQ(build_function(kPageMedia, none, current, kBack, 0), current);
    EXPECT_EQ(build_function(kNoPage, none, current, kBack, 0), current);
}

TEST(KeyCapture, CtrlThenA) {
    KeyFunction current = fn(0x10, 0x08, 0x00, 4);
    const auto ctrl = capture_key(0x1D, false, -1, current);
    ASSERT_TRUE(ctrl);
    EXPECT_EQ(ctrl->modifier, 1);
    EXPECT_EQ(ctrl->key_row, -1);
    EXPECT_EQ(ctrl->current, fn(0x20, 0x01, 0x00, 4));
    const auto a = capture_key(0x1E, false, ctrl->modifier, ctrl->current);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->modifier, 1);
    EXPECT_EQ(a->key_row, 8);
    EXPECT_EQ(a->current, fn(0x20, 0x01, 0x04, 4));
    // Building the page from what capture selected gives the same function.
    KeyPanelValues c;
    c.modifier = a->modifier;
    c.key_row = a->key_row;
    EXPECT_EQ(build_function(kPageKeyboard, c, a->current, kBack, 0), a->current);
}

TEST(KeyCapture, StrokesWorkedByHand) {
    const KeyFunction none = fn(0xA0, 0, 0);
    // A key without a modifier selects option 0.
    EXPECT_EQ(code(capture_key(0x4C, false, -1, none)->current), "20 00 5D");  // keypad 5
    EXPECT_EQ(capture_key(0x4C, false, -1, none)->modifier, 0);
    // Right-hand modifiers select the left key's option; a modifier drops the key.
    EXPECT_EQ(code(capture_key(0x36, true, 0, fn(0x20, 0, 4))->current), "20 02 00");
    EXPECT_EQ(code(capture_key(0x38, true, 0, none)->current), "20 04 00");
    EXPECT_EQ(code(capture_key(0x5C, true, 0, none)->current), "20 08 00");
    // The same scan code with and without the extended flag is two keys.
    EXPECT_EQ(code(capture_key(0x45, false, -1, none)->current), "20 00 48");  // Pause
    EXPECT_EQ(code(capture_key(0x45, true, -1, none)->current), "20 00 53");   // Num Lock
    EXPECT_EQ(code(capture_key(0x1C, true, 2, none)->current), "20 02 58");    // keypad Enter
    EXPECT_EQ(code(capture_key(0x37, true, 4, none)->current), "20 08 46");    // Print Screen
    // Keys outside the table do nothing.
    EXPECT_FALSE(capture_key(0x36, false, 0, none));
    EXPECT_FALSE(capture_key(0x00, false, 0, none));
    EXPECT_FALSE(capture_key(0x20, true, 0, none));  // the mute key
}

TEST(KeyFunctions, NumericEditsReadAsDecimal) {
    EXPECT_EQ(parse_decimal("12"), 12);
    EXPECT_EQ(parse_decimal(" 7x"), 7);
    EXPECT_EQ(parse_decimal("+3"), 3);
    EXPECT_EQ(parse_decimal("-5"), -5);
    EXPECT_EQ(parse_decimal(""), 0);
    EXPECT_EQ(parse_decimal("abc"), 0);
    EXPECT_EQ(parse_decimal("-"), 0);
    EXPECT_EQ(parse_decimal("0x10"), 0);
    EXPECT_EQ(parse_decimal("99999999999999999999"), INT_MAX);
    EXPECT_EQ(parse_decimal("-99999999999999999999"), INT_MIN);
}

TEST(KeyFunctions, RecordHalves) {
    KeyAssignmentRecord key;
    key.key_index = 3;
    key.type = 0x10;
    key.param1 = 0x10;
    key.default_key_index = 3;
    key.default_type = 0x10;
    key.default_param1 = 0x10;
    set_current_function(key, fn(0x20, 0x01, 0x04, 3));
    EXPECT_EQ(key.assignment(), 0x200104u);
    EXPECT_EQ(key.default_assignment(), 0x101000u);
    EXPECT_EQ(current_function(key), fn(0x20, 0x01, 0x04, 3));
    EXPECT_EQ(default_function(key), fn(0x10, 0x10, 0x00, 3));
}

}  // namespace
}  // namespace tellune::device
