#include "tests/win32/monkey/box_answerer.h"

#include "form/win32/utf16.h"

#include <array>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace tarnwick::monkey {

namespace {

BoxAnswerer* current = nullptr;

void CALLBACK onTimer(HWND /*window*/, UINT /*message*/, UINT_PTR /*timer*/, DWORD /*time*/)
{
    if (current)
        current->answerOpenBoxes();
}

std::wstring windowText(HWND window)
{
    std::array<wchar_t, 512> text{};
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return {text.data(), static_cast<std::size_t>(length > 0 ? length : 0)};
}

std::wstring className(HWND window)
{
    std::array<wchar_t, 64> name{};
    const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return {name.data(), static_cast<std::size_t>(length > 0 ? length : 0)};
}

// Class names are compared as Windows compares them, ignoring case.
bool isClass(HWND window, std::wstring_view name)
{
    const std::wstring actual = className(window);
    return CompareStringOrdinal(
               actual.data(), static_cast<int>(actual.size()), name.data(), static_cast<int>(name.size()), TRUE)
        == CSTR_EQUAL;
}

bool isBox(HWND window)
{
    return IsWindowVisible(window) && isClass(window, L"#32770");
}

BOOL CALLBACK collectBox(HWND window, LPARAM boxes)
{
    if (isBox(window))
        reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window); // NOLINT(performance-no-int-to-ptr)
    return TRUE;
}

std::vector<HWND> openBoxes()
{
    std::vector<HWND> boxes;
    EnumThreadWindows(GetCurrentThreadId(), collectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

// What a message box shows: its text, its icon, its visible buttons.
struct BoxContents {
    std::wstring text;
    HICON icon = nullptr;
    std::vector<std::pair<int, std::wstring>> buttons; // control ID, caption
};

BOOL CALLBACK readControl(HWND control, LPARAM contents)
{
    auto& box = *reinterpret_cast<BoxContents*>(contents); // NOLINT(performance-no-int-to-ptr)
    if (!IsWindowVisible(control))
        return TRUE; // a message box hides the buttons it does not use
    if (isClass(control, L"Static")) {
        if ((GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            box.icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0)); // NOLINT
        else
            box.text += windowText(control);
    } else if (isClass(control, L"Button")) {
        box.buttons.emplace_back(GetDlgCtrlID(control), windowText(control));
    }
    return TRUE;
}

std::string oneLine(const std::wstring& text)
{
    std::string line;
    for (char c : toUtf8(text)) {
        if (c == '\r')
            line += "\\r";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line;
}

} // namespace

BoxAnswerer::BoxAnswerer(HWND owner) : owner_(owner)
{
    if (current)
        throw std::logic_error("one box answerer at a time");
    timer_ = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &onTimer);
    if (!timer_)
        throw std::runtime_error("SetTimer failed");
    current = this;
}

BoxAnswerer::~BoxAnswerer()
{
    KillTimer(nullptr, timer_);
    current = nullptr;
}

void BoxAnswerer::expect(std::wstring title, std::wstring text)
{
    expected_ = Expected{std::move(title), std::move(text)};
}

bool BoxAnswerer::forgetExpected()
{
    return std::exchange(expected_, std::nullopt).has_value();
}

std::vector<std::string> BoxAnswerer::takeProblems()
{
    return std::exchange(problems_, {});
}

bool BoxAnswerer::anyBoxOpen()
{
    return !openBoxes().empty();
}

void BoxAnswerer::answerOpenBoxes()
{
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (GetGUIThreadInfo(GetCurrentThreadId(), &thread)
        && (thread.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE))) {
        problems_.emplace_back("a menu opened");
        EndMenu();
    }
    for (HWND box : openBoxes())
        answer(box);
}

void BoxAnswerer::answer(HWND box)
{
    BoxContents contents;
    EnumChildWindows(box, readControl, reinterpret_cast<LPARAM>(&contents));
    const std::wstring title = windowText(box);
    ++answered_;

    if (!expected_) {
        problems_.push_back("an unexpected box \"" + oneLine(title) + "\": \"" + oneLine(contents.text) + "\"");
    } else {
        if (title != expected_->title || contents.text != expected_->text)
            problems_.push_back("the box \"" + oneLine(title) + "\" reads \"" + oneLine(contents.text)
                + "\", the model gives \"" + oneLine(expected_->title) + "\" reading \"" + oneLine(expected_->text)
                + "\"");
        // The system's icons are shared: the information icon is one handle.
        if (contents.icon != LoadIconW(nullptr, IDI_INFORMATION))
            problems_.emplace_back("the box does not show the information icon");
        if (contents.buttons.size() != 1 || contents.buttons.front().first != IDOK)
            problems_.emplace_back("the box does not have one OK button");
        if (GetWindow(box, GW_OWNER) != owner_)
            problems_.emplace_back("the box does not belong to the window");
        expected_.reset();
    }

    // OK, pressed as the operator would; any other box is ended as OK would end it.
    HWND ok = GetDlgItem(box, IDOK);
    if (ok && IsWindowVisible(ok))
        SendMessageW(ok, BM_CLICK, 0, 0);
    else
        EndDialog(box, IDOK);
}

} // namespace tarnwick::monkey
