// Recording from synthetic strokes over a clock the test drives: delays of each kind, held
// keys, the insertion modes, re-keying, the Stop button, and the row operations and hand
// insertions of the event list.

#include <gtest/gtest.h>

#include "core/macro/action_list.h"
#include "core/macro/macro_events.h"
#include "core/macro/macro_recorder.h"

namespace tellune::macro {
namespace {

constexpr uint8_t kA = 0x1E, kB = 0x30, kC = 0x2E, kV = 0x2F, kLCtrl = 0x1D;

// "type:button:action:delay" per row, e.g. "10:4:d:120".
std::vector<std::string> rows(const ActionList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.size(); ++i) {
        const Json::Value& e = list.row(i).event;
        out.push_back(std::to_string(event_type(e)) + ":" + std::to_string(event_button(e)) + ":" +
                      (event_down(e) ? "d" : "u") + ":" + list.row(i).delay_text);
    }
    return out;
}
using Rows = std::vector<std::string>;

class Recording : public ::testing::Test {
protected:
    void press(uint8_t scan, int after_ms = 0, bool extended = false) {
        now_ += after_ms;
        recorder_.key_event(scan, extended, true);
    }
    void release(uint8_t scan, int after_ms = 0, bool extended = false) {
        now_ += after_ms;
        recorder_.key_event(scan, extended, false);
    }
    void preset(int n) {
        for (int i = 0; i < n; ++i)
            list_.insert(list_.size(), make_event(kTypeKey, 0x59 + i, true, 9));
    }

    int64_t now_ = 1'000'000;
    RecordingMemory memory_;
    ActionList list_;
    MacroRecorder recorder_{list_, [this] { return now_; }, memory_};
};

TEST_F(Recording, MeasuredDelaysBelongToTheRowBefore) {
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kMeasured);
    press(kA, 40);
    release(kA, 120);
    EXPECT_EQ(rows(list_), (Rows{"10:4:d:120", "10:4:u:0"}));
    EXPECT_EQ(list_.selected(), 1);
}

TEST_F(Recording, CtrlCPauseCtrlV) {
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kMeasured);
    press(kLCtrl, 10);
    press(kC, 30);
    release(kC, 60);
    release(kLCtrl, 20);
    press(kLCtrl, 200);
    press(kV, 25);
    release(kV, 70);
    release(kLCtrl, 15);
    EXPECT_EQ(rows(list_), (Rows{"9:1:d:30", "10:6:d:60", "10:6:u:20", "9:1:u:200", "9:1:d:25",
                                 "10:25:d:70", "10:25:u:15", "9:1:u:0"}));
}

TEST_F(Recording, HeldKeyGivesOneDownAndOneUp) {
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kIgnored);
    press(kA);
    for (int i = 0; i < 30; ++i) press(kA, 33);  // the desktop's auto-repeat
    release(kA, 10);
    EXPECT_EQ(rows(list_), (Rows{"10:4:d:0", "10:4:u:0"}));
    // Pressed again after its release it counts again.
    press(kA);
    EXPECT_EQ(list_.size(), 3);
}

TEST_F(Recording, FixedDelayOnEveryRowIncludingTheLast) {
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kFixed, 30);
    press(kA, 500);
    release(kA, 7);
    press(kB, 1);
    EXPECT_EQ(rows(list_), (Rows{"10:4:d:30", "10:4:u:30", "10:5:d:30"}));
    EXPECT_EQ(recorder_.fixed_delay(), 30);
    // A fixed delay above the edit's range is held at its maximum.
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kFixed, 70000);
    EXPECT_EQ(recorder_.fixed_delay(), 65535);
}

TEST_F(Recording, FirstEventAfterExistingRowsGivesTheOldLastRowTheTimeSinceStart) {
    preset(2);
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kMeasured);
    press(kA, 800);
    EXPECT_EQ(rows(list_)[1], "10:90:d:800");
    EXPECT_EQ(rows(list_)[2], "10:4:d:0");
}

TEST_F(Recording, LongAndBackwardsClockReadingsStayInRange) {
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kMeasured);
    press(kA);
    now_ += int64_t(1) << 33;  // far beyond a 32-bit millisecond counter's wrap
    release(kA);
    press(kB, 0);
    now_ -= 5000;  // a clock that went back must not give a negative pause
    release(kB);
    EXPECT_EQ(rows(list_), (Rows{"10:4:d:65535", "10:4:u:0", "10:5:d:0", "10:5:u:0"}));
}

