// Where Print Form puts the form on each kind of paper a front desk has.

#include "form/page_placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace {

using tarnwick::PagePlacement;
using tarnwick::PrintableArea;

constexpr double millimetre = 96 / 25.4; // in 96 dpi pixels
constexpr double inch = 96;
constexpr double formWidth = 432; // the window at 96 dpi
constexpr double formHeight = 272;

struct Paper {
    const char* name;
    PrintableArea area;
    std::optional<double> scale; // none: no place on it
};

class PagePlacementTest : public testing::TestWithParam<Paper> { };

TEST_P(PagePlacementTest, fits_the_whole_form_at_the_top_left_no_larger_than_on_screen)
{
    const Paper& paper = GetParam();
    const std::optional<PagePlacement> placed = tarnwick::placeOnPage(formWidth, formHeight, paper.area);
    ASSERT_EQ(placed.has_value(), paper.scale.has_value());
    if (!placed)
        return;
    EXPECT_NEAR(placed->scale, *paper.scale, 1e-9);
    EXPECT_EQ(placed->left, 0);
    EXPECT_EQ(placed->top, 0);
}

const double nan = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();

const Paper papers[] = {
    // Sheets hold the form at its size.
    {"Letter", {8 * inch, 10.5 * inch}, 1.0},
    {"A4", {200 * millimetre, 287 * millimetre}, 1.0},
    {"exactly_the_form", {formWidth, formHeight}, 1.0},
    // Rolls take it across their printable width.
    {"roll_80mm", {72 * millimetre, 3000 * millimetre}, 72 * millimetre / formWidth},
    {"roll_58mm", {48 * millimetre, 3000 * millimetre}, 48 * millimetre / formWidth},
    // A wide label is short before it is narrow: its height decides.
    {"label_4x2in_landscape", {3.9 * inch, 1.9 * inch}, 1.9 * inch / formHeight},
    {"tiny_but_usable", {10, 10}, 10 / formWidth},
    // A printer that reports no paper has no place for it.
    {"no_width", {0, 10 * inch}, std::nullopt},
    {"no_height", {8 * inch, 0}, std::nullopt},
    {"negative_width", {-1, 10 * inch}, std::nullopt},
    {"not_a_number", {nan, 10 * inch}, std::nullopt},
    {"infinite", {infinity, 10 * inch}, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Papers, PagePlacementTest, testing::ValuesIn(papers),
    [](const testing::TestParamInfo<Paper>& info) { return std::string(info.param.name); });

} // namespace
