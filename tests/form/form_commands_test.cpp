// The six command handlers over a recording platform, with no window: what
// each one reads, writes, counts and shows, and what happens when a step fails.

#include "form/form_commands.h"
#include "form/form_platform.h"
#include "form_test_environment.h"
#include "logic/run_time_error.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTest>

#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

using tarnwick::AmountLabel;
using tarnwick::Currency;
using tarnwick::FormCommands;
using tarnwick::MoneyFormat;
using tarnwick::SalesOption;

namespace tarnwick {
// Lets a failed comparison show the amounts.
char* toString(const Currency& value)
{
    return QTest::toString(QString::number(value.scaled()) + "/10000");
}
} // namespace tarnwick

namespace {

// The options as the operator names them; the first four form one group, the rest the other.
constexpr std::array<std::pair<const char*, SalesOption>, 7> options{{
    {"Makeover", SalesOption::optMakeover},
    {"Hair Styling", SalesOption::optHairStyling},
    {"Manicure", SalesOption::optManicure},
    {"Permanent Makeup", SalesOption::optPermanentMakeup},
    {"None", SalesOption::optNone},
    {"10%", SalesOption::opt10Percent},
    {"20%", SalesOption::opt20Percent},
}};
constexpr std::size_t services = 4;

QString nameOf(SalesOption option)
{
    for (const auto& [name, each] : options)
        if (each == option)
            return name;
    return "?";
}

// The United States' way of writing money, built by hand so the handlers are
// tested apart from the machine's regional settings.
MoneyFormat usEnglishMoney()
{
    MoneyFormat format;
    format.currencySymbol = "$";
    format.decimalPoint = ".";
    format.thousandsSeparator = ",";
    format.grouping = {3};
    format.fractionDigits = 2;
    format.positive = {true, MoneyFormat::Spacing::None, MoneyFormat::SignPosition::BeforeAll};
    format.negative = format.positive;
    return format;
}

enum class Failure { None, RunTimeError, OtherException, OutOfMemory, NotAnException };

// Stands in for the window: keeps the option groups and the labels as the
// window does, and records every question and order the handlers give it.
class RecordingPlatform final : public tarnwick::FormPlatform {
public:
    RecordingPlatform()
    {
        choose("Makeover");
        choose("None");
    }

    bool isSelected(SalesOption option) const override
    {
        questions << nameOf(option);
        return selected_.value(option);
    }
    void select(SalesOption option) override
    {
        selections << nameOf(option);
        choose(nameOf(option));
    }
    std::string labelText(AmountLabel label) const override { return labels_.value(label).toStdString(); }
    void setLabelText(AmountLabel label, const std::string& text) override
    {
        labelWrites << QString::fromStdString(text);
        labels_[label] = QString::fromStdString(text);
    }
    void focusCalculate() override { ++focusCalculateCalls; }
    // What was announced, with the two labels as they were at that moment.
    void announce(const std::string& text) override
    {
        announcements << QStringList{
            QString::fromStdString(text), label(AmountLabel::lblServicePrice), label(AmountLabel::lblTotalDue)};
    }
    void printForm() override
    {
        switch (printFailure) {
        case Failure::None:
            ++prints;
            return;
        case Failure::RunTimeError:
            throw tarnwick::RunTimeError::platformFailure("Print Form", "no default printer");
        case Failure::OtherException:
            throw std::runtime_error("the print system went away");
        case Failure::OutOfMemory:
            throw std::bad_alloc();
        case Failure::NotAnException:
            throw 42;
        }
    }
    void showInformation(const std::string& title, const std::string& text) override
    {
        boxTitles << QString::fromStdString(title);
        boxTexts << QString::fromStdString(text);
    }
    void reportRunTimeError(const std::string& message) override
    {
        errors << QString::fromStdString(message);
        if (reportingFails)
            throw std::runtime_error("no way left to tell the user");
    }
    void endProgram() override { ++endProgramCalls; }
    MoneyFormat moneyFormat() const override { return money; }

