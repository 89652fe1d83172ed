#pragma once

#include "logic/money_format.h"

namespace tarnwick {

// The user's regional money format: the monetary conventions of the locale
// in force for LC_MONETARY (on this thread), converted to UTF-8 from that
// locale's own codeset. Reads the C library only, because Qt's locale does
// not follow LC_MONETARY.
MoneyFormat userMoneyFormat();

// Takes the process's LC_MONETARY from the environment (LC_ALL, else
// LC_MONETARY, else LANG), apart from every other category, so that another
// category naming a locale that is not installed does not cost the user
// their money format. False when the locale named for money is not
// installed; money then stays as it was.
bool takeMoneyLocaleFromEnvironment();

} // namespace tarnwick
