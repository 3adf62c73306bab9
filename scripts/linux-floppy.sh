#!/usr/bin/env bash
# Prepares a Wine prefix for startdisk.exe and a real floppy drive: drive A:
# is the drive, Wine reports the 9x family to startdisk.exe (whose read-back
# then reaches the diskette), and the dialogs are drawn as on Windows.
#   scripts/linux-floppy.sh <device> [folder]
#   scripts/linux-floppy.sh --nt     back to the NT family, Wine's default
# <device> is the drive's block device, best its /dev/disk/by-id/usb-... name;
# [folder] holds startdisk.exe, the documents and the image (default: here).
# The prefix is $WINEPREFIX, or else ~/.wine-startdisk, a prefix of its own,
# since the dialog settings reach every program in a prefix. Nothing is
# changed unless every check passes, and no running Wine program is ended.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-dialog-look.sh"

refuse() {
    echo "linux-floppy.sh: $*" >&2
    exit 1
}

usage="usage: scripts/linux-floppy.sh <device> [folder]   or   scripts/linux-floppy.sh --nt"
prefix="${WINEPREFIX:-$HOME/.wine-startdisk}"
user="$(id -un)"
key='HKCU\Software\Wine\AppDefaults\startdisk.exe'
# How the lines printed for the user name the prefix and this script.
env_words="WINEPREFIX=$(printf %q "$prefix")"
script="$(printf %q "$0")"
[ -z "${WINEPREFIX:-}" ] || script="$env_words $script"
export WINEPREFIX="$prefix"

command -v wine >/dev/null ||
    refuse "wine is not installed (Debian: sudo dpkg --add-architecture i386 && sudo apt-get update && sudo apt-get install wine wine32:i386 fonts-wine)"

