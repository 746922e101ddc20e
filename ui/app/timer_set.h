#pragma once
// Single-shot timers addressed by number, the way the windows and selector entries use them:
// starting a running timer restarts it; a timer fires once unless its handler starts it again.

#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>

namespace tellune::ui {

class TimerSet {
public:
    // `owner` parents the timers; `fired` runs on the owner's thread with the timer's number.
    TimerSet(QObject* owner, std::function<void(int)> fired)
        : owner_(owner), fired_(std::move(fired)) {}

    void start(int id, int ms) {
        QTimer*& timer = timers_[id];
        if (!timer) {
            timer = new QTimer(owner_);
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, owner_, [this, id] { fired_(id); });
        }
        timer->start(ms);
    }
    void kill(int id) {
        if (QTimer* timer = timers_.value(id)) timer->stop();
    }
    bool active(int id) const {
        const QTimer* timer = timers_.value(id);
        return timer && timer->isActive();
    }
    void kill_all() {
        for (QTimer* timer : std::as_const(timers_)) timer->stop();
    }

private:
    QObject* owner_;
    std::function<void(int)> fired_;
    QHash<int, QTimer*> timers_;
};

}  // namespace tellune::ui
