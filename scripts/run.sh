#!/usr/bin/env bash
# Builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh run

cmake --preset default -DQUORVANTEL_BUILD_TESTS=OFF -DQUORVANTEL_BUILD_BENCH=OFF
cmake --build --preset default --target quorvantel-query
./build/default/tools/query/quorvantel-query tree examples/mailbox
