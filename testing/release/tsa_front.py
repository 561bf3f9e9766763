#!/usr/bin/env python3
"""A time-stamping service (RFC 3161) for the release test, on 127.0.0.1 only.

    tsa_front.py <openssl ts config> <seconds>

Prints the port it listens on, then answers each POSTed time-stamp request
with what `openssl ts -reply` makes of it under the given configuration.
Stops by itself after <seconds> or 100 requests, whichever comes first.
"""
import http.server
import subprocess
import sys
import threading

config, seconds = sys.argv[1], float(sys.argv[2])
answered = 0


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global answered
        length = min(int(self.headers.get("Content-Length", "0")), 1 << 16)
        query = self.rfile.read(length)
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", config, "-queryfile", "/dev/stdin",
             "-out", "/dev/stdout"], input=query, capture_output=True, timeout=30).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
        answered += 1
        if answered >= 100:
            threading.Thread(target=self.server.shutdown).start()

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
timer = threading.Timer(seconds, server.shutdown)
timer.daemon = True
timer.start()
server.serve_forever()
