#include "form/qt/caption_fitting.h"

#include "form/form_layout.h"
#include "form/layout_fitting.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

#include <algorithm>

namespace tarnwick {

namespace {

bool hasCaption(const QWidget* control)
{
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return !label->text().isEmpty();
    return qobject_cast<const QAbstractButton*>(control) != nullptr;
}

} // namespace

double fitCaptions(QWidget& window)
{
    std::array<QWidget*, formLayout.size()> controls{};
    int frameInset = 0;
    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        const std::string_view name = formLayout[row].name;
        controls[row] = window.findChild<QWidget*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        if (const auto* frame = qobject_cast<const QGroupBox*>(controls[row]))
            frameInset = std::max(frameInset, frame->width() - (frame->contentsRect().right() + 1));
    }

    const FittedLayout layout = fitLayout(
        [&](std::size_t row) { return hasCaption(controls[row]) ? controls[row]->sizeHint().width() : 0; }, frameInset);

    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        const PixelRect& box = layout.controls[row];
        if (controls[row])
            controls[row]->setGeometry(box.left, box.top, box.width, box.height);
    }
    window.setFixedSize(layout.clientWidth, layout.clientHeight);
    return layout.factor;
}

} // namespace tarnwick
