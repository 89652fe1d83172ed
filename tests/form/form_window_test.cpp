// The real window, offscreen: its controls and their places, the keyboard
// model an operator relies on, and what each button does on the screen.

#include "drawn_contrast.h"
#include "form/form_layout.h"
#include "form/qt/frm_tarnwick2.h"
#include "form_test_environment.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDebug>
#include <QEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <utility>

// Keys and clicks act at once, or within an animated press of about 100 ms;
// a short limit keeps a failing run quick.
#define TRY_COMPARE(actual, expected) QTRY_COMPARE_WITH_TIMEOUT(actual, expected, 2000)
#define TRY_VERIFY(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 2000)

using tarnwick::formLayout;
using tarnwick::frmTarnwick2;

namespace {

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

// A box as the operator saw it.
struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    int buttonCount = 0;
    QPalette palette;
};

// Closes every modal box soon after it opens, as an operator would press its
// OK, and records what it showed, so a box never blocks a test and a test
// can tell which boxes appeared.
class ModalBoxGuard : public QObject {
public:
    ModalBoxGuard()
    {
        connect(&timer_, &QTimer::timeout, this, &ModalBoxGuard::closeModalBox);
        timer_.start(10);
    }

    QList<ShownBox> takeBoxes() { return std::exchange(boxes_, {}); }

private:
    void closeModalBox()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        ShownBox shown;
        shown.title = modal->windowTitle();
        shown.palette = modal->palette();
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box) {
            shown.text = box->text();
            shown.icon = box->icon();
            shown.buttons = box->standardButtons();
            shown.buttonCount = static_cast<int>(box->buttons().size());
        }
        boxes_.append(shown);
        if (QAbstractButton* ok = box ? box->button(QMessageBox::Ok) : nullptr)
            ok->click();
        else
            modal->close();
    }

    QTimer timer_;
    QList<ShownBox> boxes_;
};

QString describe(const QList<ShownBox>& boxes)
{
    QStringList lines;
    for (const ShownBox& box : boxes)
        lines << box.title + ": " + box.text;
    return lines.join(" | ");
}

// The window's state each time the window system changes it, as the window
// saw it before its own handler could answer.
class WindowStatesSeen : public QObject {
public:
    explicit WindowStatesSeen(QWidget* window) { window->installEventFilter(this); }

    const QList<Qt::WindowStates>& states() const { return states_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowStateChange)
            states_ << static_cast<QWidget*>(watched)->windowState();
        return false;
    }

private:
    QList<Qt::WindowStates> states_;
};

QStringList openingSelection()
{
    return {"optMakeover", "optNone"};
}

// What reached a screen reader as an announcement, in order: each
// announcement's text (Qt 6.8 and later), or the name of each notification
// shown (Qt 6.4).
QStringList announcementsHeard;

QPlatformAccessibility* platformAccessibility()
{
    return QGuiApplicationPrivate::platformIntegration()->accessibility();
}

void recordAnnouncements(QAccessibleEvent* event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (event->type() == QAccessible::Announcement)
        announcementsHeard << static_cast<QAccessibleAnnouncementEvent*>(event)->message();
#else
    QAccessibleInterface* source = event->accessibleInterface();
    if (event->type() == QAccessible::ObjectShow && source && source->role() == QAccessible::Notification)
        announcementsHeard << source->text(QAccessible::Name);
#endif
}

// A desktop's palette from the colours its theme sets; the shades Fusion does
// not draw these controls with are worked out from the button's colour.
struct DesktopColours {
    const char* window;
    const char* windowText;
    const char* base;
    const char* text;
    const char* button;
    const char* buttonText;
    const char* highlight;
    const char* highlightedText;
};

QPalette desktopPalette(const DesktopColours& colours)
{
    QPalette palette(QColor(colours.button), QColor(colours.window));
    palette.setColor(QPalette::WindowText, QColor(colours.windowText));
    palette.setColor(QPalette::Base, QColor(colours.base));
    palette.setColor(QPalette::Text, QColor(colours.text));
    palette.setColor(QPalette::ButtonText, QColor(colours.buttonText));
    palette.setColor(QPalette::Highlight, QColor(colours.highlight));
    palette.setColor(QPalette::HighlightedText, QColor(colours.highlightedText));
    return palette;
}

// The dark palettes of the desktops' own themes, as Qt is given them.
// Qt 6.4's GTK theme under GTK_THEME=Adwaita:dark.
const QPalette adwaitaDarkQt64
    = desktopPalette({"#323232", "#f0f0f0", "#242424", "#f0f0f0", "#323232", "#f0f0f0", "#308cc6", "#f0f0f0"});
// GTK 3's own Adwaita dark colours, which later GTK themes of Qt read.
const QPalette adwaitaDarkGtk
    = desktopPalette({"#353535", "#eeeeec", "#2d2d2d", "#eeeeec", "#353535", "#eeeeec", "#15539e", "#ffffff"});
// Qt's KDE theme reading Breeze Dark's kdeglobals (breeze-dark/kdeglobals).
const QPalette breezeDark
    = desktopPalette({"#2a2e32", "#fcfcfc", "#1b1e20", "#fcfcfc", "#31363b", "#fcfcfc", "#3daee9", "#fcfcfc"});
// Darker and bluer still, so the lighter shades must keep a stronger hue.
const QPalette darkBlueGrey
    = desktopPalette({"#202326", "#fcfcfc", "#141618", "#fcfcfc", "#292c30", "#fcfcfc", "#3daee9", "#fcfcfc"});
// White on black, where every shade of the window's colour is black too.
const QPalette whiteOnBlack
    = desktopPalette({"#000000", "#ffffff", "#000000", "#ffffff", "#000000", "#ffffff", "#1aebff", "#000000"});

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QStringList paletteDifferences(const QPalette& expected, const QPalette& actual)
{
    QStringList differences;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colourRole = static_cast<QPalette::ColorRole>(role);
            if (expected.color(group, colourRole) != actual.color(group, colourRole))
                differences << QStringLiteral("%1/%2: %3 for %4")
                                   .arg(group)
                                   .arg(role)
                                   .arg(actual.color(group, colourRole).name(),
                                       expected.color(group, colourRole).name());
        }
    return differences;
}

} // namespace

