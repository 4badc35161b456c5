#!/usr/bin/env bash
# Builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh run

cmake --preset default -DQUORVANTEL_BUILD_TESTS=OFF -DQUORVANTEL_BUILD_BENCH=OFF
cmake --build --preset default --target quorvantel quorvantel-query

# First run: preferences that name the sample mail folder (cp932, CR LF), so the
# window opens on an address book. An existing file is never touched.
exe=build/default/ui/qt/quorvantel
ini="$(dirname "$exe")/quorvantel.ini"
if [ ! -e "$ini" ]; then
  if printf 'MailFolder: %s\r\n' "$(pwd)/examples/mailbox" | iconv -f UTF-8 -t CP932 > "$ini.new"
  then mv "$ini.new" "$ini"
  else rm -f "$ini.new"; echo "run.sh: the sample folder's path has no cp932 form; not set" >&2
  fi
fi

exec "$exe"
