"""The local web service: multipart parsing, proxy form, scripted answers, control."""

import base64
import http.client
import json
import os
import re
import signal
import socket
import subprocess
import sys
import time

import pytest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import webservice  # noqa: E402
from certs_for_tests import CertificateAuthority  # noqa: E402
from webservice import WebService, parse_multipart  # noqa: E402

BOUNDARY = b"----BOUNDARYBOUNDARY----"
CONTENT_TYPE = "multipart/form-data; boundary=----BOUNDARYBOUNDARY----"
DELIMITER = b"--" + BOUNDARY + b"\r\n"
CLOSING = b"--" + BOUNDARY + b"--\r\n"


def field(name, value):
    return DELIMITER + b'content-disposition: form-data; name="' + name + b'"\r\n\r\n' + value + b"\r\n"


def upload_body(picture):
    return field(b"cv", b"win:2.6") + field(b"imagedata", picture) + CLOSING


JPEG = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00"


@pytest.fixture
def ws(tmp_path):
    service = WebService(port=0, store_dir=str(tmp_path), test_controls=True).start()
    yield service
    service.stop()


def request(ws, method, target, body=None, headers=None):
    conn = http.client.HTTPConnection("127.0.0.1", ws.port, timeout=10)
    try:
        conn.putrequest(method, target, skip_host=True, skip_accept_encoding=True)
        conn.putheader("Host", "corvane.net")
        for k, v in (headers or {}).items():
            conn.putheader(k, v)
        if body is not None:
            conn.putheader("Content-Length", str(len(body)))
        conn.endheaders(body)
        reply = conn.getresponse()
        return reply.status, reply.read()
    finally:
        conn.close()


def post_upload(ws, picture, target="/upload.php"):
    return request(ws, "POST", target, upload_body(picture), {"Content-type": CONTENT_TYPE})


@pytest.mark.parametrize("picture", [
    b"\xff\xd8\xff",
    JPEG + b"\r\n\xff\xd9",
    JPEG + b"before\r\n" + DELIMITER + b"\xff\x00 the delimiter line inside a picture",
    JPEG + b"\r\n--" + BOUNDARY + b"--\r\nmore after a closing line inside the picture",
    JPEG + bytes(range(256)) * 4000,
], ids=["magic-only", "jpeg-like", "delimiter-inside", "closing-inside", "1MB"])
def test_upload_stores_the_picture_and_serves_it_at_its_link(ws, picture):
    status, link = post_upload(ws, picture)
    assert status == 200
    assert link.startswith(b"http://corvane.net/")
    upload_id = link[len(b"http://corvane.net/"):].decode()
    assert [u["id"] for u in ws.uploads] == [upload_id]
    assert ws.uploads[0]["bytes"] == picture
    assert ws.uploads[0]["path"] == os.path.join(ws.store_dir, upload_id + ".jpg")
    with open(ws.uploads[0]["path"], "rb") as f:
        assert f.read() == picture
    assert request(ws, "GET", "/" + upload_id) == (200, picture)
    assert request(ws, "GET", "http://corvane.net:80/" + upload_id) == (200, picture)


@pytest.mark.parametrize("body, content_type", [
    (b"no multipart at all", CONTENT_TYPE),
    (upload_body(b"x"), "text/plain"),
    (upload_body(b"x"), "multipart/form-data"),
    (field(b"cv", b"win:2.6") + field(b"imagedata", b"never closed"), CONTENT_TYPE),
    (field(b"cv", b"win:2.6") + CLOSING, CONTENT_TYPE),  # no picture
    (DELIMITER + b"no header end" + b"\r\n" + CLOSING, CONTENT_TYPE),
    (b"".join(field(b"f%d" % i, b"v") for i in range(40)) + CLOSING, CONTENT_TYPE),
], ids=["not-multipart", "wrong-type", "no-boundary", "unclosed", "no-picture", "no-header-end", "too-many-parts"])
def test_malformed_uploads_are_refused_and_store_nothing(ws, body, content_type):
    status, message = request(ws, "POST", "/upload.php", body, {"Content-type": content_type})
    assert status == 400 and message.startswith(b"bad request: ")
    assert ws.uploads == []
    assert os.listdir(ws.store_dir) == []


