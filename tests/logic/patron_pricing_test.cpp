#include "logic/patron_pricing.h"
#include "logic_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using tarnwick::calculatePatron;
using tarnwick::Currency;
using tarnwick::SalesOption;
using tarnwick::test::usMoneyFormat;

// Says yes to the selected options and writes down every question put.
struct RecordingAnswerer {
    std::set<SalesOption> selected;
    std::vector<SalesOption> asked;

    tarnwick::OptionAnswerer answerer()
    {
        return [this](SalesOption option) {
            asked.push_back(option);
            return selected.count(option) > 0;
        };
    }
};

struct Service {
    const char* name;
    SalesOption option;
    std::vector<SalesOption> servicesAsked; // after the two coupon questions
};

struct Coupon {
    const char* name;
    SalesOption option;
};

const Service services[] = {
    {"makeover", SalesOption::optMakeover, {SalesOption::optMakeover}},
    {"hair_styling", SalesOption::optHairStyling, {SalesOption::optMakeover, SalesOption::optHairStyling}},
    {"manicure", SalesOption::optManicure,
        {SalesOption::optMakeover, SalesOption::optHairStyling, SalesOption::optManicure}},
    {"permanent_makeup", SalesOption::optPermanentMakeup,
        {SalesOption::optMakeover, SalesOption::optHairStyling, SalesOption::optManicure}},
};

const Coupon coupons[] = {
    {"no_coupon", SalesOption::optNone},
    {"10_percent", SalesOption::opt10Percent},
    {"20_percent", SalesOption::opt20Percent},
};

struct Amount {
    std::int64_t scaled;
    const char* text;
};

// Rows follow `services`; the first column is the service price.
const Amount prices[] = {{1'250'000, "$125.00"}, {600'000, "$60.00"}, {350'000, "$35.00"}, {2'000'000, "$200.00"}};
// Rows follow `services`, columns `coupons`.
const Amount totalsDue[4][3] = {
    {{1'250'000, "$125.00"}, {1'125'000, "$112.50"}, {1'000'000, "$100.00"}},
    {{600'000, "$60.00"}, {540'000, "$54.00"}, {480'000, "$48.00"}},
    {{350'000, "$35.00"}, {315'000, "$31.50"}, {280'000, "$28.00"}},
    {{2'000'000, "$200.00"}, {1'800'000, "$180.00"}, {1'600'000, "$160.00"}},
};

class PatronPricing : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    const Service& service() const { return services[std::get<0>(GetParam())]; }
    const Coupon& coupon() const { return coupons[std::get<1>(GetParam())]; }
    const Amount& price() const { return prices[std::get<0>(GetParam())]; }
    const Amount& totalDue() const { return totalsDue[std::get<0>(GetParam())][std::get<1>(GetParam())]; }

    RecordingAnswerer answers{{service().option, coupon().option}, {}};
};

TEST_P(PatronPricing, gives_price_and_total_due_with_their_texts)
{
    Currency mcurTotalDue = Currency::fromScaled(-1);
    const tarnwick::PatronPrice result = calculatePatron(answers.answerer(), mcurTotalDue, usMoneyFormat());

    EXPECT_EQ(result.servicePrice.scaled(), price().scaled);
    EXPECT_EQ(result.totalDue.scaled(), totalDue().scaled);
    EXPECT_EQ(mcurTotalDue.scaled(), totalDue().scaled);
    EXPECT_EQ(result.servicePriceText, price().text);
    EXPECT_EQ(result.totalDueText, totalDue().text);
}

TEST_P(PatronPricing, asks_both_coupons_then_services_until_one_is_selected)
{
    Currency mcurTotalDue;
    calculatePatron(answers.answerer(), mcurTotalDue, usMoneyFormat());

    std::vector<SalesOption> expected{SalesOption::opt10Percent, SalesOption::opt20Percent};
    expected.insert(expected.end(), service().servicesAsked.begin(), service().servicesAsked.end());
    EXPECT_EQ(answers.asked, expected);
}

INSTANTIATE_TEST_SUITE_P(EveryServiceAndCoupon, PatronPricing,
    ::testing::Combine(::testing::Range(0, 4), ::testing::Range(0, 3)),
    [](const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
        return std::string(services[std::get<0>(info.param)].name) + "_" + coupons[std::get<1>(info.param)].name;
    });

TEST(UnreachableSelection, no_service_charges_permanent_makeup)
{
    RecordingAnswerer answers;
    Currency mcurTotalDue;
    EXPECT_EQ(calculatePatron(answers.answerer(), mcurTotalDue, usMoneyFormat()).totalDue.scaled(), 2'000'000);
}

TEST(UnreachableSelection, both_coupons_take_10_percent)
{
    RecordingAnswerer answers{{SalesOption::optMakeover, SalesOption::opt10Percent, SalesOption::opt20Percent}, {}};
    Currency mcurTotalDue;
    EXPECT_EQ(calculatePatron(answers.answerer(), mcurTotalDue, usMoneyFormat()).totalDue.scaled(), 1'125'000);
}

TEST(Recalculation, overwrites_total_due_rather_than_accumulating)
{
    RecordingAnswerer answers{{SalesOption::optMakeover, SalesOption::opt10Percent}, {}};
    Currency mcurTotalDue;
    calculatePatron(answers.answerer(), mcurTotalDue, usMoneyFormat());
    calculatePatron(answers.answerer(), mcurTotalDue, usMoneyFormat());
    EXPECT_EQ(mcurTotalDue.scaled(), 1'125'000);
}

} // namespace
