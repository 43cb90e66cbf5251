#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and nothing that is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtkmm-3.0-dev libwebkit2gtk-4.1-dev libsqlite3-dev sqlite3
  libx11-dev libxfixes-dev libegl-dev libxtst-dev libkeybinder-3.0-dev libayatana-appindicator3-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth libcpp-httplib-dev
  fonts-wqy-microhei dbus dbus-x11 at-spi2-core libatspi2.0-dev desktop-file-utils appstream dpkg-dev
  weston xwayland bubblewrap xdg-dbus-proxy openbox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
else
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
