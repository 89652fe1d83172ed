#pragma once

#include "form/win32/frm_tarnwick2.h"
#include "tests/win32/monkey/operator_input.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>

namespace tarnwick::monkey {

// The real window in this process, made hidden, and the operator's hands on it.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // As the program does: the manifest asks for common controls 6.
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        form_ = std::make_unique<frmTarnwick2>(GetModuleHandleW(nullptr));
        input_ = std::make_unique<OperatorInput>(*form_);
    }
    void TearDown() override
    {
        input_.reset();
        form_.reset();
    }
    // False when the window never became the active window, which the keys go to.
    bool showActive()
    {
        form_->show(SW_SHOWNORMAL);
        return makeActive();
    }
    bool makeActive()
    {
        HWND window = form_->handle();
        SetForegroundWindow(window);
        return input_->runQueueUntil(
            [window] { return GetForegroundWindow() == window && GetActiveWindow() == window; }, 10'000);
    }

    std::unique_ptr<frmTarnwick2> form_;
    std::unique_ptr<OperatorInput> input_;
};

} // namespace tarnwick::monkey
