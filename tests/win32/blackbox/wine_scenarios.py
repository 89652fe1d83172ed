"""What an operator does with the Windows window, and what Win32 must then show.

Only what Windows can show beyond the Linux suite's reach, or what its own
window code does anew: the window's size and styles, the dialog keys (Tab,
arrows, Enter, Esc, access keys) as the Win32 window handles them, message
boxes as Windows makes them, the process's exit status under Wine, and money
in the user's Windows region. Tables of cases are spelled out as data; a table
whose rows need a fresh program each becomes one scenario a row, the others
run their rows one after another in one program and report every row that failed.
"""

import os
import re
import subprocess
from dataclasses import dataclass
from decimal import Decimal

import scenarios as linux  # the Linux suite's checks of the printed page
import papers  # noqa: E402  (the print rows' papers, which the Linux scenarios put on the path)
from wine_harness import ScenarioFailure, SetupError, poll

# --------------------------------------------------------------------------
# The salon's price list and the texts the window shows for it

SERVICES = {"Makeover": "optMakeover", "Hair Styling": "optHairStyling", "Manicure": "optManicure",
            "Permanent Makeup": "optPermanentMakeup"}
COUPONS = {"None": "optNone", "10%": "opt10Percent", "20%": "opt20Percent"}
# The price list, the texts it gives in en-US and the summary's, as the Linux suite has them.
PRICES, RATES, total_due, usd, summary_text = linux.PRICES, linux.RATES, linux.total_due, linux.usd, linux.summary_text
OPENING = sorted(["optMakeover", "optNone"])
NO_LABELS = ("", "")
IDOK = 1

CAPTIONS = {
    "fraSevice": "Type of Service", "optMakeover": "&Makeover", "optHairStyling": "Hair &Styling",
    "optManicure": "Mani&cure", "optPermanentMakeup": "&Permanent Makeup", "fraCoupon": "Discount Coupon",
    "optNone": "&None", "opt10Percent": "&10%", "opt20Percent": "&20%", "cmdCalculate": "&Calculate",
    "cmdNext": "&Next Patron", "cmdClear": "C&lear", "cmdPrint": "&Print Form", "cmdSummary": "&Summary",
    "cmdExit": "E&xit", "Label1": "Individual Service Price:", "lblServicePrice": "",
    "Label2": "Total Due:", "lblTotalDue": "",
}
FRAMES = ["fraSevice", "fraCoupon"]
CONTAINERS = {**{name: "fraSevice" for name in SERVICES.values()}, **{name: "fraCoupon" for name in COUPONS.values()}}
BUTTONS = ["cmdCalculate", "cmdNext", "cmdClear", "cmdPrint", "cmdSummary", "cmdExit"]
STATICS = ["Label1", "lblServicePrice", "Label2", "lblTotalDue"]


@dataclass
class Scenario:
    name: str
    run: object
    long: bool = False  # started first, on a display of its own when two run at once
    cups: object = None  # a paper: run under a print scheduler whose one queue, the default, has it


SCENARIOS = []


def scenario(name, long=False, cups=None):
    def register(function):
        SCENARIOS.append(Scenario(name, function, long, cups))
        return function
    return register


class RowFailures:
    """Collects the failed rows of a table run in one program; after a few
    the rest are given up, as a program that fails them all would otherwise
    spend a deadline on each."""

    limit = 3

    def __init__(self):
        self.failures = []
        self.rows = 0

    def row(self, label, check, recover=None):
        self.rows += 1
        try:
            check()
        except ScenarioFailure as failure:
            self.failures.append(f"[{label}] {failure}")
            if len(self.failures) >= self.limit:
                raise ScenarioFailure(f"{len(self.failures)} rows failed, the rest after row {self.rows} "
                                      "not run:\n" + "\n".join(self.failures)) from None
            if recover:
                recover()

    def report(self, rows):
        if self.failures:
            raise ScenarioFailure(f"{len(self.failures)} of {rows} rows failed:\n" + "\n".join(self.failures))


# --------------------------------------------------------------------------
# The operator


