#!/usr/bin/env bash
# Remakes docs/main-window.png, the picture of the main window in the README: installs what is
# missing, builds, prepares a program folder and a home folder of their own in a scratch folder
# and takes the picture on a virtual display. The user's own settings and browser are untouched.
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

# The program folder as an installer leaves it, with the picture taker next to the worker.
# The worker goes under a name of its own: a main process that starts anywhere ends every
# process named gameKivo, and registering through "gameKivo /REGSERVER" would do the same to
# a browser the user has open. The picture taker registers the worker itself instead.
app=$scratch/app
mkdir -p "$app"
cp build/bin/gameKivo "$app/kivo-shot-worker"
cp build/tools/main_window_shot "$app/"
bash scripts/prepare-database.sh "$app"

# Written to the scratch folder first: a failed run leaves the committed picture as it was.
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
  "$app/main_window_shot" "$app/kivo-shot-worker" "$scratch/main-window.png"
mv "$scratch/main-window.png" docs/main-window.png
echo "docs/main-window.png"
