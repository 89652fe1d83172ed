#!/usr/bin/python3
"""Black-box tests of the built Tarnwick program, worked through a private
display and read through the accessibility bus, under one desktop's row.

    /usr/bin/python3 run_blackbox.py --binary build/dev/bin/tarnwick [--desktop NAME] [--only REGEX] [--list]

Runs with Debian's system Python, which is where python3-pyatspi lives. Exits 0
when no scenario failed; a scenario skipped says why. A row whose packages are
missing is skipped whole (exit 77), except under CI, where it fails.
"""

import argparse
import os
import re
import shutil
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ in the source tree

import desktops  # noqa: E402
import harness  # noqa: E402
import scenarios  # noqa: E402
from harness import (App, Processes, ScenarioFailure, ScenarioSkipped, ScreenReader,  # noqa: E402
                     Session, SetupError)

SKIPPED = 77  # the exit status CTest takes for a test not run


class Context:
    """What a scenario gets: the session, and a way to start the program that
    is undone when the scenario ends."""

    def __init__(self, session, binary, workdir):
        self.session = session
        self.binary = binary
        self.workdir = workdir
        self.apps = []
        self.readers = []
        self.notes = []

    def launch(self, env=None):
        workdir = self.scratch(f"app{len(self.apps) + 1}")
        app = App(self.session, self.binary, workdir, env_extra=env)
        self.apps.append(app)
        return app

    def screen_reader(self):
        """Orca on the session, stopped when the scenario ends. Without Orca
        the scenario is skipped, except under CI, which must run it."""
        if not shutil.which("orca"):
            if os.environ.get("CI") == "true":
                raise SetupError("orca is not installed, and under CI the screen reader must be tested")
            raise ScenarioSkipped("orca is not installed (Debian package orca): "
                                  "the screen reader is not tested")
        reader = ScreenReader(self.session, self.scratch("orca"))
        self.readers.append(reader)
        return reader

    def scratch(self, name):
        path = os.path.join(self.workdir, name)
        os.makedirs(path, exist_ok=True)
        return path

    def note(self, text):
        self.notes.append(text)

    def close(self):
        for app in self.apps:
            app.stop()
        for reader in self.readers:
            reader.stop()


def run_here(scenario, session, binary, workdir):
    """Runs one scenario in this process; returns (outcome, report), the
    outcome PASS, FAIL or SKIP."""
    ctx = Context(session, binary, workdir)
    try:
        scenario.run(ctx)
        return "PASS", "; ".join(ctx.notes)
    except ScenarioSkipped as reason:
        return "SKIP", str(reason)
    except (ScenarioFailure, SetupError, AssertionError) as failure:
        report = f"{type(failure).__name__}: {failure}"
    except Exception:  # a fault of the harness itself still fails the scenario
        report = traceback.format_exc()
    finally:
        logs = [(app.log_path, app.log_tail()) for app in ctx.apps]
        ctx.close()
    for path, tail in logs:
        if tail.strip():
            report += f"\n  program output ({path}):\n" + "".join(
                "    " + line + "\n" for line in tail.splitlines())
    return "FAIL", report


