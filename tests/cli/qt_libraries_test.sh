#!/usr/bin/env bash
# melotag-cli loads QtCore and no other Qt library: the editor and the platform's core part it is
# made of need no GUI module, and a command never loads one at start.
set -euo pipefail
program=$1
fail() { echo "qt_libraries_test: $*" >&2; exit 1; }

libraries=$(ldd "$program") || fail "ldd could not read $program"
qt=$(awk '$1 ~ /^libQt6/ {print $1}' <<<"$libraries" | sort -u)
[ -n "$qt" ] || fail "$(basename "$program") loads no Qt library; expected libQt6Core"
others=$(grep -v '^libQt6Core\.' <<<"$qt" || true)
[ -z "$others" ] || fail "$(basename "$program") loads Qt libraries beyond QtCore:" $others
grep -q '^libQt6Core\.' <<<"$qt" || fail "$(basename "$program") does not load libQt6Core:" $qt
grep -i 'not found' <<<"$libraries" && fail "$(basename "$program") misses libraries"
echo "qt_libraries_test: $(basename "$program") loads" $qt
