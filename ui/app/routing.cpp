#include "ui/app/routing.h"

namespace tellune::ui {

void RouteTable::add(const QString& name, Match match, Handler handler) {
    entries_.push_back({name, match, std::move(handler), {}});
}

void RouteTable::add_front(const QString& name, Match match, Handler handler) {
    entries_.insert(entries_.begin(), Entry{name, match, std::move(handler), {}});
}

void RouteTable::add_filter_front(const QString& name, Match match, Filter filter) {
    entries_.insert(entries_.begin(), Entry{name, match, {}, std::move(filter)});
}

std::optional<int> RouteTable::index_after_prefix(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix, Qt::CaseInsensitive)) return std::nullopt;
    const QStringView rest = QStringView(name).mid(prefix.size());
    // Nine digits always fit an int.
    if (rest.isEmpty() || rest.size() > 9) return std::nullopt;
    int value = 0;
    for (QChar c : rest) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

const RouteTable::Entry* RouteTable::find(const QString& name, int* index, size_t from) const {
    for (size_t at = from; at < entries_.size(); ++at) {
        const Entry& e = entries_[at];
        switch (e.match) {
            case Match::Exact:
                if (name == e.name) return *index = -1, &e;
                break;
            case Match::NoCase:
                if (name.compare(e.name, Qt::CaseInsensitive) == 0) return *index = -1, &e;
                break;
            case Match::Prefix:
                if (auto i = index_after_prefix(name, e.name)) return *index = *i, &e;
                break;
        }
    }
    return nullptr;
}

std::optional<int> RouteTable::match(const QString& name) const {
    int index = -1;
    if (!find(name, &index)) return std::nullopt;
    return index;
}

bool RouteTable::dispatch(const Notification& n) const {
    int index = -1;
    for (const Entry* entry = find(n.sender, &index); entry;) {
        // A handler may add entries; run a copy so the table can grow underneath it.
        if (!entry->filter) {
            const Handler handler = entry->handler;
            if (handler) handler(n, index);
            return true;
        }
        const size_t next = size_t(entry - entries_.data()) + 1;
        const Filter filter = entry->filter;
        if (filter(n, index)) return true;
        // Entries the filter added at the back are searched too.
        entry = find(n.sender, &index, next);
    }
    return false;
}

}  // namespace tellune::ui
