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
#   share/screenshots/help-window.png         the help window on the page of a directory window
#   share/screenshots/gazette-plain.png       a page-like menu in the default layout
#   share/screenshots/gazette-authored.png    the same menu with View > Menu as Authored
#   share/screenshots/picture-window.png      the sample's GIF in the picture window, zoomed in
#   share/screenshots/dark-palette.png        the sample menu and a text on a dark desktop palette
# With TWK_SHOTS=menus only the gazette's two are made, with TWK_SHOTS=picture only the
# picture window, with TWK_SHOTS=dark only the dark palette.
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
  frame='^Tarnwick - '

  # settings DIR TEXT: starts the settings file of the configuration
  # directory DIR (below the work directory); TEXT is a printf format.
  settings() {
    mkdir -p "$work/$1"
    # shellcheck disable=SC2059
    printf "$2" >"$work/$1/tarnwick.ini"
  }

  # shot FILE DIR STEP... [-- ARGUMENT...]: one picture. Starts the program
  # with DIR as its configuration directory and the ARGUMENTs (variables set
  # on the call, such as TWK_SAMPLE_SERVER=..., reach it), runs the STEPs in
  # order and ends the program. The steps:
  #   window TITLE   wait for a visible window whose title matches TITLE
  #   settle N       wait N seconds (a reply arrives, a window finishes painting)
  #   keys DELAY K   focus the last window waited for and type the keys K
  #                  (xdotool names, blank-separated), DELAY ms apart
  #   resize WxH     resize the last window waited for
  #   picture        take the last window waited for into FILE
  #   screen WxH     take the top left WxH of the screen into FILE
  shot() {
    local file=$out/$1 dir=$work/$2 win="" step
    shift 2
    local steps=()
    while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
      steps+=("$1")
      shift
    done
    [ "$#" -gt 0 ] && shift
    mkdir -p "$dir"
    TWK_CONFIG="$dir" "$program" "$@" &
    pid=$!
    set -- "${steps[@]}"
    while [ "$#" -gt 0 ]; do
      step=$1
      shift
      case $step in
        window) win=$(xdotool search --sync --onlyvisible --name "$1" | head -1); shift ;;
        settle) sleep "$1"; shift ;;
        keys)
          xdotool windowfocus --sync "$win"
          # shellcheck disable=SC2086  # the keys are separate words
          xdotool key --delay "$1" $2
          shift 2
          ;;
        resize) xdotool windowsize "$win" "${1%x*}" "${1#*x}"; shift ;;
        picture) import -window "$win" "$file" ;;
        screen) import -window root -crop "$1+0+0" +repage "$file"; shift ;;
        *) echo "screenshots.sh: unknown step $step" >&2; exit 2 ;;
      esac
    done
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=""
  }

  # A dark desktop: the palette comes from the desktop's Qt settings
  # (qt6ct with its "darker" colours, Breeze's dark icons), as a user of a
  # dark theme has it. The sample menu with "About Tarnwick" opened from it.
  if [ -z "${TWK_SHOTS:-}" ] || [ "$TWK_SHOTS" = dark ]; then
    settings dark '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n'
    mkdir -p "$work/dark-xdg/qt6ct"
    printf '[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\nstyle=Fusion\nicon_theme=breeze-dark\n' \
      >"$work/dark-xdg/qt6ct/qt6ct.conf"
    QT_QPA_PLATFORMTHEME=qt6ct XDG_CONFIG_HOME="$work/dark-xdg" shot dark-palette.png dark \
      window "$frame" settle 2 keys 80 'Down Down Down Down Down Down Return' settle 2 keys 150 'alt+w t' settle 1 \
      screen 1000x640 -- "$url"
    [ "${TWK_SHOTS:-}" = dark ] && exit 0
  fi

  # The sample's GIF (row 21 of the sample menu), opened with the keyboard:
  # its download window, and the picture window over it, zoomed in with
  # Ctrl+= (Ctrl++ without Shift). Downloads take generated names in the
  # configuration directory.
  settings picture "[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n[Options]\nAuto File Name=1\n[Directories]\nDownload directory=$work/picture\n"
  shot picture-window.png picture window "$frame" settle 2 \
    keys 40 "$(printf 'Down %.0s' $(seq 21))Return" settle 3 \
    keys 60 "$(printf 'ctrl+equal %.0s' $(seq 9))" settle 1 screen 1000x640 -- "$url"
  if [ "${TWK_SHOTS:-}" = picture ]; then
    exit 0
  fi

  # The sample's page-like menu in both layouts: the directories in the
  # navigator, then every item in the author's order.
  settings plain '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,700\n'
  shot gazette-plain.png plain window "$frame" settle 2 screen 1000x700 -- "${url}1/gazette"
  settings authored '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,700\n[Options]\nMenu as Authored=1\n'
  shot gazette-authored.png authored window "$frame" settle 2 screen 1000x700 -- "${url}1/gazette"
  if [ "${TWK_SHOTS:-}" = menus ]; then
    exit 0
  fi

  # A first start: no settings file, so the home-gopher dialog comes up
  # and offers the sample server.
  TWK_SAMPLE_SERVER="$url" shot home-gopher-dialog.png first \
    window '^Home Gopher Server\(s\)$' settle 1 picture

  # The sample menu in a frame of a known size, then a text opened from it
  # with the keyboard (the list has the focus): it cascades below the menu.
  # Row 6 of the sample menu is "About Tarnwick".
  settings browse '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n'
  shot main-window.png browse window "$frame" settle 2 \
    keys 80 'Down Down Down Down Down Down Return' settle 6 screen 1000x640 -- "$url"

  # F1 on the sample menu: the help window on the page of directory windows.
  shot help-window.png browse window "$frame" settle 2 keys 80 F1 \
    window 'Tarnwick Help$' settle 1 picture -- "$url"

  # The view chooser: with "Auto Select View" off, opening the notes on the
  # tarn (row 8 of the menu, offered in three languages) asks which view to fetch.
  settings views '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n[Options]\nAuto Select View=0\n'
  shot view-chooser.png views window "$frame" settle 2 \
    keys 80 'Down Down Down Down Down Down Down Down Return' \
    window '^Select Extended View$' settle 1 picture -- "$url"

  # The visitors' book: a Gopher+ item whose attributes carry an ask form
  # with every kind of question. Its URL asks for it as a Gopher+ item; the
  # attributes come first, then the form.
  settings form '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,1000\n'
  shot ask-form.png form window "$frame" settle 3 screen 680x900 -- "${url}0/visitors.txt%09%2B"

  # The Bookmark Editor (Ctrl+E) on the "Default" category written at the
  # first start with the sample server, one bookmark selected.
  settings bookmarks '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,640\n'
  TWK_SAMPLE_SERVER="$url" shot bookmark-editor.png bookmarks window "$frame" settle 2 \
    keys 80 ctrl+e window '^Category: ' settle 1 keys 80 Down settle 1 picture -- "$url"

  # The same settings with the sample server as home gopher: the home
  # window takes the layout with the bookmark tree written at first start.
  hostport=${url#gopher://}
  hostport=${hostport%/}
  printf '[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=%s\nHome Port 1=%s\n' \
    "${hostport%:*}" "${hostport##*:}" >>"$work/bookmarks/tarnwick.ini"
  shot bookmark-tree.png bookmarks window "$frame" settle 2 screen 1000x640

  # The print preview of the history text, from the File menu.
  settings print '[Settings]\nWindowPos=0,1,-1,-1,-1,-1,0,0,1000,800\n'
  shot print-preview.png print window "$frame" settle 2 keys 120 'alt+f v' \
    window '^Print Preview$' resize 900x760 settle 2 picture -- "${url}0/gopher-history.txt"

  # The preferences sheet (Options > Preferences...) over the same settings
  # as the bookmark tree.
  shot preferences.png bookmarks window "$frame" settle 2 keys 150 'alt+o p' \
    window '^Tarnwick Preferences$' settle 1 picture
  exit 0
fi

out=$(cd "${1:-$root/share/screenshots}" 2>/dev/null && pwd || true)
if [ -z "$out" ]; then
  mkdir -p "${1:-$root/share/screenshots}"
  out=$(cd "${1:-$root/share/screenshots}" && pwd)
fi

source "$root/scripts/setup.sh"
twk_install "${TWK_PACKAGES[@]}" imagemagick xdotool qt6ct
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
