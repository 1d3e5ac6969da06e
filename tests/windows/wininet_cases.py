#!/usr/bin/python3
"""The wininet client under Wine against the loopback test FTP server, case by case.

Usage: wininet_cases.py PROBE.exe

Each case starts tests/ftp/ftp_server.py in its own temporary root (the mode, permissions and
login directory of the case), runs ftp_probe.exe under Wine (WINEPREFIX and DISPLAY come from
the caller) for one session, and checks what the client reported, what the server was sent and
what landed on disk. The same cases as the Linux client's, as a table. Prints one line per case
and "N passed, N failed"; exits non-zero on a failure.
"""

import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "..", "ftp", "ftp_server.py")
USER = "publisher7"
PASSWORD = "p4ss:#@ w%rd/?"
CONTENT = b"Date: 06/12/2026   Time: 01:47:36\r\n\r\nIP:   203.0.113.45\r\n" + bytes(range(256)) * 40
# Seconds: above the client's bounds and far below "for good". Wine's wininet waits for a
# server's greeting with a 60-second limit of its own, whatever the options say.
HANG_LIMIT = 75

# name, mode, permissions, login dir, target, password, remote, expect connect, expect put,
# STOR commands the server must have seen, where the file must land (relative to the root)
CASES = [
    ("Stores", "normal", "elradfmwMT", "", "server", PASSWORD, "ip.txt", 1, 1, 1, "ip.txt"),
    ("RelativeName", "normal", "elradfmwMT", "home", "server", PASSWORD, "sub/ip.txt", 1, 1, 1,
     "home/sub/ip.txt"),
    ("AbsoluteName", "normal", "elradfmwMT", "home", "server", PASSWORD, "/pub/ip.txt", 1, 1, 1,
     "pub/ip.txt"),
    ("NameWithSpaces", "normal", "elradfmwMT", "home", "server", PASSWORD, "with space.txt", 1, 1,
     1, "home/with space.txt"),
    ("WrongPassword", "normal", "elradfmwMT", "", "server", "wrong", "ip.txt", 0, 0, 0, None),
    ("CommandInPassword", "normal", "elradfmwMT", "", "server", PASSWORD + "\r\nDELE x",
     "ip.txt", 0, 0, 0, None),
    ("NeverAnswers", "silent", "elradfmwMT", "", "server", PASSWORD, "ip.txt", 0, 0, 0, None),
    ("ClosedPort", "normal", "elradfmwMT", "", "closed", PASSWORD, "ip.txt", 0, 0, 0, None),
    ("RefusedStore", "refuse-stor", "elradfmwMT", "", "server", PASSWORD, "ip.txt", 1, 0, 1, None),
    ("DiskFull", "disk-full", "elradfmwMT", "", "server", PASSWORD, "ip.txt", 1, 0, 1, None),
    ("DroppedDataConnection", "drop-data", "elradfmwMT", "", "server", PASSWORD, "ip.txt", 1, 0,
     1, None),
    ("StoreNeverAnswered", "stall-stor", "elradfmwMT", "", "server", PASSWORD, "ip.txt", 1, 0, 1,
     None),
    ("MissingDirectory", "normal", "elradfmwMT", "", "server", PASSWORD, "nodir/ip.txt", 1, 0, 1,
     None),
    ("NoPermission", "normal", "elr", "", "server", PASSWORD, "ip.txt", 1, 0, 1, None),
    ("DirectoryName", "normal", "elradfmwMT", "", "server", PASSWORD, "pub/", 1, 0, 0, None),
    ("CommandInName", "normal", "elradfmwMT", "", "server", PASSWORD, "ip.txt\r\nDELE x", 1, 0, 0,
     None),
]


def closed_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run_case(probe, case):
    (name, mode, permissions, login_dir, target, password, remote, want_connect, want_put,
     want_stor, lands_at) = case
    problems = []
    with tempfile.TemporaryDirectory(prefix="orvane-wininet-") as base:
        root = os.path.join(base, "root")
        os.makedirs(os.path.join(root, "home", "sub"))
        os.makedirs(os.path.join(root, "pub"))
        transcript = os.path.join(base, "transcript")
        local = os.path.join(base, "ip.txt")
        with open(local, "wb") as f:
            f.write(CONTENT)
        env = dict(os.environ, FTP_TEST_PASSWORD=PASSWORD)
        server = subprocess.Popen(
            ["/usr/bin/python3", SERVER, "--root", root, "--user", USER, "--mode", mode,
             "--permissions", permissions, "--login-dir", login_dir, "--transcript", transcript,
             "--watch-stdin"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
        try:
            port = int(re.match(rb"PORT (\d+)", server.stdout.readline()).group(1))
            if target == "closed":
                port = closed_port()
            start = time.monotonic()
            try:
                result = subprocess.run(
                    ["wine", probe, "127.0.0.1", str(port), USER, windows_path(local), remote],
                    env=dict(os.environ, FTP_TEST_PASSWORD=password), capture_output=True,
                    timeout=HANG_LIMIT + 30)
                output = result.stdout.decode("latin-1")
            except subprocess.TimeoutExpired:
                output = ""
                problems.append("the client hung")
            elapsed = time.monotonic() - start
        finally:
            server.stdin.close()
            server.wait(timeout=10)
        fields = dict(re.findall(r"(\w+)=(\d+)", output.split("\n")[0]))
        error = output.split("error=", 1)[-1].strip() if "error=" in output else ""
        lines = open(transcript, encoding="utf-8").read().splitlines() \
            if os.path.exists(transcript) else []

        def count(verb):
            return sum(1 for line in lines if re.match(r"\d+ <- %s\b" % verb, line))

        if fields.get("connect") != str(want_connect):
            problems.append("connect=%s, expected %d" % (fields.get("connect"), want_connect))
        if fields.get("put") != str(want_put):
            problems.append("put=%s, expected %d" % (fields.get("put"), want_put))
        if fields.get("close") != "1":
            problems.append("the internet handle did not close")
        if elapsed > HANG_LIMIT:
            problems.append("took %.0f s" % elapsed)
        if count("STOR") != want_stor:
            problems.append("STOR sent %d times, expected %d" % (count("STOR"), want_stor))
        if count("DELE") or count("RNFR") or count("MKD"):
            problems.append("the session changed more than the uploaded file")
        if count("USER") > 1:
            problems.append("the login was tried %d times" % count("USER"))
        if want_connect and count("PORT") + count("EPRT"):
            problems.append("active mode was used")
        if not want_put and (PASSWORD in error or "p4ss" in error or USER in error or
                             (want_connect == 0 and not error)):
            problems.append("error text names a secret or nothing: %r" % error)
        if lands_at:
            path = os.path.join(root, lands_at)
            if not os.path.exists(path) or open(path, "rb").read() != CONTENT:
                problems.append("the file did not arrive unchanged at %s" % lands_at)
            if "<- TYPE I" not in "\n".join(lines):
                problems.append("no binary transfer type")
    return problems


def main():
    probe = sys.argv[1]
    passed = failed = 0
    for case in CASES:
        problems = run_case(probe, case)
        print("%s %s%s" % ("ok  " if not problems else "FAIL", case[0],
                           "" if not problems else ": " + "; ".join(problems)), flush=True)
        passed, failed = (passed + 1, failed) if not problems else (passed, failed + 1)
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
