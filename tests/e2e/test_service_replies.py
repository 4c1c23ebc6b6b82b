"""What the web service sends back, as the user sees it: a reply that is no link of
the service is a failed upload that touches neither clipboard nor browser; a link
ending in a line break still names the copy; the copy's folder is made again or
the user is told; a silent or trickling service ends with a message in time."""

import gc
import http.server
import os
import shutil
import socket
import subprocess
import time
from pathlib import Path

import pytest

import test_upload_road as road
from corvane_e2e import DIALOG_CLASS, MAIN_CLASS, MENU_CLASS, wait_for

HOST = road.HOST
SENTINEL = "the user's own clipboard text"


def prepare(desktop, web, quick):
    road.set_quick_capture(desktop, quick)
    road.prepare(desktop, web)
    desktop.set_clipboard(SENTINEL)


def upload_and_save(desktop):
    menu, entries = road.open_selection_menu(desktop, (300, 300), (420, 380))
    top, bottom, _ = entries["Upload && Save"]
    desktop.click(menu.rect[0] + 30, (top + bottom) // 2)


def save_folder(desktop):
    return desktop.unixpath(desktop.profile + "\\ReDoda")


def assert_failed_upload(desktop, web, shots=None, label=None):
    box = desktop.message_box(title="Error", timeout=40)
    if shots:
        shots(label)
    assert box.message.splitlines()[0] == "Could not upload"
    desktop.press("Cancel", "Error")
    road.assert_idle(desktop)
    road.forget_kept(desktop, box)
    assert desktop.clipboard() == SENTINEL
    assert not desktop.browser_launches()


# Names that are no plain names: taken as links, they would reach the clipboard raw,
# the browser normalised and the save folder as paths, streams and devices. One of
# each kind here, on the real file system; the unit tests hold every such name.
PATH_LIKE_NAMES = ["..\\..\\x", "\\\\host\\c$\\x", "CON", "x:evil", "a*b", "abc\0.exe"]

def files_of_ours(desktop):
    """Every file on the C: drive and beside the program, but the system's own
    folder and the save folder: where a name taken for a path would land."""
    drive, folder = desktop.unixpath("C:\\"), save_folder(desktop)
    found = set()
    for top in (drive, road.e2e.build_dir()):
        for root, dirs, files in os.walk(top):
            # The system's folder and the profile's application data are Wine's own to change.
            dirs[:] = [d for d in dirs if Path(root, d) != folder and d != "AppData"
                       and not (Path(root) == drive and d == "windows")]
            found.update(Path(root, f) for f in files if not f.endswith((".log", ".reg")))
    return found


BAD_REPLIES = {
    # Named in words a screenshot's file name can hold.
    **{"name " + "".join(c if c.isalnum() else f"-{ord(c):02x}-" for c in name): f"http://{HOST}/{name}"
       for name in PATH_LIKE_NAMES},
    "1 MB": f"http://{HOST}/" + "x" * (1 << 20),
    "a look-alike host": f"http://{HOST}.evil.example/x",
    "empty": "",
}


@pytest.mark.parametrize("reply", list(BAD_REPLIES.values()), ids=list(BAD_REPLIES))
def test_a_reply_that_is_no_link_of_the_service_fails_and_touches_nothing(desktop, resident, web, shots, reply):
    prepare(desktop, web, quick=False)
    folder = save_folder(desktop)
    folder.mkdir(exist_ok=True)
    before, in_folder = files_of_ours(desktop), set(folder.iterdir())
    web.script("/upload.php", body=reply)
    # Upload && Save: a name taken for a link would also name the copy.
    upload_and_save(desktop)
    box = desktop.message_box(title="Error", timeout=40)
    shots("message")
    assert box.message.splitlines()[0] == "Could not upload"
    assert box.buttons == ["Retry", "Cancel"]
    kept = road.kept_picture(desktop, box)
    assert kept and kept.parent == folder and kept.read_bytes()[:2] == b"\xff\xd8", box.message
    desktop.press("Cancel", "Error")
    road.assert_idle(desktop)
    assert desktop.clipboard() == SENTINEL
    assert not desktop.browser_launches()
    assert set(folder.iterdir()) - in_folder == {kept}
    kept.unlink()
    assert not files_of_ours(desktop) - before, "a file was written outside the save folder"
    assert resident.running()


def test_a_link_ending_in_cr_lf_names_the_copy_and_reaches_the_clipboard_without_it(desktop, resident, web):
    prepare(desktop, web, quick=False)
    link = f"http://{HOST}/crlf42"
    web.script("/upload.php", body=link + "\r\n")
    copy = save_folder(desktop) / "crlf42.jpg"
    copy.unlink(missing_ok=True)
    upload_and_save(desktop)
    wait_for(copy.exists, 30, what=f"the copy {copy}")
    assert copy.read_bytes()[:2] == b"\xff\xd8"
    # What was checked and opened is what the user pastes: the link without the line break.
    wait_for(lambda: desktop.clipboard() == link, 10, what="the link on the clipboard")
    wait_for(desktop.browser_launches, 10, what="the browser launch")
    assert desktop.browser_launches() == [link]
    road.assert_idle(desktop)
    assert not list(save_folder(desktop).glob("*.part"))


def test_a_deleted_save_folder_is_made_again_for_the_copy(desktop, resident, web):
    prepare(desktop, web, quick=False)
    folder = save_folder(desktop)
    shutil.rmtree(folder, ignore_errors=True)
    upload_and_save(desktop)
    (upload,) = road.wait_uploads(web)
    copy = folder / f"{upload['id']}.jpg"
    wait_for(copy.exists, 10, what=f"the copy {copy}")
    assert copy.read_bytes() == upload["bytes"]
    road.assert_link_handed_on(desktop, upload)
    road.assert_idle(desktop)


def test_a_save_folder_that_is_a_file_is_named_in_a_message_after_the_link_went_out(desktop, resident, web, shots):
    prepare(desktop, web, quick=False)
    folder = save_folder(desktop)
    shutil.rmtree(folder, ignore_errors=True)
    folder.write_bytes(b"a file where the folder should be")
    try:
        upload_and_save(desktop)
        (upload,) = road.wait_uploads(web)
        box = desktop.message_box(title="Error", timeout=30)
        shots("copy-message")
        assert box.message.startswith("Could not save a copy of the picture in the save folder ")
        assert box.message.lower().endswith("\\redoda\\"), box.message
        # By the time the user reads it, the link is out.
        link = f"http://{HOST}/{upload['id']}"
        assert desktop.clipboard() == link
        assert desktop.browser_launches() == [link]
        desktop.press("OK", "Error")
        road.assert_idle(desktop)
        assert folder.read_bytes() == b"a file where the folder should be"
    finally:
        folder.unlink(missing_ok=True)
        folder.mkdir(exist_ok=True)


def connection_of(entry):
    """The service's own socket of the connection a recorded request came on."""
    for thing in gc.get_objects():
        if isinstance(thing, http.server.BaseHTTPRequestHandler) and getattr(thing, "_entry", None) is entry:
            return thing.connection
    raise AssertionError("no connection of the service carries the request")


def closed_by_client(connection):
    """Whether the service's end of a connection has seen the client close it
    (or has itself given it up after a failed write)."""
    if connection.fileno() == -1:
        return True
    try:
        return connection.recv(1, socket.MSG_PEEK | socket.MSG_DONTWAIT) == b""
    except BlockingIOError:
        return False
    except OSError:
        return True


@pytest.mark.parametrize("answer", [dict(delay=120), dict(trickle=5), dict(head_trickle=5)],
                         ids=["answers after 120 s", "trickles", "headers trickle"])
def test_a_silent_or_trickling_service_ends_with_a_message_in_time_and_the_next_capture_works(
        desktop, resident, web, shots, answer):
    prepare(desktop, web, quick=True)
    web.script("/upload.php", **answer)
    road.capture(desktop, (400, 300), (480, 360))
    (entry,) = wait_for(lambda: web.requests, 30, interval=0.05, what="the request to reach the service")
    connection = connection_of(entry)
    arrived = time.monotonic()
    # The program gives up before the service would have answered whole: the
    # message is up while the scripted reply is still held back or trickling,
    # and the service sees the program close the connection. Nothing here is
    # timed; a loaded machine only makes the wait longer.
    box = desktop.message_box(title="Error", timeout=110)
    assert not entry["answered"], "the message came only after the service's reply"
    print(f"\nmessage seen {time.monotonic() - arrived:.1f} s after the request reached the service")
    shots("message")
    assert box.message.splitlines()[0] == "Could not upload"
    assert desktop.clipboard() == SENTINEL
    wait_for(lambda: closed_by_client(connection), 60, what="the program to close the connection")
    desktop.press("Cancel", "Error")
    road.assert_idle(desktop)
    road.forget_kept(desktop, box)

    web.reset()
    road.capture(desktop, (400, 300), (480, 360))
    (upload,) = road.wait_uploads(web)
    road.assert_link_handed_on(desktop, upload)
    road.assert_idle(desktop)
