#!/usr/bin/env python3
"""The layers as the README's layout table states them, read from the table itself: each folder
includes only the folders its row names, the table runs one way, nothing below the windows includes
wx, the engine never reads the settings record, and GTK, X11, libpulse and the encoder libraries are
included under Source/Platform alone. Usage: include_directions.py <source root>"""
import re
import sys
from pathlib import Path

root = Path(sys.argv[1])
source = root / "Source"
failures = []

# "| `Source/Platform/winmm` | ... | `win32` |" -> {"Platform/winmm": {"Platform/win32"}}
rows = {}
for line in (root / "README.md").read_text().splitlines():
    m = re.match(r"\|\s*`Source/([^`]+)`\s*\|[^|]*\|([^|]*)\|", line)
    if m:
        rows[m.group(1)] = set(re.findall(r"`([^`]+)`", m.group(2)))
def folder_named(short):
    if short.startswith("res/") and (source / "Recorder" / short).is_dir():  # the images of one folder
        return "Recorder/" + short
    found = [f for f in rows if f == short or f.endswith("/" + short)]
    if len(found) != 1:
        failures.append(f"the layout table names `{short}`, which is no single folder of it")
        return short
    return found[0]
allowed = {folder: {folder_named(s) for s in names} for folder, names in rows.items()}
# The resources' row holds a folder for each folder that draws them.
allowed.update({f"Recorder/res/{d.name}": allowed.get("Recorder/res", set())
                for d in (source / "Recorder/res").iterdir() if d.is_dir()})

def row_of(path):
    return path.parent.relative_to(source).as_posix()

headers = {h.name: row_of(h) for h in source.rglob("*.h")}
includes = []  # (row, file, name, system)
for f in list(source.rglob("*.h")) + list(source.rglob("*.cpp")):
    if row_of(f) not in allowed:
        failures.append(f"{f.relative_to(source)}: its folder is in no row of the layout table")
        continue
    for line in f.read_text(errors="replace").splitlines():
        m = re.match(r'\s*#\s*include\s*([<"])([^>"]+)[>"]', line)
        if m:
            includes.append((row_of(f), f.relative_to(source).as_posix(), m.group(2), m.group(1) == "<"))

windows = {"Recorder/ui", "Recorder/dialogs", "Recorder/settings", "Recorder/mainwindow", "Recorder/app",
           "Platform/skin", "Platform/window"}
wrapped = ("gtk/", "gdk/", "X11/", "pulse/", "lame/", "libav", "vorbis/", "ogg/")
for row, file, name, system in includes:
    target = headers.get(Path(name).name)
    if not system and target and target != row and target != "Platform/text" and target not in allowed[row]:
        failures.append(f"{file} includes {name} of {target}")
    if row not in windows and not row.startswith("Recorder/res") and name.startswith("wx/"):
        failures.append(f"{file} includes {name} below the windows")
    if row in ("Recorder/encoders", "Recorder/capture") and name == "RecorderSettings.h":
        failures.append(f"{file} reads the settings record")
    # The OGG receiver binds the Vorbis libraries itself, in its source file alone.
    if (system and not row.startswith("Platform/") and name.startswith(wrapped)
            and file != "Recorder/encoders/ReceiverOGG.cpp"):
        failures.append(f"{file} includes {name} outside Source/Platform")

def reaches(start, folder, seen):
    for below in allowed.get(folder, ()):
        if below == start or (below not in seen and (seen.add(below) or reaches(start, below, seen))):
            return True
    return False
failures += [f"the layout table comes back to {f}" for f in allowed if reaches(f, f, set())]

print("\n".join(failures) or f"{len(includes)} include lines of {len(allowed)} folders keep to the table")
sys.exit(1 if failures else 0)
