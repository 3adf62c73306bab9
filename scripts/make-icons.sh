#!/usr/bin/env bash
# Builds the program's icons from their XPM sources:
#   make-icons.sh <out-dir>  ->  <out-dir>/confirm.ico, <out-dir>/document.ico
# Each .ico holds one 32x32 image at 4 bits per pixel with a transparency mask,
# the form the dialogs' icon controls expect. Output is byte-identical on every run.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 <out-dir>" >&2
    exit 2
fi

out_dir=$1
src_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../resources/icons" && pwd)

command -v convert >/dev/null || { echo "make-icons: ImageMagick 'convert' not found" >&2; exit 1; }
command -v identify >/dev/null || { echo "make-icons: ImageMagick 'identify' not found" >&2; exit 1; }

mkdir -p "$out_dir"

fail() { echo "make-icons: $*" >&2; exit 1; }

# Little-endian 16-bit field of a file at a byte offset.
u16() { od -An -tu2 -j "$2" -N2 --endian=little "$1" | tr -d ' '; }

for name in confirm document; do
    xpm=$src_dir/$name.xpm
    ico=$out_dir/$name.ico
    [ -f "$xpm" ] || fail "missing $xpm"

    # Check the source, so a drawing that grew past 16 colours fails here
    # rather than being quietly re-quantised.
    read -r w h ncolors cpp < <(sed -n 's/^"\([0-9]\+ [0-9]\+ [0-9]\+ [0-9]\+\)[^"]*",\?$/\1/p' "$xpm" | head -n1) \
        || fail "$xpm: no XPM values line"
    [ "$w $h $cpp" = "32 32 1" ] || fail "$xpm: must be 32x32 with one char per pixel (got ${w}x$h, $cpp)"
    [ "$ncolors" -le 16 ] || fail "$xpm: $ncolors colours, at most 16 allowed"

    # Write beside the target and move into place, so a failed run never
    # leaves a half-written icon that looks up to date.
    tmp=$out_dir/.$name.$$.tmp.ico
    trap 'rm -f "$tmp"' EXIT
    # PaletteAlpha keeps the "None" pixels in the AND mask; plain Palette drops it.
    convert "$xpm" +dither -colors 16 -type PaletteAlpha "ICO:$tmp"

    # ICONDIR: reserved 0, type 1, one image; entry: 32x32, bit count 4.
    [ "$(u16 "$tmp" 2)" = 1 ] || fail "$ico: not an icon file"
    [ "$(u16 "$tmp" 4)" = 1 ] || fail "$ico: expected exactly one image"
    [ "$(od -An -tu1 -j 6 -N2 "$tmp" | tr -s ' ' | sed 's/^ //')" = "32 32" ] || fail "$ico: directory entry is not 32x32"
    [ "$(u16 "$tmp" 12)" = 4 ] || fail "$ico: expected 4 bits per pixel, header says $(u16 "$tmp" 12)"
    got=$(identify -format '%w %h %z' "$tmp")
    [ "$got" = "32 32 4" ] || fail "$ico: identify reports '$got', expected '32 32 4'"

    mv -f "$tmp" "$ico"
    trap - EXIT
done
