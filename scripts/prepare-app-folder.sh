#!/usr/bin/env bash
# Prepares the program folder as an installer would: the database file when it is missing
# (an existing one is never touched), and the registration of the worker server once.
set -euo pipefail
app_dir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

bash "$here/prepare-database.sh" "$app_dir"

# The area chooser of the picture menu lies next to the executable, as the build puts it.
if [ ! -f "$app_dir/CameraDll.so" ]; then
  echo "warning: $app_dir/CameraDll.so is missing: the area pictures of the picture menu will do nothing" >&2
fi

settings="${XDG_CONFIG_HOME:-$HOME/.config}/gameKivo/settings"
if ! grep -qxF "@=$app_dir/gameKivo" "$settings" 2>/dev/null; then
  "$app_dir/gameKivo" /REGSERVER
fi
