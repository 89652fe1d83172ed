// The black-box runner's eyes and hands inside Wine: reads the Tarnwick window
// from outside its process through Win32 alone, and does what X input cannot
// (BM_CLICK in bulk, WM_CLOSE, Windows' own money text for the user's region).
//
// One command a line on standard input, one JSON object a line on standard
// output, so that one driver process serves a whole run of the program:
//
//   state                    the window, its controls, the focus, open boxes
//   click NAME[,NAME...] N   BM_CLICK to the named controls in turn, N rounds
//   close                    sends WM_CLOSE to the window, as another program closing it does
//   closebox                 where the title bar's close box is
//   money DIGITS AMOUNT...   GetCurrencyFormatEx texts under the user's region;
//                            DIGITS is a number of decimals or "region"
//   layout                   where the layout table puts each control, in twips
//   region                   the user's region and its money settings
//   setregion NAME VALUE     changes one of the user's own region settings
//   setdpi N                 the display's DPI for programs started after it (LogPixels)
//   setcolour NAME R G B     one of the user's system colours (Control Panel\Colors),
//                            for programs started after it
//   visualstyles on|off      the user's visual style (theme) for programs started after it;
//                            off, controls draw in the system colours, as under a
//                            high-contrast scheme
//   events                   the accessibility events heard since the last `events`,
//                            oldest first, and forgets them
//   setfont POINTS FACE...   the user's message (dialog) font for programs started after it
//   captions                 each caption's text extent in that font at the window's DPI,
//                            and the room its control draws around the text
//   fileprinter              a printer on the FILE: port, the default from then on: Wine
//                            asks for a file in a box of its own inside StartDoc, as a
//                            PDF printer's driver does on Windows
//   getobject                WM_GETOBJECT to the window as UI Automation sends it
//                            (UiaRootObjectId), and what the window answered
//   quit
//
// Controls are named as in the layout table. Rectangles are [left, top,
// right, bottom] in screen pixels.
//
// The accessibility events are heard by an out-of-context WinEvent hook on a
// thread of the driver's own, as a screen reader hears them: each
// EVENT_OBJECT_LIVEREGIONCHANGED of any process, recorded in the order the
// events came, with the control each came from (its layout name, else its
// class and ID) and that control's text as the hook read it when it arrived. `events` first lets the
// hook thread handle every event queued for it, so an event raised before
// the program handled an input that the runner has seen handled is in the
// answer.

#include "form/form_layout.h"
#include "form/win32/control_ids.h"
#include "form/win32/gdi_handles.h"
#include "form/win32/utf16.h"
#include "tests/win32/blackbox/json_string.h"

#include <windows.h>

#include <shellscalingapi.h>
#include <uxtheme.h>
#include <vssym32.h>
#include <winspool.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

using tarnwick::formLayout;

// The program's own conversions between UTF-16 and UTF-8.
using tarnwick::toUtf16;
using tarnwick::toUtf8;

// A JSON object written as it goes; values are UTF-8.
class Json {
public:
    Json& key(std::string_view name)
    {
        comma();
        string(name);
        out_ += ':';
        fresh_ = true;
        return *this;
    }
    Json& value(std::string_view text)
    {
        comma();
        string(text);
        return *this;
    }
    Json& value(const std::wstring& text) { return value(toUtf8(text)); }
    Json& value(const char* text) { return value(std::string_view(text)); }
    Json& value(bool flag)
    {
        comma();
        out_ += flag ? "true" : "false";
        return *this;
    }
    Json& value(long long number)
    {
        comma();
        out_ += std::to_string(number);
        return *this;
    }
    Json& value(int number) { return value(static_cast<long long>(number)); }
    Json& value(double number)
    {
        comma();
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.3f", number);
        out_ += buffer;
        return *this;
    }
    Json& null()
    {
        comma();
        out_ += "null";
        return *this;
    }
    Json& value(const RECT& rect)
    {
        open('[');
        value(static_cast<int>(rect.left)).value(static_cast<int>(rect.top));
        value(static_cast<int>(rect.right)).value(static_cast<int>(rect.bottom));
        return close(']');
    }
    Json& open(char bracket)
    {
        comma();
        out_ += bracket;
        fresh_ = true;
        return *this;
    }
    Json& close(char bracket)
    {
        out_ += bracket;
        fresh_ = false;
        return *this;
    }
    const std::string& text() const { return out_; }

private:
    void comma()
    {
        if (!fresh_)
            out_ += ',';
        fresh_ = false;
    }
    void string(std::string_view text) { out_ += tarnwick::test::jsonString(text); }

    std::string out_;
    bool fresh_ = true;
};

// Straight to the handle: the C runtime's text mode would turn "\n" into "\r\n".
void answer(const Json& json)
{
    std::string line = json.text() + "\n";
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const char* data = line.data();
    DWORD left = static_cast<DWORD>(line.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(out, data, left, &written, nullptr) || written == 0)
            ExitProcess(3);
        data += written;
        left -= written;
    }
}

void fail(std::string_view why)
{
    Json json;
    json.open('{').key("ok").value(false).key("error").value(why).close('}');
    answer(json);
}

