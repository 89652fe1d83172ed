// formatCurrency against a reference formatter written here from the POSIX
// monetary rules (localeconv's sign_posn, cs_precedes, sep_by_space, grouping)
// as this program reads them, over random regional formats:
// - the amount is written from its exact decimal digits, rounded half to even
//   to the digits asked for (2, or the region's own number for -1);
// - an amount that rounds to zero is not negative;
// - without the leading zero, a whole part of zero is left out when decimals
//   follow (".50"), and kept when none do;
// - digits are grouped from the decimal point leftwards, the last size
//   repeating and a size of 0 or less ending grouping; there is no grouping
//   without a separator;
// - sign position 0 puts parentheses around a negative amount and its
//   symbol, and shows no sign; 1 to 4 place the sign before all, after all,
//   right before the symbol and right after it;
// - spacing 1 puts a space between the amount and the symbol, or the symbol
//   and sign together when they stand side by side; spacing 2 puts a space
//   between symbol and sign only where they stand side by side;
// - an empty negative sign is written "-".

#include "fuzz_support.h"

#include "logic/format_currency.h"
#include "logic/money_format.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::fuzz;

namespace {

// ---- the reference ---------------------------------------------------------

// |scaled| in decimal, from 128-bit arithmetic so that -2^63 needs no care.
std::string decimalDigits(std::int64_t scaled)
{
    Int128 rest = scaled;
    if (rest < 0)
        rest = -rest;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(rest % 10)));
        rest /= 10;
    } while (rest != 0);
    return digits;
}

// Adds one to a string of decimal digits.
void increment(std::string& digits)
{
    for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit) {
        if (*digit != '9') {
            ++*digit;
            return;
        }
        *digit = '0';
    }
    digits.insert(digits.begin(), '1');
}

struct Number {
    std::string whole;    // no leading zeros, "0" for none
    std::string fraction; // exactly `places` digits
    bool zero = true;
};

// The amount, held in ten-thousandths, rounded half to even to `places` digits.
Number roundedNumber(std::int64_t scaled, int places)
{
    std::string digits = decimalDigits(scaled);
    if (digits.size() < 5)
        digits.insert(0, 5 - digits.size(), '0'); // at least one whole digit and four decimals
    const std::size_t wholeDigits = digits.size() - 4;

    std::string kept; // whole digits and the kept decimals, without the point
    if (places >= 4) {
        kept = digits + std::string(static_cast<std::size_t>(places - 4), '0');
    } else {
        kept = digits.substr(0, wholeDigits + static_cast<std::size_t>(places));
        const std::string dropped = digits.substr(wholeDigits + static_cast<std::size_t>(places));
        const bool moreThanHalf
            = dropped[0] > '5' || (dropped[0] == '5' && dropped.find_first_not_of('0', 1) != std::string::npos);
        const bool exactlyHalf = dropped[0] == '5' && dropped.find_first_not_of('0', 1) == std::string::npos;
        const bool lastKeptOdd = (kept.back() - '0') % 2 == 1;
        if (moreThanHalf || (exactlyHalf && lastKeptOdd))
            increment(kept);
    }

    Number number;
    number.fraction = kept.substr(kept.size() - static_cast<std::size_t>(places));
    number.whole = kept.substr(0, kept.size() - static_cast<std::size_t>(places));
    number.whole.erase(0, std::min(number.whole.find_first_not_of('0'), number.whole.size() - 1));
    number.zero = kept.find_first_not_of('0') == std::string::npos;
    return number;
}

