#pragma once
// Key functions written as text, for the command line and scripts: "key:ctrl+c",
// "media:volume-up", "mouse:back", "dpi:up", "macro:Reload", "disabled", "default". Every
// text maps to a code one of the key panel's pages can hold; anything else is refused.
//
//   default                        the key's own function
//   disabled | fixed               page 13 | page 11
//   mouse:left|middle|right|forward|back
//   dpi:up|down|cycle              mouse only
//   key:[MOD+...]KEY | key:MOD     MOD: ctrl shift alt win (left), rctrl rshift ralt rwin
//   media:NAME   system:power|sleep|wakeup
//   swing:count=N,delay=D,speed=S,direction=0|1   (each optional; 0 when left out)
//   wheel:...as swing              fire:interval=N,count=N
//   macro:NAME[,mode=1-4|,repeat=N]
//   recoil:1-4                     mouse only

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/device/factory_codes.h"
#include "core/device/key_functions.h"

namespace tellune::device {

struct ParsedFunction {
    bool use_default = false;  // "default": the key's default record decides the code
    FunctionCode code;
};

// `macro_names`: the device's macro library in index order. On failure `error` (when given)
// receives one line saying why.
std::optional<ParsedFunction> parse_key_function(std::string_view text, int device_mode,
                                                 std::span<const std::string> macro_names,
                                                 std::string* error = nullptr);

// The text parse_key_function reads back to the same code; codes no text stands for come out
// as "code:TTPPQQ" (hex), which is refused when given back.
std::string key_function_text(const FunctionCode& code, std::span<const std::string> macro_names);

// Whether a page of `device_mode` can hold `code` (what a request from outside may store).
bool function_offered(const FunctionCode& code, int device_mode);

// The mouse's buttons by key list position, for the command line: "left", "right", ...
inline constexpr int kMouseButtonNames = 11;
std::string_view mouse_button_name(int index);
// A button given as its 1-based position or its name; -1 when there is no such button.
int mouse_button_index(std::string_view text);

// The keyboard's keys by key index (0..125), named after the code each holds from the
// factory: "esc", "f1", "a", "digit-1", "lctrl", "numpad-1", "fn", "m1". Empty for a key no
// text names (its number still does).
std::string keyboard_key_name(int key);
// A key given as its 1-based number or as a name a key: function takes for its code; -1
// when the keyboard has no such key.
int keyboard_key_index(std::string_view text);

}  // namespace tellune::device