@pytest.mark.parametrize("picture, status, message", [
    (b"", 415, b"not a JPEG picture"),
    (b"\x89PNG\r\n\x1a\n", 415, b"not a JPEG picture"),
    (b"\xff\xd8", 415, b"not a JPEG picture"),
    (b"GIF89a" + JPEG, 415, b"not a JPEG picture"),
    (JPEG + b"x" * (1000 - len(JPEG)), 200, b"http://corvane.net/"),
    (JPEG + b"x" * (1001 - len(JPEG)), 413, b"too large: a picture may have at most 1000 bytes"),
    (JPEG + b"x" * 200000, 413, b"too large: a picture may have at most 1000 bytes"),  # refused before it is read
], ids=["empty", "png", "half-magic", "gif", "at-the-limit", "one-over", "far-over"])
def test_only_jpeg_pictures_within_the_size_limit_are_taken(tmp_path, picture, status, message):
    with WebService(port=0, store_dir=str(tmp_path), max_picture=1000) as service:
        got_status, reply = post_upload(service, picture)
    assert got_status == status and reply.startswith(message)
    assert len(os.listdir(tmp_path)) == (1 if status == 200 else 0)


def test_names_cannot_be_guessed_and_never_collide(ws, monkeypatch):
    links = {post_upload(ws, JPEG + b"%d" % i)[1] for i in range(200)}
    names = [link.decode().rsplit("/", 1)[1] for link in links]
    assert len(names) == 200
    # 26 lower-case base32 letters: 130 random bits, file- and URL-safe, kept whole in the client's copy name.
    assert all(re.fullmatch(r"[a-z2-7]{26}", name) for name in names)
    assert len({name[:8] for name in names}) == 200  # no shared stem, no counter
    # A name drawn again is never written over: another is drawn.
    taken = names[0]
    drawn = iter([taken, taken, "b" * 26])
    monkeypatch.setattr(webservice, "new_picture_name", lambda: next(drawn))
    assert post_upload(ws, JPEG + b"new") == (200, b"http://corvane.net/" + b"b" * 26)
    (first,) = [u["bytes"] for u in ws.uploads if u["id"] == taken]
    assert request(ws, "GET", "/" + taken) == (200, first)


def test_parser_reads_quoted_boundary_and_other_part_headers():
    body = (b"--xyz\r\nContent-Disposition: form-data; name=\"a\"\r\nContent-Type: text/plain\r\n\r\n1\r\n"
            b"--xyz\r\ncontent-disposition: form-data; name=\"b\"\r\n\r\n2\r\n--xyz--")
    assert parse_multipart(body, 'multipart/form-data; boundary="xyz"') == [("a", b"1"), ("b", b"2")]


def test_closing_lines_inside_the_picture_do_not_end_it():
    # Every bare closing line is a candidate end of the part; only the last one is.
    picture = (b"\r\n--" + BOUNDARY + b"--x") * 60000
    assert parse_multipart(upload_body(picture), CONTENT_TYPE)[1] == ("imagedata", picture)


def test_proxy_form_reaches_the_same_handlers_and_is_recorded_as_received(ws):
    status, link = post_upload(ws, JPEG, target="http://corvane.net:80/upload.php")
    assert status == 200 and link.startswith(b"http://corvane.net/")
    ws.version_reply = b"2.7"
    assert request(ws, "POST", "http://corvane.net/vcheck.php", b"v") == (200, b"2.7")
    assert [(r["method"], r["path"], r["target_path"]) for r in ws.requests] == [
        ("POST", "http://corvane.net:80/upload.php", "/upload.php"),
        ("POST", "http://corvane.net/vcheck.php", "/vcheck.php"),
    ]
    assert ws.requests[0]["body"] == upload_body(JPEG)
    assert ws.requests[0]["head"].startswith(b"POST http://corvane.net:80/upload.php HTTP/1.1\r\nHost: corvane.net\r\n")
    assert ws.requests[0]["headers"]["Content-type"] == CONTENT_TYPE


def test_scripted_answers_apply_to_their_path_for_count_requests(ws):
    ws.script("/upload.php", status=500, count=2)
    ws.script("/upload.php", status=200, body=b"http://corvane.net/fixed\n")
    ws.script("/vcheck.php", status=404)
    assert post_upload(ws, b"a") == (500, b"")
    assert post_upload(ws, b"b") == (500, b"")
    assert post_upload(ws, b"c") == (200, b"http://corvane.net/fixed\n")
    assert post_upload(ws, JPEG + b"d")[0] == 200
    assert [u["bytes"] for u in ws.uploads] == [JPEG + b"d"]
    assert request(ws, "POST", "/vcheck.php", b"v")[0] == 404
    assert request(ws, "POST", "/vcheck.php", b"v") == (200, b"N")


