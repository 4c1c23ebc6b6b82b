"""The end of the session while the program is busy: nothing stays behind, no
message box is shown, and the program ends."""

import pytest

import test_upload_road as road
from corvane_e2e import MAIN_CLASS, wait_for
from test_busy_and_shell import start_held_upload


def open_menu(desktop, web):
    road.set_quick_capture(desktop, False)
    road.prepare(desktop, web)
    road.open_selection_menu(desktop, (300, 300), (420, 380))


def run_failing_upload(desktop, web):
    # It fails once the session has ended: its message would be the one shown.
    start_held_upload(desktop, web, status=500)


@pytest.mark.parametrize("busy", [open_menu, run_failing_upload], ids=["menu open", "upload running"])
def test_the_session_end_leaves_nothing_behind_and_shows_no_message(desktop, corvane, web, shots, busy):
    desktop.reset_settings(version_check=False, quick_capture=False)
    run = corvane.start_resident()
    busy(desktop, web)
    assert desktop.temp_files(), "no temporary file to leave behind"
    # The system asks, then tells; by the time it is told back, the work is done.
    assert desktop.tool("probe", "endsession", MAIN_CLASS).split() == ["1"]
    assert not desktop.temp_files()
    wait_for(lambda: desktop.tray() is None, 10, what="the tray icon to go")
    assert run.wait(30) == 0
    shots("ended")
    assert not desktop.shown(process="corvane.exe")
