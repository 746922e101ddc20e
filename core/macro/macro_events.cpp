#include "core/macro/macro_events.h"

#include "core/device/key_functions.h"
#include "core/device/macro_image.h"
#include "core/profile/json_file.h"

namespace tellune::macro {
namespace {

constexpr int kCategoryButton = 0x10;
constexpr int kCategoryMove = 0x15;
constexpr int kCategoryWheel = 0x12;
constexpr int kMsgMove = 0x200;

// Linux input event codes of the mouse buttons.
constexpr int kBtnLeft = 0x110;
constexpr int kBtnRight = 0x111;
constexpr int kBtnMiddle = 0x112;
constexpr int kBtnSide = 0x113;
constexpr int kBtnExtra = 0x114;

constexpr int kMaxDelay = 65535;

}  // namespace

const std::array<MouseTableRow, kMouseTableRows> kMouseTable = {{
    {kMsgLeftDown, kCategoryButton, kButtonLeft, 129, "mouse_key_left"},
    {kMsgLeftUp, kCategoryButton, kButtonLeft, 1, "mouse_key_left"},
    {kMsgRightDown, kCategoryButton, kButtonRight, 129, "mouse_key_right"},
    {kMsgRightUp, kCategoryButton, kButtonRight, 1, "mouse_key_right"},
    {kMsgMiddleDown, kCategoryButton, kButtonMiddle, 129, "mouse_key_middle"},
    {kMsgMiddleUp, kCategoryButton, kButtonMiddle, 1, "mouse_key_middle"},
    {kMsgXDown, kCategoryButton, kButtonForward, 129, "mouse_key_forward"},
    {kMsgXUp, kCategoryButton, kButtonForward, 1, "mouse_key_forward"},
    {kMsgXDown, kCategoryButton, kButtonBack, 129, "mouse_key_back"},
    {kMsgXUp, kCategoryButton, kButtonBack, 1, "mouse_key_back"},
    {kMsgMove, kCategoryMove, 0, 132, "mouse_move_to_left_text"},
    {kMsgMove, kCategoryMove, 0, 4, "mouse_move_to_right_text"},
    {kMsgMove, kCategoryMove, 0, 133, "mouse_move_to_up_text"},
    {kMsgMove, kCategoryMove, 0, 5, "mouse_move_to_down_text"},
    {kMsgWheel, kCategoryWheel, 0, 0, "mouse_cursor_text"},
}};

int mouse_row(int message, int xbutton) {
    switch (message) {
        case kMsgLeftDown:
            return 0;
        case kMsgLeftUp:
            return 1;
        case kMsgRightDown:
            return 2;
        case kMsgRightUp:
            return 3;
        case kMsgMiddleDown:
            return 4;
        case kMsgMiddleUp:
            return 5;
        case kMsgXDown:
            return xbutton == kXButtonForward ? 6 : xbutton == kXButtonBack ? 8 : -1;
        case kMsgXUp:
            return xbutton == kXButtonForward ? 7 : xbutton == kXButtonBack ? 9 : -1;
        default:
            return -1;
    }
}

int mouse_row_from_evdev(int code, bool down) {
    const int up = down ? 0 : 1;
    switch (code) {
        case kBtnLeft:
            return 0 + up;
        case kBtnRight:
            return 2 + up;
        case kBtnMiddle:
            return 4 + up;
        case kBtnExtra:
            return 6 + up;
        case kBtnSide:
            return 8 + up;
        default:
            return -1;
    }
}

int mouse_row_message(int row) {
    return row >= 0 && row < kMouseButtonRows ? kMouseTable[size_t(row)].message : 0;
}

int mouse_row_xbutton(int row) {
    if (row == 6 || row == 7) return kXButtonForward;
    if (row == 8 || row == 9) return kXButtonBack;
    return 0;
}

std::optional<EventKey> key_for_scan(uint8_t scan, bool extended) {
    const int row = device::key_row_for_scan(scan, extended);
    if (row < 0) return std::nullopt;
    const device::KeyCodeRow& key = device::kKeyCodeTable[size_t(row)];
    if (row < device::kModifierRows) return EventKey{kTypeModifier, key.param1};
    return EventKey{kTypeKey, key.param2};
}

EventKey mouse_row_key(int row) {
    if (row < 0 || row >= kMouseTableRows) return {};
    return {kMouseTable[size_t(row)].code & 0x7F, kMouseTable[size_t(row)].button};
}

bool mouse_row_down(int row) {
    return row >= 0 && row < kMouseTableRows && (kMouseTable[size_t(row)].code & kCodeDown) != 0;
}

Json::Value make_event(int type, int button, bool down, int delay) {
    Json::Value event(Json::objectValue);
    event["Action"] = down ? "down" : "up";
    event["Button"] = button;
    event["Type"] = type;
    set_event_delay(event, delay);
    return event;
}

int event_type(const Json::Value& event) {
    return json_int(json_get(event, "Type"));
}

int event_button(const Json::Value& event) {
    return json_int(json_get(event, "Button"));
}

bool event_down(const Json::Value& event) {
    return json_string(json_get(event, "Action")) == "down";
}

uint16_t event_delay(const Json::Value& event) {
    return device::parse_delay(json_get(event, "Delay"));
}

void set_event_key(Json::Value& event, int type, int button) {
    json_slot(event, "Type") = type;
    json_slot(event, "Button") = button;
}

void set_event_delay(Json::Value& event, int delay) {
    json_slot(event, "Delay") = std::to_string(delay < 0           ? 0
                                               : delay > kMaxDelay ? kMaxDelay
                                                                   : delay);
}

int delay_from_text(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > kMaxDelay) return kMaxDelay;
    }
    return value;
}

EventLook event_look(const Json::Value& event) {
    EventLook look;
    const int type = event_type(event);
    const int button = event_button(event);
    const bool down = event_down(event);
    look.action = down ? EventLook::kDown : EventLook::kUp;
    switch (type) {
        case kTypeKey: {
            look.keyboard = true;
            const int row =
                button >= 0 && button <= 0xFF ? device::key_row_for_usage(uint8_t(button)) : -1;
            if (row >= 0) look.name_id = device::kKeyCodeTable[size_t(row)].name;
            break;
        }
        case kTypeModifier:
            look.keyboard = true;
            for (int row = 0; row < device::kModifierRows; ++row)
                if (device::kKeyCodeTable[size_t(row)].param1 == button)
                    look.name_id = device::kKeyCodeTable[size_t(row)].name;
            break;
        case kTypeMouseButton:
            for (const MouseTableRow& row : kMouseTable)
                if (row.button != 0 && row.button == button) {
                    look.name_id = row.name;
                    break;
                }
            break;
        case kTypeMoveX:
        case kTypeMoveY:
            look.name_id =
                kMouseTable[size_t((type == kTypeMoveX ? 10 : 12) + (down ? 0 : 1))].name;
            look.action = EventLook::kDistance;
            look.distance = button;
            break;
        default:
            // The reserved mouse kinds and anything unknown: a mouse row without a name.
            look.action = EventLook::kNone;
            break;
    }
    return look;
}

}  // namespace tellune::macro
