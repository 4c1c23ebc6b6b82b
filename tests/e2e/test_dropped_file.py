"""A picture file dropped on the program: uploaded at once, without a tray icon."""

import io
import shutil

import pytest
from PIL import Image

import corvane_e2e as e2e


@pytest.fixture
def app_folder(desktop):
    """A copy of the program in a folder of its own, as a user would keep it."""
    folder = desktop.workdir / "app"
    folder.mkdir(exist_ok=True)
    shutil.copy(e2e.build_dir() / "corvane.exe", folder / "corvane.exe")
    return folder


def test_a_dropped_picture_is_uploaded_without_a_tray_icon_and_sent_again_on_retry(desktop, corvane, web,
                                                                                    app_folder):
    web.reset()
    web.script("/upload.php", status=503)
    desktop.picture.crop((100, 100, 420, 340)).save(app_folder / "dropped.png")
    # A relative path counts from the program's folder, not from where it was started.
    run = corvane.start("dropped.png", exe=app_folder / "corvane.exe", cwd="/")
    box = desktop.message_box(title="Error", timeout=30)
    # The dropped file still holds the picture: nothing is kept, only why it failed is said.
    assert (box.message, box.buttons, box.record["owner"]) == (
        "Could not upload\nThe service answered 503: it is unavailable.", ["Retry", "Cancel"], 0)
    assert desktop.tray() is None
    desktop.press("Retry", "Error")
    assert run.wait(timeout=60) == 1
    (upload,) = web.uploads
    assert len(web.requests) == 2
    picture = Image.open(io.BytesIO(upload["bytes"])).convert("RGB")
    assert picture.size == (320, 240)
    assert e2e.mean_difference(picture, desktop.picture.crop((100, 100, 420, 340))) < 6.0
    assert not desktop.temp_files()


def test_a_dropped_file_that_is_no_picture_is_refused(desktop, corvane, web, app_folder):
    web.reset()
    text = app_folder / "notes.txt"
    text.write_text("not a picture\n")
    run = corvane.start(e2e.dos_path(text), exe=app_folder / "corvane.exe")
    box = desktop.message_box(title="Error", timeout=30)
    assert box.message == "Could not convert image"
    assert box.record["owner"] == 0
    assert desktop.tray() is None
    desktop.press("OK", "Error")
    assert run.wait(timeout=20) == 1
    assert not web.requests and not desktop.temp_files()
