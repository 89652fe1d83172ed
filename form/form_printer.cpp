#include "form/form_printer.h"

#include "logic/run_time_error.h"

#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

namespace tarnwick {

namespace {

[[noreturn]] void fail(const char* reason) { throw RunTimeError::platformFailure("Print Form", reason); }

} // namespace

void printWindowImage(QWidget& window)
{
    // Without a default printer Qt would quietly choose the first queue, or a
    // PDF file with no name; neither is what the operator asked for.
    const QPrinterInfo destination = QPrinterInfo::defaultPrinter();
    if (destination.isNull())
        fail("no default printer");

    const QPixmap image = window.grab();
    QPrinter printer(destination, QPrinter::HighResolution);
    printer.setDocName(window.windowTitle());

    QPainter painter;
    if (!painter.begin(&printer))
        fail("the printer could not be opened");
    // The image at its size on a 96 dpi screen (15 twips a pixel), at the top
    // left of the printable area.
    constexpr double screenDpi = 96.0;
    const double scale = printer.resolution() / screenDpi;
    const QRectF target(0, 0, image.width() / image.devicePixelRatio() * scale,
                        image.height() / image.devicePixelRatio() * scale);
    painter.drawPixmap(target, image, QRectF(image.rect()));
    if (!painter.end())
        fail("the job could not be handed to the printer");
}

} // namespace tarnwick
