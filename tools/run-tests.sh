#!/usr/bin/env bash
# The whole test suite as CI runs it: installs the packages, configures a build with
# AddressSanitizer, UndefinedBehaviorSanitizer and warnings as errors, builds it, checks that
# clang builds the tree as well and that the code is formatted, and runs every test.
# Usage: tools/run-tests.sh [BUILD_DIR]   (default: build-asan; FRAMZEL_SKIP_CLANG=1 skips clang)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-asan}
bash "$top/tools/install-deps.sh"

# Every C++ file is formatted with the root .clang-format.
(cd "$top" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror)
echo "format: ok"

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DFRAMZEL_SANITIZE=ON -DFRAMZEL_WERROR=ON -DFRAMZEL_BENCH=ON
cmake --build "$build" -j"$(nproc)"

if [ "${FRAMZEL_SKIP_CLANG:-0}" != 1 ]; then
  CC=clang CXX=clang++ cmake -S "$top" -B "$build-clang" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DFRAMZEL_WERROR=ON
  cmake --build "$build-clang" -j"$(nproc)"
  echo "clang build: ok"
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 600
