#pragma once

#include "form/form_commands.h"
#include "form/form_layout.h"
#include "form/keyboard_model.h"
#include "form/layout_fitting.h"
#include "form/win32/gdi_handles.h"
#include "form/win32/win32_form_platform.h"

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// The sales window on Win32, built from its layout table. The dialog manager
// gives it the classic keyboard model (Enter, Esc, arrows within a group);
// the window adds what the layout asks beyond it: Tab by the layout's tab
// positions, and access keys that two controls share.
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

    // Handles the keys that the window treats its own way, before the dialog
    // manager sees them; true when the message is done with.
    bool translateKey(const MSG& message);

    HWND handle() const { return window_; }
    HWND control(std::string_view name) const;
    void focusControl(std::string_view name);
    // Selects the option and clears the others of its frame.
    void selectOption(std::string_view name);

    const FormCommands& commands() const { return commands_; }

    // Where each control is, in pixels at 96 dots per inch, from the form's
    // corner; and the dialog font at 96 dots per inch. Print Form draws from these.
    const FittedLayout& layout() const { return layout_; }
    PixelRect placeOnForm(LayoutRow row) const;
    const LOGFONTW& fontAt96Dpi() const { return fontAt96Dpi_; }
    bool isChecked(LayoutRow row) const;
    std::wstring text(LayoutRow row) const;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls(HINSTANCE instance);
    // Lays the window out for `dpi`, fonts included; at `suggested`'s corner when given.
    void applyDpi(UINT dpi, const RECT* suggested);
    int neededWidth(LayoutRow row) const;
    void onCommand(int id, int notification);
    void focusRow(LayoutRow row);
    std::optional<LayoutRow> focusedRow() const;
    void pressAccessKey(char key);

    HWND window_ = nullptr;
    std::array<HWND, formLayout.size()> controls_{}; // by row of the layout table
    UINT dpi_ = 96;
    FontHandle font_; // the dialog font at dpi_
    LOGFONTW fontAt96Dpi_{};
    FittedLayout layout_;
    Win32FormPlatform platform_;
    FormCommands commands_;
};

} // namespace tarnwick
