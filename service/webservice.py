#!/usr/bin/python3
"""A web service for Corvane Tool: receives pictures and serves them back.

Run it on your own machine or server and point the tool at it (README, "Use your
own server"). It answers the two requests the tool makes, below the path of its
public base address:

  POST <base>/upload.php   multipart/form-data with a part "imagedata" holding one
                           JPEG picture; stores it under a new, unguessable name
                           and replies 200 with its link "<public base>/<name>".
  POST <base>/vcheck.php   replies 200 with the version text ("N": no newer one).
  GET  <base>/<name>       the stored picture, image/jpeg.
  GET  <base>/download/    a download page.

Every refused request gets a status and a one-line message saying why: 400 for a
malformed upload, 404 for an unknown path or picture, 405 for a wrong method, 411
without a length, 413 for a picture over the size limit, 415 for anything that is
not a JPEG picture, 507 when the picture cannot be stored.

  webservice.py [--bind ADDR] [--port N] [--store DIR] [--public-base URL]
                [--tls-cert PEM --tls-key PEM] [--max-picture-mb N] [--version-reply TEXT]

With --tls-cert and --tls-key it speaks HTTPS. Requests in proxy form ("POST
http://host:80/upload.php") are answered like any other, so that a client whose
platform proxy points here reaches it.

For tests, and only when asked for (--test-controls, or WebService(test_controls=
True)), it also records every request and takes orders over /_control/* (scripted
answers: another status or body, a delay, a dropped connection, a reply or its
headers trickling without end) and opens TLS tunnels for CONNECT with a
certificate the test gives it. Standard library only.
"""

import argparse
import base64
import http.server
import json
import os
import re
import secrets
import shutil
import signal
import socket
import ssl
import sys
import tempfile
import threading
import time
import urllib.parse

DEFAULT_PUBLIC_BASE = "http://corvane.net"
DEFAULT_MAX_PICTURE = 20 * 1024 * 1024
MULTIPART_OVERHEAD = 64 * 1024  # the other part and the part headers around the picture
MAX_PARTS = 16
MAX_PART_HEADER = 4096
MAX_HEAD = 64 * 1024           # request line and headers kept for a test
MAX_DELAY = 120.0
MAX_TRICKLE = 600.0            # a trickling reply ends by itself after this long
MAX_RECORDED = 10000           # requests kept; the oldest go first
MAX_RECORDED_BYTES = 256 * 1024 * 1024  # bodies kept; the oldest lose theirs first
STORE_ATTEMPTS = 8

JPEG_MAGIC = b"\xff\xd8\xff"
_HEADER_LINE = re.compile(rb"[A-Za-z0-9-]{1,64}:")
# 26 letters of lower-case base32: 130 random bits. Lower case only, so that two
# names never differ by case alone (the tool's save folder and a store on Windows
# do not tell case apart); short enough that the tool keeps the whole name
# (it names a saved copy after at most 36 characters).
_NAME = re.compile(r"^[a-z2-7]{26}$")
_BOUNDARY = re.compile(r'boundary=(?:"([^"]{1,70})"|([^\s;"]{1,70}))', re.IGNORECASE)


def new_picture_name():
    return base64.b32encode(secrets.token_bytes(16)).decode("ascii").rstrip("=").lower()


def parse_public_base(text):
    """(normalised base without trailing slash, its path) of an http(s) base address."""
    split = urllib.parse.urlsplit(text)
    if split.scheme not in ("http", "https") or not split.hostname:
        raise ValueError("the public base must be an http:// or https:// address: %r" % text)
    if split.username or split.password or split.query or split.fragment:
        raise ValueError("the public base takes no user name, password, query or fragment: %r" % text)
    path = split.path.rstrip("/")
    return "%s://%s%s" % (split.scheme, split.netloc, path), path


