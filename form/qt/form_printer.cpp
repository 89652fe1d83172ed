// The print module: all of the program's use of Qt PrintSupport, loaded on the
// first print (see form_printer.h).
#include "form/qt/form_printer.h"
#include "form/page_placement.h"
#include "form/qt/printer_canvas.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPalette>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRect>
#include <QWidget>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace {

// Qt's light look, as Fusion draws it with no desktop theme. Fusion's own
// standard palette is no help here: it follows a dark desktop.
QPalette lightPalette()
{
    constexpr std::pair<QPalette::ColorRole, QRgb> colours[] = {
        {QPalette::WindowText, 0x000000},
        {QPalette::Button, 0xefefef},
        {QPalette::Light, 0xffffff},
        {QPalette::Midlight, 0xcacaca},
        {QPalette::Dark, 0x9f9f9f},
        {QPalette::Mid, 0xb8b8b8},
        {QPalette::Text, 0x000000},
        {QPalette::BrightText, 0xffffff},
        {QPalette::ButtonText, 0x000000},
        {QPalette::Base, 0xffffff},
        {QPalette::Window, 0xefefef},
        {QPalette::Shadow, 0x767676},
        {QPalette::Highlight, 0x308cc6},
        {QPalette::HighlightedText, 0xffffff},
        {QPalette::AlternateBase, 0xf7f7f7},
        {QPalette::ToolTipBase, 0xffffdc},
        {QPalette::ToolTipText, 0x000000},
    };
    QPalette palette;
    for (const auto& [role, rgb] : colours)
        palette.setColor(role, QColor::fromRgb(rgb));
    return palette;
}

// The window drawn in the light look while it is painted on paper: a dark
// desktop theme would print a block of toner, or a black bar on a receipt
// roll. The screen keeps the user's colours.
class PaperColours {
public:
    explicit PaperColours(QWidget& window)
        : window_(window), own_(window.testAttribute(Qt::WA_SetPalette)), screen_(window.palette())
    {
        window_.setPalette(lightPalette());
    }
    ~PaperColours() { window_.setPalette(own_ ? screen_ : QPalette()); }
    PaperColours(const PaperColours&) = delete;
    PaperColours& operator=(const PaperColours&) = delete;

private:
    QWidget& window_;
    bool own_;
    QPalette screen_;
};

const char* printWindowImage(QWidget& window)
{
    // Without a default printer Qt would quietly choose the first queue, or a
    // PDF file with no name; neither is what the operator asked for.
    const QPrinterInfo destination = QPrinterInfo::defaultPrinter();
    if (destination.isNull())
        return "no default printer";

    QPrinter printer(destination, QPrinter::HighResolution);
    printer.setDocName(window.windowTitle());
    // The printer's own paper: QPrinter keeps the size it starts with (A4, or
    // the locale's) whenever the printer offers that size too.
    const QPageSize paper = destination.defaultPageSize();
    if (!paper.isValid() || !printer.setPageSize(paper))
        return "the printer reports no paper";
    // All of the paper the printer can print on, not Qt's own wider margins.
    const QPageLayout layout = printer.pageLayout();
    if (!printer.setPageMargins(layout.minimumMargins(), layout.units()))
        return "the printer's margins could not be set";

    const int dpi = printer.resolution();
    const QRect printable = printer.pageLayout().paintRectPixels(dpi);
    const std::optional<tarnwick::PagePlacement> placement = tarnwick::placeOnPage(window.width(), window.height(),
        {printable.width() * double(tarnwick::PrinterCanvas::screenDpi) / dpi,
            printable.height() * double(tarnwick::PrinterCanvas::screenDpi) / dpi});
    if (!placement)
        return tarnwick::noPrintableAreaReason;

    QPainter painter;
    if (!painter.begin(&printer))
        return "the printer could not be opened";
    // The painter's origin is the printable area's top left. The window is
    // painted afresh at the printer's resolution, at its size on a 96 dpi
    // screen (15 twips a pixel) or as much smaller as the paper needs.
    painter.translate(placement->left * dpi / tarnwick::PrinterCanvas::screenDpi,
        placement->top * dpi / tarnwick::PrinterCanvas::screenDpi);
    {
        const PaperColours onPaper(window);
        tarnwick::PrinterCanvas canvas(painter, dpi * placement->scale, window.size());
        QPainter onCanvas(&canvas);
        window.render(&onCanvas);
    }
    if (!painter.end())
        return "the job could not be handed to the printer";
    return nullptr;
}

} // namespace

// Named as tarnwickPrintWindowImageEntry says.
extern "C" Q_DECL_EXPORT const char* tarnwick_print_window_image(QWidget* window)
{
    // Nothing may unwind through a C entry point.
    try {
        return printWindowImage(*window);
    } catch (...) {
        return "the print module failed";
    }
}
