#include "logic/client_tally.h"

#include "logic/format_currency.h"
#include "logic/run_time_error.h"

#include <limits>

namespace tarnwick {

void countPatron(const Currency& mcurTotalDue, Currency& mcurTotalOfServices, std::int16_t& mintNumberOfClients)
{
    const Currency newTotal = mcurTotalOfServices + mcurTotalDue;
    if (mintNumberOfClients == std::numeric_limits<std::int16_t>::max())
        throw RunTimeError::overflow();
    mcurTotalOfServices = newTotal;
    ++mintNumberOfClients;
}

std::string summaryText(Currency mcurTotalOfServices, std::int16_t mintNumberOfClients, const MoneyFormat& format)
{
    return "Number of Clients: " + std::to_string(mintNumberOfClients) + "\r\n"
        + "Total of Services: " + formatCurrency(mcurTotalOfServices, regionalDigits, format);
}

} // namespace tarnwick
