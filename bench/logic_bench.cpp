// The sales logic's hot paths: money text against glibc's strfmon, and one
// patron priced and counted.
#include "form/qt/user_money_format.h"
#include "logic/client_tally.h"
#include "logic/format_currency.h"
#include "logic/patron_pricing.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <locale.h>
#include <monetary.h>
#include <string>

namespace {

using tarnwick::Currency;

// Prices, totals due and tallies the program writes.
constexpr std::array<Currency, 8> amounts{
    Currency::fromScaled(1'250'000),
    Currency::fromScaled(1'125'000),
    Currency::fromScaled(540'000),
    Currency::fromScaled(315'000),
    Currency::fromScaled(2'000'000),
    Currency::fromScaled(1'725'000),
    Currency::fromScaled(0),
    Currency::fromScaled(65'536'000'000),
};

locale_t openLocale(benchmark::State& state, const char* name)
{
    const locale_t locale = newlocale(LC_ALL_MASK, name, locale_t{});
    if (!locale)
        state.SkipWithError((std::string("locale not installed: ") + name).c_str());
    return locale;
}

tarnwick::MoneyFormat moneyFormatOf(locale_t locale)
{
    const locale_t previous = uselocale(locale);
    tarnwick::MoneyFormat format = tarnwick::userMoneyFormat();
    uselocale(previous);
    return format;
}

void formatCurrency(benchmark::State& state, const char* localeName)
{
    const locale_t locale = openLocale(state, localeName);
    if (!locale)
        return;
    const tarnwick::MoneyFormat format = moneyFormatOf(locale);
    std::size_t next = 0;
    for (auto _ : state) {
        std::string text = tarnwick::formatCurrency(amounts[next], 2, format);
        benchmark::DoNotOptimize(text);
        next = (next + 1) % amounts.size();
    }
    freelocale(locale);
}

void strfmon(benchmark::State& state, const char* localeName)
{
    const locale_t locale = openLocale(state, localeName);
    if (!locale)
        return;
    std::array<char, 128> text{};
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(strfmon_l(text.data(), text.size(), locale, "%.2n", amounts[next].toDouble()));
        benchmark::ClobberMemory();
        next = (next + 1) % amounts.size();
    }
    freelocale(locale);
}

BENCHMARK_CAPTURE(formatCurrency, en_US, "en_US.UTF-8");
BENCHMARK_CAPTURE(strfmon, en_US, "en_US.UTF-8");
BENCHMARK_CAPTURE(formatCurrency, de_DE, "de_DE.UTF-8");
BENCHMARK_CAPTURE(strfmon, de_DE, "de_DE.UTF-8");

// One press of Next Patron's logic: price the selection, then count it.
void patron(benchmark::State& state)
{
    const locale_t locale = openLocale(state, "en_US.UTF-8");
    if (!locale)
        return;
    const tarnwick::MoneyFormat format = moneyFormatOf(locale);
    freelocale(locale);

    // Every service with every coupon in turn, each a row of the seven option states.
    using tarnwick::SalesOption;
    std::array<std::array<bool, 7>, 12> selections{};
    for (std::size_t i = 0; i < selections.size(); ++i) {
        constexpr SalesOption services[] = {SalesOption::optMakeover, SalesOption::optHairStyling,
            SalesOption::optManicure, SalesOption::optPermanentMakeup};
        constexpr SalesOption coupons[] = {SalesOption::optNone, SalesOption::opt10Percent, SalesOption::opt20Percent};
        selections[i][static_cast<std::size_t>(services[i / 3])] = true;
        selections[i][static_cast<std::size_t>(coupons[i % 3])] = true;
    }
    std::size_t selection = 0;
    const tarnwick::OptionAnswerer isSelected
        = [&](SalesOption option) { return selections[selection][static_cast<std::size_t>(option)]; };

    Currency mcurTotalDue;
    Currency mcurTotalOfServices;
    std::int16_t mintNumberOfClients = 0;
    for (auto _ : state) {
        // Not const: newer Google Benchmark deprecates DoNotOptimize of a const value.
        tarnwick::PatronPrice price = tarnwick::calculatePatron(isSelected, mcurTotalDue, format);
        benchmark::DoNotOptimize(price);
        if (mintNumberOfClients == INT16_MAX) {
            mcurTotalOfServices = Currency{};
            mintNumberOfClients = 0;
        }
        tarnwick::countPatron(mcurTotalDue, mcurTotalOfServices, mintNumberOfClients);
        if (++selection == selections.size())
            selection = 0;
    }
    benchmark::DoNotOptimize(mcurTotalOfServices);
}

BENCHMARK(patron);

} // namespace
