#!/usr/bin/python3
"""A small FTP server for the tests, the demo and the benchmark of vfris.

    ftp_server.py --root DIR [--port N] [--user U --password P]
                  [--mode normal|stall|close] [--after BYTES] [--only NAME]

Serves DIR (read and write) to one user on 127.0.0.1 and prints "PORT <n>"
on standard output once it listens (--port 0, the default, takes a free
port). It runs until it is killed.

The modes make a faulty server for the failure paths of a client:
  stall  a download sends BYTES bytes and then nothing more, keeping both
         connections open;
  close  a download sends BYTES bytes, closes the data connection and reports
         the transfer as complete ("226"), so only a size check can tell.
With --only the fault touches only downloads of that file name.
"""
import argparse
import logging
import os
import sys
import time

from pyftpdlib import handlers
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.servers import FTPServer, ThreadedFTPServer


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--user", default="vantor")
    ap.add_argument("--password", default="kelvarin")
    ap.add_argument("--mode", choices=["normal", "stall", "close"], default="normal")
    ap.add_argument("--after", type=int, default=4096)
    ap.add_argument("--only", default="")
    args = ap.parse_args()
    logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")

    class Handler(handlers.FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.banner = "test server ready"
    server_class = FTPServer

    if args.mode != "normal":
        # The producer is the one place that hands file data to the data
        # connection; sendfile() would bypass it.
        Handler.use_sendfile = False
        base = handlers.FileProducer

        class FaultyProducer(base):
            def __init__(self, file, type):
                super().__init__(file, type)
                name = os.path.basename(getattr(file, "name", ""))
                self.faulty = not args.only or name == args.only
                self.sent = 0

            def more(self):
                if not self.faulty:
                    return super().more()
                if self.sent >= args.after:
                    if args.mode == "stall":
                        time.sleep(3600)  # this connection's thread only
                    return b""  # "close": the transfer looks complete
                data = super().more()
                data = data[: args.after - self.sent]
                self.sent += len(data)
                return data

        handlers.FileProducer = FaultyProducer
        server_class = ThreadedFTPServer  # a stalled connection blocks only itself

    server = server_class(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    print("PORT %d" % server.address[1], flush=True)
    sys.stdout.close()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
