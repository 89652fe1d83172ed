#pragma once

#include "form/form_layout.h"

#include <cstddef>
#include <optional>

namespace tarnwick {

// Each control's Win32 ID, from its row in the layout table. The dialog
// manager sends Enter to IDOK and Esc to IDCANCEL, so the default and the
// cancel buttons carry those.
inline constexpr int defaultButtonId = 1; // IDOK
inline constexpr int cancelButtonId = 2;  // IDCANCEL
inline constexpr int firstControlId = 100;

constexpr int controlId(std::size_t row)
{
    switch (formLayout[row].role) {
    case ControlRole::DefaultButton:
        return defaultButtonId;
    case ControlRole::CancelButton:
        return cancelButtonId;
    default:
        return firstControlId + static_cast<int>(row);
    }
}

constexpr std::optional<std::size_t> rowOfControlId(int id)
{
    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        if (controlId(row) == id)
            return row;
    }
    return std::nullopt;
}

} // namespace tarnwick
