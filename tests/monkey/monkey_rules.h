#pragma once

// The monkey's rules, one table for the monkey tests of both bindings: what
// the operator may do, what the monkey never does, what each action should
// run, and a model of the tally of its own, kept from the price table. Each
// binding maps the abstract actions to its own events. No toolkit here.

#include "logic/currency.h"
#include "logic/format_currency.h"
#include "logic/money_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace tarnwick::monkey {

// Every key the operator may press, except Alt+X (Exit).
enum class Key {
    Tab,
    ShiftTab,
    Left,
    Right,
    Up,
    Down,
    Space,
    Return,
    KeypadEnter,
    Esc,
    AltM,
    AltS,
    AltC,
    AltP,
    Alt1,
    Alt2,
    AltN,
    AltL
};

// Which command a key runs, whatever the toolkit.
enum class KeyPress {
    Nothing,                // moves the focus or the selection, runs no command
    FocusedButton,          // the focused command button, if a command button has the focus
    FocusedButtonOrDefault, // the focused command button, else the default button
    Command,                // `command`, wherever the focus is
};

struct KeyAction {
    Key key;
    std::string_view name;
    KeyPress press;
    std::string_view command = {};
    std::string_view selects = {}; // the option an access key selects
};

inline constexpr std::string_view defaultButton = "cmdCalculate";

inline constexpr std::array<KeyAction, 18> keyActions{{
    {Key::Tab, "Tab", KeyPress::Nothing},
    {Key::ShiftTab, "Shift+Tab", KeyPress::Nothing},
    {Key::Left, "Left", KeyPress::Nothing},
    {Key::Right, "Right", KeyPress::Nothing},
    {Key::Up, "Up", KeyPress::Nothing},
    {Key::Down, "Down", KeyPress::Nothing},
    {Key::Space, "Space", KeyPress::FocusedButton},
    {Key::Return, "Return", KeyPress::FocusedButtonOrDefault},
    {Key::KeypadEnter, "Enter", KeyPress::FocusedButtonOrDefault},
    {Key::Esc, "Esc", KeyPress::Command, "cmdClear"},
    {Key::AltM, "Alt+M", KeyPress::Nothing, {}, "optMakeover"},
    // A letter that two controls share only moves the focus between them.
    {Key::AltS, "Alt+S", KeyPress::Nothing},
    {Key::AltC, "Alt+C", KeyPress::Nothing},
    {Key::AltP, "Alt+P", KeyPress::Nothing},
    {Key::Alt1, "Alt+1", KeyPress::Nothing, {}, "opt10Percent"},
    {Key::Alt2, "Alt+2", KeyPress::Nothing, {}, "opt20Percent"},
    {Key::AltN, "Alt+N", KeyPress::Nothing},
    {Key::AltL, "Alt+L", KeyPress::Command, "cmdClear"},
}};

// Every button the monkey clicks: all but Exit and Print Form.
inline constexpr std::array<std::string_view, 11> clickedButtons{
    "cmdCalculate",
    "cmdNext",
    "cmdClear",
    "cmdSummary",
    "optMakeover",
    "optHairStyling",
    "optManicure",
    "optPermanentMakeup",
    "optNone",
    "opt10Percent",
    "opt20Percent",
};

// The command buttons among them, whose press runs a command.
inline constexpr std::array<std::string_view, 4> commands{"cmdCalculate", "cmdNext", "cmdClear", "cmdSummary"};

constexpr bool isCommand(std::string_view control)
{
    for (std::string_view command : commands) {
        if (command == control)
            return true;
    }
    return false;
}

// A press of Exit or Print Form would end the run or print: when one of them
// has the focus, a key that would press it is sent as a Tab instead.
constexpr const KeyAction& keyToSend(const KeyAction& wanted, std::string_view focus)
{
    const bool pressesFocus
        = wanted.press == KeyPress::FocusedButton || wanted.press == KeyPress::FocusedButtonOrDefault;
    if (pressesFocus && (focus == "cmdExit" || focus == "cmdPrint"))
        return keyActions[0];
    return wanted;
}

