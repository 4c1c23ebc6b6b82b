#!/usr/bin/python3
"""Load on the web service as users run it (service/webservice.py on Waitress), on
loopback. Prints figures; asserts nothing about time.

1. Burst: `clients` parallel clients (default 20) upload `uploads-per-client`
   pictures each (default 10) over two instances, each upload on a connection of
   its own as the tool makes it; then every link is fetched back from the other
   instance and compared byte for byte. On a folder and on a bucket of an S3
   store (Swift on loopback, set up as its .settings line says), both warmed up
   alike and then measured in turns, `rounds` times (default 3), and the ratio
   of their median uploads per second.
2. Serving: the memory of an instance on the bucket while 20 clients fetch
   10 MB pictures.
3. Slow clients: `slow-clients` connections (default 50) send an upload one byte
   a second; meanwhile normal uploads are timed, and the service's threads counted.
4. Idle clients: `idle-clients` connections (default 1000) that send nothing;
   meanwhile an upload is timed, and how long they stay open.
5. Behind nginx: the shipped site with TLS in front of the two folder instances;
   `trickling-clients` (default 500, from many loopback addresses) send an
   upload's body a byte a second, and uploads from another address are timed
   before and meanwhile.

  /usr/bin/python3 bench/service_load.py [clients] [uploads-per-client] [slow-clients] [idle-clients]
                                         [trickling-clients] [rounds]
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
sys.path.insert(0, str(REPO / "tests" / "e2e"))
from certs_for_tests import CertificateAuthority  # noqa: E402
from deployment import Nginx, SwiftS3  # noqa: E402
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


def family(pids):
    """{pid: /proc stat fields} of the processes and their children (workers too)."""
    parents, fields_of = {}, {}
    for entry in Path("/proc").iterdir():
        try:
            fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
            parents.setdefault(int(fields[1]), []).append(int(entry.name))
            fields_of[int(entry.name)] = fields
        except (OSError, ValueError):
            continue
    seen, todo = {}, list(pids)
    while todo:
        pid = todo.pop()
        if pid in seen or pid not in fields_of:
            continue
        seen[pid] = fields_of[pid]
        todo += parents.get(pid, [])
    return seen


def cpu_seconds(pids):
    """CPU time used so far by the processes and their children."""
    tick = os.sysconf("SC_CLK_TCK")
    return sum(int(f[11]) + int(f[12]) for f in family(pids).values()) / tick


def pin(pids, cpus):
    """The processes, their children and every thread of theirs kept to the cpus."""
    for pid in family(pids):
        try:
            for task in Path(f"/proc/{pid}/task").iterdir():
                os.sched_setaffinity(int(task.name), cpus)
        except OSError:
            continue


def burst(ports, stored, pictures, clients, per_client, what, service_pids=(), store_pids=()):
    """clients upload per_client pictures each over the instances at ports, and
    every link is fetched back from the other instance; stored(names) is how many
    of the names the store holds. (uploads per second, instances' CPU per upload)."""
    pictures = pictures[:clients * per_client]
    results = [None] * len(pictures)
    errors = []

    def client(c):
        for i in range(c * per_client, (c + 1) * per_client):
            started = time.monotonic()
            try:
                status, link = upload(ports[i % 2], pictures[i])
                results[i] = (status, link, time.monotonic() - started)
            except (OSError, http.client.HTTPException) as error:
                errors.append(f"{type(error).__name__}: {error}")

    cpu_before = cpu_seconds(service_pids), cpu_seconds(store_pids)
    started = time.monotonic()
    workers = [threading.Thread(target=client, args=(c,)) for c in range(clients)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    elapsed = time.monotonic() - started
    cpu_service, cpu_store = cpu_seconds(service_pids) - cpu_before[0], cpu_seconds(store_pids) - cpu_before[1]
    load = os.getloadavg()[0]
    done = [r for r in results if r is not None]
    ok = [r for r in done if r[0] == 200]
    identical = sum(1 for i, r in enumerate(results)
                    if r and r[0] == 200 and fetch(ports[1 - i % 2], r[1]) == (200, pictures[i]))
    latencies = sorted(r[2] for r in done)
    resets = sum(1 for e in errors if "Reset" in e or "Broken" in e or "refused" in e)
    print(f"burst on {what}: {len(pictures)} uploads from {clients} parallel clients over two instances "
          f"({sum(map(len, pictures)) / len(pictures) / 1024:.0f} KB each) in {elapsed:.2f} s, "
          f"{len(pictures) / elapsed:.0f} uploads/s")
    print(f"  answered 200: {len(ok)}; other statuses: {len(done) - len(ok)}; connection errors: {len(errors)} "
          f"(resets {resets}); in the store: {stored([r[1].rsplit('/', 1)[1] for r in ok])}; served back "
          f"byte-identical by the other instance: {identical}")
    print(f"  CPU while uploading: the instances {cpu_service:.2f} s"
          + (f", the object store {cpu_store:.2f} s" if store_pids else "")
          + f"; the machine's load average {load:.1f}")
    if latencies:
        print(f"  upload time: median {statistics.median(latencies) * 1000:.0f} ms, "
              f"95th percentile {latencies[int(len(latencies) * 0.95) - 1] * 1000:.0f} ms, "
              f"longest {latencies[-1] * 1000:.0f} ms")
    for error in errors[:5]:
        print("  error:", error)
    return len(pictures) / elapsed, cpu_service / len(pictures), cpu_store / len(pictures)


def warm_up(ports, clients):
    """What a service that has been running has done: each client's first upload
    (a connection pool filled, a store's first answers cached), on every instance."""
    pictures = [picture(100000 + c) for c in range(clients)]
    workers = [threading.Thread(target=upload, args=(ports[c % len(ports)], pictures[c])) for c in range(clients)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()


def memory_of(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) // 1024
    return -1


def serving(port, pid, clients=20, rounds=3):
    """Memory of the instance while clients fetch 10 MB pictures."""
    from PIL import Image
    image = Image.frombytes("RGB", (2800, 1900), os.urandom(2800 * 1900 * 3))
    out = io.BytesIO()
    image.save(out, "JPEG", quality=100)
    big = out.getvalue()
    links = [upload(port, big)[1] for _ in range(2)]
    before = memory_of(pid)
    peak = [before]
    stop = threading.Event()

    def watch():
        while not stop.is_set():
            peak[0] = max(peak[0], memory_of(pid))
            stop.wait(0.05)
    watcher = threading.Thread(target=watch)
    watcher.start()
    whole = []

    def client(c):
        for r in range(rounds):
            whole.append(fetch(port, links[(c + r) % 2]) == (200, big))
    started = time.monotonic()
    workers = [threading.Thread(target=client, args=(c,)) for c in range(clients)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    elapsed = time.monotonic() - started
    stop.set()
    watcher.join()
    print(f"serving: {clients} clients fetched a {len(big) / 1e6:.1f} MB picture {rounds} times each in "
          f"{elapsed:.1f} s ({sum(whole)} of {len(whole)} whole); instance memory {before} MB before, "
          f"{peak[0]} MB at most meanwhile")


def idle_clients(port, pid, count):
    socks = []
    for _ in range(count):
        try:
            socks.append(socket.create_connection(("127.0.0.1", port), timeout=30))
        except OSError:
            break
    time.sleep(0.5)
    started = time.monotonic()
    status, _ = upload(port, picture(7777))
    took = time.monotonic() - started
    closed = []
    for s in socks:
        try:
            s.recv(1)
        except OSError:
            pass
        closed.append(time.monotonic() - started)
        s.close()
    print(f"idle clients: {len(socks)} connections that send nothing; an upload meanwhile: {status} in "
          f"{took * 1000:.0f} ms; the idle ones closed by the service after at most {max(closed or [0]):.1f} s")


def slow_clients(port, pid, count, seconds=14):
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
            s.recv(1)  # b"" or the service's reply: it has closed or is closing
        except BlockingIOError:
            still_open += 1
        except OSError:
            pass
        s.close()
    print(f"slow clients: {count} connections sending an upload a byte a second "
          f"({sent[0]} bytes each so far); service threads meanwhile: {threads_during}")
    print("  normal uploads meanwhile: " + ", ".join(f"{s} in {t * 1000:.0f} ms" for s, t in timings))
    print(f"  slow connections still open at the end: {still_open} of {count}")


HOST = "shots.bench.test"


def through_nginx(front, authority, body, source="127.0.0.1"):
    """(status, seconds) of one upload over TLS through nginx, handshake included."""
    started = time.monotonic()
    sock = socket.create_connection(("127.0.0.1", front.https_port), timeout=60, source_address=(source, 0))
    conn = http.client.HTTPSConnection(HOST, front.https_port, timeout=60)
    conn.sock = authority.client_context().wrap_socket(sock, server_hostname=HOST)
    try:
        conn.request("POST", "/upload.php", body, {"Content-type": CONTENT_TYPE})
        reply = conn.getresponse()
        reply.read()
        return reply.status, time.monotonic() - started
    finally:
        conn.close()


def behind_nginx(work, ports, count, seconds=20):
    """Trickling clients against the shipped nginx site: what another client's upload takes meanwhile."""
    authority = CertificateAuthority(Path(work) / "tls", HOST)
    front = Nginx(Path(work) / "nginx", ports, authority.chain, authority.key)
    try:
        body = upload_body(picture(4242))
        head = (b"POST /upload.php HTTP/1.1\r\nHost: " + HOST.encode() + b"\r\nContent-type: " +
                CONTENT_TYPE.encode() + b"\r\nContent-Length: %d\r\n\r\n" % len(body))

        def timed(rounds):
            return [through_nginx(front, authority, upload_body(picture(6000 + i))) for i in range(rounds)]
        before = timed(10)
        # The site lets one address hold 16 connections: the trickling clients come from many.
        sources = [f"127.0.0.{2 + i % 200}" for i in range(count)]
        socks, refused = [], 0
        context = authority.client_context()
        for source in sources:
            try:
                raw = socket.create_connection(("127.0.0.1", front.https_port), timeout=10,
                                               source_address=(source, 0))
                s = context.wrap_socket(raw, server_hostname=HOST)
                s.sendall(head)
                socks.append(s)
            except OSError:
                refused += 1
        stop = threading.Event()

        def trickle():
            at = 0
            while not stop.is_set() and at < len(body):
                for s in list(socks):
                    try:
                        s.send(body[at:at + 1])
                    except OSError:
                        socks.remove(s)
                at += 1
                stop.wait(1.0)
        trickler = threading.Thread(target=trickle)
        trickler.start()
        meanwhile = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            meanwhile += timed(1)
            time.sleep(0.5)
        stop.set()
        trickler.join()
        still = len(socks)
        for s in socks:
            s.close()

        def figures(timings):
            took = sorted(t for _, t in timings)
            statuses = sorted({s for s, _ in timings})
            return (f"{len(took)} uploads, statuses {statuses}, median {statistics.median(took) * 1000:.0f} ms, "
                    f"longest {took[-1] * 1000:.0f} ms")
        print(f"behind nginx (the shipped site, TLS, {len(ports)} instances): {count} clients sending an "
              f"upload's body a byte a second from {len(set(sources))} addresses ({refused} could not connect, "
              f"{still} still connected at the end)")
        print("  uploads from another address before: " + figures(before))
        print("  uploads from another address meanwhile: " + figures(meanwhile))
        slowest = max(t for _, t in meanwhile) - statistics.median(t for _, t in before)
        print(f"  the slowest upload meanwhile took {slowest * 1000:.0f} ms longer than the median before")
        errors = [l for l in front.error_log().splitlines() if "worker_connections" in l or "Too many" in l]
        if errors:
            print("  nginx:", errors[0])
    finally:
        front.stop()


def start(work, tag, store, env=None):
    port_file = Path(work) / f"{tag}.port"
    proc = subprocess.Popen([sys.executable, str(REPO / "service" / "webservice.py"), "--port", "0",
                             "--port-file", str(port_file), "--store", store],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ, **(env or {})))
    deadline = time.monotonic() + 20
    while not port_file.exists() and time.monotonic() < deadline:
        time.sleep(0.05)
    return proc, int(port_file.read_text())


def main():
    clients = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    per_client = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    slow = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    idle = int(sys.argv[4]) if len(sys.argv) > 4 else 1000
    trickling = int(sys.argv[5]) if len(sys.argv) > 5 else 500
    rounds = int(sys.argv[6]) if len(sys.argv) > 6 else 3
    procs, swift = [], None
    with tempfile.TemporaryDirectory(prefix="corvane-load-") as work:
        try:
            # Both stores are set up before either is measured, and measured in turns, so that
            # each meets the same machine: the same clients, pictures, warm-up and neighbours.
            store = Path(work) / "store"
            swift = SwiftS3(Path(work) / "swift")
            swift.client().create_bucket(Bucket="load")
            for tag in ("folder1", "folder2"):
                procs.append(start(work, tag, str(store)))
            env = dict(swift.environment(), CORVANE_S3_ENDPOINT=swift.endpoint)
            on_bucket = [start(work, tag, "s3://load", env) for tag in ("s3a", "s3b")]
            procs += on_bucket
            pid, port = procs[0][0].pid, procs[0][1]
            print(f"service: pid {pid}, port {port}, defaults (4 threads, 2000 connections, backlog 1024); "
                  f"threads at rest: {threads_of(pid)}")
            print(f"object store: {swift.settings}")

            def in_folder(names):
                return sum((store / (name + ".jpg")).is_file() for name in names)

            def in_bucket(names):
                keys = {item["Key"] for page in swift.client().get_paginator("list_objects_v2").paginate(Bucket="load")
                        for item in page.get("Contents", [])}
                return sum(name + ".jpg" in keys for name in names)
            pictures = [picture(i) for i in range(clients * per_client)]
            folder_ports, bucket_ports = [p for _, p in procs[:2]], [p for _, p in on_bucket]
            warm_up(folder_ports, clients)
            warm_up(bucket_ports, clients)
            figures = []
            for turn in range(1, rounds + 1):
                print(f"round {turn} of {rounds}:")
                folder = burst(folder_ports, in_folder, pictures, clients, per_client, "a folder",
                               service_pids=[p.pid for p, _ in procs[:2]])
                bucket = burst(bucket_ports, in_bucket, pictures, clients, per_client, "an S3 bucket",
                               service_pids=[p.pid for p, _ in on_bucket], store_pids=[p.pid for p, _ in swift.procs])
                figures.append((folder, bucket))
                print(f"  uploads per second on the bucket against the folder: {bucket[0] / folder[0]:.2f}")
            folder_rate = statistics.median(f[0] for f, _ in figures)
            s3_rate = statistics.median(b[0] for _, b in figures)
            on_bucket_cpu, on_folder_cpu = (statistics.median(b[1] for _, b in figures),
                                            statistics.median(f[1] for f, _ in figures))
            print(f"uploads per second, the median of {rounds} rounds: {folder_rate:.0f} on the folder, "
                  f"{s3_rate:.0f} on the bucket: {s3_rate / folder_rate:.2f}")
            # The folder's uploads are bound by this machine's CPU, and on the bucket the object
            # store, which a deployment runs on machines of its own, takes its part of the same cores.
            print(f"  CPU per upload: the instances {on_bucket_cpu * 1000:.1f} ms on the bucket, "
                  f"{on_folder_cpu * 1000:.1f} ms on the folder ({on_folder_cpu / on_bucket_cpu:.2f}); the object "
                  f"store {statistics.median(b[2] for _, b in figures) * 1000:.1f} ms more on the same cores")
            # A deployment runs its object store on machines of its own. Here it can have a
            # core of its own: the instances and the clients keep to the other one, on both
            # stores alike, so the service side has the same machine in both measurements.
            cores = sorted(os.sched_getaffinity(0))
            if len(cores) >= 2:
                service_side, store_side = {cores[0]}, set(cores[1:])
                everything = set(cores)
                pin([os.getpid()] + [p.pid for p, _ in procs], service_side)
                pin([p.pid for p, _ in swift.procs], store_side)
                split = []
                for turn in range(1, rounds + 1):
                    print(f"round {turn} of {rounds}, the object store on its own core(s) {sorted(store_side)}, "
                          f"the instances and clients on core {cores[0]}:")
                    folder = burst(folder_ports, in_folder, pictures, clients, per_client, "a folder",
                                   service_pids=[p.pid for p, _ in procs[:2]])
                    bucket = burst(bucket_ports, in_bucket, pictures, clients, per_client, "an S3 bucket",
                                   service_pids=[p.pid for p, _ in on_bucket],
                                   store_pids=[p.pid for p, _ in swift.procs])
                    split.append((folder[0], bucket[0]))
                    print(f"  uploads per second on the bucket against the folder: {bucket[0] / folder[0]:.2f}")
                pin([os.getpid()] + [p.pid for p, _ in procs] + [p.pid for p, _ in swift.procs], everything)
                split_folder, split_bucket = (statistics.median(f for f, _ in split),
                                              statistics.median(b for _, b in split))
                print(f"uploads per second with the object store on a core of its own, the median of {rounds} "
                      f"rounds: {split_folder:.0f} on the folder, {split_bucket:.0f} on the bucket: "
                      f"{split_bucket / split_folder:.2f}")
            serving(on_bucket[0][1], on_bucket[0][0].pid)
            slow_clients(port, pid, slow)
            idle_clients(port, pid, idle)
            behind_nginx(work, [p for _, p in procs[:2]], trickling)
        finally:
            for proc, _ in procs:
                proc.terminate()
                proc.wait(timeout=20)
            if swift is not None:
                swift.stop()


if __name__ == "__main__":
    main()
