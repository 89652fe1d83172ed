// A stand-in for Windows' uiautomationcore.dll, installed as a native DLL in
// one run's copy of the Wine prefix: it exports what the program looks up
// and writes down what it is handed, one JSON object a line, to the file
// that TARNWICK_UIA_RECORD names. No screen reader runs under Wine; this is
// what one would be told through UI Automation.
//
// Built twice: with TARNWICK_UIA_NOTIFICATION, as Windows 10 version 1709
// and later, with UiaRaiseNotificationEvent; without it, as an older Windows
// (and Wine 8), whose UI Automation has no notification.
//
//   UiaHostProviderFromHwnd        a host provider of the stand-in's own, which knows its window
//   UiaRaiseNotificationEvent      "notification": whether the provider answers
//                                  IRawElementProviderSimple, its ProviderOptions, the window
//                                  its host provider is for, kind, processing, text, activity
//   UiaReturnRawElementProvider    "return": the window, wParam, lParam, the provider (null at
//                                  the window's end); answers 0x7A11 for a provider, else 0
//   UiaDisconnectProvider          "disconnect": the provider, its references, its host's window,
//                                  and the HRESULT answered as Windows: E_INVALIDARG without a host
//                                  (the element is found by its host's runtime ID), and
//                                  RPC_E_CANTCALLOUT_ININPUTSYNCCALL inside a message that another
//                                  thread waits on (COM makes no outbound call then)
//   UiaDisconnectAllProviders      "disconnect_all": the HRESULT, refused as the disconnect is
//
// Providers are numbered in the order the stand-in first sees them.

#include "tests/win32/blackbox/json_string.h"
#include "tests/win32/test_utf.h"

#include <windows.h>

#include <ole2.h>

#include <uiautomationcore.h>

#include <string>
#include <vector>

