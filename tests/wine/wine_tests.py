#!/usr/bin/env python3
"""End-to-end checks of Pellsweep64.exe under Wine.

    wine_tests.py run SCENARIO [--console-golden FILE] [--no-logs]
    wine_tests.py compare SCENARIO --sim pellsweep-sim

Both take --base, --exe, --locker and --out. `run` runs the scenario under Wine
and checks what its expected/ directory asks for:

    tree.txt, pending.txt    the whole output file, byte for byte
    console-lines.txt        lines that must appear on the console, in this order
    console-never.txt        text that must appear nowhere on the console
    log-head.txt             the first messages of every log, exactly
    log-lines.txt            messages that must appear in the logs, in this order
    log-never.txt            text that must appear in no log message

Every run must exit 0, and every log line must have the program's exact format
with a time stamp taken during the run. `compare` runs the scenario through the
native simulator and under Wine and wants console.txt, tree.txt, pending.txt and
exit.txt identical.
"""

import argparse
import datetime
import difflib
import os
import re
import shutil
import subprocess
import sys

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_runner  # noqa: E402

# "%d/%d/%d %d:%d:%-2d - %s\r\n": nothing zero-padded, the second left-aligned in two columns.
LOG_LINE = re.compile(
    r"^(\d{4})/([1-9]|1[0-2])/([1-9]|[12]\d|3[01]) ([0-9]|1\d|2[0-3]):([0-9]|[1-5]\d):([0-9]  |[1-5]\d )- (.*)\r$"
)


class Failures:
    def __init__(self):
        self.items = []

    def add(self, text):
        self.items.append(text)

    def report(self):
        for item in self.items:
            print("FAIL: " + item + "\n")
        if self.items:
            print(f"{len(self.items)} check(s) failed")
            return 1
        print("all checks passed")
        return 0


def visible(data):
    """Bytes as diffable lines that show every CR and a missing final newline."""
    text = data.decode("latin-1").replace("\r", "\\r")
    lines = text.split("\n")
    shown = [line + "\\n" for line in lines[:-1]]
    if lines[-1]:
        shown.append(lines[-1] + "   <no newline at end>")
    return shown


def diff(expected, actual, expected_name, actual_name):
    return "\n".join(
        difflib.unified_diff(visible(expected), visible(actual), expected_name, actual_name, lineterm="")
    )


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


def read_lines(path):
    """Lines of an expectations file; None when the file is not there."""
    if not os.path.exists(path):
        return None
    with open(path, encoding="ascii") as handle:
        return [line.rstrip("\r\n") for line in handle if line.rstrip("\r\n")]


def check_same(failures, what, expected_path, actual_path):
    expected, actual = read(expected_path), read(actual_path)
    if expected != actual:
        failures.add(f"{what} differs from {expected_path}:\n" + diff(expected, actual, expected_path, actual_path))


def check_in_order(failures, what, wanted, lines, whole):
    """wanted must appear among lines as an ordered subsequence."""
    position = 0
    for item in wanted:
        try:
            position = lines.index(item, position) + 1
        except ValueError:
            earlier = item in lines[:position]
            after = f" (wanted after: {wanted[wanted.index(item) - 1]})" if wanted.index(item) else ""
            failures.add(
                f"{what}: {'out of order' if earlier else 'missing'}: {item}{after}\n--- {what}:\n{whole}"
            )
            return


def check_console(failures, out, expected_dir):
    console = read(os.path.join(out, "console.txt"))
    text = console.decode("latin-1")
    # stdout is in text mode: every line break leaves the program as CRLF.
    if re.search(r"(?<!\r)\n", text):
        failures.add("console has a line feed without a carriage return:\n" + "\n".join(visible(console)))
    lines = text.split("\r\n")
    wanted = read_lines(os.path.join(expected_dir, "console-lines.txt"))
    if wanted:
        check_in_order(failures, "console", wanted, lines, text)
    for never in read_lines(os.path.join(expected_dir, "console-never.txt")) or []:
        if never.upper() in text.upper():
            failures.add(f"console mentions {never!r}:\n{text}")


