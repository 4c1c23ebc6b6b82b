"""The version check at start-up, against the local web service."""

import pytest

from corvane_e2e import DIALOG_CLASS, wait_for

HOST = "corvane.net"
TITLE = "Update Corvane Tool"


def version_checks(web):
    return [r for r in web.requests if r["target_path"] == "/vcheck.php"]


@pytest.mark.parametrize("answer, reply, launched", [("Yes", b"2.7", [f"http://{HOST}/download/"]),
                                                     ("No", b"3.0", [])])
def test_a_newer_version_is_offered_and_only_yes_opens_the_download_page(desktop, corvane, web, answer, reply,
                                                                         launched):
    desktop.reset_settings(version_check=True)
    desktop.clear_browser_log()
    web.version_reply = reply
    corvane.start_resident()
    box = desktop.message_box(title=TITLE, timeout=20)
    version = reply.decode()
    assert box.message == f"Version {version} is out!\nDo you want to go to {HOST} and get it?"
    assert box.buttons == ["Yes", "No"]
    (check,) = version_checks(web)
    assert check["method"] == "POST" and b"win:2.6" in check["body"]
    assert desktop.press(answer, TITLE)
    if launched:
        wait_for(desktop.browser_launches, 10, what="the download page to open")
    desktop.wait_gone(DIALOG_CLASS)
    # The answer is acted on as the question goes, and the launch is the check's
    # last step: a launch, or a second one, would be logged before a later marker.
    assert desktop.launches_before_marker() == launched


@pytest.mark.parametrize("version_check, reply", [(True, b"N"), (False, b"2.7")])
def test_no_question_when_current_or_switched_off(desktop, corvane, web, version_check, reply):
    desktop.reset_settings(version_check=version_check)
    web.version_reply = reply
    corvane.start_resident()
    if version_check:
        wait_for(lambda: any(r["answered"] for r in version_checks(web)), 20, what="the version check's reply")
    # A question follows the reply at once; the tray menu's round trip comes after
    # the reply is out (and after start-up, where a check would have begun).
    desktop.open_tray_menu()
    desktop.close_menus()
    assert not desktop.shown(DIALOG_CLASS)
    assert len(version_checks(web)) == (1 if version_check else 0)
