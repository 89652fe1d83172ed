#pragma once

#include "form/form_commands.h"
#include "form/form_layout.h"
#include "form/keyboard_model.h"
#include "form/layout_fitting.h"
#include "form/win32/dpi_layout.h"
#include "form/win32/win32_form_platform.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The sales window on Win32, built from its layout table. The dialog manager
// gives it the classic keyboard model (Enter, Esc, arrows within a group);
// the window's own keys (window_keys.h) add what the layout asks beyond it.
class frmTarnwick2 {
public:
    // Creates the window and its controls, hidden. Throws RunTimeError when
    // Windows cannot make them.
    explicit frmTarnwick2(HINSTANCE instance);
    ~frmTarnwick2();
    frmTarnwick2(const frmTarnwick2&) = delete;
    frmTarnwick2& operator=(const frmTarnwick2&) = delete;

    // Shows the window with the focus on the first control of the focus order.
    void show(int showCommand);

    HWND handle() const { return window_; }
    HWND control(std::string_view name) const;
    void focusControl(std::string_view name);
    void focusRow(LayoutRow row);
    std::optional<LayoutRow> focusedRow() const;
    // Selects the option and clears the others of its frame.
    void selectOption(std::string_view name);
    // Runs the handler of a command button's click, as a press of it does.
    void click(LayoutRow row);

    const FormCommands& commands() const { return commands_; }

    // Where each control is, in pixels at 96 dots per inch; and the dialog
    // font at 96 dots per inch. Print Form draws from these.
    const FittedLayout& layout() const { return layout_.layout(); }
    PixelRect placeOnForm(LayoutRow row) const { return layout_.placeOnForm(row); }
    const LOGFONTW& fontAt96Dpi() const { return layout_.fontAt96Dpi(); }
    bool isChecked(LayoutRow row) const;
    std::wstring text(LayoutRow row) const;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls(HINSTANCE instance);
    void onCommand(int id, int notification);

    HWND window_ = nullptr;
    ControlHandles controls_{};
    DpiLayout layout_;
    Win32FormPlatform platform_;
    FormCommands commands_;
};

} // namespace tarnwick
