#!/usr/bin/env bash
# Serves the sample gopherspace (share/gopherspace) with pygopherd on
# 127.0.0.1, port 7070 or the next free one, and runs
#     PROGRAM [ARGS...] gopher://127.0.0.1:PORT/
# in the foreground, with TWK_SAMPLE_SERVER set to that URL. With --offer the
# URL is not added to the arguments: the program only offers the server (the
# first start's home-gopher dialog does). However PROGRAM ends (also Ctrl-C),
# pygopherd is stopped and its temporary copy of the tree is removed.
#
# Usage: scripts/with-sample-server.sh [--offer] PROGRAM [ARGS...]
set -euo pipefail

pass_url=1
if [ "${1:-}" = --offer ]; then
  pass_url=""
  shift
fi
if [ "$#" -lt 1 ]; then
  echo "Usage: $0 [--offer] PROGRAM [ARGS...]" >&2
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
python=/usr/bin/python3
launcher="$root/tests/servers/run_pygopherd.py"
first_port="${TWK_SAMPLE_PORT:-7070}"

if [ ! -x /usr/sbin/pygopherd ]; then
  echo "pygopherd is not installed (Debian package pygopherd)." >&2
  exit 1
fi

workdir=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-sample.XXXXXX")
server_pid=""

cleanup() {
  if [ -n "$server_pid" ]; then
    # pygopherd runs in a process group of its own (setsid below); stop all
    # of it: the master and any child still serving a connection.
    kill -TERM -- "-$server_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$server_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  if [ -n "${cso_pid:-}" ]; then
    kill -TERM "$cso_pid" 2>/dev/null || true
    wait "$cso_pid" 2>/dev/null || true
  fi
  rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

port_is_free() {
  "$python" - "$1" <<'EOF'
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
try:
    s.bind(("127.0.0.1", int(sys.argv[1])))
except OSError:
    sys.exit(1)
EOF
}

answers() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

port=""
for candidate in $(seq "$first_port" $((first_port + 99))); do
  port_is_free "$candidate" || continue
  # setsid: pygopherd signals its whole process group when it stops, so it
  # must not share ours.
  setsid "$python" "$launcher" --root "$root/share/gopherspace" --port "$candidate" --exec-scripts \
    --workdir "$workdir" >"$workdir/pygopherd.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do
    if answers "$candidate"; then
      port=$candidate
      break
    fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$port" ] && break
  # Lost a race for the port, or pygopherd failed: stop it and try the next.
  kill -KILL -- "-$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
done

if [ -z "$port" ]; then
  echo "Could not start pygopherd on 127.0.0.1 ports $first_port-$((first_port + 99))." >&2
  [ -f "$workdir/pygopherd.log" ] && cat "$workdir/pygopherd.log" >&2
  exit 1
fi

# The phone book item points at our CSO server, on a port picked at start.
"$python" "$root/tests/servers/cso_server.py" --port 0 >"$workdir/cso.out" 2>&1 &
cso_pid=$!
for _ in $(seq 50); do
  grep -q '^PORT ' "$workdir/cso.out" 2>/dev/null && break
  sleep 0.1
done
cso_port=$(sed -n 's/^PORT //p' "$workdir/cso.out")
if [ -n "$cso_port" ]; then
  sed -i "s/\t127\.0\.0\.1\t105\$/\t127.0.0.1\t$cso_port/" "$workdir/root/gophermap"
fi

url="gopher://127.0.0.1:$port/"
echo "Sample gopherspace: $url (pygopherd, stopped when $(basename "$1") exits)" >&2
status=0
# A dialog of the program may offer this server (the home-gopher dialog does).
export TWK_SAMPLE_SERVER="$url"
if [ -n "$pass_url" ]; then
  set -- "$@" "$url"
fi
"$@" || status=$?
exit "$status"
