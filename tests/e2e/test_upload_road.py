"""The whole road with the local web service: a dragged region uploaded at once or
through the post-selection menu, the link on the clipboard and in the browser, the
saved copy, failures of the service, and the file upload by dialog and by drop."""

import io
import re

import pytest
from PIL import Image, ImageChops

import corvane_e2e as e2e
from corvane_e2e import DIALOG_CLASS, MAIN_CLASS, MENU_CLASS, SELECTION_CLASS, wait_for

HOST = "corvane.net"
MATCH = 6.0  # mean difference per channel a JPEG at quality 95 stays well within


def set_quick_capture(desktop, on):
    # The switch is read where the program keeps it, in one registry query; the
    # tray menu's mark, which takes a menu, a screenshot and its closing, is
    # checked where the menu is what a test is about.
    if ("simplemode" in (desktop.reg_query(e2e.SETTINGS_KEY) or {})) != on:
        desktop.choose_tray_entry("Quick capture")


def prepare(desktop, web):
    desktop.show_picture(desktop.picture_path)
    desktop.clear_browser_log()
    desktop.clear_clipboard()
    web.reset()


def capture(desktop, start, end):
    desktop.keys("alt+c")
    desktop.wait_shown(MAIN_CLASS)
    if start == end:
        desktop.click(*start)
    else:
        desktop.drag(*start, *end)


def wait_uploads(web, count=1, timeout=30):
    return wait_for(lambda: len(web.uploads) >= count and web.uploads, timeout, what=f"{count} upload(s)")


def picture_of(upload):
    return Image.open(io.BytesIO(upload["bytes"])).convert("RGB")


def region(start, end):
    return (min(start[0], end[0]), min(start[1], end[1]), max(start[0], end[0]) + 1, max(start[1], end[1]) + 1)


def assert_shows(desktop, picture, box):
    assert picture.size == (box[2] - box[0], box[3] - box[1])
    assert e2e.mean_difference(picture, desktop.picture.crop(box)) < MATCH, \
        f"the picture does not show the region {box} of the desktop"


def assert_link_handed_on(desktop, upload):
    link = f"http://{HOST}/{upload['id']}"
    wait_for(lambda: desktop.clipboard() == link, 10, what=f"the clipboard to hold {link}")
    wait_for(desktop.browser_launches, 10, what="the browser launch")
    # The launch is the upload's last step on the user-interface thread: once
    # capture mode is left and the tray menu answers, any second launch was made.
    desktop.wait_gone(MAIN_CLASS)
    desktop.open_tray_menu()
    desktop.close_menus()
    assert desktop.launches_before_marker() == [link]


KEPT = "The picture is kept as "


def kept_picture(desktop, box):
    """The file that a failure message names as the kept picture, or None."""
    # After the line that says where it failed and the one that says why.
    kept = [line for line in box.message.splitlines()[2:] if line.startswith(KEPT)]
    return desktop.unixpath(kept[0][len(KEPT):]) if kept else None


def forget_kept(desktop, box):
    kept = kept_picture(desktop, box)
    if kept:
        kept.unlink()


def assert_idle(desktop):
    desktop.wait_gone(MAIN_CLASS)
    assert not desktop.shown(SELECTION_CLASS)
    assert not desktop.shown(MENU_CLASS)
    wait_for(lambda: not desktop.temp_files(), 5, what="the temporary files to go")


# ---- quick capture ---------------------------------------------------------------------

def test_quick_capture_uploads_the_dragged_region(desktop, resident, web, shots):
    set_quick_capture(desktop, True)
    prepare(desktop, web)
    start, end = (301, 202), (540, 371)
    capture(desktop, start, end)
    (upload,) = wait_uploads(web)
    picture = picture_of(upload)
    picture.save(desktop.workdir / "quick-capture.png")
    assert_shows(desktop, picture, region(start, end))
    # The selection window (grey, opaque on a bare display) is never in the picture.
    assert_link_handed_on(desktop, upload)
    assert_idle(desktop)
    (request,) = [r for r in web.requests if r["target_path"] == "/upload.php"]
    assert request["headers"].get("User-Agent") == "zurazizizizar"


def test_a_drag_towards_the_top_left_gives_the_same_picture(desktop, resident, web):
    set_quick_capture(desktop, True)
    prepare(desktop, web)
    a, b = (700, 260), (820, 333)
    capture(desktop, a, b)
    wait_uploads(web, 1)
    assert_idle(desktop)
    capture(desktop, b, a)
    first, second = (picture_of(u) for u in wait_uploads(web, 2))
    assert first.size == second.size == (121, 74)
    assert e2e.mean_difference(first, second) < 1.0
    assert_shows(desktop, second, region(a, b))
    assert_idle(desktop)


