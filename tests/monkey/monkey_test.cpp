// Monkey test of the sales window: the real frmTarnwick2, offscreen, takes a
// long seeded random stream of key presses (Tab, Shift+Tab, arrows, space,
// Enter, Esc and every access key but Exit's) and mouse clicks (every button
// but Exit and Print Form). After every event the window must still add up:
// one option selected in each group, the two amount labels both empty or both
// filled, and the tally equal to what a model of its own, kept from the price
// table, says every counted patron owed. The keys, the clicks and the model
// are the ones the Windows monkey uses too (monkey_rules.h).
//
// The stream is chosen by two environment variables:
//   TARNWICK_MONKEY_SEED    the random seed (default 20240611)
//   TARNWICK_MONKEY_EVENTS  how many events (default 3000, a few seconds)
// A long run, e.g. 100,000 events, from a build with the window (dev preset):
//   export QT_QPA_PLATFORM=offscreen TARNWICK_MONKEY_EVENTS=100000 TARNWICK_MONKEY_SEED=7
//   build/dev/bin/monkey_test
// A failure names the seed, the event and the events before it. The same
// seed gives the same keys and clicks; only when a delayed access-key click
// lands among them depends on the machine's speed.

#include "form/qt/frm_tarnwick2.h"
#include "form/qt/user_money_format.h"
#include "tests/monkey/monkey_rules.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <deque>
#include <memory>
#include <set>

namespace tarnwick::test {

namespace {

// The Qt key and modifiers of each of the monkey's keys.
struct QtKey {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

QtKey qtKey(monkey::Key key)
{
    using monkey::Key;
    switch (key) {
    case Key::Tab:
        return {Qt::Key_Tab, Qt::NoModifier};
    case Key::ShiftTab:
        return {Qt::Key_Backtab, Qt::ShiftModifier};
    case Key::Left:
        return {Qt::Key_Left, Qt::NoModifier};
    case Key::Right:
        return {Qt::Key_Right, Qt::NoModifier};
    case Key::Up:
        return {Qt::Key_Up, Qt::NoModifier};
    case Key::Down:
        return {Qt::Key_Down, Qt::NoModifier};
    case Key::Space:
        return {Qt::Key_Space, Qt::NoModifier};
    case Key::Return:
        return {Qt::Key_Return, Qt::NoModifier};
    case Key::KeypadEnter:
        return {Qt::Key_Enter, Qt::KeypadModifier};
    case Key::Esc:
        return {Qt::Key_Escape, Qt::NoModifier};
    case Key::AltM:
        return {Qt::Key_M, Qt::AltModifier};
    case Key::AltS:
        return {Qt::Key_S, Qt::AltModifier};
    case Key::AltC:
        return {Qt::Key_C, Qt::AltModifier};
    case Key::AltP:
        return {Qt::Key_P, Qt::AltModifier};
    case Key::Alt1:
        return {Qt::Key_1, Qt::AltModifier};
    case Key::Alt2:
        return {Qt::Key_2, Qt::AltModifier};
    case Key::AltN:
        return {Qt::Key_N, Qt::AltModifier};
    case Key::AltL:
        return {Qt::Key_L, Qt::AltModifier};
    }
    qFatal("a key the monkey has no Qt key for");
}

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

quint64 environmentNumber(const char* name, quint64 fallback)
{
    const QByteArray text = qgetenv(name);
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    if (!ok)
        qFatal("%s is not a number: %s", name, text.constData());
    return value;
}

// The offscreen platform warns each time a message box is shown; thousands of
// those would bury anything worth reading. Every other message goes through.
QtMessageHandler passedOn = nullptr;

void dropOffscreenSizeHintWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    passedOn(type, context, message);
}

} // namespace

class MonkeyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void randomStreamKeepsTheWindowConsistent();

private:
    // What a handler is about to work from, noted as its button is released:
    // the price and total due that the selected options give by the table,
    // and the tally as it stands.
    struct Selection {
        qint64 price = 0;
        qint64 totalDue = 0;
        bool totalDueShown = false; // the sign of a calculated patron not yet counted
        qint16 clientsBefore = 0;
        qint64 servicesBefore = 0;
        int boxesBefore = 0;
        bool clickPending = false; // an access key's delayed click is still to land
    };

