"""Settings as the registry and the tray menu show them: a first start's values and
save folder, and the three switches of the tray menu, kept across a restart."""

import corvane_e2e as e2e
from corvane_e2e import RUN_KEY, SETTINGS_KEY, wait_for


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
    assert desktop.reg_query(RUN_KEY).get("corvane.exe", (None, "")) [1].lower() == exe.lower()
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
