#!/usr/bin/python3
# A real SMTP server for the delivery integration tests: aiosmtpd on
# 127.0.0.1, optionally announcing AUTH (LOGIN and PLAIN) without TLS.
# Each message is stored as DIR/message-N.eml (the data after the server's
# own dot removal) with DIR/envelope-N.txt (login, sender, recipients).
# DIR/port holds the port once the server answers.
import argparse
import os
import socket
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

parser = argparse.ArgumentParser()
parser.add_argument("--dir", required=True)
parser.add_argument("--auth", action="store_true")
parser.add_argument("--user", default="user")
parser.add_argument("--password", default="secret")
parser.add_argument("--host", default="127.0.0.1")
parser.add_argument("--port", type=int, default=0, help="0: a free port")
args = parser.parse_args()


class Handler:
    def __init__(self):
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(args.dir, "message-%d" % self.count)
        login = session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else ""
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".txt", "w") as f:
            f.write("login=%s\nfrom=%s\n" % (login, envelope.mail_from))
            for r in envelope.rcpt_tos:
                f.write("rcpt=%s\n" % r)
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 Message accepted"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == args.user.encode()
          and auth_data.password == args.password.encode())
    # handled=False: the server itself answers a failure with 535.
    return AuthResult(success=ok, handled=False, auth_data=auth_data)


def free_port():
    s = socket.socket()
    s.bind((args.host, 0))
    port = s.getsockname()[1]
    s.close()
    return port


kwargs = {}
if args.auth:
    kwargs = dict(authenticator=authenticator, auth_require_tls=False)
port = args.port or free_port()
controller = Controller(Handler(), hostname=args.host, port=port, **kwargs)
controller.start()
with open(os.path.join(args.dir, "port.tmp"), "w") as f:
    f.write(str(port))
os.rename(os.path.join(args.dir, "port.tmp"), os.path.join(args.dir, "port"))
try:
    while True:
        time.sleep(3600)
except KeyboardInterrupt:
    pass
finally:
    controller.stop()
