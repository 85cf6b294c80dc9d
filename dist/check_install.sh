#!/usr/bin/env bash
# Installs the build tree into a fresh prefix and checks that each program finds its files
# there: flash's CHIPDEF.INI and control programs in its program directory, the data
# directory that serburn.cfg names, and a full demo run of the installed serburn and kvsim.
#   check_install.sh BUILD SOURCE PROGRAM_DIR DATA_DIR BIN_DIR
set -euo pipefail
build=$1 source=$2 programs=$3 data=$4 bindir=$5

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install_layout: $*" >&2; exit 1; }
for f in "$bindir/serburn" "$bindir/kvsim" "$programs/serburn" "$programs/ovl/41/ae_flash.725" \
         "$data/CHIPDEF.INI" "$data/kv40k358.bin" share/man/man1/serburn.1.gz \
         share/man/man1/kvsim.1.gz share/bash-completion/completions/serburn \
         share/bash-completion/completions/kvsim share/doc/kvflash/copyright \
         share/doc/kvflash/changelog.gz; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
grep -qxF "KV40=\"$prefix/$data/\""$'\r' "$prefix/$programs/serburn.cfg" ||
  fail "serburn.cfg does not name $prefix/$data/: $(cat -A "$prefix/$programs/serburn.cfg")"

if [ -e "$build/flash/app/flash" ]; then
  [ "$(readlink -f "$prefix/$bindir/flash")" = "$(readlink -f "$prefix/$programs/flash")" ] ||
    fail "bin/flash does not lead to the program directory"
  for ctl in "$source"/data/*.ctl "$source/data/CHIPDEF.INI"; do
    cmp -s "$ctl" "$prefix/$programs/$(basename "$ctl")" ||
      fail "flash's program directory lacks $(basename "$ctl")"
  done
  for f in share/applications/flash.desktop share/icons/hicolor/scalable/apps/flash.svg \
           share/icons/hicolor/48x48/apps/flash.png share/man/man1/flash.1.gz; do
    [ -e "$prefix/$f" ] || fail "missing $f"
  done
  grep -qxF "Exec=$prefix/$bindir/flash" "$prefix/share/applications/flash.desktop" ||
    fail "the menu entry does not start $prefix/$bindir/flash"
fi

bash "$source/scripts/demo.sh" --installed "$prefix/$bindir"
