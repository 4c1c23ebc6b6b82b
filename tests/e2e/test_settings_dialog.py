"""The settings dialog, typed through with keys sent through Windows: the own
service's address and key land in the registry and the next upload goes there
with the key; its test says whether the service answered and why not; what
cannot be stored is refused in the dialog with its reason and nothing is written;
hot keys chosen in it apply at once."""

import socket

import corvane_e2e as e2e
from corvane_e2e import DIALOG_CLASS, INTERNET_KEY, MAIN_CLASS, SETTINGS_KEY, wait_for
import test_upload_road as road

TITLE = "Corvane Tool settings"
BASE = "http://pics.corvane.test/team"
KEY = "Team-k3y_typed"

# The dialog's controls (resources/settings_dialog_ids.h).
ADDRESS, TEST_RESULT, UPLOAD_KEY, CAPTURE_KEY, PRINT_SCREEN_NOTE, REFUSAL = 1001, 1003, 1004, 1006, 1008, 1009


def open_dialog(desktop):
    desktop.choose_tray_entry("Settings")
    return desktop.wait_shown(DIALOG_CLASS, title=TITLE)


def dialog(desktop):
    return desktop.wait_shown(DIALOG_CLASS, title=TITLE)


def text_of(desktop, control_id):
    control = dialog(desktop).control(control_id)
    return control["text"] if control and control["visible"] else ""


def wait_text(desktop, control_id, predicate, what):
    return wait_for(lambda: predicate(text_of(desktop, control_id)) and text_of(desktop, control_id), 45,
                    what=what)


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_the_typed_address_and_key_are_stored_and_the_next_upload_goes_there_with_the_key(
        desktop, corvane, web, shots):
    desktop.reset_settings(version_check=False, quick_capture=True, autostart=False)
    road.prepare(desktop, web)
    web.public_base = BASE
    run = corvane.start_resident()

    box = open_dialog(desktop)
    shots("opened")
    assert box.record["owner"] != 0, "the dialog has no owner"
    assert box.focus == ADDRESS, "the first field is not the service address"

    desktop.keys(f"text={BASE}", "alt+k", f"text={KEY}")
    key_field = box.control(UPLOAD_KEY)["rect"]
    masked = desktop.screenshot(desktop.workdir / "key-masked.png").crop(key_field)
    desktop.keys("alt+h")  # Show
    wait_for(lambda: desktop.screenshot(desktop.workdir / "key-shown.png").crop(key_field) != masked, 10,
             what="the key to show")
    shots("typed")

    desktop.keys("alt+t")
    assert wait_text(desktop, TEST_RESULT, lambda t: t != "Asking the service...", "the test's answer") == \
        "The service answered."
    (check,) = [r for r in web.requests if r["target_path"].endswith("/vcheck.php")]
    assert check["path"] == "http://pics.corvane.test:80/team/vcheck.php"

    desktop.keys("enter")  # OK, the default button
    desktop.wait_gone(DIALOG_CLASS, title=TITLE)
    stored = desktop.reg_query(SETTINGS_KEY)
    assert stored["service"] == ("REG_SZ", BASE)
    assert stored["key"] == ("REG_SZ", KEY)
    assert (stored["hotkeyCapture"], stored["hotkeyFile"]) == (("REG_SZ", "Alt+C"), ("REG_SZ", "Alt+F"))

    # At once, without a restart.
    road.capture(desktop, (300, 300), (380, 360))
    (upload,) = road.wait_uploads(web)
    (request,) = [r for r in web.requests if r["target_path"].endswith("/upload.php")]
    assert request["path"] == "http://pics.corvane.test:80/team/upload.php"
    assert b'name="key"\r\n\r\n' + KEY.encode() + b"\r\n" in request["body"]
    link = f"{BASE}/{upload['id']}"
    wait_for(lambda: desktop.clipboard() == link, 10, what=f"the clipboard to hold {link}")
    road.assert_idle(desktop)
    desktop.choose_tray_entry("Exit")
    assert run.wait(timeout=15) == 0


