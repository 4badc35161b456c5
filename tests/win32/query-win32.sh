#!/usr/bin/env bash
# quorvantel-query.exe: no MinGW runtime DLL among its imports, and under Wine
# the same output as the Linux build on the sample folder (with CR LF, as a
# Windows program writes text, and a "\" path to the folder).
# Usage: query-win32.sh EXE OBJDUMP WINE EXAMPLES_DIR [LINUX_QUERY]
set -euo pipefail
exe=$1 objdump=$2 wine=$3 examples=$4 linux=${5:-}

imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "imports: $(echo $imports)"
if grep -Eiq '^(libstdc\+\+|libgcc|libwinpthread)' <<<"$imports"; then
  echo "FAIL: links a MinGW runtime DLL" >&2
  exit 1
fi

if [ -z "$linux" ] || [ ! -x "$linux" ]; then
  echo "no Linux quorvantel-query given: output not compared"
  exit 77
fi

folder="Z:${examples//\//\\}\\mailbox"
fail=0
check() {
  local want got
  want=$("$linux" "$@" 2>&1 | sed "s|$examples/mailbox|FOLDER|g"; echo "status ${PIPESTATUS[0]}")
  local args=()
  for a in "$@"; do args+=("${a/#$examples\/mailbox/$folder}"); done
  got=$("$wine" "$exe" "${args[@]}" 2>&1 | tr -d '\r' | sed "s|${folder//\\/\\\\}|FOLDER|g"; echo "status ${PIPESTATUS[0]}")
  if [ "$want" != "$got" ]; then
    echo "FAIL: quorvantel-query $*" >&2
    diff <(echo "$want") <(echo "$got") >&2 || true
    fail=1
  else
    echo "same: quorvantel-query $*"
  fi
}
mb="$examples/mailbox"
check tree "$mb"
check tree --cp932 "$mb"
check members "$mb" 仕事
check recipients "$mb" 取引先 "西村 隆"
check recipients --address-only "$mb" 家族
check recipients "$mb" "caf$(printf '\xc3\xa9')"
check mutt "$mb" SATO
check members "$mb/none" 家族
check tree
exit $fail
