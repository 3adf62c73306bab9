#!/usr/bin/env bash
# Prepares a Wine prefix for startdisk.exe and a real floppy drive, runs each
# job there and then checks the diskette itself.
#   scripts/linux-floppy.sh <device> [folder]   drive A: is the drive; prints the command for each job
#   scripts/linux-floppy.sh write|verify|capture [-f <image>]
#                                               in the program's folder: the job, then the check
#   scripts/linux-floppy.sh check [-f <image>]  the check alone: the diskette against the image
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
# A machine that cannot run 32-bit programs (or STARTDISK_ARCH=x86-64) runs
# the program's x86-64 build instead, startdisk-x86-64-for-linux-floppy.exe
# beside startdisk.exe, under 64-bit Wine. There Wine has no 9x services, so
# the verified write too runs on the NT setting, and the check after it is
# what finds a diskette that lost what was written.
# Neither can see what Linux does after the program: it writes its cache out
# at the last close of the device, where a refused write reaches no one, and
# while another process holds the device a 9x read-back comes from the cache
# too. So after each job the script reads the whole diskette past the cache
# and compares it with the image. It ends with status
#   0    the diskette holds the image
#   1    it refused to start the job (the program did not run)
#   2    the diskette does not hold the image (the tracks that differ are
#        named), or a capture saved nothing
#   3    the diskette was not checked, or not in whole: it could not be read
#        from some track on, it was mounted or held open during the job, or
#        the script itself failed
#   130  interrupted (Ctrl+C, a closed terminal): nothing was checked, or,
#        when the check had already found the diskette equal, the line
#        says so
#   S    startdisk.exe's own status when that is not 0 (255, 254)
# and every ending after the program has started says why in one line; a
# capture taken back adds where each image is.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-dialog-look.sh"
. "$here/wine-arch.sh"

refuse() {
    echo "linux-floppy.sh: $*" >&2
    exit 1
}

# Which Wine and which build of the program, asked of this machine at every
# start.
decide_wine_arch || exit 1
use_decided_wine
X64_NAME=startdisk-x86-64-for-linux-floppy.exe
program_name=startdisk.exe
[ "$STARTDISK_WINE_ARCH" != x86-64 ] || program_name=$X64_NAME

# Under sudo, Wine would run as root in root's prefix, and files it made in
# the user's prefix would be root's.
[ "$(id -u)" != 0 ] || [ -z "${SUDO_USER:-}" ] ||
    refuse "run this as $SUDO_USER, without sudo: Wine and its prefix are that user's; only setfacl needs sudo (sudo setfacl -m u:$SUDO_USER:rw <device>)"

usage="usage: scripts/linux-floppy.sh <device> [folder]   or   scripts/linux-floppy.sh write|verify|capture|check [-f <image file>]   or   scripts/linux-floppy.sh --nt"
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

# A failed update (a mirror mid-sync) must not skip the install; an install
# then refused on versions that differ between the two architectures takes
# both from the release's own suite.
release="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")" || release=""
[ "$STARTDISK_WINE_ARCH" != x86-64 ] || [ -x "$WINE64_LOADER" ] ||
    refuse "Wine's 64-bit loader $WINE64_LOADER is missing, which runs the program here since $STARTDISK_ARCH_WHY (Debian: ${sudo_word}apt-get install wine wine64 fonts-wine)"
command -v wine >/dev/null ||
    refuse "wine is not installed (Debian: ${sudo_word}dpkg --add-architecture i386 && ${sudo_word}apt-get update; ${sudo_word}apt-get install wine wine32:i386 fonts-wine; if that install fails on versions that differ between the two architectures: ${sudo_word}apt-get install -t ${release:-<release codename>} wine wine32:i386 fonts-wine)"

