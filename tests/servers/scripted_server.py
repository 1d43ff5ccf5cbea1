#!/usr/bin/python3
"""A scriptable TCP server on 127.0.0.1 for network tests.

Real Gopher servers cannot be told to misbehave; this one replies from a JSON
script, so a test can provoke split lines, slow replies, resets, endless
replies, ask-form uploads and CSO exchanges.

    scripted_server.py --script FILE [--log FILE] [--port N] [--host H]

Prints "PORT <n>" on stdout once it listens (port 0 picks a free port).

The script is an object {"routes": [...], "rcvbuf": n} or just the list of
routes. A route is {"match": "selector\\tplus", "steps": [...]} (compared with
the request minus its trailing CR LF), {"match": "*"} (anything),
{"prefix": "text"}, optionally with "times": n (used for the first n matching
connections only). Strings stand for bytes: each character is one byte
(Latin-1); characters above U+00FF are an error. The first matching route wins;
no match closes the connection without a reply.

Steps, run in order:
    {"send": "text"}           send bytes (Latin-1)
    {"send_utf8": "text"}      send text encoded as UTF-8
    {"send_hex": "0d0a"}       send bytes given in hex
    {"send_file": "path"}      send a file (relative to the script's folder)
    {"sleep_ms": n}            wait
    {"close": true}            orderly close (FIN); the default after the last step
    {"reset": true}            abortive close (RST)
    {"hold": true}             send nothing, keep the connection open until
                               the client goes away or the server is killed;
                               what the client sends meanwhile is logged
    {"no_read": true}          like hold, but stop reading, so a client's large
                               upload fills the (tiny) receive buffer and blocks
    {"endless": "line"}        send the line (CR LF added if it has no LF) again
                               and again until the client goes away
    {"read_until_terminator": true}
                               read until a line holding only "." has arrived
    {"read_until": "text"}     read until the bytes received after the request
                               contain this text
    {"read_data_block": true}  read one Gopher+ data block: a "+-1" block up to
                               its "." line, a "+N" block of N bytes after its
                               header line

Log (--log): one JSON object per line, appended as things happen:
    {"conn": i, "request": s, "hex": h}   the request line (up to and
                                          including the first LF, or what
                                          arrived before the client closed,
                                          at most 1 MB)
    {"conn": i, "body": s, "hex": h}      bytes read by a read_until* or hold
                                          step
    {"conn": i, "tail": s, "hex": h}      bytes read while closing
Strings in the log are the bytes as Latin-1 characters.
"""

import argparse
import json
import os
import select
import socket
import struct
import sys
import threading
import time

REQUEST_CAP = 1 << 20
CHUNK = 65536
DRAIN_SECONDS = 2.0
TINY_RCVBUF = 1024


class ScriptError(Exception):
    pass


def to_bytes(text, what):
    if not isinstance(text, str):
        raise ScriptError(f"{what}: expected a string")
    try:
        return text.encode("latin-1")
    except UnicodeEncodeError:
        raise ScriptError(f"{what}: characters above U+00FF; use send_utf8 or send_hex")