class FormWindowTest : public QObject {
    Q_OBJECT

public:
    static void initMain() { tarnwick::test::isolateTestProcess(); }

private slots:
    void init();
    void cleanup();

    void opens_on_makeover_without_coupon();
    void controls_have_their_kind_container_and_caption_data();
    void controls_have_their_kind_container_and_caption();
    void controls_sit_where_the_layout_puts_them_data();
    void controls_sit_where_the_layout_puts_them();
    void every_caption_is_readable_and_nothing_overlaps();
    void keeps_its_one_size_whatever_state_is_asked_data();
    void keeps_its_one_size_whatever_state_is_asked();

    void tab_visits_only_the_selected_option_of_each_group_data();
    void tab_visits_only_the_selected_option_of_each_group();
    void enter_presses_calculate_unless_a_focused_button_takes_it_data();
    void enter_presses_calculate_unless_a_focused_button_takes_it();
    void escape_presses_clear_wherever_the_focus_is_data();
    void escape_presses_clear_wherever_the_focus_is();
    void unique_access_keys_select_or_press_their_control_data();
    void unique_access_keys_select_or_press_their_control();
    void shared_access_keys_only_move_the_focus_data();
    void shared_access_keys_only_move_the_focus();
    void arrow_keys_move_the_selection_within_a_group_data();
    void arrow_keys_move_the_selection_within_a_group();

    void clicking_an_option_changes_only_its_own_group_data();
    void clicking_an_option_changes_only_its_own_group();
    void calculate_shows_the_amounts_in_the_region_format_data();
    void calculate_shows_the_amounts_in_the_region_format();
    void next_patron_counts_and_clears_the_window();
    void clear_empties_labels_and_resets_selection();
    void summary_box_shows_the_tally_data();
    void summary_box_shows_the_tally();
    void failed_print_is_reported_and_the_window_goes_on();
    void only_what_calculate_shows_is_announced_data();
    void only_what_calculate_shows_is_announced();
    void exit_closes_the_window();

    void the_window_keeps_the_desktops_palette_where_it_reads_well_data();
    void the_window_keeps_the_desktops_palette_where_it_reads_well();
    void dark_palettes_leave_every_circle_outline_and_text_legible_data();
    void dark_palettes_leave_every_circle_outline_and_text_legible();

private:
    bool openWindow();
    // As a desktop's theme would give it, the window hearing of it through the event loop.
    bool setDesktopPalette(const QPalette& palette) const
    {
        QApplication::setPalette(palette);
        return QTest::qWaitFor(
            [&] { return window_->palette().color(QPalette::Window) == palette.color(QPalette::Window); }, 2000);
    }

    template <typename Control = QWidget> Control* control(const QString& name) const
    {
        return window_->findChild<Control*>(name);
    }

    QString focused() const
    {
        const QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QStringLiteral("(nothing)");
    }

    QStringList selectedOptions() const
    {
        QStringList names;
        for (const auto& entry : formLayout) {
            const auto* option = control<QRadioButton>(text(entry.name));
            if (option && option->isChecked())
                names << option->objectName();
        }
        return names;
    }

    QString labelText(const char* name) const { return control<QLabel>(QString::fromLatin1(name))->text(); }

    int clients() const { return window_->commands().numberOfClients(); }

    // Buttons and options in the middle of a press, such as an access key's animated one.
    QStringList buttonsDown() const
    {
        QStringList down;
        for (const QAbstractButton* button : window_->findChildren<QAbstractButton*>())
            if (button->isDown())
                down << button->objectName();
        return down;
    }

    // Keys as an operator types them, through the window system.
    void type(const QString& keys) const
    {
        const QKeySequence sequence(keys);
        for (int i = 0; i < sequence.count(); ++i) {
            Qt::Key key = sequence[i].key();
            const Qt::KeyboardModifiers modifiers = sequence[i].keyboardModifiers();
            // A keyboard sends Shift+Tab as Backtab.
            if (key == Qt::Key_Tab && modifiers.testFlag(Qt::ShiftModifier))
                key = Qt::Key_Backtab;
            QTest::keyClick(window_->windowHandle(), key, modifiers);
        }
    }

    // A mouse click; an option is clicked on its round indicator.
    bool click(const QString& name) const
    {
        QWidget* widget = control(name);
        if (!widget)
            return false;
        const QPoint where
            = qobject_cast<QRadioButton*>(widget) ? QPoint(6, widget->height() / 2) : widget->rect().center();
        QTest::mouseClick(widget, Qt::LeftButton, {}, where);
        return true;
    }

    bool focusOn(const QString& name) const
    {
        QWidget* widget = control(name);
        if (!widget)
            return false;
        widget->setFocus(Qt::OtherFocusReason);
        return QTest::qWaitFor([&] { return QApplication::focusWidget() == widget; }, 2000);
    }

    // Whether something asked the application to quit since the last look.
    // With no event loop running, Qt keeps such a request pending and would
    // end the next modal box's loop with it; looking clears it.
    static bool takeQuitRequest()
    {
        QEventLoop probe;
        QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
        if (probe.exec() != -1)
            return false;
        // Only the application's own loop forgets a pending quit.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QApplication::exec();
        return true;
    }

    std::unique_ptr<frmTarnwick2> window_;
    std::unique_ptr<ModalBoxGuard> boxes_;
    std::string savedMonetaryLocale_;
    QPalette savedApplicationPalette_;
    QString savedStyle_;
    // Set while a test listens in place of the platform's accessibility bridge.
    std::optional<QAccessible::UpdateHandler> savedUpdateHandler_;
    bool savedAccessibilityActive_ = false;
};

void FormWindowTest::init()
{
    // Amounts are checked as a US English region writes them.
    savedMonetaryLocale_ = std::setlocale(LC_MONETARY, nullptr);
    QVERIFY2(std::setlocale(LC_MONETARY, "en_US.UTF-8"), "the en_US.UTF-8 locale is not installed");

    savedApplicationPalette_ = QApplication::palette();
    savedStyle_ = QApplication::style()->name();

    boxes_ = std::make_unique<ModalBoxGuard>();
    QVERIFY(openWindow());
}

