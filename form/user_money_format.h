#pragma once

#include "logic/money_format.h"

namespace tarnwick {

// The user's regional money format: the monetary conventions of the locale
// in force for LC_MONETARY (on this thread), converted to UTF-8 from that
// locale's own codeset. Reads the C library only, because Qt's locale does
// not follow LC_MONETARY.
MoneyFormat userMoneyFormat();

} // namespace tarnwick
