# SPDX-License-Identifier: Apache-2.0
"""A small driver of headless Chromium over --remote-debugging-pipe.

The browser reads commands on its file descriptor 3 and writes answers and
events on its descriptor 4: JSON messages, each ended by a NUL byte. One
page target is created and attached in flat mode, so that page commands
carry its session id. Standard library only.
"""

import base64
import fcntl
import json
import os
import select
import shutil
import subprocess
import tempfile
import time


class BrowserError(Exception):
    """The browser answered with an error, went away or did not answer."""


def find_chromium():
    """The Chromium program: $CHROMIUM, else chromium on PATH; None when
    there is none to run."""
    named = os.environ.get("CHROMIUM")
    if named:
        return shutil.which(named)
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


class Browser:
    """Headless Chromium with one page; use as a context manager so that the
    browser is always killed and its profile removed."""

    ANSWER_SECONDS = 30  # the longest wait for the answer of one command

    def __init__(self, program=None, width=1280, height=900):
        program = program or find_chromium()
        if not program:
            raise BrowserError("chromium not found")
        self._profile = tempfile.mkdtemp(prefix="cdp-profile.")
        flags = [
            "--headless=new",
            "--disable-gpu",
            "--disable-dev-shm-usage",  # containers often have a small /dev/shm
            "--remote-debugging-pipe",
            "--user-data-dir=" + self._profile,
            "--window-size=%d,%d" % (width, height),
            "--no-first-run",
            "--no-default-browser-check",
            "--disable-extensions",
            "--disable-background-networking",
            "--hide-scrollbars",
        ]
        if os.geteuid() == 0:
            flags.append("--no-sandbox")  # the sandbox refuses to run as root
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()
        # The child sees the pipes as descriptors 3 and 4.
        self._proc = subprocess.Popen(
            [program] + flags + ["about:blank"],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            pass_fds=(3, 4),
            preexec_fn=lambda: _place_fds(to_browser_r, from_browser_w),
            start_new_session=True,
        )
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._buffer = b""
        self._next_id = 0
        self._session = None
        self.width, self.height = width, height
        try:
            self._open_page()
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Kills the browser and removes its profile (safe to call twice)."""
        if self._proc is not None:
            try:
                os.killpg(self._proc.pid, 9)
            except ProcessLookupError:
                pass
            self._proc.wait()
            self._proc = None
            os.close(self._to_browser)
            os.close(self._from_browser)
        shutil.rmtree(self._profile, ignore_errors=True)

    # -- the protocol -------------------------------------------------------

    def send(self, method, params=None, session=True):
        """Sends one command and returns its result; an error raises."""
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session and self._session:
            message["sessionId"] = self._session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self._to_browser, data):]
        answer = self._answer(self._next_id, method)
        if "error" in answer:
            raise BrowserError("%s: %s" % (method, answer["error"].get("message")))
        return answer.get("result", {})

    def _answer(self, wanted, method):
        deadline = time.monotonic() + self.ANSWER_SECONDS
        while True:
            end = self._buffer.find(b"\0")
            if end >= 0:
                message = json.loads(self._buffer[:end])
                self._buffer = self._buffer[end + 1:]
                if message.get("id") == wanted:
                    return message
                continue  # an event or a late answer: not needed
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._from_browser], [], [], left)[0]:
                raise BrowserError("no answer to %s" % method)
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise BrowserError("the browser closed its pipe during %s" % method)
            self._buffer += chunk

    def _open_page(self):
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=False)
        attached = self.send(
            "Target.attachToTarget", {"targetId": target["targetId"], "flatten": True},
            session=False)
        self._session = attached["sessionId"]
        self.send("Page.enable")
        self.send("Emulation.setDeviceMetricsOverride", {
            "width": self.width, "height": self.height, "deviceScaleFactor": 1,
            "mobile": False})

    # -- what tests use -----------------------------------------------------

    def navigate(self, url, timeout=30):
        """Loads url and waits until its document is complete."""
        # The old document is marked so that its own readyState is not taken
        # for the new one's.
        self.evaluate("window.cdpOldDocument = true")
        result = self.send("Page.navigate", {"url": url})
        if result.get("errorText"):
            raise BrowserError("navigate %s: %s" % (url, result["errorText"]))
        self.wait_for("!window.cdpOldDocument && document.readyState === 'complete'", timeout)

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (promises awaited)."""
        result = self.send("Runtime.evaluate", {
            "expression": expression, "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            text = details.get("exception", {}).get("description") or details.get("text")
            raise BrowserError("evaluate %s: %s" % (expression, text))
        return result["result"].get("value")

    def wait_for(self, expression, timeout=30, every=0.1):
        """Evaluates expression until it is truthy and returns its value;
        raises BrowserError with the last value after timeout seconds."""
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() >= deadline:
                raise BrowserError("waited %ss for %s; last value %r" % (timeout, expression, value))
            time.sleep(every)

    def screenshot(self, path, full_page=False, height=None):
        """Writes a PNG of the page's viewport (or of the whole page, or of
        its top `height` pixels) to path."""
        params = {"format": "png"}
        if full_page:
            size = self.evaluate(
                "[document.documentElement.scrollWidth, document.documentElement.scrollHeight]")
            params["clip"] = {"x": 0, "y": 0, "width": size[0], "height": size[1], "scale": 1}
            params["captureBeyondViewport"] = True
        elif height:
            params["clip"] = {"x": 0, "y": 0, "width": self.width, "height": height, "scale": 1}
        data = self.send("Page.captureScreenshot", params)["data"]
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))


def _place_fds(read_end, write_end):
    """In the child: the command pipe on 3, the answer pipe on 4."""
    # Move both ends above 4 first so that neither dup2 clobbers the other.
    read_end = fcntl.fcntl(read_end, fcntl.F_DUPFD, 5)
    write_end = fcntl.fcntl(write_end, fcntl.F_DUPFD, 5)
    os.dup2(read_end, 3)
    os.dup2(write_end, 4)
