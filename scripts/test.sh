#!/usr/bin/env bash
# Installs what is missing, builds and runs every test on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh -DKIVO_TESTS=ON
# The tests make their own home folders and servers; they only need an X display.
export NO_AT_BRIDGE=1
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  ctest --test-dir build --output-on-failure --timeout 300
