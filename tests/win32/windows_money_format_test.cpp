// Every region Windows knows: the money text of windowsMoneyFormat and
// formatCurrency against Windows' own GetCurrencyFormatEx; and the user's own
// settings, bad ones among them, through userMoneyFormat.
#include "form/win32/windows_money_format.h"
#include "logic/currency.h"
#include "logic/format_currency.h"
#include "tests/win32/test_utf.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <iostream>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using tarnwick::Currency;
using tarnwick::formatCurrency;
using tarnwick::MoneyFormat;
using tarnwick::regionalDigits;
using tarnwick::test::utf8;

std::wstring settingText(const wchar_t* locale, LCTYPE type)
{
    wchar_t text[256] = {};
    if (GetLocaleInfoEx(locale, type, text, 256) == 0)
        return L"<unreadable>";
    return text;
}

std::vector<std::wstring> systemLocales()
{
    std::vector<std::wstring> names;
    EnumSystemLocalesEx(
        [](LPWSTR name, DWORD, LPARAM list) {
            reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(name); // NOLINT(performance-no-int-to-ptr)
            return TRUE;
        },
        LOCALE_ALL, reinterpret_cast<LPARAM>(&names), nullptr);
    return names;
}

// CURRENCYFMTW's Grouping from a setting's "3;2;0": the sizes as decimal
// digits, where a last digit other than 0 repeats (3 is "3;0", 32 is
// "3;2;0") and a last 0 stops (30 is "3").
UINT groupingNumber(const std::wstring& sizes)
{
    UINT number = 0;
    UINT last = 0;
    for (const wchar_t c : sizes) {
        if (c >= L'0' && c <= L'9') {
            last = static_cast<UINT>(c - L'0');
            number = number * 10 + last;
        }
    }
    return last == 0 ? number / 10 : number * 10;
}

