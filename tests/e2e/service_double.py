#!/usr/bin/python3
"""The web service's test double: a scripted proxy and fault injector that the
end-to-end tests put behind the Wine prefix's proxy setting.

It answers as the service does (service/webservice.py's application serves every
request that is not scripted otherwise: uploads are checked and stored, links
served), and besides:
- accepts requests in proxy form ("POST http://host:80/upload.php") and CONNECT,
  so that the shipped program reaches it through the platform's proxy setting;
  a tunnel ends either here, in TLS with a certificate the test gives it
  (tunnel_context), or is passed on as bytes to a port on loopback (tunnel_to),
  for instance an nginx in front of the real service;
- records every request as it came (request line and headers as bytes, body);
- takes orders from the test, in Python or over /_control/*: another status or
  body, a delay, a dropped connection, a reply or its headers trickling without end.

  service_double.py [--port N] [--store DIR] [--public-base URL] [--port-file FILE]
"""

import argparse
import base64
import http.server
import json
import os
import select
import shutil
import signal
import socket
import ssl
import sys
import tempfile
import threading
import time
import urllib.parse
from pathlib import Path

import secrets

from werkzeug.formparser import parse_form_data
from werkzeug.test import EnvironBuilder, run_wsgi_app

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "service"))
import webservice  # noqa: E402

DEFAULT_PUBLIC_BASE = webservice.DEFAULT_PUBLIC_BASE
MAX_HEAD = 64 * 1024           # request line and headers kept for a test
MAX_DELAY = 120.0
MAX_TRICKLE = 600.0            # a trickling reply ends by itself after this long
MAX_TUNNEL = 600.0             # a passed-on tunnel ends by itself after this long
MAX_RECORDED = 10000           # requests kept; the oldest go first
MAX_RECORDED_BYTES = 256 * 1024 * 1024  # bodies kept; the oldest lose theirs first


class _Answer:
    def __init__(self, status=200, body=None, delay=0.0, drop=False, count=1, trickle=0.0, head_trickle=0.0,
                 headers=(), gate=None):
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
        # Extra header lines of the answer (a Location, a Set-Cookie), as (name, value) pairs.
        self.headers = [(str(k), str(v)) for k, v in dict(headers).items()]
        for name, value in self.headers:
            if any(c in name + value for c in "\r\n"):
                raise ValueError("a header holds a line break")
        # A threading.Event the answer waits for (at most MAX_DELAY): the test says when it goes.
        self.gate = gate