constexpr UINT replyTimeoutMs = 3000;

// Every message to the program has a deadline, so a hung program is reported
// rather than hanging the runner.
std::optional<LRESULT> ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs = replyTimeoutMs)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

std::wstring textOf(HWND window)
{
    const auto length = ask(window, WM_GETTEXTLENGTH, 0, 0);
    if (!length || *length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(*length) + 1, L'\0');
    const auto copied = ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied ? static_cast<std::size_t>(*copied) : 0);
    return text;
}

std::wstring classOf(HWND window)
{
    wchar_t name[64] = {};
    const int length = GetClassNameW(window, name, 64);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool sameClass(HWND window, const wchar_t* name)
{
    return CompareStringOrdinal(classOf(window).c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

RECT windowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT clientRectOnScreen(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HWND findMain()
{
    // The error box shares the window's title; the window is the one nobody owns.
    static const std::wstring caption = toUtf16(tarnwick::windowEntry.caption);
    HWND candidate = nullptr;
    while ((candidate = FindWindowExW(nullptr, candidate, nullptr, caption.c_str())) != nullptr) {
        if (!GetWindow(candidate, GW_OWNER))
            return candidate;
    }
    return nullptr;
}

std::vector<HWND> childrenOf(HWND parent, bool directOnly)
{
    struct Walk {
        HWND parent;
        bool directOnly;
        std::vector<HWND> found;
    } walk{parent, directOnly, {}};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto& w = *reinterpret_cast<Walk*>(data); // NOLINT(performance-no-int-to-ptr)
            if (!w.directOnly || GetAncestor(child, GA_PARENT) == w.parent)
                w.found.push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.found;
}

std::optional<std::string_view> layoutName(HWND main, HWND window)
{
    if (!window || GetAncestor(window, GA_PARENT) != main)
        return std::nullopt;
    const auto row = tarnwick::rowOfControlId(GetDlgCtrlID(window));
    if (!row)
        return std::nullopt;
    return formLayout[*row].name;
}

const char* buttonKind(LONG style)
{
    switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
        return "push";
    case BS_DEFPUSHBUTTON:
        return "default-push";
    case BS_RADIOBUTTON:
        return "radio";
    case BS_AUTORADIOBUTTON:
        return "auto-radio";
    case BS_GROUPBOX:
        return "group";
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
        return "check";
    default:
        return "other-button";
    }
}

// The message box's icon, recognised by its pixels: icon handles are per
// process, so the box's own handle tells another process nothing. Each of the
// standard icons is drawn as the static draws it, on the background seen at
// its corner, and the closest wins.
struct IconGuess {
    std::string name; // empty: nothing matched well
    double score = 0; // mean difference of a colour channel, 0..255
};

IconGuess recogniseIcon(HWND iconStatic)
{
    const RECT rect = windowRect(iconStatic);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || width > 256 || height > 256)
        return {};
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    IconGuess best;
    if (bitmap && bits) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        auto* data = static_cast<std::uint32_t*>(bits);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const std::vector<std::uint32_t> seen(data, data + pixels);
        const std::uint32_t background = seen[0];

        struct Candidate {
            const char* name;
            LPCWSTR id;
        };
        const Candidate candidates[] = {{"information", IDI_INFORMATION}, {"warning", IDI_WARNING},
            {"error", IDI_ERROR}, {"question", IDI_QUESTION}};
        double bestScore = std::numeric_limits<double>::max();
        double secondScore = std::numeric_limits<double>::max();
        const char* bestName = "";
        for (const Candidate& candidate : candidates) {
            std::fill(data, data + pixels, background);
            DrawIconEx(memory, 0, 0, LoadIconW(nullptr, candidate.id), width, height, 0, nullptr, DI_NORMAL);
            GdiFlush();
            // A right-to-left box draws its icon mirrored.
            double total = 0;
            double mirroredTotal = 0;
            for (std::size_t i = 0; i < pixels; ++i) {
                const std::size_t x = i % static_cast<std::size_t>(width);
                const std::size_t mirrored = i - x + (static_cast<std::size_t>(width) - 1 - x);
                for (int shift = 0; shift < 24; shift += 8) {
                    const int drawn = static_cast<int>((data[i] >> shift) & 0xff);
                    total += std::abs(static_cast<int>((seen[i] >> shift) & 0xff) - drawn);
                    mirroredTotal += std::abs(static_cast<int>((seen[mirrored] >> shift) & 0xff) - drawn);
                }
            }
            total = std::min(total, mirroredTotal);
            const double score = total / (3.0 * static_cast<double>(pixels));
            if (score < bestScore) {
                secondScore = bestScore;
                bestScore = score;
                bestName = candidate.name;
            } else if (score < secondScore) {
                secondScore = score;
            }
        }
        best.score = bestScore;
        // Drawn by the same code on the same background, the box's own icon
        // matches to the pixel; the information and question marks are alike
        // (a few levels apart on average), so the margin is small but clear.
        if (bestScore < 1.0 && secondScore > bestScore + 2.0)
            best.name = bestName;
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return best;
}

std::vector<HWND> boxesOf(DWORD process)
{
    struct Walk {
        DWORD process;
        std::vector<HWND> found;
    } walk{process, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& w = *reinterpret_cast<Walk*>(data); // NOLINT(performance-no-int-to-ptr)
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == w.process && IsWindowVisible(window) && sameClass(window, L"#32770"))
                w.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.found;
}

void describeBox(Json& json, HWND main, HWND box, HWND focus)
{
    json.open('{');
    json.key("title").value(textOf(box));
    json.key("owned_by_window").value(GetWindow(box, GW_OWNER) == main);
    json.key("rect").value(windowRect(box));
    json.key("texts").open('[');
    std::vector<HWND> buttons;
    HWND icon = nullptr;
    for (HWND child : childrenOf(box, true)) {
        if (!IsWindowVisible(child))
            continue;
        if (sameClass(child, L"Static")) {
            if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                // Wine keeps the icon's place in a box without one; it is empty.
                if (const auto handle = ask(child, STM_GETICON, 0, 0); handle && *handle)
                    icon = child;
            } else if (const std::wstring text = textOf(child); !text.empty())
                json.value(text);
        } else if (sameClass(child, L"Button")) {
            buttons.push_back(child);
        }
    }
    json.close(']');
    json.key("buttons").open('[');
    for (HWND button : buttons) {
        json.open('{').key("text").value(textOf(button)).key("id").value(GetDlgCtrlID(button));
        json.key("rect").value(windowRect(button)).key("focused").value(button == focus).close('}');
    }
    json.close(']');
    json.key("icon");
    if (!icon) {
        json.null();
    } else {
        const IconGuess guess = recogniseIcon(icon);
        json.value(guess.name.empty() ? std::string("unclear") : guess.name);
        json.key("icon_score").value(guess.score);
    }
    json.close('}');
}

void state()
{
    Json json;
    json.open('{').key("ok").value(true);
    HWND main = findMain();
    if (!main) {
        json.key("window").null().close('}');
        answer(json);
        return;
    }
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(main, &process);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const bool haveGui = GetGUIThreadInfo(thread, &gui);
    const HWND focus = haveGui ? gui.hwndFocus : nullptr;
    const HWND active = haveGui ? gui.hwndActive : nullptr;
    const LONG style = GetWindowLongW(main, GWL_STYLE);

    json.key("window").open('{');
    json.key("title").value(textOf(main));
    json.key("class").value(classOf(main));
    json.key("visible").value(static_cast<bool>(IsWindowVisible(main)));
    json.key("enabled").value(static_cast<bool>(IsWindowEnabled(main)));
    json.key("iconic").value(static_cast<bool>(IsIconic(main)));
    json.key("sizing_border").value((style & WS_THICKFRAME) != 0);
    json.key("maximize_box").value((style & WS_MAXIMIZEBOX) != 0);
    json.key("rect").value(windowRect(main));
    json.key("client").value(clientRectOnScreen(main));
    json.key("dpi").value(static_cast<int>(GetDpiForWindow(main)));
    json.close('}');

    std::vector<std::pair<std::string_view, HWND>> named;
    json.key("strangers").open('[');
    for (HWND child : childrenOf(main, true)) {
        if (const auto name = layoutName(main, child))
            named.emplace_back(*name, child);
        else
            json.value(classOf(child) + L" id " + std::to_wstring(GetDlgCtrlID(child)) + L" " + textOf(child));
    }
    json.close(']');
    json.key("controls").open('{');
    for (const auto& [name, child] : named) {
        const LONG childStyle = GetWindowLongW(child, GWL_STYLE);
        json.key(name).open('{');
        json.key("id").value(GetDlgCtrlID(child));
        json.key("class").value(classOf(child));
        json.key("text").value(textOf(child));
        json.key("visible").value(static_cast<bool>(IsWindowVisible(child)));
        json.key("enabled").value(static_cast<bool>(IsWindowEnabled(child)));
        json.key("tab_stop").value((childStyle & WS_TABSTOP) != 0);
        json.key("group").value((childStyle & WS_GROUP) != 0);
        json.key("rect").value(windowRect(child));
        if (sameClass(child, L"Button")) {
            const char* kind = buttonKind(childStyle);
            json.key("kind").value(kind);
            const auto buttonState = ask(child, BM_GETSTATE, 0, 0);
            json.key("pushed").value(buttonState && (*buttonState & BST_PUSHED) != 0);
            if (std::string_view(kind).ends_with("radio")) {
                const auto check = ask(child, BM_GETCHECK, 0, 0);
                json.key("checked").value(check && *check == BST_CHECKED);
            }
        } else {
            json.key("kind").value(sameClass(child, L"Static") ? "static" : "other");
        }
        json.close('}');
    }
    json.close('}');

    const std::vector<HWND> boxes = boxesOf(process);
    json.key("focus");
    if (const auto name = layoutName(main, focus))
        json.value(*name);
    else if (focus)
        json.value(L"(" + classOf(focus) + L" " + textOf(focus) + L")");
    else
        json.null();
    json.key("active");
    if (active == main)
        json.value("window");
    else if (active && std::find(boxes.begin(), boxes.end(), active) != boxes.end())
        json.value("box");
    else if (active)
        json.value(L"(" + classOf(active) + L" " + textOf(active) + L")");
    else
        json.null();
    json.key("foreground_is_active").value(active != nullptr && GetForegroundWindow() == active);
    json.key("boxes").open('[');
    for (HWND box : boxes)
        describeBox(json, main, box, focus);
    json.close(']');
    json.close('}');
    answer(json);
}

std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find(separator, start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > start)
            parts.emplace_back(text.substr(start, stop - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return parts;
}

void click(const std::vector<std::string>& words)
{
    if (words.size() != 3)
        return fail("usage: click NAME[,NAME...] COUNT");
    HWND main = findMain();
    if (!main)
        return fail("no window");
    std::vector<HWND> targets;
    for (const std::string& name : split(words[1], ',')) {
        const auto row = tarnwick::rowNamed(name);
        HWND control = row ? GetDlgItem(main, tarnwick::controlId(*row)) : nullptr;
        if (!control)
            return fail("no control named " + name);
        targets.push_back(control);
    }
    const long long rounds = std::stoll(words[2]);
    const auto started = std::chrono::steady_clock::now();
    long long sent = 0;
    // Synchronous: each click has been handled before the next is sent. A
    // click that opens a box does not return until the box closes, and so
    // stops the series at the deadline.
    for (long long round = 0; round < rounds; ++round) {
        for (HWND target : targets) {
            if (!ask(target, BM_CLICK, 0, 0, 10000)) {
                Json json;
                json.open('{').key("ok").value(false).key("error").value("a click was not handled within 10 s");
                json.key("sent").value(sent).close('}');
                return answer(json);
            }
            ++sent;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    Json json;
    json.open('{').key("ok").value(true).key("sent").value(sent).key("seconds").value(took.count()).close('}');
    answer(json);
}

// The title bar's close box, found as the window itself answers hit tests
// along its title bar, for a real click on it.
void closeBox()
{
    HWND main = findMain();
    if (!main)
        return fail("no window");
    TITLEBARINFO title{};
    title.cbSize = sizeof title;
    if (!GetTitleBarInfo(main, &title))
        return fail("GetTitleBarInfo failed");
    const RECT bar = title.rcTitleBar;
    const auto hitsClose = [main](int x, int y) {
        const auto hit = ask(main, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        return hit && *hit == HTCLOSE;
    };
    const int middle = (bar.top + bar.bottom) / 2;
    RECT box{bar.right, bar.bottom, bar.left, bar.top};
    for (int x = bar.left; x < bar.right; ++x) {
        if (hitsClose(x, middle)) {
            box.left = std::min<LONG>(box.left, x);
            box.right = std::max<LONG>(box.right, x + 1);
        }
    }
    if (box.left >= box.right)
        return fail("nothing on the title bar answers HTCLOSE");
    const int centre = static_cast<int>((box.left + box.right) / 2);
    for (int y = bar.top; y < bar.bottom; ++y) {
        if (hitsClose(centre, y)) {
            box.top = std::min<LONG>(box.top, y);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    }
    Json json;
    json.open('{').key("ok").value(true).key("rect").value(box).key("title_bar").value(bar).close('}');
    answer(json);
}

void closeWindow()
{
    HWND main = findMain();
    if (!main)
        return fail("no window");
    Json json;
    // Sent: the window ends inside a message another thread waits on.
    json.open('{').key("ok").value(ask(main, WM_CLOSE, 0, 0).has_value()).close('}');
    answer(json);
}

std::wstring localeText(LCTYPE type)
{
    wchar_t buffer[128] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 128);
    return length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length - 1)) : std::wstring();
}

UINT localeNumber(LCTYPE type)
{
    DWORD number = 0;
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&number),
        sizeof number / sizeof(wchar_t));
    return number;
}

// "3;0" is 3 (threes all the way), "3;2;0" is 32, and a plain "3" (one group
// of three, then no more) is 30, as CURRENCYFMTW wants them.
UINT groupingNumber(const std::wstring& grouping)
{
    std::wstring digits;
    for (const wchar_t c : grouping) {
        if (c >= L'0' && c <= L'9')
            digits += c;
    }
    if (digits.size() >= 2 && digits.back() == L'0')
        digits.pop_back();
    else if (!digits.empty() && digits != L"0")
        digits += L'0';
    return digits.empty() ? 0 : static_cast<UINT>(std::stoul(digits));
}

void money(const std::vector<std::string>& words)
{
    if (words.size() < 3)
        return fail("usage: money DIGITS|region AMOUNT...");
    // Wine's format-less path writes only the first group separator, so the
    // format is always spelt out from the region's own settings.
    std::wstring decimal = localeText(LOCALE_SMONDECIMALSEP);
    std::wstring thousands = localeText(LOCALE_SMONTHOUSANDSEP);
    std::wstring symbol = localeText(LOCALE_SCURRENCY);
    CURRENCYFMTW format{};
    format.NumDigits
        = words[1] == "region" ? localeNumber(LOCALE_ICURRDIGITS) : static_cast<UINT>(std::stoul(words[1]));
    format.LeadingZero = localeNumber(LOCALE_ILZERO);
    format.Grouping = groupingNumber(localeText(LOCALE_SMONGROUPING));
    format.lpDecimalSep = decimal.data();
    format.lpThousandSep = thousands.data();
    format.NegativeOrder = localeNumber(LOCALE_INEGCURR);
    format.PositiveOrder = localeNumber(LOCALE_ICURRENCY);
    format.lpCurrencySymbol = symbol.data();
    Json json;
    json.open('{').key("ok").value(true).key("texts").open('[');
    for (std::size_t i = 2; i < words.size(); ++i) {
        wchar_t text[256] = {};
        const std::wstring amount = toUtf16(words[i]);
        const int length = GetCurrencyFormatEx(LOCALE_NAME_USER_DEFAULT, 0, amount.c_str(), &format, text, 256);
        if (length <= 0)
            return fail("GetCurrencyFormatEx refused " + words[i]);
        json.value(std::wstring(text, static_cast<std::size_t>(length - 1)));
    }
    json.close(']').close('}');
    answer(json);
}

void region()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    Json json;
    json.open('{').key("ok").value(true).key("user_locale").value(std::wstring(name));
    json.key("currency").value(localeText(LOCALE_SCURRENCY));
    json.key("decimal").value(localeText(LOCALE_SMONDECIMALSEP));
    json.key("thousands").value(localeText(LOCALE_SMONTHOUSANDSEP));
    json.key("grouping").value(localeText(LOCALE_SMONGROUPING));
    json.key("digits").value(static_cast<int>(localeNumber(LOCALE_ICURRDIGITS)));
    json.key("positive_order").value(static_cast<int>(localeNumber(LOCALE_ICURRENCY)));
    json.key("negative_order").value(static_cast<int>(localeNumber(LOCALE_INEGCURR)));
    json.close('}');
    answer(json);
}

