// Currency::fromDouble against an exact reference. The conversion is: fail
// with a floating-point error for an infinite or NaN amount; otherwise take
// the double product amount * 10000, round it to the nearest integer with an
// exact half going to the even one, and fail with an overflow error unless
// the integer lies in [-2^63, 2^63). The reference does the rounding without
// any floating-point arithmetic: the product is split into an integer
// mantissa and a power of two, and rounded in 128-bit integers.

#include "fuzz_support.h"

#include "logic/currency.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

struct Outcome {
    std::optional<RunTimeError::Sort> sort;
    std::int64_t scaled = 0; // when there is no error
};

Outcome expectedConversion(double amount)
{
    if (!std::isfinite(amount))
        return {RunTimeError::Sort::FloatingPoint};
    const double product = amount * 10000.0; // the one rounding step that happens in double
    if (!std::isfinite(product))
        return {RunTimeError::Sort::Overflow};
    if (product == 0.0)
        return {};

    // product == mantissa * 2^shift exactly, with |mantissa| < 2^53.
    int exponent = 0;
    const double fraction = std::frexp(product, &exponent);
    const auto mantissa = static_cast<std::int64_t>(std::ldexp(fraction, 53));
    const int shift = exponent - 53;
    const bool negative = mantissa < 0;
    UInt128 magnitude = static_cast<UInt128>(negative ? -mantissa : mantissa);

    if (shift >= 0) {
        if (shift > 64) // at least 2^116: far outside
            return {RunTimeError::Sort::Overflow};
        magnitude <<= shift;
    } else if (-shift >= 64) {
        magnitude = 0; // below 2^53 / 2^64: under a quarter, rounds to zero
    } else {
        const int dropped = -shift;
        const UInt128 whole = magnitude >> dropped;
        const UInt128 remainder = magnitude - (whole << dropped);
        const UInt128 half = static_cast<UInt128>(1) << (dropped - 1);
        magnitude = whole;
        if (remainder > half || (remainder == half && (whole & 1) == 1))
            ++magnitude;
    }

    const Int128 value = negative ? -static_cast<Int128>(magnitude) : static_cast<Int128>(magnitude);
    if (value < std::numeric_limits<std::int64_t>::min() || value > std::numeric_limits<std::int64_t>::max())
        return {RunTimeError::Sort::Overflow};
    return {std::nullopt, static_cast<std::int64_t>(value)};
}

// Raw bit patterns rarely land where the conversion is delicate, so the first
// byte picks how the amount is made.
double consumeAmount(FuzzedDataProvider& input)
{
    constexpr std::array rates{0.1, 0.2, 0.05, 0.15, 0.25, 0.3, 0.5, 1.0 / 3.0, 0.07, 0.9};
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: // a price times a rate, as the discount is computed
        return Currency::fromScaled(input.ConsumeIntegralInRange<std::int64_t>(-10'000'000'000, 10'000'000'000))
                   .toDouble()
            * rates[input.ConsumeIntegralInRange<std::size_t>(0, rates.size() - 1)];
    case 1: // near a half of a ten-thousandth
        return (static_cast<double>(input.ConsumeIntegral<std::int64_t>() >> input.ConsumeIntegralInRange(0, 63)) + 0.5)
            / 10000.0;
    case 2: // any exponent, including both ends of the range and subnormals
        return std::ldexp(static_cast<double>(input.ConsumeIntegral<std::int64_t>() >> 11),
            input.ConsumeIntegralInRange(-1130, 1030));
    case 3: // a whole number of ten-thousandths, written as the nearest double
        return static_cast<double>(input.ConsumeIntegral<std::int64_t>()) / 10000.0;
    default: // any bit pattern: NaNs, infinities, negative zero
        return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const double amount = consumeAmount(input);
    const Outcome expected = expectedConversion(amount);

    const Currency before = Currency::fromScaled(0x5eed);
    Currency target = before;
    const auto sort = errorSortOf([&] { target = Currency::fromDouble(amount); });

    const bool agrees = sort == expected.sort && (sort ? target == before : target.scaled() == expected.scaled);
    if (!agrees) {
        std::fprintf(stderr, "fromDouble(%a = %.17g): got %" PRId64 " (%s), expected %" PRId64 " (%s)\n", amount,
            amount, target.scaled(), sortName(sort), expected.scaled, sortName(expected.sort));
        mismatch("fromDouble disagrees with the exact reference");
    }
    return 0;
}
