"""Two monitors, the second left of the primary (a negative virtual-screen
origin), on an X server that gives Wine two monitors: capture mode covers both,
a picture from either monitor or across them is the dragged pixels, and a layout
changed between two captures is the one the second capture covers."""

import io

import pytest
from PIL import Image

import conftest
import corvane_e2e as e2e
from corvane_e2e import MAIN_CLASS, wait_for

# X's root coordinates: the left monitor is 0..1279, the primary 1280..3199.
# Windows': the left monitor is -1280..-1, the primary 0..1919.
VIRTUAL = (-1280, 0, 1920, 1080)
TRAY_ROWS = 40  # the tray strip at the top left, over the desktop picture
MATCH = 6.0


@pytest.fixture(scope="module")
def screens():
    yield from conftest.two_monitor_session(quick_capture=True)


def shot(desk, name):
    folder = desk.workdir / "shots"
    folder.mkdir(exist_ok=True)
    return desk.screenshot(folder / f"two-monitors-{name}.png")


def upload_of(desk, start, end):
    """Quick capture of the drag from start to end (X root points); the picture sent."""
    desk.web.reset()
    desk.keys("alt+c")
    desk.wait_shown(MAIN_CLASS)
    desk.drag(*start, *end)
    (upload,) = wait_for(lambda: desk.web.uploads, 30, what="the upload")
    desk.wait_gone(MAIN_CLASS)
    return Image.open(io.BytesIO(upload["bytes"])).convert("RGB")


def region(start, end):
    return (min(start[0], end[0]), min(start[1], end[1]), max(start[0], end[0]) + 1, max(start[1], end[1]) + 1)


def test_capture_mode_covers_both_monitors_with_the_desktop_as_it_was(screens):
    screens.keys("alt+c")
    main = screens.wait_shown(MAIN_CLASS)
    try:
        assert main.rect == VIRTUAL
        seen = shot(screens, "capture-mode")
        below_tray = (0, TRAY_ROWS) + seen.size
        assert e2e.mean_difference(seen.crop(below_tray), screens.picture.crop(below_tray)) < 2.0
    finally:
        screens.keys("escape")
    screens.wait_gone(MAIN_CLASS)


@pytest.mark.parametrize("start, end", [
    ((200, 300), (431, 420)),     # on the left monitor: negative x in Windows
    ((1180, 500), (1400, 641)),   # across the boundary
    ((2900, 700), (2700, 901)),   # on the primary, dragged towards the bottom left
], ids=["left monitor", "across the boundary", "primary"])
def test_a_picture_is_the_dragged_pixels(screens, start, end):
    picture = upload_of(screens, start, end)
    box = region(start, end)
    assert picture.size == (box[2] - box[0], box[3] - box[1])
    assert e2e.mean_difference(picture, screens.picture.crop(box)) < MATCH, f"not the region {box}"


def test_after_a_layout_change_the_next_capture_covers_the_new_layout(screens):
    upload_of(screens, (1200, 200), (1300, 260))
    # The left monitor goes above the primary: Windows' virtual screen is now
    # (0, -1080) 1920 x 2160, and X's root 1920 x 2160 with the primary below.
    screens.xrandr("--output", "DUMMY1", "--above", "DUMMY0")
    try:
        wait_for(lambda: screens.root_size() == (1920, 2160), 10, what="the new layout")
        picture = e2e.make_desktop_picture(screens.workdir / "above.png", (1920, 2160))
        screens.show_picture(screens.workdir / "above.png")
        screens.keys("alt+c")
        main = screens.wait_shown(MAIN_CLASS)
        assert main.rect == (0, -1080, 1920, 1080)
        shot(screens, "above")
        screens.keys("escape")
        screens.wait_gone(MAIN_CLASS)
        start, end = (900, 1000), (1100, 1161)  # across the boundary, X root points
        seen = upload_of(screens, start, end)
        box = region(start, end)
        assert seen.size == (box[2] - box[0], box[3] - box[1])
        assert e2e.mean_difference(seen, picture.crop(box)) < MATCH
    finally:
        screens.xrandr("--output", "DUMMY1", "--left-of", "DUMMY0")


def show_left_of(desk):
    """The layout of the module and its desktop picture, whatever a test before changed."""
    wait_for(lambda: desk.root_size() == (3200, 1080), 10, what="the layout with the left monitor")
    desk.show_picture(desk.picture_path)


def test_on_the_left_monitor_the_label_and_magnifier_show_and_the_arrow_keys_nudge(screens):
    from test_tray_and_capture import shows_loupe
    start, end = (300, 300), (520, 461)  # X root points on the left monitor
    show_left_of(screens)
    screens.web.reset()
    screens.keys("alt+c")
    screens.wait_shown(MAIN_CLASS)
    try:
        screens.press_button(*start)
        screens.drag_to(*end)
        wait_for(lambda: shows_loupe(shot(screens, "loupe"), screens.picture, end), 5,
                 what="the magnifier beside the cursor on the left monitor")
        label = {colour for _, colour in shot(screens, "left-drag").crop((300, 466, 360, 480)).getcolors(4096)}
        assert (32, 32, 32) in label and any(min(c) > 200 for c in label), "no size label below the selection"
        screens.keys("right", "right", "right")
        box = (300, 300, 524, 462)
        wait_for(lambda: e2e.shows_selection(shot(screens, "wider"), screens.picture, box), 5,
                 what="the selection three pixels wider")
        assert e2e.untouched_outside(shot(screens, "wider"), screens.picture, box, (end[0] + 3, end[1])), \
            "outside the selection the desktop is not as it was"
    finally:
        screens.release_button()
    (upload,) = wait_for(lambda: screens.web.uploads, 30, what="the upload")
    screens.wait_gone(MAIN_CLASS)
    picture = Image.open(io.BytesIO(upload["bytes"])).convert("RGB")
    assert picture.size == (224, 162)
    assert e2e.mean_difference(picture, screens.picture.crop((300, 300, 524, 462))) < MATCH


def test_on_the_left_monitor_a_click_on_a_window_takes_that_window(screens):
    colour = (0x1F, 0x9D, 0x55)
    show_left_of(screens)
    helper = e2e.Program(screens, screens.tools / "probe.exe", ["window", -900, 300, 237, 151, "1f9d55"])
    try:
        # X root 380..616 x 300..450.
        wait_for(lambda: shot(screens, "helper").getpixel((500, 400)) == colour, 10, what="the helper window")
        screens.web.reset()
        screens.keys("alt+c")
        screens.wait_shown(MAIN_CLASS)
        screens.move(500, 400)
        wait_for(lambda: shot(screens, "outline").getpixel((500, 301)) == (0, 120, 215), 5,
                 what="the window outlined")
        screens.click(500, 400)
        (upload,) = wait_for(lambda: screens.web.uploads, 30, what="the upload")
        screens.wait_gone(MAIN_CLASS)
    finally:
        helper.kill()
    picture = Image.open(io.BytesIO(upload["bytes"])).convert("RGB")
    assert picture.size == (237, 151), picture.size
    assert e2e.mean_difference(picture, Image.new("RGB", picture.size, colour)) < 2.0