def run_under_cups(scenario, processes, args, workdir, deadline):
    """Runs one printing scenario in a child runner under the private print
    scheduler, on this runner's display and buses."""
    rerun = [sys.executable, os.path.abspath(__file__), "--attach", "--binary", args.binary, "--workdir", workdir,
             "--desktop", args.desktop,
             "--only", "^" + re.escape(scenario.name) + "$",
             "--deadline", str(max(10, int(deadline - time.monotonic())))]
    passed, report = harness.run_under_cups(scenario.cups, rerun, processes, workdir, deadline)
    return ("PASS" if passed else "FAIL"), report


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", help="the tarnwick program to test")
    parser.add_argument("--only", action="append", default=[],
                        help="run the scenarios whose name matches this regular expression")
    parser.add_argument("--list", action="store_true", help="list the scenarios and stop")
    parser.add_argument("--desktop", default="none", choices=desktops.names(),
                        help="the desktop whose session the program runs in (default: none)")
    parser.add_argument("--list-desktops", action="store_true", help="list the desktops' rows and stop")
    parser.add_argument("--deadline", type=float, default=190.0,
                        help="seconds for the whole run; scenarios not started by then fail")
    parser.add_argument("--workdir", help="scratch directory (default: a new one, removed when all pass)")
    parser.add_argument("--keep", action="store_true", help="keep the scratch directory")
    parser.add_argument("--attach", action="store_true",
                        help="use the display and buses in the environment (for a wrapped child run)")
    args = parser.parse_args()

    if args.list_desktops:
        print(";".join(desktops.names()))
        return 0
    desktop = desktops.desktop(args.desktop)
    chosen = [s for s in scenarios.SCENARIOS
              if not args.only or any(re.search(pattern, s.name) for pattern in args.only)]
    if args.list:
        for s in chosen:
            print(s.name + ("  (under CUPS)" if s.cups else ""))
        return 0
    if not args.binary or not os.access(args.binary, os.X_OK):
        parser.error(f"--binary must name the built program (got {args.binary!r})")
    if not chosen:
        parser.error("no scenario matches --only")
    args.binary = os.path.abspath(args.binary)

    missing = desktops.missing_packages(desktop)
    if missing:
        said = (f"the {desktop.name} row needs {', '.join(missing)} (scripts/install-deps test)")
        if os.environ.get("CI") == "true":
            print(f"cannot run: {said}, and under CI every row must run", flush=True)
            return 1
        print(f"SKIP every scenario: {said}", flush=True)
        return SKIPPED
    if not args.attach:
        print(f"desktop {desktop.name}: {desktop.what}", flush=True)

    deadline = time.monotonic() + args.deadline
    processes = Processes()
    harness.install_cleanup(processes)
    workdir = args.workdir or harness.make_workdir()
    os.makedirs(workdir, exist_ok=True)
    results = []
    started = time.monotonic()
    try:
        try:
            session = Session(processes, workdir, desktop, attach=args.attach)
        except SetupError as error:
            print(f"cannot set up the test display: {error}", flush=True)
            return 1
        for index, scenario in enumerate(chosen, 1):
            if time.monotonic() >= deadline:
                results.append((scenario.name, "FAIL", 0.0, "not started: the run's deadline passed"))
                continue
            scenario_dir = os.path.join(workdir, f"{index:02d}-" + re.sub(r"[^A-Za-z0-9._-]+", "_",
                                                                          scenario.name))
            os.makedirs(scenario_dir, exist_ok=True)
            begun = time.monotonic()
            if scenario.cups and not args.attach:
                outcome, report = run_under_cups(scenario, processes, args, scenario_dir, deadline)
            else:
                outcome, report = run_here(scenario, session, args.binary, scenario_dir)
            took = time.monotonic() - begun
            results.append((scenario.name, outcome, took, report))
            print(f"{outcome} {scenario.name} ({took:.1f} s)"
                  + (f"  note: {report}" if outcome != "FAIL" and report else ""), flush=True)
            if outcome == "FAIL":
                print("".join("    " + line + "\n" for line in report.splitlines()), flush=True)
    finally:
        processes.stop_all()
    failed = [name for name, outcome, _, _ in results if outcome == "FAIL"]
    skipped = [name for name, outcome, _, _ in results if outcome == "SKIP"]
    if not args.attach:
        print(f"{len(results) - len(failed) - len(skipped)} of {len(results)} scenarios passed"
              + (f", {len(skipped)} skipped" if skipped else "")
              + f" in {time.monotonic() - started:.1f} s", flush=True)
        for name in failed:
            print(f"  failed: {name}", flush=True)
    if failed or args.keep:
        print(f"scratch files kept in {workdir}", flush=True)
    elif not args.workdir:
        shutil.rmtree(workdir, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
