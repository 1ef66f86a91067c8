#!/usr/bin/env bash
# Builds both worlds: the Linux host build (portable code, the packager, tests, benchmarks), the
# 32-bit Windows build with its tests, and setup.exe as shipped (build/windows-program).
# Run .ci/install-deps once first on a new machine.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
for preset in host windows windows-program; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
echo "built: build/host, build/windows; the installer: build/windows-program/app/setup.exe"