class Route:
    def __init__(self, spec, base_dir):
        if not isinstance(spec, dict):
            raise ScriptError("a route must be an object")
        self.match = None
        self.prefix = None
        if "match" in spec:
            self.match = to_bytes(spec["match"], "match")
        elif "prefix" in spec:
            self.prefix = to_bytes(spec["prefix"], "prefix")
        else:
            raise ScriptError('a route needs "match" or "prefix"')
        self.times = spec.get("times")
        self.used = 0
        self.steps = [self.check_step(s, base_dir) for s in spec.get("steps", [])]

    @staticmethod
    def check_step(step, base_dir):
        if not isinstance(step, dict) or len(step) != 1:
            raise ScriptError(f"a step must be an object with one key: {step!r}")
        (kind, value), = step.items()
        if kind == "send":
            return ("send", to_bytes(value, "send"))
        if kind == "send_utf8":
            return ("send", str(value).encode("utf-8"))
        if kind == "send_hex":
            return ("send", bytes.fromhex(value))
        if kind == "send_file":
            path = value if os.path.isabs(value) else os.path.join(base_dir, value)
            with open(path, "rb") as f:
                return ("send", f.read())
        if kind == "sleep_ms":
            return ("sleep", float(value) / 1000.0)
        if kind == "endless":
            line = to_bytes(value, "endless")
            if not line.endswith(b"\n"):
                line += b"\r\n"
            return ("endless", line)
        if kind == "read_until":
            return ("read_until", to_bytes(value, "read_until"))
        if kind in ("close", "reset", "hold", "no_read", "read_until_terminator",
                    "read_data_block"):
            return (kind, None)
        raise ScriptError(f"unknown step {kind!r}")

    def accepts(self, request):
        if self.times is not None and self.used >= self.times:
            return False
        key = request
        if key.endswith(b"\n"):
            key = key[:-1]
        if key.endswith(b"\r"):
            key = key[:-1]
        if self.match is not None:
            return self.match == b"*" or self.match == key
        return key.startswith(self.prefix)


class Server:
    def __init__(self, routes, log_path, rcvbuf):
        self.routes = routes
        self.route_lock = threading.Lock()
        self.log_path = log_path
        self.log_lock = threading.Lock()
        self.rcvbuf = rcvbuf
        self.next_conn = 0

    def log(self, conn_id, key, data):
        if not self.log_path:
            return
        line = json.dumps({"conn": conn_id, key: data.decode("latin-1"), "hex": data.hex()})
        with self.log_lock:
            with open(self.log_path, "a", encoding="utf-8") as f:
                f.write(line + "\n")

    def pick_route(self, request):
        with self.route_lock:
            for route in self.routes:
                if route.accepts(request):
                    route.used += 1
                    return route
        return None

    def serve(self, host, port):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if self.rcvbuf:
            # Accepted sockets inherit this; it must be set before listen()
            # for the advertised window to stay small.
            listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, self.rcvbuf)
        listener.bind((host, port))
        listener.listen(128)
        sys.stdout.write(f"PORT {listener.getsockname()[1]}\n")
        sys.stdout.flush()
        while True:
            try:
                sock, _ = listener.accept()
            except InterruptedError:
                continue
            except OSError:
                continue
            conn_id = self.next_conn
            self.next_conn += 1
            threading.Thread(target=self.handle, args=(sock, conn_id), daemon=True).start()

    def handle(self, sock, conn_id):
        conn = Connection(self, sock, conn_id)
        try:
            conn.run()
        except OSError:
            pass  # the client reset or went away; nothing to report
        finally:
            try:
                sock.close()
            except OSError:
                pass