// Where the layout table puts each control, in pixels at 96 dpi from the
// client area's top-left corner.
void layout()
{
    // In twips, as the table has it: the runner scales them to the display's pixels.
    Json json;
    json.open('{').key("ok").value(true).key("client").open('[');
    json.value(tarnwick::windowEntry.clientWidth).value(tarnwick::windowEntry.clientHeight).close(']');
    json.key("controls").open('{');
    for (const tarnwick::ControlEntry& entry : formLayout) {
        int left = entry.left;
        int top = entry.top;
        if (const auto container = tarnwick::rowNamed(entry.container)) {
            left += formLayout[*container].left;
            top += formLayout[*container].top;
        }
        json.key(entry.name).open('[').value(left).value(top);
        json.value(left + entry.width).value(top + entry.height).close(']');
    }
    json.close('}').close('}');
    answer(json);
}

// Changes one of the user's own region settings, as Control Panel does; the
// programs started afterwards read it.
void setRegion(const std::vector<std::string>& words)
{
    struct Setting {
        std::string_view name;
        LCTYPE type;
    };
    static constexpr Setting settings[]
        = {{"sMonGrouping", LOCALE_SMONGROUPING}, {"sMonThousandSep", LOCALE_SMONTHOUSANDSEP},
            {"sMonDecimalSep", LOCALE_SMONDECIMALSEP}, {"sCurrency", LOCALE_SCURRENCY}};
    if (words.size() != 3)
        return fail("usage: setregion NAME VALUE");
    for (const Setting& setting : settings) {
        if (setting.name == words[1]) {
            if (!SetLocaleInfoW(LOCALE_USER_DEFAULT, setting.type, toUtf16(words[2]).c_str()))
                return fail("SetLocaleInfoW refused " + words[1]);
            return region();
        }
    }
    fail("no region setting named " + words[1]);
}