# The registry calls of the preparation run without a display. A wineserver
# they start lingers a few seconds, and a program started meanwhile opens no
# window (and exits 255): before the script ends, even on a refusal, such a
# server is waited out. One that was running already is left alone.
# A job does not need it, and is refused before it touches Wine.
server_was_running=""
note_server() { ! wineserver -k0 2>/dev/null || server_was_running=yes; }
settle() { [ -n "$server_was_running" ] || wineserver -w; }
quiet_wine() { DISPLAY='' WINEDEBUG=-all wine "$@" >/dev/null 2>&1 </dev/null; }

# startdisk.exe on the NT setting, Wine's default, where failures are reported.
nt_for_startdisk() {
    if quiet_wine reg query "$key" /v Version; then
        quiet_wine reg delete "$key" /v Version /f ||
            refuse "wine could not remove the win98 version from $prefix (try: $env_words wine reg delete '$key' /v Version /f)"
    fi
}

# A prefix made for the other architecture cannot run the program: 64-bit
# Wine refuses a 32-bit prefix. (A 64-bit prefix runs 32-bit programs too.)
# The prefix may be the user's own, so it is never removed here.
prefix_fits() {
    [ "$WINE_PREFIX_ARCH" = win64 ] && grep -qx '#arch=win32' "$prefix/system.reg" 2>/dev/null || return 0
    refuse "$prefix is a 32-bit Wine prefix, and 64-bit Wine, which runs the program here since $STARTDISK_ARCH_WHY, cannot use it: name another prefix (WINEPREFIX=<new folder> $(printf %q "$here/linux-floppy.sh") <device> [folder]), or remove that folder (rm -rf $(printf %q "$prefix")) and run $script <device> [folder] again"
}