class Operator:
    """One run of the program and the hands and eyes that work it."""

    def __init__(self, ctx, env=None, region=(), dpi=None, font=None, colours=(), visual_styles=True,
                 route="live regions", before=()):
        self.ctx = ctx
        # How a screen reader hears Calculate: "live regions" (UI Automation
        # without its notification, as Wine 8 and Windows before 10 1709
        # have it) or "UIA notification" (Windows 10 1709 and later).
        self.route = route
        self.told = 0  # the stand-in's notifications already checked
        self.run = ctx.launch(env=env, region=region, dpi=dpi, font=font, colours=colours, visual_styles=visual_styles,
                              route=route, before=before)

    # -- seeing

    def see(self, predicate, what, timeout=8.0):
        return self.run.wait_for(predicate, what, timeout)

    def see_labels(self, price, total):
        return self.see(lambda s: s.labels() == (price, total) and not s.boxes,
                        f"lblServicePrice {price!r} and lblTotalDue {total!r}")

    def see_selection(self, *names):
        wanted = sorted(names)
        return self.see(lambda s: s.checked() == wanted, f"exactly {wanted} selected")

    def see_focus(self, name):
        return self.see(lambda s: s.focused() == name and not s.boxes, f"focus on {name!r}")

    def see_cleared(self):
        """The window as Clear leaves it."""
        return self.see(lambda s: s.labels() == NO_LABELS and s.checked() == OPENING
                        and s.focused() == "cmdCalculate" and not s.boxes and s.active() == "window",
                        "labels empty, Makeover and None selected, focus on cmdCalculate")

    def barrier(self):
        """Proves that every key and click sent so far has been handled and the
        window is still open and working: Tab and Shift+Tab must move the focus
        away and back (X events reach Wine in order)."""
        start = self.see(lambda s: s.focused() and s.active() == "window" and not s.boxes,
                         "an active window with a focused control").focused()
        self.key("Tab")
        self.see(lambda s: s.focused() not in (None, start), f"Tab to move the focus from {start!r}")
        self.key("shift+Tab")
        self.see_focus(start)

    # -- hearing, as a screen reader hears the window

    def heard(self):
        """The live-region events the driver's hook has heard since last asked."""
        return self.run.ask("events")["events"]

    def notifications(self):
        """The UI Automation notifications raised since last asked."""
        told = [call for call in self.run.uia_calls() if call["call"] == "notification"]
        new, self.told = told[self.told:], len(told)
        return new

    def expect_notified(self, price, total, timeout=8.0):
        """One UI Automation notification of both amounts, on a provider
        that answers IRawElementProviderSimple, is server-side and has the
        window's own host provider; and no live-region event beside it."""
        text = f"Individual Service Price: {price}, Total Due: {total}"
        told = []

        def once():
            told.extend(self.notifications())
            return told
        poll(once, timeout, 0.02)
        self.barrier()
        told.extend(self.notifications())
        heard = self.heard()
        wanted = {"simple": True, "server_side": True, "host": {"title": "Tarnwick", "class": "Tarnwick.frmTarnwick2",
                                                               "top_level": True},
                  "kind": 2, "processing": 4, "text": text, "activity": "Tarnwick.Calculate"}
        seen = [{"simple": call["simple"], "server_side": bool(call.get("options", 0) & 2), "host": call["host"],
                 "kind": call["kind"], "processing": call["processing"], "text": call["text"],
                 "activity": call["activity"]} for call in told]
        if seen != [wanted] or heard:
            raise ScenarioFailure(f"expected one notification {wanted},\n  told {told},\n  heard {heard}")
        return told[0]

    def expect_announced(self, price, total, timeout=8.0):
        """Both amount labels raised as changed live regions, each once, in
        the order a reader should tell them, each showing its amount as the
        event arrived, and nothing else; or, where the window has UI
        Automation's notification, that alone."""
        if self.route == "UIA notification":
            return self.expect_notified(price, total, timeout)
        wanted = [("lblServicePrice", price), ("lblTotalDue", total)]
        heard = []

        def both():
            heard.extend(self.heard())
            return len(heard) >= len(wanted)
        poll(both, timeout, 0.02)
        seen = [(event["control"], event["text"]) for event in heard]
        # On the label itself, as NotifyWinEvent(..., OBJID_CLIENT, CHILDID_SELF) raises it.
        if seen != wanted or any((event["object"], event["child"]) != (-4, 0) for event in heard):
            raise ScenarioFailure(f"expected live-region events for {wanted}, heard {heard}")
        return heard

    def expect_nothing_announced(self):
        """Once all sent so far has been handled (a barrier), no live-region
        event came: the window had moved past what it would have told."""
        self.barrier()
        heard = self.heard()
        told = self.notifications()
        if heard or told:
            raise ScenarioFailure(f"expected no live-region event and no notification, heard {heard}, told {told}")

    # -- doing

    def key(self, *keys):
        self.run.key(*keys)

    def click(self, name):
        self.run.click(name)

    def bm_click(self, names, rounds, timeout=60):
        """BM_CLICK through the driver, each handled before the next is sent."""
        answer = self.run.ask(f"click {','.join(names)} {rounds}", timeout=timeout)
        if answer["sent"] != rounds * len(names):
            raise ScenarioFailure(f"only {answer['sent']} of {rounds * len(names)} clicks were handled")
        return answer["seconds"]

    def focus_by_tab(self, name, limit=10):
        """Tabs until `name` has the focus, watching each step land."""
        for _ in range(limit):
            before = self.run.snapshot().focused()
            if before == name:
                return
            self.key("Tab")
            self.see(lambda s, b=before: s.focused() not in (None, b), f"Tab to move the focus on from {before!r}")
        self.see_focus(name)

    def open_box(self, title, how="click"):
        """Presses Summary (by a click, or by a key with the focus on it, or
        not at all: how=None) and returns the box that opens, checked for what
        every box of the program is: one, owned by the window, modal, with one
        button, OK, and the focus."""
        if how == "click":
            self.click("cmdSummary")
        elif how:
            self.focus_by_tab("cmdSummary")
            self.key(how)
        # The box takes the activation a moment before its button takes the focus.
        snapshot = self.see(lambda s: len(s.boxes) == 1 and s.active() == "box" and s.boxes[0]["texts"]
                            and any(b["focused"] for b in s.boxes[0]["buttons"]),
                            f"one active box {title!r} with the focus on a button of it")
        box = snapshot.boxes[0]
        problems = []
        if box["title"] != title:
            problems.append(f"title {box['title']!r}")
        if not box["owned_by_window"]:
            problems.append("not owned by the window")
        if snapshot.window["enabled"]:
            problems.append("the window stays enabled under it (not modal)")
        # By its ID: Wine words the button in the user's language.
        if [b["id"] for b in box["buttons"]] != [IDOK]:
            problems.append(f"buttons {[(b['text'], b['id']) for b in box['buttons']]}, not just OK ({IDOK})")
        if problems:
            raise ScenarioFailure(f"box {title!r}: " + "; ".join(problems) + "\n" + snapshot.describe())
        return snapshot, box

    def see_icon(self, icon):
        # The icon is recognised from the painted box; wait for the paint.
        painted = self.see(lambda s: len(s.boxes) == 1 and s.boxes[0]["icon"] != "unclear",
                           "the box painted with a recognisable icon")
        seen = painted.boxes[0]["icon"]
        if seen != icon:
            raise ScenarioFailure(f"the box's icon is {seen!r}, not the {icon} icon\n" + painted.describe())

    def open_summary(self, how="click"):
        snapshot, box = self.open_box("Client Summary", how)
        self.see_icon("information")
        return snapshot.box_text(box)

    def close_box(self, how="Return"):
        self.key(how)
        self.see(lambda s: not s.boxes and s.active() == "window" and s.window["enabled"],
                 "the box closed and the window active and enabled again")

    def expect_summary(self, text, how="click"):
        seen = self.open_summary(how)
        if seen != text:
            raise ScenarioFailure(f"summary text: expected {text!r}, saw {seen!r}")
        self.close_box()

    def expect_exit(self, after, status=0, timeout=5.0):
        """The program ends by itself, soon after `after` was done, with `status`."""
        seen = self.run.wait_exit(timeout)
        if seen != status:
            raise ScenarioFailure(f"expected exit status {status}, saw {seen}{self.run.log_note()}")
        self.ctx.note(f"ended {self.ctx.since(after):.2f} s after {after}")

    def select(self, service, coupon):
        if service != "Makeover":
            self.click(SERVICES[service])
        if coupon != "None":
            self.click(COUPONS[coupon])
        self.see_selection(SERVICES[service], COUPONS[coupon])


# --------------------------------------------------------------------------
# The window as it opens


# The display's DPI, how much larger than at 96 dpi the client area must at
# least be, and the user's dialog font (face, points; None: the prefix's own,
# Tahoma 8 pt). A Windows PC's Segoe UI 9 pt is wider than Tahoma 8 pt;
# DejaVu Sans is wider than Segoe UI at the same size.
DISPLAYS = [(dpi, scale, font) for font in (None, ("DejaVu Sans", 9), ("DejaVu Sans", 12))
            for dpi, scale in ((96, 1.0), (144, 1.5))]


for dpi_row, scale_row, font_row in DISPLAYS:
    @scenario(f"opening_state[{dpi_row} dpi" + (f", {font_row[0]} {font_row[1]} pt]" if font_row else "]"))
    def opening_state(ctx, dpi=dpi_row, scale=scale_row, font=font_row):
        _opening_state(ctx, dpi, scale, font)


