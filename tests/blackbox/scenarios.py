"""What an operator does with the window, and what a screen reader must then find.

Each scenario starts the program afresh (unless it says otherwise), works it with
real X key presses and mouse clicks, and checks what AT-SPI reports. Tables of
cases are spelled out as data; each row becomes its own scenario.
"""

import os
import re
import subprocess
import sys
import time
from dataclasses import dataclass, field
from decimal import Decimal

HERE = os.path.dirname(os.path.abspath(__file__))
PRINT_HELPERS = os.path.join(os.path.dirname(HERE), "print")
sys.path.insert(0, PRINT_HELPERS)

import money_oracle  # noqa: E402
import papers  # noqa: E402
from harness import ScenarioFailure, SetupError  # noqa: E402

# --------------------------------------------------------------------------
# The salon's price list and the texts the window shows for it

PRICES = {"Makeover": Decimal("125"), "Hair Styling": Decimal("60"),
          "Manicure": Decimal("35"), "Permanent Makeup": Decimal("200")}
RATES = {"None": Decimal("0"), "10%": Decimal("0.1"), "20%": Decimal("0.2")}
SERVICES = list(PRICES)
COUPONS = list(RATES)
BUTTONS = ["Calculate", "Next Patron", "Clear", "Print Form", "Summary", "Exit"]
OPENING = ["Makeover", "None"]
NO_LABELS = {"Individual Service Price": "", "Total Due": ""}


def total_due(service, coupon):
    return PRICES[service] - PRICES[service] * RATES[coupon]


def usd(amount):
    """An amount as en_US.UTF-8 writes money."""
    return f"${amount:,.2f}"


def summary_text(count, total_text):
    return f"Number of Clients: {count}\r\nTotal of Services: {total_text}"


@dataclass
class Scenario:
    name: str
    run: object
    cups: str = None  # None, "printer" or "no-printer": run under the private print scheduler


SCENARIOS = []


def scenario(name, cups=None):
    def register(function):
        SCENARIOS.append(Scenario(name, function, cups))
        return function
    return register


# --------------------------------------------------------------------------
# The operator


class Operator:
    """One run of the program and the hands and ears that work it."""

    def __init__(self, ctx, env=None):
        self.ctx = ctx
        self.app = ctx.launch(env)

    # -- seeing

    def see(self, predicate, what, timeout=8.0):
        return self.app.wait_for(predicate, what, timeout)

    def see_labels(self, price, total):
        wanted = {"Individual Service Price": price, "Total Due": total}
        return self.see(lambda s: s.labels() == wanted and not s.boxes,
                        f"amount labels {wanted}")

    def see_selection(self, *names):
        wanted = sorted(names)
        return self.see(lambda s: s.checked() == wanted, f"exactly {wanted} selected")

    def see_focus(self, name):
        return self.see(lambda s: s.focused() == name and not s.boxes, f"focus on {name!r}")

    def see_cleared(self):
        """The window as Clear leaves it."""
        return self.see(lambda s: s.labels() == NO_LABELS and s.checked() == OPENING
                        and s.focused() == "Calculate" and not s.boxes
                        and "active" in s.main.node.states,
                        "labels empty, Makeover and None selected, focus on Calculate")

    def barrier(self):
        """Proves that every key and click sent so far has been handled and the
        window is still open and working: Tab and Shift+Tab must move the focus
        away and back (X events reach the program in order)."""
        start = self.see(lambda s: s.focused() and "active" in s.main.node.states and not s.boxes,
                         "an active window with a focused control").focused()
        self.app.key("Tab")
        self.see(lambda s: s.focused() not in (None, start), f"Tab to move the focus from {start!r}")
        self.app.key("shift+Tab")
        self.see_focus(start)

    # -- doing

    def key(self, *keys):
        self.app.key(*keys)

    def click(self, name):
        self.app.click_control(name)

    def focus_by_tab(self, name, limit=10):
        """Tabs until `name` has the focus, watching each step land."""
        for _ in range(limit):
            before = self.app.snapshot().focused()
            if before == name:
                return
            self.app.key("Tab")
            self.see(lambda s, b=before: s.focused() not in (None, b),
                     f"Tab to move the focus on from {before!r}")
        self.see_focus(name)

    def select_by_keys(self, service):
        """From a cleared window: Shift+Tab from Calculate back to Makeover, then
        Down to the service (the services' screen order and tab order agree)."""
        self.see_focus("Calculate")
        self.key("shift+Tab")
        self.see(lambda s: s.focused() == "Makeover" and s.radios()["Makeover"],
                 "Shift+Tab from Calculate to the selected Makeover")
        for _ in range(SERVICES.index(service)):
            self.key("Down")
        self.see(lambda s: s.focused() == service and s.radios()[service],
                 f"{service} selected and focused by the arrow keys")

    def open_summary(self, how="click"):
        """Presses Summary (by a click, or by a key with the focus on it); returns
        the text of the box it opens."""
        if how == "click":
            self.click("Summary")
        elif how:
            self.focus_by_tab("Summary")
            self.key(how)
        snapshot = self.see(lambda s: len(s.boxes) == 1 and "active" in s.boxes[0].node.states,
                            "one active message box")
        box = snapshot.boxes[0]
        if box.title != "Client Summary" or box.node.role != "alert":
            raise ScenarioFailure(f"expected the alert 'Client Summary', saw {box.node.role} "
                                  f"{box.title!r}\n{snapshot.describe()}")
        buttons = box.find(role="push button")
        # The desktop names the box's button in the user's language (Plasma's
        # theme in French: "Ok"); in English it is OK.
        english = self.app.env.get("LANG", "").startswith("en")
        if len(buttons) != 1 or "is default" not in buttons[0].states or (english and buttons[0].name != "OK"):
            raise ScenarioFailure("the summary box must have exactly one button, OK (its default)\n"
                                  + snapshot.describe())
        return box.text()

    def close_box(self):
        self.see(lambda s: s.boxes and "active" in s.boxes[0].node.states, "an active message box")
        self.key("Return")
        self.see(lambda s: not s.boxes and "active" in s.main.node.states,
                 "the box closed and the window active again")

    def expect_summary(self, text, how="click"):
        seen = self.open_summary(how)
        if seen != text:
            raise ScenarioFailure(f"summary text: expected {text!r}, saw {seen!r}")
        self.close_box()

    def expect_exit(self, status=0, timeout=10):
        seen = self.app.wait_exit(timeout)
        if seen != status:
            raise ScenarioFailure(f"expected exit status {status}, saw {seen}\n{self.app.log_tail()}")

    def serve_patron(self, service, coupon, how):
        """Serves one patron from a cleared window and checks the window after each step."""
        if how == "keys":
            if service != "Makeover":
                self.select_by_keys(service)
            if coupon != "None":
                self.key("alt+1" if coupon == "10%" else "alt+2")
            # As the operator would: look before pressing Enter.
            self.see_selection(service, coupon)
            self.key("Return")
        else:
            if service != "Makeover":
                self.click(service)
            if coupon != "None":
                self.click(coupon)
            self.see_selection(service, coupon)
            self.click("Calculate")
        self.see_labels(usd(PRICES[service]), usd(total_due(service, coupon)))
        if how == "keys":
            self.focus_by_tab("Next Patron")
            self.key("space")
        else:
            self.click("Next Patron")
        self.see_cleared()


