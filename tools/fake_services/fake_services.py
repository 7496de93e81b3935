#!/usr/bin/python3
"""Loopback stand-ins for the installer's network services.

One process serves plain HTTP and HTTPS ("localhost", certificate from the
test CA) on free ports of 127.0.0.1 and prints, once both listen:

    READY {"http_port": P, "https_port": Q, "pid": N}

How a URL answers is its behaviour, a small dictionary:

    size=N          generated body of N bytes; byte i is i % 251
    text=T          literal body (UTF-8)
    b64=B           literal body given in Base64
    file=PATH       body read from a file
    head=N          with file: only its first N bytes (a complete answer)
    status=N        status code (default 200; 302 when redirect is given)
    redirect=URL    Location header; a path is made absolute on this server
    header=K:V      extra response header (repeatable)
    nolength=1      no Content-Length: the body ends when the connection closes
    norange=1       ignore Range requests
    drop=N          close the connection after N body bytes (the announced
                    Content-Length stays that of the full body)
    stall=S         wait S seconds before answering at all
    stall_after=N   send N body bytes, then stall (S from stall, else the
                    longest stall allowed)
    trickle=N       send the body in pieces of N bytes ...
    trickle_ms=M    ... with M milliseconds between them
    close=1         close the connection after the response

Behaviours come from the query of "/content/<anything>?k=v&..." or from
rules set through the control endpoints, which match any path (exact path or
prefix) and so can stand in for product URLs with fixed paths. Later rules
win; a rule with "times" expires after that many matches. The statistics
service ("/installstats/send/...") answers 200 with an empty body unless a
rule says otherwise. Other unmatched paths answer 404.

Control endpoints (never recorded):
    GET  /_control/ping
    GET  /_control/requests[?since=SEQ]  every recorded request as JSON
    POST /_control/rules       {"path"|"prefix": ..., "behaviour": {...},
                                "times": N}
    POST /_control/reset       drops rules and records
    POST /_control/shutdown
    GET  /_control/lease       held open by the test process; the server ends
                               when the last lease closes (the test process
                               exited or crashed)

Crash collector: POST "/submit" takes a crash report. The body is
de-chunked, gunzipped when its Content-Encoding says gzip, and parsed as
multipart/form-data; the record gets "crash": {"query": [[k, v]...],
"fields": [[name, value]...] in body order, "attachments": [{"name",
"filename", "type", "data_b64"}]}. It answers 200 (or the status of a rule
for "/submit"); an undecodable body gets 400 and {"error": REASON} in the
record. A request that announces "Content-Length: 0" beside
"Transfer-Encoding: chunked" (Wine 8's WinHTTP) gets its answer first (that
of the rules) and its chunked body read after it, as that WinHTTP sends it
only then; "crash" says "body_complete": true once it is decoded.

Every other request is recorded when it arrives: method, path, headers,
range, request body; then status, body bytes sent and whether the response
went out whole as they happen.

Slides: with --slides DIR, "/browser/installer/<theme>/<language>/x2/<NAME>"
answers with DIR/<NAME> when that file exists (rules still win), so the
installer built for the loopback services finds its slide pictures; for the
theme "dark", DIR/dark/<NAME> when that exists.

The process is bounded: it ends after --max-seconds, after --max-requests,
when no lease arrives within --lease-timeout (unless --no-lease), and it
listens on 127.0.0.1 only.
"""
import argparse
import base64
import http.server
import json
import os
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
import zlib

PATTERN_PERIOD = 251
# Requests of the statistics service: recorded on arrival, answered 200.
STATISTICS_PREFIX = "/installstats/send/"
_BLOCK = bytes(range(PATTERN_PERIOD)) * 256
# Doubled, so that any offset into the period starts a contiguous slice.
_PATTERN = _BLOCK + _BLOCK[:PATTERN_PERIOD]
_CHUNK = len(_BLOCK)


