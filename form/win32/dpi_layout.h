#pragma once

#include "form/form_layout.h"
#include "form/keyboard_model.h"
#include "form/layout_fitting.h"
#include "form/win32/gdi_handles.h"

#include <windows.h>

#include <array>

namespace tarnwick {

using ControlHandles = std::array<HWND, formLayout.size()>; // by row of the layout table

// The window's layout at its display's DPI: the dialog font at that DPI, and
// every control where the layout, fitted to that font, puts it.
class DpiLayout {
public:
    // Takes the dialog font at `dpi`, and each control's place as the table
    // draws it, before any caption is measured. The window makes its
    // controls there in this font, so that apply() then moves only those
    // whose captions need more room.
    void prepare(UINT dpi);
    HFONT font() const { return font_ ? font_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }
    // Where the control of `row` is, in pixels at dpi() from the client area's corner.
    const RECT& place(LayoutRow row) const { return places_[row]; }
    // The window's outer size for the client area at dpi(), in `style`.
    SIZE windowSize(DWORD style) const;

    // Lays `window` and its `controls` out for `dpi`, fonts included, in the
    // dialog font as it is now when `newFont` (the user changed it); in
    // `suggested` when given (a move to a display of another DPI), else
    // where the window is.
    void apply(HWND window, const ControlHandles& controls, UINT dpi, const RECT* suggested, bool newFont = false);
    // The window's outer size were it laid out for `dpi`: what it answers
    // Windows before a move to a display of that DPI.
    SIZE windowSizeAt(HWND window, const ControlHandles& controls, UINT dpi) const;

    // Whether the user's message font is no longer the one the layout was prepared in.
    bool fontChanged() const;

    UINT dpi() const { return dpi_; }
    // Where each control is, in pixels at 96 dots per inch, from its
    // container's corner; and the dialog font at 96 dots per inch.
    const FittedLayout& layout() const { return layout_; }
    // The same from the form's corner.
    PixelRect placeOnForm(LayoutRow row) const;
    const LOGFONTW& fontAt96Dpi() const { return fontAt96Dpi_; }

private:
    std::array<int, formLayout.size()> neededWidths(
        HWND window, const ControlHandles& controls, UINT controlsDpi) const;
    void fit(const std::array<int, formLayout.size()>& needed);
    void placeControls();

    UINT dpi_ = 0;
    FontHandle font_; // the dialog font at dpi_
    LOGFONTW fontAt96Dpi_{};
    FittedLayout layout_;
    std::array<RECT, formLayout.size()> places_{}; // layout_ at dpi_
};

} // namespace tarnwick
