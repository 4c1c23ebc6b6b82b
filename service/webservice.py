#!/usr/bin/python3
"""Corvane Tool's web service: receives pictures from the tool and serves them back.

Run it on your own machine or server, behind nginx for TLS (service/deploy/), and
point the tool at it (service/README.md). It answers, below the path of its public
base address:

  POST <base>/upload.php   multipart/form-data with a field "imagedata" holding one
                           JPEG picture (and "key" when the service has upload
                           keys); stores it under a new, unguessable name and replies
                           200 with its bare link "<public base>/<name>" and the
                           picture's delete key in the header X-Delete-Key.
  POST <base>/vcheck.php   replies 200 with the version text ("N": no newer one).
  POST <base>/delete.php   multipart/form-data "name" and "deletekey": 200 "deleted".
  GET  <base>/<name>       the stored picture, image/jpeg, never sniffed as anything
                           else, with an ETag, HEAD and Range.
  GET  <base>/healthz      200 while the store answers, 503 and the reason when not.
  GET  <base>/metrics      the figures in Prometheus' text format, to loopback and
                           the trusted proxy only.
  GET  <base>/download/    a download page.

Every refused request gets a status and a one-line reason: 400 malformed, 403 a
missing or wrong key, 404 unknown path or picture, 405 wrong method, 411 no
length, 413 too large, 415 not a JPEG picture, 416 a range past the picture, 500 a
stored picture that cannot be read, 503 the store does not answer, 507 the store
is full or the picture cannot be written.

Pictures live in a store: a folder (the default; several instances may share it)
or a bucket of any S3-compatible object storage (--store s3://BUCKET[/PREFIX]),
which lets instances on many machines serve one set of pictures.

HTTP framing is Waitress's and the form is read by Werkzeug's multipart decoder,
with limits on size, parts and part headers; the picture's header is judged, and
then the picture decoded by Pillow, before it is stored. Waitress reads whole
requests in its own loop, so a slow client holds a connection slot, never a worker
thread, and a request that has not arrived whole within --request-timeout seconds
loses its connection.

  webservice.py [--bind ADDR] [--port N] [--store DIR | --store s3://BUCKET[/PREFIX]]
                [--s3-endpoint URL] [--s3-region NAME] [--public-base URL]
                [--upload-key KEY | --upload-key-file FILE | --upload-keys-file FILE]
                [--max-store-gb N] [--max-picture-mb N] [--expire-days N]
                [--version-reply TEXT] [--trusted-proxy ADDR] [--threads N]
                [--connection-limit N] [--backlog N] [--request-timeout S]
                [--port-file FILE] [--sweep]
"""

import argparse
import base64
import errno
import hashlib
import hmac
import io
import ipaddress
import math
import os
import re
import secrets
import signal
import socket
import stat
import sys
import threading
import time
import urllib.parse

from PIL import Image
from prometheus_client import CollectorRegistry, Counter, Gauge, Histogram, generate_latest
from prometheus_client import CONTENT_TYPE_LATEST
from werkzeug.datastructures import Headers
from werkzeug.exceptions import RequestEntityTooLarge
from werkzeug.http import parse_options_header, parse_range_header
from werkzeug.sansio.multipart import Data, Epilogue, Field, File, MultipartDecoder, NeedData, State
from werkzeug.wrappers import Request, Response

DEFAULT_PUBLIC_BASE = "http://corvane.net"
DEFAULT_MAX_PICTURE = 20 * 1024 * 1024
FORM_OVERHEAD = 64 * 1024      # the other fields and the part headers around the picture
MAX_PARTS = 16
MAX_PART_HEADER = 4096         # bytes of one part's header lines
FEED = 16 * 1024               # the decoder is fed this much at a time, so a header is judged early
MAX_PIXELS = 3 * 3840 * 2160   # three 4K monitors side by side; a larger picture is no desktop's
MAX_SIDE = 16384
DECODES_AT_ONCE = 2            # a decoded picture of MAX_PIXELS takes about 75 MB
MAX_KEY = 255                  # the tool's setting holds at most this many characters
STORE_ATTEMPTS = 8
RECOUNT_SECONDS = 10.0         # the store's size is recounted this often: other instances write to it too
SWEEP_SECONDS = 3600.0
CHUNK = 64 * 1024              # a picture is served this much at a time, never read whole
YEAR = 365 * 24 * 3600
PICTURE_POLICY = "default-src 'none'; img-src 'self'; style-src 'unsafe-inline'; sandbox"
DELETE_KEY_META = "deletekey-sha256"

# 26 letters of lower-case base32: 130 random bits. Lower case only, so that two
# names never differ by case alone (the tool's save folder and a store on Windows
# do not tell case apart); short enough that the tool keeps the whole name
# (it names a saved copy after at most 36 characters).
_NAME = re.compile(r"^[a-z2-7]{26}$")
_KEY = re.compile(r"^[\x21-\x7e]{1,%d}$" % MAX_KEY)
_KEY_OWNER = re.compile(r"^[A-Za-z0-9._@-]{1,64}$")
_BUCKET = re.compile(r"^[a-z0-9][a-z0-9.-]{1,61}[a-z0-9]$")
_HASH = re.compile(r"^[0-9a-f]{64}$")


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


def new_delete_key():
    """(key, its SHA-256 in hex): 256 random bits as 43 characters of base64url."""
    key = secrets.token_urlsafe(32)
    return key, hashlib.sha256(key.encode("ascii")).hexdigest()


def printable(text):
    """text with everything but printable ASCII escaped, so that what a client
    sends can never start a log line of its own or drive a terminal."""
    return "".join(c if " " <= c <= "~" and c != "\\" else
                   "\\\\" if c == "\\" else "\\x%02x" % ord(c) if ord(c) < 256 else "\\u%04x" % ord(c)
                   for c in text)


def address(text):
    """The address as the log shows it: an IP address, else "-"."""
    try:
        return str(ipaddress.ip_address(text or ""))
    except ValueError:
        return "-"


