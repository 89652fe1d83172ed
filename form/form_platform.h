#pragma once

#include "logic/money_format.h"
#include "logic/sales_option.h"

#include <string>

namespace tarnwick {

enum class AmountLabel { lblServicePrice, lblTotalDue };

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
    // An image of the window on the default printer, no dialog; returns once
    // the job is handed over.
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
