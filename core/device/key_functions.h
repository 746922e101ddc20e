#pragma once
// What a key or button does: a three-byte function code (type, parameter 1, parameter 2), the
// fourteen function pages the key panel offers, the lists each page chooses from, and the
// 141-row key code table with its names, virtual keys and, for the keyboard keys, the PC
// set-1 scan code and extended flag a key stroke arrives with.
//
// The panel's two conversions are pure functions here: show_function turns a code into the
// page and control values that display it, build_function turns the page and control values
// back into a code, and capture_key turns a key stroke into the keyboard page's values.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/profile/profile_records.h"

namespace tellune::device {

// Function types (byte 0 of a code).
inline constexpr uint8_t kFnMouseButton = 0x10;
inline constexpr uint8_t kFnSwing = 0x11;
inline constexpr uint8_t kFnWheel = 0x12;
inline constexpr uint8_t kFnSensitivity = 0x13;
inline constexpr uint8_t kFnFire = 0x14;
inline constexpr uint8_t kFnKeyboard = 0x20;
inline constexpr uint8_t kFnMedia = 0x30;
inline constexpr uint8_t kFnSystem = 0x40;
inline constexpr uint8_t kFnMacro = 0x70;
inline constexpr uint8_t kFnMacroRepeat = 0x71;
inline constexpr uint8_t kFnShootKey = 0x72;
inline constexpr uint8_t kFnFixed = 0xA0;
inline constexpr uint8_t kFnShortcut = 0xB0;
inline constexpr uint8_t kFnMemoryKey = 0xD0;

// The panel's pages; each function list item carries its page number.
enum FunctionPage : int {
    kNoPage = -1,  // the code has no page here: the panel is hidden
    kPageDefault = 0,
    kPageMouseButton = 1,
    kPageSwing = 2,
    kPageWheel = 3,
    kPageSensitivity = 4,
    kPageFire = 5,
    kPageKeyboard = 6,
    kPageMedia = 7,
    kPageSystem = 8,
    kPageMacro = 9,
    kPageShootKey = 10,
    kPageFixed = 11,
    kPageShortcut = 12,
    kPageDisabled = 13,
};
inline constexpr int kFunctionPages = 14;

// Device mode 1 (the keyboard) has no sensitivity functions and no shoot keys.
inline constexpr int kDeviceModeMouse = 0;
inline constexpr int kDeviceModeKeyboard = 1;
bool page_offered(int page, int device_mode);

// One key's function as the panel holds it: the key index and the code. The spare byte
// travels along unchanged.
struct KeyFunction {
    uint16_t key_index = 0;
    uint8_t type = 0;
    uint8_t param1 = 0;
    uint8_t param2 = 0;
    uint8_t spare = 0;