class UploadKeys:
    """The keys uploads are taken with: none (everyone's are), one, or a file of
    "name key" lines that is read again whenever it changes. owner(key) is the name
    of the key's owner ("" for the single key), or None for no such key."""

    def __init__(self, single=None, path=None, log=None):
        self.single = check_upload_key(single) if single is not None else None
        self.path = path
        self.log = log
        self.lock = threading.Lock()
        self.seen = None
        self.keys = []
        if path is not None:
            self.seen = self._signature()
            self.keys = read_keys_file(path)  # ValueError and OSError reach the caller at start

    @property
    def required(self):
        return self.single is not None or self.path is not None

    def _signature(self):
        st = os.stat(self.path)
        return st.st_mtime_ns, st.st_size, st.st_ino

    def _current(self):
        with self.lock:
            try:
                seen = self._signature()
                if seen != self.seen:
                    self.seen = seen
                    self.keys = read_keys_file(self.path)
                    if self.log:
                        self.log("upload keys read again from %s: %d keys" % (self.path, len(self.keys)))
            except (OSError, ValueError, UnicodeDecodeError) as error:
                # A file that cannot be read takes no uploads: a key meant to be revoked never stays good.
                self.seen, self.keys = None, []
                if self.log:
                    self.log("upload keys unreadable, uploads refused: %s" % printable(str(error)))
            return self.keys

    def owner(self, key):
        if self.single is not None:
            return "" if hmac.compare_digest(key, self.single) else None
        found = None
        for name, good in self._current():  # every key compared, so the time tells nothing
            if hmac.compare_digest(key, good) and found is None:
                found = name
        return found


def read_keys_file(path):
    """[(name, key bytes)] of a file of "name key" lines; blank lines and # comments
    are skipped. ValueError names the first bad line."""
    with open(path, encoding="ascii") as f:
        text = f.read(1024 * 1024)
    keys = []
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        parts = line.split()
        if len(parts) != 2 or not _KEY_OWNER.match(parts[0]) or not _KEY.match(parts[1]):
            raise ValueError("%s line %d: not \"name key\" (a name of letters, digits and ._@-, "
                             "a key of 1 to %d printable characters)" % (path, number, MAX_KEY))
        keys.append((parts[0], parts[1].encode("ascii")))
    return keys


_SOF_SEQUENTIAL = (0xC0, 0xC1, 0xC2)   # baseline, extended and progressive, Huffman-coded: what browsers show
_SOF_OTHER = (0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF)
_STANDALONE = set(range(0xD0, 0xD8)) | {0x01}
_decoding = threading.BoundedSemaphore(DECODES_AT_ONCE)


def judge_jpeg(data):
    """The picture, cut after its end-of-image marker, when data holds a whole JPEG
    picture of a desktop's size; else Refused (415). The size is judged from the
    frame header before anything is decoded, and the coded data must be able to
    cover the pixels it declares: every 8x8 block takes at least one bit."""
    if data[:2] != b"\xff\xd8":
        raise Refused(415, "not a JPEG picture: only JPEG pictures are taken")
    at, frame, coded, end = 2, None, 0, None
    n = len(data)
    try:
        while at < n:
            if data[at] != 0xFF:
                raise ValueError("no marker")
            while at < n and data[at] == 0xFF:
                at += 1
            marker = data[at]
            at += 1
            if marker == 0xD9:
                end = at
                break
            if marker in _STANDALONE:
                continue
            length = int.from_bytes(data[at:at + 2], "big")
            if length < 2 or at + length > n:
                raise ValueError("a segment runs past the end")
            segment = data[at + 2:at + length]
            at += length
            if marker in _SOF_OTHER:
                raise Refused(415, "not a JPEG picture: only baseline and progressive JPEG pictures are taken")
            if marker in _SOF_SEQUENTIAL:
                if frame is not None or len(segment) < 6:
                    raise ValueError("a second or short frame header")
                height, width = int.from_bytes(segment[1:3], "big"), int.from_bytes(segment[3:5], "big")
                frame = width, height
                if not width or not height or width > MAX_SIDE or height > MAX_SIDE or width * height > MAX_PIXELS:
                    raise Refused(415, "not a JPEG picture: %d x %d pixels is larger than any desktop" % frame)
            elif marker == 0xDA:  # a scan: its coded data runs to the next marker that is no restart
                if frame is None:
                    raise ValueError("a scan before the frame header")
                scan = at
                while True:
                    at = data.find(b"\xff", at)
                    if at < 0 or at + 1 >= n:
                        raise ValueError("a scan without an end")
                    following = data[at + 1]
                    if following == 0x00 or 0xD0 <= following <= 0xD7:
                        at += 2
                    elif following == 0xFF:
                        at += 1
                    else:
                        break
                coded += at - scan
    except (ValueError, IndexError):
        raise Refused(415, "not a JPEG picture: only JPEG pictures are taken")
    if end is None or frame is None:
        raise Refused(415, "not a JPEG picture: only JPEG pictures are taken")
    blocks = math.ceil(frame[0] / 8) * math.ceil(frame[1] / 8)
    if coded * 8 < blocks:
        raise Refused(415, "not a JPEG picture: its data is too short for the %d x %d pixels it declares" % frame)
    picture = data[:end]
    with _decoding:  # a few at a time: each decoded picture takes its pixels in memory
        if not _decodes(picture):
            raise Refused(415, "not a JPEG picture: only JPEG pictures are taken")
    return picture


def _decodes(picture):
    try:
        with Image.open(io.BytesIO(picture), formats=["JPEG"]) as image:
            image.verify()
        with Image.open(io.BytesIO(picture), formats=["JPEG"]) as image:
            image.load()  # every scan decoded: a cut or corrupted picture fails here
        return True
    except Exception:  # whatever a decoder raises on hostile input, it is no picture
        return False


