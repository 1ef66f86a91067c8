#!/usr/bin/env bash
# Runs every test layer from a clean or an existing build:
#   host        unit tests (GoogleTest, one ctest entry per case)
#   host-asan   the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   windows64   the same tests built for 64-bit Windows, and the engine's tests against Wine's
#               registry, files and shell, the end-to-end and GUI scenarios, run under 64-bit Wine
#               in throwaway prefixes
#   windows-program  setup.exe as shipped: imports nothing Windows 2000 lacks and only known system
#               libraries, carries its exploit mitigations, signs and verifies, its size and what it
#               links (printed)
#   windows32   the 32-bit build of the Windows tests under 32-bit Wine, in 32-bit prefixes and as
#               WOW64 processes in 64-bit ones, its GUI and hardening tests running the shipped
#               setup.exe; on a machine whose kernel cannot run 32-bit x86 code, inside an emulated
#               machine (tests/emulator/run-in-guest). SETUP_32BIT=native|emulator chooses.
#   emulator    where windows32 ran natively: a short run of the same in the emulated machine
#               (the unit tests, and the shipped setup.exe installing and removing the layout as
#               a WOW64 process), so that the way the other machines take keeps working
#   fuzz        each libFuzzer target for FUZZ_SECONDS (default 30) seconds
#   bench       short passes of the benchmarks, to keep them building and running, with their ratios;
#               setup.exe's start-up to its first painted page under Wine against a one-dialog program
# What is missing is installed first (as root; .ci/install-deps is idempotent).
#   ./test.sh [LAYER...]   the layers named (default: all of them, in the order above)
set -euo pipefail
cd "$(dirname "$0")"
if [ "$(id -u)" = 0 ]; then
  bash .ci/install-deps
else
  echo "test.sh: not root, so nothing is installed; run 'sudo bash .ci/install-deps' once on a new machine"
fi
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-30}
passed=0
failed=0

layer() {  # layer NAME COMMAND...: runs one layer and counts it
  local name=$1
  shift
  echo "=== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "=== $name FAILED"
  fi
}

# The Windows builds take their package from the host build's packager, which a layer run alone
# may find missing or older than the sources.
build_packager() {
  cmake --preset host >/dev/null && cmake --build --preset host -j "$jobs" --target packager >/dev/null
}

ctest_preset() {
  { [ "$1" != windows-program ] || build_packager; } &&
    cmake --preset "$1" >/dev/null &&
    cmake --build --preset "$1" -j "$jobs" &&
    ctest --preset "$1" -j "$jobs"
}

# The Windows tests show message boxes and windows: under Wine they need a display.
ctest_preset_on_display() {
  build_packager && cmake --preset "$1" >/dev/null &&
    cmake --build --preset "$1" -j "$jobs" &&
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset "$1" -j "$jobs"
}