    template <class Control> Control* control(std::string_view name) const;
    // Records a broken rule; each %n of `what` is filled in turn, as chained QString::arg calls would.
    template <class... Values> void problem(QString what, const Values&... values);
    Selection currentSelection();
    void watchButtons();
    void afterCalculate(const Selection& at);
    void afterCount(const Selection& at, bool counts, bool fromSummary);
    void afterClear();
    void answerModalBox();
    QString brokenInvariant() const;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void clickedDuringShortcut(const QObject* button);
    QString recentEvents() const;
    QString stillPending() const;

    std::unique_ptr<frmTarnwick2> window_;
    std::unique_ptr<QTimer> boxWatch_;
    MoneyFormat money_;

    // The model: patrons counted and what they owed, kept from the price table.
    monkey::Tally tally_;

    // Selections seen as each watched button was released, just before its click.
    Selection atCalculate_;
    Selection atNext_;
    Selection atSummary_;

    // Buttons whose access key was pressed and whose delayed click has not landed yet.
    std::set<const QObject*> pendingClicks_;
    const QObject* shortcutBeingDelivered_ = nullptr;
    int summaryBoxes_ = 0;
    QStringList problems_;
    std::deque<QString> recent_;
};

template <class Control> Control* MonkeyTest::control(std::string_view name) const
{
    auto* found = window_->findChild<Control*>(latin1(name));
    if (!found)
        qFatal("the window has no control %s", qPrintable(latin1(name)));
    return found;
}

template <class... Values> void MonkeyTest::problem(QString what, const Values&... values)
{
    ((what = what.arg(values)), ...);
    problems_.append(what);
}

void MonkeyTest::initTestCase()
{
    passedOn = qInstallMessageHandler(dropOffscreenSizeHintWarning);
}

void MonkeyTest::cleanupTestCase()
{
    qInstallMessageHandler(passedOn);
}

void MonkeyTest::init()
{
    money_ = userMoneyFormat();
    tally_ = {};
    summaryBoxes_ = 0;
    problems_.clear();
    recent_.clear();
    pendingClicks_.clear();
    shortcutBeingDelivered_ = nullptr;

    window_ = std::make_unique<frmTarnwick2>();
    watchButtons();
    for (QAbstractButton* button : window_->findChildren<QAbstractButton*>()) {
        button->installEventFilter(this);
        connect(button, &QAbstractButton::clicked, this, [this, button] { clickedDuringShortcut(button); });
    }
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));

    // A box opened by a handler runs its own event loop; this timer answers
    // it from inside that loop, so the monkey never waits on one.
    boxWatch_ = std::make_unique<QTimer>();
    boxWatch_->setInterval(0);
    connect(boxWatch_.get(), &QTimer::timeout, this, &MonkeyTest::answerModalBox);
    boxWatch_->start();
}

void MonkeyTest::cleanup()
{
    boxWatch_.reset();
    window_.reset();
}

MonkeyTest::Selection MonkeyTest::currentSelection()
{
    Selection selection;
    const monkey::Selection options
        = monkey::selectionOf([this](std::string_view name) { return control<QRadioButton>(name)->isChecked(); });
    if (!options.oneOfEach())
        problem(QStringLiteral("a click came with %1 services and %2 coupons selected"), options.servicesSelected,
            options.couponsSelected);
    selection.price = options.price;
    selection.totalDue = options.totalDue;
    selection.totalDueShown = !control<QLabel>("lblTotalDue")->text().isEmpty();
    selection.clientsBefore = window_->commands().numberOfClients();
    selection.servicesBefore = window_->commands().totalOfServices().scaled();
    selection.boxesBefore = summaryBoxes_;
    selection.clickPending = !pendingClicks_.empty();
    return selection;
}

