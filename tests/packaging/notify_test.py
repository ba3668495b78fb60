#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""`rdcsm serve` under a service manager of Type=notify: the READY=1 datagram
arrives on the socket NOTIFY_SOCKET names (a path or an abstract name), with
the serving process as MAINPID, only once the pipe answers (`rdcsm stop`
succeeds right after it); a NOTIFY_SOCKET that names nothing usable is
reported and serving goes on.

    notify_test.py RDCSM
"""
import os
import socket
import subprocess
import sys
import tempfile

RDCSM = sys.argv[1]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("notify_test: FAILED: " + what, file=sys.stderr)


def make_home(root):
    home = os.path.join(root, "home")
    os.mkdir(home, 0o700)
    with open(os.path.join(home, "quarry.ini"), "w") as f:
        f.write("[Configuration]\nDirectory=%s/\nKitType=2\n" % home)
    return home


def serve(root, home, notify):
    env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(root, "run"))
    os.makedirs(env["XDG_RUNTIME_DIR"], 0o700, exist_ok=True)
    env["NOTIFY_SOCKET"] = notify
    return env, subprocess.Popen(
        [RDCSM, "-c", home, "--db", os.path.join(root, "rdcsm.db"), "serve"],
        env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def stop(env, home, server):
    stopped = subprocess.run([RDCSM, "-c", home, "stop"], env=env,
                             capture_output=True, text=True, timeout=20)
    try:
        out, err = server.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        server.kill()
        out, err = server.communicate()
    return stopped, err


def ready_on(kind):
    """Serves with NOTIFY_SOCKET naming a socket of KIND ('path' or
    'abstract') that the test listens on."""
    with tempfile.TemporaryDirectory() as root:
        home = make_home(root)
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        if kind == "path":
            name = os.path.join(root, "notify")
            listener.bind(name)
        else:
            name = "@rdx-notify-test-%d" % os.getpid()
            listener.bind("\0" + name[1:])
        listener.settimeout(30)
        env, server = serve(root, home, name)
        try:
            message = listener.recv(4096).decode()
        except socket.timeout:
            message = ""
        fields = dict(line.split("=", 1) for line in message.splitlines() if "=" in line)
        check(fields.get("READY") == "1", "%s: no READY=1, got %r" % (kind, message))
        check(fields.get("MAINPID") == str(server.pid),
              "%s: MAINPID %r, not %d" % (kind, fields.get("MAINPID"), server.pid))
        # Ready means answering: the stop request is served at once.
        stopped, err = stop(env, home, server)
        check(stopped.returncode == 0, "%s: stop after READY failed: %s" % (kind, stopped.stderr))
        check(server.returncode == 0, "%s: serve ended with %s: %s" % (kind, server.returncode, err))
        listener.close()


def unusable_socket():
    """A relative NOTIFY_SOCKET: told on stderr, and the pipe still served."""
    with tempfile.TemporaryDirectory() as root:
        home = make_home(root)
        env, server = serve(root, home, "relative/notify")
        for _ in range(100):
            probe = subprocess.run([RDCSM, "-c", home, "status"], env=env,
                                   capture_output=True, timeout=20)
            if probe.returncode == 0 or server.poll() is not None:
                break
            subprocess.run(["sleep", "0.1"])
        check(server.poll() is None, "unusable socket: serve ended")
        stopped, err = stop(env, home, server)
        check(stopped.returncode == 0, "unusable socket: stop failed: " + stopped.stderr)
        check("NOTIFY_SOCKET" in err, "unusable socket not reported: %r" % err)


ready_on("path")
ready_on("abstract")
unusable_socket()
if failures:
    sys.exit(1)
print("notify_test: ok")