// The amount as GetCurrencyFormatEx reads it: "-1234567.5000".
std::wstring windowsNumber(std::int64_t scaled)
{
    const std::uint64_t units
        = scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::wstring fraction = std::to_wstring(units % 10'000);
    fraction.insert(0, 4 - fraction.size(), L'0');
    return (scaled < 0 ? L"-" : L"") + std::to_wstring(units / 10'000) + L"." + fraction;
}

// Windows' own text of the amount in the locale's money format, with
// `digits` decimals or the locale's own (regionalDigits). Under Wine 8 the
// call with no format of its own (lpFormat null) writes only the first group
// separator ("$1234,567.50"); the same call given the locale's own values in
// a CURRENCYFMTW writes them all, so that is what the program is held to.
std::string windowsText(const wchar_t* locale, std::int64_t scaled, int digits)
{
    std::wstring decimalPoint = settingText(locale, LOCALE_SMONDECIMALSEP);
    std::wstring separator = settingText(locale, LOCALE_SMONTHOUSANDSEP);
    std::wstring symbol = settingText(locale, LOCALE_SCURRENCY);
    CURRENCYFMTW format{};
    format.NumDigits = digits == regionalDigits
        ? static_cast<UINT>(std::wcstoul(settingText(locale, LOCALE_ICURRDIGITS).c_str(), nullptr, 10))
        : static_cast<UINT>(digits);
    format.LeadingZero = static_cast<UINT>(std::wcstoul(settingText(locale, LOCALE_ILZERO).c_str(), nullptr, 10));
    format.Grouping = groupingNumber(settingText(locale, LOCALE_SMONGROUPING));
    format.lpDecimalSep = decimalPoint.data();
    format.lpThousandSep = separator.data();
    format.NegativeOrder = static_cast<UINT>(std::wcstoul(settingText(locale, LOCALE_INEGCURR).c_str(), nullptr, 10));
    format.PositiveOrder = static_cast<UINT>(std::wcstoul(settingText(locale, LOCALE_ICURRENCY).c_str(), nullptr, 10));
    format.lpCurrencySymbol = symbol.data();

    const std::wstring number = windowsNumber(scaled);
    wchar_t text[512] = {};
    if (GetCurrencyFormatEx(locale, 0, number.c_str(), &format, text, 512) == 0)
        return "<GetCurrencyFormatEx failed: " + std::to_string(GetLastError()) + ">";
    return utf8(text);
}

// Where Windows' rounding is not the program's: Windows rounds a tie away
// from zero where the program, as on Linux, rounds it to even; and Windows
// keeps the sign of a negative amount that rounds to zero. The logic tests
// hold the program's rule there.
bool roundsAsWindowsDoes(std::int64_t scaled, int decimals)
{
    if (decimals >= 4)
        return true;
    std::uint64_t unit = 1;
    for (int i = decimals; i < 4; ++i)
        unit *= 10;
    const std::uint64_t units
        = scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    const bool tie = units % unit == unit / 2;
    const bool negativeToZero = scaled < 0 && units < unit / 2;
    return !tie && !negativeToZero;
}

// Each of these and its negation, in ten-thousandths: zero, below one, the
// salon's prices, sums with several groups, amounts that round at 0, 2 and 3
// decimals, up to the largest Currency. None carries a new leading digit
// when rounded: Wine 8 then leaves out that digit's separator
// ("999.9951" gives "$1000.00", and "9999999.996" in groups of 3 and 2 gives
// "$100,00,000.00").
constexpr std::int64_t amounts[] = {
    0,
    5'000,
    4'999,
    1'250'000,
    1'125'000,
    315'000,
    123'456,
    199'999'951,
    12'345'675'000,
    65'536'000'000,
    123'456'789'012'346,
    std::numeric_limits<std::int64_t>::max(),
};

TEST(WindowsMoneyFormatOracle, every_windows_region_writes_money_as_get_currency_format_does)
{
    int compared = 0;
    int texts = 0;
    for (const std::wstring& name : systemLocales()) {
        const MoneyFormat format = tarnwick::windowsMoneyFormat(name.c_str());
        for (const int digits : {2, regionalDigits}) {
            const int decimals = digits == regionalDigits ? format.fractionDigits : digits;
            for (const std::int64_t scaled : amounts) {
                for (const std::int64_t amount : {scaled, -scaled}) {
                    if (!roundsAsWindowsDoes(amount, decimals))
                        continue;
                    EXPECT_EQ(formatCurrency(Currency::fromScaled(amount), digits, format),
                        windowsText(name.c_str(), amount, digits))
                        << "locale \"" << utf8(name) << "\", " << amount << " ten-thousandths, "
                        << (digits == regionalDigits ? "the region's own decimals" : "2 decimals");
                    ++texts;
                }
            }
        }
        ++compared;
    }

    std::cout << "Compared the money text of " << compared << " Windows regions (" << texts
              << " texts) with GetCurrencyFormatEx.\n";
    RecordProperty("regions_compared", compared);
    // Wine 8 knows 910; a broken enumeration must not pass on next to nothing.
    EXPECT_GE(compared, 500) << "too few locales enumerated";
}

TEST(WindowsMoneyFormat, an_unknown_region_gives_the_plain_format)
{
    ASSERT_EQ(GetLocaleInfoEx(L"qq-ZZ", LOCALE_SCURRENCY, nullptr, 0), 0) << "Windows knows qq-ZZ after all";
    const MoneyFormat format = tarnwick::windowsMoneyFormat(L"qq-ZZ");
    EXPECT_EQ(format, MoneyFormat{});
    EXPECT_EQ(formatCurrency(Currency::fromScaled(-12'345'000), 2, format), "-1234.50");
}

// One of the user's own settings, as the Region settings would store it.
struct Setting {
    LCTYPE type;
    const wchar_t* value;
};

struct UserCase {
    const char* name;
    std::vector<Setting> settings; // on top of en-US, the prefix's user locale
    std::int64_t scaled;
    int digits;
    const char* text;
    // Whether Windows' own text is the same; not where the setting is bad
    // and Windows writes something unreadable, or fails.
    bool asWindows;
};

void PrintTo(const UserCase& row, std::ostream* out)
{
    *out << row.name;
}

// Changes the user's settings with SetLocaleInfoW and puts them back after
// each case. Wine reads HKCU\Control Panel\International once per program
// and keeps what it read, so a registry value written while the program
// runs is seen only by programs started later; SetLocaleInfoW writes the
// registry and what the running program has read alike.
class UserMoneyFormat : public ::testing::TestWithParam<UserCase> {
protected:
    void SetUp() override
    {
        for (const LCTYPE type : {LOCALE_SCURRENCY, LOCALE_SMONDECIMALSEP, LOCALE_SMONTHOUSANDSEP, LOCALE_SMONGROUPING,
                 LOCALE_SNEGATIVESIGN, LOCALE_ICURRENCY, LOCALE_INEGCURR, LOCALE_ICURRDIGITS, LOCALE_ILZERO}) {
            const std::wstring value = settingText(LOCALE_NAME_USER_DEFAULT, type);
            ASSERT_NE(value, L"<unreadable>") << "setting " << type;
            saved_.push_back({type, value});
        }
    }

    void TearDown() override
    {
        for (const auto& [type, value] : saved_)
            EXPECT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, type, value.c_str())) << "setting " << type;
    }

private:
    std::vector<std::pair<LCTYPE, std::wstring>> saved_;
};