void setDpi(const std::vector<std::string>& words)
{
    if (words.size() != 2)
        return fail("usage: setdpi N");
    const DWORD dpi = static_cast<DWORD>(std::stoul(words[1]));
    if (RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi)
        != ERROR_SUCCESS)
        return fail("LogPixels could not be set");
    Json json;
    json.open('{').key("ok").value(true).key("dpi").value(static_cast<long long>(dpi)).close('}');
    answer(json);
}

// One accessibility event as the hook heard it.
struct HeardEvent {
    DWORD event;
    std::wstring control; // the layout's name, else the window's class and ID
    LONG object;
    LONG child;
    std::wstring text; // the control's, when the event arrived
};

// The accessibility events heard, and the hook thread that hears them.
class EventRecorder {
public:
    // Starts the hook thread, which runs as long as the driver.
    void start()
    {
        std::unique_lock lock(mutex_);
        std::thread([this] { hear(); }).detach();
        changed_.wait(lock, [this] { return threadId_ != 0; });
    }

    bool hooked()
    {
        const std::lock_guard lock(mutex_);
        return hook_ != nullptr;
    }

    // The events heard since the last call, once the hook thread has handled
    // all that were queued for it; nullopt when it does not answer.
    std::optional<std::vector<HeardEvent>> take()
    {
        std::unique_lock lock(mutex_);
        const WPARAM wanted = ++flushes_;
        if (!PostThreadMessageW(threadId_, WM_APP, wanted, 0))
            return std::nullopt;
        if (!changed_.wait_for(lock, std::chrono::milliseconds(replyTimeoutMs), [&] { return flushed_ >= wanted; }))
            return std::nullopt;
        return std::exchange(heard_, {});
    }

private:
    void hear()
    {
        // The hook's callbacks come on this thread, from its message loop.
        HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr,
            &EventRecorder::onEvent, 0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
        {
            const std::lock_guard lock(mutex_);
            hook_ = hook;
            threadId_ = GetCurrentThreadId();
        }
        changed_.notify_all();
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr && message.message == WM_APP) {
                {
                    const std::lock_guard lock(mutex_);
                    flushed_ = message.wParam;
                }
                changed_.notify_all();
            }
            DispatchMessageW(&message);
        }
    }

    static void CALLBACK onEvent(
        HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD /*thread*/, DWORD /*time*/);

    std::mutex mutex_;
    std::condition_variable changed_;
    DWORD threadId_ = 0;
    HWINEVENTHOOK hook_ = nullptr;
    WPARAM flushes_ = 0;
    WPARAM flushed_ = 0;
    std::vector<HeardEvent> heard_;
};

