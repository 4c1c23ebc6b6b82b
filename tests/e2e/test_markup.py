"""Marking up a selection on the frozen desktop: boxes and redactions drawn with the
mouse, undone with the keys, and the picture that leaves (clipboard, upload) with the
marks burned in; leaving with marks asks first; on a monitor left of the primary too."""

import io

import pytest
from PIL import Image

import conftest
import corvane_e2e as e2e
import test_upload_road as road
from corvane_e2e import DIALOG_CLASS, MAIN_CLASS, MENU_CLASS, wait_for

MARKUP_CLASS = "CorvaneMarkup"
TOOLBAR_CLASS = "CorvaneMarkupTools"
MENU_ENTRIES = ["Cancel", "Mark up", "Save", "Copy", "Upload && Save", "Upload"]
RED = (0xE0, 0x20, 0x20)  # the first colour
MATCH = 6.0


def prepare(desk, web):
    desk.show_picture(desk.picture_path)
    desk.clear_clipboard()
    web.reset()


class Shifted:
    """A window's rectangle in X's root coordinates, which begin at the virtual screen's left."""

    def __init__(self, window, left):
        self.rect = (window.rect[0] - left, window.rect[1], window.rect[2] - left, window.rect[3])


def open_markup(desk, start, end, left=0):
    """Drags a selection (X's coordinates) and chooses "Mark up"; returns the toolbar
    window. left: the virtual screen's left edge in Windows' coordinates."""
    desk.keys("alt+c")
    desk.wait_shown(MAIN_CLASS)
    desk.drag(*start, *end)
    menu = Shifted(desk.wait_shown(MENU_CLASS), left)
    entries = desk.menu_entries(menu, desk.screenshot(desk.workdir / "markup-menu.png"))
    assert len(entries) == len(MENU_ENTRIES), f"the menu shows {len(entries)} entries: {entries}"
    top, bottom, _ = dict(zip(MENU_ENTRIES, entries))["Mark up"]
    desk.click(menu.rect[0] + 30, (top + bottom) // 2)
    desk.wait_shown(MARKUP_CLASS)
    return desk.wait_shown(TOOLBAR_CLASS)


def draw(desk, start, end):
    """Drags a mark and waits until its end shows in the first colour: the mouse
    comes through X, the keys that follow through the Windows queue."""
    desk.press_button(*start)
    desk.drag_to(*end)
    desk.release_button()
    path = desk.workdir / "drawn.png"
    wait_for(lambda: desk.screenshot(path).getpixel(end) == RED, 10, what=f"the mark drawn to {end}")


def draw_both(desk, rectangle, redact):
    """A rectangle, then a redact box (the X key's tool), each dragged to its last pixel."""
    draw(desk, rectangle[:2], (rectangle[2] - 1, rectangle[3] - 1))
    desk.keys("x")
    draw(desk, redact[:2], (redact[2] - 1, redact[3] - 1))


def copied_picture(desk):
    desk.keys("ctrl+c")
    assert_idle(desk)
    png = wait_for(lambda: desk.clipboard_bytes("image/png"), 10, what="a PNG on the clipboard")
    return Image.open(io.BytesIO(png)).convert("RGB")


def assert_idle(desk):
    wait_for(lambda: not desk.shown(MAIN_CLASS) and not desk.shown(MARKUP_CLASS), 30, what="capture mode to end")


def inside(box, point):
    return box[0] <= point[0] < box[2] and box[1] <= point[1] < box[3]


def check_marks(picture, desktop_part, rectangle, redact, origin, exact):
    """The redact box is the fill colour throughout; the rectangle's outline lies on
    the dragged box; the rest is the desktop."""
    ox, oy = origin
    if redact is not None:
        part = picture.crop((redact[0] - ox, redact[1] - oy, redact[2] - ox, redact[3] - oy))
        if exact:
            assert part.getcolors(1) == [(part.width * part.height, RED)], "the redact box is not the fill colour"
        else:
            assert e2e.mean_difference(part, Image.new("RGB", part.size, RED)) < MATCH
    box = None if rectangle is None else (rectangle[0] - ox, rectangle[1] - oy, rectangle[2] - ox, rectangle[3] - oy)
    if box is not None:
        # The outline, four pixels wide, inside the dragged box at each corner.
        for x, y in ((box[0], box[1]), (box[2] - 4, box[3] - 4), (box[0], box[3] - 4), (box[2] - 4, box[1])):
            band = picture.crop((x, y, x + 4, y + 4))
            assert e2e.mean_difference(band, Image.new("RGB", band.size, RED)) <= (0 if exact else 24), \
                f"no outline at {(x, y)}"
        middle = ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
        centre = picture.crop((middle[0] - 10, middle[1] - 10, middle[0] + 10, middle[1] + 10))
        assert e2e.mean_difference(centre, desktop_part.crop((middle[0] - 10, middle[1] - 10, middle[0] + 10, middle[1] + 10))) < MATCH
    # Away from both marks the picture is the desktop.
    clear = (2, picture.height - 12, 12, picture.height - 2)
    assert e2e.mean_difference(picture.crop(clear), desktop_part.crop(clear)) < MATCH


# Steps after the marks, the way the picture leaves, and what it shows.
@pytest.mark.parametrize("undo, finish", [
    (False, "copy"),     # both marks, on the clipboard exactly
    (True, "copy"),      # Ctrl+Z took the redact box back
    (False, "upload"),   # Enter: a JPEG of the marked picture
    (False, "kept"),     # Enter with the service down: the kept unsent JPEG is the marked picture
])
def test_marks_leave_with_the_picture(desktop, resident, web, shots, undo, finish):
    desk = desktop
    prepare(desk, web)
    start, end = (300, 200), (700, 499)
    toolbar = open_markup(desk, start, end)
    # Beside the selection, never over it.
    tx0, ty0, tx1, ty1 = toolbar.rect
    assert tx1 <= start[0] or tx0 > end[0] or ty1 <= start[1] or ty0 > end[1], f"the toolbar lies over the selection: {toolbar}"
    rectangle = (340, 240, 461, 331)     # dragged from (340, 240) to (460, 330)
    redact = (500, 260, 621, 301)
    draw_both(desk, rectangle, redact)
    shots("marked")
    if undo:
        desk.keys("ctrl+z")
    selection = (start[0], start[1], end[0] + 1, end[1] + 1)
    expected = desk.picture.crop(selection)
    # On screen as it will leave: the selection, undimmed, with its marks.
    def shown():
        try:
            check_marks(shots("before-finish").crop(selection), expected, rectangle, None if undo else redact, start,
                        exact=True)
            return True
        except AssertionError:
            return False
    wait_for(shown, 10, what="the marks on screen")
    if finish == "copy":
        picture = copied_picture(desk)
        exact = True
        assert not web.requests
    elif finish == "kept":
        web.script("/upload.php", status=503, count=1)
        desk.keys("enter")
        box = desk.message_box(title="Error", timeout=30)
        kept = road.kept_picture(desk, box)
        assert kept is not None and kept.exists(), box.message
        picture = Image.open(io.BytesIO(kept.read_bytes())).convert("RGB")
        exact = False
        desk.press("Cancel", "Error")
        assert_idle(desk)
        kept.unlink()
    else:
        desk.keys("enter")
        (upload,) = wait_for(lambda: web.uploads, 30, what="the upload")
        assert upload["bytes"][:2] == b"\xff\xd8", "the upload is not a JPEG"
        picture = Image.open(io.BytesIO(upload["bytes"])).convert("RGB")
        exact = False
        assert_idle(desk)
    assert picture.size == expected.size
    check_marks(picture, expected, rectangle, None if undo else redact, start, exact)
    if undo:
        ux = (redact[0] - start[0], redact[1] - start[1], redact[2] - start[0], redact[3] - start[1])
        assert e2e.mean_difference(picture.crop(ux), expected.crop(ux)) < 1.0, "the undone redact box is in the picture"


def test_escape_with_marks_asks_first(desktop, resident, web, shots):
    desk = desktop
    prepare(desk, web)
    open_markup(desk, (200, 150), (600, 450))
    draw(desk, (250, 200), (400, 300))
    desk.keys("escape")
    desk.message_box("Corvane Tool")
    shots("question")
    assert desk.press("&No", "Corvane Tool") or desk.press("No", "Corvane Tool")
    desk.wait_gone(DIALOG_CLASS)
    assert desk.shown(MARKUP_CLASS), "No left the mark-up"
    desk.keys("escape")
    desk.message_box("Corvane Tool")
    assert desk.press("&Yes", "Corvane Tool") or desk.press("Yes", "Corvane Tool")
    assert_idle(desk)
    assert not web.requests and not desk.clipboard_bytes("image/png")
    # Without marks Escape leaves at once.
    open_markup(desk, (200, 150), (600, 450))
    desk.keys("escape")
    assert_idle(desk)
    assert not desk.shown(DIALOG_CLASS)


# ---- two monitors ---------------------------------------------------------------------------

@pytest.fixture(scope="module")
def screens():
    yield from conftest.two_monitor_session(quick_capture=False)


def test_marks_on_the_left_monitor(screens):
    desk = screens
    prepare(desk, desk.web)
    # X's root coordinates; the left monitor (0..1279) lies at -1280 for Windows.
    start, end = (200, 300), (700, 640)
    toolbar = open_markup(desk, start, end, left=-1280)
    tx0, ty0, tx1, ty1 = toolbar.rect
    assert tx1 <= 0 and tx0 >= -1280, f"the toolbar is not on the selection's monitor: {toolbar}"
    rectangle = (260, 360, 401, 461)
    redact = (450, 380, 601, 421)
    draw_both(desk, rectangle, redact)
    picture = copied_picture(desk)
    expected = desk.picture.crop((start[0], start[1], end[0] + 1, end[1] + 1))
    assert picture.size == expected.size
    check_marks(picture, expected, rectangle, redact, start, exact=True)
