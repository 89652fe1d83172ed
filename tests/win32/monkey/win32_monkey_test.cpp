// Monkey test of the Win32 window, under Wine: the real frmTarnwick2 and its
// dialog manager, in this process, take a long seeded random stream of key
// presses (Tab, Shift+Tab, arrows, space, Enter, Esc and every access key but
// Exit's) and clicks (every button but Exit and Print Form), drawn from the
// rules the Qt monkey uses too (tests/monkey/monkey_rules.h). Keys are posted
// to the focused control as the keyboard's are and taken off the queue by the
// program's own message handling; clicks are BM_CLICK; boxes are answered as
// they open. After every event the window must still add up: one option
// selected in each group, the two amounts both empty or both filled, and the
// tally equal to what the model, kept from the price table, says every
// counted patron owed. Which command an event runs is worked out from the
// action and the focus before it, not from the handlers, and its effect is
// checked: Calculate's two texts, a count and a clearing, a summary box
// reading the model's tally; an event that runs no command leaves both
// amounts as they were.
//
// The stream is chosen by two environment variables:
//   TARNWICK_MONKEY_SEED    the random seed (default 20240611)
//   TARNWICK_MONKEY_EVENTS  how many events (default 3000)
// A long run, e.g. 100,000 events, from the Windows build (windows preset),
// in a copy of the prepared prefix, on a display of its own:
//   tests/win32/make-wine-prefix build/windows/wine-prefix
//   export TARNWICK_MONKEY_SEED=7 TARNWICK_MONKEY_EVENTS=100000
//   xvfb-run -a tests/win32/with-wine build/windows/wine-prefix build/windows/bin/windows_monkey_test.exe
// A failure names the seed, the event and the events before it. The same
// seed gives the same events.

#include "form/form_layout.h"
#include "form/win32/form_printer.h"
#include "form/win32/frm_tarnwick2.h"
#include "form/win32/windows_money_format.h"
#include "tests/monkey/monkey_rules.h"
#include "tests/win32/monkey/box_answerer.h"
#include "tests/win32/monkey/operator_input.h"
#include "tests/win32/monkey/window_test.h"
#include "tests/win32/test_utf.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::monkey {

namespace {

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const std::uint64_t value = std::strtoull(text, &end, 10);
    if (*end != '\0')
        throw std::invalid_argument(std::string(name) + " is not a number: " + text);
    return value;
}

// The model's texts in UTF-16, converted apart from the binding's converter.
using test::utf16;
using test::utf8;

LayoutRow rowOf(std::string_view name)
{
    const std::optional<LayoutRow> row = rowNamed(name);
    if (!row)
        throw std::invalid_argument("the layout has no control " + std::string(name));
    return *row;
}

// What the window shows before an event, which the command it runs works from.
struct Before {
    std::string focus;
    Selection selection;
    std::wstring price;
    std::wstring total;
    int boxes = 0;
};

class Win32MonkeyTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        boxes_ = std::make_unique<BoxAnswerer>(form_->handle());
        money_ = userMoneyFormat();
        ASSERT_TRUE(showActive()) << "the window never became the active window";
    }

    void TearDown() override
    {
        boxes_.reset();
        WindowTest::TearDown();
    }

    std::string focus() const
    {
        const std::optional<LayoutRow> row = form_->focusedRow();
        return row ? std::string(formLayout[*row].name) : std::string();
    }
    bool isChecked(std::string_view option) const { return form_->isChecked(rowOf(option)); }
    std::wstring text(std::string_view label) const { return form_->text(rowOf(label)); }
    Selection selection() const
    {
        return selectionOf([this](std::string_view option) { return isChecked(option); });
    }

    void problem(std::string what) { problems_.push_back(std::move(what)); }
    Before before() const;
    void expectCommand(std::string_view command, const Before& at);
    void checkCommand(std::string_view command, const Before& at);
    void checkCleared(std::string_view after);
    std::string brokenInvariant() const;

    std::unique_ptr<BoxAnswerer> boxes_;
    MoneyFormat money_;
    Tally tally_;
    std::vector<std::string> problems_;
};

Before Win32MonkeyTest::before() const
{
    return {focus(), selection(), text("lblServicePrice"), text("lblTotalDue"), boxes_->boxesAnswered()};
}

