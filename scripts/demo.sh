#!/usr/bin/env bash
# Makes a start-up diskette: startdisk.exe under Wine writes the sample
# diskette image onto the virtual diskette in drive A:.
#   scripts/demo.sh           the NT family (raw device \\.\A:)
#   scripts/demo.sh 9x        the 9x family (VWIN32)
# With a display the program is yours to click through. Without one, the UI
# driver goes through the run as a user would and saves a picture of every
# window it meets in build/pictures/<family>/: with no family given, first on
# the NT family (meeting a write-protected diskette on the way), then on the
# 9x family, which ends with the closing screen. Every wait has a bound.
# On a machine that cannot run 32-bit programs it shows the program's x86-64
# build under 64-bit Wine, on the NT family alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${STARTDISK_BUILD_DIR:-$root/build}"
interactive="${DISPLAY:+yes}"
if [ -n "$interactive" ]; then families="${1:-nt}"; else families="${1:-nt 9x}"; fi

. "$root/scripts/wine-arch.sh"
decide_wine_arch
if why="$(why_no_9x)"; then
    if [ "$families" = 9x ]; then
        echo "demo.sh: the 9x family cannot be shown here: $why." >&2
        exit 1
    fi
    echo "demo.sh: $STARTDISK_ARCH_WHY: this shows the program's x86-64 build on the NT family."
    if [ "$families" != nt ]; then
        echo "demo.sh: the 9x family is left out: $why."
        families=nt
    fi
fi

"$root/scripts/install-deps.sh" demo
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target startdisk uidriver -j"$(nproc)" >/dev/null
programs="$build"
if [ "$STARTDISK_WINE_ARCH" = x86-64 ]; then
    "$root/scripts/build-x86-64.sh" "$build" startdisk uidriver
    programs="$build/x86-64"
fi

export STARTDISK_WINE_ROOT="$build/demo-wine"
# Without a display, windows are drawn on a virtual desktop, so that the
# pictures show them with their captions and frames.
[ -n "$interactive" ] || export STARTDISK_DESKTOP=800x600
"$root/scripts/wine-setup.sh"
trap '"$root/scripts/wine-teardown.sh"' EXIT
. "$root/scripts/wine-env.sh"

