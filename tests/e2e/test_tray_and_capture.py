"""The tray program as a user meets it: the tray icon and its menu, capture mode
through Alt+C and the tray, the selection rectangle, and leaving capture mode."""

import pytest

import corvane_e2e as e2e
from corvane_e2e import MAIN_CLASS, MENU_CLASS, SCREEN, wait_for

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
    # The magnifier lies right of and below the cursor: left out of the comparison.
    cursor = (900, 500)
    desktop.move(*cursor)
    main = enter_capture_mode(desktop)
    try:
        assert main.rect == (0, 0) + SCREEN, "the main window does not cover the virtual screen"
        screen = shots("capture-mode")
        loupe = (cursor[0], cursor[1], cursor[0] + 200, cursor[1] + 220)
        screen.paste((0, 0, 0), loupe)
        expected = desktop.picture.copy()
        expected.paste((0, 0, 0), loupe)
        seen, expected = screen.crop(BELOW_TRAY), expected.crop(BELOW_TRAY)
        assert max(seen.convert("L").getextrema()) > 16, "capture mode shows a black screen"
        assert e2e.mean_difference(seen, expected) < 2.0, "capture mode does not show the desktop"
    finally:
        desktop.keys("escape")
    desktop.wait_gone(MAIN_CLASS)


def drag_faults(screen, picture, box, start, point):
    """What is wrong with the screen in a drag from start to point over box."""
    if not e2e.shows_selection(screen, picture, box):
        return [f"no selection over {box}"]
    faults = []
    if not e2e.untouched_outside(screen, picture, box, point):
        faults.append(f"outside the selection {box} the desktop is not as it was")
    # The size label below the selection: light text on its own dark background.
    left, bottom = box[0], box[3]
    label = {colour for _, colour in screen.crop((left, bottom + 5, left + 60, bottom + 19)).getcolors(4096)}
    if not ((32, 32, 32) in label and any(min(c) > 200 for c in label)):
        faults.append("no size label below the selection")
    # Beside the cursor, away from the selection: below it here, or, dragged
    # upwards, above it, where its frame's corner is the pixel checked.
    if point[1] >= start[1]:
        if not shows_loupe(screen, picture, point, left=point[0] < start[0]):
            faults.append("no magnifier")
    elif screen.getpixel((point[0] - LOUPE_GAP - 1, point[1] - LOUPE_GAP - 1)) != (32, 32, 32):
        faults.append("no magnifier above the cursor")
    return faults


@pytest.mark.parametrize("start, end, back", [
    ((300, 200), (520, 361), (430, 300)),   # towards the bottom right, then smaller
    ((520, 361), (300, 200), (400, 280)),   # towards the top left: the same rectangle
    ((700, 150), (640, 420), (670, 260)),   # towards the bottom left
])
def test_a_drag_shows_the_selection_over_the_normalised_rectangle(desktop, resident, shots, start, end, back):
    desktop.show_picture(desktop.picture_path)
    enter_capture_mode(desktop)

    def box_to(point):
        left, right = sorted((start[0], point[0]))
        top, bottom = sorted((start[1], point[1]))
        # Both corner pixels belong to the rectangle.
        return (left, top, right + 1, bottom + 1)

    try:
        desktop.press_button(*start)
        for point, name in ((end, "dragging"), (back, "dragged-back")):
            desktop.drag_to(*point)
            box = box_to(point)
            # A move repaints the strips, the label and the magnifier one after
            # another: the screen is judged whole, and again until it all holds.
            faults = []

            def whole_screen_right():
                faults[:] = drag_faults(shots(name), desktop.picture, box, start, point)
                return not faults

            try:
                wait_for(whole_screen_right, 5, what=f"the selection over {box}")
            except e2e.Timeout:
                raise AssertionError("; ".join(faults)) from None
    finally:
        desktop.release_button()
        desktop.back_to_idle()
    assert not desktop.shown(MAIN_CLASS)


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
    assert resident.running()


