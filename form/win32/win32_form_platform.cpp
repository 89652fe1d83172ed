#include "form/win32/win32_form_platform.h"

#include "form/win32/control_ids.h"
#include "form/win32/form_printer.h"
#include "form/win32/frm_tarnwick2.h"
#include "form/win32/utf16.h"
#include "form/win32/windows_money_format.h"
#include "logic/run_time_error.h"

#include <string>

namespace tarnwick {

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw RunTimeError::platformFailure(what, "Windows error " + std::to_string(GetLastError()));
}

void showMessageBox(HWND owner, const std::string& title, const std::string& text, UINT icon)
{
    const std::wstring wideTitle = toUtf16(title);
    const std::wstring wideText = toUtf16(text);
    if (MessageBoxW(owner, wideText.c_str(), wideTitle.c_str(), MB_OK | icon) == 0)
        fail("Showing a message box");
}

} // namespace

HWND Win32FormPlatform::control(SalesOption option) const
{
    return window_.control(controlName(option));
}

HWND Win32FormPlatform::control(AmountLabel label) const
{
    return window_.control(controlName(label));
}

bool Win32FormPlatform::isSelected(SalesOption option) const
{
    return SendMessageW(control(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32FormPlatform::select(SalesOption option)
{
    window_.selectOption(controlName(option));
}

std::string Win32FormPlatform::labelText(AmountLabel label) const
{
    return toUtf8(window_.text(knownRow(controlName(label))));
}

void Win32FormPlatform::setLabelText(AmountLabel label, const std::string& text)
{
    if (!SetWindowTextW(control(label), toUtf16(text).c_str()))
        fail("Setting a label's text");
    liveRegions_.labelChanged(label);
}

void Win32FormPlatform::focusCalculate()
{
    window_.focusControl("cmdCalculate");
}

void Win32FormPlatform::announce(const std::string& text)
{
    liveRegions_.announce(text);
}

void Win32FormPlatform::printForm()
{
    // A printer's own box (one that asks for a file) runs a message loop on
    // this thread while the job is handed over: a second Print Form pressed
    // meanwhile is not taken.
    if (printing_)
        return;
    printing_ = true;
    struct Done {
        bool& printing;
        ~Done() { printing = false; }
    } done{printing_};
    printWindowImage(window_);
}

void Win32FormPlatform::showInformation(const std::string& title, const std::string& text)
{
    showMessageBox(window_.handle(), title, text, MB_ICONINFORMATION);
}

void Win32FormPlatform::reportRunTimeError(const std::string& message)
{
    showMessageBox(window_.handle(), std::string(windowEntry.caption), message, MB_ICONERROR);
}

void Win32FormPlatform::endProgram()
{
    // The window's end posts the quit message; the process ends when the handler returns.
    DestroyWindow(window_.handle());
}

MoneyFormat Win32FormPlatform::moneyFormat() const
{
    return userMoneyFormat();
}

} // namespace tarnwick
