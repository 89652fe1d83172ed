#include "form/qt/frm_tarnwick2.h"

#include "form/form_layout.h"
#include "form/keyboard_model.h"
#include "form/layout_fitting.h"
#include "form/qt/accessible_interfaces.h"
#include "form/qt/caption_fitting.h"
#include "form/qt/legible_palette.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

namespace tarnwick {

namespace {

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

QRect tableGeometry(const ControlEntry& entry)
{
    const PixelRect box = pixelRect(entry);
    return {box.left, box.top, box.width, box.height};
}

QWidget* makeControl(const ControlEntry& entry, QWidget* container)
{
    switch (entry.kind) {
    case ControlKind::Frame:
        return new QGroupBox(text(entry.caption), container);
    case ControlKind::OptionButton: {
        auto* option = new QRadioButton(text(entry.caption), container);
        option->setChecked(entry.role == ControlRole::InitiallySelected);
        return option;
    }
    case ControlKind::CommandButton: {
        auto* button = new QPushButton(text(entry.caption), container);
        button->setDefault(entry.role == ControlRole::DefaultButton);
        return button;
    }
    case ControlKind::Label: {
        // Named before it has a text or a place: how screen readers see a
        // label is settled from its name when Qt first asks.
        auto* label = new QLabel;
        label->setObjectName(text(entry.name));
        label->setTextFormat(Qt::PlainText);
        label->setText(text(entry.caption));
        label->setParent(container);
        return label;
    }
    }
    return nullptr;
}

bool isEnterKey(const QKeyEvent& key)
{
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)
        && (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

frmTarnwick2::frmTarnwick2(QWidget* parent) : QDialog(parent), platform_(*this), commands_(platform_)
{
    setObjectName(text(windowEntry.name));
    setWindowTitle(text(windowEntry.caption));
    setFixedSize(pixelsFromTwips(windowEntry.clientWidth), pixelsFromTwips(windowEntry.clientHeight));
    createControls();
    connectHandlers();
    followLegiblePalette(*this);
}

void frmTarnwick2::createControls()
{
    // Before the first label is made: Qt keeps the first interface it makes.
    installAccessibleInterfaces();
    std::map<std::string_view, QWidget*> containers{{"", this}};
    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        const ControlEntry& entry = formLayout[row];
        QWidget* control = makeControl(entry, containers.at(entry.container));
        control->setObjectName(text(entry.name));
        control->setGeometry(tableGeometry(entry));
        if (entry.kind == ControlKind::Frame)
            containers.emplace(entry.name, control);
        controls_[row] = control;
    }
    // A caption label is the buddy of the control it names, which screen
    // readers then hear as that control's label: "Total Due: $54.00".
    for (std::size_t row = 0; row < formLayout.size(); ++row) {
        const std::optional<std::size_t> caption = rowNamed(formLayout[row].labelledBy);
        if (auto* label = caption ? qobject_cast<QLabel*>(controls_[*caption]) : nullptr)
            label->setBuddy(controls_[row]);
    }
    fitCaptions(*this);

    for (LayoutRow row : focusOrder())
        focusOrder_.push_back(controls_[row]);
    for (std::size_t i = 1; i < focusOrder_.size(); ++i)
        setTabOrder(focusOrder_[i - 1], focusOrder_[i]);

    // Access keys reach the controls as shortcut events; the window decides what they do.
    for (QWidget* control : focusOrder_)
        control->installEventFilter(this);

    // The window opens on the first control of the focus order.
    if (!focusOrder_.empty())
        focusOrder_.front()->setFocus(Qt::OtherFocusReason);
}

void frmTarnwick2::connectHandlers()
{
    for (const auto& [name, handler] : clickHandlers) {
        auto* button = findChild<QPushButton*>(text(name));
        connect(
            button, &QPushButton::clicked, this, [this, handler = handler] { commands_.runFromEventLoop(handler); });
    }
}

void frmTarnwick2::keyPressEvent(QKeyEvent* event)
{
    // Esc presses the cancel button wherever the focus is, and never closes the window.
    if (event->key() == Qt::Key_Escape && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        for (LayoutRow row = 0; row < formLayout.size(); ++row) {
            if (formLayout[row].role == ControlRole::CancelButton)
                pressButton(row);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmTarnwick2::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The window has one size. Window managers on X will not maximise it,
    // but the title bar Qt draws itself on Wayland offers maximise to every
    // window, whatever its flags; so a request to change size is undone.
    constexpr Qt::WindowStates resized = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() == QEvent::WindowStateChange && (windowState() & resized))
        setWindowState(windowState() & ~resized);
}

std::optional<LayoutRow> frmTarnwick2::rowOf(const QWidget* control) const
{
    const auto found = std::ranges::find(controls_, control);
    if (found == controls_.end())
        return std::nullopt;
    return static_cast<LayoutRow>(found - controls_.begin());
}

bool frmTarnwick2::focusNextPrevChild(bool next)
{
    const auto isSelected = [this](LayoutRow row) {
        const auto* option = qobject_cast<const QRadioButton*>(controls_[row]);
        return option && option->isChecked();
    };
    const std::optional<LayoutRow> target = nextTabStop(rowOf(focusWidget()), next, isSelected);
    if (!target)
        return QDialog::focusNextPrevChild(next);
    controls_[*target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool frmTarnwick2::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (event->type() == QEvent::KeyPress && button && isEnterKey(*static_cast<QKeyEvent*>(event))) {
        // Enter is decided here, before the control sees it: some desktops'
        // themes make Enter press whatever button has the focus, an option
        // included, and it would never reach the default button.
        pressButton(enterTarget(rowOf(button)));
        return true;
    }
    if (event->type() != QEvent::Shortcut || !button || !button->isEnabled())
        return QDialog::eventFilter(watched, event);

    const auto* shortcut = static_cast<QShortcutEvent*>(event);
    if (shortcut->isAmbiguous())
        focusNextWithAccessKey(*button);
    else
        pressAccessKey(*button);
    return true;
}

void frmTarnwick2::pressButton(LayoutRow row)
{
    if (auto* button = qobject_cast<QPushButton*>(controls_[row]); button && button->isEnabled())
        button->click();
}

void frmTarnwick2::pressAccessKey(QAbstractButton& button)
{
    // Qt's own access key press is animated and clicks 100 ms later, so keys
    // typed ahead (Alt+2 then Enter) would act before it. Act at once instead.
    if (qobject_cast<QRadioButton*>(&button))
        button.setFocus(Qt::ShortcutFocusReason);
    button.click();
}

void frmTarnwick2::focusNextWithAccessKey(const QAbstractButton& button)
{
    // An access key that two controls share moves the focus to the next of
    // them after the current focus, in tab order, and presses nothing.
    const std::optional<LayoutRow> own = rowOf(&button);
    if (!own)
        return;
    const char key = accessKey(formLayout[*own].caption);
    if (const std::optional<AccessKeyAction> action = accessKeyAction(key, rowOf(focusWidget())))
        controls_[action->control]->setFocus(Qt::ShortcutFocusReason);
}

} // namespace tarnwick
