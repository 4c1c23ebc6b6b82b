"""Settings as the registry and the tray menu show them: a first start's values and
save folder, and the three switches of the tray menu, kept across a restart."""

import shutil

import pytest

import corvane_e2e as e2e
import test_upload_road as road
from corvane_e2e import MENU_CLASS, RUN_KEY, SETTINGS_KEY, wait_for


def exit_program(desktop, run):
    desktop.choose_tray_entry("Exit")
    assert run.wait(timeout=15) == 0


def test_a_first_start_leaves_the_default_settings_and_save_folder(desktop, corvane, web):
    desktop.reset_settings()
    save_folder = desktop.unixpath(desktop.profile + "\\ReDoda")
    if save_folder.exists():
        save_folder.rmdir()
    run = corvane.start_resident()

    values = wait_for(lambda: desktop.reg_query(SETTINGS_KEY), 10, what="the settings key")
    assert values == {
        "set": ("REG_DWORD", "0x1"),
        "versioncheck": ("REG_DWORD", "0x1"),
        "ReDoda": ("REG_SZ", desktop.profile + "\\ReDoda\\"),
    }
    exe = desktop.winpath(e2e.build_dir() / "corvane.exe")
    assert desktop.reg_query(RUN_KEY).get("corvane.exe", (None, ""))[1].lower() == f'"{exe}"'.lower()
    assert save_folder.is_dir(), "the default save folder was not created"
    assert desktop.tray_checks() == {"Autoupdate": True, "Autostart": True, "Quick capture": False}
    exit_program(desktop, run)


def test_the_tray_switches_show_their_marks_and_hold_after_a_restart(desktop, corvane, web, shots):
    desktop.reset_settings(version_check=False, quick_capture=False, autostart=False)
    run = corvane.start_resident()
    marks = {"Autoupdate": False, "Autostart": False, "Quick capture": False}
    assert desktop.tray_checks() == marks

    # Each switch flips on its own and shows in the next menu; the registry follows at once.
    for label in ("Quick capture", "Autostart", "Autoupdate"):
        desktop.choose_tray_entry(label)
        marks[label] = True
        assert desktop.tray_checks(desktop.workdir / f"menu-{label}.png") == marks, label
    settings = desktop.reg_query(SETTINGS_KEY)
    assert settings["simplemode"] == ("REG_DWORD", "0x1")
    assert settings["versioncheck"] == ("REG_DWORD", "0x1")
    assert "corvane.exe" in desktop.reg_query(RUN_KEY)
    exit_program(desktop, run)

    run = corvane.start_resident()
    assert desktop.tray_checks() == marks, "the switches did not hold across a restart"
    desktop.choose_tray_entry("Quick capture")
    desktop.choose_tray_entry("Autostart")
    marks.update({"Quick capture": False, "Autostart": False})
    assert desktop.tray_checks() == marks
    settings = desktop.reg_query(SETTINGS_KEY)
    assert "simplemode" not in settings
    assert "corvane.exe" not in (desktop.reg_query(RUN_KEY) or {})
    exit_program(desktop, run)


