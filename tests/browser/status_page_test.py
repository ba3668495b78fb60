#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The status page in a real browser.

Sets up a home of its own from a build, starts `rdcsm serve --http` on a free
port and `rdrun --serve`, queues a copy that runs for a while and one that
fails on a bad record, and drives headless Chromium through the pages: the
running run's percentage rises through the page's own live updates, its page
draws a throughput chart, the failed run's page marks the failing log record,
and an activity name holding markup shows as text. Screenshots go to
--screenshots. Exits 0 only when every check passed, 77 when no Chromium is
found.

Usage: status_page_test.py BUILD_DIR [--screenshots DIR]
"""

import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cdp  # noqa: E402

SKIPPED = 77
ORDERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples",
                      "orders", "make-orders")
COLUMNS = "id:int,amount:numeric(12,2),ordered_at:datetime,customer:text"
MARKUP_NAME = "<b>x</b> bad orders"  # must show as text, never as an element
SLOW_NAME = "load_orders"
SMALL_NAME = "load_sample"
BAD_VALUE = '"two" is not an integer'  # the text of the bad copy's failing record


class Checks:
    """Counts and prints the checks; the test passes when none failed."""

    def __init__(self):
        self.failed = 0
        self.passed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print("ok    " + what)
        else:
            self.failed += 1
            print("FAIL  " + what + (": " + str(detail) if detail else ""))
        sys.stdout.flush()
        return ok


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(condition, seconds, what, shown=None):
    """Polls condition until it returns a truthy value; raises after seconds,
    telling what shown() returns then."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            last = " (last: %r)" % (shown(),) if shown else ""
            raise TimeoutError("waited %d s for %s%s" % (seconds, what, last))
        time.sleep(0.1)


class Home:
    """A home set up by `rdcsm init` from the build, and its programs."""

    def __init__(self, build, folder):
        self.dir = folder
        rdcsm = os.path.join(build, "rdcsm", "rdcsm")
        subprocess.run([rdcsm, "init", folder], check=True, stdout=subprocess.DEVNULL)
        self.children = []

    def path(self, name):
        return os.path.join(self.dir, name)

    def tool(self, *arguments):
        """Runs rdcsm of the home; its output, or an exception when it fails."""
        done = subprocess.run([self.path("rdcsm")] + list(arguments), capture_output=True,
                              text=True)
        if done.returncode != 0:
            raise RuntimeError("rdcsm %s: %s" % (" ".join(arguments), done.stderr))
        return done.stdout

    def start(self, name, *arguments):
        """Starts a program of the home in its own process group."""
        log = open(self.path(name + ".out"), "ab")
        child = subprocess.Popen([self.path(name)] + list(arguments), stdin=subprocess.DEVNULL,
                                 stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self.children.append(child)
        return child

    def stop_all(self):
        for child in reversed(self.children):
            if child.poll() is None:
                os.killpg(child.pid, signal.SIGTERM)
                try:
                    child.wait(20)
                except subprocess.TimeoutExpired:
                    os.killpg(child.pid, signal.SIGKILL)
                    child.wait()


class Pacer:
    """Lets a process group run for a twelfth of every half second, so that
    the copy stays running while the pages are checked on a machine of any
    speed. The host is stopped far shorter than its lease."""

    RUN, PAUSE = 0.04, 0.46

    def __init__(self, group):
        self.group = group
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._pace, daemon=True)
        self.thread.start()

    def _pace(self):
        while not self.done.is_set():
            self._signal(signal.SIGCONT)
            if self.done.wait(self.RUN):
                break
            self._signal(signal.SIGSTOP)
            self.done.wait(self.PAUSE)

    def _signal(self, number):
        try:
            os.killpg(self.group, number)
        except ProcessLookupError:
            self.done.set()  # the host has ended: nothing left to pace

    def stop(self):
        self.done.set()
        self.thread.join()
        self._signal(signal.SIGCONT)


def write_jobs(home, rows):
    """A small copy, a copy that stops on a bad record and the slow copy of
    `rows` orders."""
    for name, count in (("orders.csv", rows), ("sample.csv", 5000)):
        with open(home.path(name), "w") as out:
            subprocess.run([ORDERS, str(count)], stdout=out, check=True)
    with open(home.path("bad.csv"), "w") as out:
        out.write("id,amount,ordered_at,customer\n1,1.00,2026-01-01 00:00:00,fine\n"
                  "two,2.00,2026-01-01 00:00:00,a bad id\n")
    jobs = """
[link.orders_csv]
connector = "rdcsv"
Path = "{home}/orders.csv"
Columns = "{columns}"

[link.bad_csv]
connector = "rdcsv"
Path = "{home}/bad.csv"
Columns = "{columns}"

[link.orders_db]
connector = "rdsqlite"
Database = "{home}/orders.db"
Create = 1

# The short copies write a database of their own: the slow copy holds its
# database's write lock for a span of batches at a time.
[link.sample_db]
connector = "rdsqlite"
Database = "{home}/sample.db"
Create = 1

[link.sample_csv]
connector = "rdcsv"
Path = "{home}/sample.csv"
Columns = "{columns}"

[activity.{small}]
connector = "rdcopy"
SourceLink = "sample_csv"
TargetLink = "sample_db"
TargetTable = "sample_orders"
CreateTarget = 1

[activity.{slow}]
connector = "rdcopy"
SourceLink = "orders_csv"
TargetLink = "orders_db"
TargetTable = "orders"
BatchSize = 2000
CreateTarget = 1

[activity."{markup}"]
connector = "rdcopy"
SourceLink = "bad_csv"
TargetLink = "sample_db"
TargetTable = "bad_orders"
CreateTarget = 1
OnError = "stop"
""".format(home=home.dir, columns=COLUMNS, slow=SLOW_NAME, small=SMALL_NAME, markup=MARKUP_NAME)
    with open(home.path("jobs.toml"), "w") as out:
        out.write(jobs)
    home.tool("define", home.path("jobs.toml"))


