#!/usr/bin/env bash
# Makes a start-up diskette: startdisk.exe under Wine writes the sample
# diskette image onto the virtual diskette in drive A:.
#   scripts/demo.sh           the NT family (raw device \\.\A:)
#   scripts/demo.sh 9x        the 9x family (VWIN32)
# With a display the program is yours to click through. Without one, the UI
# driver goes through the run as a user would and saves a picture of every
# window it meets in build/pictures/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${STARTDISK_BUILD_DIR:-$root/build}"
family="${1:-nt}"
interactive="${DISPLAY:+yes}"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target startdisk uidriver -j"$(nproc)" >/dev/null

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
rm -f "$STARTDISK_DISK" && truncate -s 1474560 "$STARTDISK_DISK"
key='HKCU\Software\Wine\AppDefaults\startdisk.exe'
if [ "$family" = 9x ]; then
    wine reg add "$key" /v Version /d win98 /f >/dev/null 2>&1
else
    wine reg delete "$key" /f >/dev/null 2>&1 || true
fi
cd "$run"

report() {
    if cmp -s MYFILE.BIN "$STARTDISK_DISK"; then
        echo "The virtual diskette ($STARTDISK_DISK) now holds MYFILE.BIN byte for byte."
    else
        echo "The virtual diskette does not match MYFILE.BIN."
        return 1
    fi
}

if [ -n "$interactive" ]; then
    rc=0
    wine "$build/startdisk.exe" || rc=$?
    echo "startdisk.exe ended with exit code $rc."
    report
    exit
fi

pictures="$build/pictures"
mkdir -p "$pictures"
ui() { wine "$build/tests/uidriver.exe" "$@"; }
picture() {
    sleep 0.2  # let the window finish painting
    import -display "$DISPLAY" -window "$(xdotool search --name '^Default - Wine desktop$' | head -n 1)" \
        "$pictures/$1.png" 2>/dev/null
    echo "  saw \"$2\" -> $pictures/$1.png"
}
app="Partition Deletion Application"

wine "$build/startdisk.exe" &
pid=$!
ui wait "$app Screen 1 of 5" >/dev/null
picture 1-licence "$app Screen 1 of 5"
ui scroll "$app Screen 1 of 5" 9000 bottom
ui wait-enabled "$app Screen 1 of 5" 1
ui click "$app Screen 1 of 5" 1
for screen in 2 3 4 5; do
    ui wait "$app Screen $screen of 5" >/dev/null
    picture "$screen-instructions" "$app Screen $screen of 5"
    ui click "$app Screen $screen of 5" 1
done
ui wait "$app" >/dev/null
picture 6-confirmation "$app"
if [ "$family" = 9x ]; then
    ui click "$app" 1
    # The run pauses part way so that the picture catches the bar moving.
    ui wait-progress "$app" 1001 60 >/dev/null && kill -STOP "$pid" && picture 7-progress "$app"
    kill -CONT "$pid"
    ui wait "$app" >/dev/null
    ui wait-enabled "$app" 1 >/dev/null
    picture 9-closing "$app"
    ui click "$app" 2   # Reboot Later: keep the documents, no restart
else
    # A write-protected diskette first: the retry prompt, then OK once the
    # protection is gone.
    chattr +i "$STARTDISK_DISK" 2>/dev/null && protected=yes || protected=
    ui click "$app" 1
    if [ -n "$protected" ]; then
        prompt=$'Disk is either write protected, bad or not in floppy drive.\r\nPlease correct and hit OK to continue or Cancel to abort.'
        ui msgbox "Error writing to floppy" "$prompt" none >/dev/null
        picture 8-retry-prompt "Error writing to floppy"
        chattr -i "$STARTDISK_DISK"
        ui msgbox "Error writing to floppy" "$prompt" ok >/dev/null
    fi
    ui wait-progress "$app" 1001 60 >/dev/null && kill -STOP "$pid" && picture 7-progress "$app"
    kill -CONT "$pid"
fi
rc=0
wait "$pid" || rc=$?
echo "startdisk.exe ended with exit code $rc."
report
