#include "core/device/key_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <vector>

namespace tellune::device {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool same_text(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

// Table names as typed: "keyboard_key_Page Up" -> "page-up". Misspelt or cryptic names of
// the table get a readable one; the table's own stays accepted.
constexpr std::string_view kTablePrefix = "keyboard_key_";
// Punctuation gets words, so a name never needs quoting in a shell.
const std::map<std::string, std::string, std::less<>> kBetterNames = {
    {"xiegang", "backslash"},
    {"<", "comma"},
    {"-", "minus"},
    {"=", "equal"},
    {"[", "lbracket"},
    {"]", "rbracket"},
    {";", "semicolon"},
    {"'", "quote"},
    {"`", "grave"},
    {".", "period"},
    {"/", "slash"},
    {"caplk", "capslock"},
    {"print-scr", "print-screen"},
    {"num-/", "numpad-slash"},
    {"num-*", "numpad-star"},
    {"num--", "numpad-minus"},
    {"num-+", "numpad-plus"},
    {"num-enter", "numpad-enter"},
    {"num-1", "numpad-1"},
    {"num-2", "numpad-2"},
    {"num-3", "numpad-3"},
    {"num-4", "numpad-4"},
    {"num-5", "numpad-5"},
    {"num-6", "numpad-6"},
    {"num-7", "numpad-7"},
    {"num-8", "numpad-8"},
    {"num-9", "numpad-9"},
    {"num-0", "numpad-0"},
    {"decimal", "numpad-period"},
    {"k45", "iso-backslash"},
    {"k56", "ro"},
    {"k14", "yen"},
    {"k107", "numpad-comma"},
    {"k131", "muhenkan"},
    {"k132", "henkan"},
    {"k133", "kana"},
    {"k150", "hanja"},
    {"k151", "hangul"},
    {"browaer-home", "browser-home"},
    {"wed_stop", "browser-stop"},
};
// More names people type for the same keys.
const std::map<std::string, std::string, std::less<>> kAliases = {
    {"escape", "esc"},
    {"return", "enter"},
    {"minus", "-"},
    {"equal", "="},
    {"period", "."},
    {"slash", "/"},
    {"semicolon", ";"},
    {"quote", "'"},
    {"grave", "`"},
    {"menu", "app"},
    {"pgup", "page-up"},
    {"pgdn", "page-down"},
    {"del", "delete"},
    {"ins", "insert"},
    {"wake-up", "wakeup"},
    {"mute", "volume-mute"},
    // The digit row as the keyboard's key names have it: a bare number is a key's number.
    {"digit-1", "1"},
    {"digit-2", "2"},
    {"digit-3", "3"},
    {"digit-4", "4"},
    {"digit-5", "5"},
    {"digit-6", "6"},
    {"digit-7", "7"},
    {"digit-8", "8"},
    {"digit-9", "9"},
    {"digit-0", "0"},
};

std::string row_text(int row) {
    std::string_view name = kKeyCodeTable[size_t(row)].name;
    if (name.substr(0, kTablePrefix.size()) == kTablePrefix)
        name.remove_prefix(kTablePrefix.size());
    std::string out = lower(name);
    std::replace(out.begin(), out.end(), ' ', '-');
    if (const auto better = kBetterNames.find(out); better != kBetterNames.end())
        return better->second;
    return out;
}

// The row among [first, last) whose name is `text` (readable, table or alias name), or -1.
int find_row(std::string_view text, int first, int last) {
    std::string want = lower(text);
    if (const auto alias = kAliases.find(want); alias != kAliases.end()) want = alias->second;
    for (int i = first; i < last; ++i) {
        if (row_text(i) == want) return i;
        std::string_view raw = kKeyCodeTable[size_t(i)].name;
        if (raw.substr(0, kTablePrefix.size()) == kTablePrefix)
            raw.remove_prefix(kTablePrefix.size());
        std::string table = lower(raw);
        std::replace(table.begin(), table.end(), ' ', '-');
        if (table == want) return i;
    }
    return -1;
}

// The table row of a list entry (media and system lists), or -1.
int row_of(const FunctionCode& c) {
    for (int i = 0; i < kKeyCodeRows; ++i) {
        const KeyCodeRow& r = kKeyCodeTable[size_t(i)];
        if (r.type == c.type && r.param1 == c.param1 && r.param2 == c.param2) return i;
    }
    return -1;
}

struct Modifier {
    std::string_view name;
    uint8_t bit;
};
constexpr std::array<Modifier, 13> kModifiers = {{
    {"ctrl", 0x01},
    {"shift", 0x02},
    {"alt", 0x04},
    {"win", 0x08},
    {"rctrl", 0x10},
    {"rshift", 0x20},
    {"ralt", 0x40},
    {"rwin", 0x80},
    {"lctrl", 0x01},
    {"lshift", 0x02},
    {"lalt", 0x04},
    {"super", 0x08},
    {"lwin", 0x08},
}};
// The modifier keys of the keyboard by bit, as key names.
constexpr std::array<std::string_view, kModifierRows> kModifierKeys = {
    "lctrl", "lshift", "lalt", "lwin", "rctrl", "rshift", "ralt", "rwin"};

std::optional<uint8_t> modifier_bit_named(std::string_view text) {
    const std::string t = lower(text);
    for (const Modifier& m : kModifiers)
        if (m.name == t) return m.bit;
    return std::nullopt;
}

// In list order: buttons 1, 3, 2, 5, 4.
constexpr std::array<std::string_view, 5> kMouseFunctions = {"left", "middle", "right", "forward",
                                                             "back"};
constexpr std::array<std::string_view, 3> kDpiFunctions = {"up", "down", "cycle"};
constexpr std::array<std::string_view, kMouseButtonNames> kButtons = {
    "left",     "right", "middle",  "side1",    "side2",   "dpi-up",
    "dpi-down", "fire",  "button9", "button10", "button11"};
constexpr int kRecoilKeys = 4;
constexpr int kMacroModes = 4;  // mode items 0..3, written 1..4

template <size_t N>
int index_in(const std::array<std::string_view, N>& names, std::string_view text) {
    const std::string t = lower(text);
    for (size_t i = 0; i < N; ++i)
        if (names[i] == t) return int(i);
    return -1;
}

std::optional<int> number(std::string_view text) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

class Parser {
public:
    Parser(int mode, std::span<const std::string> macros, std::string* error)
        : mode_(mode), macros_(macros), error_(error) {}

    std::optional<ParsedFunction> parse(std::string_view text);

private:
    std::nullopt_t fail(const std::string& why) {
        if (error_) *error_ = why;
        return std::nullopt;
    }
    std::optional<ParsedFunction> code(uint8_t type, uint8_t p1, uint8_t p2) {
        ParsedFunction f;
        f.code = {type, p1, p2};
        return f;
    }
    std::optional<ParsedFunction> from(const FunctionCode& c) {
        return code(c.type, c.param1, c.param2);
    }
    std::optional<ParsedFunction> keyboard(std::string_view rest);
    std::optional<ParsedFunction> motion(uint8_t type, std::string_view rest);
    std::optional<ParsedFunction> fire(std::string_view rest);
    std::optional<ParsedFunction> macro(std::string_view rest);
    // "name=value,..." with each name from `names` at most once, values in 0..`high`.
    bool fields(std::string_view rest, std::span<const std::string_view> names,
                std::span<const int> high, std::span<int> values);

    int mode_;
    std::span<const std::string> macros_;
    std::string* error_;
};

std::optional<ParsedFunction> Parser::parse(std::string_view text) {
    const std::string whole = lower(text);
    if (whole == "default") {
        ParsedFunction f;
        f.use_default = true;
        return f;
    }
    if (whole == "disabled") return from({kFnFixed, 0, 0});
    if (whole == "fixed") return from(kFixedList[0]);
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return fail("unknown function \"" + std::string(text) + "\"");
    const std::string page = lower(text.substr(0, colon));
    const std::string_view rest = text.substr(colon + 1);
    if (page == "key") return keyboard(rest);
    if (page == "mouse") {
        const int i = index_in(kMouseFunctions, rest);
        if (i < 0) return fail("mouse: is left, middle, right, forward or back");
        return from(kMouseButtonList[size_t(i)]);
    }
    if (page == "dpi") {
        if (!page_offered(kPageSensitivity, mode_))
            return fail("this device has no dpi: functions");
        const int i = index_in(kDpiFunctions, rest);
        if (i < 0) return fail("dpi: is up, down or cycle");
        return from(kSensitivityList[size_t(i)]);
    }
    if (page == "media") {
        const int row = find_row(rest, 0, kKeyCodeRows);
        const FunctionCode c = row >= 0 ? FunctionCode{kKeyCodeTable[size_t(row)].type,
                                                       kKeyCodeTable[size_t(row)].param1,
                                                       kKeyCodeTable[size_t(row)].param2}
                                        : FunctionCode{};
        const KeyFunction k{0, c.type, c.param1, c.param2, 0};
        if (row < 0 || list_index(kMediaList, k) < 0)
            return fail("unknown media key \"" + std::string(rest) + "\"");
        return from(c);
    }
    if (page == "system") {
        for (const FunctionCode& c : kSystemList)
            if (const int row = row_of(c); row >= 0 && find_row(rest, row, row + 1) == row)
                return from(c);
        return fail("system: is power, sleep or wakeup");
    }
    if (page == "swing") return motion(kFnSwing, rest);
    if (page == "wheel") return motion(kFnWheel, rest);
    if (page == "fire") return fire(rest);
    if (page == "macro") return macro(rest);
    if (page == "recoil") {
        if (!page_offered(kPageShootKey, mode_)) return fail("this device has no recoil: keys");
        const std::optional<int> n = number(rest);
        if (!n || *n < 1 || *n > kRecoilKeys) return fail("recoil: is 1-4");
        return code(kFnShootKey, uint8_t(*n - 1), 0);
    }
    return fail("unknown function \"" + std::string(text) + "\"");
}

std::optional<ParsedFunction> Parser::keyboard(std::string_view rest) {
    uint8_t modifiers = 0;
    // Modifiers lead, each followed by '+'; what remains is the key ("num-+" keeps its '+').
    while (true) {
        const size_t plus = rest.find('+');
        if (plus == std::string_view::npos || plus == 0) break;
        const std::optional<uint8_t> bit = modifier_bit_named(rest.substr(0, plus));
        if (!bit) break;
        if (modifiers & *bit)
            return fail("a modifier given twice in \"" + std::string(rest) + "\"");
        modifiers |= *bit;
        rest.remove_prefix(plus + 1);
    }
    if (const std::optional<uint8_t> bit = modifier_bit_named(rest)) {
        if (modifiers & *bit) return fail("a modifier given twice");
        return code(kFnKeyboard, uint8_t(modifiers | *bit), 0);
    }
    const int row = find_row(rest, kModifierRows, kKeyboardRows);
    if (row < 0) return fail("unknown key \"" + std::string(rest) + "\"");
    return code(kFnKeyboard, modifiers, kKeyCodeTable[size_t(row)].param2);
}

bool Parser::fields(std::string_view rest, std::span<const std::string_view> names,
                    std::span<const int> high, std::span<int> values) {
    std::vector<bool> seen(names.size(), false);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        const size_t eq = item.find('=');
        const std::string name = lower(item.substr(0, eq));
        const auto it = std::find(names.begin(), names.end(), name);
        const std::optional<int> v =
            eq == std::string_view::npos ? std::nullopt : number(item.substr(eq + 1));
        if (it == names.end() || !v) {
            fail("\"" + std::string(item) + "\" is no NAME=NUMBER this function takes");
            return false;
        }
        const size_t i = size_t(it - names.begin());
        if (seen[i] || *v < 0 || *v > high[i]) {
            fail(name + " must be 0-" + std::to_string(high[i]) + ", given once");
            return false;
        }
        seen[i] = true;
        values[i] = *v;
    }
    return true;
}

std::optional<ParsedFunction> Parser::motion(uint8_t type, std::string_view rest) {
    static constexpr std::array<std::string_view, 4> kNames = {"count", "delay", "speed",
                                                               "direction"};
    static constexpr std::array<int, 4> kHigh = {127, 15, 15, 1};
    std::array<int, 4> v{};
    if (!rest.empty() && rest.back() == ',') return fail("a trailing comma");
    if (!fields(rest, kNames, kHigh, v)) return std::nullopt;
    KeyPanelValues c;
    const KeyFunction none{};
    if (type == kFnSwing) {
        c.swing_count = v[0];
        c.swing_delay = v[1];
        c.swing_speed = v[2];
        c.swing_direction = v[3];
    } else {
        c.wheel_count = v[0];
        c.wheel_delay = v[1];
        c.wheel_speed = v[2];
        c.wheel_direction = v[3];
    }
    // The panel's own conversion, so both give the same bytes.
    const KeyFunction f =
        build_function(type == kFnSwing ? kPageSwing : kPageWheel, c, none, none, 0);
    return code(f.type, f.param1, f.param2);
}

std::optional<ParsedFunction> Parser::fire(std::string_view rest) {
    static constexpr std::array<std::string_view, 2> kNames = {"interval", "count"};
    static constexpr std::array<int, 2> kHigh = {255, 255};
    std::array<int, 2> v{};
    if (!rest.empty() && rest.back() == ',') return fail("a trailing comma");
    if (!fields(rest, kNames, kHigh, v)) return std::nullopt;
    return code(kFnFire, uint8_t(v[0]), uint8_t(v[1]));
}

std::optional<ParsedFunction> Parser::macro(std::string_view rest) {
    // The exact name first: a name may itself hold ",mode=2".
    const auto named = [&](std::string_view name) -> int {
        for (size_t i = 0; i < macros_.size(); ++i)
            if (macros_[i] == name) return int(i);
        for (size_t i = 0; i < macros_.size(); ++i)
            if (same_text(macros_[i], name)) return int(i);
        return -1;
    };
    int index = named(rest);
    int mode = 0;
    std::optional<int> repeat;
    if (index < 0) {
        const size_t comma = rest.rfind(',');
        if (comma != std::string_view::npos) {
            const std::string_view option = rest.substr(comma + 1);
            const size_t eq = option.find('=');
            const std::string key = lower(option.substr(0, eq));
            // -1 stands for no number.
            const int v =
                eq == std::string_view::npos ? -1 : number(option.substr(eq + 1)).value_or(-1);
            if (key == "mode" && v >= 1 && v <= kMacroModes) {
                mode = v - 1;
            } else if (key == "repeat" && v >= 0 && v <= 255) {
                repeat = v;
            } else if (key == "mode" || key == "repeat") {
                return fail(key == "mode" ? "mode must be 1-4" : "repeat must be 0-255");
            }
            if (key == "mode" || key == "repeat") index = named(rest.substr(0, comma));
        }
    }
    if (index < 0) {
        std::string known;
        for (const std::string& n : macros_) known += (known.empty() ? "" : ", ") + n;
        return fail("no macro named \"" + std::string(rest) + "\"" +
                    (known.empty() ? "; the library is empty" : "; there are " + known));
    }
    if (index > 0xFF) return fail("macro index out of range");
    if (repeat) return code(kFnMacroRepeat, uint8_t(index), uint8_t(*repeat));
    return code(kFnMacro, uint8_t(index), uint8_t(mode));
}

std::string hex_code(const FunctionCode& c) {
    char text[16];
    std::snprintf(text, sizeof text, "code:%02X%02X%02X", c.type, c.param1, c.param2);
    return text;
}

}  // namespace

