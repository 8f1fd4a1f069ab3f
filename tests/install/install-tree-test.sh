#!/usr/bin/env bash
# install-tree-test.sh BUILD_DIR MACHINE_HIVE_DIR BINDIR LIBDIR
# Installs the build and checks the installed tree (see CMakeLists.txt beside this file).
set -euo pipefail
build=$(cd "$1" && pwd -P)
hive_dir=$2
bindir=$3
libdir=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/framzel-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}
install_tree() { # install_tree PREFIX: the default components and the test server's
  cmake --install "$build" --prefix "$1" >"$work/install.log" 2>&1 || {
    cat "$work/install.log"
    fail "cmake --install failed"
  }
  cmake --install "$build" --prefix "$1" --component framzel-test-server >>"$work/install.log" 2>&1 || {
    cat "$work/install.log"
    fail "cmake --install --component framzel-test-server failed"
  }
}

# 1. Staged for a package: files under DESTDIR, registered with their final paths in the staged
#    copy of the system hive folder.
unset FRAMZEL_REGISTRY_DIR
DESTDIR="$work/stage" install_tree /opt/framzel
stage_hive="$work/stage$hive_dir/machine.reg"
[ -f "$stage_hive" ] || fail "no staged machine hive at $stage_hive"
for server in libfztestserver.so libfzmedia.so libfzdsp.so; do
  grep -q "sz:\"/opt/framzel/$libdir/$server\"" "$stage_hive" ||
    fail "the staged hive does not name the installed path of $server: $(cat "$stage_hive")"
done
if grep -q -e "$work" -e "$build" "$stage_hive"; then
  fail "the staged hive names a staging or build path: $(cat "$stage_hive")"
fi
[ -x "$work/stage/opt/framzel/$bindir/fzregsvr" ] || fail "fzregsvr is not in $bindir"
[ "$(stat -c %a "$work/stage$hive_dir")" = 755 ] || fail "the hive folder is not readable by all"
[ "$(stat -c %a "$stage_hive")" = 644 ] || fail "the hive is not readable by all"

# 2. Installed under a real prefix, registered into a hive of our own; then the installed client
#    runs with a clean environment from another folder.
prefix="$work/prefix"
FRAMZEL_REGISTRY_DIR="$work/hive" install_tree "$prefix"
for file in "$prefix/$bindir"/* "$prefix/$libdir"/*; do
  [ -L "$file" ] && continue
  if readelf -d "$file" 2>/dev/null | grep -E 'RUNPATH|RPATH' | grep -q -e "$build" -e "$work"; then
    fail "$file keeps an absolute RUNPATH: $(readelf -d "$file" | grep PATH)"
  fi
done
output=$(cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work" FRAMZEL_REGISTRY_DIR="$work/hive" \
  FRAMZEL_DRIVE_C="$work/c" "$prefix/$bindir/fztestcreate") || fail "fztestcreate failed: $output"
echo "$output" | grep -qx "count 2" || fail "the class did not count: $output"
echo "$output" | grep -qx "server $prefix/$libdir/libfztestserver.so" ||
  fail "the class was not registered with its installed path: $output"
echo "$output" | grep -q "^mapped $prefix/$libdir/libfzplatform.so" ||
  fail "the installed libfzplatform was not used: $output"
if echo "$output" | grep "^mapped" | grep -q "$build"; then
  fail "a file of the build tree was loaded: $(echo "$output" | grep "$build")"
fi
echo "install test: ok"
