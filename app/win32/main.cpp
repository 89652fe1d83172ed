#include "form/win32/frm_tarnwick2.h"
#include "form/win32/utf16.h"

#include <windows.h>

#include <commctrl.h>

#include <exception>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // The manifest asks for common controls 6; they must be loaded before the first button.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        tarnwick::frmTarnwick2 form(instance);
        form.show(showCommand);
        MSG message{};
        BOOL got = 0;
        while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
            if (form.translateKey(message) || IsDialogMessageW(form.handle(), &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return got < 0 ? 1 : static_cast<int>(message.wParam);
    } catch (const std::exception& error) {
        // Only the window's making can fail here; a command's errors are reported where they arise.
        MessageBoxW(nullptr, tarnwick::toUtf16(error.what()).c_str(), L"Tarnwick", MB_OK | MB_ICONERROR);
        return 1;
    }
}
