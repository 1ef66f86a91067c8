#!/usr/bin/env bash
# Pictures of every page of the wizard in both interface languages, as a person sees them: the
# real setup.exe in fresh Wine prefixes that report Windows 7, in a Wine desktop (which draws the
# frame's title bar) on Xvfb, stepped through its pages by tests/gui/picture_driver.
#   tests/gui/pictures.sh [BUILD_DIR]   default: build/windows64, or build/windows where the
#                                       machine runs 32-bit x86 code
#   tests/gui/pictures.sh --demo        the demo installer as a person tries it (./build.sh ends
#                                       with it): in the prefix BUILD_DIR/wine/demo-win7, kept
#                                       between runs; on the display when there is one, else on
#                                       Xvfb, saving a picture of the first page
# Writes BUILD_DIR/pictures/<language>-<number>-<page>.png and copies them to docs/pictures/. Needs the build of BUILD_DIR (the
# targets setup and picture_driver), xvfb and imagemagick (.ci/install-deps).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

demo=
if [ "${1:-}" = --demo ]; then
  demo=${SETUP_DEMO_DISPLAY:-${DISPLAY:-none}}  # the display the person sits at, if any
  shift
fi
if [ -z "${DISPLAY:-}" ]; then
  SETUP_DEMO_DISPLAY=${demo:+none} exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" ${demo:+--demo} "$@"
fi

build=${1:-}
if [ -z "$build" ]; then
  build=build/windows64
  cmake/wine-run --can-run-32bit && build=build/windows
fi
build=$(cd "$build" && pwd)
arch=win32
case "$build" in *64*) arch=win64 ;; esac
setup=$build/app/setup.exe
driver=$build/tests/gui/picture_driver.exe
[ -f "$setup" ] && [ -f "$driver" ] || { echo "pictures: build setup and picture_driver in $build first" >&2; exit 1; }
out=$build/pictures
mkdir -p "$out"
class=$(cat demo/texts/*.txt | awk '/^== 94([^0-9]|$)/ { getline; print; exit }')  # the frame's class
winpath() { echo "Z:${1//\//\\}"; }

# run PREFIX LOCALE STEP...: one start of setup.exe, driven through the steps
run() {
  local prefix=$1 locale=$2
  shift 2
  local work=$out/work
  rm -rf "$work" && mkdir -p "$work"
  WINEPREFIX=$prefix WINEARCH=$arch LC_ALL=$locale \
    "$root/cmake/wine-run" explorer /desktop=shot,800x600 \
    "$driver" "$(winpath "$setup")" "$class" "$(winpath "$work")" "$@" >"$out/wine.log" 2>&1 &
  local desktop=$! waited=0
  while [ ! -f "$work/driver.done" ] && [ $waited -lt 3000 ]; do
    for request in "$work"/*.req; do
      [ -f "$request" ] || continue
      local name geometry
      name=$(basename "$request" .req)
      geometry=$(tr -d '\r\n' <"$request")
      /usr/bin/import -window root -crop "$geometry" +repage "$out/$name.png"
      echo "pictures: $out/$name.png"
      rm -f "$request"
    done
    sleep 0.2
    waited=$((waited + 1))
  done
  WINEPREFIX=$prefix "$root/cmake/wine-run" --stop
  wait "$desktop" 2>/dev/null || true
  local status
  status=$(tr -d '\r\n' <"$work/driver.done" 2>/dev/null || echo timeout)
  [ "$status" = 0 ] || { echo "pictures: a step failed ($status): $*" >&2; return 1; }
}

# What a real Windows has and a new prefix lacks: the layout entries (the install registers ours
# beside them; Windows 8 and later need a Cyrillic-script one).
prepare() {
  local prefix=$1 version=$2 id file
  WINEPREFIX=$prefix WINEARCH=$arch cmake/wine-run --fresh "$version"
  for entry in 00000409:KBDUS.DLL 00000415:KBDPL1.DLL 00000419:KBDRU.DLL; do
    id=${entry%%:*}
    file=${entry#*:}
    for view in 32 64; do
      [ $view = 64 ] && [ $arch = win32 ] && continue
      WINEPREFIX=$prefix WINEARCH=$arch cmake/wine-run reg add \
        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\$id" /v "Layout File" /d "$file" \
        /f /reg:$view >/dev/null 2>&1
    done
  done
  WINEPREFIX=$prefix cmake/wine-run --stop
}

if [ -n "$demo" ]; then
  prefix=$build/wine/demo-win7
  [ -f "$prefix/.ready" ] || prepare "$prefix" win7
  if [ "$demo" != none ]; then  # a person's display: the wizard, until it closes
    WINEPREFIX=$prefix WINEARCH=$arch cmake/wine-run "$(winpath "$setup")"
    exit
  fi
  run "$prefix" C.UTF-8 page:308 shot:demo-welcome click:300 answer:6 end
  echo "demo: no display here; the installer ran on Xvfb. Its first page: $out/demo-welcome.png"
  exit
fi

rm -f "$out"/*.png
if [ -n "${PICTURES_STEPS:-}" ]; then  # one run in an existing prefix, for debugging a scenario
  run "$build/wine/pictures-en-win7" C.UTF-8 $PICTURES_STEPS
  exit
fi

for language in en pl; do
  locale=C.UTF-8
  [ $language = pl ] && locale=pl_PL.UTF-8
  prefix=$build/wine/pictures-$language-win7
  prepare "$prefix" win7
  p=$language
  # Not installed: welcome, licence, setup, expert page 1 with Caps Lock's list open, the close
  # question, the install, the finish page.
  run "$prefix" $locale page:308 shot:$p-01-welcome click:1 page:305 shot:$p-02-licence \
    click:305 shot:$p-03-licence-accepted click:1 page:206 shot:$p-04-setup \
    click:303 page:1301 click:1312 open:1412 shot:$p-05-expert-keys shut:1412 click:301 page:206 \
    click:300 box:$p-06-close-question answer:7 click:206 page:1204 shot:$p-07-finish-installed close end
  # Installed: welcome with remove and settings, the change of settings.
  run "$prefix" $locale page:315 shot:$p-08-welcome-installed click:2003 page:206 shot:$p-09-setup-settings \
    click:300 answer:6 end
  # Removal: its question, then the finish page.
  run "$prefix" $locale page:315 click:315 box:$p-10-remove-question answer:6 page:1204 \
    shot:$p-11-finish-removed close end
  WINEPREFIX=$prefix cmake/wine-run --stop
done

# The README shows every page: kept in step with the program.
mkdir -p docs/pictures
rm -f docs/pictures/*.png
cp "$out"/en-*.png "$out"/pl-*.png docs/pictures/
echo "pictures: docs/pictures/ updated"
