"""The program on a desktop in real use: keys and clicks while an upload holds the
program up, a long upload that must not make it look hung, another program holding
the clipboard as the link arrives, and a shell that restarts."""

import subprocess
import threading

import pytest

import test_upload_road as road
from corvane_e2e import DIALOG_CLASS, MAIN_CLASS, MENU_CLASS, wait_for

# The service holds each upload this long before it answers: time enough for the
# user to press and click while the program is busy.
HELD = 5


def start_held_upload(desktop, web, **answer):
    road.set_quick_capture(desktop, True)
    road.prepare(desktop, web)
    web.script("/upload.php", delay=HELD, **answer)
    road.capture(desktop, (400, 300), (480, 360))
    wait_for(lambda: web.requests, 30, interval=0.05, what="the upload to reach the service")


def assert_requests_were_dropped(desktop):
    """A request served late would start capture mode before the loop reads
    anything that comes after it: the tray menu then opens only when none did."""
    desktop.wait_gone(MAIN_CLASS)
    desktop.open_tray_menu()
    assert not desktop.shown(MAIN_CLASS), "a capture started by itself after the upload"
    desktop.close_menus()
    assert not desktop.shown(MAIN_CLASS)


def alt_c_twice(desktop):
    desktop.keys("alt+c", "sleep=300", "alt+c")


def tray_click_twice(desktop):
    x, y = desktop.tray_icon_point()
    desktop.click(x, y)
    desktop.click(x, y)


@pytest.mark.parametrize("request_twice", [alt_c_twice, tray_click_twice], ids=["Alt+C", "tray click"])
def test_capture_requests_during_an_upload_are_dropped(desktop, resident, web, shots, request_twice):
    start_held_upload(desktop, web)
    request_twice(desktop)
    (upload,) = road.wait_uploads(web)
    road.assert_link_handed_on(desktop, upload)
    shots("after")
    assert_requests_were_dropped(desktop)
    assert len(web.uploads) == 1
    road.assert_idle(desktop)


def test_escape_during_a_failing_upload_leaves_its_message_up_until_answered(desktop, resident, web, shots):
    start_held_upload(desktop, web, status=500)
    desktop.keys("escape", "sleep=200", "escape")
    # A box shows once its loop has found the queue empty: the keys typed ahead
    # were read by then, and had they reached it, it would never have shown.
    box = desktop.message_box(title="Error", timeout=60)
    assert box.message.splitlines()[0] == "Could not upload"
    shots("message")
    assert desktop.message_box(title="Error", timeout=1).message == box.message
    assert desktop.press("Cancel", "Error")
    road.assert_idle(desktop)
    road.forget_kept(desktop, box)


def test_the_tray_icon_comes_back_when_the_shell_restarts(desktop, resident, shots):
    # Under Wine a restarted shell builds no tray: the icon is taken away from
    # outside and the shell's announcement broadcast, as a new shell would.
    desktop.tool("probe", "trayremove", MAIN_CLASS, 100)
    wait_for(lambda: desktop.tray() is None, 10, what="the icon to go")
    desktop.tool("probe", "taskbarcreated")
    wait_for(desktop.tray, 10, what="the icon to come back")
    shots("back")
    assert "Corvane Tool 2.6 - Left click to enter capture mode" in desktop.tips()
    desktop.choose_tray_entry("Capture mode")
    desktop.wait_shown(MAIN_CLASS)
    desktop.keys("escape")
    desktop.wait_gone(MAIN_CLASS)
    assert resident.running()


def test_the_main_window_answers_throughout_a_ten_second_upload(desktop, resident, web, shots):
    road.set_quick_capture(desktop, True)
    road.prepare(desktop, web)
    web.script("/upload.php", delay=10)
    road.capture(desktop, (400, 300), (480, 360))
    wait_for(lambda: web.requests, 30, interval=0.05, what="the upload to reach the service")
    # Asked as Windows asks before it ghosts a window, while the service holds the reply.
    result = subprocess.run(["wine", str(desktop.tools / "probe.exe"), "answers", MAIN_CLASS, "8"],
                            env=desktop.env(), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, timeout=60)
    report = result.stdout.decode(errors="replace")
    shots("held")
    assert result.returncode == 0, report
    assert not web.uploads, "the service answered before the asking ended"
    print(f"\nlongest answer during the upload: {report.split()[-1]} ms")
    (upload,) = road.wait_uploads(web)
    road.assert_link_handed_on(desktop, upload)
    road.assert_idle(desktop)


class ClipboardHolder:
    """Another program that holds the clipboard open (probe.exe holdclipboard)."""

    def __init__(self, desktop, ms):
        self.proc = subprocess.Popen(["wine", str(desktop.tools / "probe.exe"), "holdclipboard", str(ms)],
                                     env=desktop.env(), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        line = self.proc.stdout.readline()
        assert line.strip() == b"held", "the helper could not open the clipboard"

    def wait(self):
        return self.proc.wait(timeout=30)


@pytest.mark.parametrize("held_ms, told", [(500, False), (5000, True)], ids=["half a second", "five seconds"])
def test_a_clipboard_another_program_holds_as_the_upload_ends(desktop, resident, web, shots, held_ms, told):
    road.set_quick_capture(desktop, True)
    road.prepare(desktop, web)
    tips_before = set(desktop.tips())
    reply = threading.Event()
    web.script("/upload.php", gate=reply)
    road.capture(desktop, (400, 300), (480, 360))
    wait_for(lambda: web.requests, 30, interval=0.05, what="the upload to reach the service")
    # The helper has the clipboard open when the reply goes out.
    holder = ClipboardHolder(desktop, held_ms)
    reply.set()
    (upload,) = road.wait_uploads(web)
    link = f"http://{road.HOST}/{upload['id']}"
    wait_for(desktop.browser_launches, 20, what="the browser launch")
    assert desktop.browser_launches() == [link]
    assert holder.wait() == 0
    if told:
        notice = wait_for(lambda: [t for t in desktop.tips() if "could not be copied" in t and t not in tips_before],
                          20, what="the notice that the link is not on the clipboard")
        shots("told")
        assert notice[0].endswith("It is open in your browser.")
        assert desktop.clipboard() != link
        assert not desktop.shown(DIALOG_CLASS), "a box to answer, where a balloon does"
    else:
        wait_for(lambda: desktop.clipboard() == link, 10, what=f"the clipboard to hold {link}")
    road.assert_idle(desktop)
