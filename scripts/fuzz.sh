#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs the frame decoder's for the given seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKIVO_FUZZ=ON -DKIVO_TESTS=OFF >/dev/null
cmake --build build-fuzz --target kivo_frame_decoder_fuzz
mkdir -p build-fuzz/corpus
build-fuzz/bin/kivo_frame_decoder_fuzz -max_total_time="$seconds" -max_len=4096 \
  -rss_limit_mb=4096 build-fuzz/corpus
