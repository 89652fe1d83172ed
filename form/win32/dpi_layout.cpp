#include "form/win32/dpi_layout.h"

#include "form/win32/utf16.h"

#include <commctrl.h>

#include <optional>
#include <string>
#include <utility>

namespace tarnwick {

namespace {

// The system's dialog (message box) font, as it is at `dpi`.
LOGFONTW messageFont(UINT dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof metrics.lfMessageFont, &metrics.lfMessageFont);
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), 96);
    }
    return metrics.lfMessageFont;
}

// From pixels at 96 dots per inch to pixels at `dpi`.
int atDpi(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), 96);
}

} // namespace

int DpiLayout::neededWidth(HWND control, LayoutRow row) const
{
    const ControlEntry& entry = formLayout[row];
    if (entry.caption.empty() || entry.kind == ControlKind::Frame)
        return 0;
    if (entry.kind != ControlKind::Label) {
        SIZE ideal{};
        if (SendMessageW(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)))
            return ideal.cx;
    }
    const WindowDc dc(control);
    const SelectedObject font(dc.get(), font_ ? font_.get() : GetStockObject(DEFAULT_GUI_FONT));
    const std::wstring caption = toUtf16(entry.caption);
    RECT box{};
    DrawTextW(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &box,
        DT_CALCRECT | DT_SINGLELINE | (entry.kind == ControlKind::Label ? DT_NOPREFIX : 0));
    return box.right - box.left;
}

PixelRect DpiLayout::placeOnForm(LayoutRow row) const
{
    PixelRect box = layout_.controls[row];
    // Controls inside a frame are placed from the frame's corner.
    if (const std::optional<LayoutRow> frame = rowNamed(formLayout[row].container)) {
        box.left += layout_.controls[*frame].left;
        box.top += layout_.controls[*frame].top;
    }
    return box;
}

void DpiLayout::apply(HWND window, const ControlHandles& controls, UINT dpi, const RECT* suggested)
{
    dpi_ = dpi == 0 ? 96 : dpi;
    fontAt96Dpi_ = messageFont(96);
    const LOGFONTW font = messageFont(dpi_);
    FontHandle scaledFont(CreateFontIndirectW(&font));
    for (HWND control : controls)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(scaledFont.get()), FALSE);
    font_ = std::move(scaledFont);

    // The layout is fitted in pixels at 96 dots per inch, from captions measured at this DPI.
    const int dpiNow = static_cast<int>(dpi_);
    layout_ = fitLayout([&](LayoutRow row) { return (neededWidth(controls[row], row) * 96 + dpiNow - 1) / dpiNow; },
        GetSystemMetricsForDpi(SM_CXEDGE, 96));
    for (LayoutRow row = 0; row < formLayout.size(); ++row) {
        const PixelRect box = placeOnForm(row);
        // Edges are scaled, not sizes, so that neighbours stay as far apart as drawn.
        const int left = atDpi(box.left, dpi_);
        const int top = atDpi(box.top, dpi_);
        MoveWindow(controls[row], left, top, atDpi(box.right(), dpi_) - left, atDpi(box.bottom(), dpi_) - top, TRUE);
    }
    RECT frame{0, 0, atDpi(layout_.clientWidth, dpi_), atDpi(layout_.clientHeight, dpi_)};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE, 0, dpi_);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!suggested)
        flags |= SWP_NOMOVE;
    SetWindowPos(window, nullptr, suggested ? suggested->left : 0, suggested ? suggested->top : 0,
        frame.right - frame.left, frame.bottom - frame.top, flags);
}

} // namespace tarnwick
