#include "form/qt/printer_canvas.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarnwick {

// Passes each call on to the printer's painter as it comes, the way a QPicture
// would record it and play it back, with the widget's coordinates scaled.
class PrinterCanvas::Engine final : public QPaintEngine {
public:
    Engine(QPainter& target, double targetDpi)
        : QPaintEngine(AllFeatures),
          target_(target),
          targetScale_(targetDpi / screenDpi),
          bitmapScale_(std::min(targetDpi, double(bitmapDpiLimit)) / screenDpi)
    {
    }

    bool begin(QPaintDevice* /*device*/) override
    {
        target_.save();
        widgetTransform_ = QTransform();
        // Scaled within whatever the printer's painter had set, such as the
        // form's place on the page.
        toTarget_ = QTransform::fromScale(targetScale_, targetScale_) * target_.transform();
        target_.setTransform(toTarget_);
        target_.setRenderHint(QPainter::LosslessImageRendering);
        return true;
    }

    bool end() override
    {
        flushPieces();
        target_.restore();
        return true;
    }

    Type type() const override { return User; }

    void updateState(const QPaintEngineState& state) override
    {
        const DirtyFlags dirty = state.state();
        // Drawing a bitmap in pieces sets the same transform and opacity again
        // before each piece; only a real change ends the run of pieces.
        if ((dirty & DirtyTransform && state.transform() != widgetTransform_)
            || (dirty & DirtyOpacity && state.opacity() != target_.opacity())
            || dirty & (DirtyClipEnabled | DirtyClipRegion | DirtyClipPath | DirtyHints | DirtyCompositionMode))
            flushPieces();
        if (dirty & DirtyPen)
            target_.setPen(state.pen());
        if (dirty & DirtyBrush)
            target_.setBrush(state.brush());
        if (dirty & DirtyBrushOrigin)
            target_.setBrushOrigin(state.brushOrigin());
        if (dirty & DirtyFont)
            target_.setFont(state.font());
        if (dirty & DirtyBackground)
            target_.setBackground(state.backgroundBrush());
        if (dirty & DirtyBackgroundMode)
            target_.setBackgroundMode(state.backgroundMode());
        // A clip is given in the coordinates in force when it is set, so the
        // transform goes first.
        if (dirty & DirtyTransform) {
            widgetTransform_ = state.transform();
            target_.setTransform(widgetTransform_ * toTarget_);
        }
        if (dirty & DirtyClipEnabled)
            target_.setClipping(state.isClipEnabled());
        if (dirty & DirtyClipRegion)
            target_.setClipRegion(state.clipRegion(), state.clipOperation());
        if (dirty & DirtyClipPath)
            target_.setClipPath(state.clipPath(), state.clipOperation());
        if (dirty & DirtyHints) {
            // JPEG would blur the edges that resampling keeps smooth.
            target_.setRenderHints(target_.renderHints(), false);
            target_.setRenderHints(state.renderHints() | QPainter::LosslessImageRendering);
        }
        if (dirty & DirtyCompositionMode)
            target_.setCompositionMode(state.compositionMode());
        if (dirty & DirtyOpacity)
            target_.setOpacity(state.opacity());
    }

    void drawRects(const QRectF* rects, int count) override
    {
        flushPieces();
        target_.drawRects(rects, count);
    }
    void drawLines(const QLineF* lines, int count) override
    {
        flushPieces();
        target_.drawLines(lines, count);
    }
    void drawEllipse(const QRectF& rect) override
    {
        flushPieces();
        target_.drawEllipse(rect);
    }
    void drawPath(const QPainterPath& path) override
    {
        flushPieces();
        target_.drawPath(path);
    }
    void drawPoints(const QPointF* points, int count) override
    {
        flushPieces();
        target_.drawPoints(points, count);
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        flushPieces();
        switch (mode) {
        case PolylineMode:
            target_.drawPolyline(points, count);
            return;
        case ConvexMode:
            target_.drawConvexPolygon(points, count);
            return;
        case OddEvenMode:
            target_.drawPolygon(points, count, Qt::OddEvenFill);
            return;
        case WindingMode:
            target_.drawPolygon(points, count, Qt::WindingFill);
            return;
        }
    }