class GeneratedBody:
    def __init__(self, size):
        self.size = size

    def slices(self, start, end):
        pos = start
        while pos < end:
            n = min(_CHUNK, end - pos)
            off = pos % PATTERN_PERIOD
            yield memoryview(_PATTERN)[off:off + n]
            pos += n


class BytesBody:
    def __init__(self, data):
        self.data = data
        self.size = len(data)

    def slices(self, start, end):
        view = memoryview(self.data)
        pos = start
        while pos < end:
            n = min(_CHUNK, end - pos)
            yield view[pos:pos + n]
            pos += n


class CrashBodyError(Exception):
    pass


def dechunk(data):
    """The body of a chunked transfer, strictly framed."""
    body = b""
    pos = 0
    while True:
        end = data.find(b"\r\n", pos)
        if end < 0:
            raise CrashBodyError("chunk size line without CRLF at %d" % pos)
        line = data[pos:end].split(b";")[0]
        try:
            size = int(line, 16)
        except ValueError:
            raise CrashBodyError("bad chunk size %r at %d" % (line[:20], pos))
        pos = end + 2
        if size == 0:
            if data[pos:] != b"\r\n":
                raise CrashBodyError("bytes after the last chunk")
            return body
        if data[pos + size:pos + size + 2] != b"\r\n":
            raise CrashBodyError("chunk of %d bytes not ended by CRLF" % size)
        body += data[pos:pos + size]
        pos += size + 2


def parse_disposition(value):
    if not value.startswith("form-data; name=\""):
        raise CrashBodyError("bad Content-Disposition %r" % value)
    rest = value[len("form-data; name=\""):]
    name, quote, rest = rest.partition("\"")
    if not quote:
        raise CrashBodyError("unterminated name in %r" % value)
    filename = None
    if rest.startswith("; filename=\"") and rest.endswith("\""):
        filename = rest[len("; filename=\""):-1]
    elif rest:
        raise CrashBodyError("bad Content-Disposition %r" % value)
    return name, filename


def decode_crash_body(content_type, content_encoding, body):
    """Fields (in body order) and attachments of a crash report body."""
    prefix = "multipart/form-data; boundary="
    if not content_type.startswith(prefix):
        raise CrashBodyError("Content-Type is %r" % content_type)
    delimiter = b"--" + content_type[len(prefix):].encode("latin-1")
    if content_encoding == "gzip":
        try:
            decompressor = zlib.decompressobj(31)
            body = decompressor.decompress(body) + decompressor.flush()
        except zlib.error as e:
            raise CrashBodyError("gzip: %s" % e)
        if not decompressor.eof or decompressor.unused_data:
            raise CrashBodyError("gzip: stream incomplete or followed by bytes")
    elif content_encoding:
        raise CrashBodyError("Content-Encoding is %r" % content_encoding)
    fields, attachments = [], []
    if body == delimiter + b"--\r\n":
        return fields, attachments
    closing = b"\r\n" + delimiter + b"--\r\n"
    if not body.startswith(delimiter + b"\r\n") or not body.endswith(closing):
        raise CrashBodyError("multipart body not framed by the boundary")
    inner = body[len(delimiter) + 2:len(body) - len(closing)]
    for part in inner.split(b"\r\n" + delimiter + b"\r\n"):
        head, blank, content = part.partition(b"\r\n\r\n")
        if not blank:
            raise CrashBodyError("part without a blank line")
        headers = {}
        for line in head.decode("latin-1").split("\r\n"):
            key, colon, value = line.partition(": ")
            if not colon:
                raise CrashBodyError("bad part header %r" % line)
            headers[key] = value
        name, filename = parse_disposition(headers.get("Content-Disposition", ""))
        if filename is None:
            fields.append([name, content.decode("utf-8", "replace")])
        else:
            attachments.append({
                "name": name, "filename": filename,
                "type": headers.get("Content-Type", ""),
                "data_b64": base64.b64encode(content).decode("ascii")})
    return fields, attachments