// Each watched button is seen twice: on release, just before its click, to
// note the selection the handler will read; and on its click, which runs after
// the window's own handler (connected first), to check what that handler did.
void MonkeyTest::watchButtons()
{
    auto* calculate = control<QPushButton>("cmdCalculate");
    auto* next = control<QPushButton>("cmdNext");
    auto* summary = control<QPushButton>("cmdSummary");
    auto* clear = control<QPushButton>("cmdClear");

    connect(calculate, &QAbstractButton::released, this, [this] { atCalculate_ = currentSelection(); });
    connect(calculate, &QAbstractButton::clicked, this, [this] { afterCalculate(atCalculate_); });
    connect(next, &QAbstractButton::released, this, [this] { atNext_ = currentSelection(); });
    connect(next, &QAbstractButton::clicked, this, [this] { afterCount(atNext_, true, false); });
    connect(summary, &QAbstractButton::released, this, [this] { atSummary_ = currentSelection(); });
    connect(
        summary, &QAbstractButton::clicked, this, [this] { afterCount(atSummary_, atSummary_.totalDueShown, true); });
    connect(clear, &QAbstractButton::clicked, this, &MonkeyTest::afterClear);
}

void MonkeyTest::afterCalculate(const Selection& at)
{
    const QString price = QString::fromStdString(monkey::amountText(at.price, money_));
    const QString total = QString::fromStdString(monkey::amountText(at.totalDue, money_));
    const QString shownPrice = control<QLabel>("lblServicePrice")->text();
    const QString shownTotal = control<QLabel>("lblTotalDue")->text();
    if (shownPrice != price || shownTotal != total)
        problem(QStringLiteral("Calculate showed \"%1\" and \"%2\", the selection gives \"%3\" and \"%4\""), shownPrice,
            shownTotal, price, total);
    if (window_->commands().totalDue().scaled() != at.totalDue)
        problem(QStringLiteral("Calculate stored a total due of %1/10000, the selection gives %2/10000"),
            window_->commands().totalDue().scaled(), at.totalDue);
    if (window_->commands().numberOfClients() != at.clientsBefore)
        problem(QStringLiteral("Calculate changed the number of clients"));
}

void MonkeyTest::afterCount(const Selection& at, bool counts, bool fromSummary)
{
    if (counts)
        tally_.count(at.totalDue);
    const qint16 clients = window_->commands().numberOfClients();
    const qint64 added = window_->commands().totalOfServices().scaled() - at.servicesBefore;
    if (clients != at.clientsBefore + (counts ? 1 : 0) || added != (counts ? at.totalDue : 0))
        problem(QStringLiteral("%1 went from %2 to %3 clients adding %4/10000; the selection gives %5 adding %6/10000"),
            fromSummary ? QStringLiteral("Summary") : QStringLiteral("Next Patron"), at.clientsBefore, clients, added,
            at.clientsBefore + (counts ? 1 : 0), counts ? at.totalDue : 0);
    if (fromSummary && summaryBoxes_ != at.boxesBefore + 1)
        problem(QStringLiteral("Summary showed %1 boxes instead of one").arg(summaryBoxes_ - at.boxesBefore));
    // A counted patron leaves the window cleared. Summary's box runs an event
    // loop, in which a delayed access-key click may land after the clearing.
    if (counts && !(fromSummary && at.clickPending))
        afterClear();
}

void MonkeyTest::afterClear()
{
    const bool cleared = control<QLabel>("lblServicePrice")->text().isEmpty()
        && control<QLabel>("lblTotalDue")->text().isEmpty()
        && control<QRadioButton>(monkey::clearedService)->isChecked()
        && control<QRadioButton>(monkey::clearedCoupon)->isChecked();
    if (!cleared)
        problem(QStringLiteral("the window was not cleared to Makeover, no coupon and empty labels"));
    // The window's own focus: after a summary box it is given back only once the window is active again.
    const QWidget* focus = window_->focusWidget();
    if (focus != control<QPushButton>(monkey::focusAfterClearing))
        problem(QStringLiteral("after clearing, the focus is on %1, not on Calculate"),
            focus ? focus->objectName() : QStringLiteral("nothing"));
}