def test_the_test_says_why_a_service_does_not_answer_and_a_dialog_closed_meanwhile_is_left_alone(
        desktop, corvane, web, shots):
    desktop.reset_settings(version_check=False)
    web.reset()
    run = corvane.start_resident()
    open_dialog(desktop)
    # Nothing listens there: asked directly, not through the proxy, which would answer itself.
    desktop.reg_import({INTERNET_KEY: {"ProxyEnable": 0}})
    try:
        desktop.keys(f"text=http://127.0.0.1:{closed_port()}", "alt+t")
        assert wait_text(desktop, TEST_RESULT, lambda t: t != "Asking the service...", "the test's answer") == \
            "The service could not be reached."
        shots("not-reached")
    finally:
        desktop.use_proxy(web.port)
    assert dialog(desktop).visible, "the test closed the dialog"

    # A slow answer: the dialog is closed before it comes, and another opened.
    web.script("/vcheck.php", delay=4)
    desktop.keys("ctrl+a", "back", "alt+t")
    wait_for(lambda: any(r["target_path"] == "/vcheck.php" for r in web.requests), 20, what="the version request")
    desktop.keys("escape")
    desktop.wait_gone(DIALOG_CLASS, title=TITLE)
    assert "service" not in (desktop.reg_query(SETTINGS_KEY) or {}), "Cancel stored the address"
    open_dialog(desktop)
    wait_for(lambda: all(r.get("answered") for r in web.requests if r["target_path"] == "/vcheck.php"), 20,
             what="the slow answer to go out")
    assert run.running()
    # Asked again now, the new dialog shows its own answer.
    desktop.keys("alt+t")
    assert wait_text(desktop, TEST_RESULT, lambda t: t != "Asking the service...", "the test's answer") == \
        "The service answered."
    desktop.keys("escape")
    desktop.wait_gone(DIALOG_CLASS, title=TITLE)
    desktop.choose_tray_entry("Exit")
    assert run.wait(timeout=15) == 0


def test_an_address_that_is_not_one_is_refused_in_the_dialog_and_nothing_is_written(desktop, corvane, web, shots):
    desktop.reset_settings(version_check=False)
    before = desktop.reg_query(SETTINGS_KEY)
    run = corvane.start_resident()
    open_dialog(desktop)
    desktop.keys("text=pics.corvane.test/team", "alt+k", "text=some-key", "enter")
    refusal = wait_text(desktop, REFUSAL, bool, "the refusal")
    shots("refused")
    assert refusal.startswith("The service address is not valid"), refusal
    assert dialog(desktop).focus == ADDRESS
    assert desktop.reg_query(SETTINGS_KEY) == before
    desktop.keys("escape")
    desktop.wait_gone(DIALOG_CLASS, title=TITLE)
    assert desktop.reg_query(SETTINGS_KEY) == before
    assert run.running()


def test_a_hot_key_another_program_holds_is_refused_and_one_typed_in_its_field_applies_at_once(
        desktop, corvane, web, shots):
    desktop.reset_settings(version_check=False)
    desktop.reg_import({SETTINGS_KEY: {"hotkeyFile": "PrintScreen"}})
    run = corvane.start_resident()
    open_dialog(desktop)
    # PrintScreen chosen: the note about Windows 11's own use of the key.
    assert "Print Screen key" in text_of(desktop, PRINT_SCREEN_NOTE)
    # While the dialog is open its fields see every key, ours too: another
    # program started meanwhile can take Alt+C.
    holder = desktop.hold_hot_key("alt+c")
    try:
        assert holder.running(), "Alt+C was not let go while the dialog is open"
        desktop.keys("enter")
        assert wait_text(desktop, REFUSAL, bool, "the refusal") == "Alt+C is used by another program."
        assert dialog(desktop).focus == CAPTURE_KEY
        assert "hotkeyCapture" not in desktop.reg_query(SETTINGS_KEY)

        desktop.keys("ctrl+shift+c")  # into the capture field, which has the focus
        desktop.keys("tab", "back")  # on to the file field, cleared: none
        wait_for(lambda: not text_of(desktop, PRINT_SCREEN_NOTE), 10, what="the note to go")
        shots("new-keys")
        desktop.keys("enter")
        desktop.wait_gone(DIALOG_CLASS, title=TITLE)
        stored = desktop.reg_query(SETTINGS_KEY)
        assert (stored["hotkeyCapture"], stored["hotkeyFile"]) == (("REG_SZ", "Ctrl+Shift+C"), ("REG_SZ", ""))
        desktop.keys("ctrl+shift+c")
        desktop.wait_shown(MAIN_CLASS)
        desktop.back_to_idle()
        desktop.choose_tray_entry("Exit")
        assert run.wait(timeout=15) == 0
    finally:
        holder.kill()
