#pragma once
// Name-based routing of notifications: a table of (name or prefix) -> handler, searched in
// order, first match wins. The shell fills its own entries; device pages and editors add
// theirs. Names nobody claimed fall through.

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "ui/app/notification_pump.h"

namespace tellune::ui {

enum class Match {
    NoCase,  // whole name, letter case ignored
    Exact,   // whole name, letter case significant
    Prefix,  // prefix (case ignored) followed by a decimal index: "DPI_slider_" + 3
};

class RouteTable {
public:
    // `index` is the number after a prefix, -1 for whole-name entries.
    using Handler = std::function<void(const Notification& n, int index)>;
    // Like a handler, but may decline (return false): the search then goes on to the next
    // matching entry. For a name several pages share, each taking only its own page.
    using Filter = std::function<bool(const Notification& n, int index)>;

    void add(const QString& name, Match match, Handler handler);
    // Puts an entry before all others, so it overrides an earlier one for the same name.
    void add_front(const QString& name, Match match, Handler handler);
    // A declining entry, before all others.
    void add_filter_front(const QString& name, Match match, Filter filter);

    // Runs the first matching handler that does not decline; false when none took it.
    bool dispatch(const Notification& n) const;
    // The index of the first matching entry's name, or nothing. Prefix entries give the
    // parsed index, whole-name entries -1.
    std::optional<int> match(const QString& name) const;
    size_t size() const { return entries_.size(); }

    // The decimal index after `prefix` (case ignored): "DPI_slider_3" -> 3. Nothing when
    // the prefix differs or the rest is empty, not all digits, or too long for an int.
    static std::optional<int> index_after_prefix(const QString& name, const QString& prefix);

private:
    struct Entry {
        QString name;
        Match match;
        Handler handler;
        Filter filter;
    };
    // The first matching entry from `from` on.
    const Entry* find(const QString& name, int* index, size_t from = 0) const;

    std::vector<Entry> entries_;
};

}  // namespace tellune::ui
