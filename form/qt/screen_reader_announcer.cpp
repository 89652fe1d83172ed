#include "form/qt/screen_reader_announcer.h"

#include "form/qt/accessible_interfaces.h"

#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QLabel>

namespace tarnwick {

namespace {

QEvent::Type deliveryEvent()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QStringList textsOf(const std::array<const QLabel*, 2>& labels)
{
    QStringList texts;
    for (const QLabel* label : labels)
        texts << label->text();
    return texts;
}

} // namespace

ScreenReaderAnnouncer::ScreenReaderAnnouncer()
{
    // Before this object's interface is first asked for, or Qt makes a plain one.
    installAccessibleInterfaces();
    setObjectName(QStringLiteral("screenReaderAnnouncer"));
}

void ScreenReaderAnnouncer::announce(const QString& text, const std::array<const QLabel*, 2>& labels)
{
    // Posted, not timed: it is delivered as soon as the command that asked
    // has returned to the event loop.
    pending_.push_back({text, labels, textsOf(labels)});
    QCoreApplication::postEvent(this, new QEvent(deliveryEvent()));
}

bool ScreenReaderAnnouncer::event(QEvent* event)
{
    if (event->type() != deliveryEvent() || pending_.empty())
        return QWidget::event(event);
    const Pending pending = pending_.front();
    pending_.pop_front();
    deliver(pending);
    return true;
}

void ScreenReaderAnnouncer::deliver(const Pending& pending)
{
    if (textsOf(pending.labels) != pending.shown || QApplication::activeModalWidget())
        return;
    text_ = pending.text;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Said from the control with the focus, polite, after what the reader is
    // saying: Orca drops a second announcement from elsewhere in the program
    // within 0.1 s, and Enter pressed twice is that quick.
    QWidget* focus = QApplication::focusWidget();
    QAccessibleAnnouncementEvent announcement(focus ? focus : pending.labels.front()->window(), pending.text);
    QAccessible::updateAccessibility(&announcement);
#else
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
#endif
}

} // namespace tarnwick