bool FormWindowTest::openWindow()
{
    window_.reset();
    window_ = std::make_unique<frmTarnwick2>();
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get()))
        return false;
    window_->activateWindow();
    return QTest::qWaitForWindowActive(window_.get());
}

void FormWindowTest::cleanup()
{
    const QList<ShownBox> unexpected = boxes_ ? boxes_->takeBoxes() : QList<ShownBox>{};
    const bool unexpectedQuit = takeQuitRequest();
    window_.reset();
    boxes_.reset();
    std::setlocale(LC_MONETARY, savedMonetaryLocale_.c_str());
    if (QApplication::style()->name() != savedStyle_)
        QApplication::setStyle(savedStyle_);
    if (QApplication::palette() != savedApplicationPalette_)
        QApplication::setPalette(savedApplicationPalette_);
    if (savedUpdateHandler_) {
        QAccessible::installUpdateHandler(*std::exchange(savedUpdateHandler_, std::nullopt));
        platformAccessibility()->setActive(savedAccessibilityActive_);
        announcementsHeard.clear();
    }
    QVERIFY2(unexpected.isEmpty(), qPrintable("unexpected box: " + describe(unexpected)));
    QVERIFY2(!unexpectedQuit, "the program was told to end");
}

void FormWindowTest::opens_on_makeover_without_coupon()
{
    QCOMPARE(window_->windowTitle(), QStringLiteral("Tarnwick"));
    QCOMPARE(window_->objectName(), QStringLiteral("frmTarnwick2"));
    QCOMPARE(selectedOptions(), openingSelection());
    QCOMPARE(labelText("lblServicePrice"), QString());
    QCOMPARE(labelText("lblTotalDue"), QString());
    TRY_COMPARE(focused(), QStringLiteral("optMakeover"));

    QStringList defaults;
    for (const QPushButton* button : window_->findChildren<QPushButton*>())
        if (button->isDefault())
            defaults << button->objectName();
    QCOMPARE(defaults, QStringList{"cmdCalculate"});

    // The client area as drawn, grown by one factor at most, and fixed.
    const double factor = window_->width() / 432.0;
    QVERIFY2(factor >= 1.0, qPrintable(QString::number(factor)));
    QVERIFY(std::abs(window_->height() - std::lround(272 * factor)) <= 1);
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
}

void FormWindowTest::controls_have_their_kind_container_and_caption_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("caption");

    const QString form = "frmTarnwick2";
    QTest::newRow("fraSevice") << QByteArray("QGroupBox") << form << "Type of Service";
    QTest::newRow("optMakeover") << QByteArray("QRadioButton") << "fraSevice"
                                 << "&Makeover";
    QTest::newRow("optHairStyling") << QByteArray("QRadioButton") << "fraSevice"
                                    << "Hair &Styling";
    QTest::newRow("optManicure") << QByteArray("QRadioButton") << "fraSevice"
                                 << "Mani&cure";
    QTest::newRow("optPermanentMakeup") << QByteArray("QRadioButton") << "fraSevice"
                                        << "&Permanent Makeup";
    QTest::newRow("fraCoupon") << QByteArray("QGroupBox") << form << "Discount Coupon";
    QTest::newRow("optNone") << QByteArray("QRadioButton") << "fraCoupon"
                             << "&None";
    QTest::newRow("opt10Percent") << QByteArray("QRadioButton") << "fraCoupon"
                                  << "&10%";
    QTest::newRow("opt20Percent") << QByteArray("QRadioButton") << "fraCoupon"
                                  << "&20%";
    QTest::newRow("cmdCalculate") << QByteArray("QPushButton") << form << "&Calculate";
    QTest::newRow("cmdNext") << QByteArray("QPushButton") << form << "&Next Patron";
    QTest::newRow("cmdClear") << QByteArray("QPushButton") << form << "C&lear";
    QTest::newRow("cmdPrint") << QByteArray("QPushButton") << form << "&Print Form";
    QTest::newRow("cmdSummary") << QByteArray("QPushButton") << form << "&Summary";
    QTest::newRow("cmdExit") << QByteArray("QPushButton") << form << "E&xit";
    QTest::newRow("Label1") << QByteArray("QLabel") << form << "Individual Service Price:";
    QTest::newRow("lblServicePrice") << QByteArray("QLabel") << form << "";
    QTest::newRow("Label2") << QByteArray("QLabel") << form << "Total Due:";
    QTest::newRow("lblTotalDue") << QByteArray("QLabel") << form << "";
}

void FormWindowTest::controls_have_their_kind_container_and_caption()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, container);
    QFETCH(QString, caption);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    const QWidget* widget = control(name);
    if (!widget)
        QFAIL(qPrintable("no control " + name));
    QVERIFY2(widget->inherits(kind), widget->metaObject()->className());
    const QWidget* parent = widget->parentWidget();
    if (!parent)
        QFAIL("no container");
    QCOMPARE(parent->objectName(), container);
    QCOMPARE(widget->property(kind == "QGroupBox" ? "title" : "text").toString(), caption);
}

void FormWindowTest::controls_sit_where_the_layout_puts_them_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    for (const auto& entry : formLayout)
        QTest::newRow(std::string(entry.name).c_str()) << entry.left << entry.top << entry.width << entry.height;
}

void FormWindowTest::controls_sit_where_the_layout_puts_them()
{
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, width);
    QFETCH(int, height);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    const QWidget* widget = control(name);
    if (!widget)
        QFAIL(qPrintable("no control " + name));
    // The whole window grows by one factor when the font needs it.
    const double factor = window_->width() / 432.0;
    const auto pixels = [factor](int twips) { return static_cast<int>(std::lround(twips / 15.0 * factor)); };
    const QRect place = widget->geometry();
    QString where;
    QDebug(&where) << name << place << "factor" << factor;

    QVERIFY2(std::abs(place.x() - pixels(left)) <= 1, qPrintable(where));
    QVERIFY2(std::abs(place.y() - pixels(top)) <= 1, qPrintable(where));
    QVERIFY2(std::abs(place.height() - pixels(height)) <= 1, qPrintable(where));
    // A caption may take free room to its right, never less than drawn.
    QVERIFY2(place.width() >= pixels(width) - 1, qPrintable(where));
    QVERIFY2(widget->parentWidget()->rect().contains(place), qPrintable(where + " sticks out of its container"));
}

