#include "logic/format_currency.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

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
    std::uint64_t fraction = 0; // `digits` digits, zero-padded on the left when written
    int digits = 0;

    bool isZero() const { return whole == 0 && fraction == 0; }
};

// |amount| rounded half to even to `digits` places, in exact integers.
Magnitude roundedMagnitude(Currency amount, int digits)
{
    const std::int64_t scaled = amount.scaled();
    // Negating in unsigned arithmetic keeps the most negative amount exact.
    std::uint64_t units = scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
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

// The whole units as digits, split into the region's groups; built on the
// stack so that the text can be sized before anything is written.
class GroupedWhole {
public:
    // `omitZero`: a whole part of zero is not written at all.
    GroupedWhole(std::uint64_t whole, bool omitZero, const MoneyFormat& format)
    {
        if (whole == 0 && omitZero)
            return;
        do {
            digits_[maxDigits - ++count_] = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);

        // Walk from the decimal point leftwards; the last size repeats, one of 0 or less stops.
        leading_ = count_;
        if (format.thousandsSeparator.empty() || format.grouping.empty())
            return;
        std::size_t index = 0;
        int size = format.grouping.front();
        while (size > 0 && leading_ > size) {
            groupSizes_[groups_++] = size;
            leading_ -= size;
            if (++index < format.grouping.size())
                size = format.grouping[index];
        }
    }

    std::size_t size(const MoneyFormat& format) const
    {
        return static_cast<std::size_t>(count_) + static_cast<std::size_t>(groups_) * format.thousandsSeparator.size();
    }

    void appendTo(std::string& text, const MoneyFormat& format) const
    {
        const char* next = digits_ + maxDigits - count_;
        text.append(next, static_cast<std::size_t>(leading_));
        next += leading_;
        for (int group = groups_ - 1; group >= 0; --group) {
            text += format.thousandsSeparator;
            text.append(next, static_cast<std::size_t>(groupSizes_[group]));
            next += groupSizes_[group];
        }
    }

private:
    static constexpr int maxDigits = 20; // of a 64-bit unsigned number

    char digits_[maxDigits]; // right-aligned
    int count_ = 0;
    int groupSizes_[maxDigits]; // from the decimal point leftwards
    int groups_ = 0;
    int leading_ = 0; // digits before the first separator
};

void appendFraction(std::string& text, const Magnitude& magnitude, const MoneyFormat& format)
{
    if (magnitude.digits <= 0)
        return;
    const int kept = std::min(magnitude.digits, storedDigits);
    char fraction[storedDigits];
    std::uint64_t rest = magnitude.fraction;
    for (int i = kept - 1; i >= 0; --i) {
        fraction[i] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    text += format.decimalPoint;
    text.append(fraction, static_cast<std::size_t>(kept));
    text.append(static_cast<std::size_t>(magnitude.digits - kept), '0');
}

} // namespace

std::string formatCurrency(Currency amount, int digits, const MoneyFormat& format)
{
    using Position = MoneyFormat::SignPosition;
    using Spacing = MoneyFormat::Spacing;

    const Magnitude magnitude = roundedMagnitude(amount, digits < 0 ? std::max(format.fractionDigits, 0) : digits);
    const bool negative = amount.scaled() < 0 && !magnitude.isZero();
    const MoneyFormat::Layout& layout = negative ? format.negative : format.positive;
    const std::string_view sign = negative
        ? (format.negativeSign.empty() ? std::string_view("-") : std::string_view(format.negativeSign))
        : std::string_view(format.positiveSign);
    const std::string_view symbol = format.currencySymbol;
    const Position position = layout.signPosition;

    // A space between symbol and sign only where the two stand side by side.
    Spacing spacing = layout.spacing;
    if (spacing == Spacing::SymbolFromSign
        && (position == Position::Parentheses || (position == Position::BeforeAll && !layout.symbolPrecedes)
            || (position == Position::AfterAll && layout.symbolPrecedes)))
        spacing = Spacing::None;

    // Sized before writing: one allocation at most, none for a short text.
    const GroupedWhole whole(magnitude.whole, !format.leadingZero && magnitude.digits > 0, format);
    const std::size_t fractionSize
        = magnitude.digits > 0 ? format.decimalPoint.size() + static_cast<std::size_t>(magnitude.digits) : 0;
    std::string text;
    text.reserve(whole.size(format) + fractionSize + symbol.size() + sign.size() + 3); // 3: a space, two parentheses
    // The sign where it follows the symbol, spaced off when the region says so.
    const auto appendSignAfterSymbol = [&] {
        if (spacing == Spacing::SymbolFromSign)
            text += ' ';
        text += sign;
    };
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
        if (position == Position::AfterSymbol)
            appendSignAfterSymbol();
        if (spacing == Spacing::SymbolFromAmount)
            text += ' ';
    } else if (position == Position::BeforeAll) {
        text += sign;
    }

    whole.appendTo(text, format);
    appendFraction(text, magnitude, format);

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
        if (position == Position::AfterSymbol)
            appendSignAfterSymbol();
    }

    if (position == Position::AfterAll)
        appendSignAfterSymbol();

    if (parentheses)
        text += ')';
    return text;
}

} // namespace tarnwick