def _opening_state(ctx, dpi, scale, font):
    user = Operator(ctx, dpi=dpi if dpi != 96 else None, font=font)
    snapshot = user.see(lambda s: s.focused() == "optMakeover" and s.active() == "window",
                        "focus on optMakeover at opening, the window active")
    layout = user.run.ask("layout")
    problems = []
    window = snapshot.window
    if window["title"] != "Tarnwick":
        problems.append(f"title {window['title']!r}")
    # The client area: 432x272 at 96 dpi and as much larger as the display's
    # DPI is, or every length grown by one factor more.
    left, top, right, bottom = window["client"]
    width, height = right - left, bottom - top
    # 15 twips a pixel at 96 dpi.
    layout_width, layout_height = (twips / 15 for twips in layout["client"])
    factor = width / layout_width
    if factor < scale - 1 / layout_width or abs(height - layout_height * factor) > 1:
        problems.append(f"client area {width}x{height} at {dpi} dpi, not {layout_width}x{layout_height} "
                        f"grown by {scale} or by one factor more")
    elif factor != 1:
        ctx.note(f"client area {width}x{height}: grown by {factor:.3f}")
    if window["sizing_border"] or window["maximize_box"]:
        problems.append(f"resizable: sizing border {window['sizing_border']}, maximize box {window['maximize_box']}")

    # Every control of the layout, a direct child where the layout puts it.
    grown = []
    missing = sorted(set(CAPTIONS) - set(snapshot.controls))
    if missing:
        problems.append(f"controls missing: {missing}")
    if snapshot.data["strangers"]:
        problems.append(f"children that are not in the layout: {snapshot.data['strangers']}")
    for name, control in snapshot.controls.items():
        expected_kind = ("group" if name in FRAMES else "static" if name in STATICS
                         else ("push", "default-push") if name in BUTTONS else ("auto-radio", "radio"))
        if control["kind"] not in (expected_kind if isinstance(expected_kind, tuple) else (expected_kind,)):
            problems.append(f"{name} is a {control['class']} {control['kind']}, not {expected_kind}")
        if control["text"] != CAPTIONS[name]:
            problems.append(f"{name} shows {control['text']!r}, not {CAPTIONS[name]!r}")
        if not control["visible"] or not control["enabled"]:
            problems.append(f"{name}: visible {control['visible']}, enabled {control['enabled']}")
        # Where the layout puts it; a caption too wide for its font may widen
        # or heighten a control, never move it, and it stays in its container.
        place = [edge - origin for edge, origin in zip(control["rect"], (left, top, left, top))]
        wanted = [round(edge * factor / 15) for edge in layout["controls"][name]]
        # The window rounds at each step (pixels at 96 dpi, the growth, the
        # DPI, an option's frame corner): a grown and scaled edge may stray 2 px.
        slack = 1 if factor == scale or dpi == 96 else 2
        if (abs(place[0] - wanted[0]) > slack or abs(place[1] - wanted[1]) > slack
                or place[2] < wanted[2] - slack or place[3] < wanted[3] - slack):
            problems.append(f"{name} at {place} in the client area, not at {wanted}")
        container = snapshot.controls.get(CONTAINERS.get(name), {}).get("rect", window["client"])
        if not (container[0] <= control["rect"][0] and container[1] <= control["rect"][1]
                and control["rect"][2] <= container[2] and control["rect"][3] <= container[3]):
            problems.append(f"{name} at {control['rect']} on the screen reaches out of "
                            f"{CONTAINERS.get(name, 'the client area')} at {container}")
        if [place[2] - place[0], place[3] - place[1]] != [wanted[2] - wanted[0], wanted[3] - wanted[1]]:
            grown.append(f"{name} {wanted[2] - wanted[0]}x{wanted[3] - wanted[1]}"
                         f"->{place[2] - place[0]}x{place[3] - place[1]}")
    if snapshot.controls.get("cmdCalculate", {}).get("id") != 1 or snapshot.controls.get("cmdClear", {}).get("id") != 2:
        problems.append("Calculate and Clear are not IDOK and IDCANCEL")

    if snapshot.checked() != OPENING:
        problems.append(f"selected {snapshot.checked()}")
    if snapshot.labels() != NO_LABELS:
        problems.append(f"amount labels {snapshot.labels()}")
    if snapshot.boxes:
        problems.append("a box is open")
    if grown:
        ctx.note("sized to their captions: " + ", ".join(grown))
    problems += _captions_shown_whole(ctx, user, snapshot, dpi, font)
    if problems:
        raise ScenarioFailure("at opening: " + "; ".join(problems) + "\n" + snapshot.describe())
    ctx.note(f"window up {user.run.start_seconds:.2f} s after wine started the program")


def _captions_shown_whole(ctx, user, snapshot, dpi, font):
    """Every caption whole in its control, in the user's font at the display's
    DPI as the driver measures it; every option inside its frame, below the
    frame's caption; no control over another but an option over its frame."""
    seen = user.run.ask("captions")
    face = font[0] if font else "Tahoma"
    if seen["font"]["face"] != face or seen["dpi"] != dpi:
        raise SetupError(f"the window's font is {seen['font']['face']!r} at {seen['dpi']} dpi, "
                         f"not {face!r} at {dpi} dpi")
    problems = []
    for name, caption in seen["controls"].items():
        left, top, right, bottom = caption["rect"]
        width, height = caption["needed"]
        if width > right - left or height > bottom - top:
            problems.append(f"{name} is {right - left}x{bottom - top}, its caption needs {width}x{height}")
    rects = {name: control["rect"] for name, control in snapshot.controls.items()}
    for name, frame in CONTAINERS.items():
        left, top, right, bottom = rects[frame]
        # Below the caption on the frame's top edge, and clear of its other edges.
        top += seen["controls"][frame]["text"][1]
        option = rects[name]
        if not (left < option[0] and top <= option[1] and option[2] <= right - 2 and option[3] <= bottom - 2):
            problems.append(f"{name} at {option} is not inside {frame} at {rects[frame]} below its caption")
    names = sorted(rects)
    for i, first in enumerate(names):
        for second in names[i + 1:]:
            a, b = rects[first], rects[second]
            if (CONTAINERS.get(first) != second and CONTAINERS.get(second) != first
                    and a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]):
                problems.append(f"{first} at {a} overlaps {second} at {b}")
    left, top, right, bottom = snapshot.window["client"]
    ctx.note(f"{seen['font']['face']} {-seen['font']['height']} px at {dpi} dpi: client area {right - left}x{bottom - top}")
    return problems


# --------------------------------------------------------------------------
# The prices, by mouse


PRICE_ROWS = [(service, coupon) for service in SERVICES for coupon in COUPONS]