class StoreError(Exception):
    """The store did not do what was asked: status 503 when it does not answer or
    refuses, 507 when it has no room, 500 when a picture in it cannot be read."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status
        self.message = message


class Stored:
    """What the store knows of one picture: its size in bytes, when it was stored
    (seconds since the epoch) and the SHA-256 of its delete key (None for a
    picture stored before there were delete keys)."""

    __slots__ = ("size", "created", "key_hash")

    def __init__(self, size, created, key_hash):
        self.size, self.created, self.key_hash = size, created, key_hash


# Every store has: create(name, picture, key_hash) -> False when the name is taken;
# stat(name) -> Stored or None; read(name, start, stop) -> an iterable of bytes
# with close(), or None; delete(name); pictures() -> [(name, created, size)];
# check(); where(name), the text the log shows. All raise StoreError.

class FolderStore:
    """Pictures as NAME.jpg in one folder, each with NAME.key beside it holding
    the SHA-256 of its delete key. Several instances may share the folder."""

    def __init__(self, folder):
        self.folder = folder

    def where(self, name):
        return os.path.join(self.folder, name + ".jpg")

    def _path(self, name, ending):
        return os.path.join(self.folder, name + ending)

    def _again(self, operation):
        """operation(), and once more after the folder is made again when it has gone."""
        try:
            return operation()
        except FileNotFoundError:
            if os.path.isdir(self.folder):
                raise
        try:
            os.makedirs(self.folder, exist_ok=True)
        except OSError as error:
            raise StoreError(503, "the store %s has gone and cannot be made again: %s" % (
                self.folder, error.strerror or error))
        return operation()

    def create(self, name, picture, key_hash):
        # The key's file first, taken exclusively: it claims the name, and no picture
        # is ever seen without it. The picture is written whole under a name of its
        # own and then linked in, which fails when the name is taken.
        key_path, path = self._path(name, ".key"), self._path(name, ".jpg")
        part = self._path("." + name + "." + secrets.token_hex(4), ".part")
        flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL | getattr(os, "O_BINARY", 0)
        try:
            fd = self._again(lambda: os.open(key_path, flags, 0o644))
        except FileExistsError:
            return False
        except OSError as error:
            raise self._write_error(error)
        try:
            with os.fdopen(fd, "w") as f:
                f.write(key_hash + "\n")
            with open(os.open(part, flags, 0o644), "wb") as f:
                f.write(picture)
            os.link(part, path)
            return True
        except FileExistsError:
            _unlink(key_path)
            return False
        except OSError as error:
            _unlink(key_path)
            raise self._write_error(error)
        finally:
            _unlink(part)

    @staticmethod
    def _write_error(error):
        if isinstance(error, StoreError):
            return error
        if error.errno in (errno.ENOSPC, errno.EDQUOT):
            return StoreError(507, "insufficient storage: the store is full")
        return StoreError(507, "the picture could not be stored")

    def stat(self, name):
        try:
            st = self._again(lambda: os.lstat(self._path(name, ".jpg")))
        except (FileNotFoundError, NotADirectoryError):
            return None
        except OSError:
            raise StoreError(500, "the picture could not be read")
        if not stat.S_ISREG(st.st_mode):  # a link or a device planted in the store is no picture of it
            raise StoreError(500, "the picture could not be read")
        return Stored(st.st_size, st.st_mtime, self._key_hash(name))

    def _key_hash(self, name):
        try:
            fd = os.open(self._path(name, ".key"), os.O_RDONLY | getattr(os, "O_NOFOLLOW", 0))
            with os.fdopen(fd, "rb") as f:
                text = f.read(128).decode("ascii", "replace").strip()
        except OSError:
            return None
        return text if _HASH.match(text) else None

    def read(self, name, start, stop):
        flags = os.O_RDONLY | getattr(os, "O_NOFOLLOW", 0) | getattr(os, "O_NONBLOCK", 0) | getattr(os, "O_BINARY", 0)
        try:
            fd = os.open(self._path(name, ".jpg"), flags)
        except (FileNotFoundError, NotADirectoryError):
            return None
        except OSError:
            raise StoreError(500, "the picture could not be read")
        f = os.fdopen(fd, "rb")
        try:
            if not stat.S_ISREG(os.fstat(fd).st_mode):
                raise StoreError(500, "the picture could not be read")
            f.seek(start)
        except (OSError, StoreError) as error:
            f.close()
            raise error if isinstance(error, StoreError) else StoreError(500, "the picture could not be read")
        return _Chunks(f.read, stop - start, f.close)

    def delete(self, name):
        # The picture first: once it has gone the name answers 404, whatever else remains.
        for ending in (".jpg", ".key"):
            try:
                os.unlink(self._path(name, ending))
            except FileNotFoundError:
                pass
            except OSError as error:
                raise StoreError(503, "the picture could not be deleted: %s" % (error.strerror or error))

    def pictures(self):
        found = []
        try:
            entries = self._again(lambda: list(os.scandir(self.folder)))
        except OSError as error:
            raise StoreError(503, "the store cannot be listed: %s" % (error.strerror or error))
        for entry in entries:
            if entry.name.endswith(".jpg") and _NAME.match(entry.name[:-4]):
                try:
                    st = entry.stat(follow_symlinks=False)
                except OSError:
                    continue
                if stat.S_ISREG(st.st_mode):
                    found.append((entry.name[:-4], st.st_mtime, st.st_size))
        return found

    def check(self):
        def probe():
            if not os.access(self.folder, os.W_OK | os.X_OK):
                raise StoreError(503, "the store %s cannot be written" % self.folder)
            os.stat(self.folder)
        self._again(lambda: (os.stat(self.folder), probe()))


def _unlink(path):
    try:
        os.unlink(path)
    except OSError:
        pass


class _Chunks:
    """A picture's bytes as the server sends them: CHUNK at a time, at most length."""

    def __init__(self, read, length, close):
        self._read, self._left, self.close = read, length, close

    def __iter__(self):
        while self._left > 0:
            chunk = self._read(min(CHUNK, self._left))
            if not chunk:
                break  # the picture ended early: the client sees a short reply, never other bytes
            self._left -= len(chunk)
            yield chunk


