"""The desktop the end-to-end tests drive: a virtual X display, one Wine prefix,
the program under test, and the ways a user (and the tests) see and touch it.

Standard library and PIL only; run with Debian's /usr/bin/python3.
"""

import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]

MAIN_CLASS = "ZURAZIZIZIZAR"
SELECTION_CLASS = "VOVIDEDIDIZEZA"
MENU_CLASS = "#32768"
DIALOG_CLASS = "#32770"
TRAY_TITLE = "Wine System Tray"
TRAY_TIP = "Corvane Tool 2.6 - Left click to enter capture mode"
TRAY_ICON_ID = 100  # the program's one tray icon, on its main window

SETTINGS_KEY = r"HKCU\Software\Corvane\Corvane1"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
INTERNET_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"

SCREEN = (1280, 800)

# The tray menu's entries with labels, top to bottom, mnemonics left out.
TRAY_ENTRIES = ["Autoupdate", "Autostart", "Quick capture", "Set save path", "Settings", "File upload", "Capture mode",
                "Recent uploads", "Exit"]


class Timeout(AssertionError):
    pass


def wait_for(predicate, timeout=10.0, interval=0.1, what="condition"):
    """Polls predicate until it returns something truthy; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def build_dir():
    return Path(os.environ.get("CORVANE_BUILD_DIR", REPO / "build" / "windows")).resolve()


class Window:
    """One top-level window as the probe saw it."""

    def __init__(self, record):
        self.record = record
        self.hwnd = record["hwnd"]
        self.process = record["process"].lower()
        self.cls = record["class"]
        self.visible = record["visible"]
        self.rect = tuple(record["rect"])  # left, top, right, bottom (exclusive)
        self.title = record["title"]
        self.controls = record.get("controls", [])
        self.focus = record.get("focus", 0)  # a dialog's control with the keyboard focus (its id)

    @property
    def size(self):
        return self.rect[2] - self.rect[0], self.rect[3] - self.rect[1]

    def texts(self, cls=None):
        return [c["text"] for c in self.controls
                if c["visible"] and c["text"] and (cls is None or c["class"].lower() == cls.lower())]

    @property
    def message(self):
        """The text of a message box: its static controls' text, without the icon."""
        return "\n".join(self.texts("Static"))

    @property
    def buttons(self):
        return [c["text"].replace("&", "") for c in self.controls
                if c["visible"] and c["class"].lower() == "button"]

    def control(self, control_id):
        """The dialog's control with that id (class, id, visible, text, rect), or None."""
        return next((c for c in self.controls if c["id"] == control_id), None)

    def __repr__(self):
        return (f"Window({self.process}, {self.cls!r}, visible={self.visible}, rect={self.rect}, "
                f"title={self.title!r})")


class ExpandSz(str):
    """Registry text of type REG_EXPAND_SZ, for reg_import."""