void MonkeyTest::answerModalBox()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    const bool summary = box && box->windowTitle() == latin1(monkey::summaryTitle);
    if (!summary) {
        problem(QStringLiteral("an unexpected modal window \"%1\": %2"), modal->windowTitle(),
            box ? box->text() : QString::fromLatin1(modal->metaObject()->className()));
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Rejected);
        else
            modal->close();
        return;
    }

    ++summaryBoxes_;
    // Only Summary opens this box; while it is open its click is still to come.
    const bool counting = atSummary_.totalDueShown;
    const int clients = tally_.clients() + (counting ? 1 : 0);
    const qint64 total = tally_.services() + (counting ? atSummary_.totalDue : 0);
    const QString expected = QString::fromStdString(monkey::expectedSummary(clients, total, money_));
    if (box->text() != expected) {
        const auto oneLine = [](QString text) { return text.replace(QLatin1String("\r\n"), QLatin1String("\\r\\n")); };
        problem(QStringLiteral("the summary reads \"%1\", the model gives \"%2\""), oneLine(box->text()),
            oneLine(expected));
    }
    if (box->icon() != QMessageBox::Information || box->buttons().size() != 1 || !box->button(QMessageBox::Ok))
        problem(QStringLiteral("the summary box is not an information box with one OK button"));

    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->done(QDialog::Rejected);
}

QString MonkeyTest::brokenInvariant() const
{
    const monkey::Selection options
        = monkey::selectionOf([this](std::string_view name) { return control<QRadioButton>(name)->isChecked(); });
    if (options.servicesSelected != 1)
        return QStringLiteral("%1 services are selected").arg(options.servicesSelected);
    if (options.couponsSelected != 1)
        return QStringLiteral("%1 coupons are selected").arg(options.couponsSelected);

    const bool priceShown = !control<QLabel>("lblServicePrice")->text().isEmpty();
    const bool totalShown = !control<QLabel>("lblTotalDue")->text().isEmpty();
    if (priceShown != totalShown)
        return QStringLiteral("one amount label is filled and the other empty");

    if (window_->commands().numberOfClients() != tally_.clients())
        return QStringLiteral("%1 clients counted, the model says %2")
            .arg(window_->commands().numberOfClients())
            .arg(tally_.clients());
    if (window_->commands().totalOfServices().scaled() != tally_.services())
        return QStringLiteral("a total of services of %1/10000, the model says %2/10000")
            .arg(window_->commands().totalOfServices().scaled())
            .arg(tally_.services());

    if (!window_->isVisible())
        return QStringLiteral("the window has closed");
    if (QApplication::activeModalWidget())
        return QStringLiteral("a modal window is still open");
    return {};
}

// An access key that belongs to one button reaches it as a shortcut. Qt's
// own answer is to show the button pressed and click it on a timer, 100 ms
// later (the pressed look is no sign of that: moving the focus away clears
// it, not the click); a window may instead click at once. A button counts as
// having a click on its way from its shortcut until its timer goes off,
// unless it was clicked while the shortcut was being delivered.
bool MonkeyTest::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        pendingClicks_.insert(watched);
        // Until the key that sent it is delivered (QTest delivers it at once).
        shortcutBeingDelivered_ = watched;
    } else if (event->type() == QEvent::Timer) {
        pendingClicks_.erase(watched);
    }
    return false;
}

void MonkeyTest::clickedDuringShortcut(const QObject* button)
{
    if (button == shortcutBeingDelivered_)
        pendingClicks_.erase(button);
}

QString MonkeyTest::recentEvents() const
{
    QStringList events;
    for (const QString& event : recent_)
        events.append(event);
    return events.join(QStringLiteral(", "));
}

QString MonkeyTest::stillPending() const
{
    QStringList names;
    for (const QObject* button : pendingClicks_)
        names.append(button->objectName());
    return QStringLiteral("access-key clicks still to land on %1 after: %2")
        .arg(names.join(QStringLiteral(", ")), recentEvents());
}

