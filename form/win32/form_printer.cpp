#include "form/win32/form_printer.h"

#include "form/page_placement.h"
#include "form/win32/frm_tarnwick2.h"
#include "form/win32/gdi_handles.h"
#include "form/win32/utf16.h"
#include "logic/run_time_error.h"

#include <windows.h>

#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace tarnwick {

namespace {

[[noreturn]] void fail(const std::string& reason)
{
    throw RunTimeError::platformFailure("Print Form", reason);
}

// What failed, and Windows' reason for the error it gave.
[[noreturn]] void failWith(const char* what, DWORD error)
{
    throw RunTimeError::platformFailure("Print Form", printFailureReason(what, error));
}

// A step of the job that Windows refused, with its reason.
[[noreturn]] void failed(const char* what)
{
    failWith(what, GetLastError());
}

struct DcDeleter {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
using PrinterDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using BrushHandle = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

// The page has the standard light look of Windows whatever the screen's
// colours are: under a high-contrast scheme the screen's would print white
// letters on a black page.
constexpr COLORREF faceColour = RGB(240, 240, 240);    // COLOR_3DFACE
constexpr COLORREF textColour = RGB(0, 0, 0);          // COLOR_BTNTEXT, COLOR_WINDOWTEXT
constexpr COLORREF shadowColour = RGB(160, 160, 160);  // COLOR_3DSHADOW
constexpr COLORREF outlineColour = RGB(105, 105, 105); // COLOR_3DDKSHADOW
constexpr COLORREF circleColour = RGB(255, 255, 255);  // COLOR_WINDOW, an option's circle

BrushHandle solidBrush(COLORREF colour)
{
    BrushHandle brush(CreateSolidBrush(colour));
    if (!brush)
        fail("the printer's brushes could not be made");
    return brush;
}

std::wstring defaultPrinter()
{
    // Windows says ERROR_FILE_NOT_FOUND when there is no default printer,
    // which is what the box says, in its own words.
    const auto noPrinter = [] {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            fail("no default printer");
        failWith("no default printer", error);
    };
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0)
        noPrinter();
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size))
        noPrinter();
    name.resize(name.find(L'\0'));
    return name;
}

constexpr const char* notHandedOver = "the job could not be handed to the printer";

constexpr double screenDpi = 96; // the form's own lengths are pixels at 96 dpi

// Where the form goes in the printer's dots. A printer DC's origin is the top
// left of the printable area, so the place is counted from there too.
struct PrinterPlacement {
    double dotsPerPixelX = 1;
    double dotsPerPixelY = 1;
    int left = 0;
    int top = 0;
};

// The form placed by the core's rule on the printable area that the printer's
// driver reports for the paper it was opened with. A driver that reports no
// paper or no printable area stops Print Form before any job is started.
PrinterPlacement placeOnPrinter(HDC dc, const FittedLayout& layout)
{
    const int dotsPerInchX = GetDeviceCaps(dc, LOGPIXELSX);
    const int dotsPerInchY = GetDeviceCaps(dc, LOGPIXELSY);
    const auto pixels
        = [](int dots, int dotsPerInch) { return dotsPerInch > 0 ? dots * screenDpi / dotsPerInch : 0.0; };
    const std::optional<PagePlacement> placed = placeOnPage(layout.clientWidth, layout.clientHeight,
        {pixels(GetDeviceCaps(dc, HORZRES), dotsPerInchX), pixels(GetDeviceCaps(dc, VERTRES), dotsPerInchY)});
    if (!placed)
        fail(noPrintableAreaReason);
    const double perPixelX = dotsPerInchX / screenDpi;
    const double perPixelY = dotsPerInchY / screenDpi;
    return {perPixelX * placed->scale, perPixelY * placed->scale,
        static_cast<int>(std::lround(placed->left * perPixelX)),
        static_cast<int>(std::lround(placed->top * perPixelY))};
}

// A job between StartDoc and EndDoc; one that does not end well is aborted.
class PrintJob {
public:
    explicit PrintJob(HDC dc) : dc_(dc) { }
    ~PrintJob()
    {
        if (started_ && !ended_)
            AbortDoc(dc_);
    }
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // False when the user cancelled the job in the printer's own box: a
    // printer that asks for a file (Microsoft Print to PDF, XPS, OneNote)
    // asks inside StartDoc, which then fails with ERROR_CANCELLED.
    bool start()
    {
        DOCINFOW document{};
        document.cbSize = sizeof document;
        document.lpszDocName = L"Tarnwick";
        if (StartDocW(dc_, &document) > 0) {
            started_ = true;
            return true;
        }
        if (const std::optional<std::string> reason = refusedJobReason(GetLastError()))
            fail(*reason);
        return false;
    }

    void end()
    {
        ended_ = true;
        if (EndDoc(dc_) <= 0)
            failed(notHandedOver);
    }

private:
    HDC dc_;
    bool started_ = false;
    bool ended_ = false;
};

// Draws the window in the classic look, from pixels at 96 dots per inch to the
// printer's dots, at the placement's scale and place.
class PagePainter {
public:
    PagePainter(HDC dc, const frmTarnwick2& window, const PrinterPlacement& placement)
        : dc_(dc),
          window_(window),
          scaleX_(placement.dotsPerPixelX),
          scaleY_(placement.dotsPerPixelY),
          left_(placement.left),
          top_(placement.top)
    {
        LOGFONTW font = window.fontAt96Dpi();
        font.lfHeight = static_cast<LONG>(std::lround(font.lfHeight * scaleY_));
        font.lfWidth = 0;
        font_.reset(CreateFontIndirectW(&font));
        if (!font_)
            fail("the printer's font could not be made");
        line_ = std::max(1, static_cast<int>(std::lround(scaleX_)));
    }

