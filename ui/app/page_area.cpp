#include "ui/app/page_area.h"

#include <QChildEvent>
#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>

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

bool PageArea::eventFilter(QObject* watched, QEvent* event) {
    // A page just added may not be current: it must not widen the stack.
    if (watched == pages_ && event->type() == QEvent::ChildAdded)
        QTimer::singleShot(0, this, [this] { fit_to_current(); });
    return QObject::eventFilter(watched, event);
}

void PageArea::fit_to_current() {
    if (!pages_) return;
    QWidget* current = pages_->currentWidget();
    for (int i = 0; i < pages_->count(); ++i) {
        QWidget* page = pages_->widget(i);
        QSizePolicy policy = page->sizePolicy();
        const auto mode = page == current ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        if (policy.horizontalPolicy() == mode && policy.verticalPolicy() == mode) continue;
        policy.setHorizontalPolicy(mode);
        policy.setVerticalPolicy(mode);
        page->setSizePolicy(policy);
    }
    pages_->updateGeometry();
}

}  // namespace tellune::ui