void MonkeyTest::randomStreamKeepsTheWindowConsistent()
{
    const quint64 seed = environmentNumber("TARNWICK_MONKEY_SEED", 20240611);
    const quint64 events = environmentNumber("TARNWICK_MONKEY_EVENTS", 3000);
    monkey::ActionStream stream(seed);

    QWindow* handle = window_->windowHandle();
    QVERIFY(handle);
    QVERIFY2(brokenInvariant().isEmpty(), qPrintable(brokenInvariant()));

    QElapsedTimer clock;
    clock.start();
    int settles = 0;
    int reactivations = 0;
    for (quint64 event = 1; event <= events; ++event) {
        // Keys go to the window as the operator's would; a lost activation
        // would make access keys miss, so it is restored, and counted.
        if (QApplication::activeWindow() != window_.get()) {
            window_->activateWindow();
            QVERIFY2(QTest::qWaitForWindowActive(window_.get()), "the window cannot be made active again");
            ++reactivations;
        }

        QString done;
        const monkey::ActionStream::Action action = stream.next();
        if (action.key) {
            const QWidget* focus = QApplication::focusWidget();
            const QString focusName = focus ? focus->objectName() : QString();
            const monkey::KeyAction& sent = monkey::keyToSend(*action.key, focusName.toStdString());
            const QtKey key = qtKey(sent.key);
            QTest::keyClick(handle, key.key, key.modifiers);
            shortcutBeingDelivered_ = nullptr;
            done = &sent == action.key
                ? latin1(sent.name)
                : QStringLiteral("%1 (for %2 on %3)").arg(latin1(sent.name), latin1(action.key->name), focusName);
        } else {
            auto* button = control<QAbstractButton>(action.clicked);
            QTest::mouseClick(button, Qt::LeftButton);
            done = QStringLiteral("click %1").arg(latin1(action.clicked));
            if (qobject_cast<QRadioButton*>(button) && !button->isChecked())
                problem(QStringLiteral("a click on %1 left it clear").arg(latin1(action.clicked)));
        }
        QCoreApplication::processEvents();

        // An access key may press its button only after a short animation. Now
        // and then let every such click land before the next event, so that
        // both orders, landing among later events and landing at once, occur.
        if (stream.pick(100) == 0) {
            QTRY_VERIFY2_WITH_TIMEOUT(pendingClicks_.empty(), qPrintable(stillPending()), 2000);
            ++settles;
        }

        recent_.push_back(QStringLiteral("%1: %2").arg(event).arg(done));
        if (recent_.size() > 12)
            recent_.pop_front();
        const QString broken = problems_.isEmpty() ? brokenInvariant() : problems_.join(QStringLiteral("; "));
        if (!broken.isEmpty()) {
            const QString failure = QStringLiteral("seed %1, after event %2: %3\nlast events: %4");
            QFAIL(qPrintable(failure.arg(seed).arg(event).arg(broken, recentEvents())));
        }
    }

    // The stream's last access keys may still be on their way.
    QTRY_VERIFY2_WITH_TIMEOUT(pendingClicks_.empty(), qPrintable(stillPending()), 2000);
    QCoreApplication::processEvents();
    const QString broken = problems_.isEmpty() ? brokenInvariant() : problems_.join(QStringLiteral("; "));
    QVERIFY2(broken.isEmpty(), qPrintable(QStringLiteral("seed %1, at the end: %2").arg(seed).arg(broken)));

    qInfo("seed %llu: %llu events in %.1f s, %d patrons counted, %d summary boxes, %d settles, %d reactivations",
        static_cast<unsigned long long>(seed), static_cast<unsigned long long>(events),
        static_cast<double>(clock.elapsed()) / 1000.0, tally_.clients(), summaryBoxes_, settles, reactivations);
}

} // namespace tarnwick::test

QTEST_MAIN(tarnwick::test::MonkeyTest)
#include "monkey_test.moc"
