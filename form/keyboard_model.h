#pragma once

#include "form/form_layout.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace tarnwick {

// A control, by its row in the layout table.
using LayoutRow = std::size_t;

// What the window's keys do, worked out from the layout table alone, so that
// every binding moves the focus the same way.

// The rows that can take the focus (option and command buttons), by rising tab position.
std::vector<LayoutRow> focusOrder();

// The control that Tab (forward) or Shift+Tab reaches from `from` (none: from
// outside the order), wrapping at the ends. Of an option group only the
// selected option is a stop, at its own tab position.
std::optional<LayoutRow> nextTabStop(
    std::optional<LayoutRow> from, bool forward, const std::function<bool(LayoutRow)>& isSelectedOption);

// The button Enter presses with the focus on `focus`: that control when it is
// a command button, else the default button.
LayoutRow enterTarget(std::optional<LayoutRow> focus);

// The character after "&" in a caption, in lower case; 0 when there is none.
char accessKey(std::string_view caption);

// What an access key does. A key that belongs to one control acts on it
// (`press`: an option is selected and focused, a button pressed). A key that
// two controls share moves the focus to the next of them after `focus`, in
// tab order, and presses nothing.
struct AccessKeyAction {
    LayoutRow control;
    bool press;
};
std::optional<AccessKeyAction> accessKeyAction(char key, std::optional<LayoutRow> focus);

} // namespace tarnwick
