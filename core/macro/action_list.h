#pragma once
// The event rows of the macro being edited: each row holds its event object, which is what
// is saved, and the text its delay edit shows, which becomes the event's delay when the
// macro is saved. At most kMaxRows rows; at most one selected.
//
// A view follows the rows through the Observer: it is told of every row that comes, goes or
// changes, so it never has to rebuild the whole list.

#include <json/json.h>

#include <string>
#include <vector>

namespace tellune::macro {

class ActionList {
public:
    static constexpr int kMaxRows = 2000;

    struct Row {
        Json::Value event;
        std::string delay_text;
    };

    class Observer {
    public:
        virtual ~Observer() = default;
        virtual void rows_reset() {}
        virtual void row_inserted(int /*row*/) {}
        virtual void row_removed(int /*row*/) {}
        // The row's event or delay text changed.
        virtual void row_changed(int /*row*/) {}
        virtual void selection_changed(int /*row*/) {}
    };

    void set_observer(Observer* observer) { observer_ = observer; }

    int size() const { return int(rows_.size()); }
    bool full() const { return size() >= kMaxRows; }
    const Row& row(int index) const { return rows_[size_t(index)]; }
    int selected() const { return selected_; }
    // Out of range: nothing selected.
    void select(int index);

    // One row per element of `events` (an element that is no object becomes an empty event),
    // the first kMaxRows of them; nothing selected.
    void load(const Json::Value& events);
    void clear();

    // Puts `event` at `position` (clamped to the list), its delay text from its "Delay".
    // Rows at and after it move down; the selection follows its row. False when full.
    bool insert(int position, Json::Value event);
    // What the row's delay edit now shows (no notification: the edit is where it came from).
    void set_delay_text(int index, std::string text);
    // The row's event gets this delay, and its edit shows it.
    void set_delay(int index, int delay);
    // The row's event gets this type and button; action and delay stay.
    void set_key(int index, int type, int button);

    // The events as saved: an empty delay edit becomes "0", every delay text is re-formatted
    // as a decimal number and becomes the event's "Delay". Rows whose text changed are
    // updated.
    Json::Value events_for_save();

    // The row operations, on the selected row; false when there is none or nothing moved.
    bool move_up();
    bool move_down();
    bool move_to_top();
    bool move_to_bottom();
    // Nothing is selected afterwards.
    bool remove_selected();
    void remove_all();

    // A row inserted by hand goes right after the selected row; with rows but none selected,
    // after the first; into an empty list, first. It is selected afterwards, except in a list
    // that was empty. Its position, or -1 when the list is full.
    int insert_by_hand(Json::Value event);

private:
    bool move_selected(int to);

    std::vector<Row> rows_;
    int selected_ = -1;
    Observer* observer_ = nullptr;
};

}  // namespace tellune::macro
