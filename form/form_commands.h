#pragma once

#include "form/form_platform.h"
#include "logic/currency.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

namespace tarnwick {

// The six command handlers and the form-level variables they share. Each
// handler does its steps in order; one that reuses another's work calls it.
// A run-time error stops the handler and every handler that called it.
class FormCommands {
public:
    explicit FormCommands(FormPlatform& platform) : platform_(platform) { }

    void cmdCalculate_Click();
    void cmdClear_Click();
    void cmdExit_Click();
    void cmdNext_Click();
    void cmdPrint_Click();
    void cmdSummary_Click();

    using Handler = void (FormCommands::*)();
    // Runs a handler as the event loop does: a run-time error is reported
    // here, once, and the program goes on.
    void runFromEventLoop(Handler handler) noexcept;

    Currency totalOfServices() const { return mcurTotalOfServices; }
    std::int16_t numberOfClients() const { return mintNumberOfClients; }
    Currency totalDue() const { return mcurTotalDue; }

private:
    void report(const char* message) noexcept;

    FormPlatform& platform_;
    Currency mcurTotalOfServices;
    std::int16_t mintNumberOfClients = 0;
    Currency mcurTotalDue;
};

// Which handler each command button's click runs, by the button's name.
inline constexpr std::array<std::pair<std::string_view, FormCommands::Handler>, 6> clickHandlers{{
    {"cmdCalculate", &FormCommands::cmdCalculate_Click},
    {"cmdClear", &FormCommands::cmdClear_Click},
    {"cmdExit", &FormCommands::cmdExit_Click},
    {"cmdNext", &FormCommands::cmdNext_Click},
    {"cmdPrint", &FormCommands::cmdPrint_Click},
    {"cmdSummary", &FormCommands::cmdSummary_Click},
}};

} // namespace tarnwick
