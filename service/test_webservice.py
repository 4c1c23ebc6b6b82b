"""The web service as users run it: what it refuses (on the wire, through
Waitress), what it stores and serves, and two instances on one store behind the
shipped nginx site."""

import hashlib
import http.client
import http.server
import io
import json
import os
import re
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest
from PIL import Image
from werkzeug.test import Client

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import webservice  # noqa: E402
from certs_for_tests import CertificateAuthority  # noqa: E402
from deployment import Nginx, ServiceProcess, free_port, shared_swift, stop, wait_for_port  # noqa: E402

KEY = "k3y-for-tests_0123456789"
BOUNDARY = b"----BOUNDARYBOUNDARY----"
CONTENT_TYPE = b"multipart/form-data; boundary=----BOUNDARYBOUNDARY----"
DELIMITER = b"--" + BOUNDARY + b"\r\n"
CLOSING = b"--" + BOUNDARY + b"--\r\n"


def field(name, value, disposition=None):
    disposition = disposition or b'form-data; name="' + name + b'"'
    return DELIMITER + b"content-disposition: " + disposition + b"\r\n\r\n" + value + b"\r\n"


def jpeg(size=(64, 48), colour=(200, 30, 30)):
    out = io.BytesIO()
    Image.new("RGB", size, colour).save(out, "JPEG", quality=95)
    return out.getvalue()


JPEG = jpeg()


def upload_body(picture=JPEG, key=KEY.encode()):
    """The tool's upload body, with the key field after the picture when given."""
    return field(b"cv", b"win:2.6") + field(b"imagedata", picture) + (field(b"key", key) if key else b"") + CLOSING


def post(body, content_type=CONTENT_TYPE, framing=None, target=b"/upload.php"):
    framing = b"Content-Length: %d\r\n" % len(body) if framing is None else framing
    return (b"POST " + target + b" HTTP/1.1\r\nHost: corvane.net\r\nContent-type: " + content_type + b"\r\n" +
            framing + b"\r\n" + body)


def exchange(port, raw, source="127.0.0.1"):
    """Sends raw bytes, half-closes, and returns (status, body) of the reply."""
    with socket.create_connection(("127.0.0.1", port), timeout=20, source_address=(source, 0)) as s:
        s.sendall(raw)
        s.shutdown(socket.SHUT_WR)
        reply = b""
        while chunk := s.recv(65536):
            reply += chunk
    head, _, body = reply.partition(b"\r\n\r\n")
    return int(head.split()[1]), body


@pytest.fixture(scope="module")
def keyed(tmp_path_factory):
    """The service as the unit starts it, with a key, on a store of its own."""
    folder = tmp_path_factory.mktemp("keyed")
    key_file = folder / "upload.key"
    key_file.write_text(KEY + "\n")
    service = ServiceProcess(folder, folder / "store", "http://corvane.net", key_file=key_file)
    yield service
    service.stop()


def stored_files(service):
    return sorted(os.listdir(Path(service.log_path).parent / "store"))


