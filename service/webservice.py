#!/usr/bin/python3
"""A local stand-in for the Corvane web service, for tests and demonstrations.

It answers the two requests the client makes, as the real service does:
POST /upload.php stores the "imagedata" part and replies with the link
http://<host>/<id>; GET /<id> serves the stored picture back; POST /vcheck.php
replies with a scripted text. Requests may come in proxy form
("POST http://<host>:80/upload.php"), so a client that knows only its built-in
host reaches this service through the platform's proxy setting.

Every request is recorded (GET /_control/requests as JSON with the bodies in
base64, GET /_control/last_body the last body raw, GET /_control/uploads). The
next answers for a path can be scripted (another status, another body, a delay, a
dropped connection). Tests in another process use the same through /_control/*
over HTTP.

Run as a program it serves until SIGTERM or SIGINT, can write its port to a file,
and prints "stored <id> <path>" for every picture it stores, for the scripts.

Standard library only. Listens on loopback unless told otherwise.
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
import sys
import tempfile
import threading
import time
import urllib.parse

MAX_BODY = 64 * 1024 * 1024   # a picture upload is a few MB at most
MAX_PARTS = 16
MAX_PART_HEADER = 4096
MAX_DELAY = 120.0
MAX_TRICKLE = 600.0           # a trickling reply ends by itself after this long
MAX_RECORDED = 10000          # requests kept; the oldest go first
MAX_RECORDED_BYTES = 256 * 1024 * 1024  # bodies kept; the oldest lose theirs first

_HEADER_LINE = re.compile(rb"[A-Za-z0-9-]{1,64}:")
_ID = re.compile(r"^[a-z0-9]{1,64}$")
_BOUNDARY = re.compile(r'boundary=(?:"([^"]{1,70})"|([^\s;"]{1,70}))', re.IGNORECASE)


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
    def __init__(self, status=200, body=None, delay=0.0, drop=False, count=1, trickle=0.0):
        self.status = int(status)
        if not 100 <= self.status <= 599:
            raise ValueError("status out of range")  # it goes into the status line as it is
        self.body = body
        self.delay = max(0.0, min(float(delay), MAX_DELAY))
        self.drop = bool(drop)
        self.count = max(1, int(count))
        # Seconds between the bytes of a reply that never ends; 0 for none.
        self.trickle = max(0.0, min(float(trickle), MAX_DELAY))


class WebService:
    """The service in a background thread; see the module's documentation."""

    def __init__(self, port=0, store_dir=None, host="corvane.net", bind="127.0.0.1", on_store=None):
        self.host = host
        self.bind = bind
        self._wanted_port = port
        self._own_store = store_dir is None
        self.store_dir = store_dir
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
        self._server = _Server((self.bind, self._wanted_port), Handler)
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

    # --- what tests tell it --------------------------------------------------
    def script(self, path="/upload.php", status=200, body=None, delay=0.0, drop=False, count=1, trickle=0.0):
        """The next `count` requests to `path` get this answer instead of the
        normal one. With body None, a 200 answer is the normal one (an upload is
        stored) and any other status has an empty body. drop closes the
        connection without a reply. trickle > 0 sends the status and headers,
        then the body (or "x" repeated) one byte every `trickle` seconds,
        without end until the client goes or the service stops."""
        if isinstance(body, str):
            body = body.encode("latin-1")
        with self._lock:
            self._scripts.setdefault(path, []).append(_Answer(status, body, delay, drop, count, trickle))

    def reset(self):
        with self._lock:
            self.requests.clear()
            self._recorded_bytes = 0
            self.uploads.clear()
            self._scripts.clear()
            self.version_reply = b"N"

    def _next_answer(self, path):
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
        upload_id = secrets.token_hex(5)
        path = os.path.join(self.store_dir, upload_id + ".jpg")
        with open(path, "wb") as f:
            f.write(picture)
        upload = {"id": upload_id, "path": path, "bytes": picture}
        with self._lock:
            self.uploads.append(upload)
        if self._on_store is not None:
            self._on_store(upload)
        return upload_id

    def _find_upload(self, upload_id):
        with self._lock:
            for upload in self.uploads:
                if upload["id"] == upload_id:
                    return upload
        return None

    def requests_json(self):
        with self._lock:
            return [dict(r, body=base64.b64encode(r["body"]).decode("ascii")) for r in self.requests]


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as the platform's HTTP client expects
    server_version = "CorvaneLocal/1"
    sys_version = ""
    timeout = 30                   # an idle connection does not hold a thread for ever
    service = None

    def log_message(self, *args):
        pass

    # --- plumbing ---------------------------------------------------------
    def _target(self):
        """The path of the request target, proxy form or origin form."""
        split = urllib.parse.urlsplit(self.path)
        return split.path or "/"

    def _read_body(self):
        # Whatever is refused here leaves unread bytes behind: the connection ends with it.
        keep = self.close_connection
        self.close_connection = True
        body = self._read_body_bounded()
        if body is not None:
            self.close_connection = keep
        return body

    def _read_body_bounded(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            self._reply(411, b"length required\n")
            return None
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            self._reply(400, b"bad length\n")
            return None
        if length < 0 or length > MAX_BODY:
            self._reply(413, b"too large\n")
            return None
        body = self.rfile.read(length)
        return body if len(body) == length else None

    def _reply(self, status, body=b"", content_type="text/plain"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _trickle(self, answer):
        """Headers at once, then one byte at a time, never finished."""
        self.close_connection = True
        self.send_response(answer.status)
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        pattern = answer.body or b"x"
        deadline = time.monotonic() + MAX_TRICKLE
        sent = 0
        while time.monotonic() < deadline:
            try:
                self.wfile.write(pattern[sent % len(pattern):sent % len(pattern) + 1])
                self.wfile.flush()
            except OSError:
                return  # the client gave up
            sent += 1
            if self.service._stopping.wait(answer.trickle):
                return

    def _handle(self, body):
        service = self.service
        target = self._target()
        if target.startswith("/_control/"):
            return self._control(target, body)
        service._record({
            "method": self.command,
            "path": self.path,
            "target_path": target,
            "headers": {k: v for k, v in self.headers.items()},
            "body": body,
        })
        answer = service._next_answer(target)
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
            if answer.trickle:
                return self._trickle(answer)
            if answer.body is not None or answer.status != 200:
                return self._reply(answer.status, answer.body or b"")
        self._normal(target, body)

    def _normal(self, target, body):
        service = self.service
        if self.command == "POST" and target == "/upload.php":
            try:
                parts = parse_multipart(body, self.headers.get("Content-Type"))
            except ValueError as error:
                return self._reply(400, ("bad request: %s\n" % error).encode())
            pictures = [value for name, value in parts if name == "imagedata"]
            if len(pictures) != 1:
                return self._reply(400, b"one imagedata part expected\n")
            upload_id = service._store(pictures[0])
            return self._reply(200, ("http://%s/%s" % (service.host, upload_id)).encode("ascii"))
        if self.command == "POST" and target == "/vcheck.php":
            return self._reply(200, bytes(service.version_reply))
        if self.command in ("GET", "HEAD"):
            if target in ("/download", "/download/"):
                return self._reply(200, b"<html><body>Download</body></html>\n", "text/html")
            upload_id = target[1:]
            if _ID.match(upload_id):
                upload = service._find_upload(upload_id)
                if upload is not None:
                    return self._reply(200, upload["bytes"], "image/jpeg")
        return self._reply(404, b"not found\n")

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
                    listing = [{"id": u["id"], "path": u["path"], "size": len(u["bytes"])} for u in service.uploads]
                return self._reply(200, json.dumps(listing).encode(), "application/json")
            if target == "/_control/script" and self.command == "POST":
                spec = json.loads(body or b"{}")
                if not isinstance(spec, dict):
                    raise ValueError("a JSON object expected")
                if spec.get("body") is not None:
                    spec["body"] = base64.b64decode(spec["body"], validate=True)
                allowed = {"path", "status", "body", "delay", "drop", "count", "trickle"}
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


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="0 (the default) picks a free port")
    parser.add_argument("--port-file", default=None, help="file to write the port to once listening")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--store", default=None, help="folder for uploaded pictures (default: a temporary one)")
    parser.add_argument("--host", default="corvane.net", help="host name in the links")
    parser.add_argument("--version-reply", default="N", help="what /vcheck.php answers")
    args = parser.parse_args(argv)

    printing = threading.Lock()

    def say(line):
        with printing:  # handler threads print too: one whole line at a time
            sys.stdout.write(line + "\n")
            sys.stdout.flush()

    service = WebService(port=args.port, store_dir=args.store, host=args.host, bind=args.bind,
                         on_store=lambda upload: say("stored %s %s" % (upload["id"], upload["path"])))
    service.version_reply = args.version_reply.encode()
    service.start()
    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    if args.port_file:
        # Written whole under another name first: a script polling for it never reads half a port.
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(service.port))
        os.replace(args.port_file + ".tmp", args.port_file)
    say("listening on %d" % service.port)
    while not stop.wait(0.5):
        pass
    service.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
