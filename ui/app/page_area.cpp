#include "ui/app/page_area.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QWheelEvent>

namespace tellune::ui {

PageArea::PageArea(QStackedWidget* pages, QScrollArea* scroll)
    : QObject(pages), pages_(pages), scroll_(scroll) {
    pages->installEventFilter(this);
    connect(pages, &QStackedWidget::currentChanged, this, [this] {
        fit_to_current();
        // A new page starts at its top.
        if (scroll_) {
            scroll_->verticalScrollBar()->setValue(0);
            scroll_->horizontalScrollBar()->setValue(0);
        }
    });
    fit_to_current();
}

namespace {

constexpr char kWheelWatched[] = "_tellune_wheel_watched";
// Set while the control has a focus the user gave it (click, Tab, shortcut); a focus that
// only moved there when a page changed does not count.
constexpr char kChosen[] = "_tellune_chosen";

bool takes_wheel_values(const QWidget* w) {
    return (qobject_cast<const QAbstractSlider*>(w) && !qobject_cast<const QScrollBar*>(w)) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w);
}

}  // namespace

bool PageArea::eventFilter(QObject* watched, QEvent* event) {
    // A page just added may not be current: it must not widen the stack.
    if (watched == pages_ && event->type() == QEvent::ChildAdded)
        QTimer::singleShot(0, this, [this] { fit_to_current(); });
    if (watched == pages_) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::FocusIn:
            switch (static_cast<QFocusEvent*>(event)->reason()) {
                case Qt::MouseFocusReason:
                case Qt::TabFocusReason:
                case Qt::BacktabFocusReason:
                case Qt::ShortcutFocusReason:
                    watched->setProperty(kChosen, true);
                    break;
                case Qt::ActiveWindowFocusReason:  // back to the window: as it was
                    break;
                default:
                    watched->setProperty(kChosen, false);
                    break;
            }
            break;
        case QEvent::FocusOut:
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason)
                watched->setProperty(kChosen, false);
            break;
        case QEvent::Wheel: {
            auto* w = qobject_cast<QWidget*>(watched);
            if (!w || !scroll_) break;
            if (w->hasFocus() && w->property(kChosen).toBool()) break;
            QScrollBar* bar = static_cast<QWheelEvent*>(event)->angleDelta().y() != 0
                                  ? scroll_->verticalScrollBar()
                                  : scroll_->horizontalScrollBar();
            if (bar->maximum() <= bar->minimum()) break;
            QCoreApplication::sendEvent(bar, event);
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void PageArea::watch_wheel(QWidget* page) {
    if (!page) return;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!takes_wheel_values(w) || w->property(kWheelWatched).toBool()) continue;
        w->setProperty(kWheelWatched, true);
        w->installEventFilter(this);
    }
}

QStackedWidget* PageArea::pages() const {
    return qobject_cast<QStackedWidget*>(pages_.data());
}

void PageArea::fit_to_current() {
    QStackedWidget* stack = pages();
    if (!stack) return;
    QWidget* current = stack->currentWidget();
    for (int i = 0; i < stack->count(); ++i) {
        QWidget* page = stack->widget(i);
        QSizePolicy policy = page->sizePolicy();
        const auto mode = page == current ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        if (policy.horizontalPolicy() == mode && policy.verticalPolicy() == mode) continue;
        policy.setHorizontalPolicy(mode);
        policy.setVerticalPolicy(mode);
        page->setSizePolicy(policy);
    }
    watch_wheel(current);
    stack->updateGeometry();
}

}  // namespace tellune::ui
