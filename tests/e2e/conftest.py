"""Fixtures of the end-to-end layer: one display and one Wine prefix for the whole
session, the web service's double behind the prefix's proxy setting, and the program."""

import os
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

import corvane_e2e as e2e  # noqa: E402
from service_double import ServiceDouble  # noqa: E402


@pytest.fixture(scope="session")
def desktop():
    build = e2e.build_dir()
    missing = [name for name in ("corvane", "input", "probe") if not (build / f"{name}.exe").exists()]
    if missing:
        pytest.fail(f"build the windows preset first: {', '.join(missing)} missing in {build}")
    workdir = e2e.temp_workdir()
    desk = e2e.Desktop(workdir)
    try:
        desk.start()
        desk.picture_path = workdir / "desktop.png"
        desk.picture = e2e.make_desktop_picture(desk.picture_path)
        desk.show_picture(desk.picture_path)
        yield desk
    finally:
        desk.stop()
        keep = os.environ.get("CORVANE_E2E_KEEP")
        if keep:
            print(f"\ne2e work folder kept: {workdir}")
        else:
            e2e.remove_tree(workdir)


@pytest.fixture(scope="session")
def service(desktop):
    """The web service's double, reached through the prefix's proxy setting."""
    store = desktop.workdir / "store"
    store.mkdir(exist_ok=True)
    svc = ServiceDouble(port=0, store_dir=str(store))
    svc.start()
    desktop.use_proxy(svc.port)
    try:
        yield svc
    finally:
        svc.stop()


@pytest.fixture
def web(service):
    """The web service's double, fresh for this test."""
    service.reset()
    service.version_reply = b"N"
    return service


@pytest.fixture
def shots(desktop, request):
    """Saves screenshots under the work folder, named after the test."""
    folder = desktop.workdir / "shots"
    folder.mkdir(exist_ok=True)
    base = request.node.name.replace("/", "_").replace("[", "_").replace("]", "")

    def take(label):
        return desktop.screenshot(folder / f"{base}-{label}.png")

    return take


class Runs:
    """Starts the program and makes sure no run outlives its test."""

    def __init__(self, desktop):
        self.desktop = desktop
        self.started = []

    def start(self, *args, cwd=None, exe=None):
        run = self.desktop.start_program(*args, cwd=cwd, exe=exe)
        self.started.append(run)
        return run

    def start_resident(self):
        """Starts the tray program and waits for its tray icon."""
        run = self.start()
        e2e.wait_for(lambda: self.desktop.tray() or not run.running(), 20, what="the tray icon")
        assert run.running(), f"the program ended at start-up with code {run.proc.returncode}"
        return run

    def stop_all(self):
        for run in self.started:
            run.kill()
        self.started.clear()
        # A killed program's tray icon can outlive it: wait until the shell has let it go.
        try:
            e2e.wait_for(lambda: not self.desktop.shown(process="corvane.exe"), 10,
                         what="the program's windows to go")
        except e2e.Timeout:
            # A program started by another (probe's launch) outlives the run killed,
            # and would refuse every later start: close it as another program would.
            self.desktop.tool("probe", "close", e2e.MAIN_CLASS, check=False)
            try:
                e2e.wait_for(lambda: not self.desktop.shown(process="corvane.exe"), 10,
                             what="the program's windows to go")
            except e2e.Timeout:
                pass


@pytest.fixture
def corvane(desktop):
    runs = Runs(desktop)
    try:
        yield runs
    finally:
        runs.stop_all()


@pytest.fixture(scope="module")
def resident(desktop, service):
    """One tray program kept running across a module's tests, for the tests that
    leave it idle as they found it. Starts from default settings with the version
    check off, so that no question interrupts."""
    desktop.reset_settings(version_check=False, quick_capture=False, autostart=False,
                           save_folder=desktop.profile + "\\ReDoda\\")
    runs = Runs(desktop)
    run = runs.start_resident()
    try:
        yield run
    finally:
        runs.stop_all()


def pytest_report_header(config):
    return f"corvane build: {e2e.build_dir()}"


def two_monitor_session(quick_capture):
    """The two-monitor desktop of a module's tests: its own X server and prefix, a
    service double behind the proxy setting, and a resident program; skipped
    where the layout cannot be made."""
    if not e2e.TwoMonitorDesktop.available():
        pytest.skip("two monitors need root and Xorg with the dummy driver")
    workdir = e2e.temp_workdir()
    desk = e2e.TwoMonitorDesktop(workdir)
    service = None
    runs = Runs(desk)
    try:
        desk.start()
        desk.picture_path = workdir / "desktop.png"
        desk.picture = e2e.make_desktop_picture(desk.picture_path, desk.root_size())
        desk.show_picture(desk.picture_path)
        store = workdir / "store"
        store.mkdir()
        service = ServiceDouble(port=0, store_dir=str(store))
        service.start()
        desk.use_proxy(service.port)
        desk.reset_settings(version_check=False, quick_capture=quick_capture, autostart=False)
        desk.run = runs.start_resident()
        desk.web = service
        yield desk
    finally:
        runs.stop_all()
        if service:
            service.stop()
        desk.stop()
        if not os.environ.get("CORVANE_E2E_KEEP"):
            e2e.remove_tree(workdir)
