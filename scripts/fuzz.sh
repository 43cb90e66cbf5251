#!/usr/bin/env bash
# Builds every fuzz target with clang and runs each in turn for the given seconds (default 180),
# one job and one worker at a time. Corpora stay in build-fuzz/corpus/<target>; the bitmap and
# dispatch targets start from seeds the program's own writers make. Installs clang when missing.
#   scripts/fuzz.sh [seconds per target] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(kivo_frame_decoder_fuzz kivo_dispatch_fuzz kivo_bmp_reader_fuzz kivo_cipher_decrypt_fuzz)

if ! command -v clang++ >/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y clang
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKIVO_FUZZ=ON -DKIVO_TESTS=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]}" kivo_bmp_seeds kivo_dispatch_seeds

bin() { realpath "$(find build-fuzz -type f -name "$1" -perm -u+x | head -n 1)"; }
for target in "${targets[@]}"; do
  corpus=$PWD/build-fuzz/corpus/$target
  logs=build-fuzz/logs/$target
  mkdir -p "$corpus" "$logs"
  case $target in
    kivo_bmp_reader_fuzz) "$(bin kivo_bmp_seeds)" "$corpus" ;;
    kivo_dispatch_fuzz) "$(bin kivo_dispatch_seeds)" "$corpus" ;;
  esac
  echo "== $target: ${seconds}s"
  # With -jobs the run happens in a child process that logs to fuzz-0.log in its folder.
  program=$(bin "$target")
  (cd "$logs" && rm -f fuzz-0.log && "$program" -max_total_time="$seconds" -max_len=4096 \
    -rss_limit_mb=4096 -jobs=1 -workers=1 -print_final_stats=1 "$corpus" >/dev/null 2>&1) || true
  grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|ERROR|SUMMARY|Test unit written" "$logs/fuzz-0.log" || true
done