class Api:
    def __init__(self, base):
        self.base = base

    def get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10) as answer:
            return json.loads(answer.read())

    def run(self, number):
        """The run as /api/runs/N tells it."""
        return self.get("/api/runs/%d" % number)["run"]


def js(text):
    return json.dumps(text)


CELL = "(document.querySelector({row} + ' td.{cls}') || {{textContent: ''}}).textContent.trim()"


def cell(run, cls):
    """A JavaScript expression: the text of a live cell of the run's row."""
    return CELL.format(row=js('tr[data-run="%d"]' % run), cls=cls)


def watch_runs_page(browser, base, run, checks, shots):
    """The runs page: the running run's percentage rises through live updates."""
    browser.navigate(base + "/")
    checks.check(browser.evaluate("document.querySelectorAll('#runs th[scope=col]').length") >= 9,
                 "the runs table has its column headers")
    state = browser.evaluate("document.querySelector(%s).dataset.state"
                             % js('tr[data-run="%d"]' % run))
    checks.check(state == "running", "run %d's row is running" % run, state)
    first = browser.wait_for(cell(run, "percent"), 60)
    updates = int(browser.wait_for("document.body.dataset.updates || ''", 30))
    browser.evaluate("window.notReloaded = true")
    print("      run %d at %s after %d updates, rate %s" % (
        run, first, updates, browser.evaluate(cell(run, "rate"))))
    later = browser.wait_for(
        "(() => { const p = parseFloat(%s), u = +document.body.dataset.updates;"
        " return u > %d && p > %f ? [p, u] : null; })()" % (cell(run, "percent"), updates,
                                                              float(first.rstrip("%"))), 60)
    checks.check(True, "the percentage rose from %s to %s%% over %d live updates" % (
        first, later[0], later[1] - updates))
    checks.check(browser.evaluate("window.notReloaded === true"),
                 "the page updated itself without reloading")
    for cls in ("records", "rate", "left"):
        text = browser.evaluate(cell(run, cls))
        checks.check(text != "", "the running row shows its %s" % cls, repr(text))
    browser.screenshot(os.path.join(shots, "runs-page.png"))


def check_run_page(browser, base, run, checks, shots):
    """A running run's page: its live cells, statistics and throughput chart."""
    browser.navigate("%s/runs/%d" % (base, run))
    checks.check(browser.evaluate("document.getElementById('live').dataset.state") == "running",
                 "the run's page shows it running")
    # Points of its lines, else any other marks drawn.
    points = browser.wait_for(
        "(c => [...c.querySelectorAll('polyline')].reduce((n, l) => n + l.points.numberOfItems, 0)"
        " + c.querySelectorAll('path, rect, circle').length)(document.getElementById('throughput'))"
        " >= 2", 30)
    checks.check(points, "the throughput chart draws the samples")
    summary = browser.evaluate("document.getElementById('throughput-summary').textContent.trim()")
    checks.check(summary != "", "the chart has a text summary", summary)
    checks.check(browser.evaluate("!!document.querySelector('#statistics')"),
                 "the run's page has its statistics table")
    browser.screenshot(os.path.join(shots, "run-page.png"))


def check_failed_run(browser, base, home, run, checks, shots):
    """The failed run's page marks the failing log record."""
    failing = [line for line in home.tool("log", MARKUP_NAME).splitlines() if BAD_VALUE in line]
    browser.navigate("%s/runs/%d" % (base, run))
    text = browser.evaluate(
        "[...document.querySelectorAll('#log tr.failing')].map(r => r.textContent).join('\\n')")
    checks.check(bool(failing) and BAD_VALUE in text,
                 "the failed run's page marks the failing record", "%r / %r" % (text, failing))
    browser.evaluate("(r => r && r.scrollIntoView({block: 'center'}))"
                     "(document.querySelector('#log tr.failing'))")
    browser.screenshot(os.path.join(shots, "failed-run.png"))


