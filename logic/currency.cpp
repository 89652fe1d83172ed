#include "logic/currency.h"

#include "logic/run_time_error.h"

#include <cmath>

namespace tarnwick {

namespace {

// Half to even, spelled out rather than left to the floating-point
// environment's current rounding mode.
double roundHalfToEven(double x)
{
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction > 0.5)
        return below + 1.0;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

} // namespace

Currency Currency::fromDouble(double amount)
{
    if (!std::isfinite(amount))
        throw RunTimeError::floatingPoint();
    const double rounded = roundHalfToEven(amount * static_cast<double>(scale));
    // The int64 range is [-2^63, 2^63). 2^63 itself is a double, and
    // (double)INT64_MAX rounds up to it, so compare against 2^63 with <.
    constexpr double twoToThe63 = 9223372036854775808.0;
    if (!(rounded >= -twoToThe63 && rounded < twoToThe63))
        throw RunTimeError::overflow();
    return fromScaled(static_cast<std::int64_t>(rounded));
}

double Currency::toDouble() const noexcept
{
    return static_cast<double>(scaled_) / static_cast<double>(scale);
}

Currency operator+(Currency a, Currency b)
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a.scaled(), b.scaled(), &sum))
        throw RunTimeError::overflow();
    return Currency::fromScaled(sum);
}

Currency operator-(Currency a, Currency b)
{
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a.scaled(), b.scaled(), &difference))
        throw RunTimeError::overflow();
    return Currency::fromScaled(difference);
}

} // namespace tarnwick
