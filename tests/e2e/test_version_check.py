"""The version check at start-up, against the local web service."""

import time

import pytest

from corvane_e2e import DIALOG_CLASS, wait_for

HOST = "corvane.net"
TITLE = "Update Corvane Tool"


def version_checks(web):
    return [r for r in web.requests if r["target_path"] == "/vcheck.php"]


def test_a_newer_version_is_offered_and_yes_opens_the_download_page(desktop, corvane, web):
    desktop.reset_settings(version_check=True)
    desktop.clear_browser_log()
    web.version_reply = b"2.7"
    corvane.start_resident()
    box = desktop.message_box(title=TITLE, timeout=20)
    assert box.message == f"Version 2.7 is out!\nDo you want to go to {HOST} and get it?"
    assert box.buttons == ["Yes", "No"]
    (check,) = version_checks(web)
    assert check["method"] == "POST" and b"win:2.6" in check["body"]
    assert desktop.press("Yes", TITLE)
    wait_for(desktop.browser_launches, 10, what="the download page to open")
    time.sleep(1)
    assert desktop.browser_launches() == [f"http://{HOST}/download/"]
    desktop.wait_gone(DIALOG_CLASS)


def test_no_opens_nothing(desktop, corvane, web):
    desktop.reset_settings(version_check=True)
    desktop.clear_browser_log()
    web.version_reply = b"3.0"
    corvane.start_resident()
    desktop.message_box(title=TITLE, timeout=20)
    assert desktop.press("No", TITLE)
    desktop.wait_gone(DIALOG_CLASS)
    time.sleep(1)
    assert desktop.browser_launches() == []


@pytest.mark.parametrize("version_check, reply", [(True, b"N"), (False, b"2.7")])
def test_no_question_when_current_or_switched_off(desktop, corvane, web, version_check, reply):
    desktop.reset_settings(version_check=version_check)
    web.version_reply = reply
    corvane.start_resident()
    if version_check:
        wait_for(lambda: version_checks(web), 20, what="the version check")
    time.sleep(2)  # a question would be up by now
    assert not desktop.shown(DIALOG_CLASS)
    assert len(version_checks(web)) == (1 if version_check else 0)
