#!/usr/bin/python3
"""Start Debian's pygopherd on 127.0.0.1 for tests and for the sample server.

pygopherd writes cache files into the tree it serves, so the tree is first
copied into WORKDIR/root; the configuration (the system's, with port, root,
pid file and logging changed) goes to WORKDIR/pygopherd.conf. The process
then replaces itself with pygopherd, so the caller's pid is the server's pid.

Usage: run_pygopherd.py --root TREE --port N --workdir DIR [--abstracts-in-menus]
                        [--exec-scripts]
"""

import argparse
import ast
import configparser
import os
import shutil
import sys

SYSTEM_CONF = "/etc/pygopherd/pygopherd.conf"
PYGOPHERD = "/usr/sbin/pygopherd"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="tree to serve (copied)")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--workdir", required=True, help="writable directory")
    parser.add_argument("--host", default="127.0.0.1")
    # pygopherd can also write abstracts into menus as info lines ("fake",
    # "(NULL)", port 0): the directory's own at the top, each item's after
    # it, and again as extra +INFO blocks in "$" menus. Off unless asked for;
    # Gopher+ clients get abstracts from the +ABSTRACT blocks either way.
    parser.add_argument("--abstracts-in-menus", action="store_true")
    # Executable files in the tree answer requests (pygopherd's ExecHandler):
    # the sample gopherspace's index search is one. Off unless asked for.
    parser.add_argument("--exec-scripts", action="store_true")
    args = parser.parse_args()

    workdir = os.path.abspath(args.workdir)
    served = os.path.join(workdir, "root")
    if os.path.exists(served):
        shutil.rmtree(served)
    shutil.copytree(args.root, served, symlinks=True)

    # Raw: the values are written back exactly as read; pygopherd does its
    # own interpolation when it reads the copy.
    conf = configparser.RawConfigParser()
    if not conf.read(SYSTEM_CONF):
        sys.exit(f"run_pygopherd: cannot read {SYSTEM_CONF}")
    settings = {
        "port": str(args.port),
        "root": served,
        "usechroot": "no",
        "interface": args.host,
        "servername": args.host,
        "pidfile": os.path.join(workdir, "pygopherd.pid"),
        "detach": "no",
        "abstract_entries": "always" if args.abstracts_in_menus else "never",
        "abstract_headers": "on" if args.abstracts_in_menus else "off",
    }
    for key, value in settings.items():
        conf.set("pygopherd", key, value)
    # A "NAME.views" file beside an item lists its alternate views (with
    # language tags and sizes) as the item's +VIEWS block.
    eaexts = ast.literal_eval(conf.get("GopherEntry", "eaexts"))
    eaexts[".views"] = "VIEWS"
    conf.set("GopherEntry", "eaexts", repr(eaexts))
    ignore = conf.get("handlers.dir.DirHandler", "ignorepatt")
    conf.set("handlers.dir.DirHandler", "ignorepatt", ignore + r"|\.views$")
    conf.set("handlers.dir.DirHandler", "cachetime", "0")
    if args.exec_scripts:
        handlers = conf.get("handlers.HandlerMultiplexer", "handlers")
        conf.set("handlers.HandlerMultiplexer", "handlers",
                 handlers.replace("file.FileHandler]", "scriptexec.ExecHandler, file.FileHandler]"))
    if not conf.has_section("logger"):
        conf.add_section("logger")
    conf.set("logger", "logmethod", "none")

    conf_path = os.path.join(workdir, "pygopherd.conf")
    with open(conf_path, "w", encoding="utf-8") as out:
        conf.write(out)

    sys.stdout.flush()
    os.execv(sys.executable, [sys.executable, PYGOPHERD, conf_path])


if __name__ == "__main__":
    main()
