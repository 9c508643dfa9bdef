"""A small HTTP/HTTPS file server for the updater tests.

Serves a folder on 127.0.0.1 at a free port, prints "PORT <n>" once it
listens, records every requested path in a log file and can answer chosen
paths with a redirect. Standard library only.
"""
import argparse
import functools
import http.server
import ssl
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--redirect", action="append", default=[], help="PATH=LOCATION")
    args = parser.parse_args()

    redirects = dict(item.split("=", 1) for item in args.redirect)

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
            super().do_GET()

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
