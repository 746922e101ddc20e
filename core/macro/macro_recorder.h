#pragma once
// Recording into the event rows of a macro from live key strokes and mouse buttons.
//
// Modes: kAppend adds at the end; kBefore inserts before the selected row (which moves down
// and stays selected); kAfter inserts after the selected row and selects the new one;
// kRekey gives the selected row the key or button of each event instead.
//
// Delay kinds: kMeasured, the time since the previous recorded event (or the start), read
// from a monotonic millisecond clock, so a clock change cannot make it negative or huge;
// kFixed, the fixed delay; kIgnored, zero. A delay is the pause after an event, so it is the
// row before a new row that receives it; the new row gets the fixed delay in fixed mode and 0
// otherwise, and a row that becomes the first of the list keeps 0.
//
// Held keys repeat: a press of the key that was pressed last, without its release in between,
// is dropped. A mouse message equal to the last recorded one is dropped likewise, and a left
// press or release on the Stop button is not recorded. Keys outside the key table and mouse
// messages other than button presses and releases are dropped.

#include <cstdint>
#include <functional>
#include <optional>

#include "core/macro/action_list.h"

namespace tellune::macro {

// What was recorded last, by any macro page.
struct RecordingMemory {
    std::optional<std::pair<uint8_t, bool>> last_down;  // scan code, extended flag
    int last_mouse_row = -1;
};
RecordingMemory& shared_recording_memory();

class MacroRecorder {
public:
    enum Mode : int { kAppend = 4, kBefore = 8, kAfter = 16, kRekey = 32 };
    enum DelayKind : int { kMeasured = 1, kFixed = 2, kIgnored = 3 };
    static constexpr int kDefaultFixedDelay = 50;
    static constexpr int kMaxDelay = 65535;
    using Clock = std::function<int64_t()>;  // monotonic milliseconds

    // `clock`: a monotonic millisecond clock (default: std::chrono::steady_clock).
    explicit MacroRecorder(ActionList& list, Clock clock = {},
                           RecordingMemory& memory = shared_recording_memory());

    // Starts recording; kFixed takes `fixed_delay` (clamped to 0..65535) as the new fixed
    // delay. What was recorded last by any page is forgotten: a key held over from an earlier
    // recording is no repeat.
    void start(int mode, int kind, std::optional<int> fixed_delay = std::nullopt);
    // Replaces the clock (an empty one restores the default); not while recording.
    void set_clock(Clock clock);
    void stop();
    bool recording() const { return recording_; }
    int mode() const { return mode_; }
    int kind() const { return kind_; }
    // Used in fixed mode and for rows inserted by hand.
    int fixed_delay() const { return fixed_delay_; }

    // A key went down or up. True when a row was added (the view then scrolls to the
    // selected row); a re-keyed row is no addition.
    bool key_event(uint8_t scan, bool extended, bool down);
    // A mouse message (kMsgLeftDown ...; X messages with their button number). `on_stop`:
    // the pointer is on the Stop button.
    bool mouse_event(int message, int xbutton, bool on_stop);

private:
    bool record(int type, int button, bool down);
    void rekey(int type, int button);
    int measured_delay();

    ActionList& list_;
    Clock clock_;
    RecordingMemory& memory_;
    bool recording_ = false;
    int mode_ = kAppend;
    int kind_ = kMeasured;
    int fixed_delay_ = kDefaultFixedDelay;
    int64_t last_tick_ = 0;
};

}  // namespace tellune::macro
