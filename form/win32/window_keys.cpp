#include "form/win32/window_keys.h"

#include "form/keyboard_model.h"
#include "form/win32/frm_tarnwick2.h"

#include <optional>

namespace tarnwick {

namespace {

bool isDown(int key)
{
    return GetKeyState(key) < 0;
}

void pressAccessKey(frmTarnwick2& form, const AccessKeyAction& action)
{
    const ControlEntry& entry = formLayout[action.control];
    if (!action.press) {
        form.focusRow(action.control);
    } else if (entry.kind == ControlKind::OptionButton) {
        form.focusRow(action.control);
        form.selectOption(entry.name);
    } else {
        form.click(action.control);
    }
}

} // namespace

bool translateWindowKey(frmTarnwick2& form, const MSG& message)
{
    HWND window = form.handle();
    if (!window || (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && !isDown(VK_CONTROL) && !isDown(VK_MENU)) {
        const auto isSelected = [&form](LayoutRow row) { return form.isChecked(row); };
        if (const auto target = nextTabStop(form.focusedRow(), !isDown(VK_SHIFT), isSelected))
            form.focusRow(*target);
        // The dialog manager, which never sees this Tab, would show the focus rectangles now.
        SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        return true;
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        // Enter on a focused command button presses it. The dialog manager
        // makes a button the default only when it moved the focus there
        // itself (Tab, an access key); after a click it would press Calculate.
        const std::optional<LayoutRow> focus = form.focusedRow();
        if (!focus || formLayout[*focus].kind != ControlKind::CommandButton)
            return false;
        form.click(*focus);
        return true;
    }
    if (message.message == WM_SYSCHAR && message.wParam < 0x80) {
        const auto action = accessKeyAction(static_cast<char>(message.wParam), form.focusedRow());
        if (!action)
            return false;
        pressAccessKey(form, *action);
        return true;
    }
    return false;
}

void handleMessage(frmTarnwick2& form, MSG& message)
{
    if (translateWindowKey(form, message) || IsDialogMessageW(form.handle(), &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int runMessageLoop(frmTarnwick2& form)
{
    MSG message{};
    BOOL got = 0;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0)
        handleMessage(form, message);
    return got < 0 ? 1 : static_cast<int>(message.wParam);
}

} // namespace tarnwick
