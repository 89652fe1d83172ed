#include "form/caption_fitting.h"

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

constexpr int neighbourGap = 4; // pixels kept clear between a widened caption and its neighbour

bool hasCaption(const QWidget* control)
{
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return !label->text().isEmpty();
    return qobject_cast<const QAbstractButton*>(control) != nullptr;
}

// How far the control may reach to the right: up to the nearest sibling level
// with it, or to its container's inner edge.
int rightLimit(const QWidget* control)
{
    const QWidget* container = control->parentWidget();
    int limit = container->contentsRect().right() + 1;
    const QRect own = control->geometry();
    for (const QObject* object : container->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(object);
        if (!sibling || sibling == control)
            continue;
        const QRect other = sibling->geometry();
        const bool level = other.top() < own.bottom() && own.top() < other.bottom();
        if (level && other.left() >= own.right())
            limit = std::min(limit, other.left() - neighbourGap);
    }
    return limit;
}

QList<QWidget*> captionedControls(QWidget& window)
{
    QList<QWidget*> controls = window.findChildren<QWidget*>();
    controls.removeIf([](const QWidget* control) { return !hasCaption(control); });
    return controls;
}

QRect scaled(const QRect& rect, double factor)
{
    return {static_cast<int>(std::lround(rect.left() * factor)), static_cast<int>(std::lround(rect.top() * factor)),
        static_cast<int>(std::lround(rect.width() * factor)), static_cast<int>(std::lround(rect.height() * factor))};
}

} // namespace

double fitCaptions(QWidget& window)
{
    const QList<QWidget*> controls = captionedControls(window);

    double factor = 1.0;
    for (const QWidget* control : controls) {
        const int room = rightLimit(control) - control->x();
        if (room > 0)
            factor = std::max(factor, control->sizeHint().width() / static_cast<double>(room));
    }

    if (factor > 1.0) {
        for (QWidget* control : window.findChildren<QWidget*>())
            control->setGeometry(scaled(control->geometry(), factor));
        window.setFixedSize(scaled(QRect(QPoint(), window.size()), factor).size());
    }

    for (QWidget* control : controls) {
        const int needed = control->sizeHint().width();
        if (needed > control->width())
            control->resize(std::min(needed, rightLimit(control) - control->x()), control->height());
    }
    return factor;
}

} // namespace tarnwick