    bool same_code(const KeyFunction& o) const {
        return type == o.type && param1 == o.param1 && param2 == o.param2;
    }
    bool operator==(const KeyFunction&) const = default;
};

KeyFunction current_function(const KeyAssignmentRecord& key);
KeyFunction default_function(const KeyAssignmentRecord& key);
// Replaces the current half (bytes 0-5) of `key`.
void set_current_function(KeyAssignmentRecord& key, const KeyFunction& f);

struct FunctionCode {
    uint8_t type = 0;
    uint8_t param1 = 0;
    uint8_t param2 = 0;
};

// The selection lists, in list order.
extern const std::array<FunctionCode, 5> kMouseButtonList;  // buttons 1, 3, 2, 5, 4
extern const std::array<FunctionCode, 3> kSensitivityList;
extern const std::array<FunctionCode, 18> kMediaList;     // consumer usage, low byte first
extern const std::array<FunctionCode, 3> kSystemList;     // power, sleep, wake up
extern const std::array<FunctionCode, 11> kShortcutList;  // left Ctrl + O, N, Z, S, ...
extern const std::array<FunctionCode, 1> kFixedList;
// The index of the row with the same type and parameters, or -1.
int list_index(std::span<const FunctionCode> list, const KeyFunction& f);

// One row of the key code table.
struct KeyCodeRow {
    std::string_view name;  // text id
    uint16_t virtual_key;
    uint8_t type;
    uint8_t param1;
    uint8_t param2;
    uint8_t scan;  // PC set-1 scan code; rows 0..112 only
    bool extended;
};

inline constexpr int kKeyCodeRows = 141;
inline constexpr int kModifierRows = 8;    // rows 0..7: modifier bits 0x01..0x80
inline constexpr int kKeyboardRows = 113;  // rows 0..112 carry scan codes
extern const std::array<KeyCodeRow, kKeyCodeRows> kKeyCodeTable;

// The first of rows 0..112 with this scan code and extended flag, or -1.
int key_row_for_scan(uint8_t scan, bool extended);
// The first row from row 8 on that is a plain keyboard key with this usage, or -1.
int key_row_for_usage(uint8_t usage);

// The modifier option (0 none, 1 Ctrl, 2 Shift, 3 Alt, 4 Win) of modifier row `row`: left and
// right keys give the same option.
inline constexpr int modifier_option(int row) {
    return ((row + 1) % 5) + ((row + 1) / 5);
}
// The modifier bit an option stands for: 0 for option 0 or none, else the left key's bit.
uint8_t modifier_bit(int option);
inline constexpr int kModifierOptions = 5;
inline constexpr int kMacroRepeatModes = 4;  // mode items 0..3; item 4 repeats n times
inline constexpr int kMacroCountMode = 4;

// What the panel's controls hold. Indexes are -1 for "nothing selected"; edits hold the
// numbers they show (or, for build, the numbers read from them).
struct KeyPanelValues {
    int mouse_button = -1;
    int swing_direction = 0;
    int swing_delay = 0;
    int swing_speed = 0;
    int swing_count = 0;
    int wheel_direction = 0;
    int wheel_delay = 0;
    int wheel_speed = 0;
    int wheel_count = 0;
    int sensitivity = -1;
    int fire_interval = 0;
    int fire_count = 0;
    int modifier = -1;  // option 0..4
    int key_row = -1;   // key code table row named in the key text; -1 leaves it empty
    int media = -1;
    int system = -1;
    int macro = -1;
    int macro_mode = -1;
    bool macro_count_shown = false;
    int macro_count = 0;  // the repeat count edit
    int shoot_key = -1;
    int shortcut = -1;

    bool operator==(const KeyPanelValues&) const = default;
};

struct KeyPanelView {
    int page = kNoPage;
    KeyPanelValues values;
    // Showing may replace the current function: a keyboard code whose key is not in the
    // table shows as no key at all.
    KeyFunction current;
};

// How `shown` is displayed for a key whose default is `def`. `macros` is the number of
// macros in the library; a macro index at or beyond it shows no macro.
KeyPanelView show_function(const KeyFunction& shown, const KeyFunction& def, size_t macros,
                           int device_mode);

// The function the controls of `page` describe. The key index of `current` is kept; a list
// page with nothing chosen, or the macro page without a chosen macro, keeps `current`.
KeyFunction build_function(int page, const KeyPanelValues& values, const KeyFunction& current,
                           const KeyFunction& def, size_t macros);

struct CapturedKey {
    int modifier = 0;  // the option to select
    int key_row = -1;  // the row to name in the key text; -1 empties it (a modifier)
    KeyFunction current;
};
// A key stroke (set-1 scan code and extended flag) on the keyboard page, where `modifier` is
// the option selected so far (-1 none). Nothing for keys outside rows 0..112.
std::optional<CapturedKey> capture_key(uint8_t scan, bool extended, int modifier,
                                       const KeyFunction& current);

// A numeric edit's text as a decimal number: optional blanks and sign, then digits; anything
// after the digits is ignored and text without digits reads as 0. Clamped to the int range.
int parse_decimal(std::string_view text);

}  // namespace tellune::device