# --------------------------------------------------------------------------
# Opening state, focus order, default and cancel buttons, access keys


@scenario("opening_state")
def opening_state(ctx):
    user = Operator(ctx)
    snapshot = user.see(lambda s: s.focused() == "Makeover", "focus on Makeover at opening")
    problems = []
    main = snapshot.main
    if main.title != "Tarnwick":
        problems.append(f"window title {main.title!r}")
    if snapshot.radios() != {name: name in OPENING for name in SERVICES + COUPONS}:
        problems.append(f"options {snapshot.radios()}")
    if snapshot.labels() != NO_LABELS:
        problems.append(f"amount labels {snapshot.labels()}")
    buttons = sorted(n.name for n in main.find(role="push button"))
    if buttons != sorted(BUTTONS):
        problems.append(f"buttons {buttons}")
    defaults = [n.name for n in main.find(role="push button") if "is default" in n.states]
    if defaults != ["Calculate"]:
        problems.append(f"default buttons {defaults}")
    captions = {n.name for n in main.find(role="label")}
    if not {"Individual Service Price:", "Total Due:"} <= captions:
        problems.append(f"label captions {sorted(captions)}")
    if snapshot.boxes:
        problems.append("a box is open")
    if problems:
        raise ScenarioFailure("at opening: " + "; ".join(problems) + "\n" + snapshot.describe())


TAB_CYCLES = [
    # (case, clicks before the walk, the focus stops from the first one round to it again)
    ("opening selections", [],
     ["Makeover", "Calculate", "Clear", "Print Form", "Exit", "None", "Next Patron", "Summary",
      "Makeover"]),
    ("10% coupon", ["10%", "Makeover"],
     ["Makeover", "10%", "Calculate", "Clear", "Print Form", "Exit", "Next Patron", "Summary",
      "Makeover"]),
    ("Hair Styling and 20%", ["20%", "Hair Styling"],
     ["Hair Styling", "20%", "Calculate", "Clear", "Print Form", "Exit", "Next Patron", "Summary",
      "Hair Styling"]),
]

for case, clicks, stops in TAB_CYCLES:
    @scenario(f"tab_cycle[{case}]")
    def tab_cycle(ctx, clicks=clicks, stops=stops):
        user = Operator(ctx)
        for name in clicks:
            user.click(name)
        user.see_focus(stops[0])
        for direction, sequence in (("Tab", stops), ("shift+Tab", stops[::-1])):
            for step, name in enumerate(sequence[1:], 1):
                user.key(direction)
                user.see(lambda s, n=name: s.focused() == n,
                         f"{direction} #{step} from {sequence[step - 1]!r} to land on {name!r}")


@dataclass
class EnterCase:
    case: str
    prepare: list           # ("click", name) / ("key", key, selection it makes) / ("tab", name)
    check: object           # what must follow Enter, given the operator
    focus_after: str = None  # where Enter leaves the focus, if it stays put
    exits: bool = False


