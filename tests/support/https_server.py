#!/usr/bin/python3
"""A public-address service on loopback for the tests, over HTTPS with a certificate for 127.0.0.1
signed by the authority ca.pem that it makes in --tls-dir (and other-ca.pem beside it). Prints
"PORT <n>" once it listens; ends when its standard input closes. --mode: plain (the address
alone), page (the common "Current IP Address:" page), garbage (no address), slow (the request
read, never answered)."""
import argparse
import http.server
import os
import ssl
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_server import make_certificates  # noqa: E402

ANSWERS = {
    "plain": b"198.51.100.77\n",
    "page": b"<html><head><title>Current IP Check</title></head>"
            b"<body>Current IP Address: 192.0.2.77</body></html>\r\n",
    "garbage": b"<html><body>Service temporarily unavailable</body></html>",
}


def handler_for(mode):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            if mode == "slow":
                time.sleep(600)
            body = ANSWERS[mode]
            self.send_response(200)
            self.send_header("Content-Type", "text/plain" if mode == "plain" else "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass
    return Handler


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tls-dir", required=True)
    parser.add_argument("--mode", default="plain", choices=("plain", "page", "garbage", "slow"))
    options = parser.parse_args()
    certificate, key = make_certificates(options.tls_dir)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler_for(options.mode))
    server.daemon_threads = True
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=lambda: (sys.stdin.buffer.read(), os._exit(0)), daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
