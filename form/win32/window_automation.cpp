#include "form/win32/window_automation.h"

#include <ole2.h>

#include <uiautomationcore.h>

#include <atomic>

namespace tarnwick {

namespace {

// UI Automation's root object identifier in WM_GETOBJECT, and the error of
// an element that is gone, as Windows' uiautomationcoreapi.h has them.
constexpr LONG rootObjectId = -25;
constexpr HRESULT elementNotAvailable = static_cast<HRESULT>(0x80040201);
// NotificationKind_ActionCompleted and NotificationProcessing_CurrentThenMostRecent
// of Windows' uiautomationcore.h: the result of the operator's action, told after
// what the reader is saying, a newer result replacing one not yet told.
constexpr int actionCompleted = 2;
constexpr int currentThenMostRecent = 4;

// A function of a DLL looked up by name: a direct import of one that an
// older Windows lacks would keep the program from starting there.
template <class Function> Function lookUp(HMODULE module, const char* name)
{
    if (!module)
        return nullptr;
    // Through void(*)(), which converts to any function type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// UI Automation's functions for a provider, and the BSTRs the notification
// takes. Looked up once, at first need; the DLLs stay loaded for the
// program's life, as UI Automation keeps threads of its own in the process
// once it has been used.
struct UiaFunctions {
    using HostProvider = HRESULT(WINAPI*)(HWND, IRawElementProviderSimple**);
    using ReturnProvider = LRESULT(WINAPI*)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*);
    using Disconnect = HRESULT(WINAPI*)(IRawElementProviderSimple*);
    using DisconnectAll = HRESULT(WINAPI*)();
    using RaiseNotification = HRESULT(WINAPI*)(IRawElementProviderSimple*, int, int, BSTR, BSTR);
    using AllocString = BSTR(WINAPI*)(const OLECHAR*);
    using FreeString = void(WINAPI*)(BSTR);

    HostProvider hostProvider = nullptr;
    ReturnProvider returnProvider = nullptr;
    Disconnect disconnect = nullptr;       // Windows 8 and later
    DisconnectAll disconnectAll = nullptr; // Windows 8 and later
    RaiseNotification raiseNotification = nullptr;
    AllocString allocString = nullptr;
    FreeString freeString = nullptr;

    bool available() const { return hostProvider && returnProvider && raiseNotification && allocString && freeString; }

    static const UiaFunctions& get()
    {
        static const UiaFunctions found = [] {
            UiaFunctions functions;
            HMODULE uia = LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
            functions.raiseNotification = lookUp<RaiseNotification>(uia, "UiaRaiseNotificationEvent");
            if (!functions.raiseNotification)
                return functions;
            functions.hostProvider = lookUp<HostProvider>(uia, "UiaHostProviderFromHwnd");
            functions.returnProvider = lookUp<ReturnProvider>(uia, "UiaReturnRawElementProvider");
            functions.disconnect = lookUp<Disconnect>(uia, "UiaDisconnectProvider");
            functions.disconnectAll = lookUp<DisconnectAll>(uia, "UiaDisconnectAllProviders");
            HMODULE automation = LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
            functions.allocString = lookUp<AllocString>(automation, "SysAllocString");
            functions.freeString = lookUp<FreeString>(automation, "SysFreeString");
            return functions;
        }();
        return found;
    }
};

// A BSTR of UiaFunctions', freed by it.
class NotificationString {
public:
    NotificationString(const UiaFunctions& uia, const std::wstring& text)
        : uia_(uia), string_(uia.allocString(text.c_str()))
    {
    }
    ~NotificationString()
    {
        if (string_)
            uia_.freeString(string_);
    }
    NotificationString(const NotificationString&) = delete;
    NotificationString& operator=(const NotificationString&) = delete;

