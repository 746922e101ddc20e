#include "core/device/key_functions.h"

#include <algorithm>
#include <climits>

namespace tellune::device {

bool page_offered(int page, int device_mode) {
    if (page < 0 || page >= kFunctionPages) return false;
    return device_mode != kDeviceModeKeyboard ||
           (page != kPageSensitivity && page != kPageShootKey);
}

KeyFunction current_function(const KeyAssignmentRecord& key) {
    return {key.key_index, key.type, key.param1, key.param2, key.spare};
}

KeyFunction default_function(const KeyAssignmentRecord& key) {
    return {key.default_key_index, key.default_type, key.default_param1, key.default_param2,
            key.default_spare};
}

void set_current_function(KeyAssignmentRecord& key, const KeyFunction& f) {
    key.key_index = f.key_index;
    key.type = f.type;
    key.param1 = f.param1;
    key.param2 = f.param2;
    key.spare = f.spare;
}

// clang-format off
const std::array<FunctionCode, 5> kMouseButtonList = {{
    {kFnMouseButton, 0x01, 0}, {kFnMouseButton, 0x04, 0}, {kFnMouseButton, 0x02, 0},
    {kFnMouseButton, 0x10, 0}, {kFnMouseButton, 0x08, 0},
}};

const std::array<FunctionCode, 3> kSensitivityList = {{
    {kFnSensitivity, 1, 0}, {kFnSensitivity, 2, 0}, {kFnSensitivity, 3, 0},
}};

const std::array<FunctionCode, 18> kMediaList = {{
    {kFnMedia, 0x83, 0x01}, {kFnMedia, 0xCD, 0x00}, {kFnMedia, 0xB7, 0x00}, {kFnMedia, 0xB6, 0x00},
    {kFnMedia, 0xB5, 0x00}, {kFnMedia, 0xEA, 0x00}, {kFnMedia, 0xE9, 0x00}, {kFnMedia, 0xE2, 0x00},
    {kFnMedia, 0x23, 0x02}, {kFnMedia, 0x27, 0x02}, {kFnMedia, 0x26, 0x02}, {kFnMedia, 0x24, 0x02},
    {kFnMedia, 0x25, 0x02}, {kFnMedia, 0x2A, 0x02}, {kFnMedia, 0x21, 0x02}, {kFnMedia, 0x94, 0x01},
    {kFnMedia, 0x92, 0x01}, {kFnMedia, 0x8A, 0x01},
}};

const std::array<FunctionCode, 3> kSystemList = {{
    {kFnSystem, 1, 0}, {kFnSystem, 2, 0}, {kFnSystem, 4, 0},
}};

// Left Ctrl with O, N, Z, S, C, X, V, F, A, minus and equals.
const std::array<FunctionCode, 11> kShortcutList = {{
    {kFnKeyboard, 0x01, 0x12}, {kFnKeyboard, 0x01, 0x11}, {kFnKeyboard, 0x01, 0x1D},
    {kFnKeyboard, 0x01, 0x16}, {kFnKeyboard, 0x01, 0x06}, {kFnKeyboard, 0x01, 0x1B},
    {kFnKeyboard, 0x01, 0x19}, {kFnKeyboard, 0x01, 0x09}, {kFnKeyboard, 0x01, 0x04},
    {kFnKeyboard, 0x01, 0x2D}, {kFnKeyboard, 0x01, 0x2E},
}};

const std::array<FunctionCode, 1> kFixedList = {{{kFnFixed, 2, 0}}};

// Name, virtual key, type, parameter 1, parameter 2, set-1 scan code, extended flag. The scan
// codes are those a key stroke is reported with: right Shift and Num Lock carry the extended
// flag there, Pause does not.
const std::array<KeyCodeRow, kKeyCodeRows> kKeyCodeTable = {{
    {"keyboard_key_LCtrl", 0x0A2, 0x20, 0x01, 0x00, 0x1D, false},  // 0
    {"keyboard_key_LShift", 0x0A0, 0x20, 0x02, 0x00, 0x2A, false},  // 1
    {"keyboard_key_LAlt", 0x0A4, 0x20, 0x04, 0x00, 0x38, false},  // 2
    {"keyboard_key_LWin", 0x05B, 0x20, 0x08, 0x00, 0x5B, true},  // 3
    {"keyboard_key_RCtrl", 0x0A3, 0x20, 0x10, 0x00, 0x1D, true},  // 4
    {"keyboard_key_RShift", 0x0A1, 0x20, 0x20, 0x00, 0x36, true},  // 5
    {"keyboard_key_RAlt", 0x0A5, 0x20, 0x40, 0x00, 0x38, true},  // 6
    {"keyboard_key_RWin", 0x05C, 0x20, 0x80, 0x00, 0x5C, true},  // 7
    {"keyboard_key_A", 0x041, 0x20, 0x00, 0x04, 0x1E, false},  // 8
    {"keyboard_key_B", 0x042, 0x20, 0x00, 0x05, 0x30, false},  // 9
    {"keyboard_key_C", 0x043, 0x20, 0x00, 0x06, 0x2E, false},  // 10
    {"keyboard_key_D", 0x044, 0x20, 0x00, 0x07, 0x20, false},  // 11
    {"keyboard_key_E", 0x045, 0x20, 0x00, 0x08, 0x12, false},  // 12
    {"keyboard_key_F", 0x046, 0x20, 0x00, 0x09, 0x21, false},  // 13
    {"keyboard_key_G", 0x047, 0x20, 0x00, 0x0A, 0x22, false},  // 14
    {"keyboard_key_H", 0x048, 0x20, 0x00, 0x0B, 0x23, false},  // 15
    {"keyboard_key_I", 0x049, 0x20, 0x00, 0x0C, 0x17, false},  // 16
    {"keyboard_key_J", 0x04A, 0x20, 0x00, 0x0D, 0x24, false},  // 17
    {"keyboard_key_K", 0x04B, 0x20, 0x00, 0x0E, 0x25, false},  // 18
    {"keyboard_key_L", 0x04C, 0x20, 0x00, 0x0F, 0x26, false},  // 19
    {"keyboard_key_M", 0x04D, 0x20, 0x00, 0x10, 0x32, false},  // 20
    {"keyboard_key_N", 0x04E, 0x20, 0x00, 0x11, 0x31, false},  // 21
    {"keyboard_key_O", 0x04F, 0x20, 0x00, 0x12, 0x18, false},  // 22
    {"keyboard_key_P", 0x050, 0x20, 0x00, 0x13, 0x19, false},  // 23
    {"keyboard_key_Q", 0x051, 0x20, 0x00, 0x14, 0x10, false},  // 24
    {"keyboard_key_R", 0x052, 0x20, 0x00, 0x15, 0x13, false},  // 25
    {"keyboard_key_S", 0x053, 0x20, 0x00, 0x16, 0x1F, false},  // 26
    {"keyboard_key_T", 0x054, 0x20, 0x00, 0x17, 0x14, false},  // 27
    {"keyboard_key_U", 0x055, 0x20, 0x00, 0x18, 0x16, false},  // 28
    {"keyboard_key_V", 0x056, 0x20, 0x00, 0x19, 0x2F, false},  // 29
    {"keyboard_key_W", 0x057, 0x20, 0x00, 0x1A, 0x11, false},  // 30
    {"keyboard_key_X", 0x058, 0x20, 0x00, 0x1B, 0x2D, false},  // 31
    {"keyboard_key_Y", 0x059, 0x20, 0x00, 0x1C, 0x15, false},  // 32
    {"keyboard_key_Z", 0x05A, 0x20, 0x00, 0x1D, 0x2C, false},  // 33
    {"keyboard_key_1", 0x031, 0x20, 0x00, 0x1E, 0x02, false},  // 34
    {"keyboard_key_2", 0x032, 0x20, 0x00, 0x1F, 0x03, false},  // 35
    {"keyboard_key_3", 0x033, 0x20, 0x00, 0x20, 0x04, false},  // 36
    {"keyboard_key_4", 0x034, 0x20, 0x00, 0x21, 0x05, false},  // 37
    {"keyboard_key_5", 0x035, 0x20, 0x00, 0x22, 0x06, false},  // 38
    {"keyboard_key_6", 0x036, 0x20, 0x00, 0x23, 0x07, false},  // 39
    {"keyboard_key_7", 0x037, 0x20, 0x00, 0x24, 0x08, false},  // 40
    {"keyboard_key_8", 0x038, 0x20, 0x00, 0x25, 0x09, false},  // 41
    {"keyboard_key_9", 0x039, 0x20, 0x00, 0x26, 0x0A, false},  // 42
    {"keyboard_key_0", 0x030, 0x20, 0x00, 0x27, 0x0B, false},  // 43
    {"keyboard_key_Enter", 0x00D, 0x20, 0x00, 0x28, 0x1C, false},  // 44
    {"keyboard_key_Esc", 0x01B, 0x20, 0x00, 0x29, 0x01, false},  // 45
    {"keyboard_key_BackSpace", 0x008, 0x20, 0x00, 0x2A, 0x0E, false},  // 46
    {"keyboard_key_Tab", 0x009, 0x20, 0x00, 0x2B, 0x0F, false},  // 47
    {"keyboard_key_Space", 0x020, 0x20, 0x00, 0x2C, 0x39, false},  // 48
    {"keyboard_key_-", 0x0BD, 0x20, 0x00, 0x2D, 0x0C, false},  // 49
    {"keyboard_key_=", 0x0BB, 0x20, 0x00, 0x2E, 0x0D, false},  // 50
    {"keyboard_key_[", 0x0DB, 0x20, 0x00, 0x2F, 0x1A, false},  // 51
    {"keyboard_key_]", 0x0DD, 0x20, 0x00, 0x30, 0x1B, false},  // 52
    {"keyboard_key_xiegang", 0x0DC, 0x20, 0x00, 0x31, 0x2B, false},  // 53
    {"keyboard_key_;", 0x0BA, 0x20, 0x00, 0x33, 0x27, false},  // 54
    {"keyboard_key_'", 0x0DE, 0x20, 0x00, 0x34, 0x28, false},  // 55
    {"keyboard_key_`", 0x0C0, 0x20, 0x00, 0x35, 0x29, false},  // 56
    {"keyboard_key_<", 0x0BC, 0x20, 0x00, 0x36, 0x33, false},  // 57
    {"keyboard_key_.", 0x0BE, 0x20, 0x00, 0x37, 0x34, false},  // 58
    {"keyboard_key_/", 0x0BF, 0x20, 0x00, 0x38, 0x35, false},  // 59
    {"keyboard_key_Caplk", 0x014, 0x20, 0x00, 0x39, 0x3A, false},  // 60
    {"keyboard_key_F1", 0x070, 0x20, 0x00, 0x3A, 0x3B, false},  // 61
    {"keyboard_key_F2", 0x071, 0x20, 0x00, 0x3B, 0x3C, false},  // 62
    {"keyboard_key_F3", 0x072, 0x20, 0x00, 0x3C, 0x3D, false},  // 63
    {"keyboard_key_F4", 0x073, 0x20, 0x00, 0x3D, 0x3E, false},  // 64
    {"keyboard_key_F5", 0x074, 0x20, 0x00, 0x3E, 0x3F, false},  // 65
    {"keyboard_key_F6", 0x075, 0x20, 0x00, 0x3F, 0x40, false},  // 66
    {"keyboard_key_F7", 0x076, 0x20, 0x00, 0x40, 0x41, false},  // 67
    {"keyboard_key_F8", 0x077, 0x20, 0x00, 0x41, 0x42, false},  // 68
    {"keyboard_key_F9", 0x078, 0x20, 0x00, 0x42, 0x43, false},  // 69
    {"keyboard_key_F10", 0x079, 0x20, 0x00, 0x43, 0x44, false},  // 70
    {"keyboard_key_F11", 0x07A, 0x20, 0x00, 0x44, 0x57, false},  // 71
    {"keyboard_key_F12", 0x07B, 0x20, 0x00, 0x45, 0x58, false},  // 72
    {"keyboard_key_Print Scr", 0x02C, 0x20, 0x00, 0x46, 0x37, true},  // 73
    {"keyboard_key_Scroll Lock", 0x091, 0x20, 0x00, 0x47, 0x46, false},  // 74
    {"keyboard_key_Pause", 0x013, 0x20, 0x00, 0x48, 0x45, false},  // 75
    {"keyboard_key_Insert", 0x02D, 0x20, 0x00, 0x49, 0x52, true},  // 76
    {"keyboard_key_Home", 0x024, 0x20, 0x00, 0x4A, 0x47, true},  // 77
    {"keyboard_key_Page Up", 0x021, 0x20, 0x00, 0x4B, 0x49, true},  // 78
    {"keyboard_key_Delete", 0x02E, 0x20, 0x00, 0x4C, 0x53, true},  // 79
    {"keyboard_key_End", 0x023, 0x20, 0x00, 0x4D, 0x4F, true},  // 80
    {"keyboard_key_Page Down", 0x022, 0x20, 0x00, 0x4E, 0x51, true},  // 81
    {"keyboard_key_Right", 0x027, 0x20, 0x00, 0x4F, 0x4D, true},  // 82
    {"keyboard_key_Left", 0x025, 0x20, 0x00, 0x50, 0x4B, true},  // 83
    {"keyboard_key_Down", 0x028, 0x20, 0x00, 0x51, 0x50, true},  // 84
    {"keyboard_key_Up", 0x026, 0x20, 0x00, 0x52, 0x48, true},  // 85
    {"keyboard_key_Num Lock", 0x090, 0x20, 0x00, 0x53, 0x45, true},  // 86
    {"keyboard_key_Num /", 0x06F, 0x20, 0x00, 0x54, 0x35, true},  // 87
    {"keyboard_key_Num *", 0x06A, 0x20, 0x00, 0x55, 0x37, false},  // 88
    {"keyboard_key_Num -", 0x06D, 0x20, 0x00, 0x56, 0x4A, false},  // 89
    {"keyboard_key_Num +", 0x06B, 0x20, 0x00, 0x57, 0x4E, false},  // 90
    {"keyboard_key_Num Enter", 0x101, 0x20, 0x00, 0x58, 0x1C, true},  // 91
    {"keyboard_key_Num 1", 0x061, 0x20, 0x00, 0x59, 0x4F, false},  // 92
    {"keyboard_key_Num 2", 0x062, 0x20, 0x00, 0x5A, 0x50, false},  // 93
    {"keyboard_key_Num 3", 0x063, 0x20, 0x00, 0x5B, 0x51, false},  // 94
    {"keyboard_key_Num 4", 0x064, 0x20, 0x00, 0x5C, 0x4B, false},  // 95
    {"keyboard_key_Num 5", 0x065, 0x20, 0x00, 0x5D, 0x4C, false},  // 96
    {"keyboard_key_Num 6", 0x066, 0x20, 0x00, 0x5E, 0x4D, false},  // 97
    {"keyboard_key_Num 7", 0x067, 0x20, 0x00, 0x5F, 0x47, false},  // 98
    {"keyboard_key_Num 8", 0x068, 0x20, 0x00, 0x60, 0x48, false},  // 99
    {"keyboard_key_Num 9", 0x069, 0x20, 0x00, 0x61, 0x49, false},  // 100
    {"keyboard_key_Num 0", 0x060, 0x20, 0x00, 0x62, 0x52, false},  // 101
    {"keyboard_key_Decimal", 0x06E, 0x20, 0x00, 0x63, 0x53, false},  // 102
    {"keyboard_key_App", 0x05D, 0x20, 0x00, 0x65, 0x5D, true},  // 103
    {"keyboard_key_K45", 0x0E2, 0x20, 0x00, 0x64, 0x56, false},  // 104
    {"keyboard_key_K56", 0x0C1, 0x20, 0x00, 0x87, 0x73, false},  // 105
    {"keyboard_key_K14", 0x0FF, 0x20, 0x00, 0x89, 0x7D, false},  // 106
    {"keyboard_key_K107", 0x0C2, 0x20, 0x00, 0x85, 0x7E, false},  // 107
    {"keyboard_key_K131", 0x0EB, 0x20, 0x00, 0x8B, 0x7B, false},  // 108
    {"keyboard_key_K132", 0x0FF, 0x20, 0x00, 0x8A, 0x79, false},  // 109
    {"keyboard_key_K133", 0x0FF, 0x20, 0x00, 0x88, 0x70, false},  // 110
    {"keyboard_key_K150", 0x0E9, 0x20, 0x00, 0x91, 0x71, false},  // 111
    {"keyboard_key_K151", 0x0FF, 0x20, 0x00, 0x90, 0x72, false},  // 112
    {"keyboard_key_Launch App2", 0x0B7, 0x30, 0x92, 0x01, 0x00, false},  // 113
    {"keyboard_key_Browaer Home", 0x0AC, 0x30, 0x23, 0x02, 0x00, false},  // 114
    {"keyboard_key_Media Play Pause", 0x0B3, 0x30, 0xCD, 0x00, 0x00, false},  // 115
    {"keyboard_key_Browser Search", 0x0AA, 0x30, 0x21, 0x02, 0x00, false},  // 116
    {"keyboard_key_Launch Mail", 0x0B4, 0x30, 0x8A, 0x01, 0x00, false},  // 117
    {"keyboard_key_Volume Up", 0x0AF, 0x30, 0xE9, 0x00, 0x00, false},  // 118
    {"keyboard_key_Volume Mute", 0x0AD, 0x30, 0xE2, 0x00, 0x00, false},  // 119
    {"keyboard_key_Media Stop", 0x0B2, 0x30, 0xB7, 0x00, 0x00, false},  // 120
    {"keyboard_key_Volume Down", 0x0AE, 0x30, 0xEA, 0x00, 0x00, false},  // 121
    {"keyboard_key_Browser Favorites", 0x0AB, 0x30, 0x2A, 0x02, 0x00, false},  // 122
    {"keyboard_key_Browser ForWard", 0x0A7, 0x30, 0x25, 0x02, 0x00, false},  // 123
    {"keyboard_key_Browser Back", 0x0A6, 0x30, 0x24, 0x02, 0x00, false},  // 124
    {"keyboard_key_Media Prev Track", 0x0B1, 0x30, 0xB6, 0x00, 0x00, false},  // 125
    {"keyboard_key_Media Next Track", 0x0B0, 0x30, 0xB5, 0x00, 0x00, false},  // 126
    {"keyboard_key_Computer", 0x0B6, 0x30, 0x94, 0x01, 0x00, false},  // 127
    {"keyboard_key_Browser Refresh", 0x0A8, 0x30, 0x27, 0x02, 0x00, false},  // 128
    {"wed_stop", 0x0A9, 0x30, 0x26, 0x02, 0x00, false},  // 129
    {"keyboard_key_Launch Media Select", 0x0B5, 0x30, 0x83, 0x01, 0x00, false},  // 130
    {"keyboard_key_Power", 0x103, 0x40, 0x01, 0x00, 0x00, false},  // 131
    {"keyboard_key_Sleep", 0x104, 0x40, 0x02, 0x00, 0x00, false},  // 132
    {"keyboard_key_Wakeup", 0x105, 0x40, 0x04, 0x00, 0x00, false},  // 133
    {"keyboard_key_M1", 0x000, 0xD0, 0xA2, 0x01, 0x00, false},  // 134
    {"keyboard_key_M2", 0x000, 0xD0, 0xA2, 0x02, 0x00, false},  // 135
    {"keyboard_key_M3", 0x000, 0xD0, 0xA2, 0x03, 0x00, false},  // 136
    {"keyboard_key_M4", 0x000, 0xD0, 0xA2, 0x04, 0x00, false},  // 137
    {"keyboard_key_M5", 0x000, 0xD0, 0xA2, 0x05, 0x00, false},  // 138
    {"keyboard_key_FN", 0x000, 0xA0, 0x01, 0x00, 0x00, false},  // 139
    {"keyboard_key_GM", 0x000, 0xA0, 0x1B, 0x00, 0x00, false},  // 140
}};
// clang-format on

int list_index(std::span<const FunctionCode> list, const KeyFunction& f) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].type == f.type && list[i].param1 == f.param1 && list[i].param2 == f.param2)
            return int(i);
    return -1;
}