void FormWindowTest::every_caption_is_readable_and_nothing_overlaps()
{
    for (const auto* button : window_->findChildren<QAbstractButton*>())
        QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->objectName() + " is cut"));
    for (const auto* label : window_->findChildren<QLabel*>())
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->objectName() + " is cut"));
    for (const auto* frame : window_->findChildren<QGroupBox*>()) {
        const int captionWidth = frame->fontMetrics().horizontalAdvance(frame->title());
        QVERIFY2(captionWidth < frame->width(), qPrintable(frame->objectName() + " is cut"));
    }

    QList<QWidget*> containers{window_.get()};
    for (QGroupBox* frame : window_->findChildren<QGroupBox*>())
        containers << frame;
    for (const QWidget* container : containers) {
        const QList<QWidget*> inside = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (qsizetype a = 0; a < inside.size(); ++a)
            for (qsizetype b = a + 1; b < inside.size(); ++b)
                QVERIFY2(!inside[a]->geometry().intersects(inside[b]->geometry()),
                    qPrintable(inside[a]->objectName() + " overlaps " + inside[b]->objectName()));
    }
}

void FormWindowTest::keeps_its_one_size_whatever_state_is_asked_data()
{
    QTest::addColumn<Qt::WindowStates>("asked");
    // Qt's own title bar on Wayland offers maximise to every window.
    QTest::newRow("maximised") << Qt::WindowStates(Qt::WindowMaximized);
    QTest::newRow("full screen") << Qt::WindowStates(Qt::WindowFullScreen);
}

void FormWindowTest::keeps_its_one_size_whatever_state_is_asked()
{
    QFETCH(Qt::WindowStates, asked);
    const QSize size = window_->size();

    const WindowStatesSeen seen(window_.get());
    window_->windowHandle()->setWindowStates(asked);
    // The platform answers through the event loop, as a window system would:
    // wait until its answer reaches the window, then for the window to undo it.
    TRY_VERIFY(seen.states().contains(asked));

    TRY_COMPARE(window_->windowState(), Qt::WindowStates(Qt::WindowNoState));
    TRY_COMPARE(window_->size(), size);
}

void FormWindowTest::tab_visits_only_the_selected_option_of_each_group_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("visits");

    const QStringList opening{
        "cmdCalculate", "cmdClear", "cmdPrint", "cmdExit", "optNone", "cmdNext", "cmdSummary", "optMakeover"};
    const QStringList backwards{
        "cmdSummary", "cmdNext", "optNone", "cmdExit", "cmdPrint", "cmdClear", "cmdCalculate", "optMakeover"};
    QTest::newRow("opening, Tab") << ""
                                  << "optMakeover"
                                  << "Tab" << opening;
    QTest::newRow("opening, Shift+Tab") << ""
                                        << "optMakeover"
                                        << "Shift+Tab" << backwards;
    QTest::newRow("10%, Tab") << "Alt+1"
                              << "opt10Percent"
                              << "Tab"
                              << QStringList{"cmdCalculate", "cmdClear", "cmdPrint", "cmdExit", "cmdNext", "cmdSummary",
                                     "optMakeover", "opt10Percent"};
    QTest::newRow("10%, Shift+Tab") << "Alt+1"
                                    << "opt10Percent"
                                    << "Shift+Tab"
                                    << QStringList{"optMakeover", "cmdSummary", "cmdNext", "cmdExit", "cmdPrint",
                                           "cmdClear", "cmdCalculate", "opt10Percent"};
    QTest::newRow("Manicure and 20%, Tab") << "Down, Down, Alt+2"
                                           << "opt20Percent"
                                           << "Tab"
                                           << QStringList{"cmdCalculate", "cmdClear", "cmdPrint", "cmdExit", "cmdNext",
                                                  "cmdSummary", "optManicure", "opt20Percent"};
    // A shared access key can focus an option that is not selected; Tab
    // goes on from its place, and the cycle then returns to the selected one.
    QTest::newRow("after Alt+S on Hair Styling, Tab") << "Alt+S"
                                                      << "optHairStyling"
                                                      << "Tab" << opening;
    QTest::newRow("after Alt+S on Hair Styling, Shift+Tab") << "Alt+S"
                                                            << "optHairStyling"
                                                            << "Shift+Tab" << QStringList{"optMakeover"} + backwards;
    QTest::newRow("after Alt+C on Manicure, Tab") << "Alt+C"
                                                  << "optManicure"
                                                  << "Tab" << opening;
}

void FormWindowTest::tab_visits_only_the_selected_option_of_each_group()
{
    QFETCH(QString, setup);
    QFETCH(QString, start);
    QFETCH(QString, key);
    QFETCH(QStringList, visits);

    TRY_COMPARE(focused(), QStringLiteral("optMakeover"));
    if (!setup.isEmpty())
        type(setup);
    TRY_COMPARE(buttonsDown(), QStringList());
    TRY_COMPARE(focused(), start);

    QStringList visited;
    for (qsizetype i = 0; i < visits.size(); ++i) {
        type(key);
        visited << focused();
    }
    QCOMPARE(visited, visits);
}

