"""Start and end of the program: Exit from the tray menu, WM_CLOSE from another
program, one resident program per session, and the refusal of more than one
dropped file."""

import pytest

import corvane_e2e as e2e
from corvane_e2e import wait_for


def test_exit_removes_the_tray_icon_and_ends_with_code_0(desktop, corvane):
    desktop.reset_settings(version_check=False)
    run = corvane.start_resident()
    desktop.choose_tray_entry("Exit")
    assert run.wait(timeout=15) == 0
    wait_for(lambda: desktop.tray() is None, 10, what="the tray icon to go")


def test_wm_close_from_another_program_ends_as_exit_does(desktop, corvane):
    desktop.reset_settings(version_check=False)
    run = corvane.start_resident()
    desktop.tool("probe", "close", e2e.MAIN_CLASS)
    assert run.wait(timeout=15) == 0
    wait_for(lambda: desktop.tray() is None, 10, what="the tray icon to go")


def test_a_second_start_ends_and_leaves_the_first_one_running(desktop, corvane):
    desktop.reset_settings(version_check=False)
    first = corvane.start_resident()
    second = corvane.start()
    assert second.wait(timeout=20) == 0
    assert first.running()
    mains = [w for w in desktop.windows("corvane.exe") if w.cls == e2e.MAIN_CLASS]
    assert len(mains) == 1, mains
    # The one that stays still answers.
    desktop.choose_tray_entry("Exit")
    assert first.wait(timeout=15) == 0


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
