#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <limits>

namespace tarnwick::fuzz {

// A scaled amount for the arithmetic targets. Most inputs would land far from
// the ends of the range, where overflow lives, so two bits of the input choose
// between any value, one near either end, and a small one.
inline std::int64_t consumeOperand(FuzzedDataProvider& input)
{
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();
    const auto near = input.ConsumeIntegralInRange<std::int64_t>(0, 1'000'000);
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return largest - near;
    case 1:
        return smallest + near;
    case 2:
        return near - 500'000;
    default:
        return input.ConsumeIntegral<std::int64_t>();
    }
}

} // namespace tarnwick::fuzz