run_fuzzers() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$jobs" || return 1
  local target corpus
  for target in $(cd build/fuzz/tests/fuzz && ls fuzz_* | grep -v '\.' ); do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    [ -d "tests/fuzz/corpus/$target" ] && cp -n tests/fuzz/corpus/$target/* "$corpus"/ 2>/dev/null || true
    echo "--- $target for ${fuzz_seconds}s"
    if ! (cd build/fuzz && "./tests/fuzz/$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
      -timeout=10 -print_final_stats=1 "corpus/$target" >"$target.log" 2>&1); then
      tail -n 40 "build/fuzz/$target.log"
      return 1
    fi
    grep -E 'stat::number_of_executed_units' "build/fuzz/$target.log"
  done
}

run_benchmarks() {  # short repetitions, interleaved, so that the ratios hold on a busy machine
  local bench
  for bench in build/host/tests/bench/*_bench; do
    "$bench" --benchmark_min_time=0.05 --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
      --benchmark_report_aggregates_only=true || return 1
  done
  run_startup_bench
}

# Start-up to the first painted page under Wine, setup.exe against a program that shows one
# dialog, in turns in one fresh prefix (of the Windows build the windows layer made). Fails only
# when the measurement cannot be made.
run_startup_bench() {
  local build=build/windows64 arch=win64 rc
  if cmake/wine-run --can-run-32bit; then
    build=build/windows arch=win32
  fi
  export WINEPREFIX=$PWD/$build/wine/bench-win7 WINEARCH=$arch
  cmake/wine-run --fresh win7 &&
    xvfb-run -a -s "-screen 0 1024x768x24" cmake/wine-run "$build/tests/bench/startup_bench.exe" 11
  rc=$?
  cmake/wine-run --stop
  unset WINEPREFIX WINEARCH
  return $rc
}

timed() {  # timed NAME COMMAND...: a layer with its time
  local start=$SECONDS
  layer "$@"
  echo "=== $1 took $((SECONDS - start)) s"
}

# Where the 32-bit tests run: under this machine's 32-bit Wine, or in the emulated machine.
where_32bit_runs() {
  case ${SETUP_32BIT:-} in
    native | emulator) echo "$SETUP_32BIT" ;;
    *) if cmake/wine-run --can-run-32bit; then echo native; else echo emulator; fi ;;
  esac
}

# The 32-bit build of the tests, whose GUI, hardening and clean-exit tests run the shipped program.
build_32bit_tests() {
  build_packager && cmake --preset windows-program >/dev/null && cmake --build --preset windows-program -j "$jobs" &&
    cmake --preset windows -DSETUP_PROGRAM_UNDER_TEST="$PWD/build/windows-program/app/setup.exe" >/dev/null &&
    cmake --build --preset windows -j "$jobs"
}

# ctest_32bit native|emulator [CTEST ARGS...]: the 32-bit tests, with their count at the end.
ctest_32bit() {
  local where=$1 log=build/windows/ctest-$1.log
  shift
  local display=(xvfb-run -a -s "-screen 0 1024x768x24") rc
  if [ "$where" = native ]; then
    "${display[@]}" ctest --preset windows -j "$jobs" "$@" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
  else
    # The Wine prefixes on the guest's own disk: over the shared file system they take 4 times as
    # long. The third-party layouts are read in place, beside the checkout.
    local shared=()
    [ -d ../shared/testdata ] && shared=(--share ../shared)
    tests/emulator/run-in-guest --local build/windows/wine ${shared[@]+"${shared[@]}"} "${display[@]}" \
      ctest --preset windows -j 2 "$@" 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
  fi
  # The guest's console is a terminal, so ctest colours its summary there.
  echo "--- $(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E 'tests passed, [0-9]+ tests failed out of' | tail -n 1 ||
    echo 'no ctest summary') ($where)"
  return "$rc"
}

run_32bit_layer() {
  local where
  where=$(where_32bit_runs)
  if [ "$where" = native ]; then
    echo "--- windows32: under this machine's 32-bit Wine"
  elif [ "${SETUP_32BIT:-}" = emulator ]; then
    echo "--- windows32: in the emulated machine (tests/emulator), as SETUP_32BIT asks"
  else
    echo "--- windows32: this machine's kernel cannot run 32-bit x86 code: in the emulated machine (tests/emulator)"
  fi
  build_32bit_tests && ctest_32bit "$where"
}

# Where the 32-bit layer ran natively, a short run in the emulated machine keeps its way working:
# the 32-bit unit tests and the shipped program's GUI scenarios as a WOW64 process.
run_emulator_layer() {
  if [ "$(where_32bit_runs)" = emulator ]; then
    echo "--- emulator: the whole 32-bit layer ran in the emulated machine"
    return 0
  fi
  build_32bit_tests && ctest_32bit emulator -R '_wine$|^gui_scenarios_win10_'
}

all_layers=(host host-asan windows64 windows-program windows32 emulator fuzz bench)
for name in "${@:-${all_layers[@]}}"; do
  case $name in
    host | host-asan) timed "$name" ctest_preset "$name" ;;
    windows64) timed windows64 ctest_preset_on_display windows64 ;;
    windows-program) timed windows-program ctest_preset windows-program ;;
    windows32) timed windows32 run_32bit_layer ;;
    emulator) timed emulator run_emulator_layer ;;
    fuzz) timed fuzz run_fuzzers ;;
    bench) timed bench run_benchmarks ;;
    *) echo "test.sh: no layer '$name' (layers: ${all_layers[*]})" >&2; exit 2 ;;
  esac
done

echo "layers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
