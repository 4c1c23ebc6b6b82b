#!/usr/bin/python3
"""Rewrites the blocks in our headers that hide <windows.h>'s macros.

The portable constants in platform/types.h carry the platform's own names,
which <windows.h> (or <wininet.h>, ...) defines as macros. Each header that
declares or uses one of those names saves the macro, undefines it, and
restores it at its end, so the header compiles whether or not <windows.h> came first. This
script finds the names in use and rewrites the blocks between the markers:

  // <windows.h> names hidden (scripts/windows_names.py): begin ... end
  // <windows.h> names restored: begin ... end

Run it after adding a constant: /usr/bin/python3 scripts/windows_names.py
"""
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parent.parent
HIDE = ("// <windows.h> names hidden (scripts/windows_names.py): begin", "// <windows.h> names hidden: end")
HEADER_FOLDERS = ("app", "capture", "desktop", "net", "picture", "settings", "platform")
RESTORE = ("// <windows.h> names restored: begin", "// <windows.h> names restored: end")


def strip_blocks(text):
    for begin, end in (HIDE, RESTORE):
        text = re.sub(re.escape(begin) + r".*?" + re.escape(end), "", text, flags=re.S)
    return text


def code_of(text):
    """The text without comments, string literals and the generated blocks."""
    text = strip_blocks(text)
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", " ", text)
    return re.sub(r'"(?:\\.|[^"\\])*"', '""', text)


def declared_names(types_h):
    names = []
    for decl in re.finditer(r"inline const(?:expr)?\s[^;{]*;", code_of(types_h)):
        for name in re.findall(r"\b([A-Z][A-Z0-9_]*)\s*=(?!=)", decl.group(0)):
            if name not in names:
                names.append(name)
    return names


def block(marks, lines):
    return "\n".join([marks[0], *lines, marks[1]])


def main():
    names = declared_names((ROOT / "platform/types.h").read_text())
    headers = [h for folder in HEADER_FOLDERS for h in sorted((ROOT / folder).glob("*.h"))]
    for header in headers:
        text = header.read_text()
        if HIDE[0] not in text:
            continue
        used = set(re.findall(r"\b[A-Z][A-Z0-9_]*\b", code_of(text)))
        mine = [n for n in names if n in used]
        hide = [line for n in mine for line in (f'#pragma push_macro("{n}")', f"#undef {n}")]
        restore = [f'#pragma pop_macro("{n}")' for n in mine]
        for marks, lines in ((HIDE, hide), (RESTORE, restore)):
            text = re.sub(re.escape(marks[0]) + r".*?" + re.escape(marks[1]),
                          lambda _: block(marks, lines), text, flags=re.S)
        header.write_text(text)
        print(f"{header.relative_to(ROOT)}: {len(mine)} names")


if __name__ == "__main__":
    main()
