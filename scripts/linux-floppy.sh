#!/usr/bin/env bash
# Prepares a Wine prefix for startdisk.exe and a real floppy drive, and runs
# the verified write there.
#   scripts/linux-floppy.sh <device> [folder]   drive A: is the drive; prints the command for each job
#   scripts/linux-floppy.sh verify [-f <image>] in the program's folder: a verified write
#   scripts/linux-floppy.sh --nt                startdisk.exe back on the NT setting (older versions set 9x)
# <device> is the drive's block device, best its /dev/disk/by-id/usb-... name;
# [folder] holds startdisk.exe, the documents and the image (default: here).
# The prefix is $WINEPREFIX, or else ~/.wine-startdisk, a prefix of its own,
# since the dialog settings reach every program in a prefix.
#
# Under Wine each family misreports something on a block device. The NT
# setting reports every failed track, but reads back through Linux's cache
# of the device; the 9x setting reads back from the diskette, but reports no
# failed read or write. So startdisk.exe always runs as NT here, and the
# verified write runs the same exe under another name, startdisk-win98.exe,
# that Wine reports Windows 98 to: no setting changes for a run, so none can
# be left behind by a run that is cut short.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-dialog-look.sh"

refuse() {
    echo "linux-floppy.sh: $*" >&2
    exit 1
}

usage="usage: scripts/linux-floppy.sh <device> [folder]   or   scripts/linux-floppy.sh verify [-f <image file>]   or   scripts/linux-floppy.sh --nt"
prefix="${WINEPREFIX:-$HOME/.wine-startdisk}"
key='HKCU\Software\Wine\AppDefaults\startdisk.exe'
win98_name=startdisk-win98.exe
win98_key="HKCU\\Software\\Wine\\AppDefaults\\$win98_name"
# How the lines printed for the user name the prefix and this script.
env_words="WINEPREFIX=$(printf %q "$prefix")"
script="$(printf %q "$here/linux-floppy.sh")"
[ -z "${WINEPREFIX:-}" ] || script="$env_words $script"
export WINEPREFIX="$prefix"
# The advice names the user who will run Wine; a user without a name by
# number, since "u::rw" would change the device's owner entry instead.
sudo_word="sudo "
[ "$(id -u)" != 0 ] || sudo_word=""
wine_user="${SUDO_USER:-$(id -un 2>/dev/null || true)}"
[ -n "$wine_user" ] || wine_user="$(id -u)"

command -v wine >/dev/null ||
    refuse "wine is not installed (Debian: ${sudo_word}dpkg --add-architecture i386 && ${sudo_word}apt-get update && ${sudo_word}apt-get install wine wine32:i386 fonts-wine)"

# The registry calls below run without a display. A wineserver they start
# lingers a few seconds, and a program started meanwhile opens no window
# (and exits 255): before the script ends, such a server is waited out. One
# that was running already is left alone.
server_was_running=""
wineserver -k0 2>/dev/null && server_was_running=yes
settle() { [ -n "$server_was_running" ] || wineserver -w; }
quiet_wine() { DISPLAY='' WINEDEBUG=-all wine "$@" >/dev/null 2>&1 </dev/null; }

# startdisk.exe on the NT setting, Wine's default, where failures are reported.
nt_for_startdisk() {
    if quiet_wine reg query "$key" /v Version; then
        quiet_wine reg delete "$key" /v Version /f ||
            refuse "wine could not remove the win98 version from $prefix (try: $env_words wine reg delete '$key' /v Version /f)"
    fi
}

# The file of the folder with that name, whatever its case (so Wine finds it).
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