void FormWindowTest::enter_presses_calculate_unless_a_focused_button_takes_it_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("calculatedBefore");
    QTest::addColumn<QString>("totalDueAfter");
    QTest::addColumn<int>("clientsAfter");
    QTest::addColumn<bool>("openAfter");

    QTest::newRow("Return on Makeover calculates") << "optMakeover"
                                                   << "Return" << false << "$125.00" << 0 << true;
    QTest::newRow("keypad Enter on None calculates") << "optNone"
                                                     << "Enter" << false << "$125.00" << 0 << true;
    QTest::newRow("Return on Calculate calculates") << "cmdCalculate"
                                                    << "Return" << false << "$125.00" << 0 << true;
    QTest::newRow("Return on Clear clears") << "cmdClear"
                                            << "Return" << true << "" << 0 << true;
    QTest::newRow("Return on Next Patron counts") << "cmdNext"
                                                  << "Return" << false << "" << 1 << true;
    QTest::newRow("Return on Exit closes") << "cmdExit"
                                           << "Return" << false << "" << 0 << false;
    QTest::newRow("Space on Clear clears") << "cmdClear"
                                           << "Space" << true << "" << 0 << true;
}

void FormWindowTest::enter_presses_calculate_unless_a_focused_button_takes_it()
{
    QFETCH(QString, focus);
    QFETCH(QString, key);
    QFETCH(bool, calculatedBefore);
    QFETCH(QString, totalDueAfter);
    QFETCH(int, clientsAfter);
    QFETCH(bool, openAfter);

    if (calculatedBefore) {
        QVERIFY(click("cmdCalculate"));
        QCOMPARE(labelText("lblTotalDue"), QStringLiteral("$125.00"));
    }
    QVERIFY2(focusOn(focus), qPrintable(focus));

    type(key);

    TRY_COMPARE(window_->isVisible(), openAfter);
    TRY_COMPARE(labelText("lblTotalDue"), totalDueAfter);
    QCOMPARE(clients(), clientsAfter);
    QCOMPARE(takeQuitRequest(), !openAfter);
}

void FormWindowTest::escape_presses_clear_wherever_the_focus_is_data()
{
    QTest::addColumn<QString>("focus");

    for (const char* name : {"optMakeover", "optHairStyling", "optPermanentMakeup", "optNone", "opt10Percent",
             "opt20Percent", "cmdCalculate", "cmdNext", "cmdClear", "cmdPrint", "cmdSummary", "cmdExit"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void FormWindowTest::escape_presses_clear_wherever_the_focus_is()
{
    QFETCH(QString, focus);

    // Choose Permanent Makeup with 20% unless the focused option is to be
    // the selected one of its group.
    for (const char* option : {"optPermanentMakeup", "opt20Percent"})
        QVERIFY(click(option));
    if (focus.startsWith("opt"))
        QVERIFY(click(focus));
    QVERIFY(click("cmdCalculate"));
    QVERIFY(!labelText("lblTotalDue").isEmpty());
    QVERIFY2(focusOn(focus), qPrintable(focus));

    type("Esc");

    TRY_COMPARE(focused(), QStringLiteral("cmdCalculate"));
    QCOMPARE(labelText("lblServicePrice"), QString());
    QCOMPARE(labelText("lblTotalDue"), QString());
    QCOMPARE(selectedOptions(), openingSelection());
    QCOMPARE(clients(), 0);
    QVERIFY(window_->isVisible());
}

void FormWindowTest::unique_access_keys_select_or_press_their_control_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<QStringList>("selectedAfter");
    QTest::addColumn<QString>("totalDueAfter");
    QTest::addColumn<bool>("openAfter");

    // Each starts from Hair Styling without coupon, calculated, with the focus on Print Form.
    QTest::newRow("Alt+M selects Makeover")
        << "Alt+M"
        << "optMakeover" << QStringList{"optMakeover", "optNone"} << "$60.00" << true;
    QTest::newRow("Alt+1 selects 10%") << "Alt+1"
                                       << "opt10Percent" << QStringList{"optHairStyling", "opt10Percent"} << "$60.00"
                                       << true;
    QTest::newRow("Alt+2 selects 20%") << "Alt+2"
                                       << "opt20Percent" << QStringList{"optHairStyling", "opt20Percent"} << "$60.00"
                                       << true;
    QTest::newRow("Alt+L presses Clear") << "Alt+L"
                                         << "cmdCalculate" << openingSelection() << "" << true;
    QTest::newRow("Alt+X presses Exit") << "Alt+X"
                                        << "" << QStringList{"optHairStyling", "optNone"} << "$60.00" << false;
}

void FormWindowTest::unique_access_keys_select_or_press_their_control()
{
    QFETCH(QString, key);
    QFETCH(QString, focusAfter);
    QFETCH(QStringList, selectedAfter);
    QFETCH(QString, totalDueAfter);
    QFETCH(bool, openAfter);

    QVERIFY(click("optHairStyling"));
    QVERIFY(click("cmdCalculate"));
    QVERIFY(focusOn("cmdPrint"));

    type(key);

    TRY_COMPARE(window_->isVisible(), openAfter);
    QCOMPARE(takeQuitRequest(), !openAfter);
    if (openAfter)
        TRY_COMPARE(focused(), focusAfter);
    TRY_COMPARE(selectedOptions(), selectedAfter);
    QCOMPARE(labelText("lblTotalDue"), totalDueAfter);
    QCOMPARE(clients(), 0);
}

void FormWindowTest::shared_access_keys_only_move_the_focus_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("C from Makeover to Manicure") << "optMakeover"
                                                 << "Alt+C"
                                                 << "optManicure";
    QTest::newRow("C from Manicure to Calculate") << "optManicure"
                                                  << "Alt+C"
                                                  << "cmdCalculate";
    QTest::newRow("C from Calculate wraps to Manicure") << "cmdCalculate"
                                                        << "Alt+C"
                                                        << "optManicure";
    QTest::newRow("N from Makeover to None") << "optMakeover"
                                             << "Alt+N"
                                             << "optNone";
    QTest::newRow("N from None to Next Patron") << "optNone"
                                                << "Alt+N"
                                                << "cmdNext";
    QTest::newRow("N from Next Patron wraps to None") << "cmdNext"
                                                      << "Alt+N"
                                                      << "optNone";
    QTest::newRow("P from Makeover to Permanent Makeup") << "optMakeover"
                                                         << "Alt+P"
                                                         << "optPermanentMakeup";
    QTest::newRow("P from Permanent Makeup to Print Form") << "optPermanentMakeup"
                                                           << "Alt+P"
                                                           << "cmdPrint";
    QTest::newRow("P from Exit wraps to Permanent Makeup") << "cmdExit"
                                                           << "Alt+P"
                                                           << "optPermanentMakeup";
    QTest::newRow("S from Makeover to Hair Styling") << "optMakeover"
                                                     << "Alt+S"
                                                     << "optHairStyling";
    QTest::newRow("S from Hair Styling to Summary") << "optHairStyling"
                                                    << "Alt+S"
                                                    << "cmdSummary";
    QTest::newRow("S from Summary wraps to Hair Styling") << "cmdSummary"
                                                          << "Alt+S"
                                                          << "optHairStyling";
}

void FormWindowTest::shared_access_keys_only_move_the_focus()
{
    QFETCH(QString, start);
    QFETCH(QString, key);
    QFETCH(QString, focusAfter);

    QVERIFY2(focusOn(start), qPrintable(start));

    type(key);

    TRY_COMPARE(focused(), focusAfter);
    // Nothing pressed, not even the start of an animated press, nothing selected.
    QCOMPARE(buttonsDown(), QStringList());
    QCOMPARE(selectedOptions(), openingSelection());
    QCOMPARE(labelText("lblTotalDue"), QString());
    QCOMPARE(clients(), 0);
    QVERIFY(window_->isVisible());
}

void FormWindowTest::arrow_keys_move_the_selection_within_a_group_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("selectedAfter");
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("Down from Makeover") << "optMakeover"
                                        << "Down" << QStringList{"optHairStyling", "optNone"} << "optHairStyling";
    QTest::newRow("Up from Hair Styling") << "optHairStyling"
                                          << "Up" << openingSelection() << "optMakeover";
    QTest::newRow("Down from Manicure") << "optManicure"
                                        << "Down" << QStringList{"optPermanentMakeup", "optNone"}
                                        << "optPermanentMakeup";
    QTest::newRow("Down from None") << "optNone"
                                    << "Down" << QStringList{"optMakeover", "opt10Percent"} << "opt10Percent";
    QTest::newRow("Down from 10%") << "opt10Percent"
                                   << "Down" << QStringList{"optMakeover", "opt20Percent"} << "opt20Percent";
    QTest::newRow("Up from 20%") << "opt20Percent"
                                 << "Up" << QStringList{"optMakeover", "opt10Percent"} << "opt10Percent";
}

