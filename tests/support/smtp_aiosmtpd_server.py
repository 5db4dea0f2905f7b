#!/usr/bin/python3
# A real SMTP server for the delivery integration tests: aiosmtpd on
# 127.0.0.1 (or another loopback address, ::1 too), optionally offering
# SMTPUTF8, optionally announcing AUTH (LOGIN and PLAIN, or PLAIN alone),
# optionally offering STARTTLS (AUTH then only after it) and a second port
# with implicit TLS. Each message is stored as DIR/message-N.eml (the data
# after the server's own dot removal) with DIR/message-N.txt (login, sender,
# recipients). DIR/commands.txt lists every command verb taken, with "tls"
# or "plain" for the channel it came on (no arguments: no credentials).
# DIR/port (and DIR/implicit-port) hold the ports once the server answers.
# With --oauth-token it takes OAuth 2.0 logins instead (OAUTHBEARER and
# XOAUTH2, or those --oauth-mechs names): an initial response exactly as the
# mechanism defines it for --user and that token signs in; any other token
# is refused with a JSON challenge whose status is --refuse-status, and the
# client's answer to it is noted in DIR/sasl.txt (as Python repr), as is a
# malformed initial response.
# With --greylist it answers 451 to the first RCPT TO of every sender and
# recipient pair, and takes the pair from then on.
import argparse
import base64
import collections
import functools
import json
import logging
import os
import socket
import ssl
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

parser = argparse.ArgumentParser()
parser.add_argument("--dir", required=True)
parser.add_argument("--auth", action="store_true")
parser.add_argument("--plain-only", action="store_true", help="AUTH PLAIN alone (implies --auth)")
parser.add_argument("--user", default="user")
parser.add_argument("--password", default="secret")
parser.add_argument("--host", default="127.0.0.1")
parser.add_argument("--port", type=int, default=0, help="0: a free port")
parser.add_argument("--starttls-cert")
parser.add_argument("--starttls-key")
parser.add_argument("--implicit-cert")
parser.add_argument("--implicit-key")
parser.add_argument("--clear-auth", help="AUTH methods announced before STARTTLS, e.g. LOGIN")
parser.add_argument("--oauth-token", help="the one access token taken")
parser.add_argument("--oauth-mechs", default="OAUTHBEARER,XOAUTH2")
parser.add_argument("--refuse-status", default="invalid_token")
parser.add_argument("--greylist", action="store_true", help="451 to each new sender/recipient pair")
parser.add_argument("--smtputf8", action="store_true", help="offer SMTPUTF8 (RFC 6531)")
args = parser.parse_args()
# Errors only: a refused handshake is logged with its reason, the library's
# deprecation notes are not.
logging.getLogger("mail.log").setLevel(logging.ERROR)
if args.plain_only or args.oauth_token:
    args.auth = True


def note(line):
    with open(os.path.join(args.dir, "sasl.txt"), "a") as f:
        f.write(line + "\n")


async def bearer_login(server, args_, mechanism, port):
    if len(args_) != 2:
        note("no initial response")
        return AuthResult(success=False, handled=False)
    try:
        got = base64.b64decode(args_[1], validate=True).decode()
    except Exception:
        note("bad base64")
        return AuthResult(success=False, handled=False)
    user = args.user
    if mechanism == "OAUTHBEARER":
        # RFC 7628 3.1: gs2 header, then key=value pairs each ended by ^A.
        head = "n,a=%s," % user.replace("=", "=3D").replace(",", "=2C")
        want = head + "\x01host=%s\x01port=%d\x01auth=Bearer %%s\x01\x01" % (args.host, port)
    else:
        want = "user=%s\x01auth=Bearer %%s\x01\x01" % user
    if got == want % args.oauth_token:
        return AuthResult(success=True, auth_data=LoginPassword(user.encode(), b""))
    prefix, suffix = want.split("%s")
    if not (got.startswith(prefix) and got.endswith(suffix)):
        note("malformed %s %r" % (mechanism, got))
        return AuthResult(success=False, handled=False)
    challenge = json.dumps({"status": args.refuse_status, "scope": "https://mail.example/"})
    answer = await server.challenge_auth(challenge)
    note("answer %s %r" % (mechanism, answer))
    await server.push("535 5.7.8 Token refused")
    return AuthResult(success=False, handled=True)