@scenario("prices_by_mouse")
def prices_by_mouse(ctx):
    user = Operator(ctx)
    rows = RowFailures()
    for service, coupon in PRICE_ROWS:
        def check(service=service, coupon=coupon):
            # Clicked every time, so that each row stands on its own.
            user.click(SERVICES[service])
            user.click(COUPONS[coupon])
            user.see_selection(SERVICES[service], COUPONS[coupon])
            user.click("cmdCalculate")
            user.see_labels(usd(PRICES[service]), usd(total_due(service, coupon)))
            user.expect_announced(usd(PRICES[service]), usd(total_due(service, coupon)))
        rows.row(f"{service}, {coupon}", check)
    # The operator who presses again waits for an answer: the same amounts are told again.
    service, coupon = PRICE_ROWS[-1]
    rows.row("Calculate again, the same amounts", lambda: (
        user.click("cmdCalculate"), user.expect_announced(usd(PRICES[service]), usd(total_due(service, coupon)))))
    rows.report(len(PRICE_ROWS) + 1)


# --------------------------------------------------------------------------
# The keyboard: Tab, arrows, Esc, Enter, access keys


TAB_CYCLES = [
    # (case, clicks before the walk, the focus stops from the first one round to it again)
    ("opening selections", [],
     ["optMakeover", "cmdCalculate", "cmdClear", "cmdPrint", "cmdExit", "optNone", "cmdNext", "cmdSummary",
      "optMakeover"]),
    ("10% coupon", ["opt10Percent", "optMakeover"],
     ["optMakeover", "opt10Percent", "cmdCalculate", "cmdClear", "cmdPrint", "cmdExit", "cmdNext", "cmdSummary",
      "optMakeover"]),
    ("Hair Styling and 20%", ["opt20Percent", "optHairStyling"],
     ["optHairStyling", "opt20Percent", "cmdCalculate", "cmdClear", "cmdPrint", "cmdExit", "cmdNext",
      "cmdSummary", "optHairStyling"]),
]


@scenario("tab_cycles")
def tab_cycles(ctx):
    user = Operator(ctx)
    rows = RowFailures()
    for case, clicks, stops in TAB_CYCLES:
        def check(clicks=clicks, stops=stops):
            for name in clicks:
                user.click(name)
            user.see_focus(stops[0])
            for direction, sequence in (("Tab", stops), ("shift+Tab", stops[::-1])):
                for step, name in enumerate(sequence[1:], 1):
                    user.key(direction)
                    user.see(lambda s, n=name: s.focused() == n,
                             f"{direction} #{step} from {sequence[step - 1]!r} to land on {name!r}")
        rows.row(case, check)
    rows.report(len(TAB_CYCLES))


ARROWS = [
    # (option clicked first, key, selection afterwards, focus afterwards)
    ("optMakeover", "Down", ["optHairStyling", "optNone"], "optHairStyling"),
    ("optHairStyling", "Up", ["optMakeover", "optNone"], "optMakeover"),
    ("optManicure", "Down", ["optPermanentMakeup", "optNone"], "optPermanentMakeup"),
    ("optNone", "Down", ["optMakeover", "opt10Percent"], "opt10Percent"),
    ("opt10Percent", "Down", ["optMakeover", "opt20Percent"], "opt20Percent"),
    ("opt20Percent", "Up", ["optMakeover", "opt10Percent"], "opt10Percent"),
]


@scenario("arrow_keys_within_a_group")
def arrow_keys(ctx):
    user = Operator(ctx)
    rows = RowFailures()
    for start, key, selection, focus in ARROWS:
        def check(start=start, key=key, selection=selection, focus=focus):
            user.key("Escape")
            user.see_cleared()
            user.click(start)
            user.see(lambda s: s.focused() == start and start in s.checked(), f"{start} clicked")
            user.key(key)
            user.see(lambda s: s.checked() == sorted(selection) and s.focused() == focus,
                     f"{key}: {selection} selected, focus on {focus!r}")
        rows.row(f"{key} from {start}", check)
    rows.report(len(ARROWS))


ESCAPE_FROM = ["optHairStyling", "opt20Percent", "cmdCalculate", "cmdNext", "cmdClear", "cmdPrint", "cmdSummary",
               "cmdExit"]


@scenario("escape_clears_from_every_focus")
def escape_from_everywhere(ctx):
    user = Operator(ctx)
    rows = RowFailures()
    for place in ESCAPE_FROM:
        def check(place=place):
            user.click("optHairStyling")
            user.key("alt+2")
            user.see_selection("optHairStyling", "opt20Percent")
            user.key("Return")
            user.see_labels("$60.00", "$48.00")
            user.expect_announced("$60.00", "$48.00")
            if place.startswith("opt"):
                user.click(place)
            else:
                user.focus_by_tab(place)
            user.see_focus(place)
            user.key("Escape")
            user.see_cleared()
            user.expect_nothing_announced()
        rows.row(f"Esc on {place}", check)
    rows.report(len(ESCAPE_FROM))
    # Esc presses Clear only: nobody was counted.
    user.expect_summary(summary_text(0, "$0.00"))


@dataclass
class EnterCase:
    case: str
    prepare: list            # ("click", name) / ("key", key, selection it makes) / ("tab", name)
    check: object            # what must follow Enter, given the operator
    focus_after: str = None  # where Enter leaves the focus, if it stays put


def _calculated(service, coupon):
    price, total = usd(PRICES[service]), usd(total_due(service, coupon))
    return lambda user: (user.see_labels(price, total), user.expect_announced(price, total))


def _summary_by_enter(user):
    text = user.open_summary(how=None)
    if text != summary_text(0, "$0.00"):
        raise ScenarioFailure(f"the box Enter opened says {text!r}")
    user.close_box()


ENTER_CASES = [
    EnterCase("Makeover option at opening", [], _calculated("Makeover", "None"), "optMakeover"),
    EnterCase("20% option", [("key", "alt+2", ["optMakeover", "opt20Percent"])], _calculated("Makeover", "20%"),
              "opt20Percent"),
    EnterCase("Hair Styling option, clicked", [("click", "optHairStyling")], _calculated("Hair Styling", "None"),
              "optHairStyling"),
    EnterCase("None option", [("click", "optManicure"), ("tab", "optNone")], _calculated("Manicure", "None"),
              "optNone"),
    EnterCase("Calculate", [("click", "optPermanentMakeup"), ("click", "opt10Percent"), ("tab", "cmdCalculate")],
              _calculated("Permanent Makeup", "10%"), "cmdCalculate"),
    EnterCase("Clear, after Calculate", [("key", "Return", OPENING), ("tab", "cmdClear")],
              lambda user: (user.see_cleared(), user.expect_nothing_announced())),
    EnterCase("Next Patron", [("click", "optHairStyling"), ("tab", "cmdNext")],
              lambda user: (user.see_cleared(), user.expect_nothing_announced(),
                            user.expect_summary(summary_text(1, "$60.00")))),
    EnterCase("Summary", [("tab", "cmdSummary")], _summary_by_enter),
]

