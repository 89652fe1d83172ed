// The print module: all of the program's use of Qt PrintSupport, loaded on the
// first print (see form_printer.h).
#include "form/qt/form_printer.h"
#include "form/qt/printer_canvas.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>
#include <QtGlobal>

namespace {

const char* printWindowImage(QWidget& window)
{
    // Without a default printer Qt would quietly choose the first queue, or a
    // PDF file with no name; neither is what the operator asked for.
    const QPrinterInfo destination = QPrinterInfo::defaultPrinter();
    if (destination.isNull())
        return "no default printer";

    QPrinter printer(destination, QPrinter::HighResolution);
    printer.setDocName(window.windowTitle());

    QPainter painter;
    if (!painter.begin(&printer))
        return "the printer could not be opened";
    // The window at its size on a 96 dpi screen (15 twips a pixel), at the top
    // left of the printable area, painted afresh at the printer's resolution.
    tarnwick::PrinterCanvas canvas(painter, printer.resolution(), window.size());
    {
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