# The program this machine runs, in the folder: refuses when it is missing.
program_in_folder() {
    in_folder "$program_name" && return 0
    [ "$program_name" = startdisk.exe ] ||
        refuse "there is no $X64_NAME in $folder: $STARTDISK_ARCH_WHY, so the route runs the program's x86-64 build, which scripts/portable.sh makes beside startdisk.exe"
    refuse "there is no startdisk.exe in $folder: run this in the program's folder"
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

# A 1.44 MB diskette in the drive: any other fails half way or at every
# track, prompt after prompt. is_diskette <device> <why its size may not be read>
is_diskette() {
    local size
    size="$(blockdev --getsize64 "$1" 2>/dev/null)" || refuse "cannot read the size of $1: $2"
    [ "$size" = $IMAGE_BYTES ] || refuse "$1 holds $size bytes, not $IMAGE_BYTES: not a 1.44 MB diskette"
}

# Where the device is mounted, if it is.
mount_point() {
    local where
    where="$(awk -v dev="$(stat -L -c %Hr:%Lr "$1")" '$3 == dev { print $5; exit }' /proc/self/mountinfo)"
    [ -n "$where" ] && echo "$where"
}
# A mounted diskette would be written under the file system's feet, and a
# desktop may mount one whenever it is put in.
not_mounted() {
    local where
    ! where="$(mount_point "$1")" ||
        refuse "$1 is mounted on $where: unmount it first (udisksctl unmount -b $1, or ${sudo_word}umount $1)"
}
# The processes that hold the device open. While one does, Linux keeps its
# cache of it and a read-back comes from there. Only this user's processes
# can be seen.
holders_of() {
    local fd pid holders=""
    for fd in $(find /proc/[0-9]*/fd -lname "$1" 2>/dev/null); do
        pid="${fd#/proc/}" && pid="${pid%%/*}"
        [[ "$holders" == *"pid $pid "* ]] || holders+="pid $pid ($(cat "/proc/$pid/comm" 2>/dev/null)), "
    done
    [ -n "$holders" ] && echo "${holders%, }"
}
not_held() {
    local holders
    ! holders="$(holders_of "$1")" || refuse "$1 is held open by $holders: close that first"
}

# The documents the program shows before it writes, those of them missing
# from the folder.
DOCUMENTS=(LA001.RTF INST001.rtf INST002.rtf INST003.rtf INST004.rtf AFTR001.rtf)
missing_documents() {
    local name
    for name in "${DOCUMENTS[@]}"; do in_folder "$name" >/dev/null || echo "$name"; done
}

# Wine hands the command line to the program through the ANSI code page of
# the locale, with a near character for one the page lacks (Ā becomes A):
# the program would open another file. Prints the first character of $1
# that does not come back unchanged through code page $2.
not_in_code_page() {
    local charset i char
    charset="$(locale charmap 2>/dev/null)" || charset=UTF-8
    through() { printf %s "$1" | iconv -f "$charset" -t "CP$2" 2>/dev/null | iconv -f "CP$2" -t "$charset" 2>/dev/null; }
    [ "$2" != 65001 ] && [ "$(through "$1" "$2")" != "$1" ] || return 1
    for ((i = 0; i < ${#1}; i++)); do
        char="${1:i:1}"
        [ "$(through "$char" "$2")" = "$char" ] || { echo "$char"; return 0; }
    done
    echo "${1: -1}"
}

# Track numbers in order, told as ranges: "28-56, 90".
track_ranges() {
    local told="" from="" to="" t
    for t in "$@" end; do
        if [ -n "$from" ] && [ "$t" = $((to + 1)) ]; then to=$t && continue; fi
        [ -z "$from" ] || { [ "$from" = "$to" ] && told+="${told:+, }$from" || told+="${told:+, }$from-$to"; }
        from=$t to=$t
    done
    echo "$told"
}

# The check's reader of the drive. It is ended with the job, whatever ends
# it: left reading, it would hold the drive after the job, and the next job
# would be refused.
reader=""
end_reader() {
    [ -n "$reader" ] || return 0
    kill "$reader" 2>/dev/null || true
    wait "$reader" 2>/dev/null || true
    reader=""
}

# From track $1 on, the diskette read past the cache against the image, a
# track at a time, nothing stored: sets next (the first track not read) and
# differ_here (the tracks that differ).
compare_tracks() {
    local raw_fd image_fd
    next="" differ_here=""
    exec {raw_fd}< <(exec dd if="$node" iflag=direct,fullblock bs=$TRACK skip="$1" count=$((TRACKS - $1)) status=none 2>/dev/null)
    reader=$!
    exec {image_fd}< <(od -An -v -tx1 -w$TRACK -j $(($1 * TRACK)) -- "$image")
    read -r next differ_here < <(od -An -v -tx1 -w$TRACK <&$raw_fd |
        awk -v t="$1" -v full=$((3 * TRACK)) -v image="/dev/fd/$image_fd" '
            length($0) != full { exit }
            { if ((getline want < image) <= 0) { t = -1; exit }; if ($0 != want) d = d " " t; t++ }
            END { if (t >= 0) print t d }' || true) || true
    exec {raw_fd}<&- {image_fd}<&-
    end_reader
    [ -n "$next" ]
}

if [ "${1:-}" = --nt ]; then
    [ $# = 1 ] || refuse "$usage"
    [ -f "$prefix/system.reg" ] || refuse "$prefix is not a Wine prefix: there is nothing to undo"
    prefix_fits
    note_server && trap settle EXIT
    nt_for_startdisk
    echo "Wine reports the NT family (its default) to startdisk.exe in $prefix; drive A: is left as it was."
    exit 0
fi

case "${1:-}" in write | verify | capture | check)
    job="$1"
    shift
    # Only an image file may follow: the script gives the program its options.
    [ $# = 0 ] || { [ $# = 2 ] && [[ "$1" == [-/]f ]]; } ||
        refuse "usage: scripts/linux-floppy.sh $job [-f <image file>], in the program's folder (a name with blanks in quotes)"
    # An empty name is most often a wrapper's unset variable, not MYFILE.BIN.
    [ $# = 0 ] || [ -n "$2" ] || refuse "the image file name after -f is empty"
    folder="$PWD"
    if [ "$job" != check ]; then
        exe="$(program_in_folder)" || exit 1
    fi
    # "Reboot Now" deletes four of them; the program would then stop at its
    # first screen with "Invalid filename.".
    if [ "$job" = write ] || [ "$job" = verify ]; then
        missing="$(missing_documents | paste -sd ' ')"
        [ -z "$missing" ] ||
            refuse "$folder lacks $missing, which the program shows before it writes: put them back (scripts/portable.sh makes a folder that holds all six)"
    fi
    [ "$job" = check ] || prefix_fits
    [ -L "$prefix/dosdevices/a::" ] || refuse "drive A: of $prefix is not set up: run $script <device> [folder] first"
    link="$(readlink "$prefix/dosdevices/a::")"
    node="$(readlink -f "$link" || true)"
    [ -b "$node" ] || refuse "drive A: is $link, which leads to no drive: plug the drive in, or run $script <device> [folder] again"
    if [ "$job" = check ]; then
        [ -r "$node" ] || refuse "$node is not readable by you ($(access_advice "$node"))"
    else
        { [ -r "$node" ] && [ -w "$node" ]; } || refuse "$node is not readable and writable by you ($(access_advice "$node"))"
    fi
    is_diskette "$node" "is a diskette in the drive?"
    not_mounted "$node"
    not_held "$node"

    # The job works on the file a link names, and the link stays. The name
    # is made absolute, so that no tool reads it as an option.
    image="$(readlink -f -- "${2:-$(in_folder MYFILE.BIN || echo "$folder/MYFILE.BIN")}")" ||
        refuse "there is no folder for the image ${2:-}"
    if [ "$job" = capture ]; then
        # The program saves beside the image and then gives it its name.
        [ -w "${image%/*}/" ] || refuse "cannot write in ${image%/*}/: the capture could not be saved there"
        [ ! -e "$image" ] || [ -w "$image" ] || refuse "$image is not writable: the capture could not replace it"
    else
        is_image "$image"
    fi
    if [ "$job" != check ]; then
        # The image as Wine names it for the program (Z:\home\...): one
        # argument, which Wine passes in quotation marks when it holds a blank.
        win_name="$(WINEDEBUG=-all winepath -w -- "$image" 2>/dev/null)" && [ -n "$win_name" ] ||
            refuse "wine cannot name $image"
        # Wine changes a name before it opens the file: a name that does not
        # exist is matched, whatever its case, to one that does; trailing
        # blanks and dots come off; a backslash parts folders. Wine itself
        # is asked where the name leads, and the job runs only when that is
        # the file named.
        lands="$(WINEDEBUG=-all winepath -u -- "$win_name" 2>/dev/null)" && [ -n "$lands" ] ||
            refuse "wine cannot name $image"
        if [ "$lands" != "$image" ]; then
            [ -e "$lands" ] && lands="open another file, $lands, instead" || lands="take it for $lands, another name"
            refuse "the program cannot be given the name $image: Wine would $lands; rename it"
        fi
        # Wine takes its code page from the locale; the registry tells which.
        if printf %s "$win_name" | LC_ALL=C grep -q '[^ -~]'; then
            code_page="$(WINEDEBUG=-all wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null </dev/null |
                tr -d '\r' | awk '$1 == "ACP" { print $3 }')" && [ -n "$code_page" ] ||
                refuse "wine cannot tell its code page, to pass the name $image"
            ! char="$(not_in_code_page "$win_name" "$code_page")" ||
                refuse "the program cannot be given the name $image: Wine would pass \"$char\" as another character (code page $code_page), and the program would open another file; rename it"
        fi
    fi
    export WINEDEBUG="${WINEDEBUG:-fixme-all,err-int21}"
    keep="" part=""
    drop_keep() { rm -f -- ${keep:+"$keep"} ${part:+"$part"}; keep="" part=""; }
    # The image from before stays beside the new one, and the user is told where.
    leave_keep() { told+=("The image from before the capture is kept as $keep.") && keep=""; }
    # Which file stands under the image's name, and since when.
    image_identity() { stat -L -c %d:%i:%Y.%y -- "$image" 2>/dev/null || echo none; }
    before="$(image_identity)"
    # A capture that is not found equal gives the image's name back to what
    # was there before (an image, or nothing), known by the file under the
    # name, not by its bytes. The new image is kept too, under another name:
    # it may yet be right, when it is the check that lost the drive. Both
    # moves are made before a word is printed, and the name holds a whole
    # image throughout where a second name can be linked.
    pending="" told=()
    take_back() {
        local unchecked=""
        if [ -z "$pending" ] || [ "$(image_identity)" = "$before" ]; then
            drop_keep
            return 0
        fi
        # Once only: the job's end and the exit trap both come here.
        pending=""
        if [ -e "$image" ]; then
            unchecked="$(mktemp -- "$image.unchecked.XXXXXX" 2>/dev/null)" &&
                { { [ -n "$keep" ] && ln -f -- "$image" "$unchecked" 2>/dev/null; } ||
                    mv -f -- "$image" "$unchecked" 2>/dev/null; } ||
                { [ -z "$unchecked" ] || rm -f -- "$unchecked"; unchecked=""; }
        fi
        if [ -z "$keep" ]; then
            [ -z "$unchecked" ] && told+=("$image is the image just captured, not found to hold the diskette.") ||
                told+=("The image just captured is kept as $unchecked." "There was no $image before the capture, and there is none now.")
        elif [ -n "$unchecked" ] && mv -f -- "$keep" "$image" 2>/dev/null; then
            keep=""
            told+=("The image just captured is kept as $unchecked." "$image is as it was before the capture.")
        elif [ -n "$unchecked" ] && [ ! "$image" -ef "$unchecked" ]; then
            told+=("The image just captured is kept as $unchecked." "The image from before the capture is kept as $keep.")
            keep=""
        else
            [ -z "$unchecked" ] || rm -f -- "$unchecked"
            told+=("$image is the image just captured, not found to hold the diskette." "The image from before the capture is kept as $keep.")
            keep=""
        fi
        drop_keep
    }
    # Once the job has started, every ending says why in one line, and
    # status 1 stays a refusal before the job. Nothing may cut the take-back
    # short: a second Ctrl+C, a hang-up, a terminal or pipe that is gone.
    started="" ended="" checked=""
    quit_quietly() { trap "" INT TERM HUP PIPE; end_reader; take_back; }
    end() {
        quit_quietly
        ended=yes
        echo "$2" >&"$(( $1 == 0 ? 1 : 2 ))" || true
        exit "$1"
    }
    at_exit() {
        local status=$? line
        quit_quietly
        if [ -n "$started" ] && [ -z "$ended" ]; then
            echo "linux-floppy.sh stopped on a failure of its own (status $status): the diskette was not checked." >&2 || true
            status=3
        fi
        for line in "${told[@]}"; do echo "$line" >&2 || true; done
        exit "$status"
    }
    trap at_exit EXIT
    # A reader of the output that is gone makes a print fail, not the script.
    trap : PIPE
    # Ctrl+C or a closed terminal: in a terminal the program ends too, with
    # status 0 as if it had finished, and elsewhere it may not end at all. So
    # the script notices the signal itself, ends the program if it is still
    # running, and checks nothing.
    program=""
    interrupted() {
        trap "" INT TERM HUP PIPE
        if [ -n "$program" ]; then
            kill "$program" 2>/dev/null || true
            wait "$program" 2>/dev/null || true
        fi
        [ -n "$checked" ] || end 130 "Interrupted: the diskette was not checked."
        # The check has passed: the image stands, and the image from before,
        # if it is still kept, stays beside it, since the looks for what
        # mounts or holds the drive were cut short.
        pending=""
        [ -z "$keep" ] || leave_keep
        end 130 "Interrupted after the check had passed: the diskette holds the image, $TRACKS of $TRACKS tracks; whether it is mounted or held open was not looked at."
    }
    trap interrupted INT TERM HUP
    case "$job" in
    write) run=(wine "$exe" -f "$win_name") ;;
    verify)
        if [ "$STARTDISK_WINE_ARCH" = x86-64 ]; then
            # The NT setting, the only one there: the check after it reads
            # past the cache that the program's own read-back meets.
            run=(wine "$exe" -v -f "$win_name")
        else
            # With the caller's display: the program starts right after.
            WINEDEBUG=-all wine reg add "$win98_key" /v Version /d win98 /f >/dev/null 2>&1 </dev/null ||
                refuse "wine could not set the win98 version for $win98_name in $prefix"
            mkdir -p "$prefix/win98"
            ln -sfn "$exe" "$prefix/win98/$win98_name"
            run=(wine "$prefix/win98/$win98_name" -v -f "$win_name")
        fi ;;
    capture)
        # Made under a name of its own first: a Ctrl+C meanwhile leaves no
        # half-made copy to be taken for the image.
        if [ "$before" != none ]; then
            part="$(mktemp -- "$image.XXXXXX")" &&
                { ln -f -- "$image" "$part" 2>/dev/null || cp -p -- "$image" "$part"; } &&
                keep="$part" part="" || { drop_keep; refuse "cannot keep a copy of $image beside it"; }
        fi
        run=(wine "$exe" -r -f "$win_name") ;;
    esac

    started=yes
    if [ "$job" != check ]; then
        status=0
        [ "$job" != capture ] || pending=yes
        # Waited for in the background, so that a signal is taken at once.
        "${run[@]}" <&0 &
        program=$!
        wait "$program" || status=$?
        program=""
        [ "$status" = 0 ] || end "$status" "startdisk.exe ended with status $status: the diskette was not checked."
        [ "$job" != capture ] || [ "$(image_identity)" != "$before" ] ||
            end 2 "The capture did not complete: no image was saved."
        # A drive unplugged and plugged back in at a prompt most often comes
        # back under another /dev name: the link the prefix holds leads there.
        link="$(readlink "$prefix/dosdevices/a::" || true)"
        node="$(readlink -f -- "$link" 2>/dev/null || true)"
        [ -b "$node" ] || end 3 "Drive A: is ${link:-gone}, which leads to no drive now: the diskette was not checked."
    fi
    # The program's handle is closed: what Linux still holds goes out now,
    # and every track is read from the drive, not the cache, and compared as
    # it comes, so nothing is stored. A track that cannot be read is tried
    # three times, as a drive may read a marginal track on another try.
    echo "Reading the diskette back to check it ..." || true
    sync -- "$node" 2>/dev/null || true
    [ "$(stat -L -c %s -- "$image" 2>/dev/null)" = $IMAGE_BYTES ] ||
        end 3 "$image is no longer $IMAGE_BYTES bytes: the diskette was not checked."
    have=0 tries=0 differ=()
    while [ "$have" -lt $TRACKS ] && [ "$tries" -lt 3 ]; do
        compare_tracks "$have" ||
            end 3 "The check could not compare the diskette with $image: the diskette was not checked."
        differ+=($differ_here)
        if [ "$next" != "$have" ]; then have=$next tries=0; fi
        tries=$((tries + 1))
    done
    [ "$have" = $TRACKS ] || unread=", and it could not be checked from track $have on"
    if [ ${#differ[@]} != 0 ]; then
        [ ${#differ[@]} = 1 ] && tracks="1 track differs (track" || tracks="${#differ[@]} tracks differ (tracks"
        end 2 "The diskette does not hold the image: $tracks $(track_ranges "${differ[@]}"))${unread:-}."
    fi
    [ "$have" != 0 ] || end 3 "The diskette could not be checked: track 0 cannot be read."
    [ "$have" = $TRACKS ] ||
        end 3 "The diskette could not be checked from track $have on, which cannot be read; tracks 0 to $((have - 1)) hold the image."
    # The diskette held the image: a capture stands. A desktop may mount the
    # diskette once it is put in, at the confirmation, and what mounts or
    # holds it may yet change it; the image from before then stays beside.
    checked=yes
    pending=""
    [ -z "$keep" ] || ! { mount_point "$node" >/dev/null || holders_of "$node" >/dev/null; } ||
        leave_keep
    ! where="$(mount_point "$node")" ||
        end 3 "The diskette held the image, but $node is mounted on $where, where it may change: unmount it and run the job again."
    ! holders="$(holders_of "$node")" ||
        end 3 "The diskette held the image, but $node is held open by $holders, which may change it: close that and run the job again."
    end 0 "The diskette holds the image: $TRACKS of $TRACKS tracks."
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
missing="$(missing_documents | paste -sd ' ')"
in_folder MYFILE.BIN >/dev/null || missing+="${missing:+ }MYFILE.BIN"
[ -z "$missing" ] ||
    refuse "$folder lacks $missing: name the folder that holds the six documents and the image (scripts/portable.sh makes one)"
is_image "$(in_folder MYFILE.BIN)"
exe="$(in_folder "$program_name" || true)"

[ -e "$device" ] || refuse "$device does not exist"
[ -b "$device" ] || refuse "$device is not a block device"
# blockdev opens the device, so a failure here is mostly a lack of access.
is_diskette "$device" "you probably lack access ($(access_advice "$device")), or no diskette is in the drive"
[ -w "$device" ] || refuse "$device is not writable by you ($(access_advice "$device"))"
not_mounted "$(readlink -f "$device")"
# ln -sfn would put a link inside a real folder instead of replacing it.
for drive in "a:" "a::"; do
    [ ! -e "$prefix/dosdevices/$drive" ] || [ -L "$prefix/dosdevices/$drive" ] ||
        refuse "$prefix/dosdevices/$drive is not a link; move it away first"
done
prefix_fits

note_server && trap settle EXIT
# Wine makes the prefix on first use, so this comes before the links. A new
# prefix is one for the program this machine runs (32-bit, or 64-bit on the
# 64-bit way), as the project's tests use, without Mono and Gecko,
# which the program does not need, and without Wine's entries in the desktop's
# menus.
if [ ! -f "$prefix/system.reg" ]; then
    echo "Making the Wine prefix $prefix ..."
    made="$(DISPLAY='' WINEARCH=$WINE_PREFIX_ARCH WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" wineboot -i 2>&1 </dev/null)" &&
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
    echo "One job a run; each ends by reading the whole diskette back to check it (the check alone writes nothing):"
    echo "  write the diskette:    $go write"
    echo "  write and read back:   $go verify"
    echo "  capture the diskette:  $go capture"
    echo "  check the diskette:    $go check"
    echo "Another image: add -f <file>, a name with blanks in quotes (linux-floppy.sh capture -f \"my image.bin\")."
    [ "$STARTDISK_WINE_ARCH" = x86-64 ] ||
        echo "A verified write ends on a closing screen: choose \"Reboot Later\"; under Wine \"Reboot Now\" deletes four of the documents and ends every Wine program of the prefix."
elif [ "$STARTDISK_WINE_ARCH" = x86-64 ]; then
    echo "There is no $X64_NAME in $folder: $STARTDISK_ARCH_WHY, so the route runs the program's x86-64 build; use the folder scripts/portable.sh makes."
else
    echo "There is no startdisk.exe in $folder: put it there, or use the folder scripts/portable.sh makes."
fi