def _calculated(service, coupon):
    return lambda user: user.see_labels(usd(PRICES[service]), usd(total_due(service, coupon)))


ENTER_CASES = [
    EnterCase("Makeover option at opening", [], _calculated("Makeover", "None"), "Makeover"),
    EnterCase("20% option", [("key", "alt+2", ["Makeover", "20%"])], _calculated("Makeover", "20%"),
              "20%"),
    EnterCase("Hair Styling option, clicked", [("click", "Hair Styling")],
              _calculated("Hair Styling", "None"), "Hair Styling"),
    EnterCase("None option", [("click", "Manicure"), ("tab", "None")],
              _calculated("Manicure", "None"), "None"),
    EnterCase("Calculate", [("click", "Permanent Makeup"), ("click", "10%"), ("tab", "Calculate")],
              _calculated("Permanent Makeup", "10%"), "Calculate"),
    EnterCase("Clear, after Calculate", [("key", "Return", OPENING), ("tab", "Clear")],
              lambda user: user.see_cleared()),
    EnterCase("Next Patron", [("click", "Hair Styling"), ("tab", "Next Patron")],
              lambda user: (user.see_cleared(),
                            user.expect_summary(summary_text(1, usd(Decimal(60)))))),
    EnterCase("Summary", [("tab", "Summary")],
              lambda user: _expect_equal("the box Enter opened", user.open_summary(how=None),
                                         summary_text(0, "$0.00"))
              or user.close_box()),
    EnterCase("Exit", [("click", "Manicure"), ("key", "Return", ["Manicure", "None"]), ("tab", "Exit")],
              lambda user: user.expect_exit(0), exits=True),
]

for case in ENTER_CASES:
    @scenario(f"enter_key[{case.case}]")
    def enter_key(ctx, case=case):
        user = Operator(ctx)
        for action, what, *selection in case.prepare:
            if action == "click":
                user.click(what)
            elif action == "key":
                user.key(what)
                user.see_selection(*selection[0])
            else:
                user.focus_by_tab(what)
        user.key("Return")
        case.check(user)
        if not case.exits:
            if case.focus_after:
                user.see_focus(case.focus_after)
            # Enter must not have closed the window.
            user.barrier()


def _expect_equal(what, seen, wanted):
    if seen != wanted:
        raise ScenarioFailure(f"{what}: expected {wanted!r}, saw {seen!r}")


@scenario("clear_then_enter_and_space_calculate")
def clear_then_enter_and_space(ctx):
    user = Operator(ctx)
    for press in ("Return", "space"):
        user.click("Manicure")
        user.click("20%")
        user.key("alt+l")
        user.see_cleared()
        user.key(press)
        user.see_labels("$125.00", "$125.00")
        user.see_focus("Calculate")
    user.expect_summary(summary_text(1, "$125.00"))


ESCAPE_FROM = ["Hair Styling", "20%", "Calculate", "Next Patron", "Clear", "Print Form", "Summary",
               "Exit"]


@scenario("escape_clears_from_every_focus")
def escape_from_everywhere(ctx):
    user = Operator(ctx)
    for place in ESCAPE_FROM:
        user.click("Hair Styling")
        user.key("alt+2")
        user.see_selection("Hair Styling", "20%")
        user.key("Return")
        user.see_labels("$60.00", "$48.00")
        if place in ("Hair Styling", "20%"):
            user.click(place)
        else:
            user.focus_by_tab(place)
        user.see_focus(place)
        user.key("Escape")
        try:
            user.see_cleared()
            user.barrier()
        except ScenarioFailure as failure:
            raise ScenarioFailure(f"Esc with the focus on {place!r}: {failure}") from None
    # Esc presses Clear only: nobody was counted.
    user.expect_summary(summary_text(0, "$0.00"))


@scenario("access_keys")
def access_keys(ctx):
    user = Operator(ctx)
    user.click("Hair Styling")
    user.key("Return")
    user.see_labels("$60.00", "$60.00")
    steps = [
        # key, selection afterwards, focus afterwards
        ("alt+1", ["Hair Styling", "10%"], "10%"),
        ("alt+2", ["Hair Styling", "20%"], "20%"),
        ("alt+m", ["Makeover", "20%"], "Makeover"),
        ("Down", ["Hair Styling", "20%"], "Hair Styling"),
        ("alt+m", ["Makeover", "20%"], "Makeover"),
    ]
    for key, selection, focus in steps:
        user.key(key)
        user.see(lambda s, sel=selection, f=focus: s.checked() == sorted(sel) and s.focused() == f,
                 f"{key}: {selection} selected, focus on {focus!r}")
    # Selecting an option calculates nothing: the labels still show Hair Styling.
    user.see_labels("$60.00", "$60.00")
    user.key("Return")
    user.see_labels("$125.00", "$100.00")
    user.click("Manicure")
    user.see_selection("Manicure", "20%")
    user.key("alt+l")
    user.see_cleared()
    user.barrier()
    user.key("alt+x")
    user.expect_exit(0)


