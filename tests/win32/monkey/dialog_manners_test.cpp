// The window's manners as a dialog's, checked in process under Wine, where
// they show and another process cannot make them show: Wine keeps each
// process's system parameters in a copy of its own, so a font another
// process sets never reaches the program's, and WM_QUERYUISTATE answers 0
// whatever the window was sent.
//  - The keyboard cues: what the window is sent, as its window procedure
//    gets it (a hook on this thread), when it is shown and when Tab moves
//    the focus.
//  - A new message font while the window is open: the font set here, with
//    Windows' broadcast or an application's (wParam 0), and the window in
//    the new font afterwards, grown or back to its size, every caption
//    inside its control, every control inside the client area; so after a
//    move to 144 dpi, sent as Windows sends it.
//  - A reader's first WM_GETOBJECT while the window closes starts no COM.

#include "form/form_layout.h"
#include "form/win32/frm_tarnwick2.h"
#include "form/win32/gdi_handles.h"
#include "tests/win32/monkey/operator_input.h"
#include "tests/win32/monkey/window_test.h"
#include "tests/win32/test_utf.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace tarnwick::monkey {

namespace {

HWND watchedWindow = nullptr;
std::vector<WPARAM> uiStateChanges; // each WM_CHANGEUISTATE's wParam, oldest first

LRESULT CALLBACK recordUiStateChange(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam); // NOLINT(performance-no-int-to-ptr)
        if (sent->hwnd == watchedWindow && sent->message == WM_CHANGEUISTATE)
            uiStateChanges.push_back(sent->wParam);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool wasSent(WORD action, WORD cues)
{
    return std::ranges::any_of(
        uiStateChanges, [&](WPARAM sent) { return LOWORD(sent) == action && (HIWORD(sent) & cues) == cues; });
}

using DialogManners = WindowTest;

TEST_F(DialogManners, keyboardCuesHiddenUntilTheKeyboardIsUsed)
{
    watchedWindow = form_->handle();
    uiStateChanges.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, recordUiStateChange, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    ASSERT_TRUE(showActive());
    // As the dialog manager initialises a dialog: both cues as the last input has them.
    EXPECT_TRUE(wasSent(UIS_INITIALIZE, UISF_HIDEACCEL | UISF_HIDEFOCUS)) << uiStateChanges.size() << " sent";
    uiStateChanges.clear();
    input_->press(Key::Tab);
    EXPECT_TRUE(wasSent(UIS_CLEAR, UISF_HIDEFOCUS)) << "Tab left the focus rectangles hidden";
    UnhookWindowsHookEx(hook);
    watchedWindow = nullptr;
}

NONCLIENTMETRICSW userMetrics()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, 96);
    return metrics;
}

// The user's message font, stored as Display Settings stores it; with
// Windows' broadcast of the change, else with an application's.
void setMessageFont(NONCLIENTMETRICSW metrics, bool windowsBroadcasts)
{
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics,
        SPIF_UPDATEINIFILE | (windowsBroadcasts ? SPIF_SENDCHANGE : 0)));
    if (!windowsBroadcasts)
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"WindowMetrics"),
            SMTO_ABORTIFHUNG, 5000, nullptr);
}

