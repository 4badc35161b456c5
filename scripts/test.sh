#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh test
begin=$(date +%s)

# The Windows and sanitizer builds run in the background, beside the test
# steps, at lower priorities (nice): a test step runs as fast as it would
# alone, and of the two builds the Windows one, whose tests come first, goes
# ahead. Each build's output waits in its log until it is needed. Each is a
# process group of its own (set -m): a build still running when this script
# stops is stopped with it, compilers and all.
set -m
trap 'for job in $(jobs -p); do kill -- "-$job" 2>/dev/null || true; done' EXIT
background() {  # NICENESS LOG COMMAND...: the command in the background
  local niceness=$1 log=$2
  shift 2
  nice -n "$niceness" "$@" >"$log" 2>&1 &
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

# The Windows build (MinGW-w64, static, warnings as errors), with the Linux
# build's quorvantel-query to compare with; the sanitizer build.
cmake --preset mingw -DQUORVANTEL_LINUX_QUERY="$PWD/build/default/tools/query/quorvantel-query"
cmake --preset asan
background 10 build/mingw/build.log bash -c \
  'cmake --build --preset mingw && cmake --build --preset mingw --target release-zip'
mingw=$!
background 19 build/asan/build.log cmake --build --preset asan
asan=$!

ctest --preset default -LE thunderbird

# The Debian package, built from build/default and checked: control fields,
# files, the unpacked programs and the desktop entry.
bash scripts/check-deb.sh

# Thunderbird end to end: a throw-away profile with our extension and host,
# under Xvfb, driven through the main window (Thunderbird's first start can
# take a minute on a fresh machine).
ctest --preset default -L thunderbird

# The Windows tests under Wine: core/, the Outlook backend against a fake
# Outlook, quorvantel-query.exe (compared with the Linux build's output), and
# quorvantel.exe driven through its windows.
finish "$mingw" build/mingw/build.log
ctest --preset mingw

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
# any report stops the test that made it.
finish "$asan" build/asan/build.log
ctest --preset asan
echo "test.sh: every build and test in $(( $(date +%s) - begin )) s"
