#include "form/qt/accessible_interfaces.h"

#include "form/form_layout.h"
#include "form/qt/screen_reader_announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include <optional>

namespace tarnwick {

namespace {

// The announcement is the name; there is no description to read after it.
class AnnouncerInterface final : public QAccessibleWidget {
public:
    explicit AnnouncerInterface(ScreenReaderAnnouncer* announcer)
        : QAccessibleWidget(announcer, QAccessible::Notification)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? static_cast<const ScreenReaderAnnouncer*>(object())->text() : QString();
    }
};

// A label that another label names (its buddy): its name is its text, empty
// when it shows nothing. Its caption comes to the reader as its label.
class NamedLabelInterface final : public QAccessibleWidget {
public:
    explicit NamedLabelInterface(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) { }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name ? static_cast<const QLabel*>(object())->text() : QAccessibleWidget::text(kind);
    }
};

bool isNamedByLabel(const QObject& object)
{
    const std::optional<std::size_t> row = rowNamed(object.objectName().toStdString());
    return row && !formLayout[*row].labelledBy.empty();
}

QAccessibleInterface* interfaceFor(const QString& /*className*/, QObject* object)
{
    if (auto* announcer = qobject_cast<ScreenReaderAnnouncer*>(object))
        return new AnnouncerInterface(announcer);
    if (auto* label = qobject_cast<QLabel*>(object); label && isNamedByLabel(*label))
        return new NamedLabelInterface(label);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = (QAccessible::installFactory(interfaceFor), true);
    (void)installed;
}

} // namespace tarnwick
