#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build, the sanitizer build and a
# short run of each fuzz target. Usage: scripts/test.sh [--quick] (quick: normal build only)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== build (tests) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPANELWICK_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
counts=$(mktemp)
trap 'rm -f "$counts"' EXIT
run_ctest() { # build dir, timeout; keeps ctest's summary for the closing line
  (cd "$1" && ctest --output-on-failure -j "$jobs" --timeout "$2") | tee -a "$counts"
}
closing_line() {
  awk '/tests passed, [0-9]+ tests failed out of/ {f += $4; t += $NF} END {printf "tests: %d passed, %d failed\n", t - f, f}' "$counts"
}
run_ctest build 300

if [ "${1:-}" = "--quick" ]; then closing_line; exit 0; fi

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPANELWICK_TESTS=ON -DPANELWICK_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan 600

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz targets (clang, libFuzzer) =="
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPANELWICK_TESTS=OFF -DPANELWICK_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j "$jobs"
  for target in $(find build-fuzz/fuzz -type f -name 'fuzz_*' -perm -u+x | sort); do
    name=$(basename "$target")
    # The HTTP receive path reads outside input straight off the network: it gets the most.
    default_seconds=30
    [ "$name" = fuzz_http ] && default_seconds=60
    seconds=${PANELWICK_FUZZ_SECONDS:-$default_seconds}
    corpus="$root/fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    echo "-- $name for ${seconds}s"
    ASAN_OPTIONS=detect_leaks=0 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -print_final_stats=1 "$work" 2>&1 | tail -n 3
    rm -rf "$work"
  done
fi
echo "all test stages passed"
closing_line
