#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the GUI need. Safe to run again:
# it does nothing when every package is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qt6-base-dev libxkbcommon-dev qt6-multimedia-dev
  fonts-ipafont-gothic
  srecord binutils libelf-dev
  python3
  groff-base desktop-file-utils librsvg2-bin dpkg-dev lintian passwd
)
# Optional: the virtual X server scripts/screenshots.sh takes its pictures under.
if [ "${KV_SETUP_SCREENSHOTS:-0}" = 1 ]; then
  packages+=(xvfb xauth)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
