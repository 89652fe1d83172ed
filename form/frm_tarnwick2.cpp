#include "form/frm_tarnwick2.h"

#include "form/caption_fitting.h"
#include "form/form_layout.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>

#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <utility>

namespace tarnwick {

namespace {

constexpr std::array<std::pair<std::string_view, FormCommands::Handler>, 6> clickHandlers{{
    {"cmdCalculate", &FormCommands::cmdCalculate_Click},
    {"cmdClear", &FormCommands::cmdClear_Click},
    {"cmdExit", &FormCommands::cmdExit_Click},
    {"cmdNext", &FormCommands::cmdNext_Click},
    {"cmdPrint", &FormCommands::cmdPrint_Click},
    {"cmdSummary", &FormCommands::cmdSummary_Click},
}};

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

int pixels(int twips)
{
    return (twips + twipsPerPixel / 2) / twipsPerPixel;
}

QRect pixelRect(const ControlEntry& entry)
{
    return {pixels(entry.left), pixels(entry.top), pixels(entry.width), pixels(entry.height)};
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
        auto* label = new QLabel(text(entry.caption), container);
        label->setTextFormat(Qt::PlainText);
        if (!entry.accessibleDescription.empty())
            label->setAccessibleDescription(text(entry.accessibleDescription));
        return label;
    }
    }
    return nullptr;
}

bool isTabStop(const QWidget* control)
{
    const auto* option = qobject_cast<const QRadioButton*>(control);
    return !option || option->isChecked(); // of an option group only the selected option is a stop
}

QKeySequence accessKey(const QWidget* control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return QKeySequence::mnemonic(button->text());
    return {};
}

} // namespace

frmTarnwick2::frmTarnwick2(QWidget* parent) : QDialog(parent), platform_(*this), commands_(platform_)
{
    setObjectName(text(windowEntry.name));
    setWindowTitle(text(windowEntry.caption));
    setFixedSize(pixels(windowEntry.clientWidth), pixels(windowEntry.clientHeight));
    createControls();
    connectHandlers();
}

void frmTarnwick2::createControls()
{
    std::map<std::string_view, QWidget*> containers{{"", this}};
    std::vector<std::pair<int, QWidget*>> byTabPosition;
    for (const ControlEntry& entry : formLayout) {
        QWidget* control = makeControl(entry, containers.at(entry.container));
        control->setObjectName(text(entry.name));
        control->setGeometry(pixelRect(entry));
        if (entry.kind == ControlKind::Frame)
            containers.emplace(entry.name, control);
        if (control->focusPolicy() & Qt::TabFocus)
            byTabPosition.emplace_back(entry.tabPosition, control);
    }
    fitCaptions(*this);

    std::ranges::sort(byTabPosition, {}, &std::pair<int, QWidget*>::first);
    for (const auto& [position, control] : byTabPosition)
        focusOrder_.push_back(control);
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
        for (const ControlEntry& entry : formLayout) {
            if (entry.role == ControlRole::CancelButton)
                findChild<QPushButton*>(text(entry.name))->click();
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

QWidget* frmTarnwick2::nextTabStop(QWidget* from, bool forward) const
{
    const auto count = static_cast<std::ptrdiff_t>(focusOrder_.size());
    if (count == 0)
        return nullptr;
    auto found = std::ranges::find(focusOrder_, from);
    std::ptrdiff_t index = found == focusOrder_.end() ? (forward ? -1 : count) : found - focusOrder_.begin();
    for (std::ptrdiff_t step = 0; step < count; ++step) {
        index = ((forward ? index + 1 : index - 1) % count + count) % count;
        if (isTabStop(focusOrder_[static_cast<std::size_t>(index)]))
            return focusOrder_[static_cast<std::size_t>(index)];
    }
    return nullptr;
}

bool frmTarnwick2::focusNextPrevChild(bool next)
{
    QWidget* target = nextTabStop(focusWidget(), next);
    if (!target)
        return QDialog::focusNextPrevChild(next);
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool frmTarnwick2::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QAbstractButton*>(watched);
    if (event->type() != QEvent::Shortcut || !button || !button->isEnabled())
        return QDialog::eventFilter(watched, event);

    const auto* shortcut = static_cast<QShortcutEvent*>(event);
    if (shortcut->isAmbiguous())
        focusNextWithAccessKey(shortcut->key());
    else
        pressAccessKey(*button);
    return true;
}

void frmTarnwick2::pressAccessKey(QAbstractButton& button)
{
    // Qt's own access key press is animated and clicks 100 ms later, so keys
    // typed ahead (Alt+2 then Enter) would act before it. Act at once instead.
    if (qobject_cast<QRadioButton*>(&button))
        button.setFocus(Qt::ShortcutFocusReason);
    button.click();
}

void frmTarnwick2::focusNextWithAccessKey(const QKeySequence& key)
{
    // An access key that two controls share moves the focus to the next of
    // them after the current focus, in tab order, and presses nothing.
    const auto count = focusOrder_.size();
    auto current = std::ranges::find(focusOrder_, focusWidget());
    std::size_t index
        = current == focusOrder_.end() ? count - 1 : static_cast<std::size_t>(current - focusOrder_.begin());
    for (std::size_t step = 0; step < count; ++step) {
        index = (index + 1) % count;
        if (accessKey(focusOrder_[index]) == key) {
            focusOrder_[index]->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    }
}

} // namespace tarnwick