for enter_case in ENTER_CASES:
    @scenario(f"enter_key[{enter_case.case}]")
    def enter_key(ctx, case=enter_case):
        user = Operator(ctx)
        for action, what, *selection in case.prepare:
            if action == "click":
                user.click(what)
            elif action == "key":
                user.key(what)
                user.see_selection(*selection[0])
            else:
                user.focus_by_tab(what)
        # What the preparation told (its Enter on Calculate) is not the case's.
        user.heard()
        user.key("Return")
        case.check(user)
        if case.focus_after:
            user.see_focus(case.focus_after)
        # Enter must not have closed the window.
        user.barrier()


SHARED_LETTERS = [
    # (letter, the focus before, the focus after: the next of the two after the focus)
    ("c", "optMakeover", "optManicure"), ("c", "optManicure", "cmdCalculate"), ("c", "cmdCalculate", "optManicure"),
    ("n", "optMakeover", "optNone"), ("n", "optNone", "cmdNext"), ("n", "cmdNext", "optNone"),
    ("p", "optMakeover", "optPermanentMakeup"), ("p", "optPermanentMakeup", "cmdPrint"),
    ("p", "cmdExit", "optPermanentMakeup"),
    ("s", "optMakeover", "optHairStyling"), ("s", "optHairStyling", "cmdSummary"),
    ("s", "cmdSummary", "optHairStyling"),
]


@scenario("access_keys")
def access_keys(ctx):
    user = Operator(ctx)
    user.click("optHairStyling")
    user.key("Return")
    user.see_labels("$60.00", "$60.00")
    rows = RowFailures()
    steps = [
        # key, selection afterwards, focus afterwards
        ("alt+1", ["optHairStyling", "opt10Percent"], "opt10Percent"),
        ("alt+2", ["optHairStyling", "opt20Percent"], "opt20Percent"),
        ("alt+m", ["optMakeover", "opt20Percent"], "optMakeover"),
        ("Down", ["optHairStyling", "opt20Percent"], "optHairStyling"),
        ("alt+m", ["optMakeover", "opt20Percent"], "optMakeover"),
    ]
    for key, selection, focus in steps:
        rows.row(key, lambda key=key, selection=selection, focus=focus: (
            user.key(key),
            user.see(lambda s: s.checked() == sorted(selection) and s.focused() == focus,
                     f"{key}: {selection} selected, focus on {focus!r}")))
    # Selecting an option calculates nothing: the labels still show Hair Styling.
    rows.row("no calculation by selecting", lambda: user.see_labels("$60.00", "$60.00"))
    rows.row("Enter after the access keys", lambda: (user.key("Return"), user.see_labels("$125.00", "$100.00")))
    rows.row("alt+l", lambda: (user.click("optManicure"), user.see_selection("optManicure", "opt20Percent"),
                               user.key("alt+l"), user.see_cleared()))

    def reach(start):
        # Esc leaves the focus on Calculate; Shift+Tab from there is Makeover.
        user.key("Escape")
        user.see_cleared()
        if start == "optMakeover":
            user.key("shift+Tab")
        elif start != "cmdCalculate":
            user.focus_by_tab(start)
        user.see_focus(start)

    for letter, start, after in SHARED_LETTERS:
        def check(letter=letter, start=start, after=after):
            snapshot = user.run.snapshot()
            if snapshot.focused() != start:
                reach(start)
            user.key(f"alt+{letter}")
            seen = user.see(lambda s: s.focused() == after, f"alt+{letter} from {start} to move the focus to {after}")
            # It presses nothing and selects nothing.
            seen = user.see(lambda s: s.focused() == after and not s.pushed(), "no button held down")
            if seen.checked() != OPENING or seen.labels() != NO_LABELS or seen.boxes:
                raise ScenarioFailure(f"alt+{letter} did more than move the focus\n{seen.describe()}")
        rows.row(f"alt+{letter} from {start}", check, recover=lambda: reach("optMakeover"))
    rows.report(len(steps) + 3 + len(SHARED_LETTERS))
    # The shared letters pressed nothing: nobody was counted. (Esc first: Tab
    # away from an option that is not selected comes back to the selected one.)
    user.key("Escape")
    user.see_cleared()
    user.expect_summary(summary_text(0, "$0.00"))


# --------------------------------------------------------------------------
# Next Patron and Summary


ROUTES = ["live regions", "UIA notification"]


def _route_name(name, route):
    # The live-region runs keep the names they have always had.
    return name if route == "live regions" else f"{name}[{route}]"


for route_row in ROUTES:
    @scenario(_route_name("next_patron_recalculates_counts_and_clears", route_row))
    def next_patron(ctx, route=route_row):
        _next_patron(ctx, route)


def _next_patron(ctx, route):
    user = Operator(ctx, route=route)
    # On a fresh window Next Patron counts the Makeover it calculates; a
    # reader hears only the focus back on Calculate, not the cleared amounts.
    user.click("cmdNext")
    user.see_cleared()
    user.expect_nothing_announced()
    user.key("alt+1")
    user.see_selection("optMakeover", "opt10Percent")
    user.key("Return")
    user.see_labels("$125.00", "$112.50")
    told = user.expect_announced("$125.00", "$112.50")
    user.click("optManicure")
    user.see_selection("optManicure", "opt10Percent")
    # Counted at the selection as it is now, not at the stale labels.
    user.click("cmdNext")
    user.see_cleared()
    user.expect_nothing_announced()
    user.expect_summary(summary_text(2, usd(Decimal("125") + Decimal("31.50"))))
    if route == "UIA notification":
        _provider_kept_and_released(user, told["provider"])


WINDOW = {"title": "Tarnwick", "class": "Tarnwick.frmTarnwick2", "top_level": True}
S_OK = 0


def _provider_kept_and_released(user, provider):
    """The provider that told Calculate is the one the window gives UI
    Automation for WM_GETOBJECT, and Alt+X releases it."""
    answer = user.run.ask("getobject")["result"]
    returned = [call for call in user.run.uia_calls() if call["call"] == "return"]
    wanted = {"call": "return", "window": WINDOW, "wparam": 0, "lparam": -25, "provider": provider}
    if answer != 0x7A11 or returned != [wanted]:
        raise ScenarioFailure(f"WM_GETOBJECT for UI Automation answered {answer:#x}, the stand-in was handed "
                              f"{returned}, not {wanted}")
    user.ctx.mark("Alt+X")
    user.key("alt+x")
    user.expect_exit("Alt+X", 0)
    _expect_released(user, provider)


