#!/usr/bin/env bash
# Builds both worlds: the Linux host build (portable code, the packager, tests, benchmarks), the
# 32-bit Windows build with its tests, and setup.exe as shipped (build/windows-program).
# Run .ci/install-deps once first on a new machine.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
# The Windows tests run under Wine: 32-bit where the machine runs 32-bit x86 code, else 64-bit.
tests=windows
cmake/wine-run --can-run-32bit || tests=windows64
for preset in host $tests windows-program; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
echo "built: build/host, build/$tests; the installer: build/windows-program/app/setup.exe"
