#pragma once

// How much what the window draws stands out from what lies behind it,
// measured on a picture of the window (QWidget::grab) as WCAG 2 measures
// contrast: (L1 + 0.05) / (L2 + 0.05) of the lighter and darker relative
// luminance. Every place is found through the style's public geometry.

#include <QHash>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

namespace tarnwick::test {

inline double luminance(QRgb pixel)
{
    const auto linear = [](int channel) {
        const double value = channel / 255.0;
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) + 0.0722 * linear(qBlue(pixel));
}

inline double contrast(QRgb a, QRgb b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

class DrawnContrast {
public:
    // `picture` is `window` as grabbed, one pixel to a pixel.
    DrawnContrast(const QImage& picture, const QWidget& window) : picture_(picture), window_(window) { }

    // An option's circle, ring and fill, against the frame behind it: the most
    // that any of it stands out along its middle row, short of where the
    // selected option's dot would be.
    double optionCircle(const QRadioButton& option) const
    {
        const QRect circle = indicator(option);
        const QRgb behind = at(circle.left() - 2, circle.center().y());
        double most = 1;
        for (int x = circle.left(); x <= circle.center().x() - circle.width() / 4; ++x)
            most = std::max(most, contrast(at(x, circle.center().y()), behind));
        return most;
    }

    // The selected option's dot against the fill of its circle.
    double optionDot(const QRadioButton& option) const
    {
        const QRect circle = indicator(option);
        const QPoint centre = circle.center();
        return contrast(at(centre.x(), centre.y()), at(centre.x() - circle.width() / 3, centre.y()));
    }

    // A button's edge: at each height, the most that its outline or face
    // stands out from the window just left of it; the least of these.
    double buttonEdge(const QPushButton& button) const
    {
        const QRect face = placeOf(button, button.rect());
        double least = 1e9;
        for (int y = face.top() + 4; y <= face.bottom() - 4; ++y) {
            double most = 1;
            for (int x = face.left(); x <= face.left() + 5; ++x)
                most = std::max(most, contrast(at(x, y), at(face.left() - 2, y)));
            least = std::min(least, most);
        }
        return least;
    }

    // Text in `area` of `widget`: the most that a pixel stands out from the
    // colour most of its row has, which is what the text is drawn on.
    double text(const QWidget& widget, const QRect& area) const
    {
        const QRect place = placeOf(widget, area).intersected(picture_.rect());
        double most = 1;
        for (int y = place.top(); y <= place.bottom(); ++y) {
            QHash<QRgb, int> counts;
            QRgb behind = at(place.left(), y);
            for (int x = place.left(); x <= place.right(); ++x) {
                const int count = ++counts[at(x, y)];
                if (count > counts[behind])
                    behind = at(x, y);
            }
            for (int x = place.left(); x <= place.right(); ++x)
                most = std::max(most, contrast(at(x, y), behind));
        }
        return most;
    }

    // Where an option's caption is drawn.
    QRect optionCaption(const QRadioButton& option) const
    {
        QStyleOptionButton style;
        style.initFrom(&option);
        return option.style()->subElementRect(QStyle::SE_RadioButtonContents, &style, &option);
    }

private:
    QRect indicator(const QRadioButton& option) const
    {
        QStyleOptionButton style;
        style.initFrom(&option);
        return placeOf(option, option.style()->subElementRect(QStyle::SE_RadioButtonIndicator, &style, &option));
    }

    QRect placeOf(const QWidget& widget, const QRect& area) const
    {
        return area.translated(widget.mapTo(&window_, QPoint(0, 0)));
    }

    QRgb at(int x, int y) const { return picture_.pixel(x, y); }

    const QImage& picture_;
    const QWidget& window_;
};

} // namespace tarnwick::test
