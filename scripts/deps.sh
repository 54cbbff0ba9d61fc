#!/usr/bin/env bash
# Installs the Debian packages Zephlin needs to build, test and run, and any
# further packages named as arguments. Only missing packages are installed;
# nothing prompts. dbus-daemon (dbus-run-session) and gnome-keyring let the
# password-store tests talk to a real secret service in a private session;
# desktop-file-utils checks the desktop entry and appstream the AppStream
# data; xdg-utils answers which application handles an address (and sets
# the default feed reader). qt6-declarative-dev brings the scene graph the
# web views draw with. The X11 tests run the program on a display of their
# own, and the same tools let you try it by hand: xvfb, the openbox window
# manager, xdotool for keys, clicks and windows, x11-utils (xprop) and
# x11-apps (xwd, the window's pixels), and trayer, a panel with a system
# tray for the tray icon. qt6-image-formats-plugins reads and writes the
# tabs' TIFF pictures. clang-format-14 and clang-tidy-14 are the format and
# tidy gates; lld links the large test programs fast.
set -euo pipefail

PACKAGES=(
  build-essential
  cmake
  ninja-build
  ccache
  lld
  pkg-config
  qt6-base-dev
  qt6-base-dev-tools
  tzdata
  libgl-dev
  libsqlite3-dev
  libsqlitecpp-dev
  libxml2-dev
  zlib1g-dev
  libbrotli-dev
  libplist-dev
  qtkeychain-qt6-dev
  libsecret-1-0
  dbus-daemon
  gnome-keyring
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  python3
  clang-format-14
  clang-tidy-14
  qt6-webengine-dev
  qt6-webchannel-dev
  qt6-declarative-dev
  qt6-image-formats-plugins
  fonts-dejavu-core
  desktop-file-utils
  appstream
  xdg-utils
  xvfb
  openbox
  xdotool
  trayer
  x11-utils
  x11-apps
  "$@"
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q </dev/null
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