// The command that a key runs with `focus` focused; empty for none.
constexpr std::string_view commandOfKey(const KeyAction& key, std::string_view focus)
{
    switch (key.press) {
    case KeyPress::Nothing:
        return {};
    case KeyPress::FocusedButton:
        return isCommand(focus) ? focus : std::string_view{};
    case KeyPress::FocusedButtonOrDefault:
        return isCommand(focus) ? focus : defaultButton;
    case KeyPress::Command:
        return key.command;
    }
    return {};
}

// The command that a click on `control` runs; empty for an option.
constexpr std::string_view commandOfClick(std::string_view control)
{
    return isCommand(control) ? control : std::string_view{};
}

// The random stream: the same seed draws the same actions in both bindings.
class ActionStream {
public:
    explicit ActionStream(std::uint64_t seed) : random_(seed) { }

    // A number below `count`.
    std::size_t pick(std::size_t count) { return static_cast<std::size_t>(random_() % count); }

    // The next action: a key of keyActions, or (key is null) a click on `clicked`.
    struct Action {
        const KeyAction* key = nullptr;
        std::string_view clicked;
    };
    Action next()
    {
        const std::size_t choice = pick(keyActions.size() + clickedButtons.size());
        if (choice < keyActions.size())
            return {&keyActions[choice], {}};
        return {nullptr, clickedButtons[choice - keyActions.size()]};
    }

private:
    std::mt19937_64 random_;
};

// The price table, in ten-thousandths, and the coupons' discounts in percent.
struct ServiceRow {
    std::string_view option;
    std::int64_t price;
};
inline constexpr std::array<ServiceRow, 4> services{{
    {"optMakeover", 1'250'000},
    {"optHairStyling", 600'000},
    {"optManicure", 350'000},
    {"optPermanentMakeup", 2'000'000},
}};

struct CouponRow {
    std::string_view option;
    std::int64_t percentOff;
};
inline constexpr std::array<CouponRow, 3> coupons{{
    {"optNone", 0},
    {"opt10Percent", 10},
    {"opt20Percent", 20},
}};

// What a clearing leaves: these two options selected, both amounts empty, the focus on Calculate.
inline constexpr std::string_view clearedService = "optMakeover";
inline constexpr std::string_view clearedCoupon = "optNone";
inline constexpr std::string_view focusAfterClearing = "cmdCalculate";

inline constexpr std::string_view summaryTitle = "Client Summary";

// The selected options and what they give by the table.
struct Selection {
    int servicesSelected = 0;
    int couponsSelected = 0;
    std::int64_t price = 0;
    std::int64_t totalDue = 0;

    bool oneOfEach() const { return servicesSelected == 1 && couponsSelected == 1; }
};

// `isChecked(name)` says whether the option of that name is selected.
template <class IsChecked> Selection selectionOf(IsChecked isChecked)
{
    Selection selection;
    std::int64_t percentOff = 0;
    for (const ServiceRow& row : services) {
        if (isChecked(row.option)) {
            ++selection.servicesSelected;
            selection.price = row.price;
        }
    }
    for (const CouponRow& row : coupons) {
        if (isChecked(row.option)) {
            ++selection.couponsSelected;
            percentOff = row.percentOff;
        }
    }
    selection.totalDue = selection.price * (100 - percentOff) / 100; // exact for every row of the table
    return selection;
}

// An amount label's text: two decimals in the region's way.
inline std::string amountText(std::int64_t tenThousandths, const MoneyFormat& money)
{
    return formatCurrency(Currency::fromScaled(tenThousandths), 2, money);
}

// The summary box's text for a tally, the amount in the region's own decimals.
inline std::string expectedSummary(int clients, std::int64_t services, const MoneyFormat& money)
{
    return "Number of Clients: " + std::to_string(clients)
        + "\r\nTotal of Services: " + formatCurrency(Currency::fromScaled(services), regionalDigits, money);
}

// The tally as the model keeps it: every patron counted and what the table says they owed.
class Tally {
public:
    void count(std::int64_t totalDue)
    {
        ++clients_;
        services_ += totalDue;
    }
    int clients() const { return clients_; }
    std::int64_t services() const { return services_; }

private:
    int clients_ = 0;
    std::int64_t services_ = 0;
};

} // namespace tarnwick::monkey
