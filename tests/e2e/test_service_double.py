"""The web service's double: proxy form, scripted answers, records, control,
CONNECT tunnels. Its normal answers are the service's own application's."""

import base64
import http.client
import io
import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time

import pytest
from PIL import Image

import service_double
from certs_for_tests import CertificateAuthority
from service_double import ServiceDouble

BOUNDARY = b"----BOUNDARYBOUNDARY----"
CONTENT_TYPE = "multipart/form-data; boundary=----BOUNDARYBOUNDARY----"
DELIMITER = b"--" + BOUNDARY + b"\r\n"
CLOSING = b"--" + BOUNDARY + b"--\r\n"


def field(name, value):
    return DELIMITER + b'content-disposition: form-data; name="' + name + b'"\r\n\r\n' + value + b"\r\n"


def upload_body(picture):
    return field(b"cv", b"win:2.6") + field(b"imagedata", picture) + CLOSING


def jpeg(colour=(200, 30, 30)):
    out = io.BytesIO()
    Image.new("RGB", (8, 6), colour).save(out, "JPEG")
    return out.getvalue()


JPEG = jpeg()


@pytest.fixture
def ws(tmp_path):
    service = ServiceDouble(port=0, store_dir=str(tmp_path)).start()
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


def test_proxy_form_reaches_the_service_and_is_recorded_as_received(ws):
    status, link = post_upload(ws, JPEG, target="http://corvane.net:80/upload.php")
    assert status == 200 and link.startswith(b"http://corvane.net/")
    name = link.decode().rsplit("/", 1)[1]
    assert [(u["id"], u["bytes"]) for u in ws.uploads] == [(name, JPEG)]
    assert request(ws, "GET", "http://corvane.net:80/" + name) == (200, JPEG)
    ws.version_reply = b"2.7"
    assert request(ws, "POST", "http://corvane.net/vcheck.php", b"v") == (200, b"2.7")
    assert [(r["method"], r["path"], r["target_path"]) for r in ws.requests] == [
        ("POST", "http://corvane.net:80/upload.php", "/upload.php"),
        ("GET", "http://corvane.net:80/" + name, "/" + name),
        ("POST", "http://corvane.net/vcheck.php", "/vcheck.php"),
    ]
    assert ws.requests[0]["body"] == upload_body(JPEG)
    assert ws.requests[0]["head"].startswith(b"POST http://corvane.net:80/upload.php HTTP/1.1\r\nHost: corvane.net\r\n")
    assert ws.requests[0]["headers"]["Content-type"] == CONTENT_TYPE
    # What the service refuses, the double refuses alike.
    assert post_upload(ws, b"\xff\xd8\xff<html>") == (415, b"not a JPEG picture: only JPEG pictures are taken\n")


def test_scripted_answers_apply_to_their_path_for_count_requests(ws):
    ws.script("/upload.php", status=500, count=2)
    ws.script("/upload.php", status=200, body=b"http://corvane.net/fixed\n")
    ws.script("/vcheck.php", status=404)
    assert post_upload(ws, b"a") == (500, b"")
    assert post_upload(ws, b"b") == (500, b"")
    assert post_upload(ws, b"c") == (200, b"http://corvane.net/fixed\n")
    assert post_upload(ws, JPEG)[0] == 200
    assert [u["bytes"] for u in ws.uploads] == [JPEG]
    assert request(ws, "POST", "/vcheck.php", b"v")[0] == 404
    assert request(ws, "POST", "/vcheck.php", b"v") == (200, b"N")


