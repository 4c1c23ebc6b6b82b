#!/usr/bin/python3
"""Corvane Tool's web service: receives pictures from the tool and serves them back.

Run it on your own machine or server, behind nginx for TLS (service/deploy/), and
point the tool at it (README, "Use your own server"). It answers, below the path of
its public base address:

  POST <base>/upload.php   multipart/form-data with a field "imagedata" holding one
                           JPEG picture (and "key" when the service has an upload
                           key); stores it under a new, unguessable name and replies
                           200 with its bare link "<public base>/<name>".
  POST <base>/vcheck.php   replies 200 with the version text ("N": no newer one).
  GET  <base>/<name>       the stored picture, image/jpeg, never sniffed as anything else.
  GET  <base>/download/    a download page.

Every refused request gets a status and a one-line reason: 400 malformed, 403 a
missing or wrong upload key, 404 unknown path or picture, 405 wrong method, 411 no
length, 413 too large, 415 not a JPEG picture, 500 a stored picture that cannot be
read, 507 the store is full or the picture cannot be written.

HTTP framing is Waitress's and the form is read by Werkzeug's multipart decoder,
with limits on size, parts and part headers; the picture is decoded by Pillow
before it is stored. Waitress reads whole requests in its own loop, so a slow
client holds a connection slot (--connection-limit), never a worker thread.

  webservice.py [--bind ADDR] [--port N] [--store DIR] [--public-base URL]
                [--upload-key KEY | --upload-key-file FILE] [--max-store-gb N]
                [--max-picture-mb N] [--version-reply TEXT] [--trusted-proxy ADDR]
                [--threads N] [--connection-limit N] [--backlog N] [--port-file FILE]
"""

import argparse
import base64
import hmac
import io
import os
import re
import secrets
import signal
import socket
import sys
import threading
import time
import urllib.parse

from PIL import Image
from werkzeug.datastructures import Headers
from werkzeug.exceptions import RequestEntityTooLarge
from werkzeug.http import parse_options_header
from werkzeug.sansio.multipart import Data, Epilogue, Field, File, MultipartDecoder, NeedData, State
from werkzeug.wrappers import Request, Response
from werkzeug.wsgi import wrap_file

DEFAULT_PUBLIC_BASE = "http://corvane.net"
DEFAULT_MAX_PICTURE = 20 * 1024 * 1024
FORM_OVERHEAD = 64 * 1024      # the other fields and the part headers around the picture
MAX_PARTS = 16
MAX_PART_HEADER = 4096         # bytes of one part's header lines
FEED = 16 * 1024               # the decoder is fed this much at a time, so a header is judged early
MAX_PIXELS = 64 * 1024 * 1024  # larger than any desktop; a bigger header is a decompression bomb
MAX_KEY = 255                  # the tool's setting holds at most this many characters
STORE_ATTEMPTS = 8
RECOUNT_SECONDS = 10.0         # the store's size is recounted this often: other instances write to it too

# 26 letters of lower-case base32: 130 random bits. Lower case only, so that two
# names never differ by case alone (the tool's save folder and a store on Windows
# do not tell case apart); short enough that the tool keeps the whole name
# (it names a saved copy after at most 36 characters).
_NAME = re.compile(r"^[a-z2-7]{26}$")
_KEY = re.compile(r"^[\x21-\x7e]{1,%d}$" % MAX_KEY)


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


def check_upload_key(key):
    """The key as bytes; ValueError unless it is 1 to 255 printable ASCII characters without spaces."""
    if not _KEY.match(key or ""):
        raise ValueError("an upload key is 1 to %d printable ASCII characters without spaces" % MAX_KEY)
    return key.encode("ascii")


class Refused(Exception):
    def __init__(self, status, message, allow=None):
        super().__init__(message)
        self.status = status
        self.message = message
        self.allow = allow  # the methods a 405 names


