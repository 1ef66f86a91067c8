#!/bin/sh
# Build the demo keyboard layout libraries and the check program.
#
#   demo/layouts/build.sh OUTDIR
#
# Produces kbddemo_v{0,1,2}_r{0,1}_{x86,x64,wow64,arm64}.dll and
# check_layout_{x86,x64}.exe in OUTDIR, using the mingw-w64 cross compilers and, for
# ARM64, clang and lld (with the mingw-w64 headers, which serve every target).
# wow64 is the WOW64 edition: 32-bit code whose tables hold 64-bit pointers.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
SRC=$(cd "$(dirname "$0")" && pwd)
OUT=$1
mkdir -p "$OUT"

CFLAGS="-O2 -Wall -Wextra -Werror"

ARM64_CC="clang --target=aarch64-w64-windows-gnu -fuse-ld=lld -isystem /usr/share/mingw-w64/include"

for arch in x86 x64 wow64 arm64; do
    EDITION=
    case $arch in
        x86)   CC=i686-w64-mingw32-gcc;   ENTRY=_DllEntry@12 ;;
        x64)   CC=x86_64-w64-mingw32-gcc; ENTRY=DllEntry ;;
        wow64) CC=i686-w64-mingw32-gcc;   ENTRY=_DllEntry@12; EDITION=-DKL_WOW64 ;;
        arm64) CC=$ARM64_CC;              ENTRY=DllEntry ;;
    esac
    for v in 0 1 2; do
        for r in 0 1; do
            dll="$OUT/kbddemo_v${v}_r${r}_${arch}.dll"
            # -nostdlib: no C runtime, no import libraries -> no imports.
            # --kill-at: export the plain name KbdLayerDescriptor on x86.
            # No timestamp and no base derived from the output path: the same
            # sources give the same bytes wherever they are built.
            $CC $CFLAGS $EDITION -DKBD_VARIANT=$v -DKBD_ALT_ROW=$r \
                -shared -nostdlib -s \
                -Wl,-e,$ENTRY -Wl,--kill-at -Wl,--no-insert-timestamp -Wl,--disable-auto-image-base \
                -o "$dll" "$SRC/kbddemo.c"
            echo "built $dll"
        done
    done
    # The check program reads tables through native pointers: none for the WOW64 edition;
    # Wine here runs no ARM64 code.
    [ "$arch" = wow64 ] || [ "$arch" = arm64 ] && continue
    $CC $CFLAGS -o "$OUT/check_layout_${arch}.exe" "$SRC/check_layout.c"
    echo "built $OUT/check_layout_${arch}.exe"
done
