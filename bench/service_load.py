#!/usr/bin/python3
"""Load on the web service as users run it (service/webservice.py on Waitress), on
loopback. Prints figures; asserts nothing about time.

  /usr/bin/python3 bench/service_load.py [clients] [uploads-per-client] [slow-clients]

1. Burst: `clients` parallel clients (default 20) upload `uploads-per-client`
   pictures each (default 10), each upload on a connection of its own as the
   tool makes it; then every link is fetched back and compared byte for byte.
2. Slow clients: `slow-clients` connections (default 50) send an upload one byte
   a second; meanwhile one normal upload is timed, and the service's threads counted.
"""

import http.client
import io
import os
import random
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

from PIL import Image

REPO = Path(__file__).resolve().parents[1]
CONTENT_TYPE = "multipart/form-data; boundary=----BOUNDARYBOUNDARY----"
DELIMITER = b"------BOUNDARYBOUNDARY----\r\n"
CLOSING = b"------BOUNDARYBOUNDARY------\r\n"


def field(name, value):
    return DELIMITER + b'content-disposition: form-data; name="' + name + b'"\r\n\r\n' + value + b"\r\n"


def upload_body(picture):
    return field(b"cv", b"win:2.6") + field(b"imagedata", picture) + CLOSING


def picture(seed):
    """A 640x400 capture-like JPEG at quality 95: flat areas, edges and some noise."""
    rng = random.Random(seed)
    image = Image.new("RGB", (640, 400), (rng.randrange(256), rng.randrange(256), rng.randrange(256)))
    pixels = image.load()
    for _ in range(4000):
        x, y = rng.randrange(640), rng.randrange(400)
        pixels[x, y] = (rng.randrange(256), rng.randrange(256), rng.randrange(256))
    for row in range(0, 400, 40):
        for x in range(640):
            pixels[x, row] = (0, 0, 0)
    out = io.BytesIO()
    image.save(out, "JPEG", quality=95)
    return out.getvalue()


def upload(port, data):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    try:
        conn.request("POST", "/upload.php", upload_body(data), {"Content-type": CONTENT_TYPE})
        reply = conn.getresponse()
        return reply.status, reply.read().decode("latin-1")
    finally:
        conn.close()


def fetch(port, link):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    try:
        conn.request("GET", "/" + link.rsplit("/", 1)[1])
        reply = conn.getresponse()
        return reply.status, reply.read()
    finally:
        conn.close()


def threads_of(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("Threads:"):
            return int(line.split()[1])
    return -1


def burst(port, store, clients, per_client):
    pictures = [picture(i) for i in range(clients * per_client)]
    results = [None] * len(pictures)
    errors = []

    def client(c):
        for i in range(c * per_client, (c + 1) * per_client):
            started = time.monotonic()
            try:
                status, link = upload(port, pictures[i])
                results[i] = (status, link, time.monotonic() - started)
            except (OSError, http.client.HTTPException) as error:
                errors.append(f"{type(error).__name__}: {error}")

    started = time.monotonic()
    workers = [threading.Thread(target=client, args=(c,)) for c in range(clients)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    elapsed = time.monotonic() - started
    done = [r for r in results if r is not None]
    ok = [r for r in done if r[0] == 200]
    identical = sum(1 for i, r in enumerate(results) if r and r[0] == 200 and fetch(port, r[1]) == (200, pictures[i]))
    latencies = sorted(r[2] for r in done)
    resets = sum(1 for e in errors if "Reset" in e or "Broken" in e or "refused" in e)
    print(f"burst: {len(pictures)} uploads from {clients} parallel clients "
          f"({sum(map(len, pictures)) / len(pictures) / 1024:.0f} KB each) in {elapsed:.2f} s, "
          f"{len(pictures) / elapsed:.0f} uploads/s")
    print(f"  answered 200: {len(ok)}; other statuses: {len(done) - len(ok)}; connection errors: {len(errors)} "
          f"(resets {resets})")
    print(f"  files in the store: {len(os.listdir(store))}; links served back byte-identical: {identical}")
    if latencies:
        print(f"  upload time: median {statistics.median(latencies) * 1000:.0f} ms, "
              f"95th percentile {latencies[int(len(latencies) * 0.95) - 1] * 1000:.0f} ms, "
              f"longest {latencies[-1] * 1000:.0f} ms")
    for error in errors[:5]:
        print("  error:", error)


def slow_clients(port, pid, count, seconds=6):
    body = upload_body(picture(9999))
    head = (b"POST /upload.php HTTP/1.1\r\nHost: bench\r\nContent-type: " + CONTENT_TYPE.encode() +
            b"\r\nContent-Length: %d\r\n\r\n" % len(body))
    request = head + body
    socks = []
    for _ in range(count):
        s = socket.create_connection(("127.0.0.1", port), timeout=10)
        socks.append(s)
    stop = threading.Event()
    sent = [0]

    def trickle():
        at = 0
        while not stop.is_set() and at < len(request):
            for s in socks:
                try:
                    s.send(request[at:at + 1])
                except OSError:
                    pass
            at += 1
            sent[0] = at
            stop.wait(1.0)

    trickler = threading.Thread(target=trickle)
    trickler.start()
    time.sleep(2.5)  # every slow client has begun its request
    threads_during = threads_of(pid)
    timings = []
    for i in range(3):
        started = time.monotonic()
        status, _ = upload(port, picture(5000 + i))
        timings.append((status, time.monotonic() - started))
        time.sleep(0.5)
    time.sleep(max(0.0, seconds - 4))
    stop.set()
    trickler.join()
    still_open = 0
    for s in socks:
        s.setblocking(False)
        try:
            still_open += 1 if s.recv(1) == b"" else 0
        except BlockingIOError:
            still_open += 1
        except OSError:
            pass
        s.close()
    print(f"slow clients: {count} connections sending an upload a byte a second "
          f"({sent[0]} bytes each so far); service threads meanwhile: {threads_during}")
    print("  normal uploads meanwhile: " + ", ".join(f"{s} in {t * 1000:.0f} ms" for s, t in timings))
    print(f"  slow connections still open at the end: {still_open} of {count}")


def main():
    clients = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    per_client = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    slow = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    with tempfile.TemporaryDirectory(prefix="corvane-load-") as work:
        store = Path(work) / "store"
        port_file = Path(work) / "port"
        proc = subprocess.Popen([sys.executable, str(REPO / "service" / "webservice.py"), "--port", "0",
                                 "--port-file", str(port_file), "--store", str(store)],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 20
            while not port_file.exists() and time.monotonic() < deadline:
                time.sleep(0.05)
            port = int(port_file.read_text())
            print(f"service: pid {proc.pid}, port {port}, defaults (4 threads, 200 connections, backlog 1024); "
                  f"threads at rest: {threads_of(proc.pid)}")
            burst(port, store, clients, per_client)
            slow_clients(port, proc.pid, slow)
        finally:
            proc.terminate()
            proc.wait(timeout=20)


if __name__ == "__main__":
    main()
