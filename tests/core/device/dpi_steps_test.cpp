#include "core/device/dpi_steps.h"

#include <gtest/gtest.h>

namespace tellune::device {
namespace {

TEST(DpiSteps, StepsShowTheirDpiOnBothScales) {
    EXPECT_EQ(dpi_from_step(0), 100);
    EXPECT_EQ(dpi_from_step(3), 400);
    EXPECT_EQ(dpi_from_step(119), 12000);
    EXPECT_EQ(dpi_from_step(120), 12200);
    EXPECT_EQ(dpi_from_step(139), 16000);
    EXPECT_EQ(dpi_from_step(-5), 100);
    EXPECT_EQ(dpi_from_step(200), 16000);
}

TEST(DpiSteps, TypedValuesClampAndRoundDown) {
    EXPECT_EQ(step_from_dpi(dpi_from_text("50")), 0);
    EXPECT_EQ(dpi_from_step(step_from_dpi(dpi_from_text("50"))), 100);
    EXPECT_EQ(step_from_dpi(dpi_from_text("20000")), 139);
    EXPECT_EQ(dpi_from_step(step_from_dpi(dpi_from_text("12150"))), 12000);
    EXPECT_EQ(step_from_dpi(12199), 119);
    EXPECT_EQ(step_from_dpi(12200), 120);
    EXPECT_EQ(step_from_dpi(12399), 120);
    EXPECT_EQ(step_from_dpi(1650), 15);  // 1600 DPI
    EXPECT_EQ(dpi_from_text(""), 100);
    EXPECT_EQ(dpi_from_text("  800 dpi"), 800);
    EXPECT_EQ(dpi_from_text("-800"), 100);
    EXPECT_EQ(dpi_from_text("99999999999999999999"), 16000);
}

TEST(DpiSteps, EveryStepSurvivesTheRoundTrip) {
    for (int step = 0; step <= kDpiStepMax; ++step)
        EXPECT_EQ(step_from_dpi(dpi_from_step(step)), step) << step;
}

}  // namespace
}  // namespace tellune::device