def parse_s3_store(text):
    """(bucket, key prefix ending in "/" or "") of s3://BUCKET[/PREFIX]; ValueError otherwise."""
    split = urllib.parse.urlsplit(text)
    if split.scheme != "s3" or split.query or split.fragment or split.username or split.port:
        raise ValueError("an S3 store is s3://BUCKET or s3://BUCKET/PREFIX: %r" % text)
    bucket, prefix = split.hostname or "", split.path.strip("/")
    if not _BUCKET.match(bucket) or ".." in bucket:
        raise ValueError("not an S3 bucket name (3 to 63 lower-case letters, digits, dots and hyphens): %r" % bucket)
    if prefix and not re.fullmatch(r"[A-Za-z0-9._/-]{1,512}", prefix) or "//" in prefix:
        raise ValueError("an S3 key prefix is letters, digits and ._-/: %r" % prefix)
    return bucket, prefix + "/" if prefix else ""


class S3Store:
    """Pictures as objects PREFIX/NAME.jpg in a bucket of S3-compatible object
    storage, each with the SHA-256 of its delete key in its metadata, so that the
    two are written and removed as one. Plain S3 only: path-style addresses and
    SigV4, credentials from the usual places (the environment, the shared
    credentials file, an instance role). Every call is bounded in time, so that a
    store that stops answering costs an upload well under the tool's 30 s."""

    def __init__(self, bucket, prefix="", endpoint=None, region=None, connections=10):
        import boto3
        import botocore.auth
        import botocore.awsrequest
        import botocore.config
        import botocore.exceptions
        self._errors = botocore.exceptions
        self.bucket, self.prefix = bucket, prefix
        config = botocore.config.Config(
            signature_version="s3v4", s3={"addressing_style": "path"}, connect_timeout=2, read_timeout=5,
            retries={"max_attempts": 2, "mode": "standard"}, max_pool_connections=connections)
        session = boto3.session.Session()
        self.client = session.client("s3", endpoint_url=endpoint, region_name=region or "us-east-1", config=config)
        # An upload is one PUT, the call this store makes most: it is signed and sent
        # here, on the client's own connections (its pool, timeouts, proxy and
        # certificates) with the credentials it found, without the client's general
        # machinery (parameter checks, endpoint rules, event hooks, reply parsing),
        # which about doubles the CPU a PUT costs the instance.
        self._credentials = session.get_credentials()  # the client's own: one lookup, refreshed as they expire
        self._region = self.client.meta.region_name
        self._base = self.client.meta.endpoint_url.rstrip("/") + "/" + urllib.parse.quote(bucket) + "/"
        self._http = self.client._endpoint.http_session
        self._request, self._signer = botocore.awsrequest.AWSRequest, botocore.auth.S3SigV4Auth
        # An S3 server that knows conditional writes refuses to overwrite; with one
        # that does not (it answers NotImplemented) the 130 random bits of a name
        # are what keeps two instances apart.
        self._conditional = True

    def where(self, name):
        return "s3://%s/%s%s.jpg" % (self.bucket, self.prefix, name)

    def _key(self, name):
        return self.prefix + name + ".jpg"

    def _failure(self, error, doing):
        """The StoreError for a failed call; None for "no such object"."""
        if isinstance(error, self._errors.ClientError):
            code = str(error.response.get("Error", {}).get("Code", ""))
            status = error.response.get("ResponseMetadata", {}).get("HTTPStatusCode")
            if code in ("404", "NoSuchKey", "NotFound"):
                return None
            return StoreError(503, "the store refused to %s: %s (HTTP %s)" % (doing, printable(code), status))
        text = str(error).splitlines()[0] if str(error) else type(error).__name__
        return StoreError(503, "the store does not answer (%s): %s" % (doing, printable(text)[:200]))

    def _call(self, doing, operation, **arguments):
        try:
            return getattr(self.client, operation)(Bucket=self.bucket, **arguments)
        except (self._errors.BotoCoreError, self._errors.ClientError) as error:
            failure = self._failure(error, doing)
            if failure is None:
                return None
            raise failure

    def _put(self, key, picture, key_hash, conditional):
        """(status, S3 error code or "") of one signed PUT of the picture. The
        picture follows its headers at once, without first asking whether to go on
        (Expect: 100-continue), which a store refusing the condition answers early."""
        credentials = self._credentials.get_frozen_credentials() if self._credentials else None
        if credentials is None or not credentials.access_key:
            raise StoreError(503, "the store does not answer (store the picture): no credentials found")
        headers = {"Content-Type": "image/jpeg", "x-amz-meta-" + DELETE_KEY_META: key_hash}
        if conditional:
            headers["If-None-Match"] = "*"
        request = self._request("PUT", self._base + urllib.parse.quote(key), data=picture, headers=headers)
        self._signer(credentials, "s3", self._region).add_auth(request)
        reply = self._http.send(request.prepare())  # read whole, so that its connection serves the next
        if reply.status_code < 300:
            return reply.status_code, ""
        code = re.search(rb"<Code>([^<]{1,64})</Code>", reply.content[:4096])
        return reply.status_code, code.group(1).decode("ascii", "replace") if code else ""

    def create(self, name, picture, key_hash):
        # Sent twice at most, like every other call: again after a connection that failed
        # or a store that was busy or failed for a moment (500, 503).
        conditional, attempts = self._conditional, 0
        while True:
            attempts += 1
            try:
                status, code = self._put(self._key(name), picture, key_hash, conditional)
            except self._errors.BotoCoreError as error:
                if attempts < 2:
                    continue
                raise self._failure(error, "store the picture")
            if status < 300:
                return True
            # The status counts as much as the code: a store may answer without a body to read one from.
            if code in ("PreconditionFailed", "ConditionalRequestConflict") or status == 412:
                # Sent again, the name may be taken by the first sending, stored before its
                # answer was lost: that picture is this one (its delete key is new), not a
                # picture to leave behind unlinked under a name of its own.
                return attempts > 1 and self._holds(name, picture, key_hash)
            if (code == "NotImplemented" or status == 501) and conditional:
                # Other threads may have sent the condition too: each sends its picture again without.
                self._conditional = conditional = False
                continue
            if status in (500, 503) and attempts < 2:
                continue
            raise StoreError(503, "the store refused to store the picture: %s (HTTP %d)" % (
                printable(code or str(status)), status))

    def _holds(self, name, picture, key_hash):
        stored = self.stat(name)
        return stored is not None and stored.key_hash == key_hash and stored.size == len(picture)

    def stat(self, name):
        head = self._call("look up the picture", "head_object", Key=self._key(name))
        if head is None:
            return None
        key_hash = head.get("Metadata", {}).get(DELETE_KEY_META)
        return Stored(int(head["ContentLength"]), head["LastModified"].timestamp(),
                      key_hash if key_hash and _HASH.match(key_hash) else None)

    def read(self, name, start, stop):
        if stop <= start:
            return _Chunks(None, 0, lambda: None)
        got = self._call("read the picture", "get_object", Key=self._key(name), Range="bytes=%d-%d" % (start, stop - 1))
        if got is None:
            return None
        body = got["Body"]
        return _Chunks(body.read, stop - start, body.close)

    def delete(self, name):
        self._call("delete the picture", "delete_object", Key=self._key(name))

    def pictures(self):
        found = []
        try:
            for page in self.client.get_paginator("list_objects_v2").paginate(Bucket=self.bucket, Prefix=self.prefix):
                for item in page.get("Contents", []):
                    rest = item["Key"][len(self.prefix):]
                    if rest.endswith(".jpg") and _NAME.match(rest[:-4]):
                        found.append((rest[:-4], item["LastModified"].timestamp(), int(item["Size"])))
        except (self._errors.BotoCoreError, self._errors.ClientError) as error:
            raise self._failure(error, "list the pictures") or StoreError(503, "the store has no such bucket")
        return found

    def check(self):
        if self._call("look up the bucket", "head_bucket") is None:
            raise StoreError(503, "the store has no bucket %s" % self.bucket)


