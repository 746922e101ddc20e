#include "ui/app/window_scale.h"

#include <QAbstractButton>
#include <QWidget>
#include <iterator>

#include "core/platform/platform.h"

namespace tellune::ui {

int scale_for_monitor(int width, int height) {
    return width > 1500 && height > 960 ? 144 : 96;
}

bool is_valid_scale(int dpi) {
    switch (dpi) {
        case 48:
        case 72:
        case 96:
        case 120:
        case 144:
        case 168:
        case 192:
            return true;
        default:
            return false;
    }
}

int checked_scale(int dpi, const char* error_line) {
    if (is_valid_scale(dpi)) return dpi;
    debug_line(error_line);
    return 96;
}

int fitting_scale(int preferred, QSize base, QSize available) {
    static constexpr int kDescending[] = {192, 168, 144, 120, 96, 72, 48};
    for (int dpi : kDescending) {
        if (dpi > preferred) continue;
        if (scaled(base.width(), dpi) <= available.width() &&
            scaled(base.height(), dpi) <= available.height())
            return dpi;
    }
    return kDescending[std::size(kDescending) - 1];
}

QRect fit_into(QRect rect, const QRect& area) {
    if (!area.isValid()) return rect;
    rect.setSize(rect.size().boundedTo(area.size()));
    if (rect.right() > area.right()) rect.moveRight(area.right());
    if (rect.bottom() > area.bottom()) rect.moveBottom(area.bottom());
    if (rect.left() < area.left()) rect.moveLeft(area.left());
    if (rect.top() < area.top()) rect.moveTop(area.top());
    return rect;
}

namespace {

int scale_length(int length, int dpi) {
    if (length <= 0 || length >= QWIDGETSIZE_MAX) return length;  // "none" and "unbounded"
    return scaled(length, dpi);
}

QSize scale_size(QSize size, int dpi) {
    return {scale_length(size.width(), dpi), scale_length(size.height(), dpi)};
}

QSize base_size(QWidget* w, const char* property, QSize current) {
    const QVariant stored = w->property(property);
    if (stored.isValid()) return stored.toSize();
    w->setProperty(property, current);
    return current;
}

void scale_one(QWidget* w, int dpi) {
    w->setMinimumSize(scale_size(base_size(w, "_tellune_min", w->minimumSize()), dpi));
    w->setMaximumSize(scale_size(base_size(w, "_tellune_max", w->maximumSize()), dpi));
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setIconSize(scale_size(base_size(w, "_tellune_icon", button->iconSize()), dpi));
}

}  // namespace

void scale_fixed_sizes(QWidget* root, int dpi) {
    if (!root) return;
    scale_one(root, dpi);
    for (QWidget* w : root->findChildren<QWidget*>()) scale_one(w, dpi);
}

}  // namespace tellune::ui