class State:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.rules = []
        self.requests = []
        self.seq = 0
        self.handled = 0
        self.leases = 0
        self.ever_leased = False
        self.stop = threading.Event()
        self.ports = {}

    def record(self, entry):
        with self.lock:
            self.seq += 1
            entry["seq"] = self.seq
            self.requests.append(entry)
            self.handled += 1
            if self.handled >= self.args.max_requests:
                log("request limit reached")
                self.stop.set()

    def match(self, path):
        with self.lock:
            for rule in reversed(self.rules):
                if "path" in rule and rule["path"] != path:
                    continue
                if "prefix" in rule and not path.startswith(rule["prefix"]):
                    continue
                if rule.get("times") is not None:
                    if rule["times"] <= 0:
                        continue
                    rule["times"] -= 1
                return dict(rule.get("behaviour", {}))
        return None


def log(*parts):
    print("fake_services:", *parts, file=sys.stderr, flush=True)


def behaviour_from_query(query):
    behaviour = {}
    for key, value in urllib.parse.parse_qsl(query, keep_blank_values=True):
        if key == "header":
            behaviour.setdefault("header", []).append(value)
        else:
            behaviour[key] = value
    return behaviour


def as_int(behaviour, key, default=0):
    value = behaviour.get(key)
    if value is None or value == "":
        return default
    return int(value)