class _StoreSize:
    """Bytes held by the store, recounted now and then (other instances write to
    it too) and kept up to date with this one's writes."""

    def __init__(self, store):
        self.store = store
        self.lock = threading.Lock()
        self.bytes = 0
        self.counted = None

    def recount(self):
        self.bytes, self.counted = sum(size for _, _, size in self.store.pictures()), time.monotonic()

    def reserve(self, size, limit):
        """True when size more bytes fit under limit; they are counted at once, so
        that two uploads at the same time cannot both take the last room."""
        with self.lock:
            if self.counted is None or time.monotonic() - self.counted > RECOUNT_SECONDS:
                self.recount()
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


class _Figures:
    """What an operator watches, in a registry of the instance's own."""

    def __init__(self, stored_bytes):
        self.registry = CollectorRegistry()
        self.uploads = Counter("corvane_uploads", "Uploads by result", ["result"], registry=self.registry)
        self.refusals = Counter("corvane_refusals", "Refused requests by status", ["status"], registry=self.registry)
        self.store_seconds = Histogram("corvane_store_seconds", "Time the store took, by operation", ["operation"],
                                       registry=self.registry,
                                       buckets=(.005, .01, .025, .05, .1, .25, .5, 1, 2.5, 5, 10, 30))
        self.stored_bytes = Gauge("corvane_stored_bytes", "Bytes of pictures in the store, as last counted",
                                  registry=self.registry)
        self.stored_bytes.set_function(stored_bytes)
        self.connections = Gauge("corvane_open_connections", "Open client connections", registry=self.registry)