EventRecorder recorder;

void CALLBACK EventRecorder::onEvent(
    HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD /*thread*/, DWORD /*time*/)
{
    // Its place is taken first: while the text is asked for, the thread
    // handles the events that came after it, each a call of this inside
    // this one. Only the loop's own message (`take`) moves the list away.
    std::size_t place = 0;
    {
        const std::lock_guard lock(recorder.mutex_);
        place = recorder.heard_.size();
        recorder.heard_.push_back({event, {}, object, child, {}});
    }
    std::wstring control;
    if (const auto name = layoutName(findMain(), window))
        control = toUtf16(*name);
    else
        control = classOf(window) + L" id " + std::to_wstring(GetDlgCtrlID(window));
    std::wstring text = textOf(window);
    const std::lock_guard lock(recorder.mutex_);
    recorder.heard_[place].control = std::move(control);
    recorder.heard_[place].text = std::move(text);
}

void events()
{
    if (!recorder.hooked())
        return fail("SetWinEventHook failed");
    const auto heard = recorder.take();
    if (!heard)
        return fail("the event hook's thread did not answer");
    Json json;
    json.open('{').key("ok").value(true).key("events").open('[');
    for (const HeardEvent& event : *heard) {
        json.open('{');
        json.key("event").value(event.event == EVENT_OBJECT_LIVEREGIONCHANGED ? "live_region_changed" : "other");
        json.key("id").value(static_cast<long long>(event.event));
        json.key("control").value(event.control);
        json.key("object").value(static_cast<long long>(event.object));
        json.key("child").value(static_cast<long long>(event.child));
        json.key("text").value(event.text);
        json.close('}');
    }
    json.close(']').close('}');
    answer(json);
}