# The program finds its documents and MYFILE.BIN in the current folder.
run="$build/demo-run"
rm -rf "$run" && mkdir -p "$run"
cp "$root"/samples/*.rtf "$root"/samples/*.RTF "$run/"
"$root/scripts/make-sample-image.sh" "$run/MYFILE.BIN"
cd "$run"

# A used diskette in drive A:, and the family Wine reports to the program.
# Its bytes are random: the sample image is zeros after its first tracks, so
# only over other bytes does the check at the end prove every track written.
prepare() {
    local key='HKCU\Software\Wine\AppDefaults\startdisk.exe'
    rm -f "$STARTDISK_DISK" && head -c 1474560 /dev/urandom >"$STARTDISK_DISK"
    ln -sfn "$STARTDISK_DISK" "$WINEPREFIX/dosdevices/a::"
    if [ "$1" = 9x ]; then
        wine reg add "$key" /v Version /d win98 /f >/dev/null 2>&1
    else
        wine reg delete "$key" /f >/dev/null 2>&1 || true
    fi
}

report() {
    echo "startdisk.exe ended with exit code $1."
    if cmp -s MYFILE.BIN "$STARTDISK_DISK"; then
        echo "The virtual diskette ($STARTDISK_DISK) now holds MYFILE.BIN byte for byte."
    else
        echo "The virtual diskette does not match MYFILE.BIN."
        return 1
    fi
}

if [ -n "$interactive" ]; then
    prepare "$families"
    rc=0
    wine "$programs/startdisk.exe" || rc=$?
    report "$rc"
    exit
fi

pictures="$build/pictures"
ui() { wine "$programs/tests/uidriver.exe" "$@"; }
# picture <family> <name> <what it shows>: the virtual desktop, once the
# window has had a moment to finish painting.
picture() {
    local desktop
    sleep 0.2
    desktop="$(timeout 10 xdotool search --sync --name '^Default - Wine desktop$' | head -n 1)" || true
    if [ -z "$desktop" ]; then
        echo "demo.sh: Wine's virtual desktop did not appear within 10 s: no picture of \"$3\"" >&2
        return 1
    fi
    mkdir -p "$pictures/$1"
    timeout 30 import -display "$DISPLAY" -window "$desktop" "$pictures/$1/$2.png" 2>/dev/null
    echo "  saw \"$3\" -> $pictures/$1/$2.png"
}
app="Partition Deletion Application"
track=9216

# A drive as slow as the demo wants: drive A: is a pipe, and the demo moves
# what the program writes into it onto the virtual diskette, track by track.
# The program's writes wait while the pipe is full, so the progress window
# can be caught part way however fast the transfer runs.
slow_drive() {
    rm -f "$run/drive.fifo"
    mkfifo "$run/drive.fifo"
    exec 7<>"$run/drive.fifo"  # held open: neither side waits to open, nor sees an end
    ln -sfn "$run/drive.fifo" "$WINEPREFIX/dosdevices/a::"
}
# Lets the next <count> tracks through, written from track <first> on:
# drive_takes <first> <count>.
drive_takes() {
    timeout 60 dd of="$STARTDISK_DISK" bs=$track seek="$1" count="$2" iflag=fullblock conv=notrunc \
        status=none <&7 || { echo "The program did not write tracks $1 to $(($1 + $2 - 1))." >&2; return 1; }
}
prompt=$'Disk is either write protected, bad or not in floppy drive.\r\nPlease correct and hit OK to continue or Cancel to abort.'

# The whole run as a user goes through it: act_as_user nt|9x
act_as_user() {
    local family=$1 pid rc=0 protected=
    echo "A Create run on the $family family:"
    prepare "$family"
    wine "$programs/startdisk.exe" &
    pid=$!
    ui wait "$app Screen 1 of 5" >/dev/null
    picture "$family" 1-licence "$app Screen 1 of 5"
    ui scroll "$app Screen 1 of 5" 9000 bottom
    ui wait-enabled "$app Screen 1 of 5" 1
    ui click "$app Screen 1 of 5" 1
    for screen in 2 3 4 5; do
        ui wait "$app Screen $screen of 5" >/dev/null
        picture "$family" "$screen-instructions" "$app Screen $screen of 5"
        ui click "$app Screen $screen of 5" 1
    done
    ui wait "$app" >/dev/null
    picture "$family" 6-confirmation "$app"
    # On the NT family the diskette is write-protected at first: the retry
    # prompt, then OK once the protection is gone. The program opens the
    # drive again for the retry, and finds the slow one.
    [ "$family" = nt ] && chattr +i "$STARTDISK_DISK" 2>/dev/null && protected=yes
    [ -n "$protected" ] || slow_drive
    ui click "$app" 1
    if [ -n "$protected" ]; then
        ui msgbox "Error writing to floppy" "$prompt" none >/dev/null
        picture "$family" 8-retry-prompt "Error writing to floppy"
        chattr -i "$STARTDISK_DISK"
        slow_drive
        ui msgbox "Error writing to floppy" "$prompt" ok >/dev/null
    fi
    # The drive takes 61 of the 160 tracks; a few more fill the pipe, and
    # the program waits there while the picture catches the bar part way.
    # Then the drive takes the rest.
    drive_takes 0 61
    ui wait-progress "$app" 1001 60 >/dev/null && picture "$family" 7-progress "$app"
    drive_takes 61 99
    exec 7<&-
    if [ "$family" = 9x ]; then
        ui wait "$app" >/dev/null
        ui wait-enabled "$app" 1 >/dev/null
        picture "$family" 9-closing "$app"
        ui click "$app" 2   # Reboot Later: keep the documents, no restart
    fi
    # The run ends by itself once the transfer is done; a minute is ample.
    timeout 60 tail -s 0.1 --pid="$pid" -f /dev/null ||
        { kill "$pid"; echo "demo.sh: startdisk.exe did not end within a minute of the transfer" >&2; }
    wait "$pid" || rc=$?
    ln -sfn "$STARTDISK_DISK" "$WINEPREFIX/dosdevices/a::"
    report "$rc"
}

for family in $families; do
    act_as_user "$family"
done
