"""Certificates made for one test run with the openssl command: a certificate
authority and a server certificate it signs, for one host name."""

import hashlib
import ssl
import struct
import subprocess
from pathlib import Path


class CertificateAuthority:
    """A CA (ca.pem) and a server certificate for host (server.pem with the CA
    after it, server.key), all under folder."""

    def __init__(self, folder, host, name="Corvane test authority"):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True, exist_ok=True)
        self.host = host
        self.ca = self.folder / "ca.pem"
        self.chain = self.folder / "server.pem"
        self.key = self.folder / "server.key"
        ca_key = self.folder / "ca.key"
        csr = self.folder / "server.csr"
        leaf = self.folder / "leaf.pem"
        extensions = self.folder / "server.ext"
        extensions.write_text("subjectAltName=DNS:%s\nbasicConstraints=critical,CA:FALSE\n"
                              "keyUsage=critical,digitalSignature,keyEncipherment\n"
                              "extendedKeyUsage=serverAuth\n" % host)
        run = lambda *args: subprocess.run(["openssl", *map(str, args)], check=True, timeout=60,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "3", "-keyout", ca_key,
            "-out", self.ca, "-subj", "/CN=" + name,
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        run("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-keyout", self.key, "-out", csr, "-subj", "/CN=" + host)
        run("x509", "-req", "-in", csr, "-CA", self.ca, "-CAkey", ca_key, "-CAcreateserial", "-sha256", "-days", "2",
            "-extfile", extensions, "-out", leaf)
        self.chain.write_bytes(leaf.read_bytes() + self.ca.read_bytes())

    def server_context(self):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(self.chain, self.key)
        return context

    def client_context(self):
        return ssl.create_default_context(cafile=str(self.ca))

    def ca_der(self):
        return ssl.PEM_cert_to_DER_cert(self.ca.read_text())

    def root_store_entry(self):
        """(key name, Blob) of the CA in a registry certificate store: the key is
        named after the certificate's SHA-1, the blob is the serialized
        certificate (property 32, the encoded certificate)."""
        der = self.ca_der()
        blob = struct.pack("<III", 32, 1, len(der)) + der
        return hashlib.sha1(der).hexdigest().upper(), blob
