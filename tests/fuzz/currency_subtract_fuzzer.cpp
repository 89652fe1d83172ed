// Currency subtraction against 128-bit integer subtraction: the exact
// difference when it fits 64 bits, otherwise an overflow error with the
// target left as it was.

#include "exact_arithmetic_check.h"

#include <cstddef>
#include <cstdint>

using namespace tarnwick;
using namespace tarnwick::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    checkAgainstExactArithmetic(
        input, "-", "difference", [](Int128 a, Int128 b) { return a - b; },
        [](Currency a, Currency b) { return a - b; });
    return 0;
}
