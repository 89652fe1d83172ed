#include "form/qt/user_money_format.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace tarnwick {

namespace {

// Codeset of the locale that LC_MONETARY comes from. Plain CODESET would
// give LC_CTYPE's, which differs in a mix such as LANG=de_DE.UTF-8 with
// LC_MONETARY=de_DE@euro, whose euro sign is the Latin-9 byte 0xA4.
std::string monetaryCodeset()
{
#ifdef __GLIBC__
    // glibc names each category's codeset, and follows uselocale() too.
    return nl_langinfo(_NL_MONETARY_CODESET);
#else
    const char* name = std::setlocale(LC_MONETARY, nullptr);
    locale_t monetary = newlocale(LC_CTYPE_MASK, name ? name : "C", static_cast<locale_t>(0));
    if (monetary == static_cast<locale_t>(0))
        return "ANSI_X3.4-1968";
    std::string codeset = nl_langinfo_l(CODESET, monetary);
    freelocale(monetary);
    return codeset;
#endif
}

class Utf8Converter {
public:
    explicit Utf8Converter(const std::string& codeset)
    {
        if (codeset != "UTF-8")
            descriptor_ = iconv_open("UTF-8", codeset.c_str());
    }
    ~Utf8Converter()
    {
        if (descriptor_ != invalid())
            iconv_close(descriptor_);
    }
    Utf8Converter(const Utf8Converter&) = delete;
    Utf8Converter& operator=(const Utf8Converter&) = delete;

    std::string operator()(const char* text) const
    {
        std::string input = text ? text : "";
        if (descriptor_ == invalid() || input.empty())
            return input;
        iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
        std::string output;
        char* in = input.data();
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char buffer[64];
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(descriptor_, &in, &inLeft, &out, &outLeft);
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            if (errno != EILSEQ && errno != EINVAL)
                break;
            // A byte the codeset does not define: show the replacement character.
            output += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
        }
        return output;
    }

private:
    // iconv's own way of saying "no descriptor".
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); } // NOLINT(performance-no-int-to-ptr)
    iconv_t descriptor_ = invalid();
};

// POSIX leaves a field at CHAR_MAX when the locale does not say.
bool given(char field)
{
    return field != CHAR_MAX;
}

MoneyFormat::Layout layoutFrom(char csPrecedes, char sepBySpace, char signPosn)
{
    MoneyFormat::Layout layout;
    layout.symbolPrecedes = csPrecedes != 0;
    if (given(sepBySpace) && sepBySpace >= 0 && sepBySpace <= 2)
        layout.spacing = static_cast<MoneyFormat::Spacing>(sepBySpace);
    if (given(signPosn) && signPosn >= 0 && signPosn <= 4)
        layout.signPosition = static_cast<MoneyFormat::SignPosition>(signPosn);
    return layout;
}

std::vector<int> groupingFrom(const char* grouping)
{
    std::vector<int> sizes;
    for (const char* size = grouping; size && *size != '\0'; ++size) {
        if (*size == CHAR_MAX || *size < 0) {
            sizes.push_back(0); // no further grouping
            break;
        }
        sizes.push_back(static_cast<unsigned char>(*size));
    }
    return sizes;
}

} // namespace

MoneyFormat userMoneyFormat()
{
    const lconv* conventions = std::localeconv();
    const Utf8Converter utf8(monetaryCodeset());

    MoneyFormat format;
    format.currencySymbol = utf8(conventions->currency_symbol);
    format.decimalPoint = utf8(conventions->mon_decimal_point);
    if (format.decimalPoint.empty())
        format.decimalPoint = conventions->decimal_point;
    if (format.decimalPoint.empty())
        format.decimalPoint = MoneyFormat{}.decimalPoint;
    format.thousandsSeparator = utf8(conventions->mon_thousands_sep);
    format.grouping = groupingFrom(conventions->mon_grouping);
    format.positiveSign = utf8(conventions->positive_sign);
    // A region without a negative sign still writes "-", as POSIX asks.
    format.negativeSign = utf8(conventions->negative_sign);
    if (format.negativeSign.empty())
        format.negativeSign = MoneyFormat{}.negativeSign;
    if (given(conventions->frac_digits) && conventions->frac_digits >= 0)
        format.fractionDigits = static_cast<unsigned char>(conventions->frac_digits);
    format.positive = layoutFrom(conventions->p_cs_precedes, conventions->p_sep_by_space, conventions->p_sign_posn);
    format.negative = layoutFrom(conventions->n_cs_precedes, conventions->n_sep_by_space, conventions->n_sign_posn);
    return format;
}

bool takeMoneyLocaleFromEnvironment()
{
    // setlocale(LC_ALL, "") takes all categories or, when one fails, none.
    return std::setlocale(LC_MONETARY, "") != nullptr;
}

} // namespace tarnwick
