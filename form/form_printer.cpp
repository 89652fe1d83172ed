// The print module: all of the program's use of Qt PrintSupport, loaded on the
// first print (see form_printer.h).
#include "form/form_printer.h"

#include <QPainter>
#include <QPixmap>
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

    const QPixmap image = window.grab();
    QPrinter printer(destination, QPrinter::HighResolution);
    printer.setDocName(window.windowTitle());

    QPainter painter;
    if (!painter.begin(&printer))
        return "the printer could not be opened";
    // The image at its size on a 96 dpi screen (15 twips a pixel), at the top
    // left of the printable area.
    constexpr double screenDpi = 96.0;
    const double scale = printer.resolution() / screenDpi;
    const QRectF target(
        0, 0, image.width() / image.devicePixelRatio() * scale, image.height() / image.devicePixelRatio() * scale);
    painter.drawPixmap(target, image, QRectF(image.rect()));
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