TEST_F(Recording, BeforeTheThirdRowThreeEventsGoInOrder) {
    preset(4);
    list_.select(2);
    recorder_.start(MacroRecorder::kBefore, MacroRecorder::kMeasured);
    press(kA, 5);
    release(kA, 6);
    press(kB, 7);
    EXPECT_EQ(rows(list_), (Rows{"10:89:d:9", "10:90:d:5", "10:4:d:6", "10:4:u:7", "10:5:d:0",
                                 "10:91:d:9", "10:92:d:9"}));
    EXPECT_EQ(list_.selected(), 5);  // the former third row, still selected
}

TEST_F(Recording, AfterTheSelectedRowTheNewRowIsSelected) {
    preset(3);
    list_.select(0);
    recorder_.start(MacroRecorder::kAfter, MacroRecorder::kIgnored);
    press(kA);
    release(kA);
    EXPECT_EQ(rows(list_), (Rows{"10:89:d:0", "10:4:d:0", "10:4:u:0", "10:90:d:9", "10:91:d:9"}));
    EXPECT_EQ(list_.selected(), 2);
}

TEST_F(Recording, InsertModesNeedASelectedRow) {
    preset(2);
    for (int mode : {MacroRecorder::kBefore, MacroRecorder::kAfter, MacroRecorder::kRekey}) {
        recorder_.start(mode, MacroRecorder::kMeasured);
        press(kA);
        release(kA);
    }
    EXPECT_EQ(list_.size(), 2);
    EXPECT_EQ(rows(list_)[0], "10:89:d:9");
}

TEST_F(Recording, BeforeTheFirstRowKeepsTheNewRowAtZero) {
    preset(1);
    list_.select(0);
    recorder_.start(MacroRecorder::kBefore, MacroRecorder::kFixed, 40);
    press(kA, 100);
    EXPECT_EQ(rows(list_), (Rows{"10:4:d:40", "10:89:d:9"}));
}

TEST_F(Recording, UnknownKeysAndFullListsAreDropped) {
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kIgnored);
    press(0x00);  // no key
    press(0x6F);  // not in the table
    EXPECT_EQ(list_.size(), 0);
    // Right Ctrl is the extended 0x1D; the left one is not.
    press(kLCtrl, 0, true);
    EXPECT_EQ(rows(list_), (Rows{"9:16:d:0"}));

    preset(ActionList::kMaxRows - 1);
    ASSERT_TRUE(list_.full());
    press(kA);
    EXPECT_EQ(list_.size(), ActionList::kMaxRows);
    EXPECT_FALSE(list_.insert(0, make_event(kTypeKey, 4, true, 0)));
}

TEST_F(Recording, MouseButtonsAndTheStopButton) {
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kIgnored);
    EXPECT_TRUE(recorder_.mouse_event(kMsgLeftDown, 0, false));
    EXPECT_FALSE(recorder_.mouse_event(kMsgLeftDown, 0, false));  // no release in between
    EXPECT_TRUE(recorder_.mouse_event(kMsgLeftUp, 0, false));
    recorder_.mouse_event(kMsgXDown, kXButtonBack, false);
    recorder_.mouse_event(kMsgXDown, kXButtonForward, false);  // another button, same message
    recorder_.mouse_event(kMsgXUp, kXButtonForward, false);
    recorder_.mouse_event(kMsgXUp, 3, false);       // no such X button
    recorder_.mouse_event(kMsgWheel, 0, false);     // not a button
    recorder_.mouse_event(kMsgRightDown, 0, true);  // on Stop, but not the left button
    // The click on Stop is not recorded, press or release.
    EXPECT_FALSE(recorder_.mouse_event(kMsgLeftDown, 0, true));
    EXPECT_FALSE(recorder_.mouse_event(kMsgLeftUp, 0, true));
    EXPECT_EQ(rows(list_),
              (Rows{"1:1:d:0", "1:1:u:0", "1:8:d:0", "1:16:d:0", "1:16:u:0", "1:2:d:0"}));
}

TEST_F(Recording, RekeyChangesTheSelectedRowOnly) {
    list_.insert(0, make_event(kTypeKey, 4, false, 77));
    list_.insert(1, make_event(kTypeKey, 5, true, 3));
    list_.select(0);
    recorder_.start(MacroRecorder::kRekey, MacroRecorder::kIgnored);
    press(kLCtrl);
    EXPECT_EQ(rows(list_)[0], "9:1:u:77");
    press(kB);
    EXPECT_EQ(rows(list_)[0], "10:5:u:77");
    recorder_.mouse_event(kMsgMiddleDown, 0, false);
    EXPECT_EQ(rows(list_), (Rows{"1:4:u:77", "10:5:d:3"}));
}

