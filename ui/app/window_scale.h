#pragma once
// Interface scale rules shared by the windows.

#include <QRect>
#include <QSize>

class QWidget;

namespace tellune::ui {

// Base size of the main window at 96 dots per inch.
inline constexpr int kMainWidth = 1000;
inline constexpr int kMainHeight = 640;

// 144 dots per inch on a monitor larger than 1500 x 960, else 96.
int scale_for_monitor(int width, int height);

// Whether the windows can be laid out at `dpi`: 48, 72, 96, 120, 144, 168 or 192.
bool is_valid_scale(int dpi);

// `dpi` when valid; else 96, with `error_line` written as a debug line.
int checked_scale(int dpi, const char* error_line);

// The largest valid scale, not above `preferred`, at which `base` (its size at 96 dots per
// inch) fits into `available`; 48, the smallest, when none does.
int fitting_scale(int preferred, QSize base, QSize available);

// `rect` moved, and shrunk where it is larger, so that it lies inside `area`.
QRect fit_into(QRect rect, const QRect& area);

// `length` at 96 dots per inch, scaled to `dpi`.
inline int scaled(int length, int dpi) {
    return length * dpi / 96;
}

// Scales the fixed sizes the layouts give (minimum and maximum sizes, icon sizes) of `root`
// and its descendants to `dpi`. The sizes first seen are kept as the 96 dpi base, so
// scaling again does not compound.
void scale_fixed_sizes(QWidget* root, int dpi);

}  // namespace tellune::ui