std::optional<ParsedFunction> parse_key_function(std::string_view text, int device_mode,
                                                 std::span<const std::string> macro_names,
                                                 std::string* error) {
    return Parser(device_mode, macro_names, error).parse(text);
}

std::string key_function_text(const FunctionCode& c, std::span<const std::string> macros) {
    const KeyFunction k{0, c.type, c.param1, c.param2, 0};
    switch (c.type) {
        case kFnMouseButton:
            if (const int i = list_index(kMouseButtonList, k); i >= 0)
                return "mouse:" + std::string(kMouseFunctions[size_t(i)]);
            break;
        case kFnSensitivity:
            if (const int i = list_index(kSensitivityList, k); i >= 0)
                return "dpi:" + std::string(kDpiFunctions[size_t(i)]);
            break;
        case kFnSwing:
        case kFnWheel: {
            KeyPanelView v = show_function(k, KeyFunction{}, 0, kDeviceModeMouse);
            const KeyPanelValues& p = v.values;
            const bool swing = c.type == kFnSwing;
            const int count = swing ? p.swing_count : p.wheel_count;
            // The wheel shows 0x80 as count 128, which builds the same code as count 0.
            return std::string(swing ? "swing:" : "wheel:") +
                   "count=" + std::to_string(count % 128) +
                   ",delay=" + std::to_string(swing ? p.swing_delay : p.wheel_delay) +
                   ",speed=" + std::to_string(swing ? p.swing_speed : p.wheel_speed) +
                   ",direction=" + std::to_string(swing ? p.swing_direction : p.wheel_direction);
        }
        case kFnFire:
            return "fire:interval=" + std::to_string(c.param1) +
                   ",count=" + std::to_string(c.param2);
        case kFnKeyboard: {
            std::string out = "key:";
            for (int bit = 0; bit < kModifierRows; ++bit)
                if (c.param1 & (1u << bit)) out += std::string(kModifiers[size_t(bit)].name) + "+";
            if (c.param2 == 0) {
                if (c.param1 == 0) break;  // no key at all
                out.pop_back();
                return out;
            }
            const int row = key_row_for_usage(c.param2);
            if (row < 0) break;
            return out + row_text(row);
        }
        case kFnMedia:
            if (list_index(kMediaList, k) >= 0) return "media:" + row_text(row_of(c));
            break;
        case kFnSystem:
            if (list_index(kSystemList, k) >= 0) return "system:" + row_text(row_of(c));
            break;
        case kFnMacro:
        case kFnMacroRepeat: {
            if (c.param1 >= macros.size()) break;
            if (c.type == kFnMacroRepeat)
                return "macro:" + macros[c.param1] + ",repeat=" + std::to_string(c.param2);
            if (c.param2 >= kMacroModes) break;
            return "macro:" + macros[c.param1] +
                   (c.param2 ? ",mode=" + std::to_string(c.param2 + 1) : "");
        }
        case kFnShootKey:
            if (c.param1 < kRecoilKeys && c.param2 == 0)
                return "recoil:" + std::to_string(c.param1 + 1);
            break;
        case kFnFixed:
            if (c.param1 == 0 && c.param2 == 0) return "disabled";
            if (c.param1 == 2 && c.param2 == 0) return "fixed";
            break;
        default:
            break;
    }
    return hex_code(c);
}