def test_losing_the_mouse_in_a_drag_leaves_capture_mode_and_the_next_alt_c_works(desktop, resident):
    enter_capture_mode(desktop)
    desktop.press_button(400, 300)
    desktop.drag_to(520, 380)
    wait_for(lambda: e2e.shows_selection(desktop.screenshot(desktop.workdir / "drag.png"), desktop.picture,
                                         (400, 300, 521, 381)), 5, what="the selection")
    # What the system sends when Ctrl+Alt+Del, a prompt or the lock screen takes
    # the mouse (under Wine another process cannot take our thread's capture).
    desktop.tool("probe", "cancelmode", MAIN_CLASS)
    desktop.wait_gone(MAIN_CLASS)
    desktop.release_button()
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


# ---- the size, the magnifier, the arrow keys and the window under the cursor --------------

SETTINGS_KEY = r"HKCU\SOFTWARE\Corvane\Corvane1"
# The magnifier lies 20 pixels right of and below the cursor when there is room:
# a one-pixel frame, then 15 x 15 cells of 8 x 8 pixels, the cursor's in the middle.
LOUPE_GAP, CELL = 20, 8
OUTLINE = (0, 120, 215)
LOUPE_SIDE = 15 * CELL + 2


def loupe_cell(cursor, dx=0, dy=0, left=False):
    """The middle of the magnifier's cell for the pixel (dx, dy) away from the cursor's,
    the magnifier below the cursor, on its right or its left."""
    x0 = cursor[0] - LOUPE_GAP - LOUPE_SIDE + 2 if left else cursor[0] + LOUPE_GAP + 1
    return (x0 + (7 + dx) * CELL + CELL // 2, cursor[1] + LOUPE_GAP + 1 + (7 + dy) * CELL + CELL // 2)


def shows_loupe(screen, picture, cursor, left=False):
    """Whether the magnifier beside the cursor shows the cursor's pixel and its neighbours."""
    return all(screen.getpixel(loupe_cell(cursor, dx, dy, left)) == picture.getpixel((cursor[0] + dx, cursor[1] + dy))
               for dx, dy in ((0, 0), (1, 0), (0, 1), (-3, -2), (5, 4)))


def magnifier_value(desktop):
    return (desktop.reg_query(SETTINGS_KEY) or {}).get("magnifier")


def save_from_menu(desktop):
    """Chooses Save in the post-selection menu; the PNG it wrote, read and removed."""
    import test_upload_road as road
    menu = desktop.wait_shown(e2e.MENU_CLASS)
    entries = dict(zip(road.MENU_ENTRIES, desktop.menu_entries(menu, desktop.screenshot(desktop.workdir / "menu.png"))))
    folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    before = set(folder.glob("capture-*.png"))
    road.choose(desktop, menu, entries, "Save")
    (saved,) = wait_for(lambda: set(folder.glob("capture-*.png")) - before, 10, what="the saved picture")
    desktop.wait_gone(MAIN_CLASS)
    from PIL import Image
    with Image.open(saved) as image:
        picture = image.convert("RGB")
    saved.unlink()
    return picture


def same_pixels(picture, expected):
    from PIL import ImageChops
    return picture.size == expected.size and ImageChops.difference(picture, expected.convert("RGB")).getbbox() is None


def test_while_dragging_the_magnifier_shows_the_cursors_pixel_the_arrows_nudge_and_m_turns_it_off(
        desktop, resident, shots):
    desktop.show_picture(desktop.picture_path)
    start, end = (300, 200), (520, 361)
    enter_capture_mode(desktop)
    try:
        desktop.press_button(*start)
        desktop.drag_to(*end)
        wait_for(lambda: shows_loupe(desktop.screenshot(desktop.workdir / "loupe.png"), desktop.picture, end), 5,
                 what="the magnifier beside the cursor")
        shots("magnifier")
        # Three pixels to the right, one at a time: the corner goes with the cursor.
        desktop.keys("right", "right", "right")
        wait_for(lambda: e2e.shows_selection(desktop.screenshot(desktop.workdir / "wider.png"), desktop.picture,
                                             (300, 200, 524, 362)), 5, what="the selection three pixels wider")
        moved = (end[0] + 3, end[1])
        wait_for(lambda: shows_loupe(desktop.screenshot(desktop.workdir / "loupe.png"), desktop.picture, moved), 5,
                 what="the magnifier at the moved cursor")
        desktop.keys("m")
        wait_for(lambda: magnifier_value(desktop) == ("REG_DWORD", "0x0"), 10, what="magnifier 0 in the registry")
        screen = desktop.screenshot(desktop.workdir / "no-loupe.png")
        middle = loupe_cell(moved)
        assert screen.getpixel(middle) == desktop.picture.getpixel(middle), "the magnifier is still shown"
        desktop.release_button()
        # Neither the label nor the magnifier is in the picture: exactly the dragged pixels, three wider.
        picture = save_from_menu(desktop)
        assert same_pixels(picture, desktop.picture.crop((300, 200, 524, 362))), "not the dragged pixels"
        # The next capture keeps it off; M brings it back, and the registry keeps that too.
        enter_capture_mode(desktop)
        desktop.move(*end)
        wait_for(lambda: desktop.screenshot(desktop.workdir / "off.png").getpixel(end) == desktop.picture.getpixel(end),
                 5, what="the frozen desktop under the cursor")
        assert not shows_loupe(desktop.screenshot(desktop.workdir / "off.png"), desktop.picture, end)
        desktop.keys("m")
        wait_for(lambda: magnifier_value(desktop) == ("REG_DWORD", "0x1"), 10, what="magnifier 1 in the registry")
        wait_for(lambda: shows_loupe(desktop.screenshot(desktop.workdir / "loupe.png"), desktop.picture, end), 5,
                 what="the magnifier back")
    finally:
        desktop.release_button()
        desktop.back_to_idle()


def test_a_click_on_another_programs_window_takes_exactly_that_window(desktop, resident, shots):
    desktop.show_picture(desktop.picture_path)
    box, colour = (610, 330, 610 + 237, 330 + 151), (0x1F, 0x9D, 0x55)
    helper = e2e.Program(desktop, desktop.tools / "probe.exe", ["window", 610, 330, 237, 151, "1f9d55"])
    try:
        wait_for(lambda: desktop.screenshot(desktop.workdir / "helper.png").getpixel((700, 400)) == colour, 10,
                 what="the helper window")
        enter_capture_mode(desktop)
        try:
            desktop.move(700, 400)
            wait_for(lambda: desktop.screenshot(desktop.workdir / "outline.png").getpixel((700, 331)) == OUTLINE, 5,
                     what="the window under the cursor outlined")
            screen = shots("outline")
            assert screen.getpixel((611, 400)) == OUTLINE and screen.getpixel((845, 479)) == OUTLINE
            assert screen.getpixel((606, 400)) == desktop.picture.getpixel((606, 400)), "outlined beyond the window"
            desktop.click(700, 400)
            picture = save_from_menu(desktop)
        finally:
            desktop.back_to_idle()
        assert picture.size == (box[2] - box[0], box[3] - box[1]), f"not the window's size: {picture.size}"
        assert picture.getcolors(4) == [(picture.size[0] * picture.size[1], colour)], \
            "not exactly the window's pixels (the outline or the desktop in them)"
    finally:
        helper.kill()


# ---- a balloon and the tray menu -----------------------------------------------------

def test_opening_the_tray_menu_takes_a_showing_balloon_away_so_every_entry_can_be_read(
        desktop, resident, shots):
    enter_capture_mode(desktop)
    try:
        desktop.drag(300, 200, 420, 300)
        save_from_menu(desktop)  # told in a balloon beside the tray icon, naming the file
    finally:
        desktop.back_to_idle()

    def balloon():
        return [tip for tip in desktop.tips() if "capture-" in tip]

    wait_for(balloon, 20, what="the balloon naming the saved picture")
    shots("balloon")
    # The balloon lives for seconds of its own; it is gone as soon as the menu shows.
    menu, entries = desktop.tray_menu(desktop.workdir / "shots" / "menu-over-balloon.png")
    assert not balloon(), "the balloon still shows with the menu"
    assert len(entries) == len(e2e.TRAY_ENTRIES), f"the menu shows {len(entries)} entries: {entries}"
    desktop.close_menus()
    assert resident.running()
