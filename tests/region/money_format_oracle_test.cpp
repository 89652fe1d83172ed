// Every region glibc knows: the money text of the region reader and
// formatCurrency against glibc's own strfmon.
#include "form/qt/user_money_format.h"
#include "logic/currency.h"
#include "logic/format_currency.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <iconv.h>
#include <iostream>
#include <langinfo.h>
#include <limits>
#include <locale.h>
#include <memory>
#include <monetary.h>
#include <string>
#include <vector>

namespace {

using tarnwick::Currency;
using tarnwick::formatCurrency;
using tarnwick::regionalDigits;

std::vector<std::string> installedLocales()
{
    std::vector<std::string> names;
    const std::unique_ptr<FILE, int (*)(FILE*)> list(popen("locale -a 2>/dev/null", "r"), &pclose);
    if (!list)
        return names;
    std::array<char, 256> line{};
    while (std::fgets(line.data(), line.size(), list.get())) {
        std::string name = line.data();
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (!name.empty())
            names.push_back(name);
    }
    return names;
}

// Makes one locale current on this thread for as long as it lives.
class ThreadLocale {
public:
    explicit ThreadLocale(const std::string& name) : locale_(newlocale(LC_ALL_MASK, name.c_str(), locale_t{}))
    {
        if (locale_)
            previous_ = uselocale(locale_);
    }
    ~ThreadLocale()
    {
        if (locale_) {
            uselocale(previous_);
            freelocale(locale_);
        }
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

    explicit operator bool() const { return locale_ != locale_t{}; }

private:
    locale_t locale_;
    locale_t previous_{};
};

// strfmon's text for the current thread's locale, in UTF-8.
class Strfmon {
public:
    Strfmon() : codeset_(nl_langinfo(_NL_MONETARY_CODESET))
    {
        if (codeset_ != "UTF-8")
            toUtf8_ = iconv_open("UTF-8", codeset_.c_str());
    }
    ~Strfmon()
    {
        if (toUtf8_ != noConversion())
            iconv_close(toUtf8_);
    }
    Strfmon(const Strfmon&) = delete;
    Strfmon& operator=(const Strfmon&) = delete;

