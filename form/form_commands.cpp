#include "form/form_commands.h"

#include "form/form_layout.h"
#include "logic/client_tally.h"
#include "logic/patron_pricing.h"

#include <exception>
#include <string>

namespace tarnwick {

namespace {

// "Individual Service Price: $60.00, Total Due: $54.00": each amount after
// the caption that names it on the window.
std::string spokenAmounts(const PatronPrice& patron)
{
    const auto spoken = [](AmountLabel label, const std::string& amount) {
        return std::string(labelCaptionFor(controlName(label))) + " " + amount;
    };
    return spoken(AmountLabel::lblServicePrice, patron.servicePriceText) + ", "
        + spoken(AmountLabel::lblTotalDue, patron.totalDueText);
}

} // namespace

void FormCommands::cmdCalculate_Click()
{
    const auto isSelected = [this](SalesOption option) { return platform_.isSelected(option); };
    const PatronPrice patron = calculatePatron(isSelected, mcurTotalDue, platform_.moneyFormat());
    platform_.setLabelText(AmountLabel::lblServicePrice, patron.servicePriceText);
    platform_.setLabelText(AmountLabel::lblTotalDue, patron.totalDueText);
    platform_.announce(spokenAmounts(patron));
}

void FormCommands::cmdClear_Click()
{
    platform_.setLabelText(AmountLabel::lblServicePrice, "");
    platform_.setLabelText(AmountLabel::lblTotalDue, "");
    platform_.select(SalesOption::optNone);
    platform_.select(SalesOption::optMakeover);
    platform_.focusCalculate();
}

void FormCommands::cmdExit_Click()
{
    platform_.endProgram();
}

void FormCommands::cmdNext_Click()
{
    // Always recalculate: a patron is counted at the current selection, never a stale total.
    cmdCalculate_Click();
    countPatron(mcurTotalDue, mcurTotalOfServices, mintNumberOfClients);
    cmdClear_Click();
}

void FormCommands::cmdPrint_Click()
{
    platform_.printForm();
}

void FormCommands::cmdSummary_Click()
{
    // A filled total-due label is a calculated patron not yet counted.
    if (!platform_.labelText(AmountLabel::lblTotalDue).empty())
        cmdNext_Click();
    const std::string text = summaryText(mcurTotalOfServices, mintNumberOfClients, platform_.moneyFormat());
    platform_.showInformation("Client Summary", text);
}

void FormCommands::runFromEventLoop(Handler handler) noexcept
{
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        report(error.what());
    } catch (...) {
        report("Unexpected error");
    }
}

void FormCommands::report(const char* message) noexcept
{
    try {
        platform_.reportRunTimeError(message);
    } catch (...) {
        // Nothing is left to tell the user with; the window goes on as it is.
    }
}

} // namespace tarnwick
