#include "logic/currency.h"
#include "logic/run_time_error.h"
#include "logic_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

using tarnwick::Currency;
using tarnwick::test::CaseName;
using tarnwick::test::errorSortOf;
using Sort = tarnwick::RunTimeError::Sort;

constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();

// The double nearest 2^63 / 10000 (922337203685477.625); times 10000 it
// rounds to 2^63, one past the largest count of ten-thousandths.
constexpr double twoToThe63Units = 9223372036854775808.0 / 10000.0;

struct DiscountCase {
    const char* name;
    std::int64_t price;
    double rate;
    std::int64_t discount;
};

class DiscountProduct : public ::testing::TestWithParam<DiscountCase> { };

TEST_P(DiscountProduct, comes_back_exact_from_double)
{
    const DiscountCase& row = GetParam();
    EXPECT_EQ(Currency::fromDouble(Currency::fromScaled(row.price).toDouble() * row.rate).scaled(), row.discount);
}

INSTANTIATE_TEST_SUITE_P(EveryPriceAndRate, DiscountProduct,
    ::testing::Values(DiscountCase{"makeover_10_percent", 1'250'000, 0.1, 125'000},
        DiscountCase{"makeover_20_percent", 1'250'000, 0.2, 250'000},
        DiscountCase{"hair_styling_10_percent", 600'000, 0.1, 60'000},
        DiscountCase{"hair_styling_20_percent", 600'000, 0.2, 120'000},
        DiscountCase{"manicure_10_percent", 350'000, 0.1, 35'000},
        DiscountCase{"manicure_20_percent", 350'000, 0.2, 70'000},
        DiscountCase{"permanent_makeup_10_percent", 2'000'000, 0.1, 200'000},
        DiscountCase{"permanent_makeup_20_percent", 2'000'000, 0.2, 400'000}),
    CaseName{});

struct FromDoubleCase {
    const char* name;
    double amount;
    std::int64_t scaled;
};

class FromDouble : public ::testing::TestWithParam<FromDoubleCase> { };

TEST_P(FromDouble, rounds_to_nearest_ten_thousandth_half_to_even)
{
    EXPECT_EQ(Currency::fromDouble(GetParam().amount).scaled(), GetParam().scaled);
}

// Ties are amounts m/32 with m odd: exact in binary, and exactly k + 0.5
// ten-thousandths once multiplied by 10000.
INSTANTIATE_TEST_SUITE_P(Rounding, FromDouble,
    ::testing::Values(FromDoubleCase{"whole_amount", 125.0, 1'250'000},
        FromDoubleCase{"below_half_rounds_down", 0.00004, 0}, FromDoubleCase{"above_half_rounds_up", 0.00006, 1},
        FromDoubleCase{"negative_below_half_rounds_to_zero", -0.00004, 0},
        FromDoubleCase{"tie_to_even_below", 1.0 / 32, 312}, FromDoubleCase{"tie_to_even_above", 3.0 / 32, 938},
        FromDoubleCase{"negative_tie_to_even_toward_zero", -1.0 / 32, -312},
        FromDoubleCase{"negative_tie_to_even_away_from_zero", -3.0 / 32, -938},
        FromDoubleCase{"large_tie_to_even", 1048576.0 + 1.0 / 32, 10'485'760'312},
        FromDoubleCase{"minus_two_to_the_63_is_the_smallest", -twoToThe63Units, smallest},
        FromDoubleCase{"largest_double_below_two_to_the_63", std::nextafter(twoToThe63Units, 0.0), largest - 1023}),
    CaseName{});

struct FailureCase {
    const char* name;
    double amount;
    Sort sort;
};

class FromDoubleFailure : public ::testing::TestWithParam<FailureCase> { };

TEST_P(FromDoubleFailure, throws_its_sort_of_error)
{
    EXPECT_EQ(errorSortOf([] { Currency::fromDouble(GetParam().amount); }), GetParam().sort);
}

INSTANTIATE_TEST_SUITE_P(OutOfReach, FromDoubleFailure,
    ::testing::Values(FailureCase{"not_a_number", std::numeric_limits<double>::quiet_NaN(), Sort::FloatingPoint},
        FailureCase{"positive_infinity", std::numeric_limits<double>::infinity(), Sort::FloatingPoint},
        FailureCase{"negative_infinity", -std::numeric_limits<double>::infinity(), Sort::FloatingPoint},
        FailureCase{"two_to_the_63", twoToThe63Units, Sort::Overflow},
        FailureCase{"next_below_minus_two_to_the_63", std::nextafter(-twoToThe63Units, -1e300), Sort::Overflow},
        FailureCase{"largest_finite_double", std::numeric_limits<double>::max(), Sort::Overflow},
        FailureCase{"smallest_finite_double", std::numeric_limits<double>::lowest(), Sort::Overflow}),
    CaseName{});

struct ArithmeticCase {
    const char* name;
    std::int64_t a;
    char operation; // '+' or '-'
    std::int64_t b;
    std::optional<std::int64_t> result; // none: overflow
};

class Arithmetic : public ::testing::TestWithParam<ArithmeticCase> { };

TEST_P(Arithmetic, is_exact_or_throws_overflow_leaving_target_unchanged)
{
    const ArithmeticCase& row = GetParam();
    Currency target = Currency::fromScaled(row.a);
    const Currency b = Currency::fromScaled(row.b);
    const auto assign = [&] { target = row.operation == '+' ? target + b : target - b; };
    if (row.result) {
        EXPECT_EQ(errorSortOf(assign), std::nullopt);
        EXPECT_EQ(target.scaled(), *row.result);
    } else {
        EXPECT_EQ(errorSortOf(assign), Sort::Overflow);
        EXPECT_EQ(target.scaled(), row.a);
    }
}

INSTANTIATE_TEST_SUITE_P(BothEnds, Arithmetic,
    ::testing::Values(ArithmeticCase{"price_minus_discount", 1'250'000, '-', 125'000, 1'125'000},
        ArithmeticCase{"largest_plus_smallest", largest, '+', smallest, -1},
        ArithmeticCase{"largest_minus_largest", largest, '-', largest, 0},
        ArithmeticCase{"smallest_minus_minus_one_step", smallest, '-', -1, smallest + 1},
        ArithmeticCase{"largest_plus_one_step_overflows", largest, '+', 1, std::nullopt},
        ArithmeticCase{"smallest_plus_minus_one_step_overflows", smallest, '+', -1, std::nullopt},
        ArithmeticCase{"smallest_minus_one_step_overflows", smallest, '-', 1, std::nullopt},
        ArithmeticCase{"largest_minus_minus_one_step_overflows", largest, '-', -1, std::nullopt},
        ArithmeticCase{"zero_minus_smallest_overflows", 0, '-', smallest, std::nullopt}),
    CaseName{});

TEST(Currency, starts_at_zero_and_gives_back_its_double)
{
    EXPECT_EQ(Currency{}.scaled(), 0);
    EXPECT_EQ(Currency::fromScaled(1'125'000).toDouble(), 112.5);
}

} // namespace