    // The operator's own choice, not a handler's: not recorded.
    void choose(const QString& name)
    {
        std::size_t chosen = 0;
        while (chosen < options.size() && options[chosen].first != name)
            ++chosen;
        QVERIFY2(chosen < options.size(), qPrintable("no option " + name));
        for (std::size_t i = 0; i < options.size(); ++i)
            if ((i < services) == (chosen < services))
                selected_[options[i].second] = i == chosen;
    }

    QString selected() const
    {
        QStringList names;
        for (const auto& [name, option] : options)
            if (selected_.value(option))
                names << name;
        return names.join('|');
    }
    QString label(AmountLabel label) const { return labels_.value(label); }

    // Forgets what was recorded so far; the window keeps its state.
    void forgetHistory()
    {
        for (QStringList* record : {&questions, &selections, &labelWrites, &boxTitles, &boxTexts, &errors})
            record->clear();
        announcements.clear();
        focusCalculateCalls = prints = endProgramCalls = 0;
    }

    mutable QStringList questions;
    QStringList selections;
    QStringList labelWrites;
    int focusCalculateCalls = 0;
    QList<QStringList> announcements;
    QStringList boxTitles;
    QStringList boxTexts;
    QStringList errors;
    int prints = 0;
    int endProgramCalls = 0;

