// The program takes the money locale from the environment on its own, and the
// reader follows the locale that LC_MONETARY names, whatever the other
// categories say, and gives its texts in UTF-8.
#include "form/qt/user_money_format.h"
#include "logic/currency.h"
#include "logic/format_currency.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using tarnwick::Currency;
using tarnwick::formatCurrency;
using tarnwick::MoneyFormat;

struct EnvironmentCase {
    const char* name;
    const char* lang;
    const char* lcMonetary;
    const char* symbol;
    const char* text;             // -1234.50 with 2 decimals
    const char* lcTime = nullptr; // a category the program does not read
};

// Sets the process's locale from the environment as the program starts:
// QApplication takes every category at once, then the program takes money on
// its own. Puts environment and locale back after each test.
class ProcessLocale : public ::testing::TestWithParam<EnvironmentCase> {
protected:
    void SetUp() override
    {
        savedLocale_ = setlocale(LC_ALL, nullptr);
        for (const char* variable : {"LC_ALL", "LANG", "LC_CTYPE", "LC_MONETARY", "LC_TIME"}) {
            const char* value = std::getenv(variable);
            savedEnvironment_.emplace_back(variable, value ? std::optional<std::string>(value) : std::nullopt);
        }
        uselocale(LC_GLOBAL_LOCALE);
    }

    void TearDown() override
    {
        for (const auto& [variable, value] : savedEnvironment_) {
            if (value)
                setenv(variable, value->c_str(), 1);
            else
                unsetenv(variable);
        }
        setlocale(LC_ALL, savedLocale_.c_str());
    }

private:
    std::string savedLocale_;
    std::vector<std::pair<const char*, std::optional<std::string>>> savedEnvironment_;
};

TEST_P(ProcessLocale, money_follows_lc_monetary_in_utf8)
{
    const EnvironmentCase& row = GetParam();
    unsetenv("LC_ALL");
    unsetenv("LC_CTYPE");
    setenv("LANG", row.lang, 1);
    setenv("LC_MONETARY", row.lcMonetary, 1);
    if (row.lcTime)
        setenv("LC_TIME", row.lcTime, 1);
    else
        unsetenv("LC_TIME");
    setlocale(LC_ALL, ""); // as QApplication does; fails as a whole if any category cannot be had
    ASSERT_TRUE(tarnwick::takeMoneyLocaleFromEnvironment()) << "locale " << row.lcMonetary << " is not installed";

    const MoneyFormat format = tarnwick::userMoneyFormat();
    EXPECT_EQ(format.currencySymbol, row.symbol);
    EXPECT_EQ(formatCurrency(Currency::fromScaled(-12'345'000), 2, format), row.text);
}

INSTANTIATE_TEST_SUITE_P(Environment, ProcessLocale,
    ::testing::Values(
        // de_DE@euro is Latin-9, where the euro sign is the byte 0xA4.
        EnvironmentCase{"latin9_euro_under_utf8_language", "en_US.UTF-8", "de_DE@euro", "€", "-1.234,50 €"},
        EnvironmentCase{"eucjp_yen_under_c_language", "C", "ja_JP.eucjp", "￥", "￥-1,234.50"},
        // KOI8-R writes the ruble's letters and the no-break space as single bytes.
        EnvironmentCase{"koi8r_ruble_under_latin9_language", "de_DE@euro", "ru_RU.koi8r", "руб", "-1\u00a0234,50 руб"},
        // No xx_XX locale exists: the other categories cannot all be had, money still can.
        EnvironmentCase{"money_despite_an_uninstalled_time_locale", "en_US.UTF-8", "de_DE.UTF-8", "€", "-1.234,50 €",
            "xx_XX.UTF-8"}),
    [](const ::testing::TestParamInfo<EnvironmentCase>& info) { return std::string(info.param.name); });

TEST(CLocale, reads_as_the_default_made_format)
{
    const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    ASSERT_NE(c, locale_t{});
    const locale_t previous = uselocale(c);
    const MoneyFormat format = tarnwick::userMoneyFormat();
    uselocale(previous);
    freelocale(c);

    EXPECT_EQ(format, MoneyFormat{});
    EXPECT_EQ(formatCurrency(Currency::fromScaled(-15'000), tarnwick::regionalDigits, format), "-1.50");
}

} // namespace