def read_form(body, content_type, max_field):
    """The fields of a multipart/form-data body as a list of (name, bytes), in order.
    Parts with a file name count as fields too. Raises Refused (400, 413)."""
    mimetype, options = parse_options_header(content_type or "")
    boundary = options.get("boundary", "")
    if mimetype != "multipart/form-data" or not boundary:
        raise Refused(400, "bad request: not multipart/form-data with a boundary")
    if len(boundary) > 70 or not boundary.isascii():
        raise Refused(400, "bad request: the boundary is not 1 to 70 ASCII characters")
    decoder = MultipartDecoder(boundary.encode("ascii"), max_field, max_parts=MAX_PARTS)
    fields, at, view = [], 0, memoryview(body)
    try:
        while True:
            event = decoder.next_event()
            if isinstance(event, NeedData):
                if decoder.state == State.PART and len(decoder.buffer) > MAX_PART_HEADER:
                    raise Refused(400, "bad request: a part header is longer than %d bytes" % MAX_PART_HEADER)
                decoder.receive_data(bytes(view[at:at + FEED]) if at < len(body) else None)
                at += FEED
            elif isinstance(event, (Field, File)):
                if sum(len(k) + len(v) + 4 for k, v in event.headers.items()) > MAX_PART_HEADER:
                    raise Refused(400, "bad request: a part header is longer than %d bytes" % MAX_PART_HEADER)
                if not event.name:
                    raise Refused(400, "bad request: a part without a name")
                fields.append((event.name, bytearray()))
            elif isinstance(event, Data):
                fields[-1][1].extend(event.data)
            elif isinstance(event, Epilogue):
                return [(name, bytes(value)) for name, value in fields]
    except ValueError as error:  # the decoder's word for a malformed body
        raise Refused(400, "bad request: %s" % str(error).rstrip("."))
    except RequestEntityTooLarge:
        raise Refused(413, "too large: more than %d parts or a field over %d bytes" % (MAX_PARTS, max_field))


def is_jpeg_picture(data):
    """True when Pillow decodes data whole as a JPEG picture of a sane size."""
    try:
        with Image.open(io.BytesIO(data), formats=["JPEG"]) as image:
            if image.width * image.height > MAX_PIXELS:
                return False
            image.verify()
        with Image.open(io.BytesIO(data), formats=["JPEG"]) as image:
            image.load()  # every scan decoded: a cut or corrupted picture fails here
        return True
    except Exception:  # whatever a decoder raises on hostile input, it is no picture
        return False


class _StoreSize:
    """Bytes held by the store, recounted from the folder now and then (other
    instances write to it too) and kept up to date with this one's writes."""

    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()
        self.bytes = 0
        self.counted = None

    def _recount(self):
        total = 0
        with os.scandir(self.folder) as entries:
            for entry in entries:
                try:
                    if entry.is_file(follow_symlinks=False):
                        total += entry.stat(follow_symlinks=False).st_size
                except OSError:
                    pass
        self.bytes, self.counted = total, time.monotonic()

    def reserve(self, size, limit):
        """True when size more bytes fit under limit; they are counted at once, so
        that two uploads at the same time cannot both take the last room."""
        with self.lock:
            if self.counted is None or time.monotonic() - self.counted > RECOUNT_SECONDS:
                self._recount()
            if self.bytes + size > limit:
                return False
            self.bytes += size
            return True

    def release(self, size):
        with self.lock:
            self.bytes -= size


def _text(status, message, extra=()):
    headers = Headers([("X-Content-Type-Options", "nosniff"), *extra])
    return Response(message + "\n", status=status, headers=headers, content_type="text/plain; charset=utf-8")


