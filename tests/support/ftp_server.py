#!/usr/bin/python3
"""A loopback FTP server for tests that can be told to misbehave, writing a transcript.

Password from FTP_TEST_PASSWORD. Prints "PORT <n>" once it listens on 127.0.0.1. With --tls-dir it
requires TLS (explicit, AUTH TLS) with a certificate for 127.0.0.1 signed by ca.pem, which it makes
there beside other-ca.pem, which signed nothing. Modes and transcript: see FtpTestServer.h.
Mode dyndns2 is no FTP server but a dynamic-DNS update server over HTTP (HTTPS with --tls-dir):
each request's line and headers go to the transcript, and it answers with the text of the file
"answer" in the root ("good" without one).
"""

import argparse
import http.server
import ssl
import itertools
import logging
import os
import socket
import struct
import subprocess
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.log import config_logging, logger
from pyftpdlib.servers import FTPServer

# What a mode answers to STOR in place of storing; None: no answer at all.
STOR_REPLIES = {"refuse-stor": "550 Storing files is refused here.",
                "disk-full": "452 Insufficient storage space.", "stall-stor": None}
# Servers that stop in a handshake, without pyftpdlib: what they send on connecting, and whether
# they answer AUTH with 234 (and then go silent, in the TLS handshake).
STALLED_GREETINGS = {"silent": (None, False), "stall-ssh": ("SSH-2.0-OpenSSH_9.2", False),
                     "stall-tls": ("220 Orvane test server ready.", True)}
MODES = ("normal", "dyndns2", "drop-data", "stall-226", "stall-quit") + tuple(STOR_REPLIES) + tuple(
    STALLED_GREETINGS)


def make_transcript(path):
    """A function writing one transcript line, flushed at once so that readers see it."""
    out = open(path or os.devnull, "a", encoding="utf-8")
    return lambda connection, text: print("%d %s" % (connection, text), file=out, flush=True)


class DroppingDTPHandler(DTPHandler):
    """Resets the data connection as soon as the client starts sending."""

    def handle_read(self):
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.transfer_finished = False
        self._resp = ("426 Data connection dropped; transfer aborted.", logger.info)
        self.close()

    handle_read_event = handle_read  # the base class binds its own handle_read under this name


class HandshakingDTPHandler(TLS_DTPHandler):
    """Reads while the TLS handshake is under way: the base class does not, and then resets a
    client that finishes the handshake before it sends the STOR."""

    def readable(self):
        return self._ssl_accepting or super().readable()


def make_certificates(directory):
    """Two certificate authorities and a certificate for 127.0.0.1 signed by the first; returns
    the server's certificate and key files."""
    path = lambda name: os.path.join(directory, name)
    ec = ("-x509", "-days", "2", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
          "-nodes")
    for name, signed in (("ca", ()), ("other-ca", ()),
                         ("server", ("-CA", path("ca.pem"), "-CAkey", path("ca.key")))):
        subject = "/CN=127.0.0.1" if signed else "/CN=Orvane test " + name
        subprocess.run(("openssl", "req", *ec, *signed, "-keyout", path(name + ".key"), "-out",
                        path(name + ".pem"), "-subj", subject, "-addext",
                        "subjectAltName=IP:127.0.0.1"), check=True, capture_output=True)
    return path("server.pem"), path("server.key")


def make_handler(options, transcript):
    numbers = itertools.count(1)
    base = FTPHandler
    if options.tls_dir:
        base = TLS_FTPHandler
        base.certfile, base.keyfile = make_certificates(options.tls_dir)
        base.tls_control_required = base.tls_data_required = True
        base.dtp_handler = HandshakingDTPHandler

    class Handler(base):
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
            if cmd == "QUIT" and options.mode == "stall-quit":
                return
            super().pre_process_command(line, cmd, arg)

        def respond(self, resp, logfun=logger.debug):
            if resp.startswith("226") and options.mode == "stall-226":
                transcript(self.number, "-- 226 withheld")
                return
            transcript(self.number, "-> " + resp)
            super().respond(resp, logfun)

    return Handler


def serve_stalled(listener, transcript, greeting, answers_auth):
    """Accepts, sends the greeting if any, answers AUTH if told to, then holds every connection
    open without another byte."""
    held = []

    def converse(number, connection):
        if greeting:
            connection.sendall(greeting.encode() + b"\r\n")
        if answers_auth:
            line = connection.makefile("rb").readline().decode(errors="replace").strip()
            transcript(number, "<- " + line)
            if line.upper().startswith("AUTH"):
                connection.sendall(b"234 Go ahead.\r\n")

    for number in itertools.count(1):
        held.append(listener.accept()[0])
        transcript(number, "CONNECT")
        threading.Thread(target=converse, args=(number, held[-1]), daemon=True).start()


def serve_dyndns2(listener, transcript, options):
    numbers = itertools.count(1)

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            number = next(numbers)
            transcript(number, "<- " + self.requestline)
            for header in ("Host", "Authorization", "User-Agent"):
                transcript(number, "<- %s: %s" % (header, self.headers.get(header, "")))
            try:
                with open(os.path.join(options.root, "answer"), "rb") as answer:
                    body = answer.read()
            except FileNotFoundError:
                body = b"good"
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(listener.getsockname(), Handler,
                                             bind_and_activate=False)
    server.socket = listener
    if options.tls_dir:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(options.tls_dir, "server.pem"),
                                os.path.join(options.tls_dir, "server.key"))
        server.socket = context.wrap_socket(listener, server_side=True)
    server.serve_forever()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name, default in (("--root", None), ("--user", "orvane"), ("--transcript", ""),
                          ("--permissions", "elradfmwMT"), ("--login-dir", ""), ("--tls-dir", "")):
        parser.add_argument(name, default=default, required=default is None)
    parser.add_argument("--mode", default="normal", choices=MODES)
    parser.add_argument("--watch-stdin", action="store_true", help="exit when stdin closes")
    options = parser.parse_args()
    transcript = make_transcript(options.transcript)
    config_logging(level=logging.WARNING)
    if options.watch_stdin:  # the parent going away closes our stdin: do not outlive it
        threading.Thread(target=lambda: (sys.stdin.buffer.read(), os._exit(0)), daemon=True).start()

    if options.mode == "dyndns2":
        listener = socket.create_server(("127.0.0.1", 0), backlog=16)
        if options.tls_dir:
            make_certificates(options.tls_dir)  # before the port is known
        print("PORT %d" % listener.getsockname()[1], flush=True)
        serve_dyndns2(listener, transcript, options)

    handler = make_handler(options, transcript)  # certificates exist before the port is known
    listener = socket.create_server(("127.0.0.1", 0), backlog=16)
    print("PORT %d" % listener.getsockname()[1], flush=True)

    if options.mode in STALLED_GREETINGS:
        serve_stalled(listener, transcript, *STALLED_GREETINGS[options.mode])

    authorizer = DummyAuthorizer()
    authorizer.add_user(options.user, os.environ.get("FTP_TEST_PASSWORD", ""), options.root,
                        perm=options.permissions)
    handler.authorizer = authorizer
    FTPServer(listener, handler).serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