    Failure printFailure = Failure::None;
    bool reportingFails = false;
    MoneyFormat money = usEnglishMoney();

private:
    QMap<SalesOption, bool> selected_;
    QMap<AmountLabel, QString> labels_;
};

Currency amount(double units)
{
    return Currency::fromScaled(std::llround(units * 10'000));
}

QString clearedWindow()
{
    return QStringLiteral("Makeover|None");
}

// The operator's steps: an option's name selects it, a button's name presses
// it, through the event loop's entry as the window does.
void perform(FormCommands& commands, RecordingPlatform& platform, const QStringList& steps)
{
    static const QMap<QString, FormCommands::Handler> buttons{
        {"Calculate", &FormCommands::cmdCalculate_Click},
        {"Clear", &FormCommands::cmdClear_Click},
        {"Next Patron", &FormCommands::cmdNext_Click},
        {"Summary", &FormCommands::cmdSummary_Click},
        {"Print Form", &FormCommands::cmdPrint_Click},
        {"Exit", &FormCommands::cmdExit_Click},
    };
    for (const QString& step : steps) {
        if (buttons.contains(step))
            commands.runFromEventLoop(buttons.value(step));
        else
            platform.choose(step);
    }
}

} // namespace

Q_DECLARE_METATYPE(Failure)

class FormCommandsTest : public QObject {
    Q_OBJECT

public:
    static void initMain() { tarnwick::test::isolateTestProcess(); }

private slots:
    void calculate_fills_both_labels_with_two_decimals_data();
    void calculate_fills_both_labels_with_two_decimals();
    void calculate_asks_coupons_first_then_services_until_one_is_selected_data();
    void calculate_asks_coupons_first_then_services_until_one_is_selected();
    void calculate_changes_no_selection_focus_or_tally();
    void labels_show_two_decimals_while_summary_follows_the_region();

    void next_patron_on_fresh_window_counts_makeover_and_clears();
    void next_patron_counts_the_current_selection_not_a_stale_total();
    void clear_leaves_tally_and_total_due_alone();

    void summary_counts_an_uncounted_patron_at_most_once_data();
    void summary_counts_an_uncounted_patron_at_most_once();
    void mixed_day_of_twelve_patrons_adds_up();

    void patron_32768_overflows_and_leaves_window_as_calculated_data();
    void patron_32768_overflows_and_leaves_window_as_calculated();
    void errors_are_reported_and_the_program_goes_on_data();
    void errors_are_reported_and_the_program_goes_on();
    void a_report_that_fails_is_not_fatal();
    void print_form_prints_and_changes_nothing();
    void exit_ends_the_program_without_showing_the_tally();
};

void FormCommandsTest::calculate_fills_both_labels_with_two_decimals_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<qint64>("totalDue");
    QTest::addColumn<QString>("spoken");

    QTest::newRow("Makeover, no coupon") << QStringList{"Makeover", "None"} << QStringList{"$125.00", "$125.00"}
                                         << qint64{1'250'000}
                                         << "Individual Service Price: $125.00, Total Due: $125.00";
    QTest::newRow("Makeover, 10%") << QStringList{"Makeover", "10%"} << QStringList{"$125.00", "$112.50"}
                                   << qint64{1'125'000} << "Individual Service Price: $125.00, Total Due: $112.50";
    QTest::newRow("Hair Styling, 20%") << QStringList{"Hair Styling", "20%"} << QStringList{"$60.00", "$48.00"}
                                       << qint64{480'000} << "Individual Service Price: $60.00, Total Due: $48.00";
    QTest::newRow("Permanent Makeup, 20%")
        << QStringList{"Permanent Makeup", "20%"} << QStringList{"$200.00", "$160.00"} << qint64{1'600'000}
        << "Individual Service Price: $200.00, Total Due: $160.00";
}

void FormCommandsTest::calculate_fills_both_labels_with_two_decimals()
{
    QFETCH(QStringList, selection);
    QFETCH(QStringList, labels);
    QFETCH(qint64, totalDue);
    QFETCH(QString, spoken);

    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, selection << "Calculate");

    QCOMPARE(platform.label(AmountLabel::lblServicePrice), labels[0]);
    QCOMPARE(platform.label(AmountLabel::lblTotalDue), labels[1]);
    QCOMPARE(commands.totalDue().scaled(), totalDue);
    // Announced once, after both labels show the amounts it speaks.
    QCOMPARE(platform.announcements, (QList<QStringList>{{spoken, labels[0], labels[1]}}));
    QCOMPARE(platform.errors, QStringList());
}

void FormCommandsTest::calculate_asks_coupons_first_then_services_until_one_is_selected_data()
{
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<QStringList>("questions");

    // Neither None nor Permanent Makeup is ever asked: each is what applies when nothing before it is selected.
    QTest::newRow("Makeover") << QStringList{"Makeover", "None"} << QStringList{"10%", "20%", "Makeover"};
    QTest::newRow("Hair Styling") << QStringList{"Hair Styling", "10%"}
                                  << QStringList{"10%", "20%", "Makeover", "Hair Styling"};
    QTest::newRow("Manicure") << QStringList{"Manicure", "20%"}
                              << QStringList{"10%", "20%", "Makeover", "Hair Styling", "Manicure"};
    QTest::newRow("Permanent Makeup") << QStringList{"Permanent Makeup", "None"}
                                      << QStringList{"10%", "20%", "Makeover", "Hair Styling", "Manicure"};
}

void FormCommandsTest::calculate_asks_coupons_first_then_services_until_one_is_selected()
{
    QFETCH(QStringList, selection);
    QFETCH(QStringList, questions);

    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, selection << "Calculate");

    QCOMPARE(platform.questions, questions);
}

void FormCommandsTest::calculate_changes_no_selection_focus_or_tally()
{
    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, {"Next Patron", "Hair Styling", "20%"});
    platform.forgetHistory();

    perform(commands, platform, {"Calculate", "Calculate"});

    QCOMPARE(platform.selected(), QStringLiteral("Hair Styling|20%"));
    QCOMPARE(platform.selections, QStringList());
    QCOMPARE(platform.focusCalculateCalls, 0);
    QCOMPARE(commands.numberOfClients(), std::int16_t{1});
    QCOMPARE(commands.totalOfServices(), amount(125));
    // Calculating again replaces the total due; nothing accumulates.
    QCOMPARE(commands.totalDue(), amount(48));
    QCOMPARE(platform.boxTexts, QStringList());
    // The same amounts again are announced again: the operator asked.
    const QStringList spoken{"Individual Service Price: $60.00, Total Due: $48.00", "$60.00", "$48.00"};
    QCOMPARE(platform.announcements, (QList<QStringList>{spoken, spoken}));
}

