# Shared by ./run and ./test: install the Debian packages that are missing,
# then configure and build into build/. Sourced, not run.

TWK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TWK_BUILD="${TWK_BUILD:-$TWK_ROOT/build}"

# Everything the build, the program and the test suite need. The tests rely
# on DejaVu for fixed-pitch fonts and on the Breeze icon theme (SVG, drawn by
# the Qt SVG icon engine in libqt6svg6) for the command icons.
TWK_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  fonts-dejavu-core
  breeze-icon-theme libqt6svg6
  gophernicus pygopherd socat python3
  libssl-dev openssl microsocks
  xvfb xauth
  poppler-utils
  desktop-file-utils appstream dpkg-dev
)

twk_missing_packages() {
  local pkg missing=()
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  printf '%s\n' "${missing[@]}"
}

twk_install() {
  local missing
  mapfile -t missing < <(twk_missing_packages "$@")
  [ "${#missing[@]}" -eq 0 ] || [ -z "${missing[0]}" ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo=(sudo); else
      echo "These Debian packages are missing and I am not root (no sudo): ${missing[*]}" >&2
      return 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# twk_build [cmake --build arguments, e.g. --target tarnwick]
twk_build() {
  local launcher=()
  # ccache, when it is installed, makes rebuilds in other checkouts of the
  # tree cheap: paths inside the tree are hashed relative to it.
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$TWK_ROOT" CCACHE_NOHASHDIR=1
  fi
  if [ ! -f "$TWK_BUILD/build.ninja" ]; then
    cmake -S "$TWK_ROOT" -B "$TWK_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
  fi
  cmake --build "$TWK_BUILD" -j"$(nproc)" "$@"
}
