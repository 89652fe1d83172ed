#include "form/win32/frm_tarnwick2.h"

#include "form/win32/control_ids.h"
#include "form/win32/resource_ids.h"
#include "form/win32/utf16.h"
#include "logic/run_time_error.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

namespace tarnwick {

namespace {

constexpr wchar_t windowClass[] = L"Tarnwick.frmTarnwick2";
// A fixed-size window: title bar, minimise and close.
constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

[[noreturn]] void fail(const char* what)
{
    throw RunTimeError::platformFailure(what, "Windows error " + std::to_string(GetLastError()));
}

void registerWindowClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, windowClass, &existing))
        return;
    // A private dialog class: DefDlgProcW gives the window the dialog manager's
    // default-button and focus keeping, as a dialog box has them.
    WNDCLASSEXW windowClassInfo{};
    windowClassInfo.cbSize = sizeof windowClassInfo;
    windowClassInfo.lpfnWndProc = procedure;
    windowClassInfo.cbWndExtra = DLGWINDOWEXTRA;
    windowClassInfo.hInstance = instance;
    windowClassInfo.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // The program's icon, where the program carries one (it is absent from test programs).
    windowClassInfo.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(TARNWICK_ICON));
    windowClassInfo.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(TARNWICK_ICON), IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClassInfo.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1); // NOLINT(performance-no-int-to-ptr)
    windowClassInfo.lpszClassName = windowClass;
    if (!RegisterClassExW(&windowClassInfo))
        fail("Registering the window class");
}

DWORD controlStyle(LayoutRow row)
{
    const ControlEntry& entry = formLayout[row];
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (entry.kind) {
    case ControlKind::Frame:
        return child | WS_GROUP | BS_GROUPBOX;
    case ControlKind::OptionButton: {
        // The first option of a frame starts the group the arrow keys move in.
        const bool first = row > 0 && formLayout[row - 1].kind != ControlKind::OptionButton;
        return child | BS_AUTORADIOBUTTON | (first ? WS_GROUP : 0);
    }
    case ControlKind::CommandButton:
        return child | WS_GROUP | WS_TABSTOP
            | (entry.role == ControlRole::DefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    case ControlKind::Label:
        // No prefix: an amount's "&" is text, never an access key.
        return child | WS_GROUP | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE;
    }
    return child;
}

const wchar_t* controlClass(ControlKind kind)
{
    return kind == ControlKind::Label ? L"STATIC" : L"BUTTON";
}

// Win32 hands pointers over in a message's integer parameters.
template <class Target> Target* pointerIn(LPARAM parameter)
{
    return reinterpret_cast<Target*>(parameter); // NOLINT(performance-no-int-to-ptr)
}

// The rows of the option group that `row` belongs to: its frame's options.
std::pair<LayoutRow, LayoutRow> optionGroup(LayoutRow row)
{
    LayoutRow first = row;
    LayoutRow last = row;
    const auto sameGroup = [&](LayoutRow other) {
        return formLayout[other].kind == ControlKind::OptionButton
            && formLayout[other].container == formLayout[row].container;
    };
    while (first > 0 && sameGroup(first - 1))
        --first;
    while (last + 1 < formLayout.size() && sameGroup(last + 1))
        ++last;
    return {first, last};
}

} // namespace

frmTarnwick2::frmTarnwick2(HINSTANCE instance) : platform_(*this), commands_(platform_)
{
    registerWindowClass(instance, &frmTarnwick2::windowProcedure);
    const std::wstring title = toUtf16(windowEntry.caption);
    // Made at its size for the system's DPI, which a new window mostly has, so
    // that only a caption too wide for its control makes it grow afterwards.
    layout_.prepare(GetDpiForSystem());
    const SIZE size = layout_.windowSize(windowStyle);
    // The window procedure learns its form from the creation parameter (WM_NCCREATE).
    if (!CreateWindowExW(0, windowClass, title.c_str(), windowStyle, CW_USEDEFAULT, CW_USEDEFAULT, size.cx, size.cy,
            nullptr, nullptr, instance, this))
        fail("Creating the window");
    if (const UINT dpi = GetDpiForWindow(window_); dpi != layout_.dpi())
        layout_.prepare(dpi);
    createControls(instance);
    layout_.apply(window_, controls_, layout_.dpi(), nullptr);
}

