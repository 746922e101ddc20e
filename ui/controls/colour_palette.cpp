#include "ui/controls/colour_palette.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace tellune::ui {

CColourPaletteUI::CColourPaletteUI(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::CrossCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CColourPaletteUI::set_colour(uint32_t argb) {
    alpha_ = argb & 0xFF000000u;
    rgb_ = argb & 0xFFFFFFu;
    const QColor c = QColor::fromRgb(QRgb(rgb_));
    int h = 0, s = 0, v = 0;
    c.getHsv(&h, &s, &v);
    if (h >= 0) hue_ = h;  // -1 for greys: keep the hue the user had
    if (v > 0) saturation_ = s;
    value_ = v;
    update();
}

uint32_t CColourPaletteUI::colour() const {
    return alpha_ | rgb_;
}

QRect CColourPaletteUI::field_rect() const {
    const QRect r = rect().adjusted(1, 1, -1, -1);
    return QRect(r.left(), r.top(), std::max(1, r.width() - kStripWidth - kGap), r.height());
}

QRect CColourPaletteUI::strip_rect() const {
    const QRect f = field_rect();
    return QRect(f.right() + 1 + kGap, f.top(), kStripWidth, f.height());
}

void CColourPaletteUI::build_field() {
    const QRect f = field_rect();
    field_ = QImage(f.size(), QImage::Format_RGB32);
    const int w = std::max(1, f.width() - 1), h = std::max(1, f.height() - 1);
    for (int y = 0; y < f.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(field_.scanLine(y));
        const int s = 255 - y * 255 / h;
        for (int x = 0; x < f.width(); ++x)
            line[x] = QColor::fromHsv(std::min(359, x * 359 / w), s, 255).rgb();
    }
}

void CColourPaletteUI::resizeEvent(QResizeEvent* event) {
    field_ = QImage();
    QWidget::resizeEvent(event);
}

void CColourPaletteUI::paintEvent(QPaintEvent*) {
    if (field_.isNull() || field_.size() != field_rect().size()) build_field();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect f = field_rect();
    const QRect s = strip_rect();

    QPainterPath clip;
    clip.addRoundedRect(f, 4, 4);
    p.save();
    p.setClipPath(clip);
    p.drawImage(f.topLeft(), field_);
    // The field shows full value; darken it to the chosen value so it matches the colour.
    p.fillRect(f, QColor(0, 0, 0, 255 - value_));
    p.restore();

    QLinearGradient strip(s.topLeft(), s.bottomLeft());
    strip.setColorAt(0, QColor::fromHsv(hue_, saturation_, 255));
    strip.setColorAt(1, Qt::black);
    p.setPen(QColor(0x34, 0x3a, 0x43));
    p.setBrush(strip);
    p.drawRoundedRect(s, 4, 4);

    // Markers: a ring at the hue/saturation, a bar at the value.
    const int w = std::max(1, f.width() - 1), h = std::max(1, f.height() - 1);
    const QPointF at(f.left() + hue_ * w / 359.0, f.top() + (255 - saturation_) * h / 255.0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 3));
    p.drawEllipse(at, 6, 6);
    p.setPen(QPen(Qt::white, 1.5));
    p.drawEllipse(at, 6, 6);
    const double vy = s.top() + (255 - value_) * std::max(1, s.height() - 1) / 255.0;
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(QPointF(s.left() - 3, vy), QPointF(s.right() + 3, vy));
    // A disabled palette looks it, like the rest of the panel.
    if (!isEnabled()) p.fillRect(rect(), QColor(0x17, 0x19, 0x1d, 170));
}

void CColourPaletteUI::pick(const QPoint& pos) {
    if (drag_ == Drag::Field) {
        const QRect f = field_rect();
        const int w = std::max(1, f.width() - 1), h = std::max(1, f.height() - 1);
        const int x = std::clamp(pos.x() - f.left(), 0, w);
        const int y = std::clamp(pos.y() - f.top(), 0, h);
        hue_ = std::min(359, x * 359 / w);
        saturation_ = 255 - y * 255 / h;
        // Picking a hue on a black colour would change nothing visible.
        if (value_ == 0) value_ = 255;
    } else if (drag_ == Drag::Strip) {
        const QRect s = strip_rect();
        const int h = std::max(1, s.height() - 1);
        value_ = 255 - std::clamp(pos.y() - s.top(), 0, h) * 255 / h;
    }
    update_colour();
}

void CColourPaletteUI::update_colour() {
    rgb_ = QColor::fromHsv(hue_, saturation_, value_).rgb() & 0xFFFFFFu;
    update();
}

void CColourPaletteUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const QPoint pos = event->position().toPoint();
    if (strip_rect().adjusted(-4, 0, 4, 0).contains(pos))
        drag_ = Drag::Strip;
    else if (field_rect().contains(pos))
        drag_ = Drag::Field;
    else
        return;
    pick(pos);
}

void CColourPaletteUI::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ != Drag::None) pick(event->position().toPoint());
}

void CColourPaletteUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_ == Drag::None) return;
    pick(event->position().toPoint());
    drag_ = Drag::None;
    // One notification per pick: each one is written to the device.
    emit colorChanged(QColor::fromRgb(QRgb(rgb_)));
}

}  // namespace tellune::ui
