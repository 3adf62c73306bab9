#!/usr/bin/env bash
# Makes drive A: of your own Wine prefix ($WINEPREFIX, or ~/.wine) a real
# floppy drive, and has Wine report the 9x family to startdisk.exe, whose
# read-back then reaches the diskette.
#   scripts/linux-floppy.sh <device> [folder]
# <device> is the drive's block device, best its /dev/disk/by-id/usb-... name;
# [folder] holds startdisk.exe, the documents and the image (default: here).
# Nothing is changed unless every check passes.
set -euo pipefail

refuse() {
    echo "linux-floppy.sh: $*" >&2
    exit 1
}

[ $# = 1 ] || [ $# = 2 ] || refuse "usage: scripts/linux-floppy.sh <device> [folder]"
device="$1"
folder="${2:-.}"
prefix="${WINEPREFIX:-$HOME/.wine}"
user="$(id -un)"

for tool in wine wineserver blockdev; do
    command -v "$tool" >/dev/null || refuse "$tool is not installed"
done
[ -d "$folder" ] || refuse "$folder is not a folder"
folder="$(cd "$folder" && pwd)"
[ -e "$device" ] || refuse "$device does not exist"
[ -b "$device" ] || refuse "$device is not a block device"
# blockdev opens the device, so a failure here is mostly a lack of access.
size="$(blockdev --getsize64 "$device" 2>/dev/null)" ||
    refuse "cannot read the size of $device: you probably lack access (sudo setfacl -m u:$user:rw $device), or no diskette is in the drive"
[ "$size" = 1474560 ] ||
    refuse "$device holds $size bytes, not 1474560: not a 1.44 MB diskette"
[ -w "$device" ] || refuse "$device is not writable by you (sudo setfacl -m u:$user:rw $device)"
# A mounted diskette would be written under the file system's feet.
node="$(readlink -f "$device")"
while read -r source _; do
    case "$source" in /dev/*) ;; *) continue ;; esac
    [ "$(readlink -f "$source")" != "$node" ] ||
        refuse "$node is mounted: unmount it first (udisksctl unmount -b $node)"
done </proc/mounts
# ln -sfn would put a link inside a real folder instead of replacing it.
for drive in "a:" "a::"; do
    [ ! -e "$prefix/dosdevices/$drive" ] || [ -L "$prefix/dosdevices/$drive" ] ||
        refuse "$prefix/dosdevices/$drive is not a link; move it away first"
done

# Wine makes the prefix on first use, so this comes before the links.
key='HKCU\Software\Wine\AppDefaults\startdisk.exe'
DISPLAY='' WINEDEBUG=-all wine reg add "$key" /v Version /d win98 /f >/dev/null 2>&1 </dev/null ||
    refuse "wine could not set the win98 version in $prefix (try: wine reg add '$key' /v Version /d win98 /f)"

# "a:" is the drive root, which the 9x services insist on; "a::" the raw
# device, linked by the name given so a stable by-id name stays stable.
mkdir -p "$prefix/floppy-root" "$prefix/dosdevices"
ln -sfn "$prefix/floppy-root" "$prefix/dosdevices/a:"
ln -sfn "$device" "$prefix/dosdevices/a::"
# A running wineserver would keep the old drive A:.
wineserver -k 2>/dev/null || true

echo "Drive A: of $prefix is now $device; Wine reports Windows 98 to startdisk.exe."
[ -f "$folder/startdisk.exe" ] || echo "(There is no startdisk.exe in $folder yet.)"
echo "Run:"
run="wine $(printf %q "$folder/startdisk.exe") -v"
[ -z "${WINEPREFIX:-}" ] || run="WINEPREFIX=$(printf %q "$WINEPREFIX") $run"
echo "  cd $(printf %q "$folder") && $run"