namespace {

// The stand-in's host provider: it answers a private interface with itself,
// so that the stand-in can tell it from any other and read its window.
const GUID standInHostId{0x7a11c0de, 0x5eed, 0x4a11, {0x8e, 0x1a, 0x70, 0x5e, 0x11, 0x0b, 0xa1, 0x23}};

class StandInHost final : public IRawElementProviderSimple {
public:
    explicit StandInHost(HWND window) : window(window) { }
    const HWND window;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (IsEqualIID(id, __uuidof(IUnknown)) || IsEqualIID(id, __uuidof(IRawElementProviderSimple))
            || IsEqualIID(id, standInHostId)) {
            *object = static_cast<IRawElementProviderSimple*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override
    {
        *options = ProviderOptions_ServerSideProvider;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID, IUnknown** provider) override
    {
        *provider = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID, VARIANT* value) override
    {
        value->vt = VT_EMPTY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override
    {
        *host = nullptr;
        return S_OK;
    }

private:
    ~StandInHost() = default;
    LONG references_ = 1;
};

std::vector<const void*> seenProviders;

int providerNumber(const void* provider)
{
    for (std::size_t i = 0; i < seenProviders.size(); ++i) {
        if (seenProviders[i] == provider)
            return static_cast<int>(i) + 1;
    }
    seenProviders.push_back(provider);
    return static_cast<int>(seenProviders.size());
}

// A BSTR may be null.
std::string quoted(const wchar_t* text)
{
    return tarnwick::test::jsonString(tarnwick::test::utf8(text ? text : L""));
}

// A window as the record names it: its title and class, and whether it is a top-level window.
std::string windowJson(HWND window)
{
    if (!window)
        return "null";
    wchar_t title[256]{};
    wchar_t className[256]{};
    GetWindowTextW(window, title, 256);
    GetClassNameW(window, className, 256);
    return "{\"title\":" + quoted(title) + ",\"class\":" + quoted(className)
        + ",\"top_level\":" + (GetAncestor(window, GA_ROOT) == window ? "true" : "false") + "}";
}

// The window of the stand-in's host provider that `provider` gives out; null when it gives none.
HWND hostWindowOf(IRawElementProviderSimple* provider)
{
    HWND window = nullptr;
    IRawElementProviderSimple* host = nullptr;
    if (SUCCEEDED(provider->get_HostRawElementProvider(&host)) && host) {
        IUnknown* ours = nullptr;
        if (SUCCEEDED(host->QueryInterface(standInHostId, reinterpret_cast<void**>(&ours)))) {
            window = static_cast<StandInHost*>(static_cast<IRawElementProviderSimple*>(ours))->window;
            ours->Release();
        }
        host->Release();
    }
    return window;
}

// As COM answers an outbound call while another thread waits on a message this one handles.
HRESULT outboundCallRefused()
{
    const bool blocked = (InSendMessageEx(nullptr) & (ISMEX_REPLIED | ISMEX_SEND)) == ISMEX_SEND;
    return blocked ? RPC_E_CANTCALLOUT_ININPUTSYNCCALL : S_OK;
}

void record(const std::string& line)
{
    wchar_t path[MAX_PATH]{};
    if (!GetEnvironmentVariableW(L"TARNWICK_UIA_RECORD", path, MAX_PATH))
        return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI UiaHostProviderFromHwnd(HWND window, IRawElementProviderSimple** provider)
{
    if (!provider)
        return E_INVALIDARG;
    *provider = new StandInHost(window);
    return S_OK;
}

#ifdef TARNWICK_UIA_NOTIFICATION
__declspec(dllexport) HRESULT WINAPI UiaRaiseNotificationEvent(
    IRawElementProviderSimple* provider, int kind, int processing, BSTR displayString, BSTR activityId)
{
    std::string line = "{\"call\":\"notification\",\"provider\":" + std::to_string(providerNumber(provider));
    IRawElementProviderSimple* simple = nullptr;
    const bool answers = provider
        && SUCCEEDED(provider->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(&simple)));
    line += std::string(",\"simple\":") + (answers && simple == provider ? "true" : "false");
    ProviderOptions options{};
    if (answers && SUCCEEDED(simple->get_ProviderOptions(&options)))
        line += ",\"options\":" + std::to_string(static_cast<int>(options));
    const HWND hostWindow = answers ? hostWindowOf(simple) : nullptr;
    if (simple)
        simple->Release();
    line += ",\"host\":" + windowJson(hostWindow);
    line += ",\"kind\":" + std::to_string(kind) + ",\"processing\":" + std::to_string(processing);
    line += ",\"text\":" + quoted(displayString) + ",\"activity\":" + quoted(activityId) + "}";
    record(line);
    return S_OK;
}
#endif

using Simple = IRawElementProviderSimple;

__declspec(dllexport) LRESULT WINAPI UiaReturnRawElementProvider(HWND window, WPARAM wp, LPARAM lp, Simple* provider)
{
    record("{\"call\":\"return\",\"window\":" + windowJson(window) + ",\"wparam\":" + std::to_string(wp)
        + ",\"lparam\":" + std::to_string(static_cast<long long>(lp))
        + ",\"provider\":" + (provider ? std::to_string(providerNumber(provider)) : std::string("null")) + "}");
    return provider ? 0x7A11 : 0;
}

__declspec(dllexport) HRESULT WINAPI UiaDisconnectProvider(IRawElementProviderSimple* provider)
{
    if (!provider)
        return E_INVALIDARG;
    provider->AddRef();
    const ULONG references = provider->Release();
    const HWND host = hostWindowOf(provider);
    HRESULT answer = outboundCallRefused();
    if (SUCCEEDED(answer) && !host)
        answer = E_INVALIDARG;
    record("{\"call\":\"disconnect\",\"provider\":" + std::to_string(providerNumber(provider)) + ",\"references\":"
        + std::to_string(references) + ",\"host\":" + windowJson(host) + ",\"answer\":" + std::to_string(answer) + "}");
    return answer;
}

__declspec(dllexport) HRESULT WINAPI UiaDisconnectAllProviders()
{
    const HRESULT answer = outboundCallRefused();
    record("{\"call\":\"disconnect_all\",\"answer\":" + std::to_string(answer) + "}");
    return answer;
}

} // extern "C"
