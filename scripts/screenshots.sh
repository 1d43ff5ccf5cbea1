#!/usr/bin/env bash
# Makes the README's screenshots by running the real program under Xvfb
# against the sample gopherspace (scripts/with-sample-server.sh):
#   share/screenshots/main-window.png         the toolbar and two cascaded windows
#   share/screenshots/home-gopher-dialog.png  the first-start dialog
#   share/screenshots/view-chooser.png        the Select Extended View dialog
#   share/screenshots/ask-form.png            the visitors' book ask form
#   share/screenshots/bookmark-editor.png     the Bookmark Editor on the sample bookmarks
#   share/screenshots/bookmark-tree.png       a home window with the bookmark tree
#   share/screenshots/print-preview.png       the print preview of a text
#   share/screenshots/preferences.png         the preferences sheet on its Home Gopher page
#   share/screenshots/gazette-plain.png       a page-like menu in the default layout
#   share/screenshots/gazette-authored.png    the same menu with View > Menu as Authored
# With TWK_SHOTS=menus only the last two are made.
# Usage: scripts/screenshots.sh [OUTPUT_DIR]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ "${1:-}" = "--inside" ]; then
  # Run by with-sample-server.sh: OUTPUT_DIR then the sample server's URL.
  out=$2
  url=$3
  program="$TWK_BUILD/tarnwick"
  work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-shots.XXXXXX")
  pid=""
  trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

  # The sample's page-like menu in both layouts: the directories in the
  # navigator, then every item in the author's order.
  for layout in plain authored; do
    mkdir "$work/$layout"
    printf '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,700\n' >"$work/$layout/tarnwick.ini"
    if [ "$layout" = authored ]; then
      printf '[Options]\nMenu as Authored=1\n' >>"$work/$layout/tarnwick.ini"
    fi
    TWK_CONFIG="$work/$layout" "$program" "${url}1/gazette" &
    pid=$!
    frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
    sleep 2
    import -window root -crop 1000x700+0+0 +repage "$out/gazette-$layout.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=""
  done
  if [ "${TWK_SHOTS:-}" = menus ]; then
    exit 0
  fi

  # A first start: no settings file, so the home-gopher dialog comes up
  # and offers the sample server.
  mkdir "$work/first"
  TWK_CONFIG="$work/first" TWK_SAMPLE_SERVER="$url" "$program" &
  pid=$!
  dialog=$(xdotool search --sync --onlyvisible --name '^Home Gopher Server\(s\)$' | head -1)
  sleep 1  # let the window finish painting
  import -window "$dialog" "$out/home-gopher-dialog.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""

  # The sample menu in a frame of a known size, then a text opened from it
  # with the keyboard (the list has the focus): it cascades below the menu.
  mkdir "$work/browse"
  printf '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n' >"$work/browse/tarnwick.ini"
  TWK_CONFIG="$work/browse" "$program" "$url" &
  pid=$!
  frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
  sleep 2  # the menu arrives
  xdotool windowfocus --sync "$frame"
  # Row 6 of the sample menu is "About Tarnwick".
  xdotool key --delay 80 Down Down Down Down Down Down Return
  sleep 2
  import -window root -crop 1000x640+0+0 +repage "$out/main-window.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""

  # The view chooser: with "Auto Select View" off, opening the notes on the
  # tarn (row 8 of the menu, offered in three languages) asks which view to fetch.
  mkdir "$work/views"
  printf '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n[Options]\nAuto Select View=0\n' \
    >"$work/views/tarnwick.ini"
  TWK_CONFIG="$work/views" "$program" "$url" &
  pid=$!
  frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
  sleep 2
  xdotool windowfocus --sync "$frame"
  xdotool key --delay 80 Down Down Down Down Down Down Down Down Return
  chooser=$(xdotool search --sync --onlyvisible --name '^Select Extended View$' | head -1)
  sleep 1
  import -window "$chooser" "$out/view-chooser.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""

  # The visitors' book: a Gopher+ item whose attributes carry an ask form
  # with every kind of question. Its URL asks for it as a Gopher+ item.
  mkdir "$work/form"
  printf '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,1000\n' >"$work/form/tarnwick.ini"
  TWK_CONFIG="$work/form" "$program" "${url}0/visitors.txt%09%2B" &
  pid=$!
  frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
  sleep 3  # the attributes, then the form
  import -window root -crop 680x900+0+0 +repage "$out/ask-form.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""

  # The Bookmark Editor (Ctrl+E) on the "Default" category written at the
  # first start with the sample server, one bookmark selected.
  mkdir "$work/bookmarks"
  printf '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n' >"$work/bookmarks/tarnwick.ini"
  TWK_CONFIG="$work/bookmarks" TWK_SAMPLE_SERVER="$url" "$program" "$url" &
  pid=$!
  frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
  sleep 2
  xdotool windowfocus --sync "$frame"
  xdotool key --delay 80 ctrl+e
  editor=$(xdotool search --sync --onlyvisible --name '^Category: ' | head -1)
  sleep 1
  xdotool windowfocus --sync "$editor"
  xdotool key --delay 80 Down
  sleep 1
  import -window "$editor" "$out/bookmark-editor.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""

  # The same settings with the sample server as home gopher: the home
  # window takes the layout with the bookmark tree written at first start.
  hostport=${url#gopher://}
  hostport=${hostport%/}
  printf '[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=%s\nHome Port 1=%s\n' \
    "${hostport%:*}" "${hostport##*:}" >>"$work/bookmarks/tarnwick.ini"
  TWK_CONFIG="$work/bookmarks" "$program" &
  pid=$!
  frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
  sleep 2
  import -window root -crop 1000x640+0+0 +repage "$out/bookmark-tree.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""

  # The print preview of the history text, from the File menu.
  mkdir "$work/print"
  printf '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,800\n' >"$work/print/tarnwick.ini"
  TWK_CONFIG="$work/print" "$program" "${url}0/gopher-history.txt" &
  pid=$!
  frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
  sleep 2
  xdotool windowfocus --sync "$frame"
  xdotool key --delay 120 alt+f v
  preview=$(xdotool search --sync --onlyvisible --name '^Print Preview$' | head -1)
  xdotool windowsize "$preview" 900 760
  sleep 2
  import -window "$preview" "$out/print-preview.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  # The preferences sheet (Options > Preferences...) over the same settings.
  TWK_CONFIG="$work/bookmarks" "$program" &
  pid=$!
  frame=$(xdotool search --sync --onlyvisible --name '^Tarnwick - ' | head -1)
  sleep 2
  xdotool windowfocus --sync "$frame"
  xdotool key --delay 150 alt+o p
  sheet=$(xdotool search --sync --onlyvisible --name '^Tarnwick Preferences$' | head -1)
  sleep 1
  import -window "$sheet" "$out/preferences.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  exit 0
fi

out=$(cd "${1:-$root/share/screenshots}" 2>/dev/null && pwd || true)
if [ -z "$out" ]; then
  mkdir -p "${1:-$root/share/screenshots}"
  out=$(cd "${1:-$root/share/screenshots}" && pwd)
fi

source "$root/scripts/setup.sh"
twk_install "${TWK_PACKAGES[@]}" imagemagick xdotool
twk_build
export TWK_BUILD

# A display of our own: the first free number from 90 on.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP

"$root/scripts/with-sample-server.sh" "$0" --inside "$out"
echo "Screenshots in $out" >&2