void FormWindowTest::arrow_keys_move_the_selection_within_a_group()
{
    QFETCH(QString, start);
    QFETCH(QString, key);
    QFETCH(QStringList, selectedAfter);
    QFETCH(QString, focusAfter);

    QVERIFY(click(start));
    QVERIFY(focusOn(start));

    type(key);

    TRY_COMPARE(selectedOptions(), selectedAfter);
    TRY_COMPARE(focused(), focusAfter);
}

void FormWindowTest::clicking_an_option_changes_only_its_own_group_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("selectedAfter");

    QTest::newRow("Manicure keeps no coupon") << QStringList{"optManicure"} << QStringList{"optManicure", "optNone"};
    QTest::newRow("Manicure keeps 10%") << QStringList{"opt10Percent", "optManicure"}
                                        << QStringList{"optManicure", "opt10Percent"};
    QTest::newRow("Manicure keeps 20%") << QStringList{"opt20Percent", "optManicure"}
                                        << QStringList{"optManicure", "opt20Percent"};
    QTest::newRow("a coupon keeps Permanent Makeup")
        << QStringList{"optPermanentMakeup", "opt20Percent"} << QStringList{"optPermanentMakeup", "opt20Percent"};
    QTest::newRow("None clears 20%") << QStringList{"opt20Percent", "optHairStyling", "optNone"}
                                     << QStringList{"optHairStyling", "optNone"};
}

void FormWindowTest::clicking_an_option_changes_only_its_own_group()
{
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, selectedAfter);

    for (const QString& option : clicks)
        QVERIFY2(click(option), qPrintable(option));

    QCOMPARE(selectedOptions(), selectedAfter);
    QCOMPARE(labelText("lblTotalDue"), QString());
}

void FormWindowTest::calculate_shows_the_amounts_in_the_region_format_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("priceText");
    QTest::addColumn<QString>("totalDueText");

    QTest::newRow("Makeover, no coupon") << QStringList{} << "$125.00"
                                         << "$125.00";
    QTest::newRow("Makeover, 10%") << QStringList{"opt10Percent"} << "$125.00"
                                   << "$112.50";
    QTest::newRow("Manicure, 10%") << QStringList{"optManicure", "opt10Percent"} << "$35.00"
                                   << "$31.50";
    QTest::newRow("Hair Styling, 20%") << QStringList{"optHairStyling", "opt20Percent"} << "$60.00"
                                       << "$48.00";
    QTest::newRow("Permanent Makeup, no coupon") << QStringList{"optPermanentMakeup"} << "$200.00"
                                                 << "$200.00";
}

void FormWindowTest::calculate_shows_the_amounts_in_the_region_format()
{
    QFETCH(QStringList, options);
    QFETCH(QString, priceText);
    QFETCH(QString, totalDueText);

    for (const QString& option : options)
        QVERIFY2(click(option), qPrintable(option));
    const QStringList selected = selectedOptions();

    QVERIFY(click("cmdCalculate"));

    QCOMPARE(labelText("lblServicePrice"), priceText);
    QCOMPARE(labelText("lblTotalDue"), totalDueText);
    for (const char* name : {"lblServicePrice", "lblTotalDue"}) {
        const QLabel* label = control<QLabel>(QString::fromLatin1(name));
        QVERIFY2(label->sizeHint().width() <= label->width(), name);
    }
    QCOMPARE(selectedOptions(), selected);
    QCOMPARE(clients(), 0);
}

