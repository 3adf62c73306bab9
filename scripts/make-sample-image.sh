#!/usr/bin/env bash
# Builds a sample 1.44 MB start-up diskette image for demonstrating and testing
# startdisk:   make-sample-image.sh <out-file>
# The image is a plain FAT12 diskette holding only README.TXT. Volume id, label and
# every timestamp are fixed, so the output is byte-identical on every run.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 <out-file>" >&2
    exit 2
fi

out=$1
readonly SIZE=1474560

export PATH=/sbin:/usr/sbin:$PATH
export TZ=UTC
export SOURCE_DATE_EPOCH=1767225600   # 2026-01-01 00:00:00 UTC
# mtools: settings that shape the image come from here, not from whatever
# mtools.conf the machine has (the environment overrides config files).
export MTOOLSRC=/dev/null
export MTOOLS_SKIP_CHECK=1
export MTOOLS_LOWER_CASE=0
export MTOOLS_NO_VFAT=1

fail() { echo "make-sample-image: $*" >&2; exit 1; }
for tool in mkfs.fat mcopy mdir; do
    command -v "$tool" >/dev/null || fail "'$tool' not found (need dosfstools and mtools)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work   # keeps ~/.mtoolsrc out of it

# DOS text: CRLF line ends, plain ASCII.
printf '%s\r\n' \
    'STARTDISK SAMPLE DISKETTE' \
    '' \
    'This is a sample start-up diskette image, made for demonstrating' \
    'and testing startdisk. It is a plain 1.44 MB FAT12 diskette that' \
    'holds only this file: it does not start a computer and it changes' \
    'nothing on any disk.' \
    > "$work/README.TXT"
touch -d "@$SOURCE_DATE_EPOCH" "$work/README.TXT"

img=$work/disk.img
# 1440 KiB gives the standard 3.5-inch HD layout: 80 tracks, 2 heads,
# 18 sectors, media F0. --invariant pins the label entry's timestamp,
# which mkfs.fat otherwise takes from the clock; -i still sets the id.
mkfs.fat --invariant -C -F 12 -n STARTDISK -i 12345678 "$img" 1440 >/dev/null
mcopy -m -i "$img" "$work/README.TXT" ::README.TXT

size=$(stat -c %s "$img")
[ "$size" -eq "$SIZE" ] || fail "image is $size bytes, expected $SIZE"
mdir -i "$img" ::README.TXT >/dev/null || fail "README.TXT missing from image"

# Copy next to the target, then rename: a build never sees a partial image.
mkdir -p "$(dirname "$out")"
part=$(dirname "$out")/.$(basename "$out").$$.part
trap 'rm -rf "$work" "$part"' EXIT
cp "$img" "$part"
mv -f "$part" "$out"
