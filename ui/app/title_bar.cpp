#include "ui/app/title_bar.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace tellune::ui {

TitleBarMover::TitleBarMover(QWidget* bar, QWidget* window, bool allow_maximise)
    : QObject(bar), window_(window), allow_maximise_(allow_maximise) {
    bar->installEventFilter(this);
}

bool TitleBarMover::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && window_->windowHandle()) {
            window_->windowHandle()->startSystemMove();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonDblClick && allow_maximise_) {
        if (window_->isMaximized())
            window_->showNormal();
        else
            window_->showMaximized();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tellune::ui
