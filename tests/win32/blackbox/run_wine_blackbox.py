#!/usr/bin/python3
"""Black-box tests of the Windows program under Wine, worked through a private X
display with real key presses and clicks and read back through Win32.

    /usr/bin/python3 run_wine_blackbox.py --exe tarnwick.exe --driver tarnwick_wine_driver.exe \\
        --prefix WINE-PREFIX [--only REGEX] [--list] [--jobs N]

Each scenario runs the program in a fresh copy of the prepared Wine prefix;
each that prints, in a child runner under a print scheduler of its own.
Exits 0 when every scenario passed; the closing line reads "N passed, N failed".
"""

import argparse
import os
import queue
import re
import shutil
import sys
import tempfile
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ in the source tree

import wine_harness  # noqa: E402
import wine_scenarios  # noqa: E402
from wine_harness import Display, Processes, ScenarioFailure, SetupError, WineRun  # noqa: E402


class Config:
    def __init__(self, exe, driver, prefix, uia_standins):
        self.exe = exe
        self.driver = driver
        self.prefix = prefix
        self.uia_standins = uia_standins  # by route: the uiautomationcore.dll stand-in a run installs


class Worker:
    """One display, and the scenarios run on it one after another."""

    def __init__(self, config, processes, workdir, display=None):
        self.config = config
        self.processes = processes
        self.workdir = workdir
        os.makedirs(workdir, exist_ok=True)
        self.display = Display(processes, workdir, display)
        self.dir = workdir

    def scratch(self, name):
        path = os.path.join(self.dir, name)
        os.makedirs(path, exist_ok=True)
        return path


class Context:
    """What a scenario gets: a way to start the program, undone when the
    scenario ends, and a place for notes."""

    def __init__(self, worker):
        self.worker = worker
        self.runs = []
        self.notes = []
        self.marks = {}
        self.last_mark = None

    def launch(self, env=None, region=(), dpi=None, font=None, colours=(), visual_styles=True, route="live regions",
               before=()):
        run = WineRun(self.worker, f"run{len(self.runs) + 1}", env=env, region=region, dpi=dpi, font=font,
                      colours=colours, visual_styles=visual_styles, route=route, before=before)
        self.runs.append(run)
        return run

    def note(self, text):
        self.notes.append(text)

    def mark(self, what):
        self.marks[what] = time.monotonic()
        self.last_mark = what

    def since(self, what):
        return time.monotonic() - self.marks[what]

    def close(self):
        for run in self.runs:
            run.stop()


def run_scenario(scenario, worker):
    """Runs one scenario; returns (passed, report)."""
    ctx = Context(worker)
    try:
        try:
            scenario.run(ctx)
            return True, "; ".join(ctx.notes)
        except (ScenarioFailure, SetupError, AssertionError) as failure:
            report = f"{type(failure).__name__}: {failure}"
        except Exception:  # a fault of the harness itself still fails the scenario
            report = traceback.format_exc()
        # A picture of the screen as the failure left it, beside the logs.
        shot = os.path.join(worker.scratch("."), "screen.png")
        try:
            worker.display.screenshot(shot)
            report += f"\n  screen: {shot}"
        except Exception as error:
            report += f"\n  no screenshot: {error}"
        if ctx.notes:
            report += "\n  notes: " + "; ".join(ctx.notes)
        return False, report
    finally:
        ctx.close()