class Desktop:
    """An Xvfb display and a Wine prefix of their own, for one test session."""

    def __init__(self, workdir, width=SCREEN[0], height=SCREEN[1]):
        self.workdir = Path(workdir)
        self.width, self.height = width, height
        self.prefix = self.workdir / "prefix"
        self.browser_log = self.workdir / "browser.log"
        self.xvfb = None
        self.display = None
        self.tools = build_dir()
        self._temp_folder = None
        # What the prefix answers the same for the whole session, asked of Wine once:
        # each question starts a Windows program.
        self._unixpaths = {}
        self._profile = None

    # ---- life ----------------------------------------------------------------
    def start(self):
        self._start_xvfb()
        self.prefix.mkdir(parents=True, exist_ok=True)
        # A persistent server first: otherwise the daemons that wineboot leaves behind
        # inherit our pipes, and the next command hangs on them.
        subprocess.run(["wineserver", "-p"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineboot", "-i"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=180)
        browser = self.workdir / "browser.sh"
        browser.write_text('#!/bin/sh\nprintf "%s\\n" "$1" >> "' + str(self.browser_log) + '"\n')
        browser.chmod(0o755)
        self.reg_import({
            r"HKCU\Software\Wine\WineBrowser": {"Browsers": str(browser)},
            # Without a window manager, hiding a managed (full-screen) window waits two
            # seconds for a reply that never comes.
            r"HKCU\Software\Wine\X11 Driver": {"Managed": "N"},
        })

    def stop(self):
        if self.prefix.exists():
            subprocess.run(["wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False, timeout=60)
            try:
                subprocess.run(["wineserver", "-w"], env=self.env(), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, check=False, timeout=30)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.send_signal(signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    def _start_xvfb(self):
        # -displayfd lets the server pick a free display and tell us its number.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{self.width}x{self.height}x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def env(self, **extra):
        env = dict(os.environ)
        env.update({"WINEPREFIX": str(self.prefix), "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="})
        if self.display:
            env["DISPLAY"] = self.display
        # The program reaches the service through the prefix's proxy setting only.
        for name in ("http_proxy", "HTTP_PROXY", "https_proxy", "no_proxy"):
            env.pop(name, None)
        env.update(extra)
        return env

    # ---- running Windows programs --------------------------------------------
    def wine(self, *args, timeout=60, check=True):
        """Runs a Windows console program to its end; returns its standard output."""
        result = subprocess.run(["wine", *map(str, args)], env=self.env(), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
        if check and result.returncode != 0:
            raise RuntimeError(f"wine {' '.join(map(str, args))} ended with {result.returncode}")
        return result.stdout.decode("utf-8", "replace")

    def tool(self, name, *args, timeout=30, check=True):
        return self.wine(self.tools / f"{name}.exe", *args, timeout=timeout, check=check)

    def start_program(self, *args, exe=None, cwd=None):
        return Program(self, exe or self.tools / "corvane.exe", args, cwd)

    def winpath(self, path):
        return dos_path(path)

    def unixpath(self, path):
        if path not in self._unixpaths:
            self._unixpaths[path] = Path(self.wine("winepath", "-u", path).strip())
        return self._unixpaths[path]

    # ---- windows -------------------------------------------------------------
    def windows(self, process=None):
        out = self._again(lambda: self.tool("probe", "list"))
        found = [Window(json.loads(line)) for line in out.splitlines() if line.startswith("{")]
        if process:
            found = [w for w in found if w.process == process.lower()]
        return found

    def shown(self, cls=None, process="corvane.exe", title=None):
        return [w for w in self.windows(process) if w.visible and (cls is None or w.cls == cls)
                and (title is None or w.title == title)]

    def wait_shown(self, cls=None, process="corvane.exe", title=None, timeout=10):
        return wait_for(lambda: self.shown(cls, process, title), timeout,
                        what=f"a shown window {cls or ''} {title or ''} of {process}")[0]

    def wait_gone(self, cls=None, process="corvane.exe", title=None, timeout=10):
        wait_for(lambda: not self.shown(cls, process, title), timeout,
                 what=f"no shown window {cls or ''} {title or ''} of {process}")

    def message_box(self, title=None, timeout=10):
        """Waits for a shown message box of the program and returns it."""
        return self.wait_shown(DIALOG_CLASS, title=title, timeout=timeout)

    def press(self, label, title=None):
        """Presses a button of a shown dialog; True when there was one to press."""
        args = ["probe", "press", label] + ([title] if title else [])
        result = subprocess.run(["wine", str(self.tools / "probe.exe"), *args[1:]], env=self.env(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=30)
        return result.returncode == 0

    def open_file(self, path, title=None):
        args = ["openfile", path] + ([title] if title else [])
        self.tool("probe", *args)

    def tips(self):
        """The tooltip texts on screen now. The probe reads them out of their owners'
        memory while a balloon may be going: a read that fails is tried again, twice."""
        for attempt in range(3):
            try:
                return self.tool("probe", "tip").splitlines()
            except RuntimeError:
                if attempt == 2:
                    raise
        return []

    def tray(self):
        found = [w for w in self.windows() if w.title == TRAY_TITLE and w.visible]
        return found[0] if found else None

    def tray_icon_point(self):
        """The middle of the program's tray icon, where the shell or the tray window puts it
        (at any scale); without either, of the first icon in a tray strip one icon high."""
        tray = wait_for(self.tray, 10, what="the tray window")
        try:
            out = self.tool("probe", "trayicon", MAIN_CLASS, TRAY_ICON_ID).split()
            left, top, right, bottom = map(int, out[:4])
            return (left + right) // 2, (top + bottom) // 2
        except (RuntimeError, ValueError):
            left, top, _, bottom = tray.rect
            side = bottom - top
            return left + side // 2, top + side // 2

    # ---- menus ---------------------------------------------------------------
    def menu_entries(self, menu, picture):
        """The entries of a shown popup menu, top to bottom, as (top, bottom, checked):
        rows of dark label pixels make an entry; a dark mark left of the labels is a check."""
        left, top, right, bottom = menu.rect
        crop = picture.crop(menu.rect).convert("L")
        width, height = crop.size
        pixels = crop.load()
        label_from = 18  # labels start right of the check-mark column

        def dark(x, y):
            return pixels[x, y] < 90

        rows = [any(dark(x, y) for x in range(label_from, width - 4)) for y in range(height)]
        groups, y = [], 0
        while y < height:
            if rows[y]:
                start = y
                while y < height and rows[y]:
                    y += 1
                # A mnemonic's underline sits a row or two below its label.
                if groups and start - groups[-1][1] <= 2:
                    groups[-1][1] = y
                else:
                    groups.append([start, y])
            y += 1
        entries = []
        for start, end in groups:
            checked = any(dark(x, yy) for x in range(2, label_from - 3)
                          for yy in range(max(0, start - 2), min(height, end + 2)))
            entries.append((top + start, top + end, checked))
        return entries

    def open_tray_menu(self):
        x, y = self.tray_icon_point()
        self.click(x, y, button=3)
        return self.wait_shown(MENU_CLASS)

    def tray_menu(self, shot_path=None):
        """Opens the tray menu and reads it: [(label, checked)] for its seven entries."""
        menu = self.open_tray_menu()
        path = shot_path or self.workdir / "menu.png"

        def whole():
            # A menu shown is not yet painted whole on a loaded machine: read it again.
            entries = self.menu_entries(menu, self.screenshot(path))
            return entries if len(entries) == len(TRAY_ENTRIES) else None

        try:
            entries = wait_for(whole, 5, interval=0.2, what="the tray menu painted")
        except Timeout:
            entries = self.menu_entries(menu, self.screenshot(path))
        return menu, entries

    def choose_tray_entry(self, label):
        """Opens the tray menu and clicks the entry with that label."""
        menu, entries = self.tray_menu()
        index = TRAY_ENTRIES.index(label)
        assert len(entries) == len(TRAY_ENTRIES), f"the tray menu shows {len(entries)} entries: {entries}"
        top, bottom, _ = entries[index]
        self.click(menu.rect[0] + 40, (top + bottom) // 2)
        self.wait_gone(MENU_CLASS)

    def open_submenu(self, menu, entries, index):
        """Clicks entry index of a shown menu that opens a submenu; the submenu and its entries."""
        before = {w.hwnd for w in self.shown(MENU_CLASS)}
        top, bottom, _ = entries[index]
        self.click(menu.rect[0] + 40, (top + bottom) // 2)
        sub = wait_for(lambda: [w for w in self.shown(MENU_CLASS) if w.hwnd not in before], 10,
                       what="a submenu")[0]
        time.sleep(0.3)  # painted before it is read
        return sub, self.menu_entries(sub, self.screenshot(self.workdir / f"submenu-{len(before)}.png"))

    def recent_uploads(self):
        """Opens the tray menu's Recent uploads: (submenu, entries); the last entry is "Clear recent uploads"."""
        menu, entries = self.tray_menu()
        assert len(entries) == len(TRAY_ENTRIES), f"the tray menu shows {len(entries)} entries: {entries}"
        return self.open_submenu(menu, entries, TRAY_ENTRIES.index("Recent uploads"))

    def tray_checks(self, shot_path=None):
        """{label: checked} of the tray menu's three switches; closes the menu again."""
        menu, entries = self.tray_menu(shot_path)
        self.close_menus()
        assert len(entries) == len(TRAY_ENTRIES), f"the tray menu shows {len(entries)} entries: {entries}"
        return {label: entries[i][2] for i, label in enumerate(TRAY_ENTRIES[:3])}

    def close_menus(self):
        for _ in range(3):
            if not self.shown(MENU_CLASS):
                return
            self.keys("escape")
            try:
                self.wait_gone(MENU_CLASS, timeout=3)
            except Timeout:
                continue
        self.wait_gone(MENU_CLASS, timeout=1)

    def back_to_idle(self):
        """Leaves capture mode and any menu however the last step left them."""
        def settled():
            shown = {w.cls for w in self.shown()}
            if MENU_CLASS in shown:
                return "menu"
            if MAIN_CLASS not in shown and SELECTION_CLASS not in shown:
                return "idle"
            return None  # a menu may be about to open

        for attempt in range(4):
            try:
                state = wait_for(settled, 2, what="a menu or the idle state")
            except Timeout:
                state = "capture"
            if state == "idle":
                return
            if state == "menu":
                self.close_menus()
                # The first message after a dismissed menu ends it.
                self.move(640 + attempt, 420)
            else:
                # A right click ends a wait for the press.
                self.click(640, 420 + attempt, button=3)
        raise Timeout("the program did not return to the idle state")

    # ---- input ---------------------------------------------------------------
    def hold_hot_key(self, combination):
        """Another program that holds a hot key (lower case, "alt+c") until it is killed."""
        run = Program(self, self.tools / "input.exe", [f"hold={combination}", "sleep=600000"])
        wait_for(lambda: any(w.title == f"holding {combination}" for w in self.windows()) or not run.running(),
                 20, what=f"a program holding {combination}")
        return run

    def keys(self, *steps):
        """Keys through the Windows input queue, where global hot keys see them."""
        self.tool("input", *steps)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env(), check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "sleep", "0.1", "click", button)

    def press_button(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "sleep", "0.1", "mousedown", button)

    def drag_to(self, x, y, steps=4):
        """Moves with the button held, in a few steps so each move is seen."""
        # xdotool cannot report the pointer portably in every version: ask it.
        out = subprocess.run(["xdotool", "getmouselocation", "--shell"], env=self.env(),
                             stdout=subprocess.PIPE, check=True, timeout=10).stdout.decode()
        loc = dict(line.split("=", 1) for line in out.split() if "=" in line)
        x0, y0 = int(loc["X"]), int(loc["Y"])
        args = []
        for i in range(1, steps + 1):
            args += ["mousemove", x0 + (x - x0) * i // steps, y0 + (y - y0) * i // steps, "sleep", "0.05"]
        self.xdotool(*args)

    def release_button(self, button=1):
        self.xdotool("mouseup", button)

    def drag(self, x1, y1, x2, y2):
        self.press_button(x1, y1)
        self.drag_to(x2, y2)
        self.release_button()

    # ---- what the screen, the clipboard and the files hold ------------------
    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", str(path)], env=self.env(), check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        from PIL import Image
        with Image.open(path) as image:
            return image.convert("RGB")

    def show_picture(self, path):
        """Puts a picture on the desktop (the root window's background)."""
        subprocess.run(["display", "-window", "root", str(path)], env=self.env(), check=False, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def clipboard(self):
        result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env(),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10)
        return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else None

    def clipboard_bytes(self, target):
        """The clipboard in one of its X forms ("image/png"), or None."""
        result = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", target], env=self.env(),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10)
        return result.stdout if result.returncode == 0 and result.stdout else None

    def set_clipboard(self, text):
        """Puts text on the clipboard and waits until it reads back. xclip's owner is
        a child that takes the selection after its parent has returned, so under
        load an earlier child can take it last; the text is then put again."""
        for _ in range(3):
            subprocess.run(["xclip", "-i", "-selection", "clipboard", "-loops", "0"], input=text.encode(),
                           env=self.env(), timeout=10, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_for(lambda: (self.clipboard() or "") == text, 3, what="the clipboard to take the text")
                return
            except Timeout:
                pass
        raise Timeout(f"the clipboard did not take {text!r}")

    def clear_clipboard(self):
        self.set_clipboard("")

    def browser_launches(self):
        if not self.browser_log.exists():
            return []
        return self.browser_log.read_text().splitlines()

    def clear_browser_log(self):
        self.browser_log.unlink(missing_ok=True)

    def launches_before_marker(self):
        """Sends a marker link down the road the program's launches take (the shell,
        then the browser) and waits for it in the browser log; returns the launches
        logged before it. A launch the program made before this call started out
        ahead of the marker, so it is among them."""
        marker = f"http://marker.invalid/{time.monotonic_ns()}"
        self._again(lambda: self.wine("start", marker))
        launches = wait_for(lambda: marker in self.browser_launches() and self.browser_launches(), 20,
                            what="the marker launch")
        return launches[:launches.index(marker)]

    @property
    def temp_folder(self):
        if self._temp_folder is None:
            self._temp_folder = self.unixpath(self.wine("cmd", "/c", "echo %TEMP%").strip())
        return self._temp_folder

    def temp_files(self, pattern="rar*.tmp"):
        return sorted(p.name for p in self.temp_folder.glob(pattern))

    @property
    def profile(self):
        """The Windows path of the user's profile folder."""
        if self._profile is None:
            self._profile = self.wine("cmd", "/c", "echo %USERPROFILE%").strip()
        return self._profile

    # ---- registry ------------------------------------------------------------
    def reg_import(self, keys, delete=()):
        """Writes keys in one regedit run. keys: {key: {name: str | int | bytes | ExpandSz | None}};
        bytes are REG_BINARY, a None value deletes that value; delete lists whole keys to remove."""
        roots = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}

        def full(key):
            root, _, rest = key.partition("\\")
            return roots.get(root, root) + "\\" + rest

        def quote(text):
            return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'

        lines = ["Windows Registry Editor Version 5.00", ""]
        for key in delete:
            lines += [f"[-{full(key)}]", ""]
        for key, values in keys.items():
            lines.append(f"[{full(key)}]")
            for name, value in values.items():
                if value is None:
                    lines.append(f"{quote(name)}=-")
                elif isinstance(value, ExpandSz):
                    data = (str(value) + "\0").encode("utf-16-le")
                    lines.append(f"{quote(name)}=hex(2):" + ",".join(f"{b:02x}" for b in data))
                elif isinstance(value, bytes):
                    lines.append(f"{quote(name)}=hex:" + ",".join(f"{b:02x}" for b in value))
                elif isinstance(value, bool) or isinstance(value, int):
                    lines.append(f"{quote(name)}=dword:{int(value):08x}")
                else:
                    lines.append(f"{quote(name)}={quote(value)}")
            lines.append("")
        reg_file = self.workdir / "import.reg"
        reg_file.write_text("\r\n".join(lines) + "\r\n", encoding="utf-16")
        self._again(lambda: self.wine("regedit", "/S", dos_path(reg_file)))

    @staticmethod
    def _again(run, tries=3):
        """Runs a query or an import that may be repeated safely. Now and then Wine
        fails to start a program at all (exit code 1, "no application associated"),
        most often on a loaded machine; a second try goes through."""
        for attempt in range(tries):
            try:
                return run()
            except RuntimeError:
                if attempt == tries - 1:
                    raise
                time.sleep(2)

    def reg_query(self, key):
        """The values of a key as {name: (type, data)}, or None when the key is missing."""
        result = subprocess.run(["wine", "reg", "query", key], env=self.env(), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            if not line.startswith("    "):
                continue
            parts = line.strip().split("    ")
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                name = "" if parts[0] == "(Default)" else parts[0]
                data = parts[2] if len(parts) > 2 else ""
                values[name] = (parts[1], data)
        return values

    def reset_settings(self, quick_capture=None, version_check=None, autostart=None, save_folder=None,
                       service=None, key=None):
        """Removes the program's settings; with any argument given, writes them as a
        start before this one would have left them, so the next start is a later one.
        service: the web service's address, key: its upload key, stored as they are."""
        keys = {RUN_KEY: {"corvane.exe": None}}
        if any(v is not None for v in (quick_capture, version_check, autostart, save_folder, service, key)):
            values = {"set": 1}
            if service is not None:
                values["service"] = service
            if key is not None:
                values["key"] = key
            if quick_capture:
                values["simplemode"] = 1
            if version_check:
                values["versioncheck"] = 1
            values["ReDoda"] = save_folder or (self.profile + "\\ReDoda\\")
            keys[SETTINGS_KEY] = values
            if autostart:
                keys[RUN_KEY] = {"corvane.exe": self.winpath(self.tools / "corvane.exe")}
        self.reg_import(keys, delete=[r"HKCU\Software\Corvane"])

    def use_proxy(self, port):
        self.reg_import({INTERNET_KEY: {"ProxyEnable": 1, "ProxyServer": f"127.0.0.1:{port}"}})


class TwoMonitorDesktop(Desktop):
    """A display with two monitors (Xorg's dummy driver, scripts/two_monitors.sh):
    the primary 1920 x 1080 and a 1280 x 1080 monitor left of it, so that Windows
    programs see a virtual screen of (-1280, 0) 3200 x 1080. Needs root."""

    LEFT = 1280  # the left monitor's width: X's root coordinates run this far ahead of Windows'

    def __init__(self, workdir):
        super().__init__(workdir, width=3200, height=1080)
        self.script = REPO / "scripts" / "two_monitors.sh"

    @staticmethod
    def available():
        return os.geteuid() == 0 and shutil.which("Xorg") is not None and shutil.which("xrandr") is not None

    def _start_xvfb(self):
        out = subprocess.run(["bash", str(self.script), "start", str(self.workdir / "xorg")], check=True,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60).stdout.decode()
        self.display = out.strip().splitlines()[-1]

    def stop(self):
        super().stop()
        subprocess.run(["bash", str(self.script), "stop", str(self.workdir / "xorg")], check=False, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def xrandr(self, *args):
        subprocess.run(["xrandr", *map(str, args)], env=self.env(), check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def root_size(self):
        """The X screen's size now, as xrandr reports it ("current W x H")."""
        out = subprocess.run(["xrandr"], env=self.env(), stdout=subprocess.PIPE, timeout=30).stdout.decode()
        words = out.split("current", 1)[1].split(",", 1)[0].split("x")
        return int(words[0]), int(words[1])


class Program:
    """One run of a Windows program, started without waiting for it."""

    def __init__(self, desktop, exe, args, cwd=None):
        self.desktop = desktop
        self.proc = subprocess.Popen(["wine", str(exe), *map(str, args)], env=desktop.env(), cwd=cwd,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def running(self):
        return self.proc.poll() is None

    def wait(self, timeout=20):
        """The exit code; fails the test if the program does not end in time."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Timeout(f"the program did not end within {timeout} s") from None

    def kill(self):
        if self.running():
            self.proc.kill()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass


def make_desktop_picture(path, size=SCREEN):
    """A picture in which every region is told apart from its neighbours: smooth
    colour ramps across the screen and a checker of 64-pixel squares."""
    from PIL import Image
    width, height = size
    red = bytes((x * 255) // (width - 1) for x in range(width))
    rows = []
    for y in range(height):
        green = (y * 255) // (height - 1)
        row = bytearray(width * 3)
        for x in range(width):
            row[3 * x] = red[x]
            row[3 * x + 1] = green
            row[3 * x + 2] = 230 if ((x // 64) + (y // 64)) % 2 else 40
        rows.append(bytes(row))
    image = Image.frombytes("RGB", size, b"".join(rows))
    image.save(path)
    return image


def mean_difference(a, b):
    """Mean absolute difference per channel of two pictures of the same size (0..255)."""
    from PIL import ImageChops, ImageStat
    assert a.size == b.size, f"sizes differ: {a.size} and {b.size}"
    diff = ImageChops.difference(a.convert("RGB"), b.convert("RGB"))
    return sum(ImageStat.Stat(diff).mean) / 3


def dos_path(path):
    """The Windows name of a Unix path, through the prefix's Z: drive."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def temp_workdir():
    return Path(tempfile.mkdtemp(prefix="corvane-e2e-"))


def remove_tree(path):
    shutil.rmtree(path, ignore_errors=True)


# ---- the selection as capture mode shows it ---------------------------------------------
# Points are X root points: the full-screen window lies over the whole root, so
# they are its client points too, which the border's dots keep to.

def tinted(picture, box):
    """The desktop inside box under the selection's grey tint of alpha 100 (of 255)."""
    return picture.crop(box).point(lambda v: (100 * 100 + v * 155 + 127) // 255)


def _border(picture, x, y, along):
    dot = (0, 10, 255) if (along // 3) % 2 == 0 else (255, 255, 255)
    return tuple((c * 100 + p * 155 + 127) // 255 for c, p in zip(dot, picture.getpixel((x, y))))


def _near(a, b, most=2):
    return max(abs(s - e) for s, e in zip(a, b)) <= most


def _close(a, b, most=2):
    from PIL import ImageChops
    return max(hi for _, hi in ImageChops.difference(a.convert("RGB"), b.convert("RGB")).getextrema()) <= most


def shows_selection(screen, picture, box):
    """Whether the screen shows the selection over box (right and bottom outside):
    the desktop tinted inside, the dotted blue and white border on its outermost
    pixels, and the desktop again just outside its top corners."""
    left, top, right, bottom = box
    inner = (left + 1, top + 1, right - 1, bottom - 1)
    if not _close(screen.crop(inner), tinted(picture, inner)):
        return False
    edges = [(x, top, x) for x in range(left, right)] + [(x, bottom - 1, x) for x in range(left, right)]
    edges += [(x, y, y) for y in range(top + 1, bottom - 1) for x in (left, right - 1)]
    if not all(_near(screen.getpixel((x, y)), _border(picture, x, y, along)) for x, y, along in edges):
        return False
    return all(_near(screen.getpixel(p), picture.getpixel(p))
               for p in ((left - 1, top), (right, top)) if 0 <= p[0] < picture.width)


def untouched_outside(screen, picture, box, cursor, tray_rows=48):
    """Whether every pixel outside the selection, the size label's room beside it
    and the magnifier's by the cursor shows the desktop as it was (rows of the
    tray strip aside): nothing left behind where the selection was before."""
    left, top, right, bottom = box
    rooms = (box, (left, top - 40, left + 160, top), (left, bottom, left + 160, bottom + 40),
             (cursor[0] - 190, cursor[1] - 200, cursor[0] + 190, cursor[1] + 200))
    masked = []
    for image in (screen, picture):
        image = image.convert("RGB").copy()
        for room in rooms:
            image.paste((0, 0, 0), room)
        masked.append(image.crop((0, tray_rows, image.width, image.height)))
    return _close(*masked)