def parse_multipart(body, content_type):
    """Parts of a multipart/form-data body: a list of (name, bytes).

    A part ends at the next delimiter that is followed by a part header, or by
    "--" at the very end of the body, so a picture that happens to hold a bare
    delimiter line is kept whole. Raises ValueError on anything malformed or too big.
    """
    match = _BOUNDARY.search(content_type or "")
    if not content_type or not content_type.lower().startswith("multipart/form-data") or not match:
        raise ValueError("not multipart/form-data with a boundary")
    delimiter = b"--" + (match.group(1) or match.group(2)).encode("ascii")
    if not body.startswith(delimiter):
        raise ValueError("body does not begin with the delimiter")
    parts = []
    at = len(delimiter)
    while True:
        if body[at:at + 2] == b"--":
            return parts
        if body[at:at + 2] != b"\r\n":
            raise ValueError("delimiter not followed by a line end")
        at += 2
        header_end = body.find(b"\r\n\r\n", at, at + MAX_PART_HEADER)
        if header_end < 0:
            raise ValueError("part header missing or too long")
        name = None
        for line in body[at:header_end].split(b"\r\n"):
            key, _, value = line.partition(b":")
            if key.strip().lower() == b"content-disposition":
                m = re.search(rb'name="([^"]*)"', value)
                if m:
                    name = m.group(1).decode("latin-1")
        if name is None:
            raise ValueError("part without a name")
        content_start = header_end + 4
        search = content_start
        while True:
            end = body.find(b"\r\n" + delimiter, search)
            if end < 0:
                raise ValueError("part not closed")
            after = end + 2 + len(delimiter)
            following = body[after:after + 2]
            # Index arithmetic, not a slice: a slice copies the rest of the body at every candidate.
            rest = len(body) - (after + 2)
            if following == b"--" and (rest == 0 or (rest == 2 and body.endswith(b"\r\n"))):
                break
            if following == b"\r\n" and _HEADER_LINE.match(body, after + 2):
                break
            search = end + 1
        parts.append((name, body[content_start:end]))
        if len(parts) > MAX_PARTS:
            raise ValueError("too many parts")
        at = after


class _Answer:
    def __init__(self, status=200, body=None, delay=0.0, drop=False, count=1, trickle=0.0, head_trickle=0.0):
        self.status = int(status)
        if not 100 <= self.status <= 599:
            raise ValueError("status out of range")  # it goes into the status line as it is
        self.body = body
        self.delay = max(0.0, min(float(delay), MAX_DELAY))
        self.drop = bool(drop)
        self.count = max(1, int(count))
        # Seconds between the bytes of a reply that never ends; 0 for none.
        self.trickle = max(0.0, min(float(trickle), MAX_DELAY))
        # The same for the status line and headers, which then never end.
        self.head_trickle = max(0.0, min(float(head_trickle), MAX_DELAY))


class _Refused(Exception):
    def __init__(self, status, message):
        super().__init__(message)
        self.status = status
        self.message = message