TEST_P(UserMoneyFormat, writes_the_users_own_money_or_the_plain_fallback)
{
    const UserCase& row = GetParam();
    for (const Setting& setting : row.settings) {
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, setting.type, setting.value)) << "setting " << setting.type;
        // The change must reach the reader, or the case would test en-US.
        ASSERT_EQ(settingText(LOCALE_NAME_USER_DEFAULT, setting.type), setting.value) << "setting " << setting.type;
    }
    const std::string text = formatCurrency(Currency::fromScaled(row.scaled), row.digits, tarnwick::userMoneyFormat());
    EXPECT_EQ(text, row.text);
    if (row.asWindows) {
        EXPECT_EQ(text, windowsText(LOCALE_NAME_USER_DEFAULT, row.scaled, row.digits));
    }
}

UserCase negativePattern(const char* name, const wchar_t* pattern, const char* text, bool asWindows = true)
{
    return {name, {{LOCALE_INEGCURR, pattern}}, -11'000, 2, text, asWindows};
}

UserCase positivePattern(const char* name, const wchar_t* pattern, const char* text, bool asWindows = true)
{
    return {name, {{LOCALE_ICURRENCY, pattern}}, 11'000, 2, text, asWindows};
}

struct RowName {
    std::string operator()(const ::testing::TestParamInfo<UserCase>& info) const { return info.param.name; }
};

INSTANTIATE_TEST_SUITE_P(Symbol, UserMoneyFormat,
    ::testing::Values(UserCase{"empty", {{LOCALE_SCURRENCY, L""}}, -15'000, 2, "(1.50)", true},
        // Wine's own formatter reads no symbol longer than 12 characters when given no format.
        UserCase{"long", {{LOCALE_SCURRENCY, L"ABCDEFGHIJKLMNOPQRSTUVWXYZ"}}, 12'345'000, 2,
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ1,234.50", true},
        // Saudi riyals, ending in a right-to-left mark, after the amount.
        UserCase{"right_to_left",
            {{LOCALE_SCURRENCY, L"\x0631.\x0633.\x200F"}, {LOCALE_ICURRENCY, L"3"}, {LOCALE_INEGCURR, L"8"}},
            -12'345'000, 2, "-1,234.50 \u0631.\u0633.\u200F", true},
        UserCase{"starting_right_to_left", {{LOCALE_SCURRENCY, L"\x200F\x20AA"}}, 12'345'000, 2, "\u200F\u20AA1,234.50",
            true}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(Grouping, UserMoneyFormat,
    ::testing::Values(UserCase{"none", {{LOCALE_SMONGROUPING, L"0"}}, 12'345'675'000, 2, "$1234567.50", true},
        UserCase{"empty", {{LOCALE_SMONGROUPING, L""}}, 12'345'675'000, 2, "$1234567.50", true},
        UserCase{"one_group", {{LOCALE_SMONGROUPING, L"3"}}, 12'345'675'000, 2, "$1234,567.50", true},
        UserCase{"indian", {{LOCALE_SMONGROUPING, L"3;2;0"}}, 12'345'675'000, 2, "$12,34,567.50", true},
        UserCase{
            "two_groups_then_none", {{LOCALE_SMONGROUPING, L"3;2"}}, 1'234'567'890'000, 2, "$1234,56,789.00", true},
        UserCase{"not_digits", {{LOCALE_SMONGROUPING, L"3;x"}}, 12'345'675'000, 2, "$1234567.50", false},
        UserCase{"no_separator", {{LOCALE_SMONTHOUSANDSEP, L""}}, 12'345'675'000, 2, "$1234567.50", true},
        UserCase{"no_break_space", {{LOCALE_SMONTHOUSANDSEP, L"\x00A0"}, {LOCALE_SMONDECIMALSEP, L"\x066B"}},
            12'345'675'000, 2, "$1\u00A0234\u00A0567\u066B50", true}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(Digits, UserMoneyFormat,
    ::testing::Values(UserCase{"none", {{LOCALE_ICURRDIGITS, L"0"}}, 12'345'600, regionalDigits, "$1,235", true},
        UserCase{"three", {{LOCALE_ICURRDIGITS, L"3"}}, 12'345'678, regionalDigits, "$1,234.568", true},
        // More than the Region settings offer.
        UserCase{"too_many", {{LOCALE_ICURRDIGITS, L"10"}}, 12'345'678, regionalDigits, "$1,234.57", false},
        UserCase{"not_a_number", {{LOCALE_ICURRDIGITS, L"two"}}, 12'345'678, regionalDigits, "$1,234.57", false},
        UserCase{"no_leading_zero", {{LOCALE_ILZERO, L"0"}}, 5'000, 2, "$.50", true},
        UserCase{"no_leading_zero_for_zero", {{LOCALE_ILZERO, L"0"}}, 0, 2, "$.00", true},
        UserCase{
            "no_leading_zero_negative", {{LOCALE_ILZERO, L"0"}, {LOCALE_INEGCURR, L"1"}}, -5'000, 2, "-$.50", true},
        // Wine writes a bare "$" here.
        UserCase{"no_leading_zero_without_decimals", {{LOCALE_ILZERO, L"0"}, {LOCALE_ICURRDIGITS, L"0"}}, 4'000,
            regionalDigits, "$0", false},
        UserCase{"leading_zero_not_a_number", {{LOCALE_ILZERO, L"x"}}, 5'000, 2, "$0.50", false}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(Separators, UserMoneyFormat,
    ::testing::Values(
        // Wine runs the cents into the amount: "$123450".
        UserCase{"no_decimal_point", {{LOCALE_SMONDECIMALSEP, L""}}, 12'345'000, 2, "$1,234.50", false},
        // Wine writes a negative amount as a positive one.
        UserCase{
            "no_negative_sign", {{LOCALE_SNEGATIVESIGN, L""}, {LOCALE_INEGCURR, L"1"}}, -15'000, 2, "-$1.50", false},
        UserCase{"minus_sign", {{LOCALE_SNEGATIVESIGN, L"\x2212"}, {LOCALE_INEGCURR, L"1"}}, -15'000, 2, "\u2212$1.50",
            true}),
    RowName{});

INSTANTIATE_TEST_SUITE_P(Patterns, UserMoneyFormat,
    ::testing::Values(negativePattern("negative_0", L"0", "($1.10)"), negativePattern("negative_1", L"1", "-$1.10"),
        negativePattern("negative_2", L"2", "$-1.10"), negativePattern("negative_3", L"3", "$1.10-"),
        negativePattern("negative_4", L"4", "(1.10$)"), negativePattern("negative_5", L"5", "-1.10$"),
        negativePattern("negative_6", L"6", "1.10-$"), negativePattern("negative_7", L"7", "1.10$-"),
        negativePattern("negative_8", L"8", "-1.10 $"), negativePattern("negative_9", L"9", "-$ 1.10"),
        negativePattern("negative_10", L"10", "1.10 $-"), negativePattern("negative_11", L"11", "$ 1.10-"),
        negativePattern("negative_12", L"12", "$ -1.10"), negativePattern("negative_13", L"13", "1.10- $"),
        negativePattern("negative_14", L"14", "($ 1.10)"), negativePattern("negative_15", L"15", "(1.10 $)"),
        negativePattern("negative_out_of_range", L"16", "-$1.10", false),
        negativePattern("negative_far_out_of_range", L"99", "-$1.10", false),
        negativePattern("negative_not_a_number", L"abc", "-$1.10", false),
        negativePattern("negative_empty", L"", "-$1.10", false), positivePattern("positive_0", L"0", "$1.10"),
        positivePattern("positive_1", L"1", "1.10$"), positivePattern("positive_2", L"2", "$ 1.10"),
        positivePattern("positive_3", L"3", "1.10 $"), positivePattern("positive_out_of_range", L"4", "$1.10", false),
        positivePattern("positive_negative_number", L"-1", "$1.10", false)),
    RowName{});

} // namespace
