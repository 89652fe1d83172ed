#include "logic/format_currency.h"
#include "logic_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using tarnwick::Currency;
using tarnwick::MoneyFormat;
using tarnwick::regionalDigits;
using tarnwick::test::CaseName;
using tarnwick::test::usMoneyFormat;
using Position = MoneyFormat::SignPosition;
using Spacing = MoneyFormat::Spacing;

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();

template <class Change> MoneyFormat usWith(Change change)
{
    MoneyFormat format = usMoneyFormat();
    change(format);
    return format;
}

const MoneyFormat us = usMoneyFormat();
const MoneyFormat yen = usWith([](MoneyFormat& f) {
    f.currencySymbol = "¥";
    f.fractionDigits = 0;
});
const MoneyFormat dinar = usWith([](MoneyFormat& f) {
    f.currencySymbol = "KD";
    f.fractionDigits = 3;
});

const MoneyFormat noLeadingZero = usWith([](MoneyFormat& f) { f.leadingZero = false; });
const MoneyFormat groupingStopsAtZero = usWith([](MoneyFormat& f) { f.grouping = {3, 0}; });

struct FormatCase {
    const char* name;
    MoneyFormat format;
    std::int64_t scaled;
    int digits;
    const char* text;
};

class FormatCurrency : public ::testing::TestWithParam<FormatCase> { };

TEST_P(FormatCurrency, writes_money_as_the_region_does)
{
    const FormatCase& row = GetParam();
    EXPECT_EQ(formatCurrency(Currency::fromScaled(row.scaled), row.digits, row.format), row.text);
}

INSTANTIATE_TEST_SUITE_P(UsEnglish, FormatCurrency,
    ::testing::Values(FormatCase{"zero", us, 0, 2, "$0.00"},
        FormatCase{"two_decimals_without_loss", us, 315'000, 2, "$31.50"},
        FormatCase{"thousands_grouped", us, 20'000'000, 2, "$2,000.00"},
        FormatCase{"makeover", us, 1'250'000, 2, "$125.00"},
        FormatCase{"makeover_less_10_percent", us, 1'125'000, 2, "$112.50"},
        FormatCase{"largest_reachable_total", us, 65'536'000'000, regionalDigits, "$6,553,600.00"},
        FormatCase{"negative", us, -15'000, 2, "-$1.50"},
        FormatCase{"largest_exact", us, largest, 4, "$922,337,203,685,477.5807"},
        FormatCase{"largest_rounded", us, largest, 2, "$922,337,203,685,477.58"},
        FormatCase{"smallest_exact", us, smallest, 4, "-$922,337,203,685,477.5808"},
        FormatCase{"smallest_rounded", us, smallest, 2, "-$922,337,203,685,477.58"},
        FormatCase{"tie_rounds_down_to_even", us, 50, 2, "$0.00"},
        FormatCase{"tie_rounds_up_to_even", us, 150, 2, "$0.02"}, FormatCase{"tie_keeps_even", us, 250, 2, "$0.02"},
        FormatCase{"past_tie_rounds_up", us, 251, 2, "$0.03"}, FormatCase{"negative_tie", us, -150, 2, "-$0.02"},
        FormatCase{"rounding_carries_into_a_new_group", us, 9'999'950, 2, "$1,000.00"},
        FormatCase{"negative_rounding_to_zero_has_no_sign", us, -49, 2, "$0.00"},
        FormatCase{"negative_tie_rounding_to_zero_has_no_sign", us, -50, 2, "$0.00"}),
    CaseName{});

INSTANTIATE_TEST_SUITE_P(OtherRegions, FormatCurrency,
    ::testing::Values(FormatCase{"parentheses_around_negative",
                          usWith([](MoneyFormat& f) { f.negative.signPosition = Position::Parentheses; }), -12'345'000,
                          2, "($1,234.50)"},
        FormatCase{"parentheses_only_for_negative",
            usWith([](MoneyFormat& f) { f.positive.signPosition = Position::Parentheses; }), 12'345'000, 2,
            "$1,234.50"},
        FormatCase{"sign_after_symbol_spaced_from_amount", usWith([](MoneyFormat& f) {
                       f.currencySymbol = "CHF";
                       f.thousandsSeparator = "’";
                       f.negative = {true, Spacing::SymbolFromAmount, Position::AfterSymbol};
                   }),
            -12'345'000, 2, "CHF- 1’234.50"},
        FormatCase{"symbol_after_amount", usWith([](MoneyFormat& f) {
                       f.currencySymbol = "€";
                       f.decimalPoint = ",";
                       f.thousandsSeparator = ".";
                       f.negative = {false, Spacing::SymbolFromAmount, Position::BeforeAll};
                   }),
            -12'345'000, 2, "-1.234,50 €"},
        FormatCase{"empty_negative_sign_shows_minus", usWith([](MoneyFormat& f) { f.negativeSign.clear(); }), -15'000,
            2, "-$1.50"},
        FormatCase{"indian_grouping", usWith([](MoneyFormat& f) {
                       f.currencySymbol = "₹";
                       f.grouping = {3, 2};
                   }),
            123'456'789'000, 2, "₹1,23,45,678.90"},
        FormatCase{"grouping_stops_at_zero", groupingStopsAtZero, 12'345'678'000, 2, "$1234,567.80"},
        FormatCase{"no_grouping_without_separator", usWith([](MoneyFormat& f) { f.thousandsSeparator.clear(); }),
            12'345'678'000, 2, "$1234567.80"},
        FormatCase{"no_grouping_when_first_size_is_zero", usWith([](MoneyFormat& f) { f.grouping = {0}; }),
            12'345'678'000, 2, "$1234567.80"},
        FormatCase{"zero_fraction_digits_tie_to_even_below", yen, 12'345'000, regionalDigits, "¥1,234"},
        FormatCase{"zero_fraction_digits_tie_to_even_above", yen, 12'355'000, regionalDigits, "¥1,236"},
        FormatCase{"zero_fraction_digits_negative_rounding_to_zero", yen, -5'000, regionalDigits, "¥0"},
        FormatCase{"two_digits_whatever_the_region_says", yen, 12'345'000, 2, "¥1,234.50"},
        FormatCase{"three_fraction_digits_tie", dinar, 125, regionalDigits, "KD0.012"},
        FormatCase{"three_fraction_digits_exact", dinar, 15'000, regionalDigits, "KD1.500"},
        FormatCase{"no_leading_zero_below_one", noLeadingZero, -5'000, 2, "-$.50"},
        FormatCase{"no_leading_zero_for_zero", noLeadingZero, 0, 2, "$.00"},
        FormatCase{"no_leading_zero_after_rounding_up_to_one", noLeadingZero, 9'999, 2, "$1.00"},
        FormatCase{"no_leading_zero_keeps_zero_without_decimals", noLeadingZero, 4'000, 0, "$0"}),
    CaseName{});

TEST(DefaultMoneyFormat, writes_as_the_c_region)
{
    EXPECT_EQ(formatCurrency(Currency::fromScaled(-15'000), regionalDigits, MoneyFormat{}), "-1.50");
    EXPECT_EQ(formatCurrency(Currency::fromScaled(12'345'000), 2, MoneyFormat{}), "1234.50");
}

} // namespace