def check_outcomes(browser, base, runs, checks):
    """The rows tell each run's outcome, and the outcome filter keeps the
    failed run alone."""
    browser.navigate(base + "/")
    for run, outcome in runs.items():
        row = browser.evaluate("(r => r && [r.dataset.state, r.dataset.outcome])"
                               "(document.querySelector(%s))" % js('tr[data-run="%d"]' % run))
        checks.check(row == ["ended", outcome], "run %d's row says ended, %s" % (run, outcome),
                     row)
    browser.navigate(base + "/?outcome=failed")
    shown = browser.evaluate("[...document.querySelectorAll('#runs tr[data-run]')]"
                             ".map(r => +r.dataset.run)")
    failed = [run for run, outcome in runs.items() if outcome == "failed"]
    checks.check(shown == failed, "?outcome=failed lists the failed run alone", shown)


def check_markup_name(browser, base, run, checks):
    """The markup in an activity's name is text on every page that shows it."""
    pages = ["/", "/runs/%d" % run, "/activities/" + urllib.parse.quote(MARKUP_NAME, safe="")]
    for page in pages:
        browser.navigate(base + page)
        shown = browser.evaluate("document.body.textContent.includes(%s)" % js(MARKUP_NAME))
        made = browser.evaluate(
            "[...document.querySelectorAll('b')].some(b => b.textContent === 'x')")
        checks.check(shown and not made, "%s shows the name %s as text" % (page, MARKUP_NAME),
                     "shown %s, element made %s" % (shown, made))



def check_activity_page(browser, checks):
    """The activity's page (the one open): its definition and the history of its runs."""
    definition = browser.evaluate("(document.getElementById('definition') || {}).textContent")
    checks.check("bad_csv" in (definition or ""), "the activity's page shows its definition",
                 definition)
    checks.check(browser.evaluate("!!document.querySelector('svg#history')")
                 and browser.evaluate("document.getElementById('history-summary').textContent"
                                      ".trim() !== ''"),
                 "the activity's page has its history chart and summary")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--screenshots", default=None)
    parser.add_argument("--rows", type=int, default=2000000)
    options = parser.parse_args()
    if not cdp.find_chromium():
        print("SKIP: chromium not found (install it, or name it with CHROMIUM=)")
        return SKIPPED
    build = os.path.abspath(options.build)
    shots = os.path.abspath(options.screenshots or os.path.join(build, "screenshots"))
    os.makedirs(shots, exist_ok=True)
    work = tempfile.mkdtemp(prefix="status-page.")
    home = Home(build, os.path.join(work, "home"))
    checks = Checks()
    try:
        run_test(home, options, shots, checks)
    except (cdp.BrowserError, TimeoutError, RuntimeError) as error:
        checks.check(False, "the test ran to its end", error)
    finally:
        home.stop_all()
    if checks.failed:
        print("the home is kept in " + home.dir)
        for name in ("rdcsm.out", "rdrun.out"):
            if os.path.exists(home.path(name)):
                print("---- " + name)
                print(open(home.path(name), errors="replace").read()[-4000:])
    else:
        shutil.rmtree(work, ignore_errors=True)
    print("%d checks passed, %d failed; screenshots in %s" % (checks.passed, checks.failed, shots))
    return 1 if checks.failed else 0


def run_test(home, options, shots, checks):
    port = free_port()
    base = "http://127.0.0.1:%d" % port
    home.start("rdcsm", "serve", "--http", "127.0.0.1:%d" % port)
    api = Api(base)
    wait_until(lambda: answers(api), 30, "rdcsm to answer on " + base)
    write_jobs(home, options.rows)
    runs = {}
    for name in (SMALL_NAME, MARKUP_NAME, SLOW_NAME):
        queued = home.tool("run", name)  # "queued run N of NAME"
        runs[name] = int(queued.split()[2])
    host = home.start("rdrun", "--serve", "--workers", "2")
    pacer = Pacer(host.pid)
    try:
        check_pages(api, base, home, runs, shots, checks)
    finally:
        pacer.stop()


def check_pages(api, base, home, runs, shots, checks):
    slow, small, failed = runs[SLOW_NAME], runs[SMALL_NAME], runs[MARKUP_NAME]
    for number, state in ((small, "ended"), (failed, "ended"), (slow, "running")):
        wait_until(lambda: _is(api.run(number), state), 60, "run %d to be %s" % (number, state),
                   lambda: api.run(number))
    with cdp.Browser() as browser:
        watch_runs_page(browser, base, slow, checks, shots)
        check_failed_run(browser, base, home, failed, checks, shots)
        check_outcomes(browser, base, {small: "ended", failed: "failed"}, checks)
        check_markup_name(browser, base, failed, checks)
        check_activity_page(browser, checks)
        # Last, so that its chart has gathered a few more samples.
        check_run_page(browser, base, slow, checks, shots)
    running = api.run(slow)
    checks.check(running["state"] == "running",
                 "the copy was still running when the pages had been checked", running["state"])


def answers(api):
    try:
        return api.get("/api/runs") is not None
    except OSError:
        return False


def _is(run, state):
    """Whether the run is in the state; a running one once its share is known."""
    return run["state"] == state and (state != "running" or run["share"] is not None)


if __name__ == "__main__":
    sys.exit(main())
