"""Runs the local web service until SIGTERM or SIGINT: writes its port to a file and
prints one line per stored picture ("stored <id> <path>"). Used by the scripts."""

import argparse
import signal
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "service"))
from webservice import WebService  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port_file")
    parser.add_argument("--store", default=None)
    parser.add_argument("--version-reply", default="N")
    args = parser.parse_args()

    service = WebService(port=0, store_dir=args.store)
    service.version_reply = args.version_reply.encode()
    service.start()
    Path(args.port_file).write_text(str(service.port))

    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    reported = 0
    while not done.wait(0.2):
        uploads = list(service.uploads)
        for upload in uploads[reported:]:
            print(f"stored {upload['id']} {upload['path']}", flush=True)
        reported = len(uploads)
    service.stop()


if __name__ == "__main__":
    main()