    BSTR get() const { return string_; }

private:
    const UiaFunctions& uia_;
    BSTR string_;
};

} // namespace

// The provider: a COM object that UI Automation may hold and call from its
// own threads, so its count and its window are atomic. Once the window is
// gone it answers as an element that is no longer there.
class WindowAutomation::Provider final : public IRawElementProviderSimple {
public:
    explicit Provider(HWND window) : window_(window) { }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;

    void forgetWindow() noexcept { window_.store(nullptr); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(interfaceId, __uuidof(IUnknown))
            || IsEqualIID(interfaceId, __uuidof(IRawElementProviderSimple))) {
            *object = static_cast<IRawElementProviderSimple*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override
    {
        if (!options)
            return E_POINTER;
        *options = ProviderOptions_ServerSideProvider;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID /*pattern*/, IUnknown** provider) override
    {
        if (!provider)
            return E_POINTER;
        *provider = nullptr;
        return S_OK;
    }
    // None of its own: UI Automation takes each from the host provider.
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID /*property*/, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override
    {
        if (!host)
            return E_POINTER;
        *host = nullptr;
        HWND window = window_.load();
        if (!window)
            return elementNotAvailable;
        // Never null where a provider was made; the look-up is checked all the same.
        const auto hostProvider = UiaFunctions::get().hostProvider;
        return hostProvider ? hostProvider(window, host) : elementNotAvailable;
    }

private:
    ~Provider() = default;

    std::atomic<ULONG> references_{1};
    std::atomic<HWND> window_;
};

void WindowAutomation::Release::operator()(Provider* provider) const noexcept
{
    provider->Release();
}

bool WindowAutomation::available() noexcept
{
    return UiaFunctions::get().available();
}

bool WindowAutomation::asksForWindow(LPARAM lParam) noexcept
{
    return static_cast<LONG>(lParam) == rootObjectId;
}

WindowAutomation::WindowAutomation(HWND window) : window_(window), provider_(new Provider(window)) { }

WindowAutomation::~WindowAutomation()
{
    windowDestroyed();
}

std::optional<LRESULT> WindowAutomation::answerGetObject(WPARAM wParam, LPARAM lParam) noexcept
{
    // Only UI Automation's request for the window itself; Active
    // Accessibility's and the controls' are the window's default.
    if (!provider_ || !asksForWindow(lParam))
        return std::nullopt;
    return UiaFunctions::get().returnProvider(window_, wParam, lParam, provider_.get());
}

bool WindowAutomation::notify(const std::wstring& text) noexcept
{
    const UiaFunctions& uia = UiaFunctions::get();
    if (!provider_ || !uia.available())
        return false;
    const NotificationString display(uia, text);
    const NotificationString activity(uia, L"Tarnwick.Calculate");
    if (!display.get() || !activity.get())
        return false;
    return SUCCEEDED(
        uia.raiseNotification(provider_.get(), actionCompleted, currentThenMostRecent, display.get(), activity.get()));
}

void WindowAutomation::windowDestroyed() noexcept
{
    if (!provider_)
        return;
    // Taken away first: a WM_GETOBJECT that comes while it is being
    // disconnected must not hand it out again.
    const std::unique_ptr<Provider, Release> provider = std::move(provider_);
    const UiaFunctions& uia = UiaFunctions::get();
    // UI Automation may drop what it keeps of the window's providers.
    uia.returnProvider(window_, 0, 0, nullptr);
    // A disconnect is an outbound COM call, which COM refuses while another
    // thread waits on a message it sent (a WM_CLOSE from another program):
    // that sender is answered first, as the window's end answers it anyway.
    if ((InSendMessageEx(nullptr) & (ISMEX_REPLIED | ISMEX_SEND)) == ISMEX_SEND)
        ReplyMessage(0);
    // UI Automation finds the element to disconnect through the provider's
    // host, so the provider still has its window here and lets go after.
    if (uia.disconnect)
        uia.disconnect(provider.get());
    provider->forgetWindow();
    // The program has one window: its end is the program's, and UI
    // Automation is told so once, last.
    if (uia.disconnectAll)
        uia.disconnectAll();
}

} // namespace tarnwick
