"""The shipped file: one executable that needs nothing beside it."""

import re
import subprocess

import corvane_e2e as e2e

# DLLs every Windows installation has; anything else would have to ship beside the exe.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "gdiplus.dll", "wininet.dll", "comdlg32.dll",
    "shell32.dll", "ole32.dll", "oleaut32.dll", "advapi32.dll", "comctl32.dll", "shlwapi.dll",
    "msvcrt.dll", "ucrtbase.dll", "ws2_32.dll", "uxtheme.dll", "version.dll", "bcrypt.dll",
}


def imported_dlls(exe):
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(exe)], stdout=subprocess.PIPE,
                         check=True, timeout=60).stdout.decode()
    return {name.lower() for name in re.findall(r"DLL Name: (\S+)", out)}


def test_corvane_exe_imports_only_system_dlls():
    dlls = imported_dlls(e2e.build_dir() / "corvane.exe")
    assert dlls, "objdump found no imports"
    foreign = {d for d in dlls - SYSTEM_DLLS if not d.startswith("api-ms-win-")}
    assert not foreign, f"corvane.exe needs DLLs that Windows does not ship: {sorted(foreign)}"
