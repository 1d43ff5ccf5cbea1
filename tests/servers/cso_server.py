#!/usr/bin/python3
"""A small CSO (qi/ph) phone-book server on 127.0.0.1 for tests and ./run.

    cso_server.py [--data FILE] [--log FILE] [--port N] [--host H]

Prints "PORT <n>" on stdout once it listens (port 0 picks a free port).

It speaks the part of the qi protocol a Gopher client uses:
    fields              the field list: "-200:n:name:properties" and
                        "-200:n:name:description" lines, then "200:Ok."
    query TERMS         TERMS are "field=value" pairs or bare words (matched
                        against the name); every person whose fields all
                        match (case-insensitive, "*" as wildcard) is sent as
                        "-200:n:   field: value" lines, a value with newlines
                        as several lines of the same field; then "200:Ok."
                        No match: "501:No matches to your query."
                        An unknown field: "507:Field does not exist."
    quit, bye, exit     "200:Bye!" and the connection is closed
    anything else       "598:Command unknown."

--data names a JSON file {"fields": [[name, properties, description], ...],
"persons": [{field: value, ...}, ...]}; without it a built-in book is used.

Log (--log): one JSON object per line: {"conn": i, "body": s, "hex": h} for
every command line received (with its line end), strings as Latin-1.
"""

import argparse
import fnmatch
import json
import socket
import sys
import threading

BOOK = {
    "fields": [
        ["name", "max 64 Indexed Lookup Public Default", "Full name."],
        ["email", "max 64 Lookup Public Default", "Electronic mail address."],
        ["phone", "max 32 Indexed Lookup Public Default", "Office telephone."],
        ["address", "max 128 Public Default", "Office address."],
        ["alias", "max 32 Indexed Lookup Public", "Unique handle."],
    ],
    "persons": [
        {"name": "Ada Fenwright", "email": "ada@fen.example", "phone": "555 0101",
         "address": "Room 4, Mill House\nTarnwick Lane", "alias": "ada"},
        {"name": "Bertram Fenwright", "email": "bert@fen.example", "phone": "555 0102",
         "address": "Room 6, Mill House", "alias": "bert"},
        {"name": "Cora Lindqvist", "email": "cora@lind.example", "phone": "555 0200",
         "address": "The Boathouse", "alias": "cora"},
    ],
}

MAX_LINE = 4096


class Log:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()

    def write(self, conn, data):
        if not self.path:
            return
        text = data.decode("latin-1")
        with self.lock, open(self.path, "a", encoding="utf-8") as f:
            f.write(json.dumps({"conn": conn, "body": text, "hex": data.hex()}) + "\n")


def matches(person, field, pattern):
    value = person.get(field, "")
    pattern = pattern.lower()
    if "*" not in pattern and "?" not in pattern:
        return any(pattern == word for word in value.lower().split()) or pattern == value.lower()
    return fnmatch.fnmatchcase(value.lower(), pattern) or any(
        fnmatch.fnmatchcase(word, pattern) for word in value.lower().split())


def answer_query(book, terms):
    names = [f[0] for f in book["fields"]]
    wanted = []
    for term in terms.split():
        if term.lower() == "return":
            break
        field, sep, value = term.partition("=")
        if not sep:
            field, value = "name", term
        if field not in names:
            return ["507:Field does not exist."]
        if value:
            wanted.append((field, value))
    if not wanted:
        return ["502:Query has no search terms."]
    found = [p for p in book["persons"] if all(matches(p, f, v) for f, v in wanted)]
    if not found:
        return ["501:No matches to your query."]
    lines = ["102:There were %d matches to your request." % len(found)]
    width = max(len(n) for n in names)
    for number, person in enumerate(found, 1):
        for name in names:
            if name not in person:
                continue
            for i, part in enumerate(person[name].split("\n")):
                label = name if i == 0 else ""
                lines.append("-200:%d:%s: %s" % (number, label.rjust(width), part))
    lines.append("200:Ok.")
    return lines


def answer_fields(book):
    lines = []
    for number, (name, props, description) in enumerate(book["fields"], 1):
        lines.append("-200:%d:%s:%s" % (number, name, props))
        lines.append("-200:%d:%s:%s" % (number, name, description))
    lines.append("200:Ok.")
    return lines


def serve(sock, conn, book, log):
    buffer = b""
    try:
        while True:
            while b"\n" not in buffer:
                chunk = sock.recv(4096)
                if not chunk:
                    return
                buffer += chunk
                if len(buffer) > MAX_LINE and b"\n" not in buffer:
                    sock.sendall(b"598:Line too long.\r\n")
                    return
            line, _, buffer = buffer.partition(b"\n")
            log.write(conn, line + b"\n")
            command = line.rstrip(b"\r").decode("latin-1").strip()
            verb, _, rest = command.partition(" ")
            verb = verb.lower()
            if verb in ("quit", "bye", "exit"):
                sock.sendall(b"200:Bye!\r\n")
                return
            if verb == "fields":
                reply = answer_fields(book)
            elif verb in ("query", "ph"):
                reply = answer_query(book, rest)
            elif not verb:
                continue
            else:
                reply = ["598:Command unknown."]
            sock.sendall("".join(l + "\r\n" for l in reply).encode("latin-1"))
    except OSError:
        pass
    finally:
        try:
            sock.close()
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--data")
    parser.add_argument("--log")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--host", default="127.0.0.1")
    args = parser.parse_args()
    book = BOOK
    if args.data:
        with open(args.data, encoding="utf-8") as f:
            book = json.load(f)
    log = Log(args.log)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.host, args.port))
    listener.listen(16)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    conn = 0
    while True:
        sock, _ = listener.accept()
        threading.Thread(target=serve, args=(sock, conn, book, log), daemon=True).start()
        conn += 1


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