def test_a_tunnel_ends_in_tls_here_or_is_passed_on(tmp_path):
    authority = CertificateAuthority(tmp_path / "tls", "pics.example.test")
    with ServiceDouble(port=0, store_dir=str(tmp_path), public_base="https://pics.example.test") as service:
        service.tunnel_context = authority.server_context()
        conn = http.client.HTTPSConnection("127.0.0.1", service.port, timeout=10,
                                           context=authority.client_context())
        conn.set_tunnel("pics.example.test", 443)
        conn.request("POST", "/vcheck.php", b"v")
        assert conn.getresponse().read() == b"N"
        conn.close()
        assert [(r["method"], r["tunnel"]) for r in service.requests] == [
            ("CONNECT", None), ("POST", "pics.example.test:443")]

        # Passed on: the bytes reach whatever listens at tunnel_to, here an echo of one line.
        listener = socket.create_server(("127.0.0.1", 0))
        service.reset()
        service.tunnel_to = listener.getsockname()[1]

        def echo():
            peer, _ = listener.accept()
            with peer:
                peer.sendall(peer.recv(100).upper())
        threading.Thread(target=echo, daemon=True).start()
        with socket.create_connection(("127.0.0.1", service.port), timeout=10) as client:
            client.sendall(b"CONNECT pics.example.test:443 HTTP/1.1\r\nHost: pics.example.test:443\r\n\r\n")
            head = b""
            while not head.endswith(b"\r\n\r\n"):
                head += client.recv(1)
            assert head.startswith(b"HTTP/1.1 200 Connection established\r\n")
            client.sendall(b"hello through")
            assert client.recv(100) == b"HELLO THROUGH"
        listener.close()
        assert [r["method"] for r in service.requests] == ["CONNECT"]


def test_delay_and_drop(ws):
    ws.script("/vcheck.php", delay=0.5, body=b"2.7")
    started = time.monotonic()
    assert request(ws, "POST", "/vcheck.php", b"v") == (200, b"2.7")
    assert time.monotonic() - started >= 0.5
    ws.script("/upload.php", drop=True)
    with pytest.raises((http.client.RemoteDisconnected, ConnectionError)):
        post_upload(ws, JPEG)
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
def test_bad_scripts_are_refused_and_the_double_carries_on(ws, spec):
    status, reply = request(ws, "POST", "/_control/script", spec)
    assert status == 400 and reply.startswith(b"bad control request")
    assert post_upload(ws, JPEG)[0] == 200  # nothing was scripted


def test_request_log_keeps_every_record_but_drops_the_oldest_bodies_past_its_byte_limit(ws, monkeypatch):
    monkeypatch.setattr(service_double, "MAX_RECORDED_BYTES", 250)
    for body in [b"a" * 100, b"b" * 100, b"c" * 100, b"d" * 100]:
        request(ws, "POST", "/vcheck.php", body)
    assert [r["body"] for r in ws.requests] == [b"", b"", b"c" * 100, b"d" * 100]
    assert [r.get("body_dropped", False) for r in ws.requests] == [True, True, False, False]
    assert request(ws, "GET", "/_control/last_body") == (200, b"d" * 100)
    request(ws, "POST", "/_control/reset", b"")
    request(ws, "POST", "/vcheck.php", b"e" * 200)
    assert [r["body"] for r in ws.requests] == [b"e" * 200]  # reset forgets the bytes counted


def test_own_store_folder_goes_on_stop_even_after_a_reset():
    service = ServiceDouble(port=0).start()
    try:
        assert post_upload(service, JPEG)[0] == 200
        store = service.store_dir
        service.reset()
        assert os.listdir(store) != []
    finally:
        service.stop()
    assert not os.path.exists(store)


def test_command_line_writes_its_port_reports_every_stored_picture_and_stops_on_sigterm(tmp_path):
    port_file = tmp_path / "port"
    store = tmp_path / "store"
    proc = subprocess.Popen([sys.executable, service_double.__file__, "--port-file", str(port_file),
                             "--store", str(store), "--public-base", "http://example.test"],
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
        links = [send("/upload.php", upload_body(JPEG), {"Content-type": CONTENT_TYPE})]
        send("/_control/reset", b"")  # forgets the first upload: the second must still be reported
        links.append(send("/upload.php", upload_body(jpeg((1, 2, 3))), {"Content-type": CONTENT_TYPE}))
        assert all(link.startswith(b"http://example.test/") for link in links)
        proc.send_signal(signal.SIGTERM)
        out, _ = proc.communicate(timeout=10)
        assert proc.returncode == 0
        stored = [line.split() for line in out.splitlines() if line.startswith("stored ")]
        names = [link.decode().rsplit("/", 1)[1] for link in links]
        assert [(s[1], s[2]) for s in stored] == [(n, str(store / (n + ".jpg"))) for n in names]
        assert "listening on %d" % port in out.splitlines()
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
