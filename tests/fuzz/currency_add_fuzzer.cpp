// Currency addition against 128-bit integer addition: the exact sum when it
// fits 64 bits, otherwise an overflow error with the target left as it was.

#include "fuzz_support.h"
#include "operand.h"

#include "logic/currency.h"

#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::int64_t a = consumeOperand(input);
    const std::int64_t b = consumeOperand(input);

    const Int128 exact = static_cast<Int128>(a) + static_cast<Int128>(b);
    const bool fits
        = exact >= std::numeric_limits<std::int64_t>::min() && exact <= std::numeric_limits<std::int64_t>::max();

    Currency target = Currency::fromScaled(a);
    const auto sort = errorSortOf([&] { target = target + Currency::fromScaled(b); });

    if (fits) {
        if (sort || target.scaled() != static_cast<std::int64_t>(exact)) {
            std::fprintf(
                stderr, "%" PRId64 " + %" PRId64 ": got %" PRId64 " (%s)\n", a, b, target.scaled(), sortName(sort));
            mismatch("a sum that fits is not exact");
        }
    } else {
        if (sort != RunTimeError::Sort::Overflow || target.scaled() != a) {
            std::fprintf(
                stderr, "%" PRId64 " + %" PRId64 ": got %" PRId64 " (%s)\n", a, b, target.scaled(), sortName(sort));
            mismatch("a sum outside the range is not an overflow error leaving the target unchanged");
        }
    }
    return 0;
}
