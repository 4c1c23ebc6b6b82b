#!/usr/bin/python3
"""The mark-up's figures under Wine: bench/markup_win32.cpp on an Xvfb of 1920x1080, with a
desktop picture of that size and of two monitors' size (3200x1080),
then on two monitors (Xorg's dummy driver, root only) when it can run here.

    /usr/bin/python3 bench/markup.py [runs]
"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import corvane_e2e as e2e  # noqa: E402


def run(desk, label, runs, layout=None, size=()):
    try:
        desk.start()
        if layout:
            layout()
        # Wine learns the monitors' layout as its first program runs: that one is not measured.
        desk.wine("cmd", "/c", "exit", check=False)
        out = desk.wine(e2e.build_dir() / "markup_win32.exe", runs, *size, timeout=600)
        for line in out.splitlines():
            print(f"{label} {line}")
    finally:
        desk.stop()


def main():
    runs = sys.argv[1] if len(sys.argv) > 1 else "15"
    if not (e2e.build_dir() / "markup_win32.exe").exists():
        sys.exit("build the windows preset first: markup_win32.exe is missing")
    work = e2e.temp_workdir()
    try:
        run(e2e.Desktop(work / "one", width=1920, height=1080), "one-monitor", runs)
        # Two monitors' worth of desktop (3200x1080) on one display: the composition's cost at that size.
        run(e2e.Desktop(work / "wide", width=1920, height=1080), "two-monitor-size", runs, size=("3200", "1080"))
        if e2e.TwoMonitorDesktop.available():
            two = e2e.TwoMonitorDesktop(work / "two")
            run(two, "two-monitors", runs, lambda: two.xrandr("--output", "DUMMY1", "--left-of", "DUMMY0"))
        else:
            print("two-monitors skipped: needs root and Xorg with the dummy driver")
    finally:
        e2e.remove_tree(work)


if __name__ == "__main__":
    main()