bool function_offered(const FunctionCode& c, int device_mode) {
    // Type 0 is no function: against it every real code shows on its own page.
    const KeyPanelView v = show_function(KeyFunction{0, c.type, c.param1, c.param2, 0},
                                         KeyFunction{}, 256, device_mode);
    return v.page != kNoPage && v.page != kPageDefault;
}

std::string_view mouse_button_name(int index) {
    return index >= 0 && index < kMouseButtonNames ? kButtons[size_t(index)] : std::string_view{};
}

int mouse_button_index(std::string_view text) {
    if (const std::optional<int> n = number(text))
        return *n >= 1 && *n <= kMouseButtonNames ? *n - 1 : -1;
    return index_in(kButtons, text);
}

std::string keyboard_key_name(int key) {
    if (key < 0 || size_t(key) >= kKeyboardFactoryCodes.size()) return {};
    const KeyCode& code = kKeyboardFactoryCodes[size_t(key)];
    if (names_no_key(code)) return {};
    if (code[0] == kFnKeyboard && code[1] == 0) {
        const int row = key_row_for_usage(code[2]);
        if (row < 0) return {};
        std::string name = row_text(row);
        const bool digit = name.size() == 1 && std::isdigit(static_cast<unsigned char>(name[0]));
        return digit ? "digit-" + name : name;
    }
    if (code[0] == kFnKeyboard && code[2] == 0 && std::has_single_bit(code[1]))
        return std::string(kModifierKeys[size_t(std::countr_zero(code[1]))]);
    const int row = row_of({code[0], code[1], code[2]});
    return row < 0 ? std::string{} : row_text(row);
}

int keyboard_key_index(std::string_view text) {
    if (const std::optional<int> n = number(text))
        return *n >= 1 && size_t(*n) <= kKeyboardFactoryCodes.size() ? *n - 1 : -1;
    // The code the text names (any name the key: function takes), then the key holding it.
    std::optional<KeyCode> code;
    if (const std::optional<uint8_t> bit = modifier_bit_named(text)) {
        code = KeyCode{kFnKeyboard, *bit, 0};
    } else if (const int row = find_row(text, kModifierRows, kKeyboardRows); row >= 0) {
        code = KeyCode{kFnKeyboard, 0, kKeyCodeTable[size_t(row)].param2};
    } else if (const int other = find_row(text, kKeyboardRows, kKeyCodeRows); other >= 0) {
        const KeyCodeRow& r = kKeyCodeTable[size_t(other)];
        code = KeyCode{r.type, r.param1, r.param2};
    }
    for (size_t key = 0; code && key < kKeyboardFactoryCodes.size(); ++key)
        if (kKeyboardFactoryCodes[key] == *code) return int(key);
    return -1;
}

}  // namespace tellune::device
