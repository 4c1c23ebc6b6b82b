"""Start and end of the program: Exit from the tray menu, WM_CLOSE from another
program, one resident program per session, and the refusal of more than one
dropped file."""

import pytest

import corvane_e2e as e2e
from corvane_e2e import wait_for


@pytest.mark.parametrize("end", ["Exit", "WM_CLOSE"])
def test_a_second_start_leaves_the_first_which_exit_or_wm_close_end_with_code_0(desktop, corvane, end):
    desktop.reset_settings(version_check=False)
    first = corvane.start_resident()
    second = corvane.start()
    assert second.wait(timeout=20) == 0
    assert first.running()
    mains = [w for w in desktop.windows("corvane.exe") if w.cls == e2e.MAIN_CLASS]
    assert len(mains) == 1, mains
    # The one that stays still answers, to the menu's Exit and to another program's WM_CLOSE alike.
    if end == "Exit":
        desktop.choose_tray_entry("Exit")
    else:
        desktop.tool("probe", "close", e2e.MAIN_CLASS)
    assert first.wait(timeout=15) == 0
    wait_for(lambda: desktop.tray() is None, 10, what="the tray icon to go")


def test_more_than_one_argument_is_refused(desktop, corvane):
    run = corvane.start("a.png", "b.png", "c.png")
    box = desktop.message_box(title="Error")
    assert box.message == "Only one image at a time can be dropped!"
    assert box.buttons == ["OK"]
    assert desktop.tray() is None, "a refused start shows a tray icon"
    assert [w.cls for w in desktop.shown()] == [e2e.DIALOG_CLASS]
    desktop.press("OK", "Error")
    assert run.wait(timeout=15) == 1
