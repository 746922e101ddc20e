#include "ui/controls/circle_progress.h"

#include <QPainter>
#include <QTimer>
#include <algorithm>

namespace tellune::ui {

CCircleProgressUI::CCircleProgressUI(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    timer_->setInterval(40);
    connect(timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 12) % 360;
        update();
    });
    setMinimumSize(16, 16);
}

void CCircleProgressUI::set_value(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == value_) return;
    value_ = percent;
    update();
}

void CCircleProgressUI::set_busy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    update_timer();
    update();
}

void CCircleProgressUI::set_colour(const QColor& colour) {
    colour_ = colour;
    update();
}

void CCircleProgressUI::update_timer() {
    // Turning costs a repaint every 40 ms: only while it can be seen.
    if (busy_ && isVisible())
        timer_->start();
    else
        timer_->stop();
}

void CCircleProgressUI::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    update_timer();
}

void CCircleProgressUI::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    update_timer();
}

void CCircleProgressUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    const int pen = std::max(2, side / 8);
    const QRectF ring((width() - side) / 2.0 + pen / 2.0, (height() - side) / 2.0 + pen / 2.0,
                      side - pen, side - pen);
    QColor track = colour_;
    track.setAlpha(60);
    p.setPen(QPen(track, pen));
    p.drawEllipse(ring);
    p.setPen(QPen(colour_, pen, Qt::SolidLine, Qt::RoundCap));
    if (busy_)
        p.drawArc(ring, -angle_ * 16, 100 * 16);
    else if (value_ > 0)
        p.drawArc(ring, 90 * 16, -value_ * 360 * 16 / 100);
}

}  // namespace tellune::ui
