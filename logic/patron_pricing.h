#pragma once

#include "logic/currency.h"
#include "logic/money_format.h"
#include "logic/sales_option.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

struct ServicePrice {
    // The option that selects this service; none for the service that
    // applies when no other is selected.
    std::optional<SalesOption> option;
    Currency price;
};

// Consulted in this order; the last row applies when no earlier option is selected.
inline constexpr std::array<ServicePrice, 4> serviceTable{{
    {SalesOption::optMakeover, Currency::fromScaled(1'250'000)},
    {SalesOption::optHairStyling, Currency::fromScaled(600'000)},
    {SalesOption::optManicure, Currency::fromScaled(350'000)},
    {std::nullopt, Currency::fromScaled(2'000'000)}, // optPermanentMakeup
}};

struct CouponRate {
    SalesOption option;
    double rate;
};

// Consulted in this order; with neither selected (optNone) there is no discount.
inline constexpr std::array<CouponRate, 2> couponTable{{
    {SalesOption::opt10Percent, 0.1},
    {SalesOption::opt20Percent, 0.2},
}};

// Says whether one option is selected.
using OptionAnswerer = std::function<bool(SalesOption)>;

struct PatronPrice {
    Currency servicePrice;
    Currency totalDue;
    std::string servicePriceText; // two decimals
    std::string totalDueText;     // two decimals
};

// Prices one patron from the selected service and coupon. Asks the coupon
// options first, then the services in table order until one is selected.
// Stores the total due in mcurTotalDue; on a run-time error it stays as it was.
PatronPrice calculatePatron(const OptionAnswerer& isSelected, Currency& mcurTotalDue, const MoneyFormat& format);

} // namespace tarnwick