def as_flag(behaviour, key):
    return str(behaviour.get(key, "")).lower() in ("1", "true", "yes")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "fake_services/1"
    sys_version = ""

    def setup(self):
        tls = self.server.tls_context
        if tls is not None:
            self.request.settimeout(30)
            self.request = tls.wrap_socket(self.request, server_side=True)
        self.request.settimeout(None)
        super().setup()

    def log_message(self, fmt, *args):
        if self.server.state.args.verbose:
            log(self.address_string(), fmt % args)

    @property
    def state(self):
        return self.server.state

    # --- dispatch -----------------------------------------------------
    def do_GET(self):
        self.dispatch()

    def do_HEAD(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def do_PUT(self):
        self.dispatch()

    def read_request_body(self):
        length = self.headers.get("Content-Length")
        if length is not None:
            return self.rfile.read(int(length))
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            data = b""
            while True:
                size = int(self.rfile.readline().strip().split(b";")[0], 16)
                if size == 0:
                    self.rfile.readline()
                    return data
                data += self.rfile.read(size)
                self.rfile.readline()
        return b""

    def dispatch(self):
        if self.state.stop.is_set():
            self.close_connection = True
            return
        parsed = urllib.parse.urlsplit(self.path)
        if parsed.path.startswith("/_control/"):
            self.control(parsed)
            return
        body = self.read_request_body()
        crash = None
        if parsed.path == "/submit" and self.command == "POST":
            crash = self.collect_crash(parsed, body)
        entry = {
            "scheme": self.server.scheme,
            "method": self.command,
            "path": self.path,
            "headers": [[k, v] for k, v in self.headers.items()],
            "range": self.headers.get("Range"),
            "request_body_size": len(body),
            "request_body_b64": base64.b64encode(body).decode("ascii"),
            "status": 0,
            "bytes": 0,
            "complete": False,
            "time": time.time(),
        }
        behaviour = self.state.match(parsed.path)
        if crash is not None:
            entry["crash"] = crash
            if "error" in crash:
                behaviour = {"status": 400, "text": crash["error"]}
            elif behaviour is None:
                behaviour = {"text": "ok"}
        if behaviour is None and parsed.path.startswith("/content/"):
            behaviour = behaviour_from_query(parsed.query)
        if behaviour is None:
            behaviour = self.slide_behaviour(parsed.path)
        if behaviour is None and parsed.path.startswith(STATISTICS_PREFIX):
            behaviour = {"status": 200}
        if behaviour is None:
            behaviour = {"status": 404, "text": "not found"}
        # Recorded on arrival, so that tests see requests still in progress
        # (status 0 until the headers went out, "complete" once all of it).
        self.state.record(entry)
        self.respond(behaviour, entry)
        if crash is not None and crash.get("body_after_response"):
            self.read_late_body(entry)

    def slide_behaviour(self, path):
        folder = self.state.args.slides
        parts = path.split("/")
        # "", "browser", "installer", theme, language, "x2", name
        if (not folder or len(parts) != 7 or parts[1:3] != ["browser", "installer"]
                or parts[5] != "x2"):
            return None
        name = urllib.parse.unquote(parts[6])
        if os.path.basename(name) != name or name.startswith("."):
            return None
        candidates = [os.path.join(folder, name)]
        if parts[3] == "dark":
            candidates.insert(0, os.path.join(folder, "dark", name))
        for file in candidates:
            if os.path.isfile(file):
                return {"file": file}
        return None

    def read_late_body(self, entry):
        """The chunked body of a request that announced "Content-Length: 0"
        beside "Transfer-Encoding: chunked": Wine 8's WinHTTP sends it only
        once the answer has come. Read up to the last chunk (or until the
        client is quiet for 10 s), decoded like any report; the record holds
        the framed bytes as its body."""
        self.close_connection = True
        raw = b""
        try:
            self.request.settimeout(10)
            while True:
                line = self.rfile.readline(100)
                if not line:
                    break
                raw += line
                size = int(line.strip().split(b";")[0] or b"x", 16)
                if size == 0:
                    raw += self.rfile.readline(100)
                    break
                data = self.rfile.read(size + 2)
                raw += data
                if len(data) < size + 2:
                    break
        except (OSError, ValueError):
            pass
        crash = entry["crash"]
        try:
            fields, attachments = decode_crash_body(
                self.headers.get("Content-Type", ""),
                self.headers.get("Content-Encoding", ""), dechunk(raw))
            crash["fields"] = fields
            crash["attachments"] = attachments
        except CrashBodyError as e:
            crash["error"] = str(e)
        with self.state.lock:
            entry["request_body_size"] = len(raw)
            entry["request_body_b64"] = base64.b64encode(raw).decode("ascii")
            crash["body_after_response"] = False
            crash["body_complete"] = True

    def collect_crash(self, parsed, body):
        crash = {"query": urllib.parse.parse_qsl(parsed.query,
                                                 keep_blank_values=True)}
        chunked = self.headers.get("Transfer-Encoding", "").lower() == "chunked"
        if chunked and self.headers.get("Content-Length") == "0":
            # Read after the answer (see read_late_body).
            crash["body_after_response"] = True
            return crash
        try:
            fields, attachments = decode_crash_body(
                self.headers.get("Content-Type", ""),
                self.headers.get("Content-Encoding", ""), body)
        except CrashBodyError as e:
            crash["error"] = str(e)
            crash["body_complete"] = True
            return crash
        crash["fields"] = fields
        crash["attachments"] = attachments
        crash["body_complete"] = True
        return crash

    # --- control ------------------------------------------------------
    def send_json(self, value, status=200):
        data = json.dumps(value).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def control(self, parsed):
        state = self.state
        name = parsed.path[len("/_control/"):]
        body = self.read_request_body()
        if name == "ping":
            self.send_json({"ok": True, "ports": state.ports})
        elif name == "requests":
            since = int(dict(urllib.parse.parse_qsl(parsed.query)).get("since", 0))
            with state.lock:
                items = [r for r in state.requests if r["seq"] > since]
            self.send_json(items)
        elif name == "rules" and self.command == "POST":
            rule = json.loads(body or b"{}")
            with state.lock:
                state.rules.append(rule)
            self.send_json({"ok": True})
        elif name == "reset" and self.command == "POST":
            with state.lock:
                state.rules.clear()
                state.requests.clear()
            self.send_json({"ok": True})
        elif name == "shutdown" and self.command == "POST":
            self.send_json({"ok": True})
            state.stop.set()
        elif name == "lease":
            self.hold_lease()
        else:
            self.send_json({"error": "unknown control " + name}, 404)

    def hold_lease(self):
        state = self.state
        with state.lock:
            state.leases += 1
            state.ever_leased = True
        self.close_connection = True
        self.request.settimeout(1.0)
        try:
            while not state.stop.is_set():
                try:
                    if not self.request.recv(1):
                        break
                except socket.timeout:
                    continue
                except OSError:
                    break
        finally:
            with state.lock:
                state.leases -= 1
                last = state.leases == 0
            if last:
                log("last lease closed; ending")
                state.stop.set()

    # --- behaviours ---------------------------------------------------
    def wait(self, seconds):
        seconds = min(max(seconds, 0.0), self.state.args.max_stall)
        self.state.stop.wait(seconds)

    def make_body(self, behaviour):
        if "size" in behaviour:
            return GeneratedBody(as_int(behaviour, "size"))
        if "text" in behaviour:
            return BytesBody(str(behaviour["text"]).encode("utf-8"))
        if "b64" in behaviour:
            return BytesBody(base64.b64decode(str(behaviour["b64"])))
        if "file" in behaviour:
            with open(behaviour["file"], "rb") as f:
                data = f.read()
            # "head=N": only the file's first N bytes, as a whole body.
            if "head" in behaviour:
                data = data[:as_int(behaviour, "head")]
            return BytesBody(data)
        return BytesBody(b"")

    def respond(self, behaviour, entry):
        stall = float(behaviour.get("stall", 0) or 0)
        if stall and "stall_after" not in behaviour:
            self.wait(stall)
            if self.state.stop.is_set():
                self.close_connection = True
                return

        status = as_int(behaviour, "status", 0)
        headers = []
        redirect = behaviour.get("redirect")
        if redirect:
            if redirect.startswith("/"):
                redirect = "%s://%s:%d%s" % (
                    self.server.scheme, self.server.host_name,
                    self.server.server_address[1], redirect)
            headers.append(("Location", redirect))
            status = status or 302
        status = status or 200
        for item in behaviour.get("header", []) or []:
            key, _, value = str(item).partition(":")
            headers.append((key.strip(), value.strip()))

        body = self.make_body(behaviour)
        start, end = 0, body.size
        range_header = self.headers.get("Range")
        if (range_header and status == 200 and not as_flag(behaviour, "norange")
                and range_header.startswith("bytes=")):
            first, _, last = range_header[6:].partition("-")
            try:
                first = int(first) if first else None
                last = int(last) if last else None
            except ValueError:
                first = last = None
            if first is not None and first >= body.size:
                status = 416
                headers.append(("Content-Range", "bytes */%d" % body.size))
                start = end = 0
            elif first is not None:
                end = min(body.size, last + 1) if last is not None else body.size
                start = first
                status = 206
                headers.append(("Content-Range",
                                "bytes %d-%d/%d" % (start, end - 1, body.size)))
        headers.append(("Accept-Ranges",
                        "none" if as_flag(behaviour, "norange") else "bytes"))

        no_length = as_flag(behaviour, "nolength")
        close = as_flag(behaviour, "close") or no_length
        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        if not no_length:
            self.send_header("Content-Length", str(end - start))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        entry["status"] = status
        if self.command == "HEAD":
            entry["complete"] = True
            return

        drop = behaviour.get("drop")
        drop = int(drop) if drop not in (None, "") else None
        stall_after = behaviour.get("stall_after")
        stall_after = int(stall_after) if stall_after not in (None, "") else None
        trickle = as_int(behaviour, "trickle", 0)
        trickle_ms = as_int(behaviour, "trickle_ms", 0)
        sent = 0
        total = end - start
        try:
            for piece in body.slices(start, end):
                while len(piece):
                    n = len(piece)
                    if trickle:
                        n = min(n, trickle)
                    if drop is not None:
                        n = min(n, drop - sent)
                    if stall_after is not None and sent < stall_after:
                        n = min(n, stall_after - sent)
                    if n > 0:
                        self.wfile.write(piece[:n])
                        sent += n
                        entry["bytes"] = sent
                        piece = piece[n:]
                    if drop is not None and sent >= drop:
                        self.abort_connection()
                        return
                    if stall_after is not None and sent == stall_after:
                        self.wait(stall or self.state.args.max_stall)
                        stall_after = None
                        if self.state.stop.is_set():
                            self.abort_connection()
                            return
                    if trickle and trickle_ms and sent < total:
                        self.wait(trickle_ms / 1000.0)
                        if self.state.stop.is_set():
                            self.abort_connection()
                            return
            entry["complete"] = sent == total
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            self.close_connection = True

    def abort_connection(self):
        self.close_connection = True
        try:
            self.wfile.flush()
        except OSError:
            pass
        try:
            self.request.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = False
    request_queue_size = 64

    def __init__(self, state, scheme, tls_context, port=0):
        self.state = state
        self.scheme = scheme
        self.tls_context = tls_context
        # Certificates name "localhost" only; plain HTTP uses the address.
        self.host_name = "localhost" if tls_context else "127.0.0.1"
        # A fixed port must be reusable right after an earlier run's
        # connections (TIME_WAIT); a live listener still refuses it.
        self.allow_reuse_address = port != 0
        super().__init__(("127.0.0.1", port), Handler)

    def handle_error(self, request, client_address):
        exc = sys.exc_info()[1]
        if isinstance(exc, (ConnectionError, ssl.SSLError, socket.timeout)):
            return
        super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tls-dir", help="folder with server.pem and server.key")
    parser.add_argument("--max-seconds", type=float, default=900)
    parser.add_argument("--max-requests", type=int, default=100000)
    parser.add_argument("--max-stall", type=float, default=60)
    parser.add_argument("--lease-timeout", type=float, default=30)
    parser.add_argument("--no-lease", action="store_true",
                        help="run until shut down or a limit is reached")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--slides", help="folder of the slide pictures served")
    parser.add_argument("--http-port", type=int, default=0,
                        help="fixed port for HTTP (default: a free one)")
    parser.add_argument("--https-port", type=int, default=0,
                        help="fixed port for HTTPS (default: a free one)")
    args = parser.parse_args()

    # Started by Wine from a Windows process, this process may inherit
    # descriptors it must not keep open (pipes a test runner waits on).
    # Wine hands over standard output only; diagnostics go to the same
    # place, never to a descriptor the parent's runner may be reading.
    os.dup2(1, 2)
    os.closerange(3, 1024)

    state = State(args)
    servers = [Server(state, "http", None, args.http_port)]
    if args.tls_dir:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(os.path.join(args.tls_dir, "server.pem"),
                            os.path.join(args.tls_dir, "server.key"))
        servers.append(Server(state, "https", ctx, args.https_port))
    state.ports = {s.scheme + "_port": s.server_address[1] for s in servers}
    for s in servers:
        threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2},
                         daemon=True).start()

    ready = dict(state.ports)
    ready["pid"] = os.getpid()
    print("READY " + json.dumps(ready), flush=True)
    log("listening", ready)

    deadline = time.monotonic() + args.max_seconds
    lease_deadline = time.monotonic() + args.lease_timeout
    while not state.stop.is_set():
        now = time.monotonic()
        if now >= deadline:
            log("time limit reached")
            break
        if not args.no_lease and not state.ever_leased and now >= lease_deadline:
            log("no lease taken; ending")
            break
        state.stop.wait(0.5)
    state.stop.set()
    for s in servers:
        s.shutdown()
    # The plain HTTP listener closes last: a test process takes its refusal
    # as the sign that every port of this server is free again (a suite that
    # starts the next server on the same fixed HTTPS port relies on it).
    for s in reversed(servers):
        s.server_close()
    log("stopped after", state.handled, "requests")
    sys.stderr.flush()
    # Handler threads may still sit in a stall; they are daemons.
    os._exit(0)


if __name__ == "__main__":
    main()