def _expect_released(user, provider):
    """At the window's end: UI Automation told the window is gone, the provider disconnected
    while it still gives out the window's host provider, then all, each answered S_OK."""
    calls = user.run.uia_calls()
    ending = calls[next((i for i, call in enumerate(calls) if call["call"] == "return" and not call["lparam"]),
                        len(calls)):]
    wanted = [{"call": "return", "window": WINDOW, "wparam": 0, "lparam": 0, "provider": None},
              {"call": "disconnect", "provider": provider, "references": 1, "host": WINDOW, "answer": S_OK},
              {"call": "disconnect_all", "answer": S_OK}]
    if ending != wanted:
        raise ScenarioFailure(f"at the window's end the stand-in was handed {ending}, not {wanted}")
    user.ctx.note(f"UI Automation was handed: {calls}")


# On the live-region route only: whether a result is told is decided before the route is taken.
@scenario("summary_box")
def summary_box(ctx):
    user = Operator(ctx)
    text = user.open_summary()
    if text != summary_text(0, "$0.00"):
        raise ScenarioFailure(f"summary on a fresh window: {text!r}")
    # Modal: a click on the window under the box does nothing.
    user.click("cmdCalculate")
    user.see(lambda s: len(s.boxes) == 1, "the box still open after a click on the window")
    user.close_box()
    user.see(lambda s: s.labels() == NO_LABELS, "the labels still empty: the click under the box did nothing")

    # Summary counts a calculated patron not yet counted, and only once.
    user.click("optHairStyling")
    user.key("alt+2")
    user.see_selection("optHairStyling", "opt20Percent")
    user.key("Return")
    user.see_labels("$60.00", "$48.00")
    user.expect_announced("$60.00", "$48.00")
    text = user.open_summary()
    if text != summary_text(1, "$48.00"):
        raise ScenarioFailure(f"summary after Calculate: {text!r}")
    under = user.run.snapshot()
    if under.labels() != NO_LABELS or under.checked() != OPENING:
        raise ScenarioFailure("the window was not cleared under the box\n" + under.describe())
    user.close_box()
    user.see_cleared()
    # The box spoke for itself; the Calculate of the Next Patron under it tells nothing.
    user.expect_nothing_announced()
    user.expect_summary(summary_text(1, "$48.00"), how="Return")
    user.expect_summary(summary_text(1, "$48.00"), how="space")


# --------------------------------------------------------------------------
# Ending the program


def _exit_by_click(user):
    user.click("cmdNext")
    user.see_cleared()
    user.key("Return")
    user.see_labels("$125.00", "$125.00")
    user.ctx.mark("the click")
    user.click("cmdExit")


def _exit_by_enter(user):
    user.click("optManicure")
    user.key("Return")
    user.see_labels("$35.00", "$35.00")
    user.focus_by_tab("cmdExit")
    user.ctx.mark("Enter")
    user.key("Return")


def _exit_by_alt_x(user):
    user.click("cmdNext")
    user.see_cleared()
    user.ctx.mark("Alt+X")
    user.key("alt+x")


