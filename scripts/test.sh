#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh test

# run.sh turns tests and benchmarks off in the same build directory; turn them back on.
cmake --preset default -DQUORVANTEL_BUILD_TESTS=ON -DQUORVANTEL_BUILD_BENCH=ON
cmake --build --preset default
ctest --preset default -LE thunderbird

# The Debian package, built from build/default and checked: control fields,
# files, the unpacked programs and the desktop entry.
bash scripts/check-deb.sh

# Thunderbird end to end: a throw-away profile with our extension and host,
# under Xvfb, driven through the main window. A step of its own, alone on the
# machine (Thunderbird's first start can take a minute on a fresh machine).
ctest --preset default -L thunderbird

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer;
# any report stops the test that made it.
cmake --preset asan
cmake --build --preset asan
ctest --preset asan

# The Windows build (MinGW-w64, static, warnings as errors) and its tests under
# Wine: core/, the Outlook backend against a fake Outlook, quorvantel-query.exe
# (compared with the Linux build's output), and quorvantel.exe driven through
# its windows (the one Windows test with a display: its own Xvfb).
start=$(date +%s)
cmake --preset mingw -DQUORVANTEL_LINUX_QUERY="$PWD/build/default/tools/query/quorvantel-query"
cmake --build --preset mingw
cmake --build --preset mingw --target release-zip
ctest --preset mingw
echo "Windows suite (build and tests under Wine): $(( $(date +%s) - start )) s"
