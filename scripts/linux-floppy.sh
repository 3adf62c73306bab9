#!/usr/bin/env bash
# Prepares a Wine prefix for startdisk.exe and a real floppy drive, runs each
# job there and then checks the diskette itself.
#   scripts/linux-floppy.sh <device> [folder]   drive A: is the drive; prints the command for each job
#   scripts/linux-floppy.sh write|verify|capture [-f <image>]
#                                               in the program's folder: the job, then the check
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
# Neither can see what Linux does after the program: it writes its cache out
# at the last close of the device, where a refused write reaches no one, and
# while another process holds the device a 9x read-back comes from the cache
# too. So after each job the script reads the whole diskette past the cache
# and compares it with the image: it ends with status 0 only when they are
# equal, 2 when they are not (or a capture saved nothing), the program's own
# status when that is not 0, and 1 when it refused to start the job.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-dialog-look.sh"

refuse() {
    echo "linux-floppy.sh: $*" >&2
    exit 1
}

# Under sudo, Wine would run as root in root's prefix, and files it made in
# the user's prefix would be root's.
[ "$(id -u)" != 0 ] || [ -z "${SUDO_USER:-}" ] ||
    refuse "run this as $SUDO_USER, without sudo: Wine and its prefix are that user's; only setfacl needs sudo (sudo setfacl -m u:$SUDO_USER:rw <device>)"

usage="usage: scripts/linux-floppy.sh <device> [folder]   or   scripts/linux-floppy.sh write|verify|capture [-f <image file>]   or   scripts/linux-floppy.sh --nt"
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
wine_user="$(id -un 2>/dev/null || id -u)"
access_advice() { echo "${sudo_word}setfacl -m u:$wine_user:rw $1; setfacl comes with the acl package"; }
TRACK=9216 TRACKS=160 IMAGE_BYTES=1474560

command -v wine >/dev/null ||
    refuse "wine is not installed (Debian: ${sudo_word}dpkg --add-architecture i386 && ${sudo_word}apt-get update && ${sudo_word}apt-get install wine wine32:i386 fonts-wine)"

# The registry calls of the preparation run without a display. A wineserver
# they start lingers a few seconds, and a program started meanwhile opens no
# window (and exits 255): before the script ends, even on a refusal, such a
# server is waited out. One that was running already is left alone.
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

is_image() {
    local size
    size="$(stat -L -c %s -- "$1" 2>/dev/null)" || refuse "there is no image file $1"
    [ "$size" = $IMAGE_BYTES ] || refuse "$1 holds $size bytes, not $IMAGE_BYTES: not a diskette image"
}

# A mounted diskette would be written under the file system's feet, and a
# desktop may mount one whenever it is put in.
not_mounted() {
    local where
    where="$(awk -v dev="$(stat -L -c %Hr:%Lr "$1")" '$3 == dev { print $5; exit }' /proc/self/mountinfo)"
    [ -z "$where" ] ||
        refuse "$1 is mounted on $where: unmount it first (udisksctl unmount -b $1, or ${sudo_word}umount $1)"
}

