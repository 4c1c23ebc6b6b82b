"""Recent uploads: the links kept in the registry, listed in the tray menu, copied
and opened again, and a picture taken back from its service. Each test starts a
program of its own (no resident one runs beside it: the second would end)."""
import corvane_e2e as e2e
from corvane_e2e import wait_for

RECENT_KEY = e2e.SETTINGS_KEY + r"\Recent"


def drop_upload(desktop, corvane, name, box):
    path = desktop.workdir / name
    desktop.picture.crop(box).save(path)
    assert corvane.start(e2e.dos_path(path)).wait(timeout=60) == 1


def recent_values(desktop):
    return {n: v for n, (t, v) in (desktop.reg_query(RECENT_KEY) or {}).items()}


def test_recent_uploads_list_the_links_and_take_a_picture_back_from_its_service(desktop, corvane, web):
    desktop.reset_settings(version_check=False)
    web.delete_keys = True
    drop_upload(desktop, corvane, "first.png", (0, 0, 200, 150))
    web.delete_keys = False  # a service that sends no key: no Delete entry
    drop_upload(desktop, corvane, "second.png", (300, 200, 500, 350))
    first, second = [web.link(u["id"]) for u in web.uploads]
    (first_key,) = web.issued_keys.values()
    stored = recent_values(desktop)
    assert sorted(stored) == ["1", "2"]
    # reg query drops the trailing tab of an entry without a delete key.
    assert stored["1"].split("\t")[2:] in ([second], [second, ""])
    assert stored["2"].split("\t")[2:] == [first, first_key]

    run = corvane.start_resident()
    desktop.clear_browser_log()
    sub, entries = desktop.recent_uploads()
    assert len(entries) == 3, entries  # two uploads and "Clear recent uploads"
    # The older one, second from the top: its link reaches the clipboard.
    actions, items = desktop.open_submenu(sub, entries, 1)
    assert len(items) == 3, "Copy link, Open and Delete from service"
    top, bottom, _ = items[0]
    desktop.click(actions.rect[0] + 40, (top + bottom) // 2)
    desktop.wait_gone(e2e.MENU_CLASS)
    wait_for(lambda: desktop.clipboard() == first, 10, what="the older link on the clipboard")

    sub, entries = desktop.recent_uploads()
    actions, items = desktop.open_submenu(sub, entries, 0)
    assert len(items) == 2, "no Delete entry without a delete key"
    desktop.close_menus()

    web.delete_keys = True  # the double answers delete requests again; the first picture's key stands
    web.issued_keys[first.rsplit("/", 1)[1]] = first_key
    sub, entries = desktop.recent_uploads()
    actions, items = desktop.open_submenu(sub, entries, 1)
    top, bottom, _ = items[2]
    desktop.click(actions.rect[0] + 40, (top + bottom) // 2)
    box = desktop.message_box()
    assert "Delete this picture from the service?" in box.message and first in box.message
    desktop.press("Yes")
    (delete,) = wait_for(lambda: [r for r in web.requests if r["target_path"] == "/delete.php"], 20,
                         what="the delete request")
    assert delete["headers"]["User-Agent"] == "zurazizizizar"
    assert delete["body"] == (
        b"------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"cv\"\r\n\r\nwin:2.6\r\n"
        b"------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"name\"\r\n\r\n"
        + first.rsplit("/", 1)[1].encode() + b"\r\n"
        b"------BOUNDARYBOUNDARY----\r\ncontent-disposition: form-data; name=\"deletekey\"\r\n\r\n"
        + first_key.encode() + b"\r\n------BOUNDARYBOUNDARY------\r\n")
    wait_for(lambda: [t for t in desktop.tips() if t.startswith("Deleted") or first in t], 10,
             what="the Deleted balloon")
    assert list(recent_values(desktop).values()) == [stored["1"]]
    assert desktop.browser_launches() == [], "nothing about a delete goes to the browser"
    desktop.choose_tray_entry("Exit")
    assert run.wait(timeout=15) == 0


def test_garbage_in_the_recent_uploads_is_skipped_and_never_launched(desktop, corvane, web):
    desktop.reset_settings(version_check=False)
    good = "2026-12-09 10:41:42\thttp://corvane.net\thttp://corvane.net/kept1\t"
    desktop.reg_import({RECENT_KEY: {
        "1": "2026-12-09 10:41:42\thttp://corvane.net\thttp://evil.example/x\t",
        "2": b"\xff\xfe" * 3000,
        "3": "x" * 5000,
        "4": "2026-12-09 10:41:42\thttp://corvane.net\tfile:///C:/windows/notepad.exe\t",
        "5": good,
    }})
    run = corvane.start_resident()
    desktop.clear_browser_log()
    sub, entries = desktop.recent_uploads()
    assert len(entries) == 2, "only the one good entry and Clear recent uploads"
    actions, items = desktop.open_submenu(sub, entries, 0)
    top, bottom, _ = items[1]  # Open
    desktop.click(actions.rect[0] + 40, (top + bottom) // 2)
    wait_for(lambda: desktop.browser_launches(), 10, what="the launch")
    assert desktop.browser_launches() == ["http://corvane.net/kept1"]
    desktop.choose_tray_entry("Exit")
    assert run.wait(timeout=15) == 0