def test_a_click_without_a_drag_uploads_one_pixel(desktop, resident, web):
    set_quick_capture(desktop, True)
    prepare(desktop, web)
    capture(desktop, (900, 500), (900, 500))
    (upload,) = wait_uploads(web)
    picture = picture_of(upload)
    assert picture.size == (1, 1)
    expected = desktop.picture.getpixel((900, 500))
    assert all(abs(a - b) <= 12 for a, b in zip(picture.getpixel((0, 0)), expected))
    assert_idle(desktop)


@pytest.mark.parametrize("failure", [dict(status=500), dict(drop=True)], ids=["status 500", "dropped"])
def test_a_failing_service_shows_the_message_over_the_selection_and_the_next_capture_works(
        desktop, resident, web, shots, failure):
    set_quick_capture(desktop, True)
    prepare(desktop, web)
    web.script("/upload.php", **failure)
    capture(desktop, (400, 300), (480, 360))
    box = desktop.message_box(title="Error", timeout=30)
    shots("failure")
    assert box.message.splitlines()[0] == "Could not upload"
    main = [w for w in desktop.windows("corvane.exe") if w.cls == MAIN_CLASS][0]
    assert box.record["owner"] == main.hwnd, "the message is not owned by the main window"
    assert main.visible
    desktop.press("Cancel", "Error")
    assert_idle(desktop)
    forget_kept(desktop, box)
    assert not web.uploads and not desktop.browser_launches()

    capture(desktop, (400, 300), (480, 360))
    (upload,) = wait_uploads(web)
    assert_shows(desktop, picture_of(upload), (400, 300, 481, 361))
    assert_idle(desktop)


# ---- the post-selection menu ----------------------------------------------------------------

MENU_ENTRIES = ["Cancel", "Mark up", "Save", "Copy", "Upload && Save", "Upload"]


def open_selection_menu(desktop, start, end):
    capture(desktop, start, end)
    menu = desktop.wait_shown(MENU_CLASS)
    picture = desktop.screenshot(desktop.workdir / "selection-menu.png")
    entries = desktop.menu_entries(menu, picture)
    assert len(entries) == len(MENU_ENTRIES), f"the menu shows {len(entries)} entries: {entries}"
    return menu, dict(zip(MENU_ENTRIES, entries))