if [ "${1:-}" = --nt ]; then
    [ $# = 1 ] || refuse "$usage"
    [ -f "$prefix/system.reg" ] || refuse "$prefix is not a Wine prefix: there is nothing to undo"
    trap settle EXIT
    nt_for_startdisk
    echo "Wine reports the NT family (its default) to startdisk.exe in $prefix; drive A: is left as it was."
    exit 0
fi

case "${1:-}" in write | verify | capture)
    job="$1"
    shift
    # Only an image file may follow: the script gives the program its options.
    [ $# = 0 ] || { [ $# = 2 ] && [[ "$1" == [-/]f ]]; } ||
        refuse "usage: scripts/linux-floppy.sh $job [-f <image file>], in the program's folder (a name with blanks in quotes)"
    folder="$PWD"
    exe="$(in_folder startdisk.exe)" || refuse "there is no startdisk.exe in $folder: run this in the program's folder"
    [ -L "$prefix/dosdevices/a::" ] || refuse "drive A: of $prefix is not set up: run $script <device> [folder] first"
    link="$(readlink "$prefix/dosdevices/a::")"
    node="$(readlink -f "$link" || true)"
    [ -b "$node" ] || refuse "drive A: is $link, which leads to no drive: plug the drive in, or run $script <device> [folder] again"
    { [ -r "$node" ] && [ -w "$node" ]; } || refuse "$node is not readable and writable by you ($(access_advice "$node"))"
    not_mounted "$node"
    # While another process holds the device, Linux keeps its cache of it and
    # a read-back comes from there. Only this user's processes can be seen.
    holders=""
    for fd in $(find /proc/[0-9]*/fd -lname "$node" 2>/dev/null); do
        pid="${fd#/proc/}" && pid="${pid%%/*}"
        [[ "$holders" == *"pid $pid "* ]] || holders+="pid $pid ($(cat "/proc/$pid/comm" 2>/dev/null)), "
    done
    [ -z "$holders" ] || refuse "$node is held open by ${holders%, }: close that first"

    # The image as Wine names it for the program (Z:\home\...): one argument,
    # which Wine passes in quotation marks when it holds a blank.
    image="${2:-$(in_folder MYFILE.BIN || echo "$folder/MYFILE.BIN")}"
    [ "$job" = capture ] || is_image "$image"
    args=()
    if [ $# = 2 ]; then
        win_name="$(WINEDEBUG=-all winepath -w "$image" 2>/dev/null)" && [ -n "$win_name" ] ||
            refuse "wine cannot name $image"
        args=(-f "$win_name")
    fi
    export WINEDEBUG="${WINEDEBUG:-fixme-all,err-int21}"
    read_back="$(mktemp)"
    keep=""
    drop_keep() { [ -z "$keep" ] || rm -f -- "$keep"; keep=""; }
    # Which file stands under the image's name, and since when.
    image_identity() { stat -L -c %d:%i:%Y.%y -- "$image" 2>/dev/null || echo none; }
    # A capture that is not found equal keeps the image that was there before
    # (rename does nothing when both names are links to one file). The new
    # image is kept too, under another name: it may yet be right, when it is
    # the check that lost the drive.
    restore() {
        local unchecked=""
        if [ -z "$keep" ] || [ "$keep" -ef "$image" ]; then
            drop_keep
        elif [ -e "$image" ] && ! { unchecked="$(mktemp -- "$image.unchecked.XXXXXX")" &&
            mv -f -- "$image" "$unchecked"; }; then
            echo "The image from before the capture is kept as $keep." >&2
        else
            [ -z "$unchecked" ] || echo "The image just captured is kept as $unchecked." >&2
            mv -f -- "$keep" "$image" && echo "$image is as it was before the capture." >&2
        fi
    }
    # A second Ctrl+C must not cut the restore short.
    trap 'trap "" INT TERM HUP; restore; rm -f "$read_back"' EXIT
    case "$job" in
    write) run=(wine "$exe" "${args[@]}") ;;
    verify)
        # With the caller's display: the program starts right after.
        WINEDEBUG=-all wine reg add "$win98_key" /v Version /d win98 /f >/dev/null 2>&1 </dev/null ||
            refuse "wine could not set the win98 version for $win98_name in $prefix"
        mkdir -p "$prefix/win98"
        ln -sfn "$exe" "$prefix/win98/$win98_name"
        run=(wine "$prefix/win98/$win98_name" -v "${args[@]}") ;;
    capture)
        before="$(image_identity)"
        if [ "$before" != none ]; then
            keep="$(mktemp -- "$image.XXXXXX")" &&
                { ln -f -- "$image" "$keep" 2>/dev/null || cp -p -- "$image" "$keep"; } ||
                { rm -f -- "$keep" && keep="" && refuse "cannot keep a copy of $image beside it"; }
        fi
        run=(wine "$exe" -r "${args[@]}") ;;
    esac

    status=0
    "${run[@]}" || status=$?
    if [ "$status" != 0 ]; then
        echo "startdisk.exe ended with status $status: the diskette was not checked." >&2
        exit "$status"
    fi
    if [ "$job" = capture ] && [ "$(image_identity)" = "$before" ]; then
        echo "The capture did not complete: no image was saved." >&2
        drop_keep
        exit 2
    fi

    # The program's handle is closed: what Linux still holds goes out now,
    # and every track is read from the drive, not the cache. A track that
    # cannot be read is tried three times, as a drive may read a marginal
    # track on another try.
    echo "Reading the diskette back to check it ..."
    sync -- "$node" 2>/dev/null || true
    have=0 tries=0
    while [ "$have" -lt $TRACKS ]; do
        dd if="$node" of="$read_back" iflag=direct bs=$TRACK skip="$have" seek="$have" count=$((TRACKS - have)) \
            conv=notrunc status=none 2>/dev/null || true
        got=$(($(stat -c %s "$read_back") / TRACK))
        truncate -s $((got * TRACK)) "$read_back"
        if [ "$got" != "$have" ]; then have=$got tries=0; fi
        tries=$((tries + 1))
        [ "$tries" -lt 3 ] || break
    done
    is_image "$image"
    # The first track that differs, and how many do, among those read.
    read -r first count < <(cmp -l -n $((have * TRACK)) "$read_back" "$image" 2>/dev/null |
        awk -v t=$TRACK '{ k = int(($1 - 1) / t); if (!(k in seen)) { seen[k]; n++; if (n == 1) f = k } }
                         END { print (n ? f : -1), n + 0 }')
    if [ "$first" = -1 ] && [ "$have" = $TRACKS ]; then
        drop_keep
        echo "The diskette holds the image: $TRACKS of $TRACKS tracks."
        exit 0
    elif [ "$first" = -1 ]; then
        echo "The diskette does not hold the image: track $have cannot be read." >&2
    else
        [ "$count" = 1 ] && count="1 track differs" || count="$count tracks differ"
        echo "The diskette does not hold the image: $count, the first is track $first." >&2
    fi
    exit 2
    ;;
esac

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
is_image "$(in_folder MYFILE.BIN)"
exe="$(in_folder startdisk.exe || true)"

[ -e "$device" ] || refuse "$device does not exist"
[ -b "$device" ] || refuse "$device is not a block device"
# blockdev opens the device, so a failure here is mostly a lack of access.
size="$(blockdev --getsize64 "$device" 2>/dev/null)" ||
    refuse "cannot read the size of $device: you probably lack access ($(access_advice "$device")), or no diskette is in the drive"
[ "$size" = $IMAGE_BYTES ] ||
    refuse "$device holds $size bytes, not $IMAGE_BYTES: not a 1.44 MB diskette"
[ -w "$device" ] || refuse "$device is not writable by you ($(access_advice "$device"))"
not_mounted "$(readlink -f "$device")"
# ln -sfn would put a link inside a real folder instead of replacing it.
for drive in "a:" "a::"; do
    [ ! -e "$prefix/dosdevices/$drive" ] || [ -L "$prefix/dosdevices/$drive" ] ||
        refuse "$prefix/dosdevices/$drive is not a link; move it away first"
done

trap settle EXIT
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

echo "Drive A: of $prefix is now $device."
if [ -n "$exe" ]; then
    go="cd $(printf %q "$folder") && $script"
    echo "One job a run; each ends by reading the whole diskette back to check it:"
    echo "  write the diskette:    $go write"
    echo "  write and read back:   $go verify"
    echo "  capture the diskette:  $go capture"
    echo "Another image: add -f <file>, a name with blanks in quotes (linux-floppy.sh capture -f \"my image.bin\")."
    echo "A verified write ends on a closing screen: choose \"Reboot Later\"; under Wine \"Reboot Now\" deletes four of the documents and ends every Wine program of the prefix."
else
    echo "There is no startdisk.exe in $folder: put it there, or use the folder scripts/portable.sh makes."
fi
