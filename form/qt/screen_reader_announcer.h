#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <deque>

class QLabel;

namespace tarnwick {

// Tells a screen reader what a command has just shown, with the focus left
// where it is. The text goes out once the event loop is back, and only if
// the window still shows what it says and no box is open: a command that
// clears the amounts or opens a box straight after Calculate has moved past
// it by then.
//
// Qt 6.8 and later say it with QAccessibleAnnouncementEvent, the call made
// for it. Qt 6.4's AT-SPI bridge has no announcement of its own, so there
// Orca is given an object of the notification role, which it speaks when it
// is shown, reading its name, with the focus left alone; this object is one.
// It is a window of its own that is never shown: the sales window looks and
// measures as it did, a reader walking that window never meets it, and Orca
// speaks no window around it, only "notification" and the text.
class ScreenReaderAnnouncer : public QWidget {
    Q_OBJECT

public:
    ScreenReaderAnnouncer();

    // `text` tells what `labels` show now. The labels must outlive this object.
    void announce(const QString& text, const std::array<const QLabel*, 2>& labels);

    // What a screen reader reads as the announcement.
    const QString& text() const { return text_; }

protected:
    bool event(QEvent* event) override;

private:
    struct Pending {
        QString text;
        std::array<const QLabel*, 2> labels;
        QStringList shown;
    };
    void deliver(const Pending& pending);

    std::deque<Pending> pending_;
    QString text_;
};

} // namespace tarnwick