void FormCommandsTest::labels_show_two_decimals_while_summary_follows_the_region()
{
    RecordingPlatform platform;
    platform.money.currencySymbol = "\xC2\xA5";
    platform.money.fractionDigits = 0;
    FormCommands commands(platform);

    perform(commands, platform, {"Hair Styling", "10%", "Calculate"});
    QCOMPARE(platform.label(AmountLabel::lblTotalDue), QStringLiteral("\u00A554.00"));

    perform(commands, platform, {"Summary"});
    QCOMPARE(platform.boxTexts, QStringList{"Number of Clients: 1\r\nTotal of Services: \u00A554"});
}

void FormCommandsTest::next_patron_on_fresh_window_counts_makeover_and_clears()
{
    RecordingPlatform platform;
    FormCommands commands(platform);

    perform(commands, platform, {"Next Patron"});

    QCOMPARE(commands.numberOfClients(), std::int16_t{1});
    QCOMPARE(commands.totalOfServices(), amount(125));
    // Calculated in full first (price, then total due), then cleared.
    QCOMPARE(platform.labelWrites, (QStringList{"$125.00", "$125.00", "", ""}));
    // Its Calculate asks for the announcement; the window drops it once the labels are cleared.
    QCOMPARE(platform.announcements,
        (QList<QStringList>{{"Individual Service Price: $125.00, Total Due: $125.00", "$125.00", "$125.00"}}));
    QCOMPARE(platform.label(AmountLabel::lblServicePrice), QString());
    QCOMPARE(platform.label(AmountLabel::lblTotalDue), QString());
    QCOMPARE(platform.selections, (QStringList{"None", "Makeover"}));
    QCOMPARE(platform.focusCalculateCalls, 1);
    QCOMPARE(platform.boxTexts, QStringList());
    QCOMPARE(platform.errors, QStringList());
}

void FormCommandsTest::next_patron_counts_the_current_selection_not_a_stale_total()
{
    RecordingPlatform platform;
    FormCommands commands(platform);

    perform(commands, platform, {"Makeover", "10%", "Calculate"});
    QCOMPARE(commands.totalDue(), amount(112.5));
    perform(commands, platform, {"Manicure", "Next Patron"});

    QCOMPARE(commands.numberOfClients(), std::int16_t{1});
    QCOMPARE(commands.totalOfServices(), amount(31.5));
    QCOMPARE(platform.selected(), clearedWindow());
}

void FormCommandsTest::clear_leaves_tally_and_total_due_alone()
{
    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, {"Next Patron", "Hair Styling", "20%", "Calculate"});
    platform.forgetHistory();

    perform(commands, platform, {"Clear"});

    QCOMPARE(commands.numberOfClients(), std::int16_t{1});
    QCOMPARE(commands.totalOfServices(), amount(125));
    QCOMPARE(commands.totalDue(), amount(48));
    QCOMPARE(platform.labelWrites, (QStringList{"", ""}));
    QCOMPARE(platform.selections, (QStringList{"None", "Makeover"}));
    QCOMPARE(platform.selected(), clearedWindow());
    QCOMPARE(platform.focusCalculateCalls, 1);
    QCOMPARE(platform.questions, QStringList());
    QCOMPARE(platform.announcements, QList<QStringList>());
}

void FormCommandsTest::summary_counts_an_uncounted_patron_at_most_once_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("clients");
    QTest::addColumn<QStringList>("boxTexts");

    const QString none = "Number of Clients: 0\r\nTotal of Services: $0.00";
    const QString one = "Number of Clients: 1\r\nTotal of Services: $125.00";
    QTest::newRow("fresh window") << QStringList{"Summary"} << 0 << QStringList{none};
    QTest::newRow("Calculate, Summary counts the patron")
        << QStringList{"Calculate", "Summary"} << 1 << QStringList{one};
    QTest::newRow("Summary twice counts once, same text")
        << QStringList{"Calculate", "Summary", "Summary"} << 1 << QStringList{one, one};
    QTest::newRow("Calculate, Clear, Summary counts nobody")
        << QStringList{"Calculate", "Clear", "Summary"} << 0 << QStringList{none};
    QTest::newRow("Next Patron, Summary counts nobody more") << QStringList{"Hair Styling", "10%", "Next Patron",
        "Summary"} << 1 << QStringList{"Number of Clients: 1\r\nTotal of Services: $54.00"};
    QTest::newRow("Summary recalculates from the current selection") << QStringList{"Makeover", "10%", "Calculate",
        "Manicure", "Summary"} << 1 << QStringList{"Number of Clients: 1\r\nTotal of Services: $31.50"};
    QTest::newRow("the tally grows after a summary") << QStringList{"Next Patron", "Summary", "Manicure", "Calculate",
        "Summary"} << 2 << QStringList{one, "Number of Clients: 2\r\nTotal of Services: $160.00"};
}

