#include "ui/controls/select_panel.h"

#include <QChildEvent>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyleOption>
#include <QSvgRenderer>
#include <QVariant>
#include <algorithm>
#include <vector>

#include "ui/controls/device_key_button.h"

namespace tellune::ui {

CSelectPanelUI::CSelectPanelUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground);
}

void CSelectPanelUI::set_picture(const QString& image) {
    picture_ = image;
    rendered_ = QImage();
    update();
}

void CSelectPanelUI::set_fill_colour(const QString& colour) {
    fill_ = QColor(colour);
    setAttribute(Qt::WA_OpaquePaintEvent, fill_.isValid());
    rendered_ = QImage();
    update();
}

void CSelectPanelUI::set_design_size(const QSize& size) {
    design_size_ = size;
    updateGeometry();
    place_children();
}

void CSelectPanelUI::set_keep_aspect(bool keep) {
    keep_aspect_ = keep;
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(keep);
    setSizePolicy(policy);
    updateGeometry();
}

QSize CSelectPanelUI::sizeHint() const {
    return keep_aspect_ && !design_size_.isEmpty() ? design_size_ : QWidget::sizeHint();
}

bool CSelectPanelUI::hasHeightForWidth() const {
    return keep_aspect_ && !design_size_.isEmpty();
}

int CSelectPanelUI::heightForWidth(int width) const {
    if (!hasHeightForWidth()) return QWidget::heightForWidth(width);
    return qRound(double(width) * design_size_.height() / design_size_.width());
}

void CSelectPanelUI::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    place_children();
}

void CSelectPanelUI::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    choose_drawn_children();
}

void CSelectPanelUI::choose_drawn_children() {
    // A button that overlaps no other button is drawn by the panel: a whole LED frame is
    // then one paint of the panel instead of one paint per LED. Overlapping buttons stay
    // widgets of their own, so Qt keeps their stacking order.
    std::vector<CDeviceKeyButtonUI*> buttons;
    for (QObject* child : children())
        if (auto* button = qobject_cast<CDeviceKeyButtonUI*>(child)) buttons.push_back(button);
    for (CDeviceKeyButtonUI* button : buttons) {
        bool alone = true;
        for (const CDeviceKeyButtonUI* other : buttons)
            if (alone && other != button && other->geometry().intersects(button->geometry()))
                alone = false;
        button->set_drawn_by_panel(alone);
    }
}

void CSelectPanelUI::place_children() {
    if (design_size_.isEmpty()) {
        choose_drawn_children();
        return;
    }
    const double sx = double(width()) / design_size_.width();
    const double sy = double(height()) / design_size_.height();
    for (QObject* child : children()) {
        auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!button) continue;
        // The place the layout gave, kept so repeated resizes do not drift.
        QVariant base = button->property("basegeometry");
        if (!base.isValid()) {
            base = button->geometry();
            button->setProperty("basegeometry", base);
        }
        const QRect g = base.toRect();
        button->setGeometry(qRound(g.x() * sx), qRound(g.y() * sy), qRound(g.width() * sx),
                            qRound(g.height() * sy));
    }
    choose_drawn_children();
}

const QImage& CSelectPanelUI::rendered() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if ((picture_.isEmpty() && !fill_.isValid()) ||
        (!rendered_.isNull() && rendered_.size() == pixels &&
         rendered_.devicePixelRatio() == ratio))
        return rendered_;
    rendered_ = QImage(
        pixels, fill_.isValid() ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    rendered_.setDevicePixelRatio(ratio);
    rendered_.fill(fill_.isValid() ? fill_ : QColor(Qt::transparent));
    if (picture_.isEmpty()) return rendered_;
    const QString path =
        QDir::isAbsolutePath(picture_) ? picture_ : CDeviceKeyButtonUI::image_folder() + picture_;
    QPainter target(&rendered_);
    target.setRenderHint(QPainter::SmoothPixmapTransform);
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer svg(path);
        if (svg.isValid()) svg.render(&target, QRectF(rect()));
    } else {
        const QPixmap pixmap(path);
        if (!pixmap.isNull()) target.drawPixmap(rect(), pixmap);
    }
    return rendered_;
}

void CSelectPanelUI::paintEvent(QPaintEvent* e) {
    QPainter painter(this);
    if (fill_.isValid()) {
        paint_opaque(painter, e->region());
        return;
    }
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    if (!picture_.isEmpty())
        for (const QRect& r : e->region()) draw_picture(painter, r);
    const QRect changed = e->rect();
    for (QObject* child : children()) {
        auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!button || !button->drawn_by_panel() || button->isHidden()) continue;
        if (button->geometry().intersects(changed)) paint_key(painter, button);
    }
}

