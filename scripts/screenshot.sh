#!/usr/bin/env bash
# Remakes the pictures in the README, docs/main-window.png of the main window,
# docs/nine-grid.png of the thumbnail grid and docs/save-url.png and docs/capture.png of the
# dialogs of saving an account: installs what is missing, builds, prepares program
# folders and a home folder of their own in a scratch folder and takes the pictures on a virtual
# display. The user's own settings and browser are untouched.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The options already in build/ stay as they are; only what the picture needs is built.
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target gameKivo main_window_shot

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kivo-screenshot-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch/home
export XDG_CONFIG_HOME=$HOME/config XDG_DATA_HOME=$HOME/data XDG_CACHE_HOME=$HOME/cache
export XDG_RUNTIME_DIR=$HOME/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export NO_AT_BRIDGE=1

# A program folder as an installer leaves it, with the picture taker next to the worker; each
# picture gets one of its own, with a database of its own.
# The worker goes under a name of its own: a main process that starts anywhere ends every
# process named gameKivo, and registering through "gameKivo /REGSERVER" would do the same to
# a browser the user has open. The picture taker registers the worker itself instead.
take() {
  local app=$scratch/app-$1
  shift
  mkdir -p "$app"
  cp build/bin/gameKivo "$app/kivo-shot-worker"
  cp build/tools/main_window_shot "$app/"
  bash scripts/prepare-database.sh "$app"
  xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    "$app/main_window_shot" "${@:1:$#-1}" "$app/kivo-shot-worker" "${@: -1}"
}

# Written to the scratch folder first: a failed run leaves the committed pictures as they were.
mkdir -p docs
take main "$scratch/main-window.png"
take grid --grid "$scratch/nine-grid.png"
take dialogs --dialogs "$scratch"
for picture in main-window nine-grid save-url capture; do
  mv "$scratch/$picture.png" "docs/$picture.png"
done
echo "docs/main-window.png docs/nine-grid.png docs/save-url.png docs/capture.png"