if [ "${1:-}" = --nt ]; then
    [ $# = 1 ] || refuse "$usage"
    [ -f "$prefix/system.reg" ] || refuse "$prefix is not a Wine prefix: there is nothing to undo"
    if DISPLAY='' WINEDEBUG=-all wine reg query "$key" /v Version >/dev/null 2>&1 </dev/null; then
        DISPLAY='' WINEDEBUG=-all wine reg delete "$key" /v Version /f >/dev/null 2>&1 </dev/null ||
            refuse "wine could not remove the win98 version from $prefix (try: $env_words wine reg delete '$key' /v Version /f)"
    fi
    echo "Wine reports the NT family (its default) to startdisk.exe in $prefix again; drive A: is left as it was."
    echo "Back to the 9x family: $script <device> [folder]"
    exit 0
fi

[ $# = 1 ] || [ $# = 2 ] || refuse "$usage"
device="$1"
folder="${2:-.}"

command -v blockdev >/dev/null || refuse "blockdev is not installed (Debian: util-linux)"
[ -f "$WINE_FONTS/sserife.fon" ] ||
    refuse "Wine's fonts are missing ($WINE_FONTS/sserife.fon): sudo apt-get install fonts-wine"

# The folder the program runs in: it opens its documents and MYFILE.BIN in
# the current folder. Wine finds a file whatever the case of its name.
[ -d "$folder" ] || refuse "$folder is not a folder"
folder="$(cd "$folder" && pwd)"
in_folder() {
    local file
    shopt -s nocasematch
    for file in "$folder"/*; do
        if [[ "${file##*/}" == "$1" ]] && [ -f "$file" ]; then
            shopt -u nocasematch
            echo "$file"
            return 0
        fi
    done
    shopt -u nocasematch
    return 1
}
missing=()
for name in LA001.RTF INST001.rtf INST002.rtf INST003.rtf INST004.rtf AFTR001.rtf MYFILE.BIN; do
    in_folder "$name" >/dev/null || missing+=("$name")
done
[ ${#missing[@]} = 0 ] ||
    refuse "$folder lacks ${missing[*]}: name the folder that holds the six documents and the image (scripts/portable.sh makes one)"
image_size="$(stat -L -c %s "$(in_folder MYFILE.BIN)")"
[ "$image_size" = 1474560 ] ||
    refuse "$(in_folder MYFILE.BIN) holds $image_size bytes, not 1474560: not a diskette image"
exe="$(in_folder startdisk.exe || true)"

[ -e "$device" ] || refuse "$device does not exist"
[ -b "$device" ] || refuse "$device is not a block device"
# blockdev opens the device, so a failure here is mostly a lack of access.
size="$(blockdev --getsize64 "$device" 2>/dev/null)" ||
    refuse "cannot read the size of $device: you probably lack access (sudo setfacl -m u:$user:rw $device; setfacl comes with the acl package), or no diskette is in the drive"
[ "$size" = 1474560 ] ||
    refuse "$device holds $size bytes, not 1474560: not a 1.44 MB diskette"
[ -w "$device" ] || refuse "$device is not writable by you (sudo setfacl -m u:$user:rw $device; setfacl comes with the acl package)"
# A mounted diskette would be written under the file system's feet.
node="$(readlink -f "$device")"
while read -r source _; do
    case "$source" in /dev/*) ;; *) continue ;; esac
    [ "$(readlink -f "$source")" != "$node" ] ||
        refuse "$node is mounted: unmount it first (udisksctl unmount -b $node, or sudo umount $node)"
done </proc/mounts
# ln -sfn would put a link inside a real folder instead of replacing it.
for drive in "a:" "a::"; do
    [ ! -e "$prefix/dosdevices/$drive" ] || [ -L "$prefix/dosdevices/$drive" ] ||
        refuse "$prefix/dosdevices/$drive is not a link; move it away first"
done

# Wine makes the prefix on first use, so this comes before the links. A new
# prefix is a 32-bit one, as the project's tests use, without Mono and Gecko,
# which the program does not need, and without Wine's entries in the desktop's
# menus.
if [ ! -f "$prefix/system.reg" ]; then
    echo "Making the Wine prefix $prefix ..."
    made="$(DISPLAY='' WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" wineboot -i 2>&1 </dev/null)" &&
        [ -f "$prefix/system.reg" ] ||
        refuse "wine could not make the prefix $prefix:"$'\n'"$(tail -n 5 <<<"$made")"
fi
DISPLAY='' WINEDEBUG=-all wine reg add "$key" /v Version /d win98 /f >/dev/null 2>&1 </dev/null ||
    refuse "wine could not set the win98 version in $prefix (try: $env_words wine reg add '$key' /v Version /d win98 /f)"
# The dialogs as the project's own prefixes draw them: without this the
# progress window's text is clipped.
wine_dialog_look

# "a:" is the drive root, which the 9x services insist on; "a::" the raw
# device, linked by the name given so a stable by-id name stays stable.
# Wine 8 looks the links up on every open: no Wine program, running or not,
# needs a restart of the prefix's wineserver to see them.
mkdir -p "$prefix/floppy-root" "$prefix/dosdevices"
ln -sfn "$prefix/floppy-root" "$prefix/dosdevices/a:"
ln -sfn "$device" "$prefix/dosdevices/a::"

echo "Drive A: of $prefix is now $device; Wine reports Windows 98 to startdisk.exe."
if [ -n "$exe" ]; then
    # The 9x read-back asks for Reset Drive before every track, which Wine
    # lacks: err-int21 keeps its 160 harmless error lines out of the terminal.
    echo "Run:"
    echo "  cd $(printf %q "$folder") && $env_words WINEDEBUG=fixme-all,err-int21 wine $(printf %q "${exe##*/}") -v"
    echo "At the end choose \"Reboot Later\": under Wine \"Reboot Now\" deletes four of the documents and ends every Wine program of the prefix."
else
    echo "There is no startdisk.exe in $folder: put it there, or use the folder scripts/portable.sh makes."
fi
echo "Back to the NT family: $script --nt"