class WebService:
    """The service in a background thread; see the module's documentation.

    test_controls: record requests (.requests, .uploads), obey script() and
    /_control/*, and open a TLS tunnel with tunnel_context for CONNECT.
    """

    def __init__(self, port=0, store_dir=None, public_base=DEFAULT_PUBLIC_BASE, bind="127.0.0.1", on_store=None,
                 max_picture=DEFAULT_MAX_PICTURE, tls_context=None, test_controls=False):
        parse_public_base(public_base)  # refused early, not at the first upload
        self._default_public_base = public_base
        self.public_base = public_base
        self.bind = bind
        self._wanted_port = port
        self._own_store = store_dir is None
        self.store_dir = store_dir
        self.max_picture = int(max_picture)
        self.tls_context = tls_context
        self.test_controls = bool(test_controls)
        self.tunnel_context = None
        self.requests = []
        self._recorded_bytes = 0
        self.uploads = []
        self._on_store = on_store  # called with each upload as it is stored; reset() does not end it
        self.version_reply = b"N"
        self._scripts = {}
        self._lock = threading.Lock()
        self._stopping = threading.Event()
        self._server = None
        self._thread = None

    # --- life ------------------------------------------------------------
    def start(self):
        if self._own_store:
            self.store_dir = tempfile.mkdtemp(prefix="corvane-service-")
        os.makedirs(self.store_dir, exist_ok=True)
        service = self

        class Handler(_Handler):
            pass
        Handler.service = service
        family = socket.AF_INET6 if ":" in self.bind else socket.AF_INET
        server_class = type("Server", (_Server,), {"address_family": family})
        self._server = server_class((self.bind, self._wanted_port), Handler)
        if self.tls_context is not None:
            # The handshake runs in the handler's thread: a slow client never holds up accept().
            self._server.socket = self.tls_context.wrap_socket(self._server.socket, server_side=True,
                                                               do_handshake_on_connect=False)
        self._thread = threading.Thread(target=self._server.serve_forever, args=(0.05,), name="webservice", daemon=True)
        self._thread.start()
        return self

    @property
    def port(self):
        return self._server.server_address[1]

    def stop(self):
        self._stopping.set()  # ends scripted delays at once
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._thread.join(timeout=10)
            self._server = None
        if self._own_store and self.store_dir:
            # Uploads forgotten by reset() still have their files here.
            shutil.rmtree(self.store_dir, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    @property
    def base_path(self):
        return parse_public_base(self.public_base)[1]

    def link(self, name):
        return parse_public_base(self.public_base)[0] + "/" + name

    # --- what tests tell it --------------------------------------------------
    def script(self, path="/upload.php", status=200, body=None, delay=0.0, drop=False, count=1, trickle=0.0,
               head_trickle=0.0):
        """The next `count` requests to `path` (below the base path) get this
        answer instead of the normal one. With body None, a 200 answer is the
        normal one (an upload is stored) and any other status has an empty body.
        drop closes the connection without a reply. trickle > 0 sends the status
        and headers, then the body (or "x" repeated) one byte every `trickle`
        seconds, without end until the client goes or the service stops.
        head_trickle > 0 sends the status line and headers themselves so, a
        header that never ends."""
        if isinstance(body, str):
            body = body.encode("latin-1")
        with self._lock:
            self._scripts.setdefault(path, []).append(_Answer(status, body, delay, drop, count, trickle,
                                                              head_trickle))

    def reset(self):
        with self._lock:
            self.requests.clear()
            self._recorded_bytes = 0
            self.uploads.clear()
            self._scripts.clear()
            self.version_reply = b"N"
            self.public_base = self._default_public_base
            self.tunnel_context = None

    def _next_answer(self, path):
        if not self.test_controls:
            return None
        with self._lock:
            queue = self._scripts.get(path)
            if not queue:
                return None
            answer = queue[0]
            answer.count -= 1
            if answer.count == 0:
                queue.pop(0)
            return answer

    def _record(self, entry):
        if not self.test_controls:
            return
        with self._lock:
            self.requests.append(entry)
            self._recorded_bytes += len(entry["body"])
            for gone in self.requests[:-MAX_RECORDED]:
                self._recorded_bytes -= len(gone["body"])
            del self.requests[:-MAX_RECORDED]
            for old in self.requests:
                if self._recorded_bytes <= MAX_RECORDED_BYTES:
                    break
                if old["body"]:
                    self._recorded_bytes -= len(old["body"])
                    old["body"] = b""
                    old["body_dropped"] = True

    def _store(self, picture):
        """Writes the picture under a new name; the name. A name already taken is
        never overwritten: another is drawn."""
        for _ in range(STORE_ATTEMPTS):
            name = new_picture_name()
            path = os.path.join(self.store_dir, name + ".jpg")
            try:
                fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | getattr(os, "O_BINARY", 0), 0o644)
            except FileExistsError:
                continue
            try:
                with os.fdopen(fd, "wb") as f:
                    f.write(picture)
            except OSError:
                try:
                    os.unlink(path)
                except OSError:
                    pass
                raise
            upload = {"id": name, "path": path, "size": len(picture)}
            if self.test_controls:
                with self._lock:
                    self.uploads.append(dict(upload, bytes=picture))
            if self._on_store is not None:
                self._on_store(upload)
            return name
        raise OSError("no free picture name")

    def _stored_path(self, name):
        if not _NAME.match(name):
            return None
        path = os.path.join(self.store_dir, name + ".jpg")
        return path if os.path.isfile(path) else None

    def requests_json(self):
        with self._lock:
            return [dict(r, body=base64.b64encode(r["body"]).decode("ascii"),
                         head=base64.b64encode(r["head"]).decode("ascii")) for r in self.requests]


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A client that goes away or fails its handshake is no fault of the service.
        if isinstance(sys.exc_info()[1], (ConnectionError, ssl.SSLError, socket.timeout)):
            return
        super().handle_error(request, client_address)


class _Recorder:
    """The handler's input stream, keeping the request line and headers of the
    request being read (up to MAX_HEAD bytes) for the record."""

    def __init__(self, raw):
        self.raw = raw
        self.head = bytearray()
        self.keeping = True

    def start(self):
        self.head = bytearray()
        self.keeping = True

    def _keep(self, data):
        if self.keeping and len(self.head) < MAX_HEAD:
            self.head += data[:MAX_HEAD - len(self.head)]
        return data

    def readline(self, size=-1):
        return self._keep(self.raw.readline(size))

    def read(self, size=-1):
        return self._keep(self.raw.read(size))

    def close(self):
        self.raw.close()


