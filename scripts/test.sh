#!/usr/bin/env bash
# Builds everything and runs every test: first a normal build, then a Release build of the
# programs alone (as a user builds them, without the tests), then the Debian package,
# installed and run as an ordinary user (scripts/package_check.sh), then a clang build with
# AddressSanitizer + UndefinedBehaviorSanitizer that also builds the libFuzzer targets and
# runs each for a few seconds. `scripts/test.sh --quick` runs the normal build only.
# Warnings are errors in every build here (KV_WERROR).
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

bash scripts/setup.sh

# Headless GUI tests: offscreen Qt platform and a private runtime directory.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

jobs="${KV_JOBS:-$(nproc)}"

echo "== build (RelWithDebInfo) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
echo "== tests =="
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

if [ "$quick" = 1 ]; then
  exit 0
fi

echo "== build (Release, the programs without the tests) =="
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DKV_WERROR=ON >/dev/null
cmake --build build-release -j"$jobs"

echo "== Debian package: build, lintian, install, run as a user =="
KV_JOBS="$jobs" bash scripts/package_check.sh

echo "== build (clang, ASan+UBSan, fuzz targets) =="
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKV_SANITIZE=ON -DKV_FUZZ=ON -DKV_BENCH=OFF -DKV_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
echo "== tests under sanitizers, fuzz targets =="
ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600