    std::string operator()(const char* format, double amount) const
    {
        std::array<char, 256> text{};
        const ssize_t length = strfmon(text.data(), text.size(), format, amount);
        if (length < 0)
            return "<strfmon failed>";
        if (codeset_ == "UTF-8")
            return std::string(text.data(), static_cast<std::size_t>(length));
        if (toUtf8_ == noConversion())
            return "<no conversion from " + codeset_ + ">";
        std::array<char, 1024> utf8{};
        char* in = text.data();
        std::size_t inLeft = static_cast<std::size_t>(length);
        char* out = utf8.data();
        std::size_t outLeft = utf8.size();
        iconv(toUtf8_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(toUtf8_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1))
            return "<not valid " + codeset_ + ">";
        return std::string(utf8.data(), utf8.size() - outLeft);
    }

private:
    static iconv_t noConversion() { return reinterpret_cast<iconv_t>(-1); }
    std::string codeset_;
    iconv_t toUtf8_ = noConversion();
};

// What the program can total: each price and total due, sums of them, up
// to the largest reachable tally; each also negated. All lie far below 2^53
// ten-thousandths and none is a tie at 0, 2 or 3 decimals that binary cannot
// hold, so strfmon's double gets every one of them right.
constexpr std::int64_t reachable[] = {
    0,
    1'250'000,
    1'125'000,
    1'000'000,
    600'000,
    540'000,
    480'000,
    350'000,
    315'000,
    280'000,
    2'000'000,
    1'800'000,
    1'600'000,
    1'725'000,
    11'725'000,
    123'455'000,
    12'345'675'000,
    65'536'000'000,
};

// Amounts strfmon gets wrong, each with the text it must give at 0, 2 and 3
// decimals. From 2^53 ten-thousandths on, a double cannot hold the amount;
// for a negative that rounds to zero strfmon writes "-0"; at a tie that
// binary cannot hold, the double lies off the tie and strfmon rounds by that
// noise instead of half to even.
struct Exact {
    std::int64_t scaled;
    std::array<const char*, 3> shown; // with 0, 2 and 3 decimals
};

constexpr Exact exact[] = {
    {std::numeric_limits<std::int64_t>::max(), {"922337203685478", "922337203685477.58", "922337203685477.581"}},
    {std::numeric_limits<std::int64_t>::min(), {"-922337203685478", "-922337203685477.58", "-922337203685477.581"}},
    {9'007'199'254'740'992, {"900719925474", "900719925474.10", "900719925474.099"}},
    {-40, {"0", "0.00", "-0.004"}},
    {-5'000, {"0", "-0.50", "-0.500"}},
    {150, {"0", "0.02", "0.015"}},
    {-250, {"0", "-0.02", "-0.025"}},
    {125, {"0", "0.01", "0.012"}},
    {1'015, {"0", "0.10", "0.102"}},
};

// The exact text in the region's layout: strfmon writes a stand-in with
// as many digits, every one exact (a power of ten, or zero), and the
// digits of `shown` replace its digits in order. `shown` is read by hand
// rather than by a library that could follow the current locale.
std::string exactText(const Strfmon& strfmon, const char* format, const std::string& shown)
{
    const bool negative = shown.front() == '-';
    std::string digits;
    int integerDigits = 0;
    bool fraction = false;
    for (const char c : shown) {
        if (c == '.')
            fraction = true;
        else if (c != '-') {
            digits += c;
            integerDigits += fraction ? 0 : 1;
        }
    }
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    double standIn = zero ? 0.0 : 1.0;
    for (int i = 1; i < integerDigits && !zero; ++i)
        standIn *= 10.0;
    std::string text = strfmon(format, negative ? -standIn : standIn);

    std::size_t next = 0;
    for (char& c : text) {
        if (c >= '0' && c <= '9') {
            if (next == digits.size())
                return "<stand-in " + text + " has more digits than " + shown + ">";
            c = digits[next++];
        }
    }
    if (next != digits.size())
        return "<stand-in " + text + " has fewer digits than " + shown + ">";
    return text;
}

int shownIndex(int decimals)
{
    switch (decimals) {
    case 0:
        return 0;
    case 2:
        return 1;
    case 3:
        return 2;
    default:
        return -1;
    }
}

TEST(MoneyFormatOracle, every_installed_region_writes_money_as_strfmon_does)
{
    const std::vector<std::string> locales = installedLocales();
    int compared = 0;
    for (const std::string& name : locales) {
        const ThreadLocale current(name);
        if (!current) {
            ADD_FAILURE() << "locale -a lists " << name << " but newlocale refuses it";
            continue;
        }
        const tarnwick::MoneyFormat format = tarnwick::userMoneyFormat();
        const Strfmon strfmon;
        struct Form {
            int digits;
            const char* strfmon;
            int decimals;
        };
        for (const Form form : {Form{2, "%.2n", 2}, Form{regionalDigits, "%n", format.fractionDigits}}) {
            for (const std::int64_t scaled : reachable) {
                for (const std::int64_t amount : {scaled, -scaled}) {
                    const Currency currency = Currency::fromScaled(amount);
                    EXPECT_EQ(formatCurrency(currency, form.digits, format), strfmon(form.strfmon, currency.toDouble()))
                        << name << ", " << amount << " ten-thousandths, " << form.strfmon;
                }
            }
            const int index = shownIndex(form.decimals);
            if (index < 0) {
                ADD_FAILURE() << name << " gives money " << form.decimals << " decimals; add them to the exact table";
                continue;
            }
            for (const Exact& row : exact) {
                EXPECT_EQ(formatCurrency(Currency::fromScaled(row.scaled), form.digits, format),
                    exactText(strfmon, form.strfmon, row.shown[index]))
                    << name << ", " << row.scaled << " ten-thousandths, " << form.strfmon;
            }
        }
        ++compared;
    }

    std::cout << "Compared the money text of " << compared << " regions with strfmon.\n";
    RecordProperty("regions_compared", compared);
    // Without locales-all only a handful exist: fail rather than pass on next to nothing.
    EXPECT_GE(compared, 400) << "too few locales installed; install locales-all";
}

} // namespace