def _exit_by_close_box(user):
    left, top, right, bottom = user.run.ask("closebox")["rect"]
    user.ctx.mark("the click")
    user.run.click_at((left + right) // 2, (top + bottom) // 2)


def _exit_by_wm_close(user):
    # Told first: a message sent to the window comes before one posted to it.
    user.key("Return")
    user.expect_announced("$125.00", "$125.00")
    user.ctx.mark("WM_CLOSE")
    user.run.ask("close")


CLOSINGS = [
    ("Exit clicked, patrons counted", _exit_by_click),
    ("Enter on Exit", _exit_by_enter),
    ("Alt+X", _exit_by_alt_x),
    ("title bar close box clicked", _exit_by_close_box),
    ("WM_CLOSE", _exit_by_wm_close),
]

for closing_case, closing_action in CLOSINGS:
    @scenario(f"ends_at_once[{closing_case}]")
    def ends_at_once(ctx, action=closing_action):
        user = Operator(ctx, route="UIA notification")
        action(user)
        # A box would be modal and keep the program alive: it must end by itself.
        user.expect_exit(ctx.last_mark, 0)
        # Where Calculate made the window's provider, the end releases it, a WM_CLOSE sent included.
        told = [call["provider"] for call in user.run.uia_calls() if call["call"] == "notification"]
        if told:
            _expect_released(user, told[0])


# --------------------------------------------------------------------------
# The tally at its limit

# Patrons by BM_CLICK before the one that overflows: real X clicks would take
# an hour, so the driver sends them, each handled before the next.
COUNTED = 32767
# A count that cannot be made changes neither the count nor the takings.
TAKINGS_AT_LIMIT = usd(PRICES["Makeover"] * COUNTED)


@scenario("patron_32768_overflows_and_the_program_goes_on", long=True)
def overflow(ctx):
    user = Operator(ctx)
    # Bound by the program's own time for Next Patron: 3 to 12 ms a click under Wine.
    seconds = user.bm_click(["cmdNext"], COUNTED, timeout=480)
    ctx.note(f"{COUNTED} BM_CLICKs in {seconds:.1f} s")
    user.see_cleared()
    # The 32768th patron by a real click.
    user.click("cmdNext")
    snapshot, box = user.open_box("Tarnwick", how=None)
    if snapshot.box_text(box) != "Overflow":
        raise ScenarioFailure(f"the error box says {snapshot.box_text(box)!r}, not 'Overflow'\n"
                              + snapshot.describe())
    user.see_icon("error")
    user.close_box()
    after = user.run.snapshot()
    ctx.note(f"after the error: labels {after.labels()}, focus {after.focused()}")
    # Neither the counted patrons (each cleared at once) nor the refused one
    # (its amounts shown under the error box) were told as results.
    user.expect_nothing_announced()
    user.key("alt+l")
    user.see_cleared()
    user.expect_summary(summary_text(COUNTED, TAKINGS_AT_LIMIT))
    ctx.mark("Alt+X")
    user.key("alt+x")
    user.expect_exit("Alt+X", 0)


# --------------------------------------------------------------------------
# Regions


@dataclass
class Region:
    case: str
    env: dict
    locale: str                # the Windows user locale Wine must make of env
    shape: str                 # a pattern the reference's summary total must match
    makeovers: int = 10        # counted by BM_CLICK before the last patron
    settings: tuple = ()       # the user's own region settings, made before the program starts


REGIONS = [
    Region("en-US", {"LANG": "en_US.UTF-8"}, "en-US", r"^\$1,298\.00$"),
    Region("de-DE", {"LANG": "de_DE.UTF-8"}, "de-DE", r"^1\.298,00\s€$"),
    # LC_ALL, not LANG, names the region here: Wine takes it from LC_MESSAGES.
    Region("fr-FR by LC_ALL", {"LANG": "en_US.UTF-8", "LC_ALL": "fr_FR.UTF-8"}, "fr-FR",
           r"^1[\u00a0\u202f]298,00[\u00a0\u202f ]€$"),
    Region("ja-JP no decimals", {"LANG": "ja_JP.UTF-8"}, "ja-JP", r"^[¥￥]1,298$"),
    # Wine 8 gives en-IN western grouping; the user's own setting makes it
    # Indian, as Windows has it, and shows the program reads the user's settings.
    Region("en-IN Indian grouping", {"LANG": "en_IN"}, "en-IN", r"^₹1,00,048\.00$", makeovers=800,
           settings=(("sMonGrouping", "3;2;0"),)),
    Region("ar-SA right to left", {"LANG": "ar_SA.UTF-8"}, "ar-SA", r"^1,298\.00\s?ر\.س\.\u200f?$"),
    # Wine 8 puts the symbol after the amount; Wine 9 and later, as Windows 10 does, before it.
    Region("de-CH apostrophe grouping", {"LANG": "de_CH.UTF-8"}, "de-CH",
           r"^(1[’']298\.00\sCHF|CHF\s1[’']298\.00)$"),
]

for region_row in REGIONS:
    @scenario(f"region[{region_row.case}]")
    def region_money(ctx, region=region_row):
        user = Operator(ctx, env=region.env, region=region.settings)
        seen = user.run.ask("region")
        if seen["user_locale"] != region.locale:
            raise SetupError(f"Wine made the user locale {seen['user_locale']!r} of {region.env}, "
                             f"not {region.locale!r}")
        last_total = total_due("Hair Styling", "20%")
        grand_total = PRICES["Makeover"] * region.makeovers + last_total
        # Windows' own text for the amounts, with the labels at two decimals and
        # the summary at the region's own.
        price_text, total_text = user.run.ask(f"money 2 {PRICES['Hair Styling']} {last_total}")["texts"]
        summary_total = user.run.ask(f"money region {grand_total}")["texts"][0]
        if not re.search(region.shape, summary_total):
            raise SetupError(f"Windows writes {summary_total!r} under {region.locale}, "
                             f"which does not match {region.shape!r}")
        # The Makeovers by BM_CLICK: Next Patron leaves Makeover and None selected.
        user.bm_click(["cmdNext"], region.makeovers)
        user.see_cleared()
        user.click("optHairStyling")
        user.click("opt20Percent")
        user.see_selection("optHairStyling", "opt20Percent")
        user.key("Return")
        user.see_labels(price_text, total_text)
        # Summary counts the calculated patron, at the region's own decimals.
        text = user.open_summary()
        wanted = summary_text(region.makeovers + 1, summary_total)
        if text != wanted:
            raise ScenarioFailure(f"summary under {region.locale}: expected {wanted!r}, saw {text!r}")
        user.close_box()
        user.see_cleared()
        ctx.note(f"{summary_total!r}")


# --------------------------------------------------------------------------
# Printing. Each scenario that prints runs under with-private-cups of its
# own: its queue is the default printer of a program started with
# CUPS_SERVER, and Wine reads CUPS's printers as Windows' own.


def _print_server_env():
    if not os.environ.get("TARNWICK_PRINT_QUEUE") or not os.environ.get("TARNWICK_PRINT_OUTDIR"):
        raise SetupError("not running under with-private-cups with a printer")
    return {"CUPS_SERVER": os.environ["CUPS_SERVER"], "CUPS_SERVERROOT": os.environ.get("CUPS_SERVERROOT", "")}


# The colours of Windows' High Contrast Black, as Control Panel\Colors keeps them.
HIGH_CONTRAST_BLACK = [
    ("ActiveBorder", (0, 0, 0)), ("ActiveTitle", (0, 0, 0)), ("AppWorkSpace", (0, 0, 0)), ("Background", (0, 0, 0)),
    ("ButtonAlternateFace", (0, 0, 0)), ("ButtonDkShadow", (255, 255, 255)), ("ButtonFace", (0, 0, 0)),
    ("ButtonHilight", (255, 255, 255)), ("ButtonLight", (255, 255, 255)), ("ButtonShadow", (255, 255, 255)),
    ("ButtonText", (255, 255, 255)), ("GradientActiveTitle", (0, 0, 0)), ("GradientInactiveTitle", (0, 0, 0)),
    ("GrayText", (63, 242, 63)), ("Hilight", (26, 235, 255)), ("HilightText", (0, 0, 0)),
    ("HotTrackingColor", (255, 255, 0)), ("InactiveBorder", (0, 0, 0)), ("InactiveTitle", (0, 0, 0)),
    ("InactiveTitleText", (63, 242, 63)), ("InfoText", (255, 255, 255)), ("InfoWindow", (0, 0, 0)),
    ("Menu", (0, 0, 0)), ("MenuBar", (0, 0, 0)), ("MenuHilight", (26, 235, 255)), ("MenuText", (255, 255, 255)),
    ("Scrollbar", (0, 0, 0)), ("TitleText", (255, 255, 255)), ("Window", (0, 0, 0)), ("WindowFrame", (255, 255, 255)),
    ("WindowText", (255, 255, 255)),
]


@dataclass
class ColourScheme:
    case: str
    colours: list        # the user's system colours, set before the program starts
    visual_styles: bool  # off, as a high-contrast scheme has it: every control in the system colours
    face: tuple          # the window's face on the screen (ButtonFace)
    text: tuple          # a caption label's letters on the screen (WindowText)


COLOUR_SCHEMES = [
    # Wine's own colours and its Light visual style, as a fresh prefix has them.
    ColourScheme("standard colours", [], True, (245, 245, 245), (0, 0, 0)),
    ColourScheme("High Contrast Black", HIGH_CONTRAST_BLACK, False, (0, 0, 0), (255, 255, 255)),
]


def _pixels(png, left, top, width, height):
    """The RGB values of a rectangle of an image, row by row."""
    ppm = subprocess.run(["convert", png, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                          "-depth", "8", "ppm:-"], capture_output=True, timeout=60, check=True).stdout
    # P6, width, height, maxval, then the bytes.
    header = ppm.split(maxsplit=4)
    data = header[4]
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def _nearest(pixels, colour):
    """How far, in the largest channel, the pixel closest to colour is from it."""
    return min(max(abs(a - b) for a, b in zip(pixel, colour)) for pixel in pixels)


def _check_screen_colours(user, snapshot, scheme):
    """The window as the screen shows it: its face and a caption's letters in the scheme's colours."""
    shot = os.path.join(user.ctx.worker.scratch("print"), f"screen-{scheme.case.replace(' ', '-')}.png")
    user.run.display.screenshot(shot)
    origin_x, origin_y = user.run.origin
    left, top = snapshot.window["client"][:2]
    face = _pixels(shot, origin_x + left + 3, origin_y + top + 3, 1, 1)[0]
    x0, y0, x1, y1 = snapshot.controls["Label1"]["rect"]
    letters = _nearest(_pixels(shot, origin_x + x0, origin_y + y0, x1 - x0, y1 - y0), scheme.text)
    if face != scheme.face or letters > 24:
        raise ScenarioFailure(f"under {scheme.case} the window's face is {face}, not {scheme.face}, or the "
                              f"caption's letters are {letters} levels from {scheme.text} (screen in {shot})")
    return shot


def _print_under(ctx, paper, scheme):
    user = Operator(ctx, env=_print_server_env(), colours=scheme.colours, visual_styles=scheme.visual_styles)
    user.select("Hair Styling", "10%")
    user.click("cmdCalculate")
    snapshot = user.see_labels("$60.00", "$54.00")
    _check_screen_colours(user, snapshot, scheme)
    ctx.mark("the click on Print Form")
    # A click the window has handled when BM_CLICK returns: the job is then handed over.
    handed = user.bm_click(["cmdPrint"], 1)
    outdir = os.environ["TARNWICK_PRINT_OUTDIR"]
    pdf = linux._run([os.path.join(linux.PRINT_HELPERS, "wait-for-pdf"), outdir, "60"], timeout=90)
    pdf = pdf.strip().splitlines()[-1]
    queued = ctx.since("the click on Print Form")
    # Printing changed nothing on the window and asked nothing.
    user.see(lambda s: not s.boxes and s.labels() == ("$60.00", "$54.00")
             and s.checked() == sorted(["optHairStyling", "opt10Percent"]), "the window unchanged after printing")
    size = linux.check_page_is_sharp(pdf)
    # The form's size at 96 dpi is its layout's, 15 twips a pixel.
    layout = user.run.ask("layout")
    form = tuple(twips / 15 for twips in layout["client"])
    page, at, scale = linux.check_paper_and_scale(pdf, paper, form, ctx.worker.scratch("print"))
    # Whatever the screen's colours, the page is the standard light look.
    left, top, right, bottom = (twips / 15 for twips in layout["controls"]["lblTotalDue"])
    linux.check_paper_colours(pdf, page, at, scale, (left, top, right - left, bottom - top))
    ctx.note(f"PDF {size} bytes, handed over {handed * 1000:.0f} ms and out of the queue {queued:.2f} s after the "
             f"click, at {scale:.3f} of its size")
    user.expect_summary(summary_text(1, "$54.00"))


# The print rows: each paper under the standard colours, and one under High
# Contrast Black, whose screen colours the page must not take.
PRINT_ROWS = [(paper, COLOUR_SCHEMES[0]) for paper in papers.PAPERS] + [(papers.A4, COLOUR_SCHEMES[1])]

for paper_row, scheme_row in PRINT_ROWS:
    @scenario(f"print_form_to_the_default_printer[{paper_row.case}"
              + ("]" if scheme_row is COLOUR_SCHEMES[0] else f", {scheme_row.case}]"), cups=paper_row)
    def print_to_pdf(ctx, paper=paper_row, scheme=scheme_row):
        _print_under(ctx, paper, scheme)


# Printers Print Form cannot use, and the reason its box gives. With no
# scheduler answering, Windows has no default printer.
UNUSABLE_PRINTERS = [
    ("without a print server", None, "no default printer"),
    ("on a paper with no printable area", papers.NO_PRINTABLE_AREA, "the printer reports no printable area"),
]

for case_row, paper_row, reason_row in UNUSABLE_PRINTERS:
    @scenario(f"print_form_fails[{case_row}]", cups=paper_row)
    def print_fails(ctx, paper=paper_row, reason=reason_row):
        _print_fails(ctx, paper, "Print Form failed: " + reason)


def _print_fails(ctx, paper, message):
    env = (_print_server_env() if paper
           else {"CUPS_SERVER": os.path.join(ctx.worker.scratch("no-print-server"), "cups.sock")})
    user = Operator(ctx, env=env)
    user.click("cmdNext")
    user.see_cleared()
    user.click("optHairStyling")
    user.key("Return")
    user.see_labels("$60.00", "$60.00")
    user.click("cmdPrint")
    snapshot, box = user.open_box("Tarnwick", how=None)
    text = snapshot.box_text(box)
    if text != message:
        raise ScenarioFailure(f"the error box says {text!r}, not {message!r}")
    user.see_icon("error")
    ctx.note(f"error box: {text!r}")
    user.close_box()
    # The program goes on with the window as it was and the tally intact.
    user.see_labels("$60.00", "$60.00")
    user.barrier()
    user.expect_summary(summary_text(2, "$185.00"))


@scenario("print_form_cancelled_in_the_printers_own_box", cups=papers.A4)
def print_cancelled(ctx):
    """A printer that asks for a file asks inside StartDoc, in a box of its
    own (Wine's "Print to File" for a printer on the FILE: port, as Windows'
    PDF printer has its Save box). While it is open the window takes no
    second Print Form; Cancel ends Print Form with the window and the tally
    as they were. What StartDoc does after Cancel is Wine's: Wine 8 prints to
    the port all the same, Wine 10 fails it with ERROR_INVALID_DATATYPE, a
    refused job's box. Windows fails it with ERROR_CANCELLED, which ends
    quietly: the Win32 monkey suite's refused-job table holds each choice."""
    user = Operator(ctx, env=_print_server_env(), before=["fileprinter"])
    user.select("Hair Styling", "10%")
    user.click("cmdCalculate")
    user.see_labels("$60.00", "$54.00")
    user.click("cmdPrint")
    asked = user.see(lambda s: len(s.boxes) == 1 and s.boxes[0]["title"] == "Print to File"
                     and [b["id"] for b in s.boxes[0]["buttons"]] == [IDOK, 2], "the printer's own box, Print to File")
    # Synchronous: a second Print Form that were taken would sit in a second box and not return.
    user.bm_click(["cmdPrint"], 1, timeout=20)
    again = user.run.snapshot()
    if len(again.boxes) != 1:
        raise ScenarioFailure("a second Print Form was taken while the printer's box was open\n" + again.describe())
    left, top, right, bottom = next(b["rect"] for b in asked.boxes[0]["buttons"] if b["id"] == 2)
    user.run.click_at((left + right) // 2, (top + bottom) // 2)
    after = user.see(lambda s: s.labels() == ("$60.00", "$54.00")
                     and s.checked() == sorted(["optHairStyling", "opt10Percent"])
                     and (not s.boxes and s.window["enabled"]
                          or len(s.boxes) == 1 and s.boxes[0]["title"] == "Tarnwick"),
                     "after Cancel, the window as it was, under the program's own box at most")
    said = after.box_text(after.boxes[0]) if after.boxes else "no box"
    if after.boxes:
        user.close_box()
    user.run.focus_desktop()
    user.barrier()
    user.expect_summary(summary_text(1, "$54.00"))
    ctx.note(f"Cancel in Print to File: {said!r}; window and tally as they were")