def test_requests_below_the_public_base_path_and_nothing_else(tmp_path):
    with WebService(port=0, store_dir=str(tmp_path), public_base="https://pics.example.test/team/") as service:
        assert post_upload(service, JPEG, target="/upload.php")[0] == 404
        status, link = post_upload(service, JPEG, target="/team/upload.php")
        assert status == 200 and link.startswith(b"https://pics.example.test/team/")
        name = link.decode().rsplit("/", 1)[1]
        assert request(service, "GET", "/team/" + name) == (200, JPEG)
        assert request(service, "GET", "/" + name)[0] == 404
        assert request(service, "POST", "/team/vcheck.php", b"v") == (200, b"N")
        assert request(service, "GET", "/team/upload.php")[0] == 405
        assert request(service, "DELETE", "/team/" + name)[0] == 405


def test_without_test_controls_nothing_is_recorded_or_obeyed(tmp_path):
    with WebService(port=0, store_dir=str(tmp_path)) as service:
        service.script("/upload.php", status=500)
        assert request(service, "POST", "/_control/reset", b"") == (404, b"not found: no such picture or page\n")
        status, link = post_upload(service, JPEG)
        assert status == 200
        assert request(service, "GET", "/" + link.decode().rsplit("/", 1)[1]) == (200, JPEG)
        assert service.requests == [] and service.uploads == []
        assert request(service, "CONNECT", "pics.example.test:443")[0] == 405


@pytest.fixture(scope="module")
def authority(tmp_path_factory):
    return CertificateAuthority(tmp_path_factory.mktemp("tls"), "pics.example.test")


def test_https_directly_and_through_a_test_tunnel(tmp_path, authority):
    store = str(tmp_path)
    with WebService(port=0, store_dir=store, public_base="https://pics.example.test",
                    tls_context=authority.server_context()) as service:
        conn = http.client.HTTPSConnection("127.0.0.1", service.port, timeout=10,
                                           context=authority.client_context())
        # The name the certificate holds, on a socket to the loopback address.
        conn.sock = authority.client_context().wrap_socket(socket.create_connection(("127.0.0.1", service.port)),
                                                           server_hostname="pics.example.test")
        conn.request("POST", "/upload.php", upload_body(JPEG), {"Content-type": CONTENT_TYPE})
        reply = conn.getresponse()
        assert (reply.status, reply.read()[:26]) == (200, b"https://pics.example.test/")
        conn.close()
    with WebService(port=0, store_dir=store, public_base="https://pics.example.test",
                    test_controls=True) as service:
        service.tunnel_context = authority.server_context()
        conn = http.client.HTTPSConnection("127.0.0.1", service.port, timeout=10,
                                           context=authority.client_context())
        conn.set_tunnel("pics.example.test", 443)
        conn.request("POST", "/vcheck.php", b"v")
        assert conn.getresponse().read() == b"N"
        conn.close()
        assert [(r["method"], r["tunnel"]) for r in service.requests] == [
            ("CONNECT", None), ("POST", "pics.example.test:443")]


def test_delay_and_drop(ws):
    ws.script("/vcheck.php", delay=0.5, body=b"2.7")
    started = time.monotonic()
    assert request(ws, "POST", "/vcheck.php", b"v") == (200, b"2.7")
    assert time.monotonic() - started >= 0.5
    ws.script("/upload.php", drop=True)
    with pytest.raises((http.client.RemoteDisconnected, ConnectionError)):
        post_upload(ws, b"x")
    assert ws.uploads == []
    # A dropped request is still recorded, as not answered.
    assert [r["answered"] for r in ws.requests] == [True, False]


def test_oversized_body_is_refused_before_it_is_read(ws):
    conn = http.client.HTTPConnection("127.0.0.1", ws.port, timeout=10)
    conn.putrequest("POST", "/upload.php")
    conn.putheader("Content-Length", str(1 << 40))
    conn.endheaders()
    assert conn.getresponse().status == 413
    conn.close()