// Sets one of the user's system colours as Control Panel keeps it; programs
// started afterwards paint with it.
void setColour(const std::vector<std::string>& words)
{
    if (words.size() != 5)
        return fail("usage: setcolour NAME R G B");
    const std::wstring value = toUtf16(words[2] + " " + words[3] + " " + words[4]);
    if (RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Colors", toUtf16(words[1]).c_str(), REG_SZ, value.c_str(),
            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)))
        != ERROR_SUCCESS)
        return fail("the colour " + words[1] + " could not be set");
    Json json;
    json.open('{').key("ok").value(true).key(words[1]).value(value).close('}');
    answer(json);
}

void setVisualStyles(const std::vector<std::string>& words)
{
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
        return fail("usage: visualstyles on|off");
    const std::wstring active = words[1] == "on" ? L"1" : L"0";
    if (RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager",
            L"ThemeActive", REG_SZ, active.c_str(), static_cast<DWORD>((active.size() + 1) * sizeof(wchar_t)))
        != ERROR_SUCCESS)
        return fail("ThemeActive could not be set");
    Json json;
    json.open('{').key("ok").value(true).key("visual_styles").value(words[1]).close('}');
    answer(json);
}

// --------------------------------------------------------------------------
// The captions in the user's font

// Sets the user's message font, as Display Settings does: programs started
// afterwards lay their dialogs out in it. Wine keeps it at 96 dpi and scales
// it to each program's DPI.
void setFont(const std::vector<std::string>& words)
{
    if (words.size() < 3)
        return fail("usage: setfont POINTS FACE...");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, 96))
        return fail("SPI_GETNONCLIENTMETRICS failed");
    std::string face = words[2];
    for (std::size_t i = 3; i < words.size(); ++i)
        face += " " + words[i];
    LOGFONTW& font = metrics.lfMessageFont;
    font = LOGFONTW{};
    font.lfHeight = -MulDiv(std::stoi(words[1]), 96, 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    const std::wstring wide = toUtf16(face);
    if (wide.size() >= LF_FACESIZE)
        return fail("face name too long");
    std::copy(wide.begin(), wide.end(), font.lfFaceName);
    if (!SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, SPIF_UPDATEINIFILE))
        return fail("SPI_SETNONCLIENTMETRICS failed");
    Json json;
    json.open('{').key("ok").value(true).close('}');
    answer(json);
}

