"""A real FTP server for the FTP tests: pyftpdlib on 127.0.0.1 serving a
folder. Prints "PORT <n>" once it listens and runs until it is killed."""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", default="quorel")
    p.add_argument("--password", default="secret")
    p.add_argument("--idle-timeout", type=float, default=300)
    p.add_argument("--throttle", type=int, default=0, help="bytes per second of each transfer")
    p.add_argument("--cert", help="PEM certificate and key: FTP over TLS, required before log-in")
    p.add_argument("--refuse-delete", action="append", default=[],
                   help="a file name whose DELE the server refuses")
    p.add_argument("--refuse-change", action="append", default=[],
                   help="a name prefix whose MKD, RMD and RNFR the server refuses")
    p.add_argument("--grow", action="append", default=[], metavar="NAME:BYTES",
                   help="a file that grows by BYTES as its download starts, after its size was asked")
    a = p.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(a.user, a.password, a.root, perm="elradfmwMT")

    refused = set(a.refuse_delete)
    sealed = tuple(a.refuse_change)
    growing = {}
    for g in a.grow:
        name, _, count = g.rpartition(":")
        growing[name] = int(count)

    base = FTPHandler
    if a.cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler
        base.certfile = a.cert
        base.tls_control_required = True
        base.tls_data_required = True

    class Handler(base):
        def ftp_DELE(self, path):
            if os.path.basename(path) in refused:
                self.respond("550 Permission denied.")
                return None
            return base.ftp_DELE(self, path)

        def _sealed(self, path):
            if sealed and os.path.basename(path.rstrip("/")).startswith(sealed):
                self.respond("550 Permission denied.")
                return True
            return False

        def ftp_MKD(self, path):
            return None if self._sealed(path) else base.ftp_MKD(self, path)

        def ftp_RMD(self, path):
            return None if self._sealed(path) else base.ftp_RMD(self, path)

        def ftp_RNFR(self, path):
            return None if self._sealed(path) else base.ftp_RNFR(self, path)

        def handle_timeout(self):
            self._idle_dropped = True
            return base.handle_timeout(self)

        def on_disconnect(self):
            # Called once the socket is closed, so a test that reads this
            # line knows the client can see the end of its connection.
            if getattr(self, "_idle_dropped", False):
                logging.getLogger("quorel").info("IDLE-DROP %s:%s", self.remote_ip, self.remote_port)

        def ftp_RETR(self, file):
            # As a log file that a program appends to while it is fetched.
            extra = growing.get(os.path.basename(file), 0)
            if extra:
                with open(file, "ab") as f:
                    f.write(b"+" * extra)
            return base.ftp_RETR(self, file)

    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0  # answer a refused log-in at once
    Handler.timeout = a.idle_timeout
    Handler.permit_foreign_addresses = False
    Handler.banner = "quorel test server"
    if a.throttle and not a.cert:
        dtp = ThrottledDTPHandler
        dtp.read_limit = a.throttle
        dtp.write_limit = a.throttle
        Handler.dtp_handler = dtp

    server = FTPServer(("127.0.0.1", 0), Handler)
    print("PORT %d" % server.address[1], flush=True)
    # A short poll, so the idle time-out fires on time.
    server.serve_forever(timeout=0.2, handle_exit=True)


if __name__ == "__main__":
    logging.basicConfig(level=logging.DEBUG, stream=sys.stderr)  # every command, for the tests to read
    main()