def run_under_cups(scenario, worker, args, deadline):
    """Runs one printing scenario in a child runner under a print scheduler of
    its own, whose one queue has the scenario's paper, on this worker's display."""
    rerun = [sys.executable, os.path.abspath(__file__), "--exe", args.exe, "--driver", args.driver,
             "--uia-notifying", args.uia_notifying, "--uia-older", args.uia_older, "--prefix", args.prefix,
             "--display", worker.display.name, "--jobs", "1", "--workdir", os.path.join(worker.dir, "wrapped"),
             "--only", "^" + re.escape(scenario.name) + "$",
             "--deadline", str(max(10, int(deadline - time.monotonic())))]
    return wine_harness.run_under_cups(scenario.cups, rerun, worker.processes, worker.scratch("."), deadline)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", help="the tarnwick.exe to test")
    parser.add_argument("--driver", help="the driver, tarnwick_wine_driver.exe")
    parser.add_argument("--prefix", help="the prepared Wine prefix (tests/win32/make-wine-prefix)")
    parser.add_argument("--uia-notifying", help="the uiautomationcore.dll stand-in with UI Automation's notification")
    parser.add_argument("--uia-older", help="the uiautomationcore.dll stand-in without it")
    parser.add_argument("--only", action="append", default=[],
                        help="run the scenarios whose name matches this regular expression")
    parser.add_argument("--list", action="store_true", help="list the scenarios and stop")
    parser.add_argument("--jobs", type=int, default=2, choices=(1, 2),
                        help="scenarios at once, each pair on a display of its own")
    parser.add_argument("--deadline", type=float, default=540.0,
                        help="seconds for the whole run; scenarios not started by then fail")
    parser.add_argument("--workdir", help="scratch directory (default: a new one, removed when all pass)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch directory")
    parser.add_argument("--display", help="run on this X display, under the print scheduler in the environment "
                                          "(a wrapped child run)")
    args = parser.parse_args()

    chosen = [s for s in wine_scenarios.SCENARIOS
              if not args.only or any(re.search(pattern, s.name) for pattern in args.only)]
    if args.list:
        for s in chosen:
            print(s.name)
        return 0
    for what, path in (("--exe", args.exe), ("--driver", args.driver), ("--uia-notifying", args.uia_notifying),
                       ("--uia-older", args.uia_older)):
        if not path or not os.path.isfile(path):
            parser.error(f"{what} must name a built program (got {path!r})")
    if not args.prefix or not os.path.isfile(os.path.join(args.prefix, ".complete")):
        parser.error(f"--prefix must name a prepared Wine prefix (got {args.prefix!r})")
    if not chosen:
        parser.error("no scenario matches --only")
    for name in ("exe", "driver", "prefix", "uia_notifying", "uia_older"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    config = Config(args.exe, args.driver, args.prefix,
                    {"UIA notification": args.uia_notifying, "live regions": args.uia_older})

    deadline = time.monotonic() + args.deadline
    processes = Processes()
    wine_harness.install_cleanup(processes)
    workdir = args.workdir or tempfile.mkdtemp(prefix="tarnwick-wine-blackbox.", dir="/tmp")
    os.makedirs(workdir, exist_ok=True)

    # The long ones first, so that the rest fill the time beside them.
    order = sorted(chosen, key=lambda s: not s.long)
    todo = queue.Queue()
    for index, scenario in enumerate(order):
        todo.put((index, scenario))
    results = {}
    lock = threading.Lock()
    started = time.monotonic()

    def work(number):
        try:
            worker = Worker(config, processes, os.path.join(workdir, f"display{number}"), args.display)
        except (SetupError, OSError) as error:
            with lock:
                print(f"cannot set up test display {number}: {error}", flush=True)
            return
        try:
            while True:
                try:
                    index, scenario = todo.get_nowait()
                except queue.Empty:
                    return
                if time.monotonic() >= deadline:
                    passed, took, report = False, 0.0, "not started: the run's deadline passed"
                else:
                    begun = time.monotonic()
                    worker.dir = os.path.join(worker.workdir, re.sub(r"[^A-Za-z0-9._-]+", "_", scenario.name))
                    if scenario.cups and not args.display:
                        passed, report = run_under_cups(scenario, worker, args, deadline)
                    else:
                        passed, report = run_scenario(scenario, worker)
                    took = time.monotonic() - begun
                with lock:
                    results[scenario.name] = (passed, took, report)
                    print(f"{'PASS' if passed else 'FAIL'} {scenario.name} ({took:.1f} s)"
                          + (f"  note: {report}" if passed and report else ""), flush=True)
                    if not passed:
                        print("".join("    " + line + "\n" for line in report.splitlines()), flush=True)
        finally:
            if worker.display.server:
                Processes.stop(worker.display.server)

    threads = [threading.Thread(target=work, args=(n,), daemon=True) for n in range(1, args.jobs + 1)]
    try:
        for thread in threads:
            thread.start()
        for thread in threads:
            while thread.is_alive():
                thread.join(0.5)
    finally:
        wine_harness.kill_all_wineservers()
        processes.stop_all()

    for scenario in chosen:
        results.setdefault(scenario.name, (False, 0.0, "not run: no display to run it on"))
    failed = [s.name for s in chosen if not results[s.name][0]]
    print(f"total time {time.monotonic() - started:.1f} s", flush=True)
    for name in failed:
        print(f"  failed: {name}", flush=True)
    if failed or args.keep:
        print(f"scratch files kept in {workdir}", flush=True)
    elif not args.workdir:
        shutil.rmtree(workdir, ignore_errors=True)
    print(f"{len(chosen) - len(failed)} passed, {len(failed)} failed", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