// The room a control needs to show its caption whole: the caption's text
// extent in the dialog font, with what the control's kind draws around it
// (a push button's frame, an option's circle and the gap after it, a
// frame's inset), in pixels at the window's DPI. Measured here from the
// system's metrics and the theme, not asked of the program's controls.
// The button theme at `dpi`; mingw-w64's import library lacks the call, uxtheme.dll has it.
HTHEME buttonThemeAt(UINT dpi)
{
    using OpenForDpi = HTHEME(WINAPI*)(HWND, LPCWSTR, UINT);
    HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    FARPROC found = uxtheme ? GetProcAddress(uxtheme, "OpenThemeDataForDpi") : nullptr;
    if (!found)
        return nullptr;
    // Through void(*)(), which converts to any function type, as the program's own look-ups do.
    return reinterpret_cast<OpenForDpi>(reinterpret_cast<void (*)()>(found))(nullptr, L"BUTTON", dpi);
}

class CaptionRoom {
public:
    CaptionRoom(HDC dc, UINT dpi) : dc_(dc), dpi_(dpi), theme_(buttonThemeAt(dpi))
    {
        GetCharWidth32W(dc, L'0', L'0', &digitWidth_);
    }
    ~CaptionRoom()
    {
        if (theme_)
            CloseThemeData(theme_);
    }
    CaptionRoom(const CaptionRoom&) = delete;
    CaptionRoom& operator=(const CaptionRoom&) = delete;

    bool themed() const { return theme_ != nullptr; }

    SIZE needed(tarnwick::ControlKind kind, SIZE text) const
    {
        switch (kind) {
        case tarnwick::ControlKind::CommandButton: {
            const RECT insets = pushButtonInsets();
            return {text.cx + insets.left + insets.right, text.cy + insets.top + insets.bottom};
        }
        case tarnwick::ControlKind::OptionButton: {
            // The circle, then half a digit's width before the text.
            const SIZE glyph = optionGlyph();
            return {glyph.cx + std::max(digitWidth_ / 2, 1) + text.cx, std::max(glyph.cy, text.cy)};
        }
        case tarnwick::ControlKind::Frame:
            // The caption sits on the frame's top edge, a character in from either side.
            return {text.cx + 2 * digitWidth_, text.cy};
        case tarnwick::ControlKind::Label:
            break;
        }
        return text;
    }

private:
    RECT pushButtonInsets() const
    {
        if (theme_) {
            const RECT box{0, 0, 100, 100};
            RECT content{};
            if (SUCCEEDED(GetThemeBackgroundContentRect(theme_, dc_, BP_PUSHBUTTON, PBS_NORMAL, &box, &content)))
                return {content.left, content.top, box.right - content.right, box.bottom - content.bottom};
        }
        // The classic frame's two edges, and a pixel for the focus rectangle.
        const int edge = GetSystemMetricsForDpi(SM_CXEDGE, dpi_) + 1;
        return {edge, edge, edge, edge};
    }

    SIZE optionGlyph() const
    {
        SIZE glyph{GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi_), GetSystemMetricsForDpi(SM_CYMENUCHECK, dpi_)};
        SIZE themed{};
        if (theme_
            && SUCCEEDED(
                GetThemePartSize(theme_, dc_, BP_RADIOBUTTON, RBS_UNCHECKEDNORMAL, nullptr, TS_DRAW, &themed))) {
            glyph.cx = std::max(glyph.cx, themed.cx);
            glyph.cy = std::max(glyph.cy, themed.cy);
        }
        return glyph;
    }

    HDC dc_;
    UINT dpi_;
    HTHEME theme_;
    int digitWidth_ = 0;
};

// Each captioned control of the window: its rectangle, its caption's text
// extent in the user's message font at the window's DPI, and the size it
// needs to show it (CaptionRoom). The runner judges whether they fit.
// The DPI the window lays itself out at. A per-monitor aware window has its
// display's; Wine 8 answers GetDpiForWindow for another process's such
// window with 96 whatever the display's is.
UINT windowDpi(HWND window)
{
    if (GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(window)) == DPI_AWARENESS_PER_MONITOR_AWARE) {
        UINT x = 0;
        UINT y = 0;
        if (SUCCEEDED(GetDpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), MDT_EFFECTIVE_DPI, &x, &y)))
            return x;
    }
    return GetDpiForWindow(window);
}

