#pragma once

#include "logic/currency.h"
#include "logic/money_format.h"

#include <cstdint>
#include <string>

namespace tarnwick {

// Counts one patron: adds mcurTotalDue to mcurTotalOfServices and one to
// mintNumberOfClients. All or nothing: when either cannot grow (the count is
// a signed 16-bit number, so at most 32767) it throws an overflow error and
// changes neither, so the tally always adds up.
void countPatron(const Currency& mcurTotalDue, Currency& mcurTotalOfServices, std::int16_t& mintNumberOfClients);

// "Number of Clients: N" CR LF "Total of Services: amount", the amount in
// the region's own number of decimals.
std::string summaryText(Currency mcurTotalOfServices, std::int16_t mintNumberOfClients, const MoneyFormat& format);

} // namespace tarnwick
