#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build, the sanitizer build and a
# short run of each fuzz target. Usage: scripts/test.sh [--quick] (quick: normal build only)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
started=$SECONDS

bash scripts/install-deps.sh

stage_start=$SECONDS
stage() { # closes the previous stage with its time and opens the next
  echo "   (took $((SECONDS - stage_start)) s)"
  stage_start=$SECONDS
  echo "== $* =="
}

# lld links the many test executables several times faster than ld.bfd; precompiled Qt and
# GoogleTest headers save about a third of the compile.
speed=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld
  -DCMAKE_MODULE_LINKER_FLAGS=-fuse-ld=lld -DPANELWICK_PCH=ON)

echo "== build (tests) =="
# Line tables are enough for a test build's backtraces and halve what is compiled and linked.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  "${speed[@]}" -DPANELWICK_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
counts=$(mktemp)
logs=$(mktemp -d)
background=() # process groups started here, ended with the script
cleanup() {
  local group
  for group in "${background[@]}"; do kill -- -"$group" 2>/dev/null || true; done
  rm -rf "$counts" "$logs"
}
trap cleanup EXIT
# COMMAND...: runs it in the background in a process group of its own; its pid in $!.
in_background() {
  set -m
  "$@" &
  set +m
  background+=($!)
}
run_ctest() { # build dir, timeout; keeps ctest's summary for the closing line
  (cd "$1" && ctest --output-on-failure -j "$jobs" --timeout "$2") | tee -a "$counts"
}
closing_line() {
  awk '/tests passed, [0-9]+ tests failed out of/ {f += $4; t += $NF} END {printf "tests: %d passed, %d failed\n", t - f, f}' "$counts"
}
# One build serves the sanitizer tests and the fuzz targets: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, every object carrying libFuzzer's coverage and only the fuzz
# targets linking libFuzzer. -O1 runs the tests several times faster than -O0 and keeps
# the sanitizers' reports exact; asserts stay on.
fuzz=OFF
[ -f fuzz/CMakeLists.txt ] && fuzz=ON
sanitizer_build() {
  CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" \
    "${speed[@]}" -DPANELWICK_TESTS=ON -DPANELWICK_SANITIZE=ON -DPANELWICK_FUZZ=$fuzz >/dev/null
  cmake --build build-asan -j "$jobs"
}

if [ "${1:-}" = "--quick" ]; then
  stage "tests (normal build)"
  run_ctest build 300
  closing_line
  exit 0
fi
# The normal tests leave the processors idle while they wait for servers and windows: the
# sanitizer build starts beside them (they hold on a loaded machine).
stage "tests (normal build), beside the start of the sanitizer build"
in_background sanitizer_build >"$logs/sanitizer-build" 2>&1
sanitizer_pid=$!
run_ctest build 300
stage "build (clang, AddressSanitizer + UndefinedBehaviorSanitizer, fuzz targets): the rest"
build_status=0
wait "$sanitizer_pid" || build_status=$?
tail -n 1 "$logs/sanitizer-build"
[ "$build_status" -eq 0 ] || { tail -n 100 "$logs/sanitizer-build"; exit 1; }
fuzz_one() { # target: runs it for its time on a copy of its seed corpus
  local target=$1 name seconds default_seconds corpus work status=0
  name=$(basename "$target")
  # The HTTP receive path reads outside input straight off the network: it gets the most.
  default_seconds=30
  [ "$name" = fuzz_http ] && default_seconds=60
  seconds=${PANELWICK_FUZZ_SECONDS:-$default_seconds}
  corpus="$root/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "-- $name for ${seconds}s" >"$logs/$name"
  ASAN_OPTIONS=detect_leaks=0 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -print_final_stats=1 "$work" >"$logs/$name.out" 2>&1 || status=$?
  rm -rf "$work"
  return "$status"
}
run_fuzz_targets() { # every target, $jobs at a time; fails when one found a fault
  local -A running=()
  local failed=() target
  reap() { # waits for one fuzz target and shows how it ended
    local pid status=0 name
    wait -n -p pid || status=$?
    name=${running[$pid]}
    unset "running[$pid]"
    cat "$logs/$name"
    if [ "$status" -eq 0 ]; then
      tail -n 3 "$logs/$name.out"
    else
      tail -n 60 "$logs/$name.out"
      failed+=("$name")
    fi
  }
  # Each target runs for a fixed time, mostly on one core: as many at once as there are cores.
  # The longest first, so that the short ones fill in beside it.
  for target in $(find build-asan/fuzz -type f -name 'fuzz_*' -perm -u+x | sort |
    awk '/\/fuzz_http$/ {print; next} {rest = rest $0 "\n"} END {printf "%s", rest}'); do
    [ "${#running[@]}" -lt "$jobs" ] || reap
    fuzz_one "$target" &
    running[$!]=$(basename "$target")
  done
  while [ "${#running[@]}" -gt 0 ]; do reap; done
  if [ "${#failed[@]}" -gt 0 ]; then
    echo "fuzz targets failed: ${failed[*]}"
    return 1
  fi
}

# The fuzz targets run for a fixed time each, whatever the machine does meanwhile: they run
# beside the sanitizer tests (which hold on a loaded machine) instead of after them.
fuzz_pid=""
if [ "$fuzz" = ON ]; then
  stage "tests (sanitizer build), beside the fuzz targets (libFuzzer, $jobs at a time)"
  in_background run_fuzz_targets >"$logs/fuzz" 2>&1
  fuzz_pid=$!
else
  stage "tests (sanitizer build)"
fi
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan 600
if [ -n "$fuzz_pid" ]; then
  echo "   (sanitizer tests took $((SECONDS - stage_start)) s)"
  fuzz_status=0
  wait "$fuzz_pid" || fuzz_status=$?
  cat "$logs/fuzz"
  [ "$fuzz_status" -eq 0 ] || exit 1
fi
echo "   (took $((SECONDS - stage_start)) s)"
echo "all test stages passed in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
closing_line
