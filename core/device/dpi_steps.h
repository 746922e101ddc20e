#pragma once
// The mouse stores a stage's sensitivity as a slider step 0..139, not as DPI: steps 0..119 are
// 100..12000 DPI in steps of 100, steps 120..139 are 12200..16000 DPI in steps of 200.

#include <string_view>

namespace tellune::device {

inline constexpr int kDpiStepMax = 139;
inline constexpr int kDpiMin = 100;
inline constexpr int kDpiMax = 16000;

// The DPI a step shows; steps outside 0..139 are clamped first.
int dpi_from_step(int step);
// The step of a DPI value, clamped to 100..16000 first; 12001..12199 fall back to 12000.
int step_from_dpi(int dpi);
// A typed value: a decimal number, empty text counting as 0 (so it clamps to 100). Anything
// after the leading digits is ignored; a value too large for an int clamps to 16000.
int dpi_from_text(std::string_view text);

}  // namespace tellune::device