// The whole digits with a separator wherever a group boundary falls.
std::string groupedWhole(const std::string& whole, const MoneyFormat& format)
{
    // Boundaries as counts of digits to their right.
    std::set<std::size_t> boundaries;
    if (!format.thousandsSeparator.empty() && !format.grouping.empty()) {
        std::size_t right = 0;
        for (std::size_t index = 0;; ++index) {
            const int size = format.grouping[std::min(index, format.grouping.size() - 1)];
            if (size <= 0)
                break;
            right += static_cast<std::size_t>(size);
            if (right >= whole.size())
                break;
            boundaries.insert(right);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        text += whole[i];
        if (boundaries.count(whole.size() - 1 - i) != 0)
            text += format.thousandsSeparator;
    }
    return text;
}

enum class Piece { Symbol, Sign, Amount, Space };

std::string referenceFormat(std::int64_t scaled, int digits, const MoneyFormat& format)
{
    const Number number = roundedNumber(scaled, digits == regionalDigits ? format.fractionDigits : digits);
    const bool wholeLeftOut = !format.leadingZero && number.whole == "0" && !number.fraction.empty();
    std::string amount = wholeLeftOut ? std::string() : groupedWhole(number.whole, format);
    if (!number.fraction.empty())
        amount += format.decimalPoint + number.fraction;

    const bool negative = scaled < 0 && !number.zero;
    const MoneyFormat::Layout& layout = negative ? format.negative : format.positive;
    const std::string sign = negative ? (format.negativeSign.empty() ? "-" : format.negativeSign) : format.positiveSign;
    const bool symbolFirst = layout.symbolPrecedes;

    // The pieces in order, then the spaces between them.
    std::vector<Piece> pieces;
    const auto symbolAndAmount = [&] {
        if (symbolFirst)
            pieces.insert(pieces.end(), {Piece::Symbol, Piece::Amount});
        else
            pieces.insert(pieces.end(), {Piece::Amount, Piece::Symbol});
    };
    switch (static_cast<int>(layout.signPosition)) {
    case 0:
        symbolAndAmount();
        break;
    case 1:
        pieces.push_back(Piece::Sign);
        symbolAndAmount();
        break;
    case 2:
        symbolAndAmount();
        pieces.push_back(Piece::Sign);
        break;
    case 3:
        pieces = symbolFirst ? std::vector{Piece::Sign, Piece::Symbol, Piece::Amount}
                             : std::vector{Piece::Amount, Piece::Sign, Piece::Symbol};
        break;
    case 4:
        pieces = symbolFirst ? std::vector{Piece::Symbol, Piece::Sign, Piece::Amount}
                             : std::vector{Piece::Amount, Piece::Symbol, Piece::Sign};
        break;
    default:
        mismatch("the fuzzer made a sign position outside 0 to 4");
    }

    const auto at = [&](Piece piece) {
        return static_cast<std::size_t>(std::distance(pieces.begin(), std::find(pieces.begin(), pieces.end(), piece)));
    };
    const std::size_t symbolAt = at(Piece::Symbol);
    const std::size_t signAt = at(Piece::Sign); // pieces.size() when there is no sign
    const bool sideBySide = signAt < pieces.size() && (signAt + 1 == symbolAt || symbolAt + 1 == signAt);
    switch (static_cast<int>(layout.spacing)) {
    case 1: {
        // Between the amount and its neighbour on the symbol's side.
        const std::size_t amountAt = at(Piece::Amount);
        pieces.insert(
            pieces.begin() + static_cast<std::ptrdiff_t>(symbolAt < amountAt ? amountAt : amountAt + 1), Piece::Space);
        break;
    }
    case 2:
        if (sideBySide)
            pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(std::max(symbolAt, signAt)), Piece::Space);
        break;
    default:
        break;
    }

    std::string text;
    for (const Piece piece : pieces) {
        switch (piece) {
        case Piece::Symbol:
            text += format.currencySymbol;
            break;
        case Piece::Sign:
            text += sign;
            break;
        case Piece::Amount:
            text += amount;
            break;
        case Piece::Space:
            text += ' ';
            break;
        }
    }
    if (negative && layout.signPosition == MoneyFormat::SignPosition::Parentheses)
        text = "(" + text + ")";
    return text;
}

// ---- random regional formats -------------------------------------------------