void FormCommandsTest::summary_counts_an_uncounted_patron_at_most_once()
{
    QFETCH(QStringList, steps);
    QFETCH(int, clients);
    QFETCH(QStringList, boxTexts);

    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, steps);

    QCOMPARE(int{commands.numberOfClients()}, clients);
    QCOMPARE(platform.boxTexts, boxTexts);
    QCOMPARE(platform.boxTitles, QStringList(boxTexts.size(), "Client Summary"));
    // A summary that counted someone also cleared the window.
    QCOMPARE(platform.label(AmountLabel::lblTotalDue), QString());
    QCOMPARE(platform.selected(), clearedWindow());
    QCOMPARE(platform.errors, QStringList());
}

void FormCommandsTest::mixed_day_of_twelve_patrons_adds_up()
{
    struct Patron {
        const char* service;
        const char* coupon;
        const char* countedBy; // Summary counts only a patron whose total is on show
        double totalDue;
    };
    constexpr std::array<Patron, 12> day{{
        {"Makeover", "None", "Next Patron", 125.00},
        {"Makeover", "10%", "Summary", 112.50},
        {"Makeover", "20%", "Next Patron", 100.00},
        {"Hair Styling", "None", "Next Patron", 60.00},
        {"Hair Styling", "10%", "Summary", 54.00},
        {"Hair Styling", "20%", "Next Patron", 48.00},
        {"Manicure", "None", "Summary", 35.00},
        {"Manicure", "10%", "Next Patron", 31.50},
        {"Manicure", "20%", "Next Patron", 28.00},
        {"Permanent Makeup", "None", "Summary", 200.00},
        {"Permanent Makeup", "10%", "Next Patron", 180.00},
        {"Permanent Makeup", "20%", "Summary", 160.00},
    }};

    RecordingPlatform platform;
    FormCommands commands(platform);
    Currency expected;
    for (const Patron& patron : day) {
        QStringList steps{patron.service, patron.coupon};
        if (QString(patron.countedBy) == "Summary")
            steps << "Calculate";
        perform(commands, platform, steps << patron.countedBy);
        expected = expected + amount(patron.totalDue);
        QVERIFY2(commands.totalOfServices() == expected, patron.service);
    }
    perform(commands, platform, {"Summary"});

    QCOMPARE(commands.numberOfClients(), std::int16_t{12});
    QCOMPARE(platform.boxTexts.last(), QStringLiteral("Number of Clients: 12\r\nTotal of Services: $1,134.00"));
    QCOMPARE(platform.errors, QStringList());
}

void FormCommandsTest::patron_32768_overflows_and_leaves_window_as_calculated_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("by Next Patron") << QStringList{"Hair Styling", "10%", "Next Patron"};
    QTest::newRow("by Summary after Calculate") << QStringList{"Hair Styling", "10%", "Calculate", "Summary"};
}