def check_logs(failures, out, expected_dir, started, finished):
    logs_dir = os.path.join(out, "logs")
    names = sorted(os.listdir(logs_dir)) if os.path.isdir(logs_dir) else []
    head = read_lines(os.path.join(expected_dir, "log-head.txt"))
    wanted = read_lines(os.path.join(expected_dir, "log-lines.txt"))
    never = read_lines(os.path.join(expected_dir, "log-never.txt")) or []
    if (head or wanted) and not names:
        failures.add("the run wrote no log file")
    for name in names:
        data = read(os.path.join(logs_dir, name))
        text = data.decode("latin-1")
        if not text.endswith("\r\n"):
            failures.add(f"log {name} does not end with CRLF:\n" + "\n".join(visible(data)))
        messages = []
        previous = None
        # Time stamps have whole seconds; the run's bounds are widened to match.
        earliest = started.replace(microsecond=0)
        latest = finished.replace(microsecond=0) + datetime.timedelta(seconds=1)
        for number, line in enumerate(text.split("\n")[:-1], 1):
            match = LOG_LINE.match(line)
            if not match:
                failures.add(f"log {name} line {number} has not the log format: {line!r}")
                continue
            year, month, day, hour, minute, second = (int(match.group(i)) for i in range(1, 7))
            try:
                stamp = datetime.datetime(year, month, day, hour, minute, second)
            except ValueError:
                failures.add(f"log {name} line {number} has no valid date: {line!r}")
                continue
            if not earliest <= stamp <= latest:
                failures.add(f"log {name} line {number} is stamped {stamp}, outside the run ({earliest} to {latest})")
            if previous and stamp < previous:
                failures.add(f"log {name} line {number} is stamped before the line above it: {line!r}")
            previous = stamp
            messages.append(match.group(7))
        if head and messages[: len(head)] != head:
            failures.add(f"log {name} starts with {messages[:len(head)]!r}, wanted {head!r}\n--- log:\n{text}")
        if wanted:
            check_in_order(failures, f"log {name}", wanted, messages, text)
        for item in never:
            if any(item in message for message in messages):
                failures.add(f"log {name} has the message {item!r}:\n{text}")


def check_run(failures, out, scenario, console_golden=None, no_logs=False, started=None, finished=None):
    expected_dir = os.path.join(scenario, "expected")
    exit_text = read(os.path.join(out, "exit.txt"))
    if exit_text != b"0\n":
        failures.add(f"exit status is {exit_text!r}, wanted 0\n--- console:\n"
                     + read(os.path.join(out, "console.txt")).decode("latin-1")
                     + "\n--- stderr:\n" + read(os.path.join(out, "stderr.txt")).decode("latin-1"))
    if console_golden:
        check_same(failures, "console", console_golden, os.path.join(out, "console.txt"))
    check_console(failures, out, expected_dir)
    for name in ("tree.txt", "pending.txt"):
        expected = os.path.join(expected_dir, name)
        if os.path.exists(expected):
            check_same(failures, name, expected, os.path.join(out, name))
    logs_dir = os.path.join(out, "logs")
    if no_logs and os.path.isdir(logs_dir) and os.listdir(logs_dir):
        failures.add(f"the run wrote a log it should not have: {sorted(os.listdir(logs_dir))}")
    check_logs(failures, out, expected_dir, started, finished)


def run_wine(options, out):
    started = datetime.datetime.now()
    wine_runner.run_scenario(options.base, options.exe, options.locker, options.scenario, out, options.keep_prefix)
    return started, datetime.datetime.now()


def command_run(options):
    failures = Failures()
    started, finished = run_wine(options, options.out)
    check_run(failures, options.out, options.scenario, options.console_golden, options.no_logs, started, finished)
    return failures.report()


def command_compare(options):
    failures = Failures()
    sim_out = os.path.join(options.out, "sim")
    wine_out = os.path.join(options.out, "wine")
    for path in (sim_out, wine_out):
        if os.path.exists(path):
            shutil.rmtree(path)
    os.makedirs(options.out, exist_ok=True)
    sim = subprocess.run([options.sim, options.scenario, sim_out], capture_output=True, timeout=120)
    if sim.returncode != 0:
        failures.add(f"{options.sim} failed with exit {sim.returncode}:\n"
                     + sim.stdout.decode("latin-1") + sim.stderr.decode("latin-1"))
        return failures.report()
    run_wine(options, wine_out)
    for name in ("console.txt", "tree.txt", "pending.txt", "exit.txt"):
        sim_file, wine_file = os.path.join(sim_out, name), os.path.join(wine_out, name)
        if not os.path.exists(sim_file):
            failures.add(f"pellsweep-sim wrote no {name}")
            continue
        sim_data, wine_data = read(sim_file), read(wine_file)
        if sim_data != wine_data:
            failures.add(f"{name}: the simulator and Wine differ:\n" + diff(sim_data, wine_data, sim_file, wine_file))
    return failures.report()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=("run", "compare"))
    parser.add_argument("scenario")
    parser.add_argument("--base", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--locker", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--sim", help="pellsweep-sim, for compare")
    parser.add_argument("--console-golden", help="file the console must equal byte for byte")
    parser.add_argument("--no-logs", action="store_true", help="the run must write no log file")
    parser.add_argument("--keep-prefix", action="store_true")
    options = parser.parse_args()
    wine_runner.end_on_signals()
    for path in (options.exe, options.locker, options.base):
        if not os.path.exists(path):
            print(f"FAIL: {path} does not exist")
            return 1
    try:
        if options.command == "compare":
            if not options.sim:
                parser.error("compare needs --sim")
            return command_compare(options)
        return command_run(options)
    except (wine_runner.ScenarioError, subprocess.TimeoutExpired, subprocess.CalledProcessError) as error:
        print(f"FAIL: could not run {options.scenario} under Wine: {error}")
        return 1


if __name__ == "__main__":
    sys.exit(main())
