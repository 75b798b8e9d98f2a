#!/usr/bin/env bash
# Builds the Release programs and runs the main job: the oxdbf tool on a small
# demonstration table.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DORVEX_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
if [ -x build/release/tools/oxdbf ]; then
  scripts/demo.sh build/release/tools/oxdbf
fi
