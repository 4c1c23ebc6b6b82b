"""The program on a desktop in real use: keys and clicks while an upload holds the
program up, and a shell that restarts."""

import pytest

import test_upload_road as road
from corvane_e2e import MAIN_CLASS, MENU_CLASS, wait_for

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
