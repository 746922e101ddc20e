#!/usr/bin/env python3
"""Update service stand-in for the tests, on 127.0.0.1.

Prints its port on the first line of stdout. Every request is appended to the log file as a
JSON line (method, path, headers, body as hex) before it is answered. The answers come from
the routes file, read anew for every request:

  {"<path>": {"status": 200, "body": "...", "repeat": 1, "hang": false,
              "by_key": {"<app_key>": {...same fields...}}},
   ...}

"body" is sent "repeat" times; "hang" reads the request and never answers; "size" sends
that many bytes of a fixed pattern (downloads). Unknown paths get 404.
"""
import argparse
import http.server
import json
import ssl
import sys
import threading
import time
import urllib.parse

args = None
log_lock = threading.Lock()
stop = threading.Event()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *a):
        pass

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        with log_lock, open(args.log, "a") as log:
            log.write(json.dumps({"method": self.command, "path": self.path,
                                  "headers": {k: v for k, v in self.headers.items()},
                                  "body": body.hex()}) + "\n")
        try:
            with open(args.routes) as f:
                routes = json.load(f)
        except (OSError, ValueError):
            routes = {}
        route = routes.get(urllib.parse.urlsplit(self.path).path)
        if route and "by_key" in route:
            form = urllib.parse.parse_qs(body.rstrip(b"\0").decode("utf-8", "replace"))
            key = form.get("app_key", [""])[0]
            route = route["by_key"].get(key, route.get("default"))
        if route is None:
            route = {"status": 404, "body": "not here"}
        if route.get("hang"):
            while not stop.wait(0.1):
                pass
            return
        if "size" in route:
            data = bytes(i % 251 for i in range(int(route["size"])))
        else:
            data = route.get("body", "").encode("utf-8") * int(route.get("repeat", 1))
        self.send_response(int(route.get("status", 200)))
        self.send_header("Content-Type", route.get("type", "application/json"))
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        try:
            self.wfile.write(data)
        except OSError:
            pass  # the client went away after it had enough

    do_GET = handle_any
    do_POST = handle_any


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main():
    global args
    p = argparse.ArgumentParser()
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--routes", required=True)
    p.add_argument("--log", required=True)
    args = p.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    # Ends with the test: stdin closes when the test process closes its end or dies.
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    stop.set()
    server.shutdown()


if __name__ == "__main__":
    main()