void FormCommandsTest::patron_32768_overflows_and_leaves_window_as_calculated()
{
    QFETCH(QStringList, steps);

    RecordingPlatform platform;
    FormCommands commands(platform);
    for (int patron = 0; patron < 32767; ++patron)
        commands.cmdNext_Click();
    QCOMPARE(commands.numberOfClients(), std::int16_t{32767});
    QCOMPARE(commands.totalOfServices(), amount(4'095'875));
    platform.forgetHistory();

    perform(commands, platform, steps);

    QCOMPARE(platform.errors, QStringList{"Overflow"});
    // All or nothing: neither the count nor the total moved.
    QCOMPARE(commands.numberOfClients(), std::int16_t{32767});
    QCOMPARE(commands.totalOfServices(), amount(4'095'875));
    // The window stays as Calculate left it; nothing was cleared or shown.
    QCOMPARE(platform.label(AmountLabel::lblServicePrice), QStringLiteral("$60.00"));
    QCOMPARE(platform.label(AmountLabel::lblTotalDue), QStringLiteral("$54.00"));
    QCOMPARE(platform.selected(), QStringLiteral("Hair Styling|10%"));
    QCOMPARE(platform.focusCalculateCalls, 0);
    QCOMPARE(platform.boxTexts, QStringList());

    // The program goes on: once cleared, the summary shows the full day.
    perform(commands, platform, {"Clear", "Summary"});
    QCOMPARE(platform.boxTexts, QStringList{"Number of Clients: 32767\r\nTotal of Services: $4,095,875.00"});
    QCOMPARE(platform.errors.size(), 1);
}

void FormCommandsTest::errors_are_reported_and_the_program_goes_on_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("report");

    QTest::newRow("no default printer") << Failure::RunTimeError << "Print Form failed: no default printer";
    QTest::newRow("any other exception") << Failure::OtherException << "the print system went away";
    QTest::newRow("out of memory") << Failure::OutOfMemory << "std::bad_alloc";
    QTest::newRow("something not an exception") << Failure::NotAnException << "Unexpected error";
}

void FormCommandsTest::errors_are_reported_and_the_program_goes_on()
{
    QFETCH(Failure, failure);
    QFETCH(QString, report);

    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, {"Next Patron", "Manicure", "Calculate"});
    platform.printFailure = failure;

    perform(commands, platform, {"Print Form"});

    QCOMPARE(platform.errors, QStringList{report});
    QCOMPARE(commands.numberOfClients(), std::int16_t{1});
    QCOMPARE(commands.totalOfServices(), amount(125));
    QCOMPARE(platform.label(AmountLabel::lblTotalDue), QStringLiteral("$35.00"));

    perform(commands, platform, {"Next Patron"});
    QCOMPARE(commands.numberOfClients(), std::int16_t{2});
    QCOMPARE(commands.totalOfServices(), amount(160));
    QCOMPARE(platform.errors.size(), 1);
}

void FormCommandsTest::a_report_that_fails_is_not_fatal()
{
    RecordingPlatform platform;
    FormCommands commands(platform);
    platform.printFailure = Failure::RunTimeError;
    platform.reportingFails = true;

    // runFromEventLoop is noexcept: anything escaping it would end the process here.
    perform(commands, platform, {"Print Form", "Next Patron"});

    QCOMPARE(platform.errors.size(), 1);
    QCOMPARE(commands.numberOfClients(), std::int16_t{1});
}

void FormCommandsTest::print_form_prints_and_changes_nothing()
{
    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, {"20%", "Calculate"});
    platform.forgetHistory();

    perform(commands, platform, {"Print Form"});

    QCOMPARE(platform.prints, 1);
    QCOMPARE(platform.labelWrites + platform.selections + platform.questions + platform.errors, QStringList());
    QCOMPARE(platform.focusCalculateCalls, 0);
    QCOMPARE(platform.label(AmountLabel::lblTotalDue), QStringLiteral("$100.00"));
}

void FormCommandsTest::exit_ends_the_program_without_showing_the_tally()
{
    RecordingPlatform platform;
    FormCommands commands(platform);
    perform(commands, platform, {"Next Patron", "Calculate"});
    platform.forgetHistory();

    perform(commands, platform, {"Exit"});

    QCOMPARE(platform.endProgramCalls, 1);
    QCOMPARE(platform.boxTexts + platform.labelWrites, QStringList());
    QCOMPARE(platform.prints, 0);
}

QTEST_APPLESS_MAIN(FormCommandsTest)
#include "form_commands_test.moc"
