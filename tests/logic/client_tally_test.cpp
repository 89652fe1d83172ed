#include "logic/client_tally.h"
#include "logic/format_currency.h"
#include "logic/patron_pricing.h"
#include "logic_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>

namespace {

using tarnwick::Currency;
using tarnwick::MoneyFormat;
using tarnwick::SalesOption;
using tarnwick::test::CaseName;
using tarnwick::test::errorSortOf;
using tarnwick::test::usMoneyFormat;
using Sort = tarnwick::RunTimeError::Sort;

struct CountCase {
    const char* name;
    std::int64_t total;
    std::int16_t count;
    std::int64_t totalDue;
    std::int64_t newTotal;
    std::int16_t newCount;
};

class CountPatron : public ::testing::TestWithParam<CountCase> { };

TEST_P(CountPatron, adds_total_due_and_one_client)
{
    const CountCase& row = GetParam();
    Currency mcurTotalOfServices = Currency::fromScaled(row.total);
    std::int16_t mintNumberOfClients = row.count;
    tarnwick::countPatron(Currency::fromScaled(row.totalDue), mcurTotalOfServices, mintNumberOfClients);
    EXPECT_EQ(mcurTotalOfServices.scaled(), row.newTotal);
    EXPECT_EQ(mintNumberOfClients, row.newCount);
}

INSTANTIATE_TEST_SUITE_P(Tally, CountPatron,
    ::testing::Values(CountCase{"first_patron", 0, 0, 1'125'000, 1'125'000, 1},
        CountCase{"second_patron", 1'125'000, 1, 600'000, 1'725'000, 2},
        CountCase{"patron_owing_nothing", 1'725'000, 2, 0, 1'725'000, 3},
        CountCase{"last_client_that_fits", 65'534'000'000, 32766, 2'000'000, 65'536'000'000, 32767}),
    CaseName{});

struct RefusedCase {
    const char* name;
    std::int64_t total;
    std::int16_t count;
    std::int64_t totalDue;
};

class RefusedCount : public ::testing::TestWithParam<RefusedCase> { };

TEST_P(RefusedCount, throws_overflow_and_changes_neither)
{
    const RefusedCase& row = GetParam();
    Currency mcurTotalOfServices = Currency::fromScaled(row.total);
    std::int16_t mintNumberOfClients = row.count;
    EXPECT_EQ(errorSortOf([&] {
        tarnwick::countPatron(Currency::fromScaled(row.totalDue), mcurTotalOfServices, mintNumberOfClients);
    }),
        Sort::Overflow);
    EXPECT_EQ(mcurTotalOfServices.scaled(), row.total);
    EXPECT_EQ(mintNumberOfClients, row.count);
}

INSTANTIATE_TEST_SUITE_P(Tally, RefusedCount,
    ::testing::Values(RefusedCase{"count_at_32767", 65'536'000'000, 32767, 2'000'000},
        RefusedCase{"count_at_32767_owing_nothing", 0, 32767, 0},
        RefusedCase{"total_at_largest_amount", std::numeric_limits<std::int64_t>::max(), 5, 1}),
    CaseName{});

struct SummaryCase {
    const char* name;
    MoneyFormat format;
    std::int64_t total;
    std::int16_t count;
    const char* text;
};

class SummaryText : public ::testing::TestWithParam<SummaryCase> { };

TEST_P(SummaryText, is_two_lines_with_regional_decimals)
{
    const SummaryCase& row = GetParam();
    EXPECT_EQ(tarnwick::summaryText(Currency::fromScaled(row.total), row.count, row.format), row.text);
}

MoneyFormat withFractionDigits(const char* symbol, int digits)
{
    MoneyFormat format = usMoneyFormat();
    format.currencySymbol = symbol;
    format.fractionDigits = digits;
    return format;
}

INSTANTIATE_TEST_SUITE_P(Tally, SummaryText,
    ::testing::Values(
        SummaryCase{"before_any_client", usMoneyFormat(), 0, 0, "Number of Clients: 0\r\nTotal of Services: $0.00"},
        SummaryCase{"largest_count_written_plainly", usMoneyFormat(), 65'536'000'000, 32767,
            "Number of Clients: 32767\r\nTotal of Services: $6,553,600.00"},
        SummaryCase{"region_without_decimals", withFractionDigits("¥", 0), 1'725'000, 2,
            "Number of Clients: 2\r\nTotal of Services: ¥172"},
        SummaryCase{"region_with_three_decimals", withFractionDigits("KD", 3), 1'725'000, 2,
            "Number of Clients: 2\r\nTotal of Services: KD172.500"}),
    CaseName{});

TEST(ClientTally, two_patrons_priced_and_counted_give_the_summary)
{
    Currency mcurTotalOfServices;
    std::int16_t mintNumberOfClients = 0;
    Currency mcurTotalDue;
    for (const std::set<SalesOption>& selected : {std::set{SalesOption::optMakeover, SalesOption::opt10Percent},
             std::set{SalesOption::optHairStyling, SalesOption::optNone}}) {
        const auto isSelected = [&](SalesOption option) { return selected.count(option) > 0; };
        tarnwick::calculatePatron(isSelected, mcurTotalDue, usMoneyFormat());
        tarnwick::countPatron(mcurTotalDue, mcurTotalOfServices, mintNumberOfClients);
    }

    const std::string summary = tarnwick::summaryText(mcurTotalOfServices, mintNumberOfClients, usMoneyFormat());
    EXPECT_EQ(summary, "Number of Clients: 2\r\nTotal of Services: $172.50");
    EXPECT_EQ(mcurTotalOfServices.scaled(), 1'725'000);
    EXPECT_EQ(mintNumberOfClients, 2);
}

} // namespace
