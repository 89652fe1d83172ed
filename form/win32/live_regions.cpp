#include "form/win32/live_regions.h"

#include "form/form_layout.h"
#include "form/win32/frm_tarnwick2.h"
#include "form/win32/utf16.h"

#include <ole2.h>

#include <oleacc.h>

#include <utility>

namespace tarnwick {

namespace {

// The window's own message for a queued announcement (WM_APP's range belongs
// to the window's class); wParam carries the announcement's serial number.
constexpr UINT announceMessage = WM_APP + 0xA11;

constexpr std::array<AmountLabel, 2> amountLabels{AmountLabel::lblServicePrice, AmountLabel::lblTotalDue};

// UI Automation's LiveSetting property, which mingw-w64's headers lack, and
// its value Polite: the reader first finishes what it is saying.
constexpr GUID liveSettingProperty{0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG livePolite = 1;

struct ComRelease {
    void operator()(IUnknown* object) const noexcept { object->Release(); }
};
template <class Interface> using ComPointer = std::unique_ptr<Interface, ComRelease>;

} // namespace

// COM on the window's thread and the accessibility property services of oleacc.
class LiveRegions::Services {
public:
    Services()
    {
        // The window's thread is a single-threaded apartment: it runs a message loop.
        const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ownsApartment_ = SUCCEEDED(joined);
        IAccPropServices* created = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                reinterpret_cast<void**>(&created))))
            properties_.reset(created);
    }
    ~Services()
    {
        properties_.reset();
        if (ownsApartment_)
            CoUninitialize();
    }
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    void markLiveRegion(HWND label) const
    {
        if (!properties_)
            return;
        VARIANT polite{};
        polite.vt = VT_I4;
        polite.lVal = livePolite;
        properties_->SetHwndProp(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, liveSettingProperty, polite);
    }

    void setName(HWND label, const std::wstring& name) const
    {
        if (properties_)
            properties_->SetHwndPropStr(
                label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name.c_str());
    }

    void clear(HWND label) const
    {
        MSAAPROPID properties[] = {liveSettingProperty, PROPID_ACC_NAME};
        if (properties_)
            properties_->ClearHwndProps(label, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, properties, 2);
    }

private:
    bool ownsApartment_ = false; // before properties_: released after them
    ComPointer<IAccPropServices> properties_;
};

LiveRegions::LiveRegions(const frmTarnwick2& form) : form_(form) { }

LiveRegions::~LiveRegions()
{
    forget();
}

std::wstring LiveRegions::accessibleName(AmountLabel label) const
{
    // Named as the caption before it names it, with what it shows: a reader
    // walking the window, or told of a change, reads "Total Due: $54.00".
    std::wstring name = toUtf16(labelCaptionFor(controlName(label)));
    const std::wstring shown = form_.text(knownRow(controlName(label)));
    if (!shown.empty())
        name += L" " + shown;
    return name;
}

LiveRegions::Services* LiveRegions::services() noexcept
{
    if (servicesTried_)
        return services_.get();
    try {
        std::array<HWND, 2> labels{};
        for (const AmountLabel label : amountLabels)
            labels[static_cast<std::size_t>(label)] = form_.control(controlName(label));
        // Asked for while the window is still being made: on a later request, then.
        if (!labels[0] || !labels[1])
            return nullptr;
        servicesTried_ = true;
        services_ = std::make_unique<Services>();
        for (const AmountLabel label : amountLabels) {
            services_->markLiveRegion(labels[static_cast<std::size_t>(label)]);
            services_->setName(labels[static_cast<std::size_t>(label)], accessibleName(label));
        }
    } catch (...) {
        servicesTried_ = true;
        // Without the properties a reader still hears the labels' own texts.
    }
    return services_.get();
}

WindowAutomation* LiveRegions::automation() noexcept
{
    if (!automationTried_) {
        automationTried_ = true;
        try {
            if (WindowAutomation::available())
                automation_ = std::make_unique<WindowAutomation>(form_.handle());
        } catch (...) {
            // Then the live regions tell the amounts.
        }
    }
    return automation_.get();
}

void LiveRegions::forget() noexcept
{
    // A closing window answers no more WM_GETOBJECT: one that comes before
    // WM_NCDESTROY starts neither COM nor a provider.
    servicesTried_ = true;
    automationTried_ = true;
    if (automation_)
        automation_->windowDestroyed();
    if (!services_)
        return;
    try {
        for (const AmountLabel label : amountLabels) {
            if (HWND control = form_.control(controlName(label)); IsWindow(control))
                services_->clear(control);
        }
    } catch (...) {
        // The window is gone already; so are its labels.
    }
    services_.reset();
}

void LiveRegions::announce(const std::string& text) noexcept
{
    try {
        Pending pending;
        pending.serial = ++lastSerial_;
        pending.text = toUtf16(text);
        for (const AmountLabel label : amountLabels)
            pending.shown[static_cast<std::size_t>(label)] = form_.text(knownRow(controlName(label)));
        pending_ = std::move(pending);
        if (!PostMessageW(form_.handle(), announceMessage, pending_->serial, 0))
            pending_.reset();
    } catch (...) {
        pending_.reset();
    }
}

void LiveRegions::labelChanged(AmountLabel label) noexcept
{
    if (!services_)
        return;
    try {
        services_->setName(form_.control(controlName(label)), accessibleName(label));
    } catch (...) {
        // The name stays as it was; the label's text is right.
    }
}

std::optional<LRESULT> LiveRegions::filterMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case announceMessage:
        // Only the latest is told: it says what the labels show now.
        if (pending_ && pending_->serial == wParam) {
            const Pending pending = std::move(*pending_);
            pending_.reset();
            raise(pending);
        }
        return 0;
    case WM_GETOBJECT:
        services();
        // UI Automation asking for the window: its own provider, where it has one.
        if (WindowAutomation::asksForWindow(lParam)) {
            if (WindowAutomation* automation = this->automation())
                return automation->answerGetObject(wParam, lParam);
        }
        return std::nullopt;
    case WM_DESTROY:
        forget();
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void LiveRegions::raise(const Pending& pending) noexcept
{
    try {
        // A box open over the window has the reader's attention; amounts that
        // changed since were never meant to be told.
        if (!IsWindowEnabled(form_.handle()))
            return;
        for (const AmountLabel label : amountLabels) {
            if (form_.text(knownRow(controlName(label))) != pending.shown[static_cast<std::size_t>(label)])
                return;
        }
        // Marked first: a reader ignores a live region it does not know as one.
        services();
        // Told once: by UI Automation's notification where Windows has it,
        // else (or if it could not be raised) by the live regions.
        if (WindowAutomation* automation = this->automation(); automation && automation->notify(pending.text))
            return;
        for (const AmountLabel label : amountLabels)
            NotifyWinEvent(
                EVENT_OBJECT_LIVEREGIONCHANGED, form_.control(controlName(label)), OBJID_CLIENT, CHILDID_SELF);
    } catch (...) {
        // Not told: the labels show the amounts all the same.
    }
}

} // namespace tarnwick