SIZE clientSize(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

// As Windows moves a window to a display of `dpi`: its size there asked, then
// a rectangle suggested, here larger than its answer, which it must take.
void moveTo(HWND window, UINT dpi)
{
    SIZE answered{};
    EXPECT_TRUE(SendMessageW(window, WM_GETDPISCALEDSIZE, dpi, reinterpret_cast<LPARAM>(&answered)));
    RECT suggested{};
    GetWindowRect(window, &suggested);
    suggested.right = suggested.left + answered.cx + 40;
    suggested.bottom = suggested.top + answered.cy + 30;
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT taken{};
    GetWindowRect(window, &taken);
    EXPECT_TRUE(EqualRect(&taken, &suggested)) << "the window did not take the rectangle suggested";
}

struct FontChange {
    const wchar_t* face; // nullptr: the font the window opened in
    int points;
    bool windowsBroadcasts;
    bool grows;       // the client area larger than at opening, else as it was
    UINT movedTo = 0; // a display's DPI the window is then moved to
};

TEST_F(DialogManners, newMessageFontLaysTheWindowOutAgain)
{
    ASSERT_TRUE(showActive());
    HWND window = form_->handle();
    const NONCLIENTMETRICSW opening = userMetrics();
    const SIZE openingSize = clientSize(window);
    const FontChange rows[] = {
        {L"DejaVu Sans", 12, true, true},
        {L"DejaVu Sans", 9, false, true},
        {nullptr, 0, true, false},
        {nullptr, 0, true, true, 144},
    };
    for (const FontChange& row : rows) {
        NONCLIENTMETRICSW metrics = opening;
        if (row.face) {
            LOGFONTW& font = metrics.lfMessageFont;
            font = LOGFONTW{};
            font.lfHeight = -MulDiv(row.points, 96, 72);
            font.lfWeight = FW_NORMAL;
            font.lfCharSet = DEFAULT_CHARSET;
            std::wcsncpy(font.lfFaceName, row.face, LF_FACESIZE - 1);
        }
        const std::wstring face = metrics.lfMessageFont.lfFaceName;
        SCOPED_TRACE(test::utf8(face) + (row.windowsBroadcasts ? ", Windows'" : ", an application's") + " broadcast"
            + (row.movedTo ? ", moved to " + std::to_string(row.movedTo) + " dpi" : ""));
        setMessageFont(metrics, row.windowsBroadcasts);
        input_->runQueue();
        if (row.movedTo)
            moveTo(window, row.movedTo);

        // Wine keeps the window at the display's DPI whatever it was told.
        const UINT dpi = row.movedTo ? row.movedTo : GetDpiForWindow(window);
        const SIZE size = clientSize(window);
        if (row.grows)
            EXPECT_TRUE(size.cx > openingSize.cx && size.cy > openingSize.cy) << "not grown";
        else
            EXPECT_TRUE(size.cx == openingSize.cx && size.cy == openingSize.cy) << "not back to its opening size";
        EXPECT_EQ(std::wstring(form_->fontAt96Dpi().lfFaceName), face) << "Print Form would draw in the old font";

        for (LayoutRow control = 0; control < formLayout.size(); ++control) {
            HWND handle = form_->control(formLayout[control].name);
            // NOLINTNEXTLINE(performance-no-int-to-ptr): WM_GETFONT answers a handle
            const auto font = reinterpret_cast<HFONT>(SendMessageW(handle, WM_GETFONT, 0, 0));
            LOGFONTW used{};
            GetObjectW(font, sizeof used, &used);
            EXPECT_EQ(std::wstring(used.lfFaceName), face) << formLayout[control].name;
            EXPECT_EQ(used.lfHeight, MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), 96))
                << formLayout[control].name;
            RECT place{};
            GetWindowRect(handle, &place);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
            EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= size.cx && place.bottom <= size.cy)
                << formLayout[control].name << " reaches out of the client area";
            const std::wstring caption = form_->text(control);
            const WindowDc dc(handle);
            const SelectedObject selected(dc.get(), font);
            RECT extent{};
            DrawTextW(
                dc.get(), caption.c_str(), static_cast<int>(caption.size()), &extent, DT_CALCRECT | DT_SINGLELINE);
            EXPECT_LE(extent.right, place.right - place.left) << formLayout[control].name << "'s caption is cut";
        }
    }
}

// Whether this thread has joined a single-threaded apartment, as the window's accessibility does first.
bool inApartment()
{
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
}

TEST_F(DialogManners, closingWindowStartsNoAccessibility)
{
    ASSERT_FALSE(inApartment());
    // A reader's first request between WM_DESTROY and WM_NCDESTROY, in the order DestroyWindow sends them.
    SendMessageW(form_->handle(), WM_DESTROY, 0, 0);
    SendMessageW(form_->handle(), WM_GETOBJECT, 0, OBJID_CLIENT);
    EXPECT_FALSE(inApartment()) << "COM started for a closing window";
    MSG quit{}; // WM_DESTROY asked the message loop to stop; the next window has one of its own
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

} // namespace

} // namespace tarnwick::monkey
