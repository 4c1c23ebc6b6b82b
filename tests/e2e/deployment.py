"""The shipped deployment files, run for a test: the service started with the
systemd unit's command line, and nginx with the shipped site. Both are changed
only where a test machine must differ: paths, ports (on loopback) and the
certificate files."""

import os
import pwd
import re
import shlex
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
DEPLOY = REPO / "service" / "deploy"
UNIT = DEPLOY / "corvane-service@.service"
SITE = DEPLOY / "corvane-nginx.conf"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ipv6_loopback():
    """True when ::1 can be listened on (a container may run without IPv6)."""
    try:
        with socket.socket(socket.AF_INET6) as s:
            s.bind(("::1", 0))
        return True
    except OSError:
        return False


def wait_for_port(port, proc, what, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            raise RuntimeError(f"{what} ended with code {proc.returncode}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(f"{what} did not listen on {port} within {timeout} s")


def stop(proc, sig=signal.SIGTERM):
    if proc.poll() is None:
        proc.send_signal(sig)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(timeout=10)


class ServiceProcess:
    """One service instance as the unit starts it, on a port of its own choosing;
    .log() is what it printed so far."""

    def __init__(self, folder, store, public_base, key_file=None, max_store_gb=None, environment=None,
                 extra=()):
        """store: a folder, or s3://BUCKET with the S3 settings and credentials in
        environment, as the unit's environment file gives them."""
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        unit = UNIT.read_text().splitlines()
        line = next(l for l in unit if l.startswith("ExecStart="))
        places = {"%i": "0", "https://shots.example.org": public_base,
                  "/opt/corvane/service/webservice.py": str(REPO / "service" / "webservice.py"),
                  "/etc/corvane/upload.key": str(key_file)}
        args = [places.get(a, a) for a in shlex.split(line[len("ExecStart="):])]
        if key_file is None:
            at = args.index("--upload-key-file")
            del args[at:at + 2]
        if max_store_gb is not None:
            args[args.index("--max-store-gb") + 1] = str(max_store_gb)
        env = dict(os.environ)
        for l in unit:
            if l.startswith("Environment="):
                env.update([l[len("Environment="):].split("=", 1)])
        env.update(environment or {}, CORVANE_STORE=str(store))
        args += list(extra)
        port_file = folder / "port"
        self.log_path = folder / "service.log"
        self.proc = subprocess.Popen(args + ["--port-file", str(port_file)], stdout=open(self.log_path, "wb"),
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)
        deadline = time.monotonic() + 20
        while not port_file.exists():
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("the service did not start: " + self.log())
            time.sleep(0.05)
        self.port = int(port_file.read_text())

    def log(self):
        return self.log_path.read_text(errors="replace")

    def stored(self):
        """[(name, path)] of the pictures it reported stored."""
        return [tuple(line.split()[1:3]) for line in self.log().splitlines() if line.startswith("stored ")]

    def stop(self):
        stop(self.proc)


class Nginx:
    """nginx with the shipped site in front of the given service ports, TLS with
    the given certificate chain and key; .https_port and .http_port on 127.0.0.1."""

    def __init__(self, folder, upstream_ports, chain, key):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.https_port, self.http_port = free_port(), free_port()
        site = SITE.read_text()
        upstream = "".join(f"    server 127.0.0.1:{port};\n" for port in upstream_ports)
        site, n = re.subn(r"^    server 127\.0\.0\.1:8080;\n", upstream, site, flags=re.M)
        assert n == 1, "the site's upstream line is not where the test expects it"
        if not ipv6_loopback():
            site = site.replace("    listen [::]:443 ssl;\n", "").replace("    listen [::]:80;\n", "")
        for shipped, here in [("listen 443 ssl;", f"listen 127.0.0.1:{self.https_port} ssl;"),
                              ("listen [::]:443 ssl;", f"listen [::1]:{self.https_port} ssl;"),
                              ("listen 80;", f"listen 127.0.0.1:{self.http_port};"),
                              ("listen [::]:80;", f"listen [::1]:{self.http_port};"),
                              ("/etc/ssl/certs/shots.example.org.pem", str(chain)),
                              ("/etc/ssl/private/shots.example.org.key", str(key))]:
            assert shipped in site or "[::]" in shipped, f"{shipped} is not in the shipped site"
            site = site.replace(shipped, here)
        (self.folder / "site.conf").write_text(site)
        temp = "".join(f"    {kind}_temp_path {self.folder}/{kind};\n"
                       for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        # The frame /etc/nginx/nginx.conf gives a site on a server (Debian's: a worker a core,
        # 768 connections each), with this run's files.
        (self.folder / "nginx.conf").write_text(
            ("user root;\n" if os.geteuid() == 0 else "") +
            f"worker_processes auto;\npid {self.folder}/nginx.pid;\nerror_log {self.folder}/error.log warn;\n"
            "events { worker_connections 768; }\n"
            f"http {{\n    access_log {self.folder}/access.log;\n{temp}    include {self.folder}/site.conf;\n}}\n")
        self.proc = subprocess.Popen(["nginx", "-p", str(self.folder), "-c", str(self.folder / "nginx.conf"),
                                      "-e", str(self.folder / "error.log"), "-g", "daemon off;"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        try:
            wait_for_port(self.https_port, self.proc, "nginx")
        except RuntimeError:
            self.stop()
            raise RuntimeError("nginx did not start: " + self.error_log())

    def error_log(self):
        path = self.folder / "error.log"
        return path.read_text(errors="replace") if path.exists() else ""

    def stop(self):
        stop(self.proc, signal.SIGQUIT)  # a graceful stop: workers finish what they answer


SWIFT_ACCOUNT, SWIFT_USER, SWIFT_KEY = "corvane", "tests", "swift-secret-for-tests"


class SwiftS3:
    """An object store that speaks S3 on loopback: Swift all-in-one (account,
    container and object servers, the proxy with its s3api and tempauth, and
    memcached), in a folder of its own. .endpoint, .access_key and .secret_key
    are what an S3 client needs; .pause() and .resume() stop and continue every
    process of it, as a store that stops answering; .settings says how it is set up.

    It stands in for an object store on machines of its own, so it is set up to
    cost this machine little: its disk on tmpfs where there is room (Swift syncs
    every object and container update to disk, which tmpfs makes free), one
    worker a server, and access log lines cut to a word (there is no syslog
    here to take them)."""

    def __init__(self, folder):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.procs = []
        self.access_key, self.secret_key = f"{SWIFT_ACCOUNT}:{SWIFT_USER}", SWIFT_KEY
        self.memory_disk = _memory_folder()
        try:
            self._start()
        except BaseException:
            self.stop()
            raise

    def _start(self):
        conf = self.folder / "etc"
        devices = self.memory_disk / "devices" if self.memory_disk else self.folder / "devices"
        self.settings = ("Swift all-in-one: one worker a server, devices on %s, access log lines cut to a word" %
                         ("tmpfs" if self.memory_disk else "the disk (no tmpfs with room here)"))
        (devices / "d1").mkdir(parents=True, exist_ok=True)
        conf.mkdir(exist_ok=True)
        ports = {kind: free_port() for kind in ("proxy", "account", "container", "object", "memcached")}
        (conf / "swift.conf").write_text(
            "[swift-hash]\nswift_hash_path_suffix = corvane-tests\nswift_hash_path_prefix = corvane-tests\n"
            "[storage-policy:0]\nname = Policy-0\ndefault = yes\n")
        from swift.common.ring import RingBuilder  # Debian's swift package, which the servers come from
        for ring in ("account", "container", "object"):
            # 2^6 partitions, one replica, on one device.
            builder = RingBuilder(6, 1, 1)
            builder.add_dev({"id": 0, "region": 1, "zone": 1, "ip": "127.0.0.1", "port": ports[ring],
                             "device": "d1", "weight": 100})
            builder.rebalance()
            builder.get_ring().save(str(conf / f"{ring}.ring.gz"))
        # Run as whoever runs the tests: Swift's default user could not read this folder.
        user = pwd.getpwuid(os.geteuid()).pw_name
        common = (f"[DEFAULT]\nuser = {user}\nbind_ip = 127.0.0.1\nworkers = 1\nswift_dir = {conf}\n"
                  f"devices = {devices}\n"
                  "mount_check = false\nlog_level = WARNING\n")
        for kind in ("account", "container", "object"):
            (conf / f"{kind}-server.conf").write_text(
                common + f"bind_port = {ports[kind]}\n[pipeline:main]\npipeline = {kind}-server\n"
                f"[app:{kind}-server]\nuse = egg:swift#{kind}\nlog_requests = false\n")
        (conf / "proxy-server.conf").write_text(
            common + f"bind_port = {ports['proxy']}\n[pipeline:main]\n"
            "pipeline = catch_errors gatekeeper healthcheck proxy-logging cache listing_formats s3api tempauth "
            "copy slo dlo proxy-logging proxy-server\n"
            # One device stands for the whole store: a server slow for a moment under this
            # machine's load must not be left out of every request for the next minute.
            "[app:proxy-server]\nuse = egg:swift#proxy\naccount_autocreate = true\n"
            "conn_timeout = 5\nerror_suppression_interval = 2\nerror_suppression_limit = 100\n"
            f"[filter:tempauth]\nuse = egg:swift#tempauth\nuser_{SWIFT_ACCOUNT}_{SWIFT_USER} = {SWIFT_KEY} .admin\n"
            "[filter:s3api]\nuse = egg:swift#s3api\n"
            f"[filter:cache]\nuse = egg:swift#memcache\nmemcache_servers = 127.0.0.1:{ports['memcached']}\n"
            # The access log line of each request, made and then dropped for want of a syslog, cut to a word.
            + "[filter:proxy-logging]\nuse = egg:swift#proxy_logging\nlog_msg_template = {method}\n"
            + "".join(f"[filter:{f}]\nuse = egg:swift#{f.replace('-', '_')}\n" for f in
                      ("catch_errors", "gatekeeper", "healthcheck", "listing_formats", "copy", "slo", "dlo")))
        # Each in a process group of its own, so that pause() reaches the workers too.
        self._spawn(["memcached", "-l", "127.0.0.1", "-p", str(ports["memcached"]), "-U", "0", "-m", "16"]
                    + (["-u", "root"] if os.geteuid() == 0 else []), "memcached")
        for kind in ("account", "container", "object", "proxy"):
            self._spawn([f"swift-{kind}-server", str(conf / f"{kind}-server.conf")], kind)
        for kind, port in ports.items():
            proc = next(p for p, what in self.procs if what == kind)
            wait_for_port(port, proc, f"swift {kind}", timeout=60)
        self.endpoint = f"http://127.0.0.1:{ports['proxy']}"
        self._wait_until_it_stores()

    def _wait_until_it_stores(self, timeout=60):
        """A server's port is open before its worker answers: a bucket made and
        removed through every server shows the store is ready."""
        client, deadline = self.client(), time.monotonic() + timeout
        while True:
            try:
                client.create_bucket(Bucket="corvane-ready")
                client.delete_bucket(Bucket="corvane-ready")
                return
            except Exception:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.5)

    def _spawn(self, args, what):
        log = open(self.folder / f"{what}.log", "wb")
        self.procs.append((subprocess.Popen(args, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                            start_new_session=True), what))

    def client(self):
        import boto3
        from botocore.config import Config
        return boto3.client("s3", endpoint_url=self.endpoint, region_name="us-east-1",
                            aws_access_key_id=self.access_key, aws_secret_access_key=self.secret_key,
                            config=Config(signature_version="s3v4", s3={"addressing_style": "path"}))

    def environment(self):
        """What an instance of the service needs in its environment for this store."""
        return {"AWS_ACCESS_KEY_ID": self.access_key, "AWS_SECRET_ACCESS_KEY": self.secret_key}

    def _signal_all(self, sig):
        for proc, _ in self.procs:
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, sig)
                except ProcessLookupError:
                    pass

    def pause(self):
        self._signal_all(signal.SIGSTOP)

    def resume(self):
        self._signal_all(signal.SIGCONT)

    def stop(self):
        self.resume()
        for proc, _ in reversed(self.procs):
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGTERM)
        for proc, _ in self.procs:
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(timeout=10)
        if self.memory_disk is not None:
            shutil.rmtree(self.memory_disk, ignore_errors=True)


def _memory_folder(room=2 * 1024 ** 3):
    """A new folder on tmpfs (/dev/shm) with room free and extended attributes,
    which Swift keeps an object's metadata in; None where there is none."""
    shm = Path("/dev/shm")
    try:
        st = os.statvfs(shm)
        if st.f_bavail * st.f_frsize < room:
            return None
        folder = Path(tempfile.mkdtemp(prefix="corvane-swift-", dir=shm))
    except OSError:
        return None
    try:
        os.setxattr(folder, "user.corvane", b"1")
        return folder
    except OSError:
        shutil.rmtree(folder, ignore_errors=True)
        return None


_shared_swift = None


def shared_swift():
    """The one Swift of this test run, started at the first call and stopped when
    the run ends; every test that needs an S3 store uses a bucket of its own in it."""
    global _shared_swift
    if _shared_swift is None:
        import atexit
        folder = tempfile.mkdtemp(prefix="corvane-swift-")
        _shared_swift = SwiftS3(folder)
        atexit.register(lambda: (_shared_swift.stop(), shutil.rmtree(folder, ignore_errors=True)))
    return _shared_swift