class Service:
    """The WSGI application. Its attributes may be changed between requests
    (public_base, version_reply); on_store(name, path, picture) is called with
    each picture stored, log(line) with each refusal."""

    def __init__(self, store_dir, public_base=DEFAULT_PUBLIC_BASE, max_picture=DEFAULT_MAX_PICTURE,
                 upload_key=None, max_store_bytes=None, version_reply=b"N", on_store=None, log=None):
        parse_public_base(public_base)  # refused early, not at the first upload
        self.store_dir = store_dir
        self.public_base = public_base
        self.max_picture = int(max_picture)
        self.upload_key = check_upload_key(upload_key) if upload_key is not None else None
        self.max_store_bytes = max_store_bytes
        self.version_reply = version_reply
        self.on_store = on_store
        self.log = log
        self._store_size = _StoreSize(store_dir)

    @property
    def max_body(self):
        return self.max_picture + FORM_OVERHEAD

    def link(self, name):
        return parse_public_base(self.public_base)[0] + "/" + name

    def __call__(self, environ, start_response):
        request = Request(environ)
        try:
            response = self._answer(request)
        except Refused as refused:
            if self.log is not None:
                self.log("refused %d %s %s %s: %s" % (refused.status, request.remote_addr, request.method,
                                                     request.path, refused.message))
            response = _text(refused.status, refused.message, [("Allow", refused.allow)] if refused.allow else [])
        return response(environ, start_response)

    def _route(self, path):
        """The path below the base path ("/upload.php"), or None outside it."""
        base = parse_public_base(self.public_base)[1]
        if not base:
            return path
        return path[len(base):] if path.startswith(base + "/") else None

    def _answer(self, request):
        route = self._route(request.path)
        if route in ("/upload.php", "/vcheck.php"):
            if request.method != "POST":
                raise Refused(405, "method not allowed: %s takes POST" % route, allow="POST")
            if route == "/upload.php":
                return self._upload(request)
            return Response(bytes(self.version_reply), content_type="text/plain; charset=utf-8",
                            headers=[("X-Content-Type-Options", "nosniff")])
        page = route in ("/download", "/download/")
        name = route[1:] if route and not page and _NAME.match(route[1:]) else None
        if not page and name is None:
            raise Refused(404, "not found: no such picture or page")
        if request.method not in ("GET", "HEAD"):
            raise Refused(405, "method not allowed: pictures and pages take GET", allow="GET, HEAD")
        if page:
            return Response("<html><body>Download Corvane Tool</body></html>\n", content_type="text/html")
        return self._picture(request, name)

    def _picture(self, request, name):
        path = os.path.join(self.store_dir, name + ".jpg")
        try:
            f = open(path, "rb")
        except (FileNotFoundError, IsADirectoryError, NotADirectoryError):
            raise Refused(404, "not found: no such picture or page")
        except OSError:
            raise Refused(500, "the picture could not be read")
        try:
            size = os.fstat(f.fileno()).st_size
        except OSError:
            f.close()
            raise Refused(500, "the picture could not be read")
        headers = [("X-Content-Type-Options", "nosniff"), ("Content-Length", str(size))]
        return Response(wrap_file(request.environ, f), content_type="image/jpeg", headers=headers,
                        direct_passthrough=True)

    def _upload(self, request):
        length = request.content_length
        if length is None:
            raise Refused(411, "length required: send the body with a Content-Length")
        if length > self.max_body:
            raise Refused(413, "too large: a picture may have at most %d bytes" % self.max_picture)
        body = request.stream.read(length)
        if len(body) != length:
            raise Refused(400, "bad request: the body is shorter than its Content-Length")
        fields = read_form(body, request.headers.get("Content-Type"), self.max_body)
        if self.upload_key is not None:
            keys = [value for name, value in fields if name == "key"]
            if not keys:
                raise Refused(403, "forbidden: this service takes uploads only with its key")
            if len(keys) != 1 or not hmac.compare_digest(keys[0], self.upload_key):
                raise Refused(403, "forbidden: wrong upload key")
        pictures = [value for name, value in fields if name == "imagedata"]
        if len(pictures) != 1:
            raise Refused(400, "bad request: one imagedata field expected, %d found" % len(pictures))
        picture = pictures[0]
        if len(picture) > self.max_picture:
            raise Refused(413, "too large: a picture may have at most %d bytes" % self.max_picture)
        if not is_jpeg_picture(picture):
            raise Refused(415, "not a JPEG picture: only JPEG pictures are taken")
        limit = self.max_store_bytes
        if limit is not None and not self._store_size.reserve(len(picture), limit):
            raise Refused(507, "insufficient storage: the store is full")
        try:
            name, path = self._store(picture)
        except OSError:
            if limit is not None:
                self._store_size.release(len(picture))
            raise Refused(507, "the picture could not be stored")
        if self.on_store is not None:
            self.on_store(name, path, picture)
        return Response(self.link(name), content_type="text/plain; charset=utf-8",
                        headers=[("X-Content-Type-Options", "nosniff")])

    def _store(self, picture):
        """Writes the picture under a new name; (name, path). A name already taken
        (by this or another instance) is never overwritten: another is drawn."""
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
            return name, path
        raise OSError("no free picture name")


