#!/usr/bin/env bash
# The main job on a machine without a board: installs what is needed, builds serburn and
# kvsim, starts a simulated KV40K358 board on a pseudo-terminal, programs it from the
# sample S2 file (erase, blank check, program, verify), reads the flash back, and checks
# that the simulated flash and the read-out equal the input.
#   scripts/demo.sh [--pace] [--installed [BINDIR]]
#   --pace runs the board at the real line and flash speed; --installed runs the installed
#   serburn and kvsim of BINDIR (default /usr/bin) with their installed data, building
#   nothing, in a temporary directory.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

pace=()
installed=
while [ $# -gt 0 ]; do
  case "$1" in
    --pace) pace=(--pace) ;;
    --installed)
      installed=/usr/bin
      if [ $# -gt 1 ] && [ "${2#--}" = "$2" ]; then installed=$2; shift; fi ;;
    *) echo "usage: scripts/demo.sh [--pace] [--installed [BINDIR]]" >&2; exit 2 ;;
  esac
  shift
done

if [ -n "$installed" ]; then
  demo=$(mktemp -d)
  mkdir -p "$demo/bin"
  ln -s "$installed/serburn" "$demo/bin/serburn"
  kvsim="$installed/kvsim"
  # The chip database serburn.cfg names, beside the installed serburn.
  cfg="$(dirname "$(readlink -f "$installed/serburn")")/serburn.cfg"
  chipdef="$(sed -n 's/^KV40="\{0,1\}\([^"\r]*\).*/\1/p' "$cfg")CHIPDEF.INI"
else
  bash scripts/setup.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target serburn kvsim -j"$(nproc)"

  demo="$root/build/demo"
  rm -rf "$demo"
  mkdir -p "$demo/bin/ovl/41"
  cp build/serburn/serburn "$demo/bin/"
  cp data/ovl/41/ae_flash.725 "$demo/bin/ovl/41/"
  # serburn finds CHIPDEF.INI and its modules through the serburn.cfg beside it.
  printf 'KV40=%s/data/\r\nKV41=%s/data/\r\n' "$root" "$root" > "$demo/bin/serburn.cfg"
  kvsim=build/sim/kvsim
  chipdef=data/CHIPDEF.INI
fi

echo "== starting the simulated board (KV40K358, 16 MHz crystal)"
"$kvsim" --link "$demo/tty" --chipdef "$chipdef" --chip KV40K358 --clock 16 \
  --dialect kv40 --flash-image "$demo/flash.bin" --event-log "$demo/events.jsonl" "${pace[@]}" \
  > "$demo/kvsim.out" 2>&1 &
kvsim_pid=$!
cleanup() {
  kill "$kvsim_pid" 2>/dev/null || true
  wait "$kvsim_pid" 2>/dev/null || true
  if [ -n "$installed" ]; then rm -rf "$demo"; fi
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$demo/kvsim.out" ] && [ -e "$demo/tty" ] && break
  sleep 0.05
done
echo "   board on $(head -n 1 "$demo/kvsim.out") (link $demo/tty)"

# A pseudo-terminal has no DTR/RTS, so serburn runs with /t and the board is reset into
# its boot ROM from outside, as a person would press the reset button.
echo "== serburn: erase, blank check, program, verify from data/hex/kv40k358.mhx"
"$demo/bin/serburn" "/L$demo/tty" /t /KV40K358 /o16 /e /c /p /v /b data/hex/kv40k358.mhx

kill -USR1 "$kvsim_pid"
sleep 0.2
echo
echo "== serburn: read the flash back into $demo/readback.bin"
"$demo/bin/serburn" "/L$demo/tty" /t /KV40K358 /o16 /r /b "$demo/readback.bin"
echo

size=$(stat -c %s data/hex/kv40k358.bin)
if cmp -s -n "$size" "$demo/flash.bin" data/hex/kv40k358.bin &&
   cmp -s -n "$size" "$demo/readback.bin" data/hex/kv40k358.bin; then
  echo "== OK: the simulated flash and the read-out hold the programmed image ($size bytes)"
else
  echo "== FAILED: the simulated flash differs from the programmed image" >&2
  exit 1
fi