class ServiceDouble:
    """The double in a background thread; see the module's documentation.
    .requests and .uploads hold what it received and stored."""

    def __init__(self, port=0, store_dir=None, public_base=DEFAULT_PUBLIC_BASE, bind="127.0.0.1", on_store=None,
                 max_picture=webservice.DEFAULT_MAX_PICTURE):
        self.app = webservice.Service(store_dir or "", public_base=public_base, max_picture=max_picture,
                                      on_store=self._stored)
        self._default_public_base = public_base
        self.bind = bind
        self._wanted_port = port
        self._own_store = store_dir is None
        self.store_dir = store_dir
        self.tunnel_context = None
        self.tunnel_to = None
        self.requests = []
        self._recorded_bytes = 0
        self.uploads = []
        self._on_store = on_store  # called with each upload as it is stored; reset() does not end it
        self._scripts = {}
        # With delete_keys on, each stored upload's reply carries X-Delete-Key and
        # POST <base>/delete.php takes the picture's name and that key back.
        self.delete_keys = False
        self.issued_keys = {}  # picture id -> its delete key
        self._lock = threading.Lock()
        self._stopping = threading.Event()
        self._server = None
        self._thread = None

    # The service's own settings, changed by tests between requests.
    public_base = property(lambda self: self.app.public_base, lambda self, v: setattr(self.app, "public_base", v))
    version_reply = property(lambda self: self.app.version_reply,
                             lambda self, v: setattr(self.app, "version_reply", v))

    # --- life ------------------------------------------------------------
    def start(self):
        if self._own_store:
            self.store_dir = tempfile.mkdtemp(prefix="corvane-service-")
        os.makedirs(self.store_dir, exist_ok=True)
        self.app.store_dir = self.store_dir
        service = self

        class Handler(_Handler):
            pass
        Handler.service = service
        family = socket.AF_INET6 if ":" in self.bind else socket.AF_INET
        server_class = type("Server", (_Server,), {"address_family": family})
        self._server = server_class((self.bind, self._wanted_port), Handler)
        self._thread = threading.Thread(target=self._server.serve_forever, args=(0.05,), name="double", daemon=True)
        self._thread.start()
        return self

    @property
    def port(self):
        return self._server.server_address[1]

    def stop(self):
        self._stopping.set()  # ends scripted delays and passed-on tunnels at once
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
        return webservice.parse_public_base(self.public_base)[1]

    def link(self, name):
        return self.app.link(name)

    def _stored(self, name, path, picture):
        upload = {"id": name, "path": path, "size": len(picture)}
        with self._lock:
            self.uploads.append(dict(upload, bytes=picture))
            if self.delete_keys:
                self.issued_keys[name] = "dk-" + secrets.token_urlsafe(12)
        if self._on_store is not None:
            self._on_store(upload)

    # --- what tests tell it --------------------------------------------------
    def script(self, path="/upload.php", status=200, body=None, delay=0.0, drop=False, count=1, trickle=0.0,
               head_trickle=0.0, headers=(), gate=None):
        """The next `count` requests to `path` (below the base path) get this
        answer instead of the normal one. With body None, a 200 answer is the
        normal one (an upload is stored) and any other status has an empty body.
        drop closes the connection without a reply. trickle > 0 sends the status
        and headers, then the body (or "x" repeated) one byte every `trickle`
        seconds, without end until the client goes or the service stops.
        head_trickle > 0 sends the status line and headers themselves so, a
        header that never ends. headers: {name: value} added to the answer, the
        service's own one included. gate: a threading.Event the answer waits for."""
        if isinstance(body, str):
            body = body.encode("latin-1")
        with self._lock:
            self._scripts.setdefault(path, []).append(_Answer(status, body, delay, drop, count, trickle,
                                                              head_trickle, headers, gate))

    def reset(self):
        with self._lock:
            self.requests.clear()
            self._recorded_bytes = 0
            self.uploads.clear()
            self._scripts.clear()
            self.delete_keys = False
            self.issued_keys.clear()
            self.version_reply = b"N"
            self.public_base = self._default_public_base
            self.tunnel_context = None
            self.tunnel_to = None

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
    _entry = None                  # the record of the request being answered

    def log_message(self, *args):
        pass

    # --- plumbing ---------------------------------------------------------
    def setup(self):
        super().setup()
        self.rfile = _Recorder(self.rfile)

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
        limit = self.service.app.max_body
        if length < 0 or length > limit:
            self._reply(413, ("too large: a picture may have at most %d bytes\n" % self.service.app.max_picture).encode())
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
        if target.startswith("/_control/"):
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
            if answer.gate is not None:
                deadline = time.monotonic() + MAX_DELAY
                while not answer.gate.wait(0.05):
                    if service._stopping.is_set() or time.monotonic() > deadline:
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
                return self._reply(answer.status, answer.body or b"", extra=answer.headers)
        if route == "/delete.php" and service.delete_keys and self.command == "POST":
            return self._delete(body)
        self._answer_as_the_service(body, answer.headers if answer is not None else ())

    def _form(self, body):
        environ = EnvironBuilder(method="POST", data=body,
                                 headers={"Content-Type": self.headers.get("Content-Type", "")}).get_environ()
        return parse_form_data(environ)[1]

    def _delete(self, body):
        """200 and the picture's key forgotten when name and deletekey match; 403
        for a wrong key; 404 for a name the double never gave a key for."""
        form = self._form(body)
        name, key = form.get("name", ""), form.get("deletekey", "")
        with self.service._lock:
            issued = self.service.issued_keys.get(name)
            if issued is not None and secrets.compare_digest(issued, key):
                del self.service.issued_keys[name]
        if issued is None:
            return self._reply(404, b"no such picture\n")
        if issued != key:
            return self._reply(403, b"wrong delete key\n")
        return self._reply(200, b"deleted\n")

    def _answer_as_the_service(self, body, more_headers=()):
        """The service's own answer, from its application, to the request as received."""
        split = urllib.parse.urlsplit(self.path)
        headers = [(k, v) for k, v in self.headers.items() if k.lower() not in ("content-length", "host")]
        environ = EnvironBuilder(path=split.path or "/",
                                 query_string=split.query, method=self.command, headers=headers,
                                 data=body if self.command not in ("GET", "HEAD") else None,
                                 environ_overrides={"REMOTE_ADDR": self.client_address[0]}).get_environ()
        app_iter, status, reply_headers = run_wsgi_app(self.service.app, environ, buffered=True)
        try:
            content = b"".join(app_iter)
        finally:
            getattr(app_iter, "close", lambda: None)()
        # The double hands out delete keys of its own, and only when told to:
        # the application's are left out.
        extra = [(k, v) for k, v in reply_headers.items()
                 if k.lower() not in ("content-type", "content-length", "x-delete-key")]
        extra += list(more_headers)
        if self._route(self._target()) == "/upload.php" and status.startswith("200"):
            name = content.decode("latin-1").strip().rsplit("/", 1)[-1]
            with self.service._lock:
                key = self.service.issued_keys.get(name)
            if key is not None:
                extra.append(("X-Delete-Key", key))
        self._reply(int(status.split()[0]), content, reply_headers.get("Content-Type", "text/plain"), extra)

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
                allowed = {"path", "status", "body", "delay", "drop", "count", "trickle", "head_trickle", "headers"}
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
        test's certificate, and the requests inside are answered as any other;
        or its bytes are passed on to the port tunnel_to on loopback."""
        service = self.service
        service._record({"method": "CONNECT", "path": self.path, "target_path": self.path, "tunnel": None,
                         "headers": {k: v for k, v in self.headers.items()}, "head": bytes(self.rfile.head),
                         "body": b""})
        if service.tunnel_to is not None and self._tunnel is None:
            return self._pass_on(service.tunnel_to)
        context = service.tunnel_context
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

    def _pass_on(self, port):
        """Copies bytes both ways between the client and 127.0.0.1:port until
        either side ends, the double stops, or MAX_TUNNEL has passed."""
        self.close_connection = True
        try:
            upstream = socket.create_connection(("127.0.0.1", port), timeout=10)
        except OSError:
            return self._reply(502, b"bad gateway: nothing listens at the tunnel's end\n")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        # The client waits for the answer above before its first byte, so nothing
        # of the tunnel's is left in the read buffer.
        with upstream:
            ends = {self.connection: upstream, upstream: self.connection}
            deadline = time.monotonic() + MAX_TUNNEL
            while time.monotonic() < deadline and not self.service._stopping.is_set():
                ready, _, _ = select.select(list(ends), [], [], 0.2)
                for sock in ready:
                    try:
                        data = sock.recv(65536)
                        if data:
                            ends[sock].sendall(data)
                    except OSError:
                        data = b""
                    if not data:
                        return


def main(argv=None):
    parser = argparse.ArgumentParser(description="The web service's test double (see its documentation).")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (default: a free one)")
    parser.add_argument("--store", default=None, help="folder for the pictures (default: a temporary one)")
    parser.add_argument("--public-base", default=DEFAULT_PUBLIC_BASE, help="address the links begin with")
    parser.add_argument("--port-file", default=None, help="file to write the port to once listening")
    args = parser.parse_args(argv)
    printing = threading.Lock()

    def say(line):
        with printing:  # handler threads print too: one whole line at a time
            sys.stdout.write(line + "\n")
            sys.stdout.flush()

    service = ServiceDouble(port=args.port, store_dir=args.store and os.path.abspath(args.store),
                            public_base=args.public_base,
                            on_store=lambda upload: say("stored %s %s" % (upload["id"], upload["path"])))
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
