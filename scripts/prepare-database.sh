#!/usr/bin/env bash
# Usage: prepare-database.sh APPDIR
# Creates APPDIR/MultOpenApp.dat from schema/MultOpenApp.sql when the file is missing, as an
# installer would. An existing file (or anything else of that name) is never touched.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 APPDIR" >&2
  exit 2
fi

app_dir=$1
schema="$(cd "$(dirname "$0")/.." && pwd)/schema/MultOpenApp.sql"
target="$app_dir/MultOpenApp.dat"

if [ -e "$target" ] || [ -L "$target" ]; then
  exit 0
fi

mkdir -p "$app_dir"
# Build next to the target and move it into place only when complete, so no half-written file
# is ever found under the real name.
tmp=$(mktemp "$app_dir/.MultOpenApp.dat.XXXXXX")
trap 'rm -f "$tmp"' EXIT
rm -f "$tmp"
sqlite3 -bail "$tmp" < "$schema"
# -n: a file that appeared meanwhile wins.
mv -n "$tmp" "$target"
