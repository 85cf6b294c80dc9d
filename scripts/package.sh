#!/usr/bin/env bash
# Builds the Debian package kvflash_VERSION_ARCH.deb from a clean Release build of the
# programs (no tests) with CPack's DEB generator, with Debian's hardening flags, and runs
# lintian on it (errors fail; the warnings left are explained in docs/packaging.md).
# Prints the package's path as its last line.
#   scripts/package.sh [BUILD_DIR]   (default build-pkg-release)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-pkg-release}
bash scripts/setup.sh >&2
umask 022
rm -rf "$build"

# Debian's build flags; -Wdate-time would reject serburn's build date in its banner.
export DEB_CPPFLAGS_MAINT_STRIP=-Wdate-time
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS CFLAGS LDFLAGS

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DKV_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr >&2
cmake --build "$build" -j"${KV_JOBS:-$(nproc)}" >&2
(cd "$build" && cpack -G DEB) >&2
deb=$(ls "$PWD/$build"/kvflash_*.deb)

if command -v lintian >/dev/null; then
  # lintian refuses to run as root unless told to.
  lintian --allow-root --info --display-info "$deb" >&2 || {
    echo "package: lintian found errors in $deb" >&2
    exit 1
  }
fi
echo "$deb"
