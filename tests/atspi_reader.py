#!/usr/bin/python3
"""Read Tarnwick's windows over AT-SPI, the way a screen reader does.

Run inside a session bus of its own (dbus-run-session): starts Xvfb on a
free display, then PROGRAM with the given URLs on it, finds the program on
the accessibility bus and writes what a reader is given, as one JSON object
on standard output:

  rows      the rows of the first list named "Items"
  focused   what took the focus (its name) as the keys were typed in the
            list, after Home: rows, and the window a row opened
  texts     per text window: name, role, characters, its first lines,
            and the caret offset and the line read at it after each Down
  caret     (in each text) the caret offsets announced as it moved
  inserted  the number of text insertions announced as lines arrived

With --form NAME, an ask form instead: " and Ann" is typed at the end of
its first field (named NAME), then Tab --tabs times:

  typed     the first field's text after the typing
  controls  [name, role] of each field, button and named group of the
            form, in order
  focused   what took the focus (its name) on each Tab

Exits 77 with a message on standard error where no bus, display, xdotool
or pyatspi can be had, so that the test is skipped rather than failed.

Usage: atspi_reader.py --program PATH --config DIR [--keys-in-list KEY...]
                        [--texts N] [--keys N] URL...
       atspi_reader.py --program PATH --config DIR --form NAME [--tabs N] URL
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
XK_HOME = 0xFF50
XK_DOWN = 0xFF54
KEYSYMS = {"Down": XK_DOWN, "Up": 0xFF52, "Home": XK_HOME, "Return": 0xFF0D}
MODIFIERS = {"shift": 1, "ctrl": 4}
CONTROL_ROLES = ("text", "password text", "check box", "radio button", "push button", "panel")


def skip(message):
    print(message, file=sys.stderr)
    sys.exit(SKIP)


def start_display():
    """Starts Xvfb on the first free display; returns (process, name)."""
    read_end, write_end = os.pipe()
    try:
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except OSError as error:
        skip(f"Xvfb cannot be started: {error}")
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        xvfb.kill()
        skip("Xvfb gave no display")
    return xvfb, ":" + number.decode().strip()


def walk(accessible, depth=0):
    """Every accessible under accessible, itself first."""
    if accessible is None or depth > 60:
        return
    yield accessible
    try:
        count = accessible.childCount
    except Exception:
        return
    # Lists and tables: their cells are read below, not walked here.
    if accessible.getRoleName() in ("list", "table", "tree table", "tree"):
        return
    for i in range(count):
        try:
            child = accessible.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def window_of(accessible):
    """The name of the MDI window (internal frame) holding accessible."""
    node = accessible
    while node is not None:
        if node.getRoleName() in ("internal frame", "frame", "window"):
            return node.name
        node = node.parent
    return ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--config", required=True)
    parser.add_argument("--texts", type=int, default=0,
                        help="text windows to wait for after the keys in the list")
    parser.add_argument("--keys-in-list", nargs="*", default=[],
                        help="keys typed in the list after Home (Down, ctrl+Down, Return)")
    parser.add_argument("--keys", type=int, default=3, help="Down keys in each text")
    parser.add_argument("--form", metavar="NAME",
                        help="read an ask form whose first field is named NAME instead")
    parser.add_argument("--tabs", type=int, default=0, help="Tab keys typed in the form")
    parser.add_argument("urls", nargs="+")
    args = parser.parse_args()

    try:
        from gi.repository import Gio, GLib
    except ImportError as error:
        skip(f"python3-gi is not installed: {error}")
    if shutil.which("xdotool") is None:
        skip("xdotool is not installed")
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        skip("no session bus (run under dbus-run-session)")

    xvfb, display = start_display()
    program = None
    try:
        os.environ["DISPLAY"] = display
        # The accessibility bus and its registry are started by the session
        # bus when first asked for: they are to work on this display (the
        # registry sends the keys typed below to it).
        try:
            session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
            session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "UpdateActivationEnvironment",
                              GLib.Variant("(a{ss})", ({"DISPLAY": display},)),
                              None, Gio.DBusCallFlags.NONE, -1, None)
        except GLib.Error as error:
            skip(f"the session bus cannot be reached: {error.message}")
        try:
            import pyatspi
        except ImportError as error:
            skip(f"pyatspi is not installed: {error}")
        env = dict(os.environ)
        env.update({
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "TWK_CONFIG": args.config,
        })
        env.pop("QT_QPA_PLATFORMTHEME", None)

        heard = {"caret": [], "inserted": 0, "focused": []}

        def on_event(event):
            try:
                app = event.source.getApplication()
                if app is None or not app.name.startswith("Tarnwick"):
                    return
            except Exception:
                return
            if event.type.startswith("object:text-caret-moved"):
                heard["caret"].append(event.detail1)
            elif event.type.startswith("object:text-changed:insert"):
                heard["inserted"] += 1
            elif event.type.startswith("object:state-changed:focused") and event.detail1:
                heard["focused"].append(event.source.name)

        try:
            pyatspi.Registry.registerEventListener(
                on_event, "object:text-caret-moved", "object:text-changed:insert",
                "object:state-changed:focused")
        except Exception as error:
            skip(f"the accessibility bus cannot be reached: {error}")

        def pump(seconds):
            end = time.monotonic() + seconds
            context = GLib.MainContext.default()
            while time.monotonic() < end:
                while context.pending():
                    context.iteration(False)
                time.sleep(0.02)

        program = subprocess.Popen([args.program] + args.urls, env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def press(key, modifiers=0, heard_in=None):
            """Types the key (a keysym) with the modifiers (an X mask) held.
            With heard_in (a list of heard events), waits until the key is
            heard there (at most 10 s), else a moment for it to take effect."""
            before = len(heard_in) if heard_in is not None else 0
            if modifiers:
                pyatspi.Registry.generateKeyboardEvent(modifiers, None, pyatspi.KEY_LOCKMODIFIERS)
            pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
            if modifiers:
                pyatspi.Registry.generateKeyboardEvent(modifiers, None,
                                                       pyatspi.KEY_UNLOCKMODIFIERS)
            if heard_in is None:
                pump(0.4)
                return
            deadline = time.monotonic() + 10
            while len(heard_in) == before and time.monotonic() < deadline:
                pump(0.05)

        def activate_window():
            """Gives the program's window the keyboard, as a window manager
            does for the window clicked (there is none on this display):
            only the active window tells a reader where the focus goes."""
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(program.pid)],
                                   capture_output=True, text=True, check=False).stdout.split()
            if found:
                subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=False)
                pump(0.3)

        def app_objects():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name.startswith("Tarnwick"):
                    return list(walk(app))
            return []

        def read_form(first):
            """An ask form: waits for its first field, named first, types
            " and Ann" at its end, and lists the form's controls."""
            field = None
            deadline = time.monotonic() + 60
            while field is None and time.monotonic() < deadline:
                pump(0.3)
                if program.poll() is not None:
                    sys.exit(f"the program ended early ({program.returncode})")
                field = next((a for a in app_objects() if a.name == first
                              and a.getRoleName() == "text"), None)
            if field is None:
                sys.exit(f"no field named {first!r} on the accessibility bus")
            activate_window()
            field.queryComponent().grabFocus()
            pump(0.5)
            press(0xFF57)  # End
            pyatspi.Registry.generateKeyboardEvent(0, " and Ann", pyatspi.KEY_STRING)
            deadline = time.monotonic() + 10
            while (not field.queryText().getText(0, -1).endswith("Ann")
                   and time.monotonic() < deadline):
                pump(0.05)
            typed = field.queryText().getText(0, -1)
            # The form's window, and in it what a reader can act on.
            window = field
            while window.parent is not None and window.getRoleName() != "frame":
                window = window.parent
            controls = [[a.name, a.getRoleName()] for a in walk(window)
                        if a.getRoleName() in CONTROL_ROLES and (a.name or a.getRoleName() != "panel")
                        and a.getState().contains(pyatspi.STATE_SHOWING)]
            heard["focused"].clear()
            for _ in range(args.tabs):
                press(0xFF09, heard_in=heard["focused"])  # Tab
            return {"typed": typed, "controls": controls, "focused": list(heard["focused"])}

        def find(texts_wanted):
            """Waits for the lists named "Items" and texts_wanted text windows."""
            lists, texts = [], []
            deadline = time.monotonic() + 60
            while time.monotonic() < deadline:
                pump(0.3)
                if program.poll() is not None:
                    sys.exit(f"the program ended early ({program.returncode})")
                desktop = pyatspi.Registry.getDesktop(0)
                app = next((desktop.getChildAtIndex(i) for i in range(desktop.childCount)
                            if desktop.getChildAtIndex(i) is not None
                            and desktop.getChildAtIndex(i).name.startswith("Tarnwick")), None)
                if app is None:
                    continue
                found = list(walk(app))
                lists = [a for a in found if a.name == "Items"
                         and a.getRoleName() in ("list", "table", "tree table")]
                texts = [a for a in found if a.getRoleName() == "text"
                         and "multi line" in [pyatspi.stateToString(s)
                                              for s in a.getState().getStates()]]
                if lists and len(texts) >= texts_wanted and all(
                        l.childCount > 0 for l in lists) and all(
                        t.queryText().characterCount > 0 for t in texts):
                    pump(0.5)
                    return lists, texts
            sys.exit(f"the program's windows were not found on the accessibility bus "
                     f"(lists {len(lists)}, texts {len(texts)})")

        if args.form:
            print(json.dumps(read_form(args.form)))
            return

        lists, texts = find(0)
        result = {"rows": [], "texts": []}
        items = lists[0]
        for i in range(items.childCount):
            cell = items.getChildAtIndex(i)
            if cell is not None and cell.getRoleName() in ("list item", "table cell"):
                result["rows"].append(cell.name)

        # The keyboard in the list: to the top, then as asked.
        activate_window()
        items.queryComponent().grabFocus()
        pump(0.5)
        heard["focused"].clear()
        press(XK_HOME)
        for step in args.keys_in_list:
            *modifiers, key = step.split("+")
            # Arrows move the current row, which is heard; Return opens.
            press(KEYSYMS[key], sum(MODIFIERS[m] for m in modifiers),
                  heard_in=heard["focused"] if key in ("Down", "Up") else None)
        if args.texts:
            lists, texts = find(args.texts)
        result["focused"] = list(heard["focused"])

        for text in texts:
            iface = text.queryText()
            count = iface.characterCount
            lines = []
            offset = 0
            while offset < count and len(lines) < 5:
                line, start, end = iface.getTextAtOffset(offset, pyatspi.TEXT_BOUNDARY_LINE_START)
                lines.append(line)
                if end <= offset:
                    break
                offset = end
            entry = {"name": text.name, "role": text.getRoleName(),
                     "characters": count, "lines": lines, "read": []}
            # The keyboard goes to the text: a reader reads the line the
            # caret comes to after each Down key.
            heard["caret"].clear()
            text.queryComponent().grabFocus()
            pump(0.5)
            iface.setCaretOffset(0)
            pump(0.3)
            for _ in range(args.keys):
                press(XK_DOWN, heard_in=heard["caret"])
                caret = iface.caretOffset
                line, _, _ = iface.getTextAtOffset(caret, pyatspi.TEXT_BOUNDARY_LINE_START)
                entry["read"].append([caret, line])
            entry["caret"] = list(heard["caret"])
            result["texts"].append(entry)
        result["inserted"] = heard["inserted"]
        print(json.dumps(result))
    finally:
        if program is not None and program.poll() is None:
            program.terminate()
            try:
                program.wait(10)
            except subprocess.TimeoutExpired:
                program.kill()
                program.wait()
        xvfb.terminate()
        xvfb.wait()


if __name__ == "__main__":
    main()
