#pragma once

#include <compare>
#include <cstdint>

namespace tarnwick {

// An exact amount of money: a signed 64-bit count of ten-thousandths of a
// currency unit. Every operation that can leave the range is checked and
// throws RunTimeError; a failed operation changes nothing.
class Currency {
public:
    static constexpr std::int64_t scale = 10'000;

    constexpr Currency() = default;

    static constexpr Currency fromScaled(std::int64_t tenThousandths) noexcept
    {
        Currency c;
        c.scaled_ = tenThousandths;
        return c;
    }

    // Rounds to the nearest ten-thousandth, an exact half to the even one.
    // Throws a floating-point error for an infinite or NaN amount and an
    // overflow error when the result is outside the range.
    static Currency fromDouble(double amount);

    constexpr std::int64_t scaled() const noexcept { return scaled_; }
    double toDouble() const noexcept;

    friend constexpr bool operator==(Currency, Currency) = default;
    friend constexpr auto operator<=>(Currency, Currency) = default;

private:
    std::int64_t scaled_ = 0;
};

// Exact sum and difference; throw an overflow error outside the range.
Currency operator+(Currency a, Currency b);
Currency operator-(Currency a, Currency b);

} // namespace tarnwick
