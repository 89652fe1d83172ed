#include "form/qt/legible_palette.h"

#include <QApplication>
#include <QEvent>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

// In the light look an unselected option's circle stands out from the
// window by 2.1 to 1, by its edge; in the dark its fill must do it.
constexpr double circleContrast = 2.1;
// Fusion paints a button's face lighter than Button, by a fifth or more, so a
// Button standing out by 1.5 to 1 gives a face that stands out by more than
// the 2 to 1 of the light look's outline.
constexpr double buttonContrast = 1.5;
// Text on those faces. Fusion draws the selected option's dot in a darkened,
// translucent Text and a button's face lighter than Button, so the roles
// keep more than the 4.5 to 1 that the drawn text must keep.
constexpr double textOnFaceContrast = 7.0;

// Relative luminance and contrast ratio as WCAG 2 defines them.
double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour)
{
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

bool isDark(const QPalette& palette)
{
    return luminance(palette.color(QPalette::Window)) < luminance(palette.color(QPalette::WindowText));
}

// The least lighter shade of `colour`, in its own hue and saturation, that is
// lighter than `behind` by `ratio`; white where no shade is. Luminance grows
// with HSL lightness at a fixed hue and saturation, so the shade is found by
// halving the range of lightness.
QColor lighterUntil(const QColor& colour, const QColor& behind, double ratio)
{
    const auto standsOut
        = [&](const QColor& shade) { return luminance(shade) > luminance(behind) && contrast(shade, behind) >= ratio; };
    if (standsOut(colour))
        return colour;
    const int hue = std::max(colour.hslHue(), 0); // -1 for greys, whose saturation is 0
    const int saturation = colour.hslSaturation();
    int low = colour.lightness();
    int high = 255;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (standsOut(QColor::fromHsl(hue, saturation, middle)))
            high = middle;
        else
            low = middle + 1;
    }
    return QColor::fromHsl(hue, saturation, low, colour.alpha());
}

QPalette legiblePalette(const QPalette& platform, const QStyle& style)
{
    if (!isDark(platform) || style.name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0)
        return platform;
    QPalette legible = platform;
    // A disabled control is meant to recede; only working controls change.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor window = platform.color(group, QPalette::Window);
        const QColor base = lighterUntil(platform.color(group, QPalette::Base), window, circleContrast);
        const QColor button = lighterUntil(platform.color(group, QPalette::Button), window, buttonContrast);
        legible.setColor(group, QPalette::Base, base);
        legible.setColor(group, QPalette::Button, button);
        legible.setColor(
            group, QPalette::Text, lighterUntil(platform.color(group, QPalette::Text), base, textOnFaceContrast));
        legible.setColor(group, QPalette::ButtonText,
            lighterUntil(platform.color(group, QPalette::ButtonText), button, textOnFaceContrast));
    }
    return legible;
}

void applyLegiblePalette(QWidget& window)
{
    const QPalette platform = QApplication::palette();
    const QPalette legible = legiblePalette(platform, *window.style());
    // A palette that resolves nothing hands the window the application's again.
    window.setPalette(legible == platform ? QPalette() : legible);
}

// Qt tells a window of a new application palette by an event of its own,
// which reaches event() and event filters but not changeEvent().
class LegiblePaletteFollower : public QObject {
public:
    explicit LegiblePaletteFollower(QWidget& window) : QObject(&window), window_(window) { }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_
            && (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::StyleChange))
            applyLegiblePalette(window_);
        return false;
    }

private:
    QWidget& window_;
};

} // namespace

void followLegiblePalette(QWidget& window)
{
    applyLegiblePalette(window);
    window.installEventFilter(new LegiblePaletteFollower(window));
}

} // namespace tarnwick