class Service:
    """The WSGI application. Its attributes may be changed between requests
    (public_base, version_reply); on_store(name, where, picture) is called with
    each picture stored (and owner=, the name of a team member's key that took it),
    log(line) with each refusal and delete."""

    def __init__(self, store, public_base=DEFAULT_PUBLIC_BASE, max_picture=DEFAULT_MAX_PICTURE,
                 upload_key=None, max_store_bytes=None, version_reply=b"N", on_store=None, log=None,
                 upload_keys=None, expire_seconds=None, trusted_proxy=None):
        parse_public_base(public_base)  # refused early, not at the first upload
        self.store = FolderStore(store) if isinstance(store, str) else store
        self.public_base = public_base
        self.max_picture = int(max_picture)
        self.upload_keys = upload_keys if upload_keys is not None else UploadKeys(single=upload_key)
        self.max_store_bytes = max_store_bytes
        self.expire_seconds = expire_seconds
        self.version_reply = version_reply
        self.on_store = on_store
        self.log = log
        self.trusted_proxy = trusted_proxy
        self._store_size = _StoreSize(self.store)
        self.figures = _Figures(lambda: self._store_size.bytes)

    @property
    def store_dir(self):
        """The folder of a folder store (None on a bucket); setting it moves the store there."""
        return getattr(self.store, "folder", None)

    @store_dir.setter
    def store_dir(self, folder):
        self.store = FolderStore(folder)
        self._store_size = _StoreSize(self.store)

    @property
    def max_body(self):
        return self.max_picture + FORM_OVERHEAD

    def link(self, name):
        return parse_public_base(self.public_base)[0] + "/" + name

    def _timed(self, operation, call, *arguments):
        started = time.monotonic()
        try:
            return call(*arguments)
        finally:
            self.figures.store_seconds.labels(operation).observe(time.monotonic() - started)

    def __call__(self, environ, start_response):
        request = Request(environ)
        try:
            response = self._answer(request)
        except (Refused, StoreError) as refused:
            self.figures.refusals.labels(str(refused.status)).inc()
            if self.log is not None:
                self.log("refused %d %s %s %s: %s" % (refused.status, address(request.remote_addr),
                                                     printable(request.method), printable(request.path),
                                                     refused.message))
            allow = getattr(refused, "allow", None)
            response = _text(refused.status, refused.message, [("Allow", allow)] if allow else [])
        return response(environ, start_response)

    def _route(self, path):
        """The path below the base path ("/upload.php"), or None outside it."""
        base = parse_public_base(self.public_base)[1]
        if not base:
            return path
        return path[len(base):] if path.startswith(base + "/") else None

    def _answer(self, request):
        route = self._route(request.path)
        if route in ("/upload.php", "/vcheck.php", "/delete.php"):
            if request.method != "POST":
                raise Refused(405, "method not allowed: %s takes POST" % route, allow="POST")
            if route == "/upload.php":
                return self._upload(request)
            if route == "/delete.php":
                return self._delete(request)
            return Response(bytes(self.version_reply), content_type="text/plain; charset=utf-8",
                            headers=[("X-Content-Type-Options", "nosniff")])
        page = route in ("/download", "/download/")
        known = route in ("/healthz", "/metrics")
        name = route[1:] if route and not page and not known and _NAME.match(route[1:]) else None
        if not page and not known and name is None:
            raise Refused(404, "not found: no such picture or page")
        if request.method not in ("GET", "HEAD"):
            raise Refused(405, "method not allowed: pictures and pages take GET", allow="GET, HEAD")
        if page:
            return Response("<html><body>Download Corvane Tool</body></html>\n", content_type="text/html")
        if route == "/healthz":
            self._timed("check", self.store.check)
            return _text(200, "ok", [("Cache-Control", "no-store")])
        if route == "/metrics":
            return self._metrics(request)
        return self._picture(request, name)

    def _metrics(self, request):
        try:
            peer = ipaddress.ip_address(request.remote_addr or "")
        except ValueError:
            peer = None
        proxy = self.trusted_proxy
        if peer is None or not (peer.is_loopback or (proxy is not None and str(peer) == proxy)):
            raise Refused(403, "forbidden: the figures are answered only to loopback and the trusted proxy")
        return Response(generate_latest(self.figures.registry), content_type=CONTENT_TYPE_LATEST,
                        headers=[("X-Content-Type-Options", "nosniff"), ("Cache-Control", "no-store")])

    def _live(self, name):
        """What the store holds under name, unless it has expired; None otherwise."""
        found = self._timed("stat", self.store.stat, name)
        if found is None or self._expired(found.created):
            return None
        return found

    def _expired(self, created):
        return self.expire_seconds is not None and time.time() - created > self.expire_seconds

    def _picture(self, request, name):
        found = self._live(name)
        if found is None:
            raise Refused(404, "not found: no such picture or page")
        etag = '"%s"' % name  # a name is never given to another picture
        age = YEAR
        if self.expire_seconds is not None:
            age = max(0, min(YEAR, int(found.created + self.expire_seconds - time.time())))
        headers = Headers([("X-Content-Type-Options", "nosniff"), ("ETag", etag), ("Accept-Ranges", "bytes"),
                           ("Cache-Control", "public, max-age=%d, immutable" % age),
                           ("Content-Security-Policy", PICTURE_POLICY)])
        if etag in [t.strip() for t in request.headers.get("If-None-Match", "").split(",")]:
            return Response(status=304, headers=headers)
        start, stop, status = 0, found.size, 200
        ranges = parse_range_header(request.headers.get("Range"))
        if_range = request.headers.get("If-Range")
        if ranges is not None and len(ranges.ranges) == 1 and (if_range is None or if_range.strip() == etag):
            span = ranges.range_for_length(found.size)
            if span is None:
                headers["Content-Range"] = "bytes */%d" % found.size
                return Response("the range is past the picture's %d bytes\n" % found.size, status=416,
                                headers=headers, content_type="text/plain; charset=utf-8")
            (start, stop), status = span, 206
            headers["Content-Range"] = "bytes %d-%d/%d" % (start, stop - 1, found.size)
        headers["Content-Length"] = str(stop - start)
        if request.method == "HEAD":
            return Response(status=status, headers=headers, content_type="image/jpeg")
        body = self._timed("read", self.store.read, name, start, stop)
        if body is None:
            raise Refused(404, "not found: no such picture or page")
        return Response(body, status=status, headers=headers, content_type="image/jpeg", direct_passthrough=True)

    def _upload(self, request):
        try:
            response = self._take_upload(request)
        except Refused:
            self.figures.uploads.labels("refused").inc()
            raise
        except StoreError:
            self.figures.uploads.labels("store failed").inc()
            raise
        self.figures.uploads.labels("stored").inc()
        return response

    def _form(self, request):
        length = request.content_length
        if length is None:
            raise Refused(411, "length required: send the body with a Content-Length")
        if length > self.max_body:
            raise Refused(413, "too large: a picture may have at most %d bytes" % self.max_picture)
        body = request.stream.read(length)
        if len(body) != length:
            raise Refused(400, "bad request: the body is shorter than its Content-Length")
        return read_form(body, request.headers.get("Content-Type"), self.max_body)

    def _take_upload(self, request):
        fields = self._form(request)
        owner = ""
        if self.upload_keys.required:
            keys = [value for name, value in fields if name == "key"]
            if not keys:
                raise Refused(403, "forbidden: this service takes uploads only with its key")
            owner = self.upload_keys.owner(keys[0]) if len(keys) == 1 else None
            if owner is None:
                raise Refused(403, "forbidden: wrong upload key")
        pictures = [value for name, value in fields if name == "imagedata"]
        if len(pictures) != 1:
            raise Refused(400, "bad request: one imagedata field expected, %d found" % len(pictures))
        picture = pictures[0]
        if len(picture) > self.max_picture:
            raise Refused(413, "too large: a picture may have at most %d bytes" % self.max_picture)
        picture = judge_jpeg(picture)
        limit = self.max_store_bytes
        if limit is not None and not self._timed("count", self._store_size.reserve, len(picture), limit):
            raise Refused(507, "insufficient storage: the store is full")
        delete_key, key_hash = new_delete_key()
        try:
            name = self._timed("write", self._store, picture, key_hash)
        except StoreError:
            if limit is not None:
                self._store_size.release(len(picture))
            raise
        if self.on_store is not None:
            self.on_store(name, self.store.where(name), picture, **({"owner": owner} if owner else {}))
        return Response(self.link(name), content_type="text/plain; charset=utf-8",
                        headers=[("X-Content-Type-Options", "nosniff"), ("X-Delete-Key", delete_key)])

    def _store(self, picture, key_hash):
        """Writes the picture under a new name. A name already taken (by this or
        another instance) is never overwritten: another is drawn."""
        for _ in range(STORE_ATTEMPTS):
            name = new_picture_name()
            if self.store.create(name, picture, key_hash):
                return name
        raise StoreError(507, "the picture could not be stored")

    def _delete(self, request):
        fields = dict(reversed(self._form(request)))  # the first of each name counts
        name = fields.get("name", b"").decode("ascii", "replace")
        given = fields.get("deletekey", b"")
        if not _NAME.match(name):
            raise Refused(404, "not found: no such picture")
        found = self._live(name)
        if found is None:
            raise Refused(404, "not found: no such picture")
        expected = found.key_hash or ""
        if not hmac.compare_digest(hashlib.sha256(given).hexdigest(), expected) or not expected:
            raise Refused(403, "forbidden: wrong delete key")
        self._timed("delete", self.store.delete, name)
        if self.log is not None:
            self.log("deleted %s %s" % (name, address(request.remote_addr)))
        return _text(200, "deleted")

    def sweep(self):
        """Removes the pictures older than the expiry; how many it removed."""
        if self.expire_seconds is None:
            return 0
        removed = 0
        for name, created, _ in self._timed("list", self.store.pictures):
            if self._expired(created):
                self._timed("delete", self.store.delete, name)
                removed += 1
        return removed


