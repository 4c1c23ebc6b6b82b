"""Start and end of the program: Exit from the tray menu, and the refusal of more
than one dropped file."""

import pytest

import corvane_e2e as e2e
from corvane_e2e import wait_for


def test_exit_removes_the_tray_icon_and_ends_with_code_0(desktop, corvane):
    desktop.reset_settings(version_check=False)
    run = corvane.start_resident()
    desktop.choose_tray_entry("Exit")
    assert run.wait(timeout=15) == 0
    wait_for(lambda: desktop.tray() is None, 10, what="the tray icon to go")


@pytest.mark.parametrize("args", [("a.png", "b.png"), ("a.png", "b.png", "c.png")])
def test_more_than_one_argument_is_refused(desktop, corvane, args):
    run = corvane.start(*args)
    box = desktop.message_box(title="Error")
    assert box.message == "Only one image at a time can be dropped!"
    assert box.buttons == ["OK"]
    assert desktop.tray() is None, "a refused start shows a tray icon"
    assert [w.cls for w in desktop.shown()] == [e2e.DIALOG_CLASS]
    desktop.press("OK", "Error")
    assert run.wait(timeout=15) == 1
