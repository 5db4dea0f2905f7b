#!/usr/bin/python3
# A real OAuth 2.0 authorization server for the sign-in tests, on 127.0.0.1
# over HTTPS with a certificate of the tests' own CA:
#   GET  /authorize  the code grant's page (RFC 6749 4.1.1): with PKCE S256
#                    required, it "grants" at once and redirects to the
#                    loopback redirect_uri with a code and the state, or with
#                    error=access_denied under --deny;
#   POST /token      authorization_code (the verifier checked against the
#                    challenge, RFC 7636 4.6), refresh_token, and the device
#                    grant (RFC 8628 3.4) answering by --device-script;
#   POST /device     the device authorization (RFC 8628 3.2).
# Access tokens come from --access-tokens in turn (the last one repeats),
# refresh tokens are "refresh-N"; --revoke makes every refresh invalid_grant.
# Every token issued is listed in DIR/issued.txt, every request in
# DIR/log.txt ("token refresh_token", "poll pending", "poll early", ...).
# Times (interval, expires_in) are counted in seconds of --second-ms ms.
import argparse
import base64
import hashlib
import json
import os
import secrets
import ssl
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

p = argparse.ArgumentParser()
p.add_argument("--dir", required=True)
p.add_argument("--cert", required=True)
p.add_argument("--key", required=True)
p.add_argument("--client-id", default="quillet-test-client")
p.add_argument("--access-tokens", default="access-1")
p.add_argument("--expires-in", type=int, default=3600)
p.add_argument("--deny", action="store_true")
p.add_argument("--revoke", action="store_true")
p.add_argument("--device-script", default="grant", help="e.g. pending,slow_down,grant")
p.add_argument("--device-expires-in", type=int, default=600)
p.add_argument("--interval", type=int, default=2)
p.add_argument("--second-ms", type=int, default=1000)
args = p.parse_args()

lock = threading.Lock()
codes = {}      # code -> (challenge, redirect_uri)
refresh = set() # valid refresh tokens
access = args.access_tokens.split(",")
state = {"issued": 0, "refresh": 0, "device": None}


def log(line):
    with lock, open(os.path.join(args.dir, "log.txt"), "a") as f:
        f.write(line + "\n")


def issue(with_refresh):
    with lock:
        token = access[min(state["issued"], len(access) - 1)]
        state["issued"] += 1
        body = {"access_token": token, "token_type": "Bearer", "expires_in": args.expires_in}
        if with_refresh:
            state["refresh"] += 1
            body["refresh_token"] = "refresh-%d-%s" % (state["refresh"], secrets.token_hex(4))
            refresh.add(body["refresh_token"])
        with open(os.path.join(args.dir, "issued.txt"), "a") as f:
            f.write(token + "\n")
            if with_refresh:
                f.write(body["refresh_token"] + "\n")
    return body


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *a):
        pass

    def reply(self, status, body, headers=()):
        data = json.dumps(body).encode() if body is not None else b""
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def error(self, code, status=400):
        log("error " + code)
        self.reply(status, {"error": code, "error_description": "test server says " + code})

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        q = dict(urllib.parse.parse_qsl(url.query))
        if url.path != "/authorize":
            return self.reply(404, None)
        redirect = q.get("redirect_uri", "")
        ok = (q.get("response_type") == "code" and q.get("client_id") == args.client_id
              and redirect.startswith("http://127.0.0.1:") and redirect.endswith("/")
              and q.get("code_challenge_method") == "S256" and len(q.get("code_challenge", "")) == 43
              and q.get("state"))
        if not ok:
            log("authorize bad %r" % sorted(q.items()))
            return self.reply(400, {"error": "invalid_request"})
        log("authorize scope=%s login_hint=%s" % (q.get("scope"), q.get("login_hint")))
        params = {"state": q["state"]}
        if args.deny:
            params["error"] = "access_denied"
        else:
            code = secrets.token_urlsafe(16)
            with lock:
                codes[code] = (q["code_challenge"], redirect)
            params["code"] = code
        self.reply(302, None, [("Location", redirect + "?" + urllib.parse.urlencode(params))])

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        form = dict(urllib.parse.parse_qsl(self.rfile.read(length).decode()))
        if form.get("client_id") != args.client_id:
            return self.error("invalid_client", 401)
        if self.path == "/device":
            with lock:
                state["device"] = {"code": secrets.token_urlsafe(16), "step": 0,
                                   "interval": args.interval, "last": time.monotonic()}
            log("device scope=%s" % form.get("scope"))
            return self.reply(200, {"device_code": state["device"]["code"], "user_code": "WDJB-MJHT",
                                    "verification_uri": "https://127.0.0.1/device",
                                    "expires_in": args.device_expires_in, "interval": args.interval})
        if self.path != "/token":
            return self.reply(404, None)
        grant = form.get("grant_type")
        if grant == "authorization_code":
            with lock:
                found = codes.pop(form.get("code", ""), None)
            verifier = form.get("code_verifier", "")
            if not found or found[1] != form.get("redirect_uri"):
                return self.error("invalid_grant")
            digest = base64.urlsafe_b64encode(hashlib.sha256(verifier.encode()).digest()).rstrip(b"=")
            if digest.decode() != found[0]:
                return self.error("invalid_grant")
            log("token authorization_code")
            return self.reply(200, issue(True))
        if grant == "refresh_token":
            if args.revoke or form.get("refresh_token") not in refresh:
                return self.error("invalid_grant")
            log("token refresh_token")
            return self.reply(200, issue(False))
        if grant == "urn:ietf:params:oauth:grant-type:device_code":
            d = state["device"]
            if not d or form.get("device_code") != d["code"]:
                return self.error("invalid_grant")
            now = time.monotonic()
            # A poll sooner than the interval asks is noted (RFC 8628 3.5).
            if (now - d["last"]) * 1000 < d["interval"] * args.second_ms:
                log("poll early")
            d["last"] = now
            script = args.device_script.split(",")
            answer = script[min(d["step"], len(script) - 1)]
            d["step"] += 1
            log("poll " + answer)
            if answer == "grant":
                return self.reply(200, issue(True))
            if answer == "slow_down":
                d["interval"] += 5
            return self.reply(400, {"error": {"pending": "authorization_pending"}.get(answer, answer)})
        return self.error("unsupported_grant_type")


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
ctx.load_cert_chain(args.cert, args.key)
server.socket = ctx.wrap_socket(server.socket, server_side=True)
with open(os.path.join(args.dir, "port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(args.dir, "port.tmp"), os.path.join(args.dir, "port"))
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
