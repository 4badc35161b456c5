#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs, only when some are missing.
# Usage: scripts/deps.sh run|test
set -euo pipefail

common=(g++ cmake ninja-build pkg-config libicu-dev qt6-base-dev libgl-dev libxcb1-dev
        fonts-ipafont-gothic qt6-translations-l10n
        nlohmann-json3-dev)
case "${1:-run}" in
  run)  pkgs=("${common[@]}") ;;
  test) pkgs=("${common[@]}" libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xclip
              g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix mingw-w64-tools googletest
              wine wine64 locales dpkg-dev desktop-file-utils thunderbird imagemagick nodejs) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the locale: ja_JP.UTF-8 gives 932.
if [ "${1:-run}" = test ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  echo "Generating the ja_JP.UTF-8 locale"
  $sudo localedef -i ja_JP -c -f UTF-8 -A /usr/share/locale/locale.alias ja_JP.UTF-8
fi
