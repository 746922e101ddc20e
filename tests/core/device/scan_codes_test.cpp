// Key strokes as Linux reports them (evdev codes) to the set-1 scan codes the key code table
// knows keys by, against a list written out by hand.

#include "core/device/scan_codes.h"

#include <gtest/gtest.h>

#include <set>

#include "core/device/key_functions.h"

namespace tellune::device {
namespace {

struct Stroke {
    int evdev;
    const char* key;  // the table row the stroke must find
    uint8_t scan;
    bool extended;
};

// Every extended key of the table, and a spread of the others.
const Stroke kStrokes[] = {
    {1, "keyboard_key_Esc", 0x01, false},          {2, "keyboard_key_1", 0x02, false},
    {11, "keyboard_key_0", 0x0B, false},           {12, "keyboard_key_-", 0x0C, false},
    {14, "keyboard_key_BackSpace", 0x0E, false},   {15, "keyboard_key_Tab", 0x0F, false},
    {16, "keyboard_key_Q", 0x10, false},           {28, "keyboard_key_Enter", 0x1C, false},
    {29, "keyboard_key_LCtrl", 0x1D, false},       {30, "keyboard_key_A", 0x1E, false},
    {41, "keyboard_key_`", 0x29, false},           {42, "keyboard_key_LShift", 0x2A, false},
    {43, "keyboard_key_xiegang", 0x2B, false},     {44, "keyboard_key_Z", 0x2C, false},
    {51, "keyboard_key_<", 0x33, false},           {53, "keyboard_key_/", 0x35, false},
    {54, "keyboard_key_RShift", 0x36, true},       {55, "keyboard_key_Num *", 0x37, false},
    {56, "keyboard_key_LAlt", 0x38, false},        {57, "keyboard_key_Space", 0x39, false},
    {58, "keyboard_key_Caplk", 0x3A, false},       {59, "keyboard_key_F1", 0x3B, false},
    {68, "keyboard_key_F10", 0x44, false},         {69, "keyboard_key_Num Lock", 0x45, true},
    {70, "keyboard_key_Scroll Lock", 0x46, false}, {71, "keyboard_key_Num 7", 0x47, false},
    {74, "keyboard_key_Num -", 0x4A, false},       {76, "keyboard_key_Num 5", 0x4C, false},
    {78, "keyboard_key_Num +", 0x4E, false},       {82, "keyboard_key_Num 0", 0x52, false},
    {83, "keyboard_key_Decimal", 0x53, false},     {86, "keyboard_key_K45", 0x56, false},
    {87, "keyboard_key_F11", 0x57, false},         {88, "keyboard_key_F12", 0x58, false},
    {89, "keyboard_key_K56", 0x73, false},         {92, "keyboard_key_K132", 0x79, false},
    {93, "keyboard_key_K133", 0x70, false},        {94, "keyboard_key_K131", 0x7B, false},
    {96, "keyboard_key_Num Enter", 0x1C, true},    {97, "keyboard_key_RCtrl", 0x1D, true},
    {98, "keyboard_key_Num /", 0x35, true},        {99, "keyboard_key_Print Scr", 0x37, true},
    {100, "keyboard_key_RAlt", 0x38, true},        {102, "keyboard_key_Home", 0x47, true},
    {103, "keyboard_key_Up", 0x48, true},          {104, "keyboard_key_Page Up", 0x49, true},
    {105, "keyboard_key_Left", 0x4B, true},        {106, "keyboard_key_Right", 0x4D, true},
    {107, "keyboard_key_End", 0x4F, true},         {108, "keyboard_key_Down", 0x50, true},
    {109, "keyboard_key_Page Down", 0x51, true},   {110, "keyboard_key_Insert", 0x52, true},
    {111, "keyboard_key_Delete", 0x53, true},      {119, "keyboard_key_Pause", 0x45, false},
    {121, "keyboard_key_K107", 0x7E, false},       {122, "keyboard_key_K151", 0x72, false},
    {123, "keyboard_key_K150", 0x71, false},       {124, "keyboard_key_K14", 0x7D, false},
    {125, "keyboard_key_LWin", 0x5B, true},        {126, "keyboard_key_RWin", 0x5C, true},
    {127, "keyboard_key_App", 0x5D, true},
};

TEST(ScanCodes, HandWrittenStrokesFindTheirKeys) {
    for (const Stroke& s : kStrokes) {
        SCOPED_TRACE(s.key);
        const auto key = set1_from_evdev(s.evdev);
        ASSERT_TRUE(key);
        EXPECT_EQ(key->scan, s.scan);
        EXPECT_EQ(key->extended, s.extended);
        const int row = key_row_for_scan(key->scan, key->extended);
        ASSERT_GE(row, 0);
        EXPECT_EQ(kKeyCodeTable[size_t(row)].name, s.key);
    }
}

TEST(ScanCodes, EveryKeyboardRowCanBeTypedAndOnlyOnce) {
    std::set<int> rows;
    for (int code = 0; code < 768; ++code) {
        const auto key = set1_from_evdev(code);
        if (!key) continue;
        const int row = key_row_for_scan(key->scan, key->extended);
        ASSERT_GE(row, 0) << "evdev " << code << " finds no key";
        EXPECT_TRUE(rows.insert(row).second) << "two evdev codes type row " << row;
    }
    EXPECT_EQ(rows.size(), size_t(kKeyboardRows));
}

TEST(ScanCodes, OtherCodesHaveNone) {
    for (int code : {-1, 0, 84, 95, 101, 113, 114, 115, 116, 117, 120, 128, 163, 272, 0x2FF})
        EXPECT_FALSE(set1_from_evdev(code)) << code;
}

}  // namespace
}  // namespace tellune::device