int key_row_for_scan(uint8_t scan, bool extended) {
    for (int i = 0; i < kKeyboardRows; ++i)
        if (kKeyCodeTable[size_t(i)].scan == scan && kKeyCodeTable[size_t(i)].extended == extended)
            return i;
    return -1;
}

int key_row_for_usage(uint8_t usage) {
    for (int i = kModifierRows; i < kKeyCodeRows; ++i) {
        const KeyCodeRow& row = kKeyCodeTable[size_t(i)];
        if (row.type == kFnKeyboard && row.param1 == 0 && row.param2 == usage) return i;
    }
    return -1;
}

uint8_t modifier_bit(int option) {
    if (option < 1 || option >= kModifierOptions) return 0;
    return uint8_t(1u << (option - 1));
}

namespace {

// The first row of the whole table with parameter 1 = 0 and this parameter 2.
int first_row_without_modifier(uint8_t param2) {
    for (int i = 0; i < kKeyCodeRows; ++i)
        if (kKeyCodeTable[size_t(i)].param1 == 0 && kKeyCodeTable[size_t(i)].param2 == param2)
            return i;
    return -1;
}

// Delay and speed share parameter 1: delay in the high nibble.
void split_timing(uint8_t param1, int& delay, int& speed) {
    delay = param1 / 16;
    speed = param1 % 16;
}

uint8_t join_timing(int delay, int speed) {
    return uint8_t(((delay & 0x0F) << 4) | (speed & 0x0F));
}

void show_keyboard(const KeyFunction& f, KeyPanelView& v) {
    KeyPanelValues& c = v.values;
    if (f.param1 == 0) {
        c.key_row = first_row_without_modifier(f.param2);
        if (c.key_row >= 0) {
            c.modifier = 0;
        } else {
            // A key the table does not know shows as no key at all.
            v.current.type = kFnKeyboard;
            v.current.param1 = 0;
            v.current.param2 = 0;
        }
        v.page = kPageKeyboard;
        return;
    }
    if (f.param1 <= 128) {
        c.modifier = 0;  // several modifier bits: no single option stands for them
        for (int i = 0; i < kModifierRows; ++i)
            if (kKeyCodeTable[size_t(i)].param1 == f.param1) {
                c.modifier = modifier_option(i);
                break;
            }
        c.key_row = key_row_for_usage(f.param2);
        v.page = kPageKeyboard;
        return;
    }
    c.shortcut = list_index(kShortcutList, f);
    v.page = kPageShortcut;
}

void show_macro(const KeyFunction& f, size_t macros, KeyPanelView& v) {
    KeyPanelValues& c = v.values;
    // An index equal to the count is already past the last macro.
    const bool known = f.param1 < macros;
    if (f.type == kFnMacro) {
        if (known) {
            c.macro = f.param1;
            c.macro_mode = f.param2 < kMacroRepeatModes ? f.param2 : -1;
        }
        c.macro_count_shown = false;
    } else {
        if (known) {
            c.macro = f.param1;
            c.macro_mode = kMacroCountMode;
        }
        c.macro_count_shown = known;
        c.macro_count = f.param2;
    }
    v.page = kPageMacro;
}

}  // namespace