void FormWindowTest::next_patron_counts_and_clears_the_window()
{
    for (const char* option : {"optHairStyling", "opt20Percent"})
        QVERIFY(click(option));

    QVERIFY(click("cmdNext"));

    QCOMPARE(clients(), 1);
    QCOMPARE(window_->commands().totalOfServices().scaled(), qint64{480'000});
    QCOMPARE(labelText("lblServicePrice"), QString());
    QCOMPARE(labelText("lblTotalDue"), QString());
    QCOMPARE(selectedOptions(), openingSelection());
    TRY_COMPARE(focused(), QStringLiteral("cmdCalculate"));
}

void FormWindowTest::clear_empties_labels_and_resets_selection()
{
    for (const char* option : {"optManicure", "opt10Percent", "cmdCalculate"})
        QVERIFY(click(option));
    QVERIFY(focusOn("cmdExit"));

    QVERIFY(click("cmdClear"));

    QCOMPARE(labelText("lblServicePrice"), QString());
    QCOMPARE(labelText("lblTotalDue"), QString());
    QCOMPARE(selectedOptions(), openingSelection());
    TRY_COMPARE(focused(), QStringLiteral("cmdCalculate"));
    QCOMPARE(clients(), 0);
}

void FormWindowTest::summary_box_shows_the_tally_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("clientsAfter");
    QTest::addColumn<QString>("summary");

    QTest::newRow("fresh window") << QStringList{} << 0 << "Number of Clients: 0\r\nTotal of Services: $0.00";
    QTest::newRow("after one Next Patron")
        << QStringList{"cmdNext"} << 1 << "Number of Clients: 1\r\nTotal of Services: $125.00";
    QTest::newRow("a calculated patron is counted") << QStringList{"optManicure", "opt10Percent", "cmdCalculate"} << 1
                                                    << "Number of Clients: 1\r\nTotal of Services: $31.50";
    QTest::newRow("grouped thousands") << QStringList(8, "cmdNext") + QStringList{"optPermanentMakeup", "cmdNext"} << 9
                                       << "Number of Clients: 9\r\nTotal of Services: $1,200.00";
}

void FormWindowTest::summary_box_shows_the_tally()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, clientsAfter);
    QFETCH(QString, summary);

    for (const QString& name : clicks)
        QVERIFY2(click(name), qPrintable(name));

    QVERIFY(click("cmdSummary"));

    const QList<ShownBox> shown = boxes_->takeBoxes();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, QStringLiteral("Client Summary"));
    QCOMPARE(shown[0].text, summary);
    QCOMPARE(shown[0].icon, QMessageBox::Information);
    QCOMPARE(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(shown[0].buttonCount, 1);
    QCOMPARE(clients(), clientsAfter);
    QCOMPARE(labelText("lblTotalDue"), QString());
    QVERIFY(window_->isVisible());
}

void FormWindowTest::failed_print_is_reported_and_the_window_goes_on()
{
    for (const char* name : {"cmdNext", "optManicure", "cmdCalculate"})
        QVERIFY(click(name));

    QVERIFY(click("cmdPrint"));

    const QList<ShownBox> shown = boxes_->takeBoxes();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, QStringLiteral("Tarnwick"));
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
    QVERIFY2(shown[0].text.startsWith("Print Form failed: "), qPrintable(shown[0].text));
    QVERIFY(window_->isVisible());
    QCOMPARE(clients(), 1);
    QCOMPARE(labelText("lblTotalDue"), QStringLiteral("$35.00"));

    QVERIFY(click("cmdNext"));
    QCOMPARE(clients(), 2);
    QCOMPARE(window_->commands().totalOfServices().scaled(), qint64{1'600'000});
}

void FormWindowTest::only_what_calculate_shows_is_announced_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<int>("boxes");

    // Steps: "click NAME", "type KEYS", "heard" (the event loop comes back
    // once, as after every click an operator makes), "serve N" (N Next Patrons).
    const QString opening = "Individual Service Price: $125.00, Total Due: $125.00";
    const QStringList hairStylingWithCoupon{"click optHairStyling", "click opt10Percent"};
    QTest::newRow("Calculate clicked") << hairStylingWithCoupon + QStringList{"click cmdCalculate"}
                                       << QStringList{"Individual Service Price: $60.00, Total Due: $54.00"} << 0;
    QTest::newRow("Enter on an option") << QStringList{"type Return"} << QStringList{opening} << 0;
    QTest::newRow("access key to Calculate, then space")
        << QStringList{"type Alt+C", "type Alt+C", "type Space"} << QStringList{opening} << 0;
    QTest::newRow("the same amounts twice")
        << QStringList{"click cmdCalculate", "heard", "click cmdCalculate"} << QStringList{opening, opening} << 0;
    QTest::newRow("Clear after Calculate")
        << QStringList{"click cmdCalculate", "heard", "click cmdClear"} << QStringList{opening} << 0;
    // Its Calculate shows the amounts, and its Clear takes them away before they could be heard.
    QTest::newRow("Next Patron") << QStringList{"click cmdNext"} << QStringList{} << 0;
    QTest::newRow("Summary after Calculate")
        << QStringList{"click cmdCalculate", "heard", "click cmdSummary"} << QStringList{opening} << 1;
    // The count overflows after Calculate has shown the amounts: its box, not the amounts.
    QTest::newRow("32768th patron") << QStringList{"serve 32767", "heard", "click cmdNext"} << QStringList{} << 1;
}

void FormWindowTest::only_what_calculate_shows_is_announced()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, announced);
    QFETCH(int, boxes);

    // As a screen reader would, through the platform; the handler then hears
    // what would have gone to it.
    savedAccessibilityActive_ = QAccessible::isActive();
    savedUpdateHandler_ = QAccessible::installUpdateHandler(recordAnnouncements);
    platformAccessibility()->setActive(true);
    QVERIFY(QAccessible::isActive());
    QVERIFY(focusOn("optMakeover"));

    for (const QString& step : steps) {
        const QString what = step.section(' ', 0, 0);
        const QString argument = step.section(' ', 1);
        if (what == "click") {
            QVERIFY2(click(argument), qPrintable(argument));
        } else if (what == "type") {
            type(argument);
        } else if (what == "heard") {
            QCoreApplication::processEvents();
        } else if (what == "serve") {
            auto* next = control<QPushButton>("cmdNext");
            for (int patron = argument.toInt(); patron > 0; --patron)
                next->click();
        }
    }
    QCoreApplication::processEvents();

    QCOMPARE(announcementsHeard, announced);
    QCOMPARE(boxes_->takeBoxes().size(), boxes);
}