TEST_F(Recording, NothingIsRecordedWhenStoppedAndHeldKeysAreForgottenAtStart) {
    press(kA);
    EXPECT_EQ(list_.size(), 0);
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kIgnored);
    press(kA);
    recorder_.mouse_event(kMsgLeftDown, 0, false);
    recorder_.stop();
    press(kB);
    EXPECT_EQ(list_.size(), 2);
    // Still held from the last recording: counts as a new press now.
    recorder_.start(MacroRecorder::kAppend, MacroRecorder::kIgnored);
    press(kA);
    recorder_.mouse_event(kMsgLeftDown, 0, false);
    EXPECT_EQ(list_.size(), 4);
}

// --- the event list on its own ---

TEST(ActionListRows, MovesAtTheEndsChangeNothing) {
    ActionList list;
    for (int i = 0; i < 3; ++i) list.insert(i, make_event(kTypeKey, 4 + i, true, i));
    EXPECT_FALSE(list.move_up());  // nothing selected
    list.select(0);
    EXPECT_FALSE(list.move_up());
    EXPECT_FALSE(list.move_to_top());
    list.select(2);
    EXPECT_FALSE(list.move_down());
    EXPECT_FALSE(list.move_to_bottom());
    EXPECT_EQ(rows(list), (Rows{"10:4:d:0", "10:5:d:1", "10:6:d:2"}));

    EXPECT_TRUE(list.move_up());
    EXPECT_EQ(list.selected(), 1);
    EXPECT_TRUE(list.move_to_top());
    EXPECT_EQ(rows(list), (Rows{"10:6:d:2", "10:4:d:0", "10:5:d:1"}));
    EXPECT_TRUE(list.move_to_bottom());
    EXPECT_TRUE(list.move_up());
    EXPECT_TRUE(list.move_down());
    EXPECT_EQ(rows(list), (Rows{"10:4:d:0", "10:5:d:1", "10:6:d:2"}));
    EXPECT_EQ(list.selected(), 2);
    EXPECT_TRUE(list.remove_selected());
    EXPECT_EQ(list.selected(), -1);
    EXPECT_FALSE(list.remove_selected());
    list.remove_all();
    EXPECT_EQ(list.size(), 0);
}

TEST(ActionListRows, HandInsertionsGoAfterTheSelectionOrTheFirstRow) {
    ActionList list;
    // A click into an empty list: press first, release after it; nothing selected after the
    // first, the release selected after the second.
    EXPECT_EQ(list.insert_by_hand(make_event(kTypeMouseButton, kButtonLeft, true, 50)), 0);
    EXPECT_EQ(list.selected(), -1);
    EXPECT_EQ(list.insert_by_hand(make_event(kTypeMouseButton, kButtonLeft, false, 50)), 1);
    EXPECT_EQ(list.selected(), 1);
    list.select(0);
    EXPECT_EQ(list.insert_by_hand(make_event(kTypeMoveY, 12, true, 50)), 1);
    list.select(-1);
    EXPECT_EQ(list.insert_by_hand(make_event(kTypeMoveX, 3, false, 50)), 1);
    EXPECT_EQ(rows(list), (Rows{"1:1:d:50", "4:3:u:50", "5:12:d:50", "1:1:u:50"}));
}

TEST(ActionListRows, SavingFormatsTheDelayTexts) {
    ActionList list;
    for (int i = 0; i < 5; ++i) list.insert(i, make_event(kTypeKey, 4, true, 1));
    list.set_delay_text(0, "");
    list.set_delay_text(1, "007");
    list.set_delay_text(2, "0");
    list.set_delay_text(3, "99999");
    list.set_delay_text(4, "12x");
    const Json::Value events = list.events_for_save();
    ASSERT_EQ(events.size(), 5u);
    const char* expected[] = {"0", "7", "0", "65535", "12"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(events[i]["Delay"].asString(), expected[i]) << i;
        EXPECT_EQ(list.row(i).delay_text, expected[i]) << i;
    }
}

TEST(ActionListRows, LoadKeepsUnknownKeysAndTurnsJunkIntoEmptyEvents) {
    Json::Value events(Json::arrayValue);
    events.append(make_event(kTypeKey, 4, true, 3));
    events[0]["Note"] = "mine";
    events.append("junk");
    events.append(Json::Value(7));
    ActionList list;
    list.load(events);
    ASSERT_EQ(list.size(), 3);
    const Json::Value saved = list.events_for_save();
    EXPECT_EQ(saved[0]["Note"].asString(), "mine");
    EXPECT_TRUE(saved[1].isObject());
    EXPECT_EQ(saved[2]["Delay"].asString(), "0");

    Json::Value many(Json::arrayValue);
    for (int i = 0; i < ActionList::kMaxRows + 10; ++i)
        many.append(make_event(kTypeKey, 4, true, 0));
    list.load(many);
    EXPECT_EQ(list.size(), ActionList::kMaxRows);
    list.load(Json::Value("not a list"));
    EXPECT_EQ(list.size(), 0);
}

}  // namespace
}  // namespace tellune::macro