TRUNCATED = JPEG[:len(JPEG) // 2]


def declaring(width, height):
    """A small progressive JPEG whose frame header claims width x height pixels."""
    out = io.BytesIO()
    Image.new("L", (8, 8), 128).save(out, "JPEG", progressive=True)
    data = bytearray(out.getvalue())
    at = data.index(b"\xff\xc2") + 5
    data[at:at + 4] = height.to_bytes(2, "big") + width.to_bytes(2, "big")
    return bytes(data)


def log_lines_since(service, before):
    return service.log()[len(before):].splitlines()
CUT_HEADER = field(b"imagedata", JPEG, b'form-data; filename="a; name=\\"imagedata\\""; name="cv"')
REFUSED = {
    # HTTP framing, judged by Waitress before the application sees anything.
    "length with a plus sign": (post(upload_body(), framing=b"Content-Length: +%d\r\n" % len(upload_body())),
                                400, b"Content-Length is invalid"),
    "length with underscores": (post(upload_body(), framing=b"Content-Length: %s\r\n" % "_".join(
        str(len(upload_body()))).encode()), 400, b"Content-Length is invalid"),
    "two lengths": (post(upload_body(), framing=b"Content-Length: %d\r\nContent-Length: 9\r\n" % len(upload_body())),
                    400, b"Content-Length is invalid"),
    "identity then chunked": (post(upload_body(), framing=b"Transfer-Encoding: identity\r\n"
                                   b"Transfer-Encoding: chunked\r\nContent-Length: %d\r\n" % len(upload_body())),
                              501, b"Transfer-Encoding requested is not supported"),
    "no length": (post(b"", framing=b""), 411, b"length required"),
    "far too long": (post(b"", framing=b"Content-Length: %d\r\n" % (1 << 40)), 413, b""),
    # The form, judged by Werkzeug's multipart decoder and the service.
    "not multipart": (post(upload_body(), b"text/plain"), 400, b"bad request: not multipart/form-data"),
    "boundary inside another parameter": (post(upload_body(), b'multipart/form-data; x="boundary=' + BOUNDARY + b'"'),
                                          400, b"bad request: not multipart/form-data with a boundary"),
    "name inside the file name": (post(field(b"cv", b"win:2.6") + CUT_HEADER + field(b"key", KEY.encode()) + CLOSING),
                                  400, b"bad request: one imagedata field expected, 0 found"),
    "two pictures": (post(field(b"imagedata", JPEG) + upload_body()), 400,
                     b"bad request: one imagedata field expected, 2 found"),
    "never closed": (post(field(b"cv", b"win:2.6") + field(b"key", KEY.encode()) + DELIMITER), 400, b"bad request"),
    "a part without a name": (post(field(b"x", b"1", b"form-data") + upload_body()), 400,
                              b"bad request: a part without a name"),
    "a part header of 5000 bytes": (post(field(b"x", b"1", b'form-data; name="' + b"x" * 5000 + b'"') + upload_body()),
                                    400, b"bad request: a part header is longer than 4096 bytes"),
    "40 parts": (post(b"".join(field(b"f%d" % i, b"v") for i in range(40)) + upload_body()), 413,
                 b"too large: more than 16 parts"),
    # The key.
    "no key": (post(upload_body(key=None)), 403, b"forbidden: this service takes uploads only with its key\n"),
    "a wrong key": (post(upload_body(key=b"k3y-for-tests_012345678")), 403, b"forbidden: wrong upload key\n"),
    "two keys": (post(field(b"key", b"other") + upload_body()), 403, b"forbidden: wrong upload key\n"),
    # The picture, decoded by Pillow.
    "HTML after the JPEG magic": (post(upload_body(b"\xff\xd8\xff\xe0<html><script>alert(1)</script>")), 415,
                                  b"not a JPEG picture: only JPEG pictures are taken\n"),
    "a cut JPEG": (post(upload_body(TRUNCATED)), 415, b"not a JPEG picture"),
    "a PNG": (post(upload_body(b"\x89PNG\r\n\x1a\n" + JPEG)), 415, b"not a JPEG picture"),
    "8192 x 8192 pixels declared": (post(upload_body(declaring(8192, 8192))), 415,
                                    b"not a JPEG picture: 8192 x 8192 pixels is larger than any desktop\n"),
    "4000 x 3000 pixels declared, 8 x 8 coded": (post(upload_body(declaring(4000, 3000))), 415,
                                                 b"its data is too short for the 4000 x 3000 pixels it declares"),
    "arithmetic coding": (post(upload_body(JPEG.replace(b"\xff\xc0", b"\xff\xc9", 1))), 415,
                          b"only baseline and progressive JPEG pictures are taken"),
    # What reaches the log: escaped text and addresses only.
    "a path that writes a log line": (post(b"", target=b"/x%0astored aaaaaaaaaaaaaaaaaaaaaaaaaa /etc/x%1b[2J"),
                                      404, b"not found"),
    "a forwarded address that is no address": (
        post(upload_body(key=b"wrong"), framing=b"X-Forwarded-For: stored evil\r\nContent-Length: %d\r\n" %
             len(upload_body(key=b"wrong"))), 403, b"forbidden: wrong upload key\n"),
    # A delete needs the picture's own key, never the upload key.
    "a delete with the upload key": (post(field(b"name", b"a" * 26) + field(b"deletekey", KEY.encode()) + CLOSING,
                                          target=b"/delete.php"), 404, b"not found: no such picture\n"),
}


@pytest.mark.parametrize("raw, status, reason", list(REFUSED.values()), ids=list(REFUSED))
def test_malformed_requests_are_refused_with_a_reason_and_store_nothing(keyed, raw, status, reason):
    before, log = stored_files(keyed), keyed.log()
    got, body = exchange(keyed.port, raw)
    assert got == status, body
    assert reason in body
    if got < 500 or got == 501:
        assert body.count(b"\n") <= 6  # a reason, not a page or a traceback
    assert stored_files(keyed) == before
    for line in log_lines_since(keyed, log):  # one line per refusal, its address an address
        words = line.split(" ")
        assert words[0] == "refused" and re.fullmatch(r"[0-9.:a-f]+|-", words[2]), line
        assert all(" " <= c <= "~" for c in line), line


def test_a_full_store_refuses_with_507_and_stores_nothing(tmp_path):
    store = tmp_path / "store"
    store.mkdir()
    (store / "aaaaaaaaaaaaaaaaaaaaaaaaaa.jpg").write_bytes(JPEG * 40)
    gb = (len(JPEG) * 40 + len(JPEG) // 2) / 1024 ** 3  # room for less than one more
    service = ServiceProcess(tmp_path, store, "http://corvane.net", max_store_gb=gb)
    try:
        assert exchange(service.port, post(upload_body(key=None))) == (
            507, b"insufficient storage: the store is full\n")
        assert sorted(os.listdir(store)) == ["aaaaaaaaaaaaaaaaaaaaaaaaaa.jpg"]
    finally:
        service.stop()


def request(port, method, target, body=None, headers=None):
    """(status, headers, body) of one request on a connection of its own."""
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    try:
        conn.request(method, target, body, headers or {})
        reply = conn.getresponse()
        return reply.status, reply.headers, reply.read()
    finally:
        conn.close()


def test_an_upload_is_stored_and_served_back_as_a_picture_only(keyed):
    picture = jpeg((320, 200), (10, 120, 240))
    status, headers, link = request(keyed.port, "POST", "http://corvane.net:80/upload.php",
                                    upload_body(picture + b"<html><script>alert(1)</script>"),
                                    {"Content-type": CONTENT_TYPE.decode()})
    assert status == 200
    assert re.fullmatch(rb"http://corvane\.net/[a-z2-7]{26}", link)  # the bare link, nothing after it
    assert re.fullmatch(r"[A-Za-z0-9_-]{43}", headers["X-Delete-Key"])
    name = link.decode().rsplit("/", 1)[1]
    folder = Path(keyed.log_path).parent / "store"
    assert keyed.stored() == [(name, str(folder / (name + ".jpg")))]
    # Only the key's hash is kept beside the picture.
    assert (folder / (name + ".key")).read_text().strip() == hashlib.sha256(headers["X-Delete-Key"].encode()).hexdigest()
    status, served, body = request(keyed.port, "GET", "/" + name)
    assert (status, body) == (200, picture)  # what followed the picture's end is gone
    assert served["Content-Type"] == "image/jpeg"
    assert served["X-Content-Type-Options"] == "nosniff"
    assert "script-src" not in served["Content-Security-Policy"] and "default-src 'none'" in served[
        "Content-Security-Policy"] and "sandbox" in served["Content-Security-Policy"]
    assert served["Cache-Control"] == "public, max-age=31536000, immutable"
    assert request(keyed.port, "GET", "/" + name, headers={"If-None-Match": served["ETag"]})[0] == 304


@pytest.fixture
def app(tmp_path):
    return webservice.Service(str(tmp_path), public_base="https://pics.example.test/team/")


def test_paths_methods_and_an_unreadable_picture_get_a_status_and_a_reason(app, tmp_path):
    client = Client(app)
    reply = client.post("/team/upload.php", data=upload_body(key=None), content_type=CONTENT_TYPE.decode())
    assert reply.status_code == 200
    name = reply.get_data(as_text=True).rsplit("/", 1)[1]
    (tmp_path / "bbbbbbbbbbbbbbbbbbbbbbbbbb.jpg").symlink_to(tmp_path / "bbbbbbbbbbbbbbbbbbbbbbbbbb.jpg")
    secret = tmp_path.parent / (tmp_path.name + "-secret")
    secret.write_bytes(JPEG)
    (tmp_path / "dddddddddddddddddddddddddd.jpg").symlink_to(secret)
    os.mkfifo(tmp_path / "eeeeeeeeeeeeeeeeeeeeeeeeee.jpg")
    cases = [
        ("GET", "/team/" + name, 200, JPEG),
        ("HEAD", "/team/" + name, 200, b""),
        ("GET", "/" + name, 404, b"not found: no such picture or page\n"),  # outside the base path
        ("GET", "/team/../" + name, 404, b"not found: no such picture or page\n"),
        ("GET", "/team/%2e%2e/etc/passwd", 404, b"not found: no such picture or page\n"),
        ("GET", "/team/" + name.upper(), 404, b"not found: no such picture or page\n"),
        ("GET", "/team/upload.php", 405, b"method not allowed: /upload.php takes POST\n"),
        ("DELETE", "/team/" + name, 405, b"method not allowed: pictures and pages take GET\n"),
        ("POST", "/team/vcheck.php", 200, b"N"),
        ("GET", "/team/download/", 200, b"<html><body>Download Corvane Tool</body></html>\n"),
        ("GET", "/team/bbbbbbbbbbbbbbbbbbbbbbbbbb", 500, b"the picture could not be read\n"),
        ("GET", "/team/dddddddddddddddddddddddddd", 500, b"the picture could not be read\n"),  # a planted link
        ("GET", "/team/eeeeeeeeeeeeeeeeeeeeeeeeee", 500, b"the picture could not be read\n"),  # a planted pipe
        ("GET", "/team/" + name, 206, JPEG[10:20], {"Range": "bytes=10-19"}),
        ("GET", "/team/" + name, 206, JPEG[-5:], {"Range": "bytes=-5"}),
        ("GET", "/team/" + name, 416, b"the range is past the picture's %d bytes\n" % len(JPEG),
         {"Range": "bytes=%d-" % len(JPEG)}),
        ("GET", "/team/" + name, 200, JPEG, {"Range": "bytes=0-1", "If-Range": '"other"'}),
        ("GET", "/team/healthz", 200, b"ok\n"),
        ("GET", "/healthz", 404, b"not found: no such picture or page\n"),
    ]
    for method, path, status, body, *headers in cases:
        reply = client.open(path, method=method, headers=headers[0] if headers else None)
        assert (method, path, headers, reply.status_code, reply.get_data()) == (method, path, headers, status, body)
        assert reply.headers.get("X-Content-Type-Options") == ("nosniff" if "download" not in path else None)


def test_names_cannot_be_guessed_and_are_never_written_over(app, monkeypatch):
    client = Client(app)

    def upload():
        reply = client.post("/team/upload.php", data=upload_body(key=None), content_type=CONTENT_TYPE.decode())
        return reply.status_code, reply.get_data(as_text=True).rsplit("/", 1)[1]

    names = [upload()[1] for _ in range(100)]
    assert all(re.fullmatch(r"[a-z2-7]{26}", n) for n in names)
    assert len({n[:8] for n in names}) == 100  # no shared stem, no counter
    drawn = iter([names[0], names[1], "c" * 26])
    monkeypatch.setattr(webservice, "new_picture_name", lambda: next(drawn))
    (Path(app.store_dir) / (names[0] + ".jpg")).write_bytes(b"the first picture")
    assert upload() == (200, "c" * 26)
    assert (Path(app.store_dir) / (names[0] + ".jpg")).read_bytes() == b"the first picture"


def test_two_instances_on_one_store_behind_the_shipped_nginx_site(tmp_path):
    authority = CertificateAuthority(tmp_path / "tls", "pics.example.test")
    key_file = tmp_path / "upload.key"
    key_file.write_text(KEY)
    store = tmp_path / "store"
    instances = [ServiceProcess(tmp_path / f"instance{i}", store, "https://pics.example.test", key_file=key_file)
                 for i in (1, 2)]
    front = None
    try:
        front = Nginx(tmp_path / "nginx", [s.port for s in instances], authority.chain, authority.key)

        def https(method, path, body=None, source="127.0.0.1"):
            sock = socket.create_connection(("127.0.0.1", front.https_port), timeout=20, source_address=(source, 0))
            conn = http.client.HTTPSConnection("pics.example.test", front.https_port, timeout=20)
            conn.sock = authority.client_context().wrap_socket(sock, server_hostname="pics.example.test")
            headers = {"Content-type": CONTENT_TYPE.decode()} if body is not None else {}
            conn.request(method, path, body, headers)
            reply = conn.getresponse()
            result = reply.status, reply.read()
            conn.close()
            return result

        pictures = [jpeg((40 + i, 30), (i * 20, 90, 200)) for i in range(6)]
        links = []
        for picture in pictures:
            status, link = https("POST", "/upload.php", upload_body(picture))
            assert status == 200, link
            links.append(link.decode())
        assert all(link.startswith("https://pics.example.test/") for link in links)
        # Round robin: each instance stored some; each picture is served by whichever answers.
        assert all(instance.stored() for instance in instances)
        assert sum(len(i.stored()) for i in instances) == 6
        for link, picture in zip(links, pictures):
            assert https("GET", link[len("https://pics.example.test"):]) == (200, picture)
        # The client's own address reaches the service through nginx.
        assert https("POST", "/upload.php", upload_body(key=b"wrong"), source="127.0.0.2")[0] == 403
        assert any("refused 403 127.0.0.2 POST /upload.php: forbidden: wrong upload key" in i.log()
                   for i in instances)
    finally:
        if front is not None:
            front.stop()
        for instance in instances:
            instance.stop()


def test_php_files_the_tools_fields_under_post_not_files(tmp_path):
    """What the README tells people who write their own server, checked against PHP's own parser."""
    (tmp_path / "upload.php").write_text(
        "<?php echo json_encode(['post' => array_keys($_POST), 'files' => array_keys($_FILES),"
        " 'imagedata' => md5($_POST['imagedata'] ?? ''), 'key' => $_POST['key'] ?? null]);\n")
    port = free_port()
    php = subprocess.Popen(["php", "-S", f"127.0.0.1:{port}", "-t", str(tmp_path)], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    try:
        wait_for_port(port, php, "php -S")
        status, reply = exchange(port, post(upload_body()))
    finally:
        stop(php)
    assert status == 200
    assert json.loads(reply) == {"post": ["cv", "imagedata", "key"], "files": [],
                                 "imagedata": hashlib.md5(JPEG).hexdigest(), "key": KEY}


@pytest.fixture(scope="session")
def swift():
    """The S3 store of this run (Swift all-in-one on loopback); it fails, with
    Swift's reason, every test that needs it when it cannot start."""
    return shared_swift()


def bucket(swift, name):
    swift.client().create_bucket(Bucket=name)
    return f"s3://{name}"


def on_s3(swift, folder, store, *extra, public_base="http://corvane.net"):
    return ServiceProcess(folder, store, public_base, environment=dict(
        swift.environment(), CORVANE_S3_ENDPOINT=swift.endpoint), extra=extra)


def delete(port, name, key):
    body = field(b"name", name.encode()) + field(b"deletekey", key.encode()) + field(b"key", b"ignored") + CLOSING
    return exchange(port, post(body, target=b"/delete.php"))


def test_two_instances_on_one_bucket_store_serve_and_delete_each_others_pictures(swift, tmp_path):
    store = bucket(swift, "burst")
    instances = [on_s3(swift, tmp_path / f"i{i}", store) for i in (0, 1)]
    try:
        pictures = [jpeg((48 + i, 32), (i * 5, 80, 160)) for i in range(40)]
        replies = [None] * len(pictures)

        def client(c):
            for i in range(c, len(pictures), 8):
                replies[i] = request(instances[i % 2].port, "POST", "/upload.php", upload_body(pictures[i], None),
                                     {"Content-type": CONTENT_TYPE.decode()})
        workers = [threading.Thread(target=client, args=(c,)) for c in range(8)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        assert [(i, r[0], r[2]) for i, r in enumerate(replies) if r[0] != 200] == []
        names = [r[2].decode().rsplit("/", 1)[1] for r in replies]
        assert len(set(names)) == len(pictures)
        for i, name in enumerate(names):  # each served whole by the instance that did not store it
            assert request(instances[1 - i % 2].port, "GET", "/" + name)[::2] == (200, pictures[i])
        listed = swift.client().list_objects_v2(Bucket="burst")["Contents"]
        assert sorted(o["Key"] for o in listed) == sorted(n + ".jpg" for n in names)
        status, headers, part = request(instances[1].port, "GET", "/" + names[0], headers={"Range": "bytes=2-9"})
        assert (status, part, headers["Content-Range"]) == (206, pictures[0][2:9 + 1],
                                                           "bytes 2-9/%d" % len(pictures[0]))
        key = replies[0][1]["X-Delete-Key"]
        other = replies[1][1]["X-Delete-Key"]
        cases = [  # (instance, name, key) -> reply, in order
            (1, names[0], other, (403, b"forbidden: wrong delete key\n")),
            (1, names[0], "", (403, b"forbidden: wrong delete key\n")),
            (1, "b" * 26, key, (404, b"not found: no such picture\n")),
            (1, names[0], key, (200, b"deleted\n")),
            (0, names[0], key, (404, b"not found: no such picture\n")),
        ]
        for instance, name, given, reply in cases:
            assert (name, given, delete(instances[instance].port, name, given)) == (name, given, reply)
        assert [request(i.port, "GET", "/" + names[0])[0] for i in instances] == [404, 404]
        assert request(instances[0].port, "GET", "/" + names[1])[::2] == (200, pictures[1])
    finally:
        for instance in instances:
            instance.stop()


class StoreWithoutConditions(http.server.BaseHTTPRequestHandler):
    """An S3 endpoint that answers a conditional write with first_answer, once, as
    a store without conditional writes (or with the name taken, or failing for a
    moment) may: with or without a body to read a code from, or by dropping the
    connection unanswered (status None), or after storing it ("stored"). A name
    taken is refused with 412. Every write stored is in .objects, its metadata in
    .metadata, and whether it came with the condition in .conditional."""
    protocol_version = "HTTP/1.1"

    def log_message(self, *_):
        pass

    def do_PUT(self):
        server = self.server
        data = self.rfile.read(int(self.headers["Content-Length"]))
        if self.path in server.objects and "If-None-Match" in self.headers:
            return self._empty(412)
        if server.first_answer is not None and "If-None-Match" in self.headers:
            status, body = server.first_answer
            server.first_answer = None
            server.refused.append(self.path)
            self.close_connection = True
            if status == "stored":
                self._store(data)
            if status in (None, "stored"):
                return
            self.send_response(status)
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            return
        self._store(data)
        self.send_response(200)
        self.send_header("ETag", '"%s"' % hashlib.md5(data).hexdigest())
        self.send_header("Content-Length", "0")
        self.end_headers()


    def _store(self, data):
        self.server.objects[self.path] = data
        self.server.metadata[self.path] = {k: v for k, v in self.headers.items() if k.lower().startswith("x-amz-meta-")}
        self.server.conditional.append("If-None-Match" in self.headers)

    def _empty(self, status):
        self.send_response(status)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_HEAD(self):
        if self.path not in self.server.objects:
            return self._empty(404)
        self.send_response(200)
        for header, value in self.server.metadata[self.path].items():
            self.send_header(header, value)
        self.send_header("Content-Length", str(len(self.server.objects[self.path])))
        self.send_header("Last-Modified", "Wed, 09 Dec 2026 12:00:00 GMT")
        self.end_headers()


def s3_error(code):
    return b"<?xml version='1.0' encoding='UTF-8'?><Error><Code>%s</Code><Message>no</Message></Error>" % code


NO_CONDITIONS = {  # the first answer -> how the picture is stored, and whether still under the condition
    "501 without a body": ((501, b""), "sent again", False),
    "501 NotImplemented": ((501, s3_error(b"NotImplemented")), "sent again", False),
    "412 without a body": ((412, b""), "stored under another name", True),
    "412 PreconditionFailed": ((412, s3_error(b"PreconditionFailed")), "stored under another name", True),
    "503 SlowDown": ((503, s3_error(b"SlowDown")), "sent again", True),
    "the connection dropped": ((None, b""), "sent again", True),
    "the answer lost after the store took it": (("stored", b""), "sent again", True),
}


@pytest.mark.parametrize("first_answer, outcome, conditional", list(NO_CONDITIONS.values()), ids=list(NO_CONDITIONS))
def test_a_store_that_refuses_a_conditional_write_still_gets_the_picture_once(first_answer, outcome, conditional,
                                                                              monkeypatch):
    monkeypatch.setenv("AWS_ACCESS_KEY_ID", "tests")
    monkeypatch.setenv("AWS_SECRET_ACCESS_KEY", "tests-secret")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), StoreWithoutConditions)
    server.first_answer, server.refused, server.objects, server.metadata, server.conditional = first_answer, [], {}, {}, []
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        store = webservice.S3Store("pics", "team/", endpoint="http://127.0.0.1:%d" % server.server_port)
        reply = Client(webservice.Service(store)).post("/upload.php", data=upload_body(key=None),
                                                       content_type=CONTENT_TYPE.decode())
    finally:
        server.shutdown()
        server.server_close()
    assert reply.status_code == 200, reply.get_data()
    name = reply.get_data(as_text=True).rsplit("/", 1)[1]
    assert server.objects == {"/pics/team/%s.jpg" % name: JPEG}  # the picture, whole, once
    assert server.conditional == [conditional]  # a store failing for a moment keeps the condition
    (refused,) = server.refused
    assert (refused == "/pics/team/%s.jpg" % name) == (outcome == "sent again")


CREDENTIALS = {  # where the instance finds its credentials -> the upload's status and reason
    "the shared credentials file": ("file", 200, b""),
    "a wrong secret": ("wrong", 503, b"the store refused to store the picture: SignatureDoesNotMatch (HTTP 403)\n"),
}


@pytest.mark.parametrize("where, status, reason", list(CREDENTIALS.values()), ids=list(CREDENTIALS))
def test_the_s3_store_signs_with_the_credentials_found_where_aws_tools_look(swift, where, status, reason,
                                                                            tmp_path, monkeypatch):
    name = bucket(swift, "signed-" + where)[5:]
    for variable in ("AWS_ACCESS_KEY_ID", "AWS_SECRET_ACCESS_KEY", "AWS_SESSION_TOKEN", "AWS_PROFILE"):
        monkeypatch.delenv(variable, raising=False)
    monkeypatch.setenv("AWS_EC2_METADATA_DISABLED", "true")
    monkeypatch.setenv("AWS_SHARED_CREDENTIALS_FILE", str(tmp_path / "credentials"))
    secret = swift.secret_key if where == "file" else "not-" + swift.secret_key
    (tmp_path / "credentials").write_text(f"[default]\naws_access_key_id = {swift.access_key}\n"
                                          f"aws_secret_access_key = {secret}\n")
    store = webservice.S3Store(name, "team/", endpoint=swift.endpoint)
    reply = Client(webservice.Service(store)).post("/upload.php", data=upload_body(key=None),
                                                   content_type=CONTENT_TYPE.decode())
    assert (reply.status_code, reply.get_data() if status != 200 else b"") == (status, reason)
    stored = [(o["Key"], swift.client().get_object(Bucket=name, Key=o["Key"])["Body"].read())
              for o in swift.client().list_objects_v2(Bucket=name).get("Contents", [])]
    assert stored == ([("team/%s.jpg" % reply.get_data(as_text=True).rsplit("/", 1)[1], JPEG)] if status == 200 else [])


def test_a_store_that_stops_answering_refuses_with_503_and_stores_again_when_it_is_back(swift, tmp_path):
    instance = on_s3(swift, tmp_path / "s3", bucket(swift, "pausing"))
    folder = ServiceProcess(tmp_path / "folder", tmp_path / "store", "http://corvane.net", max_store_gb=1)
    try:
        assert exchange(instance.port, b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n") == (200, b"ok\n")
        swift.pause()
        try:
            started, answers = time.monotonic(), {}
            asks = {"upload": post(upload_body(key=None)), "health": b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"}
            askers = [threading.Thread(target=lambda k=k, raw=raw: answers.update(
                {k: (exchange(instance.port, raw), time.monotonic() - started)})) for k, raw in asks.items()]
            for asker in askers:
                asker.start()
            for asker in askers:
                asker.join()
            for what, ((status, reason), took) in answers.items():
                assert took < 30 and status == 503, (what, status, reason, took)
                assert reason.startswith(b"the store does not answer") and reason.count(b"\n") == 1
        finally:
            swift.resume()
        assert exchange(instance.port, post(upload_body(key=None)))[0] == 200
        assert exchange(instance.port, b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n") == (200, b"ok\n")
        client = swift.client()
        for item in client.list_objects_v2(Bucket="pausing").get("Contents", []):  # nothing half-stored
            head = client.head_object(Bucket="pausing", Key=item["Key"])
            assert len(head["Metadata"]["deletekey-sha256"]) == 64 and head["ContentLength"] == len(JPEG)
        # A folder store that has gone is made again.
        subprocess.run(["rm", "-rf", str(tmp_path / "store")], check=True)
        assert exchange(folder.port, post(upload_body(key=None)))[0] == 200
        assert len(os.listdir(tmp_path / "store")) == 2  # the picture and its key's hash
    finally:
        instance.stop()
        folder.stop()


def test_expired_pictures_answer_404_and_the_sweep_removes_them(swift, tmp_path):
    store = bucket(swift, "expiry") + "/team"
    lasting = on_s3(swift, tmp_path / "lasting", store)
    expiring = on_s3(swift, tmp_path / "expiring", store, "--expire-days", "0.00002")  # 1.7 s
    try:
        name = exchange(lasting.port, post(upload_body(key=None)))[1].decode().rsplit("/", 1)[1]
        deadline = time.monotonic() + 20
        while request(expiring.port, "GET", "/" + name)[0] != 404:
            assert time.monotonic() < deadline, "the picture did not expire"
            time.sleep(0.2)
        assert request(lasting.port, "GET", "/" + name)[0] == 200  # judged by age, not removed

        def sweep(days):
            done = subprocess.run([sys.executable, webservice.__file__, "--store", store, "--sweep",
                                   "--expire-days", days], capture_output=True, text=True, timeout=60,
                                  env=dict(os.environ, **swift.environment(), CORVANE_S3_ENDPOINT=swift.endpoint))
            assert done.returncode == 0, done.stdout + done.stderr
            return done.stdout, [o["Key"] for o in swift.client().list_objects_v2(
                Bucket="expiry").get("Contents", [])]
        assert sweep("1") == ("swept 0 expired pictures from %s\n" % store, ["team/%s.jpg" % name])
        assert sweep("0.00002") == ("swept 1 expired pictures from %s\n" % store, [])
    finally:
        lasting.stop()
        expiring.stop()


def test_team_keys_are_read_again_when_their_file_changes_and_the_figures_count_uploads(tmp_path):
    keys = tmp_path / "team.keys"
    keys.write_text("# the team\nalice alice-k3y\nbob bob-k3y\n")
    service = ServiceProcess(tmp_path, tmp_path / "store", "http://corvane.net",
                             extra=["--upload-keys-file", str(keys)])
    try:
        def upload(key):
            return exchange(service.port, post(upload_body(key=key)))[0]
        assert [upload(b"alice-k3y"), upload(b"bob-k3y"), upload(b"carol-k3y")] == [200, 200, 403]
        keys.write_text("bob bob-k3y\ncarol carol-k3y\n")  # alice's key revoked, carol's added
        assert [upload(b"alice-k3y"), upload(b"bob-k3y"), upload(b"carol-k3y")] == [403, 200, 200]
        owners = [line.split()[-1] for line in service.log().splitlines() if line.startswith("stored ")]
        assert owners == ["alice", "bob", "bob", "carol"]
        status, figures = exchange(service.port, b"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n")
        assert status == 200
        assert b'corvane_uploads_total{result="stored"} 4.0' in figures
        assert b'corvane_refusals_total{status="403"} 2.0' in figures
        assert b"corvane_open_connections 1.0" in figures
        # Through the proxy, for a client elsewhere: refused.
        assert exchange(service.port, b"GET /metrics HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 203.0.113.9\r\n\r\n") \
            == (403, b"forbidden: the figures are answered only to loopback and the trusted proxy\n")
    finally:
        service.stop()


def test_connections_that_send_nothing_or_trickle_are_closed_and_do_not_hold_uploads(tmp_path):
    service = ServiceProcess(tmp_path, tmp_path / "store", "http://corvane.net",
                             extra=["--request-timeout", "1.5", "--connection-limit", "50"])
    try:
        idle = [socket.create_connection(("127.0.0.1", service.port), timeout=10) for _ in range(80)]
        trickling = socket.create_connection(("127.0.0.1", service.port), timeout=10)
        raw = post(upload_body(key=None))
        started = time.monotonic()
        status = exchange(service.port, post(upload_body(key=None)))[0]  # past the connection limit
        assert status == 200 and time.monotonic() - started < 5
        for byte in raw[:40]:
            try:
                trickling.send(bytes([byte]))
            except OSError:
                break
            time.sleep(0.1)
        closed_within = []
        for s in idle[:3] + [trickling]:
            try:
                s.recv(1)
            except OSError:
                pass
            closed_within.append(time.monotonic() - started)
        assert max(closed_within) < 5, closed_within
    finally:
        for s in idle + [trickling]:
            s.close()
        service.stop()


OUT_OF_RANGE = {
    "--port 70000": (["--port", "70000"], "argument --port: a port is 0 to 65535, not 70000"),
    "--threads 0": (["--threads", "0"], "argument --threads: 1 to 256 threads, not 0"),
    "--max-picture-mb nan": (["--max-picture-mb", "nan"], "argument --max-picture-mb: a size of 0.01 to 1024 MB"),
    "--max-picture-mb inf": (["--max-picture-mb", "inf"], "argument --max-picture-mb: a size of 0.01 to 1024 MB"),
    "--max-picture-mb -1": (["--max-picture-mb", "-1"], "argument --max-picture-mb: a size of 0.01 to 1024 MB"),
    "--max-store-gb nan": (["--max-store-gb", "nan"], "argument --max-store-gb: a size in GB above 0"),
    "--expire-days 0": (["--expire-days", "0"], "argument --expire-days: a number of days above 0"),
    "--store s3://A_B": (["--store", "s3://A_B"], "not an S3 bucket name"),
    "--trusted-proxy name": (["--trusted-proxy", "proxy.example"], "--trusted-proxy takes an IP address"),
    "a bad keys line": (["--upload-keys-file", str(Path(__file__))], "line 1: not \"name key\""),
}


@pytest.mark.parametrize("argv, line", list(OUT_OF_RANGE.values()), ids=list(OUT_OF_RANGE))
def test_options_out_of_range_are_refused_at_start_with_a_clear_line(argv, line, capsys, tmp_path):
    with pytest.raises(SystemExit) as stopped:
        webservice.main(argv + ["--port-file", str(tmp_path / "port")] if "--store" in argv else
                        argv + ["--store", str(tmp_path / "store")])
    assert stopped.value.code == 2
    assert line in capsys.readouterr().err
    assert not (tmp_path / "port").exists()