void FormWindowTest::exit_closes_the_window()
{
    QVERIFY(click("cmdNext"));

    QVERIFY(click("cmdExit"));

    TRY_VERIFY(!window_->isVisible());
    QVERIFY(takeQuitRequest());
    // No question, no summary on the way out.
    QCOMPARE(boxes_->takeBoxes().size(), 0);
}

void FormWindowTest::the_window_keeps_the_desktops_palette_where_it_reads_well_data()
{
    // The desktop's palettes in turn; the window must take the last as it is.
    QTest::addColumn<QList<QPalette>>("desktop");
    QTest::addColumn<QString>("style");

    const QPalette light = QApplication::style()->standardPalette();
    QTest::newRow("light, Fusion's own") << QList{light} << QString();
    QTest::newRow("light again after Breeze Dark") << QList{breezeDark, light} << QString();
    QTest::newRow("as the desktop gives it") << QList{QApplication::palette()} << QString();
    // Other styles draw their own edges in the dark, from the colours they are given.
    QTest::newRow("Breeze Dark, Windows style") << QList{breezeDark} << QStringLiteral("Windows");
}

void FormWindowTest::the_window_keeps_the_desktops_palette_where_it_reads_well()
{
    QFETCH(QList<QPalette>, desktop);
    QFETCH(QString, style);
    if (style.isEmpty() && isDark(desktop.last()))
        QSKIP("the desktop's palette is dark");

    if (!style.isEmpty())
        QApplication::setStyle(style);
    for (const QPalette& palette : desktop)
        QVERIFY(setDesktopPalette(palette));

    const QStringList changed = paletteDifferences(QApplication::palette(), window_->palette());
    QVERIFY2(changed.isEmpty(), qPrintable(changed.join(", ")));
}

void FormWindowTest::dark_palettes_leave_every_circle_outline_and_text_legible_data()
{
    QTest::addColumn<QPalette>("desktop");
    QTest::addColumn<QString>("given");

    const QString whileOpen = "while the window is open";
    QTest::newRow("Adwaita dark, Qt 6.4's GTK theme") << adwaitaDarkQt64 << whileOpen;
    QTest::newRow("Adwaita dark, GTK's colours") << adwaitaDarkGtk << whileOpen;
    QTest::newRow("Breeze Dark") << breezeDark << whileOpen;
    QTest::newRow("Breeze Dark, before the window opens") << breezeDark << "before it opens";
    QTest::newRow("dark blue-grey") << darkBlueGrey << whileOpen;
    QTest::newRow("white on black") << whiteOnBlack << whileOpen;
    // Run under a desktop's dark theme (see CMakeLists.txt).
    QTest::newRow("as the desktop gives it") << QApplication::palette() << "by the desktop";
}

void FormWindowTest::dark_palettes_leave_every_circle_outline_and_text_legible()
{
    QFETCH(QPalette, desktop);
    QFETCH(QString, given);
    constexpr double standsOut = 2.0; // as an option's circle does in the light look
    constexpr double readable = 4.5;

    if (given == "by the desktop") {
        if (!isDark(desktop) && qEnvironmentVariableIsEmpty("TARNWICK_TEST_DARK_DESKTOP"))
            QSKIP("the desktop's palette is light");
        QVERIFY2(isDark(desktop), "the desktop's theme gave a light palette");
    } else {
        QVERIFY(setDesktopPalette(desktop));
        if (given == "before it opens")
            QVERIFY(openWindow());
    }
    // The amounts shown too.
    QVERIFY(click("cmdCalculate"));
    QVERIFY(!labelText("lblTotalDue").isEmpty());

    const QImage picture = window_->grab().toImage();
    const tarnwick::test::DrawnContrast drawn(picture, *window_);
    const auto check = [](double measured, double wanted, const QString& what) {
        QVERIFY2(measured >= wanted, qPrintable(QStringLiteral("%1: %2 to 1").arg(what).arg(measured, 0, 'f', 2)));
    };
    for (const QRadioButton* option : window_->findChildren<QRadioButton*>()) {
        check(drawn.optionCircle(*option), standsOut, option->objectName() + "'s circle");
        if (option->isChecked())
            check(drawn.optionDot(*option), standsOut, option->objectName() + "'s dot");
        check(drawn.text(*option, drawn.optionCaption(*option)), readable, option->objectName() + "'s caption");
    }
    for (const QPushButton* button : window_->findChildren<QPushButton*>()) {
        check(drawn.buttonEdge(*button), standsOut, button->objectName() + "'s edge");
        check(
            drawn.text(*button, button->rect().adjusted(4, 4, -4, -4)), readable, button->objectName() + "'s caption");
    }
    for (const QLabel* label : window_->findChildren<QLabel*>())
        check(drawn.text(*label, label->rect()), readable, label->objectName());
    // A frame's own edge is a picture Fusion draws whatever the palette; its caption is text.
    for (const QGroupBox* frame : window_->findChildren<QGroupBox*>())
        check(drawn.text(*frame, QRect(0, 0, frame->width(), frame->contentsRect().top())), readable,
            frame->objectName() + "'s caption");

    // A box drawn as the window is.
    QVERIFY(click("cmdSummary"));
    const QList<ShownBox> shown = boxes_->takeBoxes();
    QCOMPARE(shown.size(), 1);
    const QStringList unlike = paletteDifferences(window_->palette(), shown[0].palette);
    QVERIFY2(unlike.isEmpty(), qPrintable("the box's palette: " + unlike.join(", ")));

    // Made lighter in the desktop's own hues.
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Button}) {
        const QColor fromDesktop = desktop.color(role);
        const QColor drawnWith = window_->palette().color(role);
        if (fromDesktop.hslSaturation() > 20)
            QVERIFY2(std::abs(fromDesktop.hslHue() - drawnWith.hslHue()) <= 3,
                qPrintable(fromDesktop.name() + " became " + drawnWith.name()));
    }
}

QTEST_MAIN(FormWindowTest)
#include "form_window_test.moc"
