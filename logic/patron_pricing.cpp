#include "logic/patron_pricing.h"

#include "logic/format_currency.h"

namespace tarnwick {

namespace {

Currency selectedServicePrice(const OptionAnswerer& isSelected)
{
    for (const ServicePrice& service : serviceTable) {
        if (!service.option || isSelected(*service.option))
            return service.price;
    }
    return serviceTable.back().price; // not reached: the last row has no option
}

} // namespace

PatronPrice calculatePatron(const OptionAnswerer& isSelected, Currency& mcurTotalDue, const MoneyFormat& format)
{
    // Every coupon question is put before any service question.
    std::array<bool, couponTable.size()> couponSelected{};
    for (std::size_t i = 0; i < couponTable.size(); ++i)
        couponSelected[i] = isSelected(couponTable[i].option);

    const Currency price = selectedServicePrice(isSelected);

    Currency totalDue = price;
    for (std::size_t i = 0; i < couponTable.size(); ++i) {
        if (couponSelected[i]) {
            // The discount is brought back to an exact amount before it is subtracted.
            const Currency discount = Currency::fromDouble(price.toDouble() * couponTable[i].rate);
            totalDue = price - discount;
            break;
        }
    }

    mcurTotalDue = totalDue;
    return {price, mcurTotalDue, formatCurrency(price, 2, format), formatCurrency(mcurTotalDue, 2, format)};
}

} // namespace tarnwick
