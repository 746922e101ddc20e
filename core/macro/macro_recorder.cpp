#include "core/macro/macro_recorder.h"

#include <algorithm>
#include <chrono>

#include "core/macro/macro_events.h"

namespace tellune::macro {

RecordingMemory& shared_recording_memory() {
    static RecordingMemory memory;
    return memory;
}

MacroRecorder::MacroRecorder(ActionList& list, Clock clock, RecordingMemory& memory)
    : list_(list), memory_(memory) {
    set_clock(std::move(clock));
}

void MacroRecorder::set_clock(Clock clock) {
    clock_ = clock ? std::move(clock) : [] {
        return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
    };
}

void MacroRecorder::start(int mode, int kind, std::optional<int> fixed_delay) {
    mode_ = mode;
    kind_ = kind;
    if (kind == kFixed && fixed_delay) fixed_delay_ = std::clamp(*fixed_delay, 0, kMaxDelay);
    last_tick_ = clock_();
    memory_ = RecordingMemory{};
    recording_ = true;
}

void MacroRecorder::stop() {
    recording_ = false;
}

int MacroRecorder::measured_delay() {
    switch (kind_) {
        case kFixed:
            return fixed_delay_;
        case kIgnored:
            return 0;
        default: {
            const int64_t now = clock_();
            const int64_t elapsed = now - last_tick_;
            last_tick_ = now;
            return int(std::clamp<int64_t>(elapsed, 0, kMaxDelay));
        }
    }
}

bool MacroRecorder::key_event(uint8_t scan, bool extended, bool down) {
    if (!recording_) return false;
    const std::pair<uint8_t, bool> key{scan, extended};
    if (down) {
        if (memory_.last_down == key) return false;  // the key repeats while it is held
        memory_.last_down = key;
    } else if (memory_.last_down == key) {
        memory_.last_down.reset();
    }
    const std::optional<EventKey> found = key_for_scan(scan, extended);
    if (!found) return false;
    if (mode_ == kRekey) {
        rekey(found->type, found->button);
        return false;
    }
    return record(found->type, found->button, down);
}

bool MacroRecorder::mouse_event(int message, int xbutton, bool on_stop) {
    if (!recording_) return false;
    const int row = mouse_row(message, xbutton);
    if (row < 0) return false;
    // Two presses without a release in between make one row. Rows, not messages, are
    // compared: the back and forward buttons share their messages.
    if (row == memory_.last_mouse_row) return false;
    if (on_stop && (message == kMsgLeftDown || message == kMsgLeftUp)) return false;
    memory_.last_mouse_row = row;
    const EventKey key = mouse_row_key(row);
    if (mode_ == kRekey) {
        rekey(key.type, key.button);
        return false;
    }
    return record(key.type, key.button, mouse_row_down(row));
}

bool MacroRecorder::record(int type, int button, bool down) {
    if (list_.full()) return false;
    int position = 0;
    switch (mode_) {
        case kAppend:
            position = list_.size();
            break;
        case kBefore:
            if (list_.selected() < 0) return false;
            position = list_.selected();
            break;
        case kAfter:
            if (list_.selected() < 0) return false;
            position = list_.selected() + 1;
            break;
        default:
            return false;
    }
    const int pause = measured_delay();
    list_.insert(position, make_event(type, button, down, kind_ == kFixed ? fixed_delay_ : 0));
    if (position > 0) list_.set_delay(position - 1, pause);
    if (mode_ == kAppend || mode_ == kAfter) list_.select(position);
    return true;
}

void MacroRecorder::rekey(int type, int button) {
    if (list_.selected() >= 0) list_.set_key(list_.selected(), type, button);
}

}  // namespace tellune::macro
