#!/usr/bin/env bash
# The whole test suite as CI runs it (.ci/run), in stages, each timed:
#   deps      installs the Debian packages (tools/install-deps.sh)
#   format    every C++ file is formatted with the root .clang-format
#   asan      GCC, Debug, AddressSanitizer + UndefinedBehaviorSanitizer + the standard
#             library's assertions, warnings as errors: build, then every test
#   release   clang 14, Release, warnings as errors (what users run): build, then every test,
#             and the codec tests once more on the portable kernels (FRAMZEL_SIMD=0)
#   fuzz      clang, FRAMZEL_FUZZ=ON with the sanitizers: builds every fuzz target listed in
#             BUILD/fuzz-targets.txt and runs each for FRAMZEL_FUZZ_SECONDS (default 30) on
#             its kept inputs; a crash, leak or time-out fails the run
# Both cores work all the time: the builds run one after the other with all cores, and while
# one tree's tests run, the next tree builds. ccache (when installed) keeps compiled objects
# between runs and between clones (CCACHE_BASEDIR).
#
# Usage: tools/run-tests.sh [BUILD_DIR]   (default: build-asan; the other trees are
#   BUILD_DIR-clang and BUILD_DIR-fuzz). FRAMZEL_SKIP_CLANG=1 skips the release and fuzz
#   stages; FRAMZEL_SKIP_FUZZ=1 skips only the fuzz stage.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-asan}
release=$build-clang
fuzz=$build-fuzz
jobs=$(nproc)
fuzz_seconds=${FRAMZEL_FUZZ_SECONDS:-30}
# The tests whose kernels have vector versions (JPEG encoder, MPEG audio decoder).
codec_tests='Yuv422|Jpeg|Mpa|Kernel|Simd'

export CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Each stage reports its wall time and the processor time of its processes (user + system,
# all cores): on a busy machine the wall time says little, while the processor time divided by
# the cores says what the stage takes on an idle machine.
timings=()
cpu_seconds() { # processor seconds used so far by this script's finished child processes
  awk -v tick="$(getconf CLK_TCK)" '{ printf "%d", ($16 + $17) / tick }' "/proc/$$/stat"
}
note_time() { # note_time NAME START-SECONDS START-CPU
  local cpu=$(($(cpu_seconds) - $3))
  timings+=("$(printf '%-28s %5d s wall %6d s cpu' "$1" $((SECONDS - $2)) "$cpu")")
}
stage() { # stage NAME COMMAND...: runs and times one stage
  local name=$1 start=$SECONDS cpu
  cpu=$(cpu_seconds)
  shift
  echo "=== $name"
  "$@"
  note_time "$name" "$start" "$cpu"
}
report() {
  echo "=== stage times ($jobs cores)"
  printf '%s\n' "${timings[@]}"
  printf '%-28s %5d s wall %6d s cpu\n' total $((SECONDS - run_start)) "$(cpu_seconds)"
}
run_start=$SECONDS
trap report EXIT

check_format() {
  (cd "$top" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror)
  echo "format: ok"
}

configure_asan() {
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DFRAMZEL_SANITIZE=ON -DFRAMZEL_WERROR=ON -DFRAMZEL_BENCH=ON >/dev/null
}
configure_release() {
  CC=clang CXX=clang++ cmake -S "$top" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DFRAMZEL_WERROR=ON >/dev/null
}
configure_fuzz() {
  CC=clang CXX=clang++ cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFRAMZEL_FUZZ=ON -DFRAMZEL_SANITIZE=ON -DFRAMZEL_WERROR=ON -DFRAMZEL_APP=OFF \
    -DFRAMZEL_BENCH=OFF >/dev/null
}
fuzz_targets() { # the names listed by the fuzz tree's configuration
  awk 'NF { print $1 }' "$fuzz/fuzz-targets.txt"
}

run_tests() { # run_tests TREE [ctest options]
  local tree=$1
  shift
  ctest --test-dir "$tree" -j"$jobs" --output-on-failure --timeout 600 "$@"
}
run_release_tests() {
  run_tests "$release"
  FRAMZEL_SIMD=0 run_tests "$release" -R "$codec_tests"
}

# Runs each fuzz target for fuzz_seconds on a scratch copy of its kept inputs, as many at once
# as there are cores. Inputs that make a target fail are left in BUILD-fuzz/findings/TARGET/.
run_fuzzers() {
  local findings=$fuzz/findings
  rm -rf "$findings"
  mkdir -p "$findings"
  local name corpus failed=0
  local -a pids=() names=()
  while read -r name corpus; do
    [ -n "$name" ] || continue
    mkdir -p "$findings/$name/new"
    (
      cd "$findings/$name"
      "$fuzz/bin/$name" -max_total_time="$fuzz_seconds" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 new "$corpus" >log 2>&1
    ) &
    pids+=($!)
    names+=("$name")
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  done <"$fuzz/fuzz-targets.txt"
  for i in "${!pids[@]}"; do
    if wait "${pids[$i]}"; then
      echo "fuzz ${names[$i]}: $(grep -h 'stat::number_of_executed_units' "$findings/${names[$i]}/log" | awk '{print $2}') runs, clean"
      rm -rf "$findings/${names[$i]}"
    else
      failed=1
      echo "fuzz ${names[$i]}: FAILED (inputs and log in $findings/${names[$i]})"
      tail -n 40 "$findings/${names[$i]}/log"
    fi
  done
  return $failed
}

build_asan() {
  configure_asan
  cmake --build "$build" -j"$jobs"
}
asan_tests() { run_tests "$build"; }
# A build that shares the cores with a test run yields to it, so timed tests keep their pace.
build_release() { nice -n 10 cmake --build "$release" -j"$jobs"; }
build_fuzz_nicely() {
  local -a targets
  mapfile -t targets < <(fuzz_targets)
  nice -n 10 cmake --build "$fuzz" -j"$jobs" --target "${targets[@]}"
}

# overlap NAME-A FUNCTION-A NAME-B FUNCTION-B: two stages at once, both must pass.
overlap() {
  local start=$SECONDS status=0 cpu
  cpu=$(cpu_seconds)
  echo "=== $1 + $3"
  ("$2") >"$build/$1.log" 2>&1 &
  local a=$!
  ("$4") >"$build/$3.log" 2>&1 &
  local b=$!
  wait $a || { status=1; echo "$1 failed:"; tail -n 200 "$build/$1.log"; }
  wait $b || { status=1; echo "$3 failed:"; tail -n 200 "$build/$3.log"; }
  note_time "$1 + $3" "$start" "$cpu"
  grep -h -E '^[0-9]+% tests passed|Total Test time' "$build/$1.log" "$build/$3.log" || true
  return $status
}

stage deps bash "$top/tools/install-deps.sh"
stage format check_format
stage asan-build build_asan

if [ "${FRAMZEL_SKIP_CLANG:-0}" = 1 ]; then
  stage asan-tests asan_tests
  exit 0
fi
configure_release
configure_fuzz
# While one tree's tests run, the next tree builds.
overlap asan-tests asan_tests release-build build_release
if [ "${FRAMZEL_SKIP_FUZZ:-0}" = 1 ]; then
  stage release-tests run_release_tests
  exit 0
fi
overlap release-tests run_release_tests fuzz-build build_fuzz_nicely
stage fuzz-runs run_fuzzers