// A count is due when the command starts; Summary's box opens and is checked
// while the command is still running.
void Win32MonkeyTest::expectCommand(std::string_view command, const Before& at)
{
    if (command == "cmdNext")
        tally_.count(at.selection.totalDue);
    if (command == "cmdSummary") {
        // A filled total due is a calculated patron not yet counted.
        if (!at.total.empty())
            tally_.count(at.selection.totalDue);
        boxes_->expect(
            utf16(std::string(summaryTitle)), utf16(expectedSummary(tally_.clients(), tally_.services(), money_)));
    }
}

void Win32MonkeyTest::checkCommand(std::string_view command, const Before& at)
{
    const int boxes = boxes_->boxesAnswered() - at.boxes;
    const std::string amounts = "the amounts went from \"" + utf8(at.price) + "\" and \"" + utf8(at.total) + "\" to \""
        + utf8(text("lblServicePrice")) + "\" and \"" + utf8(text("lblTotalDue")) + "\"";
    if (boxes_->forgetExpected())
        problem("Summary was due and showed no box; " + amounts);
    else if (boxes != (command == "cmdSummary" ? 1 : 0))
        problem(std::to_string(boxes) + " boxes opened");

    if (command.empty()) {
        if (text("lblServicePrice") != at.price || text("lblTotalDue") != at.total)
            problem("no command was due and " + amounts);
    } else if (command == "cmdCalculate") {
        const std::wstring price = utf16(amountText(at.selection.price, money_));
        const std::wstring total = utf16(amountText(at.selection.totalDue, money_));
        if (text("lblServicePrice") != price || text("lblTotalDue") != total)
            problem("Calculate showed \"" + utf8(text("lblServicePrice")) + "\" and \"" + utf8(text("lblTotalDue"))
                + "\", the selection gives \"" + utf8(price) + "\" and \"" + utf8(total) + "\"");
        if (form_->commands().totalDue().scaled() != at.selection.totalDue)
            problem("Calculate stored a total due of " + std::to_string(form_->commands().totalDue().scaled())
                + "/10000, the selection gives " + std::to_string(at.selection.totalDue) + "/10000");
    } else if (command == "cmdNext" || command == "cmdClear" || (command == "cmdSummary" && !at.total.empty())) {
        checkCleared(command);
    }
}

void Win32MonkeyTest::checkCleared(std::string_view after)
{
    if (!text("lblServicePrice").empty() || !text("lblTotalDue").empty() || !isChecked(clearedService)
        || !isChecked(clearedCoupon))
        problem(std::string(after) + " did not clear the window to Makeover, no coupon and empty amounts");
    if (focus() != focusAfterClearing)
        problem("after " + std::string(after) + " the focus is on " + (focus().empty() ? "nothing" : focus())
            + ", not on Calculate");
}

std::string Win32MonkeyTest::brokenInvariant() const
{
    if (input_->quitPosted() || !IsWindowVisible(form_->handle()))
        return "the window has ended";
    const Selection now = selection();
    if (now.servicesSelected != 1)
        return std::to_string(now.servicesSelected) + " services are selected";
    if (now.couponsSelected != 1)
        return std::to_string(now.couponsSelected) + " coupons are selected";
    if (text("lblServicePrice").empty() != text("lblTotalDue").empty())
        return "one amount is filled and the other empty";
    if (form_->commands().numberOfClients() != tally_.clients())
        return std::to_string(form_->commands().numberOfClients()) + " clients counted, the model says "
            + std::to_string(tally_.clients());
    if (form_->commands().totalOfServices().scaled() != tally_.services())
        return "a total of services of " + std::to_string(form_->commands().totalOfServices().scaled())
            + "/10000, the model says " + std::to_string(tally_.services()) + "/10000";
    if (BoxAnswerer::anyBoxOpen())
        return "a box is still open";
    return {};
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : std::string(separator)) + part;
    return text;
}

