#!/usr/bin/env bash
# Builds both worlds: the Linux host build (portable code, host tools, tests, benchmarks) and the
# 32-bit Windows build (mingw-w64). Run .ci/install-deps once first on a new machine.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
for preset in host windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
echo "built: build/host and build/windows"
