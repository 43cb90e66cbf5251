#!/usr/bin/env bash
# Installs what is missing, builds, prepares the program folder and starts the browser on the
# current display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh -DKIVO_TESTS=OFF
bash scripts/prepare-app-folder.sh build/bin

if [ -z "${DISPLAY:-}" ]; then
  echo "There is no display to show the browser on (DISPLAY is not set)." >&2
  echo "Run this from a desktop session, or on a machine without one: xvfb-run -a $0" >&2
  exit 1
fi
exec build/bin/gameKivo "$@"
