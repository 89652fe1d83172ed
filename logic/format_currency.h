#pragma once

#include "logic/currency.h"
#include "logic/money_format.h"

#include <string>

namespace tarnwick {

// Digits argument of formatCurrency that asks for the region's own number of decimals.
inline constexpr int regionalDigits = -1;

// The amount as the region writes money, with `digits` digits after the
// decimal point (or the region's own number for regionalDigits). Works on
// the exact integer: fewer digits than four round half to even, and an
// amount that rounds to zero is written without a negative sign.
std::string formatCurrency(Currency amount, int digits, const MoneyFormat& format);

} // namespace tarnwick
