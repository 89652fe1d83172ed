#include "logic/format_currency.h"

#include <algorithm>
#include <cstdint>

namespace tarnwick {

namespace {

constexpr int storedDigits = 4;

std::uint64_t powerOfTen(int exponent)
{
    std::uint64_t result = 1;
    while (exponent-- > 0)
        result *= 10;
    return result;
}

struct Magnitude {
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;  // `digits` digits, zero-padded on the left when written
    int digits = 0;

    bool isZero() const { return whole == 0 && fraction == 0; }
};

// |amount| rounded half to even to `digits` places, in exact integers.
Magnitude roundedMagnitude(Currency amount, int digits)
{
    const std::int64_t scaled = amount.scaled();
    // Negating in unsigned arithmetic keeps the most negative amount exact.
    std::uint64_t units = scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled)
                                     : static_cast<std::uint64_t>(scaled);
    const int kept = std::min(digits, storedDigits);
    if (kept < storedDigits) {
        const std::uint64_t divisor = powerOfTen(storedDigits - kept);
        const std::uint64_t remainder = units % divisor;
        units /= divisor;
        const std::uint64_t half = divisor / 2;
        if (remainder > half || (remainder == half && units % 2 == 1))
            ++units;
    }
    const std::uint64_t keptScale = powerOfTen(kept);
    return {units / keptScale, units % keptScale, digits};
}

std::string groupedDigits(std::uint64_t whole, const MoneyFormat& format)
{
    std::string digits = std::to_string(whole);
    if (format.thousandsSeparator.empty() || format.grouping.empty() || format.grouping.front() <= 0)
        return digits;

    // Walk from the decimal point leftwards, collecting groups.
    std::vector<std::string_view> groups;
    std::string_view rest = digits;
    std::size_t next = 0;
    int size = format.grouping.front();
    while (size > 0 && rest.size() > static_cast<std::size_t>(size)) {
        groups.push_back(rest.substr(rest.size() - size));
        rest.remove_suffix(size);
        if (++next < format.grouping.size())
            size = format.grouping[next];
    }
    groups.push_back(rest);

    std::string result;
    for (auto group = groups.rbegin(); group != groups.rend(); ++group) {
        if (group != groups.rbegin())
            result += format.thousandsSeparator;
        result += *group;
    }
    return result;
}

std::string number(const Magnitude& magnitude, const MoneyFormat& format)
{
    std::string text = groupedDigits(magnitude.whole, format);
    if (magnitude.digits > 0) {
        std::string fraction = std::to_string(magnitude.fraction);
        const int kept = std::min(magnitude.digits, storedDigits);
        text += format.decimalPoint;
        text.append(static_cast<std::size_t>(kept) - fraction.size(), '0');
        text += fraction;
        text.append(static_cast<std::size_t>(magnitude.digits - kept), '0');
    }
    return text;
}

} // namespace

std::string formatCurrency(Currency amount, int digits, const MoneyFormat& format)
{
    using Position = MoneyFormat::SignPosition;
    using Spacing = MoneyFormat::Spacing;

    const Magnitude magnitude = roundedMagnitude(amount, digits < 0 ? std::max(format.fractionDigits, 0) : digits);
    const bool negative = amount.scaled() < 0 && !magnitude.isZero();
    const MoneyFormat::Layout& layout = negative ? format.negative : format.positive;
    const std::string& sign = negative ? (format.negativeSign.empty() ? std::string("-") : format.negativeSign)
                                       : format.positiveSign;
    const std::string& symbol = format.currencySymbol;
    const Position position = layout.signPosition;

    // A space between symbol and sign only where the two stand side by side.
    Spacing spacing = layout.spacing;
    if (spacing == Spacing::SymbolFromSign
        && (position == Position::Parentheses
            || (position == Position::BeforeAll && !layout.symbolPrecedes)
            || (position == Position::AfterAll && layout.symbolPrecedes)))
        spacing = Spacing::None;

    std::string text;
    const bool parentheses = position == Position::Parentheses && negative;
    if (parentheses)
        text += '(';

    if (layout.symbolPrecedes) {
        if (position == Position::BeforeAll || position == Position::BeforeSymbol) {
            text += sign;
            if (spacing == Spacing::SymbolFromSign)
                text += ' ';
        }
        text += symbol;
        if (position == Position::AfterSymbol) {
            if (spacing == Spacing::SymbolFromSign)
                text += ' ';
            text += sign;
        }
        if (spacing == Spacing::SymbolFromAmount)
            text += ' ';
    } else if (position == Position::BeforeAll) {
        text += sign;
    }

    text += number(magnitude, format);

    if (!layout.symbolPrecedes) {
        if (position == Position::BeforeSymbol) {
            if (spacing == Spacing::SymbolFromAmount)
                text += ' ';
            text += sign;
        }
        if ((position == Position::BeforeSymbol && spacing == Spacing::SymbolFromSign)
            || (position != Position::BeforeSymbol && spacing == Spacing::SymbolFromAmount))
            text += ' ';
        text += symbol;
        if (position == Position::AfterSymbol) {
            if (spacing == Spacing::SymbolFromSign)
                text += ' ';
            text += sign;
        }
    }

    if (position == Position::AfterAll) {
        if (spacing == Spacing::SymbolFromSign)
            text += ' ';
        text += sign;
    }

    if (parentheses)
        text += ')';
    return text;
}

} // namespace tarnwick
