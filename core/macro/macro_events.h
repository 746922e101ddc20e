#pragma once
// What one step of a macro is: an event object of a ".mac" file ("Action", "Button", "Type",
// "Delay"), the kinds of event, the mouse table the recorder and the editor's mouse rows use,
// and the look-ups between events, keys, mouse buttons and their display names.
//
// Event objects are JSON values because the file, not this program, decides what they hold:
// a key this program does not know travels through the editor unchanged.

#include <json/json.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tellune::macro {

// "Type".
inline constexpr int kTypeMouseButton = 1;
inline constexpr int kTypeMoveX = 4;  // "down" left, "up" right
inline constexpr int kTypeMoveY = 5;  // "down" up, "up" down
inline constexpr int kTypeModifier = 9;
inline constexpr int kTypeKey = 10;

// Mouse button bits ("Button" of a mouse button event).
inline constexpr int kButtonLeft = 1;
inline constexpr int kButtonRight = 2;
inline constexpr int kButtonMiddle = 4;
inline constexpr int kButtonBack = 8;
inline constexpr int kButtonForward = 16;

// The event a mouse message stands for. The codes are the button messages of the platform
// the files were first made on; the recorder's sources speak them too.
inline constexpr int kMsgLeftDown = 0x201;
inline constexpr int kMsgLeftUp = 0x202;
inline constexpr int kMsgRightDown = 0x204;
inline constexpr int kMsgRightUp = 0x205;
inline constexpr int kMsgMiddleDown = 0x207;
inline constexpr int kMsgMiddleUp = 0x208;
inline constexpr int kMsgWheel = 0x20A;
inline constexpr int kMsgXDown = 0x20B;
inline constexpr int kMsgXUp = 0x20C;
inline constexpr int kXButtonBack = 1;  // X button numbers of kMsgXDown / kMsgXUp
inline constexpr int kXButtonForward = 2;

// Action-and-type code: 128 for "down" plus the type.
inline constexpr int kCodeDown = 0x80;

struct MouseTableRow {
    int message;
    int category;
    int button;  // button bit, 0 for moves and the wheel
    int code;    // action-and-type code
    std::string_view name;
};
inline constexpr int kMouseTableRows = 15;
inline constexpr int kMouseButtonRows = 10;  // rows 0..9 are button presses and releases
extern const std::array<MouseTableRow, kMouseTableRows> kMouseTable;

// The button row (0..9) of a mouse message; -1 for every other message, and for an X message
// with another button number.
int mouse_row(int message, int xbutton = 0);
// The button row of evdev's BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE (back) or BTN_EXTRA
// (forward); -1 for other codes.
int mouse_row_from_evdev(int code, bool down);
// The message and X button number of a button row, for the sources that deliver messages.
int mouse_row_message(int row);
int mouse_row_xbutton(int row);

// An event of a key of the key code table (rows 0..112) or of a mouse button row.
struct EventKey {
    int type = 0;
    int button = 0;
};
// The key with this set-1 scan code and extended flag: a modifier gives type 9 and its bit,
// any other key type 10 and its keyboard usage. Nothing for keys outside the table.
std::optional<EventKey> key_for_scan(uint8_t scan, bool extended);
EventKey mouse_row_key(int row);
bool mouse_row_down(int row);

// --- event objects ---
// {"Action", "Button", "Delay", "Type"} with the delay as its decimal text.
Json::Value make_event(int type, int button, bool down, int delay);

// The fields as a reader takes them: a missing key or a value of another type reads as 0,
// "up" or no delay, never throws.
int event_type(const Json::Value& event);
int event_button(const Json::Value& event);
bool event_down(const Json::Value& event);  // "Action" is "down"
uint16_t event_delay(const Json::Value& event);
// Replaces type and button (an event that is no object becomes one first).
void set_event_key(Json::Value& event, int type, int button);
void set_event_delay(Json::Value& event, int delay);

// The delay an edit holds as the text saved: the leading decimal digits (none: 0), at most
// 65535.
int delay_from_text(std::string_view text);

// How an event row looks: its name's text id ("keyboard_key_A", "mouse_key_left",
// "mouse_move_to_up_text"; empty when the table has no name for it), whether it is a key
// row (keyboard style) or a mouse row, and whether its action label shows the distance of a
// move, nothing (reserved kinds) or "down"/"up".
struct EventLook {
    std::string name_id;
    bool keyboard = false;
    enum Action { kDown, kUp, kDistance, kNone } action = kNone;
    int distance = 0;
};
EventLook event_look(const Json::Value& event);

}  // namespace tellune::macro
