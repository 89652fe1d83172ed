#pragma once

#include "form/form_platform.h"
#include "form/win32/live_regions.h"

#include <windows.h>

#include <optional>

namespace tarnwick {

class frmTarnwick2;

// The platform operations of the command handlers, carried out on the Win32 window.
class Win32FormPlatform final : public FormPlatform {
public:
    // `window` outlives this object.
    explicit Win32FormPlatform(frmTarnwick2& window) : window_(window), liveRegions_(window) { }

    bool isSelected(SalesOption option) const override;
    void select(SalesOption option) override;
    std::string labelText(AmountLabel label) const override;
    void setLabelText(AmountLabel label, const std::string& text) override;
    void focusCalculate() override;
    void announce(const std::string& text) override;
    void printForm() override;
    void showInformation(const std::string& title, const std::string& text) override;
    void reportRunTimeError(const std::string& message) override;
    void endProgram() override;
    MoneyFormat moneyFormat() const override;

    // The window's messages that are the platform's own (live_regions.h),
    // seen before the window's handling; nullopt leaves a message to it.
    std::optional<LRESULT> filterMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        return liveRegions_.filterMessage(message, wParam, lParam);
    }

private:
    HWND control(SalesOption option) const;
    HWND control(AmountLabel label) const;

    frmTarnwick2& window_;
    LiveRegions liveRegions_;
    bool printing_ = false; // a job is being handed over
};

} // namespace tarnwick