// Symbols, signs and separators are drawn from pieces that real regions use,
// multi-byte UTF-8 among them, and from ones that could be mistaken for the
// parts the formatter adds itself (space, parentheses, "-", digits).
std::string consumeText(FuzzedDataProvider& input)
{
    static constexpr std::array<const char*, 16> pieces{
        "$",
        "\xe2\x82\xac" /* euro */,
        "\xc2\xa3" /* pound */,
        "kr",
        "CHF",
        "\xc2\xa0" /* no-break space */,
        "\xe2\x80\xaf" /* narrow no-break space */,
        " ",
        ",",
        ".",
        "'",
        "-",
        "+",
        "(",
        "0",
        "\xd8\x9c" /* arabic letter mark */,
    };
    std::string text;
    for (int count = input.ConsumeIntegralInRange(0, 3); count > 0; --count)
        text += pieces[input.ConsumeIntegralInRange<std::size_t>(0, pieces.size() - 1)];
    return text;
}

MoneyFormat::Layout consumeLayout(FuzzedDataProvider& input)
{
    MoneyFormat::Layout layout;
    layout.symbolPrecedes = input.ConsumeBool();
    layout.spacing = static_cast<MoneyFormat::Spacing>(input.ConsumeIntegralInRange(0, 2));
    layout.signPosition = static_cast<MoneyFormat::SignPosition>(input.ConsumeIntegralInRange(0, 4));
    return layout;
}

MoneyFormat consumeFormat(FuzzedDataProvider& input)
{
    MoneyFormat format;
    format.currencySymbol = consumeText(input);
    format.decimalPoint = consumeText(input);
    format.thousandsSeparator = consumeText(input);
    format.positiveSign = consumeText(input);
    format.negativeSign = consumeText(input);
    format.grouping.clear();
    for (int count = input.ConsumeIntegralInRange(0, 4); count > 0; --count) {
        // 127 is what a C library's "no further grouping" (CHAR_MAX) comes to.
        constexpr std::array sizes{-1, 0, 1, 2, 3, 4, 5, 127};
        format.grouping.push_back(sizes[input.ConsumeIntegralInRange<std::size_t>(0, sizes.size() - 1)]);
    }
    format.fractionDigits = input.ConsumeIntegralInRange(0, 6);
    format.positive = consumeLayout(input);
    format.negative = consumeLayout(input);
    // Read last and negated, so that an input that has run out keeps the usual leading zero.
    format.leadingZero = !input.ConsumeBool();
    return format;
}

std::int64_t consumeAmount(FuzzedDataProvider& input)
{
    // Small amounts show the rounding to zero and the leading zero; large ones the grouping.
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return input.ConsumeIntegralInRange<std::int64_t>(-200'000, 200'000);
    case 1:
        return input.ConsumeIntegralInRange<std::int64_t>(-100'000'000'000, 100'000'000'000);
    default:
        return input.ConsumeIntegral<std::int64_t>();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::int64_t scaled = consumeAmount(input);
    const int digits = input.ConsumeBool() ? 2 : regionalDigits;
    const MoneyFormat format = consumeFormat(input);

    const std::string expected = referenceFormat(scaled, digits, format);
    std::string got;
    try {
        got = formatCurrency(Currency::fromScaled(scaled), digits, format);
    } catch (...) {
        mismatch("formatCurrency threw");
    }
    if (got != expected) {
        std::fprintf(stderr, "amount %" PRId64 "/10000, digits %d, fraction digits %d, leading zero %d, grouping [",
            scaled, digits, format.fractionDigits, format.leadingZero);
        for (const int group : format.grouping)
            std::fprintf(stderr, " %d", group);
        std::fprintf(stderr,
            " ]\nsymbol \"%s\" point \"%s\" separator \"%s\" plus \"%s\" minus \"%s\"\n"
            "positive: precedes %d spacing %d position %d; negative: precedes %d spacing %d position %d\n"
            "got      \"%s\"\nexpected \"%s\"\n",
            format.currencySymbol.c_str(), format.decimalPoint.c_str(), format.thousandsSeparator.c_str(),
            format.positiveSign.c_str(), format.negativeSign.c_str(), format.positive.symbolPrecedes,
            static_cast<int>(format.positive.spacing), static_cast<int>(format.positive.signPosition),
            format.negative.symbolPrecedes, static_cast<int>(format.negative.spacing),
            static_cast<int>(format.negative.signPosition), got.c_str(), expected.c_str());
        mismatch("formatCurrency disagrees with the reference formatter");
    }
    return 0;
}
