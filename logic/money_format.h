#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// A region's way of writing money, as POSIX monetary conventions describe
// it, with every text in UTF-8. A default-made value is the C/POSIX region,
// which has no currency format: no symbol, "." and no grouping, 2 decimals,
// "-" in front of negative amounts.
struct MoneyFormat {
    // Where the sign goes (POSIX sign_posn).
    enum class SignPosition {
        Parentheses = 0,  // (amount and symbol)
        BeforeAll = 1,    // sign before amount and symbol
        AfterAll = 2,     // sign after amount and symbol
        BeforeSymbol = 3, // sign right before the symbol
        AfterSymbol = 4,  // sign right after the symbol
    };

    // Which space a region puts in (POSIX sep_by_space).
    enum class Spacing {
        None = 0,
        SymbolFromAmount = 1, // a space between symbol and amount
        SymbolFromSign = 2,   // a space between symbol and sign, when they are adjacent
    };

    // How amounts of one sign are written.
    struct Layout {
        bool symbolPrecedes = true;
        Spacing spacing = Spacing::None;
        SignPosition signPosition = SignPosition::BeforeAll;

        friend bool operator==(const Layout&, const Layout&) = default;
    };

    std::string currencySymbol;
    std::string decimalPoint = ".";
    std::string thousandsSeparator;
    // Sizes of the digit groups from the decimal point leftwards; the last
    // size repeats. A size of 0 or less ends grouping: the digits left of it
    // form one group. Empty, or an empty separator: no grouping at all.
    std::vector<int> grouping;
    std::string positiveSign;
    // An empty negative sign still shows as "-", as POSIX asks.
    std::string negativeSign = "-";
    // Digits after the decimal point that the region gives money.
    int fractionDigits = 2;
    // Whether a whole part of zero is written before the decimal point:
    // "0.50", or ".50" without it (a Windows setting; POSIX always writes it).
    // An amount written with no decimals keeps its "0" either way.
    bool leadingZero = true;
    Layout positive;
    Layout negative;

    friend bool operator==(const MoneyFormat&, const MoneyFormat&) = default;
};

} // namespace tarnwick
