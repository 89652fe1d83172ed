// Start-up to the first painted frame on Windows: shows the real window, or
// with --bare an empty window of the same size and style (the yardstick),
// prints "painted" once every paint the showing caused is done, and exits.
// scripts/bench-startup times it from the spawn to that line, under Wine.
#include "form/layout_fitting.h"
#include "form/win32/frm_tarnwick2.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

namespace {

LRESULT CALLBACK bareProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND showBareWindow(HINSTANCE instance, int showCommand)
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
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Tarnwick", style, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
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
    if (std::wcsstr(commandLine, L"--bare")) {
        paintFirstFrame(showBareWindow(instance, showCommand));
    } else {
        tarnwick::frmTarnwick2 form(instance);
        form.show(showCommand);
        paintFirstFrame(form.handle());
    }
    std::printf("painted\n");
    std::fflush(stdout);
    return 0;
}