void captions()
{
    HWND main = findMain();
    if (!main)
        return fail("no window");
    const UINT dpi = windowDpi(main);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return fail("SPI_GETNONCLIENTMETRICS failed");
    const tarnwick::FontHandle font(CreateFontIndirectW(&metrics.lfMessageFont));
    const tarnwick::WindowDc dc(nullptr);
    const tarnwick::SelectedObject selected(dc.get(), font.get());
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc.get(), LF_FACESIZE, face);
    const CaptionRoom room(dc.get(), dpi);

    Json json;
    json.open('{').key("ok").value(true).key("dpi").value(static_cast<int>(dpi));
    json.key("font").open('{').key("asked").value(std::wstring(metrics.lfMessageFont.lfFaceName));
    json.key("face").value(std::wstring(face));
    json.key("height").value(static_cast<int>(metrics.lfMessageFont.lfHeight)).close('}');
    json.key("themed").value(room.themed());
    json.key("controls").open('{');
    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        const tarnwick::ControlEntry& entry = formLayout[row];
        HWND control = GetDlgItem(main, tarnwick::controlId(row));
        if (entry.caption.empty() || !control)
            continue;
        // As the control shows it: an option's or a button's "&" marks its access key.
        const std::wstring text = textOf(control);
        const bool label = entry.kind == tarnwick::ControlKind::Label;
        RECT extent{};
        DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent,
            DT_CALCRECT | DT_SINGLELINE | (label ? DT_NOPREFIX : 0));
        const SIZE textSize{extent.right - extent.left, extent.bottom - extent.top};
        const SIZE needed = room.needed(entry.kind, textSize);
        json.key(entry.name).open('{').key("rect").value(windowRect(control));
        json.key("text").open('[').value(static_cast<int>(textSize.cx)).value(static_cast<int>(textSize.cy)).close(']');
        json.key("needed").open('[').value(static_cast<int>(needed.cx)).value(static_cast<int>(needed.cy)).close(']');
        json.close('}');
    }
    json.close('}').close('}');
    answer(json);
}

// A printer on the FILE: port with the driver of the printer Wine already
// has (the private CUPS queue's), made the default.
void filePrinter()
{
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrinterDriversW(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> drivers(needed + 1);
    if (!EnumPrinterDriversW(nullptr, nullptr, 1, drivers.data(), needed, &needed, &count) || count == 0)
        return fail("no printer driver to make a printer with");
    std::wstring name = L"Tarnwick File Printer";
    std::wstring port = L"FILE:";
    std::wstring processor = L"WinPrint";
    std::wstring dataType = L"RAW";
    PRINTER_INFO_2W printer{};
    printer.pPrinterName = name.data();
    printer.pPortName = port.data();
    printer.pDriverName = reinterpret_cast<DRIVER_INFO_1W*>(drivers.data())->pName;
    printer.pPrintProcessor = processor.data();
    printer.pDatatype = dataType.data();
    HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    if (!added)
        return fail("AddPrinterW failed: " + std::to_string(GetLastError()));
    ClosePrinter(added);
    if (!SetDefaultPrinterW(name.c_str()))
        return fail("SetDefaultPrinterW failed: " + std::to_string(GetLastError()));
    Json json;
    json.open('{').key("ok").value(true).key("printer").value(name).close('}');
    answer(json);
}

// As UI Automation asks a window for its provider.
void getObject()
{
    HWND main = findMain();
    if (!main)
        return fail("no window");
    constexpr LPARAM uiaRootObjectId = -25;
    const auto result = ask(main, WM_GETOBJECT, 0, uiaRootObjectId);
    if (!result)
        return fail("WM_GETOBJECT was not answered");
    Json json;
    json.open('{').key("ok").value(true).key("result").value(static_cast<long long>(*result)).close('}');
    answer(json);
}

bool readLine(std::string& line)
{
    static std::string pending;
    static bool ended = false;
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        if (const std::size_t end = pending.find('\n'); end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        if (ended) {
            line = pending;
            pending.clear();
            return !line.empty();
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr) || got == 0)
            ended = true;
        else
            pending.append(buffer, got);
    }
}

} // namespace

int main()
{
    // Other windows are read in the display's own pixels, as X input reaches them.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    recorder.start();
    std::string line;
    while (readLine(line)) {
        const std::vector<std::string> words = split(line, ' ');
        if (words.empty())
            continue;
        try {
            const std::string& command = words[0];
            if (command == "state")
                state();
            else if (command == "click")
                click(words);
            else if (command == "closebox")
                closeBox();
            else if (command == "close")
                closeWindow();
            else if (command == "money")
                money(words);
            else if (command == "layout")
                layout();
            else if (command == "setregion")
                setRegion(words);
            else if (command == "setdpi")
                setDpi(words);
            else if (command == "setcolour")
                setColour(words);
            else if (command == "visualstyles")
                setVisualStyles(words);
            else if (command == "events")
                events();
            else if (command == "region")
                region();
            // The user's font and the captions in it.
            else if (command == "setfont")
                setFont(words);
            else if (command == "captions")
                captions();
            else if (command == "fileprinter")
                filePrinter();
            else if (command == "getobject")
                getObject();
            else if (command == "quit")
                break;
            else
                fail("unknown command " + command);
        } catch (const std::exception& error) {
            fail(std::string("bad command: ") + error.what());
        }
    }
    return 0;
}