class Connection:
    def __init__(self, server, sock, conn_id):
        self.server = server
        self.sock = sock
        self.conn_id = conn_id
        self.pending = b""  # read but not yet given to a step
        self.peer_closed = False
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def recv_some(self):
        data = self.sock.recv(CHUNK)
        if not data:
            self.peer_closed = True
        return data

    def read_request(self):
        buf = b""
        while b"\n" not in buf and len(buf) < REQUEST_CAP and not self.peer_closed:
            buf += self.recv_some()
        end = buf.find(b"\n")
        if end >= 0:
            request, self.pending = buf[: end + 1], buf[end + 1 :]
        else:
            request, self.pending = buf[:REQUEST_CAP], buf[REQUEST_CAP:]
        return request

    def run(self):
        request = self.read_request()
        self.server.log(self.conn_id, "request", request)
        route = self.server.pick_route(request)
        steps = route.steps if route else []
        for kind, value in steps:
            if kind == "send":
                self.sock.sendall(value)
            elif kind == "sleep":
                time.sleep(value)
            elif kind == "endless":
                self.endless(value)
                return
            elif kind == "read_until_terminator":
                self.read_until_terminator()
            elif kind == "read_until":
                self.read_until(value)
            elif kind == "read_data_block":
                self.read_data_block()
            elif kind == "close":
                break
            elif kind == "reset":
                self.reset()
                return
            elif kind == "hold":
                self.hold()
                return
            elif kind == "no_read":
                self.wait_without_reading()
                return
        self.orderly_close()

    def read_body(self, done):
        body = self.pending
        self.pending = b""
        while not done(body) and not self.peer_closed:
            body += self.recv_some()
        self.server.log(self.conn_id, "body", body)

    def read_until_terminator(self):
        def done(body):
            return body.startswith(b".\r\n") or body.startswith(b".\n") or \
                b"\n.\r\n" in body or b"\n.\n" in body
        self.read_body(done)

    def read_until(self, text):
        self.read_body(lambda body: text in body)

    def read_data_block(self):
        def done(body):
            end = body.find(b"\n")
            if end < 0:
                return False
            header = body[:end].rstrip(b"\r")
            if header == b"+-1":
                rest = body[end + 1:]
                return rest.startswith(b".\r\n") or rest.startswith(b".\n") or \
                    b"\n.\r\n" in rest or b"\n.\n" in rest
            if header.startswith(b"+") and header[1:].isdigit():
                return len(body) - (end + 1) >= int(header[1:])
            return True  # not a data block: nothing more to wait for
        self.read_body(done)

    def endless(self, line):
        block = line * max(1, CHUNK // len(line))
        while True:
            self.sock.sendall(block)  # raises once the client has gone

    def reset(self):
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.sock.close()

    def hold(self):
        # Logged as it arrives, so a test can see the connection is still
        # being served.
        data, self.pending = self.pending, b""
        while True:
            if data:
                self.server.log(self.conn_id, "body", data)
            if self.peer_closed:
                return
            data = self.recv_some()

    def wait_without_reading(self):
        poller = select.poll()
        poller.register(self.sock, select.POLLRDHUP | select.POLLERR | select.POLLHUP)
        while True:
            events = poller.poll()
            if any(ev & (select.POLLRDHUP | select.POLLERR | select.POLLHUP) for _, ev in events):
                return

    def orderly_close(self):
        # close() with unread bytes in the receive buffer would send RST, so
        # send FIN first and drain what the client still sends.
        self.sock.shutdown(socket.SHUT_WR)
        tail = self.pending
        self.pending = b""
        deadline = time.monotonic() + DRAIN_SECONDS
        self.sock.settimeout(0.1)
        while not self.peer_closed and time.monotonic() < deadline:
            try:
                tail += self.recv_some()
            except socket.timeout:
                pass
        if tail:
            self.server.log(self.conn_id, "tail", tail)


def load_script(path):
    with open(path, "r", encoding="utf-8") as f:
        spec = json.load(f)
    if isinstance(spec, list):
        spec = {"routes": spec}
    if not isinstance(spec, dict) or not isinstance(spec.get("routes"), list):
        raise ScriptError('the script must be a list of routes or {"routes": [...]}')
    base_dir = os.path.dirname(os.path.abspath(path))
    routes = [Route(r, base_dir) for r in spec["routes"]]
    rcvbuf = spec.get("rcvbuf")
    if rcvbuf is None and any(kind == "no_read" for r in routes for kind, _ in r.steps):
        rcvbuf = TINY_RCVBUF
    return routes, rcvbuf


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--script", required=True)
    parser.add_argument("--log")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--host", default="127.0.0.1")
    args = parser.parse_args()
    try:
        routes, rcvbuf = load_script(args.script)
    except (OSError, ValueError, ScriptError) as e:
        sys.stderr.write(f"scripted_server: bad script {args.script}: {e}\n")
        sys.exit(2)
    if args.log:
        open(args.log, "a").close()
    try:
        Server(routes, args.log, rcvbuf).serve(args.host, args.port)
    except KeyboardInterrupt:
        pass
    except OSError as e:
        sys.stderr.write(f"scripted_server: cannot listen on {args.host}:{args.port}: {e}\n")
        sys.exit(3)


if __name__ == "__main__":
    main()
