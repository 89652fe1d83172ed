#include "logic/currency.h"
#include "logic/run_time_error.h"

#include <gtest/gtest.h>

using tarnwick::Currency;

TEST(Currency, discount_products_are_exact)
{
    EXPECT_EQ(Currency::fromDouble(125.0 * 0.1).scaled(), 125'000);
}