class _TunnelWriter:
    """Writes whole buffers to the tunnel's TLS socket, as the handler's output."""

    closed = False

    def __init__(self, sock):
        self._sock = sock

    def write(self, data):
        self._sock.sendall(data)
        return len(data)

    def flush(self):
        pass

    def close(self):
        pass


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as the platform's HTTP client expects
    server_version = "CorvaneService/2"
    sys_version = ""
    timeout = 30                   # an idle connection does not hold a thread for ever
    service = None
    _tunnel = None                 # the TLS socket of a CONNECT tunnel, and the target it named
    _tunnel_target = None
    _failed_handshake = False
    _entry = None                  # the record of the request being answered

    def log_message(self, *args):
        pass

    # --- plumbing ---------------------------------------------------------
    def setup(self):
        if isinstance(self.request, ssl.SSLSocket):
            self.request.settimeout(self.timeout)
            try:
                self.request.do_handshake()
            except (ssl.SSLError, OSError):
                self._failed_handshake = True
        super().setup()
        self.rfile = _Recorder(self.rfile)

    def handle(self):
        if not self._failed_handshake:
            super().handle()

    def handle_one_request(self):
        self.rfile.start()
        self._entry = None
        super().handle_one_request()

    def finish(self):
        try:
            super().finish()
        finally:
            if self._tunnel is not None:
                self._tunnel.close()

    def _target(self):
        """The path of the request target, proxy form or origin form."""
        split = urllib.parse.urlsplit(self.path)
        return split.path or "/"

    def _route(self, target):
        """The target below the base path ("/upload.php"), or None outside it."""
        base = self.service.base_path
        if not base:
            return target
        if target.startswith(base + "/"):
            return target[len(base):]
        return None

    def _read_body(self):
        # Whatever is refused here leaves unread bytes behind: the connection ends with it.
        keep = self.close_connection
        self.close_connection = True
        body = self._read_body_bounded()
        if body is not None:
            self.close_connection = keep
        return body

    def _read_body_bounded(self):
        self.rfile.keeping = False  # the body is recorded apart
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            self._reply(411, b"length required: send the body with a Content-Length\n")
            return None
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            self._reply(400, b"bad request: the Content-Length is not a number\n")
            return None
        limit = self.service.max_picture + MULTIPART_OVERHEAD
        if length < 0 or length > limit:
            self._reply(413, ("too large: a picture may have at most %d bytes\n" % self.service.max_picture).encode())
            return None
        body = self.rfile.read(length)
        return body if len(body) == length else None

    def _reply(self, status, body=b"", content_type="text/plain; charset=utf-8", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)
        self.wfile.flush()
        if self._entry is not None:
            # Once this is set, the client has everything it will get.
            self._entry["answered"] = True

    def _trickle(self, answer):
        """Headers at once, then one byte at a time, never finished; or (head_trickle)
        the status line and headers themselves a byte at a time."""
        self.close_connection = True
        if answer.head_trickle:
            # Raw bytes: send_response would put the status line out whole.
            head = b"HTTP/1.1 %d OK\r\nContent-Type: text/plain\r\nX-Trickle: " % answer.status
            interval = answer.head_trickle
            next_byte = lambda n: head[n:n + 1] or b"x"  # then a header value without end
        else:
            self.send_response(answer.status)
            self.send_header("Content-Type", "text/plain")
            self.end_headers()
            pattern, interval = answer.body or b"x", answer.trickle
            next_byte = lambda n: pattern[n % len(pattern):n % len(pattern) + 1]
        deadline = time.monotonic() + MAX_TRICKLE
        sent = 0
        while time.monotonic() < deadline:
            try:
                self.wfile.write(next_byte(sent))
                self.wfile.flush()
            except OSError:
                return  # the client gave up
            sent += 1
            if self.service._stopping.wait(interval):
                return

    def _handle(self, body):
        service = self.service
        target = self._target()
        if service.test_controls and target.startswith("/_control/"):
            return self._control(target, body)
        self._entry = {
            "method": self.command,
            "path": self.path,
            "target_path": target,
            "tunnel": self._tunnel_target,
            "headers": {k: v for k, v in self.headers.items()},
            "head": bytes(self.rfile.head),
            "body": body,
            "answered": False,  # a whole reply written: not for a drop, a trickle or a cut delay
        }
        service._record(self._entry)
        route = self._route(target)
        answer = service._next_answer(route)
        if answer is not None:
            if answer.delay and service._stopping.wait(answer.delay):
                self.close_connection = True
                return
            if answer.drop:
                self.close_connection = True
                try:
                    self.connection.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                return
            if answer.trickle or answer.head_trickle:
                return self._trickle(answer)
            if answer.body is not None or answer.status != 200:
                return self._reply(answer.status, answer.body or b"")
        try:
            self._normal(route, body)
        except _Refused as refused:
            self._reply(refused.status, (refused.message + "\n").encode())

    def _upload(self, body):
        try:
            parts = parse_multipart(body, self.headers.get("Content-Type"))
        except ValueError as error:
            raise _Refused(400, "bad request: %s" % error)
        pictures = [value for name, value in parts if name == "imagedata"]
        if len(pictures) != 1:
            raise _Refused(400, "bad request: one imagedata part expected, %d found" % len(pictures))
        picture = pictures[0]
        if len(picture) > self.service.max_picture:
            raise _Refused(413, "too large: a picture may have at most %d bytes" % self.service.max_picture)
        if not picture.startswith(JPEG_MAGIC):
            raise _Refused(415, "not a JPEG picture: only JPEG pictures are taken")
        try:
            name = self.service._store(picture)
        except OSError:
            raise _Refused(507, "the picture could not be stored")
        return self._reply(200, self.service.link(name).encode("ascii"))

    def _normal(self, route, body):
        service = self.service
        if route in ("/upload.php", "/vcheck.php"):
            if self.command != "POST":
                raise _Refused(405, "method not allowed: %s takes POST" % route)
            if route == "/upload.php":
                return self._upload(body)
            return self._reply(200, bytes(service.version_reply))
        page = route in ("/download", "/download/")
        path = service._stored_path(route[1:]) if route is not None and not page else None
        if not page and path is None:
            raise _Refused(404, "not found: no such picture or page")
        if self.command not in ("GET", "HEAD"):
            raise _Refused(405, "method not allowed: pictures and pages take GET")
        if page:
            return self._reply(200, b"<html><body>Download Corvane Tool</body></html>\n", "text/html")
        with open(path, "rb") as f:
            return self._reply(200, f.read(), "image/jpeg")

    def _control(self, target, body):
        service = self.service
        try:
            if target == "/_control/requests" and self.command == "GET":
                return self._reply(200, json.dumps(service.requests_json()).encode(), "application/json")
            if target == "/_control/last_body" and self.command == "GET":
                # Raw, for clients that would rather not decode JSON and base64.
                with service._lock:
                    last = service.requests[-1]["body"] if service.requests else None
                return self._reply(404, b"") if last is None else self._reply(200, last, "application/octet-stream")
            if target == "/_control/uploads" and self.command == "GET":
                with service._lock:
                    listing = [{"id": u["id"], "path": u["path"], "size": u["size"]} for u in service.uploads]
                return self._reply(200, json.dumps(listing).encode(), "application/json")
            if target == "/_control/script" and self.command == "POST":
                spec = json.loads(body or b"{}")
                if not isinstance(spec, dict):
                    raise ValueError("a JSON object expected")
                if spec.get("body") is not None:
                    spec["body"] = base64.b64decode(spec["body"], validate=True)
                allowed = {"path", "status", "body", "delay", "drop", "count", "trickle", "head_trickle"}
                service.script(**{k: v for k, v in spec.items() if k in allowed})
                return self._reply(200, b"ok\n")
            if target == "/_control/version" and self.command == "POST":
                service.version_reply = body
                return self._reply(200, b"ok\n")
            if target == "/_control/reset" and self.command == "POST":
                service.reset()
                return self._reply(200, b"ok\n")
        except (ValueError, TypeError, OverflowError) as error:
            return self._reply(400, ("bad control request: %s\n" % error).encode())
        return self._reply(404, b"no such control\n")

    # --- methods --------------------------------------------------------------
    def do_GET(self):
        self._handle(b"")

    def do_HEAD(self):
        self._handle(b"")

    def do_POST(self):
        body = self._read_body()
        if body is not None:
            self._handle(body)

    def do_PUT(self):
        self.close_connection = True
        self._reply(405, b"method not allowed: only GET, HEAD and POST are answered\n")

    do_DELETE = do_PATCH = do_OPTIONS = do_PUT

    def do_CONNECT(self):
        """A test's stand-in for a proxy: the tunnel ends here, in TLS with the
        test's certificate, and the requests inside are answered as any other."""
        service = self.service
        service._record({"method": "CONNECT", "path": self.path, "target_path": self.path, "tunnel": None,
                         "headers": {k: v for k, v in self.headers.items()}, "head": bytes(self.rfile.head),
                         "body": b""})
        context = service.tunnel_context if service.test_controls else None
        if context is None or self._tunnel is not None:
            self.close_connection = True
            return self._reply(405, b"method not allowed: this service is no proxy\n")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        try:
            tunnel = context.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError):
            self.close_connection = True  # the client refused the certificate, or went
            return
        self._tunnel, self._tunnel_target = tunnel, self.path
        self.connection = tunnel
        self.rfile = _Recorder(tunnel.makefile("rb", self.rbufsize))
        self.wfile = _TunnelWriter(tunnel)
        self.close_connection = False


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Receives pictures from Corvane Tool and serves them back at the links it returns.")
    parser.add_argument("--bind", default="127.0.0.1",
                        help="address to listen on (default 127.0.0.1; 0.0.0.0 or :: for every interface)")
    parser.add_argument("--port", type=int, default=8080, help="port to listen on (default 8080; 0 picks a free one)")
    parser.add_argument("--store", default="pictures", help="folder for the pictures (default ./pictures)")
    parser.add_argument("--public-base", default=None,
                        help="address the links begin with, as users reach this service, e.g. "
                             "https://shots.example.org or http://10.0.0.5:8080/shots; its path is where the "
                             "service answers (default: http(s)://<bind address>:<port>)")
    parser.add_argument("--tls-cert", default=None, help="PEM certificate (with its chain): serve HTTPS")
    parser.add_argument("--tls-key", default=None, help="PEM private key of --tls-cert")
    parser.add_argument("--max-picture-mb", type=float, default=DEFAULT_MAX_PICTURE / (1024 * 1024),
                        help="largest picture taken, in MB (default 20)")
    parser.add_argument("--version-reply", default="N",
                        help="what /vcheck.php answers: N for no newer version, else the newer version number")
    parser.add_argument("--port-file", default=None, help="file to write the port to once listening")
    parser.add_argument("--test-controls", action="store_true",
                        help="for tests only: record requests and obey /_control/*")
    args = parser.parse_args(argv)
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")
    if args.public_base is not None:
        try:
            parse_public_base(args.public_base)
        except ValueError as error:
            parser.error(str(error))

    printing = threading.Lock()

    def say(line):
        with printing:  # handler threads print too: one whole line at a time
            sys.stdout.write(line + "\n")
            sys.stdout.flush()

    try:
        context = tls_context(args.tls_cert, args.tls_key) if args.tls_cert else None
    except (OSError, ssl.SSLError) as error:
        parser.error("cannot use the certificate: %s" % error)
    service = WebService(port=args.port, store_dir=os.path.abspath(args.store),
                         public_base=args.public_base or DEFAULT_PUBLIC_BASE, bind=args.bind,
                         on_store=lambda upload: say("stored %s %s" % (upload["id"], upload["path"])),
                         max_picture=int(args.max_picture_mb * 1024 * 1024), tls_context=context,
                         test_controls=args.test_controls)
    service.version_reply = args.version_reply.encode()
    try:
        service.start()
    except OSError as error:
        parser.error("cannot listen on %s port %d: %s" % (args.bind, args.port, error))
    if args.public_base is None:
        host = args.bind if args.bind not in ("", "0.0.0.0", "::") else socket.getfqdn()
        host = "[%s]" % host if ":" in host else host
        service.public_base = service._default_public_base = "%s://%s:%d" % (
            "https" if context else "http", host, service.port)
    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    if args.port_file:
        # Written whole under another name first: a script polling for it never reads half a port.
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(service.port))
        os.replace(args.port_file + ".tmp", args.port_file)
    say("listening on %d" % service.port)
    say("links look like %s/<name>; pictures go to %s" % (service.link("")[:-1], service.store_dir))
    while not stop.wait(0.5):
        pass
    service.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
