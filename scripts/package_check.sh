#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get, and runs the installed programs as
# an ordinary user: serburn's usage, kvsim --help and --version, flash --help and --version and an
# offscreen start (when the package has flash), and the demo against the installed
# programs. Removes the package again when it was not installed before.
# KV_PACKAGE_DEB=FILE checks that package instead of building one.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
user=${KV_CHECK_USER:-kvcheck}

deb=${KV_PACKAGE_DEB:-$(bash scripts/package.sh | tail -n 1)}
echo "== installing $deb"
was_installed=0
dpkg-query -W -f='${Status}' kvflash 2>/dev/null | grep -q 'install ok installed' && was_installed=1
work=$(mktemp -d)
cleanup() {
  [ "$was_installed" = 1 ] || $SUDO apt-get remove -y -qq kvflash >/dev/null || true
  $SUDO rm -rf "$work"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$deb" >/dev/null

id "$user" >/dev/null 2>&1 || $SUDO useradd --create-home --shell /bin/bash "$user"
# The user's own copy of the demo and its input, and its own runtime directory.
mkdir -p "$work/scripts" "$work/data/hex" "$work/run"
cp scripts/demo.sh "$work/scripts/"
cp data/hex/kv40k358.mhx data/hex/kv40k358.bin "$work/data/hex/"
$SUDO chown -R "$user" "$work"
chmod 755 "$work"
chmod 700 "$work/run"
as_user() {
  $SUDO runuser -u "$user" -- env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$(getent passwd "$user" | cut -d: -f6)" \
    XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen "$@"
}

# The whole output of a command (no early close of its pipe), matched against a pattern.
expect_output() {
  local pattern=$1 out
  shift
  out=$(as_user "$@")
  # shellcheck disable=SC2254
  case "$out" in
    $pattern) ;;
    *) echo "package_check: '$*' printed: $out" >&2; exit 1 ;;
  esac
}

echo "== as $user: serburn --help, kvsim --help, kvsim --version"
expect_output '*USAGE: serburn *' serburn --help
expect_output 'Usage: kvsim *' kvsim --help
expect_output 'kvsim (kvflash) *' kvsim --version
if [ -e /usr/bin/flash ]; then
  echo "== as $user: flash --help, flash --version, an offscreen start"
  expect_output 'Usage: flash *' flash --help
  expect_output 'flash (kvflash) *' flash --version
  # The installed program directory is root's: the user's settings go to the user's config
  # directory, starting from the program directory's copy (one is put there for the check).
  program_dir=$(dirname "$(readlink -f /usr/bin/flash)")
  home=$(getent passwd "$user" | cut -d: -f6)
  $SUDO rm -rf "$home/.config/kvflash"
  printf '[Recent]\r\nCPU=0\r\nRATE=1\r\nWrite File=\r\n' | $SUDO tee "$program_dir/DATAFILE.TXT" >/dev/null
  # The main window stays open until closed: still running after 3 s is a good start.
  rc=0
  as_user timeout 3 flash >"$work/flash.out" 2>&1 || rc=$?
  $SUDO rm -f "$program_dir/DATAFILE.TXT"
  if [ "$rc" != 124 ]; then
    echo "package_check: flash ended at start (exit $rc):" >&2
    cat "$work/flash.out" >&2
    exit 1
  fi
  if ! $SUDO runuser -u "$user" -- grep -q 'RATE=1' "$home/.config/kvflash/DATAFILE.TXT"; then
    echo "package_check: flash kept no settings in $home/.config/kvflash/" >&2
    exit 1
  fi
fi
echo "== as $user: the demo with the installed programs"
as_user bash "$work/scripts/demo.sh" --installed /usr/bin
echo "== package check passed"
