#!/usr/bin/env bash
# The Debian package of a build tree: made with CPack, unpacked into a temporary root, its files
# valid for the desktop, and the program found there starts and shows its window.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
pid=""
cleanup() {
  local status=$?
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 qt6-qpa-plugins; do
  [[ $depends == *"$lib"* ]] || fail "no dependency on $lib: $depends"
done
dpkg -x "$deb" "$work/root"
share=$work/root/usr/share
for f in "$work/root/usr/bin/Melotag" "$share/melotag/Melotag.html" \
         "$share/icons/hicolor/scalable/apps/melotag.svg" "$work/root/usr/bin/melotag-cli" \
         "$share/man/man1/melotag-cli.1" "$share/bash-completion/completions/melotag-cli"; do
  [ -e "$f" ] || fail "missing ${f#$work/root}"
done
desktop-file-validate "$share/applications/melotag.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$share/metainfo/io.github.melotag.Melotag.metainfo.xml" >/dev/null ||
  fail "AppStream description"

# The installed command-line tool runs, its manual page reads, its completion loads.
ASAN_OPTIONS=detect_leaks=0 "$work/root/usr/bin/melotag-cli" --help >"$work/cli.log" 2>&1 ||
  { cat "$work/cli.log"; fail "melotag-cli --help failed"; }
grep -q "^Usage: melotag-cli" "$work/cli.log" || fail "melotag-cli --help printed no usage"
man -l "$share/man/man1/melotag-cli.1" >/dev/null 2>&1 || fail "the manual page of melotag-cli"
bash -c "source '$share/bash-completion/completions/melotag-cli' && complete -p melotag-cli" \
  >/dev/null 2>&1 || fail "the bash completion of melotag-cli"

# The installed program: it opens its window, which then takes a later start's file.
export XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$work/root/usr/bin/Melotag" >"$work/first.log" 2>&1 &
pid=$!
for _ in $(seq 150); do
  [ -S "$XDG_RUNTIME_DIR/Melotag.socket" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/first.log"; fail "the program ended at start"; }
  sleep 0.2
done
[ -S "$XDG_RUNTIME_DIR/Melotag.socket" ] || fail "the window never listened for later starts"
head -c 1000 /dev/zero >"$work/song.mp3"
timeout 60 "$work/root/usr/bin/Melotag" "$work/song.mp3" || fail "a later start was not taken"
kill -0 "$pid" 2>/dev/null || fail "the window closed"
echo "package_test: $(basename "$deb") installs and runs"
