#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh test
begin=$(date +%s)

# A build that runs beside a test step yields the processor to it (nice), so
# the test runs as fast as it would alone; its output waits in a log until it
# is done. A build that is still running when this script stops goes with it.
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
background() {  # LOG COMMAND...: the command in the background
  local log=$1
  shift
  nice -n 19 "$@" >"$log" 2>&1 &
}
finish() {  # PID LOG: waits for a background build, then shows its output
  local status=0
  wait "$1" || status=$?
  cat "$2"
  return "$status"
}

# run.sh turns tests and benchmarks off in the same build directory; turn them back on.
cmake --preset default -DQUORVANTEL_BUILD_TESTS=ON -DQUORVANTEL_BUILD_BENCH=ON
cmake --build --preset default
ctest --preset default -LE thunderbird

# The Debian package, built from build/default and checked: control fields,
# files, the unpacked programs and the desktop entry.
bash scripts/check-deb.sh

# Thunderbird end to end: a throw-away profile with our extension and host,
# under Xvfb, driven through the main window (Thunderbird's first start can
# take a minute on a fresh machine). Beside it, the Windows build (MinGW-w64,
# static, warnings as errors).
cmake --preset mingw -DQUORVANTEL_LINUX_QUERY="$PWD/build/default/tools/query/quorvantel-query"
background build/mingw/build.log bash -c \
  'cmake --build --preset mingw && cmake --build --preset mingw --target release-zip'
mingw=$!
ctest --preset default -L thunderbird
finish "$mingw" build/mingw/build.log

# The Windows tests under Wine: core/, the Outlook backend against a fake
# Outlook, quorvantel-query.exe (compared with the Linux build's output), and
# quorvantel.exe driven through its windows. Beside them, the sanitizer build.
cmake --preset asan
mkdir -p build/asan
background build/asan/build.log cmake --build --preset asan
asan=$!
ctest --preset mingw
finish "$asan" build/asan/build.log

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
# any report stops the test that made it.
ctest --preset asan
echo "test.sh: every build and test in $(( $(date +%s) - begin )) s"