TYPED_AHEAD = [
    # keys typed in one burst, as they pile up while the program is busy;
    # the service and coupon they leave calculated
    (["alt+2", "Return"], "Makeover", "20%"),
    (["alt+l", "alt+m", "Down", "Down", "Down", "alt+1", "Return"], "Permanent Makeup", "10%"),
    (["alt+l", "alt+2", "Return"], "Makeover", "20%"),
    (["Escape", "shift+Tab", "Down", "alt+1", "alt+2", "Return"], "Hair Styling", "20%"),
]


@scenario("keys_typed_ahead_act_in_order")
def typed_ahead(ctx):
    user = Operator(ctx)
    for keys, service, coupon in TYPED_AHEAD:
        user.app.key(*keys)
        try:
            user.see(lambda s, want=sorted([service, coupon]): s.checked() == want and s.labels() == {
                "Individual Service Price": usd(PRICES[service]),
                "Total Due": usd(total_due(service, coupon))},
                f"{service} with {coupon} calculated", timeout=3)
        except ScenarioFailure as failure:
            raise ScenarioFailure(f"after typing {' '.join(keys)}: {failure}") from None
    user.barrier()


# --------------------------------------------------------------------------
# A day at the salon


DAY = [
    # service, coupon, worked by ("keys" or "mouse")
    ("Makeover", "10%", "keys"),
    ("Hair Styling", "None", "mouse"),
    ("Manicure", "20%", "keys"),
    ("Permanent Makeup", "10%", "mouse"),
    ("Permanent Makeup", "None", "keys"),
    ("Hair Styling", "20%", "mouse"),
    ("Makeover", "None", "mouse"),
    ("Manicure", "10%", "keys"),
    ("Hair Styling", "10%", "keys"),
    ("Permanent Makeup", "20%", "mouse"),
    ("Manicure", "None", "mouse"),
    ("Makeover", "20%", "keys"),
]


@scenario("full_day_of_patrons")
def full_day(ctx):
    user = Operator(ctx)
    total = Decimal(0)
    for number, (service, coupon, how) in enumerate(DAY, 1):
        try:
            user.serve_patron(service, coupon, how)
        except ScenarioFailure as failure:
            raise ScenarioFailure(f"patron {number} ({service}, {coupon}, by {how}): {failure}") from None
        total += total_due(service, coupon)
        if number == len(DAY) // 2:
            # A summary in the middle of the day changes nothing.
            user.expect_summary(summary_text(number, usd(total)))
    # The table above, added by hand: the program's own tally must come to it.
    user.expect_summary(summary_text(len(DAY), "$1,134.00"))
    user.expect_summary(summary_text(len(DAY), "$1,134.00"), how="Return")
    user.click("Exit")
    user.expect_exit(0)


# --------------------------------------------------------------------------
# Edge cases of the commands


@scenario("next_patron_on_fresh_window_counts_makeover")
def next_on_fresh(ctx):
    user = Operator(ctx)
    user.click("Next Patron")
    user.see_cleared()
    user.expect_summary(summary_text(1, "$125.00"))


@scenario("next_patron_recalculates_after_a_change")
def next_recalculates(ctx):
    user = Operator(ctx)
    user.key("alt+1")
    user.see_selection("Makeover", "10%")
    user.key("Return")
    user.see_labels("$125.00", "$112.50")
    user.click("Manicure")
    user.see_selection("Manicure", "10%")
    user.click("Next Patron")
    user.see_cleared()
    user.expect_summary(summary_text(1, "$31.50"))


@scenario("calculate_then_summary_counts_and_clears")
def calculate_then_summary(ctx):
    user = Operator(ctx)
    user.click("Hair Styling")
    user.key("alt+2")
    user.see_selection("Hair Styling", "20%")
    user.key("Return")
    user.see_labels("$60.00", "$48.00")
    text = user.open_summary()
    if text != summary_text(1, "$48.00"):
        raise ScenarioFailure(f"summary after Calculate: {text!r}")
    # The patron was counted through Next Patron, which cleared the window before the box.
    snapshot = user.app.snapshot()
    if snapshot.labels() != NO_LABELS or snapshot.checked() != OPENING:
        raise ScenarioFailure("the window was not cleared under the box\n" + snapshot.describe())
    user.close_box()
    user.see_cleared()


@scenario("summary_twice_counts_at_most_one")
def summary_twice(ctx):
    user = Operator(ctx)
    user.click("Permanent Makeup")
    user.click("Calculate")
    user.see_labels("$200.00", "$200.00")
    first = user.open_summary()
    user.close_box()
    second = user.open_summary()
    user.close_box()
    if first != summary_text(1, "$200.00") or second != first:
        raise ScenarioFailure(f"two summaries in a row: {first!r} then {second!r}")


@scenario("calculate_clear_summary_counts_nobody")
def calculate_clear_summary(ctx):
    user = Operator(ctx)
    user.key("Return")
    user.see_labels("$125.00", "$125.00")
    user.click("Clear")
    user.see_cleared()
    user.expect_summary(summary_text(0, "$0.00"))