def read_key_file(path):
    with open(path, encoding="ascii") as f:
        return f.read(4 * MAX_KEY).strip()


def _number(kind, low, high, what):
    """An argparse type: a finite number of kind between low and high."""
    def parse(text):
        try:
            value = kind(text)
        except ValueError:
            raise argparse.ArgumentTypeError("%r is not a number" % text)
        if not math.isfinite(value) or not low <= value <= high:
            raise argparse.ArgumentTypeError("%s, not %s" % (what, text))
        return value
    return parse


def _serve_with_deadlines(server, request_timeout):
    """Makes a Waitress server close any connection whose request has not arrived
    whole within request_timeout seconds of the connection opening or of its last
    reply, however slowly it trickles, and make room when the connection limit is
    reached by dropping the connections that wait longest without a request."""
    from waitress.channel import HTTPChannel

    class Channel(HTTPChannel):
        def __init__(self, *arguments, **named):
            super().__init__(*arguments, **named)
            self.waiting_since = self.creation_time

        def service(self):
            try:
                super().service()
            finally:
                self.waiting_since = time.time()

    shipped = server.maintenance

    def maintenance(now):
        shipped(now)
        # Only those waiting for a request: a reply still being sent is bounded by channel_timeout.
        waiting = [c for c in list(server.active_channels.values())
                   if not c.requests and not c.will_close and not c.total_outbufs_len]
        for channel in waiting:
            if getattr(channel, "waiting_since", now) < now - request_timeout:
                channel.will_close = True
        room = server.adj.connection_limit - len(server.active_channels)
        if room < 8:
            waiting.sort(key=lambda c: getattr(c, "waiting_since", now))
            for channel in waiting[:8 - room]:
                channel.will_close = True

    server.channel_class = Channel
    server.maintenance = maintenance


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Receives pictures from Corvane Tool and serves them back at the links it returns. "
                    "Plain HTTP: put it behind nginx for TLS (service/deploy/).")
    parser.add_argument("--bind", default="127.0.0.1",
                        help="address to listen on (default 127.0.0.1; a private address or 0.0.0.0 behind a firewall)")
    parser.add_argument("--port", type=_number(int, 0, 65535, "a port is 0 to 65535"), default=8080,
                        help="port to listen on (default 8080; 0 picks a free one)")
    parser.add_argument("--store", default=os.environ.get("CORVANE_STORE") or "pictures",
                        help="where the pictures go: a folder (default ./pictures), which several instances on one "
                             "machine may share, or s3://BUCKET[/PREFIX], which instances on many machines may "
                             "share (default: $CORVANE_STORE)")
    parser.add_argument("--s3-endpoint", default=os.environ.get("CORVANE_S3_ENDPOINT") or None,
                        help="address of the S3-compatible storage, for anything but AWS, e.g. "
                             "https://s3.example.org (default: $CORVANE_S3_ENDPOINT; credentials come from "
                             "AWS_ACCESS_KEY_ID and AWS_SECRET_ACCESS_KEY, the shared credentials file or the "
                             "instance's role)")
    parser.add_argument("--s3-region", default=os.environ.get("AWS_REGION") or os.environ.get("AWS_DEFAULT_REGION")
                        or "us-east-1", help="the bucket's region (default: $AWS_REGION, else us-east-1)")
    parser.add_argument("--public-base", default=None,
                        help="address the links begin with, as users reach the service, e.g. "
                             "https://shots.example.org or https://example.org/shots; its path is where the "
                             "service answers (default: http://<bind address>:<port>)")
    parser.add_argument("--upload-key", default=None,
                        help="refuse uploads without this key (the tool's registry value \"key\"); "
                             "--upload-key-file keeps it out of the process list")
    parser.add_argument("--upload-key-file", default=None, help="file holding the upload key")
    parser.add_argument("--upload-keys-file", default=None,
                        help="file of \"name key\" lines, one a member of the team: an upload with any of the keys "
                             "is taken and logged with its name; read again when it changes")
    parser.add_argument("--max-store-gb", type=_number(float, 1e-9, 1e9, "a size in GB above 0"), default=None,
                        help="refuse uploads (507) once the store holds this many GB")
    parser.add_argument("--max-picture-mb", type=_number(float, 0.01, 1024, "a size of 0.01 to 1024 MB"),
                        default=DEFAULT_MAX_PICTURE / (1024 * 1024), help="largest picture taken, in MB (default 20)")
    parser.add_argument("--expire-days", type=_number(float, 1e-6, 1e6, "a number of days above 0"), default=None,
                        help="a picture older than this answers 404 and is removed by the hourly sweep")
    parser.add_argument("--sweep", action="store_true",
                        help="remove the expired pictures once and exit (for a timer), instead of serving")
    parser.add_argument("--version-reply", default="N",
                        help="what /vcheck.php answers: N for no newer version, else the newer version number")
    parser.add_argument("--trusted-proxy", default=None,
                        help="address of the proxy in front (e.g. 127.0.0.1): its X-Forwarded-For names the client")
    parser.add_argument("--threads", type=_number(int, 1, 256, "1 to 256 threads"), default=4,
                        help="worker threads (default 4)")
    parser.add_argument("--connection-limit", type=_number(int, 1, 100000, "1 to 100000 connections"), default=2000,
                        help="open connections at most; past it the longest waiting without a request is dropped "
                             "(default 2000)")
    parser.add_argument("--backlog", type=_number(int, 1, 65535, "a backlog of 1 to 65535"), default=1024,
                        help="listen backlog (default 1024)")
    parser.add_argument("--request-timeout", type=_number(float, 0.1, 300, "0.1 to 300 seconds"), default=10.0,
                        help="seconds a connection has to deliver a whole request (default 10)")
    parser.add_argument("--port-file", default=None, help="file to write the port to once listening")
    args = parser.parse_args(argv)
    if args.public_base is not None:
        try:
            parse_public_base(args.public_base)
        except ValueError as error:
            parser.error(str(error))
    if args.trusted_proxy is not None and address(args.trusted_proxy) == "-":
        parser.error("--trusted-proxy takes an IP address, not %r" % args.trusted_proxy)
    if sum(a is not None for a in (args.upload_key, args.upload_key_file, args.upload_keys_file)) > 1:
        parser.error("--upload-key, --upload-key-file and --upload-keys-file: one of them")
    key = args.upload_key
    if args.upload_key_file is not None:
        try:
            key = read_key_file(args.upload_key_file)
        except (OSError, UnicodeDecodeError) as error:
            parser.error("cannot read the upload key: %s" % error)

    printing = threading.Lock()

    def say(line):
        with printing:  # worker threads print too: one whole line at a time
            sys.stdout.write(line + "\n")
            sys.stdout.flush()

    try:
        upload_keys = UploadKeys(single=key, path=args.upload_keys_file, log=say)
    except (OSError, UnicodeDecodeError) as error:
        parser.error("cannot read the upload keys: %s" % error)
    except ValueError as error:
        parser.error(str(error))
    if args.store.startswith("s3:"):
        try:
            bucket, prefix = parse_s3_store(args.store)
        except ValueError as error:
            parser.error(str(error))
        store = S3Store(bucket, prefix, endpoint=args.s3_endpoint, region=args.s3_region,
                        connections=args.threads + 2)
        shown = args.store
    else:
        folder = os.path.abspath(args.store)
        os.makedirs(folder, exist_ok=True)
        store, shown = FolderStore(folder), folder
    app = Service(store, public_base=args.public_base or DEFAULT_PUBLIC_BASE,
                  max_picture=int(args.max_picture_mb * 1024 * 1024), upload_keys=upload_keys,
                  max_store_bytes=None if args.max_store_gb is None else int(args.max_store_gb * 1024 ** 3),
                  expire_seconds=None if args.expire_days is None else args.expire_days * 86400,
                  version_reply=args.version_reply.encode(), log=say, trusted_proxy=args.trusted_proxy,
                  on_store=lambda name, where, _, owner="": say(
                      "stored %s %s%s" % (name, where, " by " + owner if owner else "")))
    if args.sweep:
        try:
            say("swept %d expired pictures from %s" % (app.sweep(), shown))
        except StoreError as error:
            say("the sweep failed: %s" % error.message)
            return 1
        return 0

    import waitress  # here, so that the application can be imported where only tests need it
    try:
        import resource
        soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        wanted = args.connection_limit + 64
        if soft != resource.RLIM_INFINITY and soft < wanted:
            resource.setrlimit(resource.RLIMIT_NOFILE, (wanted if hard == resource.RLIM_INFINITY else
                                                        min(wanted, hard), hard))
    except (ImportError, ValueError, OSError):
        pass  # fewer connections then: the limit still holds, the oldest waiting are dropped
    proxy = {}
    if args.trusted_proxy:
        proxy = dict(trusted_proxy=args.trusted_proxy, trusted_proxy_headers={"x-forwarded-for"},
                     clear_untrusted_proxy_headers=True)
    try:
        server = waitress.create_server(
            app, host=args.bind, port=args.port, threads=args.threads, connection_limit=args.connection_limit,
            backlog=args.backlog, channel_timeout=30, cleanup_interval=1, max_request_body_size=app.max_body,
            max_request_header_size=64 * 1024, asyncore_use_poll=True, ident="CorvaneService", **proxy)
    except OSError as error:
        parser.error("cannot listen on %s port %d: %s" % (args.bind, args.port, error))
    _serve_with_deadlines(server, args.request_timeout)
    app.figures.connections.set_function(lambda: len(server.active_channels))
    port = int(server.effective_port)
    if args.public_base is None:
        # Every interface: the machine's name is the likeliest address its users reach.
        host = socket.getfqdn() if args.bind in ("", "0.0.0.0", "::") else args.bind
        app.public_base = "http://%s:%d" % ("[%s]" % host if ":" in host else host, port)

    def sweeping():
        while True:
            try:
                removed = app.sweep()
                if removed:
                    say("swept %d expired pictures" % removed)
            except StoreError as error:
                say("the sweep failed: %s" % error.message)
            time.sleep(SWEEP_SECONDS)
    if app.expire_seconds is not None:
        threading.Thread(target=sweeping, name="sweep", daemon=True).start()
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
        parse_public_base(app.public_base)[0], shown, "; uploads need a key" if upload_keys.required else ""))
    try:
        server.run()
    except SystemExit:
        pass
    finally:
        server.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
