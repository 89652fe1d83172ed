#include "form/win32/dpi_layout.h"

#include "form/win32/utf16.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// The width of `row`'s caption in the font selected into `dc`, as its control draws it.
int captionWidth(HDC dc, LayoutRow row)
{
    const ControlEntry& entry = formLayout[row];
    const std::wstring caption = toUtf16(entry.caption);
    RECT box{};
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &box,
        DT_CALCRECT | DT_SINGLELINE | (entry.kind == ControlKind::Label ? DT_NOPREFIX : 0));
    return box.right - box.left;
}

} // namespace

void DpiLayout::prepare(UINT dpi)
{
    dpi_ = dpi == 0 ? 96 : dpi;
    fontAt96Dpi_ = messageFont(96);
    const LOGFONTW font = messageFont(dpi_);
    font_.reset(CreateFontIndirectW(&font));
    layout_ = fitLayout([](LayoutRow) { return 0; }, 0);
    placeControls();
}

bool DpiLayout::fontChanged() const
{
    const LOGFONTW now = messageFont(96);
    const LOGFONTW& then = fontAt96Dpi_;
    return now.lfHeight != then.lfHeight || now.lfWidth != then.lfWidth || now.lfWeight != then.lfWeight
        || now.lfItalic != then.lfItalic || now.lfCharSet != then.lfCharSet
        || std::wcsncmp(now.lfFaceName, then.lfFaceName, LF_FACESIZE) != 0;
}

SIZE DpiLayout::windowSize(DWORD style) const
{
    RECT frame{0, 0, atDpi(layout_.clientWidth, dpi_), atDpi(layout_.clientHeight, dpi_)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, 0, dpi_);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// What each control needs across for its caption, in pixels at dpi_ (0:
// nothing to fit). A button's need is its caption's extent and the margin
// its kind draws around it, which Windows tells (BCM_GETIDEALSIZE); in one
// font that margin is the same for every button of a kind, so one button of
// each kind is asked and every caption measured in one DC, as each asking
// costs the button a DC of its own. The controls are in their font at
// `controlsDpi`: their margins are measured there and scaled to dpi_.
std::array<int, formLayout.size()> DpiLayout::neededWidths(
    HWND window, const ControlHandles& controls, UINT controlsDpi) const
{
    const WindowDc dc(window);
    std::vector<std::pair<LONG, int>> margins; // by button type
    {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): WM_GETFONT answers a handle
        const auto controlsFont = reinterpret_cast<HFONT>(SendMessageW(controls[0], WM_GETFONT, 0, 0));
        const SelectedObject selected(dc.get(), controlsFont ? controlsFont : font());
        for (LayoutRow row = 0; row < formLayout.size(); ++row) {
            const ControlEntry& entry = formLayout[row];
            if (entry.caption.empty() || entry.kind == ControlKind::Frame || entry.kind == ControlKind::Label)
                continue;
            const LONG type = GetWindowLongW(controls[row], GWL_STYLE) & BS_TYPEMASK;
            if (std::ranges::find(margins, type, &std::pair<LONG, int>::first) != margins.end())
                continue;
            SIZE ideal{};
            const bool told = SendMessageW(controls[row], BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
            const int margin = told ? static_cast<int>(ideal.cx) - captionWidth(dc.get(), row) : 0;
            margins.emplace_back(type, MulDiv(margin, static_cast<int>(dpi_), static_cast<int>(controlsDpi)));
        }
    }
    const SelectedObject selected(dc.get(), font());
    std::array<int, formLayout.size()> needed{};
    for (LayoutRow row = 0; row < formLayout.size(); ++row) {
        const ControlEntry& entry = formLayout[row];
        if (entry.caption.empty() || entry.kind == ControlKind::Frame)
            continue;
        needed[row] = captionWidth(dc.get(), row);
        if (entry.kind == ControlKind::Label)
            continue;
        const LONG type = GetWindowLongW(controls[row], GWL_STYLE) & BS_TYPEMASK;
        needed[row] += std::ranges::find(margins, type, &std::pair<LONG, int>::first)->second;
    }
    return needed;
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

void DpiLayout::placeControls()
{
    for (LayoutRow row = 0; row < formLayout.size(); ++row) {
        const PixelRect box = placeOnForm(row);
        // Edges are scaled, not sizes, so that neighbours stay as far apart as drawn.
        places_[row]
            = {atDpi(box.left, dpi_), atDpi(box.top, dpi_), atDpi(box.right(), dpi_), atDpi(box.bottom(), dpi_)};
    }
}

void DpiLayout::fit(const std::array<int, formLayout.size()>& needed)
{
    // The layout is fitted in pixels at 96 dots per inch, from captions measured at this DPI.
    const int dpiNow = static_cast<int>(dpi_);
    layout_ = fitLayout(
        [&](LayoutRow row) { return (needed[row] * 96 + dpiNow - 1) / dpiNow; }, GetSystemMetricsForDpi(SM_CXEDGE, 96));
    placeControls();
}

SIZE DpiLayout::windowSizeAt(HWND window, const ControlHandles& controls, UINT dpi) const
{
    DpiLayout at;
    at.prepare(dpi);
    at.fit(at.neededWidths(window, controls, dpi_));
    return at.windowSize(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)));
}

void DpiLayout::apply(HWND window, const ControlHandles& controls, UINT dpi, const RECT* suggested, bool newFont)
{
    newFont = newFont || (dpi == 0 ? 96 : dpi) != dpi_;
    if (newFont) {
        // The old font lives until no control holds it.
        const FontHandle oldFont = std::move(font_);
        prepare(dpi);
        for (HWND control : controls)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font()), FALSE);
    }
    const std::array<RECT, formLayout.size()> before = places_;

    fit(neededWidths(window, controls, dpi_));
    // Only what moves is moved; a hidden window is painted whole when it is shown.
    const UINT redraw = IsWindowVisible(window) ? 0 : SWP_NOREDRAW;
    for (LayoutRow row = 0; row < formLayout.size(); ++row) {
        const RECT& place = places_[row];
        if (newFont || !EqualRect(&place, &before[row]))
            SetWindowPos(controls[row], nullptr, place.left, place.top, place.right - place.left,
                place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE | redraw);
    }

    const SIZE size = windowSize(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)));
    RECT now{};
    GetWindowRect(window, &now);
    // The rectangle Windows suggests is the size the window answered for
    // the new DPI (WM_GETDPISCALEDSIZE): taken as it is, so that the window
    // cannot flip between two sizes at a display's edge.
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
            suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    else if (size.cx != now.right - now.left || size.cy != now.bottom - now.top)
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    // Laid out again while shown (a new DPI): everything is drawn afresh, in the new font.
    if (newFont && !redraw)
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

} // namespace tarnwick
