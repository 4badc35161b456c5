#!/usr/bin/env bash
# quorvantel-query.exe: no MinGW runtime DLL among its imports, and under Wine
# the same output as the Linux build on the sample folder (with CR LF, as a
# Windows program writes text, and a "\" path to the folder). All cases run
# in one start of Wine, through RUN_BATCH.
# Usage: query-win32.sh EXE OBJDUMP WINE EXAMPLES_DIR RUN_BATCH [LINUX_QUERY]
set -euo pipefail
exe=$1 objdump=$2 wine=$3 examples=$4 batch=$5 linux=${6:-}

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

mb="$examples/mailbox"
cases=(
  "tree|$mb"
  "tree|--cp932|$mb"
  "members|$mb|仕事"
  "recipients|$mb|取引先|西村 隆"
  "recipients|--address-only|$mb|家族"
  "recipients|$mb|caf$(printf '\xc3\xa9')"
  "mutt|$mb|SATO"
  "members|$mb/none|家族"
  "tree"
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
folder=$(winpath "$mb")
: >"$work/list"
for c in "${cases[@]}"; do
  IFS='|' read -r -a args <<<"$c"
  line=$(winpath "$exe")
  for a in "${args[@]}"; do line+=$'\t'"${a/#$mb/$folder}"; done
  echo "$line" >>"$work/list"
done
"$wine" "$batch" "$(winpath "$work/list")" "$(winpath "$work")"

fail=0
for i in "${!cases[@]}"; do
  IFS='|' read -r -a args <<<"${cases[$i]}"
  want=$("$linux" "${args[@]}" 2>&1 | sed "s|$mb|FOLDER|g"; echo "status ${PIPESTATUS[0]}")
  got=$(tr -d '\r' <"$work/$i.out" | sed "s|${folder//\\/\\\\}|FOLDER|g"; echo "status $(cat "$work/$i.status")")
  if [ "$want" != "$got" ]; then
    echo "FAIL: quorvantel-query ${args[*]}" >&2
    diff <(echo "$want") <(echo "$got") >&2 || true
    fail=1
  else
    echo "same: quorvantel-query ${args[*]}"
  fi
done
exit $fail