def test_upload_and_save_keeps_the_received_bytes_in_the_save_folder(desktop, resident, web):
    set_quick_capture(desktop, False)
    prepare(desktop, web)
    save_folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    start, end = (250, 420), (410, 530)
    menu, entries = open_selection_menu(desktop, start, end)
    # The menu opens above and to the right of the cursor.
    assert abs(menu.rect[0] - end[0]) <= 2 and abs(menu.rect[3] - end[1]) <= 2, menu
    top, bottom, _ = entries["Upload && Save"]
    desktop.click(menu.rect[0] + 30, (top + bottom) // 2)
    (upload,) = wait_uploads(web)
    assert_shows(desktop, picture_of(upload), region(start, end))
    copy = save_folder / f"{upload['id']}.jpg"
    wait_for(copy.exists, 10, what=f"the copy {copy}")
    assert copy.read_bytes() == upload["bytes"]
    assert_link_handed_on(desktop, upload)
    assert_idle(desktop)


def test_upload_from_the_menu_keeps_no_copy(desktop, resident, web):
    set_quick_capture(desktop, False)
    prepare(desktop, web)
    save_folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    before = set(save_folder.glob("*.jpg"))
    menu, entries = open_selection_menu(desktop, (600, 500), (700, 560))
    top, bottom, _ = entries["Upload"]
    desktop.click(menu.rect[0] + 30, (top + bottom) // 2)
    (upload,) = wait_uploads(web)
    assert_shows(desktop, picture_of(upload), (600, 500, 701, 561))
    assert_idle(desktop)
    assert set(save_folder.glob("*.jpg")) == before


@pytest.mark.parametrize("how", ["cancel", "dismiss"])
def test_cancel_or_dismissing_the_menu_uploads_nothing_and_leaves_nothing_on_screen(
        desktop, resident, web, shots, how):
    set_quick_capture(desktop, False)
    prepare(desktop, web)
    menu, entries = open_selection_menu(desktop, (350, 250), (500, 330))
    if how == "cancel":
        top, bottom, _ = entries["Cancel"]
        desktop.click(menu.rect[0] + 30, (top + bottom) // 2)
    else:
        desktop.keys("escape")
        desktop.wait_gone(MENU_CLASS)
        desktop.move(900, 600)
    # An upload runs before capture mode hides its window: once it is gone, any
    # request would have reached the service.
    assert_idle(desktop)
    screen = shots("after")
    assert e2e.mean_difference(screen.crop((0, 40, 1280, 800)), desktop.picture.crop((0, 40, 1280, 800))) < 1.0
    assert not web.requests


# ---- the picture itself, without the service ---------------------------------------------------

def choose(desktop, menu, entries, label):
    top, bottom, _ = entries[label]
    desktop.click(menu.rect[0] + 30, (top + bottom) // 2)


def same_pixels(picture, expected):
    return picture.size == expected.size and \
        ImageChops.difference(picture.convert("RGB"), expected.convert("RGB")).getbbox() is None


def test_copy_puts_the_exact_pixels_on_the_clipboard_as_png_and_as_a_dib(desktop, resident, web):
    set_quick_capture(desktop, False)
    prepare(desktop, web)
    start, end = (517, 388), (320, 240)
    expected = desktop.picture.crop(region(start, end))
    menu, entries = open_selection_menu(desktop, start, end)
    choose(desktop, menu, entries, "Copy")
    assert_idle(desktop)
    png = wait_for(lambda: desktop.clipboard_bytes("image/png"), 10, what="a PNG on the clipboard")
    assert same_pixels(Image.open(io.BytesIO(png)), expected), "the clipboard's PNG is not the dragged pixels"
    bmp = desktop.workdir / "clipboard.bmp"
    compression, bits = desktop.tool("probe", "clipdib", desktop.winpath(bmp)).split()
    assert compression == "0" and bits in ("24", "32"), "CF_DIB is not plain BI_RGB"
    assert same_pixels(Image.open(bmp), expected), "the clipboard's CF_DIB is not the dragged pixels"
    assert not web.requests


def test_save_writes_a_png_of_the_exact_pixels_into_the_save_folder(desktop, resident, web):
    set_quick_capture(desktop, False)
    prepare(desktop, web)
    save_folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    before = set(save_folder.glob("capture-*.png"))
    start, end = (640, 300), (901, 455)
    menu, entries = open_selection_menu(desktop, start, end)
    choose(desktop, menu, entries, "Save")
    assert_idle(desktop)
    (saved,) = wait_for(lambda: set(save_folder.glob("capture-*.png")) - before, 10, what="the saved picture")
    assert re.fullmatch(r"capture-\d{8}-\d{6}(-\d+)?\.png", saved.name), saved.name
    assert same_pixels(Image.open(saved), desktop.picture.crop(region(start, end)))
    assert not list(save_folder.glob("*.part")) and not web.requests
    saved.unlink()


# ---- the file upload ---------------------------------------------------------------------------

@pytest.fixture
def sample_png(desktop):
    path = desktop.workdir / "sample picture.png"
    desktop.picture.crop((100, 100, 420, 340)).save(path)
    return path


def test_alt_f_uploads_a_chosen_png_as_jpeg(desktop, resident, web, sample_png, shots):
    prepare(desktop, web)
    desktop.keys("alt+f")
    dialog = desktop.wait_shown(DIALOG_CLASS, title="Select pic to upload")
    shots("dialog")
    assert "Pics - PNG, JPG, GIF, BMP, TIF" in dialog.texts("ComboBox")
    desktop.open_file(e2e.dos_path(sample_png), "Select pic to upload")
    (upload,) = wait_uploads(web)
    assert upload["bytes"][:2] == b"\xff\xd8", "the upload is not a JPEG"
    assert_shows(desktop, picture_of(upload), (100, 100, 420, 340))
    assert_link_handed_on(desktop, upload)
    wait_for(lambda: not desktop.temp_files(), 5, what="the temporary files to go")


def test_cancelling_the_file_dialog_leaves_nothing_behind(desktop, resident, web):
    prepare(desktop, web)
    desktop.keys("alt+f")
    desktop.wait_shown(DIALOG_CLASS, title="Select pic to upload")
    assert desktop.press("Cancel", "Select pic to upload")
    desktop.wait_gone(DIALOG_CLASS)
    # The tray menu opens only once the command has returned, after any upload it ran.
    desktop.open_tray_menu()
    desktop.close_menus()
    assert not web.requests and not desktop.temp_files()
    assert not desktop.shown()