@scenario("summary_on_fresh_window")
def fresh_summary(ctx):
    user = Operator(ctx)
    user.expect_summary(summary_text(0, "$0.00"))
    user.see(lambda s: s.checked() == OPENING and s.labels() == NO_LABELS, "the window unchanged")


@scenario("exit_with_patrons_counted")
def exit_with_patrons(ctx):
    user = Operator(ctx)
    user.click("Next Patron")
    user.see_cleared()
    user.key("Return")
    user.see_labels("$125.00", "$125.00")
    user.click("Exit")
    # A box would be modal and keep the program alive; it must end by itself.
    user.expect_exit(0)


@scenario("close_request_from_the_window_frame")
def close_request(ctx):
    user = Operator(ctx)
    user.click("Next Patron")
    user.see_cleared()
    user.app.close_request()
    user.expect_exit(0)


# --------------------------------------------------------------------------
# What a screen reader says: Orca itself, its speech read from its debug log


@dataclass
class Heard:
    """One step of the operator's, with Orca listening."""
    what: str
    keys: list
    says: str = None            # Orca has said this once the step is done ({button}: the role of a push button)
    announced: str = None       # the announcement the step makes, exactly once; None: none
    focus: str = None           # where the focus is after it
    clears: bool = False        # the window is cleared after it
    amounts_in_a_box: bool = False  # amounts Orca may read, from a box


HAIR_STYLING_10 = "Individual Service Price: $60.00, Total Due: $54.00"
MAKEOVER_ALONE = "Individual Service Price: $125.00, Total Due: $125.00"
ANNOUNCED = (HAIR_STYLING_10, MAKEOVER_ALONE)

# From Hair Styling with the 10% coupon, the focus on Calculate.
HEARD = [
    Heard("Return on Calculate", ["Return"], HAIR_STYLING_10, HAIR_STYLING_10, "Calculate"),
    Heard("Return again, the same amounts", ["Return"], HAIR_STYLING_10, HAIR_STYLING_10, "Calculate"),
    Heard("Tab to Clear", ["Tab"], "Clear {button}", focus="Clear"),
    # Nothing of the amounts lingers on Calculate.
    Heard("Shift+Tab back onto Calculate", ["shift+Tab"], "Calculate {button}", focus="Calculate"),
    Heard("Esc, which clears", ["Escape"], focus="Calculate", clears=True),
    Heard("Return on Calculate, Makeover alone", ["Return"], MAKEOVER_ALONE, MAKEOVER_ALONE, "Calculate"),
    Heard("Alt+N twice, onto Next Patron", ["alt+n", "alt+n"], "Next Patron {button}",
          focus="Next Patron"),
    Heard("Return on Next Patron", ["Return"], "Calculate {button}", focus="Calculate"),
    Heard("Return on Calculate once more", ["Return"], MAKEOVER_ALONE, MAKEOVER_ALONE, "Calculate"),
    # Summary counts the calculated patron through Next Patron, then opens its box.
    Heard("Alt+S onto Summary, Return", ["alt+s", "Return"], "Number of Clients: 2", amounts_in_a_box=True),
    Heard("Return closes the box", ["Return"], "Calculate {button}", focus="Calculate"),
]


