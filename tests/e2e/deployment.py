"""The shipped deployment files, run for a test: the service started with the
systemd unit's command line, and nginx with the shipped site. Both are changed
only where a test machine must differ: paths, ports (on loopback) and the
certificate files."""

import os
import re
import shlex
import signal
import socket
import subprocess
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

    def __init__(self, folder, store, public_base, key_file=None, max_store_gb=None):
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        line = next(l for l in UNIT.read_text().splitlines() if l.startswith("ExecStart="))
        places = {"%i": "0", "/srv/corvane/pictures": str(store), "https://shots.example.org": public_base,
                  "/opt/corvane/service/webservice.py": str(REPO / "service" / "webservice.py"),
                  "/etc/corvane/upload.key": str(key_file)}
        args = [places.get(a, a) for a in shlex.split(line[len("ExecStart="):])]
        if key_file is None:
            at = args.index("--upload-key-file")
            del args[at:at + 2]
        if max_store_gb is not None:
            args[args.index("--max-store-gb") + 1] = str(max_store_gb)
        port_file = folder / "port"
        self.log_path = folder / "service.log"
        self.proc = subprocess.Popen(args + ["--port-file", str(port_file)], stdout=open(self.log_path, "wb"),
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
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
        # The frame /etc/nginx/nginx.conf gives a site on a server, with this run's files.
        (self.folder / "nginx.conf").write_text(
            ("user root;\n" if os.geteuid() == 0 else "") +
            f"worker_processes 1;\npid {self.folder}/nginx.pid;\nerror_log {self.folder}/error.log warn;\n"
            "events { worker_connections 512; }\n"
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
