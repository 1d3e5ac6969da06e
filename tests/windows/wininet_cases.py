#!/usr/bin/python3
"""The wininet client under Wine against the loopback test FTP server, as a table of cases.

Usage: wininet_cases.py PROBE.exe  (WINEPREFIX and DISPLAY come from the caller)

Each case starts tests/support/ftp_server.py in its own temporary root, runs ftp_probe.exe for one
session, and checks what the client reported, what the server was sent and what landed on disk.
Prints one line per case and "N passed, N failed"; exits non-zero on a failure.
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
# Seconds: above the client's bounds and far below "for good". Wine's wininet waits for a
# server's greeting with a 60-second limit of its own, whatever the options say.
HANG_LIMIT = 75

# What the client must report (connect, put), how many STOR commands the server must have seen
# and where the file must land (relative to the root), for a server mode, permissions, login
# directory, target ("closed": a port nobody listens on), password and remote name.
# close_after: the program's closing asked for that many milliseconds after the start; the call
# it interrupts must end within CLOSE_LIMIT_MS of it, long before the client's own bounds.
Case = namedtuple("Case", "name connect put stor lands_at mode permissions login_dir target "
                          "password remote close_after",
                  defaults=("normal", "elradfmwMT", "", "server", PASSWORD, "ip.txt", None))
CLOSE_LIMIT_MS = 1000
CASES = [
    Case("Stores", 1, 1, 1, "ip.txt"),
    Case("RelativeName", 1, 1, 1, "home/sub/ip.txt", login_dir="home", remote="sub/ip.txt"),
    Case("AbsoluteName", 1, 1, 1, "pub/ip.txt", login_dir="home", remote="/pub/ip.txt"),
    Case("NameWithSpaces", 1, 1, 1, "home/with space.txt", login_dir="home",
         remote="with space.txt"),
    Case("WrongPassword", 0, 0, 0, None, password="wrong"),
    Case("CommandInPassword", 0, 0, 0, None, password=PASSWORD + "\r\nDELE x"),
    Case("NeverAnswers", 0, 0, 0, None, mode="silent"),
    Case("ClosedPort", 0, 0, 0, None, target="closed"),
    Case("RefusedStore", 1, 0, 1, None, mode="refuse-stor"),
    Case("DiskFull", 1, 0, 1, None, mode="disk-full"),
    Case("DroppedDataConnection", 1, 0, 1, None, mode="drop-data"),
    Case("StoreNeverAnswered", 1, 0, 1, None, mode="stall-stor"),
    Case("MissingDirectory", 1, 0, 1, None, remote="nodir/ip.txt"),
    Case("NoPermission", 1, 0, 1, None, permissions="elr"),
    Case("DirectoryName", 1, 0, 0, None, remote="pub/"),
    Case("CommandInName", 1, 0, 0, None, remote="ip.txt\r\nDELE x"),
    Case("ClosedDuringSilentLogin", 0, 0, 0, None, mode="silent", close_after=500),
    Case("ClosedDuringStalledStore", 1, 0, 1, None, mode="stall-stor", close_after=500),
]


def closed_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run_case(probe, c):
    problems = []
    with tempfile.TemporaryDirectory(prefix="orvane-wininet-") as base:
        root = os.path.join(base, "root")
        os.makedirs(os.path.join(root, "home", "sub"))
        os.makedirs(os.path.join(root, "pub"))
        transcript, local = os.path.join(base, "transcript"), os.path.join(base, "ip.txt")
        with open(local, "wb") as f:
            f.write(CONTENT)
        server = subprocess.Popen(
            ["/usr/bin/python3", SERVER, "--root", root, "--user", USER, "--mode", c.mode,
             "--permissions", c.permissions, "--login-dir", c.login_dir, "--transcript", transcript,
             "--watch-stdin"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            env=dict(os.environ, FTP_TEST_PASSWORD=PASSWORD))
        try:
            port = int(re.match(rb"PORT (\d+)", server.stdout.readline()).group(1))
            if c.target == "closed":
                port = closed_port()
            start = time.monotonic()
            try:
                output = subprocess.run(
                    ["wine", probe, "127.0.0.1", str(port), USER, windows_path(local), c.remote],
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
        lines = open(transcript, encoding="utf-8").read().splitlines() \
            if os.path.exists(transcript) else []

        def count(verb):
            return sum(1 for line in lines if re.match(r"\d+ <- %s\b" % verb, line))

        landed = os.path.join(root, c.lands_at or "")
        checks = [
            (fields.get("connect") == str(c.connect),
             "connect=%s, expected %d" % (fields.get("connect"), c.connect)),
            (fields.get("put") == str(c.put), "put=%s, expected %d" % (fields.get("put"), c.put)),
            (fields.get("close") == "1", "the internet handle did not close"),
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
            (not c.lands_at or "<- TYPE I" in "\n".join(lines), "no binary transfer type"),
        ]
        problems += [message for ok, message in checks if not ok]
    return problems


def main():
    passed = failed = 0
    for case in CASES:
        problems = run_case(sys.argv[1], case)
        print("%s %s%s" % ("FAIL" if problems else "ok  ", case.name,
                           ": " + "; ".join(problems) if problems else ""), flush=True)
        passed, failed = passed + (not problems), failed + bool(problems)
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