KeyPanelView show_function(const KeyFunction& shown, const KeyFunction& def, size_t macros,
                           int device_mode) {
    KeyPanelView v;
    v.current = shown;
    KeyPanelValues& c = v.values;
    const KeyFunction& f = shown;
    if (f.same_code(def)) {
        v.page = kPageDefault;
    } else {
        switch (f.type) {
            case kFnMouseButton:
                c.mouse_button = list_index(kMouseButtonList, f);
                v.page = kPageMouseButton;
                break;
            case kFnSwing:
                split_timing(f.param1, c.swing_delay, c.swing_speed);
                c.swing_direction = (f.param2 & 0x80) ? 1 : 0;
                c.swing_count = f.param2 & 0x7F;
                v.page = kPageSwing;
                break;
            case kFnWheel:
                split_timing(f.param1, c.wheel_delay, c.wheel_speed);
                c.wheel_direction = (f.param2 & 0x80) ? 1 : 0;
                c.wheel_count = (f.param2 & 0x80) ? 128 - (f.param2 & 0x7F) : f.param2;
                v.page = kPageWheel;
                break;
            case kFnSensitivity:
                c.sensitivity = list_index(kSensitivityList, f);
                v.page = kPageSensitivity;
                break;
            case kFnFire:
                c.fire_interval = f.param1;
                c.fire_count = f.param2;
                v.page = kPageFire;
                break;
            case kFnKeyboard:
                show_keyboard(f, v);
                break;
            case kFnMedia:
                c.media = list_index(kMediaList, f);
                v.page = kPageMedia;
                break;
            case kFnSystem:
                c.system = list_index(kSystemList, f);
                v.page = kPageSystem;
                break;
            case kFnMacro:
            case kFnMacroRepeat:
                show_macro(f, macros, v);
                break;
            case kFnShootKey:
                c.shoot_key = f.param1;
                v.page = kPageShootKey;
                break;
            case kFnFixed:
                if (f.param1 == 2 && f.param2 == 0) v.page = kPageFixed;
                if (f.param1 == 0 && f.param2 == 0) v.page = kPageDisabled;
                break;
            case kFnShortcut:
                v.page = kPageShortcut;
                break;
            default:
                break;
        }
    }
    if (v.page != kNoPage && !page_offered(v.page, device_mode)) v.page = kNoPage;
    return v;
}

