#!/usr/bin/python3
"""A loopback FTP server for tests that can be told to misbehave, writing a transcript.

The password comes from FTP_TEST_PASSWORD (off the command line). Binds 127.0.0.1 on a free port
and prints "PORT <n>" once it accepts connections. Modes: normal; refuse-stor (550); disk-full
(452); drop-data (the STOR data connection is reset, 426); stall-stor (STOR never answered);
silent (accepts TCP, never sends a byte). Transcript lines: "<n> CONNECT", "<n> <- <command>"
(PASS argument masked), "<n> -> <reply>", flushed at once.
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


class Transcript:
    def __init__(self, path):
        self._file = open(path, "a", encoding="utf-8") if path else None
        self._lock = threading.Lock()

    def write(self, connection, text):
        if self._file:
            with self._lock:
                self._file.write("%d %s\n" % (connection, text))
                self._file.flush()


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
            transcript.write(self.number, "CONNECT")

        def on_login(self, username):
            if options.login_dir:
                self.fs.cwd = "/" + options.login_dir.strip("/")

        def pre_process_command(self, line, cmd, arg):
            shown = cmd + " ***" if cmd == "PASS" else line
            transcript.write(self.number, "<- " + shown)
            if cmd == "STOR" and self.authenticated and options.mode in STOR_REPLIES:
                if STOR_REPLIES[options.mode]:
                    self.respond(STOR_REPLIES[options.mode])
                return
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=logger.debug):
            transcript.write(self.number, "-> " + resp)
            super().respond(resp, logfun)

    return Handler


def exit_when_stdin_closes():
    """The parent going away closes our stdin; the server must not outlive it."""
    def wait_for_eof():
        while sys.stdin.buffer.read(4096):
            pass
        os._exit(0)
    threading.Thread(target=wait_for_eof, daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", required=True, help="directory served as /")
    parser.add_argument("--user", default="orvane")
    parser.add_argument("--permissions", default="elradfmwMT", help="pyftpdlib's letters")
    parser.add_argument("--login-dir", default="", help="subdirectory of the root to log in to")
    parser.add_argument("--mode", default="normal", choices=MODES)
    parser.add_argument("--transcript", default="")
    parser.add_argument("--watch-stdin", action="store_true", help="exit when stdin closes")
    options = parser.parse_args()
    transcript = Transcript(options.transcript)
    config_logging(level=logging.WARNING)
    if options.watch_stdin:
        exit_when_stdin_closes()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("PORT %d" % listener.getsockname()[1], flush=True)

    if options.mode == "silent":
        held = []  # kept open, never answered
        for number in itertools.count(1):
            held.append(listener.accept()[0])
            transcript.write(number, "CONNECT")

    authorizer = DummyAuthorizer()
    authorizer.add_user(options.user, os.environ.get("FTP_TEST_PASSWORD", ""), options.root,
                        perm=options.permissions)
    handler = make_handler(options, transcript)
    handler.authorizer = authorizer
    FTPServer(listener, handler).serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
