"""A capture whose upload fails is kept in the save folder and offered again: Retry
sends it once more, and once the service has it the kept file goes."""

import re
import shutil
import subprocess

import pytest

from PIL import Image

import test_upload_road as road
from corvane_e2e import wait_for


def uploads_tried(web):
    return len([r for r in web.requests if r["target_path"] == "/upload.php"])


def failure_message(desktop, web, tries):
    """The message shown after the service has seen `tries` uploads."""
    wait_for(lambda: uploads_tried(web) >= tries, 30, what=f"{tries} upload request(s)")
    box = desktop.message_box(title="Error", timeout=30)
    assert box.buttons == ["Retry", "Cancel"]
    assert box.message.splitlines()[0] == "Could not upload"
    return box


def test_a_failed_capture_is_kept_until_a_retry_sends_it(desktop, resident, web, shots):
    road.set_quick_capture(desktop, True)
    road.prepare(desktop, web)
    folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    start, end = (300, 200), (459, 319)  # 160 x 120
    web.script("/upload.php", status=503, count=3)

    # Cancel: the picture stays in the save folder, as the JPEG that was sent.
    road.capture(desktop, start, end)
    box = failure_message(desktop, web, 1)
    shots("kept")
    cancelled = road.kept_picture(desktop, box)
    assert cancelled.parent == folder and re.fullmatch(r"unsent-\d{8}-\d{6}(-\d+)?\.jpg", cancelled.name), box.message
    with Image.open(cancelled) as picture:
        assert (picture.format, picture.size) == ("JPEG", (160, 120))
    desktop.press("Cancel", "Error")
    road.assert_idle(desktop)
    assert cancelled.exists()

    # Retry while the service is still down asks again about the same kept file;
    # once it is back, Retry hands the link on and the kept file goes.
    road.capture(desktop, start, end)
    kept = road.kept_picture(desktop, failure_message(desktop, web, 2))
    assert kept != cancelled and kept.exists()
    desktop.press("Retry", "Error")
    assert road.kept_picture(desktop, failure_message(desktop, web, 3)) == kept
    desktop.press("Retry", "Error")
    (upload,) = road.wait_uploads(web)
    road.assert_shows(desktop, road.picture_of(upload), road.region(start, end))
    road.assert_link_handed_on(desktop, upload)
    road.assert_idle(desktop)
    assert uploads_tried(web) == 4
    assert not kept.exists() and cancelled.exists()
    assert not list(folder.glob("*.part"))
    cancelled.unlink()


def test_a_picture_that_cannot_be_kept_is_still_offered_again(desktop, resident, web, shots):
    road.set_quick_capture(desktop, True)
    road.prepare(desktop, web)
    folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    shutil.rmtree(folder, ignore_errors=True)
    folder.write_bytes(b"a file where the folder should be")
    try:
        web.script("/upload.php", status=503)
        road.capture(desktop, (500, 400), (579, 459))
        box = failure_message(desktop, web, 1)
        shots("not-kept")
        assert box.message.splitlines()[1:] == ["The service answered 503: it is unavailable.",
                                                "The picture could not be kept in the save folder."]
        desktop.press("Retry", "Error")
        (upload,) = road.wait_uploads(web)
        assert road.picture_of(upload).size == (80, 60)
        road.assert_link_handed_on(desktop, upload)
        road.assert_idle(desktop)
        assert folder.read_bytes() == b"a file where the folder should be"
    finally:
        folder.unlink(missing_ok=True)
        folder.mkdir(exist_ok=True)


@pytest.mark.parametrize("how", ["read-only", "deleted"])
def test_a_temporary_folder_that_cannot_be_written_does_not_cost_the_capture(desktop, resident, web, shots, how):
    road.set_quick_capture(desktop, True)
    road.prepare(desktop, web)
    folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    temp = desktop.temp_folder
    if how == "deleted":
        shutil.rmtree(temp)
    else:
        # Immutable even for root: no file can be made in it.
        subprocess.run(["chattr", "+i", str(temp)], check=True, timeout=10)
    try:
        web.script("/upload.php", status=503)
        road.capture(desktop, (300, 200), (459, 319))
        box = failure_message(desktop, web, 1)
        shots("kept")
        kept = road.kept_picture(desktop, box)
        assert kept and kept.parent == folder and kept.exists(), box.message
        with Image.open(kept) as picture:
            assert (picture.format, picture.size) == ("JPEG", (160, 120))
        desktop.press("Retry", "Error")
        (upload,) = road.wait_uploads(web)
        road.assert_shows(desktop, road.picture_of(upload), road.region((300, 200), (459, 319)))
        road.assert_link_handed_on(desktop, upload)
        road.assert_idle(desktop)
        assert not kept.exists(), "the unsent picture outlived its upload"
        assert not list(folder.glob("unsent-*")) and not list(folder.glob("*.part"))
        if how == "deleted":
            assert temp.is_dir(), "the temporary folder was not made again"
    finally:
        subprocess.run(["chattr", "-i", str(temp)], check=False, timeout=10)
        temp.mkdir(exist_ok=True)
