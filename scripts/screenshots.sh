#!/usr/bin/env bash
# Takes the pictures in docs/: the main window, a progress window while programming and one
# showing a message. Under a virtual X server (Xvfb) when one is installed
# (KV_SETUP_SCREENSHOTS=1 bash scripts/setup.sh), otherwise with Qt's offscreen platform.
# Usage: scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-screenshots}
out=$root/docs

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target flash_screenshots -j2 >/dev/null
tool=$build/flash/app/flash_screenshots

# A program directory with the sample chips and a hex file chosen.
mkdir "$work/program"
cp "$root/data/CHIPDEF.INI" "$work/program/"
printf '[Recent]\r\nCPU=0\r\nRATE=1\r\nWrite File=%s\r\n' "$root/data/hex/os3f10.hex" \
  > "$work/program/DATAFILE.TXT"
printf '[Com]\r\nCom=0\r\n' > "$work/program/Customize.ini"

# English texts whatever the caller's language.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
if command -v xvfb-run >/dev/null 2>&1; then
  echo "screenshots: Xvfb"
  xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb "$tool" "$work/program" "$out"
else
  echo "screenshots: offscreen (install xvfb for pictures under X)"
  QT_QPA_PLATFORM=offscreen "$tool" "$work/program" "$out" 2>&1 | grep -v propagateSizeHints || true
fi
ls -l "$out"/flash-*.png