@pytest.mark.parametrize("stored", ["REG_EXPAND_SZ", "relative"])
def test_a_stored_save_folder_is_used_where_the_user_means_it(desktop, corvane, web, shots, stored):
    desktop.reset_settings(version_check=False, quick_capture=False, autostart=False)
    profile = desktop.profile
    if stored == "REG_EXPAND_SZ":
        value, where = e2e.ExpandSz("%USERPROFILE%\\Shots\\"), profile + "\\Shots"
    else:
        value, where = "rlrel\\", profile + "\\ReDoda"
    desktop.reg_import({SETTINGS_KEY: {"ReDoda": value}})
    beside_program = e2e.build_dir() / "rlrel"
    shutil.rmtree(beside_program, ignore_errors=True)
    folder = desktop.unixpath(where)
    run = corvane.start_resident()
    road.prepare(desktop, web)

    menu, entries = road.open_selection_menu(desktop, (300, 300), (420, 380))
    top, bottom, _ = entries["Upload && Save"]
    desktop.click(menu.rect[0] + 30, (top + bottom) // 2)
    if stored == "relative":
        # Told once, before the first picture goes to the folder that stands in,
        # in the tray icon's balloon: nothing waits for an answer.
        wait_for(lambda: "is not a full path" in "\n".join(desktop.tips()), 30,
                 what="the balloon about the save folder")
        shots("told")
        told = "\n".join(desktop.tips())
        assert 'The save folder "rlrel\\" is not a full path and is not used.' in told, told
        assert f"Pictures are kept in {profile}\\ReDoda\\ instead." in told, told
        assert not desktop.shown(e2e.DIALOG_CLASS), "a box to answer, where a balloon does"
    (upload,) = road.wait_uploads(web)
    copy = folder / f"{upload['id']}.jpg"
    wait_for(copy.exists, 20, what=f"the copy {copy}")
    assert copy.read_bytes() == upload["bytes"]
    road.assert_link_handed_on(desktop, upload)
    road.assert_idle(desktop)
    assert not beside_program.exists(), "the copy went beside the program"
    assert desktop.reg_query(SETTINGS_KEY)["ReDoda"][0] == stored.replace("relative", "REG_SZ"), "the user's value"

    # Once: the next copy goes the same way without a word.
    web.reset()
    menu, entries = road.open_selection_menu(desktop, (500, 300), (620, 380))
    top, bottom, _ = entries["Upload && Save"]
    desktop.click(menu.rect[0] + 30, (top + bottom) // 2)
    (upload,) = road.wait_uploads(web)
    wait_for((folder / f"{upload['id']}.jpg").exists, 20, what="the second copy")
    road.assert_idle(desktop)
    assert not desktop.shown(e2e.DIALOG_CLASS)
    copy.unlink()
    (folder / f"{upload['id']}.jpg").unlink()
    exit_program(desktop, run)


PROGRAM_FOLDER = r"C:\Program Files\Corvane Tool"


@pytest.fixture
def installed(desktop):
    """corvane.exe copied where an installer puts it, a folder with blanks in its path."""
    folder = desktop.unixpath(PROGRAM_FOLDER)
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy(e2e.build_dir() / "corvane.exe", folder / "corvane.exe")
    return PROGRAM_FOLDER + "\\corvane.exe"


@pytest.mark.parametrize("written_by", ["this build", "an earlier build"])
def test_autostart_from_a_folder_with_blanks_starts_the_resident_program(desktop, corvane, web, installed,
                                                                         written_by):
    quoted = f'"{installed}"'
    if written_by == "this build":
        desktop.reset_settings()
        first = corvane.start(exe=desktop.unixpath(installed))
        wait_for(desktop.tray, 20, what="the tray icon")
        assert desktop.reg_query(RUN_KEY)["corvane.exe"] == ("REG_SZ", quoted)
        exit_program(desktop, first)
        wait_for(lambda: desktop.tray() is None, 10, what="the tray icon to go")
    else:
        desktop.reset_settings(version_check=False, autostart=True)
        desktop.reg_import({RUN_KEY: {"corvane.exe": installed}})  # bare, as earlier builds wrote it
    command = desktop.reg_query(RUN_KEY)["corvane.exe"][1]
    # The value's whole command line, as the shell starts it at logon.
    logon = corvane.start("launch", command, exe=e2e.build_dir() / "probe.exe")
    wait_for(lambda: desktop.tray() or not logon.running(), 20, what="the tray icon")
    assert logon.running(), f"the start from the Run value ended with code {logon.proc.returncode}"
    assert not desktop.shown(e2e.DIALOG_CLASS), "a message box instead of the resident program"
    assert desktop.reg_query(RUN_KEY)["corvane.exe"] == ("REG_SZ", quoted)
    assert desktop.tray_checks()["Autostart"]
    exit_program(desktop, logon)


def test_autostart_turned_off_in_windows_shows_unchecked(desktop, corvane, web):
    desktop.reset_settings(version_check=False, autostart=True)
    approved = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
    desktop.reg_import({approved: {"corvane.exe": bytes([3, 0, 0, 0]) + bytes(8)}})
    run = corvane.start_resident()
    assert desktop.tray_checks()["Autostart"] is False
    # Chosen in our menu, the entry runs at the next logon again.
    desktop.choose_tray_entry("Autostart")
    assert "corvane.exe" not in (desktop.reg_query(approved) or {})
    assert desktop.tray_checks()["Autostart"] is True
    exit_program(desktop, run)


def test_a_hot_key_another_program_holds_is_told_and_the_tray_still_captures(desktop, corvane, web):
    desktop.reset_settings(version_check=False)
    holder = desktop.hold_hot_key("alt+c")
    try:
        assert holder.running(), "the helper could not take Alt+C"
        run = corvane.start_resident()
        told = wait_for(lambda: [t for t in desktop.tips() if "Alt+C is used by another program" in t], 15,
                        what="the balloon about Alt+C")
        assert "tray icon still captures" in told[0]
        x, y = desktop.tray_icon_point()
        desktop.click(x, y)
        desktop.wait_shown(e2e.MAIN_CLASS)
        desktop.back_to_idle()
        exit_program(desktop, run)
    finally:
        holder.kill()


def test_a_chosen_capture_key_starts_capture_and_leaves_alt_c_to_other_programs(desktop, corvane, web):
    desktop.reset_settings(version_check=False)
    desktop.reg_import({SETTINGS_KEY: {"hotkeyCapture": "Ctrl+Shift+C"}})
    run = corvane.start_resident()
    holder = desktop.hold_hot_key("alt+c")
    try:
        assert holder.running(), "Alt+C is still taken by the program"
        desktop.keys("ctrl+shift+c")
        desktop.wait_shown(e2e.MAIN_CLASS)
        desktop.back_to_idle()
        assert not [t for t in desktop.tips() if "used by another program" in t]
    finally:
        holder.kill()
    exit_program(desktop, run)
