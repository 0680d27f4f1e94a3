#!/usr/bin/python3
"""Prints what a screen reader reads of a running application: its AT-SPI tree.

    /usr/bin/python3 atspi_tree.py --pid PID [--wait TEXT] [--timeout SECONDS]

One line per accessible object, depth first, the application itself at depth 0:

    <depth> <role> | <name> | <description> | <states, space separated>
    e.g.  7 table cell | Track info |  | enabled focusable selectable sensitive showing visible

--wait dumps again until a line contains TEXT; the last dump is printed either way.
Exit status: 0 printed (and TEXT found), 1 TEXT never appeared, 2 no such application
or no accessibility bus.

The application must run its main loop while this reads it, with GTK's bridge loaded
(NO_AT_BRIDGE=0) and an accessibility bus: without a desktop, run both under one
`dbus-run-session`, which starts the accessibility bus when first asked for it.
Needs python3-pyatspi (Debian), hence /usr/bin/python3 rather than another Python on PATH.
"""
import argparse
import sys
import time

try:
    import pyatspi
    from gi.repository import GLib
except ImportError as error:  # pragma: no cover - told to the caller, not raised
    sys.stderr.write("atspi_tree: %s (install python3-pyatspi; run with /usr/bin/python3)\n" % error)
    sys.exit(2)


def one_line(text):
    return (text or "").replace("\n", "\\n")


def dump(accessible, depth, lines):
    """Appends the object and everything below it; an object that vanished mid-walk is skipped."""
    try:
        role, name, description = accessible.getRoleName(), accessible.name, accessible.description
        count = accessible.childCount
        states = " ".join(sorted(pyatspi.state.STATE_VALUE_TO_NAME.get(s, str(int(s)))
                                 for s in accessible.getState().getStates()))
    except GLib.GError:
        return
    lines.append("%d %s | %s | %s | %s" % (depth, role, one_line(name), one_line(description), states))
    for i in range(count):
        try:
            child = accessible.getChildAtIndex(i)
        except GLib.GError:
            continue
        if child is not None:
            dump(child, depth + 1, lines)


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        try:
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == pid:
                return app
        except GLib.GError:
            continue
    return None


def settle():
    # Lets the library take in the bus's news (applications that came, objects that changed).
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--wait", metavar="TEXT")
    parser.add_argument("--timeout", type=float, default=10.0)
    options = parser.parse_args()

    end = time.monotonic() + options.timeout
    app = None
    while app is None and time.monotonic() <= end:
        settle()
        try:
            app = find_application(options.pid)
        except GLib.GError as error:
            sys.stderr.write("atspi_tree: %s\n" % error.message)
        if app is None:
            time.sleep(0.2)
    if app is None:
        sys.stderr.write("atspi_tree: no application with pid %d on the accessibility bus\n" % options.pid)
        return 2

    while True:
        settle()
        try:
            app.clearCache()
        except (AttributeError, GLib.GError):
            pass
        lines = []
        dump(app, 0, lines)
        found = options.wait is None or any(options.wait in line for line in lines)
        if found or time.monotonic() > end:
            break
        time.sleep(0.2)
    print("\n".join(lines))
    if not found:
        sys.stderr.write("atspi_tree: no line holds %r\n" % options.wait)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
