// Start-up to the first painted frame on Windows: shows the real window, or
// with --bare an empty window of the same size and style (the yardstick),
// or with --label the same window holding one label in the dialog font (the
// floor for any window that draws text: it pays for its font first), prints
// "painted" once every paint the showing caused is done, and exits.
// scripts/bench-startup times it from the spawn to that line, under Wine.
#include "form/layout_fitting.h"
#include "form/win32/frm_tarnwick2.h"
#include "form/win32/gdi_handles.h"
#include "form/win32/utf16.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

LRESULT CALLBACK bareProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createBareWindow(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = bareProcedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1); // NOLINT(performance-no-int-to-ptr)
    windowClass.lpszClassName = L"Tarnwick.BareWindow";
    RegisterClassExW(&windowClass);
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, tarnwick::pixelsFromTwips(tarnwick::windowEntry.clientWidth),
        tarnwick::pixelsFromTwips(tarnwick::windowEntry.clientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    return CreateWindowExW(0, windowClass.lpszClassName, L"Tarnwick", style, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
}

// One static control with the longest caption of the real window, where
// the real window has it, in the dialog font at the window's DPI.
void addLabel(HWND window, HINSTANCE instance, tarnwick::FontHandle& font)
{
    const UINT dpi = GetDpiForWindow(window);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    font.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    const tarnwick::ControlEntry& entry = tarnwick::formLayout[tarnwick::knownRow("Label1")];
    const tarnwick::PixelRect box = tarnwick::pixelRect(entry);
    const auto atDpi = [dpi](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), 96); };
    const std::wstring caption = tarnwick::toUtf16(entry.caption);
    // As wide as the client area allows, so that the caption shows on one line in any font.
    const int width = tarnwick::pixelsFromTwips(tarnwick::windowEntry.clientWidth) - box.left;
    HWND label = CreateWindowExW(0, L"STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
        atDpi(box.left), atDpi(box.top), atDpi(width), atDpi(box.height), window, nullptr, instance, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
}

void show(HWND window, int showCommand)
{
    ShowWindow(window, showCommand);
    UpdateWindow(window);
}

// Runs the loop until no paint is pending for the thread's windows: the first frame is then drawn.
void paintFirstFrame(HWND window)
{
    MSG message{};
    while (GetQueueStatus(QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE) != 0 || !IsWindowVisible(window)) {
        if (!GetMessageW(&message, nullptr, 0, 0))
            return;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    GdiFlush();
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (std::wcsstr(commandLine, L"--bare") || std::wcsstr(commandLine, L"--label")) {
        HWND window = createBareWindow(instance);
        tarnwick::FontHandle font;
        if (std::wcsstr(commandLine, L"--label"))
            addLabel(window, instance, font);
        show(window, showCommand);
        paintFirstFrame(window);
    } else {
        tarnwick::frmTarnwick2 form(instance);
        form.show(showCommand);
        paintFirstFrame(form.handle());
    }
    std::printf("painted\n");
    std::fflush(stdout);
    return 0;
}