class Handler:
    def __init__(self):
        self.count = 0
        self.seen = set()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if args.greylist and (envelope.mail_from, address) not in self.seen:
            self.seen.add((envelope.mail_from, address))
            return "451 4.7.1 Greylisted, please try again later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

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


async def announce_clear_auth(self, server, session, envelope, hostname, responses):
    # As servers that offer AUTH in clear do; what they offer after STARTTLS
    # may differ, and only that counts (RFC 3207 4.2).
    session.host_name = hostname
    if server._tls_protocol is None:
        responses.insert(len(responses) - 1, "250-AUTH " + args.clear_auth)
    return responses


if args.clear_auth:
    Handler.handle_EHLO = announce_clear_auth

if args.oauth_token:
    async def auth_OAUTHBEARER(self, server, args_):
        return await bearer_login(server, args_, "OAUTHBEARER", server.transport.get_extra_info("sockname")[1])

    async def auth_XOAUTH2(self, server, args_):
        return await bearer_login(server, args_, "XOAUTH2", 0)

    for mech in args.oauth_mechs.split(","):
        setattr(Handler, "auth_" + mech, locals()["auth_" + mech])


class LoggingSMTP(SMTP):
    """Notes each command verb and whether it arrived encrypted."""

    # An AUTH line may be 12288 octets (RFC 4954 4): access tokens of the
    # large services run to a few kB. The stream's limit comes from these.
    command_size_limit = 12288
    command_size_limits = collections.defaultdict(lambda: 12288)
    line_length_limit = 12288

    def __init__(self, *a, **kw):
        super().__init__(*a, **kw)
        for name, method in list(self._smtp_methods.items()):
            self._smtp_methods[name] = self._logged(name, method)

    def _encrypted(self):
        if self._tls_protocol is not None:
            return True
        return self.transport is not None and self.transport.get_extra_info("ssl_object") is not None

    def _logged(self, name, method):
        @functools.wraps(method)
        async def run(arg):
            verb = name
            if name == "AUTH" and arg:
                verb += " " + arg.split()[0].upper()
            with open(os.path.join(args.dir, "commands.txt"), "a") as f:
                f.write("%s %s\n" % (verb, "tls" if self._encrypted() else "plain"))
            return await method(arg)

        return run


class LoggingController(Controller):
    def factory(self):
        return LoggingSMTP(self.handler, **self.SMTP_kwargs)


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == args.user.encode()
          and auth_data.password == args.password.encode())
    # handled=False: the server itself answers a failure with 535.
    return AuthResult(success=ok, handled=False, auth_data=auth_data)


def free_port():
    s = socket.socket(socket.AF_INET6 if ":" in args.host else socket.AF_INET)
    s.bind((args.host, 0))
    port = s.getsockname()[1]
    s.close()
    return port


def server_context(cert, key):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert, key)
    return ctx


def auth_kwargs(require_tls):
    if not args.auth:
        return {}
    kw = dict(authenticator=authenticator, auth_require_tls=require_tls)
    if args.plain_only:
        kw["auth_exclude_mechanism"] = ["LOGIN"]
    if args.oauth_token:
        kw["auth_exclude_mechanism"] = ["LOGIN", "PLAIN"]
    return kw


def publish(name, port):
    with open(os.path.join(args.dir, name + ".tmp"), "w") as f:
        f.write(str(port))
    os.rename(os.path.join(args.dir, name + ".tmp"), os.path.join(args.dir, name))


controllers = []
handler = Handler()
if args.implicit_cert:
    implicit_port = free_port()
    # The channel is encrypted from the first byte, so AUTH needs no STARTTLS.
    controllers.append(LoggingController(handler, hostname=args.host, port=implicit_port,
                                         ssl_context=server_context(args.implicit_cert, args.implicit_key),
                                         **auth_kwargs(False)))
    controllers[-1].start()
    publish("implicit-port", implicit_port)
kwargs = auth_kwargs(False)
if args.smtputf8:
    kwargs["enable_SMTPUTF8"] = True
if args.starttls_cert:
    # As submission servers do: AUTH is announced only after STARTTLS.
    kwargs = auth_kwargs(True)
    kwargs.update(tls_context=server_context(args.starttls_cert, args.starttls_key),
                  require_starttls=False)
port = args.port or free_port()
controllers.append(LoggingController(handler, hostname=args.host, port=port, **kwargs))
controllers[-1].start()
publish("port", port)
try:
    while True:
        time.sleep(3600)
except KeyboardInterrupt:
    pass
finally:
    for c in controllers:
        c.stop()