    void paint()
    {
        const SelectedObject font(dc_, font_.get());
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, textColour);
        const FittedLayout& layout = window_.layout();
        fill(rect({0, 0, layout.clientWidth, layout.clientHeight}), face_);
        for (LayoutRow row = 0; row < formLayout.size(); ++row) {
            switch (formLayout[row].kind) {
            case ControlKind::Frame:
                paintFrame(row);
                break;
            case ControlKind::OptionButton:
                paintOption(row);
                break;
            case ControlKind::CommandButton:
                paintButton(row);
                break;
            case ControlKind::Label:
                paintText(rect(window_.placeOnForm(row)), window_.text(row), DT_LEFT | DT_NOPREFIX);
                break;
            }
        }
    }

private:
    // A control's box on the page; x and y alone scale lengths.
    RECT rect(const PixelRect& box) const
    {
        return {left_ + x(box.left), top_ + y(box.top), left_ + x(box.right()), top_ + y(box.bottom())};
    }
    int x(int pixels) const { return static_cast<int>(std::lround(pixels * scaleX_)); }
    int y(int pixels) const { return static_cast<int>(std::lround(pixels * scaleY_)); }

    void fill(const RECT& area, const BrushHandle& brush) const { FillRect(dc_, &area, brush.get()); }

    // An outline `width` dots wide, inside `area`.
    void outline(RECT area, const BrushHandle& brush, int width) const
    {
        for (int i = 0; i < width; ++i) {
            FrameRect(dc_, &area, brush.get());
            InflateRect(&area, -1, -1);
        }
    }

    void paintText(RECT area, const std::wstring& text, UINT format) const
    {
        DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &area, format | DT_SINGLELINE | DT_VCENTER);
    }

    SIZE textSize(const std::wstring& text) const
    {
        SIZE size{};
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }

    void paintFrame(LayoutRow row) const
    {
        const RECT area = rect(window_.placeOnForm(row));
        const std::wstring caption = window_.text(row);
        const SIZE size = textSize(caption);
        // The frame's line runs through the middle of its caption, as on the screen.
        RECT box = area;
        box.top += size.cy / 2;
        outline(box, shadow_, line_);
        RECT label{area.left + x(6), area.top, area.left + x(6) + size.cx + x(4), area.top + size.cy};
        fill(label, face_);
        label.left += x(2);
        paintText(label, caption, DT_LEFT | DT_HIDEPREFIX);
    }

    void paintOption(LayoutRow row) const
    {
        const RECT area = rect(window_.placeOnForm(row));
        const int diameter = y(13);
        const int top = (area.top + area.bottom - diameter) / 2;
        const RECT circle{area.left, top, area.left + diameter, top + diameter};
        const PenHandle pen(CreatePen(PS_SOLID, line_, outlineColour));
        const SelectedObject selectedPen(dc_, pen.get());
        const SelectedObject white(dc_, circle_.get());
        Ellipse(dc_, circle.left, circle.top, circle.right, circle.bottom);
        if (window_.isChecked(row)) {
            const int inset = diameter * 4 / 13;
            const SelectedObject dot(dc_, text_.get());
            Ellipse(dc_, circle.left + inset, circle.top + inset, circle.right - inset, circle.bottom - inset);
        }
        paintText({circle.right + x(4), area.top, area.right, area.bottom}, window_.text(row), DT_LEFT);
    }

    void paintButton(LayoutRow row) const
    {
        const RECT area = rect(window_.placeOnForm(row));
        fill(area, face_);
        const bool isDefault = formLayout[row].role == ControlRole::DefaultButton;
        outline(area, outline_, isDefault ? 2 * line_ : line_);
        paintText(area, window_.text(row), DT_CENTER);
    }

    HDC dc_;
    const frmTarnwick2& window_;
    double scaleX_;
    double scaleY_;
    int left_;
    int top_;
    FontHandle font_;
    int line_ = 1;
    BrushHandle face_ = solidBrush(faceColour);
    BrushHandle text_ = solidBrush(textColour);
    BrushHandle shadow_ = solidBrush(shadowColour);
    BrushHandle outline_ = solidBrush(outlineColour);
    BrushHandle circle_ = solidBrush(circleColour);
};

} // namespace

std::optional<std::string> refusedJobReason(DWORD error)
{
    if (error == ERROR_CANCELLED)
        return std::nullopt;
    return printFailureReason(notHandedOver, error);
}

std::string printFailureReason(const char* what, DWORD error)
{
    if (error == ERROR_SUCCESS)
        return what;
    wchar_t* text = nullptr;
    const DWORD length
        = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    LocalFree(text);
    // Windows ends its messages with a line break.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    if (message.empty())
        return std::string(what) + ": Windows error " + std::to_string(error);
    return std::string(what) + ": " + toUtf8(message);
}

void printWindowImage(const frmTarnwick2& window)
{
    const std::wstring printer = defaultPrinter();
    // No DEVMODE: the driver opens the printer with its own default paper and
    // orientation, as the user's printing preferences have them. GDI ignores
    // the driver's name for a printer.
    const PrinterDc dc(CreateDCW(nullptr, printer.c_str(), nullptr, nullptr));
    if (!dc)
        failed("the printer could not be opened");
    const PrinterPlacement placement = placeOnPrinter(dc.get(), window.layout());
    PrintJob job(dc.get());
    if (!job.start())
        return;
    if (StartPage(dc.get()) <= 0)
        failed(notHandedOver);
    PagePainter(dc.get(), window, placement).paint();
    if (EndPage(dc.get()) <= 0)
        failed(notHandedOver);
    job.end();
}

} // namespace tarnwick
