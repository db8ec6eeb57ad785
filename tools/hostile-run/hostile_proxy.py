#!/usr/bin/env python3
"""A reverse proxy that passes requests to a library service and mutates its JSON replies.

    hostile_proxy.py --listen PORT --upstream http://127.0.0.1:UPSTREAM [--seed N] [--rate R]
                     [--only PREFIX]... [--spare SUFFIX]...

Every reply whose body is a JSON object or array is, with probability R (default 0.5), changed
in one of these ways (chosen at random, seeded):
  drop    keys dropped from objects at any depth (each with probability 0.3)
  nest    values nested where text or numbers stand ([[v]], {"v": v})
  limits  integers replaced by 64-bit limits (and their neighbours past them)
  shapes  every value of one key (picked from the reply) given another shape
  pad     the reply padded with white space to just under the transport's bound
  grow    a list of short values added that decodes to just under the decoded bound
Other replies (pages, files, pictures), and replies to paths outside the --only prefixes when
any are given, or to paths ending in a --spare suffix, pass unchanged. Each mutation is logged to stderr.
Not part of CI: tools/hostile-run/run.sh drives it.
"""
import argparse
import http.client
import http.server
import json
import random
import socketserver
import sys
import threading
import urllib.parse

TRANSPORT_BOUND = 128 << 20  # the web transport's reply bound, in bytes
TREE_BOUND = 128 << 20  # what a reply may become once decoded
INT64_MAX = (1 << 63) - 1
LIMITS = [INT64_MAX, -INT64_MAX - 1, (1 << 64) - 1, INT64_MAX + 1, -(1 << 63) - 1, 2**31, -2**31 - 1]
HOP_HEADERS = {"connection", "keep-alive", "transfer-encoding", "te", "trailer", "upgrade",
               "proxy-authorization", "proxy-authenticate", "content-length"}


def walk(value, change):
    """Applies change(obj) to every object, depth first; returns the (possibly new) value."""
    if isinstance(value, list):
        return [walk(v, change) for v in value]
    if isinstance(value, dict):
        return change({k: walk(v, change) for k, v in value.items()})
    return value


def keys_of(value, found):
    if isinstance(value, list):
        for v in value:
            keys_of(v, found)
    elif isinstance(value, dict):
        for k, v in value.items():
            found.add(k)
            keys_of(v, found)
    return found


def other_shape(rng, value):
    return rng.choice([None, [], [value], {"v": value}, [[{"Code": value}]], "ข้อความ", 12.5, True,
                       rng.choice(LIMITS), "", {}])


def mutate(rng, body):
    kind = rng.choice(["drop", "drop", "nest", "limits", "shapes", "shapes", "pad", "grow"])
    if kind == "drop":
        body = walk(body, lambda o: {k: v for k, v in o.items() if rng.random() > 0.3})
    elif kind == "nest":
        def nest(o):
            return {k: (rng.choice([[[v]], {"v": v}]) if isinstance(v, (str, int, float)) and
                        rng.random() < 0.4 else v) for k, v in o.items()}
        body = walk(body, nest)
    elif kind == "limits":
        def limits(o):
            return {k: (rng.choice(LIMITS) if isinstance(v, (int, float)) and
                        not isinstance(v, bool) else v) for k, v in o.items()}
        body = walk(body, limits)
    elif kind == "shapes":
        keys = sorted(keys_of(body, set()))
        if keys:
            key = rng.choice(keys)
            body = walk(body, lambda o: {k: (other_shape(rng, v) if k == key else v)
                                         for k, v in o.items()})
            kind += " " + key
    text = json.dumps(body, ensure_ascii=False).encode("utf-8")
    if kind == "pad":
        # White space before the closing bracket: just under the bound, as one reply.
        room = TRANSPORT_BOUND - len(text) - 4096
        if room > 0:
            text = text[:-1] + b" " * room + text[-1:]
    elif kind == "grow" and isinstance(body, dict):
        # "0," decodes to some 60 bytes: a list that decodes to just under the bound.
        count = TREE_BOUND // 72
        text = text[:-1] + (b"," if len(text) > 2 else b"") + b'"Padding":[' + \
            b"0," * (count - 1) + b"0]}"
    return kind, text


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def forward(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else None
        upstream = self.server.upstream
        connection = http.client.HTTPConnection(upstream.hostname, upstream.port, timeout=60)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_HEADERS}
        headers["Host"] = upstream.netloc
        try:
            connection.request(self.command, self.path, body=body, headers=headers)
            reply = connection.getresponse()
            data = reply.read()
        except OSError as error:
            self.send_error(502, str(error))
            return
        finally:
            connection.close()
        kind = None
        content_type = reply.getheader("Content-Type", "")
        chosen = (not self.server.only or any(self.path.startswith(p) for p in self.server.only)) \
            and not any(self.path.endswith(name) for name in self.server.spared)
        if chosen and "json" in content_type and data[:1] in (b"{", b"[") and \
                self.server.rng.random() < self.server.rate:
            try:
                with self.server.lock:
                    kind, data = mutate(self.server.rng, json.loads(data))
            except ValueError:
                kind = None
        if kind:
            print(f"mutated {self.path} ({kind}): {len(data)} bytes", file=sys.stderr, flush=True)
        self.send_response(reply.status, reply.reason)
        for name, value in reply.getheaders():
            if name.lower() not in HOP_HEADERS:
                self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if self.command != "HEAD":
            try:
                self.wfile.write(data)
            except OSError:
                pass

    do_GET = do_POST = do_PUT = do_DELETE = do_HEAD = forward


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", type=int, required=True)
    parser.add_argument("--upstream", required=True)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--rate", type=float, default=0.5)
    parser.add_argument("--only", action="append", default=[])
    parser.add_argument("--spare", action="append", default=[])
    args = parser.parse_args()
    server = Server(("127.0.0.1", args.listen), Handler)
    server.upstream = urllib.parse.urlsplit(args.upstream)
    server.rng = random.Random(args.seed)
    server.rate = args.rate
    server.only = args.only
    server.spared = args.spare
    server.lock = threading.Lock()
    print(f"listening on {args.listen}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
