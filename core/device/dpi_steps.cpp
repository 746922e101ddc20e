#include "core/device/dpi_steps.h"

#include <algorithm>
#include <cctype>

namespace tellune::device {

int dpi_from_step(int step) {
    step = std::clamp(step, 0, kDpiStepMax);
    return step < 120 ? 100 + 100 * step : 200 * step - 11800;
}

int step_from_dpi(int dpi) {
    dpi = std::clamp(dpi, kDpiMin, kDpiMax);
    return dpi <= 12000 ? dpi / 100 - 1 : (dpi - 12000) / 200 + 119;
}

int dpi_from_text(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kDpiMax) return kDpiMax;  // stops before any overflow
    }
    return std::clamp(static_cast<int>(value), kDpiMin, kDpiMax);
}

}  // namespace tellune::device