if [ "${1:-}" = --nt ]; then
    [ $# = 1 ] || refuse "$usage"
    [ -f "$prefix/system.reg" ] || refuse "$prefix is not a Wine prefix: there is nothing to undo"
    nt_for_startdisk
    settle
    echo "Wine reports the NT family (its default) to startdisk.exe in $prefix; drive A: is left as it was."
    exit 0
fi

if [ "${1:-}" = verify ]; then
    shift
    # Only an image file may follow: the file name runs to the end of the
    # command line, and an -r before it would make the run a capture, whose
    # failures the 9x setting does not report.
    [ $# = 0 ] || { [[ "$1" == [-/]f ]] && [ $# -ge 2 ]; } ||
        refuse "usage: scripts/linux-floppy.sh verify [-f <image file>], in the program's folder"
    [ -L "$prefix/dosdevices/a::" ] || refuse "drive A: of $prefix is not set up: run $script <device> [folder] first"
    folder="$PWD"
    exe="$(in_folder startdisk.exe)" || refuse "there is no startdisk.exe in $folder: run this in the program's folder"
    # With the caller's display: the program starts right after.
    WINEDEBUG=-all wine reg add "$win98_key" /v Version /d win98 /f >/dev/null 2>&1 </dev/null ||
        refuse "wine could not set the win98 version for $win98_name in $prefix"
    mkdir -p "$prefix/win98"
    ln -sfn "$exe" "$prefix/win98/$win98_name"
    # The 9x read-back asks for Reset Drive before every track, which Wine
    # lacks: err-int21 keeps its 160 harmless error lines out of the terminal.
    export WINEDEBUG="${WINEDEBUG:-fixme-all,err-int21}"
    exec wine "$prefix/win98/$win98_name" -v "$@"
fi

[ $# = 1 ] || [ $# = 2 ] || refuse "$usage"
device="$1"
folder="${2:-.}"
# The link in the prefix must not depend on the folder it was made from.
[[ "$device" == /* ]] || device="$PWD/$device"

command -v blockdev >/dev/null || refuse "blockdev is not installed (Debian: util-linux)"
[ -f "$WINE_FONTS/sserife.fon" ] ||
    refuse "Wine's fonts are missing ($WINE_FONTS/sserife.fon): ${sudo_word}apt-get install fonts-wine"

# The folder the program runs in: it opens its documents and MYFILE.BIN in
# the current folder.
[ -d "$folder" ] || refuse "$folder is not a folder"
folder="$(cd "$folder" && pwd)"
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

access="${sudo_word}setfacl -m u:$wine_user:rw $device; setfacl comes with the acl package"
[ -e "$device" ] || refuse "$device does not exist"
[ -b "$device" ] || refuse "$device is not a block device"
# blockdev opens the device, so a failure here is mostly a lack of access.
size="$(blockdev --getsize64 "$device" 2>/dev/null)" ||
    refuse "cannot read the size of $device: you probably lack access ($access), or no diskette is in the drive"
[ "$size" = 1474560 ] ||
    refuse "$device holds $size bytes, not 1474560: not a 1.44 MB diskette"
[ -w "$device" ] || refuse "$device is not writable by you ($access)"
# A mounted diskette would be written under the file system's feet.
node="$(readlink -f "$device")"
while read -r source _; do
    case "$source" in /dev/*) ;; *) continue ;; esac
    [ "$(readlink -f "$source")" != "$node" ] ||
        refuse "$node is mounted: unmount it first (udisksctl unmount -b $node, or ${sudo_word}umount $node)"
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
nt_for_startdisk
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
settle

echo "Drive A: of $prefix is now $device; startdisk.exe runs there as on Windows NT, which reports every failed track."
if [ -n "$exe" ]; then
    go="cd $(printf %q "$folder") && $env_words"
    echo "One job a run:"
    echo "  write the diskette:    $go wine $(printf %q "${exe##*/}")"
    echo "  write and read back:   $go $(printf %q "$here/linux-floppy.sh") verify"
    echo "  capture the diskette:  $go wine $(printf %q "${exe##*/}") -r"
    echo "Another image: put -f <file> last (startdisk.exe -r -f my.bin, or linux-floppy.sh verify -f my.bin)."
    echo "The read-back runs as Windows 98: it then reaches the diskette, not Linux's cache. It ends on a closing screen:"
    echo "choose \"Reboot Later\"; under Wine \"Reboot Now\" deletes four of the documents and ends every Wine program of the prefix."
else
    echo "There is no startdisk.exe in $folder: put it there, or use the folder scripts/portable.sh makes."
fi