@scenario("screen_reader_hears_calculate_once")
def screen_reader_hears(ctx):
    reader = ctx.screen_reader()
    start = reader.mark()
    # As a user starts it: accessible because a screen reader is running, not
    # because the tests switch it on.
    user = Operator(ctx, env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": None})
    reader.wait_to_hear("Makeover", start, "the window opening on Makeover")
    user.click("Hair Styling")
    user.click("10%")
    user.see_selection("Hair Styling", "10%")
    user.focus_by_tab("Calculate")
    reader.wait_to_hear(f"Calculate {reader.button_role}", start, "Tab onto Calculate")
    marks = []
    for step in HEARD:
        marks.append(reader.mark())
        user.key(*step.keys)
        if step.says:
            reader.wait_to_hear(step.says.format(button=reader.button_role), marks[-1], step.what)
        if step.clears:
            user.see_cleared()
        if step.focus:
            user.see_focus(step.focus)
    # Each step's share of the log runs to the next step's keys, so anything
    # Orca says late is held against the step that follows.
    marks.append(None)
    heard = {step.what: reader.spoken(begin, end) for step, begin, end in zip(HEARD, marks, marks[1:])}
    for step in HEARD:
        said = heard[step.what]
        # Qt 6.4's notification object is said with its role, Qt 6.8's announcement as it is.
        notices = [line for line in said if "notification" in line or line in ANNOUNCED]
        wanted = ([[f"notification {step.announced}."], [step.announced]] if step.announced else [[]])
        amounts = [line for line in said if "$" in line and line not in notices]
        if notices not in wanted or (amounts and not step.amounts_in_a_box):
            raise ScenarioFailure(f"{step.what}: Orca should have announced {wanted[0]!r} and read no "
                                  f"other amount; it said {said!r}")
    ctx.note("Orca said, " + "; ".join(f"after {what}: {heard[what]!r}" for what in (
        "Return on Calculate", "Shift+Tab back onto Calculate", "Esc, which clears")))


# --------------------------------------------------------------------------
# Regions


@dataclass
class Region:
    case: str
    env: dict
    monetary: str             # the locale LC_MONETARY comes from, for the reference
    shape: str                # a piece of the summary total that shows the region's shape
    makeups: int = 6          # Permanent Makeups counted before the last patron
    must_contain: list = field(default_factory=list)


REGIONS = [
    Region("en_US symbol before", {"LANG": "en_US.UTF-8"}, "en_US.UTF-8", "$1,248.00"),
    Region("de_DE symbol after, comma decimal", {"LANG": "de_DE.UTF-8"}, "de_DE.UTF-8",
           "1.248,00 €"),
    Region("fr_FR narrow space grouping", {"LANG": "fr_FR.UTF-8"}, "fr_FR.UTF-8",
           "1\u202f248,00 €"),
    Region("ja_JP no decimals", {"LANG": "ja_JP.UTF-8"}, "ja_JP.UTF-8", "\uffe51,248"),
    Region("en_IN Indian grouping", {"LANG": "en_IN"}, "en_IN", "1,00,048.00", makeups=500),
    Region("de_DE@euro 8-bit codeset", {"LANG": "de_DE@euro"}, "de_DE@euro", "1.248,00 €",
           must_contain=["€"]),
    Region("LC_MONETARY apart from LANG", {"LANG": "en_US.UTF-8", "LC_MONETARY": "de_DE.UTF-8"},
           "de_DE.UTF-8", "1.248,00 €"),
    Region("8-bit LC_MONETARY under a UTF-8 LANG",
           {"LANG": "de_DE.UTF-8", "LC_MONETARY": "de_DE@euro"}, "de_DE@euro", "1.248,00 €",
           must_contain=["€"]),
    # No xx_XX locale is installed, so the categories cannot all be had at once.
    Region("LC_MONETARY beside an uninstalled LC_TIME",
           {"LANG": "en_US.UTF-8", "LC_MONETARY": "de_DE.UTF-8", "LC_TIME": "xx_XX.UTF-8"},
           "de_DE.UTF-8", "1.248,00 €"),
]

for region in REGIONS:
    @scenario(f"region[{region.case}]")
    def region_money(ctx, region=region):
        last_total = total_due("Hair Styling", "20%")
        grand_total = PRICES["Permanent Makeup"] * region.makeups + last_total
        price_text, total_text, summary_total = money_oracle.strfmon(
            region.monetary, ("%.2n", PRICES["Hair Styling"]), ("%.2n", last_total),
            ("%n", grand_total))
        if region.shape not in summary_total:
            raise SetupError(f"the reference gives {summary_total!r} for {region.monetary}, "
                             f"which lacks {region.shape!r}: is the locale installed?")
        user = Operator(ctx, env=region.env)
        snapshot = user.app.snapshot()
        makeup, next_patron = snapshot.control("Permanent Makeup"), snapshot.button("Next Patron")
        user.app.click(*[makeup, next_patron] * region.makeups)
        user.see_cleared()
        user.click("Hair Styling")
        user.click("20%")
        user.key("Return")
        user.see_labels(price_text, total_text)
        # Summary counts the calculated patron, at the region's own decimals.
        text = user.open_summary()
        wanted = summary_text(region.makeups + 1, summary_total)
        if text != wanted:
            raise ScenarioFailure(f"summary under {region.env}: expected {wanted!r}, saw {text!r}")
        for piece in region.must_contain:
            if piece not in text or piece not in user.app.snapshot().boxes[0].text():
                raise ScenarioFailure(f"{piece!r} missing from {text!r}")
        user.close_box()
        user.see_cleared()


# --------------------------------------------------------------------------
# Printing, each under a private print scheduler


def _run(argv, timeout=60):
    result = subprocess.run(argv, capture_output=True, text=True, timeout=timeout)
    if result.returncode != 0:
        raise ScenarioFailure(f"{' '.join(map(str, argv))} failed ({result.returncode}):\n"
                              f"{result.stdout}{result.stderr}")
    return result.stdout + result.stderr


def _compare(metric, first, second):
    """ImageMagick's measure of how two images differ: the normalised figure
    where it gives one, else the plain count."""
    result = subprocess.run(["compare", *metric, first, second, "null:"],
                            capture_output=True, text=True, timeout=60)
    found = re.search(r"^([0-9.eE+-]+)(?: \(([0-9.eE+-]+)\))?", result.stderr.strip())
    if result.returncode > 1 or not found:
        raise ScenarioFailure(f"compare {' '.join(metric)} failed: {result.stderr}")
    return float(found.group(2) or found.group(1))


# Every caption and amount the window shows, as the page must hold them in text.
PRINTED_TEXTS = ["Type of Service", "Discount Coupon", *SERVICES, *COUPONS, *BUTTONS,
                 "Individual Service Price:", "Total Due:", "$60.00", "$54.00"]


def check_page_is_sharp(pdf):
    """The printed form, Hair Styling with the 10% coupon calculated, is small,
    its captions and amounts are text, and no bitmap on it is coarser than 288
    pixels an inch. Returns the PDF's size. The Windows suite checks its page
    with this too."""
    size = os.path.getsize(pdf)
    if size >= 2 * 1024 * 1024:
        raise ScenarioFailure(f"the PDF is {size} bytes, 2 MB or more")
    text = " ".join(_run(["pdftotext", "-layout", pdf, "-"]).split())
    missing = [piece for piece in PRINTED_TEXTS if piece not in text]
    if missing:
        raise ScenarioFailure(f"the page's text lacks {missing}: {text!r}")
    listing = _run(["pdfimages", "-list", pdf])
    rows = [line.split() for line in listing.splitlines()[2:] if line.strip()]
    coarse = [row for row in rows if float(row[12]) < 288 or float(row[13]) < 288]
    if coarse:
        raise ScenarioFailure(f"bitmaps on the page coarser than 288 ppi:\n{listing}")
    return size


@dataclass
class PrintRow:
    paper: papers.Paper  # the default printer's paper, offered by its PPD
    env: dict = field(default_factory=dict)  # the desktop the program runs on
    dark: bool = False   # the screen in a dark theme, which the page must not take


PRINT_ROWS = [PrintRow(paper) for paper in papers.PAPERS] + [
    # Qt's GTK platform theme in GTK's dark Adwaita: the screen is dark, the page is not.
    PrintRow(papers.A4, {"XDG_CURRENT_DESKTOP": "GNOME", "GTK_THEME": "Adwaita:dark"}, dark=True),
]


def _pixel(png, x, y):
    ppm = subprocess.run(["convert", png, "-crop", f"1x1+{x}+{y}", "+repage", "-depth", "8", "ppm:-"],
                         capture_output=True, timeout=60, check=True).stdout
    return tuple(ppm[-3:])


def check_paper_and_scale(pdf, paper, form_size, work):
    """The job asked for the printer's default paper, and the whole form is on
    it, at the printable area's top left, as large as the row says. Returns
    the page at 96 dpi and where the form's ink lies on it. The Windows suite
    checks its page with this too."""
    logged = papers.logged_media(os.environ["TARNWICK_CUPS_DIR"])
    if not logged or logged[-1] != paper.keyword:
        raise ScenarioFailure(f"the job asked for {logged[-1:] or 'nothing'}, not the printer's {paper.keyword}")
    size = papers.page_size(pdf)
    if abs(size[0] - paper.size[0]) > 1 or abs(size[1] - paper.size[1]) > 1:
        raise ScenarioFailure(f"the page is {size} pt, not {paper.keyword}'s {paper.size}")
    left, bottom, right, top = paper.printable
    outside = [w for w in papers.words(pdf) if w[1] < left - 0.5 or w[3] > right + 0.5
               or w[2] < paper.size[1] - top - 0.5 or w[4] > paper.size[1] - bottom + 0.5]
    if outside:
        raise ScenarioFailure(f"words outside the printable area: {outside}")
    page = os.path.join(work, "page-96dpi")
    _run(["pdftoppm", "-r", "96", "-png", "-singlefile", pdf, page])
    page += ".png"
    width, height, x, y = (int(v) for v in re.findall(r"-?\d+", _run(
        ["convert", page, "-trim", "-format", "%w %h %X %Y", "info:"])))
    wanted = [round(length) for length in paper.printed_size(form_size)]
    at = round(left * 96 / 72), round((paper.size[1] - top) * 96 / 72)
    if abs(width - wanted[0]) > 2 or abs(height - wanted[1]) > 2 or abs(x - at[0]) > 1 or abs(y - at[1]) > 1:
        raise ScenarioFailure(f"the form's ink is {width}x{height} at {x},{y}; the window's "
                              f"{form_size[0]}x{form_size[1]} filling {paper.fills or 'nothing'} of the "
                              f"printable area is {wanted[0]}x{wanted[1]} at its top left, {at[0]},{at[1]} "
                              f"(page in {page})")
    return page, (x, y), width / form_size[0]


def check_paper_colours(pdf, page, at, scale, amount_box):
    """Dark letters on a light face on white paper, whatever the screen's theme.
    page and at: the page at 96 dpi and the form's top left on it;
    amount_box: where an amount's letters are in the window, in screen pixels."""
    x, y = at
    paper, face = _pixel(page, 0, 0), _pixel(page, x + 3, y + 3)
    # The letters are read at 300 dpi: at 96 a form shrunk onto a roll has
    # strokes thinner than a pixel, which come out grey.
    dpi = 300
    left, top, width, height = (round(length * dpi / 96) for length in (
        x + amount_box[0] * scale, y + amount_box[1] * scale, amount_box[2] * scale, amount_box[3] * scale))
    crop = subprocess.run(["pdftoppm", "-r", str(dpi), "-x", str(left), "-y", str(top), "-W", str(width),
                           "-H", str(height), "-singlefile", pdf], capture_output=True, timeout=60,
                          check=True).stdout
    data = crop.split(maxsplit=4)[4]
    darkest = min((tuple(data[i:i + 3]) for i in range(0, len(data), 3)), key=sum)
    if paper != (255, 255, 255) or min(face) < 200 or max(darkest) > 96:
        raise ScenarioFailure(f"the page is {paper}, the form's face {face}, the total's darkest ink "
                              f"{darkest}: not dark on light (page in {page})")


for row in PRINT_ROWS:
    @scenario(f"print_form_to_the_default_printer[{row.paper.case}{', dark theme' if row.dark else ''}]",
              cups=row.paper)
    def print_to_pdf(ctx, row=row):
        outdir = os.environ.get("TARNWICK_PRINT_OUTDIR")
        if not outdir or not os.environ.get("TARNWICK_PRINT_QUEUE"):
            raise SetupError("not running under with-private-cups with a printer")
        user = Operator(ctx, env=row.env)
        user.click("Hair Styling")
        user.click("10%")
        user.click("Calculate")
        user.see_labels("$60.00", "$54.00")
        clicked = time.monotonic()
        user.click("Print Form")
        pdf = _run([os.path.join(PRINT_HELPERS, "wait-for-pdf"), outdir, "60"], timeout=90).strip()
        pdf = pdf.splitlines()[-1]
        queued = time.monotonic() - clicked
        # Printing changed nothing on the window and asked nothing.
        snapshot = user.see(lambda s: not s.boxes and s.labels() == {
            "Individual Service Price": "$60.00", "Total Due": "$54.00"}
            and s.checked() == ["10%", "Hair Styling"], "the window unchanged after printing")
        width, height = snapshot.main.node.extents[2:]
        work = ctx.scratch("print")
        size = check_page_is_sharp(pdf)
        page, at, scale = check_paper_and_scale(pdf, row.paper, (width, height), work)
        window = snapshot.main.node.extents
        amount = next(n.extents for n in snapshot.main.find(role="label") if n.labelled_by == "Total Due:")
        check_paper_colours(pdf, page, at, scale, (amount[0] - window[0], amount[1] - window[1],
                                              amount[2], amount[3]))
        note = f"PDF {size} bytes, out of the queue {queued:.2f} s after the click, at {scale:.3f} of its size"
        if not row.paper.fills and not row.dark and ctx.session.row.page_matches_screen:
            note += ", against the screen: " + _compare_with_screen(user, pdf, at, (width, height), work)
        ctx.note(note)
        user.expect_summary(summary_text(1, "$54.00"))


def _compare_with_screen(user, pdf, at, size, work):
    """The page at the screen's 96 dpi against what the screen showed."""
    screen = os.path.join(work, "screen.png")
    user.app.screenshot(screen)
    _run(["pdftoppm", "-r", "96", "-png", "-singlefile", "-x", str(at[0]), "-y", str(at[1]),
          "-W", str(size[0]), "-H", str(size[1]), pdf, os.path.join(work, "printed")])
    printed = os.path.join(work, "printed.png")
    # The screen's letters are hinted to its pixel grid and the page's are not,
    # so their edges differ everywhere by a fraction of a pixel; a blur of about
    # that much leaves such edges out, but not a letter, a line or an amount
    # that is missing or out of place (a missing amount is ~200 plain pixels).
    blurred = []
    for name in (screen, printed):
        blurred.append(name.replace(".png", "-blurred.png"))
        _run(["convert", name, "-blur", "0x1.5", blurred[-1]])
    rmse = _compare(["-metric", "RMSE"], *blurred)
    plain = _compare(["-metric", "AE", "-fuzz", "25%"], *blurred)
    if rmse > 0.015 or plain > 20:
        raise ScenarioFailure(f"the printed page differs from the screen: normalised RMSE {rmse:.4f}, "
                              f"{plain:.0f} pixels plainly different (files in {work})")
    return f"RMSE {rmse:.4f}, {plain:.0f} pixels plainly different"


# Printers Print Form cannot use, and the reason its box gives.
UNUSABLE_PRINTERS = [
    ("without a printer", "no-printer", "no default printer"),
    ("on a paper with no printable area", papers.NO_PRINTABLE_AREA, "the printer reports no printable area"),
]

for case, printer, reason in UNUSABLE_PRINTERS:
    @scenario(f"print_form_fails[{case}]", cups=printer)
    def print_fails(ctx, reason=reason):
        _print_fails(ctx, "Print Form failed: " + reason)


def _print_fails(ctx, message):
    user = Operator(ctx)
    user.click("Next Patron")
    user.see_cleared()
    user.click("Hair Styling")
    user.key("Return")
    user.see_labels("$60.00", "$60.00")
    user.click("Print Form")
    snapshot = user.see(lambda s: len(s.boxes) == 1, "an error box", timeout=20)
    box = snapshot.boxes[0]
    if box.title != "Tarnwick" or box.text() != message:
        raise ScenarioFailure(f"expected a box 'Tarnwick' saying {message!r}, saw {box.title!r}: {box.text()!r}")
    if len(box.find(role="push button")) != 1:
        raise ScenarioFailure("the error box should have one button\n" + snapshot.describe())
    ctx.note(f"error box: {box.text()!r}")
    user.close_box()
    # The program goes on with the window as it was and the tally intact.
    user.see_labels("$60.00", "$60.00")
    user.barrier()
    user.expect_summary(summary_text(2, "$185.00"))
    user.key("alt+x")
    user.expect_exit(0)
