#pragma once

#include <QPaintDevice>
#include <QSize>

#include <memory>

class QPainter;
class QPaintEngine;

namespace tarnwick {

// A surface that a widget paints on as on a 96 dpi screen, and that hands every
// stroke on to a painter open on a printer, scaled to the printer's resolution.
// Text stays text and lines stay lines, so the page is as sharp as the printer;
// only what the widget itself paints from a bitmap (a style's frame images and
// cached bevels) is a bitmap, and those are resampled smoothly to the printer's
// resolution, up to bitmapDpiLimit, rather than enlarged pixel by pixel.
class PrinterCanvas final : public QPaintDevice {
public:
    static constexpr int screenDpi = 96;
    // Bitmaps hold a screen's detail only: a finer copy than this costs time
    // and size and shows nothing more.
    static constexpr int bitmapDpiLimit = 600;

    // Everything painted at (x, y) lands at (x, y) * printerDpi / 96 on the
    // printer's painter, in the coordinates that painter has now; a form
    // printed smaller than on screen gives the printer's dots per inch times
    // that scale.
    PrinterCanvas(QPainter& printer, double printerDpi, QSize size);
    ~PrinterCanvas() override;
    PrinterCanvas(const PrinterCanvas&) = delete;
    PrinterCanvas& operator=(const PrinterCanvas&) = delete;

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
    QSize size_;
};

} // namespace tarnwick
