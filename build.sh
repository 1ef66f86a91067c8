#!/usr/bin/env bash
# Installs what is missing (as root), builds both worlds: the Linux host build (portable code, the
# packager, tests, benchmarks), the Windows build with its tests, and setup.exe as shipped
# (build/windows-program); then starts the demo installer under Wine (SETUP_NO_DEMO=1: not).
set -euo pipefail
cd "$(dirname "$0")"
if [ "$(id -u)" = 0 ]; then
  bash .ci/install-deps
else
  echo "build.sh: not root, so nothing is installed; run 'sudo bash .ci/install-deps' once on a new machine"
fi
jobs=$(nproc)
# The Windows tests run under Wine: 32-bit where the machine runs 32-bit x86 code, else 64-bit.
tests=windows
cmake/wine-run --can-run-32bit || tests=windows64
for preset in host $tests windows-program; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
echo "built: build/host, build/$tests; the installer: build/windows-program/app/setup.exe"
# The demo installer as a person tries it: on this display, or on Xvfb with a picture of its
# first page (tests/gui/pictures.sh --demo says where).
if [ -z "${SETUP_NO_DEMO:-}" ]; then
  tests/gui/pictures.sh --demo
fi