frmTarnwick2::~frmTarnwick2()
{
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void frmTarnwick2::createControls(HINSTANCE instance)
{
    // Each control is made where the table puts it, in the dialog font, as
    // the dialog manager makes a dialog's; and in the table's order, which is
    // the order they stack in, and so the order the dialog manager walks a
    // group in.
    for (LayoutRow row = 0; row < formLayout.size(); ++row) {
        const ControlEntry& entry = formLayout[row];
        const std::wstring caption = toUtf16(entry.caption);
        const RECT& place = layout_.place(row);
        HWND control = CreateWindowExW(0, controlClass(entry.kind), caption.c_str(), controlStyle(row), place.left,
            place.top, place.right - place.left, place.bottom - place.top, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(row))), // NOLINT(performance-no-int-to-ptr)
            instance, nullptr);
        if (!control)
            fail("Creating the window's controls");
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(layout_.font()), FALSE);
        if (entry.role == ControlRole::InitiallySelected)
            SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
        controls_[row] = control;
    }
    SendMessageW(window_, DM_SETDEFID, defaultButtonId, 0);
}

std::wstring frmTarnwick2::text(LayoutRow row) const
{
    const int length = GetWindowTextLengthW(controls_[row]);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(std::max(GetWindowTextW(controls_[row], text.data(), length + 1), 0)));
    return text;
}

void frmTarnwick2::show(int showCommand)
{
    // As the dialog manager does for a dialog: access-key underlines and
    // focus rectangles hidden until the keyboard is used, as the user's
    // settings have it. The high word names the cues the last input decides.
    SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    const std::vector<LayoutRow> order = focusOrder();
    if (!order.empty())
        focusRow(order.front());
}

HWND frmTarnwick2::control(std::string_view name) const
{
    const std::optional<LayoutRow> row = rowNamed(name);
    if (!row)
        throw RunTimeError::platformFailure("Finding a control", "the window has no control " + std::string(name));
    return controls_[*row];
}

void frmTarnwick2::focusControl(std::string_view name)
{
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(name)), TRUE);
}

void frmTarnwick2::focusRow(LayoutRow row)
{
    // Through the dialog manager, so that it keeps the default button and the focus it restores.
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(controls_[row]), TRUE);
}

void frmTarnwick2::selectOption(std::string_view name)
{
    const std::optional<LayoutRow> row = rowNamed(name);
    if (!row || formLayout[*row].kind != ControlKind::OptionButton)
        throw RunTimeError::platformFailure("Selecting an option", "the window has no option " + std::string(name));
    // Only the options whose state changes are told: each change repaints its button.
    const auto [first, last] = optionGroup(*row);
    for (LayoutRow option = first; option <= last; ++option) {
        const bool wanted = option == *row;
        if (isChecked(option) != wanted)
            SendMessageW(controls_[option], BM_SETCHECK, wanted ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

std::optional<LayoutRow> frmTarnwick2::focusedRow() const
{
    const auto found = std::ranges::find(controls_, GetFocus());
    if (found == controls_.end())
        return std::nullopt;
    return static_cast<LayoutRow>(found - controls_.begin());
}

bool frmTarnwick2::isChecked(LayoutRow row) const
{
    return SendMessageW(controls_[row], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void frmTarnwick2::click(LayoutRow row)
{
    onCommand(controlId(row), BN_CLICKED);
}

void frmTarnwick2::onCommand(int id, int notification)
{
    const std::optional<LayoutRow> row = rowOfControlId(id);
    if (notification != BN_CLICKED || !row)
        return;
    for (const auto& [name, handler] : clickHandlers) {
        if (name == formLayout[*row].name)
            commands_.runFromEventLoop(handler);
    }
}

LRESULT CALLBACK frmTarnwick2::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<frmTarnwick2*>(pointerIn<CREATESTRUCTW>(lParam)->lpCreateParams);
        created->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = pointerIn<frmTarnwick2>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form)
        return DefDlgProcW(window, message, wParam, lParam);
    return form->handleMessage(message, wParam, lParam);
}

LRESULT frmTarnwick2::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (const std::optional<LRESULT> handled = platform_.filterMessage(message, wParam, lParam))
        return *handled;
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_GETDPISCALEDSIZE:
        // About to move to a display of another DPI: the size the layout has there.
        *pointerIn<SIZE>(lParam) = layout_.windowSizeAt(window_, controls_, static_cast<UINT>(wParam));
        return TRUE;
    case WM_DPICHANGED:
        // Moved to a display of another DPI, or the display's own changed.
        layout_.apply(window_, controls_, HIWORD(wParam), pointerIn<const RECT>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
        // Whatever the parameters say (an application that broadcasts a
        // change sends wParam 0), the window is laid out again once the
        // user's message font or text size is not the one it was laid out in.
        if (layout_.fontChanged())
            layout_.apply(window_, controls_, layout_.dpi(), nullptr, true);
        return DefDlgProcW(window_, message, wParam, lParam);
    case WM_CLOSE:
        // Closing from the frame ends the program, with no handler run (the
        // dialog manager would otherwise turn it into a press of Clear).
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND window = std::exchange(window_, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return DefDlgProcW(window, message, wParam, lParam);
    }
    default:
        return DefDlgProcW(window_, message, wParam, lParam);
    }
}

} // namespace tarnwick