def read_key_file(path):
    with open(path, encoding="ascii") as f:
        return f.read(4 * MAX_KEY).strip()


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Receives pictures from Corvane Tool and serves them back at the links it returns. "
                    "Plain HTTP: put it behind nginx for TLS (service/deploy/).")
    parser.add_argument("--bind", default="127.0.0.1",
                        help="address to listen on (default 127.0.0.1; a private address or 0.0.0.0 behind a firewall)")
    parser.add_argument("--port", type=int, default=8080, help="port to listen on (default 8080; 0 picks a free one)")
    parser.add_argument("--store", default="pictures",
                        help="folder for the pictures (default ./pictures); several instances may share it")
    parser.add_argument("--public-base", default=None,
                        help="address the links begin with, as users reach the service, e.g. "
                             "https://shots.example.org or https://example.org/shots; its path is where the "
                             "service answers (default: http://<bind address>:<port>)")
    parser.add_argument("--upload-key", default=None,
                        help="refuse uploads without this key (the tool's registry value \"key\"); "
                             "--upload-key-file keeps it out of the process list")
    parser.add_argument("--upload-key-file", default=None, help="file holding the upload key")
    parser.add_argument("--max-store-gb", type=float, default=None,
                        help="refuse uploads (507) once the store holds this many GB")
    parser.add_argument("--max-picture-mb", type=float, default=DEFAULT_MAX_PICTURE / (1024 * 1024),
                        help="largest picture taken, in MB (default 20)")
    parser.add_argument("--version-reply", default="N",
                        help="what /vcheck.php answers: N for no newer version, else the newer version number")
    parser.add_argument("--trusted-proxy", default=None,
                        help="address of the proxy in front (e.g. 127.0.0.1): its X-Forwarded-For names the client")
    parser.add_argument("--threads", type=int, default=4, help="worker threads (default 4)")
    parser.add_argument("--connection-limit", type=int, default=200,
                        help="open connections at most; more wait in the listen backlog (default 200)")
    parser.add_argument("--backlog", type=int, default=1024, help="listen backlog (default 1024)")
    parser.add_argument("--port-file", default=None, help="file to write the port to once listening")
    args = parser.parse_args(argv)
    if args.public_base is not None:
        try:
            parse_public_base(args.public_base)
        except ValueError as error:
            parser.error(str(error))
    if args.upload_key is not None and args.upload_key_file is not None:
        parser.error("--upload-key and --upload-key-file: one of them")
    key = args.upload_key
    if args.upload_key_file is not None:
        try:
            key = read_key_file(args.upload_key_file)
        except (OSError, UnicodeDecodeError) as error:
            parser.error("cannot read the upload key: %s" % error)
    if key is not None:
        try:
            check_upload_key(key)
        except ValueError as error:
            parser.error(str(error))
    if args.max_store_gb is not None and args.max_store_gb <= 0:
        parser.error("--max-store-gb must be above 0")

    import waitress  # here, so that the application can be imported where only tests need it

    printing = threading.Lock()

    def say(line):
        with printing:  # worker threads print too: one whole line at a time
            sys.stdout.write(line + "\n")
            sys.stdout.flush()

    store = os.path.abspath(args.store)
    os.makedirs(store, exist_ok=True)
    app = Service(store, public_base=args.public_base or DEFAULT_PUBLIC_BASE,
                  max_picture=int(args.max_picture_mb * 1024 * 1024), upload_key=key,
                  max_store_bytes=None if args.max_store_gb is None else int(args.max_store_gb * 1024 ** 3),
                  version_reply=args.version_reply.encode(), on_store=lambda name, path, _: say(
                      "stored %s %s" % (name, path)), log=say)
    proxy = {}
    if args.trusted_proxy:
        proxy = dict(trusted_proxy=args.trusted_proxy, trusted_proxy_headers={"x-forwarded-for"},
                     clear_untrusted_proxy_headers=True)
    try:
        server = waitress.create_server(
            app, host=args.bind, port=args.port, threads=args.threads, connection_limit=args.connection_limit,
            backlog=args.backlog, channel_timeout=30, max_request_body_size=app.max_body,
            max_request_header_size=64 * 1024, asyncore_use_poll=True, ident="CorvaneService", **proxy)
    except OSError as error:
        parser.error("cannot listen on %s port %d: %s" % (args.bind, args.port, error))
    port = int(server.effective_port)
    if args.public_base is None:
        # Every interface: the machine's name is the likeliest address its users reach.
        host = socket.getfqdn() if args.bind in ("", "0.0.0.0", "::") else args.bind
        app.public_base = "http://%s:%d" % ("[%s]" % host if ":" in host else host, port)
    if args.port_file:
        # Written whole under another name first: a script polling for it never reads half a port.
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(port))
        os.replace(args.port_file + ".tmp", args.port_file)

    def stop(*_):
        raise SystemExit(0)
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    say("listening on %d" % port)
    say("links look like %s/<name>; pictures go to %s%s" % (
        parse_public_base(app.public_base)[0], store, "; uploads need the key" if key else ""))
    try:
        server.run()
    except SystemExit:
        pass
    finally:
        server.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