namespace {

KeyFunction with_code(const KeyFunction& base, uint8_t type, uint8_t p1, uint8_t p2) {
    KeyFunction f = base;
    f.type = type;
    f.param1 = p1;
    f.param2 = p2;
    return f;
}

KeyFunction from_list(std::span<const FunctionCode> list, int index, const KeyFunction& current) {
    if (index < 0 || size_t(index) >= list.size()) return current;
    const FunctionCode& code = list[size_t(index)];
    return with_code(current, code.type, code.param1, code.param2);
}

}  // namespace

KeyFunction build_function(int page, const KeyPanelValues& c, const KeyFunction& current,
                           const KeyFunction& def, size_t macros) {
    switch (page) {
        case kPageDefault:
            return with_code(current, def.type, def.param1, def.param2);
        case kPageMouseButton:
            return from_list(kMouseButtonList, c.mouse_button, current);
        case kPageSensitivity:
            return from_list(kSensitivityList, c.sensitivity, current);
        case kPageMedia:
            return from_list(kMediaList, c.media, current);
        case kPageSystem:
            return from_list(kSystemList, c.system, current);
        case kPageFixed:
            return from_list(kFixedList, 0, current);
        case kPageShortcut:
            return from_list(kShortcutList, c.shortcut, current);
        case kPageSwing: {
            // Direction 1 sets bit 7 over a 7-bit count.
            const int count = c.swing_count & 0x7F;
            return with_code(current, kFnSwing, join_timing(c.swing_delay, c.swing_speed),
                             uint8_t(c.swing_direction == 1 ? count | 0x80 : count));
        }
        case kPageWheel: {
            const uint8_t p2 = c.wheel_direction == 1
                                   ? uint8_t(((128 - c.wheel_count) & 0xFF) | 0x80)
                                   : uint8_t(c.wheel_count & 0x7F);
            return with_code(current, kFnWheel, join_timing(c.wheel_delay, c.wheel_speed), p2);
        }
        case kPageFire:
            return with_code(current, kFnFire, uint8_t(c.fire_interval & 0xFF),
                             uint8_t(c.fire_count & 0xFF));
        case kPageKeyboard:
            return with_code(current, kFnKeyboard, modifier_bit(c.modifier),
                             c.key_row >= 0 ? current.param2 : 0);
        case kPageMacro:
            if (c.macro < 0 || size_t(c.macro) >= macros) return current;
            if (c.macro_mode == kMacroCountMode)
                return with_code(current, kFnMacroRepeat, uint8_t(c.macro),
                                 uint8_t(c.macro_count & 0xFF));
            return with_code(current, kFnMacro, uint8_t(c.macro),
                             uint8_t(c.macro_mode >= 0 ? c.macro_mode : 0));
        case kPageShootKey:
            if (c.shoot_key < 0 || c.shoot_key > 0xFF) return current;
            return with_code(current, kFnShootKey, uint8_t(c.shoot_key), 0);
        case kPageDisabled:
            return with_code(current, kFnFixed, 0, 0);
        default:
            return current;
    }
}

std::optional<CapturedKey> capture_key(uint8_t scan, bool extended, int modifier,
                                       const KeyFunction& current) {
    const int row = key_row_for_scan(scan, extended);
    if (row < 0 || kKeyCodeTable[size_t(row)].type != kFnKeyboard) return std::nullopt;
    CapturedKey out;
    if (row < kModifierRows) {
        out.modifier = modifier_option(row);
        out.key_row = -1;
    } else {
        out.modifier = modifier < 0 ? 0 : modifier;
        out.key_row = row;
    }
    out.current = with_code(current, kFnKeyboard, modifier_bit(out.modifier),
                            row < kModifierRows ? 0 : kKeyCodeTable[size_t(row)].param2);
    return out;
}

int parse_decimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits = true;
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 32);
    }
    if (!digits) return 0;
    if (negative) value = -value;
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace tellune::device
