#pragma once

#include "fuzz_support.h"
#include "operand.h"

#include "logic/currency.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace tarnwick::fuzz {

// Checks one Currency operation on two fuzzed operands against the same
// operation on 128-bit integers: the exact result when it fits 64 bits,
// otherwise an overflow error with the target left as it was.
// `symbol` and `result` name the operation in a report ("+", "sum").
template <class Exact, class Checked>
void checkAgainstExactArithmetic(
    FuzzedDataProvider& input, const char* symbol, const char* result, Exact exactOperation, Checked checkedOperation)
{
    const std::int64_t a = consumeOperand(input);
    const std::int64_t b = consumeOperand(input);

    const Int128 exact = exactOperation(static_cast<Int128>(a), static_cast<Int128>(b));
    const bool fits
        = exact >= std::numeric_limits<std::int64_t>::min() && exact <= std::numeric_limits<std::int64_t>::max();

    Currency target = Currency::fromScaled(a);
    const auto sort = errorSortOf([&] { target = checkedOperation(target, Currency::fromScaled(b)); });

    const bool right = fits ? !sort && target.scaled() == static_cast<std::int64_t>(exact)
                            : sort == RunTimeError::Sort::Overflow && target.scaled() == a;
    if (!right) {
        std::fprintf(stderr, "%" PRId64 " %s %" PRId64 ": got %" PRId64 " (%s)\n", a, symbol, b, target.scaled(),
            sortName(sort));
        const std::string what = fits
            ? std::string("a ") + result + " that fits is not exact"
            : std::string("a ") + result + " outside the range is not an overflow error leaving the target unchanged";
        mismatch(what.c_str());
    }
}

} // namespace tarnwick::fuzz
