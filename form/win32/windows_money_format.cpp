#include "form/win32/windows_money_format.h"

#include "form/win32/utf16.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

namespace {

using Layout = MoneyFormat::Layout;
using Position = MoneyFormat::SignPosition;
using Spacing = MoneyFormat::Spacing;

// One setting's text; nothing when Windows cannot give it. Sized by asking
// first, so a long value (the user may type any symbol) is read whole.
std::optional<std::wstring> settingText(const wchar_t* locale, LCTYPE type)
{
    // The value may grow between the two calls when the user changes it; try again then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int size = GetLocaleInfoEx(locale, type, nullptr, 0);
        if (size <= 0)
            return std::nullopt;
        std::wstring text(static_cast<std::size_t>(size), L'\0');
        if (GetLocaleInfoEx(locale, type, text.data(), size) > 0) {
            text.resize(std::min(text.find(L'\0'), text.size()));
            return text;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return std::nullopt;
    }
    return std::nullopt;
}

std::string utf8Setting(const wchar_t* locale, LCTYPE type, std::string fallback)
{
    const std::optional<std::wstring> text = settingText(locale, type);
    return text ? toUtf8(*text) : std::move(fallback);
}

// A numbered setting ("2", "15") from 0 to `largest`. Parsed here rather than
// with LOCALE_RETURN_NUMBER, so that whatever a user's registry holds ("x",
// "-3", a number stored as REG_DWORD, which reads as a control character)
// counts as unreadable in the same way everywhere.
std::optional<int> numberSetting(const wchar_t* locale, LCTYPE type, int largest)
{
    const std::optional<std::wstring> text = settingText(locale, type);
    if (!text || text->empty())
        return std::nullopt;
    int value = 0;
    for (const wchar_t digit : *text) {
        if (digit < L'0' || digit > L'9')
            return std::nullopt;
        value = value * 10 + (digit - L'0');
        if (value > largest)
            return std::nullopt;
    }
    return value;
}

// Windows writes group sizes as "3;2;0": a final 0 makes the size before it
// repeat, and without one grouping stops after the last size. MoneyFormat
// repeats its last size and stops at a 0. Anything but single digits
// between semicolons gives no grouping.
std::vector<int> groupingFrom(std::wstring_view text)
{
    std::vector<int> sizes;
    if (text.empty())
        return sizes;
    for (std::size_t at = 0;; at += 2) {
        if (at >= text.size() || text[at] < L'0' || text[at] > L'9')
            return {};
        sizes.push_back(text[at] - L'0');
        if (at + 1 == text.size())
            break;
        if (text[at + 1] != L';')
            return {};
    }
    if (sizes.back() == 0)
        sizes.pop_back();
    else
        sizes.push_back(0);
    return sizes;
}

// LOCALE_ICURRENCY's four patterns: "$1.1", "1.1$", "$ 1.1", "1.1 $".
Layout positiveLayout(std::optional<int> pattern)
{
    static constexpr std::array<Layout, 4> layouts{{
        {true, Spacing::None, Position::BeforeAll},
        {false, Spacing::None, Position::BeforeAll},
        {true, Spacing::SymbolFromAmount, Position::BeforeAll},
        {false, Spacing::SymbolFromAmount, Position::BeforeAll},
    }};
    if (!pattern || *pattern >= static_cast<int>(layouts.size()))
        return MoneyFormat{}.positive;
    return layouts[static_cast<std::size_t>(*pattern)];
}

// LOCALE_INEGCURR's sixteen patterns, each as POSIX would say it.
Layout negativeLayout(std::optional<int> pattern)
{
    static constexpr std::array<Layout, 16> layouts{{
        {true, Spacing::None, Position::Parentheses},              // 0: ($1.1)
        {true, Spacing::None, Position::BeforeAll},                // 1: -$1.1
        {true, Spacing::None, Position::AfterSymbol},              // 2: $-1.1
        {true, Spacing::None, Position::AfterAll},                 // 3: $1.1-
        {false, Spacing::None, Position::Parentheses},             // 4: (1.1$)
        {false, Spacing::None, Position::BeforeAll},               // 5: -1.1$
        {false, Spacing::None, Position::BeforeSymbol},            // 6: 1.1-$
        {false, Spacing::None, Position::AfterAll},                // 7: 1.1$-
        {false, Spacing::SymbolFromAmount, Position::BeforeAll},   // 8: -1.1 $
        {true, Spacing::SymbolFromAmount, Position::BeforeAll},    // 9: -$ 1.1
        {false, Spacing::SymbolFromAmount, Position::AfterAll},    // 10: 1.1 $-
        {true, Spacing::SymbolFromAmount, Position::AfterAll},     // 11: $ 1.1-
        {true, Spacing::SymbolFromSign, Position::AfterSymbol},    // 12: $ -1.1
        {false, Spacing::SymbolFromSign, Position::BeforeSymbol},  // 13: 1.1- $
        {true, Spacing::SymbolFromAmount, Position::Parentheses},  // 14: ($ 1.1)
        {false, Spacing::SymbolFromAmount, Position::Parentheses}, // 15: (1.1 $)
    }};
    if (!pattern || *pattern >= static_cast<int>(layouts.size()))
        return MoneyFormat{}.negative;
    return layouts[static_cast<std::size_t>(*pattern)];
}

} // namespace

MoneyFormat windowsMoneyFormat(const wchar_t* localeName)
{
    // Each setting falls back on its own to the default-made value, so one
    // bad entry in the user's registry spoils only its own part of the text.
    const MoneyFormat plain;
    MoneyFormat format;
    format.currencySymbol = utf8Setting(localeName, LOCALE_SCURRENCY, plain.currencySymbol);
    // Without a decimal point the cents would run into the whole amount.
    format.decimalPoint = utf8Setting(localeName, LOCALE_SMONDECIMALSEP, plain.decimalPoint);
    if (format.decimalPoint.empty())
        format.decimalPoint = plain.decimalPoint;
    format.thousandsSeparator = utf8Setting(localeName, LOCALE_SMONTHOUSANDSEP, plain.thousandsSeparator);
    if (const std::optional<std::wstring> grouping = settingText(localeName, LOCALE_SMONGROUPING))
        format.grouping = groupingFrom(*grouping);
    // Without a negative sign a debt would read as a credit.
    format.negativeSign = utf8Setting(localeName, LOCALE_SNEGATIVESIGN, plain.negativeSign);
    if (format.negativeSign.empty())
        format.negativeSign = plain.negativeSign;
    // 0 to 9 decimals, as the Region settings offer. Positive money has no sign on Windows.
    format.fractionDigits = numberSetting(localeName, LOCALE_ICURRDIGITS, 9).value_or(plain.fractionDigits);
    format.leadingZero = numberSetting(localeName, LOCALE_ILZERO, 1).value_or(plain.leadingZero ? 1 : 0) != 0;
    format.positive = positiveLayout(numberSetting(localeName, LOCALE_ICURRENCY, 99));
    format.negative = negativeLayout(numberSetting(localeName, LOCALE_INEGCURR, 99));
    return format;
}

MoneyFormat userMoneyFormat()
{
    // Without LOCALE_NOUSEROVERRIDE, GetLocaleInfoEx gives the user's own changes.
    return windowsMoneyFormat(LOCALE_NAME_USER_DEFAULT);
}

} // namespace tarnwick
