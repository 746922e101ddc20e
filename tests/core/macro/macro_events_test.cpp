// Event kinds, the mouse table, keys by scan code and how each kind of event row looks.

#include "core/macro/macro_events.h"

#include <gtest/gtest.h>

namespace tellune::macro {
namespace {

Json::Value parse(const char* text) {
    Json::Value v;
    Json::Reader().parse(text, v);
    return v;
}

TEST(MouseTable, RowsByMessageAndByEvdevButton) {
    // Message, X button -> row; the second X button is forward, the first back.
    EXPECT_EQ(mouse_row(kMsgLeftDown), 0);
    EXPECT_EQ(mouse_row(kMsgLeftUp), 1);
    EXPECT_EQ(mouse_row(kMsgRightDown), 2);
    EXPECT_EQ(mouse_row(kMsgMiddleUp), 5);
    EXPECT_EQ(mouse_row(kMsgXDown, 2), 6);
    EXPECT_EQ(mouse_row(kMsgXUp, 2), 7);
    EXPECT_EQ(mouse_row(kMsgXDown, 1), 8);
    EXPECT_EQ(mouse_row(kMsgXUp, 1), 9);
    EXPECT_EQ(mouse_row(kMsgXDown, 0), -1);
    EXPECT_EQ(mouse_row(kMsgWheel), -1);
    EXPECT_EQ(mouse_row(0x200), -1);

    EXPECT_EQ(mouse_row_from_evdev(0x110, true), 0);   // BTN_LEFT
    EXPECT_EQ(mouse_row_from_evdev(0x111, false), 3);  // BTN_RIGHT
    EXPECT_EQ(mouse_row_from_evdev(0x112, true), 4);   // BTN_MIDDLE
    EXPECT_EQ(mouse_row_from_evdev(0x113, true), 8);   // BTN_SIDE: back
    EXPECT_EQ(mouse_row_from_evdev(0x114, false), 7);  // BTN_EXTRA: forward
    EXPECT_EQ(mouse_row_from_evdev(0x115, true), -1);
    EXPECT_EQ(mouse_row_from_evdev(30, true), -1);

    // Each button row gives back its message and X button, and its event.
    for (int row = 0; row < kMouseButtonRows; ++row) {
        EXPECT_EQ(mouse_row(mouse_row_message(row), mouse_row_xbutton(row)), row);
        EXPECT_EQ(mouse_row_key(row).type, kTypeMouseButton);
        EXPECT_EQ(mouse_row_down(row), row % 2 == 0);
    }
    EXPECT_EQ(mouse_row_key(8).button, kButtonBack);
    EXPECT_EQ(mouse_row_key(7).button, kButtonForward);
    // The action-and-type codes of the move rows.
    EXPECT_EQ(kMouseTable[10].code, 132);
    EXPECT_EQ(kMouseTable[13].code, 5);
}

TEST(EventKeys, ModifiersGiveTheirBitOtherKeysTheirUsage) {
    const auto lctrl = key_for_scan(0x1D, false);
    ASSERT_TRUE(lctrl);
    EXPECT_EQ(lctrl->type, kTypeModifier);
    EXPECT_EQ(lctrl->button, 1);
    EXPECT_EQ(key_for_scan(0x5C, true)->button, 128);  // right Win
    EXPECT_EQ(key_for_scan(0x36, true)->button, 32);   // right Shift carries the flag
    const auto a = key_for_scan(0x1E, false);
    EXPECT_EQ(a->type, kTypeKey);
    EXPECT_EQ(a->button, 0x04);
    EXPECT_EQ(key_for_scan(0x1C, true)->button, 0x58);   // keypad Enter
    EXPECT_EQ(key_for_scan(0x1C, false)->button, 0x28);  // Enter
    EXPECT_FALSE(key_for_scan(0x1E, true));
}

TEST(EventFields, WrongTypesReadAsMissing) {
    const Json::Value e =
        parse(R"({"Action": "DOWN", "Button": "4", "Type": [10], "Delay": {"x": 1}})");
    EXPECT_FALSE(event_down(e));
    EXPECT_EQ(event_button(e), 0);
    EXPECT_EQ(event_type(e), 0);
    EXPECT_EQ(event_delay(e), 0);
    EXPECT_EQ(event_delay(parse(R"({"Delay": 250})")), 250);
    EXPECT_EQ(event_delay(parse(R"({"Delay": "65534"})")), 65534);
    EXPECT_EQ(event_delay(parse(R"({"Delay": "65535"})")), 65535);
    EXPECT_EQ(event_delay(parse(R"({"Delay": "4000000000"})")), 65535);
    EXPECT_EQ(event_delay(Json::Value("text")), 0);

    Json::Value not_object("text");
    set_event_key(not_object, kTypeKey, 4);
    set_event_delay(not_object, -3);
    EXPECT_EQ(event_type(not_object), kTypeKey);
    EXPECT_EQ(not_object["Delay"].asString(), "0");

    EXPECT_EQ(delay_from_text(""), 0);
    EXPECT_EQ(delay_from_text("0042"), 42);
    EXPECT_EQ(delay_from_text("-5"), 0);
    EXPECT_EQ(delay_from_text("65536"), 65535);
    EXPECT_EQ(delay_from_text("99999999999999999999"), 65535);
}

TEST(EventLooks, NamesStylesAndActionLabels) {
    EventLook key = event_look(make_event(kTypeKey, 0x04, true, 0));
    EXPECT_EQ(key.name_id, "keyboard_key_A");
    EXPECT_TRUE(key.keyboard);
    EXPECT_EQ(key.action, EventLook::kDown);
    EventLook shift = event_look(make_event(kTypeModifier, 32, false, 0));
    EXPECT_EQ(shift.name_id, "keyboard_key_RShift");
    EXPECT_EQ(shift.action, EventLook::kUp);
    EventLook back = event_look(make_event(kTypeMouseButton, kButtonBack, true, 0));
    EXPECT_EQ(back.name_id, "mouse_key_back");
    EXPECT_FALSE(back.keyboard);
    EventLook forward = event_look(make_event(kTypeMouseButton, kButtonForward, true, 0));
    EXPECT_EQ(forward.name_id, "mouse_key_forward");
    EventLook left = event_look(make_event(kTypeMoveX, 15, true, 0));
    EXPECT_EQ(left.name_id, "mouse_move_to_left_text");
    EXPECT_EQ(left.action, EventLook::kDistance);
    EXPECT_EQ(left.distance, 15);
    EXPECT_EQ(event_look(make_event(kTypeMoveX, 1, false, 0)).name_id, "mouse_move_to_right_text");
    EXPECT_EQ(event_look(make_event(kTypeMoveY, 1, true, 0)).name_id, "mouse_move_to_up_text");
    EXPECT_EQ(event_look(make_event(kTypeMoveY, 1, false, 0)).name_id, "mouse_move_to_down_text");
    EventLook reserved = event_look(make_event(2, 1, true, 0));
    EXPECT_EQ(reserved.name_id, "");
    EXPECT_EQ(reserved.action, EventLook::kNone);
    EXPECT_FALSE(reserved.keyboard);
    // A key the table does not know keeps the keyboard look without a name.
    EventLook unknown = event_look(make_event(kTypeKey, 0xF0, true, 0));
    EXPECT_EQ(unknown.name_id, "");
    EXPECT_TRUE(unknown.keyboard);
    EXPECT_EQ(event_look(make_event(kTypeKey, 100000, true, 0)).name_id, "");
    EXPECT_EQ(event_look(Json::Value()).action, EventLook::kNone);
}

}  // namespace
}  // namespace tellune::macro
