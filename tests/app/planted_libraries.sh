#!/usr/bin/env bash
# The planted-library test: libraries named like system libraries (tests/app/planted_library.c,
# each leaving NAME.dll.loaded when loaded) lie beside a copy of setup.exe and in the folder it
# is started from; Wine is told to prefer them to its own, as Windows would take a file found
# first. The program goes through its first page, where the driver has it load some of them by
# their bare names, and its close question: no marker may appear.
#   planted_libraries.sh WORK SETUP.EXE PLANTED.DLL DRIVER.EXE
# WINEPREFIX names the test's own prefix (made anew here).
#
# The names: comctl32 (imported: the manifest's side-by-side assembly must win), and dwmapi,
# cryptbase, dbghelp (loaded late by name on Windows, here by the driver through the program's
# own LoadLibraryW: only the program's library search keeps them out). Two names Windows loads
# late are left out because Wine takes them from the program's folder before the program's first
# instruction or behind its back: version (imported by Wine's own common controls while the
# imports are resolved) and uxtheme (Wine's common controls load it through their delayed
# imports, which ignore the process's library search settings).
set -eu
work=$1 setup=$2 planted=$3 driver=$4
here=$(cd "$(dirname "$0")/../.." && pwd)
class=$(cat "$here"/demo/texts/*.txt | awk '/^== 94([^0-9]|$)/ { getline; print; exit }')  # the frame's class
imported="comctl32"
late="dwmapi cryptbase dbghelp"

rm -rf "$work" && mkdir -p "$work/program" "$work/current"
cp "$setup" "$work/program/setup.exe"
for name in $imported $late; do
  cp "$planted" "$work/program/$name.dll"
  cp "$planted" "$work/current/$name.dll"
done
overrides=$(echo $imported $late | tr ' ' ',')
winpath() { echo "Z:${1//\//\\}"; }

"$here/cmake/wine-run" --fresh win7
status=0
(cd "$work/current" &&
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;$overrides=n,b" \
    xvfb-run -a -s "-screen 0 1024x768x24" "$here/cmake/wine-run" "$driver" \
    "$(winpath "$work/program/setup.exe")" "$class" $(for n in $late; do echo "$n.dll"; done)) || status=$?
"$here/cmake/wine-run" --stop
if [ "$status" != 0 ]; then
  echo "planted_libraries: the driver failed ($status)" >&2
  exit 1
fi
markers=$(find "$work" -name '*.loaded')
if [ -n "$markers" ]; then
  echo "planted_libraries: planted libraries were loaded:" >&2
  for marker in $markers; do echo "  ${marker#$work/} by $(cat "$marker")" >&2; done
  exit 1
fi
echo "planted_libraries: none of $imported $late was taken from the program's or the current folder"
