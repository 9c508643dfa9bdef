"""A small HTTP/HTTPS file server for the updater tests.

Serves a folder on 127.0.0.1 at a free port, prints "PORT <n>" once it
listens, records every requested path in a log file and can answer chosen
paths with a redirect, an error status, an endless body or a slow one.
Standard library only.
"""
import argparse
import functools
import http.server
import os
import ssl
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--redirect", action="append", default=[], help="PATH=LOCATION")
    parser.add_argument("--status", action="append", default=[], help="PATH=CODE: answer with that status")
    parser.add_argument("--endless", action="append", default=[],
                        help="PATH: the file, then junk without end and without a length")
    parser.add_argument("--slow", action="append", default=[], help="PATH=BYTES: the file at BYTES per second")
    parser.add_argument("--sent-log", help="records 'PATH BYTES' once an endless or slow answer ends")
    args = parser.parse_args()

    redirects = dict(item.split("=", 1) for item in args.redirect)
    statuses = {path: int(code) for path, code in (item.split("=", 1) for item in args.status)}
    endless = set(args.endless)
    slow = {path: int(rate) for path, rate in (item.split("=", 1) for item in args.slow)}

    class Handler(http.server.SimpleHTTPRequestHandler):
        def do_GET(self):
            if args.log:
                with open(args.log, "a", encoding="utf-8") as log:
                    log.write(self.path + "\n")
            if self.path in redirects:
                self.send_response(302)
                self.send_header("Location", redirects[self.path])
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if self.path in statuses:
                body = b"<html><body>error page</body></html>\n"
                self.send_response(statuses[self.path])
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            if self.path in endless or self.path in slow:
                self.stream()
                return
            super().do_GET()

        def stream(self):
            with open(os.path.join(args.root, self.path.lstrip("/")), "rb") as source:
                content = source.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            if self.path in slow:
                self.send_header("Content-Length", str(len(content)))
            else:
                self.send_header("Connection", "close")
            self.end_headers()
            sent = 0
            try:
                if self.path in slow:
                    rate = slow[self.path]
                    for start in range(0, len(content), rate):
                        self.wfile.write(content[start:start + rate])
                        self.wfile.flush()
                        sent += len(content[start:start + rate])
                        time.sleep(1)
                else:
                    self.wfile.write(content)
                    sent += len(content)
                    junk = b"x" * 65536
                    while True:
                        self.wfile.write(junk)
                        sent += len(junk)
            except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
                pass
            finally:
                self.close_connection = True
                if args.sent_log:
                    with open(args.sent_log, "a", encoding="utf-8") as log:
                        log.write("%s %d\n" % (self.path, sent))

        def log_message(self, *unused):
            pass

    handler = functools.partial(Handler, directory=args.root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT", server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
