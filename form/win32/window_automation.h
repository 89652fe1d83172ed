#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace tarnwick {

// The window's own UI Automation provider, through which it raises UI
// Automation's notification (Windows 10 version 1709 and later). UI
// Automation raises an event only on a provider that implements
// IRawElementProviderSimple itself, so the window has a small server-side
// one: no properties or patterns of its own, its host provider the window's,
// so that UI Automation takes everything else from the window as it is.
// It is made at first need, answers the window's WM_GETOBJECT for UI
// Automation from then on, and is released with the window (WM_DESTROY).
//
// Where Windows has no notification, there is no provider either and
// WM_GETOBJECT stays the window's default: the window is then exactly what
// it is without this. UI Automation's functions are looked up by name, so
// that the program still starts where they are missing. Nothing here throws.
class WindowAutomation {
public:
    // True where Windows has UI Automation's notification. Loads UI
    // Automation at its first call.
    static bool available() noexcept;

    // Whether WM_GETOBJECT's `lParam` is UI Automation asking for the window.
    static bool asksForWindow(LPARAM lParam) noexcept;

    // `window` outlives this object, up to its WM_DESTROY.
    explicit WindowAutomation(HWND window);
    ~WindowAutomation();
    WindowAutomation(const WindowAutomation&) = delete;
    WindowAutomation& operator=(const WindowAutomation&) = delete;

    // The answer to WM_GETOBJECT when UI Automation asks for the window's
    // root (UiaRootObjectId); nullopt leaves other requests to the window.
    std::optional<LRESULT> answerGetObject(WPARAM wParam, LPARAM lParam) noexcept;
    // One notification of `text`, the result of the operator's action; false
    // when it could not be raised.
    bool notify(const std::wstring& text) noexcept;
    // At WM_DESTROY: UI Automation is told that the window's providers are
    // gone, the provider is disconnected while its host is still the
    // window's, then released, and UI Automation is told the program's
    // providers are all gone.
    void windowDestroyed() noexcept;

private:
    class Provider;
    struct Release {
        void operator()(Provider* provider) const noexcept;
    };

    HWND window_;
    std::unique_ptr<Provider, Release> provider_;
};

} // namespace tarnwick