    // The item keeps the glyphs and positions laid out for the screen, so the
    // printed captions line up with the window's. The printer's painter draws
    // an item's underline (an access key's) as the widget's painter does, so
    // such an underline is drawn twice, each exactly over the other.
    void drawTextItem(const QPointF& position, const QTextItem& item) override
    {
        flushPieces();
        target_.drawTextItem(position, item);
    }

    // A style draws a frame as nine pieces of one bitmap, stretched around its
    // middle. Printed one by one, their soft edges would overlap in lines across
    // the frame, so a run of pieces of the same bitmap is put together first.
    void drawPixmap(const QRectF& rect, const QPixmap& pixmap, const QRectF& source) override
    {
        if (pixmap.depth() == 1) {
            // A bitmap in the pen's colour, a stencil that the printer draws as sharp as it can.
            flushPieces();
            target_.drawPixmap(rect, pixmap, source);
            return;
        }
        if (!pieces_.empty() && pixmap.cacheKey() != piecesOf_)
            flushPieces();
        if (pieces_.empty()) {
            piecesOf_ = pixmap.cacheKey();
            piecesImage_ = pixmap.toImage();
        }
        pieces_.push_back({rect, source});
    }

    void drawImage(
        const QRectF& rect, const QImage& image, const QRectF& source, Qt::ImageConversionFlags /*flags*/) override
    {
        flushPieces();
        piecesImage_ = image;
        pieces_.push_back({rect, source});
        flushPieces();
    }

private:
    struct Piece {
        QRectF rect;
        QRectF source;
    };

    // The bitmap pixels the rectangle covers on paper.
    QSize sizeOnPaper(const QRectF& rect) const
    {
        const QSizeF size = widgetTransform_.mapRect(rect).size() * bitmapScale_;
        return {std::max(1, int(std::ceil(size.width()))), std::max(1, int(std::ceil(size.height())))};
    }

    // The printer would enlarge a coarse bitmap pixel by pixel, in blocks;
    // enlarge it smoothly here instead, to the resolution it has on paper.
    void flushPieces()
    {
        if (pieces_.empty())
            return;
        QRectF whole;
        for (const Piece& piece : pieces_)
            whole |= piece.rect;
        const QSize wanted = sizeOnPaper(whole);
        if (pieces_.size() == 1 && pieces_.front().source.width() >= wanted.width()
            && pieces_.front().source.height() >= wanted.height()) {
            target_.drawImage(whole, piecesImage_, pieces_.front().source);
        } else {
            QImage finer(wanted, QImage::Format_ARGB32_Premultiplied);
            finer.fill(Qt::transparent);
            QPainter onFiner(&finer);
            onFiner.setRenderHint(QPainter::SmoothPixmapTransform);
            onFiner.scale(wanted.width() / whole.width(), wanted.height() / whole.height());
            onFiner.translate(-whole.topLeft());
            for (const Piece& piece : pieces_)
                onFiner.drawImage(piece.rect, piecesImage_, piece.source);
            onFiner.end();
            target_.drawImage(whole, finer);
        }
        pieces_.clear();
        piecesImage_ = QImage();
    }

    QPainter& target_;
    const double targetScale_;
    QTransform toTarget_; // from the widget's coordinates to the printer painter's device
    const double bitmapScale_;
    QTransform widgetTransform_;
    std::vector<Piece> pieces_;
    qint64 piecesOf_ = 0;
    QImage piecesImage_;
};

PrinterCanvas::PrinterCanvas(QPainter& printer, double printerDpi, QSize size)
    : engine_(std::make_unique<Engine>(printer, printerDpi)), size_(size)
{
}

PrinterCanvas::~PrinterCanvas() = default;

QPaintEngine* PrinterCanvas::paintEngine() const
{
    return engine_.get();
}

int PrinterCanvas::metric(PaintDeviceMetric metric) const
{
    constexpr double mmPerInch = 25.4;
    switch (metric) {
    case PdmWidth:
        return size_.width();
    case PdmHeight:
        return size_.height();
    case PdmWidthMM:
        return int(std::lround(size_.width() * mmPerInch / screenDpi));
    case PdmHeightMM:
        return int(std::lround(size_.height() * mmPerInch / screenDpi));
    case PdmNumColors:
        return 1 << 24;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return screenDpi;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    default:
        // Metrics later Qt versions add take Qt's own answer.
        break;
    }
    return QPaintDevice::metric(metric);
}

} // namespace tarnwick
