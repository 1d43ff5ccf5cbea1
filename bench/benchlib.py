"""Shared by bench/menu, bench/text and bench/startup.

Each bench serves generated content with gophernicus (behind socat) on a free
loopback port, fetches the same URL with Tarnwick's headless mode
(`tarnwick --dump URL`) and with its peers (curl, lynx) several times in the
same run, interleaved, and prints the medians and their ratios.
"""

import argparse
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GOPHERNICUS = "/usr/sbin/gophernicus"
# Plain menus without header, footer, dates, parent links or charset
# conversion: what is measured is the transfer and its handling.
GOPHERNICUS_OPTIONS = ["-nr", "-nv", "-nu", "-nh", "-nf", "-nd", "-nl", "-no", "-ns", "-nm", "-nx"]


def parse_args(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--runs", type=int, default=int(os.environ.get("BENCH_RUNS", "7")),
                        help="timed runs of each program (default 7, or $BENCH_RUNS)")
    parser.add_argument("--tarnwick", default=os.environ.get("TARNWICK", os.path.join(REPO, "build", "tarnwick")),
                        help="the tarnwick binary (default build/tarnwick, or $TARNWICK)")
    parser.add_argument("--keep", action="store_true", help="keep the generated content and print where it is")
    args = parser.parse_args()
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    return args


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def answers(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


class Gophernicus:
    """gophernicus serving root on 127.0.0.1, one process per connection;
    behind socat's TLS when tls is a (certificate, key) pair of PEM files."""

    def __init__(self, root, tls=None):
        self.root = root
        self.tls = tls
        self.port = None
        self.process = None

    def __enter__(self):
        for missing in (shutil.which("socat") is None and "socat", not os.path.exists(GOPHERNICUS) and "gophernicus"):
            if missing:
                sys.exit(f"{missing} is not installed (Debian packages socat, gophernicus)")
        for _ in range(5):
            port = free_port()
            command = " ".join([GOPHERNICUS] + GOPHERNICUS_OPTIONS + ["-h", "127.0.0.1", "-p", str(port), "-r", self.root])
            if self.tls:
                # socat relays the bytes itself behind TLS (nofork is refused there).
                listen = (f"OPENSSL-LISTEN:{port},bind=127.0.0.1,fork,reuseaddr,backlog=64,"
                          f"cert={self.tls[0]},key={self.tls[1]},verify=0")
                execute = f'EXEC:"{command}"'
            else:
                listen = f"TCP-LISTEN:{port},bind=127.0.0.1,fork,reuseaddr,backlog=64"
                execute = f'EXEC:"{command}",nofork'
            self.process = subprocess.Popen(
                ["socat", listen, execute],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and self.process.poll() is None:
                if answers(port):
                    self.port = port
                    return self
                time.sleep(0.02)
            self.stop()
        sys.exit("could not start gophernicus")

    def stop(self):
        if self.process is None:
            return
        try:
            os.killpg(self.process.pid, signal.SIGTERM)
            self.process.wait(timeout=3)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            pass
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()
        self.process = None

    def __exit__(self, *exc):
        self.stop()

    def url(self, path=""):
        scheme = "gophers" if self.tls else "gopher"
        return f"{scheme}://127.0.0.1:{self.port}/{path}"


def self_signed(directory):
    """A self-signed certificate and its key for 127.0.0.1, made with openssl."""
    cert, key = os.path.join(directory, "cert.pem"), os.path.join(directory, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                    "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


class Danted:
    """Dante's SOCKS5 server on 127.0.0.1, no login, relaying to anywhere;
    None from __enter__ when it is not installed (Debian package
    dante-server)."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.process = None

    def __enter__(self):
        if not os.path.exists("/usr/sbin/danted"):
            return None
        for _ in range(5):
            self.port = free_port()
            config = os.path.join(self.workdir, "danted.conf")
            with open(config, "w") as f:
                f.write(f"logoutput: stderr\ninternal: 127.0.0.1 port = {self.port}\nexternal: 127.0.0.1\n"
                        "socksmethod: none\nclientmethod: none\n")
                # Settings before rules, as danted reads them.
                if os.getuid() == 0:
                    f.write("user.privileged: root\nuser.unprivileged: nobody\n")
                f.write("client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                        "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 command: connect }\n")
            self.process = subprocess.Popen(["/usr/sbin/danted", "-f", config, "-N", "2"],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                            start_new_session=True)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and self.process.poll() is None:
                if answers(self.port):
                    return self
                time.sleep(0.02)
            self.__exit__()
        sys.exit("could not start danted")

    def __exit__(self, *exc):
        if self.process is None:
            return
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()


class Microsocks:
    """microsocks, a SOCKS5 proxy, on 127.0.0.1."""

    def __enter__(self):
        if shutil.which("microsocks") is None:
            sys.exit("microsocks is not installed (Debian package microsocks)")
        for _ in range(5):
            self.port = free_port()
            self.process = subprocess.Popen(["microsocks", "-i", "127.0.0.1", "-p", str(self.port)],
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                            start_new_session=True)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and self.process.poll() is None:
                if answers(self.port):
                    return self
                time.sleep(0.02)
            self.__exit__()
        sys.exit("could not start microsocks")

    def __exit__(self, *exc):
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()


class Tool:
    def __init__(self, name, argv, env=None, warm_up_argv=None):
        self.name = name
        self.argv = argv
        # The warm-up run writes to stdout, to count the output lines.
        self.warm_up_argv = warm_up_argv or argv
        self.env = env
        self.times = []
        self.note = None  # why it is not measured
        self.output_lines = None  # of the warm-up run
        self.peak_rss_kb = 0  # largest peak resident set size of any run

    def run_once(self, stdout=subprocess.DEVNULL, argv=None):
        start = time.perf_counter()
        with tempfile.TemporaryFile() as err:
            process = subprocess.Popen(argv or self.argv, stdin=subprocess.DEVNULL, stdout=stdout,
                                       stderr=err, env=self.env)
            # wait4 gives the child's own peak resident set size.
            _, status, usage = os.wait4(process.pid, 0)
            elapsed = time.perf_counter() - start
            process.returncode = os.waitstatus_to_exitcode(status)
            self.peak_rss_kb = max(self.peak_rss_kb, usage.ru_maxrss)
            err.seek(0)
            return process.returncode, elapsed, err.read()

    def warm_up(self):
        """One untimed run; marks the tool unavailable when it fails and
        counts its output lines, so that a fast run that printed nothing
        shows."""
        if shutil.which(self.argv[0]) is None:
            self.note = f"{self.argv[0]} not found"
            return
        with tempfile.TemporaryFile() as out:
            code, _, err = self.run_once(stdout=out, argv=self.warm_up_argv)
            out.seek(0)
            self.output_lines = sum(chunk.count(b"\n") for chunk in iter(lambda: out.read(1 << 20), b""))
        if code != 0:
            first = err.decode(errors="replace").strip().splitlines()
            self.note = f"exit status {code}" + (f": {first[0]}" if first else "")

    @property
    def available(self):
        return self.note is None

    @property
    def median(self):
        return statistics.median(self.times)


def tarnwick_tool(args, url, config_home):
    # A configuration directory of its own, so the bench never touches the
    # user's settings.
    env = dict(os.environ, XDG_CONFIG_HOME=config_home)
    return Tool("tarnwick --dump", [args.tarnwick, "--dump", url], env)


def measure(tools, runs):
    for tool in tools:
        tool.warm_up()
    live = [t for t in tools if t.available]
    # Interleaved, so that a change in machine load hits every tool alike.
    for _ in range(runs):
        for tool in live:
            code, elapsed, err = tool.run_once()
            if code != 0:
                tool.note = f"failed during the timed runs (exit status {code})"
                break
            tool.times.append(elapsed)
        live = [t for t in live if t.available]


def report(title, tools, ratios, runs):
    print(title)
    print(f"  {runs} timed runs each after one warm-up run; wall-clock time")
    for tool in tools:
        if tool.name.startswith("tarnwick") and not tool.available:
            print(f"  {tool.name:<16} tarnwick --dump not available ({tool.note})")
        elif not tool.available:
            print(f"  {tool.name:<16} not available ({tool.note})")
        else:
            print(f"  {tool.name:<16} median {tool.median * 1000:9.1f} ms"
                  f"   (min {min(tool.times) * 1000:.1f}, max {max(tool.times) * 1000:.1f};"
                  f" output {tool.output_lines:,} lines; peak RSS {tool.peak_rss_kb / 1024:.1f} MB)")
    by_name = {t.name: t for t in tools}
    for numerator, denominator, target in ratios:
        a, b = by_name[numerator], by_name[denominator]
        label = f"{numerator.split()[0]}/{denominator.split()[0]}"
        if not (a.available and b.available):
            print(f"  {label:<16} -" + (f"   (target: {target[0]})" if target else ""))
            continue
        ratio = a.median / b.median
        line = f"  {label:<16} {ratio:9.2f}"
        if target:
            text, ok = target
            line += f"   (target: {text}) {'met' if ok(ratio) else 'NOT MET'}"
        print(line)


def run_bench(title, description, generate, path, ratios, with_lynx=True, extra=None):
    args = parse_args(description)
    workdir = tempfile.mkdtemp(prefix="tarnwick-bench.")
    try:
        root = os.path.join(workdir, "root")
        os.mkdir(root)
        summary = generate(root)
        with Gophernicus(root) as server:
            url = server.url(path)
            tools = [tarnwick_tool(args, url, os.path.join(workdir, "config")),
                     Tool("curl", ["curl", "-s", url, "-o", "/dev/null"], warm_up_argv=["curl", "-s", url])]
            if with_lynx:
                tools.append(Tool("lynx -dump", ["lynx", "-dump", url]))
            measure(tools, args.runs)
            report(f"{title}: {summary}\n  {url} (gophernicus)", tools, ratios, args.runs)
            if extra:
                extra(server, tools[0])
    except KeyboardInterrupt:
        sys.exit(130)
    finally:
        if args.keep:
            print(f"  content kept in {workdir}")
        else:
            shutil.rmtree(workdir, ignore_errors=True)


def megabytes(n):
    return f"{n / 1e6:.1f} MB"
