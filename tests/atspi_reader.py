#!/usr/bin/python3
"""Read Tarnwick's windows over AT-SPI, the way a screen reader does.

Run under dbus-run-session: starts Xvfb, then PROGRAM with the URLs on it, and
prints one JSON object: "rows" of the first list named "Items"; "focused", the
names that took the focus as the keys were typed in the list after Home;
"texts" per text window (name, role, characters, first lines, and after each
Down the caret offset and the line read there, and the caret moves heard);
"inserted", the text insertions heard.  With --form NAME: " and Ann" is typed
at the end of the field NAME, then Tab --tabs times; prints "typed", the
form's "controls" as [name, role], and "focused" on each Tab.
Exits 77 (skip) where no bus, display, xdotool or pyatspi can be had.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
KEYSYMS = {"Down": 0xFF54, "Up": 0xFF52, "Home": 0xFF50, "Return": 0xFF0D, "End": 0xFF57, "Tab": 0xFF09}
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
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except OSError as error:
        skip(f"Xvfb cannot be started: {error}")
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n") and (chunk := pipe.read(1)):
            number += chunk
    if not number.strip():
        xvfb.kill()
        skip("Xvfb gave no display")
    return xvfb, ":" + number.decode().strip()


def walk(accessible, depth=0):
    """Every accessible under accessible, itself first; not into lists' cells."""
    if accessible is None or depth > 60:
        return
    yield accessible
    try:
        if accessible.getRoleName() in ("list", "table", "tree table", "tree"):
            return
        count = accessible.childCount
    except Exception:
        return
    for i in range(count):
        try:
            child = accessible.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--config", required=True)
    parser.add_argument("--texts", type=int, default=0, help="text windows to wait for after the keys")
    parser.add_argument("--keys-in-list", nargs="*", default=[], help="after Home: Down, ctrl+Down, Return")
    parser.add_argument("--keys", type=int, default=3, help="Down keys in each text")
    parser.add_argument("--form", metavar="NAME", help="read the ask form whose first field is NAME")
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
        # The accessibility bus and registry, started on demand, are to use this display.
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
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1", TWK_CONFIG=args.config)
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
            """Types the key name with the modifiers (an X mask) held; with heard_in
            (a list), waits up to 10 s until the key is heard there, else a moment."""
            before = len(heard_in) if heard_in is not None else 0
            if modifiers:
                pyatspi.Registry.generateKeyboardEvent(modifiers, None, pyatspi.KEY_LOCKMODIFIERS)
            pyatspi.Registry.generateKeyboardEvent(KEYSYMS[key], None, pyatspi.KEY_SYM)
            if modifiers:
                pyatspi.Registry.generateKeyboardEvent(modifiers, None, pyatspi.KEY_UNLOCKMODIFIERS)
            if heard_in is None:
                pump(0.4)
                return
            deadline = time.monotonic() + 10
            while len(heard_in) == before and time.monotonic() < deadline:
                pump(0.05)

        def focus(accessible):
            """Activates the window as a window manager would (only the active one
            tells where the focus goes), and gives accessible the keyboard."""
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(program.pid)],
                                   capture_output=True, text=True, check=False).stdout.split()
            if found:
                subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=False)
                pump(0.3)
            accessible.queryComponent().grabFocus()
            pump(0.5)

        def wait_for(find, what):
            """find() over the program's accessibles until it gives something, at most 60 s."""
            found, deadline = None, time.monotonic() + 60
            while not found and time.monotonic() < deadline:
                pump(0.3)
                if program.poll() is not None:
                    sys.exit(f"the program ended early ({program.returncode})")
                desktop = pyatspi.Registry.getDesktop(0)
                apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
                app = next((a for a in apps if a is not None and a.name.startswith("Tarnwick")), None)
                found = find(list(walk(app))) if app is not None else None
            if not found:
                sys.exit(f"{what} not found on the accessibility bus")
            return found

        if args.form:
            field = wait_for(lambda objects: next((a for a in objects if a.name == args.form
                                                   and a.getRoleName() == "text"), None),
                             f"a field named {args.form!r}")
            focus(field)
            press("End")
            pyatspi.Registry.generateKeyboardEvent(0, " and Ann", pyatspi.KEY_STRING)
            deadline = time.monotonic() + 10
            while not (typed := field.queryText().getText(0, -1)).endswith("Ann") and time.monotonic() < deadline:
                pump(0.05)
            window = field
            while window.parent is not None and window.getRoleName() != "frame":
                window = window.parent
            controls = [[a.name, a.getRoleName()] for a in walk(window)
                        if a.getRoleName() in CONTROL_ROLES and (a.name or a.getRoleName() != "panel")
                        and a.getState().contains(pyatspi.STATE_SHOWING)]
            heard["focused"].clear()
            for _ in range(args.tabs):
                press("Tab", heard_in=heard["focused"])
            print(json.dumps({"typed": typed, "controls": controls, "focused": heard["focused"]}))
            return

        def windows(texts_wanted):
            """The lists named "Items" and at least texts_wanted text windows, all filled."""
            def find(objects):
                lists = [a for a in objects if a.name == "Items"
                         and a.getRoleName() in ("list", "table", "tree table")]
                texts = [a for a in objects if a.getRoleName() == "text"
                         and a.getState().contains(pyatspi.STATE_MULTI_LINE)]
                if lists and len(texts) >= texts_wanted and all(l.childCount > 0 for l in lists) \
                        and all(t.queryText().characterCount > 0 for t in texts):
                    pump(0.5)
                    return lists, texts
                return None
            return wait_for(find, "the program's windows")

        lists, texts = windows(0)
        items = lists[0]
        result = {"rows": [cell.name for cell in map(items.getChildAtIndex, range(items.childCount))
                           if cell is not None and cell.getRoleName() in ("list item", "table cell")],
                  "texts": []}
        focus(items)
        heard["focused"].clear()
        press("Home")
        for step in args.keys_in_list:
            *modifiers, key = step.split("+")
            # Arrows move the current row, which is heard; Return opens.
            press(key, sum(MODIFIERS[m] for m in modifiers),
                  heard_in=heard["focused"] if key in ("Down", "Up") else None)
        if args.texts:
            lists, texts = windows(args.texts)
        result["focused"] = list(heard["focused"])

        for text in texts:
            iface = text.queryText()
            count = iface.characterCount
            lines, offset = [], 0
            while offset < count and len(lines) < 5:
                line, start, end = iface.getTextAtOffset(offset, pyatspi.TEXT_BOUNDARY_LINE_START)
                lines.append(line)
                if end <= offset:
                    break
                offset = end
            entry = {"name": text.name, "role": text.getRoleName(), "characters": count,
                     "lines": lines, "read": []}
            # The line a reader reads where the caret comes to after each Down.
            heard["caret"].clear()
            text.queryComponent().grabFocus()
            pump(0.5)
            iface.setCaretOffset(0)
            pump(0.3)
            for _ in range(args.keys):
                press("Down", heard_in=heard["caret"])
                caret = iface.caretOffset
                entry["read"].append([caret, iface.getTextAtOffset(caret, pyatspi.TEXT_BOUNDARY_LINE_START)[0]])
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