void CSelectPanelUI::paint_opaque(QPainter& painter, const QRegion& region) {
    const QImage& picture = rendered();
    const qreal ratio = picture.devicePixelRatio();
    std::vector<CDeviceKeyButtonUI*> keys;
    const QRect changed = region.boundingRect();
    for (QObject* child : children()) {
        auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (button && button->drawn_by_panel() && !button->isHidden() &&
            button->geometry().intersects(changed))
            keys.push_back(button);
    }
    // A key repainting alone (hover, a click) asks for its own rectangle: its opaque look
    // has the picture in it already.
    for (const QRect& r : region)
        if (std::none_of(keys.begin(), keys.end(),
                         [&r](const CDeviceKeyButtonUI* key) { return key->geometry() == r; }))
            draw_picture(painter, r);
    for (CDeviceKeyButtonUI* key : keys) {
        const QRect g = key->geometry();
        if (const QImage* look =
                key->opaque_look(picture, (QPointF(g.topLeft()) * ratio).toPoint())) {
            painter.drawImage(g.topLeft(), *look);
            continue;
        }
        draw_picture(painter, g);
        paint_key(painter, key);
    }
}

void CSelectPanelUI::draw_picture(QPainter& painter, const QRect& r) {
    const QImage& picture = rendered();
    const qreal ratio = picture.devicePixelRatio();
    painter.drawImage(QRectF(r), picture,
                      QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
}

void CSelectPanelUI::paint_key(QPainter& painter, CDeviceKeyButtonUI* key) {
    // The look is exactly the button's size: no clip and no saved state needed, which
    // counts when a whole keyboard of keys repaints every frame.
    const QPoint at = key->geometry().topLeft();
    painter.translate(at);
    key->paint_look(painter);
    painter.translate(-at);
}

void CSelectPanelUI::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
    press(e->position().toPoint());
    e->accept();
}

void CSelectPanelUI::mouseMoveEvent(QMouseEvent* e) {
    QWidget::mouseMoveEvent(e);
    move(e->position().toPoint());
}

void CSelectPanelUI::mouseReleaseEvent(QMouseEvent* e) {
    QWidget::mouseReleaseEvent(e);
    release();
}

void CSelectPanelUI::childEvent(QChildEvent* e) {
    QWidget::childEvent(e);
    // The child is not fully made yet: which kind it is shows when its events come.
    if (e->added() && e->child()->isWidgetType()) e->child()->installEventFilter(this);
}

bool CSelectPanelUI::eventFilter(QObject* watched, QEvent* e) {
    auto* button = qobject_cast<CDeviceKeyButtonUI*>(watched);
    if (!button || button->parent() != this) return QWidget::eventFilter(watched, e);
    // A press on a key grabs the mouse for that key; the panel watches its events so that
    // a drag from there still selects. The key keeps its own handling.
    switch (e->type()) {
        case QEvent::MouseButtonPress:
            press(button->mapToParent(static_cast<QMouseEvent*>(e)->position().toPoint()));
            break;
        case QEvent::MouseMove:
            move(button->mapToParent(static_cast<QMouseEvent*>(e)->position().toPoint()));
            break;
        case QEvent::MouseButtonRelease:
            release();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, e);
}

void CSelectPanelUI::press(QPoint at) {
    if (!isEnabled()) return;
    armed_ = true;
    start_ = at;
}

void CSelectPanelUI::move(QPoint at) {
    if (armed_) dragging_ = true;
    if (!dragging_) return;
    current_ = at;
    selection_ = {std::min(start_.x(), current_.x()), std::min(start_.y(), current_.y()),
                  std::max(start_.x(), current_.x()), std::max(start_.y(), current_.y())};
    update();
}

void CSelectPanelUI::release() {
    armed_ = false;
    if (!dragging_) return;  // a click without movement selects nothing
    dragging_ = false;
    start_ = current_;
    mark_children();
    update();
    emit controlNotify(QStringLiteral("click_select_end"));
}

void CSelectPanelUI::mark_children() {
    for (QObject* child : children()) {
        // Only the panel's own key buttons; buttons of nested panels belong to those.
        auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!button || button->GetClass() != QLatin1String(CDeviceKeyButtonUI::kClassName))
            continue;
        const QRect g = button->geometry();
        const SelectionRect r{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
        button->SetPanelSelected(r.shares_area_with(selection_));
    }
}

}  // namespace tellune::ui
