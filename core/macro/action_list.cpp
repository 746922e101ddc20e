#include "core/macro/action_list.h"

#include <algorithm>

#include "core/macro/macro_events.h"

namespace tellune::macro {

void ActionList::select(int index) {
    const int wanted = index >= 0 && index < size() ? index : -1;
    if (wanted == selected_) return;
    selected_ = wanted;
    if (observer_) observer_->selection_changed(selected_);
}

void ActionList::load(const Json::Value& events) {
    rows_.clear();
    selected_ = -1;
    if (events.isArray()) {
        const Json::ArrayIndex n = std::min<Json::ArrayIndex>(events.size(), kMaxRows);
        rows_.reserve(n);
        for (Json::ArrayIndex i = 0; i < n; ++i) {
            Json::Value event = events[i].isObject() ? events[i] : Json::Value(Json::objectValue);
            std::string text = std::to_string(event_delay(event));
            rows_.push_back({std::move(event), std::move(text)});
        }
    }
    if (observer_) observer_->rows_reset();
}

void ActionList::clear() {
    load(Json::Value());
}

bool ActionList::insert(int position, Json::Value event) {
    if (full()) return false;
    if (!event.isObject()) event = Json::Value(Json::objectValue);
    position = std::clamp(position, 0, size());
    std::string text = std::to_string(event_delay(event));
    rows_.insert(rows_.begin() + position, Row{std::move(event), std::move(text)});
    if (selected_ >= position) ++selected_;
    if (observer_) observer_->row_inserted(position);
    return true;
}

void ActionList::set_delay_text(int index, std::string text) {
    if (index >= 0 && index < size()) rows_[size_t(index)].delay_text = std::move(text);
}

void ActionList::set_delay(int index, int delay) {
    if (index < 0 || index >= size()) return;
    Row& r = rows_[size_t(index)];
    set_event_delay(r.event, delay);
    r.delay_text = std::to_string(event_delay(r.event));
    if (observer_) observer_->row_changed(index);
}

void ActionList::set_key(int index, int type, int button) {
    if (index < 0 || index >= size()) return;
    set_event_key(rows_[size_t(index)].event, type, button);
    if (observer_) observer_->row_changed(index);
}

Json::Value ActionList::events_for_save() {
    Json::Value events(Json::arrayValue);
    for (int i = 0; i < size(); ++i) {
        Row& r = rows_[size_t(i)];
        const std::string text = std::to_string(delay_from_text(r.delay_text));
        set_event_delay(r.event, delay_from_text(text));
        if (text != r.delay_text) {
            r.delay_text = text;
            if (observer_) observer_->row_changed(i);
        }
        events.append(r.event);
    }
    return events;
}

bool ActionList::move_selected(int to) {
    const int from = selected_;
    if (from < 0 || from >= size()) return false;
    to = std::clamp(to, 0, size() - 1);
    if (to == from) return false;
    Row moving = std::move(rows_[size_t(from)]);
    rows_.erase(rows_.begin() + from);
    selected_ = -1;
    if (observer_) observer_->row_removed(from);
    rows_.insert(rows_.begin() + to, std::move(moving));
    if (observer_) observer_->row_inserted(to);
    select(to);
    return true;
}

bool ActionList::move_up() {
    return selected_ > 0 && move_selected(selected_ - 1);
}

bool ActionList::move_down() {
    return selected_ >= 0 && move_selected(selected_ + 1);
}

bool ActionList::move_to_top() {
    return move_selected(0);
}

bool ActionList::move_to_bottom() {
    return move_selected(size() - 1);
}

bool ActionList::remove_selected() {
    const int index = selected_;
    if (index < 0 || index >= size()) return false;
    rows_.erase(rows_.begin() + index);
    selected_ = -1;
    if (observer_) observer_->row_removed(index);
    if (observer_) observer_->selection_changed(-1);
    return true;
}

void ActionList::remove_all() {
    clear();
}

int ActionList::insert_by_hand(Json::Value event) {
    const bool was_empty = rows_.empty();
    const int position = selected_ >= 0 ? selected_ + 1 : was_empty ? 0 : 1;
    if (!insert(position, std::move(event))) return -1;
    if (!was_empty) select(position);
    return position;
}

}  // namespace tellune::macro
