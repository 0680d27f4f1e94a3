#!/usr/bin/python3
"""Prints what a screen reader reads of a running application: its AT-SPI tree.

    /usr/bin/python3 atspi_tree.py (--pid PID | --name NAME) [--wait TEXT] [--timeout SECONDS]
                                   [--max-depth N] [--showing]

One line per accessible object, depth first, the application itself at depth 0:

    <depth> <role> | <name> | <description> | <states, space separated>
    e.g.  7 table cell | Track info |  | enabled focusable selectable sensitive showing visible

  --pid PID        the application whose process id is PID
  --name NAME      the application named NAME (GTK: the program's file name), else the first
                   whose name contains NAME
  --wait TEXT      dump again until a line contains TEXT (a part of a line, e.g.
                   "table cell | General |"); the last dump is printed either way
  --timeout S      how long to wait for the application and for TEXT (default 10)
  --max-depth N    leave out objects deeper than N
  --showing        leave out objects (with all below them) that are not on the screen

Exit status: 0 printed (and TEXT found), 1 TEXT never appeared, 2 no such application
or no accessibility bus.

The application must run its main loop while this reads it (a test waits for the helper
with its events running), and it must have loaded GTK's bridge: NO_AT_BRIDGE unset (or 0)
and an accessibility bus to talk to. On a machine without a desktop session, run both
under one private session bus, which starts the accessibility bus (at-spi-bus-launcher)
the first time it is asked for:

    dbus-run-session -- sh -c 'NO_AT_BRIDGE=0 ./program & sleep 2; \\
        /usr/bin/python3 Tests/support/atspi_tree.py --name program --wait "push button | OK"'

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


def state_names(accessible):
    try:
        states = accessible.getState().getStates()
    except GLib.GError:
        return ""
    return " ".join(sorted(pyatspi.state.STATE_VALUE_TO_NAME.get(s, str(int(s))) for s in states))


def one_line(text):
    return (text or "").replace("\n", "\\n")


def dump(accessible, depth, options, lines):
    """Appends the object and everything below it; an object that vanished mid-walk is skipped."""
    try:
        role = accessible.getRoleName()
        name = accessible.name
        description = accessible.description
        count = accessible.childCount
    except GLib.GError:
        return
    states = state_names(accessible)
    if options.showing and depth > 0 and "showing" not in states.split():
        return
    lines.append("%d %s | %s | %s | %s" % (depth, role, one_line(name), one_line(description), states))
    if options.max_depth is not None and depth >= options.max_depth:
        return
    for i in range(count):
        try:
            child = accessible.getChildAtIndex(i)
        except GLib.GError:
            continue
        if child is not None:
            dump(child, depth + 1, options, lines)


def find_application(options):
    desktop = pyatspi.Registry.getDesktop(0)
    candidates = []
    for i in range(desktop.childCount):
        try:
            app = desktop.getChildAtIndex(i)
            if app is None:
                continue
            if options.pid is not None and app.get_process_id() == options.pid:
                return app
            candidates.append(app)
        except GLib.GError:
            continue
    if options.name is None:
        return None
    for exact in (True, False):
        for app in candidates:
            try:
                name = app.name or ""
            except GLib.GError:
                continue
            if name == options.name if exact else options.name in name:
                return app
    return None


def settle():
    # Lets the library take in the bus's news (applications that came, objects that changed).
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    which = parser.add_mutually_exclusive_group(required=True)
    which.add_argument("--pid", type=int)
    which.add_argument("--name")
    parser.add_argument("--wait", metavar="TEXT")
    parser.add_argument("--timeout", type=float, default=10.0)
    parser.add_argument("--max-depth", type=int)
    parser.add_argument("--showing", action="store_true")
    options = parser.parse_args()

    end = time.monotonic() + options.timeout
    app = None
    while True:
        settle()
        try:
            app = find_application(options)
        except GLib.GError as error:
            sys.stderr.write("atspi_tree: %s\n" % error.message)
        if app is not None or time.monotonic() > end:
            break
        time.sleep(0.2)
    if app is None:
        sys.stderr.write("atspi_tree: no application %s on the accessibility bus\n"
                         % ("with pid %d" % options.pid if options.pid is not None else "named " + options.name))
        return 2

    while True:
        settle()
        try:
            app.clearCache()
        except (AttributeError, GLib.GError):
            pass
        lines = []
        dump(app, 0, options, lines)
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
