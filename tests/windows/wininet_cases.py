#!/usr/bin/python3
"""The wininet uploader under Wine against the loopback test FTP server, as a table of cases.

Usage: wininet_cases.py PROBE.exe [RUNNER...]  (WINEPREFIX and DISPLAY come from the caller;
RUNNER, the command that starts a Windows program, is "wine" unless given)

Each case starts tests/support/ftp_server.py in its own temporary root, runs ftp_probe.exe for one
session, and checks what the client reported, what the server was sent and what landed on disk.
The failures are one of each kind the uploader tells apart; the server's other ways of refusing a
login or a file are the curl uploader's cases. Prints one line per case and "N passed, N failed";
exits non-zero on a failure.
"""

import os
import re
import subprocess
import sys
import tempfile
import time
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.join(HERE, "..", "support", "ftp_server.py")
USER = "publisher7"
PASSWORD = "p4ss:#@ w%rd/?"
CONTENT = (b"Date: 06/12/2026   Time: 01:47:36\r\n\r\nIP:   203.0.113.45\r\n" +
           bytes(range(256)) * 40)
# Seconds: far above what a case takes and far below "for good". Wine's wininet bounds a silent
# greeting (60 s) and an unanswered STOR (30 s) itself, whatever the uploader's options say, so
# those are met here only with the program closing.
HANG_LIMIT = 20

# What the uploader must report (connect, put; a failed login is step 2, a failed store step 3),
# how many STOR commands the server must have seen and where the file must land (relative to the
# root), for a server mode, password and remote name; the login's directory is home/.
# close_after: the program's closing asked for that many milliseconds after the start; the call
# it interrupts must end within CLOSE_LIMIT_MS of it, long before the client's own bounds.
Case = namedtuple("Case", "name connect put stor lands_at mode password remote close_after",
                  defaults=("normal", PASSWORD, "ip.txt", None))
CLOSE_LIMIT_MS = 1000
CASES = [
    Case("AbsoluteNameWithSpace", 1, 1, 1, "pub/a b.txt", remote="/pub/a b.txt"),
    Case("WrongPassword", 0, 0, 0, None, password="wrong"),
    Case("CommandInPassword", 0, 0, 0, None, password=PASSWORD + "\r\nDELE x"),
    Case("RefusedStore", 1, 0, 1, None, mode="refuse-stor"),
    Case("DroppedDataConnection", 1, 0, 1, None, mode="drop-data"),
    Case("CommandInName", 1, 0, 0, None, remote="ip.txt\r\nDELE x"),
    Case("ClosedDuringSilentLogin", 0, 0, 0, None, mode="silent", close_after=500),
    Case("ClosedDuringStalledStore", 1, 0, 1, None, mode="stall-stor", close_after=500),
]


def run_case(runner, probe, c):
    problems = []
    with tempfile.TemporaryDirectory(prefix="orvane-wininet-") as base:
        root = os.path.join(base, "root")
        os.makedirs(os.path.join(root, "home"))
        os.makedirs(os.path.join(root, "pub"))
        transcript, local = os.path.join(base, "transcript"), os.path.join(base, "ip.txt")
        with open(local, "wb") as f:
            f.write(CONTENT)
        server = subprocess.Popen(
            ["/usr/bin/python3", SERVER, "--root", root, "--user", USER, "--mode", c.mode,
             "--login-dir", "home", "--transcript", transcript, "--watch-stdin"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            env=dict(os.environ, FTP_TEST_PASSWORD=PASSWORD))
        try:
            port = re.match(rb"PORT (\d+)", server.stdout.readline()).group(1).decode()
            start = time.monotonic()
            try:
                output = subprocess.run(
                    runner + [probe, "127.0.0.1", port, USER, "Z:" + local.replace("/", "\\"),
                     c.remote],
                    env=dict(os.environ, FTP_TEST_PASSWORD=c.password,
                             **({"FTP_PROBE_CLOSE_AFTER_MS": str(c.close_after)}
                                if c.close_after else {})), capture_output=True,
                    timeout=HANG_LIMIT + 30).stdout.decode("latin-1")
            except subprocess.TimeoutExpired:
                output = ""
                problems.append("the client hung")
            elapsed = time.monotonic() - start
        finally:
            server.stdin.close()
            server.wait(timeout=10)
        fields = dict(re.findall(r"(\w+)=(\d+)", output.split("\n")[0]))
        error = output.split("error=", 1)[-1].strip() if "error=" in output else ""
        lines = open(transcript, encoding="utf-8").read().splitlines()

        def count(verb):
            return sum(1 for line in lines if re.match(r"\d+ <- %s\b" % verb, line))

        landed = os.path.join(root, c.lands_at or "")
        checks = [
            (fields.get("connect") == str(c.connect),
             "connect=%s, expected %d" % (fields.get("connect"), c.connect)),
            (fields.get("put") == str(c.put), "put=%s, expected %d" % (fields.get("put"), c.put)),
            (fields.get("step") == str(0 if c.put else 3 if c.connect else 2),
             "the failure was reported at step %s" % fields.get("step")),
            (elapsed <= HANG_LIMIT, "took %.0f s" % elapsed),
            (not c.close_after or int(fields.get("ms", 10**9)) <= c.close_after + CLOSE_LIMIT_MS,
             "a close took until %s ms" % fields.get("ms")),
            (count("STOR") == c.stor, "STOR sent %d times, expected %d" % (count("STOR"), c.stor)),
            (not (count("DELE") or count("RNFR") or count("MKD")),
             "the session changed more than the uploaded file"),
            (count("USER") <= 1, "the login was tried %d times" % count("USER")),
            (not c.connect or not count("PORT") + count("EPRT"), "active mode was used"),
            (c.put or not (PASSWORD in error or "p4ss" in error or USER in error or
                           (c.connect == 0 and not error)),
             "error text names a secret or nothing: %r" % error),
            (not c.lands_at or os.path.isfile(landed) and open(landed, "rb").read() == CONTENT,
             "the file did not arrive unchanged at %s" % c.lands_at),
        ]
        problems += [message for ok, message in checks if not ok]
    return problems


def main():
    passed = failed = 0
    for case in CASES:
        problems = run_case(sys.argv[2:] or ["wine"], sys.argv[1], case)
        print("%s %s%s" % ("FAIL" if problems else "ok  ", case.name,
                           ": " + "; ".join(problems) if problems else ""), flush=True)
        passed, failed = passed + (not problems), failed + bool(problems)
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
