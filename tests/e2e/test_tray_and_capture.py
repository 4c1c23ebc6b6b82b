"""The tray program as a user meets it: the tray icon and its menu, capture mode
through Alt+C and the tray, the selection rectangle, and leaving capture mode."""

import pytest

import corvane_e2e as e2e
from corvane_e2e import MAIN_CLASS, MENU_CLASS, SELECTION_CLASS, SCREEN, wait_for

# Rows below the tray strip, where the desktop picture shows unobstructed.
BELOW_TRAY = (0, 40, SCREEN[0], SCREEN[1])


def enter_capture_mode(desktop):
    desktop.keys("alt+c")
    return desktop.wait_shown(MAIN_CLASS)


# ---- the tray icon -----------------------------------------------------------------

def test_tray_icon_shows_with_its_tooltip(desktop, resident, shots):
    tray = desktop.tray()
    assert tray is not None, "no tray window"
    width, height = tray.size
    assert width >= 16 and height >= 16, tray
    icon = shots("tray").crop((tray.rect[0], tray.rect[1], tray.rect[0] + height, tray.rect[3]))
    colours = icon.getcolors(maxcolors=4096)
    assert colours is None or len(colours) > 2, "the tray shows no icon"
    assert e2e.TRAY_TIP in desktop.tips()


def test_tray_right_click_opens_the_menu_and_escape_closes_it(desktop, resident, shots):
    x, y = desktop.tray_icon_point()
    desktop.click(x, y, button=3)
    menu = desktop.wait_shown(MENU_CLASS)
    shots("menu")
    # Ten entries: eight items and two separators make a tall, narrow menu.
    width, height = menu.size
    assert height > 7 * 14 and width > 100, menu
    desktop.close_menus()
    assert not desktop.shown(MAIN_CLASS)


def test_tray_left_click_enters_capture_mode(desktop, resident):
    x, y = desktop.tray_icon_point()
    desktop.click(x, y)
    main = desktop.wait_shown(MAIN_CLASS)
    assert main.rect == (0, 0) + SCREEN
    desktop.keys("escape")
    desktop.wait_gone(MAIN_CLASS)


# ---- capture mode --------------------------------------------------------------------

def test_alt_c_covers_the_screen_with_the_desktop_as_it_was(desktop, resident, shots):
    desktop.show_picture(desktop.picture_path)
    main = enter_capture_mode(desktop)
    try:
        assert main.rect == (0, 0) + SCREEN, "the main window does not cover the virtual screen"
        assert not desktop.shown(SELECTION_CLASS)
        screen = shots("capture-mode")
        seen, expected = screen.crop(BELOW_TRAY), desktop.picture.crop(BELOW_TRAY)
        assert max(seen.convert("L").getextrema()) > 16, "capture mode shows a black screen"
        assert e2e.mean_difference(seen, expected) < 2.0, "capture mode does not show the desktop"
    finally:
        desktop.keys("escape")
    desktop.wait_gone(MAIN_CLASS)


