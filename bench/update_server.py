#!/usr/bin/python3
"""A loopback HTTP server standing for a dynamic-DNS provider: answers every GET with "good",
appends each request's path to REQUESTS, and writes the port it listens on to PORTFILE.

Usage: update_server.py PORTFILE REQUESTS   (runs until it is signalled)"""
import http.server
import os
import sys


class UpdateHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = b"good\n"
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        with open(sys.argv[2], "a") as requests:
            requests.write(self.path + "\n")

    def log_message(self, *args):
        pass


def main():
    server = http.server.HTTPServer(("127.0.0.1", 0), UpdateHandler)
    # Written whole and renamed, so a reader never sees half a number.
    with open(sys.argv[1] + ".new", "w") as port:
        port.write(str(server.server_address[1]))
    os.rename(sys.argv[1] + ".new", sys.argv[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
