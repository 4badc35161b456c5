#!/usr/bin/env bash
# Builds the Debian package from the default build (build/default, already
# built) and checks it: its control fields, its files, the programs as they
# come out of it, and the desktop entry.
#
# The package is unpacked into a scratch root with dpkg-deb rather than
# installed: that needs no root, leaves the machine as it was (no stray
# /usr/bin/quorvantel shadowing the build tree) and tests exactly the files
# the package ships. That its dependencies can be installed is checked with
# apt-get's simulation instead.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
fail() {
  echo "check-deb: FAIL: $*" >&2
  exit 1
}

[ -x "$build/tools/query/quorvantel-query" ] || fail "build $build first"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
arch=$(dpkg --print-architecture)
deb="$build/quorvantel_${version}_${arch}.deb"

rm -f "$build"/quorvantel_*.deb
(cd "$build" && cpack -G DEB) || fail "cpack -G DEB failed"
[ -f "$deb" ] || fail "cpack made no $deb"
echo "check-deb: built $deb"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quorvantel ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version '$(field Version)' is not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
echo "check-deb: Depends: $depends"
[ -n "$depends" ] || fail "Depends is empty"
grep -Eq '(^|, )libqt6widgets6( |,|$)' <<<"$depends" || fail "Depends does not name libqt6widgets6"
grep -Eq '(^|, )libicu[0-9]+( |,|$)' <<<"$depends" || fail "Depends does not name libicu"
field Maintainer | grep -Eq '<[^>]+@([a-z0-9-]+\.)*example\.jp>$' ||
  fail "Maintainer '$(field Maintainer)' has no example.jp address"
for f in Section Priority Homepage; do
  [ -n "$(field "$f")" ] || fail "$f is empty"
done
description=$(field Description)
grep -q 'Winbiff V2' <<<"$description" || fail "Description has no English text"
grep -q 'アドレス帳' <<<"$description" || fail "Description has no Japanese text"

# Files: everything under /usr, the programs, the menu entry and its icon.
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' && fail "files outside /usr"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/jp.example.quorvantel.desktop"
for f in usr/bin/quorvantel usr/bin/quorvantel-query; do
  [ -x "$root/$f" ] || fail "no program /$f"
  ! ldd "$root/$f" | grep 'not found' || fail "/$f needs a library that is not there"
done
[ -f "$desktop" ] || fail "no desktop entry"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/jp.example.quorvantel.svg" ] || fail "no icon"

# The unpacked quorvantel-query answers like the one of the build.
shipped="$root/usr/bin/quorvantel-query"
built="$build/tools/query/quorvantel-query"
# Each case: options, then names, separated by "|".
for case in "家族" "仕事" "取引先|山口 陽子" "--address-only|仕事|友人"; do
  IFS='|' read -ra words <<<"$case"
  opts=() names=()
  for w in "${words[@]}"; do
    if [[ $w == --* ]]; then opts+=("$w"); else names+=("$w"); fi
  done
  want=$("$built" recipients "${opts[@]}" examples/mailbox "${names[@]}")
  got=$("$shipped" recipients "${opts[@]}" examples/mailbox "${names[@]}")
  grep -Eq '@([a-z0-9-]+\.)*example\.(jp|com)' <<<"$want" || fail "the build's quorvantel-query finds no address for $case"
  [ "$got" = "$want" ] || fail "recipients $case: the package gives '$got', the build '$want'"
done

# The desktop entry: valid, Japanese name and comment, program and icon shipped.
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
for key in 'Name\[ja\]' 'Comment\[ja\]'; do
  grep -q "^$key=." "$desktop" || fail "the desktop entry has no $key"
done
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not shipped"

# The dependencies can be installed here (a simulation: nothing changes).
apt-get install --simulate --no-install-recommends "./$deb" >/dev/null ||
  fail "apt-get cannot install the package's dependencies"

echo "check-deb: OK: $deb"