@pytest.mark.parametrize("start, end", [
    ((300, 200), (520, 361)),   # towards the bottom right
    ((520, 361), (300, 200)),   # towards the top left: the same rectangle
    ((700, 150), (640, 420)),   # towards the bottom left
])
def test_a_drag_shows_the_selection_over_the_normalised_rectangle(desktop, resident, shots, start, end):
    desktop.show_picture(desktop.picture_path)
    enter_capture_mode(desktop)
    try:
        desktop.press_button(*start)
        desktop.drag_to(*end)
        left, right = sorted((start[0], end[0]))
        top, bottom = sorted((start[1], end[1]))
        # Both corner pixels belong to the rectangle.
        expected = (left, top, right + 1, bottom + 1)
        selection = wait_for(lambda: [w for w in desktop.shown(SELECTION_CLASS) if w.rect == expected],
                             5, what=f"the selection window at {expected}")[0]
        screen = shots("dragging")
        inside = screen.getpixel(((left + right) // 2, (top + bottom) // 2))
        assert inside != desktop.picture.getpixel(((left + right) // 2, (top + bottom) // 2)), \
            f"the selection does not show over the desktop: {selection}"
        outside = (max(0, left - 60), max(40, top - 60))
        assert screen.getpixel(outside) == desktop.picture.getpixel(outside)
        # The size label below the selection: light text on its own dark background.
        label = {colour for _, colour in screen.crop((left, bottom + 6, left + 60, bottom + 20)).getcolors(4096)}
        assert (32, 32, 32) in label and any(min(c) > 200 for c in label), "no size label below the selection"
    finally:
        desktop.release_button()
        desktop.back_to_idle()
    assert not desktop.shown(SELECTION_CLASS)


def test_escape_before_the_press_leaves_capture_mode(desktop, resident):
    enter_capture_mode(desktop)
    desktop.keys("escape")
    desktop.wait_gone(MAIN_CLASS)
    # Capture mode can be entered again at once.
    enter_capture_mode(desktop)
    desktop.keys("escape")
    desktop.wait_gone(MAIN_CLASS)


def test_right_click_before_the_press_leaves_capture_mode(desktop, resident):
    enter_capture_mode(desktop)
    desktop.click(640, 400, button=3)
    desktop.wait_gone(MAIN_CLASS)
    assert not desktop.shown(SELECTION_CLASS)
    assert resident.running()


def test_losing_the_mouse_in_a_drag_leaves_capture_mode_and_the_next_alt_c_works(desktop, resident):
    enter_capture_mode(desktop)
    desktop.press_button(400, 300)
    desktop.drag_to(520, 380)
    desktop.wait_shown(SELECTION_CLASS)
    # What the system sends when Ctrl+Alt+Del, a prompt or the lock screen takes
    # the mouse (under Wine another process cannot take our thread's capture).
    desktop.tool("probe", "cancelmode", MAIN_CLASS)
    desktop.wait_gone(MAIN_CLASS)
    desktop.release_button()
    assert not desktop.shown(SELECTION_CLASS)
    enter_capture_mode(desktop)
    desktop.keys("escape")
    desktop.wait_gone(MAIN_CLASS)


# ---- no capture inside another of our loops --------------------------------------------

def escape_reaches_another_program(desktop):
    """A message box of another process closes on Escape, which it gets only when
    no hot key of ours holds the key."""
    box = e2e.Program(desktop, desktop.tools / "probe.exe", ["escapebox", "Another program"])
    try:
        desktop.wait_shown(e2e.DIALOG_CLASS, process="probe.exe", title="Another program")
        desktop.keys("escape")
        return box.wait(timeout=10) == 0
    except e2e.Timeout:
        return False
    finally:
        box.kill()


def test_a_tray_click_during_the_file_dialog_starts_no_capture(desktop, resident, shots):
    desktop.keys("alt+f")
    desktop.wait_shown(e2e.DIALOG_CLASS, title="Select pic to upload")
    # Clear of the tray, so that the click reaches the icon and not the dialog.
    desktop.tool("probe", "move", "Select pic to upload", 420, 260)
    wait_for(lambda: [w for w in desktop.shown(e2e.DIALOG_CLASS) if w.rect[0] == 420], 5, what="the moved dialog")
    x, y = desktop.tray_icon_point()
    desktop.click(x, y)
    # The tray menu opens over the dialog: by then the left click has been handled.
    # (Had it begun capture mode, the full-screen window would take this right
    # click and leave: no menu.)
    desktop.click(x, y, button=3)
    seen = wait_for(lambda: {w.cls for w in desktop.shown()} & {MENU_CLASS, MAIN_CLASS}, 10,
                    what="the tray menu over the dialog")
    shots("tray-menu-over-dialog")
    assert seen == {MENU_CLASS}, "capture mode began inside the file dialog"
    desktop.close_menus()
    assert desktop.press("Cancel", "Select pic to upload")
    desktop.wait_gone(e2e.DIALOG_CLASS)
    assert not desktop.shown(), "a window of ours stays up"
    assert escape_reaches_another_program(desktop), "Escape does not reach another program"
    assert resident.running()