TEST_F(Win32MonkeyTest, randomStreamKeepsTheWindowConsistent)
{
    const std::uint64_t seed = environmentNumber("TARNWICK_MONKEY_SEED", 20240611);
    const std::uint64_t events = environmentNumber("TARNWICK_MONKEY_EVENTS", 3000);
    ActionStream stream(seed);
    ASSERT_EQ(brokenInvariant(), "");

    // The monkey's own keys first: Shift must reach the window held, or
    // every Shift+Tab would be a Tab. Tab and back leaves the window as it was.
    const std::string start = focus();
    input_->press(Key::Tab);
    const std::string afterTab = focus();
    input_->press(Key::ShiftTab);
    ASSERT_NE(afterTab, start) << "Tab did not move the focus";
    ASSERT_EQ(focus(), start) << "Shift+Tab from " << afterTab << " did not go back";

    const auto started = std::chrono::steady_clock::now();
    int reactivations = 0;
    std::deque<std::string> recent;
    for (std::uint64_t event = 1; event <= events; ++event) {
        // A lost activation would send the keys nowhere: it is restored, and counted.
        if (GetForegroundWindow() != form_->handle()) {
            ASSERT_TRUE(makeActive()) << "the window cannot be made active again";
            ++reactivations;
        }

        const ActionStream::Action action = stream.next();
        const Before at = before();
        std::string done;
        std::string_view command;
        if (action.key) {
            const KeyAction& sent = keyToSend(*action.key, at.focus);
            command = commandOfKey(sent, at.focus);
            done = std::string(sent.name) + (&sent == action.key ? "" : " (for " + std::string(action.key->name) + ")")
                + " on " + (at.focus.empty() ? "nothing" : at.focus);
            expectCommand(command, at);
            input_->press(sent.key);
            if (!sent.selects.empty() && !isChecked(sent.selects))
                problem(std::string(sent.name) + " left " + std::string(sent.selects) + " clear");
        } else {
            command = commandOfClick(action.clicked);
            done = "click " + std::string(action.clicked);
            expectCommand(command, at);
            input_->click(action.clicked);
            if (command.empty() && !isChecked(action.clicked))
                problem("a click on " + std::string(action.clicked) + " left it clear");
        }
        checkCommand(command, at);
        for (std::string& found : boxes_->takeProblems())
            problem(std::move(found));

        recent.push_back(std::to_string(event) + ": " + done);
        if (recent.size() > 12)
            recent.pop_front();
        const std::string broken = problems_.empty() ? brokenInvariant() : joined(problems_, "; ");
        if (!broken.empty())
            FAIL() << "seed " << seed << ", after event " << event << ": " << broken
                   << "\nlast events: " << joined({recent.begin(), recent.end()}, ", ");
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("seed %llu: %llu events in %.1f s, %d patrons counted, %d summary boxes, %d reactivations\n",
        static_cast<unsigned long long>(seed), static_cast<unsigned long long>(events), seconds, tally_.clients(),
        boxes_->boxesAnswered(), reactivations);
}

// Print Form's end when StartDoc refuses the job: the monkey never prints,
// and Wine's own "Print to File" box prints all the same when cancelled
// (the black-box print scenario), so the choice is checked here, where
// Windows' error comes in. A cancel in the printer's own box ends quietly;
// any other refusal says what failed and Windows' reason for it.
struct RefusedJob {
    DWORD error;
    bool quiet;
    const char* reasonStart; // what the box says first; Windows' own words follow
};

TEST(PrintFormRefusedJob, onlyTheUsersCancelEndsQuietly)
{
    const RefusedJob rows[] = {
        {ERROR_CANCELLED, true, nullptr},
        // A job deleted in the queue, not cancelled by the user in the box.
        {ERROR_PRINT_CANCELLED, false, "the job could not be handed to the printer: "},
        {ERROR_ACCESS_DENIED, false, "the job could not be handed to the printer: "},
        {ERROR_NOT_ENOUGH_MEMORY, false, "the job could not be handed to the printer: "},
        // Windows has no words for it.
        {0x2000FFFF, false, "the job could not be handed to the printer: Windows error 536936447"},
        // StartDoc failed without saying why.
        {ERROR_SUCCESS, false, "the job could not be handed to the printer"},
    };
    for (const RefusedJob& row : rows) {
        const std::optional<std::string> reason = refusedJobReason(row.error);
        SCOPED_TRACE("error " + std::to_string(row.error));
        ASSERT_EQ(!reason, row.quiet) << reason.value_or("(quiet)");
        if (row.quiet)
            continue;
        const std::string said = reason.value_or("");
        const std::string start = row.reasonStart;
        EXPECT_EQ(said.substr(0, start.size()), start);
        // The system's message, whole, with its line break trimmed.
        if (start.ends_with(": ")) {
            EXPECT_GT(said.size(), start.size() + 3);
        }
        EXPECT_FALSE(said.ends_with("\n") || said.ends_with("\r") || said.ends_with(" ")) << said;
    }
}

} // namespace

} // namespace tarnwick::monkey
