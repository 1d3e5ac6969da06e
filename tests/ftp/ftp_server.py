#!/usr/bin/python3
"""A loopback FTP server for tests that can be told to misbehave, writing a transcript.

Password from FTP_TEST_PASSWORD. Prints "PORT <n>" once it listens on 127.0.0.1. Modes: normal,
refuse-stor (550), disk-full (452), drop-data (STOR data connection reset, 426), stall-stor (STOR
never answered), silent (accepts TCP, never sends a byte). Transcript lines: "<n> CONNECT",
"<n> <- <command>" (PASS masked), "<n> -> <reply>".
"""

import argparse
import itertools
import logging
import os
import socket
import struct
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.log import config_logging, logger
from pyftpdlib.servers import FTPServer

# What a mode answers to STOR in place of storing; None: no answer at all.
STOR_REPLIES = {"refuse-stor": "550 Storing files is refused here.",
                "disk-full": "452 Insufficient storage space.", "stall-stor": None}
MODES = ("normal", "drop-data", "silent") + tuple(STOR_REPLIES)


def make_transcript(path):
    """A function writing one transcript line, flushed at once so that readers see it."""
    out, lock = open(path or os.devnull, "a", encoding="utf-8"), threading.Lock()

    def write(connection, text):
        with lock:
            print("%d %s" % (connection, text), file=out, flush=True)
    return write


class DroppingDTPHandler(DTPHandler):
    """Resets the data connection as soon as the client starts sending."""

    def handle_read(self):
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.transfer_finished = False
        self._resp = ("426 Data connection dropped; transfer aborted.", logger.info)
        self.close()

    handle_read_event = handle_read  # the base class binds its own handle_read under this name


def make_handler(options, transcript):
    numbers = itertools.count(1)

    class Handler(FTPHandler):
        auth_failed_timeout = 0  # answer a wrong password at once
        banner = "Orvane test server ready."
        if options.mode == "drop-data":
            dtp_handler = DroppingDTPHandler

        def on_connect(self):
            self.number = next(numbers)
            transcript(self.number, "CONNECT")

        def on_login(self, username):
            if options.login_dir:
                self.fs.cwd = "/" + options.login_dir.strip("/")

        def pre_process_command(self, line, cmd, arg):
            shown = cmd + " ***" if cmd == "PASS" else line
            transcript(self.number, "<- " + shown)
            if cmd == "STOR" and self.authenticated and options.mode in STOR_REPLIES:
                if STOR_REPLIES[options.mode]:
                    self.respond(STOR_REPLIES[options.mode])
                return
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=logger.debug):
            transcript(self.number, "-> " + resp)
            super().respond(resp, logfun)

    return Handler


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name, default in (("--root", None), ("--user", "orvane"), ("--transcript", ""),
                          ("--permissions", "elradfmwMT"), ("--login-dir", "")):
        parser.add_argument(name, default=default, required=default is None)
    parser.add_argument("--mode", default="normal", choices=MODES)
    parser.add_argument("--watch-stdin", action="store_true", help="exit when stdin closes")
    options = parser.parse_args()
    transcript = make_transcript(options.transcript)
    config_logging(level=logging.WARNING)
    if options.watch_stdin:  # the parent going away closes our stdin: do not outlive it
        threading.Thread(target=lambda: (sys.stdin.buffer.read(), os._exit(0)), daemon=True).start()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("PORT %d" % listener.getsockname()[1], flush=True)

    if options.mode == "silent":
        held = []  # kept open, never answered
        for number in itertools.count(1):
            held.append(listener.accept()[0])
            transcript(number, "CONNECT")

    authorizer = DummyAuthorizer()
    authorizer.add_user(options.user, os.environ.get("FTP_TEST_PASSWORD", ""), options.root,
                        perm=options.permissions)
    handler = make_handler(options, transcript)
    handler.authorizer = authorizer
    FTPServer(listener, handler).serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
