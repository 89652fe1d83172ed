#include "form/win32/frm_tarnwick2.h"
#include "form/win32/utf16.h"
#include "form/win32/window_keys.h"

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
        return tarnwick::runMessageLoop(form);
    } catch (const std::exception& error) {
        // Only the window's making can fail here; a command's errors are reported where they arise.
        MessageBoxW(nullptr, tarnwick::toUtf16(error.what()).c_str(), L"Tarnwick", MB_OK | MB_ICONERROR);
        return 1;
    }
}
