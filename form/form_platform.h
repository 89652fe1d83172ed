#pragma once

#include "logic/money_format.h"
#include "logic/sales_option.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

enum class AmountLabel { lblServicePrice, lblTotalDue };

// The controls of the layout that the handlers' options and labels are.
inline constexpr std::array<std::pair<SalesOption, std::string_view>, 7> optionControls{{
    {SalesOption::optMakeover, "optMakeover"},
    {SalesOption::optHairStyling, "optHairStyling"},
    {SalesOption::optManicure, "optManicure"},
    {SalesOption::optPermanentMakeup, "optPermanentMakeup"},
    {SalesOption::optNone, "optNone"},
    {SalesOption::opt10Percent, "opt10Percent"},
    {SalesOption::opt20Percent, "opt20Percent"},
}};

constexpr std::string_view controlName(SalesOption wanted)
{
    for (const auto& [option, name] : optionControls) {
        if (option == wanted)
            return name;
    }
    return {};
}

constexpr std::string_view controlName(AmountLabel label)
{
    return label == AmountLabel::lblServicePrice ? "lblServicePrice" : "lblTotalDue";
}

// What the command handlers need of the window and the desktop, and nothing more.
// Operations that fail throw RunTimeError.
class FormPlatform {
public:
    virtual ~FormPlatform() = default;

    virtual bool isSelected(SalesOption option) const = 0;
    // Selecting an option clears the others of its frame at once.
    virtual void select(SalesOption option) = 0;
    virtual std::string labelText(AmountLabel label) const = 0;
    virtual void setLabelText(AmountLabel label, const std::string& text) = 0;
    virtual void focusCalculate() = 0;
    // Tells a screen reader what a command has just shown, without moving the
    // focus. The binding decides what reaches the reader: an announcement
    // that the window has moved past by the time it could be heard (the
    // amounts cleared again, a box opened) is dropped.
    virtual void announce(const std::string& text) = 0;
    // An image of the window on the default printer, no dialog of its own;
    // returns once the job is handed over, or once the user has cancelled it
    // in a box of the printer's own (nothing printed, nothing to report).
    virtual void printForm() = 0;
    // Modal information box with one OK button; returns when it is closed.
    virtual void showInformation(const std::string& title, const std::string& text) = 0;
    // Tells the user that a command stopped on a run-time error.
    virtual void reportRunTimeError(const std::string& message) = 0;
    virtual void endProgram() = 0;
    // The user's regional money format, as it is now.
    virtual MoneyFormat moneyFormat() const = 0;
};

} // namespace tarnwick
