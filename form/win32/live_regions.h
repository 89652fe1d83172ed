#pragma once

#include "form/form_platform.h"
#include "form/win32/window_automation.h"

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

class frmTarnwick2;

// What a screen reader hears of the amount labels. Each is a UI Automation
// live region (polite), named by its caption label and the amount it shows
// ("Total Due: $54.00"); after Calculate, one announcement tells both amounts:
// a UI Automation notification on the window's own provider where Windows
// has it (10 version 1709 and later, window_automation.h), else a
// live-region change of each label; never both.
//
// COM and the properties cost time, so they are set up on first need: the
// window's first WM_GETOBJECT (an assistive technology asking for the window)
// or the first announcement, whichever comes first; a start without a reader
// pays nothing. Every call to Windows here may fail (Wine implements none of
// the properties and has no notification); the program then goes on silently,
// as it does without a reader. Nothing here throws.
class LiveRegions {
public:
    // `form` outlives this object.
    explicit LiveRegions(const frmTarnwick2& form);
    ~LiveRegions();
    LiveRegions(const LiveRegions&) = delete;
    LiveRegions& operator=(const LiveRegions&) = delete;

    // Queues `text`, which tells what the amount labels show now. It is raised
    // when the window's thread is back in a message loop, unless the window
    // has moved past it by then: a later announcement, a label showing
    // something else (Next Patron's and Clear's empty labels), or the window
    // disabled under a box.
    void announce(const std::string& text) noexcept;
    // After an amount label's text changed: its accessible name follows it.
    void labelChanged(AmountLabel label) noexcept;
    // Sees each of the window's messages before the window does. Handles the
    // queued announcement's message; notes WM_GETOBJECT and WM_DESTROY and
    // leaves them to the window (nullopt).
    std::optional<LRESULT> filterMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    class Services;
    struct Pending {
        WPARAM serial = 0;
        std::wstring text;
        std::array<std::wstring, 2> shown; // by AmountLabel
    };

    void raise(const Pending& pending) noexcept;
    Services* services() noexcept;
    WindowAutomation* automation() noexcept;
    std::wstring accessibleName(AmountLabel label) const;
    void forget() noexcept;

    const frmTarnwick2& form_;
    std::unique_ptr<Services> services_;
    bool servicesTried_ = false;
    std::unique_ptr<WindowAutomation> automation_;
    bool automationTried_ = false;
    std::optional<Pending> pending_;
    WPARAM lastSerial_ = 0;
};

} // namespace tarnwick
