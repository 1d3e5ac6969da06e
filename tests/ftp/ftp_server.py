#!/usr/bin/python3
"""A test FTP server on loopback that can be told to misbehave, with a transcript of commands.

Usage:
  /usr/bin/python3 ftp_server.py --root DIR [--user NAME] [--mode MODE] [--transcript FILE]
                                 [--permissions PERM] [--login-dir SUBDIR] [--watch-stdin]
                                 [--verbose]

The password comes from the environment variable FTP_TEST_PASSWORD (so it stays off the
command line); --password overrides it for manual runs. The server binds 127.0.0.1 on a free
port and prints "PORT <number>" as the first line on stdout once it accepts connections.

Modes:
  normal      a plain FTP server
  refuse-stor every STOR is answered 550
  disk-full   every STOR is answered 452 (insufficient storage)
  drop-data   the data connection of a STOR is reset as soon as data arrives; reply 426
  stall-stor  STOR is never answered (the server goes quiet after the login)
  silent      accepts TCP connections and never sends a byte, not even the greeting

Wrong passwords, missing directories and missing permissions (--permissions elr: read only)
come from pyftpdlib itself. --login-dir makes the login land in a subdirectory of the root,
so relative and absolute names lead to different places.

Transcript lines: "<connection> CONNECT", "<connection> <- <command line>" (the argument of
PASS masked), "<connection> -> <reply>". Each line is flushed at once.
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

MODES = ("normal", "refuse-stor", "disk-full", "drop-data", "stall-stor", "silent")

# The reply a mode gives to STOR in place of storing; None: no reply at all.
STOR_REPLIES = {
    "refuse-stor": "550 Storing files is refused here.",
    "disk-full": "452 Insufficient storage space.",
    "stall-stor": None,
}


class Transcript:
    """Appends one line per event to a file, flushed so a reader sees it at once."""

    def __init__(self, path):
        self._file = open(path, "a", encoding="utf-8") if path else None
        self._lock = threading.Lock()

    def write(self, connection, text):
        if self._file is None:
            return
        with self._lock:
            self._file.write("%d %s\n" % (connection, text))
            self._file.flush()


def masked(line):
    """The command line as it may be written down: a password never is."""
    verb = line.split(" ", 1)[0]
    return verb + " ***" if verb.upper() == "PASS" else line


def reset_on_close(sock):
    """Makes closing the socket send a reset instead of an orderly end of stream."""
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


class DroppingDTPHandler(DTPHandler):
    """A data connection that is torn down as soon as the client starts sending."""

    def handle_read(self):
        reset_on_close(self.socket)
        self.transfer_finished = False
        self._resp = ("426 Data connection dropped; transfer aborted.", logger.info)
        self.close()

    handle_read_event = handle_read  # the base class binds its own handle_read under this name


def make_handler(options, transcript):
    numbers = itertools.count(1)

    class Handler(FTPHandler):
        auth_failed_timeout = 0  # answer a wrong password at once; tests need no delay
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
            transcript.write(self.number, "<- " + masked(line))
            if cmd == "STOR" and self.authenticated and options.mode in STOR_REPLIES:
                reply = STOR_REPLIES[options.mode]
                if reply:
                    self.respond(reply)
                return
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=logger.debug):
            transcript.write(self.number, "-> " + resp)
            super().respond(resp, logfun)

    return Handler


def serve_silently(listener, transcript):
    """Accepts connections and keeps them open without ever answering."""
    held = []
    for number in itertools.count(1):
        connection, _ = listener.accept()
        held.append(connection)
        transcript.write(number, "CONNECT")


def watch_stdin():
    """Ends the server when the parent goes away (its end of our stdin closes)."""
    def wait_for_eof():
        while sys.stdin.buffer.read(4096):
            pass
        os._exit(0)
    threading.Thread(target=wait_for_eof, daemon=True).start()


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", required=True, help="directory served as /")
    parser.add_argument("--user", default="orvane")
    parser.add_argument("--password", default=os.environ.get("FTP_TEST_PASSWORD", ""))
    parser.add_argument("--permissions", default="elradfmwMT", help="pyftpdlib permissions")
    parser.add_argument("--login-dir", default="", help="subdirectory of the root to log in to")
    parser.add_argument("--mode", default="normal", choices=MODES)
    parser.add_argument("--transcript", default="", help="file to append the transcript to")
    parser.add_argument("--watch-stdin", action="store_true", help="exit when stdin closes")
    parser.add_argument("--verbose", action="store_true", help="log sessions on stderr")
    return parser.parse_args()


def main():
    options = parse_arguments()
    transcript = Transcript(options.transcript)
    config_logging(level=logging.INFO if options.verbose else logging.WARNING)
    if options.watch_stdin:
        watch_stdin()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("PORT %d" % listener.getsockname()[1], flush=True)

    if options.mode == "silent":
        serve_silently(listener, transcript)
        return

    authorizer = DummyAuthorizer()
    authorizer.add_user(options.user, options.password, options.root, perm=options.permissions)
    handler = make_handler(options, transcript)
    handler.authorizer = authorizer
    FTPServer(listener, handler).serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
