#include "ui/app/window_scale.h"

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

}  // namespace tellune::ui