def test_control_over_http(ws):
    script = {"path": "/upload.php", "status": 200, "body": base64.b64encode(b"http://corvane.net/x").decode()}
    assert request(ws, "POST", "/_control/script", json.dumps(script).encode())[0] == 200
    assert request(ws, "POST", "/_control/version", b"3.1")[0] == 200
    assert post_upload(ws, b"P") == (200, b"http://corvane.net/x")
    assert request(ws, "POST", "http://corvane.net:80/vcheck.php", b"v") == (200, b"3.1")
    status, listing = request(ws, "GET", "/_control/requests")
    records = json.loads(listing)
    assert status == 200
    assert [r["target_path"] for r in records] == ["/upload.php", "/vcheck.php"]  # control is not recorded
    assert base64.b64decode(records[0]["body"]) == upload_body(b"P")
    assert request(ws, "GET", "/_control/last_body") == (200, b"v")
    assert request(ws, "POST", "/_control/script", b"{not json")[0] == 400
    assert request(ws, "POST", "/_control/reset", b"")[0] == 200
    assert ws.requests == [] and ws.version_reply == b"N"


@pytest.mark.parametrize("spec", [
    b"[1, 2]", b"\"text\"", b"null", b'{"count": 1e400}', b'{"status": 1e400}',
    b'{"status": 99999}', b'{"status": 99}', b'{"status": true}',
], ids=["list", "string", "null", "huge-count", "huge-status", "status-too-big", "status-too-small", "status-bool"])
def test_bad_scripts_are_refused_and_the_service_carries_on(ws, spec):
    status, reply = request(ws, "POST", "/_control/script", spec)
    assert status == 400 and reply.startswith(b"bad control request")
    assert post_upload(ws, JPEG)[0] == 200  # nothing was scripted


def test_request_log_keeps_every_record_but_drops_the_oldest_bodies_past_its_byte_limit(ws, monkeypatch):
    monkeypatch.setattr(webservice, "MAX_RECORDED_BYTES", 250)
    for body in [b"a" * 100, b"b" * 100, b"c" * 100, b"d" * 100]:
        request(ws, "POST", "/vcheck.php", body)
    assert [r["body"] for r in ws.requests] == [b"", b"", b"c" * 100, b"d" * 100]
    assert [r.get("body_dropped", False) for r in ws.requests] == [True, True, False, False]
    assert request(ws, "GET", "/_control/last_body") == (200, b"d" * 100)
    request(ws, "POST", "/_control/reset", b"")
    request(ws, "POST", "/vcheck.php", b"e" * 200)
    assert [r["body"] for r in ws.requests] == [b"e" * 200]  # reset forgets the bytes counted


def test_own_store_folder_goes_on_stop_even_after_a_reset():
    service = WebService(port=0, test_controls=True).start()
    try:
        assert post_upload(service, JPEG)[0] == 200
        store = service.store_dir
        service.reset()
        assert os.listdir(store) != []
    finally:
        service.stop()
    assert not os.path.exists(store)


def test_unknown_paths_and_ids_are_not_found(ws):
    for target in ["/nothere", "/../etc/passwd", "/%2e%2e/x", "/abc.jpg", "/_control/nothing"]:
        assert request(ws, "GET", target)[0] == 404


def test_command_line_writes_its_port_reports_every_stored_picture_and_stops_on_sigterm(tmp_path):
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "webservice.py")
    port_file = tmp_path / "port"
    store = tmp_path / "store"
    proc = subprocess.Popen([sys.executable, script, "--port-file", str(port_file), "--store", str(store),
                             "--port", "0", "--public-base", "http://example.test", "--test-controls",
                             "--version-reply", "9.9"],
                            stdout=subprocess.PIPE, text=True)
    try:
        for _ in range(100):
            if port_file.exists():
                break
            time.sleep(0.1)
        port = int(port_file.read_text())

        def send(target, body, headers=None):
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            try:
                conn.request("POST", target, body, headers or {})
                return conn.getresponse().read()
            finally:
                conn.close()
        assert send("/vcheck.php", b"v") == b"9.9"
        links = [send("/upload.php", upload_body(JPEG + b"1"), {"Content-type": CONTENT_TYPE})]
        send("/_control/reset", b"")  # forgets the first upload: the second must still be reported
        links.append(send("/upload.php", upload_body(JPEG + b"2"), {"Content-type": CONTENT_TYPE}))
        assert all(link.startswith(b"http://example.test/") for link in links)
        proc.send_signal(signal.SIGTERM)
        out, _ = proc.communicate(timeout=10)
        assert proc.returncode == 0
        stored = [line.split() for line in out.splitlines() if line.startswith("stored ")]
        assert [(s[1], s[2]) for s in stored] == [
            (link.decode().rsplit("/", 1)[1], str(store / (link.decode().rsplit("/", 1)[1] + ".jpg"))) for link in links]
        assert "listening on %d" % port in out.splitlines()
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
